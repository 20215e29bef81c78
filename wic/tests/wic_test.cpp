// tarnel_wic.dll as Windows programs meet it, after `regsvr32`: through the
// Windows Imaging Component's factory, never naming the codec, and through
// the registry entries Microsoft documents for a WIC decoder. Run by
// scripts/test_wic.sh under Wine, which sets:
//   TARNEL_WIC_PICTURES  the golden pictures (tests/data/pictures)
//   TARNEL_WIC_FORMATS   the other formats' files, each beside its .bmp
//                        (tests/data/formats;tests/data/petscii: folders
//                        separated by ';', the character screens drawn with
//                        the set TARNEL_CHARGEN names)
//   TARNEL_WIC_WORK      an empty folder to write files in
//   TARNEL_WIC_HOSTILE   the hostile-file corpus (Decode.HostileCorpus)
//   TARNEL_WIC_DLL       the registered tarnel_wic.dll
//   TARNEL_WIC_ONLY      optional: only the golden files whose names start so
// Pixels of the twenty layouts are compared with the C library's own
// decoding of the same bytes; those of the other formats with their .bmp.
//
//   tarnel_wic_test [gtest options]   the tests
//   tarnel_wic_test counts            prints the numbers of subkeys and values
//                                     under the registry keys registration writes in
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <wincodec.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tarnel/tarnel.h"

