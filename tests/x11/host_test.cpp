// The library on the X11 platform against a real X server, with windows of
// our own standing in for the toolkit's frame. Run on a fresh Xvfb without
// a window manager (tests/x11/on-xvfb), in one process: set-up happens once.
// GoogleTest first: Xlib's macros (None, Bool, ...) would break its names.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
// clang-format on

#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Corvane.h"
#include "fake_jni.h"
#include "javah/Corvane.h"

namespace {

// The process-wide error handler, standing for the toolkit's.
int processWideErrors = 0;
int countError(Display*, XErrorEvent*) {
  ++processWideErrors;
  return 0;
}

// Our own connection to the server: the test's eyes and hands.
Display* own() {
  static Display* display = [] {
    Display* d = XOpenDisplay(nullptr);
    if (d != nullptr) XSetErrorHandler(countError);
    return d;
  }();
  return display;
}

Window makeTopLevel(const char* utf8Name, const char* latin1Name) {
  Display* d = own();
  const int screen = DefaultScreen(d);
  const Window window =
      XCreateSimpleWindow(d, RootWindow(d, screen), 10, 10, 300, 200, 0, 0, WhitePixel(d, screen));
  if (utf8Name != nullptr) {
    XChangeProperty(d, window, XInternAtom(d, "_NET_WM_NAME", False),
                    XInternAtom(d, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8Name),
                    static_cast<int>(std::strlen(utf8Name)));
  }
  if (latin1Name != nullptr) {
    XChangeProperty(d, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(latin1Name),
                    static_cast<int>(std::strlen(latin1Name)));
  }
  XMapWindow(d, window);
  XSync(d, False);
  return window;
}

HWND handle(Window window) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window)); }

std::string property(Window window, const char* name) {
  Display* d = own();
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(d, window, XInternAtom(d, name, False), 0, 1024, False, AnyPropertyType, &type,
                     &format, &items, &after, &data);
  std::string value = data == nullptr ? "" : std::string(reinterpret_cast<char*>(data), items);
  if (data != nullptr) XFree(data);
  return value;
}

// The window set-up took over, for the tests after it.
Window takenOver = 0;

// Ends the process with a message if a call has not returned in time: a
// hang inside the library must fail the test, not stall the run.
void onAlarm(int) {
  const char message[] = "the library did not return within 20 s\n";
  (void)!write(2, message, sizeof message - 1);
  _exit(3);
}

std::vector<HWND> enumerated;
BOOL CALLBACK collect(HWND window, LPARAM) {
  enumerated.push_back(window);
  return TRUE;
}

TEST(X11Host, WindowsAreFoundTopmostFirstWithTheirTitlesAsEightBitText) {
  ASSERT_NE(own(), nullptr) << "no X display";
  const Window lower = makeTopLevel("Zo\xC3\xAB \xE2\x82\xAC", "Zo? ?");
  const Window upper = makeTopLevel(nullptr, "Latin \xE9");
  enumerated.clear();
  EnumWindows(collect, 0);
  std::vector<HWND> ours;
  for (HWND w : enumerated) {
    if (w == handle(lower) || w == handle(upper)) ours.push_back(w);
  }
  EXPECT_EQ(ours, (std::vector<HWND>{handle(upper), handle(lower)}));

  char title[512];
  EXPECT_EQ(GetWindowTextA(handle(lower), title, sizeof title), 5);
  EXPECT_STREQ(title, "Zo\xEB \xAC");  // _NET_WM_NAME wins over WM_NAME
  EXPECT_EQ(GetWindowTextA(handle(upper), title, sizeof title), 7);
  EXPECT_STREQ(title, "Latin \xE9");
  EXPECT_EQ(GetWindowTextA(handle(upper), title, 4), 3);
  EXPECT_STREQ(title, "Lat");
  XDestroyWindow(own(), lower);
  XDestroyWindow(own(), upper);
  XSync(own(), False);
}

TEST(X11Host, ErrorsOnTheLibrarysConnectionNeverReachTheProcessWideHandler) {
  ASSERT_NE(own(), nullptr);
  // A window that does not exist: BadWindow, on the library's connection.
  const Window gone = makeTopLevel(nullptr, "Gone");
  XDestroyWindow(own(), gone);
  XSync(own(), False);
  char title[512] = "untouched";
  EXPECT_EQ(GetWindowTextA(handle(gone), title, sizeof title), 0);
  EXPECT_STREQ(title, "");
  SetWindowTextA(handle(gone), "Found Window!");
  enumerated.clear();
  EnumWindows(collect, 0);  // a round trip: any error has arrived by now
  EXPECT_EQ(processWideErrors, 0);
  // The handler itself works: an error on our own connection reaches it.
  XChangeProperty(own(), gone, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>("x"), 1);
  XSync(own(), False);
  EXPECT_EQ(processWideErrors, 1);
  processWideErrors = 0;
}

