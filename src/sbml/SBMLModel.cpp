// Whole models read from and written to SBML.
#include "sbml/SBMLModel.hpp"

#include <algorithm>
#include <memory>
#include <vector>

#include <sbml/SBMLTypes.h>

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <ks_utils/Uuid.hpp>
#include <ks_utils/Version.hpp>

#include "core/Application.hpp"
#include "expressions/SymbolTable.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BParameter.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BRule.hpp"
#include "reactions/BReaction.hpp"
#include "sbml/SBMLCompartment.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLParameter.hpp"
#include "sbml/SBMLEvent.hpp"
#include "sbml/SBMLReaction.hpp"
#include "sbml/SBMLRule.hpp"
#include "sbml/SBMLSpecies.hpp"
#include "sbml/SBMLUnit.hpp"

using Code = kstr::MessageCode;
using namespace kstr::sbml;

SBMLModel::SBMLModel(Model* model) : SBMLComponent(model) {}

Model* SBMLModel::model() const { return static_cast<Model*>(element_); }

void SBMLModel::addToModel() {
  OBClass* cls = GetQuorvApplication()->findClass("Model");
  OBInterface* made = cls->createObject(OBDatabaseClient::getInternalClient(), nullptr, 0, nullptr);
  bindInterface(made, false);
  currentContext().setModelHandle(made);
}

void SBMLModel::importElement() {
  SBMLConversionContext& context = currentContext();
  addToModel();
  importNotesAndAnnotation(*this);
  Model* element = model();
  KelborComponent* component = getComponent();
  std::string id = element->isSetId() ? element->getId() : std::string();
  if (id.empty()) createValidPELLAMIdFromUuidString(id);
  context.setModelId(id);
  component->setID(id.c_str());
  std::string name = id;
  if (element->isSetName() && !element->getName().empty()) {
    name = element->getName();
  } else if (element->getNumCompartments() > 0 && element->getCompartment(0)->isSetName() &&
             !element->getCompartment(0)->getName().empty()) {
    name = element->getCompartment(0)->getName();
  }
  replaceBracketsInName(name, kstr::kstrmodel);
  component->setName(name);
  context.reserve(element->getNumCompartments() + element->getNumSpecies() + element->getNumParameters());
  if (auto* kelbor = dynamic_cast<Kelbor*>(component); kelbor && kelbor->getSymbolTable()) {
    SymbolTable& table = *kelbor->getSymbolTable();
    table.reserve(SymbolTable::speciesNamespace, element->getNumSpecies());
    table.reserve(SymbolTable::modelParameterNamespace, element->getNumParameters());
    table.reserve(SymbolTable::reactionNamespace, element->getNumReactions());
    table.reserveMembers(element->getNumCompartments() + element->getNumSpecies() + element->getNumParameters() +
                         element->getNumReactions());
  }
  importUnitDefinitions();
  importCompartments(context, *element);
  importFunctionDefinitions();
  importSpecies();
  importParameters();
  importReactions();
  importRules();
  importEvents();
}

void SBMLModel::importUnitDefinitions() {
  if (model()->getNumUnitDefinitions() == 0) return;
  if (currentContext().getSBMLLevel() == 1) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:SBMLLevelOneUnits",
                  kstr::code(Code::KS_UNITS_LEVEL_ONE_UNITS_UNSUPPORTED));
    return;
  }
  bool backedUp = false;
  for (unsigned i = 0; i < model()->getNumUnitDefinitions(); ++i) {
    SBMLUnit converter(model()->getUnitDefinition(i));
    converter.importUnitDefinition(backedUp);
  }
}

void SBMLModel::importFunctionDefinitions() {
  if (model()->getNumFunctionDefinitions() == 0) return;
  hb_warning_id(hbGetWarningContext(), "Kestrion:KS_FUNCTIONDEFS_NOT_SUPPORTED_FOR_VERSION",
                kstr::code(Code::KS_FUNCTIONDEFS_NOT_SUPPORTED_FOR_VERSION), GetKestrionVersionString());
}