namespace {

namespace fs = std::filesystem;

// Microsoft's documented keys and values, written out here on their own.
constexpr wchar_t kDecoderCategory[] = L"{7ED96837-96F0-4812-B211-F13C24117ED3}";
constexpr wchar_t kBgr24[] = L"{6FDDC324-4E03-4BFE-B185-3D77768DC90C}";
constexpr wchar_t kThumbnailSlot[] = L"{e357fccd-a995-4576-b01f-234630154e96}";
constexpr wchar_t kPhotoThumbnailProvider[] = L"{C7657C4A-9F68-40fa-A4DF-96BC08EB3551}";
constexpr wchar_t kPreviewSlot[] = L"{8895b1c6-b41f-4c1c-a562-0d564250836f}";
constexpr wchar_t kPhotoPreviewHandler[] = L"{FFE2A43C-56B9-4bf5-9A79-CC6D4285608A}";

// The codec's own identity, as its documentation states it.
constexpr wchar_t kClsidText[] = L"{DE368DA4-B05B-430F-9988-B71FFA06F562}";
constexpr CLSID kClsid = {
    0xde368da4, 0xb05b, 0x430f, {0x99, 0x88, 0xb7, 0x1f, 0xfa, 0x06, 0xf5, 0x62}};
constexpr GUID kContainer = {
    0x901326ac, 0x5018, 0x4221, {0x95, 0x39, 0xf0, 0x92, 0xb0, 0xdc, 0xdb, 0x3c}};
constexpr wchar_t kContainerText[] = L"{901326AC-5018-4221-9539-F092B0DCDB3C}";

constexpr UINT kWidth = TARNEL_WIDTH;
constexpr UINT kHeight = TARNEL_HEIGHT;
constexpr UINT kRow = kWidth * 3;

// A 1 x 1 PNG file.
constexpr unsigned char kPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
    0x00, 0x1f, 0x15, 0xc4, 0x89, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x78,
    0xda, 0x63, 0x64, 0x60, 0xf8, 0x5f, 0x0f, 0x00, 0x02, 0x87, 0x01, 0x80, 0xeb, 0x47,
    0xba, 0x92, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string Setting(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// A COM pointer that releases what it holds.
template <typename T>
class Com {
public:
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() { Reset(); }
    T** Receive() {
        Reset();
        return &p_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    void Reset() {
        if (p_ != nullptr) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

class RegKey {
public:
    RegKey() = default;
    RegKey(HKEY parent, const std::wstring& path) {
        if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    explicit operator bool() const { return key_ != nullptr; }
    HKEY get() const { return key_; }

    bool String(const wchar_t* name, std::wstring* value) const {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != REG_SZ) {
            return false;
        }
        std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                             &size) != ERROR_SUCCESS) {
            return false;
        }
        *value = text.data();
        return true;
    }
    std::wstring String(const wchar_t* name) const {
        std::wstring value = L"<missing>";
        String(name, &value);
        return value;
    }
    bool Dword(const wchar_t* name, DWORD* value) const {
        DWORD type = 0;
        DWORD size = sizeof *value;
        return RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(value),
                                &size) == ERROR_SUCCESS &&
               type == REG_DWORD;
    }
    bool Binary(const wchar_t* name, std::vector<BYTE>* value) const {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != REG_BINARY) {
            return false;
        }
        value->resize(size);
        return RegQueryValueExW(key_, name, nullptr, &type, value->data(), &size) == ERROR_SUCCESS;
    }
    std::vector<std::wstring> Subkeys() const {
        std::vector<std::wstring> names;
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD length = 256;
            if (RegEnumKeyExW(key_, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            names.push_back(name);
        }
        return names;
    }

private:
    HKEY key_ = nullptr;
};

bool ReadFile(const fs::path& path, std::vector<BYTE>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const fs::path& path, const BYTE* bytes, size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

struct Golden {
    fs::path path;
    std::vector<BYTE> bytes;
    UINT width = kWidth;
    UINT height = kHeight;
    std::vector<BYTE> bgr;  // the picture: height rows of width * 3 bytes, the top one first
};

bool Wanted(const fs::path& path) {
    return Lower(path.extension().wstring()) != L".bmp" &&
           path.filename().string().rfind(Setting("TARNEL_WIC_ONLY"), 0) == 0;
}

uint32_t Le(const std::vector<BYTE>& bytes, size_t at, size_t count) {
    uint32_t value = 0;
    for (size_t i = count; i-- > 0;) value = value << 8 | bytes[at + i];
    return value;
}

// A 24-bit bottom-up BMP file's pixels as top-down BGR rows; false for any
// other kind of BMP file.
bool ReadBmp(const fs::path& path, Golden* golden) {
    std::vector<BYTE> bmp;
    if (!ReadFile(path, &bmp) || bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M') return false;
    const uint32_t offset = Le(bmp, 10, 4);
    const uint32_t width = Le(bmp, 18, 4);
    const uint32_t height = Le(bmp, 22, 4);
    if (Le(bmp, 28, 2) != 24 || Le(bmp, 30, 4) != 0 || width == 0 || height == 0 ||
        width > TARNEL_MAX_PICTURE_SIDE || height > TARNEL_MAX_PICTURE_SIDE) {
        return false;
    }
    const size_t row = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    if (bmp.size() < offset + row * height) return false;
    golden->width = width;
    golden->height = height;
    golden->bgr.clear();
    for (uint32_t y = height; y-- > 0;) {
        const BYTE* from = bmp.data() + offset + row * y;
        golden->bgr.insert(golden->bgr.end(), from, from + static_cast<size_t>(width) * 3);
    }
    return true;
}

// The golden pictures (not their .bmp files), each decoded by the library.
const std::vector<Golden>& GoldenPictures() {
    static const std::vector<Golden> pictures = [] {
        std::vector<Golden> list;
        std::error_code ec;
        for (const fs::directory_entry& entry :
             fs::directory_iterator(Setting("TARNEL_WIC_PICTURES"), ec)) {
            const fs::path& path = entry.path();
            if (!Wanted(path)) continue;
            Golden golden;
            golden.path = path;
            if (!ReadFile(path, &golden.bytes)) continue;
            golden.bgr.assign(static_cast<size_t>(kRow) * kHeight, 0);
            tarnel_decoder* decoder = tarnel_decoder_new();
            tarnel_options options;
            tarnel_options_init(&options);
            options.pixel_format = TARNEL_BGR24;
            int result = tarnel_decode(decoder, golden.bytes.data(), golden.bytes.size(), &options,
                                       golden.bgr.data(), kRow, nullptr);
            tarnel_decoder_free(decoder);
            if (result == TARNEL_OK) list.push_back(std::move(golden));
        }
        std::sort(list.begin(), list.end(),
                  [](const Golden& a, const Golden& b) { return a.path < b.path; });
        return list;
    }();
    return pictures;
}

// The files of the formats beyond the twenty, each with the picture of its .bmp.
const std::vector<Golden>& FormatFiles() {
    static const std::vector<Golden> files = [] {
        std::vector<Golden> list;
        std::error_code ec;
        std::vector<fs::path> paths;
        const std::string folders = Setting("TARNEL_WIC_FORMATS");
        for (size_t start = 0; start <= folders.size();) {
            const size_t end = std::min(folders.find(';', start), folders.size());
            for (const fs::directory_entry& entry :
                 fs::directory_iterator(folders.substr(start, end - start), ec)) {
                paths.push_back(entry.path());
            }
            start = end + 1;
        }
        for (const fs::path& path : paths) {
            // A .scr's .col is part of its picture; a character set has none.
            if (!Wanted(path) || Lower(path.extension().wstring()) == L".col" ||
                !fs::exists(fs::path(path).replace_extension(".bmp"))) {
                continue;
            }
            Golden golden;
            golden.path = path;
            EXPECT_TRUE(ReadFile(path, &golden.bytes)) << path.string();
            EXPECT_TRUE(ReadBmp(fs::path(path).replace_extension(".bmp"), &golden))
                << path.string() << ": no 24-bit BMP beside it";
            list.push_back(std::move(golden));
        }
        std::sort(list.begin(), list.end(),
                  [](const Golden& a, const Golden& b) { return a.path < b.path; });
        return list;
    }();
    return files;
}

fs::path WorkDir() {
    return fs::path(Setting("TARNEL_WIC_WORK"));
}

// What the codec registers, from the library's format table: every
// extension of the formats it opens (all but those opened on request) with
// its format's MIME type, but for the one-letter ones (.a, .g), which name
// too many other kinds of file to claim, and .scr, screen savers'; and
// every such MIME type.
std::map<std::wstring, std::wstring> RegisteredTypes(std::set<std::wstring>* mime_types = nullptr,
                                                     std::set<std::wstring>* withheld = nullptr) {
    std::map<std::wstring, std::wstring> types;
    tarnel_format_info format;
    for (int i = 0; tarnel_format_at(i, &format) == TARNEL_OK; ++i) {
        if (format.found_by == TARNEL_FOUND_ON_REQUEST) continue;
        if (mime_types != nullptr) mime_types->insert(Widen(format.mime_type));
        const std::wstring extensions = Widen(format.extensions);
        for (size_t start = 0; start < extensions.size();) {
            size_t end = std::min(extensions.find(L' ', start), extensions.size());
            const std::wstring extension = L"." + extensions.substr(start, end - start);
            if (extension.size() > 2 && extension != L".scr") {
                types.emplace(extension, Widen(format.mime_type));  // the first format's
            } else if (withheld != nullptr) {
                withheld->insert(extension);
            }
            start = end + 1;
        }
    }
    return types;
}

std::set<std::wstring> SplitList(const std::wstring& text) {
    std::set<std::wstring> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L',', start);
        if (end == std::wstring::npos) end = text.size();
        if (end > start) items.insert(Lower(text.substr(start, end - start)));
        start = end + 1;
    }
    return items;
}

// Whether this is a 32-bit program on 64-bit Windows: then the codec
// registers its class only, and leaves the extensions to the 64-bit codec.
bool UnderWow64() {
#if defined(_WIN64)
    return false;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

class Wic : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IWICImagingFactory, factory_.ReceiveVoid()));
    }

    HRESULT FromFile(const fs::path& path, Com<IWICBitmapDecoder>* decoder) {
        return factory_->CreateDecoderFromFilename(path.wstring().c_str(), nullptr, GENERIC_READ,
                                                   WICDecodeMetadataCacheOnDemand,
                                                   decoder->Receive());
    }

    HRESULT FromMemory(const std::vector<BYTE>& bytes, Com<IWICBitmapDecoder>* decoder) {
        Com<IWICStream> stream;
        HRESULT hr = factory_->CreateStream(stream.Receive());
        if (FAILED(hr)) return hr;
        hr = stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()),
                                          static_cast<DWORD>(bytes.size()));
        if (FAILED(hr)) return hr;
        return factory_->CreateDecoderFromStream(
            stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder->Receive());
    }

    // Checks a decoder of a golden file: the codec's container, one frame,
    // 24-bit BGR at 96 dpi of the golden picture's size, and its pixels.
    void ExpectPicture(IWICBitmapDecoder* decoder, const Golden& golden) {
        GUID container = {};
        ASSERT_EQ(S_OK, decoder->GetContainerFormat(&container));
        EXPECT_TRUE(IsEqualGUID(container, kContainer));
        UINT count = 0;
        ASSERT_EQ(S_OK, decoder->GetFrameCount(&count));
        EXPECT_EQ(1u, count);
        Com<IWICBitmapFrameDecode> frame;
        ASSERT_EQ(S_OK, decoder->GetFrame(0, frame.Receive()));
        UINT width = 0;
        UINT height = 0;
        ASSERT_EQ(S_OK, frame->GetSize(&width, &height));
        ASSERT_EQ(golden.width, width);
        ASSERT_EQ(golden.height, height);
        WICPixelFormatGUID format = {};
        ASSERT_EQ(S_OK, frame->GetPixelFormat(&format));
        EXPECT_TRUE(IsEqualGUID(format, GUID_WICPixelFormat24bppBGR));
        double dpi_x = 0;
        double dpi_y = 0;
        ASSERT_EQ(S_OK, frame->GetResolution(&dpi_x, &dpi_y));
        EXPECT_EQ(96.0, dpi_x);
        EXPECT_EQ(96.0, dpi_y);
        std::vector<BYTE> pixels(golden.bgr.size(), 0);
        ASSERT_EQ(S_OK, frame->CopyPixels(nullptr, width * 3, static_cast<UINT>(pixels.size()),
                                          pixels.data()));
        EXPECT_TRUE(pixels == golden.bgr) << "pixels differ from the golden ones";
        // The far corner alone.
        const WICRect corner = {static_cast<INT>(width) - 1, static_cast<INT>(height) - 1, 1, 1};
        BYTE pixel[3] = {};
        ASSERT_EQ(S_OK, frame->CopyPixels(&corner, 3, 3, pixel));
        EXPECT_TRUE(std::equal(pixel, pixel + 3, golden.bgr.end() - 3));
    }

    Com<IWICImagingFactory> factory_;
};

