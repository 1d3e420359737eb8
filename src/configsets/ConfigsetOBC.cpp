// The class object of "Configset": its property table, the creation of a
// set with its option objects, the delete guard and the destroy hook.
#include "configsets/Configset.hpp"

#include <cstring>

#include <ks_utils/Errors.hpp>

#include "configsets/ConfigsetMethods.hpp"
#include "configsets/KStrCompileConfigSet.hpp"
#include "configsets/KStrDistributedConfigSet.hpp"
#include "configsets/KStrRuntimeConfigSet.hpp"
#include "configsets/KStrSensitivityAnalysisConfigSet.hpp"
#include "configsets/KStrSolverConfigSet.hpp"
#include "configsets/OptionClasses.hpp"
#include "configsets/OptionHostSupport.hpp"
#include "core/Application.hpp"
#include "core/ModelComponentProps.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/ModelGlue.hpp"
#include "core/HostBoundary.hpp"

using namespace kstr::configsets;

namespace {

const char kClass[] = "Configset";
using Set = KStrConfigurationSet;
using Prop = OptionPropInfo<Set>;

const char kNameHelp[] =
    "Property to identify a Kestrion object. Species names must be unique in\n"
    "   their compartment, parameter names in their scope, and model, reaction,\n"
    "   rule, event, variant and dose names in their model. Names cannot be\n"
    "   empty for models and species, and species names cannot contain '->',\n"
    "   '<->', '[' or ']'. Configsets cannot have the name default or active.";
const char kSolverTypeHelp[] =
    "Property to specify the solver of a simulation. The default solver is\n"
    "   'sundials'. Changing the solver type changes the options shown in\n"
    "   SolverOptions.";
const char kStopTimeTypeHelp[] =
    "Property to specify how StopTime is read: simulationTime stops the\n"
    "   simulation at StopTime, approxWallTime after about StopTime seconds of\n"
    "   wall-clock time, numberOfLogs after StopTime logged data points. The\n"
    "   default is 'simulationTime'.";
const char kActiveHelp[] =
    "Indicates whether the configuration set is the active one of its model.\n"
    "   Use SETACTIVECONFIGSET to make a configuration set active.";

EnumStringType* solverEnum() {
  return ensureEnumType("QuorvixSolverEnumType",
                        {{"ssa", 0}, {"expltau", 1}, {"impltau", 2}, {"vantor", 3}, {"corvel", 4},
                         {"mirask", 5}, {"tolbrin", 6}, {"quenza", 7}, {"harlid", 8}, {"sembrot", 9},
                         {"sundials", 10}});
}

EnumStringType* stopTimeEnum() {
  return ensureEnumType("kstrStopTimeType", {{"simulationTime", 0}, {"numberOfLogs", 1}, {"approxWallTime", 2}});
}

int enumOf(void* value) { return intValue(value, "enum"); }

std::string textOf(void* value) { return value ? static_cast<const char*>(value) : ""; }

// "Name": the model's checks first, then the default set's rule, then the
// set's own checks.
void setNameChecked(Set& set, void* value, OBInterface* inst) {
  const std::string name = textOf(value);
  const Kelbor* model = kelborFromHandle(inst->getUp());
  if (model && model->isConfigSetAttached(name)) {
    refuse("Kestrion:ConfigSetNameClash",
           "A configset with the same name is already attached to the model,\n"
           "or this is a reserved name. Reserved names are 'default' and 'active'. To get the \n"
           "configset, use GETCONFIGSET.");
  }
  if (name == "default" || set.getName() == "default") {
    refuse("Kestrion:CannotRenameRemoveDefault", "The default configuration set cannot be renamed or removed.");
  }
  set.setName(name);
}

void setTime(void* value, const char* id, const char* text, void (Set::*setter)(double), Set& set) {
  const double x = doubleValue(value);
  if (!(x >= 0.0)) refuse(id, text);
  (set.*setter)(x);
}

OptionAccess access(bool settable, bool saved) {
  OptionAccess a;
  a.settable = settable;
  a.saved = saved;
  return a;
}

void addValueProperties(OBClass& cls) {
  cls.addProperty(new HostGuarded<Prop>(kClass, "Active", "bool", kActiveHelp, access(false, true),
                           [](Set& s, OBInterface*) { return nativeBool(s.getActive()); },
                           [](Set& s, void* v, OBDatabaseClient*, OBInterface*) { s.setActive(boolValue(v)); }));
  cls.addProperty(newAllSolverOptionsProp());
  cls.addProperty(newOptionHandleProp(OptionSlot::Compile));
  cls.addProperty(new HostGuarded<Prop>(kClass, "DebugMode", "bool", "", access(true, true),
                           [](Set& s, OBInterface*) { return nativeBool(s.getDebugMode()); },
                           [](Set& s, void* v, OBDatabaseClient*, OBInterface*) { s.setDebugMode(boolValue(v)); }));
  cls.addProperty(new HostGuarded<Prop>(kClass, "Name", "string", kNameHelp, access(true, true),
                           [](Set& s, OBInterface*) { return nativeText(s.getName().c_str()); },
                           [](Set& s, void* v, OBDatabaseClient*, OBInterface* inst) { setNameChecked(s, v, inst); }));
  cls.addProperty(new HostGuarded<Prop>(kClass, "Notes", "string", kstr::help::kNotes, access(true, true),
                           [](Set& s, OBInterface*) { return nativeText(s.getNotes()); },
                           [](Set& s, void* v, OBDatabaseClient*, OBInterface*) {
                             s.setNotes(static_cast<const char*>(v));
                           }));
  cls.addProperty(newOptionHandleProp(OptionSlot::Runtime));
  cls.addProperty(newOptionHandleProp(OptionSlot::Sensitivity));
}

void addRunProperties(OBClass& cls) {
  cls.addProperty(newSolverOptionsProp());
  cls.addProperty(new HostGuarded<Prop>(kClass, "SolverType", solverEnum()->getName(), kSolverTypeHelp, access(true, true),
                           [](Set& s, OBInterface*) { return nativeInt(s.getSolverType()); },
                           [](Set& s, void* v, OBDatabaseClient*, OBInterface*) { s.setSolverType(enumOf(v)); }));
  cls.addProperty(new HostGuarded<Prop>(kClass, "SerializableName", "string", "Configuration set serializable name.",
                           access(false, true), [](Set& s, OBInterface*) { return nativeText(s.getName().c_str()); },
                           [](Set& s, void* v, OBDatabaseClient*, OBInterface*) { s.setName(textOf(v)); }));
  cls.addProperty(new HostGuarded<Prop>(kClass, "StartTime", "double", "Start time for simulation.", access(false, true),
                           [](Set& s, OBInterface*) { return nativeDouble(s.getStartTime()); },
                           [](Set& s, void* v, OBDatabaseClient*, OBInterface*) {
                             setTime(v, "Kestrion:NegativeStartTime", "Simulation start time must be a positive value.",
                                     &Set::setStartTime, s);
                           }));
  cls.addProperty(new HostGuarded<Prop>(kClass, "StopTime", "double",
                           "Property to set the stop time for a simulation. The type of\n"
                           "   StopTime is specified in the property StopTimeType",
                           access(true, true), [](Set& s, OBInterface*) { return nativeDouble(s.getStopTime()); },
                           [](Set& s, void* v, OBDatabaseClient*, OBInterface*) {
                             setTime(v, "Kestrion:NegativeStopTime", "Simulation stop time must be a positive value.",
                                     &Set::setStopTime, s);
                           }));
  cls.addProperty(new HostGuarded<Prop>(kClass, "StopTimeType", stopTimeEnum()->getName(), kStopTimeTypeHelp, access(true, true),
                           [](Set& s, OBInterface*) { return nativeInt(s.getStopTimeType()); },
                           [](Set& s, void* v, OBDatabaseClient*, OBInterface*) { s.setStopTimeType(enumOf(v)); }));
  cls.addProperty(new HostGuarded<Prop>(kClass, "TimeUnits", "string",
                           "Property to set the time units for a simulation. For \n"
                           "   version 2.0, only second is supported.",
                           access(false, false), [](Set& s, OBInterface*) { return nativeText(s.getTimeUnits()); },
                           nullptr));
  cls.addProperty(new HostGuarded<Prop>(kClass, "Type", "string", kstr::help::kType, access(false, false),
                           [](Set&, OBInterface*) { return nativeText("configset"); }, nullptr));
  cls.addProperty(new HostGuarded<Prop>(kClass, "Version", "double", "Version this config set was created in.\n",
                           access(false, true), [](Set& s, OBInterface*) { return nativeDouble(s.getVersion()); },
                           [](Set& s, void* v, OBDatabaseClient*, OBInterface*) { s.setVersion(doubleValue(v)); }));
  cls.addProperty(new HostGuarded<Prop>(kClass, "CompileNeeded", "bool",
                           "CompileNeeded is used in determining if the model will be compiled.", access(false, true),
                           [](Set& s, OBInterface*) { return nativeBool(s.getCompileNeeded()); },
                           [](Set& s, void* v, OBDatabaseClient*, OBInterface*) { s.setCompileNeeded(boolValue(v)); }));
}

}  // namespace

