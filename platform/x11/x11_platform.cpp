// The Windows and DirectDraw names the library calls, over a real X display.
//
// The library opens a connection of its own (the toolkit keeps its own).
// Windows are the top-level client windows of the default screen; a handle
// is the X window id. Full-screen mode changes no video mode: the picture
// of the chosen mode is shown in a child window that covers the taken-over
// window, scaled by a whole number and centred on black.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <corvane_platform.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "x11_logic.h"
#include "x11_report.h"

// Xlib's per-connection hook for protocol errors (declared in Xlibint.h,
// whose X protocol types clash with the Windows names). The wire form of
// the error is not used.
extern "C" {
using WireToError = Bool (*)(Display*, XErrorEvent*, void*);
WireToError XESetWireToError(Display* display, int errorCode, WireToError handler);
}

namespace {

// A buffer of the flip chain, or a scaled copy of one, as the server sees it.
struct Picture {
  XImage* image = nullptr;
  XShmSegmentInfo segment{};
  bool shared = false;
  // Puts of this picture the server may still be reading.
  int inFlight = 0;
};

struct Buffer {
  Picture pixels;  // the mode's size; shown directly at scale 1
  Picture scaled;  // scale > 1 only: what reaches the window
};

enum AtomIndex {
  atomWmState,
  atomNetWmName,
  atomUtf8String,
  atomCompoundText,
  atomMotifHints,
  atomNetWmState,
  atomNetWmStateFullscreen,
  atomNetSupported,
  atomNetSupportingWmCheck,
  atomCount
};
const char* const atomNames[atomCount] = {"WM_STATE",
                                          "_NET_WM_NAME",
                                          "UTF8_STRING",
                                          "COMPOUND_TEXT",
                                          "_MOTIF_WM_HINTS",
                                          "_NET_WM_STATE",
                                          "_NET_WM_STATE_FULLSCREEN",
                                          "_NET_SUPPORTED",
                                          "_NET_SUPPORTING_WM_CHECK"};

// The X11 platform's one state record: the library's connection and what
// it made on it.
struct Session {
  Display* display = nullptr;
  bool openTried = false;
  Atom atoms[atomCount]{};
  int shmEventBase = -1;
  int shmOpcode = -1;
  // Protocol errors on this connection, counted here instead of reaching
  // the process-wide error handler (the toolkit's).
  unsigned long errorCount = 0;
  unsigned char lastErrorCode = 0;

  int cursorShowCount = 0;
  Cursor blankCursor = None;
  WNDPROC windowProc = nullptr;

  Window target = None;   // the taken-over window
  Window content = None;  // the toolkit's window inside it that our child sits in
  Window child = None;    // ours: covers the screen, shows the frames
  GC gc = nullptr;
  Visual* visual = nullptr;
  int depth = 0;
  std::uint32_t screenWidth = 0;
  std::uint32_t screenHeight = 0;
  std::uint32_t bitsPerPixel = 0;

  std::uint32_t modeWidth = 0;
  std::uint32_t modeHeight = 0;
  x11::Placement placement{};
  bool useShm = false;
  Buffer buffers[2];
  int back = 1;
};

Session session;

constexpr int fullScreenWaitMs = 2000;
// The minor opcode of ShmPutImage (X_ShmPutImage in shmproto.h, whose
// protocol types clash with the Windows names).
constexpr int shmPutImageRequest = 3;

Window windowOf(HWND handle) {
  return static_cast<Window>(reinterpret_cast<std::uintptr_t>(handle));
}
HWND handleOf(Window window) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window)); }

Bool onProtocolError(Display*, XErrorEvent* event, void*) {
  ++session.errorCount;
  session.lastErrorCode = event->error_code;
  // A put the server refused (its window gone) will never complete: stop
  // waiting for any.
  if (event->request_code == session.shmOpcode && event->minor_code == shmPutImageRequest) {
    for (Buffer& buffer : session.buffers) {
      buffer.pixels.inFlight = 0;
      buffer.scaled.inFlight = 0;
    }
  }
  return False;  // handled: the process-wide handler is not called
}

