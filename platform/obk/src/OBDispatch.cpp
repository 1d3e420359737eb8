#include "obk/OBDispatch.hpp"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "obk/OBApplication.hpp"
#include "obk/OBClass.hpp"
#include "obk/OBInterface.hpp"
#include "obk/OBMethodInfo.hpp"
#include "obk/OBPropInfo.hpp"
#include "obk/OBTypes.hpp"
#include "obk_internal.hpp"

using obk_detail::raise;

namespace {

void retainHook(void* p) { static_cast<OBInterface*>(p)->getReference(); }
void releaseHook(void* p) { static_cast<OBInterface*>(p)->releaseReference(); }
const char* classNameHook(const void* p) {
  return static_cast<const OBInterface*>(p)->getClass()->getFullName();
}

// "handle" outputs are lent by the body; every other output is owned.
bool isLentOutput(const OBDataType* t) {
  return dynamic_cast<const OBInterfaceType*>(t) != nullptr;
}

// The native outputs of one call.  Values not handed to the caller are
// released through their types when the call ends.
class Outputs {
 public:
  explicit Outputs(const OBMethodSignature* sig)
      : sig_(sig) {
    const auto count = static_cast<size_t>(std::max(sig->getNumOutputs(), 1));
    if (count > inlineCount) {
      heap_.reset(new void*[count]);
      values_ = heap_.get();
    }
    std::fill_n(values_, count, nullptr);
  }
  ~Outputs() {
    for (int i = 0; i < sig_->getNumOutputs(); ++i) {
      void* v = values_[static_cast<size_t>(i)];
      const OBDataType* t = sig_->getOutputType(i);
      if (v != nullptr && !isLentOutput(t)) t->release(v);
    }
  }
  Outputs(const Outputs&) = delete;
  Outputs& operator=(const Outputs&) = delete;
  void** data() noexcept { return values_; }

  // Converts output i into a persistent host array for the caller.
  qxArray* deliver(int i) {
    void*& v = values_[static_cast<size_t>(i)];
    const OBDataType* t = sig_->getOutputType(i);
    qxArray* a;
    if (obk_detail::isPellamArrayType(t) && v != nullptr) {
      a = static_cast<qxArray*>(v);  // handed over as it is
      v = nullptr;
    } else {
      a = t->toHost(v);
    }
    qxSetArrayScope(a, qxSCOPE_PERSISTENT);
    return a;
  }

 private:
  const OBMethodSignature* sig_;
  // Room for the outputs of nearly every method in place.
  static constexpr size_t inlineCount = 4;
  void* inline_[inlineCount];
  std::unique_ptr<void*[]> heap_;
  void** values_ = inline_;
};

}  // namespace

void obkInstallHandleHooks() {
  static bool installed = false;
  if (installed) return;
  static const qxHandleHooks hooks{retainHook, releaseHook, classNameHook};
  qxSetHandleHooks(&hooks);
  installed = true;
}

qxArray* obkHandleArray(OBInterface* obj) {
  obkInstallHandleHooks();
  if (obj == nullptr) return qxCreateHandleArray(0, 0);
  qxArray* a = qxCreateHandleArray(1, 1);
  qxSetHandle(a, 0, obj);
  return a;
}

OBInterface* obkHandleOf(const qxArray* a) noexcept {
  if (a == nullptr || !qxIsHandleArray(a) || qxGetNumberOfElements(a) != 1) return nullptr;
  return static_cast<OBInterface*>(qxGetHandle(a, 0));
}

OBClass* obkRequireClass(std::string_view name) {
  OBClass* cls = OBApplicationManager::findClass(name);
  if (cls == nullptr) raise("obk:UndefinedClass", "Undefined class '" + std::string(name) + "'.");
  return cls;
}

OBInterface* obkConstruct(OBClass* cls, int nIn, qxArray* const ins[]) {
  if (cls == nullptr) raise("obk:UndefinedClass", "No class was given.");
  if (!cls->canBeConstructed())
    raise("obk:CannotConstruct",
          std::string("The '") + cls->getName() + "' class cannot be constructed.");
  obk_detail::CallScope scope;
  return cls->createObject(OBDatabaseClient::getExternalClient(), nullptr, nIn, ins);
}

OBInterface* obkConstruct(std::string_view className, int nIn, qxArray* const ins[]) {
  return obkConstruct(obkRequireClass(className), nIn, ins);
}

OBMethodSignature* obkMatchSignature(const OBMethodInfo* method, int nOut, int nIn,
                                     const qxArray* const ins[]) {
  if (method == nullptr) return nullptr;
  return obk_detail::matchSignature(method->getMethodSignatures(), nOut, nIn, ins);
}

