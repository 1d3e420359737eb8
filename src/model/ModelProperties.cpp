#include "model/ModelProperties.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <ks_utils/Uuid.hpp>

#include "configsets/Configset.hpp"
#include "core/JavaEventFactory.hpp"
#include "core/TreeWiring.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "model/ModelGlue.hpp"
#include "model/SimulatorInterfaces.hpp"
#include "quantities/BCompartment.hpp"
#include "variants_doses/Dose.hpp"
#include "variants_doses/Variant.hpp"
#include "core/HostBoundary.hpp"

namespace kstr::help {
const char* const kModels =
    "Indicates the models held by this model. A model whose Parent is the root\n"
    "   is a top-level model; a model whose Parent is another model is a\n"
    "   sub-model of that model.";
}  // namespace kstr::help

using namespace kstr::model;

namespace {

using Row = ComponentPropRow;
using A = Access;

const char kParametersHelp[] =
    "Indicates the parameters of the model. A parameter of the model can be used\n"
    "   by every reaction, rule and event of the model; a parameter of a kinetic\n"
    "   law only by its reaction.";
const char kParentHelp[] =
    "Indicates the parent object. A top-level model has the root as Parent; a\n"
    "   sub-model has the model that holds it.";
const char kSpeciesHelp[] =
    "Indicates the species of the model, in the compartments of the model at\n"
    "   every depth. Use ADDSPECIES on a compartment to add one.";
const char kReactionsHelp[] =
    "Indicates the reactions of the model. Each reaction has an equation and a\n"
    "   rate; use ADDREACTION to add one.";
const char kRulesHelp[] =
    "Indicates the rules of the model: initial assignments, repeated\n"
    "   assignments, algebraic and rate rules. Use ADDRULE to add one.";

//        name                          type             help                                            extSet  intSet  visible     saved       copied
const Row kConfigSets{"ConfigSets", "handle vector", "All the attached configuration sets.\n", A::No, A::Yes, A::No, A::Default, A::No};
const Row kVariants{"Variants", "handle vector", "All the attached variants sets.\n", A::No, A::Yes, A::No, A::Default, A::No};
const Row kDoses{"Doses", "handle vector", "", A::No, A::Yes, A::No, A::Default, A::No};
const Row kEvents{"Events", "handle vector", "Event array.", A::No, A::Yes, A::Yes, A::Default, A::No};
const Row kModels{"Models", "handle vector", kstr::help::kModels, A::No, A::Yes, A::No, A::Default, A::No};
const Row kODESimulationData{"ODESimulationData", "PELLAM array", "ODESimulationData.", A::Yes, A::Yes, A::No, A::No, A::No};
const Row kParameters{"Parameters", "handle vector", kParametersHelp, A::No, A::Yes, A::Default, A::Default, A::No};
const Row kParent{"Parent", "handle", kParentHelp, A::No, A::Yes, A::Default, A::No, A::No};
const Row kSpecies{"Species", "handle vector", kSpeciesHelp, A::No, A::Yes, A::Default, A::No, A::No};
const Row kTopLevelCompartments{"TopLevelCompartments", "handle vector", "This is a hidden property; only for serialize purposes.", A::No, A::Yes, A::No, A::Yes, A::No};
const Row kCompartments{"Compartments", "handle vector", kstr::help::kModels, A::No, A::Yes, A::Default, A::Yes, A::No};
const Row kReactions{"Reactions", "handle vector", kReactionsHelp, A::No, A::Yes, A::Default, A::Default, A::No};
const Row kRules{"Rules", "handle vector", kRulesHelp, A::No, A::Yes, A::Default, A::Default, A::No};
const Row kUuid{"UUID", "string", "Universal Unique Identifier for the Model", A::No, A::Yes, A::No, A::Default, A::No};
const Row kSendRule{"SendRuleExpressionEvents", "bool", "", A::Yes, A::Yes, A::No, A::No, A::No};
const Row kSendReaction{"SendReactionExpressionEvents", "bool", "", A::Yes, A::Yes, A::No, A::No, A::No};
const Row kSendEvent{"SendEventExpressionEvents", "bool", "", A::Yes, A::Yes, A::No, A::No, A::No};
const Row kCompileNeeded{"CompileNeeded", "bool", "Recompile needed.", A::Yes, A::Yes, A::No, A::No, A::No};
const Row kEventTrigger{"Generator_EventTrigger", "PELLAM array", "Event trigger code object.", A::No, A::No, A::No, A::No, A::Default};
const Row kEventFunction{"Generator_EventFunction", "PELLAM array", "Event function code object.", A::No, A::No, A::No, A::No, A::Default};

const OBDataType* pellamArrayType() { return OBTypeRepository::getType("PELLAM array"); }

Vector* vectorOf(void* value) { return static_cast<Vector*>(value); }

// A kept vector as a property value: none when missing or empty.
void* keptVector(Vector* vector) { return vector && vector->size() > 0 ? vector : nullptr; }

bool boolOf(void* value) {
  if (!value) obk_t::throwNullValue("bool");
  return *static_cast<const uint8_t*>(value) != 0;
}

[[noreturn]] void throwInvalidMember(const char* property, const std::string& requirement) {
  throw ErrorIdException("Kestrion:InvalidPropertyValue",
                         std::string("Invalid value for the '") + property +
                             "' property. Every element must be " + requirement + ".");
}

// Checks every element of a restored vector before anything changes: a
// live instance of one of the classes whose parent passes the test.
void checkMembers(const char* property, const Vector* members,
                  std::initializer_list<const char*> classNames, const char* requirement,
                  const std::function<bool(const OBInterface*)>& parentOk) {
  if (!members) return;
  for (const OBInterface* member : members->elements()) {
    bool ofClass = false;
    for (const char* name : classNames) ofClass = ofClass || isInstanceOf(member, name);
    if (!ofClass || !member->isValid() || !componentOf(member) || !parentOk(member)) {
      throwInvalidMember(property, requirement);
    }
  }
}

// The member has no host parent, or the given one.
std::function<bool(const OBInterface*)> upIsNoneOr(const OBInterface* allowed) {
  return [allowed](const OBInterface* member) {
    return member->getUp() == nullptr || member->getUp() == allowed;
  };
}

// The member records no parent handle, or the given one.
std::function<bool(const OBInterface*)> parentHandleIsNoneOr(const OBInterface* allowed) {
  return [allowed](const OBInterface* member) {
    const OBInterface* parent = componentOf(member)->getOBIParent();
    return parent == nullptr || parent == allowed;
  };
}

void placeBelow(OBInterface* member, OBInterface* parent) {
  if (member->getUp() == nullptr) member->addBelow(parent);
}

// Releases the references a kept vector holds, then the vector.
void releaseKeptVector(Vector* vector) {
  if (!vector) return;
  std::vector<OBInterface*> members = vector->elements();
  delete vector;
  for (OBInterface* member : members) {
    if (member) member->releaseExternalReference();
  }
}

}  // namespace

