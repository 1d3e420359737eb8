// Rules read from SBML.
#include "sbml/SBMLRule.hpp"

#include <sbml/SBMLTypes.h>

#include <ks_utils/Errors.hpp>

#include "host/Host.hpp"
#include "model/MessageCatalog.hpp"
#include "sbml/SBMLConversionContext.hpp"

using Code = kstr::MessageCode;
using namespace kstr::sbml;

namespace {

void warnMissingVariable(const char* kind, const std::string& variable) {
  hb_warning_id(hbGetWarningContext(), "Kestrion:RuleMissingRuleVar", kstr::code(Code::KS_RULE_MISSING_RULE_VAR),
                kind, variable.c_str());
}

}  // namespace

SBMLRule::SBMLRule(Rule* rule) : SBMLComponent(rule) {}

Rule* SBMLRule::rule() const { return static_cast<Rule*>(element_); }

SBMLRule::~SBMLRule() { SBMLRule::releaseInterface(); }

void SBMLRule::releaseInterface() { clearInterface(); }

std::string SBMLRule::assignmentTypeText() const {
  const SBMLConversionContext& context = currentContext();
  if (!context.isToolVersionPresent()) return "repeatedAssignment";
  if (context.isToolVersionBelow(2, 2.0, 0.0)) return "initialAssignment";
  if (rule()->isSetMetaId() && rule()->getMetaId().find("initialAssignment") != std::string::npos) {
    return "initialAssignment";
  }
  return "repeatedAssignment";
}

void SBMLRule::addToModel() {
  SBMLConversionContext& context = currentContext();
  Rule* element = rule();
  const ASTNode* math = element->getMath();
  if (!math) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:EmptyRule", kstr::code(Code::KS_EMPTY_RULE));
    return;
  }
  std::string formula = formulaFromMath(context, *math, nullptr);
  std::string type = assignmentTypeText();
  std::string variable;
  const bool variableSet = element->isSetVariable();
  if (element->isAlgebraic()) {
    type = "algebraic";
  } else if (element->isRate()) {
    type = "rate";
    if (variableSet) variable = element->getVariable();
    if (!variableSet) warnMissingVariable("Rate", variable);
  } else if (element->isAssignment() && !element->isCompartmentVolume()) {
    if (variableSet) variable = element->getVariable();
    if (!variableSet) warnMissingVariable("Assignment", variable);
  }
  if (type != "algebraic") {
    if (variable.empty()) {
      hb_warning_id(hbGetWarningContext(), "Kestrion:EmptyRuleVariable", kstr::code(Code::KS_EMPTY_RULE_VARIABLE));
      return;
    }
    std::string name = assignedVariableName(context, variable);
    if (name.empty()) {
      hb_warning_id(hbGetWarningContext(), "Kestrion:RuleVariableDoesNotResolve",
                    kstr::code(Code::KS_RULE_VARIABLE_DOES_NOT_RESOLVE), variable.c_str());
      name = variable;
    }
    formula = name + " = " + formula;
  }
  HostArgs args;
  args.handle(context.getModelHandle()).text(formula).text(type);
  bindInterface(callHostForHandle("addrule", args, true), true);
  if (!getInterface()) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnableToCreateRule", kstr::code(Code::KS_UNABLE_TO_CREATE_RULE),
                  formula.c_str());
  }
}

void SBMLRule::importElement() {
  addToModel();
  if (getInterface()) importNotesAndAnnotation(*this);
}
