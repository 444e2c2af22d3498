#include "simulator.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <thread>

struct HWND__ {
  int id;
  std::string title;
  LONG_PTR style;
  int windowClass;
  WNDPROC procedure;
};

namespace {

constexpr std::size_t guardBytes = 64;
constexpr LONG rowPadding = 24;
constexpr std::uint8_t guardByte = 0xA5;
constexpr std::uint8_t garbageByte = 0xCD;

[[noreturn]] void unsupported(const std::string& what) {
  std::fprintf(stderr, "simulated platform: not simulated: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(buffer, sizeof buffer, pattern, args);
  va_end(args);
  return buffer;
}

std::string hex(std::uint64_t value) {
  return format("0x%llX", static_cast<unsigned long long>(value));
}

std::string quoted(const char* text) {
  if (text == nullptr) return "null";
  std::string out = "\"";
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '\n') {
      out += "\\n";
    } else {
      out += *c;
    }
  }
  return out + "\"";
}

struct Buffer {
  std::vector<std::uint8_t> memory;
  std::uint8_t* rows() { return memory.data() + guardBytes; }
};

class SimSurface;

struct World {
  std::vector<std::unique_ptr<HWND__>> windows;
  std::map<int, LONG_PTR> classBackgrounds;
  int cursorShowCount = 0;
  HWND focus = nullptr;
  bool sendDuringSubclass = false;
  bool deliverSetText = false;
  HRESULT flipAfterSwap = DD_OK;
  UINT subclassMessage = 0;

  std::vector<DWORD> acceptedDepths{32, 24, 16};
  std::map<std::string, HRESULT> failures;
  bool lost = false;
  int failingRestores = 0;
  HRESULT restoreAnswer = DDERR_WRONGMODE;
  bool sleepForReal = false;
  std::map<std::string, int> delays;

  DWORD width = 0, height = 0, depth = 0;
  LONG pitch = 0;
  Buffer buffers[2];
  int frontIndex = 0;
  int flips = 0;
  bool locked = false;
  int directDrawObjects = 0;
  std::vector<std::unique_ptr<IDirectDraw>> directDraws;
  std::vector<std::unique_ptr<IDirectDrawSurface>> surfaces;

  std::vector<std::string> calls;
  bool recording = true;
  bool echo = false;
  sim::MessageBox messageBox;
};

World& world() {
  static World* instance = new World();  // outlives every static destructor
  return *instance;
}

void log(const std::string& call) {
  World& w = world();
  if (!w.recording) return;
  w.calls.push_back(call);
  if (w.echo) {
    std::fprintf(stderr, "call: %s\n", call.c_str());
  }
}

void logf(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
void logf(const char* pattern, ...) {
  if (!world().recording) return;
  char buffer[1024];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(buffer, sizeof buffer, pattern, args);
  va_end(args);
  log(buffer);
}

void delayed(const char* name) {
  const auto& delays = world().delays;
  const auto found = delays.find(name);
  if (found != delays.end()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(found->second));
  }
}

HRESULT scripted(const char* name) {
  const auto& failures = world().failures;
  const auto found = failures.find(name);
  return found == failures.end() ? DD_OK : found->second;
}

HWND__& windowOf(HWND window, const char* caller) {
  for (const auto& w : world().windows) {
    if (w.get() == window) return *w;
  }
  unsupported(
      format("%s with a window that does not exist (%p)", caller, static_cast<void*>(window)));
}

std::string windowName(HWND window) {
  if (window == nullptr) return "null";
  return format("hwnd#%d", windowOf(window, "a call").id);
}

struct StockObject {
  int object;
};
StockObject stockObjects[8] = {{0}, {1}, {2}, {3}, {4}, {5}, {6}, {7}};

class SimSurface final : public IDirectDrawSurface {
 public:
  explicit SimSurface(bool isBack) : isBack_(isBack) {}