// --- base ----------------------------------------------------------------------------

ModelPropInfo::ModelPropInfo(const ComponentPropRow& row) : ComponentPropInfo(row) {}

Kelbor* ModelPropInfo::model(OBInterface* inst) { return requireModel(inst); }

// --- ConfigSets --------------------------------------------------------------------------

Model_AttachedConfigSets_PIT::Model_AttachedConfigSets_PIT() : ModelPropInfo(kConfigSets) {}

void* Model_AttachedConfigSets_PIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  Kelbor* m = model(inst);
  if (!isTopLevelModel(inst)) return nullptr;
  std::vector<std::string> names;
  m->getConfigSetNames(&names);
  auto* sets = new Vector();
  for (const std::string& name : names) {
    if (KStrConfigurationSetApi* set = m->getConfigSet(name)) sets->addElement(set->getOBI());
  }
  return sets;
}

// Restore: a saved set named "default" takes the place of the set that the
// model made for itself at creation; at the end the last set saved as
// active becomes the active one, when it is attached.
void Model_AttachedConfigSets_PIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  Kelbor* m = model(inst);
  const Vector* sets = vectorOf(value);
  checkMembers("ConfigSets", sets, {"Configset"}, "a Kestrion configuration set object that belongs to no other model",
               upIsNoneOr(inst));
  if (!sets) return;
  std::string activeName = "default";
  for (OBInterface* setInstance : sets->elements()) {
    KStrConfigurationSetApi* set = configSetOf(setInstance);
    KStrConfigurationSetApi* automatic = m->getAutoDefaultConfigSet();
    if (set->getName() == "default" && automatic && automatic != set) {
      OBInterface* automaticInstance = automatic->getOBI();
      m->replaceConfigSet(automatic, set);
      if (automaticInstance && automaticInstance->getUp() == inst) automaticInstance->addBelow(nullptr);
    } else if (m->getConfigSet(set->getName()) != set) {
      m->addConfigSet(set);
    }
    placeBelow(setInstance, inst);
    if (!set->getName().empty() && set->getActive()) activeName = set->getName();
  }
  if (m->isConfigSetAttached(activeName)) m->setActiveConfigSet(activeName);
}