// --- the class -------------------------------------------------------------------

KStrConfigurationSetOBC::KStrConfigurationSetOBC() {
  setName(kClass);
  setClassQueries(false, true);
  addConstructorSignature(new OBMethodSignature({"PELLAM array"}));
  addConfigsetMethods(*this);
  addValueProperties(*this);
  addRunProperties(*this);
}

OBInterface* KStrConfigurationSetOBC::createInstance(OBDatabaseClient*, int, void* const[], OBInterface*,
                                                     int mode) {
  auto* set = new KStrConfigurationSet();
  auto* inst = new OBInterface(static_cast<KelborComponent*>(set), this);
  set->setOBI(inst);
  try {
    if (mode == 1) {
      createAllOptions(*set, inst);
    } else if (mode == 0) {
      createRestoreOptions(*set, inst);
    }
  } catch (...) {
    inst->destroy(OBDatabaseClient::getInternalClient());
    inst->releaseReference();
    throw;
  }
  return inst;
}

bool KStrConfigurationSetOBC::isOkToDestroy(OBInterface* inst) {
  const KStrConfigurationSet* set = configurationSetOf(inst);
  OBInterface* up = inst->getUp();
  if (!set || !set->getModel() || (up && up->isBeingDestroyed())) return true;
  return set->getName() != "default";
}

void KStrConfigurationSetOBC::destroyInstance(OBInterface* inst) {
  auto* set = static_cast<KStrConfigurationSet*>(componentOf(inst));
  if (!set) return;
  detachFromModel(*set);
  releaseOptionHandles(*set);
  inst->setComponentObject(nullptr);
  set->setOBI(nullptr);
  delete set;
}

OBClass* getConfigsetOBClass() {
  static OBClass* cls = registerHostClass(new HostGuarded<KStrConfigurationSetOBC>());
  // The sensitivity options are reached from the set and registered with it.
  static OBClass* sensitivity = getSensitivityAnalysisOptionsOBClass();
  (void)sensitivity;
  return cls;
}

KStrConfigurationSet* configurationSetOf(const OBInterface* instance) {
  if (!instance || !instance->isValid() || std::strcmp(instance->getClass()->getName(), kClass) != 0) {
    return nullptr;
  }
  return static_cast<KStrConfigurationSet*>(componentOf(instance));
}

KStrConfigurationSetApi* configSetOf(const OBInterface* instance) { return configurationSetOf(instance); }