  HRESULT GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* attached) override {
    if (isBack_ || caps == nullptr || attached == nullptr) {
      unsupported("GetAttachedSurface other than on the primary surface with caps");
    }
    logf("GetAttachedSurface(caps=%s)", hex(caps->dwCaps).c_str());
    const HRESULT result = scripted("GetAttachedSurface");
    if (result != DD_OK) return result;
    if (caps->dwCaps != DDSCAPS_BACKBUFFER)
      unsupported("GetAttachedSurface for other than the back buffer");
    *attached = back_;
    return DD_OK;
  }

  HRESULT Lock(RECT* rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override {
    if (!isBack_) unsupported("Lock of the primary surface");
    if (rect != nullptr || event != nullptr || desc == nullptr) {
      unsupported("Lock with a rectangle, an event or no description");
    }
    World& w = world();
    // Formatted by logf alone: with the log off, a frame builds no strings.
    logf("Lock(null, size=%u, flags=0x%X, 0x%X, null)", static_cast<unsigned>(desc->dwSize),
         static_cast<unsigned>(desc->dwFlags), static_cast<unsigned>(flags));
    if (w.lost) return DDERR_SURFACELOST;
    const HRESULT result = scripted("Lock");
    if (result != DD_OK) return result;
    if (desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (w.locked) return DDERR_SURFACEBUSY;
    w.locked = true;
    delayed("Lock");  // holding the lock
    desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_LPSURFACE;
    desc->dwWidth = w.width;
    desc->dwHeight = w.height;
    desc->lPitch = w.pitch;
    desc->lpSurface = w.buffers[1 - w.frontIndex].rows();
    return DD_OK;
  }

  HRESULT Restore() override {
    World& w = world();
    log(isBack_ ? "Restore(back buffer)" : "Restore(primary)");
    const HRESULT result = scripted("Restore");
    if (result != DD_OK) return result;
    if (isBack_) return DDERR_IMPLICITLYCREATED;
    if (w.lost && w.failingRestores > 0) {
      --w.failingRestores;
      return w.restoreAnswer;  // the display is still held elsewhere
    }
    if (w.lost) {
      // Restored memory keeps nothing of what it held.
      w.lost = false;
      const std::size_t rowBytes = std::size_t{w.width} * (w.depth / 8);
      for (Buffer& buffer : w.buffers) {
        for (DWORD row = 0; row < w.height; ++row) {
          std::memset(buffer.rows() + std::size_t(w.pitch) * row, garbageByte, rowBytes);
        }
      }
    }
    return DD_OK;
  }

  HRESULT Unlock(LPVOID pixels) override {
    if (!isBack_) unsupported("Unlock of the primary surface");
    World& w = world();
    const bool matches = pixels == w.buffers[1 - w.frontIndex].rows();
    logf("Unlock(%s)", pixels == nullptr ? "null" : matches ? "locked" : "other");
    if (!w.locked || !matches) return DDERR_INVALIDPARAMS;
    // A scripted failure is reported after the lock is given up, as a
    // surface lost while locked would be.
    w.locked = false;
    return scripted("Unlock");
  }

  HRESULT Flip(LPDIRECTDRAWSURFACE override, DWORD flags) override {
    if (isBack_ || override != nullptr) unsupported("Flip other than on the primary surface");
    World& w = world();
    logf("Flip(null, 0x%X)", static_cast<unsigned>(flags));
    delayed("Flip");
    const HRESULT result = scripted("Flip");
    if (result != DD_OK) return result;
    if (w.locked) return DDERR_SURFACEBUSY;
    w.frontIndex = 1 - w.frontIndex;
    ++w.flips;
    return w.flipAfterSwap;
  }

  void attach(SimSurface* back) { back_ = back; }

 private:
  bool isBack_;
  SimSurface* back_ = nullptr;
};

class SimDirectDraw final : public IDirectDraw {
 public:
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
    logf("SetCooperativeLevel(%s, %s)", windowName(window).c_str(), hex(flags).c_str());
    return scripted("SetCooperativeLevel");
  }

  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp) override {
    logf("SetDisplayMode(%u, %u, %u)", static_cast<unsigned>(width), static_cast<unsigned>(height),
         static_cast<unsigned>(bpp));
    const HRESULT result = scripted("SetDisplayMode");
    if (result != DD_OK) return result;
    World& w = world();
    if (std::find(w.acceptedDepths.begin(), w.acceptedDepths.end(), bpp) ==
        w.acceptedDepths.end()) {
      return DDERR_INVALIDMODE;
    }
    w.width = width;
    w.height = height;
    w.depth = bpp;
    return DD_OK;
  }

  HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                        IUnknown* outer) override {
    if (desc == nullptr || surface == nullptr || outer != nullptr) {
      unsupported("CreateSurface without a description or with an outer object");
    }
    logf("CreateSurface(size=%u, flags=%s, caps=%s, backBuffers=%u, null)",
         static_cast<unsigned>(desc->dwSize), hex(desc->dwFlags).c_str(),
         hex(desc->ddsCaps.dwCaps).c_str(), static_cast<unsigned>(desc->dwBackBufferCount));
    const HRESULT result = scripted("CreateSurface");
    if (result != DD_OK) return result;
    if (desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (desc->dwFlags != (DDSD_CAPS | DDSD_BACKBUFFERCOUNT) ||
        desc->ddsCaps.dwCaps != (DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX) ||
        desc->dwBackBufferCount != 1) {
      unsupported("CreateSurface other than a primary flip chain with one back buffer");
    }
    World& w = world();
    if (w.depth == 0) return DDERR_NOEXCLUSIVEMODE;
    w.pitch = static_cast<LONG>(w.width * (w.depth / 8)) + rowPadding;
    const std::size_t rowBytes = std::size_t{w.width} * (w.depth / 8);
    for (Buffer& buffer : w.buffers) {
      buffer.memory.assign(guardBytes * 2 + std::size_t(w.pitch) * w.height, guardByte);
      for (DWORD row = 0; row < w.height; ++row) {
        std::memset(buffer.rows() + std::size_t(w.pitch) * row, garbageByte, rowBytes);
      }
    }
    w.frontIndex = 0;
    auto front = std::make_unique<SimSurface>(false);
    auto back = std::make_unique<SimSurface>(true);
    front->attach(back.get());
    *surface = front.get();
    w.surfaces.push_back(std::move(front));
    w.surfaces.push_back(std::move(back));
    return DD_OK;
  }
};

}  // namespace

