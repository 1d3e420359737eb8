// The option objects of a configuration set as the host sees them: the
// handle properties with their checks, the creation of the option objects
// below a new set, and their release when the set goes.
#include <cstring>

#include <ks_utils/Errors.hpp>

#include "configsets/Configset.hpp"
#include "configsets/ConfigsetMethods.hpp"
#include "configsets/KStrCompileConfigSet.hpp"
#include "configsets/KStrDistributedConfigSet.hpp"
#include "configsets/KStrRuntimeConfigSet.hpp"
#include "configsets/KStrSensitivityAnalysisConfigSet.hpp"
#include "configsets/KStrSolverConfigSet.hpp"
#include "configsets/OptionClasses.hpp"
#include "configsets/OptionHostSupport.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/ModelGlue.hpp"
#include "core/HostBoundary.hpp"

namespace kstr::configsets {

namespace {

const char kClass[] = "Configset";
using Set = KStrConfigurationSet;
using Prop = OptionPropInfo<Set>;

OBDatabaseClient* internal() { return OBDatabaseClient::getInternalClient(); }

struct SlotInfo {
  const char* property;
  const char* optionClass;
  const char* help;
};

SlotInfo slotInfo(OptionSlot slot) {
  switch (slot) {
    case OptionSlot::Compile:
      return {"CompileOptions", "CompileOptions",
              "Property that holds the compile options of the configuration set:\n"
              "   dimensional analysis, unit conversion and the default species dimension."};
    case OptionSlot::Runtime:
      return {"RuntimeOptions", "RuntimeOptions",
              "Property that holds the runtime options of the configuration set:\n"
              "   the states logged during a simulation."};
    case OptionSlot::Sensitivity:
      return {"SensitivityAnalysisOptions", "SensitivityAnalysisOptions",
              "Property that holds the sensitivity analysis options of the configuration\n"
              "   set: the input factors, the outputs and the normalization."};
  }
  return {"", "", ""};
}

OBInterface*& handleField(Set& set, OptionSlot slot) {
  switch (slot) {
    case OptionSlot::Compile:
      return set.compileHandle;
    case OptionSlot::Runtime:
      return set.runtimeHandle;
    case OptionSlot::Sensitivity:
      return set.sensitivityHandle;
  }
  return set.compileHandle;
}

// Hands the object behind a handle to the set's slot.
void fileOptions(Set& set, OptionSlot slot, OBInterface* handle) {
  switch (slot) {
    case OptionSlot::Compile:
      set.setCompileOptions(&optionsBehind<KStrCompileConfigSet>(handle, "CompileOptions"));
      return;
    case OptionSlot::Runtime:
      set.setRuntimeOptions(&optionsBehind<KStrRuntimeConfigSet>(handle, "RuntimeOptions"));
      return;
    case OptionSlot::Sensitivity:
      set.setSensitivityAnalysisOptions(
          &optionsBehind<KStrSensitivityAnalysisConfigSet>(handle, "SensitivityAnalysisOptions"));
      return;
  }
}

// A handle given to an option property must be of the right class and
// belong to no other object than the set.
void checkOptionHandle(const OBInterface* handle, bool validClass, const char* property, OBInterface* setInstance) {
  if (validClass && handle && (!handle->getUp() || handle->getUp() == setInstance)) return;
  refuse("Kestrion:InvalidConfigsetOptions",
         (std::string("The ") + property +
          " property of a configuration set takes option objects of its own kind that belong to no other object.")
             .c_str());
}

// A new option object below the set; the creation reference is the caller's.
OBInterface* makeOptions(OBClass* cls, OBInterface* setInstance) {
  OBInterface* handle = cls->createInstance(internal());
  handle->addBelow(setInstance);
  return handle;
}

void replaceHandle(OBInterface*& field, OBInterface* fresh) {
  if (fresh) fresh->getReference();
  OBInterface* old = field;
  field = fresh;
  if (old) old->releaseReference();
}

void setOptionHandle(Set& set, OptionSlot slot, void* value, OBInterface* inst) {
  const SlotInfo info = slotInfo(slot);
  auto* handle = static_cast<OBInterface*>(value);
  OBInterface*& field = handleField(set, slot);
  if (slot == OptionSlot::Sensitivity && !handle) {
    handle = makeOptions(getSensitivityAnalysisOptionsOBClass(), inst);
    handle->releaseReference();
  }
  checkOptionHandle(handle, objectBehindOrNull(handle, info.optionClass) != nullptr, info.property, inst);
  // Replaced sensitivity options leave the tree; other replaced options
  // stay below the set until it goes.
  if (slot == OptionSlot::Sensitivity && field && field != handle && field->getUp() == inst) {
    field->addBelow(nullptr);
  }
  replaceHandle(field, handle);
  if (!handle->getUp()) handle->addBelow(inst);
  fileOptions(set, slot, handle);
}

// The solver options' handles in order, or an empty list.
kstrVector<OBInterface*> solverHandles(const Set& set) {
  kstrVector<OBInterface*> handles;
  if (set.solverHandles) handles.assign(set.solverHandles->elements().begin(), set.solverHandles->elements().end());
  return handles;
}

void releaseSolverHandles(Set& set) {
  Vector* old = set.solverHandles;
  set.solverHandles = nullptr;
  if (!old) return;
  const std::vector<OBInterface*> elements = old->elements();
  delete old;
  for (OBInterface* handle : elements) handle->releaseExternalReference();
}

// Replaces every solver options object: the old handles are released and
// the per-kind entries cleared before the new ones are filed in order.
void setAllSolverOptions(Set& set, void* value, OBInterface* inst) {
  const auto* given = static_cast<const Vector*>(value);
  if (given) {
    for (OBInterface* handle : given->elements()) {
      checkOptionHandle(handle, solverOptionsBehind(handle) != nullptr, "AllSolverOptions", inst);
    }
  }
  releaseSolverHandles(set);
  set.clearSolverOptions();
  Vector* fresh = nullptr;
  if (given) {
    for (OBInterface* handle : given->elements()) {
      fresh = addUniqueToOBIVector(handle, fresh);
      if (!handle->getUp()) handle->addBelow(inst);
    }
  }
  set.solverHandles = fresh;
  set.setCompileNeeded(true);
  if (fresh) {
    for (OBInterface* handle : fresh->elements()) set.setSolverOptions(solverOptionsBehind(handle));
  }
}

// The handle of the current solver's options.
OBInterface* currentSolverHandle(Set& set) {
  const int key = kstr::solver::optionsKey(set.getSolverType());
  for (OBInterface* handle : solverHandles(set)) {
    KStrSolverConfigSetApi* options = solverOptionsBehind(handle);
    if (options && kstr::solver::optionsKey(options->getSolverType()) == key) return handle;
  }
  return nullptr;
}

void createDistributedOptions(Set& set, OBInterface* instance) {
  OBInterface* handle = makeOptions(getDistributedOBClass(), instance);
  set.distributedHandle = handle;
  set.setDistributedOptions(&optionsBehind<KStrDistributedConfigSet>(handle, "KStrDistributed"));
}

void createSlotOptions(Set& set, OBInterface* instance, OptionSlot slot, OBClass* cls) {
  OBInterface* handle = makeOptions(cls, instance);
  handleField(set, slot) = handle;
  fileOptions(set, slot, handle);
}

}  // namespace

OBPropInfo* newOptionHandleProp(OptionSlot slot) {
  const SlotInfo info = slotInfo(slot);
  OptionAccess access;
  access.settable = false;
  return new HostGuarded<Prop>(
      kClass, info.property, "handle", info.help, access,
      [slot](Set& s, OBInterface*) { return nativeHandle(handleField(s, slot)); },
      [slot](Set& s, void* v, OBDatabaseClient*, OBInterface* inst) { setOptionHandle(s, slot, v, inst); });
}

OBPropInfo* newAllSolverOptionsProp() {
  OptionAccess access;
  access.settable = false;
  return new HostGuarded<Prop>(
      kClass, "AllSolverOptions", "handle vector", "Helps serialization", access,
      [](Set& s, OBInterface*) { return nativeHandleVector(solverHandles(s)); },
      [](Set& s, void* v, OBDatabaseClient*, OBInterface* inst) { setAllSolverOptions(s, v, inst); });
}

OBPropInfo* newSolverOptionsProp() {
  OptionAccess access;
  access.settable = false;
  access.saved = false;
  return new HostGuarded<Prop>(kClass, "SolverOptions", "handle",
                  "Property that holds the options of the current solver (SolverType).", access,
                  [](Set& s, OBInterface*) { return nativeHandle(currentSolverHandle(s)); }, nullptr);
}

void createAllOptions(Set& set, OBInterface* instance) {
  set.setCompileNeeded(true);
  createSlotOptions(set, instance, OptionSlot::Compile, getCompileOptionsOBClass());
  createSlotOptions(set, instance, OptionSlot::Runtime, getRuntimeOptionsOBClass());
  createDistributedOptions(set, instance);
  createSlotOptions(set, instance, OptionSlot::Sensitivity, getSensitivityAnalysisOptionsOBClass());
  OBClass* solverClasses[] = {getSSASolverOptionsOBClass(), getExplicitTauSolverOptionsOBClass(),
                              getImplicitTauSolverOptionsOBClass(), getODESolverOptionsOBClass()};
  for (OBClass* cls : solverClasses) {
    OBInterface* handle = makeOptions(cls, instance);
    set.solverHandles = addUniqueToOBIVector(handle, set.solverHandles);
    handle->releaseReference();
    set.setSolverOptions(solverOptionsBehind(handle));
  }
}

void createRestoreOptions(Set& set, OBInterface* instance) {
  createSlotOptions(set, instance, OptionSlot::Sensitivity, getSensitivityAnalysisOptionsOBClass());
  createDistributedOptions(set, instance);
}

void releaseOptionHandles(Set& set) {
  releaseSolverHandles(set);
  set.setCompileNeeded(true);
  for (OBInterface** field : {&set.compileHandle, &set.runtimeHandle, &set.distributedHandle, &set.sensitivityHandle}) {
    OBInterface* old = *field;
    *field = nullptr;
    if (old) old->releaseReference();
    set.setCompileNeeded(true);
  }
}

void detachFromModel(Set& set) {
  Kelbor* model = set.getModel();
  if (!model) return;
  OBInterface* modelInstance = model->getOBI();
  const bool modelGoing = model->isBeingDestroyed() || (modelInstance && modelInstance->isBeingDestroyed());
  try {
    if (!modelGoing && model->getConfigSet(set.getName()) == &set) {
      const bool wasActive = model->getActiveConfigSet() == &set;
      model->removeConfigSet(set.getName());
      if (wasActive) {
        if (KStrConfigurationSetApi* now = model->getConfigSet("active")) kstr::model::setActiveProperty(now->getOBI(), true);
      }
    }
  } catch (...) {
    // The set goes whatever its model reported; it is detached below.
  }
  model->forgetConfigSet(&set);
}

}  // namespace kstr::configsets