void Model_AttachedConfigSets_PIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) {
  delete vectorOf(value);
}

// --- Variants ----------------------------------------------------------------------------

Model_AttachedVariants_PIT::Model_AttachedVariants_PIT() : ModelPropInfo(kVariants) {}

void* Model_AttachedVariants_PIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  Kelbor* m = model(inst);
  if (!isTopLevelModel(inst)) return nullptr;
  auto* variants = new Vector();
  for (uint64_t i = 0; i < m->getNumVariants(); ++i) variants->addElement(m->getVariantAt(i)->getOBI());
  return variants;
}

void Model_AttachedVariants_PIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  Kelbor* m = model(inst);
  const Vector* variants = vectorOf(value);
  checkMembers("Variants", variants, {"Variant"}, "a Kestrion variant object that belongs to no other model",
               upIsNoneOr(inst));
  if (!variants) return;
  for (OBInterface* handle : variants->elements()) {
    auto* variant = dynamic_cast<Variant*>(componentOf(handle));
    if (!variant) throwInvalidMember("Variants", "a Kestrion variant object");
    if (!m->containsVariant(variant)) m->addVariant(variant);
    placeBelow(handle, inst);
    variant->setOBIParent(inst);
    variant->setParent(m);
  }
}

void Model_AttachedVariants_PIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) {
  delete vectorOf(value);
}

// --- Doses -------------------------------------------------------------------------------

Model_Doses_PIT::Model_Doses_PIT() : ModelPropInfo(kDoses) {}

void* Model_Doses_PIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  Kelbor* m = model(inst);
  auto* doses = new Vector();
  for (uint64_t i = 0; i < m->getNumDoses(); ++i) doses->addElement(m->getDoseAt(i)->getOBI());
  return doses;
}

void Model_Doses_PIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  Kelbor* m = model(inst);
  const Vector* doses = vectorOf(value);
  checkMembers("Doses", doses, {"RepeatDose", "ScheduleDose"},
               "a Kestrion dose object that belongs to no other model", upIsNoneOr(inst));
  if (!doses) return;
  for (OBInterface* handle : doses->elements()) {
    auto* dose = dynamic_cast<Dose*>(componentOf(handle));
    if (!dose) throwInvalidMember("Doses", "a Kestrion dose object");
    if (!m->containsDose(dose)) m->addDose(dose);
    placeBelow(handle, inst);
    dose->setOBIParent(inst);
    dose->setParent(m);
  }
}