// --- the platform functions the library calls ----------------------------------

BOOL WINAPI EnumWindows(WNDENUMPROC callback, LPARAM param) {
  log("EnumWindows()");
  // Windows added by a callback are not visited: walk a snapshot.
  std::vector<HWND> order;
  for (const auto& w : world().windows) order.push_back(w.get());
  for (HWND window : order) {
    if (!callback(window, param)) break;
  }
  return TRUE;
}

int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int capacity) {
  HWND__& w = windowOf(window, "GetWindowTextA");
  logf("GetWindowTextA(%s, %d)", windowName(window).c_str(), capacity);
  if (buffer == nullptr || capacity <= 0) return 0;
  const std::size_t count = std::min(w.title.size(), std::size_t(capacity - 1));
  std::memcpy(buffer, w.title.data(), count);
  buffer[count] = '\0';
  delayed("GetWindowTextA");
  return static_cast<int>(count);
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
  HWND__& w = windowOf(window, "SetWindowTextA");
  logf("SetWindowTextA(%s, %s)", windowName(window).c_str(), quoted(text).c_str());
  w.title = text == nullptr ? "" : text;
  if (world().deliverSetText && w.procedure != nullptr) {
    w.procedure(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }
  return TRUE;
}

HWND WINAPI SetFocus(HWND window) {
  windowOf(window, "SetFocus");
  logf("SetFocus(%s)", windowName(window).c_str());
  const HWND previous = world().focus;
  world().focus = window;
  return previous;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
  if (cursor != nullptr) unsupported("SetCursor with a cursor");
  log("SetCursor(null)");
  return nullptr;
}

int WINAPI ShowCursor(BOOL show) {
  logf("ShowCursor(%d)", show ? 1 : 0);
  return show ? ++world().cursorShowCount : --world().cursorShowCount;
}

HGDIOBJ WINAPI GetStockObject(int object) {
  if (object < 0 || object >= 8) unsupported(format("GetStockObject(%d)", object));
  logf("GetStockObject(%d)", object);
  return sim::stockObject(object);
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  HWND__& w = windowOf(window, "SetWindowLongPtrA");
  if (index == GWL_STYLE) {
    logf("SetWindowLongPtrA(%s, GWL_STYLE, %s)", windowName(window).c_str(),
         hex(static_cast<std::uint64_t>(value)).c_str());
    const LONG_PTR previous = w.style;
    w.style = value;
    return previous;
  }
  if (index == GWLP_WNDPROC) {
    logf("SetWindowLongPtrA(%s, GWLP_WNDPROC, procedure)", windowName(window).c_str());
    const WNDPROC previous = w.procedure;
    w.procedure = reinterpret_cast<WNDPROC>(value);
    World& wd = world();
    if (wd.sendDuringSubclass && w.procedure != nullptr) {
      wd.sendDuringSubclass = false;
      w.procedure(window, wd.subclassMessage, 0, 0);
    }
    return reinterpret_cast<LONG_PTR>(previous);
  }
  unsupported(format("SetWindowLongPtrA index %d", index));
}

LONG_PTR WINAPI SetClassLongPtrA(HWND window, int index, LONG_PTR value) {
  HWND__& w = windowOf(window, "SetClassLongPtrA");
  if (index != GCLP_HBRBACKGROUND) unsupported(format("SetClassLongPtrA index %d", index));
  logf("SetClassLongPtrA(%s, GCLP_HBRBACKGROUND, %s)", windowName(window).c_str(),
       sim::handleName(reinterpret_cast<const void*>(value)).c_str());
  LONG_PTR& background = world().classBackgrounds[w.windowClass];
  const LONG_PTR previous = background;
  background = value;
  return previous;
}

LRESULT WINAPI CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam) {
  if (procedure == nullptr) unsupported("CallWindowProcA with no procedure");
  logf("CallWindowProcA(%s, %s, %s)", windowName(window).c_str(), hex(message).c_str(),
       hex(wParam).c_str());
  return procedure(window, message, wParam, lParam);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM) {
  logf("DefWindowProcA(%s, %s, %s)", windowName(window).c_str(), hex(message).c_str(),
       hex(wParam).c_str());
  return 0;
}

