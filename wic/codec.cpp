// IWICBitmapDecoder and IWICBitmapFrameDecode over the C library.
//
// A decoder reads the stream once, in Initialize: at most
// TARNEL_MAX_ANY_FILE_SIZE bytes, since no format's file is larger (a longer
// stream is refused on its size alone, unread). It opens every format of
// the library's 1.3 record, each at its own picture size, with the
// extension of the stream's name (IStream::Stat) as the name hint where the
// stream gives one: the formats whose files carry no signature open only
// so. It decodes the one picture there into a block of 24-bit BGR pixels
// that its frames share and never change, so after Initialize every method
// may be called from any thread.
#include "wic/codec.h"

#include <wincodec.h>
#include <windows.h>

#include <cstring>
#include <new>
#include <string>

#include "tarnel/tarnel.h"
#include "wic/codec_ids.h"

namespace tarnel_wic {

namespace {

LONG g_live_objects = 0;

constexpr UINT kBytesPerPixel = 3;

// The decoded picture, shared by a decoder and its frames: `height` rows of
// `width` pixels, each row right after the one above.
class Picture {
public:
    const INT width;
    const INT height;
    BYTE* const pixels;

    // A picture of the size given, or nullptr when memory runs out; the
    // caller has checked the size against the library's limits.
    static Picture* Create(INT width, INT height) {
        BYTE* pixels = new (std::nothrow)
            BYTE[static_cast<size_t>(width) * kBytesPerPixel * static_cast<size_t>(height)];
        if (pixels == nullptr) return nullptr;
        Picture* picture = new (std::nothrow) Picture(width, height, pixels);
        if (picture == nullptr) delete[] pixels;
        return picture;
    }
    size_t RowBytes() const { return static_cast<size_t>(width) * kBytesPerPixel; }
    void AddRef() { InterlockedIncrement(&refs_); }
    void Release() {
        if (InterlockedDecrement(&refs_) == 0) delete this;
    }

private:
    Picture(INT w, INT h, BYTE* p) : width(w), height(h), pixels(p) {}
    ~Picture() { delete[] pixels; }
    LONG refs_ = 1;
};

// The file behind a stream: its size, its bytes (when it is small enough
// to be a C64 file) and the extension of its name (when it gives one).
struct StreamHead {
    ULONGLONG size = 0;
    BYTE* bytes = nullptr;  // size bytes, or none above TARNEL_MAX_ANY_FILE_SIZE
    size_t held = 0;
    std::string extension;  // UTF-8, with its '.'; empty when the stream has no name

    ~StreamHead() { delete[] bytes; }
};

// The extension of a stream's name in UTF-8, from its last '.' on, or ""
// when its last component has none (the library would take a bare name
// such as "g" for an extension).
std::string ExtensionOf(const wchar_t* name) {
    if (name == nullptr) return std::string();
    const wchar_t* dot = nullptr;
    for (const wchar_t* c = name; *c != L'\0'; ++c) {
        if (*c == L'\\' || *c == L'/' || *c == L':') {
            dot = nullptr;
        } else if (*c == L'.') {
            dot = c;
        }
    }
    if (dot == nullptr) return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, dot, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string text(static_cast<size_t>(length), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, dot, -1, &text[0], length, nullptr, nullptr) != length) {
        return std::string();
    }
    text.resize(static_cast<size_t>(length) - 1);
    return text;
}

// Reads the stream from its start. Fails only when the stream does (or
// memory runs out).
HRESULT ReadHead(IStream* stream, StreamHead* head) {
    STATSTG stat = {};
    ULARGE_INTEGER end = {};
    LARGE_INTEGER zero = {};
    if (SUCCEEDED(stream->Stat(&stat, STATFLAG_DEFAULT))) {
        head->size = stat.cbSize.QuadPart;
        try {
            head->extension = ExtensionOf(stat.pwcsName);
        } catch (const std::bad_alloc&) {
            CoTaskMemFree(stat.pwcsName);
            return E_OUTOFMEMORY;
        }
        CoTaskMemFree(stat.pwcsName);
    } else if (SUCCEEDED(stream->Seek(zero, STREAM_SEEK_END, &end))) {
        head->size = end.QuadPart;
    } else {
        return WINCODEC_ERR_STREAMREAD;
    }
    if (FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr))) return WINCODEC_ERR_STREAMREAD;
    // A file above the largest format's is refused on its size: nothing to read.
    if (head->size > TARNEL_MAX_ANY_FILE_SIZE) return S_OK;
    const size_t wanted = static_cast<size_t>(head->size);
    head->bytes = new (std::nothrow) BYTE[wanted > 0 ? wanted : 1];
    if (head->bytes == nullptr) return E_OUTOFMEMORY;
    while (head->held < wanted) {
        ULONG got = 0;
        HRESULT hr =
            stream->Read(head->bytes + head->held, static_cast<ULONG>(wanted - head->held), &got);
        if (FAILED(hr)) return WINCODEC_ERR_STREAMREAD;
        if (got == 0) break;
        head->held += got;
    }
    // A stream shorter than it said it was is as long as what it gave.
    head->size = head->held;
    return S_OK;
}

