// DllRegisterServer and DllUnregisterServer: the registry entries Microsoft
// documents for a WIC decoder ("How to Write a WIC-Enabled Codec": General
// Registry Entries, Decoder-Specific Registry Entries, Integration with
// Windows Photo Gallery and Windows Explorer), written under
// HKEY_LOCAL_MACHINE\Software\Classes for all users, or under
// HKEY_CURRENT_USER\Software\Classes when the machine's classes cannot be
// written (registration without administrator rights).
//
// The codec's own keys (its CLSID, its entry in the decoder category) are
// replaced and removed whole. The file name extensions' keys are shared with
// the rest of the system: a value or handler is only written where none is,
// and only removed where it still says what the codec wrote; keys are only
// removed when that leaves them empty. So nothing else in the registry
// changes.
//
// A 32-bit codec on 64-bit Windows registers its class (in the 32-bit view
// of the registry, for 32-bit programs) and leaves the extensions, which both
// views share, to the 64-bit codec that Explorer loads.
#include <shlobj.h>
#include <wchar.h>
#include <windows.h>

#include <new>
#include <set>
#include <string>
#include <vector>

#include "tarnel/tarnel.h"
#include "wic/codec.h"
#include "wic/codec_ids.h"

namespace tarnel_wic {

namespace {

// CATID_WICBitmapDecoders
constexpr wchar_t kDecoderCategory[] = L"{7ED96837-96F0-4812-B211-F13C24117ED3}";
constexpr wchar_t kPixelFormat24bppBGR[] = L"{6FDDC324-4E03-4BFE-B185-3D77768DC90C}";
// The shell's thumbnail handler slot, and the system's photo thumbnail
// provider that draws thumbnails of any WIC-decodable file.
constexpr wchar_t kThumbnailHandlerSlot[] = L"{e357fccd-a995-4576-b01f-234630154e96}";
constexpr wchar_t kPhotoThumbnailProvider[] = L"{C7657C4A-9F68-40fa-A4DF-96BC08EB3551}";
// The preview handler slot, and the Photo Viewer's preview handler.
constexpr wchar_t kPreviewHandlerSlot[] = L"{8895b1c6-b41f-4c1c-a562-0d564250836f}";
constexpr wchar_t kPhotoPreviewHandler[] = L"{FFE2A43C-56B9-4bf5-9A79-CC6D4285608A}";

constexpr wchar_t kPerceivedImage[] = L"image";

struct Handler {
    const wchar_t* slot;
    const wchar_t* handler;
};
constexpr Handler kShellHandlers[] = {
    {kThumbnailHandlerSlot, kPhotoThumbnailProvider},
    {kPreviewHandlerSlot, kPhotoPreviewHandler},
};

class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() { Close(); }
    HKEY* Receive() {
        Close();
        return &key_;
    }
    HKEY get() const { return key_; }
    void Close() {
        if (key_ != nullptr) RegCloseKey(key_);
        key_ = nullptr;
    }

private:
    HKEY key_ = nullptr;
};

LONG Create(HKEY parent, const std::wstring& path, Key* key) {
    return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_READ | KEY_WRITE, nullptr, key->Receive(), nullptr);
}

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG SetDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value);
}

LONG SetBinary(HKEY key, const wchar_t* name, const BYTE* bytes, DWORD size) {
    return RegSetValueExW(key, name, 0, REG_BINARY, bytes, size);
}

// The string value `name` of `key`; false when there is none (or it is no string).
bool GetString(HKEY key, const wchar_t* name, std::wstring* value) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    *value = text.data();
    return true;
}

