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

// Writes or removes the codec's registry entries (registration.cpp).
HRESULT RegisterCodec(HMODULE module);
HRESULT UnregisterCodec();

}  // namespace tarnel_wic

#endif  // TARNEL_WIC_CODEC_H