namespace {

// Reads each element through a converter that the context keeps (later
// elements look it up).
template <class Converter, class Element>
void importKept(unsigned count, Element* (Model::*element)(unsigned), Model& model) {
  SBMLConversionContext& context = currentContext();
  for (unsigned i = 0; i < count; ++i) {
    auto converter = std::make_unique<Converter>((model.*element)(i));
    Converter* raw = converter.get();
    context.adoptConverter(converter.release());
    raw->importElement();
  }
}

}  // namespace

void SBMLModel::importSpecies() {
  importKept<SBMLSpecies, Species>(model()->getNumSpecies(), &Model::getSpecies, *model());
}

void SBMLModel::importParameters() {
  importKept<SBMLParameter, Parameter>(model()->getNumParameters(), &Model::getParameter, *model());
}

namespace {

// Reactions whose elements warmReactions brings into the cache at once.
constexpr unsigned kReactionsWarmedTogether = 8;

// Elements warmReactions reads ahead for each reaction, at most: enough for
// the usual reaction, and a bound on the walk of an unusual one (a rate of
// thousands of operands is read once, by its import).
constexpr size_t kElementsWarmedPerReaction = 32;

// Brings into the cache what the import of the reactions reads of libSBML's
// document: the reactions, their species references and the nodes of their
// rates.  The document is parsed whole before the model is built, and on a
// large model the elements of a reaction have left every cache by the time
// it is imported; read by the import, one after the other, each element is
// a wait for memory.  Walked here a level at a time across several
// reactions, the waits of one level overlap.
void warmReactions(const Model& model, unsigned from, unsigned to) {
  const size_t budget = kElementsWarmedPerReaction * (to - from);
  std::vector<const SBase*> references;
  std::vector<const ASTNode*> level;
  for (unsigned i = from; i < to; ++i) {
    const Reaction& reaction = *model.getReaction(i);
    for (const ListOf* list :
         {reaction.getListOfReactants(), reaction.getListOfProducts(), reaction.getListOfModifiers()}) {
      const unsigned size = list->size();
      for (unsigned k = 0; k < size && references.size() < budget; ++k) references.push_back(list->get(k));
    }
    const KineticLaw* law = reaction.getKineticLaw();
    if (const ASTNode* math = law ? law->getMath() : nullptr) level.push_back(math);
  }
  for (const SBase* reference : references) {
    __builtin_prefetch(static_cast<const SimpleSpeciesReference*>(reference)->getSpecies().data());
  }
  // Children are reached through libSBML's linked list, a walk from the
  // first to each: only those of nodes with few are read ahead.
  constexpr unsigned kFewChildren = 8;
  std::vector<const ASTNode*> below;
  size_t nodes = 0;
  while (!level.empty() && nodes < budget) {
    below.clear();
    for (const ASTNode* node : level) {
      if (++nodes > budget) break;
      if (node->getType() == AST_NAME) __builtin_prefetch(node->getName());
      const unsigned children = node->getNumChildren();
      if (children > kFewChildren) continue;
      for (unsigned k = 0; k < children; ++k) below.push_back(node->getChild(k));
    }
    level.swap(below);
  }
}

}  // namespace

void SBMLModel::importReactions() {
  const unsigned count = model()->getNumReactions();
  const unsigned step = kReactionsWarmedTogether;
  warmReactions(*model(), 0, std::min(count, step));
  for (unsigned i = 0; i < count; ++i) {
    // The next reactions are warmed while this one's are still in the cache.
    if (i % step == 0 && i + step < count) warmReactions(*model(), i + step, std::min(count, i + 2 * step));
    SBMLReaction converter(model()->getReaction(i));
    converter.importElement();
  }
}

void SBMLModel::importRules() {
  for (unsigned i = 0; i < model()->getNumRules(); ++i) {
    SBMLRule converter(model()->getRule(i));
    converter.importElement();
  }
}

void SBMLModel::importEvents() {
  for (unsigned i = 0; i < model()->getNumEvents(); ++i) {
    SBMLEvent converter(model()->getEvent(i));
    converter.importElement();
  }
}

