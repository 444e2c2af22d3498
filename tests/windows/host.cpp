// A Windows test host that plays the JVM's part for CorvaneNative.dll: a
// minimal JNI environment, a window of its own, the DLL loaded with
// LoadLibrary and its exports called through GetProcAddress.
//
//   corvane_host check DLL WORKDIR   take over the host's window, present a
//                                    known frame, write WORKDIR/ready, wait
//                                    for WORKDIR/screen.rgb (a screenshot as
//                                    raw RGB, WORKDIR/screen.size "W H"),
//                                    check the picture, write WORKDIR/result
//   corvane_host fatal DLL           set-up that must end in the fatal report;
//                                    prints the message box it finds, closes it
//
// Prints "N passed, N failed"; exits 0 when every check passed.
#include <jni.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

int passed = 0;
int failed = 0;

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

struct HostJni {
  JNIEnv env;
  JNINativeInterface_ table;
  std::vector<HostClass*> classes;
  std::string pendingClass;
  std::string pendingMessage;
  bool inCritical = false;
  int callsInCritical = 0;
  int pins = 0;
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
  return static_cast<HostString*>(string)->units.data();
}

void JNICALL releaseStringChars(JNIEnv* env, jstring, const jchar*) {
  noteCall(env);
  --host(env)->pins;
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
  return static_cast<HostArray*>(array)->elements.data();
}

void JNICALL releasePrimitiveArrayCritical(JNIEnv* env, jarray, void*, jint mode) {
  host(env)->inCritical = false;
  --host(env)->pins;
  check(mode == JNI_ABORT, "the array is released with JNI_ABORT");
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

// --- the host's window -----------------------------------------------------------

const char* const windowTitle = "Corvane Host Window";
int paintsSeen = 0;
UINT lastUserMessage = 0;
WPARAM lastUserWParam = 0;
constexpr UINT probeMessage = WM_USER + 7;
constexpr LRESULT probeAnswer = 0x5EED;

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    ++paintsSeen;
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
  }
  if (message == probeMessage) {
    lastUserMessage = message;
    lastUserWParam = wParam;
    return probeAnswer;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND createHostWindow() {
  WNDCLASSA type = {};
  type.lpfnWndProc = hostWindowProc;
  type.hInstance = GetModuleHandleA(nullptr);
  type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  type.lpszClassName = "CorvaneHostClass";
  RegisterClassA(&type);
  const HWND window =
      CreateWindowExA(0, type.lpszClassName, windowTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                      400, 300, nullptr, nullptr, type.hInstance, nullptr);
  UpdateWindow(window);
  return window;
}

void pumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

bool fileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void writeFile(const std::string& path, const std::string& text) {
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
}

// The frame: 631 x 479 pixels, rows 640 elements apart, starting at element 3.
constexpr int frameWidth = 631;
constexpr int frameHeight = 479;
constexpr int frameScansize = 640;
constexpr int frameOffset = 3;

jint patternPixel(int x, int y) {
  const unsigned r = (x * 7 + 11) & 0xFF, g = (y * 5 + 3) & 0xFF, b = (x + 3 * y) & 0xFF;
  return static_cast<jint>(0xFF000000u | r << 16 | g << 8 | b);
}

// Checks the screenshot: 640 x 480 of black with the frame at (4, 0), at
// the screen's origin (ox, oy) in the screenshot.
void checkScreenshot(const std::string& workdir) {
  int width = 0, height = 0;
  if (FILE* f = std::fopen((workdir + "\\screen.size").c_str(), "rb")) {
    if (std::fscanf(f, "%d %d", &width, &height) != 2) width = height = 0;
    std::fclose(f);
  }
  std::vector<unsigned char> rgb(std::size_t(width) * height * 3);
  bool read = false;
  if (FILE* f = std::fopen((workdir + "\\screen.rgb").c_str(), "rb")) {
    read = !rgb.empty() && std::fread(rgb.data(), 1, rgb.size(), f) == rgb.size();
    std::fclose(f);
  }
  check(read, "the screenshot can be read");
  if (!read) return;
  auto at = [&](int x, int y) {
    const unsigned char* p = &rgb[(std::size_t(y) * width + x) * 3];
    return static_cast<unsigned>(p[0] << 16 | p[1] << 8 | p[2]);
  };
  // Where is the screen? Wine's virtual desktop sits at the root's top-left;
  // look there first, then anywhere the frame's first pixels appear.
  int ox = -1, oy = -1;
  const unsigned first = static_cast<unsigned>(patternPixel(0, 0)) & 0xFFFFFF;
  const unsigned second = static_cast<unsigned>(patternPixel(1, 0)) & 0xFFFFFF;
  for (int y = 0; y + 480 <= height && ox < 0; ++y) {
    for (int x = 0; x + 640 <= width; ++x) {
      if (at(x + 4, y) == first && at(x + 5, y) == second) {
        ox = x;
        oy = y;
        break;
      }
    }
  }
  std::printf("screen found at (%d, %d) in a %dx%d screenshot\n", ox, oy, width, height);
  check(ox == 0 && oy == 0, "the full-screen picture fills the display from its top-left");
  if (ox < 0) return;
  int wrongFrame = 0, wrongMargin = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const bool inFrame = x >= 4 && x < 4 + frameWidth && y < frameHeight;
      const unsigned expected =
          inFrame ? static_cast<unsigned>(patternPixel(x - 4, y)) & 0xFFFFFF : 0;
      if (at(ox + x, oy + y) != expected) {
        if (inFrame) {
          if (wrongFrame++ == 0)
            std::printf("frame pixel (%d, %d): %06X, expected %06X\n", x, y, at(ox + x, oy + y),
                        expected);
        } else {
          if (wrongMargin++ == 0)
            std::printf("margin pixel (%d, %d): %06X, expected black\n", x, y, at(ox + x, oy + y));
        }
      }
    }
  }
  check(wrongFrame == 0, "every frame pixel shows its exact colour, left margin 4, top margin 0");
  check(wrongMargin == 0, "the margins are black");
}

