// Glue shared by the host classes of rules and events: finishing a new
// instance from its creation arguments, taking a component out of its
// model and the destroy hook.
#pragma once

#include <obk/OBInterface.hpp>

#include "core/KelborApi.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "quantities/QuantityHostSupport.hpp"

struct qxArray_tag;

namespace kstr::expressionhost {

// Runs setup on a new instance; when it raises, the instance is destroyed
// through the host (its hook runs) and the error passes on.
template <class Setup>
void completeOrDiscard(OBInterface* instance, Setup setup) {
  try {
    setup();
  } catch (...) {
    kstr::quantityhost::discardNewInstance(instance);
    throw;
  }
}

// Applies the property/value pairs args[first..argc-1]; when one fails, the
// instance is destroyed through the host and "Kestrion:KSTR_INVALID_PVPAIR"
// is raised with the pair error's text.
using kstr::quantityhost::applyPairsOrDiscard;

// Takes the component of class Comp behind the instance out of the model
// its parent handle names: the model's handle vector (giving back its
// reference), the recompilation mark, then the model's own removal.
// Nothing for an instance without such a component or without a model.
template <class Comp>
void removeFromModel(OBInterface* instance, Vector* (Kelbor::*handles)() const,
                     void (Kelbor::*remove)(Comp*)) {
  auto* component = dynamic_cast<Comp*>(componentOf(instance));
  if (!component) return;
  OBInterface* owner = component->getOBIParent();
  KelborComponent* parent = componentOf(owner);
  if (!parent || parent->getEnumType() != kstr::kstrmodel) return;
  auto* model = static_cast<Kelbor*>(parent);
  leaveOwnedHandleVector(owner, instance, (model->*handles)());
  component->setModelCompileNeeded();
  (model->*remove)(component);
}

// The destroy hook: leaves the model (leave), tells the desktop, unlinks
// the component from the instance, releases its UserData and deletes it.
template <class Comp>
void destroyInstance(OBInterface* instance, const char* className,
                     void (*leave)(OBInterface*)) {
  auto* component = dynamic_cast<Comp*>(componentOf(instance));
  if (!component) return;
  leave(instance);
  kstr::quantityhost::postObjectDestroyed(component->getOBIParent(), instance, className,
                                          component->getName().c_str());
  instance->setComponentObject(nullptr);
  component->setOBI(nullptr);
  kstr::quantityhost::releaseUserData(component);
  delete component;
}

}  // namespace kstr::expressionhost