TEST(X11Host, SetUpTakesOverTheWindowAndFramesReachTheScreen) {
  Display* d = own();
  ASSERT_NE(d, nullptr);
  const int screen = DefaultScreen(d);
  const int screenWidth = DisplayWidth(d, screen);
  const int screenHeight = DisplayHeight(d, screen);
  ASSERT_EQ(DefaultDepth(d, screen), 24) << "run on a depth-24 screen";
  // A frame with a content window inside, as the toolkit makes them.
  const Window frame = makeTopLevel("Host Fr\xC3\xA4me", "Host Fr\xE4me");
  takenOver = frame;
  const Window content =
      XCreateSimpleWindow(d, frame, 0, 0, 300, 200, 0, 0, 0xFF00FF);  // magenta paint
  XMapWindow(d, content);
  XSync(d, False);

  FakeJni jni;
  Java_Corvane_initScreen(jni.env(), nullptr, 631, 479, jni.string(u"Host Fr\u00e4me"));
  ASSERT_EQ(jni.pendingClass(), "") << jni.pendingMessage();
  EXPECT_EQ(property(frame, "WM_NAME"), "Found Window!");
  EXPECT_EQ(property(frame, "_NET_WM_NAME"), "Found Window!");
  XWindowAttributes attributes;
  XGetWindowAttributes(d, frame, &attributes);
  EXPECT_EQ(attributes.width, screenWidth);
  EXPECT_EQ(attributes.height, screenHeight);
  // As a toolkit does, the content window follows its frame's new size.
  XResizeWindow(d, content, static_cast<unsigned>(screenWidth),
                static_cast<unsigned>(screenHeight));
  XSync(d, False);

  const int width = 631, height = 479, scansize = 640, offset = 9;
  std::mt19937 random(11);
  std::vector<jint> pixels(offset + scansize * height);
  for (jint& p : pixels) p = static_cast<jint>(random());
  jintArray array = jni.array(pixels);
  for (int f = 0; f < 3; ++f) {
    Java_Corvane_pixelsToScreen(jni.env(), nullptr, 0, 0, width, height, array, offset, scansize);
  }
  ASSERT_EQ(jni.pendingClass(), "");
  XSync(d, False);
  XImage* shot = XGetImage(d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(screenWidth),
                           static_cast<unsigned>(screenHeight), AllPlanes, ZPixmap);
  ASSERT_NE(shot, nullptr);
  // The 640x480 mode at scale 1, centred; the frame 4 columns into it.
  const int modeLeft = (screenWidth - 640) / 2, modeTop = (screenHeight - 480) / 2;
  int wrong = 0;
  for (int y = 0; y < screenHeight; ++y) {
    for (int x = 0; x < screenWidth; ++x) {
      const int fx = x - modeLeft - 4, fy = y - modeTop;
      const bool inFrame = fx >= 0 && fx < width && fy >= 0 && fy < height;
      const auto expected =
          inFrame ? static_cast<unsigned long>(pixels[offset + fy * scansize + fx]) & 0xFFFFFF : 0;
      if ((XGetPixel(shot, x, y) & 0xFFFFFF) != expected && wrong++ < 5) {
        ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << XGetPixel(shot, x, y)
                      << " instead of " << expected;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  XDestroyImage(shot);
  EXPECT_EQ(processWideErrors, 0);
}

TEST(X11Host, FramesStillReturnOnceTheWindowIsGone) {
  ASSERT_NE(takenOver, 0u) << "needs the set-up of the test before";
  Display* d = own();
  // The toolkit destroys its frame (a program disposing it) while frames
  // are shown: the puts into the library's window fail from now on, and
  // no completion will ever come for them.
  FakeJni jni;
  jintArray array = jni.array(std::vector<jint>(64 * 64, 0x123456));
  Java_Corvane_pixelsToScreen(jni.env(), nullptr, 0, 0, 64, 64, array, 0, 64);
  XDestroyWindow(d, takenOver);
  XSync(d, False);
  signal(SIGALRM, onAlarm);
  alarm(20);
  for (int f = 0; f < 50; ++f) {
    Java_Corvane_pixelsToScreen(jni.env(), nullptr, 0, 0, 64, 64, array, 0, 64);
  }
  alarm(0);
  EXPECT_EQ(jni.pendingClass(), "");
  EXPECT_EQ(processWideErrors, 0);
}

}  // namespace
