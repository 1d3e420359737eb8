// Templates that bind component members to the object system: factory
// property infos (a getter and a setter of the component class with a
// flag word) and the method factory (signature -> bound call).
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "hb/hb.hpp"
#include "obk/Exception.hpp"
#include "obk/OBInterface.hpp"
#include "obk/OBMethodInfo.hpp"
#include "obk/OBPropInfo.hpp"
#include "obk/OBTypes.hpp"

namespace obk_t {

// Default component lookup: the instance's component object cast to Comp.
// The system supplies its own policies with the same static get.
template <class Comp>
struct OBKComponentCast {
  static Comp* get(OBInterface* inst) {
    return inst ? static_cast<Comp*>(inst->getComponentObject()) : nullptr;
  }
};

// Raises "obk:InvalidValue" for a null native value where one is needed.
[[noreturn]] PELLAM_API void throwNullValue(const char* typeName);

// Marshalling between a member's value type and the object system's native
// values.  Each specialisation gives:
//   typeName()            the host type name
//   toNative(v)           the value handed to the host
//   fromNative(p)         the argument passed to the setter
//   allocates             whether toNative made a block that must be freed
//   releaseNative(p)      frees such a block
template <class V>
struct OBKDatatypeMarshall;

// Texts: handed out borrowed.
template <>
struct OBKDatatypeMarshall<const std::string&> {
  static const char* typeName() { return "string"; }
  static constexpr bool allocates = false;
  static void* toNative(const std::string& v) {
    return const_cast<char*>(v.c_str());
  }
  static std::string fromNative(void* p) {
    return p ? std::string(static_cast<const char*>(p)) : std::string();
  }
  static void releaseNative(void*) {}
};

// A string returned by value is copied (hbStrdup), since the temporary dies.
template <>
struct OBKDatatypeMarshall<std::string> {
  static const char* typeName() { return "string"; }
  static constexpr bool allocates = true;
  static void* toNative(const std::string& v) {
    char* copy = hbStrdup(v.c_str());
    if (!copy) throw std::bad_alloc();
    return copy;
  }
  static std::string fromNative(void* p) {
    return p ? std::string(static_cast<const char*>(p)) : std::string();
  }
  static void releaseNative(void* p) { hbFree(p); }
};

template <>
struct OBKDatatypeMarshall<const char*> {
  static const char* typeName() { return "string"; }
  static constexpr bool allocates = false;
  static void* toNative(const char* v) { return const_cast<char*>(v); }
  static const char* fromNative(void* p) { return static_cast<const char*>(p); }
  static void releaseNative(void*) {}
};

// Instance pointers as "handle": borrowed both ways.
struct OBKDatatypeMarshall_OBInterfaceType {
  static const char* typeName() { return "handle"; }
  static constexpr bool allocates = false;
  static void* toNative(OBInterface* v) { return v; }
  static OBInterface* fromNative(void* p) { return static_cast<OBInterface*>(p); }
  static void releaseNative(void*) {}
};
template <>
struct OBKDatatypeMarshall<OBInterface*> : OBKDatatypeMarshall_OBInterfaceType {};

// Numbers and bools: a new block (hbMalloc) holding a copy.
template <class V, class Native>
struct OBKNumberMarshall {
  static constexpr bool allocates = true;
  static void* toNative(V v) {
    auto* p = static_cast<Native*>(hbMalloc(sizeof(Native)));
    if (!p) throw std::bad_alloc();
    *p = static_cast<Native>(v);
    return p;
  }
  static void releaseNative(void* p) { hbFree(p); }
};

template <>
struct OBKDatatypeMarshall<bool> : OBKNumberMarshall<bool, uint8_t> {
  static const char* typeName() { return "bool"; }
  static bool fromNative(void* p) {
    if (!p) throwNullValue("bool");
    return *static_cast<uint8_t*>(p) != 0;
  }
};
template <>
struct OBKDatatypeMarshall<int> : OBKNumberMarshall<int, int32_t> {
  static const char* typeName() { return "int"; }
  static int fromNative(void* p) {
    if (!p) throwNullValue("int");
    return *static_cast<int32_t*>(p);
  }
};
template <>
struct OBKDatatypeMarshall<double> : OBKNumberMarshall<double, double> {
  static const char* typeName() { return "double"; }
  static double fromNative(void* p) {
    if (!p) throwNullValue("double");
    return *static_cast<double*>(p);
  }
};
// size_t as the host's 64-bit "long".
template <>
struct OBKDatatypeMarshall<size_t> : OBKNumberMarshall<size_t, int64_t> {
  static const char* typeName() { return "long"; }
  static size_t fromNative(void* p) {
    if (!p) throwNullValue("long");
    return static_cast<size_t>(*static_cast<int64_t*>(p));
  }
};

// A property bound to a getter and a setter of the component class.
// Getter: any member function (const or not) or callable taking Comp*,
// returning GetT.  Setter: the same taking (Comp*, SetT), or nullptr (sets
// are then ignored).  The flag word sets the access flags (OBAccess.def bit
// order).  getValue of an instance without a component raises
// "obk:InvalidObject".  Values the marshalling allocates are freed in
// releaseValue.
template <class Comp, class GetT, class SetT,
          class GetCompClass = OBKComponentCast<Comp>,
          class Marshall = OBKDatatypeMarshall<GetT>>
class OBKFactoryPropInfo : public OBPropInfoTemplate {
 public:
  using SetMarshall = OBKDatatypeMarshall<SetT>;