TEST_F(Wic, EveryGoldenPictureFoundByFileNameUnderAnyName) {
    ASSERT_FALSE(GoldenPictures().empty()) << "no golden pictures in TARNEL_WIC_PICTURES";
    for (const Golden& golden : GoldenPictures()) {
        const fs::path stem = WorkDir() / golden.path.stem();
        const fs::path prg = fs::path(stem).concat(".prg");
        ASSERT_TRUE(WriteFile(prg, golden.bytes.data(), golden.bytes.size()));
        ASSERT_TRUE(WriteFile(stem, golden.bytes.data(), golden.bytes.size()));
        for (const fs::path& path : {golden.path, prg, stem}) {
            SCOPED_TRACE(path.string());
            Com<IWICBitmapDecoder> decoder;
            ASSERT_EQ(S_OK, FromFile(path, &decoder));
            ExpectPicture(decoder.get(), golden);
        }
    }
}

TEST_F(Wic, EveryGoldenPictureFoundFromAStream) {
    ASSERT_FALSE(GoldenPictures().empty());
    for (const Golden& golden : GoldenPictures()) {
        SCOPED_TRACE(golden.path.string());
        Com<IWICBitmapDecoder> decoder;
        ASSERT_EQ(S_OK, FromMemory(golden.bytes, &decoder));
        ExpectPicture(decoder.get(), golden);
    }
}

// The formats beyond the twenty, each at its own size, by the file's own
// name: through WIC's file stream (CreateDecoderFromFilename) and the
// shell's (SHCreateStreamOnFileEx), both of which give the codec the name.
// WIC hands a file to a codec only when one of the codec's patterns meets
// its first bytes: files of a format known by its name alone whose first
// bytes are anything (Printfox pages, packed SH1 and SH2 pictures, ...) are
// not found, whatever their name.
TEST_F(Wic, EveryFormatFoundByItsFileName) {
    ASSERT_FALSE(FormatFiles().empty()) << "no files in TARNEL_WIC_FORMATS";
    size_t unreached = 0;
    for (const Golden& golden : FormatFiles()) {
        SCOPED_TRACE(golden.path.string());
        // The codec hands the library the extension of the stream's name
        // alone, never a path: a .scr cannot find the .col beside it, which
        // holds its colours.
        if (Lower(golden.path.extension().wstring()) == L".scr") continue;
        Com<IWICBitmapDecoder> decoder;
        const HRESULT found = FromFile(golden.path, &decoder);
        if (found == WINCODEC_ERR_COMPONENTNOTFOUND) {
            tarnel_decode_options options;
            tarnel_decode_options_init(&options);
            EXPECT_NE(
                tarnel_identify_ex(golden.bytes.data(), golden.bytes.size(), &options, nullptr),
                TARNEL_OK)
                << "opens by its bytes, but WIC finds no codec for it";
            ++unreached;
            continue;
        }
        ASSERT_EQ(S_OK, found);
        ExpectPicture(decoder.get(), golden);
        Com<IStream> stream;
        ASSERT_EQ(S_OK, SHCreateStreamOnFileEx(golden.path.wstring().c_str(), STGM_READ, 0, FALSE,
                                               nullptr, stream.Receive()));
        ASSERT_EQ(S_OK,
                  factory_->CreateDecoderFromStream(
                      stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Receive()));
        ExpectPicture(decoder.get(), golden);
    }
    EXPECT_LT(unreached, FormatFiles().size() / 4) << "most files are found by their name";
}

