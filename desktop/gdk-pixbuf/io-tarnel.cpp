// The gdk-pixbuf loader module (libpixbufloader-tarnel.so): C64 pictures in
// every GTK program, through the C library (tarnel/tarnel.h).
//
// gdk-pixbuf picks the module for a file through the MIME types it lists
// (from shared-mime-info, with tarnel.xml installed) or, where it is built
// without MIME sniffing, through the signature patterns below. Either way
// the module itself trusts only the library's identification of the bytes.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gmodule.h>

#include <cstdio>
#include <string>

#include "desktop_types.h"
#include "tarnel/tarnel.h"

namespace {

// A file is at most this long; one byte more tells a larger file apart.
constexpr size_t READ_LIMIT = TARNEL_MAX_FILE_SIZE + 1;

// Sets `error` to the library's words for why `bytes` (all of a file, or
// READ_LIMIT bytes of a larger one) are no picture.
void SetRefusal(const guchar* bytes, size_t size, GError** error) {
    char text[256];
    int result;
    if (size > TARNEL_MAX_FILE_SIZE) {
        // The file's true size is unknown here; the library's text for the
        // result names none.
        result = TARNEL_E_TOO_LARGE;
        g_strlcpy(text, tarnel_strerror(result), sizeof text);
    } else {
        result = tarnel_explain(bytes, size, text, sizeof text);
    }
    const GdkPixbufError code = result == TARNEL_E_NO_MEMORY ? GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY
                                : result == TARNEL_E_NOT_RECOGNISED || result == TARNEL_E_TOO_LARGE
                                    ? GDK_PIXBUF_ERROR_CORRUPT_IMAGE
                                    : GDK_PIXBUF_ERROR_FAILED;
    g_set_error_literal(error, GDK_PIXBUF_ERROR, code, text);
}

// The picture of the whole file `bytes`, or NULL with `error` set.
GdkPixbuf* Decode(const guchar* bytes, size_t size, GError** error) {
    if (size > TARNEL_MAX_FILE_SIZE || tarnel_identify(bytes, size, nullptr) != TARNEL_OK) {
        SetRefusal(bytes, size, error);
        return nullptr;
    }
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, TARNEL_WIDTH, TARNEL_HEIGHT);
    tarnel_decoder* decoder = tarnel_decoder_new();
    if (pixbuf == nullptr || decoder == nullptr) {
        tarnel_decoder_free(decoder);
        if (pixbuf != nullptr) g_object_unref(pixbuf);
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                            tarnel_strerror(TARNEL_E_NO_MEMORY));
        return nullptr;
    }
    // A 3-channel pixbuf is exactly the library's RGB24 rows, at the
    // pixbuf's own row stride.
    const int result =
        tarnel_decode(decoder, bytes, size, nullptr, gdk_pixbuf_get_pixels(pixbuf),
                      static_cast<size_t>(gdk_pixbuf_get_rowstride(pixbuf)), nullptr);
    tarnel_decoder_free(decoder);
    if (result != TARNEL_OK) {
        g_object_unref(pixbuf);
        SetRefusal(bytes, size, error);
        return nullptr;
    }
    return pixbuf;
}

// Whole-file loading (gdk_pixbuf_new_from_file).
GdkPixbuf* Load(FILE* file, GError** error) {
    auto* bytes = static_cast<guchar*>(g_malloc(READ_LIMIT));
    const size_t size = std::fread(bytes, 1, READ_LIMIT, file);
    GdkPixbuf* pixbuf = nullptr;
    if (std::ferror(file) != 0) {
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_FAILED,
                            "the file could not be read");
    } else {
        pixbuf = Decode(bytes, size, error);
    }
    g_free(bytes);
    return pixbuf;
}

// Incremental loading (GdkPixbufLoader): the bytes are gathered until the
// loader is closed, since a layout is told by the file's exact size and its
// last bytes; a file that grows past the limit is refused at once.
struct Context {
    GdkPixbufModuleSizeFunc sizeFunc;
    GdkPixbufModulePreparedFunc preparedFunc;
    GdkPixbufModuleUpdatedFunc updatedFunc;
    gpointer userData;
    GByteArray* bytes;  // at most READ_LIMIT
};

gpointer BeginLoad(GdkPixbufModuleSizeFunc sizeFunc, GdkPixbufModulePreparedFunc preparedFunc,
                   GdkPixbufModuleUpdatedFunc updatedFunc, gpointer userData, GError** /*error*/) {
    Context* context = g_new0(Context, 1);
    context->sizeFunc = sizeFunc;
    context->preparedFunc = preparedFunc;
    context->updatedFunc = updatedFunc;
    context->userData = userData;
    context->bytes = g_byte_array_sized_new(TARNEL_MAX_FILE_SIZE);
    return context;
}

gboolean LoadIncrement(gpointer data, const guchar* buffer, guint size, GError** error) {
    auto* context = static_cast<Context*>(data);
    const size_t room = READ_LIMIT - context->bytes->len;
    g_byte_array_append(context->bytes, buffer, static_cast<guint>(size < room ? size : room));
    if (context->bytes->len > TARNEL_MAX_FILE_SIZE) {
        SetRefusal(context->bytes->data, context->bytes->len, error);
        return FALSE;
    }
    return TRUE;
}

