// Native stand-in for LoadStringA, serving the module's string table.
#include <cstring>

#include "platform/win_api.h"
#include "resources/resource_ids.h"

namespace {

struct StringEntry {
    UINT id;
    const char* text;
};

#define TARNEL_NATIVE_STRING(id, text) {id, text},
constexpr StringEntry STRING_TABLE[] = {TARNEL_STRING_TABLE(TARNEL_NATIVE_STRING)};
#undef TARNEL_NATIVE_STRING

}  // namespace

// Copies at most bufferMax - 1 characters and a terminating zero, and returns
// the number of characters copied; 0 when the id is unknown or there is no room.
extern "C" int LoadStringA(HINSTANCE, UINT id, LPSTR buffer, int bufferMax) {
    if (buffer == nullptr || bufferMax <= 0) return 0;
    for (const StringEntry& entry : STRING_TABLE) {
        if (entry.id != id) continue;
        size_t length = std::strlen(entry.text);
        if (length > static_cast<size_t>(bufferMax - 1))
            length = static_cast<size_t>(bufferMax - 1);
        std::memcpy(buffer, entry.text, length);
        buffer[length] = '\0';
        return static_cast<int>(length);
    }
    buffer[0] = '\0';
    return 0;
}
