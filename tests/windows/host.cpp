// A Windows test host that plays the JVM's part for CorvaneNative.dll: a
// minimal JNI environment for each calling thread, the DLL loaded with
// LoadLibrary and its exports called through GetProcAddress. As in a JVM,
// the window belongs to a thread of its own that does nothing but handle
// its messages (the toolkit's thread), and the exports are called from
// other threads, which handle no messages.
//
//   corvane_host check DLL WORKDIR   two overlapping set-ups of the host's
//                                    window, the takeover, the exceptions,
//                                    a known frame, two threads presenting
//                                    at once, a large frame followed by
//                                    small ones; for each picture it writes
//                                    WORKDIR/NAME.ready and waits for
//                                    WORKDIR/NAME.done, a screenshot as raw
//                                    RGB in NAME.rgb with "W H" in
//                                    NAME.size; ends by writing
//                                    WORKDIR/result
//   corvane_host fatal DLL           set-up that must end in the fatal report;
//                                    prints the message box it finds, closes it
//
// Prints "N passed, N failed"; exits 0 when every check passed.
#include <jni.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

int passed = 0;
int failed = 0;

// Called on the main thread only.
void check(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED: %s\n", what.c_str());
    std::fflush(stdout);
  }
}

// --- a minimal JNI environment ------------------------------------------------

class HostString : public _jstring {
 public:
  std::vector<jchar> units;
};

class HostArray : public _jintArray {
 public:
  std::vector<jint> elements;
};

class HostClass : public _jclass {
 public:
  std::string name;
};

// Counts the threads between a pin and its release, across the JNI
// environments that share it, and remembers the most seen at once. A pin
// may wait up to `holdMs` for another thread to arrive, to widen the window
// in which calls that are not serialised would meet.
struct Overlap {
  std::atomic<int> inside{0};
  std::atomic<int> most{0};
  DWORD holdMs = 0;

  void enter() {
    const int now = ++inside;
    int seen = most;
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
    for (DWORD waited = 0; waited < holdMs && inside < 2; waited += 5) Sleep(5);
  }
  void leave() { --inside; }
};

struct HostJni {
  JNIEnv env;
  JNINativeInterface_ table;
  std::vector<HostClass*> classes;
  std::string pendingClass;
  std::string pendingMessage;
  bool inCritical = false;
  int callsInCritical = 0;
  int pins = 0;
  int releasesNotAborted = 0;
  Overlap* titlePins = nullptr;  // shared with the other set-up threads
  Overlap* arrayPins = nullptr;  // shared with the other presenting threads
};

HostJni* host(JNIEnv* env) { return static_cast<HostJni*>(env->functions->reserved0); }

void noteCall(JNIEnv* env) {
  if (host(env)->inCritical) ++host(env)->callsInCritical;
}

constexpr std::size_t slotCount = sizeof(JNINativeInterface_) / sizeof(void*);

template <std::size_t Index>
void JNICALL unimplementedSlot() {
  std::printf("host JNI: function table slot %u is not implemented\n", unsigned(Index));
  std::fflush(stdout);
  ExitProcess(3);
}

template <std::size_t... Index>
void fillWithTraps(void** slots, std::index_sequence<Index...>) {
  ((slots[Index] = reinterpret_cast<void*>(&unimplementedSlot<Index>)), ...);
}

jclass JNICALL findClass(JNIEnv* env, const char* name) {
  noteCall(env);
  HostClass* type = new HostClass();
  type->name = name;
  host(env)->classes.push_back(type);
  return type;
}

jint JNICALL throwNew(JNIEnv* env, jclass type, const char* message) {
  noteCall(env);
  host(env)->pendingClass = static_cast<HostClass*>(type)->name;
  host(env)->pendingMessage = message == nullptr ? "" : message;
  return 0;
}

jsize JNICALL getStringLength(JNIEnv* env, jstring string) {
  noteCall(env);
  return static_cast<jsize>(static_cast<HostString*>(string)->units.size());
}

