// The Model methods that change or check the model as a whole: getstates,
// delete, verify, reorder and copyobj.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <ks_utils/Errors.hpp>

#include "configsets/Configset.hpp"
#include "core/PropertyValuePairs.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "model/ModelGlue.hpp"
#include "model/ModelMethodSupport.hpp"
#include "model/ModelMethods.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/BRule.hpp"
#include "variants_doses/Dose.hpp"
#include "variants_doses/Variant.hpp"

using namespace kstr::model;
using namespace kstr::model::methods;
using Code = kstr::MessageCode;

namespace {

bool isKestrionClass(const OBClass* cls) {
  return cls && cls->getApplication() && std::strcmp(cls->getApplication()->getName(), "Kestrion") == 0;
}

}  // namespace

// --- getstates -------------------------------------------------------------------------------------

Model_getStates_MI::Model_getStates_MI() {
  setName("getstates");
  addMethodSignature(new OBMethodSignature({"handle"}, {"handle vector"}));
  withFlag_ = new OBMethodSignature({"handle", "bool"}, {"handle vector"});
  addMethodSignature(withFlag_);
}


void Model_getStates_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                                void* const ins[]) {
  nOut = 1;
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  requireConfigSetTopLevel(inst);
  const bool includeConstants = matched == withFlag_ ? boolArg(ins, 1) : true;
  std::unique_ptr<Vector> states(new Vector());  // given back when the walk runs out of memory
  collectSpeciesAndParameterOBIs(model->getOBI(), states.get(), includeConstants);
  outs[0] = states.release();
}

// --- delete ------------------------------------------------------------------------------------------

Model_delete_MI::Model_delete_MI() {
  setName("delete");
  single_ = new OBMethodSignature({"handle"});
  addMethodSignature(single_);
  addMethodSignature(new OBMethodSignature({"handle vector"}));
}

void Model_delete_MI::invoke(OBMethodSignature* matched, int&, void*[], int, void* const ins[]) {
  // A repeated handle, or a sub-model listed after its parent, is already
  // destroyed when its turn comes: it is skipped, never notified again.
  auto destroyOne = [](OBInterface* inst) {
    if (!inst || inst->getState() >= OBInterface::BeingDestroyed) return;
    Kelbor* model = modelOf(inst);
    if (!model) return;
    model->notifyModelBeingDestroyed();
    inst->destroy(internalClient());
  };
  if (matched == single_) {
    destroyOne(handleArg(ins, 0));
    return;
  }
  if (const Vector* models = vectorArg(ins, 0)) {
    for (OBInterface* inst : models->elements()) destroyOne(inst);
  }
}

// --- verify ---------------------------------------------------------------------------------------------

Model_Verify_MI::Model_Verify_MI() {
  setName("verify");
  addMethodSignature(new OBMethodSignature({"handle"}));
  withSet_ = new OBMethodSignature({"handle", "Kestrion.Configset"});
  withList_ = new OBMethodSignature({"handle", "handle vector"});
  withSetAndList_ = new OBMethodSignature({"handle", "Kestrion.Configset", "handle vector"});
  withAll_ = new OBMethodSignature(
      {"handle", "Kestrion.Configset", "Kestrion.Variant vector", "Kestrion.Dose vector"});
  addMethodSignature(withSet_);
  addMethodSignature(withList_);
  addMethodSignature(withSetAndList_);
  addMethodSignature(withAll_);
}

namespace {

[[noreturn]] void throwInvalidVerifyArguments() {
  throw ErrorIdException("Kestrion:InvalidVerifyArguments",
                         "Configuration sets, variant objects and dose objects are the only valid "
                         "inputs to the model verify method.");
}

bool isGiven(const Vector* list) { return list && list->size() > 0; }

void gatherVariants(const Vector* list, kstrVector<const Variant*>& out) {
  for (const OBInterface* handle : list->elements()) {
    const auto* variant = isInstanceOf(handle, "Variant") ? dynamic_cast<const Variant*>(componentOf(handle)) : nullptr;
    if (!variant) throwInvalidVerifyArguments();
    out.push_back(variant);
  }
}

void gatherDoses(const Vector* list, kstrVector<const Dose*>& out) {
  for (const OBInterface* handle : list->elements()) {
    const bool doseClass = isInstanceOf(handle, "ScheduleDose") || isInstanceOf(handle, "RepeatDose");
    const auto* dose = doseClass ? dynamic_cast<const Dose*>(componentOf(handle)) : nullptr;
    if (!dose) throwInvalidVerifyArguments();
    out.push_back(dose);
  }
}

}  // namespace

void Model_Verify_MI::invoke(OBMethodSignature* matched, int&, void*[], int, void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  if (!isTopLevelModel(inst)) {
    fail("Kestrion:VerifyMethodOnlyTopLevelModel", Code::KS_VERIFY_METHOD_ONLY_TOP_LEVEL_MODEL);
  }
  KStrConfigurationSetApi* set = nullptr;
  kstrVector<const Variant*> variants;
  kstrVector<const Dose*> doses;
  bool variantsGiven = false;
  bool dosesGiven = false;
  if (matched == withSet_ || matched == withSetAndList_ || matched == withAll_) {
    if (OBInterface* given = handleArg(ins, 1)) {
      set = configSetOf(given);
      if (!set) throwInvalidVerifyArguments();
    }
  }
  if (matched == withList_ || matched == withSetAndList_) {
    const Vector* list = vectorArg(ins, matched == withList_ ? 1 : 2);
    if (isGiven(list)) {
      const OBInterface* first = list->elementAt(0);
      if (first && std::strcmp(first->getClass()->getName(), "Variant") == 0) {
        gatherVariants(list, variants);
        variantsGiven = true;
      } else {
        gatherDoses(list, doses);
        dosesGiven = true;
      }
    }
  } else if (matched == withAll_) {
    if ((variantsGiven = isGiven(vectorArg(ins, 2)))) gatherVariants(vectorArg(ins, 2), variants);
    if ((dosesGiven = isGiven(vectorArg(ins, 3)))) gatherDoses(vectorArg(ins, 3), doses);
  }
  if (!variantsGiven) model->fillActiveVariants(variants);
  if (!dosesGiven) model->fillActiveDoses(doses);
  if (set && model->getConfigSet(set->getName()) != set) {
    throw ErrorIdException("Kestrion:VerifyConfigSetNotAttached",
                           "A configset used for model verification must be attached to the model "
                           "being verified");
  }
  model->update(set, &variants, &doses);
}

