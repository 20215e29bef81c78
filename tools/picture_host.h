// A host for the module, as the image viewer is one: it serves a file's bytes
// through the read callback of a HostImageSource and drives the module only
// through its exports (IDP_OpenImage, IDP_GetImageInfo, IDP_GetPageInfo,
// IDP_PageDecode, IDP_CloseImage), freeing each bitmap block it receives.
#ifndef TARNEL_TOOLS_PICTURE_HOST_H
#define TARNEL_TOOLS_PICTURE_HOST_H

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/tarnel_api.h"

namespace tarnel_tools {

enum class Outcome {
    Opened,       // recognised (and decoded, when asked)
    NotPicture,   // the module does not recognise it
    TooLarge,     // above the module's size limit
    CannotRead,   // the file system refused
    NoMemory,     // the module ran out of memory
    ModuleError,  // the module answered something a host cannot use
};

// The failure texts the converter prints.
extern const char* const NOT_PICTURE_TEXT;  // "not a C64 picture this module knows"
extern const char* const TOO_LARGE_TEXT;    // "larger than 36,864 bytes"

struct HostedPicture {
    Outcome outcome = Outcome::CannotRead;
    std::string reason;              // why it failed, in words; empty on success
    uint64_t fileSize = 0;           // as the file system reports it
    std::vector<uint8_t> fileBytes;  // the bytes the module asked for (the whole file once opened)
    ImageInfo image{};               // from IDP_GetImageInfo
    PageInfo page{};                 // from IDP_GetPageInfo for page 0
    std::vector<uint8_t> block;      // the decoded page's block, as the module filled it
};

// Opens `path` through the module and reads its image and page information;
// with `decode`, also decodes page 0 and copies the bitmap block.
HostedPicture HostPicture(const std::string& path, bool decode);

}  // namespace tarnel_tools

#endif  // TARNEL_TOOLS_PICTURE_HOST_H
