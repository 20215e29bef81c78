// The gdk-pixbuf loader modules, built from this one source: C64 pictures in
// every GTK program, through the C library (tarnel/tarnel.h), each picture
// at its own size (320 x 200 for the twenty layouts, a character set's or
// a sprite set's own for the other formats).
//
// gdk-pixbuf picks the module for a file through the MIME types it lists
// (from shared-mime-info, with tarnel.xml installed: the file's magic, or
// its name's glob where no magic speaks) or, where it is built without MIME
// sniffing, through the signature patterns below; it never hands a module
// the file's name. So each type of tarnel.xml has a module of its own
// (desktop/CMakeLists.txt): libpixbufloader-tarnel-koala.so for
// image/x-c64-koala, libpixbufloader-tarnel-charset.so for
// image/x-c64-charset, and so on. Picked for its type, a module knows that
// the file's name or the program said so, and hands the library each
// extension the library's table lists for the type, in turn, as the name
// hint: the first that opens the file decides. That opens the formats whose
// files carry no signature (a .64c character set is a load address and
// character bytes). Where several formats of one type fit the same bytes
// under their own names, the module, knowing the type alone, shows the
// first of them. The main module, libpixbufloader-tarnel.so, takes the
// common type image/x-c64-picture and goes by the bytes alone.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gmodule.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "pixbuf_module.h"
#include "tarnel/tarnel.h"

namespace {

// A file is at most this long; one byte more tells a larger file apart.
constexpr size_t READ_LIMIT = TARNEL_MAX_ANY_FILE_SIZE + 1;
constexpr size_t READ_CHUNK = 16384;
// Room for the library's words on a refused file: the longest, on a
// character screen with no character set, names every way to give one.
constexpr size_t EXPLAIN_SIZE = 1024;

// The name hints this module hands the library, in turn: the extensions the
// library's format table lists for the module's own type ("64c", "g", "zs"
// for image/x-c64-charset); none for the main module.
std::vector<std::string> NameHints() {
    std::vector<std::string> hints;
    const std::string type = TARNEL_PIXBUF_NAMED_TYPE;
    if (type.empty()) return hints;
    const int count = tarnel_format_count();
    for (int i = 0; i < count; ++i) {
        tarnel_format_info format;
        if (tarnel_format_at(i, &format) != TARNEL_OK || format.mime_type == nullptr ||
            format.extensions == nullptr || type != format.mime_type) {
            continue;
        }
        const char* at = format.extensions;
        while (*at != '\0') {
            const size_t length = std::strcspn(at, " ");
            if (length > 0) hints.emplace_back(at, length);
            at += length;
            if (*at == ' ') ++at;
        }
    }
    return hints;
}

// What the library makes of a file, and with which options (a 1.3 record,
// its name hint the one that opened the file).
struct Identified {
    int result = TARNEL_E_NOT_RECOGNISED;
    tarnel_decode_options options{};
    tarnel_info_ex info{};
};

Identified Identify(const guchar* bytes, size_t size) {
    // Built once, kept for the life of the process (the options point into it).
    static const std::vector<std::string> hints = NameHints();
    Identified file;
    tarnel_decode_options_init(&file.options);
    file.info.size = sizeof file.info;
    if (size > TARNEL_MAX_ANY_FILE_SIZE) {
        file.result = TARNEL_E_TOO_LARGE;
        return file;
    }
    if (hints.empty()) {
        file.result = tarnel_identify_ex(bytes, size, &file.options, &file.info);
        return file;
    }
    // Each hint in turn, until one opens the file or gives another reason
    // than "not recognised"; the explanation of a file none opens speaks
    // of the first.
    for (const std::string& hint : hints) {
        file.options.file_name = hint.c_str();
        file.result = tarnel_identify_ex(bytes, size, &file.options, &file.info);
        if (file.result != TARNEL_E_NOT_RECOGNISED) return file;
    }
    file.options.file_name = hints.front().c_str();
    return file;
}

// Sets `error` to the library's words for why `bytes` (all of a file, or
// READ_LIMIT bytes of a larger one) are no picture.
void SetRefusal(const guchar* bytes, size_t size, const Identified& file, GError** error) {
    char text[EXPLAIN_SIZE];
    int result = file.result;
    if (size > TARNEL_MAX_ANY_FILE_SIZE) {
        // The file's true size is unknown here; the library's text for the
        // result names none.
        g_strlcpy(text, tarnel_strerror(result), sizeof text);
    } else {
        result = tarnel_explain_ex(bytes, size, &file.options, text, sizeof text);
    }
    const GdkPixbufError code = result == TARNEL_E_NO_MEMORY ? GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY
                                : result == TARNEL_E_NOT_RECOGNISED || result == TARNEL_E_TOO_LARGE
                                    ? GDK_PIXBUF_ERROR_CORRUPT_IMAGE
                                    : GDK_PIXBUF_ERROR_FAILED;
    g_set_error_literal(error, GDK_PIXBUF_ERROR, code, text);
}

// The picture of the whole file `bytes`, identified as `file`, or NULL with
// `error` set.
GdkPixbuf* Decode(const guchar* bytes, size_t size, const Identified& file, GError** error) {
    if (file.result != TARNEL_OK) {
        SetRefusal(bytes, size, file, error);
        return nullptr;
    }
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, file.info.output_width,
                                       file.info.output_height);
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
        tarnel_decode_ex(decoder, bytes, size, &file.options, gdk_pixbuf_get_pixels(pixbuf),
                         static_cast<size_t>(gdk_pixbuf_get_rowstride(pixbuf)), nullptr);
    tarnel_decoder_free(decoder);
    if (result != TARNEL_OK) {
        g_object_unref(pixbuf);
        Identified failed = file;
        failed.result = result;
        SetRefusal(bytes, size, failed, error);
        return nullptr;
    }
    return pixbuf;
}