const jchar* JNICALL getStringChars(JNIEnv* env, jstring string, jboolean* isCopy) {
  noteCall(env);
  if (isCopy != nullptr) *isCopy = JNI_FALSE;
  ++host(env)->pins;
  if (host(env)->titlePins != nullptr) host(env)->titlePins->enter();
  return static_cast<HostString*>(string)->units.data();
}

void JNICALL releaseStringChars(JNIEnv* env, jstring, const jchar*) {
  noteCall(env);
  --host(env)->pins;
  if (host(env)->titlePins != nullptr) host(env)->titlePins->leave();
}

jsize JNICALL getArrayLength(JNIEnv* env, jarray array) {
  noteCall(env);
  return static_cast<jsize>(static_cast<HostArray*>(array)->elements.size());
}

void* JNICALL getPrimitiveArrayCritical(JNIEnv* env, jarray array, jboolean* isCopy) {
  noteCall(env);
  if (isCopy != nullptr) *isCopy = JNI_FALSE;
  host(env)->inCritical = true;
  ++host(env)->pins;
  if (host(env)->arrayPins != nullptr) host(env)->arrayPins->enter();
  return static_cast<HostArray*>(array)->elements.data();
}

void JNICALL releasePrimitiveArrayCritical(JNIEnv* env, jarray, void*, jint mode) {
  host(env)->inCritical = false;
  --host(env)->pins;
  if (host(env)->arrayPins != nullptr) host(env)->arrayPins->leave();
  if (mode != JNI_ABORT) ++host(env)->releasesNotAborted;
}

void initJni(HostJni& jni) {
  void* slots[slotCount];
  fillWithTraps(slots, std::make_index_sequence<slotCount>{});
  std::memcpy(static_cast<void*>(&jni.table), slots, sizeof jni.table);
  jni.table.reserved0 = &jni;
  jni.table.FindClass = findClass;
  jni.table.ThrowNew = throwNew;
  jni.table.GetStringLength = getStringLength;
  jni.table.GetStringChars = getStringChars;
  jni.table.ReleaseStringChars = releaseStringChars;
  jni.table.GetArrayLength = getArrayLength;
  jni.table.GetPrimitiveArrayCritical = getPrimitiveArrayCritical;
  jni.table.ReleasePrimitiveArrayCritical = releasePrimitiveArrayCritical;
  jni.env.functions = &jni.table;
}

HostString* javaString(const char* text) {
  HostString* s = new HostString();
  for (const char* c = text; *c != '\0'; ++c) s->units.push_back(static_cast<unsigned char>(*c));
  return s;
}

// --- the library's exports ---------------------------------------------------

using InitScreen = void(JNICALL*)(JNIEnv*, jclass, jint, jint, jstring);
using PixelsToScreen = void(JNICALL*)(JNIEnv*, jclass, jint, jint, jint, jint, jintArray, jint,
                                      jint);

struct Library {
  InitScreen initScreen = nullptr;
  PixelsToScreen pixelsToScreen = nullptr;
};

Library loadLibrary(const char* path) {
  Library library;
  const HMODULE module = LoadLibraryA(path);
  if (module == nullptr) {
    std::printf("cannot load %s (error %lu)\n", path, GetLastError());
    std::exit(2);
  }
  library.initScreen = reinterpret_cast<InitScreen>(
      reinterpret_cast<void*>(GetProcAddress(module, "Java_Corvane_initScreen")));
  library.pixelsToScreen = reinterpret_cast<PixelsToScreen>(
      reinterpret_cast<void*>(GetProcAddress(module, "Java_Corvane_pixelsToScreen")));
  if (library.initScreen == nullptr || library.pixelsToScreen == nullptr) {
    std::printf("the exports are missing from %s\n", path);
    std::exit(2);
  }
  return library;
}

// --- the host's window, on a thread of its own ----------------------------------