bool HasValue(HKEY key, const wchar_t* name) {
    return RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Writes the string unless the value is there already.
LONG SetStringIfAbsent(HKEY key, const wchar_t* name, const std::wstring& value) {
    return HasValue(key, name) ? ERROR_SUCCESS : SetString(key, name, value);
}

// Removes the string value when it still holds `value`.
void DeleteStringIfOurs(HKEY key, const wchar_t* name, const wchar_t* value) {
    std::wstring held;
    if (GetString(key, name, &held) && _wcsicmp(held.c_str(), value) == 0) {
        RegDeleteValueW(key, name);
    }
}

// Removes the key below `parent` when it has neither values nor subkeys.
void DeleteKeyIfEmpty(HKEY parent, const std::wstring& path) {
    Key key;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return;
    DWORD subkeys = 0;
    DWORD values = 0;
    LONG result = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                   &values, nullptr, nullptr, nullptr, nullptr);
    key.Close();
    if (result == ERROR_SUCCESS && subkeys == 0 && values == 0) {
        RegDeleteKeyW(parent, path.c_str());
    }
}

std::wstring ClsidPath() {
    return std::wstring(L"CLSID\\") + kDecoderClsidText;
}
std::wstring CategoryPath() {
    return std::wstring(L"CLSID\\") + kDecoderCategory;
}
std::wstring InstancePath() {
    return CategoryPath() + L"\\Instance\\" + kDecoderClsidText;
}