// --- reorder ------------------------------------------------------------------------------------------------

namespace {

template <class T>
kstrVector<T*> componentsOf(const Vector* order) {
  kstrVector<T*> list;
  for (OBInterface* handle : order->elements()) list.push_back(static_cast<T*>(componentOf(handle)));
  return list;
}

}  // namespace

void Model_Reorder_MI::invoke(OBMethodSignature*, int&, void*[], int, void* const ins[]) {
  Kelbor* model = requireModel(handleArg(ins, 0));
  const Vector* order = vectorArg(ins, 1);
  const OBInterface* first = order && order->size() > 0 ? order->elementAt(0) : nullptr;
  if (!first || !isKestrionClass(first->getClass())) {
    throw ErrorIdException("Kestrion:AmbiguousOrInvalidReorder",
                           "When reordering, there must be one or more Kestrion components.");
  }
  const std::string kind = first->getClass()->getName();
  if (kind == "Species") {
    throw ErrorIdException("Kestrion:ModelSpeciesReorderNotAllowed",
                           "Reordering species on a model is not allowed, instead reorder species on "
                           "compartments");
  }
  struct Target {
    const char* className;
    Vector* (Kelbor::*vector)() const;
  };
  static const Target targets[] = {
      {"Model", &Kelbor::getOBIModels},       {"Parameter", &Kelbor::getOBIParameters},
      {"Reaction", &Kelbor::getOBIReactions}, {"Rule", &Kelbor::getOBIRules},
      {"Event", &Kelbor::getOBIEvents},       {"Compartment", &Kelbor::getOBICompartments},
  };
  const Target* target = std::find_if(std::begin(targets), std::end(targets),
                                      [&](const Target& t) { return kind == t.className; });
  if (target == std::end(targets)) {
    throw ErrorIdException("Kestrion:InvalidReorderTarget", "Invalid object type for reorder.");
  }
  Vector* current = (model->*(target->vector))();
  if (!haveSameMembers(current, order)) throwInvalidReorder();
  if (kind == "Parameter") {
    model->reorderParameters(componentsOf<BParameter>(order));
  } else if (kind == "Reaction") {
    model->reorderReactions(componentsOf<BReaction>(order));
  } else if (kind == "Rule") {
    model->reorderRules(componentsOf<BRule>(order));
  } else if (kind == "Event") {
    model->reorderEvents(componentsOf<BEvent>(order));
  } else if (kind == "Model") {
    const kstrVector<Kelbor*> models = componentsOf<Kelbor>(order);
    for (Kelbor* sub : models) model->deleteModel(sub);
    for (Kelbor* sub : models) model->addModel(sub);
  }
  // Same members: the kept vector takes the new order and keeps the
  // references it holds.
  const std::vector<OBInterface*> reordered = order->elements();
  clearHandleVector(current);
  for (OBInterface* handle : reordered) appendToHandleVector(handle, current);
  model->setCompileNeeded(true);
}

// --- copyobj ---------------------------------------------------------------------------------------------------

void Model_copyobj_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
                              void* const ins[]) {
  // The user copies a model to the root only; its sub-models are copied
  // below the copy by the walk.
  OBInterface* parent = !isOneArgumentSignature(matched) && nIn > 1 ? handleArg(ins, 1) : nullptr;
  if (parent && parent != getOBIRoot()) refuseNewParent();
  ModelComponent_copyobj_MI::invoke(matched, nOut, outs, nIn, ins);
}

bool Model_copyobj_MI::canCopyInto(OBInterface* obj, OBInterface* newParent) {
  return modelOf(obj) && newParent && (newParent == getOBIRoot() || modelOf(newParent));
}

void Model_copyobj_MI::attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface*) {
  if (newParent == getOBIRoot()) {
    if (copy->getUp() != newParent) moveModelToRoot(copy);
    return;
  }
  // The copy of a sub-model: below the copy of its parent, without sets.
  makeSubModel(copy, newParent);
}

void Model_copyobj_MI::completeCopy(OBInterface* copy, OBInterface* source) {
  if (!isTopLevelModel(copy)) return;
  Kelbor* target = requireModel(copy);
  const Kelbor* original = requireModel(source);
  // The sets' lists of components name the copy's own components.
  kstr::configsets::copyConfigSets(*original, copy, [this](OBInterface* handle) { return copyOf(handle); });
  std::string wanted = original->getActiveConfigSet() ? original->getActiveConfigSetName() : "default";
  if (!target->getConfigSet(wanted)) wanted = "default";
  if (!target->getConfigSet(wanted)) attachDefaultConfigSet(copy);
  KStrConfigurationSetApi* previous = target->getActiveConfigSet();
  target->setActiveConfigSet(wanted);
  KStrConfigurationSetApi* active = target->getActiveConfigSet();
  setActiveProperty(active->getOBI(), true);
  if (previous && previous != active) setActiveProperty(previous->getOBI(), false);
}
