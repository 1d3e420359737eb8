// Events read from SBML.
#include "sbml/SBMLEvent.hpp"

#include <memory>
#include <set>
#include <vector>

#include <sbml/SBMLTypes.h>

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>

#include "core/KelborComponent.hpp"
#include "host/Host.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "reactions/BEvent.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLMathText.hpp"

using Code = kstr::MessageCode;
using namespace kstr::sbml;

SBMLEvent::SBMLEvent(Event* event) : SBMLComponent(event) {}

Event* SBMLEvent::event() const { return static_cast<Event*>(element_); }

std::string SBMLEvent::eventDisplayName(const Event& event) {
  if (event.isSetName() && !STDStringHelpers::isAllWhitespace(event.getName())) return event.getName();
  if (event.isSetId()) return event.getId();
  return "Unnamed Event";
}

bool SBMLEvent::eventAssignmentText(unsigned index, std::string& text) const {
  const std::string shown = eventDisplayName(*event());
  const EventAssignment* assignment = event()->getEventAssignment(index);
  const auto fail = [&shown](const char* id, Code code) {
    hb_warning_id(hbGetWarningContext(), id, kstr::code(code), shown.c_str());
    return false;
  };
  if (!assignment) return fail("Kestrion:KS_NULL_EVENT_ASSIGNMENT", Code::KS_NULL_EVENT_ASSIGNMENT);
  const std::string variable = assignment->isSetVariable() ? assignment->getVariable() : std::string();
  if (variable.empty()) {
    return fail("Kestrion:KS_EMPTY_TRIGGER_FUNCTION_VARIABLE", Code::KS_EMPTY_TRIGGER_FUNCTION_VARIABLE);
  }
  SBMLConversionContext& context = currentContext();
  const std::string left = assignedVariableName(context, variable);
  if (left.empty()) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:KS_TRIGGER_FUNCTION_VARIABLE_DOES_NOT_RESOLVE",
                  kstr::code(Code::KS_TRIGGER_FUNCTION_VARIABLE_DOES_NOT_RESOLVE), variable.c_str(), shown.c_str());
    return false;
  }
  if (!assignment->isSetMath()) {
    return fail("Kestrion:KS_UNSET_TRIGGER_FUNCTION_MATH", Code::KS_UNSET_TRIGGER_FUNCTION_MATH);
  }
  text = left + " = " + formulaFromMath(context, *assignment->getMath(), nullptr);
  return true;
}

void SBMLEvent::addToModel() {
  clearInterface();
  Event* element = event();
  const std::string shown = eventDisplayName(*element);
  if (!element->isSetTrigger() || !element->getTrigger()->isSetMath()) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:KS_UNSET_EVENT_TRIGGER_CONDITION",
                  kstr::code(Code::KS_UNSET_EVENT_TRIGGER_CONDITION), shown.c_str());
    return;
  }
  SBMLConversionContext& context = currentContext();
  const std::string trigger = formulaFromMath(context, *element->getTrigger()->getMath(), nullptr);
  std::vector<std::string> functions;
  for (unsigned i = 0; i < element->getNumEventAssignments(); ++i) {
    std::string text;
    if (!eventAssignmentText(i, text)) return;
    functions.push_back(text);
  }
  HostArgs args;
  args.handle(context.getModelHandle()).text(trigger).cellOfTexts(functions);
  bindInterface(callHostForHandle("addevent", args, true), true);
  if (!getInterface()) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:KS_UNABLE_TO_CREATE_EVENT",
                  kstr::code(Code::KS_UNABLE_TO_CREATE_EVENT), shown.c_str());
  }
}

void SBMLEvent::importElement() {
  addToModel();
  KelborComponent* component = getComponent();
  if (!component) return;
  importNotesAndAnnotation(*this);
  Event* element = event();
  if (element->isSetId()) component->setID(element->getId().c_str());
  std::string name = element->isSetName() ? element->getName() : std::string();
  STDStringHelpers::trimWhitespace(name);
  if (!name.empty()) component->setName(name);
  if (element->isSetDelay()) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:KS_EVENT_CONTAINS_DELAY",
                  kstr::code(Code::KS_EVENT_CONTAINS_DELAY), eventDisplayName(*element).c_str());
  }
  clearInterface();
}

// --- write -------------------------------------------------------------------------------

ASTNode* SBMLEvent::mathOf(const std::string& formula) const {
  auto* modelEvent = dynamic_cast<BEvent*>(getComponent());
  return mathFromFormula(formula, modelOf(*modelEvent), modelEvent, "event '" + modelEvent->getName() + "'");
}

void SBMLEvent::exportElement() {
  auto* modelEvent = dynamic_cast<BEvent*>(getComponent());
  if (!modelEvent) return;
  exportNotesAndAnnotation(*this);
  Event* element = event();
  setIdOrWarn(*element, *modelEvent);
  writtenOrWarn(element->setName(modelEvent->getName()), "name", modelEvent->getName(), "event",
                modelEvent->getName());
  const auto unableToCreate = [modelEvent] {
    hb_warning_id(hbGetWarningContext(), "Kestrion:KS_UNABLE_TO_CREATE_EVENT",
                  kstr::code(Code::KS_UNABLE_TO_CREATE_EVENT), modelEvent->getErrString().c_str());
  };
  const MathPtr trigger(mathOf(modelEvent->getTrigger()));
  if (!trigger) {
    unableToCreate();
    return;
  }
  checkSetter(setMathOf(*element->createTrigger(), *trigger), "trigger", modelEvent->getTrigger(), *modelEvent);
  const SBMLConversionContext& context = currentContext();
  std::set<std::string> assigned;
  // What a level 2 version 1 event cannot hold is left out.
  const auto leftOut = [modelEvent](uint64_t i, const std::string& reason) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:SBMLEventAssignmentNotWritten",
                  kstr::code(Code::KS_SBML_EVENT_ASSIGNMENT_NOT_WRITTEN), modelEvent->getTriggerFunctionAt(i).c_str(),
                  modelEvent->getName().c_str(), reason.c_str());
  };
  for (uint64_t i = 0; i < modelEvent->getNumTriggerFunctions(); ++i) {
    BEvent::Map left;
    modelEvent->fillFromEventFcnLHSToken2KLCMapAt(i, left);
    const MathPtr math(mathOf(modelEvent->getEventFcnRHSExprAt(i)));
    const KelborComponent* variable = left.empty() ? nullptr : left.begin()->second;
    if (!math || !variable || !variable->getID()) {
      unableToCreate();
      return;
    }
    const std::string name = left.begin()->first;
    if (context.hasAssignmentRuleFor(variable->getID())) {
      leftOut(i, "an assignment rule gives '" + name + "' its value at all times");
      continue;
    }
    if (!assigned.insert(variable->getID()).second) {
      leftOut(i, "the event assigns '" + name + "' already, and SBML allows one assignment per variable");
      continue;
    }
    EventAssignment* assignment = element->createEventAssignment();
    checkSetter(assignment->setVariable(variable->getID()), "variable", variable->getID(), *modelEvent);
    checkSetter(setMathOf(*assignment, *math), "math", modelEvent->getTriggerFunctionAt(i), *modelEvent);
  }
  element->unsetDelay();
  element->unsetTimeUnits();
  // An event needs an assignment.
  wroteEvent_ = element->getNumEventAssignments() > 0;
  if (!wroteEvent_) unableToCreate();
}
