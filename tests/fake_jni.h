// A JNI environment for tests: the few functions the library calls, backed
// by plain C++ objects. Every other slot of the function table aborts with
// its index, so an unexpected JNI call fails loudly. JNI calls are written
// into the simulated platform's call log, between the platform calls.
#pragma once

#include <jni.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class FakeIntArray : public _jintArray {
 public:
  std::vector<jint> elements;
};

class FakeString : public _jstring {
 public:
  std::u16string units;
};

class FakeClass : public _jclass {
 public:
  std::string name;
};

class FakeJni {
 public:
  FakeJni();
  FakeJni(const FakeJni&) = delete;
  FakeJni& operator=(const FakeJni&) = delete;

  JNIEnv* env() { return &env_; }

  jstring string(const std::u16string& units);
  jstring string(const std::string& ascii);
  jintArray array(std::vector<jint> elements);

  // The exception a native method left pending: its class ("" if none).
  std::string pendingClass() const { return pendingClass_; }
  std::string pendingMessage() const { return pendingMessage_; }
  void clearPending() { pendingClass_.clear(), pendingMessage_.clear(); }

  // Make GetStringChars / GetPrimitiveArrayCritical
  // yield nothing, leaving an OutOfMemoryError pending, as a JVM may.
  bool failStringChars = false;
  bool failArrayElements = false;
  // Runs inside the release of a pinned array, before it is released.
  std::function<void()> onRelease;

  // Pins that were never released.
  int outstandingPins() const { return outstandingPins_; }
  // JNI calls made while a critical section was open.
  const std::vector<std::string>& callsInCritical() const { return callsInCritical_; }

  static FakeJni& of(JNIEnv* env);

  // Called by every fake slot: notes the call and whether it broke a critical section.
  void noteCall(const std::string& name);

  std::string pendingClass_;
  std::string pendingMessage_;
  int outstandingPins_ = 0;
  std::vector<void*> pinnedArrays_;
  bool inCritical_ = false;
  std::vector<std::string> callsInCritical_;
  std::vector<std::unique_ptr<FakeString>> strings_;
  std::vector<std::unique_ptr<FakeIntArray>> arrays_;
  std::vector<std::unique_ptr<FakeClass>> classes_;

 private:
  JNIEnv env_;
  JNINativeInterface_ table_;
};
