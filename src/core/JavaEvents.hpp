// What every desktop event poster shares.  The desktop's tools are
// Java classes in the host's Java machine; the engine tells them what happens
// to a model by creating Java event objects through the host Java bridge and
// releasing its reference at once.  Classes, constructors and methods are
// looked up once and cached; a lookup that finds nothing leaves its member
// empty, and every post that needs an empty member is skipped.
//
// The event families live in their own headers:
//   core/JavaEventFactory.hpp   object created / destroyed / child added,
//                               abstract kinetic law
//   core/InUseCountEvents.hpp   in-use counts, unused species and parameters
//   core/ReactionRateEvents.hpp reaction rates
//   core/ExpressionEvents.hpp   expression states and the model's
//                               expression messages
//   core/JavaHelpServices.hpp   the desktop help service
// Single-threaded: every post happens on the host interpreter's thread.
#pragma once

#include <jpi/jpi.hpp>

class OBDataType;

namespace javabridge {

// One owned Java reference, given back to the bridge when it goes.
class JavaRef {
 public:
  JavaRef() = default;
  explicit JavaRef(jobject ref) noexcept : ref_(ref) {}
  JavaRef(const JavaRef&) = delete;
  JavaRef& operator=(const JavaRef&) = delete;
  JavaRef(JavaRef&& other) noexcept : ref_(other.ref_) { other.ref_ = nullptr; }
  JavaRef& operator=(JavaRef&& other) noexcept;
  ~JavaRef() { reset(); }

  jobject get() const noexcept { return ref_; }
  // Hands the reference over to the caller, who must give it back.
  jobject detach() noexcept {
    jobject ref = ref_;
    ref_ = nullptr;
    return ref;
  }
  // Gives the reference back (nothing for null) and holds none.
  void reset() noexcept;

 private:
  jobject ref_ = nullptr;
};

// A desktop class with one of its constructors or methods.
struct JavaMember {
  jclass cls = nullptr;
  jmethodID method = nullptr;
  bool found() const noexcept { return cls != nullptr && method != nullptr; }
};

// Finds the class (a new class reference, null when unknown) and its
// constructor with that JNI signature (null when absent or the class is).
JavaMember lookUpConstructor(const char* className, const char* signature);
// The constructor of a class already found; empty method for a null class.
JavaMember lookUpConstructor(jclass cls, const char* signature);
// The instance method of a class already found; null for a null class.
jmethodID lookUpMethod(jclass cls, const char* name, const char* signature);
// Gives a class reference back (nothing for null) and nulls it.
void releaseClass(jclass& cls) noexcept;

// A new Java reference for a host value through a data type's converter;
// empty when the type is null or the converter gives none (null value).
JavaRef toJava(const OBDataType* type, const void* value);
// The "string" converter's reference for a text; a null text counts as "".
JavaRef javaText(const OBDataType* stringType, const char* text);

// Posts an event: creates the object with the constructor and gives its
// reference back at once.  Nothing happens when the member is not found.
// The arguments follow the constructor's JNI signature (jobject for
// objects, int for "I" and "Z").
template <class... Args>
void postJavaEvent(const JavaMember& constructor, Args... args) {
  if (!constructor.found()) return;
  JavaRef event(pljCreateObject(constructor.cls, constructor.method, args...));
}

// Creates an object and hands its reference to the caller (empty when the
// member is not found).
template <class... Args>
JavaRef makeJavaObject(const JavaMember& constructor, Args... args) {
  if (!constructor.found()) return JavaRef();
  return JavaRef(pljCreateObject(constructor.cls, constructor.method, args...));
}

}  // namespace javabridge