gboolean StopLoad(gpointer data, GError** error) {
    auto* context = static_cast<Context*>(data);
    const guchar* bytes = context->bytes->data;
    const size_t size = context->bytes->len;
    gboolean done = FALSE;
    if (size > TARNEL_MAX_FILE_SIZE || tarnel_identify(bytes, size, nullptr) != TARNEL_OK) {
        SetRefusal(bytes, size, error);
    } else {
        // Told the size, the loader may want no picture at all (only the
        // size), or another size, which it then scales to itself.
        gint width = TARNEL_WIDTH;
        gint height = TARNEL_HEIGHT;
        if (context->sizeFunc != nullptr) context->sizeFunc(&width, &height, context->userData);
        if (width == 0 || height == 0) {
            done = TRUE;
        } else if (GdkPixbuf* pixbuf = Decode(bytes, size, error)) {
            if (context->preparedFunc != nullptr) {
                context->preparedFunc(pixbuf, nullptr, context->userData);
            }
            if (context->updatedFunc != nullptr) {
                context->updatedFunc(pixbuf, 0, 0, TARNEL_WIDTH, TARNEL_HEIGHT, context->userData);
            }
            g_object_unref(pixbuf);
            done = TRUE;
        }
    }
    g_byte_array_unref(context->bytes);
    g_free(context);
    return done;
}

// Signature patterns (for gdk-pixbuf built without MIME sniffing): the text
// signatures, the packed FLI Graph header and the load addresses ($6000,
// $5C00, $5800, $4000, $3C00, $3B00, $2000, $3F8E: the first two bytes, low
// byte first). In a prefix a zero byte cannot be written: its mask byte is
// 'z' and the prefix holds a placeholder. 'x' is a byte that is not compared.
constexpr int SIGNATURE_RELEVANCE = 100;
constexpr int HEADER_RELEVANCE = 80;
constexpr int LOAD_ADDRESS_RELEVANCE = 20;
constexpr size_t GUNPAINT_OFFSET = 1002;
constexpr char GUNPAINT_TEXT[] = "GUNPAINT (JZ)";

// Where the Gunpaint signature lies, 1002 bytes into a file whose load
// address may be anything: two patterns, for a first byte of zero and of
// any other value (a mask may not begin with '*', which would unanchor it).
std::string GunpaintPrefix() {
    return std::string(GUNPAINT_OFFSET, ' ') + GUNPAINT_TEXT;
}
std::string GunpaintMask(char firstByte) {
    return firstByte + std::string(GUNPAINT_OFFSET - 1, 'x') +
           std::string(sizeof GUNPAINT_TEXT - 1, ' ');
}

char* Text(const char* text) {
    return const_cast<char*>(text);
}

}  // namespace

extern "C" {

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module);
G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info);

void fill_vtable(GdkPixbufModule* module) {
    module->load = Load;
    module->begin_load = BeginLoad;
    module->stop_load = StopLoad;
    module->load_increment = LoadIncrement;
}

void fill_info(GdkPixbufFormat* info) {
    // Kept for the life of the process: gdk-pixbuf holds on to these.
    static const std::string gunpaintPrefix = GunpaintPrefix();
    static const std::string gunpaintMaskZero = GunpaintMask('z');
    static const std::string gunpaintMaskOther = GunpaintMask('n');
    static GdkPixbufModulePattern signature[] = {
        // F0 3F "FUNPAINT (MT) " and 00 58 "DRAZLACE! 1.0" ('?' is 3F, 'X' 58).
        {Text("\xF0?FUNPAINT (MT) "), nullptr, SIGNATURE_RELEVANCE},
        {Text(" XDRAZLACE! 1.0"), Text("z              "), SIGNATURE_RELEVANCE},
        {Text(gunpaintPrefix.c_str()), Text(gunpaintMaskZero.c_str()), SIGNATURE_RELEVANCE},
        {Text(gunpaintPrefix.c_str()), Text(gunpaintMaskOther.c_str()), SIGNATURE_RELEVANCE},
        {Text("\xF0\x38   \x3F\x7F "), Text("  xxx  z"), HEADER_RELEVANCE},
        {Text(" \x60"), Text("z "), LOAD_ADDRESS_RELEVANCE},
        {Text(" \x5C"), Text("z "), LOAD_ADDRESS_RELEVANCE},
        {Text(" \x58"), Text("z "), LOAD_ADDRESS_RELEVANCE},
        {Text(" \x40"), Text("z "), LOAD_ADDRESS_RELEVANCE},
        {Text(" \x3C"), Text("z "), LOAD_ADDRESS_RELEVANCE},
        {Text(" \x3B"), Text("z "), LOAD_ADDRESS_RELEVANCE},
        {Text(" \x20"), Text("z "), LOAD_ADDRESS_RELEVANCE},
        {Text("\x8E\x3F"), nullptr, LOAD_ADDRESS_RELEVANCE},
        {nullptr, nullptr, 0},
    };
    static const char* const mimeTypes[] = {TARNEL_DESKTOP_MIME_TYPES, nullptr};
    static const char* const extensions[] = {TARNEL_DESKTOP_EXTENSIONS, nullptr};
    info->name = Text("c64");
    info->signature = signature;
    info->description = Text("Commodore 64 picture");
    info->mime_types = const_cast<gchar**>(mimeTypes);
    info->extensions = const_cast<gchar**>(extensions);
    info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
    info->license = Text("other");
}

}  // extern "C"