BOOL WINAPI ValidateRect(HWND window, const RECT* rect) {
  logf("ValidateRect(%s, %s)", windowName(window).c_str(), rect == nullptr ? "null" : "rect");
  return TRUE;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
  logf("MessageBoxA(%s, %s, %s, %s)", windowName(owner).c_str(), quoted(text).c_str(),
       quoted(caption).c_str(), hex(flags).c_str());
  sim::MessageBox& box = world().messageBox;
  box.shown = true;
  box.text = text == nullptr ? "" : text;
  box.caption = caption == nullptr ? "" : caption;
  box.flags = flags;
  if (!world().echo) {
    // Nobody can click the box: show its text where a person will see it.
    std::fprintf(stderr, "[%s] %s", box.caption.c_str(), box.text.c_str());
    std::fflush(stderr);
  }
  return 1;  // IDOK
}

void WINAPI ExitProcess(UINT exitCode) {
  logf("ExitProcess(%u)", exitCode);
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(static_cast<int>(exitCode));
}

void WINAPI Sleep(DWORD milliseconds) {
  // Logged, and waited only when a test asks: the simulated display has
  // nothing to wait for.
  logf("Sleep(%u)", static_cast<unsigned>(milliseconds));
  if (world().sleepForReal) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}

HRESULT WINAPI DirectDrawCreate(GUID* driver, LPDIRECTDRAW* directDraw, IUnknown* outer) {
  if (directDraw == nullptr || outer != nullptr)
    unsupported("DirectDrawCreate with an outer object");
  logf("DirectDrawCreate(%s, out, null)", driver == nullptr ? "null" : "guid");
  const HRESULT result = scripted("DirectDrawCreate");
  if (result != DD_OK) return result;
  if (driver != nullptr) unsupported("DirectDrawCreate for a named driver");
  World& w = world();
  w.directDraws.push_back(std::make_unique<SimDirectDraw>());
  ++w.directDrawObjects;
  *directDraw = w.directDraws.back().get();
  return DD_OK;
}

// --- the control side ------------------------------------------------------------

