#include "obk_java.hpp"

#include "sv/sv.hpp"

namespace {

// Creates an object of the class with the constructor signature and one
// argument; the class reference is given back at once.
template <class Arg>
jobject create(const char* className, const char* signature, Arg arg) {
  jclass cls = pljFindClass(className);
  if (cls == nullptr) return nullptr;
  jmethodID ctor = pljGetConstructor(cls, signature);
  jobject obj = ctor ? pljCreateObject(cls, ctor, arg) : nullptr;
  pljReleaseObject(cls);
  return obj;
}

}  // namespace

namespace obk_detail {

jobject javaString(const char* text) {
  if (text == nullptr || !svJavaUseJVM()) return nullptr;
  return pljCreateString(text);
}

jobject javaBoolean(bool value) {
  if (!svJavaUseJVM()) return nullptr;
  return create("java/lang/Boolean", "(Z)V", static_cast<int>(value));
}

jobject javaInteger(int32_t value) {
  if (!svJavaUseJVM()) return nullptr;
  return create("java/lang/Integer", "(I)V", static_cast<int>(value));
}

jobject javaObject(const OBInterface* obj) {
  if (obj == nullptr || !svJavaUseJVM()) return nullptr;
  return create("jpiroot/bean/OBKObject", "(J)V",
                static_cast<int64_t>(reinterpret_cast<intptr_t>(obj)));
}

}  // namespace obk_detail
