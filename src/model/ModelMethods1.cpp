// The Model methods of configuration sets, variants and doses as the host
// language sees them, and the diagnostic and display methods.
#include <cstdio>
#include <cstring>
#include <string>

#include <ks_utils/Errors.hpp>

#include "configsets/Configset.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "model/ModelGlue.hpp"
#include "model/ModelMethods.hpp"
#include "reactions/BReaction.hpp"
#include "variants_doses/Dose.hpp"
#include "variants_doses/Variant.hpp"

using namespace kstr::model;

namespace {

OBDatabaseClient* internalClient() { return OBDatabaseClient::getInternalClient(); }

void warn(const char* id, kstr::MessageCode message) {
  hb_warning_id(hbGetWarningContext(), id, kstr::code(message));
}

void requireConfigSetTopLevel(const OBInterface* inst) {
  if (!isTopLevelModel(inst)) {
    kstr_error("Kestrion:ConfigSetOnlyOnTopModel",
               kstr::code(kstr::MessageCode::KS_ConfigSetOnlyOnTopModel));
  }
}

// Keeps an instance alive until the host's current call ends, so that a
// result the tree no longer holds survives until the host took its own
// reference.  Outside a host call nothing is done.
void keepAliveForCall(OBInterface* instance) {
  if (!instance || qxCallScopeDepth() == 0) return;
  qxArray* holder = qxCreateHandleArray(1, 1);
  qxSetHandle(holder, 0, instance);
}

// Empties the states to log of a removed set's runtime options, when the
// set has runtime options that keep such a list.
void clearStatesToLog(OBInterface* setInstance) {
  if (!setInstance || setInstance->isBeingDestroyed()) return;
  OBPropInfo* runtime = setInstance->getProperty("RuntimeOptions");
  if (!runtime || !runtime->isInternalGetAccess()) return;
  void* value = setInstance->get(runtime, internalClient());
  auto* options = static_cast<OBInterface*>(value);
  OBPropInfo* states = options && options->isValid() ? options->getProperty("StatesToLog") : nullptr;
  try {
    if (states && states->isInternalSetAccess()) options->set(states, nullptr, internalClient());
  } catch (...) {
    setInstance->release(runtime, value, internalClient());
    throw;
  }
  setInstance->release(runtime, value, internalClient());
}

std::string textOrEmpty(const char* text) { return text ? std::string(text) : std::string(); }

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
  clearStatesToLog(removedInstance);
  removed->setActive(false);
  if (wasActive) {
    if (KStrConfigurationSetApi* now = model->getConfigSet("active")) now->setActive(true);
  }
  if (removedInstance && removedInstance->getUp()) removedInstance->addBelow(nullptr);
}

// --- addvariant / removevariant ---------------------------------------------------------

Model_AddVariant_MI::Model_AddVariant_MI() {
  setName("addvariant");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(new OBMethodSignature({"handle", "Kestrion.Variant"}, {"handle"}));
}

void Model_AddVariant_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                                 void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  if (!isTopLevelModel(inst)) {
    kstr_error("Kestrion:VariantObjectsAddOnTopLevelModel",
               kstr::code(kstr::MessageCode::KS_PATCH_ADD_ON_TOP_LEVEL_MODEL));
  }
  OBInterface* fresh = nullptr;
  if (matched == byName_) {
    OBClass* cls = requireKestrionClass("Variant");
    qxArray* name = qxCreateString(textOrEmpty(textArg(ins, 1)).c_str());
    try {
      fresh = cls->createObject(internalClient(), inst, 1, &name);
    } catch (...) {
      qxDestroyArray(name);
      throw;
    }
    qxDestroyArray(name);
  } else {
    OBInterface* given = handleArg(ins, 1);
    if (!given) {
      kstr_error("Kestrion:AddVariantNotVariant", kstr::code(kstr::MessageCode::KS_ADDPATCH_NOT_PATCH));
    }
    fresh = given->copy(internalClient());
  }
  CreatedInstance created(fresh);
  auto* variant = isInstanceOf(fresh, "Variant") ? dynamic_cast<Variant*>(componentOf(fresh)) : nullptr;
  if (!variant) {
    kstr_error("Kestrion:AddVariantNotVariant", kstr::code(kstr::MessageCode::KS_ADDPATCH_NOT_PATCH));
  }
  variant->setActive(false);
  model->addVariant(variant);
  fresh->addBelow(inst);
  created.keep();
  variant->setOBIParent(inst);
  variant->setParent(model);
  postChildAdded(inst, fresh, "variant");
  nOut = 1;
  outs[0] = fresh;
}

Model_RemoveVariant_MI::Model_RemoveVariant_MI() {
  setName("removevariant");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(new OBMethodSignature({"handle", "Kestrion.Variant"}, {"handle"}));
}

void Model_RemoveVariant_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                                    void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  if (!isTopLevelModel(inst)) {
    kstr_error("Kestrion:VariantObjectsRemoveOnTopLevelModel",
               kstr::code(kstr::MessageCode::KS_PATCH_REMOVE_ON_TOP_LEVEL_MODEL));
  }
  const Variant* variant = nullptr;
  OBInterface* handle = nullptr;
  if (matched == byName_) {
    variant = model->getVariant(textOrEmpty(textArg(ins, 1)));
    handle = variant ? variant->getOBI() : nullptr;
  } else {
    handle = handleArg(ins, 1);
    variant = isInstanceOf(handle, "Variant") ? dynamic_cast<const Variant*>(componentOf(handle)) : nullptr;
    if (variant && !model->containsVariant(variant)) variant = nullptr;
  }
  if (!variant) {
    warn("Kestrion:RemoveVariantDoesNotExist", kstr::MessageCode::KS_REMOVEPATCH_DOES_NOT_EXIST);
    return;
  }
  auto* owned = const_cast<Variant*>(variant);
  owned->setParent(nullptr);
  owned->setOBIParent(nullptr);
  model->removeVariant(variant);
  nOut = 1;
  outs[0] = handle;
  if (handle && handle->getUp()) {
    keepAliveForCall(handle);
    handle->addBelow(nullptr);
  }
}

