// pixelsToScreen on the X11 platform, beside the limit: a bare XShmPutImage
// of an image the size of what reaches the screen (the 640x480 mode times
// its scale), waited for until the server has read it.
//
// Run on an X server of its own (scripts/bench starts Xvfb): it takes over
// a window of its own, as the library would a toolkit's frame, sets up the
// screen for a 640x480 frame and then times, in paired rounds, a batch of
// frames through the library's export (the array pinned in place, as
// HotSpot pins it) and a batch of bare puts into the
// library's own child window, at the same place, so both draw exactly the
// same visible pixels. Each round runs the two in a random order; the ratio
// is the median time per frame of ours over the bare put's.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "fake_jni.h"
#include "javah/Corvane.h"

namespace {

constexpr int frameWidth = 640;
constexpr int frameHeight = 480;
constexpr int rounds = 201;  // the first one is warm-up
constexpr int batch = 20;

using Clock = std::chrono::steady_clock;

Window makeFrame(Display* display) {
  const int screen = DefaultScreen(display);
  const Window frame = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 320, 240, 0,
                                           0, WhitePixel(display, screen));
  XStoreName(display, frame, "Corvane Bench");
  const Window content =
      XCreateSimpleWindow(display, frame, 0, 0, 320, 240, 0, 0, WhitePixel(display, screen));
  XMapWindow(display, content);
  XMapWindow(display, frame);
  XSync(display, False);
  return frame;
}

// The library's window: the one child of the content window.
Window libraryWindow(Display* display, Window frame) {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  XQueryTree(display, frame, &root, &parent, &children, &count);
  const Window content = count > 0 ? children[0] : 0;
  if (children != nullptr) XFree(children);
  XQueryTree(display, content, &root, &parent, &children, &count);
  const Window child = count > 0 ? children[count - 1] : 0;
  if (children != nullptr) XFree(children);
  return child;
}

// Pins as HotSpot does: the array's own elements, nothing copied (the test
// environment copies, to catch writes).
void* JNICALL pinInPlace(JNIEnv*, jarray array, jboolean* isCopy) {
  if (isCopy != nullptr) *isCopy = JNI_FALSE;
  return static_cast<FakeIntArray*>(static_cast<jintArray>(array))->elements.data();
}
void JNICALL releaseInPlace(JNIEnv*, jarray, void*, jint) {}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "x11 bench: no X display\n");
    return 1;
  }
  const int screen = DefaultScreen(display);
  const int screenWidth = DisplayWidth(display, screen);
  const int screenHeight = DisplayHeight(display, screen);
  const Window frame = makeFrame(display);

  FakeJni jni;
  Java_Corvane_initScreen(jni.env(), nullptr, frameWidth, frameHeight,
                          jni.string(std::string("Corvane Bench")));
  if (!jni.pendingClass().empty()) {
    std::fprintf(stderr, "x11 bench: set-up failed: %s\n", jni.pendingMessage().c_str());
    return 1;
  }
  // As a toolkit does, the content window follows the frame to full screen.
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  XQueryTree(display, frame, &root, &parent, &children, &count);
  XResizeWindow(display, children[0], static_cast<unsigned>(screenWidth),
                static_cast<unsigned>(screenHeight));
  XFree(children);
  XSync(display, False);
  const Window target = libraryWindow(display, frame);

  // What reaches the screen: the mode times the largest whole scale.
  const int scale = std::min(screenWidth / frameWidth, screenHeight / frameHeight);
  const int shownWidth = frameWidth * scale;
  const int shownHeight = frameHeight * scale;
  const int left = (screenWidth - shownWidth) / 2;
  const int top = (screenHeight - shownHeight) / 2;
  const int depth = DefaultDepth(display, screen);

  XShmSegmentInfo segment{};
  XImage* image = XShmCreateImage(
      display, DefaultVisual(display, screen), static_cast<unsigned>(depth), ZPixmap, nullptr,
      &segment, static_cast<unsigned>(shownWidth), static_cast<unsigned>(shownHeight));
  segment.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * shownHeight,
                         IPC_CREAT | 0600);
  segment.shmaddr = image->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
  segment.readOnly = True;
  XShmAttach(display, &segment);
  XSync(display, False);
  shmctl(segment.shmid, IPC_RMID, nullptr);
  const int bitsPerPixel = image->bits_per_pixel;
  std::mt19937 random(7);
  for (int i = 0; i < image->bytes_per_line * shownHeight; ++i) {
    image->data[i] = static_cast<char>(random());
  }
  const GC gc = XCreateGC(display, target, 0, nullptr);
  const int completion = XShmGetEventBase(display) + ShmCompletion;

  std::vector<jint> pixels(static_cast<std::size_t>(frameWidth) * frameHeight);
  for (jint& p : pixels) p = static_cast<jint>(random());
  jintArray array = jni.array(pixels);

  JNINativeInterface_ inPlace = *jni.env()->functions;
  inPlace.GetPrimitiveArrayCritical = pinInPlace;
  inPlace.ReleasePrimitiveArrayCritical = releaseInPlace;
  JNIEnv frameEnv{};
  frameEnv.functions = &inPlace;

  auto ours = [&] {
    for (int f = 0; f < batch; ++f) {
      Java_Corvane_pixelsToScreen(&frameEnv, nullptr, 0, 0, frameWidth, frameHeight, array, 0,
                                  frameWidth);
    }
  };
  auto bare = [&] {
    for (int f = 0; f < batch; ++f) {
      XShmPutImage(display, target, gc, image, 0, 0, left, top, static_cast<unsigned>(shownWidth),
                   static_cast<unsigned>(shownHeight), True);
      XEvent event;
      do {
        XNextEvent(display, &event);
      } while (event.type != completion);
    }
  };

  std::vector<double> oursMs, bareMs;
  for (int round = 0; round < rounds; ++round) {
    const bool oursFirst = (random() & 1) != 0;
    double times[2] = {0, 0};
    for (int turn = 0; turn < 2; ++turn) {
      const bool runOurs = (turn == 0) == oursFirst;
      const auto start = Clock::now();
      if (runOurs) {
        ours();
      } else {
        bare();
      }
      times[runOurs ? 0 : 1] =
          std::chrono::duration<double, std::milli>(Clock::now() - start).count() / batch;
    }
    if (round > 0) {
      oursMs.push_back(times[0]);
      bareMs.push_back(times[1]);
    }
  }
  const double oursMedian = median(oursMs);
  const double bareMedian = median(bareMs);
  std::printf(
      "x11 %dx%dx%d: a %dx%d frame at scale %d (%dx%d on the screen), %d rounds of %d "
      "frames\n",
      screenWidth, screenHeight, depth, frameWidth, frameHeight, scale, shownWidth, shownHeight,
      rounds - 1, batch);
  std::printf("  x11frame%d %dx%d: %.3f ms per frame, %.0f frames per second\n", bitsPerPixel,
              screenWidth, screenHeight, oursMedian, 1000.0 / oursMedian);
  std::printf("  put %dx%d: %.3f ms per image, %.0f images per second\n", shownWidth, shownHeight,
              bareMedian, 1000.0 / bareMedian);
  std::printf("ratio x11frame%d/put %dx%d = %.2f\n", bitsPerPixel, screenWidth, screenHeight,
              oursMedian / bareMedian);
  return 0;
}
