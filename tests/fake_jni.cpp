#include "fake_jni.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "simulator.h"

namespace {

constexpr std::size_t slotCount = sizeof(JNINativeInterface_) / sizeof(void*);

template <std::size_t Index>
void JNICALL unimplementedSlot() {
  std::fprintf(stderr, "fake JNI: function table slot %zu is not implemented\n", Index);
  std::fflush(stderr);
  std::abort();
}

template <std::size_t... Index>
void fillWithTraps(void** slots, std::index_sequence<Index...>) {
  ((slots[Index] = reinterpret_cast<void*>(&unimplementedSlot<Index>)), ...);
}

FakeJni* owner(JNIEnv* env) { return &FakeJni::of(env); }

jclass JNICALL findClass(JNIEnv* env, const char* name) {
  FakeJni* jni = owner(env);
  jni->noteCall(std::string("FindClass(") + name + ")");
  auto type = std::make_unique<FakeClass>();
  type->name = name;
  jni->classes_.push_back(std::move(type));
  return jni->classes_.back().get();
}

jint JNICALL throwNew(JNIEnv* env, jclass type, const char* message) {
  FakeJni* jni = owner(env);
  jni->noteCall("ThrowNew");
  jni->pendingClass_ = static_cast<FakeClass*>(type)->name;
  jni->pendingMessage_ = message == nullptr ? "" : message;
  sim::record("ThrowNew(" + jni->pendingClass_ + ")");
  return 0;
}

jsize JNICALL getStringLength(JNIEnv* env, jstring string) {
  owner(env)->noteCall("GetStringLength");
  sim::record("GetStringLength");
  return static_cast<jsize>(static_cast<FakeString*>(string)->units.size());
}

const jchar* JNICALL getStringChars(JNIEnv* env, jstring string, jboolean* isCopy) {
  FakeJni* jni = owner(env);
  jni->noteCall("GetStringChars");
  sim::record(std::string("GetStringChars(isCopy=") + (isCopy == nullptr ? "null" : "flag") + ")");
  if (jni->failStringChars) {
    jni->pendingClass_ = "java/lang/OutOfMemoryError";
    return nullptr;
  }
  const std::u16string& units = static_cast<FakeString*>(string)->units;
  // A copy, as a JVM may hand out: freed by the release.
  auto* copy = new jchar[units.size() + 1];
  std::memcpy(copy, units.data(), units.size() * sizeof(jchar));
  copy[units.size()] = 0;
  if (isCopy != nullptr) *isCopy = JNI_TRUE;
  ++jni->outstandingPins_;
  return copy;
}

void JNICALL releaseStringChars(JNIEnv* env, jstring, const jchar* chars) {
  FakeJni* jni = owner(env);
  jni->noteCall("ReleaseStringChars");
  sim::record("ReleaseStringChars");
  --jni->outstandingPins_;
  delete[] chars;
}

jsize JNICALL getArrayLength(JNIEnv* env, jarray array) {
  owner(env)->noteCall("GetArrayLength");
  return static_cast<jsize>(static_cast<FakeIntArray*>(array)->elements.size());
}

// Pins hand out a copy of the elements (as HotSpot does), so that a read
// through any other pointer, or after the release, is caught.
jint* pin(FakeJni* jni, jintArray array) {
  const auto& elements = static_cast<FakeIntArray*>(array)->elements;
  auto* copy = new jint[elements.size()];
  if (!elements.empty()) std::memcpy(copy, elements.data(), elements.size() * sizeof(jint));
  ++jni->outstandingPins_;
  jni->pinnedArrays_.push_back(copy);
  return copy;
}

void unpin(FakeJni* jni, jintArray array, void* elements, jint mode, const char* name) {
  if (jni->onRelease) jni->onRelease();
  auto& stored = static_cast<FakeIntArray*>(array)->elements;
  const char* modeName = mode == JNI_ABORT ? "JNI_ABORT" : mode == 0 ? "0" : "JNI_COMMIT";
  auto& pinned = jni->pinnedArrays_;
  const auto found = std::find(pinned.begin(), pinned.end(), elements);
  if (found == pinned.end()) {
    // Not a pointer this environment handed out: nothing to release.
    sim::record(std::string(name) + "(not a pinned pointer, " + modeName + ")");
    return;
  }
  sim::record(std::string(name) + "(" + modeName + ")");
  if (mode != JNI_COMMIT) pinned.erase(found);
  if (mode != JNI_ABORT && !stored.empty()) {
    std::memcpy(stored.data(), elements, stored.size() * sizeof(jint));
  }
  if (mode != JNI_COMMIT) {
    --jni->outstandingPins_;
    delete[] static_cast<jint*>(elements);
  }
}

void* JNICALL getPrimitiveArrayCritical(JNIEnv* env, jarray array, jboolean* isCopy) {
  FakeJni* jni = owner(env);
  jni->noteCall("GetPrimitiveArrayCritical");
  sim::record(std::string("GetPrimitiveArrayCritical(isCopy=") +
              (isCopy == nullptr ? "null" : "flag") + ")");
  if (jni->failArrayElements) {
    jni->pendingClass_ = "java/lang/OutOfMemoryError";
    return nullptr;
  }
  if (isCopy != nullptr) *isCopy = JNI_TRUE;
  jni->inCritical_ = true;
  return pin(jni, static_cast<jintArray>(array));
}

void JNICALL releasePrimitiveArrayCritical(JNIEnv* env, jarray array, void* elements, jint mode) {
  FakeJni* jni = owner(env);
  jni->inCritical_ = false;
  jni->noteCall("ReleasePrimitiveArrayCritical");
  unpin(jni, static_cast<jintArray>(array), elements, mode, "ReleasePrimitiveArrayCritical");
}

}  // namespace

FakeJni::FakeJni() {
  void* slots[slotCount];
  fillWithTraps(slots, std::make_index_sequence<slotCount>{});
  std::memcpy(static_cast<void*>(&table_), slots, sizeof table_);
  // reserved0 points back at us: the library never reads it.
  table_.reserved0 = this;
  table_.FindClass = findClass;
  table_.ThrowNew = throwNew;
  table_.GetStringLength = getStringLength;
  table_.GetStringChars = getStringChars;
  table_.ReleaseStringChars = releaseStringChars;
  table_.GetArrayLength = getArrayLength;
  table_.GetPrimitiveArrayCritical = getPrimitiveArrayCritical;
  table_.ReleasePrimitiveArrayCritical = releasePrimitiveArrayCritical;
  env_.functions = &table_;
}

FakeJni& FakeJni::of(JNIEnv* env) { return *static_cast<FakeJni*>(env->functions->reserved0); }

void FakeJni::noteCall(const std::string& name) {
  if (inCritical_) callsInCritical_.push_back(name);
}

jstring FakeJni::string(const std::u16string& units) {
  auto object = std::make_unique<FakeString>();
  object->units = units;
  FakeString* raw = object.get();
  strings_.push_back(std::move(object));
  return raw;
}

jstring FakeJni::string(const std::string& ascii) {
  return string(std::u16string(ascii.begin(), ascii.end()));
}

jintArray FakeJni::array(std::vector<jint> elements) {
  auto object = std::make_unique<FakeIntArray>();
  object->elements = std::move(elements);
  FakeIntArray* raw = object.get();
  arrays_.push_back(std::move(object));
  return raw;
}
