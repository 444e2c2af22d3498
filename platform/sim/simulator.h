// Control side of the simulated platform: what a test sets up, scripts and
// inspects. The library itself sees only corvane_platform.h.
//
// The simulation keeps one desktop (top-level windows in enumeration order,
// window classes, the cursor's show count), one display (the accepted depths,
// the mode in force, a front and a back buffer that Flip swaps without
// copying) and one log of every platform call, in order, with its arguments.
// Calls outside what is simulated abort the process with a message.
#pragma once

#include <corvane_platform.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// A fresh desktop and display: no windows, every depth accepted, no scripts,
// an empty call log. Objects handed out before are gone.
void reset();

// --- desktop ---------------------------------------------------------------
// Adds a top-level window at the end of the enumeration order. Windows of
// the same `windowClass` share one class background.
HWND addWindow(const std::string& title, WNDPROC procedure = nullptr, int windowClass = 0);
std::string windowTitle(HWND window);
LONG_PTR windowStyle(HWND window);
LONG_PTR classBackground(HWND window);
WNDPROC windowProcedure(HWND window);
// Delivers a message to the window's current procedure, as the window
// manager would, and returns its result.
LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// While a window procedure is being replaced, deliver `message` to the new
// procedure from inside the replacing call, before it returns.
void sendDuringSubclass(UINT message);
// Whether SetWindowTextA delivers WM_SETTEXT to the window's procedure on
// the calling thread, as Windows does for a window of that thread (off
// after reset).
void deliverSetText(bool on);
int cursorShowCount();
HWND focusWindow();
HGDIOBJ stockObject(int object);
// Stock objects are distinct dummy handles; this names one for the log.
std::string handleName(const void* handle);

// --- display ---------------------------------------------------------------
// The depths SetDisplayMode accepts from now on (any mode size).
void acceptDepths(const std::vector<DWORD>& depths);
// Every later call of the named platform function or method fails with
// `result` ("DirectDrawCreate", "SetCooperativeLevel", "SetDisplayMode",
// "CreateSurface", "GetAttachedSurface", "Lock", "Restore", "Unlock", "Flip").
void failCall(const std::string& name, HRESULT result);
// Every later Flip swaps the buffers and still reports `result`, as a flip
// that loses the surface on its way may (failCall("Flip", ...) fails
// before swapping).
void failFlipAfterSwap(HRESULT result);
// Loses the flip chain, as a mode change by another program would: locks
// report DDERR_SURFACELOST until the chain is restored. Only the primary
// surface can be restored (the back buffer was created implicitly), and
// its first `failingRestores` restores fail as if the display were still
// held elsewhere. A restored chain holds garbage.
// `answer` is what those failing restores return.
void loseSurfaces(int failingRestores, HRESULT answer = DDERR_WRONGMODE);
// Whether Sleep really waits (it only logs after reset).
void sleepForReal(bool on);
// Every later call of the named platform function ("GetWindowTextA", once
// it has read the title, "Lock", once it holds the lock, "Flip") waits this long, widening the
// window in which calls from two threads could overlap.
void delayCall(const std::string& name, int milliseconds);

struct Screen {
  DWORD width = 0;
  DWORD height = 0;
  DWORD depth = 0;                      // 0 until a mode is set
  LONG pitch = 0;                       // wider than a row
  const std::uint8_t* front = nullptr;  // null until the flip chain exists
  const std::uint8_t* back = nullptr;
};
Screen screen();
// The pixel value at (x, y) of the front (or back) buffer, read at the
// display's depth: 32-bit value, B | G << 8 | R << 16, or the 5:6:5 value.
std::uint32_t pixel(int x, int y, bool back = false);
// True when nothing was written outside the surfaces' rows: the guard bytes
// before and after each buffer and the padding at the end of every row.
bool guardsIntact();
bool backBufferLocked();
int flipCount();
int directDrawObjects();

// --- call log --------------------------------------------------------------
const std::vector<std::string>& calls();
void clearCalls();
// Lets other fakes (the tests' JNI environment) put their calls in the log.
void record(const std::string& call);
// Whether calls are logged at all (they are after reset). A long-running
// program (the demo, a benchmark) turns the log off so that it neither
// grows without bound nor costs time.
void recordCalls(bool on);
// Also write each recorded call to standard error, so that a process that
// ends itself (ExitProcess) leaves its last calls for a death test to read.
void echoCalls(bool on);

// What the last MessageBoxA showed.
struct MessageBox {
  bool shown = false;
  std::string text;
  std::string caption;
  UINT flags = 0;
};
MessageBox lastMessageBox();

}  // namespace sim
