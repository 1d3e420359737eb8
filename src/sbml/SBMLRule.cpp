// Rules read from SBML.
#include "sbml/SBMLRule.hpp"

#include <sbml/SBMLTypes.h>

#include <memory>

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>

#include "host/Host.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "reactions/BRule.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLMathText.hpp"

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
  } else if (element->isAssignment() && !(context.getSBMLLevel() == 1 && element->isCompartmentVolume())) {
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

// --- write -------------------------------------------------------------------------------

namespace {

void warnRule(const char* id, Code code, const std::string& text) {
  hb_warning_id(hbGetWarningContext(), id, kstr::code(code), text.c_str());
}

}  // namespace

ASTNode* SBMLRule::mathOf(const std::string& formula) const {
  auto* modelRule = dynamic_cast<BRule*>(getComponent());
  const std::string shown = modelRule->getName().empty() ? modelRule->getRule() : modelRule->getName();
  return mathFromFormula(formula, modelOf(*modelRule), modelRule, "rule '" + shown + "'");
}

bool SBMLRule::exportAssignmentKind(int type, const std::string& text) {
  auto* modelRule = dynamic_cast<BRule*>(getComponent());
  std::string left;
  std::string right;
  STDStringHelpers::splitExpressionOnEqual(text, left, right);
  STDStringHelpers::trimWhitespace(left);
  if (left.empty() || STDStringHelpers::isAllWhitespace(right)) {
    if (type == 3) {
      warnRule("Kestrion:UnableToWriteRateRule", Code::KS_UNABLE_TO_WRITE_RATE_RULE, text);
    } else {
      warnRule("Kestrion:UnableToWriteAssignmentRule", Code::KS_UNABLE_TO_WRITE_ASSIGNMENT_RULE, text);
    }
    return false;
  }
  const MathPtr math(mathOf(modelRule->getRuleString()));
  if (!math) {
    warnRule("Kestrion:UnableToWriteRateRuleRHS", Code::KS_UNABLE_TO_WRITE_RATE_RULE_RHS, text);
    return false;
  }
  Kelbor* model = modelOf(*modelRule);
  const KelborComponent* variable = model ? model->resolveSymbol(left, modelRule) : nullptr;
  SBMLConversionContext& context = currentContext();
  // What a level 2 version 1 rule cannot say is left out.
  const auto leftOut = [&text](const std::string& reason) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:SBMLRuleNotWritten", kstr::code(Code::KS_SBML_RULE_NOT_WRITTEN),
                  text.c_str(), reason.c_str());
    return false;
  };
  if (!variable || !variable->getID() || !*variable->getID()) {
    return leftOut("its variable '" + left + "' names no species, compartment or parameter");
  }
  const std::string variableId = variable->getID();
  if (type == 1 && context.isEventVariable(variableId)) {
    return leftOut("an event assigns '" + left +
                   "', and level 2 version 1 holds an initial assignment only as an assignment rule, which no "
                   "event may change");
  }
  if (!context.noteRuleVariable(variableId, type != 3)) {
    return leftOut("another rule already assigns '" + left + "', and SBML allows one rule per variable");
  }
  Model* sbmlModel = context.getSBMLModel();
  Rule* created = nullptr;
  if (type == 3) {
    created = sbmlModel->createRateRule();
  } else {
    created = sbmlModel->createAssignmentRule();
    // The reader tells the two kinds apart by their metaid.
    const char* keyword = type == 2 ? "repeatedAssignment" : "initialAssignment";
    const std::string typed = std::string(keyword) + "_" + (modelRule->getID() ? modelRule->getID() : "");
    const char* read = modelRule->getMetaId();
    const bool readFits = read && (type == 1) == (std::string(read).find("initialAssignment") != std::string::npos);
    setMetaId(*created, readFits ? read : typed, typed, *modelRule);
  }
  checkSetter(created->setVariable(variableId), "variable", variableId, *modelRule);
  checkSetter(setMathOf(*created, *math), "math", modelRule->getRuleString(), *modelRule);
  setElement(created);
  return true;
}

void SBMLRule::exportElement() {
  auto* modelRule = dynamic_cast<BRule*>(getComponent());
  if (!modelRule) return;
  {
    // The verification stacks what is wrong; the rule is then not written.
    const StackedMessageScope scope(true);
    modelRule->verifyRuleSyntax(false);
    if (scope.hasErrors()) {
      const std::string shown = modelRule->getName().empty() ? modelRule->getRule() : modelRule->getName();
      warnRule("Kestrion:InvalidRule", Code::KS_INVALID_RULE, shown);
      return;
    }
  }
  const std::string text = modelRule->getRule();
  if (STDStringHelpers::isAllWhitespace(text)) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnableToWriteEmptyRule",
                  kstr::code(Code::KS_UNABLE_TO_WRITE_EMPTY_RULE));
    return;
  }
  const int type = *modelRule->getRuleType();
  if (type == 0) {
    const MathPtr math(mathOf(text));
    if (!math) {
      warnRule("Kestrion:UnableToWriteAlgebraicRule", Code::KS_UNABLE_TO_WRITE_ALGEBRAIC_RULE, text);
      return;
    }
    Rule* created = currentContext().getSBMLModel()->createAlgebraicRule();
    checkSetter(setMathOf(*created, *math), "math", text, *modelRule);
    setElement(created);
  } else if (!exportAssignmentKind(type, text)) {
    return;
  }
  exportNotesAndAnnotation(*this);
}
