// The module's binary interface towards its host: the records that cross the
// boundary and the eight exported functions. This header is all a host needs.
//
// Every record is a plain little-endian layout. On 32-bit builds the sizes and
// offsets are exactly those the host viewer expects (checked below); on 64-bit
// native builds the address fields widen to pointer size so that a native host
// can pass real pointers, and every other field keeps its width.
#ifndef TARNEL_PLUGIN_TARNEL_API_H
#define TARNEL_PLUGIN_TARNEL_API_H

#include <stddef.h>
#include <stdint.h>

#include "platform/win_api.h"

#ifdef __cplusplus
extern "C" {
#endif

// Result codes of every export and decoder operation.
enum TarnelResult {
    RESULT_OK = 0,
    RESULT_NO_MEMORY = -1,
    RESULT_NOT_SUPPORTED = -4,
    RESULT_READ_FAILED = -5,
    RESULT_BAD_FORMAT = -6,
    RESULT_BAD_PAGE = -9,
};

// The host's callback: make at least `neededBytes` bytes from the start of the
// file available, store the count now available through `availableBytes`,
// return non-zero on success and 0 when it cannot.
typedef int32_t(TARNEL_CDECL* TarnelReadCallback)(uintptr_t userValue, uint32_t neededBytes,
                                                  uint32_t* availableBytes);

typedef struct HostImageSource {
    uint32_t hostField0;  // the host's; carried along, never read
    uint32_t hostField4;  // the host's; carried along, never read
    const uint8_t* data;  // first byte of the file in the host's buffer
    uint32_t size;        // the file's size in bytes
    TarnelReadCallback readCallback;
    uintptr_t userValue;  // handed back unchanged as the callback's first argument
} HostImageSource;

typedef struct ImageInfo {
    uint32_t reserved0;         // always 0
    uint32_t typeTag;           // "VIC\0"
    uint32_t width;             // 320
    uint32_t height;            // 200
    uint32_t bitsPerComponent;  // 8
    uint32_t componentCount;    // 3
    uint32_t pageCount;         // 1
} ImageInfo;

typedef struct PageInfo {
    uint32_t one;               // always 1
    uint32_t width;             // 320
    uint32_t height;            // 200
    uint32_t bitsPerComponent;  // 8
    uint32_t componentCount;    // 3
} PageInfo;

typedef struct PageBitmap {
    uint32_t hostField0;  // the host's; the module neither reads nor writes it
    HGLOBAL bitmap;       // GMEM_FIXED block holding the packed 24-bit DIB
    uint32_t zero;        // set to 0 on every decode
} PageBitmap;

typedef struct FormatInfo {
    uint32_t reserved0;         // always 0
    uint32_t typeTag;           // "vic\0"
    char description[40];       // string 5
    char shortName[8];          // string 6
    const char* extensionList;  // address of the constant "vic"
    char defaultExtension[8];   // string 4
    uint32_t reserved68;        // always 0
    uint32_t one;               // always 1
    uint32_t reserved76;        // always 0
} FormatInfo;

typedef struct PlugInInfo {
    uint32_t reserved0;    // always 0
    uint32_t version;      // always 100
    char name[40];         // string 1
    uint32_t reserved48;   // always 0
    uint32_t formatCount;  // number of FormatInfo records
    FormatInfo* formats;   // the format array
} PlugInInfo;

// Opaque handle of one open image.
typedef void* TarnelImage;

TARNEL_EXPORT int32_t WINAPI IDP_CloseImage(TarnelImage image);
TARNEL_EXPORT int32_t WINAPI IDP_GetImageInfo(TarnelImage image, ImageInfo* info);
TARNEL_EXPORT int32_t WINAPI IDP_GetPageInfo(TarnelImage image, int32_t page, PageInfo* info);
TARNEL_EXPORT int32_t WINAPI IDP_GetPlugInInfo(PlugInInfo** info);
TARNEL_EXPORT int32_t WINAPI IDP_Init(uint32_t unused);
TARNEL_EXPORT int32_t WINAPI IDP_OpenImage(const HostImageSource* source, TarnelImage* image);
TARNEL_EXPORT int32_t WINAPI IDP_PageDecode(TarnelImage image, int32_t page, PageBitmap* bitmap);
TARNEL_EXPORT int32_t WINAPI IDP_ShowPlugInDialog(HWND owner);

#ifdef __cplusplus
}  // extern "C"
#endif

