// The WIC decoder of tarnel_wic.dll: IWICBitmapDecoder over the C library,
// and the module-wide object count that DllCanUnloadNow reports.
#ifndef TARNEL_WIC_CODEC_H
#define TARNEL_WIC_CODEC_H

#include <windows.h>

namespace tarnel_wic {

// Creates a decoder and asks it for `riid`.
HRESULT CreateDecoder(REFIID riid, void** out);

// Live COM objects and server locks of this module.
void ObjectCreated();
void ObjectDestroyed();
LONG LiveObjects();

// IUnknown for the module's objects: one interlocked reference count, the
// object counted among the live ones, and QueryInterface answering for
// IUnknown and `iids` (the interface and those it derives from).
template <typename Interface, const IID&... iids>
class ComObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || (IsEqualIID(riid, iids) || ...)) {
            *out = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG refs = InterlockedDecrement(&refs_);
        if (refs == 0) delete this;
        return refs;
    }

protected:
    ComObject() { ObjectCreated(); }
    virtual ~ComObject() { ObjectDestroyed(); }

private:
    LONG refs_ = 1;
};

// Writes or removes the codec's registry entries (registration.cpp).
HRESULT RegisterCodec(HMODULE module);
HRESULT UnregisterCodec();

}  // namespace tarnel_wic

#endif  // TARNEL_WIC_CODEC_H