int runCheck(const Library& library, const std::string& workdir) {
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

  const HWND window = createHostWindow();
  pumpMessages();
  const LONG_PTR styleBefore = GetWindowLongPtrA(window, GWL_STYLE);
  check((styleBefore & WS_CAPTION) == WS_CAPTION, "the host window starts with a caption");

  library.initScreen(env, nullptr, 631, 479, javaString(windowTitle));
  check(jni.pendingClass.empty(), "set-up succeeds (pending: '" + jni.pendingClass + "')");
  check(jni.pins == 0, "the title's characters are released");

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
  pumpMessages();
  check(paintsSeen == paintsBefore, "WM_PAINT no longer reaches the window's own procedure");
  check(SendMessageA(window, probeMessage, 42, 0) == probeAnswer &&
            lastUserMessage == probeMessage && lastUserWParam == 42,
        "other messages reach the window's own procedure and their results come back");
  check(GetSystemMetrics(SM_CXSCREEN) == 640 && GetSystemMetrics(SM_CYSCREEN) == 480,
        "the display is 640 x 480 (" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " x " +
            std::to_string(GetSystemMetrics(SM_CYSCREEN)) + ")");

  HostArray* frame = new HostArray();
  frame->elements.assign(frameOffset + std::size_t(frameScansize) * frameHeight, 0x00FF00FF);
  for (int y = 0; y < frameHeight; ++y) {
    for (int x = 0; x < frameWidth; ++x) {
      frame->elements[frameOffset + std::size_t(y) * frameScansize + x] = patternPixel(x, y);
    }
  }
  library.pixelsToScreen(env, nullptr, 0, 0, frameWidth, frameHeight, frame, frameOffset,
                         frameScansize);
  check(jni.pendingClass.empty(), "the frame is accepted");
  check(jni.callsInCritical == 0, "no JNI call while the array is pinned critically");
  check(jni.pins == 0, "the array is released");

  library.pixelsToScreen(env, nullptr, 0, 0, 641, 1, frame, 0, 641);
  expectException("java/lang/IllegalArgumentException", "a frame wider than the mode");
  library.pixelsToScreen(env, nullptr, 0, 0, 4, 4, tiny, 1, 4);
  expectException("java/lang/ArrayIndexOutOfBoundsException", "rows outside the array");
  library.pixelsToScreen(env, nullptr, 0, 0, 4, 4, nullptr, 0, 4);
  expectException("java/lang/NullPointerException", "a null array");
  library.initScreen(env, nullptr, 640, 480, javaString("Found Window!"));
  expectException("java/lang/IllegalStateException", "a second set-up");

  // Hand over to the script for the screenshot, and wait for it.
  writeFile(workdir + "\\ready", "ready\n");
  bool shot = false;
  for (int i = 0; i < 1200 && !shot; ++i) {
    pumpMessages();
    Sleep(50);
    shot = fileExists(workdir + "\\screen.done");
  }
  check(shot, "the screenshot was taken");
  if (shot) checkScreenshot(workdir);

  char summary[64];
  std::snprintf(summary, sizeof summary, "%d passed, %d failed\n", passed, failed);
  std::fputs(summary, stdout);
  std::fflush(stdout);
  writeFile(workdir + "\\result", summary);
  return failed == 0 ? 0 : 2;
}

// Finds the library's message box, prints it and closes it; the library
// then ends the process with its exit code.
DWORD WINAPI closeMessageBox(LPVOID) {
  for (int i = 0; i < 600; ++i) {
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

int runFatal(const Library& library) {
  HostJni jni;
  initJni(jni);
  createHostWindow();
  pumpMessages();
  CreateThread(nullptr, 0, closeMessageBox, nullptr, 0, nullptr);
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
