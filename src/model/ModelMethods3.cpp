// The Model methods of doses, configuration sets and states, and delete,
// verify, reorder and copyobj.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include <ks_utils/Errors.hpp>

#include "configsets/Configset.hpp"
#include "core/PropertyValuePairs.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "model/ModelGlue.hpp"
#include "model/ModelMethods.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/BRule.hpp"
#include "variants_doses/Dose.hpp"
#include "variants_doses/Variant.hpp"

using namespace kstr::model;
using Code = kstr::MessageCode;

namespace {

OBDatabaseClient* internalClient() { return OBDatabaseClient::getInternalClient(); }

[[noreturn]] void fail(const char* id, Code message) { kstr_error(id, kstr::code(message)); }

std::string textOrEmpty(const char* text) { return text ? std::string(text) : std::string(); }

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

void requireConfigSetTopLevel(const OBInterface* inst) {
  if (!isTopLevelModel(inst)) fail("Kestrion:ConfigSetOnlyOnTopModel", Code::KS_ConfigSetOnlyOnTopModel);
}

void appendWithReference(Vector* out, OBInterface* handle) {
  if (!handle) return;
  handle->getReference();
  out->addElement(handle);
}

// A new instance of a dose class with the name as its one constructor
// argument.
OBInterface* newDose(const char* className, OBInterface* model, const std::string& name) {
  OBClass* cls = requireKestrionClass(className);
  qxArray* text = qxCreateString(name.c_str());
  OBInterface* dose = nullptr;
  try {
    dose = cls->createObject(internalClient(), model, 1, &text);
  } catch (...) {
    qxDestroyArray(text);
    throw;
  }
  qxDestroyArray(text);
  return dose;
}

bool isKestrionClass(const OBClass* cls) {
  return cls && cls->getApplication() && std::strcmp(cls->getApplication()->getName(), "Kestrion") == 0;
}

}  // namespace

// --- adddose / removedose ----------------------------------------------------------------------

Model_AddDose_MI::Model_AddDose_MI() {
  setName("adddose");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  byDose_ = new OBMethodSignature({"handle", "Kestrion.Dose"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(byDose_);
  addMethodSignature(new OBMethodSignature({"handle", "string", "string"}, {"handle"}));
}

void Model_AddDose_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                              void* const ins[]) {
  nOut = 1;
  outs[0] = nullptr;
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  if (!isTopLevelModel(inst)) fail("Kestrion:DOSE_ADD_ON_TOP_LEVEL_MODEL", Code::KS_DOSE_ADD_ON_TOP_LEVEL_MODEL);
  OBInterface* fresh = nullptr;
  if (matched == byDose_) {
    OBInterface* given = handleArg(ins, 1);
    if (!given) throw ErrorIdException("Kestrion:ADDDOSE_INVALID_OBJECT", "The dose to add must not be empty.");
    fresh = given->copy(internalClient());
  } else {
    const char* className = "RepeatDose";
    if (matched != byName_) {
      const std::string type = lowerCase(textOrEmpty(textArg(ins, 2)));
      if (type == "schedule") {
        className = "ScheduleDose";
      } else if (type != "repeat") {
        fail("Kestrion:ADDDOSE_INVALID_TYPE", Code::KS_ADDDOSE_INVALID_TYPE);
      }
    }
    fresh = newDose(className, inst, textOrEmpty(textArg(ins, 1)));
  }
  CreatedInstance created(fresh);
  auto* dose = dynamic_cast<Dose*>(componentOf(fresh));
  if (!dose) throw ErrorIdException("Kestrion:ADDDOSE_INVALID_OBJECT", "The dose to add must be a Kestrion dose.");
  dose->setActive(false);
  model->addDose(dose);
  fresh->addBelow(inst);
  created.keep();
  dose->setOBIParent(inst);
  dose->setParent(model);
  postChildAdded(inst, fresh, "scheduledose");
  outs[0] = fresh;
}

Model_RemoveDose_MI::Model_RemoveDose_MI() {
  setName("removedose");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(new OBMethodSignature({"handle", "Kestrion.Dose"}, {"handle"}));
}

void Model_RemoveDose_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                                 void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  if (!isTopLevelModel(inst)) {
    fail("Kestrion:DOSE_REMOVE_ON_TOP_LEVEL_MODEL", Code::KS_DOSE_REMOVE_ON_TOP_LEVEL_MODEL);
  }
  const Dose* dose = nullptr;
  if (matched == byName_) {
    dose = model->getDose(textOrEmpty(textArg(ins, 1)));
  } else {
    dose = dynamic_cast<const Dose*>(componentOf(handleArg(ins, 1)));
    if (dose && !model->containsDose(dose)) dose = nullptr;
  }
  if (!dose) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:REMOVEDOSE_DOES_NOT_EXIST",
                  kstr::code(Code::KS_REMOVEDOSE_DOES_NOT_EXIST));
    return;
  }
  OBInterface* handle = dose->getOBI();
  auto* owned = const_cast<Dose*>(dose);
  owned->setParent(nullptr);
  owned->setOBIParent(nullptr);
  model->removeDose(dose);
  nOut = 1;
  outs[0] = handle;
  if (handle && handle->getUp()) {
    // The result must outlive the tree's reference until the host took its
    // own: a call-temporary array holds one meanwhile.
    if (qxCallScopeDepth() > 0) qxSetHandle(qxCreateHandleArray(1, 1), 0, handle);
    handle->addBelow(nullptr);
  }
}

