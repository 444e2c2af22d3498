// JNI natives of the Java class SimulatedDisplay: the simulated desktop and
// display seen from Java, for the demo and the JVM tests on systems without
// DirectDraw.
#include <jni.h>

#include <string>
#include <vector>

#include "simulator.h"

namespace {

LRESULT CALLBACK plainWindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace

extern "C" {

JNIEXPORT jlong JNICALL Java_SimulatedDisplay_addWindow(JNIEnv* env, jclass, jstring title) {
  if (title == nullptr) {
    env->ThrowNew(env->FindClass("java/lang/NullPointerException"), "title is null");
    return 0;
  }
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
  const std::string title = sim::windowTitle(reinterpret_cast<HWND>(window));
  return env->NewStringUTF(title.c_str());
}

JNIEXPORT jlong JNICALL Java_SimulatedDisplay_windowStyle(JNIEnv*, jclass, jlong window) {
  return sim::windowStyle(reinterpret_cast<HWND>(window));
}

JNIEXPORT void JNICALL Java_SimulatedDisplay_acceptDepths(JNIEnv* env, jclass, jintArray depths) {
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

JNIEXPORT jint JNICALL Java_SimulatedDisplay_flipCount(JNIEnv*, jclass) {
  return sim::flipCount();
}

JNIEXPORT jintArray JNICALL Java_SimulatedDisplay_readScreen(JNIEnv* env, jclass) {
  const sim::Screen s = sim::screen();
  if (s.front == nullptr) {
    env->ThrowNew(env->FindClass("java/lang/IllegalStateException"), "no flip chain yet");
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

}  // extern "C"
