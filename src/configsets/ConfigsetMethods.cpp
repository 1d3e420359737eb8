// The methods of "Configset": display of one set or a table of sets,
// delete, and copyobj into a model under a free name, with the copy of the
// set's values and those of its option objects.
#include "configsets/ConfigsetMethods.hpp"

#include <cfloat>
#include <cstring>
#include <string>

#include <ks_utils/Errors.hpp>

#include "configsets/Configset.hpp"
#include "configsets/KStrCompileConfigSet.hpp"
#include "configsets/KStrDistributedConfigSet.hpp"
#include "configsets/KStrSensitivityAnalysisConfigSet.hpp"
#include "configsets/KStrSolverConfigSet.hpp"
#include "configsets/OptionClasses.hpp"
#include "configsets/OptionHostSupport.hpp"
#include "core/ComponentCopy.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "core/HostBoundary.hpp"

namespace kstr::configsets {

namespace {

using Set = KStrConfigurationSet;

const char* solverTypeText(int type) {
  auto* types = dynamic_cast<EnumStringType*>(OBTypeRepository::getType("QuorvixSolverEnumType"));
  return types ? types->getEnumString(type) : "";
}

OBInterface* solverHandleOf(OBInterface* setInstance) {
  OBPropInfo* prop = setInstance->getProperty("SolverOptions");
  auto* handle = static_cast<OBInterface*>(setInstance->get(prop, OBDatabaseClient::getInternalClient()));
  // The set's tree keeps the object alive after the read's reference goes.
  setInstance->release(prop, handle, OBDatabaseClient::getInternalClient());
  return handle;
}

class KStrConfigurationSet_display_MI : public ModelComponent_display_MI {
 public:
  void displayOne(int&, void*[], int, void* const ins[]) override {
    displayConfigurationSet(static_cast<OBInterface*>(ins[0]));
  }
  void displayVector(int&, void*[], int, void* const ins[]) override {
    const auto* sets = static_cast<const Vector*>(ins[0]);
    if (!sets) return;
    hbPrintf("\n");
    hbPrintf("%sKestrion Configuration Set Array\n\n", blanks(3));
    hbPrintf("%sIndex:%sActive:%sSolverType:%sName:\n", blanks(3), blanks(6), blanks(6), blanks(7));
    int index = 0;
    for (OBInterface* element : sets->elements()) {
      ++index;
      const Set* set = configurationSetOf(element);
      if (!set) continue;
      const std::string number = std::to_string(index);
      const char* active = boolText(set->getActive());
      const char* solver = solverTypeText(set->getSolverType());
      hbPrintf("%s%d%s%s%s%s%s%s\n", blanks(3), index, blanks(12 - static_cast<int>(number.size())), active,
               blanks(13 - static_cast<int>(std::strlen(active))), solver,
               blanks(18 - static_cast<int>(std::strlen(solver))), set->getName().c_str());
    }
    hbPrintf("\n");
  }
};

class KStrConfigurationSet_delete_MI : public OBMethodInfo {
 public:
  KStrConfigurationSet_delete_MI() {
    setName("delete");
    one_ = new OBMethodSignature({"handle"});
    addMethodSignature(one_);
    addMethodSignature(new OBMethodSignature({"handle vector"}));
  }
  void invoke(OBMethodSignature* matched, int&, void*[], int, void* const ins[]) override {
    if (matched == one_) {
      destroyOne(static_cast<OBInterface*>(ins[0]));
      return;
    }
    if (const auto* sets = static_cast<const Vector*>(ins[0])) {
      const std::vector<OBInterface*> elements = sets->elements();
      for (OBInterface* element : elements) destroyOne(element);
    }
  }

