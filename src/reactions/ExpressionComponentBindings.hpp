// Host bindings shared by the classes of expression-bearing components
// (reactions, rules, events): the "Active" property, the "resolveobject"
// method and the base of the "privategetusages" method.  Each is a template
// over the component class; the component behind an instance is found by
// its dynamic type, and an instance without one raises "obk:InvalidObject".
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include <obk/Exception.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBMethodInfo.hpp>
#include <obk/OBPropInfo.hpp>
#include <obk/Vector.hpp>
#include <qx/qx.hpp>

#include "expressions/ExpressionBasedComponent.hpp"
#include "host/HostHelpers.hpp"

namespace kstr::ebcbinding {

// The component of class Comp behind the instance; "obk:InvalidObject"
// when there is none.
template <class Comp>
Comp* requireComponent(const OBInterface* instance) {
  auto* component = dynamic_cast<Comp*>(componentOf(instance));
  if (!component) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  return component;
}

// A new "handle vector" value (one reference per element) holding the host
// instances of the components; components without one are skipped.
template <class Range>
Vector* newHandleVectorOf(const Range& components) {
  auto* vector = new Vector();
  for (const KelborComponent* component : components) {
    OBInterface* instance = component ? component->getOBI() : nullptr;
    if (!instance) continue;
    instance->getReference();
    vector->addElement(instance);
  }
  return vector;
}

// Name, host type, help text and whether the user may set it, for the
// property infos of these classes.
inline void describeProperty(OBPropInfo& prop, const char* name, const char* type,
                             const char* help, bool userMaySet) {
  prop.setName(name);
  prop.setDescription(help);
  prop.setDataType(type);
  prop.setAccess(OBAccessFlag::Init, false);
  prop.setAccess(OBAccessFlag::ExternalSet, userMaySet);
}

// A run of n blanks for the columns of a display table, n clamped to 0..100.
inline std::string blankRun(long n) {
  return std::string(static_cast<size_t>(std::clamp(n, 0L, 100L)), ' ');
}

// A 1-by-k cell of the texts of a range, in its order.
template <class Range>
qxArray* cellRowOf(const Range& texts) {
  qxArray* cell = qxCreateCellMatrix(1, texts.size());
  size_t i = 0;
  for (const std::string& text : texts) qxSetCell(cell, i++, qxCreateString(text.c_str()));
  return cell;
}

// The number of decimal digits of a positive row number.
inline long digitCount(size_t number) { return static_cast<long>(std::to_string(number).size()); }

}  // namespace kstr::ebcbinding

// "Active" ("bool", settable): ExpressionBasedComponent::getActive and
// setActive.  Get hands out a new one-byte flag that release deletes.
template <class Comp>
class ExpressionBasedComponent_ActivePIT : public OBPropInfoTemplate {
 public:
  ExpressionBasedComponent_ActivePIT() {
    setName("Active");
    setDescription("Active indicates if a component is used during simulation.");
    setDataType("bool");
    setAccess(OBAccessFlag::Init, false);
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    return new uint8_t(kstr::ebcbinding::requireComponent<Comp>(inst)->getActive() ? 1 : 0);
  }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    if (!value) return;
    kstr::ebcbinding::requireComponent<Comp>(inst)->setActive(*static_cast<uint8_t*>(value) != 0);
  }
  void releaseValue(OBDatabaseClient*, OBInterface*, void* value) override {
    delete static_cast<uint8_t*>(value);
  }
};

// "resolveobject": ("handle", "string") -> "handle" and ("handle",
// "string", "bool") -> "handle vector".  The name is resolved in the
// component's own scope; with the flag true every component the name
// matches is answered.  No name, no model or nothing found: no handle (an
// empty vector for the second form).
template <class Comp>
class ExpressionBasedComponent_ResolveObject_MI : public OBMethodInfo {
 public:
  ExpressionBasedComponent_ResolveObject_MI() {
    setName("resolveobject");
    addMethodSignature(new OBMethodSignature({"handle", "string"}, {"handle"}));
    flagSignature_ = new OBMethodSignature({"handle", "string", "bool"}, {"handle vector"});
    addMethodSignature(flagSignature_);
  }

  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override {
    nOut = 1;
    Comp* component = kstr::ebcbinding::requireComponent<Comp>(static_cast<OBInterface*>(ins[0]));
    const char* text = nIn > 1 ? static_cast<const char*>(ins[1]) : nullptr;
    const bool vectorForm = matched == flagSignature_;
    const bool all = vectorForm && nIn > 2 && ins[2] && *static_cast<uint8_t*>(ins[2]) != 0;
    if (!text || !*text) {
      outs[0] = vectorForm ? new Vector() : nullptr;
      return;
    }
    const std::string name = text;
    if (all) {
      ExpressionBasedComponent::ComponentVectorPtr matches =
          component->resolveSymbolWithCollisions(name);
      outs[0] = matches ? kstr::ebcbinding::newHandleVectorOf(*matches) : new Vector();
      return;
    }
    const KelborComponent* found = component->resolveSymbol(name);
    if (!vectorForm) {
      outs[0] = found ? found->getOBI() : nullptr;
      return;
    }
    const KelborComponent* one[1] = {found};
    outs[0] = found ? kstr::ebcbinding::newHandleVectorOf(one) : new Vector();
  }

 private:
  OBMethodSignature* flagSignature_;
};

// "privategetusages" ("handle", "handle") -> "string vector": the places of
// the component (second argument) in the expressions of the first.  The
// derived class names them in fillUsageLocations.
template <class Comp>
class ExpressionBasedComponent_GetComponentUsageLocations_MI : public OBMethodInfo {
 public:
  ExpressionBasedComponent_GetComponentUsageLocations_MI() {
    setName("privategetusages");
    addMethodSignature(new OBMethodSignature({"handle", "handle"}, {"string vector"}));
  }

  void invoke(OBMethodSignature*, int& nOut, void* outs[], int nIn, void* const ins[]) override {
    nOut = 1;
    Comp* owner = kstr::ebcbinding::requireComponent<Comp>(static_cast<OBInterface*>(ins[0]));
    auto* locations = new StringVector();
    outs[0] = locations;
    const auto* used = nIn > 1 ? static_cast<const OBInterface*>(ins[1]) : nullptr;
    fillUsageLocations(*owner, used, *locations);
  }

  // Appends the names of the places where the instance's component is used.
  virtual void fillUsageLocations(const Comp& owner, const OBInterface* used,
                                  StringVector& out) const = 0;
};
