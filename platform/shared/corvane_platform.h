// The non-Windows platforms: the few Windows, DirectDraw and process-service
// declarations the library uses, with the names, types and values the
// library expects of them. Two folders implement them, and a build links
// exactly one: platform/sim (an in-memory desktop and display that tests
// drive and inspect) and platform/x11 (a real X display).
#pragma once

#include <pthread.h>

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define STDMETHODCALLTYPE

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using BOOL = int;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using HRESULT = std::int32_t;
using LONG_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

struct HWND__;
struct HCURSOR__;
struct HGDIOBJ__;
struct HANDLE__;
using HWND = HWND__*;
using HCURSOR = HCURSOR__*;
using HGDIOBJ = HGDIOBJ__*;
using HANDLE = HANDLE__*;

struct RECT {
  LONG left, top, right, bottom;
};
struct GUID {
  DWORD data1;
  WORD data2, data3;
  BYTE data4[8];
};
struct IUnknown;

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using WNDENUMPROC = BOOL(CALLBACK*)(HWND, LPARAM);

// Window manager and graphics interface.
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_PAINT = 0x000F;
constexpr int GWL_STYLE = -16;
constexpr int GWLP_WNDPROC = -4;
constexpr int GCLP_HBRBACKGROUND = -10;
constexpr LONG_PTR WS_POPUP = static_cast<LONG_PTR>(0x80000000u);
constexpr int BLACK_BRUSH = 4;
constexpr UINT MB_TASKMODAL = 0x2000;
constexpr UINT MB_ICONEXCLAMATION = 0x0030;

BOOL WINAPI EnumWindows(WNDENUMPROC callback, LPARAM param);
int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int capacity);
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text);
HWND WINAPI SetFocus(HWND window);
HCURSOR WINAPI SetCursor(HCURSOR cursor);
int WINAPI ShowCursor(BOOL show);
HGDIOBJ WINAPI GetStockObject(int object);
LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR WINAPI SetClassLongPtrA(HWND window, int index, LONG_PTR value);
LRESULT WINAPI CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam);
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI ValidateRect(HWND window, const RECT* rect);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags);

// Process services.
[[noreturn]] void WINAPI ExitProcess(UINT exitCode);
void WINAPI Sleep(DWORD milliseconds);

// Slim reader/writer locks, used exclusively: a process-wide mutex that
// needs no code at load (SRWLOCK_INIT is a constant initialiser).
struct SRWLOCK {
  pthread_mutex_t mutex;
};
using PSRWLOCK = SRWLOCK*;
#define SRWLOCK_INIT \
  { PTHREAD_MUTEX_INITIALIZER }
inline void WINAPI AcquireSRWLockExclusive(PSRWLOCK lock) { pthread_mutex_lock(&lock->mutex); }
inline void WINAPI ReleaseSRWLockExclusive(PSRWLOCK lock) { pthread_mutex_unlock(&lock->mutex); }

// DirectDraw, first interface version.
constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDERR_SURFACELOST = static_cast<HRESULT>(0x887601C2u);
constexpr HRESULT DDERR_INVALIDMODE = static_cast<HRESULT>(0x88760078u);
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DDERR_SURFACEBUSY = static_cast<HRESULT>(0x887601AEu);
constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = static_cast<HRESULT>(0x887600E1u);
constexpr HRESULT DDERR_IMPLICITLYCREATED = static_cast<HRESULT>(0x8876024Cu);
constexpr HRESULT DDERR_WRONGMODE = static_cast<HRESULT>(0x8876024Bu);
constexpr HRESULT DDERR_EXCLUSIVEMODEALREADYSET = static_cast<HRESULT>(0x88760245u);
constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

constexpr DWORD DDSCL_FULLSCREEN = 0x1;
constexpr DWORD DDSCL_EXCLUSIVE = 0x10;
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x20;
constexpr DWORD DDSD_LPSURFACE = 0x800;
constexpr DWORD DDSCAPS_BACKBUFFER = 0x4;
constexpr DWORD DDSCAPS_COMPLEX = 0x8;
constexpr DWORD DDSCAPS_FLIP = 0x10;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDLOCK_WAIT = 0x1;
constexpr DWORD DDFLIP_WAIT = 0x1;

struct DDSCAPS {
  DWORD dwCaps;
};
using LPDDSCAPS = DDSCAPS*;

// Only the fields the library touches; the real record is larger.
struct DDSURFACEDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  LONG lPitch;
  DWORD dwBackBufferCount;
  LPVOID lpSurface;
  DDSCAPS ddsCaps;
};
using LPDDSURFACEDESC = DDSURFACEDESC*;

struct IDirectDrawSurface;
using LPDIRECTDRAWSURFACE = IDirectDrawSurface*;

struct IDirectDrawSurface {
  virtual HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps,
                                                       LPDIRECTDRAWSURFACE* attached) = 0;
  virtual HRESULT STDMETHODCALLTYPE Lock(RECT* rect, LPDDSURFACEDESC desc, DWORD flags,
                                         HANDLE event) = 0;
  virtual HRESULT STDMETHODCALLTYPE Restore() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unlock(LPVOID pixels) = 0;
  virtual HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE override, DWORD flags) = 0;

  virtual ~IDirectDrawSurface() = default;
};

struct IDirectDraw {
  virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bpp) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc,
                                                  LPDIRECTDRAWSURFACE* surface,
                                                  IUnknown* outer) = 0;

  virtual ~IDirectDraw() = default;
};
using LPDIRECTDRAW = IDirectDraw*;

HRESULT WINAPI DirectDrawCreate(GUID* driver, LPDIRECTDRAW* directDraw, IUnknown* outer);