// --- getvariant / getdose ---------------------------------------------------------------

namespace {

// The one-name and the all-components forms shared by getvariant and getdose.
template <class Component, class ByName, class Count, class At>
void getComponents(bool byName, const char* name, int& nOut, void* outs[], ByName find, Count count,
                   At at) {
  nOut = 1;
  if (byName) {
    const Component* found = find(textOrEmpty(name));
    outs[0] = found ? found->getOBI() : nullptr;
    return;
  }
  auto* all = new Vector();
  for (uint64_t i = 0; i < count(); ++i) {
    OBInterface* handle = at(i)->getOBI();
    if (!handle) continue;
    handle->getReference();
    all->addElement(handle);
  }
  outs[0] = all;
}

}  // namespace

Model_GetVariant_MI::Model_GetVariant_MI() {
  setName("getvariant");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(new OBMethodSignature({"handle"}, {"handle vector"}));
}

void Model_GetVariant_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                                 void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  if (!isTopLevelModel(inst)) {
    throw ErrorIdException("Kestrion:VariantObjectsOnTopLevelModel",
                           "Variant objects can only be retrieved from top-level models.");
  }
  const bool byName = matched == byName_;
  getComponents<Variant>(
      byName, byName ? textArg(ins, 1) : nullptr, nOut, outs,
      [model](const std::string& name) { return model->getVariant(name); },
      [model] { return model->getNumVariants(); }, [model](uint64_t i) { return model->getVariantAt(i); });
}

Model_GetDose_MI::Model_GetDose_MI() {
  setName("getdose");
  byName_ = new OBMethodSignature({"handle", "string"}, {"handle"});
  addMethodSignature(byName_);
  addMethodSignature(new OBMethodSignature({"handle"}, {"handle vector"}));
}

void Model_GetDose_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                              void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = requireModel(inst);
  if (!isTopLevelModel(inst)) {
    throw ErrorIdException("Kestrion:DoseObjectsOnTopLevelModel",
                           "Dose objects can only be retrieved from top-level models.");
  }
  const bool byName = matched == byName_;
  getComponents<Dose>(
      byName, byName ? textArg(ins, 1) : nullptr, nOut, outs,
      [model](const std::string& name) { return model->getDose(name); },
      [model] { return model->getNumDoses(); }, [model](uint64_t i) { return model->getDoseAt(i); });
}

// --- diagnostics and display ---------------------------------------------------------------

Model_debugExpressionsAndListeners::Model_debugExpressionsAndListeners() {
  setName("debugExpressionsAndListeners");
  addMethodSignature(new OBMethodSignature({"handle"}));
}

void Model_debugExpressionsAndListeners::invoke(OBMethodSignature*, int&, void*[], int,
                                                void* const ins[]) {
  requireModel(handleArg(ins, 0))->printEBCsAndListeners();
}

void Model_display_MI::displayVector(int&, void*[], int, void* const ins[]) {
  const Vector* models = vectorArg(ins, 0);
  const std::string indent = blanks_.substr(0, 3);
  hbPrintf("\n");
  hbPrintf("%sKestrion Model Array\n\n", indent.c_str());
  hbPrintf("%s%s%s%s\n", indent.c_str(), "Index:", blanks_.substr(0, 4).c_str(), "Name:");
  const int count = models ? models->size() : 0;
  for (int i = 0; i < count; ++i) {
    char number[100];
    const int width = std::snprintf(number, sizeof number, "%d", i + 1);
    const size_t gap = width < 10 ? static_cast<size_t>(10 - width) : 0;
    const KelborComponent* model = componentOf(models->elementAt(i));
    hbPrintf("%s%d%s%s\n", indent.c_str(), i + 1, blanks_.substr(0, gap).c_str(),
             model ? model->getName().c_str() : "");
  }
  hbPrintf("\n");
}

void Model_display_MI::displayOne(int&, void*[], int, void* const ins[]) {
  Kelbor* model = requireModel(handleArg(ins, 0));
  auto sizeOf = [](const Vector* v) { return v ? v->size() : 0; };
  uint64_t parameters = model->getNumParameters();
  for (const BReaction* reaction : *model->getReactions()) {
    if (const BKineticLaw* law = reaction ? reaction->getKineticLaw() : nullptr) {
      parameters += law->getParameters()->size();
    }
  }
  hbPrintf("\n");
  hbPrintf("   Kestrion Model - %s \n\n", model->getName().c_str());
  hbPrintf("   Model Components:\n");
  hbPrintf("     Compartments:      %d\n", static_cast<int>(model->getNumCompartmentsInTree()));
  hbPrintf("     Events:            %d\n", sizeOf(model->getOBIEvents()));
  hbPrintf("     Parameters:        %d\n", static_cast<int>(parameters));
  hbPrintf("     Reactions:         %d\n", sizeOf(model->getOBIReactions()));
  hbPrintf("     Rules:             %d\n", sizeOf(model->getOBIRules()));
  hbPrintf("     Species:           %d\n", static_cast<int>(model->getNumSpeciesInTree()));
  hbPrintf("\n");
}
