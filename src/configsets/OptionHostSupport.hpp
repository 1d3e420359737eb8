// Host glue shared by the configuration set and its option classes: the
// property rows and the one property template that reads them, the native
// values a read hands out, the class base and lookup of the object behind
// an instance, the option display method, and the checks of counts.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <optional>
#include <utility>

#include <ks_utils/kstrContainers.hpp>
#include <obk/Exception.hpp>
#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBPropInfo.hpp>
#include <obk/OBTypes.hpp>

#include "core/ComponentCopy.hpp"
#include "core/KelborApi.hpp"
#include "core/ModelComponentMethods.hpp"

class EnumStringType;
class Kelbor;
class Vector;

namespace kstr::configsets {

// Access of one property: whether the user may set it, whether it is saved
// and copied with its object, whether it is shown.
struct OptionAccess {
  bool settable = true;
  bool saved = true;
  bool visible = true;
};
KELBOR_API uint32_t accessWord(const OptionAccess& access);

// Blanks for display columns: a text of n blanks (n up to 100).
KELBOR_API const char* blanks(int n);
KELBOR_API const char* boolText(bool value);

// Native values handed out by a property read; each is the reader's own
// copy, given back through the property type's release.  Each throws
// std::bad_alloc when host memory runs out.
KELBOR_API void* nativeBool(bool value);
KELBOR_API void* nativeDouble(double value);
KELBOR_API void* nativeInt(int value);
KELBOR_API void* nativeText(const char* text);
// The handle with a new reference (null stays null).
KELBOR_API void* nativeHandle(OBInterface* handle);
// A new Vector with one reference per handle.
KELBOR_API void* nativeHandleVector(const kstrVector<OBInterface*>& handles);
// A persistent duplicate of the array (null stays null).
KELBOR_API void* nativeArray(const qxArray* array);

// Raises the object system's error with identifier and text.
// The value written to a property of that host type; a null value raises
// "obk:InvalidValue".
KELBOR_API bool boolValue(void* value);
KELBOR_API double doubleValue(void* value);
// "int" and enum values.
KELBOR_API int intValue(void* value, const char* typeName);

[[noreturn]] KELBOR_API void refuse(const char* id, const char* text);

// The value of a count property: x must be finite and integral (its
// rounded value is taken) and lie within [least, INT32_MAX]; empty
// otherwise.
KELBOR_API std::optional<int> countValue(double x, int least);
// True when x lies strictly between 0 and 1 (NaN is not).
inline bool isOpenUnitInterval(double x) { return x > 0.0 && x < 1.0; }

// The enum type of that name, registered with its values on first use.
KELBOR_API EnumStringType* ensureEnumType(const char* name,
                                          std::initializer_list<std::pair<const char*, int>> values);

// The object behind an instance of the named class; raises
// "obk:InvalidObject" for a null, destroyed or foreign instance.
KELBOR_API void* objectBehind(const OBInterface* instance, const char* className);
template <class T>
T& optionsBehind(const OBInterface* instance, const char* className) {
  return *static_cast<T*>(objectBehind(instance, className));
}
// The same, null instead of raising.
KELBOR_API void* objectBehindOrNull(const OBInterface* instance, const char* className);

// The model that holds the configuration set above an option object (the
// option object's grandparent in the host tree); null when there is none.
KELBOR_API Kelbor* modelAboveOptions(const OBInterface* options);
// True when the instance is a component inside that model's own tree.
KELBOR_API bool belongsToModel(const OBInterface* element, const Kelbor* model);

// One property of an option class: a row (name, host type, help, access)
// and two calls on the object behind the instance.  The read hands out a
// native value of its own (see the native makers); the property type
// releases it.  A null setter makes sets do nothing.
template <class T>
class OptionPropInfo : public OBPropInfoTemplate {
 public:
  using Get = std::function<void*(T&, OBInterface*)>;
  using Set = std::function<void(T&, void*, OBDatabaseClient*, OBInterface*)>;

  OptionPropInfo(const char* className, const char* name, const char* typeName, const char* help,
                 OptionAccess access, Get get, Set set)
      : OBPropInfoTemplate(name, help, typeName, accessWord(access)),
        className_(className),
        get_(std::move(get)),
        set_(std::move(set)) {}

  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    return get_(optionsBehind<T>(inst, className_), inst);
  }
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override {
    T& object = optionsBehind<T>(inst, className_);
    if (set_) set_(object, value, client, inst);
  }
  void releaseValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    getDataType(inst)->release(value);
  }

 private:
  const char* className_;
  Get get_;
  Set set_;
};

// The class-definition base of the option classes: the name, one
// constructor signature without arguments, no superclass; the class
// queries answer as the caller says.
class KELBOR_API OptionClass : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  OptionClass(const char* name, bool firstQuery, bool secondQuery);
  // An option object below a set goes only with the set.
  bool isOkToDestroy(OBInterface* inst) override;
};

// An option class whose instances each hold one object of type T, made
// with its defaults and deleted by the destroy hook.
template <class T>
class OptionClassOf : public OptionClass {
 public:
  using OptionClass::OptionClass;
  OBInterface* createInstance(OBDatabaseClient*, int, void* const[], OBInterface*, int) override {
    return new OBInterface(new T(), this);
  }
  void destroyInstance(OBInterface* inst) override {
    auto* options = static_cast<T*>(inst->getComponentObject());
    inst->setComponentObject(nullptr);
    delete options;
  }
};

// Registers an option class once: added to the application and marked as a
// class whose instances hold no component.
KELBOR_API OBClass* registerOptionClass(OBClass* cls);

// "display" of the option classes: one object prints its block, a vector
// prints nothing, and displayNested prints the summary that a
// configuration set's display shows for it.
class KELBOR_API ConfigurationSetObject_display_MI : public ModelComponent_display_MI {
 public:
  void displayOne(int& nOut, void* outs[], int nIn, void* const ins[]) override;
  virtual void printOne(OBInterface* instance) = 0;
  virtual void displayNested(OBInterface* instance) = 0;
};

// "delete" and "copy"-like methods of the option objects that always
// refuse with an identifier and a catalog code.
class KELBOR_API OptionRefusal_MI : public OBMethodInfo {
 public:
  OptionRefusal_MI(const char* name, const char* id, uint32_t code);
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  const char* id_;
  uint32_t code_;
};

// "copyobj" of the option objects: a user's call always refuses with the
// identifier and catalog code; the deep copy of other objects never takes
// an option object along (a configuration set copies their values).
class KELBOR_API OptionCopyobj_MI : public ModelComponent_copyobj_MI {
 public:
  OptionCopyobj_MI(const char* id, uint32_t code);
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
  bool canCopyInto(OBInterface* obj, OBInterface* newParent) override;

 private:
  const char* id_;
  uint32_t code_;
};

}  // namespace kstr::configsets