[[noreturn]] void onConnectionLost(Display* display, void*) {
  char text[512];
  std::snprintf(text, sizeof text, "Error (Corvane): the connection to the X display %s broke\n",
                DisplayString(display));
  x11::showReport(text, "Corvane Native");
  std::fflush(stdout);
  _exit(1);
}

Display* connection() {
  if (session.display != nullptr || session.openTried) {
    return session.display;
  }
  session.openTried = true;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    return nullptr;
  }
  XSetIOErrorExitHandler(display, onConnectionLost, nullptr);
  // Errors are routed per connection, by error code; the process-wide
  // handler stays the toolkit's.
  for (int code = 1; code < 256; ++code) {
    XESetWireToError(display, code, onProtocolError);
  }
  XInternAtoms(display, const_cast<char**>(atomNames), atomCount, False, session.atoms);
  session.display = display;
  return display;
}

// Runs a request (already made) to the server and tells whether it failed.
bool failedSince(unsigned long errorsBefore) {
  XSync(session.display, False);
  return session.errorCount != errorsBefore;
}

bool hasProperty(Window window, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(session.display, window, property, 0, 0, False,
                                        AnyPropertyType, &type, &format, &items, &after, &data);
  if (data != nullptr) XFree(data);
  return status == Success && type != None;
}

// The client window inside a child of the root: the window itself when it
// carries WM_STATE or nothing below it does, else the first descendant,
// breadth first, that carries it (a reparenting manager's frame holds it).
Window clientWindow(Window top) {
  Window queue[64];
  int head = 0, tail = 0;
  queue[tail++] = top;
  while (head < tail) {
    const Window window = queue[head++];
    if (hasProperty(window, session.atoms[atomWmState])) {
      return window;
    }
    Window root = None, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(session.display, window, &root, &parent, &children, &count) != 0) {
      for (unsigned i = 0; i < count && tail < 64; ++i) queue[tail++] = children[i];
      if (children != nullptr) XFree(children);
    }
  }
  return top;
}

struct Property {
  unsigned char* data = nullptr;
  unsigned long length = 0;
  Atom type = None;
  ~Property() {
    if (data != nullptr) XFree(data);
  }
};

bool readProperty(Window window, Atom name, Property& out) {
  int format = 0;
  unsigned long after = 0;
  // 4096 bytes hold 511 characters of up to four bytes each.
  const int status =
      XGetWindowProperty(session.display, window, name, 0, 1024, False, AnyPropertyType, &out.type,
                         &format, &out.length, &after, &out.data);
  return status == Success && out.type != None && format == 8 && out.data != nullptr;
}

void fullScreenByManager(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = session.atoms[atomNetWmState];
  event.xclient.format = 32;
  event.xclient.data.l[0] = 1;  // _NET_WM_STATE_ADD
  event.xclient.data.l[1] = static_cast<long>(session.atoms[atomNetWmStateFullscreen]);
  event.xclient.data.l[3] = 1;  // a normal application
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

// True when a window manager that understands _NET_WM_STATE_FULLSCREEN runs.
bool managerDoesFullScreen(Display* display) {
  const Window root = DefaultRootWindow(display);
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  bool found = false;
  if (XGetWindowProperty(display, root, session.atoms[atomNetSupportingWmCheck], 0, 1, False,
                         XA_WINDOW, &type, &format, &items, &after, &data) == Success &&
      data != nullptr && items == 1) {
    const Window check = static_cast<Window>(reinterpret_cast<unsigned long*>(data)[0]);
    XFree(data);
    data = nullptr;
    // A stale check window (its manager gone) fails here.
    const unsigned long errors = session.errorCount;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, check, &attributes) != 0 && !failedSince(errors) &&
        XGetWindowProperty(display, root, session.atoms[atomNetSupported], 0, 4096, False, XA_ATOM,
                           &type, &format, &items, &after, &data) == Success &&
        data != nullptr) {
      const auto* atoms = reinterpret_cast<unsigned long*>(data);
      for (unsigned long i = 0; i < items; ++i) {
        found = found || atoms[i] == session.atoms[atomNetWmStateFullscreen];
      }
    }
  }
  if (data != nullptr) XFree(data);
  return found;
}

