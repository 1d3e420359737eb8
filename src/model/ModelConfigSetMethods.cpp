// The Model methods of configuration sets: setactiveconfigset,
// removeconfigset, addconfigset and getconfigset.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
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

void appendWithReference(Vector* out, OBInterface* handle) {
  if (!handle) return;
  handle->getReference();
  out->addElement(handle);
}

}  // namespace

// --- setactiveconfigset -----------------------------------------------------------

Model_SetActiveConfigSet_MI::Model_SetActiveConfigSet_MI() {
  setName("setactiveconfigset");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  byHandle_ = new OBMethodSignature({"handle", "handle"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(byHandle_);
}

void Model_SetActiveConfigSet_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                                         void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  requireConfigSetTopLevel(inst);
  KStrConfigurationSetApi* previous = model->getActiveConfigSet();
  OBInterface* previousInstance = previous ? previous->getOBI() : nullptr;
  OBInterface* activeInstance = nullptr;
  if (matched == byName_) {
    model->setActiveConfigSet(textOrEmpty(textArg(ins, 1)));
    KStrConfigurationSetApi* active = model->getActiveConfigSet();
    activeInstance = active ? active->getOBI() : nullptr;
  } else {
    // Only the model's own set counts, not a set of the same name elsewhere.
    OBInterface* given = handleArg(ins, 1);
    KStrConfigurationSetApi* set = configSetOf(given);
    if (!set || model->getConfigSet(set->getName()) != set) {
      kstr_error("Kestrion:ConfigSetDoesNotExist",
                 kstr::code(kstr::MessageCode::KS_ConfigSetDoesNotExist));
    }
    model->setActiveConfigSet(set->getName());
    activeInstance = given;
  }
  setActiveProperty(activeInstance, true);
  if (previousInstance && previousInstance != activeInstance) setActiveProperty(previousInstance, false);
  nOut = 1;
  outs[0] = activeInstance;
}

// --- removeconfigset -----------------------------------------------------------------

Model_RemoveConfigSet_MI::Model_RemoveConfigSet_MI() {
  setName("removeconfigset");
  byName_ = new OBMethodSignature({"handle", "string"});
  byHandle_ = new OBMethodSignature({"handle", "handle"});
  addMethodSignature(byName_);
  addMethodSignature(byHandle_);
}

void Model_RemoveConfigSet_MI::invoke(OBMethodSignature* matched, int&, void*[], int,
                                      void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  requireConfigSetTopLevel(inst);
  auto refuseDefault = [] {
    kstr_error("Kestrion:CannotRenameRemoveDefault",
               kstr::code(kstr::MessageCode::KS_CannotRenameRemoveDefault));
  };
  KStrConfigurationSetApi* removed = nullptr;
  if (matched == byName_) {
    const std::string name = textOrEmpty(textArg(ins, 1));
    if (name == "default") refuseDefault();
    if (name == "active" && model->getActiveConfigSetName() == "default") refuseDefault();
    // "active" names the active set here; the model's own removal is literal.
    removed = model->removeConfigSet(name == "active" ? model->getActiveConfigSetName() : name);
    if (!removed) {
      warn("Kestrion:ConfigSetDoesNotExist", kstr::MessageCode::KS_ConfigSetDoesNotExist);
      return;
    }
  } else {
    OBInterface* given = handleArg(ins, 1);
    KStrConfigurationSetApi* set = configSetOf(given);
    if (!set) {
      kstr_error("Kestrion:OnlyConfigSetCanBeAttached",
                 kstr::code(kstr::MessageCode::KS_OnlyConfigSetCanBeAttached));
    }
    if (set->getName() == "default") refuseDefault();
    // A set of the same name on another model is not this model's set.
    if (model->getConfigSet(set->getName()) != set) {
      warn("Kestrion:ConfigSetNotAttached", kstr::MessageCode::KS_ConfigSetNotAttached);
      return;
    }
    removed = model->removeConfigSet(set->getName());
  }
  const bool wasActive = removed->getActive();
  OBInterface* removedInstance = removed->getOBI();
  forgetChosenStates(removed);
  removed->setActive(false);
  if (wasActive) {
    if (KStrConfigurationSetApi* now = model->getConfigSet("active")) now->setActive(true);
  }
  if (removedInstance && removedInstance->getUp()) removedInstance->addBelow(nullptr);
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
  // The set refuses the reserved name "active" itself; a name another set
  // of the model bears is the model's refusal.
  componentOf(created.get())->setName(name);
  if (model->isConfigSetAttached(name)) {
    kstr_error("Kestrion:ConfigSetNameClash", kstr::code(Code::KS_MODEL_CONFIG_SET_NAMECLASH));
  }
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
  auto* all = new Vector();
  for (KStrConfigurationSetApi* set : model->getConfigSets()) appendWithReference(all, set->getOBI());
  outs[0] = all;
}