// Whole-file loading (gdk_pixbuf_new_from_file).
GdkPixbuf* Load(FILE* file, GError** error) {
    GByteArray* bytes = g_byte_array_new();
    guchar chunk[READ_CHUNK];
    size_t got = 0;
    while (bytes->len < READ_LIMIT &&
           (got = std::fread(chunk, 1, std::min(sizeof chunk, READ_LIMIT - bytes->len), file)) >
               0) {
        g_byte_array_append(bytes, chunk, static_cast<guint>(got));
    }
    GdkPixbuf* pixbuf = nullptr;
    if (std::ferror(file) != 0) {
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_FAILED,
                            "the file could not be read");
    } else {
        pixbuf = Decode(bytes->data, bytes->len, Identify(bytes->data, bytes->len), error);
    }
    g_byte_array_unref(bytes);
    return pixbuf;
}

// Incremental loading (GdkPixbufLoader): the bytes are gathered until the
// loader is closed, since a format is told by the file's exact size and its
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
    context->bytes = g_byte_array_new();
    return context;
}

gboolean LoadIncrement(gpointer data, const guchar* buffer, guint size, GError** error) {
    auto* context = static_cast<Context*>(data);
    const size_t room = READ_LIMIT - context->bytes->len;
    g_byte_array_append(context->bytes, buffer, static_cast<guint>(size < room ? size : room));
    if (context->bytes->len > TARNEL_MAX_ANY_FILE_SIZE) {
        const guchar* bytes = context->bytes->data;
        SetRefusal(bytes, context->bytes->len, Identify(bytes, context->bytes->len), error);
        return FALSE;
    }
    return TRUE;
}

gboolean StopLoad(gpointer data, GError** error) {
    auto* context = static_cast<Context*>(data);
    const guchar* bytes = context->bytes->data;
    const size_t size = context->bytes->len;
    gboolean done = FALSE;
    const Identified file = Identify(bytes, size);
    if (file.result != TARNEL_OK) {
        SetRefusal(bytes, size, file, error);
    } else {
        // Told the size, the loader may want no picture at all (only the
        // size), or another size, which it then scales to itself.
        gint width = file.info.output_width;
        gint height = file.info.output_height;
        if (context->sizeFunc != nullptr) context->sizeFunc(&width, &height, context->userData);
        if (width == 0 || height == 0) {
            done = TRUE;
        } else if (GdkPixbuf* pixbuf = Decode(bytes, size, file, error)) {
            if (context->preparedFunc != nullptr) {
                context->preparedFunc(pixbuf, nullptr, context->userData);
            }
            if (context->updatedFunc != nullptr) {
                context->updatedFunc(pixbuf, 0, 0, gdk_pixbuf_get_width(pixbuf),
                                     gdk_pixbuf_get_height(pixbuf), context->userData);
            }
            g_object_unref(pixbuf);
            done = TRUE;
        }
    }
    g_byte_array_unref(context->bytes);
    g_free(context);
    return done;
}

// Signature patterns (for gdk-pixbuf built without MIME sniffing), each
// with the MIME type whose files it picks out: a module lists those of its
// own types. For the twenty layouts: the text signatures, the packed FLI
// Graph header and the load addresses ($6000, $5C00, $5800, $4000, $3C00,
// $3B00, $2000, $3F8E: the first two bytes, low byte first); for the other
// formats, the signatures of those that have one (a Petmate project's
// first key stands for its signature). In a prefix a zero byte
// cannot be written: its mask byte is 'z' and the prefix holds a
// placeholder. 'x' is a byte that is not compared.
constexpr int SIGNATURE_RELEVANCE = 100;
constexpr int HEADER_RELEVANCE = 80;
constexpr int LOAD_ADDRESS_RELEVANCE = 20;
constexpr size_t GUNPAINT_OFFSET = 1002;
constexpr char GUNPAINT_TEXT[] = "GUNPAINT (JZ)";
constexpr char COMMON_TYPE[] = "image/x-c64-picture";

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

struct TypedPattern {
    const char* type;
    GdkPixbufModulePattern pattern;
};

bool IsModuleType(const char* type) {
    static const char* const TYPES[] = {TARNEL_PIXBUF_MIME_TYPES};
    for (const char* own : TYPES) {
        if (std::strcmp(own, type) == 0) return true;
    }
    return false;
}