void Model_Doses_PIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) {
  delete vectorOf(value);
}

// --- Events / Rules / Reactions ------------------------------------------------------------

Model_EventsPIT::Model_EventsPIT() : ModelPropInfo(kEvents) {}

void* Model_EventsPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return keptVector(model(inst)->getOBIEvents());
}

void Model_EventsPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  model(inst);
  const Vector* events = vectorOf(value);
  checkMembers("Events", events, {"Event"}, "a Kestrion event object that belongs to no other model",
               upIsNoneOr(inst));
  if (!events) return;
  for (OBInterface* event : events->elements()) addEventBelowModel(event, inst);
}

void Model_EventsPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

Model_RulesPIT::Model_RulesPIT() : ModelPropInfo(kRules) {}

void* Model_RulesPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return keptVector(model(inst)->getOBIRules());
}

void Model_RulesPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  model(inst);
  const Vector* rules = vectorOf(value);
  checkMembers("Rules", rules, {"Rule"}, "a Kestrion rule object that belongs to no other model",
               upIsNoneOr(inst));
  if (!rules) return;
  for (OBInterface* rule : rules->elements()) addRuleBelowModel(rule, inst);
}

void Model_RulesPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

Model_ReactionsPIT::Model_ReactionsPIT() : ModelPropInfo(kReactions) {}

void* Model_ReactionsPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return keptVector(model(inst)->getOBIReactions());
}

// Restore: a reaction whose name the model already uses gets the first free
// suffix "_1", "_2", ... (with a warning); then it is put below the model.
void Model_ReactionsPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  Kelbor* m = model(inst);
  const Vector* reactions = vectorOf(value);
  checkMembers("Reactions", reactions, {"Reaction"},
               "a Kestrion reaction object that belongs to no other model", upIsNoneOr(inst));
  if (reactions) {
    for (OBInterface* handle : reactions->elements()) {
      KelborComponent* reaction = componentOf(handle);
      const std::string name = reaction->getName();
      if (!name.empty() && m->isComponentNameInUse(name, kstr::reaction)) {
        std::string fresh;
        for (int suffix = 1;; ++suffix) {
          fresh = name + "_" + std::to_string(suffix);
          if (!m->isComponentNameInUse(fresh, kstr::reaction)) break;
        }
        hb_warning_id(hbGetWarningContext(), "Kestrion:DuplicateReactionNameRename",
                      kstr::code(kstr::MessageCode::KS_DUPLICATE_REACTION_NAME_RENAME), name.c_str(),
                      fresh.c_str());
        reaction->setName(fresh);
      }
      addReactionBelowModel(handle, inst);
    }
  }
  m->setLoadingSpeciesIntoModel(false);
}

void Model_ReactionsPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

// --- Models ------------------------------------------------------------------------------------

Model_ModelsPIT::Model_ModelsPIT() : ModelPropInfo(kModels) {}

void* Model_ModelsPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return keptVector(model(inst)->getOBIModels());
}

// Restore: each model comes from the root (or no parent) below this one.
void Model_ModelsPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  model(inst);
  const Vector* models = vectorOf(value);
  const OBInterface* rootInstance = getOBIRoot();
  checkMembers("Models", models, {"Model"},
               "a Kestrion model object that is neither this model nor one of its ancestors and "
               "belongs to no other model",
               [inst, rootInstance](const OBInterface* member) {
                 const OBInterface* parent = componentOf(member)->getOBIParent();
                 return !isSelfOrDescendant(member, inst) &&
                        (parent == nullptr || parent == rootInstance || parent == inst);
               });
  if (!models) return;
  for (OBInterface* sub : models->elements()) makeSubModel(sub, inst);
}

void Model_ModelsPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

// --- ODESimulationData ----------------------------------------------------------------------

Model_ODESimulationDataPIT::Model_ODESimulationDataPIT() : ModelPropInfo(kODESimulationData) {}