const char* const windowTitle = "Corvane Host Window";
constexpr UINT probeMessage = WM_USER + 7;
constexpr LRESULT probeAnswer = 0x5EED;
std::atomic<int> paintsSeen{0};
std::atomic<int> probesSeen{0};
std::atomic<WPARAM> lastProbeWParam{0};

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    ++paintsSeen;
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
  }
  if (message == probeMessage) {
    ++probesSeen;
    lastProbeWParam = wParam;
    return probeAnswer;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

struct WindowThread {
  HANDLE created = nullptr;  // set once the window exists
  HWND window = nullptr;
};

// Creates the window and handles its messages until the process ends.
DWORD WINAPI runWindowThread(LPVOID param) {
  WindowThread& thread = *static_cast<WindowThread*>(param);
  WNDCLASSA type = {};
  type.lpfnWndProc = hostWindowProc;
  type.hInstance = GetModuleHandleA(nullptr);
  type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  type.lpszClassName = "CorvaneHostClass";
  RegisterClassA(&type);
  thread.window =
      CreateWindowExA(0, type.lpszClassName, windowTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                      400, 300, nullptr, nullptr, type.hInstance, nullptr);
  UpdateWindow(thread.window);
  SetEvent(thread.created);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

HWND startWindowThread() {
  static WindowThread thread;
  thread.created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CreateThread(nullptr, 0, runWindowThread, &thread, 0, nullptr);
  if (WaitForSingleObject(thread.created, 30000) != WAIT_OBJECT_0 || thread.window == nullptr) {
    std::printf("the host window was not created\n");
    std::exit(2);
  }
  return thread.window;
}

// Waits until the window thread has handled every pending paint: both
// BeginPaint and the library's ValidateRect empty the update region.
bool paintsHandled(HWND window) {
  for (int i = 0; i < 500; ++i) {
    if (!GetUpdateRect(window, nullptr, FALSE)) return true;
    Sleep(10);
  }
  return false;
}

// --- threads that call the exports ----------------------------------------------

struct Start {
  const std::function<void(int)>* body;
  HANDLE go;
  int index;
};

DWORD WINAPI runStarted(LPVOID param) {
  const Start& start = *static_cast<Start*>(param);
  WaitForSingleObject(start.go, INFINITE);
  (*start.body)(start.index);
  return 0;
}

// Runs `body` on `count` new threads, released together, and waits for
// them all. Threads that have not returned within `timeoutMs` are stuck in
// the library: the host reports that and ends the process at once.
void runTogether(int count, const std::function<void(int)>& body, DWORD timeoutMs,
                 const std::string& what) {
  const HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::vector<Start> starts(count);
  std::vector<HANDLE> threads;
  for (int i = 0; i < count; ++i) {
    starts[i] = Start{&body, go, i};
    threads.push_back(CreateThread(nullptr, 0, runStarted, &starts[i], 0, nullptr));
  }
  SetEvent(go);
  const DWORD waited =
      WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, timeoutMs);
  check(waited == WAIT_OBJECT_0,
        what + " return within " + std::to_string(timeoutMs / 1000) + " seconds");
  if (waited != WAIT_OBJECT_0) {
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    ExitProcess(2);
  }
  for (HANDLE thread : threads) CloseHandle(thread);
  CloseHandle(go);
}

// --- screenshots -------------------------------------------------------------------

bool fileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void writeFile(const std::string& path, const std::string& text) {
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
}

struct Screenshot {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
  unsigned at(int x, int y) const {
    const unsigned char* p = &rgb[(std::size_t(y) * width + x) * 3];
    return static_cast<unsigned>(p[0] << 16 | p[1] << 8 | p[2]);
  }
};

// Asks the script for a screenshot of the X root window and reads it.
bool takeScreenshot(const std::string& workdir, const std::string& name, Screenshot& shot) {
  const std::string base = workdir + "\\" + name;
  writeFile(base + ".ready", "ready\n");
  bool done = false;
  for (int i = 0; i < 1200 && !done; ++i) {
    Sleep(50);
    done = fileExists(base + ".done");
  }
  if (!done) return false;
  if (FILE* f = std::fopen((base + ".size").c_str(), "rb")) {
    if (std::fscanf(f, "%d %d", &shot.width, &shot.height) != 2) shot.width = shot.height = 0;
    std::fclose(f);
  }
  shot.rgb.assign(std::size_t(shot.width) * shot.height * 3, 0);
  bool read = false;
  if (FILE* f = std::fopen((base + ".rgb").c_str(), "rb")) {
    read =
        !shot.rgb.empty() && std::fread(shot.rgb.data(), 1, shot.rgb.size(), f) == shot.rgb.size();
    std::fclose(f);
  }
  return read && shot.width >= 640 && shot.height >= 480;
}

// What the 640 x 480 screen should show: a frame of width x height, centred
// as the library centres it, and black everywhere else.
struct Picture {
  int width;
  int height;
  std::function<unsigned(int, int)> pixel;  // RGB at a position in the frame
  int left() const { return (640 - width) / 2; }
  int top() const { return (480 - height) / 2; }
};

struct Differences {
  int frame = 0;
  int margin = 0;
  std::string firstFrame;
  std::string firstMargin;
};

// Compares the screen at the screenshot's origin, where Wine's virtual
// desktop sits, with the picture.
Differences compare(const Screenshot& shot, const Picture& picture) {
  Differences found;
  char text[160];
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const int fx = x - picture.left(), fy = y - picture.top();
      const bool inFrame = fx >= 0 && fx < picture.width && fy >= 0 && fy < picture.height;
      const unsigned expected = inFrame ? picture.pixel(fx, fy) & 0xFFFFFF : 0;
      const unsigned shown = shot.at(x, y);
      if (shown == expected) continue;
      int& count = inFrame ? found.frame : found.margin;
      if (count++ == 0) {
        std::snprintf(text, sizeof text, "the first, (%d, %d), is %06X instead of %06X", x, y,
                      shown, expected);
        (inFrame ? found.firstFrame : found.firstMargin) = text;
      }
    }
  }
  return found;
}