namespace sim {

void reset() {
  World& w = world();
  w = World();
}

HWND addWindow(const std::string& title, WNDPROC procedure, int windowClass) {
  World& w = world();
  auto window = std::make_unique<HWND__>();
  window->id = static_cast<int>(w.windows.size()) + 1;
  window->title = title;
  window->style = 0x10CF0000;  // an ordinary visible overlapped window
  window->windowClass = windowClass;
  window->procedure = procedure;
  w.classBackgrounds.emplace(windowClass, 0);
  w.windows.push_back(std::move(window));
  return w.windows.back().get();
}

std::string windowTitle(HWND window) { return windowOf(window, "windowTitle").title; }
LONG_PTR windowStyle(HWND window) { return windowOf(window, "windowStyle").style; }
LONG_PTR classBackground(HWND window) {
  return world().classBackgrounds[windowOf(window, "classBackground").windowClass];
}
WNDPROC windowProcedure(HWND window) { return windowOf(window, "windowProcedure").procedure; }

LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND__& w = windowOf(window, "sendMessage");
  if (w.procedure == nullptr) unsupported("sendMessage to a window without a procedure");
  return w.procedure(window, message, wParam, lParam);
}

void sendDuringSubclass(UINT message) {
  world().sendDuringSubclass = true;
  world().subclassMessage = message;
}

int cursorShowCount() { return world().cursorShowCount; }
HWND focusWindow() { return world().focus; }

HGDIOBJ stockObject(int object) { return reinterpret_cast<HGDIOBJ>(&stockObjects[object]); }

std::string handleName(const void* handle) {
  for (const StockObject& o : stockObjects) {
    if (handle == &o) return format("stock#%d", o.object);
  }
  return handle == nullptr ? "null" : "handle";
}

void acceptDepths(const std::vector<DWORD>& depths) { world().acceptedDepths = depths; }
void failCall(const std::string& name, HRESULT result) { world().failures[name] = result; }
void loseSurfaces(int failingRestores, HRESULT answer) {
  world().lost = true;
  world().failingRestores = failingRestores;
  world().restoreAnswer = answer;
}
void deliverSetText(bool on) { world().deliverSetText = on; }
void failFlipAfterSwap(HRESULT result) { world().flipAfterSwap = result; }
void sleepForReal(bool on) { world().sleepForReal = on; }
void delayCall(const std::string& name, int milliseconds) { world().delays[name] = milliseconds; }

Screen screen() {
  World& w = world();
  Screen s;
  s.width = w.width;
  s.height = w.height;
  s.depth = w.depth;
  s.pitch = w.pitch;
  if (!w.surfaces.empty()) {
    s.front = w.buffers[w.frontIndex].rows();
    s.back = w.buffers[1 - w.frontIndex].rows();
  }
  return s;
}

std::uint32_t pixel(int x, int y, bool back) {
  const Screen s = screen();
  if (s.front == nullptr || x < 0 || y < 0 || DWORD(x) >= s.width || DWORD(y) >= s.height) {
    unsupported(format("pixel(%d, %d) outside the screen", x, y));
  }
  const std::uint8_t* p =
      (back ? s.back : s.front) + std::ptrdiff_t(y) * s.pitch + std::ptrdiff_t(x) * (s.depth / 8);
  switch (s.depth) {
    case 32:
      return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
    case 24:
      return p[0] | p[1] << 8 | p[2] << 16;
    default:
      return p[0] | p[1] << 8;
  }
}

bool guardsIntact() {
  World& w = world();
  if (w.surfaces.empty()) return true;
  const std::size_t rowBytes = std::size_t{w.width} * (w.depth / 8);
  for (Buffer& buffer : w.buffers) {
    const std::uint8_t* rows = buffer.rows();
    for (std::size_t i = 0; i < guardBytes; ++i) {
      if (buffer.memory[i] != guardByte || rows[std::size_t(w.pitch) * w.height + i] != guardByte) {
        return false;
      }
    }
    for (DWORD row = 0; row < w.height; ++row) {
      const std::uint8_t* padding = rows + std::size_t(w.pitch) * row + rowBytes;
      for (LONG i = 0; i < rowPadding; ++i) {
        if (padding[i] != guardByte) return false;
      }
    }
  }
  return true;
}

bool backBufferLocked() { return world().locked; }
int flipCount() { return world().flips; }
int directDrawObjects() { return world().directDrawObjects; }

const std::vector<std::string>& calls() { return world().calls; }
void clearCalls() { world().calls.clear(); }
void record(const std::string& call) { log(call); }
void echoCalls(bool on) { world().echo = on; }
void recordCalls(bool on) { world().recording = on; }
MessageBox lastMessageBox() { return world().messageBox; }

}  // namespace sim