void* Model_ODESimulationDataPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return model(inst)->getODESimulationData();
}

// The stored copy is what the model's interface is taken from, so the
// interface lives exactly as long as the stored value.
void Model_ODESimulationDataPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  Kelbor* m = model(inst);
  const auto* given = static_cast<const qxArray*>(value);
  if (!given || std::strcmp(qxGetClassName(given), "ODESimData.ODESimulationData") != 0) {
    throw ErrorIdException("Kestrion:InvalidODESimulationData",
                           "The property value must be an ODESimulationData object.");
  }
  auto* stored = static_cast<qxArray*>(pellamArrayType()->copy(given));
  void* old = m->getODESimulationData();
  void* payload = qxIsHandleArray(stored) ? static_cast<OBInterface*>(qxGetHandle(stored, 0))
                                                ->getComponentObject()
                                          : qxGetObjectPointer(stored);
  m->setODESimulationData(stored);
  m->setODESimulationDataApi(static_cast<ODESimulationDataApi*>(payload));
  pellamArrayType()->release(old);
}

void Model_ODESimulationDataPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

// --- Parent ---------------------------------------------------------------------------------

Model_ParentPIT::Model_ParentPIT() : ModelPropInfo(kParent) {}

void* Model_ParentPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return model(inst)->getOBIParent();
}

void Model_ParentPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  model(inst);
  auto* parent = static_cast<OBInterface*>(value);
  if (!parent) {
    kstr_error("Kestrion:MODEL_PARENT_INVALIDTYPE",
               kstr::code(kstr::MessageCode::KS_MODEL_PARENT_INVALIDTYPE));
  }
  if (parent == getOBIRoot()) {
    moveModelToRoot(inst);
    return;
  }
  if (isSelfOrDescendant(inst, parent)) {
    kstr_error("Kestrion:PARENT_INVALIDOBJ", kstr::code(kstr::MessageCode::KS_MODEL_PARENT_INVALID));
  }
  makeSubModel(inst, parent);
}

void Model_ParentPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

// --- Species --------------------------------------------------------------------------------

Model_SpeciesPIT::Model_SpeciesPIT() : ModelPropInfo(kSpecies) {}

void* Model_SpeciesPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return model(inst)->getSpeciesOBIs();
}

// Restore of species kept at model level: they go into the compartment
// "unnamed" (made when missing).
void Model_SpeciesPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  Kelbor* m = model(inst);
  const Vector* species = vectorOf(value);
  if (!species) return;
  BCompartment* existing = m->getNamedCompartment("unnamed");
  checkMembers("Species", species, {"Species"}, "a Kestrion species object that belongs to no other compartment",
               upIsNoneOr(existing ? existing->getOBI() : nullptr));
  OBInterface* compartment = findOrAddCompartmentOBI(inst, "unnamed");
  m->setLoadingSpeciesIntoModel(true);
  for (OBInterface* handle : species->elements()) addSpeciesBelowCompartment(handle, compartment);
}

void Model_SpeciesPIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) {
  delete vectorOf(value);
}

// --- TopLevelCompartments / Compartments --------------------------------------------------------

Model_TopLevelCompartmentsPIT::Model_TopLevelCompartmentsPIT() : ModelPropInfo(kTopLevelCompartments) {}

void* Model_TopLevelCompartmentsPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  auto* compartments = new Vector();
  for (const BCompartment* c : *model(inst)->getCompartments()) compartments->addElement(c->getOBI());
  return compartments;
}

