// The handle-bearing types: "handle", "handle vector" and their class-typed
// forms "<App>.<Class>" / "<App>.<Class> vector".
#include "obk/OBTypes.hpp"

#include "obk/OBApplication.hpp"
#include "obk/OBClass.hpp"
#include "obk/OBDispatch.hpp"
#include "obk/OBInterface.hpp"
#include "obk/Vector.hpp"
#include "obk_internal.hpp"
#include "obk_java.hpp"

namespace {

// True when obj belongs to the class named by required ("" accepts all).
bool isOfClass(const OBInterface* obj, const std::string& required) {
  if (obj == nullptr) return false;
  if (required.empty()) return true;
  const OBClass* cls = OBApplicationManager::findClass(required);
  return cls != nullptr && obj->getClass()->isA(cls);
}

// True when every element of a handle array is an instance of the class.
bool allOfClass(const qxArray* a, const std::string& required) {
  size_t n = qxGetNumberOfElements(a);
  for (size_t i = 0; i < n; ++i)
    if (!isOfClass(static_cast<const OBInterface*>(qxGetHandle(a, i)), required))
      return false;
  return true;
}

// One new reference to the element, raising for a destroyed instance.
OBInterface* takeLive(void* p) {
  auto* obj = static_cast<OBInterface*>(p);
  obj->checkValid();
  obj->getReference();
  return obj;
}

}  // namespace

// --- handle --------------------------------------------------------------------

bool OBInterfaceType::matches(const qxArray* a) const {
  if (a == nullptr) return false;
  if (qxIsEmpty(a)) return true;
  return qxIsHandleArray(a) && qxGetNumberOfElements(a) == 1 &&
         allOfClass(a, className_);
}

qxArray* OBInterfaceType::toHost(const void* value) const {
  return obkHandleArray(static_cast<OBInterface*>(const_cast<void*>(value)));
}

void* OBInterfaceType::fromHost(const qxArray* a) const {
  if (!matches(a)) throwNoMatch();
  if (qxIsEmpty(a)) return nullptr;
  return takeLive(qxGetHandle(a, 0));
}

void* OBInterfaceType::copy(const void* value) const {
  auto* obj = static_cast<OBInterface*>(const_cast<void*>(value));
  if (obj != nullptr) obj->getReference();
  return obj;
}

void OBInterfaceType::release(void* value) const {
  if (value != nullptr) static_cast<OBInterface*>(value)->releaseReference();
}

bool OBInterfaceType::isEqual(const void* a, const void* b) const { return a == b; }

jobject OBInterfaceType::toJava(const void* value) const {
  return obk_detail::javaObject(static_cast<const OBInterface*>(value));
}

// --- handle vector ---------------------------------------------------------------

bool OBInterfaceVectorType::matches(const qxArray* a) const {
  if (a == nullptr) return false;
  if (qxIsEmpty(a)) return true;
  return qxIsHandleArray(a) && allOfClass(a, className_);
}

qxArray* OBInterfaceVectorType::toHost(const void* value) const {
  const auto* v = static_cast<const Vector*>(value);
  if (v == nullptr || v->size() == 0) return qxCreateHandleArray(0, 0);
  qxArray* a = qxCreateHandleArray(static_cast<size_t>(v->size()), 1);
  for (int i = 0; i < v->size(); ++i) qxSetHandle(a, static_cast<size_t>(i), v->elementAt(i));
  return a;
}

void* OBInterfaceVectorType::fromHost(const qxArray* a) const {
  if (!matches(a)) throwNoMatch();
  if (qxIsEmpty(a)) return nullptr;
  size_t n = qxGetNumberOfElements(a);
  auto* v = new Vector;
  try {
    v->ensureCapacity(static_cast<int>(n));
    for (size_t i = 0; i < n; ++i) v->addElement(takeLive(qxGetHandle(a, i)));
  } catch (...) {
    release(v);
    throw;
  }
  return v;
}

void* OBInterfaceVectorType::copy(const void* value) const {
  const auto* v = static_cast<const Vector*>(value);
  if (v == nullptr) return nullptr;
  auto* out = new Vector;
  for (OBInterface* obj : v->elements()) {
    if (obj != nullptr) obj->getReference();
    out->addElement(obj);
  }
  return out;
}

void OBInterfaceVectorType::release(void* value) const {
  auto* v = static_cast<Vector*>(value);
  if (v == nullptr) return;
  // Take the elements out first: a release may destroy an instance whose
  // hook looks at other objects.
  std::vector<OBInterface*> items = v->elements();
  delete v;
  for (OBInterface* obj : items)
    if (obj != nullptr) obj->releaseReference();
}

bool OBInterfaceVectorType::isEqual(const void* a, const void* b) const {
  const auto* va = static_cast<const Vector*>(a);
  const auto* vb = static_cast<const Vector*>(b);
  int na = va ? va->size() : 0;
  int nb = vb ? vb->size() : 0;
  if (na != nb) return false;
  for (int i = 0; i < na; ++i)
    if (va->elementAt(i) != vb->elementAt(i)) return false;
  return true;
}