bool coversScreen(Display* display, Window window) {
  Window root = None, unused = None;
  int x = 0, y = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  if (XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth) == 0) {
    return false;
  }
  if (!XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &unused)) {
    return false;
  }
  return x == 0 && y == 0 && width == session.screenWidth && height == session.screenHeight;
}

void pauseMs(long milliseconds) {
  timespec pause{0, milliseconds * 1000000L};
  nanosleep(&pause, nullptr);
}

// The toolkit's window inside the taken-over one that receives its input:
// the largest mapped child that can be drawn into, else the window itself.
Window contentWindow(Display* display, Window window) {
  Window root = None, parent = None, best = window;
  Window* children = nullptr;
  unsigned count = 0;
  unsigned long bestArea = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) {
    return window;
  }
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, children[i], &attributes) == 0) continue;
    const unsigned long area = static_cast<unsigned long>(attributes.width) *
                               static_cast<unsigned long>(attributes.height);
    if (attributes.c_class == InputOutput && attributes.map_state != IsUnmapped &&
        area > bestArea) {
      best = children[i];
      bestArea = area;
    }
  }
  if (children != nullptr) XFree(children);
  return best;
}

// Keeps our child window at the screen's origin whatever the position of
// the window it sits in.
void placeChild() {
  Display* display = session.display;
  int x = 0, y = 0;
  Window unused = None;
  if (XTranslateCoordinates(display, session.content, DefaultRootWindow(display), 0, 0, &x, &y,
                            &unused)) {
    XMoveWindow(display, session.child, -x, -y);
  }
}

Cursor blankCursor(Display* display) {
  if (session.blankCursor == None) {
    const Pixmap empty = XCreatePixmap(display, DefaultRootWindow(display), 1, 1, 1);
    const GC gc = XCreateGC(display, empty, 0, nullptr);
    XSetForeground(display, gc, 0);
    XFillRectangle(display, empty, gc, 0, 0, 1, 1);
    XFreeGC(display, gc);
    XColor black{};
    session.blankCursor = XCreatePixmapCursor(display, empty, empty, &black, &black, 0, 0);
    XFreePixmap(display, empty);
  }
  return session.blankCursor;
}

void applyCursor() {
  Display* display = session.display;
  if (display == nullptr || session.child == None) return;
  if (session.cursorShowCount < 0) {
    XDefineCursor(display, session.child, blankCursor(display));
  } else {
    XUndefineCursor(display, session.child);
  }
  XFlush(display);
}

// --- the flip chain ------------------------------------------------------

void releasePicture(Picture& picture) {
  if (picture.image == nullptr) return;
  if (picture.shared) {
    XShmDetach(session.display, &picture.segment);
    shmdt(picture.segment.shmaddr);
  } else {
    std::free(picture.image->data);
  }
  picture.image->data = nullptr;
  XDestroyImage(picture.image);
  picture.image = nullptr;
}

bool createPicture(Picture& picture, std::uint32_t width, std::uint32_t height, bool shared) {
  Display* display = session.display;
  if (shared) {
    XImage* image = XShmCreateImage(display, session.visual, static_cast<unsigned>(session.depth),
                                    ZPixmap, nullptr, &picture.segment, width, height);
    if (image == nullptr) return false;
    const std::size_t bytes = static_cast<std::size_t>(image->bytes_per_line) * height;
    picture.segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (picture.segment.shmid < 0) {
      XDestroyImage(image);
      return false;
    }
    picture.segment.shmaddr = static_cast<char*>(shmat(picture.segment.shmid, nullptr, 0));
    if (picture.segment.shmaddr == reinterpret_cast<char*>(-1)) {
      shmctl(picture.segment.shmid, IPC_RMID, nullptr);
      XDestroyImage(image);
      return false;
    }
    picture.segment.readOnly = True;
    image->data = picture.segment.shmaddr;
    const unsigned long errors = session.errorCount;
    XShmAttach(display, &picture.segment);
    const bool attached = !failedSince(errors);
    // Gone with the last detach, even when the process dies.
    shmctl(picture.segment.shmid, IPC_RMID, nullptr);
    if (!attached) {
      shmdt(picture.segment.shmaddr);
      image->data = nullptr;
      XDestroyImage(image);
      return false;
    }
    picture.image = image;
    picture.shared = true;
    return true;
  }
  XImage* image = XCreateImage(display, session.visual, static_cast<unsigned>(session.depth),
                               ZPixmap, 0, nullptr, width, height, 32, 0);
  if (image == nullptr) return false;
  image->data =
      static_cast<char*>(std::calloc(static_cast<std::size_t>(image->bytes_per_line) * height, 1));
  if (image->data == nullptr) {
    XDestroyImage(image);
    return false;
  }
  picture.image = image;
  picture.shared = false;
  return true;
}