// From a stream that gives no name, the files whose bytes alone say what
// they are (the formats with a signature) open; the others, which only
// their name tells from other files, are refused.
TEST_F(Wic, FormatsFromAStreamWithoutAName) {
    size_t opened = 0;
    size_t refused = 0;
    for (const Golden& golden : FormatFiles()) {
        SCOPED_TRACE(golden.path.string());
        tarnel_decode_options options;
        tarnel_decode_options_init(&options);
        Com<IWICBitmapDecoder> decoder;
        if (tarnel_identify_ex(golden.bytes.data(), golden.bytes.size(), &options, nullptr) ==
            TARNEL_OK) {
            ASSERT_EQ(S_OK, FromMemory(golden.bytes, &decoder));
            ExpectPicture(decoder.get(), golden);
            ++opened;
        } else {
            EXPECT_EQ(WINCODEC_ERR_COMPONENTNOTFOUND, FromMemory(golden.bytes, &decoder));
            ++refused;
        }
    }
    EXPECT_GT(opened, 0u);
    EXPECT_GT(refused, 0u);
}

TEST_F(Wic, CopyPixelsOfAPartialRectangleWithAnOddStride) {
    ASSERT_FALSE(GoldenPictures().empty());
    const Golden& golden = GoldenPictures().front();
    Com<IWICBitmapDecoder> decoder;
    ASSERT_EQ(S_OK, FromFile(golden.path, &decoder));
    Com<IWICBitmapFrameDecode> frame;
    ASSERT_EQ(S_OK, decoder->GetFrame(0, frame.Receive()));

    const WICRect rect = {17, 33, 101, 57};
    const UINT row = static_cast<UINT>(rect.Width) * 3;
    const UINT stride = row + 4;  // 307: odd, and not a multiple of 4
    const UINT size = stride * static_cast<UINT>(rect.Height - 1) + row;
    std::vector<BYTE> buffer(size, 0xcd);
    ASSERT_EQ(S_OK, frame->CopyPixels(&rect, stride, size, buffer.data()));
    for (INT y = 0; y < rect.Height; ++y) {
        const BYTE* got = buffer.data() + static_cast<size_t>(y) * stride;
        const BYTE* want = golden.bgr.data() + static_cast<size_t>(rect.Y + y) * kRow + rect.X * 3;
        ASSERT_TRUE(std::equal(got, got + row, want)) << "row " << y;
        if (y + 1 < rect.Height) {
            // The gap between rows is the caller's: left as it was.
            EXPECT_TRUE(std::all_of(got + row, got + stride, [](BYTE b) { return b == 0xcd; }))
                << "row " << y;
        }
    }
}

TEST_F(Wic, CopyPixelsRefusesWhatTheDocumentationRefuses) {
    ASSERT_FALSE(GoldenPictures().empty());
    Com<IWICBitmapDecoder> decoder;
    ASSERT_EQ(S_OK, FromFile(GoldenPictures().front().path, &decoder));
    Com<IWICBitmapFrameDecode> frame;
    ASSERT_EQ(S_OK, decoder->GetFrame(0, frame.Receive()));
    std::vector<BYTE> buffer(static_cast<size_t>(kRow) * kHeight + 16, 0);
    const UINT whole = kRow * kHeight;

    EXPECT_EQ(WINCODEC_ERR_INSUFFICIENTBUFFER,
              frame->CopyPixels(nullptr, kRow, whole - 1, buffer.data()));
    EXPECT_EQ(E_INVALIDARG, frame->CopyPixels(nullptr, kRow - 1, whole, buffer.data()));
    EXPECT_EQ(E_INVALIDARG, frame->CopyPixels(nullptr, kRow, whole, nullptr));
    const WICRect outside[] = {
        {-1, 0, 10, 10},         {0, -1, 10, 10},
        {kWidth - 9, 0, 10, 10}, {0, kHeight - 9, 10, 10},
        {0, 0, kWidth + 1, 1},   {1, 1, 0x7fffffff, 1},
        {0, 0, -5, 1},           {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff},
    };
    for (const WICRect& rect : outside) {
        SCOPED_TRACE(testing::Message()
                     << rect.X << "," << rect.Y << " " << rect.Width << "x" << rect.Height);
        EXPECT_EQ(E_INVALIDARG, frame->CopyPixels(&rect, kRow, whole, buffer.data()));
    }
    // A bigger stride than needed, and exactly the bytes it needs.
    const UINT stride = kRow + 1;
    EXPECT_EQ(WINCODEC_ERR_INSUFFICIENTBUFFER,
              frame->CopyPixels(nullptr, stride, stride * (kHeight - 1) + kRow - 1, buffer.data()));
    std::vector<BYTE> wide(static_cast<size_t>(stride) * kHeight, 0);
    EXPECT_EQ(S_OK, frame->CopyPixels(nullptr, stride, stride * (kHeight - 1) + kRow, wide.data()));
}

