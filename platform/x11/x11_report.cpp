// The report window, the end of the process and sleeping.
#include "x11_report.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <corvane_platform.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "x11_logic.h"

namespace {

constexpr int margin = 16;
constexpr int maxLines = 16;
const char* const dismissHint = "Click here or press a key to close.";

// The report's own connection must not end the process when it breaks
// before the report is read: the caller ends it anyway.
[[noreturn]] void reportConnectionLost(Display*, void*) {
  std::fflush(stderr);
  _exit(1);
}

struct Lines {
  const char* start[maxLines];
  int length[maxLines];
  int count = 0;
};

Lines splitLines(const char* text) {
  Lines lines;
  const char* c = text;
  while (*c != '\0' && lines.count < maxLines - 1) {
    const char* end = std::strchr(c, '\n');
    const int length =
        end == nullptr ? static_cast<int>(std::strlen(c)) : static_cast<int>(end - c);
    lines.start[lines.count] = c;
    lines.length[lines.count++] = length;
    c += length;
    if (*c == '\n') ++c;
  }
  lines.start[lines.count] = dismissHint;
  lines.length[lines.count++] = static_cast<int>(std::strlen(dismissHint));
  return lines;
}

void setTitle(Display* display, Window window, const char* caption) {
  XStoreName(display, window, caption);
  char utf8[512];
  const std::size_t length = x11::latin1ToUtf8(caption, utf8, sizeof utf8);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                  XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8), static_cast<int>(length));
}

void showWindow(Display* display, const char* text, const char* caption) {
  XFontStruct* font = XLoadQueryFont(display, "fixed");
  const bool named = font != nullptr;
  if (!named) {
    // The server's default font, which every server has.
    font = XQueryFont(display, XGContextFromGC(DefaultGC(display, DefaultScreen(display))));
  }
  if (font == nullptr) {
    return;  // nothing to draw with: standard error has the text
  }
  const Lines lines = splitLines(text);
  int textWidth = 0;
  for (int i = 0; i < lines.count; ++i) {
    const int width = XTextWidth(font, lines.start[i], lines.length[i]);
    if (width > textWidth) textWidth = width;
  }
  const int lineHeight = font->ascent + font->descent + 2;
  const int width = textWidth + 2 * margin;
  const int height = (lines.count + 1) * lineHeight + 2 * margin;
  const int screen = DefaultScreen(display);
  const int x = (DisplayWidth(display, screen) - width) / 2;
  const int y = (DisplayHeight(display, screen) - height) / 2;

  XSetWindowAttributes attributes{};
  attributes.background_pixel = WhitePixel(display, screen);
  attributes.border_pixel = BlackPixel(display, screen);
  attributes.event_mask = ExposureMask | ButtonPressMask | KeyPressMask | StructureNotifyMask;
  const Window window = XCreateWindow(
      display, RootWindow(display, screen), x > 0 ? x : 0, y > 0 ? y : 0,
      static_cast<unsigned>(width), static_cast<unsigned>(height), 1, CopyFromParent, InputOutput,
      CopyFromParent, CWBackPixel | CWBorderPixel | CWEventMask, &attributes);
  setTitle(display, window, caption);
  XSizeHints hints{};
  hints.flags = PPosition | PMinSize;
  hints.x = x;
  hints.y = y;
  hints.min_width = width;
  hints.min_height = height;
  XSetWMNormalHints(display, window, &hints);
  // Above everything, the taken-over full-screen window included.
  const Atom above = XInternAtom(display, "_NET_WM_STATE_ABOVE", False);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&above), 1);
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &deleteWindow, 1);

  XGCValues values{};
  values.foreground = BlackPixel(display, screen);
  const GC gc = XCreateGC(display, window, GCForeground, &values);
  if (named) XSetFont(display, gc, font->fid);  // else a new GC's font is the default
  XMapRaised(display, window);

  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == Expose && event.xexpose.count == 0) {
      for (int i = 0; i < lines.count; ++i) {
        // The hint stands one blank line below the text.
        const int row = i == lines.count - 1 ? i + 1 : i;
        XDrawString(display, window, gc, margin, margin + row * lineHeight + font->ascent,
                    lines.start[i], lines.length[i]);
      }
    } else if (event.type == ButtonPress || event.type == KeyPress || event.type == DestroyNotify) {
      break;
    } else if (event.type == ClientMessage &&
               static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) {
      break;
    }
  }
}

}  // namespace

namespace x11 {

void showReport(const char* text, const char* caption) {
  std::fprintf(stderr, "[%s] %s", caption, text);
  std::fflush(stderr);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    return;
  }
  XSetIOErrorExitHandler(display, reportConnectionLost, nullptr);
  showWindow(display, text, caption);
  XCloseDisplay(display);
}

}  // namespace x11

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
  x11::showReport(text == nullptr ? "" : text, caption == nullptr ? "" : caption);
  return 1;  // IDOK
}

void WINAPI ExitProcess(UINT exitCode) {
  std::fflush(stdout);
  std::fflush(stderr);
  // At once, as ExitProcess does: no exit handlers of the JVM run first.
  _exit(static_cast<int>(exitCode));
}

void WINAPI Sleep(DWORD milliseconds) {
  timespec remaining{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}
