// tarnel_wic.dll: the in-process COM server's entry points and its class
// factory. The one class it serves is the decoder (wic/codec_ids.h).
#include <windows.h>

#include <new>

#include "wic/codec.h"
#include "wic/codec_ids.h"

namespace {

HMODULE g_module = nullptr;
LONG g_server_locks = 0;

class ClassFactory final : public tarnel_wic::ComObject<IClassFactory, IID_IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return tarnel_wic::CreateDecoder(riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&g_server_locks);
        } else {
            InterlockedDecrement(&g_server_locks);
        }
        return S_OK;
    }
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, tarnel_wic::kDecoderClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    ClassFactory* factory = new (std::nothrow) ClassFactory;
    if (factory == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, out);
    factory->Release();
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return tarnel_wic::LiveObjects() == 0 && InterlockedCompareExchange(&g_server_locks, 0, 0) == 0
               ? S_OK
               : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    return tarnel_wic::RegisterCodec(g_module);
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return tarnel_wic::UnregisterCodec();
}