void Model_TopLevelCompartmentsPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  Kelbor* m = model(inst);
  const Vector* compartments = vectorOf(value);
  const kstrVector<BCompartment*>& current = *m->getCompartments();
  checkMembers("TopLevelCompartments", compartments, {"Compartment"},
               "a Kestrion compartment object that is not yet a top-level compartment of a model",
               [inst, &current](const OBInterface* member) {
                 const OBInterface* parent = componentOf(member)->getOBIParent();
                 auto* c = static_cast<BCompartment*>(componentOf(member));
                 return (parent == nullptr || parent == inst) &&
                        std::find(current.begin(), current.end(), c) == current.end();
               });
  if (!compartments) return;
  for (OBInterface* handle : compartments->elements()) {
    m->addCompartment(static_cast<BCompartment*>(componentOf(handle)));
    postChildAdded(inst, handle, "compartment");
  }
}

void Model_TopLevelCompartmentsPIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) {
  delete vectorOf(value);
}

Model_CompartmentsPIT::Model_CompartmentsPIT() : ModelPropInfo(kCompartments) {}

void* Model_CompartmentsPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return keptVector(model(inst)->getOBICompartments());
}

void Model_CompartmentsPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  Kelbor* m = model(inst);
  const Vector* compartments = vectorOf(value);
  checkMembers("Compartments", compartments, {"Compartment"},
               "a Kestrion compartment object that belongs to no other model", parentHandleIsNoneOr(inst));
  Vector* fresh = newHandleVector();
  if (compartments) {
    for (OBInterface* handle : compartments->elements()) addToHandleVector(handle, fresh);
  }
  for (OBInterface* handle : fresh->elements()) {
    KelborComponent* compartment = componentOf(handle);
    compartment->setOBIParent(inst);
    compartment->setParent(m);
  }
  Vector* old = m->getOBICompartments();
  m->setOBICompartments(fresh);
  releaseKeptVector(old);
  m->setCompileNeeded(true);
}

void Model_CompartmentsPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

// --- UUID -----------------------------------------------------------------------------------

Model_UuidPIT::Model_UuidPIT() : ModelPropInfo(kUuid) {}

void* Model_UuidPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  const KStrUuid* uuid = model(inst)->getUuid();
  return uuid ? const_cast<char*>(uuid->getText().c_str()) : nullptr;
}

void Model_UuidPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  const char* text = static_cast<const char*>(value);
  if (text && *text) model(inst)->setUuid(text);
}

void Model_UuidPIT::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

// --- the expression-event switches ----------------------------------------------------------

namespace {

// Not readable: the switches are only written by the desktop.
void makeUnreadable(OBPropInfo& prop) {
  prop.setAccess(OBAccessFlag::ExternalGet, false);
  prop.setAccess(OBAccessFlag::InternalGet, false);
}

}  // namespace

#define KSTR_DEFINE_SEND_EVENTS_PIT(ClassName, row, kind)                                        \
  ClassName::ClassName() : ModelPropInfo(row) { makeUnreadable(*this); }                          \
  void* ClassName::getValue(OBDatabaseClient*, OBInterface*) { return nullptr; }                 \
  void ClassName::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {                  \
    model(inst)->setSendExpressionEvents(boolOf(value), kind);                                   \
  }                                                                                              \
  void ClassName::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

KSTR_DEFINE_SEND_EVENTS_PIT(Model_SendExpressionEvents_Rule_PIT, kSendRule, kstr::rule)
KSTR_DEFINE_SEND_EVENTS_PIT(Model_SendExpressionEvents_Reaction_PIT, kSendReaction, kstr::reaction)
KSTR_DEFINE_SEND_EVENTS_PIT(Model_SendExpressionEvents_Event_PIT, kSendEvent, kstr::event)

#undef KSTR_DEFINE_SEND_EVENTS_PIT

// --- CompileNeeded ------------------------------------------------------------------------------

Model_CompileNeededPIT::Model_CompileNeededPIT() : ModelPropInfo(kCompileNeeded) {}

void* Model_CompileNeededPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return hostValueBlock<uint8_t>(model(inst)->getCompileNeeded() ? 1 : 0);
}