void checkPicture(const Differences& found, const std::string& what) {
  auto detail = [](int count, const std::string& first) {
    return count == 0 ? std::string()
                      : " (" + std::to_string(count) + " pixels differ; " + first + ")";
  };
  check(found.frame == 0,
        what + ": every frame pixel shows its colour" + detail(found.frame, found.firstFrame));
  check(found.margin == 0,
        what + ": the margins are black" + detail(found.margin, found.firstMargin));
}

// --- the frames ------------------------------------------------------------------------

jint patternPixel(int x, int y) {
  const unsigned r = (x * 7 + 11) & 0xFF, g = (y * 5 + 3) & 0xFF, b = (x + 3 * y) & 0xFF;
  return static_cast<jint>(0xFF000000u | r << 16 | g << 8 | b);
}

HostArray* uniformFrame(int width, int height, jint colour) {
  HostArray* frame = new HostArray();
  frame->elements.assign(std::size_t(width) * height, colour);
  return frame;
}

// The pattern frame: 631 x 479 pixels, rows 640 elements apart, starting at
// element 3, so that it lies at a left margin of 4 and a top margin of 0.
constexpr int frameWidth = 631;
constexpr int frameHeight = 479;
constexpr int frameScansize = 640;
constexpr int frameOffset = 3;

HostArray* patternFrame() {
  HostArray* frame = new HostArray();
  frame->elements.assign(frameOffset + std::size_t(frameScansize) * frameHeight, 0x00FF00FF);
  for (int y = 0; y < frameHeight; ++y) {
    for (int x = 0; x < frameWidth; ++x) {
      frame->elements[frameOffset + std::size_t(y) * frameScansize + x] = patternPixel(x, y);
    }
  }
  return frame;
}