void SBMLModel::exportElement() {
  KelborComponent* component = getComponent();
  if (!component) return;
  writtenOrWarn(model()->setName(component->getName()), "name", component->getName(), "model",
                component->getName());
  setIdOrWarn(*model(), *component);
  exportNotesAndAnnotation(*this);
  exportCompartments();
  exportSpecies();
  exportParameters();
  exportReactions();
  const std::vector<BEvent*> events = writableEvents();
  exportRules();
  exportEvents(events);
}

void SBMLModel::exportCompartments() {
  for (OBInterface* instance : findChildrenByType(*this, "compartment")) {
    SBMLCompartment converter(model()->createCompartment());
    converter.bindInterface(instance, true);
    converter.exportElement();
  }
}

void SBMLModel::exportSpecies() {
  for (OBInterface* instance : findChildrenByType(*this, "species")) {
    SBMLSpecies converter(model()->createSpecies());
    converter.bindInterface(instance, true);
    converter.exportElement();
  }
}

void SBMLModel::exportParameters() {
  Kelbor* kelbor = kelborFromHandle(getInterface());
  for (BParameter* parameter : *kelbor->getParameters()) {
    SBMLParameter converter(model()->createParameter());
    converter.bindInterface(parameter->getOBI(), false);
    converter.exportElement();
  }
}

void SBMLModel::exportReactions() {
  Kelbor* kelbor = kelborFromHandle(getInterface());
  for (BReaction* reaction : *kelbor->getReactions()) {
    if (!reaction->getActive()) continue;
    SBMLReaction converter(model()->createReaction());
    converter.bindInterface(reaction->getOBI(), false);
    converter.exportElement();
  }
}

void SBMLModel::exportRules() {
  Kelbor* kelbor = kelborFromHandle(getInterface());
  for (BRule* rule : *kelbor->getRules()) {
    if (!rule->getActive()) continue;
    SBMLRule converter(nullptr);
    converter.bindInterface(rule->getOBI(), false);
    converter.exportElement();
  }
}

namespace {

// Runs an event check; false, with the warning naming the first message it
// stacked, when it found a fault.
template <class Check>
bool eventVerifies(Check check, const char* warningId, Code code) {
  const StackedMessageScope scope(true);
  check();
  if (!scope.hasErrors()) return true;
  hb_warning_id(hbGetWarningContext(), warningId, kstr::code(code), scope.first()->text.c_str());
  return false;
}

}  // namespace

std::vector<BEvent*> SBMLModel::writableEvents() {
  Kelbor* kelbor = kelborFromHandle(getInterface());
  std::vector<BEvent*> events;
  for (BEvent* event : *kelbor->getEvents()) {
    if (!event->getActive()) continue;
    if (!eventVerifies([event] { event->verifyTriggerCondition(true); }, "Kestrion:KS_EVENT_FAILED_TO_VERIFY_TRIGGER",
                       Code::KS_EVENT_FAILED_TO_VERIFY_TRIGGER) ||
        !eventVerifies([event] { event->verifyTriggerFunction(true); }, "Kestrion:KS_EVENT_FAILED_TO_VERIFY_EVENTFCN",
                       Code::KS_EVENT_FAILED_TO_VERIFY_EVENTFCN)) {
      continue;
    }
    events.push_back(event);
    for (uint64_t i = 0; i < event->getNumTriggerFunctions(); ++i) {
      BEvent::Map left;
      event->fillFromEventFcnLHSToken2KLCMapAt(i, left);
      if (!left.empty() && left.begin()->second && left.begin()->second->getID()) {
        currentContext().noteEventVariable(left.begin()->second->getID());
      }
    }
  }
  return events;
}

void SBMLModel::exportEvents(const std::vector<BEvent*>& events) {
  for (BEvent* event : events) {
    SBMLEvent converter(model()->createEvent());
    converter.bindInterface(event->getOBI(), false);
    converter.exportElement();
    // An event whose trigger or assignments could not be written is not
    // left half made in the document.
    if (!converter.wroteEvent()) delete model()->removeEvent(model()->getNumEvents() - 1);
  }
}