// Size of the decoded page block: a 40-byte BITMAPINFOHEADER and 200 rows of
// 320 blue-green-red pixels, bottom row first, no padding.
#define TARNEL_BITMAP_HEADER_BYTES 40
#define TARNEL_BITMAP_ROW_BYTES 960
#define TARNEL_BITMAP_BLOCK_BYTES 192040

#if defined(__cplusplus) && UINTPTR_MAX == 0xFFFFFFFFu
// The host viewer is a 32-bit program and reads these records at fixed
// offsets; every 32-bit build proves the layout field by field.
static_assert(sizeof(HostImageSource) == 24, "HostImageSource is 24 bytes");
static_assert(offsetof(HostImageSource, hostField0) == 0, "");
static_assert(offsetof(HostImageSource, hostField4) == 4, "");
static_assert(offsetof(HostImageSource, data) == 8, "");
static_assert(offsetof(HostImageSource, size) == 12, "");
static_assert(offsetof(HostImageSource, readCallback) == 16, "");
static_assert(offsetof(HostImageSource, userValue) == 20, "");

static_assert(sizeof(ImageInfo) == 28, "ImageInfo is 28 bytes");
static_assert(offsetof(ImageInfo, reserved0) == 0, "");
static_assert(offsetof(ImageInfo, typeTag) == 4, "");
static_assert(offsetof(ImageInfo, width) == 8, "");
static_assert(offsetof(ImageInfo, height) == 12, "");
static_assert(offsetof(ImageInfo, bitsPerComponent) == 16, "");
static_assert(offsetof(ImageInfo, componentCount) == 20, "");
static_assert(offsetof(ImageInfo, pageCount) == 24, "");

static_assert(sizeof(PageInfo) == 20, "PageInfo is 20 bytes");
static_assert(offsetof(PageInfo, one) == 0, "");
static_assert(offsetof(PageInfo, width) == 4, "");
static_assert(offsetof(PageInfo, height) == 8, "");
static_assert(offsetof(PageInfo, bitsPerComponent) == 12, "");
static_assert(offsetof(PageInfo, componentCount) == 16, "");

static_assert(sizeof(PageBitmap) == 12, "PageBitmap is 12 bytes");
static_assert(offsetof(PageBitmap, hostField0) == 0, "");
static_assert(offsetof(PageBitmap, bitmap) == 4, "");
static_assert(offsetof(PageBitmap, zero) == 8, "");

static_assert(sizeof(FormatInfo) == 80, "FormatInfo is 80 bytes");
static_assert(offsetof(FormatInfo, reserved0) == 0, "");
static_assert(offsetof(FormatInfo, typeTag) == 4, "");
static_assert(offsetof(FormatInfo, description) == 8, "");
static_assert(offsetof(FormatInfo, shortName) == 48, "");
static_assert(offsetof(FormatInfo, extensionList) == 56, "");
static_assert(offsetof(FormatInfo, defaultExtension) == 60, "");
static_assert(offsetof(FormatInfo, reserved68) == 68, "");
static_assert(offsetof(FormatInfo, one) == 72, "");
static_assert(offsetof(FormatInfo, reserved76) == 76, "");

static_assert(sizeof(PlugInInfo) == 60, "PlugInInfo is 60 bytes");
static_assert(offsetof(PlugInInfo, reserved0) == 0, "");
static_assert(offsetof(PlugInInfo, version) == 4, "");
static_assert(offsetof(PlugInInfo, name) == 8, "");
static_assert(offsetof(PlugInInfo, reserved48) == 48, "");
static_assert(offsetof(PlugInInfo, formatCount) == 52, "");
static_assert(offsetof(PlugInInfo, formats) == 56, "");
#endif

#endif  // TARNEL_PLUGIN_TARNEL_API_H