// Where is the screen? Wine's virtual desktop sits at the root's top-left;
// the pattern's first pixels tell where the frame really is.
void checkPatternShot(const Screenshot& shot) {
  int ox = -1, oy = -1;
  const unsigned first = static_cast<unsigned>(patternPixel(0, 0)) & 0xFFFFFF;
  const unsigned second = static_cast<unsigned>(patternPixel(1, 0)) & 0xFFFFFF;
  for (int y = 0; y + 480 <= shot.height && ox < 0; ++y) {
    for (int x = 0; x + 640 <= shot.width; ++x) {
      if (shot.at(x + 4, y) == first && shot.at(x + 5, y) == second) {
        ox = x;
        oy = y;
        break;
      }
    }
  }
  std::printf("screen found at (%d, %d) in a %dx%d screenshot\n", ox, oy, shot.width, shot.height);
  check(ox == 0 && oy == 0, "the full-screen picture fills the display from its top-left");
  if (ox != 0 || oy != 0) return;
  const Picture pattern{frameWidth, frameHeight,
                        [](int x, int y) { return static_cast<unsigned>(patternPixel(x, y)); }};
  checkPicture(compare(shot, pattern), "the pattern frame at a left margin of 4, top margin 0");
}

// --- the library's message box -----------------------------------------------------

// Watches for the library's fatal report for up to `tenths` tenths of a
// second; prints it and closes it, and the library then ends the process
// with its exit code.
DWORD WINAPI closeMessageBox(LPVOID tenths) {
  for (UINT_PTR i = 0; i < reinterpret_cast<UINT_PTR>(tenths); ++i) {
    const HWND box = FindWindowA("#32770", "Corvane Native");
    if (box != nullptr) {
      char text[600] = {};
      GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
      std::string shown;
      for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\n')
          shown += "\\n";
        else if (*c != '\r')
          shown += *c;
      }
      std::printf("message box \"Corvane Native\": %s\n", shown.c_str());
      std::fflush(stdout);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return 0;
    }
    Sleep(100);
  }
  std::printf("no message box appeared\n");
  std::fflush(stdout);
  ExitProcess(4);
}

void watchForReport(UINT_PTR tenths) {
  CreateThread(nullptr, 0, closeMessageBox, reinterpret_cast<LPVOID>(tenths), 0, nullptr);
}

// --- the checks --------------------------------------------------------------------------

void checkReleases(const HostJni& jni, const std::string& who) {
  check(jni.pins == 0, who + ": every pin is released");
  check(jni.callsInCritical == 0, who + ": no JNI call while an array is pinned critically");
  check(jni.releasesNotAborted == 0, who + ": arrays are released with JNI_ABORT");
}