 private:
  static void destroyOne(OBInterface* instance) {
    const Set* set = configurationSetOf(instance);
    if (!set) return;
    if (set->getName() == "default") {
      refuse("Kestrion:CannotDeleteDefaultConfigSet", "The default configuration set cannot be deleted.");
    }
    instance->destroy(OBDatabaseClient::getInternalClient());
  }
  OBMethodSignature* one_;
};

[[noreturn]] void invalidCopyTarget(const char* detail) {
  refuse("Kestrion:COPYOBJ_INVALIDARG",
         (std::string("Invalid syntax for copyobj with configuration sets. ") + detail).c_str());
}

// A copy of the set attached to the model under the name given: a new set
// with every option object, the values of the original, inactive, below
// the model's instance.  Handles of the original's lists are taken through
// handleInTarget (null drops one).  On failure nothing of the copy stays.
OBInterface* attachCopiedSet(const Set& original, OBInterface* target, Kelbor& model, const std::string& name,
                             const HandleMap& handleInTarget) {
  OBInterface* copy = getConfigsetOBClass()->createInstance(OBDatabaseClient::getInternalClient(), 0, nullptr,
                                                            target, 1);
  try {
    Set& made = *configurationSetOf(copy);
    copySetValues(original, made, handleInTarget);
    made.setName(name);
    made.setActive(false);
    model.addConfigSet(&made);
    copy->addBelow(target);
  } catch (...) {
    if (Set* made = configurationSetOf(copy); made && made->getModel()) model.forgetConfigSet(made);
    copy->destroy(OBDatabaseClient::getInternalClient());
    copy->releaseReference();
    throw;
  }
  copy->releaseReference();
  return copy;
}

class KStrConfigurationSet_copyobj_MI : public ModelComponent_copyobj_MI {
 public:
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int, void* const ins[]) override {
    if (isOneArgumentSignature(matched)) invalidCopyTarget("A second argument of type Kestrion model is expected.");
    auto* source = static_cast<OBInterface*>(ins[0]);
    auto* target = static_cast<OBInterface*>(ins[1]);
    Kelbor* model = kelborFromHandle(target);
    if (!model || !target->isValid() || !getOBIRoot() || target->getUp() != getOBIRoot()) {
      invalidCopyTarget("The second argument must be a Kestrion model object.");
    }
    const Set* original = configurationSetOf(source);
    if (!original) refuse("obk:InvalidObject", "The object has no component.");
    // Only the components of the target model stay in the copy's lists.
    auto inTarget = [model](OBInterface* handle) { return belongsToModel(handle, model) ? handle : nullptr; };
    nOut = 1;
    outs[0] = attachCopiedSet(*original, target, *model, model->freeConfigSetName(original->getName()), inTarget);
  }
  // A model's own copy carries its sets over once the whole model is
  // copied (copyConfigSets); the walk leaves them out.
  bool canCopyInto(OBInterface*, OBInterface*) override { return false; }
};

// The target's handles for those of a list, in order; handles without one
// are left out.
kstrVector<OBInterface*> handlesInTarget(const HandleSequence& list, const HandleMap& handleInTarget) {
  kstrVector<OBInterface*> kept;
  for (OBInterface* handle : list.handles()) {
    if (OBInterface* mapped = handleInTarget(handle)) kept.push_back(mapped);
  }
  return kept;
}

void copySensitivity(const KStrSensitivityAnalysisConfigSetApi* from, KStrSensitivityAnalysisConfigSetApi* to,
                     const HandleMap& handleInTarget) {
  const auto* source = dynamic_cast<const KStrSensitivityAnalysisConfigSet*>(from);
  auto* target = dynamic_cast<KStrSensitivityAnalysisConfigSet*>(to);
  if (!source || !target) return;
  target->setNormalization(source->getNormalization());
  for (auto which : {KStrSensitivityAnalysisConfigSet::SpeciesInputs, KStrSensitivityAnalysisConfigSet::SpeciesOutputs,
                     KStrSensitivityAnalysisConfigSet::ParameterInputs}) {
    target->assign(which, handlesInTarget(source->list(which), handleInTarget));
  }
}

template <class T>
void copySolver(const Set& source, Set& target, int key) {
  const auto* from = dynamic_cast<const T*>(source.getSolverOptionsByKey(key));
  auto* to = dynamic_cast<T*>(target.getSolverOptionsByKey(key));
  if (from && to) to->copyValuesFrom(*from);
}

}  // namespace