// The options of every decode: a 1.3 record, 24-bit BGR, the name hint.
tarnel_decode_options Options(const StreamHead& head) {
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    options.pixel_format = TARNEL_BGR24;
    options.file_name = head.extension.empty() ? nullptr : head.extension.c_str();
    return options;
}

// What the stream is, and the size of its picture.
int Identify(const StreamHead& head, tarnel_info_ex* info) {
    if (head.bytes == nullptr) return TARNEL_E_TOO_LARGE;
    const tarnel_decode_options options = Options(head);
    info->size = sizeof *info;
    int result = tarnel_identify_ex(head.bytes, head.held, &options, info);
    if (result != TARNEL_OK) return result;
    // Never above the library's own limits, whatever it says.
    const int width = info->output_width;
    const int height = info->output_height;
    if (width <= 0 || height <= 0 || width > TARNEL_MAX_PICTURE_SIDE ||
        height > TARNEL_MAX_PICTURE_SIDE ||
        static_cast<long long>(width) * height > TARNEL_MAX_PICTURE_PIXELS) {
        return TARNEL_E_TOO_LARGE;
    }
    return TARNEL_OK;
}

class Frame final
    : public ComObject<IWICBitmapFrameDecode, IID_IWICBitmapSource, IID_IWICBitmapFrameDecode> {
public:
    explicit Frame(Picture* picture) : picture_(picture) { picture_->AddRef(); }

    // IWICBitmapSource
    HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override {
        if (width == nullptr || height == nullptr) return E_INVALIDARG;
        *width = static_cast<UINT>(picture_->width);
        *height = static_cast<UINT>(picture_->height);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override {
        if (format == nullptr) return E_INVALIDARG;
        *format = GUID_WICPixelFormat24bppBGR;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResolution(double* dpi_x, double* dpi_y) override {
        if (dpi_x == nullptr || dpi_y == nullptr) return E_INVALIDARG;
        *dpi_x = kDpi;
        *dpi_y = kDpi;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override {
        return WINCODEC_ERR_PALETTEUNAVAILABLE;
    }
    HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT buffer_size,
                                         BYTE* buffer) override {
        const INT width = picture_->width;
        const INT height = picture_->height;
        const WICRect whole = {0, 0, width, height};
        const WICRect& r = rect != nullptr ? *rect : whole;
        // (No difference overflows: both of its terms lie in 0 to INT_MAX.)
        if (r.X < 0 || r.Y < 0 || r.Width < 0 || r.Height < 0 || r.X > width - r.Width ||
            r.Y > height - r.Height) {
            return E_INVALIDARG;
        }
        if (buffer == nullptr) return E_INVALIDARG;
        if (r.Width == 0 || r.Height == 0) return S_OK;
        const UINT row_bytes = static_cast<UINT>(r.Width) * kBytesPerPixel;
        if (stride < row_bytes) return E_INVALIDARG;
        const ULONGLONG needed =
            static_cast<ULONGLONG>(stride) * static_cast<ULONGLONG>(r.Height - 1) + row_bytes;
        if (buffer_size < needed) return WINCODEC_ERR_INSUFFICIENTBUFFER;
        const size_t picture_row = picture_->RowBytes();
        const BYTE* from = picture_->pixels + static_cast<size_t>(r.Y) * picture_row +
                           static_cast<size_t>(r.X) * kBytesPerPixel;
        for (INT y = 0; y < r.Height; ++y) {
            std::memcpy(buffer + static_cast<size_t>(y) * stride, from, row_bytes);
            from += picture_row;
        }
        return S_OK;
    }

    // IWICBitmapFrameDecode
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override {
        if (reader != nullptr) *reader = nullptr;
        return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    }
    HRESULT STDMETHODCALLTYPE GetColorContexts(UINT, IWICColorContext**, UINT* actual) override {
        if (actual == nullptr) return E_INVALIDARG;
        *actual = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override {
        if (thumbnail != nullptr) *thumbnail = nullptr;
        return WINCODEC_ERR_CODECNOTHUMBNAIL;
    }

private:
    ~Frame() override { picture_->Release(); }

    Picture* picture_;
};

class Decoder final : public ComObject<IWICBitmapDecoder, IID_IWICBitmapDecoder> {
public:
    Decoder() { InitializeSRWLock(&lock_); }

    // IWICBitmapDecoder
    HRESULT STDMETHODCALLTYPE QueryCapability(IStream* stream, DWORD* capability) override {
        if (stream == nullptr || capability == nullptr) return E_INVALIDARG;
        *capability = 0;
        // Look, then leave the stream where it was.
        LARGE_INTEGER zero = {};
        ULARGE_INTEGER position = {};
        if (FAILED(stream->Seek(zero, STREAM_SEEK_CUR, &position))) return WINCODEC_ERR_STREAMREAD;
        StreamHead head;
        HRESULT hr = ReadHead(stream, &head);
        LARGE_INTEGER back;
        back.QuadPart = static_cast<LONGLONG>(position.QuadPart);
        HRESULT restored = stream->Seek(back, STREAM_SEEK_SET, nullptr);
        if (FAILED(hr)) return hr;
        if (FAILED(restored)) return WINCODEC_ERR_STREAMREAD;
        tarnel_info_ex info;
        if (Identify(head, &info) == TARNEL_OK) {
            *capability = WICBitmapDecoderCapabilityCanDecodeAllImages |
                          WICBitmapDecoderCapabilityCanDecodeSomeImages;
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Initialize(IStream* stream, WICDecodeOptions) override {
        if (stream == nullptr) return E_INVALIDARG;
        AcquireSRWLockExclusive(&lock_);
        HRESULT hr = picture_ != nullptr ? WINCODEC_ERR_WRONGSTATE : Decode(stream);
        ReleaseSRWLockExclusive(&lock_);
        return hr;
    }

    HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override {
        if (format == nullptr) return E_INVALIDARG;
        *format = kContainerFormat;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetDecoderInfo(IWICBitmapDecoderInfo** info) override {
        if (info == nullptr) return E_INVALIDARG;
        *info = nullptr;
        IWICImagingFactory* factory = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, reinterpret_cast<void**>(&factory));
        if (FAILED(hr)) return hr;
        IWICComponentInfo* component = nullptr;
        hr = factory->CreateComponentInfo(kDecoderClsid, &component);
        factory->Release();
        if (FAILED(hr)) return hr;
        hr = component->QueryInterface(IID_IWICBitmapDecoderInfo, reinterpret_cast<void**>(info));
        component->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override {
        return WINCODEC_ERR_PALETTEUNAVAILABLE;
    }
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override {
        if (reader != nullptr) *reader = nullptr;
        return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    }
    HRESULT STDMETHODCALLTYPE GetPreview(IWICBitmapSource** preview) override {
        if (preview != nullptr) *preview = nullptr;
        return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    }
    HRESULT STDMETHODCALLTYPE GetColorContexts(UINT, IWICColorContext**, UINT* actual) override {
        if (actual != nullptr) *actual = 0;
        return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    }
    HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override {
        if (thumbnail != nullptr) *thumbnail = nullptr;
        return WINCODEC_ERR_CODECNOTHUMBNAIL;
    }

    HRESULT STDMETHODCALLTYPE GetFrameCount(UINT* count) override {
        if (count == nullptr) return E_INVALIDARG;
        if (!Initialized()) return WINCODEC_ERR_NOTINITIALIZED;
        *count = 1;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetFrame(UINT index, IWICBitmapFrameDecode** frame) override {
        if (frame == nullptr) return E_INVALIDARG;
        *frame = nullptr;
        AcquireSRWLockShared(&lock_);
        HRESULT hr = S_OK;
        if (picture_ == nullptr) {
            hr = WINCODEC_ERR_NOTINITIALIZED;
        } else if (index != 0) {
            hr = WINCODEC_ERR_FRAMEMISSING;
        } else {
            *frame = new (std::nothrow) Frame(picture_);
            if (*frame == nullptr) hr = E_OUTOFMEMORY;
        }
        ReleaseSRWLockShared(&lock_);
        return hr;
    }

private:
    ~Decoder() override {
        if (picture_ != nullptr) picture_->Release();
    }

    bool Initialized() {
        AcquireSRWLockShared(&lock_);
        bool initialized = picture_ != nullptr;
        ReleaseSRWLockShared(&lock_);
        return initialized;
    }

    // Reads and decodes the stream's picture; called under the lock.
    HRESULT Decode(IStream* stream) {
        StreamHead head;
        HRESULT hr = ReadHead(stream, &head);
        if (FAILED(hr)) return hr;
        // A stream that WIC offered for its first bytes but that is none of
        // the formats gets the answer of a stream no codec matches at all.
        tarnel_info_ex info;
        if (Identify(head, &info) != TARNEL_OK) return WINCODEC_ERR_COMPONENTNOTFOUND;
        Picture* picture = Picture::Create(info.output_width, info.output_height);
        tarnel_decoder* decoder = tarnel_decoder_new();
        if (picture == nullptr || decoder == nullptr) {
            if (picture != nullptr) picture->Release();
            tarnel_decoder_free(decoder);
            return E_OUTOFMEMORY;
        }
        // The same options and bytes give the picture the size identified.
        const tarnel_decode_options options = Options(head);
        int result = tarnel_decode_ex(decoder, head.bytes, head.held, &options, picture->pixels,
                                      picture->RowBytes(), nullptr);
        tarnel_decoder_free(decoder);
        if (result != TARNEL_OK) {
            picture->Release();
            return result == TARNEL_E_NO_MEMORY ? E_OUTOFMEMORY : WINCODEC_ERR_COMPONENTNOTFOUND;
        }
        picture_ = picture;
        return S_OK;
    }

    SRWLOCK lock_;
    Picture* picture_ = nullptr;  // set once, by Initialize
};

}  // namespace

void ObjectCreated() {
    InterlockedIncrement(&g_live_objects);
}
void ObjectDestroyed() {
    InterlockedDecrement(&g_live_objects);
}
LONG LiveObjects() {
    return InterlockedCompareExchange(&g_live_objects, 0, 0);
}

HRESULT CreateDecoder(REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    Decoder* decoder = new (std::nothrow) Decoder;
    if (decoder == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = decoder->QueryInterface(riid, out);
    decoder->Release();
    return hr;
}

}  // namespace tarnel_wic