int runCheck(const Library& library, const std::string& workdir) {
  // A fatal report during the run is printed (the process then ends).
  watchForReport(~UINT_PTR{0});
  HostJni jni;
  initJni(jni);
  JNIEnv* env = &jni.env;
  auto expectException = [&](const char* type, const std::string& what) {
    check(jni.pendingClass == type, what + " throws " + type + " (got '" + jni.pendingClass + "')");
    jni.pendingClass.clear();
  };

  HostArray* tiny = new HostArray();
  tiny->elements.assign(16, 0);
  library.pixelsToScreen(env, nullptr, 0, 0, 4, 4, tiny, 0, 4);
  expectException("java/lang/IllegalStateException", "a frame before set-up");
  library.initScreen(env, nullptr, 640, 480, nullptr);
  expectException("java/lang/NullPointerException", "a null title");
  library.initScreen(env, nullptr, 640, 480, javaString("No Such Window Anywhere"));
  expectException("java/lang/IllegalStateException", "a title no window bears");

  const HWND window = startWindowThread();
  check(GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId(),
        "the window belongs to a thread other than the caller's");
  const LONG_PTR styleBefore = GetWindowLongPtrA(window, GWL_STYLE);
  check((styleBefore & WS_CAPTION) == WS_CAPTION, "the host window starts with a caption");

  // Two set-ups of the same window at once, each thread with its own JNI
  // environment: exactly one sets up, the other is told it is too late.
  // The first to hold the title waits a while for the other to arrive.
  HostJni setUps[2];
  Overlap titlePins;
  titlePins.holdMs = 500;
  for (HostJni& each : setUps) {
    initJni(each);
    each.titlePins = &titlePins;
  }
  runTogether(
      2,
      [&](int i) {
        library.initScreen(&setUps[i].env, nullptr, 631, 479, javaString(windowTitle));
      },
      60000, "two overlapping set-ups");
  const int succeeded = int(setUps[0].pendingClass.empty()) + int(setUps[1].pendingClass.empty());
  check(succeeded == 1,
        "exactly one of two overlapping set-ups succeeds (" + std::to_string(succeeded) + " did)");
  check(titlePins.most == 1, "the second set-up waits until the first has returned");
  for (const HostJni& each : setUps) {
    check(each.pendingClass.empty() || each.pendingClass == "java/lang/IllegalStateException",
          "the other set-up throws IllegalStateException (got '" + each.pendingClass +
              "': " + each.pendingMessage + ")");
    check(each.pins == 0, "the title's characters are released");
  }

  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  check(std::strcmp(title, "Found Window!") == 0,
        std::string("the title reads Found Window! (") + title + ")");
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  check((style & WS_POPUP) != 0, "the style has WS_POPUP");
  check((style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_DLGFRAME)) == 0,
        "the style has no caption or frame");
  check(GetClassLongPtrA(window, GCLP_HBRBACKGROUND) ==
            reinterpret_cast<ULONG_PTR>(GetStockObject(BLACK_BRUSH)),
        "the class background is the black stock brush");
  const int paintsBefore = paintsSeen;
  InvalidateRect(window, nullptr, FALSE);
  SendMessageA(window, WM_PAINT, 0, 0);
  check(paintsHandled(window), "the window thread handles the paint");
  check(paintsSeen == paintsBefore, "WM_PAINT no longer reaches the window's own procedure");
  for (WPARAM value : {WPARAM{42}, WPARAM{7}}) {
    const int probesBefore = probesSeen;
    const LRESULT answer = SendMessageA(window, probeMessage, value, 0);
    check(answer == probeAnswer && probesSeen == probesBefore + 1 && lastProbeWParam == value,
          "another message reaches the window's own procedure once (" +
              std::to_string(probesSeen - probesBefore) + " times) and its result comes back");
  }
  check(GetSystemMetrics(SM_CXSCREEN) == 640 && GetSystemMetrics(SM_CYSCREEN) == 480,
        "the display is 640 x 480 (" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " x " +
            std::to_string(GetSystemMetrics(SM_CYSCREEN)) + ")");

  HostArray* frame = patternFrame();
  library.pixelsToScreen(env, nullptr, 0, 0, frameWidth, frameHeight, frame, frameOffset,
                         frameScansize);
  check(jni.pendingClass.empty(), "the frame is accepted");
  library.pixelsToScreen(env, nullptr, 0, 0, 641, 1, frame, 0, 641);
  expectException("java/lang/IllegalArgumentException", "a frame wider than the mode");
  library.pixelsToScreen(env, nullptr, 0, 0, 4, 4, tiny, 1, 4);
  expectException("java/lang/ArrayIndexOutOfBoundsException", "rows outside the array");
  library.pixelsToScreen(env, nullptr, 0, 0, 4, 4, nullptr, 0, 4);
  expectException("java/lang/NullPointerException", "a null array");
  library.initScreen(env, nullptr, 640, 480, javaString("Found Window!"));
  expectException("java/lang/IllegalStateException", "a second set-up");
  checkReleases(jni, "the caller");

  Screenshot shot;
  bool taken = takeScreenshot(workdir, "pattern", shot);
  check(taken, "the screenshot of the pattern frame was taken");
  if (taken) checkPatternShot(shot);

  // Two threads presenting at once, frames of different sizes whose colour
  // changes every frame; the screen ends with the last frame of one of them.
  constexpr int framesEach = 300;
  const int sizes[2][2] = {{640, 480}, {320, 240}};
  auto colour = [](int thread, int index) {
    const unsigned r = (index * 17 + 40 * thread) & 0xFF, g = 0x80 + 0x40 * thread,
                   b = (index * 5 + 1) & 0xFF;
    return static_cast<jint>(0xFF000000u | r << 16 | g << 8 | b);
  };
  HostJni presenters[2];
  Overlap arrayPins;
  int presented[2] = {0, 0};
  for (HostJni& each : presenters) {
    initJni(each);
    each.arrayPins = &arrayPins;
  }
  runTogether(
      2,
      [&](int t) {
        HostArray* frames = uniformFrame(sizes[t][0], sizes[t][1], 0);
        for (int i = 0; i < framesEach && presenters[t].pendingClass.empty(); ++i) {
          frames->elements.assign(frames->elements.size(), colour(t, i));
          library.pixelsToScreen(&presenters[t].env, nullptr, 0, 0, sizes[t][0], sizes[t][1],
                                 frames, 0, sizes[t][0]);
          ++presented[t];
        }
      },
      240000, "two threads presenting at once");
  check(arrayPins.most == 1, "the two threads never draw at the same time");
  for (int t = 0; t < 2; ++t) {
    const std::string who = "presenting thread " + std::to_string(t);
    check(presented[t] == framesEach && presenters[t].pendingClass.empty(),
          who + " presents " + std::to_string(framesEach) + " frames (" +
              std::to_string(presented[t]) + ", exception '" + presenters[t].pendingClass + "')");
    checkReleases(presenters[t], who);
  }
  taken = takeScreenshot(workdir, "threads", shot);
  check(taken, "the screenshot after the two threads was taken");
  if (taken) {
    Differences best;
    int shown = -1;
    for (int t = 0; t < 2; ++t) {
      const jint last = colour(t, framesEach - 1);
      const Differences found = compare(shot, Picture{sizes[t][0], sizes[t][1], [last](int, int) {
                                                        return static_cast<unsigned>(last);
                                                      }});
      if (shown < 0 || found.frame + found.margin < best.frame + best.margin) {
        best = found;
        shown = t;
      }
    }
    checkPicture(best, "the last frame of presenting thread " + std::to_string(shown));
  }

  // A full-screen white frame, then small frames: the white must go from
  // both buffers of the chain, so both are looked at, one after the other.
  library.pixelsToScreen(env, nullptr, 0, 0, 640, 480, uniformFrame(640, 480, -1), 0, 640);
  check(jni.pendingClass.empty(), "a white frame of the mode's size is accepted");
  const Picture small[] = {
      {2, 2, [](int, int) { return 0xC03020u; }},
      {50, 30, [](int x, int y) { return static_cast<unsigned>(patternPixel(x, y)); }},
  };
  for (const Picture& picture : small) {
    HostArray* pixels = new HostArray();
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        pixels->elements.push_back(static_cast<jint>(0xFF000000u | picture.pixel(x, y)));
      }
    }
    library.pixelsToScreen(env, nullptr, 0, 0, picture.width, picture.height, pixels, 0,
                           picture.width);
    check(jni.pendingClass.empty(), "a small frame is accepted");
    const std::string name =
        "small frame " + std::to_string(picture.width) + "x" + std::to_string(picture.height);
    taken = takeScreenshot(workdir, "small" + std::to_string(picture.width), shot);
    check(taken, "the screenshot of the " + name + " was taken");
    if (taken) checkPicture(compare(shot, picture), "the " + name + " after a white one");
  }
  checkReleases(jni, "the caller");

  char summary[64];
  std::snprintf(summary, sizeof summary, "%d passed, %d failed\n", passed, failed);
  std::fputs(summary, stdout);
  std::fflush(stdout);
  writeFile(workdir + "\\result", summary);
  return failed == 0 ? 0 : 2;
}

int runFatal(const Library& library) {
  HostJni jni;
  initJni(jni);
  startWindowThread();
  watchForReport(600);
  library.initScreen(&jni.env, nullptr, 631, 479, javaString(windowTitle));
  std::printf("initScreen returned (pending: '%s')\n", jni.pendingClass.c_str());
  std::fflush(stdout);
  return 5;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "check") == 0) {
    return runCheck(loadLibrary(argv[2]), argv[3]);
  }
  if (argc >= 3 && std::strcmp(argv[1], "fatal") == 0) {
    return runFatal(loadLibrary(argv[2]));
  }
  std::printf("usage: corvane_host check DLL WORKDIR | fatal DLL\n");
  return 2;
}