TEST_F(Wic, FormatConverterGivesPremultipliedBgra) {
    ASSERT_FALSE(GoldenPictures().empty());
    const Golden& golden = GoldenPictures().front();
    Com<IWICBitmapDecoder> decoder;
    ASSERT_EQ(S_OK, FromFile(golden.path, &decoder));
    Com<IWICBitmapFrameDecode> frame;
    ASSERT_EQ(S_OK, decoder->GetFrame(0, frame.Receive()));
    Com<IWICFormatConverter> converter;
    ASSERT_EQ(S_OK, factory_->CreateFormatConverter(converter.Receive()));
    ASSERT_EQ(S_OK, converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA,
                                          WICBitmapDitherTypeNone, nullptr, 0.0,
                                          WICBitmapPaletteTypeCustom));
    std::vector<BYTE> bgra(static_cast<size_t>(kWidth) * 4 * kHeight, 0);
    ASSERT_EQ(S_OK, converter->CopyPixels(nullptr, kWidth * 4, static_cast<UINT>(bgra.size()),
                                          bgra.data()));
    size_t differing = 0;
    for (size_t i = 0; i < static_cast<size_t>(kWidth) * kHeight; ++i) {
        const BYTE* got = &bgra[i * 4];
        const BYTE* want = &golden.bgr[i * 3];
        if (got[0] != want[0] || got[1] != want[1] || got[2] != want[2] || got[3] != 255) {
            ++differing;
        }
    }
    EXPECT_EQ(0u, differing);
}

TEST_F(Wic, DecoderInfoNamesTheCodecAndItsTypes) {
    ASSERT_FALSE(GoldenPictures().empty());
    Com<IWICBitmapDecoder> decoder;
    ASSERT_EQ(S_OK, FromFile(GoldenPictures().front().path, &decoder));
    Com<IWICBitmapDecoderInfo> info;
    ASSERT_EQ(S_OK, decoder->GetDecoderInfo(info.Receive()));

    auto text = [](auto method) {
        UINT length = 0;
        if (FAILED(method(0, nullptr, &length)) || length == 0) return std::wstring();
        std::vector<WCHAR> buffer(length, L'\0');
        if (FAILED(method(length, buffer.data(), &length))) return std::wstring();
        return std::wstring(buffer.data());
    };
    const std::wstring name =
        text([&](UINT n, WCHAR* b, UINT* l) { return info->GetFriendlyName(n, b, l); });
    EXPECT_NE(std::wstring::npos, name.find(L"Commodore 64")) << "friendly name: " << name.c_str();
    const std::set<std::wstring> extensions = SplitList(
        text([&](UINT n, WCHAR* b, UINT* l) { return info->GetFileExtensions(n, b, l); }));
    const std::set<std::wstring> mime_types =
        SplitList(text([&](UINT n, WCHAR* b, UINT* l) { return info->GetMimeTypes(n, b, l); }));
    std::set<std::wstring> registered_mime_types = {L"image/x-c64-picture"};
    std::set<std::wstring> registered_extensions;
    for (const auto& entry : RegisteredTypes(&registered_mime_types)) {
        registered_extensions.insert(entry.first);
    }
    EXPECT_EQ(registered_extensions, extensions);
    EXPECT_EQ(registered_mime_types, mime_types);
    CLSID clsid = {};
    ASSERT_EQ(S_OK, info->GetCLSID(&clsid));
    EXPECT_TRUE(IsEqualCLSID(clsid, kClsid));
    GUID container = {};
    ASSERT_EQ(S_OK, info->GetContainerFormat(&container));
    EXPECT_TRUE(IsEqualGUID(container, kContainer));
    UINT formats = 0;
    ASSERT_EQ(S_OK, info->GetPixelFormats(0, nullptr, &formats));
    EXPECT_EQ(1u, formats);
}

TEST_F(Wic, OptionalMethodsGiveTheirDocumentedResults) {
    ASSERT_FALSE(GoldenPictures().empty());
    Com<IWICBitmapDecoder> decoder;
    ASSERT_EQ(S_OK, FromFile(GoldenPictures().front().path, &decoder));
    Com<IWICPalette> palette;
    ASSERT_EQ(S_OK, factory_->CreatePalette(palette.Receive()));
    Com<IWICBitmapSource> source;
    Com<IWICMetadataQueryReader> reader;
    EXPECT_EQ(WINCODEC_ERR_PALETTEUNAVAILABLE, decoder->CopyPalette(palette.get()));
    EXPECT_EQ(WINCODEC_ERR_CODECNOTHUMBNAIL, decoder->GetThumbnail(source.Receive()));
    EXPECT_EQ(WINCODEC_ERR_UNSUPPORTEDOPERATION, decoder->GetPreview(source.Receive()));
    EXPECT_EQ(WINCODEC_ERR_UNSUPPORTEDOPERATION, decoder->GetMetadataQueryReader(reader.Receive()));
    Com<IWICBitmapFrameDecode> frame;
    EXPECT_EQ(WINCODEC_ERR_FRAMEMISSING, decoder->GetFrame(1, frame.Receive()));
    ASSERT_EQ(S_OK, decoder->GetFrame(0, frame.Receive()));
    EXPECT_EQ(WINCODEC_ERR_PALETTEUNAVAILABLE, frame->CopyPalette(palette.get()));
    EXPECT_EQ(WINCODEC_ERR_CODECNOTHUMBNAIL, frame->GetThumbnail(source.Receive()));
    EXPECT_EQ(WINCODEC_ERR_UNSUPPORTEDOPERATION, frame->GetMetadataQueryReader(reader.Receive()));
    UINT contexts = 99;
    EXPECT_EQ(S_OK, frame->GetColorContexts(0, nullptr, &contexts));
    EXPECT_EQ(0u, contexts);
    // The frame's interfaces, and none other.
    Com<IWICBitmapSource> as_source;
    EXPECT_EQ(S_OK, frame->QueryInterface(IID_IWICBitmapSource, as_source.ReceiveVoid()));
    Com<IWICBitmapDecoder> not_a_decoder;
    EXPECT_EQ(E_NOINTERFACE,
              frame->QueryInterface(IID_IWICBitmapDecoder, not_a_decoder.ReceiveVoid()));
}