void handleEvent(const XEvent& event);

// Waits until the server has read every put of the picture. A put whose
// window is gone fails, and no ShmCompletion will ever come for it (its
// error has been handled, which clears the count). So when nothing has
// arrived for a while, a round trip tells: the server sends a completion
// while it runs the put, so one not queued after the round trip never comes.
void waitUntilRead(Picture& picture) {
  Display* display = session.display;
  while (picture.inFlight > 0) {
    if (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      handleEvent(event);
      continue;
    }
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    if (poll(&connection, 1, 100) == 0) {
      XSync(display, False);
      if (XPending(display) == 0) {
        picture.inFlight = 0;
      }
    }
  }
}

// Puts rows [firstRow, firstRow + rows) of the picture at their place on the screen.
void put(Picture& picture, int firstRow, int rows) {
  Display* display = session.display;
  const x11::Placement& at = session.placement;
  const auto width = static_cast<unsigned>(picture.image->width);
  const int x = static_cast<int>(at.left);
  const int y = static_cast<int>(at.top) + firstRow;
  if (picture.shared) {
    ++picture.inFlight;
    XShmPutImage(display, session.child, session.gc, picture.image, 0, firstRow, x, y, width,
                 static_cast<unsigned>(rows), True);
  } else {
    // Xlib copies the pixels into its request: nothing to wait for.
    XPutImage(display, session.child, session.gc, picture.image, 0, firstRow, x, y, width,
              static_cast<unsigned>(rows));
  }
  XFlush(display);
}

void put(Picture& picture) { put(picture, 0, picture.image->height); }

Picture& shownPicture(Buffer& buffer) {
  return session.placement.scale > 1 ? buffer.scaled : buffer.pixels;
}

void handleEvent(const XEvent& event) {
  if (event.type == session.shmEventBase + ShmCompletion) {
    const auto& done = reinterpret_cast<const XShmCompletionEvent&>(event);
    for (Buffer& buffer : session.buffers) {
      for (Picture* picture : {&buffer.pixels, &buffer.scaled}) {
        if (picture->shared && picture->segment.shmseg == done.shmseg && picture->inFlight > 0) {
          --picture->inFlight;
        }
      }
    }
  } else if (event.type == Expose && event.xexpose.window == session.child &&
             event.xexpose.count == 0) {
    // The server cleared what was hidden to black: show the front again.
    Buffer& front = session.buffers[1 - session.back];
    if (front.pixels.image != nullptr) put(shownPicture(front));
  } else if (event.type == ConfigureNotify && session.child != None) {
    placeChild();
  }
}

void handlePendingEvents() {
  Display* display = session.display;
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    handleEvent(event);
  }
}

bool createChain() {
  const std::uint32_t scale = session.placement.scale;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const bool shared = session.useShm;
    bool made = true;
    for (Buffer& buffer : session.buffers) {
      // At a larger scale the mode-sized buffers stay in this process.
      made = made && createPicture(buffer.pixels, session.modeWidth, session.modeHeight,
                                   shared && scale == 1);
      if (scale > 1) {
        made = made && createPicture(buffer.scaled, session.modeWidth * scale,
                                     session.modeHeight * scale, shared);
      }
    }
    if (made) return true;
    for (Buffer& buffer : session.buffers) {
      releasePicture(buffer.pixels);
      releasePicture(buffer.scaled);
    }
    if (!shared) return false;
    // The server cannot reach our shared memory (a remote display): plain puts.
    session.useShm = false;
  }
  return false;
}

class ChainSurface final : public IDirectDrawSurface {
 public:
  explicit ChainSurface(bool primary) : primary_(primary) {}

  HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps,
                                               LPDIRECTDRAWSURFACE* attached) override;

  HRESULT STDMETHODCALLTYPE Lock(RECT* rect, LPDDSURFACEDESC desc, DWORD, HANDLE) override {
    if (primary_ || rect != nullptr || desc == nullptr) return DDERR_INVALIDPARAMS;
    Buffer& buffer = session.buffers[session.back];
    // At scale 1 the server reads this very memory: never hand it out
    // while a put of it may still be in progress.
    if (session.placement.scale == 1) waitUntilRead(buffer.pixels);
    desc->lpSurface = buffer.pixels.image->data;
    desc->lPitch = buffer.pixels.image->bytes_per_line;
    desc->dwWidth = session.modeWidth;
    desc->dwHeight = session.modeHeight;
    return DD_OK;
  }

  // Surfaces on X are never lost.
  HRESULT STDMETHODCALLTYPE Restore() override { return DD_OK; }
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID) override { return DD_OK; }

  HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE, DWORD) override {
    if (!primary_) return DDERR_INVALIDPARAMS;
    Buffer& buffer = session.buffers[session.back];
    const std::uint32_t scale = session.placement.scale;
    if (scale > 1) {
      // Putting bands of the scaled picture as they are scaled was measured
      // slower on Xvfb than one put of the whole.
      waitUntilRead(buffer.scaled);
      const XImage* from = buffer.pixels.image;
      XImage* to = buffer.scaled.image;
      x11::scalePicture(reinterpret_cast<const std::uint8_t*>(from->data), from->bytes_per_line,
                        reinterpret_cast<std::uint8_t*>(to->data), to->bytes_per_line,
                        session.modeWidth, session.modeHeight, session.bitsPerPixel / 8, scale);
      put(buffer.scaled);
    } else {
      put(buffer.pixels);
    }
    session.back = 1 - session.back;
    handlePendingEvents();
    return DD_OK;
  }

 private:
  bool primary_;
};

ChainSurface primarySurface(true);
ChainSurface backSurface(false);

HRESULT ChainSurface::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* attached) {
  if (!primary_ || caps == nullptr || attached == nullptr || caps->dwCaps != DDSCAPS_BACKBUFFER) {
    return DDERR_INVALIDPARAMS;
  }
  *attached = &backSurface;
  return DD_OK;
}

// The depth a frame is written at: the screen's bits per pixel, when its
// pixels are laid out as the library writes them (B, G, R in memory order
// at 32 and 24; 5:6:5 at 16).
std::uint32_t screenBitsPerPixel(Display* display) {
  const int screen = DefaultScreen(display);
  const Visual* visual = DefaultVisual(display, screen);
  const int depth = DefaultDepth(display, screen);
  if (ImageByteOrder(display) != LSBFirst || visual->c_class != TrueColor) return 0;
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
  int bits = 0;
  for (int i = 0; i < count; ++i) {
    if (formats[i].depth == depth) bits = formats[i].bits_per_pixel;
  }
  if (formats != nullptr) XFree(formats);
  const bool rgb888 =
      visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF;
  const bool rgb565 =
      visual->red_mask == 0xF800 && visual->green_mask == 0x7E0 && visual->blue_mask == 0x1F;
  if ((bits == 32 || bits == 24) && depth == 24 && rgb888) return static_cast<std::uint32_t>(bits);
  if (bits == 16 && depth == 16 && rgb565) return 16;
  return 0;
}