// Whether this is a 32-bit codec on 64-bit Windows.
bool UnderWow64() {
#if defined(_WIN64)
    return false;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

// A file name extension the codec claims and the MIME type of its format.
struct FileType {
    std::wstring extension;  // with its '.'
    std::wstring mime_type;
};

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (; *text != '\0'; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

// Every extension of the library's format table that the codec claims, in
// the table's order, each once (with the first format that lists it). The
// codec opens every format but those opened only on request. One-letter
// extensions (.a, .g) are not claimed: they name many other kinds of file
// (static libraries, grammars, ...), and to claim them would give such files
// the picture's thumbnail handlers and a C64 MIME type. Nor is .scr, the
// extension of Windows's screen savers (programs). Files so named still
// open through WIC when their stream tells the codec their name.
std::vector<FileType> FileTypes() {
    std::vector<FileType> types;
    std::set<std::wstring> seen;
    tarnel_format_info format;
    for (int i = 0; tarnel_format_at(i, &format) == TARNEL_OK; ++i) {
        if (format.found_by == TARNEL_FOUND_ON_REQUEST) continue;
        const std::wstring extensions = Widen(format.extensions);
        size_t start = 0;
        while (start < extensions.size()) {
            size_t end = extensions.find(L' ', start);
            if (end == std::wstring::npos) end = extensions.size();
            const std::wstring extension = L"." + extensions.substr(start, end - start);
            if (extension.size() > 2 && extension != L".scr" && seen.insert(extension).second) {
                types.push_back({extension, Widen(format.mime_type)});
            }
            start = end + 1;
        }
    }
    return types;
}

std::wstring FileExtensions() {
    std::wstring list;
    for (const FileType& type : FileTypes()) {
        if (!list.empty()) list += L',';
        list += type.extension;
    }
    return list;
}

// The family type, then every format's type the codec opens.
std::wstring MimeTypes() {
    std::wstring list = kGenericMimeType;
    std::set<std::wstring> seen = {kGenericMimeType};
    tarnel_format_info format;
    for (int i = 0; tarnel_format_at(i, &format) == TARNEL_OK; ++i) {
        if (format.found_by == TARNEL_FOUND_ON_REQUEST) continue;
        const std::wstring mime_type = Widen(format.mime_type);
        if (!seen.insert(mime_type).second) continue;
        list += L',';
        list += mime_type;
    }
    return list;
}

std::wstring Version() {
    wchar_t text[64];
    swprintf(text, 64, L"%d.%d.%d.0", TARNEL_VERSION_MAJOR, TARNEL_VERSION_MINOR,
             TARNEL_VERSION_PATCH);
    return text;
}

LONG WriteClass(HKEY root, const std::wstring& module_path) {
    Key clsid;
    LONG r = Create(root, ClsidPath(), &clsid);
    if (r != ERROR_SUCCESS) return r;
    const HKEY k = clsid.get();
    if ((r = SetString(k, nullptr, kFriendlyName)) != ERROR_SUCCESS) return r;
    if ((r = SetString(k, L"FriendlyName", kFriendlyName)) != ERROR_SUCCESS) return r;
    if ((r = SetString(k, L"Author", kAuthor)) != ERROR_SUCCESS) return r;
    if ((r = SetString(k, L"Vendor", kVendorText)) != ERROR_SUCCESS) return r;
    if ((r = SetString(k, L"Version", Version())) != ERROR_SUCCESS) return r;
    if ((r = SetString(k, L"ContainerFormat", kContainerFormatText)) != ERROR_SUCCESS) return r;
    if ((r = SetString(k, L"FileExtensions", FileExtensions())) != ERROR_SUCCESS) return r;
    if ((r = SetString(k, L"MimeTypes", MimeTypes())) != ERROR_SUCCESS) return r;
    if ((r = SetDword(k, L"SupportAnimation", 0)) != ERROR_SUCCESS) return r;
    if ((r = SetDword(k, L"SupportChromakey", 0)) != ERROR_SUCCESS) return r;
    if ((r = SetDword(k, L"SupportLossless", 1)) != ERROR_SUCCESS) return r;
    if ((r = SetDword(k, L"SupportMultiframe", 0)) != ERROR_SUCCESS) return r;

    Key server;
    if ((r = Create(k, L"InprocServer32", &server)) != ERROR_SUCCESS) return r;
    if ((r = SetString(server.get(), nullptr, module_path)) != ERROR_SUCCESS) return r;
    if ((r = SetString(server.get(), L"ThreadingModel", L"Both")) != ERROR_SUCCESS) return r;

    Key format;
    r = Create(k, std::wstring(L"Formats\\") + kPixelFormat24bppBGR, &format);
    if (r != ERROR_SUCCESS) return r;

    int index = 0;
    for (const Pattern& p : kPatterns) {
        Key pattern;
        if ((r = Create(k, L"Patterns\\" + std::to_wstring(index++), &pattern)) != ERROR_SUCCESS) {
            return r;
        }
        BYTE mask[sizeof p.bytes];
        for (size_t i = 0; i < sizeof mask; ++i) mask[i] = static_cast<BYTE>(~p.any[i]);
        if ((r = SetDword(pattern.get(), L"Position", p.position)) != ERROR_SUCCESS) return r;
        if ((r = SetDword(pattern.get(), L"Length", p.length)) != ERROR_SUCCESS) return r;
        if ((r = SetBinary(pattern.get(), L"Pattern", p.bytes, p.length)) != ERROR_SUCCESS) {
            return r;
        }
        if ((r = SetBinary(pattern.get(), L"Mask", mask, p.length)) != ERROR_SUCCESS) return r;
    }

    Key instance;
    if ((r = Create(root, InstancePath(), &instance)) != ERROR_SUCCESS) return r;
    if ((r = SetString(instance.get(), L"CLSID", kDecoderClsidText)) != ERROR_SUCCESS) return r;
    return SetString(instance.get(), L"FriendlyName", kFriendlyName);
}

LONG WriteFileType(HKEY root, const FileType& type) {
    Key extension;
    LONG r = Create(root, type.extension, &extension);
    if (r != ERROR_SUCCESS) return r;
    if ((r = SetStringIfAbsent(extension.get(), L"Content Type", type.mime_type)) !=
        ERROR_SUCCESS) {
        return r;
    }
    if ((r = SetStringIfAbsent(extension.get(), L"PerceivedType", kPerceivedImage)) !=
        ERROR_SUCCESS) {
        return r;
    }
    for (const Handler& handler : kShellHandlers) {
        Key slot;
        if ((r = Create(extension.get(), std::wstring(L"ShellEx\\") + handler.slot, &slot)) !=
            ERROR_SUCCESS) {
            return r;
        }
        if ((r = SetStringIfAbsent(slot.get(), nullptr, handler.handler)) != ERROR_SUCCESS)
            return r;
    }
    return ERROR_SUCCESS;
}

void RemoveFileType(HKEY root, const FileType& type) {
    Key extension;
    if (RegOpenKeyExW(root, type.extension.c_str(), 0, KEY_READ | KEY_WRITE, extension.Receive()) !=
        ERROR_SUCCESS) {
        return;
    }
    DeleteStringIfOurs(extension.get(), L"Content Type", type.mime_type.c_str());
    DeleteStringIfOurs(extension.get(), L"PerceivedType", kPerceivedImage);
    for (const Handler& handler : kShellHandlers) {
        const std::wstring path = std::wstring(L"ShellEx\\") + handler.slot;
        Key slot;
        if (RegOpenKeyExW(extension.get(), path.c_str(), 0, KEY_READ | KEY_WRITE, slot.Receive()) ==
            ERROR_SUCCESS) {
            DeleteStringIfOurs(slot.get(), nullptr, handler.handler);
            slot.Close();
            DeleteKeyIfEmpty(extension.get(), path);
        }
    }
    DeleteKeyIfEmpty(extension.get(), L"ShellEx");
    extension.Close();
    DeleteKeyIfEmpty(root, type.extension);
}

// Removes everything the codec may have written under one classes root.
void RemoveAll(HKEY root, bool file_types) {
    RegDeleteTreeW(root, ClsidPath().c_str());
    RegDeleteTreeW(root, InstancePath().c_str());
    DeleteKeyIfEmpty(root, CategoryPath() + L"\\Instance");
    DeleteKeyIfEmpty(root, CategoryPath());
    if (file_types) {
        for (const FileType& type : FileTypes()) RemoveFileType(root, type);
    }
}

LONG WriteAll(HKEY root, const std::wstring& module_path, bool file_types) {
    LONG r = WriteClass(root, module_path);
    if (r != ERROR_SUCCESS) return r;
    if (file_types) {
        for (const FileType& type : FileTypes()) {
            if ((r = WriteFileType(root, type)) != ERROR_SUCCESS) return r;
        }
    }
    return ERROR_SUCCESS;
}

LONG OpenClasses(HKEY hive, Key* classes) {
    return RegOpenKeyExW(hive, L"Software\\Classes", 0, KEY_READ | KEY_WRITE, classes->Receive());
}

}  // namespace

HRESULT RegisterCodec(HMODULE module) {
    try {
        std::vector<wchar_t> path(MAX_PATH);
        for (;;) {
            DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
            if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
            if (length < path.size()) break;
            path.resize(path.size() * 2);
        }
        const std::wstring module_path = path.data();
        const bool file_types = !UnderWow64();

        // All users when the machine's classes can be written, else this user.
        LONG result = ERROR_ACCESS_DENIED;
        for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            Key classes;
            result = OpenClasses(hive, &classes);
            if (result == ERROR_SUCCESS) {
                RemoveAll(classes.get(), file_types);
                result = WriteAll(classes.get(), module_path, file_types);
                if (result != ERROR_SUCCESS) RemoveAll(classes.get(), file_types);
            }
            if (result != ERROR_ACCESS_DENIED) break;
        }
        if (result != ERROR_SUCCESS) return HRESULT_FROM_WIN32(result);
        if (file_types) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterCodec() {
    try {
        const bool file_types = !UnderWow64();
        HRESULT hr = S_OK;
        for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            Key classes;
            LONG result = OpenClasses(hive, &classes);
            if (result == ERROR_SUCCESS) {
                RemoveAll(classes.get(), file_types);
                continue;
            }
            // The machine's classes may hold a registration this user cannot remove.
            Key left;
            const std::wstring path = L"Software\\Classes\\" + ClsidPath();
            if (RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ, left.Receive()) == ERROR_SUCCESS) {
                hr = HRESULT_FROM_WIN32(result);
            }
        }
        if (file_types) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace tarnel_wic
