// The two JNI entry points of the Java class Corvane, and the display state.
#include "Corvane.h"

#include <javah/Corvane.h>

#include <cstdint>
#include <cstdio>

static_assert(sizeof(jint) == sizeof(std::uint32_t), "a Java int is one 32-bit pixel");

DisplayState displayState;

namespace {

constexpr jsize titleCapacity = sizeof(DisplayState::targetTitle) - 1;

void throwJava(JNIEnv* env, const char* className, const char* message) {
  const jclass type = env->FindClass(className);
  if (type != nullptr) {
    env->ThrowNew(type, message);
  }
}

// Serialises the two entry points: a second caller, on any thread, waits
// until the first has returned. Statically initialised: no code at load.
SRWLOCK entryLock = SRWLOCK_INIT;
// Whether this thread is inside an entry point already: a call from there
// (a window procedure run by a message that set-up sends) would wait on
// itself for ever, so it is refused instead.
thread_local bool insideEntry = false;

class EntryGuard {
 public:
  EntryGuard() : reentered_(insideEntry) {
    if (!reentered_) {
      AcquireSRWLockExclusive(&entryLock);
      insideEntry = true;
    }
  }
  ~EntryGuard() {
    if (!reentered_) {
      insideEntry = false;
      ReleaseSRWLockExclusive(&entryLock);
    }
  }
  EntryGuard(const EntryGuard&) = delete;
  EntryGuard& operator=(const EntryGuard&) = delete;

  // Throws IllegalStateException when the call came from inside another.
  bool refused(JNIEnv* env) const {
    if (reentered_) {
      throwJava(env, "java/lang/IllegalStateException",
                "called from inside another call of the library on the same thread");
    }
    return reentered_;
  }

 private:
  bool reentered_;
};

// The message text of an exception must be modified UTF-8: keep printable
// ASCII and spell every other byte of the title as \xNN.
void quoteTitle(const char* title, char* out, std::size_t capacity) {
  std::size_t used = 0;
  for (const char* c = title; *c != '\0' && used + 5 < capacity; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      out[used++] = static_cast<char>(byte);
    } else {
      used += static_cast<std::size_t>(std::snprintf(out + used, capacity - used, "\\x%02X", byte));
    }
  }
  out[used] = '\0';
}

// True when every row of the frame lies inside an array of `length`
// elements: 0 <= offset + r * scansize and offset + r * scansize + width
// <= length for r in 0 .. height - 1. The row starts are linear in r, so
// the first and the last row are the extremes.
bool rowsInsideArray(jint width, jint height, jint offset, jint scansize, jsize length) {
  const std::int64_t first = offset;
  const std::int64_t last = first + std::int64_t{height - 1} * scansize;
  const std::int64_t lowest = first < last ? first : last;
  const std::int64_t highest = first < last ? last : first;
  return lowest >= 0 && highest + width <= length;
}

}  // namespace

JNIEXPORT void JNICALL Java_Corvane_initScreen(JNIEnv* env, jclass, jint width, jint height,
                                               jstring title) {
  const EntryGuard serialised;
  if (serialised.refused(env)) {
    return;
  }
  DisplayState& state = displayState;
  if (title == nullptr) {
    throwJava(env, "java/lang/NullPointerException", "title is null");
    return;
  }
  if (state.targetWindow != nullptr) {
    throwJava(env, "java/lang/IllegalStateException", "the screen is already set up");
    return;
  }

  // Window titles are compared as 8-bit text of at most 511 characters:
  // keep the low byte of each of the first 511 code units.
  const jsize length = env->GetStringLength(title);
  jboolean isCopy = JNI_FALSE;
  const jchar* chars = env->GetStringChars(title, &isCopy);
  if (chars == nullptr) {
    return;  // the JVM has an OutOfMemoryError pending
  }
  const jsize kept = length < 0 ? 0 : (length < titleCapacity ? length : titleCapacity);
  for (jsize i = 0; i < kept; ++i) {
    state.targetTitle[i] = static_cast<char>(chars[i] & 0xFF);
  }
  state.targetTitle[kept] = '\0';
  env->ReleaseStringChars(title, chars);

  if (!takeOverWindow()) {
    char quoted[sizeof state.targetTitle * 4];
    quoteTitle(state.targetTitle, quoted, sizeof quoted);
    char message[sizeof quoted + 64];
    std::snprintf(message, sizeof message, "no top-level window is titled \"%s\"", quoted);
    throwJava(env, "java/lang/IllegalStateException", message);
    return;
  }
  chooseDisplayMode(width, height);
  initFullScreen();
}

JNIEXPORT void JNICALL Java_Corvane_pixelsToScreen(JNIEnv* env, jclass, jint, jint, jint width,
                                                   jint height, jintArray pixels, jint offset,
                                                   jint scansize) {
  const EntryGuard serialised;
  if (serialised.refused(env)) {
    return;
  }
  DisplayState& state = displayState;
  if (state.backBuffer == nullptr) {
    throwJava(env, "java/lang/IllegalStateException",
              "the screen is not set up: call initScreen first");
    return;
  }
  if (pixels == nullptr) {
    throwJava(env, "java/lang/NullPointerException", "pixels is null");
    return;
  }
  if (width < 0 || static_cast<std::int64_t>(width) > state.modeWidth ||
      static_cast<std::int64_t>(height) > state.modeHeight) {
    char message[160];
    std::snprintf(message, sizeof message, "frame %dx%d does not fit the display mode %ux%u",
                  static_cast<int>(width), static_cast<int>(height),
                  static_cast<unsigned>(state.modeWidth), static_cast<unsigned>(state.modeHeight));
    throwJava(env, "java/lang/IllegalArgumentException", message);
    return;
  }
  if (height > 0) {
    const jsize length = env->GetArrayLength(pixels);
    if (!rowsInsideArray(width, height, offset, scansize, length)) {
      char message[200];
      std::snprintf(message, sizeof message,
                    "rows of %d pixels at offset %d, scansize %d, height %d lie outside an "
                    "array of %d",
                    static_cast<int>(width), static_cast<int>(offset), static_cast<int>(scansize),
                    static_cast<int>(height), static_cast<int>(length));
      throwJava(env, "java/lang/ArrayIndexOutOfBoundsException", message);
      return;
    }
  }

  lockBackBuffer();
  if (height > 0) {
    clearAroundFrame(width, height);
  }
  // Pin the array without copying it, where the JVM can. Between the pin
  // and its release only the blit runs: no JNI call, no wait.
  void* const elements = env->GetPrimitiveArrayCritical(pixels, nullptr);
  if (elements == nullptr) {
    // The JVM has an OutOfMemoryError pending: give the buffer back unshown.
    state.backBuffer->Unlock(state.lockedPixels);
    state.lockedPixels = nullptr;
    return;
  }
  const auto* const base = static_cast<const std::uint32_t*>(elements);
  blitFrame(height > 0 ? base + offset : base, width, height, scansize);
  env->ReleasePrimitiveArrayCritical(pixels, elements, JNI_ABORT);
  presentFrame();
}