class XDirectDraw final : public IDirectDraw {
 public:
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override {
    if (flags != (DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) || window == nullptr) {
      return DDERR_INVALIDPARAMS;
    }
    Display* display = session.display;
    const int screen = DefaultScreen(display);
    session.target = windowOf(window);
    session.screenWidth = static_cast<std::uint32_t>(DisplayWidth(display, screen));
    session.screenHeight = static_cast<std::uint32_t>(DisplayHeight(display, screen));
    session.visual = DefaultVisual(display, screen);
    session.depth = DefaultDepth(display, screen);
    session.bitsPerPixel = screenBitsPerPixel(display);

    const unsigned long errors = session.errorCount;
    if (managerDoesFullScreen(display)) {
      fullScreenByManager(display, session.target);
    } else {
      XMoveResizeWindow(display, session.target, 0, 0, session.screenWidth, session.screenHeight);
    }
    XRaiseWindow(display, session.target);
    if (failedSince(errors)) return DDERR_GENERIC;  // not a window (any more)
    for (int waited = 0; waited < fullScreenWaitMs && !coversScreen(display, session.target);
         waited += 10) {
      pauseMs(10);
    }

    session.content = contentWindow(display, session.target);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.border_pixel = 0;
    attributes.colormap = DefaultColormap(display, screen);
    // Exposure only: every input event goes on to the toolkit's window.
    attributes.event_mask = ExposureMask;
    session.child =
        XCreateWindow(display, session.content, 0, 0, session.screenWidth, session.screenHeight, 0,
                      session.depth, InputOutput, session.visual,
                      CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    session.gc = XCreateGC(display, session.child, 0, nullptr);
    XSelectInput(display, session.content, StructureNotifyMask);
    if (session.content != session.target)
      XSelectInput(display, session.target, StructureNotifyMask);
    placeChild();
    XMapRaised(display, session.child);
    applyCursor();
    if (failedSince(errors)) return DDERR_GENERIC;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bpp) override {
    if (session.bitsPerPixel == 0 || bpp != session.bitsPerPixel) return DDERR_INVALIDMODE;
    const x11::Placement placement =
        x11::placePicture(width, height, session.screenWidth, session.screenHeight);
    if (placement.scale == 0) return DDERR_INVALIDMODE;
    session.modeWidth = width;
    session.modeHeight = height;
    session.placement = placement;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                          IUnknown* outer) override {
    if (desc == nullptr || surface == nullptr || outer != nullptr || session.modeWidth == 0 ||
        desc->ddsCaps.dwCaps != (DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX) ||
        desc->dwBackBufferCount != 1) {
      return DDERR_INVALIDPARAMS;
    }
    if (session.buffers[0].pixels.image != nullptr) return DDERR_GENERIC;  // one chain only
    if (!createChain()) return DDERR_GENERIC;
    *surface = &primarySurface;
    return DD_OK;
  }
};

XDirectDraw directDrawObject;

// The one stock object the library asks for, as a distinct handle.
unsigned char stockObjects[8];

}  // namespace

// --- window manager and graphics interface ---------------------------------

BOOL WINAPI EnumWindows(WNDENUMPROC callback, LPARAM param) {
  Display* display = connection();
  if (display == nullptr) {
    return FALSE;  // no display: no windows
  }
  Window root = None, parent = None;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
    return FALSE;
  }
  // XQueryTree lists bottom to top; windows are enumerated topmost first.
  BOOL result = TRUE;
  for (unsigned i = count; i-- > 0;) {
    if (!callback(handleOf(clientWindow(children[i])), param)) {
      result = FALSE;
      break;
    }
  }
  if (children != nullptr) XFree(children);
  return result;
}

int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int capacity) {
  if (capacity <= 0 || buffer == nullptr) return 0;
  buffer[0] = '\0';
  if (session.display == nullptr) return 0;
  const auto room = static_cast<std::size_t>(capacity);
  const Window id = windowOf(window);
  {
    Property name;
    if (readProperty(id, session.atoms[atomNetWmName], name) &&
        name.type == session.atoms[atomUtf8String]) {
      return static_cast<int>(x11::lowBytesOfUtf8(name.data, name.length, buffer, room));
    }
  }
  Property name;
  if (!readProperty(id, XA_WM_NAME, name)) return 0;
  if (name.type == session.atoms[atomUtf8String]) {
    return static_cast<int>(x11::lowBytesOfUtf8(name.data, name.length, buffer, room));
  }
  if (name.type == session.atoms[atomCompoundText]) {
    XTextProperty text{name.data, name.type, 8, name.length};
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(session.display, &text, &list, &count) >= Success &&
        count > 0) {
      const auto* utf8 = reinterpret_cast<const unsigned char*>(list[0]);
      const int written =
          static_cast<int>(x11::lowBytesOfUtf8(utf8, std::strlen(list[0]), buffer, room));
      XFreeStringList(list);
      return written;
    }
    if (list != nullptr) XFreeStringList(list);
  }
  // STRING: ISO 8859-1, the 8-bit text itself.
  std::size_t length = 0;
  while (length < name.length && length + 1 < room && name.data[length] != 0) {
    buffer[length] = static_cast<char>(name.data[length]);
    ++length;
  }
  buffer[length] = '\0';
  return static_cast<int>(length);
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
  Display* display = session.display;
  if (display == nullptr || text == nullptr) return FALSE;
  const Window id = windowOf(window);
  XChangeProperty(display, id, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text),
                  static_cast<int>(std::strlen(text)));
  char utf8[1024];
  const std::size_t length = x11::latin1ToUtf8(text, utf8, sizeof utf8);
  XChangeProperty(display, id, session.atoms[atomNetWmName], session.atoms[atomUtf8String], 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(utf8),
                  static_cast<int>(length));
  XFlush(display);
  return TRUE;
}