// The codec itself, made through its component info as WIC makes it.
TEST_F(Wic, QueryCapabilityLooksAtTheContentAndRestoresThePosition) {
    ASSERT_FALSE(GoldenPictures().empty());
    Com<IWICComponentInfo> component;
    ASSERT_EQ(S_OK, factory_->CreateComponentInfo(kClsid, component.Receive()));
    Com<IWICBitmapDecoderInfo> info;
    ASSERT_EQ(S_OK, component->QueryInterface(IID_IWICBitmapDecoderInfo, info.ReceiveVoid()));

    const Golden& golden = GoldenPictures().front();
    std::vector<BYTE> too_long = golden.bytes;
    too_long.resize(TARNEL_MAX_ANY_FILE_SIZE + 1, 0);
    const std::vector<BYTE> png(std::begin(kPng), std::end(kPng));
    struct Case {
        const char* what;
        const std::vector<BYTE>* bytes;
        DWORD capability;
    } cases[] = {
        {"a golden picture", &golden.bytes,
         WICBitmapDecoderCapabilityCanDecodeAllImages |
             WICBitmapDecoderCapabilityCanDecodeSomeImages},
        {"a PNG file", &png, 0},
        {"the golden picture, one byte longer than any format's file", &too_long, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Com<IWICStream> stream;
        ASSERT_EQ(S_OK, factory_->CreateStream(stream.Receive()));
        ASSERT_EQ(S_OK, stream->InitializeFromMemory(const_cast<BYTE*>(c.bytes->data()),
                                                     static_cast<DWORD>(c.bytes->size())));
        LARGE_INTEGER five;
        five.QuadPart = 5;
        ASSERT_EQ(S_OK, stream->Seek(five, STREAM_SEEK_SET, nullptr));
        Com<IWICBitmapDecoder> decoder;
        ASSERT_EQ(S_OK, info->CreateInstance(decoder.Receive()));
        DWORD capability = 0xffffffff;
        EXPECT_EQ(S_OK, decoder->QueryCapability(stream.get(), &capability));
        EXPECT_EQ(c.capability, capability);
        LARGE_INTEGER zero = {};
        ULARGE_INTEGER position = {};
        ASSERT_EQ(S_OK, stream->Seek(zero, STREAM_SEEK_CUR, &position));
        EXPECT_EQ(5u, position.QuadPart);
        // Initialize agrees.
        const HRESULT initialized = decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnLoad);
        EXPECT_EQ(c.capability != 0, SUCCEEDED(initialized)) << std::hex << initialized;
        if (SUCCEEDED(initialized)) {
            EXPECT_EQ(WINCODEC_ERR_WRONGSTATE,
                      decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnLoad));
        } else {
            UINT count = 0;
            EXPECT_EQ(WINCODEC_ERR_NOTINITIALIZED, decoder->GetFrameCount(&count));
        }
    }
}

TEST_F(Wic, OtherFilesAreLeftToTheirOwnDecoders) {
    ASSERT_FALSE(GoldenPictures().empty());
    const Golden& golden = GoldenPictures().front();
    // A BMP file: the golden picture's own .bmp.
    fs::path bmp = golden.path;
    bmp.replace_extension(".bmp");
    const fs::path png = WorkDir() / "picture.png";
    ASSERT_TRUE(WriteFile(png, kPng, sizeof kPng));
    const struct {
        fs::path path;
        GUID container;
    } others[] = {{bmp, GUID_ContainerFormatBmp}, {png, GUID_ContainerFormatPng}};
    for (const auto& other : others) {
        SCOPED_TRACE(other.path.string());
        Com<IWICBitmapDecoder> decoder;
        ASSERT_EQ(S_OK, FromFile(other.path, &decoder));
        GUID container = {};
        ASSERT_EQ(S_OK, decoder->GetContainerFormat(&container));
        EXPECT_TRUE(IsEqualGUID(container, other.container));
    }

    // Files that are none of the layouts, one of them starting with a load
    // address the codec's patterns match, one named like a C64 picture.
    const std::string text = "This is a text file, not a picture of any kind.\n";
    std::vector<BYTE> koala_sized(10003, 0x11);  // a Koala file's size, wrong load address
    std::vector<BYTE> loads_like_koala(500, 0x00);
    loads_like_koala[1] = 0x60;  // $6000, Koala Painter's load address, but 500 bytes
    const struct {
        const char* name;
        std::vector<BYTE> bytes;
    } refused[] = {
        {"notes.txt", std::vector<BYTE>(text.begin(), text.end())},
        {"wrong-address.koa", koala_sized},
        {"too-short.koa", loads_like_koala},
        {"empty.koa", {}},
    };
    for (const auto& file : refused) {
        SCOPED_TRACE(file.name);
        const fs::path path = WorkDir() / file.name;
        ASSERT_TRUE(WriteFile(path, file.bytes.data(), file.bytes.size()));
        Com<IWICBitmapDecoder> decoder;
        EXPECT_EQ(WINCODEC_ERR_COMPONENTNOTFOUND, FromFile(path, &decoder));
        // (WIC makes no stream over no memory.)
        if (!file.bytes.empty()) {
            EXPECT_EQ(WINCODEC_ERR_COMPONENTNOTFOUND, FromMemory(file.bytes, &decoder));
        }
    }
}

