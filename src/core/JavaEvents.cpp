#include "core/JavaEvents.hpp"

#include <obk/OBTypes.hpp>

namespace javabridge {

JavaRef& JavaRef::operator=(JavaRef&& other) noexcept {
  if (this != &other) {
    reset();
    ref_ = other.ref_;
    other.ref_ = nullptr;
  }
  return *this;
}

void JavaRef::reset() noexcept {
  if (ref_ != nullptr) pljReleaseObject(ref_);
  ref_ = nullptr;
}

JavaMember lookUpConstructor(const char* className, const char* signature) {
  return lookUpConstructor(pljFindClass(className), signature);
}

JavaMember lookUpConstructor(jclass cls, const char* signature) {
  JavaMember member;
  member.cls = cls;
  if (cls != nullptr) member.method = pljGetConstructor(cls, signature);
  return member;
}

jmethodID lookUpMethod(jclass cls, const char* name, const char* signature) {
  return cls != nullptr ? pljGetMethod(cls, name, signature) : nullptr;
}

void releaseClass(jclass& cls) noexcept {
  if (cls != nullptr) pljReleaseObject(cls);
  cls = nullptr;
}

JavaRef toJava(const OBDataType* type, const void* value) {
  if (type == nullptr) return JavaRef();
  return JavaRef(type->toJava(value));
}

JavaRef javaText(const OBDataType* stringType, const char* text) {
  return toJava(stringType, text != nullptr ? text : "");
}

}  // namespace javabridge
