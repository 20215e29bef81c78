// The plug-in and format records the host reads to learn what this module is.
#include <cstring>

#include "plugin/module.h"
#include "plugin/tarnel_api.h"
#include "resources/resource_ids.h"

namespace {

constexpr uint32_t PLUGIN_RECORD_VERSION = 100;
constexpr uint8_t FORMAT_TAG[4] = {'v', 'i', 'c', 0};
const char EXTENSION_LIST[] = "vic";

// Zero until IDP_Init fills them; they live as long as the module.
PlugInInfo plugInInfo;
FormatInfo formatInfo[1];

}  // namespace

extern "C" int32_t WINAPI IDP_Init(uint32_t) {
    const HINSTANCE module = tarnel::ModuleHandle();
    FormatInfo& format = formatInfo[0];
    LoadStringA(module, IDS_DEFAULT_EXTENSION, format.defaultExtension,
                sizeof format.defaultExtension);
    LoadStringA(module, IDS_FORMAT_DESCRIPTION, format.description, sizeof format.description);
    LoadStringA(module, IDS_FORMAT_SHORT_NAME, format.shortName, sizeof format.shortName);
    std::memcpy(&format.typeTag, FORMAT_TAG, sizeof FORMAT_TAG);
    format.extensionList = EXTENSION_LIST;
    format.reserved68 = 0;
    format.reserved0 = 0;
    format.reserved76 = 0;
    format.one = 1;

    LoadStringA(module, IDS_PLUGIN_NAME, plugInInfo.name, sizeof plugInInfo.name);
    plugInInfo.version = PLUGIN_RECORD_VERSION;
    plugInInfo.formatCount = 1;
    plugInInfo.reserved0 = 0;
    plugInInfo.reserved48 = 0;
    plugInInfo.formats = formatInfo;
    return RESULT_OK;
}

extern "C" int32_t WINAPI IDP_GetPlugInInfo(PlugInInfo** info) {
    *info = &plugInInfo;
    return RESULT_OK;
}