void copySetValues(const Set& source, Set& target, const HandleMap& handleInTarget) {
  target.setSolverType(source.getSolverType());
  target.setStartTime(source.getStartTime());
  target.setStopTime(source.getStopTime());
  target.setStopTimeType(source.getStopTimeType());
  target.setTimeUnits(source.getTimeUnits());
  target.setNotes(source.getNotes());
  target.setDebugMode(source.getDebugMode());
  target.setVersion(source.getVersion());
  const auto* compileFrom = dynamic_cast<const KStrCompileConfigSet*>(source.getCompileOptions());
  if (auto* compileTo = dynamic_cast<KStrCompileConfigSet*>(target.getCompileOptions()); compileFrom && compileTo) {
    compileTo->copyValuesFrom(*compileFrom);
  }
  if (auto* distributed = dynamic_cast<KStrDistributedConfigSet*>(target.getDistributedOptions());
      distributed && source.getDistributedOptions()) {
    distributed->copyValuesFrom(*source.getDistributedOptions());
  }
  copySensitivity(source.getSensitivityAnalysisOptions(), target.getSensitivityAnalysisOptions(), handleInTarget);
  copySolver<KStrSSASolverConfigSet>(source, target, kstr::solver::ssa);
  copySolver<KStrExplTauSolverConfigSet>(source, target, kstr::solver::expltau);
  copySolver<KStrImplTauSolverConfigSet>(source, target, kstr::solver::impltau);
  copySolver<KStrODESolverConfigSet>(source, target, kstr::solver::sundials);
}

void copyConfigSets(const Kelbor& source, OBInterface* target, const HandleMap& handleInTarget) {
  Kelbor* model = kelborFromHandle(target);
  if (!model) refuse("obk:InvalidObject", "The object has no component.");
  // A copy of the list: attaching a set must not move the walk.
  const kstrVector<KStrConfigurationSetApi*> sets = source.getConfigSets();
  for (KStrConfigurationSetApi* set : sets) {
    const Set* original = dynamic_cast<const Set*>(set);
    if (!original) continue;
    // The target's own set of that name (the "default" every top-level
    // model has) takes the values in its place.
    KStrConfigurationSetApi* existing = model->getConfigSet(original->getName());
    if (Set* own = existing ? configurationSetOf(existing->getOBI()) : nullptr) {
      copySetValues(*original, *own, handleInTarget);
      continue;
    }
    attachCopiedSet(*original, target, *model, original->getName(), handleInTarget);
  }
}

void displayConfigurationSet(OBInterface* instance) {
  Set* set = configurationSetOf(instance);
  if (!set || !set->getSolverOptions() || !set->getRuntimeOptions() || !set->getCompileOptions()) return;
  hbPrintf("\n");
  hbPrintf("%sConfiguration Settings - %s %s\n", blanks(3), set->getName().c_str(), set->getActive() ? "(active)" : "");
  hbPrintf("%sSolverType:%s%s\n", blanks(5), blanks(18), solverTypeText(set->getSolverType()));
  if (set->getStopTime() > DBL_MAX) {
    hbPrintf("%sStopTime:%s%s\n", blanks(5), blanks(20), "Inf");
  } else {
    hbPrintf("%sStopTime:%s%f\n", blanks(5), blanks(20), set->getStopTime());
  }
  for (OBInterface* options : {solverHandleOf(instance), set->runtimeHandle, set->compileHandle, set->sensitivityHandle}) {
    if (options) displayNested(options);
  }
  hbPrintf("\n");
}

void displayNested(OBInterface* options) {
  if (!options || !options->isValid()) return;
  auto* display = dynamic_cast<ConfigurationSetObject_display_MI*>(options->getClass()->getMethod("display"));
  if (display) display->displayNested(options);
}

void addConfigsetMethods(OBClass& cls) {
  cls.addMethod(new HostGuarded<KStrConfigurationSet_display_MI>());
  cls.addMethod(new HostGuarded<KStrConfigurationSet_delete_MI>());
  cls.addMethod(new HostGuarded<KStrConfigurationSet_copyobj_MI>());
  cls.addMethod(new HostGuarded<ModelComponent_copy_MI>());
  cls.addMethod(new HostGuarded<ModelComponent_help_MI>());
}

}  // namespace kstr::configsets