TEST_F(Wic, HostileCorpusGivesErrorsOrPictures) {
    const std::string folder = Setting("TARNEL_WIC_HOSTILE");
    ASSERT_FALSE(folder.empty()) << "TARNEL_WIC_HOSTILE is not set";
    size_t files = 0;
    size_t pictures = 0;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        Com<IWICBitmapDecoder> decoder;
        if (FAILED(FromFile(entry.path(), &decoder))) continue;
        Com<IWICBitmapFrameDecode> frame;
        ASSERT_EQ(S_OK, decoder->GetFrame(0, frame.Receive())) << entry.path().string();
        UINT width = 0;
        UINT height = 0;
        ASSERT_EQ(S_OK, frame->GetSize(&width, &height)) << entry.path().string();
        ASSERT_TRUE(width > 0 && height > 0 && width <= TARNEL_MAX_PICTURE_SIDE &&
                    height <= TARNEL_MAX_PICTURE_SIDE &&
                    static_cast<uint64_t>(width) * height <= TARNEL_MAX_PICTURE_PIXELS)
            << entry.path().string() << ": " << width << " x " << height;
        std::vector<BYTE> pixels(static_cast<size_t>(width) * 3 * height, 0);
        ASSERT_EQ(S_OK, frame->CopyPixels(nullptr, width * 3, static_cast<UINT>(pixels.size()),
                                          pixels.data()))
            << entry.path().string();
        ++pictures;
    }
    EXPECT_FALSE(ec) << ec.message();
    EXPECT_GT(files, 0u) << "no files in " << folder;
    std::printf("hostile corpus: %zu files, %zu decoded as pictures, the rest refused\n", files,
                pictures);
}

// The registry entries, key by key, against Microsoft's documentation.
TEST(Registry, EntriesAreTheDocumentedOnes) {
    RegKey classes(HKEY_LOCAL_MACHINE, L"Software\\Classes");
    ASSERT_TRUE(classes);
    const std::wstring clsid_path = std::wstring(L"CLSID\\") + kClsidText;
    RegKey clsid(classes.get(), clsid_path);
    ASSERT_TRUE(clsid) << "no HKLM\\Software\\Classes\\CLSID\\{codec}";

    // General registry entries.
    const std::wstring name = clsid.String(L"FriendlyName");
    EXPECT_NE(std::wstring::npos, name.find(L"Commodore 64"));
    EXPECT_NE(L"<missing>", clsid.String(L"Author"));
    const std::wstring vendor = clsid.String(L"Vendor");
    CLSID parsed = {};
    EXPECT_EQ(S_OK, CLSIDFromString(vendor.c_str(), &parsed)) << "Vendor is no GUID";
    int parts[4] = {};
    EXPECT_EQ(4, swscanf(clsid.String(L"Version").c_str(), L"%d.%d.%d.%d", &parts[0], &parts[1],
                         &parts[2], &parts[3]))
        << "Version is not Major.Minor.Build.Number";
    EXPECT_EQ(Lower(kContainerText), Lower(clsid.String(L"ContainerFormat")));
    std::set<std::wstring> registered_mime_types = {L"image/x-c64-picture"};
    std::set<std::wstring> withheld;
    const std::map<std::wstring, std::wstring> types =
        RegisteredTypes(&registered_mime_types, &withheld);
    std::set<std::wstring> registered_extensions;
    for (const auto& entry : types) registered_extensions.insert(entry.first);
    EXPECT_EQ(registered_extensions, SplitList(clsid.String(L"FileExtensions")));
    EXPECT_EQ(registered_mime_types, SplitList(clsid.String(L"MimeTypes")));
    RegKey format(clsid.get(), std::wstring(L"Formats\\") + kBgr24);
    EXPECT_TRUE(format) << "no Formats\\{24bppBGR}";
    EXPECT_EQ(1u, RegKey(clsid.get(), L"Formats").Subkeys().size());

    // The server.
    RegKey server(clsid.get(), L"InprocServer32");
    ASSERT_TRUE(server);
    std::wstring dll = Widen(Setting("TARNEL_WIC_DLL"));
    std::replace(dll.begin(), dll.end(), L'/', L'\\');
    std::wstring registered = server.String(nullptr);
    std::replace(registered.begin(), registered.end(), L'/', L'\\');
    EXPECT_EQ(Lower(dll), Lower(registered));
    EXPECT_EQ(L"Both", server.String(L"ThreadingModel"));

    // The patterns: well formed, and every golden picture matches one.
    RegKey patterns(clsid.get(), L"Patterns");
    ASSERT_TRUE(patterns);
    const std::vector<std::wstring> numbers = patterns.Subkeys();
    ASSERT_FALSE(numbers.empty());
    struct Found {
        DWORD position;
        std::vector<BYTE> bytes;
        std::vector<BYTE> mask;
    };
    std::vector<Found> found;
    for (size_t i = 0; i < numbers.size(); ++i) {
        RegKey pattern(patterns.get(), std::to_wstring(i));
        ASSERT_TRUE(pattern) << "pattern keys are not numbered 0 to " << numbers.size() - 1;
        Found f = {};
        DWORD length = 0;
        ASSERT_TRUE(pattern.Dword(L"Position", &f.position)) << i;
        ASSERT_TRUE(pattern.Dword(L"Length", &length)) << i;
        ASSERT_TRUE(pattern.Binary(L"Pattern", &f.bytes)) << i;
        ASSERT_TRUE(pattern.Binary(L"Mask", &f.mask)) << i;
        EXPECT_EQ(length, f.bytes.size()) << i;
        EXPECT_EQ(length, f.mask.size()) << i;
        found.push_back(f);
    }
    // The twenty's pictures and every file that opens by its bytes alone;
    // of the formats known by their name, those with fixed first bytes.
    std::vector<Golden> every = GoldenPictures();
    for (const Golden& golden : FormatFiles()) {
        tarnel_decode_options options;
        tarnel_decode_options_init(&options);
        if (tarnel_identify_ex(golden.bytes.data(), golden.bytes.size(), &options, nullptr) ==
            TARNEL_OK) {
            every.push_back(golden);
        }
    }
    for (const Golden& golden : every) {
        const bool matched = std::any_of(found.begin(), found.end(), [&](const Found& f) {
            if (golden.bytes.size() < f.position + f.bytes.size()) return false;
            for (size_t j = 0; j < f.bytes.size(); ++j) {
                // As WIC compares: the masked byte equals the pattern's.
                if ((golden.bytes[f.position + j] & f.mask[j]) != f.bytes[j]) {
                    return false;
                }
            }
            return true;
        });
        EXPECT_TRUE(matched) << golden.path.string() << " matches no pattern";
    }

    // Decoder-specific: the entry under the decoders' category.
    RegKey instance(classes.get(),
                    std::wstring(L"CLSID\\") + kDecoderCategory + L"\\Instance\\" + kClsidText);
    ASSERT_TRUE(instance) << "not in the WIC decoder category";
    EXPECT_EQ(Lower(kClsidText), Lower(instance.String(L"CLSID")));
    EXPECT_EQ(name, instance.String(L"FriendlyName"));

    // Explorer and Photo Viewer, for every extension registered (a 32-bit
    // codec on 64-bit Windows leaves them to the 64-bit one), and for none
    // of those withheld.
    EXPECT_FALSE(withheld.empty());
    for (const std::wstring& extension : withheld) {
        EXPECT_FALSE(RegKey(classes.get(), extension))
            << std::string(extension.begin(), extension.end()) << " is claimed";
    }
    for (const auto& [extension, mime_type] : types) {
        SCOPED_TRACE(std::string(extension.begin(), extension.end()));
        RegKey key(classes.get(), extension);
        if (UnderWow64()) {
            EXPECT_FALSE(key);
            continue;
        }
        ASSERT_TRUE(key);
        EXPECT_EQ(mime_type, key.String(L"Content Type"));
        EXPECT_EQ(L"image", key.String(L"PerceivedType"));
        RegKey thumbnail(key.get(), std::wstring(L"ShellEx\\") + kThumbnailSlot);
        EXPECT_EQ(Lower(kPhotoThumbnailProvider), Lower(thumbnail.String(nullptr)));
        RegKey preview(key.get(), std::wstring(L"ShellEx\\") + kPreviewSlot);
        EXPECT_EQ(Lower(kPhotoPreviewHandler), Lower(preview.String(nullptr)));
    }
    // Nothing of it under the user's classes when the machine's were writable.
    EXPECT_FALSE(RegKey(HKEY_CURRENT_USER, L"Software\\Classes\\" + clsid_path));
}