  template <class G, class S>
  OBKFactoryPropInfo(G getter, S setter, const char* name, const char* help,
                     uint32_t flagWord) {
    setName(name);
    setDescription(help);
    setDataType(Marshall::typeName());
    setAccessWord(flagWord);
    getter_ = [getter](Comp* c) -> GetT { return std::invoke(getter, c); };
    if constexpr (!std::is_same_v<S, std::nullptr_t>) {
      bool present = true;
      if constexpr (std::is_member_function_pointer_v<S> ||
                    std::is_pointer_v<S>)
        present = setter != nullptr;
      if (present) {
        setter_ = [setter](Comp* c, SetT v) {
          std::invoke(setter, c, std::forward<SetT>(v));
        };
      }
    }
  }

  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    return Marshall::toNative(getter_(component(inst)));
  }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    Comp* c = component(inst);
    if (setter_) setter_(c, SetMarshall::fromNative(value));
  }
  void releaseValue(OBDatabaseClient*, OBInterface*, void* value) override {
    if constexpr (Marshall::allocates) Marshall::releaseNative(value);
  }

 protected:
  static Comp* component(OBInterface* inst) {
    Comp* c = GetCompClass::get(inst);
    if (!c) throw ErrorIdException("obk:InvalidObject",
                                   "The object has no component.");
    return c;
  }

 private:
  std::function<GetT(Comp*)> getter_;
  std::function<void(Comp*, SetT)> setter_;
};

// The same, named for properties whose getValue hands out a fresh copy that
// releaseValue frees (bool, int, double, size_t).
template <class Comp, class GetT, class SetT,
          class GetCompClass = OBKComponentCast<Comp>,
          class Marshall = OBKDatatypeMarshall<GetT>>
class OBKFactoryPropInfoWithRelease
    : public OBKFactoryPropInfo<Comp, GetT, SetT, GetCompClass, Marshall> {
 public:
  using OBKFactoryPropInfo<Comp, GetT, SetT, GetCompClass,
                           Marshall>::OBKFactoryPropInfo;
};

// A typed signature of the method factory: its host signature and the call.
template <class Comp>
class OBKFactoryMethodSignatureApi {
 public:
  virtual ~OBKFactoryMethodSignatureApi() = default;
  virtual OBMethodSignature* getSignature() const = 0;
  // Runs the bound call on the component; see OBMethodInfo::invoke.
  virtual void call(Comp* comp, int& nOut, void* outs[], int nIn,
                    void* const ins[]) = 0;
};

template <class Comp>
class OBKFactoryMethodSignature : public OBKFactoryMethodSignatureApi<Comp> {
 public:
  using Call = std::function<void(Comp*, int&, void*[], int, void* const[])>;
  OBKFactoryMethodSignature(OBMethodSignature* sig, Call call)
      : sig_(sig), call_(std::move(call)) {}
  OBMethodSignature* getSignature() const override { return sig_; }
  void call(Comp* comp, int& nOut, void* outs[], int nIn,
            void* const ins[]) override {
    call_(comp, nOut, outs, nIn, ins);
  }

 private:
  OBMethodSignature* sig_;
  Call call_;
};

// A method whose signatures map to bound calls.  ins[0] is the instance; its
// component (through GetCompClass) is passed to the call.  A matched
// signature without a bound call raises "obk:NoBoundCall"; an instance
// without a component raises "obk:InvalidObject".
template <class Comp, class GetCompClass = OBKComponentCast<Comp>>
class OBKMethodFactory : public OBMethodInfo {
 public:
  using Call = typename OBKFactoryMethodSignature<Comp>::Call;

  explicit OBKMethodFactory(const char* name) { setName(name); }

  // Adds the signature (ownership passes to the method) and binds it.
  OBMethodSignature* bind(OBMethodSignature* sig, Call call) {
    addMethodSignature(sig);
    calls_[sig] = std::make_unique<OBKFactoryMethodSignature<Comp>>(
        sig, std::move(call));
    return sig;
  }
  // Binds a member function taking no arguments (other inputs ignored).
  template <class R>
  OBMethodSignature* bindMember(OBMethodSignature* sig, R (Comp::*fn)()) {
    return bind(sig, [fn](Comp* c, int&, void*[], int, void* const[]) {
      (c->*fn)();
    });
  }

  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override {
    auto it = calls_.find(matched);
    if (it == calls_.end())
      throw ErrorIdException("obk:NoBoundCall",
                             std::string("The method '") + getName() +
                                 "' has no call for this signature.");
    Comp* comp = nIn > 0 ? GetCompClass::get(static_cast<OBInterface*>(ins[0]))
                         : nullptr;
    if (!comp)
      throw ErrorIdException("obk:InvalidObject",
                             "The object has no component.");
    it->second->call(comp, nOut, outs, nIn, ins);
  }

 private:
  std::map<OBMethodSignature*, std::unique_ptr<OBKFactoryMethodSignatureApi<Comp>>>
      calls_;
};

}  // namespace obk_t
