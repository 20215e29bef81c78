// The slice of the Windows API the module uses. The Windows build takes it
// from <windows.h>; the native build gets small stand-ins of ours
// (plugin/native/), written to behave as the module expects of Windows.
#ifndef TARNEL_PLATFORM_WIN_API_H
#define TARNEL_PLATFORM_WIN_API_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// The DLL's exports are named by its .def file, so no attribute is needed.
#define TARNEL_EXPORT
#define TARNEL_CDECL __cdecl

#else  // native build

#define TARNEL_EXPORT __attribute__((visibility("default")))
#define TARNEL_CDECL
#define WINAPI
#define CALLBACK

#ifdef __cplusplus
extern "C" {
#endif

typedef int BOOL;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t INT_PTR;
typedef void* HANDLE;
typedef void* HGLOBAL;
typedef void* HINSTANCE;
typedef void* HWND;
typedef void* LPVOID;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define TRUE 1
#define FALSE 0
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define GMEM_FIXED 0x0000u
#define MAKEINTRESOURCEA(id) ((LPCSTR)(uintptr_t)(id))

#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define WM_CLOSE 0x0010u
#define IDOK 1
#define IDCANCEL 2
#define LOWORD(value) ((uint16_t)((uintptr_t)(value)&0xFFFFu))
#define HIWORD(value) ((uint16_t)(((uintptr_t)(value) >> 16) & 0xFFFFu))

// Global memory: GMEM_FIXED blocks only; the handle is the block's address.
TARNEL_EXPORT HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
TARNEL_EXPORT void* GlobalLock(HGLOBAL block);
TARNEL_EXPORT BOOL GlobalUnlock(HGLOBAL block);
TARNEL_EXPORT HGLOBAL GlobalFree(HGLOBAL block);
TARNEL_EXPORT size_t GlobalSize(HGLOBAL block);

// Serves the module's string table (resources/strings.rc; natively the copy
// in plugin/native/strings.cpp).
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);

// A headless dialog: see plugin/native/dialog_model.h.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure,
                        LPARAM initValue);
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // _WIN32

#endif  // TARNEL_PLATFORM_WIN_API_H
