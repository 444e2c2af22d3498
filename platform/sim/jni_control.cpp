// JNI natives of the Java class SimulatedDisplay: the simulated desktop and
// display seen from Java, for the JVM tests and benchmarks. A null argument
// throws NullPointerException rather than reaching the simulation.
#include <jni.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "Corvane.h"
#include "simulator.h"

namespace {

LRESULT CALLBACK plainWindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

// Throws `className` with `message` into the JVM and answers true when
// `missing`, so that a native can return at once.
bool throwIf(bool missing, JNIEnv* env, const char* className, const char* message) {
  if (missing) {
    const jclass type = env->FindClass(className);
    if (type != nullptr) env->ThrowNew(type, message);
  }
  return missing;
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_SimulatedDisplay_recordCalls(JNIEnv*, jclass, jboolean on) {
  sim::recordCalls(on == JNI_TRUE);
}

JNIEXPORT jlong JNICALL Java_SimulatedDisplay_addWindow(JNIEnv* env, jclass, jstring title) {
  if (throwIf(title == nullptr, env, "java/lang/NullPointerException", "title is null")) return 0;
  // Titles are 8-bit text: keep the low byte of each UTF-16 code unit.
  const jsize length = env->GetStringLength(title);
  const jchar* chars = env->GetStringChars(title, nullptr);
  if (chars == nullptr) return 0;
  std::string bytes;
  for (jsize i = 0; i < length; ++i) bytes += static_cast<char>(chars[i] & 0xFF);
  env->ReleaseStringChars(title, chars);
  return reinterpret_cast<jlong>(sim::addWindow(bytes, plainWindowProc));
}

JNIEXPORT jstring JNICALL Java_SimulatedDisplay_windowTitle(JNIEnv* env, jclass, jlong window) {
  if (throwIf(window == 0, env, "java/lang/NullPointerException", "window is 0")) return nullptr;
  const std::string title = sim::windowTitle(reinterpret_cast<HWND>(window));
  return env->NewStringUTF(title.c_str());
}

JNIEXPORT jlong JNICALL Java_SimulatedDisplay_windowStyle(JNIEnv* env, jclass, jlong window) {
  if (throwIf(window == 0, env, "java/lang/NullPointerException", "window is 0")) return 0;
  return sim::windowStyle(reinterpret_cast<HWND>(window));
}

JNIEXPORT void JNICALL Java_SimulatedDisplay_acceptDepths(JNIEnv* env, jclass, jintArray depths) {
  if (throwIf(depths == nullptr, env, "java/lang/NullPointerException", "depths is null")) return;
  std::vector<DWORD> accepted;
  const jsize count = env->GetArrayLength(depths);
  std::vector<jint> values(static_cast<std::size_t>(count));
  env->GetIntArrayRegion(depths, 0, count, values.data());
  for (jint depth : values) accepted.push_back(static_cast<DWORD>(depth));
  sim::acceptDepths(accepted);
}

JNIEXPORT jint JNICALL Java_SimulatedDisplay_width(JNIEnv*, jclass) {
  return static_cast<jint>(sim::screen().width);
}

JNIEXPORT jint JNICALL Java_SimulatedDisplay_height(JNIEnv*, jclass) {
  return static_cast<jint>(sim::screen().height);
}

JNIEXPORT jint JNICALL Java_SimulatedDisplay_depth(JNIEnv*, jclass) {
  return static_cast<jint>(sim::screen().depth);
}

JNIEXPORT jint JNICALL Java_SimulatedDisplay_flipCount(JNIEnv*, jclass) { return sim::flipCount(); }

JNIEXPORT jintArray JNICALL Java_SimulatedDisplay_readScreen(JNIEnv* env, jclass) {
  const sim::Screen s = sim::screen();
  if (throwIf(s.front == nullptr, env, "java/lang/IllegalStateException", "no flip chain yet")) {
    return nullptr;
  }
  std::vector<jint> values;
  values.reserve(std::size_t{s.width} * s.height);
  for (DWORD y = 0; y < s.height; ++y) {
    for (DWORD x = 0; x < s.width; ++x) {
      values.push_back(static_cast<jint>(sim::pixel(static_cast<int>(x), static_cast<int>(y))));
    }
  }
  const jintArray result = env->NewIntArray(static_cast<jsize>(values.size()));
  if (result != nullptr) {
    env->SetIntArrayRegion(result, 0, static_cast<jsize>(values.size()), values.data());
  }
  return result;
}

JNIEXPORT jboolean JNICALL Java_SimulatedDisplay_guardsIntact(JNIEnv*, jclass) {
  return sim::guardsIntact() ? JNI_TRUE : JNI_FALSE;
}

// The library's blit alone, for comparison with a whole pixelsToScreen:
// locks the back buffer, pins the array once, times `runs` blits of the
// frame and returns the median in nanoseconds. Needs a set-up screen.
JNIEXPORT jlong JNICALL Java_SimulatedDisplay_medianBlitNanos(JNIEnv* env, jclass, jint width,
                                                              jint height, jintArray pixels,
                                                              jint offset, jint scansize,
                                                              jint runs) {
  if (throwIf(pixels == nullptr, env, "java/lang/NullPointerException", "pixels is null")) return 0;
  if (displayState.backBuffer == nullptr || runs <= 0 || width < 0 ||
      std::int64_t{width} > displayState.modeWidth || height <= 0 ||
      std::int64_t{height} > displayState.modeHeight || offset < 0 || scansize < width ||
      std::int64_t{offset} + std::int64_t{height - 1} * scansize + width >
          env->GetArrayLength(pixels)) {
    env->ThrowNew(env->FindClass("java/lang/IllegalArgumentException"),
                  "medianBlitNanos needs a set-up screen and a frame inside the array");
    return 0;
  }
  std::vector<std::int64_t> times(static_cast<std::size_t>(runs));
  lockBackBuffer();
  void* elements = env->GetPrimitiveArrayCritical(pixels, nullptr);
  if (elements == nullptr) {
    displayState.backBuffer->Unlock(displayState.lockedPixels);
    displayState.lockedPixels = nullptr;
    return 0;
  }
  const auto* source = static_cast<const std::uint32_t*>(elements) + offset;
  for (auto& t : times) {
    const auto start = std::chrono::steady_clock::now();
    blitFrame(source, width, height, scansize);
    t = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                             start)
            .count();
  }
  env->ReleasePrimitiveArrayCritical(pixels, elements, JNI_ABORT);
  presentFrame();
  std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
  return times[static_cast<std::size_t>(runs / 2)];
}

}  // extern "C"