void Model_CompileNeededPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  Kelbor* m = model(inst);
  if (!boolOf(value)) {
    throw ErrorIdException("Kestrion:InvalidCompileNeededValue", "CompileNeeded can only be set to true.");
  }
  m->setCompileNeeded(true);
}

void Model_CompileNeededPIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) { hbFree(value); }

// --- the generated event code -------------------------------------------------------------------

#define KSTR_DEFINE_GENERATOR_PIT(ClassName, row, getter)                                        \
  ClassName::ClassName() : ModelPropInfo(row) {}                                                 \
  void* ClassName::getValue(OBDatabaseClient*, OBInterface* inst) {                              \
    return model(inst)->getter();                                                                \
  }                                                                                              \
  void ClassName::setValue(OBDatabaseClient*, OBInterface*, void*) {                             \
    throw ErrorIdException("Kestrion:NoSetMethod", "No set method is available for this property."); \
  }                                                                                              \
  void ClassName::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

KSTR_DEFINE_GENERATOR_PIT(Model_Generator_EventTriggerPIT, kEventTrigger, getQxEventTriggerCode)
KSTR_DEFINE_GENERATOR_PIT(Model_Generator_EventFunctionPIT, kEventFunction, getQxEventFunctionCode)

#undef KSTR_DEFINE_GENERATOR_PIT

// --- Parameters -------------------------------------------------------------------------------

template <class Container>
ModelContainer_ParametersPIT<Container>::ModelContainer_ParametersPIT() : ModelPropInfo(kParameters) {}

template <class Container>
void* ModelContainer_ParametersPIT<Container>::getValue(OBDatabaseClient*, OBInterface* inst) {
  return keptVector(model(inst)->getOBIParameters());
}

template <class Container>
void ModelContainer_ParametersPIT<Container>::setValue(OBDatabaseClient*, OBInterface* inst,
                                                       void* value) {
  model(inst);
  const Vector* parameters = vectorOf(value);
  checkMembers("Parameters", parameters, {"Parameter"},
               "a Kestrion parameter object that belongs to no other container", upIsNoneOr(inst));
  if (!parameters) return;
  for (OBInterface* parameter : parameters->elements()) attachParameterToModel(parameter, inst);
}

template <class Container>
void ModelContainer_ParametersPIT<Container>::releaseValue(OBDatabaseClient*, OBInterface*, void*) {}

template class ModelContainer_ParametersPIT<Kelbor>;

// --- Name -------------------------------------------------------------------------------------

void Model_NamePIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  Kelbor* m = requireModel(inst);
  std::string name = makeStringFromCString(static_cast<const char*>(value));
  STDStringHelpers::trimWhitespace(name);
  if (name.empty()) {
    kstr_error("Kestrion:KSTRMODEL_INVALIDNAME", kstr::code(kstr::MessageCode::KS_MODEL_INVALIDNAME));
  }
  OBInterface* parent = m->getOBIParent();
  Kelbor* parentModel = modelOf(parent);
  if (parentModel && name != m->getName() && isNameInOBIVector(parentModel->getOBIModels(), name)) {
    kstr_error("Kestrion:MODEL_DUPLICATENAME", kstr::code(kstr::MessageCode::KS_ADDMODEL_DUPLICATENAME));
  }
  m->setName(name);
}

// --- SendInUseCountEvents ------------------------------------------------------------------------

OBPropInfo* newSendInUseCountEventsPropInfo() {
  using P = PropFlags;
  constexpr uint32_t flags = P::ExtSet | P::IntSet | P::ExtGet | P::IntGet | P::Default | P::Reset |
                             P::Listener | P::AbortSet;
  return new HostGuarded<obk_t::OBKFactoryPropInfoWithRelease<Kelbor, bool, bool, GetKelborCompClass<Kelbor>>>(
      [](Kelbor* m) -> bool { return m->getSendInUseEvents(); },
      [](Kelbor* m, bool on) { m->setSendInUseEvents(on); }, "SendInUseCountEvents", "", flags);
}