int obkInvokeMethod(OBMethodInfo* method, int nOut, qxArray* outs[], int nIn,
                    qxArray* const ins[]) {
  if (method == nullptr) raise("obk:UndefinedMethod", "No method was given.");
  nOut = std::max(nOut, 0);
  nIn = std::max(nIn, 0);
  obk_detail::CallScope scope;
  OBMethodSignature* sig = obkMatchSignature(method, nOut, nIn, ins);
  if (sig == nullptr) {
    const OBClass* cls = method->getClass();
    raise("obk:NoMatchingSignature",
          std::string("No method '") + method->getName() +
              "' with matching signature found for class '" + (cls ? cls->getName() : "") +
              "'.");
  }
  obk_detail::ConvertedArgs args(sig, nIn, ins);
  Outputs values(sig);
  int produced = nOut;
  method->invoke(sig, produced, values.data(), args.size(), args.data());
  int deliver = nOut;
  if (deliver == 0 && sig->getNumOutputs() > 0 && values.data()[0] != nullptr) deliver = 1;
  int done = 0;
  try {
    for (; done < deliver; ++done) outs[done] = values.deliver(done);
  } catch (const std::bad_alloc&) {
    for (int i = 0; i < done; ++i) qxDestroyArray(outs[i]);
    obk_detail::raiseOutOfMemory();
  } catch (...) {
    for (int i = 0; i < done; ++i) qxDestroyArray(outs[i]);
    throw;
  }
  return deliver;
}

int obkCallMethod(std::string_view name, int nOut, qxArray* outs[], int nIn,
                  qxArray* const ins[]) {
  if (nIn < 1 || ins[0] == nullptr || !qxIsHandleArray(ins[0]) || qxIsEmpty(ins[0]))
    raise("obk:InvalidObject",
          "The first argument of '" + std::string(name) + "' must be an object.");
  auto* obj = static_cast<OBInterface*>(qxGetHandle(ins[0], 0));
  obj->checkValid();
  OBMethodInfo* m = obj->getClass()->getMethod(name);
  if (m == nullptr)
    raise("obk:UndefinedMethod", "Undefined method '" + std::string(name) +
                                     "' for the '" + obj->getClass()->getName() + "' class.");
  return obkInvokeMethod(m, nOut, outs, nIn, ins);
}

int obkCallStaticMethod(OBClass* cls, std::string_view name, int nOut, qxArray* outs[],
                        int nIn, qxArray* const ins[]) {
  if (cls == nullptr) raise("obk:UndefinedClass", "No class was given.");
  OBMethodInfo* m = cls->getMethod(name);
  if (m == nullptr || !m->isStatic())
    raise("obk:UndefinedMethod", "Undefined static method '" + std::string(name) +
                                     "' for the '" + cls->getName() + "' class.");
  return obkInvokeMethod(m, nOut, outs, nIn, ins);
}

qxArray* obkGetProperty(OBInterface* obj, std::string_view name, OBDatabaseClient* client) {
  if (obj == nullptr) raise("obk:InvalidObject", "Invalid or deleted object.");
  obj->checkValid();
  obk_detail::CallScope scope;
  OBPropInfo* p = obk_detail::requireProperty(obj, name);
  void* v = obj->get(p, client);
  qxArray* out = nullptr;
  try {
    out = p->getDataType(obj)->toHost(v);
  } catch (const std::bad_alloc&) {
    obj->release(p, v, client);
    obk_detail::raiseOutOfMemory();
  } catch (...) {
    obj->release(p, v, client);
    throw;
  }
  obj->release(p, v, client);
  qxSetArrayScope(out, qxSCOPE_PERSISTENT);
  return out;
}

void obkSetProperty(OBInterface* obj, std::string_view name, const qxArray* value,
                    OBDatabaseClient* client) {
  if (obj == nullptr) raise("obk:InvalidObject", "Invalid or deleted object.");
  obj->checkValid();
  obk_detail::CallScope scope;
  OBPropInfo* p = obk_detail::requireProperty(obj, name);
  if (!p->canSet(client)) obk_detail::raiseAccessDenied(p, obj->getClass(), true);
  const OBDataType* t = p->getDataType(obj);
  if (!t->matches(value))
    raise("obk:InvalidValue", std::string("The value of the '") + p->getName() +
                                  "' property must be of type '" + t->getName() + "'.");
  void* native = nullptr;
  try {
    native = t->fromHost(value);
  } catch (const std::bad_alloc&) {
    obk_detail::raiseOutOfMemory();
  }
  try {
    obj->set(p, native, client);
  } catch (...) {
    t->release(native);
    throw;
  }
  t->release(native);
}

qxArray* obkTryGetProperty(OBInterface* obj, std::string_view name) {
  if (obj == nullptr || !obj->isValid()) return nullptr;
  OBPropInfo* p = obj->getProperty(name);
  OBDatabaseClient* in = OBDatabaseClient::getInternalClient();
  if (p == nullptr || !p->canGet(in)) return nullptr;
  // Only a missing property is a non-match: a getter that fails passes its
  // error to the caller.
  void* v = obj->get(p, in);
  qxArray* out = nullptr;
  try {
    out = p->getDataType(obj)->toHost(v);
  } catch (...) {
    obj->release(p, v, in);
    throw;
  }
  obj->release(p, v, in);
  return out;
}

bool obkHostValuesEqual(const qxArray* a, const qxArray* b) {
  if (a == nullptr || b == nullptr) return a == b;
  if (obk_detail::isTextArray(a) && obk_detail::isTextArray(b))
    return qxArrayToStdString(a) == qxArrayToStdString(b);
  return qxIsIdentical(a, b);
}