// After `regsvr32 /u`: no key registration writes is left, in either hive.
TEST(Registry, NothingLeftAfterUnregistering) {
    for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        RegKey classes(hive, L"Software\\Classes");
        if (!classes) continue;
        EXPECT_FALSE(RegKey(classes.get(), std::wstring(L"CLSID\\") + kClsidText));
        EXPECT_FALSE(RegKey(classes.get(), std::wstring(L"CLSID\\") + kDecoderCategory +
                                               L"\\Instance\\" + kClsidText));
        for (const auto& entry : RegisteredTypes()) {
            EXPECT_FALSE(RegKey(classes.get(), entry.first))
                << std::string(entry.first.begin(), entry.first.end()) << " is left";
        }
    }
    // And WIC no longer finds a decoder for a C64 picture.
    if (!GoldenPictures().empty()) {
        Com<IWICImagingFactory> factory;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IWICImagingFactory, factory.ReceiveVoid()));
        Com<IWICBitmapDecoder> decoder;
        EXPECT_EQ(WINCODEC_ERR_COMPONENTNOTFOUND,
                  factory->CreateDecoderFromFilename(
                      GoldenPictures().front().path.wstring().c_str(), nullptr, GENERIC_READ,
                      WICDecodeMetadataCacheOnDemand, decoder.Receive()));
    }
}

// The numbers of subkeys and values under the keys registration writes in.
int PrintCounts() {
    const struct {
        HKEY hive;
        const char* hive_name;
        std::wstring path;
    } keys[] = {
        {HKEY_LOCAL_MACHINE, "HKLM", L"Software\\Classes"},
        {HKEY_LOCAL_MACHINE, "HKLM", L"Software\\Classes\\CLSID"},
        {HKEY_LOCAL_MACHINE, "HKLM",
         std::wstring(L"Software\\Classes\\CLSID\\") + kDecoderCategory + L"\\Instance"},
        {HKEY_CURRENT_USER, "HKCU", L"Software\\Classes"},
        {HKEY_CURRENT_USER, "HKCU", L"Software\\Classes\\CLSID"},
        {HKEY_CURRENT_USER, "HKCU",
         std::wstring(L"Software\\Classes\\CLSID\\") + kDecoderCategory + L"\\Instance"},
    };
    for (const auto& key : keys) {
        RegKey opened(key.hive, key.path);
        DWORD subkeys = 0;
        DWORD values = 0;
        if (opened) {
            RegQueryInfoKeyW(opened.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr);
        }
        std::printf("%s\\%ls: %s %lu subkeys %lu values\n", key.hive_name, key.path.c_str(),
                    opened ? "present" : "absent", static_cast<unsigned long>(subkeys),
                    static_cast<unsigned long>(values));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "counts") return PrintCounts();
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 2;
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