// The toolkit keeps the keyboard focus on a window of its own and loses its
// key events when the focus is set anywhere else: the focus is left alone.
HWND WINAPI SetFocus(HWND window) { return window; }

// The cursor is hidden over the window by ShowCursor, on the window that
// shows the frames.
HCURSOR WINAPI SetCursor(HCURSOR) { return nullptr; }

int WINAPI ShowCursor(BOOL show) {
  session.cursorShowCount += show ? 1 : -1;
  applyCursor();
  return session.cursorShowCount;
}

HGDIOBJ WINAPI GetStockObject(int object) {
  if (object < 0 || object >= static_cast<int>(sizeof stockObjects)) return nullptr;
  return reinterpret_cast<HGDIOBJ>(&stockObjects[object]);
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  Display* display = session.display;
  if (display == nullptr) return 0;
  if (index == GWL_STYLE) {
    if ((value & WS_POPUP) != 0) {
      // No decorations: Motif hints with only the decorations field set, to none.
      const long hints[5] = {2, 0, 0, 0, 0};
      XChangeProperty(display, windowOf(window), session.atoms[atomMotifHints],
                      session.atoms[atomMotifHints], 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(hints), 5);
      XFlush(display);
    }
    return 0;
  }
  if (index == GWLP_WNDPROC) {
    // X delivers no messages through procedures: the toolkit handles its
    // window's events itself, and its painting is covered by our child
    // window. The procedure is kept; the previous one is the default.
    session.windowProc = reinterpret_cast<WNDPROC>(value);
    return reinterpret_cast<LONG_PTR>(&DefWindowProcA);
  }
  return 0;
}

LONG_PTR WINAPI SetClassLongPtrA(HWND window, int index, LONG_PTR value) {
  Display* display = session.display;
  if (display == nullptr || index != GCLP_HBRBACKGROUND) return 0;
  if (value == reinterpret_cast<LONG_PTR>(GetStockObject(BLACK_BRUSH))) {
    XSetWindowBackground(display, windowOf(window), BlackPixel(display, DefaultScreen(display)));
    XFlush(display);
  }
  return 0;
}

LRESULT WINAPI CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam) {
  if (procedure == nullptr) return 0;
  return procedure(window, message, wParam, lParam);
}

LRESULT WINAPI DefWindowProcA(HWND, UINT, WPARAM, LPARAM) { return 0; }

// Nothing on X waits to be painted: the frames are shown by our child window.
BOOL WINAPI ValidateRect(HWND, const RECT*) { return TRUE; }

// --- DirectDraw --------------------------------------------------------------

HRESULT WINAPI DirectDrawCreate(GUID*, LPDIRECTDRAW* directDraw, IUnknown* outer) {
  if (directDraw == nullptr || outer != nullptr) return DDERR_INVALIDPARAMS;
  Display* display = connection();
  if (display == nullptr) return DDERR_GENERIC;
  int major = 0, minor = 0;
  Bool pixmaps = False;
  int opcode = 0, eventBase = 0, errorBase = 0;
  session.useShm = XShmQueryVersion(display, &major, &minor, &pixmaps) &&
                   XQueryExtension(display, "MIT-SHM", &opcode, &eventBase, &errorBase);
  if (session.useShm) {
    session.shmEventBase = XShmGetEventBase(display);
    session.shmOpcode = opcode;
  }
  *directDraw = &directDrawObject;
  return DD_OK;
}