// --- addconfigset / getconfigset ------------------------------------------------------------------

Model_AddConfigSet_MI::Model_AddConfigSet_MI() {
  setName("addconfigset");
  addMethodSignature(new OBMethodSignature({"handle", "string"}, {"handle"}));
  withFlag_ = new OBMethodSignature({"handle", "string", "bool"}, {"handle"});
  addMethodSignature(withFlag_);
  withPairs_ = new OBMethodSignature();
  withPairs_->addArgument("handle");
  withPairs_->addArgument("string");
  withPairs_->addArgument("PELLAM array", true);
  withPairs_->addOutput("handle");
  addMethodSignature(withPairs_);
}

void Model_AddConfigSet_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
                                   void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  requireConfigSetTopLevel(inst);
  const bool activate = matched == withFlag_ && boolArg(ins, 2);
  CreatedInstance created(getConfigsetOBClass()->createInstance(internalClient(), 0, nullptr, inst, 1));
  KStrConfigurationSetApi* set = configSetOf(created.get());
  const std::string name = textOrEmpty(textArg(ins, 1));
  if (!set || name.empty()) fail("Kestrion:ConfigSetMustHaveName", Code::KS_ConfigSetMustHaveName);
  componentOf(created.get())->setName(name);
  if (matched == withPairs_ && nIn > 2) {
    std::vector<qxArray*> arrays(static_cast<size_t>(nIn), nullptr);
    for (int i = 2; i < nIn; ++i) arrays[static_cast<size_t>(i)] = arrayArg(ins, i);
    const std::string error = applyPropertyValuePairs(created.get(), nIn, 2, arrays.data());
    if (!error.empty()) {
      kstr_error_str("Kestrion:KSTR_INVALID_PVPAIR", kstr::code(Code::KS_INVALID_PVPAIR_MSG), error);
    }
  }
  model->addConfigSet(set);
  OBInterface* setInstance = created.get();
  setInstance->addBelow(inst);
  created.keep();
  if (activate) {
    KStrConfigurationSetApi* previous = model->getActiveConfigSet();
    model->setActiveConfigSet(set->getName());
    setActiveProperty(setInstance, true);
    if (previous && previous != set) setActiveProperty(previous->getOBI(), false);
  }
  nOut = 1;
  outs[0] = setInstance;
}

Model_GetConfigSet_MI::Model_GetConfigSet_MI() {
  setName("getconfigset");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(new OBMethodSignature({"handle"}, {"handle vector"}));
}

void Model_GetConfigSet_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                                   void* const ins[]) {
  nOut = 1;
  outs[0] = nullptr;
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  requireConfigSetTopLevel(inst);
  if (matched == byName_) {
    KStrConfigurationSetApi* set = model->getConfigSet(textOrEmpty(textArg(ins, 1)));
    outs[0] = set ? set->getOBI() : nullptr;
    return;
  }
  std::vector<std::string> names;
  model->getConfigSetNames(&names);
  auto* all = new Vector();
  for (const std::string& name : names) {
    if (KStrConfigurationSetApi* set = model->getConfigSet(name)) appendWithReference(all, set->getOBI());
  }
  outs[0] = all;
}

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
  auto* states = new Vector();
  collectSpeciesAndParameterOBIs(model->getOBI(), states, includeConstants);
  outs[0] = states;
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
  current->removeAllElements();
  for (OBInterface* handle : reordered) current->addElement(handle);
  model->setCompileNeeded(true);
}

// --- copyobj ---------------------------------------------------------------------------------------------------

bool Model_copyobj_MI::canCopyInto(OBInterface* obj, OBInterface* newParent) {
  return modelOf(obj) && newParent && newParent == getOBIRoot();
}

void Model_copyobj_MI::attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface* source) {
  if (newParent != getOBIRoot()) return;
  if (copy->getUp() != newParent) moveModelToRoot(copy);
  Kelbor* target = requireModel(copy);
  const Kelbor* original = requireModel(source);
  std::string wanted = original->getActiveConfigSet() ? original->getActiveConfigSetName() : "default";
  if (!target->getConfigSet(wanted)) wanted = "default";
  if (!target->getConfigSet(wanted)) attachDefaultConfigSet(copy);
  KStrConfigurationSetApi* previous = target->getActiveConfigSet();
  target->setActiveConfigSet(wanted);
  KStrConfigurationSetApi* active = target->getActiveConfigSet();
  setActiveProperty(active->getOBI(), true);
  if (previous && previous != active) setActiveProperty(previous->getOBI(), false);
}