// The patterns of this module's types, ending with the empty pattern.
std::vector<GdkPixbufModulePattern> ModulePatterns() {
    // Kept for the life of the process: gdk-pixbuf holds on to these.
    static const std::string gunpaintPrefix = GunpaintPrefix();
    static const std::string gunpaintMaskZero = GunpaintMask('z');
    static const std::string gunpaintMaskOther = GunpaintMask('n');
    const TypedPattern all[] = {
        // F0 3F "FUNPAINT (MT) " and 00 58 "DRAZLACE! 1.0" ('?' is 3F, 'X' 58).
        {COMMON_TYPE, {Text("\xF0?FUNPAINT (MT) "), nullptr, SIGNATURE_RELEVANCE}},
        {COMMON_TYPE, {Text(" XDRAZLACE! 1.0"), Text("z              "), SIGNATURE_RELEVANCE}},
        {COMMON_TYPE,
         {Text(gunpaintPrefix.c_str()), Text(gunpaintMaskZero.c_str()), SIGNATURE_RELEVANCE}},
        {COMMON_TYPE,
         {Text(gunpaintPrefix.c_str()), Text(gunpaintMaskOther.c_str()), SIGNATURE_RELEVANCE}},
        {COMMON_TYPE, {Text("\xF0\x38   \x3F\x7F "), Text("  xxx  z"), HEADER_RELEVANCE}},
        {COMMON_TYPE, {Text(" \x60"), Text("z "), LOAD_ADDRESS_RELEVANCE}},
        {COMMON_TYPE, {Text(" \x5C"), Text("z "), LOAD_ADDRESS_RELEVANCE}},
        {COMMON_TYPE, {Text(" \x58"), Text("z "), LOAD_ADDRESS_RELEVANCE}},
        {COMMON_TYPE, {Text(" \x40"), Text("z "), LOAD_ADDRESS_RELEVANCE}},
        {COMMON_TYPE, {Text(" \x3C"), Text("z "), LOAD_ADDRESS_RELEVANCE}},
        {COMMON_TYPE, {Text(" \x3B"), Text("z "), LOAD_ADDRESS_RELEVANCE}},
        {COMMON_TYPE, {Text(" \x20"), Text("z "), LOAD_ADDRESS_RELEVANCE}},
        {COMMON_TYPE, {Text("\x8E\x3F"), nullptr, LOAD_ADDRESS_RELEVANCE}},
        // Three letters and a version byte: a header rather than a signature.
        {"image/x-c64-charpad", {Text("CTM"), nullptr, HEADER_RELEVANCE}},
        {"image/x-c64-spritepad", {Text("SPD"), nullptr, HEADER_RELEVANCE}},
        {"image/x-c64-fluff64", {Text("FLUFF64"), nullptr, SIGNATURE_RELEVANCE}},
        // "RIFF", the chunk's length, "CGFX".
        {"image/x-c64-cgfx", {Text("RIFF    CGFX"), Text("    xxxx    "), SIGNATURE_RELEVANCE}},
        // After a load address: BDP's two headers and Drazpaint's signature.
        {"image/x-c64-multicolour",
         {Text("  \x02\x04\x10"
               "600"),
          Text("xx      "), HEADER_RELEVANCE}},
        {"image/x-c64-multicolour", {Text("  BDP 5.00"), Text("xx        "), SIGNATURE_RELEVANCE}},
        {"image/x-c64-multicolour",
         {Text("  DRAZPAINT 1.4"), Text("xx             "), SIGNATURE_RELEVANCE}},
        {"image/x-c64-godot", {Text("GOD0"), nullptr, SIGNATURE_RELEVANCE}},
        {"image/x-c64-godot", {Text("GOD1"), nullptr, SIGNATURE_RELEVANCE}},
        // "PET2" in shifted PETSCII: C64 OS pictures.
        {"image/x-c64-petscii", {Text("\xD0\xC5\xD4\x32"), nullptr, SIGNATURE_RELEVANCE}},
        // Petmate writes its JSON with the version first; the library then
        // looks for the screens.
        {"image/x-c64-petmate", {Text("{\"version\""), nullptr, HEADER_RELEVANCE}},
    };
    std::vector<GdkPixbufModulePattern> patterns;
    for (const TypedPattern& typed : all) {
        if (IsModuleType(typed.type)) patterns.push_back(typed.pattern);
    }
    patterns.push_back({nullptr, nullptr, 0});
    return patterns;
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
    static std::vector<GdkPixbufModulePattern> signature = ModulePatterns();
    static const char* const mimeTypes[] = {TARNEL_PIXBUF_MIME_TYPES nullptr};
    static const char* const extensions[] = {TARNEL_PIXBUF_EXTENSIONS nullptr};
    info->name = Text(TARNEL_PIXBUF_NAME);
    info->signature = signature.data();
    info->description = Text(TARNEL_PIXBUF_DESCRIPTION);
    info->mime_types = const_cast<gchar**>(mimeTypes);
    info->extensions = const_cast<gchar**>(extensions);
    info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
    info->license = Text("other");
}

}  // extern "C"
