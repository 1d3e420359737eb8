#include "quantities/QuantityCopy.hpp"

#include <cstring>
#include <string>

#include <ks_utils/Errors.hpp>

#include "core/TreeWiring.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "model/ModelGlue.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"

namespace {

bool hasClassName(const OBInterface* instance, const char* name) {
  return instance && std::strcmp(instance->getClass()->getName(), name) == 0;
}

template <class T>
T* componentAs(const OBInterface* instance, kstr::bcomptype kind) {
  KelborComponent* component = componentOf(instance);
  return component && component->getEnumType() == kind ? static_cast<T*>(component) : nullptr;
}

[[noreturn]] void raiseSameTypeAndName() {
  kstr_error("Kestrion:COPYOBJ_INVALIDARG",
             kstr::code(kstr::MessageCode::KS_SPECIES_COPYOBJ_INVALIDARG));
}

// The model a compartment target belongs to, through its parent handle.
const Kelbor* modelOfCompartment(const BCompartment& compartment) {
  return componentAs<Kelbor>(compartment.getOBIParent(), kstr::kstrmodel);
}

// The compartment a species copied into the model lands in: its single
// top-level compartment, or "unnamed" (made through the model's own
// "addcompartment" when missing).  Several top-level compartments raise.
OBInterface* speciesDestinationInModel(OBInterface* modelInstance, const Kelbor& model) {
  const auto& compartments = *model.getCompartments();
  if (compartments.size() > 1) {
    kstr_error("Kestrion:MODEL_COPYOBJ_MULTIPLE_COMPARTMENTS",
               kstr::code(kstr::MessageCode::KS_MODEL_COPYOBJ_MULTIPLE_COMPARTMENTS));
  }
  if (compartments.size() == 1) return compartments.front()->getOBI();
  return kstr::model::findOrAddCompartmentOBI(modelInstance, "unnamed");
}

}  // namespace

// --- compartments -------------------------------------------------------------------

bool Compartment_copyobj_MI::canCopyInto(OBInterface* obj, OBInterface* newParent) {
  const auto* compartment = componentAs<BCompartment>(obj, kstr::compartment);
  if (!compartment || !(hasClassName(newParent, "Model") || hasClassName(newParent, "Compartment"))) {
    return false;
  }
  kstrVector<const char*> names;
  names.push_back(compartment->getName().c_str());
  compartment->getNamesInTree(names);
  const Kelbor* model = componentAs<Kelbor>(newParent, kstr::kstrmodel);
  const auto* target = componentAs<BCompartment>(newParent, kstr::compartment);
  if (!model && target) model = modelOfCompartment(*target);
  if (model) return !model->isAnyComponentNameInUse(names, kstr::compartment);
  return target && !target->isCompartmentNameInUse(compartment->getName());
}

void Compartment_copyobj_MI::attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface*) {
  switch (getKestrionObjectEnumType(newParent)) {
    case kstr::kstrmodel:
      addCompartmentBelowModel(copy, newParent);
      break;
    case kstr::compartment:
      componentAs<BCompartment>(newParent, kstr::compartment)
          ->addCompartmentHack(componentAs<BCompartment>(copy, kstr::compartment));
      addCompartmentBelowCompartment(copy, newParent);
      break;
    default:
      break;
  }
}

// --- species --------------------------------------------------------------------------

bool Species_copyobj_MI::canCopyInto(OBInterface* obj, OBInterface* newParent) {
  const KelborComponent* species = componentOf(obj);
  if (!species || !componentOf(newParent) ||
      !(hasClassName(newParent, "Model") || hasClassName(newParent, "Compartment"))) {
    return false;
  }
  OBInterface* destination = nullptr;
  switch (getKestrionObjectEnumType(newParent)) {
    case kstr::kstrmodel:
      destination = speciesDestinationInModel(newParent, *componentAs<Kelbor>(newParent, kstr::kstrmodel));
      break;
    case kstr::compartment:
      destination = newParent;
      break;
    default:
      return false;
  }
  const auto* compartment = componentAs<BCompartment>(destination, kstr::compartment);
  if (compartment && compartment->getNamedSpecies(species->getName())) raiseSameTypeAndName();
  return compartment != nullptr;
}

void Species_copyobj_MI::attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface*) {
  OBInterface* destination = newParent;
  if (const auto* model = componentAs<Kelbor>(newParent, kstr::kstrmodel)) {
    destination = speciesDestinationInModel(newParent, *model);
  }
  addSpeciesBelowCompartment(copy, destination);
}

// --- parameters ---------------------------------------------------------------------------

bool Parameter_copyobj_MI::canCopyInto(OBInterface* obj, OBInterface* newParent) {
  const KelborComponent* parameter = componentOf(obj);
  if (!parameter) return false;
  const std::string& name = parameter->getName();
  if (hasClassName(newParent, "Model")) {
    // The model's parameters are found by name through its symbol table.
    const auto* model = componentAs<Kelbor>(newParent, kstr::kstrmodel);
    if (model && !name.empty() && model->isComponentNameInUse(name, kstr::parameter)) {
      raiseSameTypeAndName();
    }
    return model != nullptr;
  }
  if (hasClassName(newParent, "KineticLaw")) {
    const auto* law = componentAs<BKineticLaw>(newParent, kstr::kineticlaw);
    if (law && isNameInOBIVector(static_cast<const Vector*>(law->getOBIParameters()), name)) {
      raiseSameTypeAndName();
    }
    return law != nullptr;
  }
  return false;
}

void Parameter_copyobj_MI::attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface*) {
  if (getKestrionObjectEnumType(newParent) == kstr::kstrmodel) {
    attachParameterToModel(copy, newParent);
  } else {
    addParameterBelowKineticLaw(copy, newParent);
  }
}
