// The rule component: text and type, the accessors of its two sides,
// verification, listening and the propagation of model changes.
#include "reactions/BRule.hpp"

#include <algorithm>
#include <cstdint>
#include <ostream>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>

#include "expressions/AssignmentExpression.hpp"
#include "expressions/MathExpression.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "reactions/ExpressionRename.hpp"
#include "core/ListPosition.hpp"

namespace {

using kstr::MessageCode;

std::string trimmedText(const char* text) {
  std::string trimmed = text ? text : "";
  STDStringHelpers::eatLeadingWhitespace(trimmed);
  STDStringHelpers::eatTrailingWhitespace(trimmed);
  return trimmed;
}

}  // namespace

BRule::BRule() : expression_(new kstr::MathExpression("")) {}

BRule::BRule(const char* text) {
  const std::string trimmed = trimmedText(text);
  if (trimmed.empty()) {
    kstr_error("Kestrion:KSTRRULE_RULE_INVALIDVALUE",
               kstr::code(MessageCode::KS_RULE_INVALID_CANNOT_BE_EMPTY));
  }
  expression_.reset(kstr::Expression::createExpression(trimmed));
  ruleType_ = assignmentSides() ? initialAssignment : algebraic;
  resolveTokensInExpressionAndListen(expression_);
  if (getSendJavaEvents()) sendJavaExpressionEvents({expression_});
}

BRule::BRule(const BRule& other) = default;
BRule& BRule::operator=(const BRule& other) = default;
BRule::~BRule() = default;

// --- names and parent --------------------------------------------------------------------

std::string BRule::getDefaultName() const {
  KelborComponent* parent = getParent();
  if (!parent || parent->getEnumType() != kstr::kstrmodel) return std::string();
  const kstrVector<BRule*>& rules = *static_cast<Kelbor*>(parent)->getRules();
  const size_t position = kstr::positionInList(rules, this, positionHint_);
  if (position >= rules.size()) return std::string();
  return "unnamed_Rule" + std::to_string(position + 1);
}

void BRule::setParent(KelborComponent* parent) {
  // Stop listening in the scope being left before the parent changes.
  detachListenerSupport();
  KelborComponent::setParent(parent);
  detachListenerSupport();
  resolveTokensInExpressionAndListen(expression_);
  sendJavaUpdateEvents();
}

// --- text and type ---------------------------------------------------------------------

void BRule::errorForInvalidRule(const char* text) {
  if (trimmedText(text).empty()) {
    kstr_error("Kestrion:KSTRRULE_RULE_INVALIDVALUE",
               kstr::code(MessageCode::KS_RULE_INVALID_CANNOT_BE_EMPTY));
  }
}

BRule::ExpressionPtr BRule::makeExpression(const std::string& text, int type) {
  if (type == algebraic) return ExpressionPtr(new kstr::MathExpression(text));
  return ExpressionPtr(new kstr::AssignmentExpression(text));
}

void BRule::replaceExpression(const ExpressionPtr& expression) {
  detachListenerSupport();
  expression_ = expression;
  resolveTokensInExpressionAndListen(expression_);
  sendJavaUpdateEvents();
  setModelCompileNeeded();
}

void BRule::setRule(const char* text) {
  errorForInvalidRule(text);
  replaceExpression(makeExpression(trimmedText(text), ruleType_));
}

void BRule::setRuleType(const int* type) {
  if (!type) return;
  int value = *type;
  if (value == assignment) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:KS_DEPRECATED_RULETYPE",
                  kstr::code(MessageCode::KS_DEPRECATED_RULETYPE));
    value = initialAssignment;
  }
  // The expression is built first, so that a failure leaves the rule as it was.
  ExpressionPtr rebuilt = makeExpression(getRule(), value);
  ruleType_ = value;
  replaceExpression(rebuilt);
}

const char* BRule::ruleTypeName(int type) {
  switch (type) {
    case algebraic:
      return "algebraic";
    case initialAssignment:
      return "initialAssignment";
    case repeatedAssignment:
      return "repeatedAssignment";
    case rate:
      return "rate";
    case assignment:
      return "assignment";
    default:
      return nullptr;
  }
}

const char* BRule::getRuleTypeName() const { return ruleTypeName(ruleType_); }

std::string BRule::getRule() const { return expression_->getExpressionString(); }

const kstr::AssignmentExpression* BRule::assignmentSides() const {
  return dynamic_cast<const kstr::AssignmentExpression*>(expression_.get());
}

std::string BRule::getRuleString() const {
  const kstr::AssignmentExpression* sides = assignmentSides();
  return sides ? sides->getRHSExpressionString() : getRule();
}

boost::shared_ptr<const MParseTree> BRule::getRuleParseTree() const {
  if (const kstr::AssignmentExpression* sides = assignmentSides()) return sides->getRHSParseTree();
  const auto* math = dynamic_cast<const kstr::MathExpression*>(expression_.get());
  return math ? math->getParseTree() : boost::shared_ptr<const MParseTree>();
}

void BRule::getRuleTokens(std::set<std::string>& out) const {
  if (const kstr::AssignmentExpression* sides = assignmentSides()) {
    sides->fillSetWithRHSTokens(out);
    return;
  }
  expression_->fillSetWithTokens(out, false);
}

void BRule::fillFromRuleToken2KLCMap(kstrMap<std::string, const KelborComponent*>& out) const {
  if (const kstr::AssignmentExpression* sides = assignmentSides()) {
    sides->fillRHSSymbolComponentMap(out);
    return;
  }
  expression_->getSymbolComponentMap(out);
}

std::string BRule::getRuleVariableString() const {
  const kstr::AssignmentExpression* sides = assignmentSides();
  return sides ? sides->getLHSExpressionString() : std::string();
}

boost::shared_ptr<const MParseTree> BRule::getRuleVariableParseTree() const {
  const kstr::AssignmentExpression* sides = assignmentSides();
  return sides ? sides->getLHSParseTree() : boost::shared_ptr<const MParseTree>();
}

void BRule::getRuleVariableTokens(std::set<std::string>& out) const {
  if (const kstr::AssignmentExpression* sides = assignmentSides()) sides->fillSetWithLHSTokens(out);
}

void BRule::fillFromRuleVariableToken2KLCMap(
    kstrMap<std::string, const KelborComponent*>& out) const {
  if (const kstr::AssignmentExpression* sides = assignmentSides()) sides->fillLHSSymbolComponentMap(out);
}

// --- checks and lookups ---------------------------------------------------------------------

std::string BRule::getErrString() const { return getName().empty() ? getRule() : getName(); }

std::string BRule::describeExpressionOwner() const { return "rule '" + getErrString() + "'"; }

void BRule::verifyRuleSyntax(bool checkResolution) const {
  const std::string errString = getErrString();
  if (ruleType_ == algebraic) {
    if (!expression_->isSyntacticallyValid()) {
      kstr_stacked_error(1, getOBI(), "Kestrion:AlgebraicRuleCannotParse",
                         kstr::code(MessageCode::KS_ALGEBRAIC_RULE_CANNOT_PARSE),
                         errString.c_str());
      return;
    }
    if (!checkResolution) return;
    std::set<std::string> unresolved;
    expression_->getUnresolvedTokens(unresolved);
    if (!unresolved.empty()) errorForUnresolvedToks(unresolved);
    return;
  }
  if (ruleType_ < initialAssignment || ruleType_ > assignment) return;
  const kstr::AssignmentExpression* sides = assignmentSides();
  if (!sides || !sides->isSyntacticallyValid()) {
    kstr_stacked_error(1, getOBI(), "Kestrion:InvalidAssignmentSyntax",
                       kstr::code(MessageCode::KS_INVALID_ASSIGNMENT_SYNTAX), errString.c_str());
    return;
  }
  if (!checkResolution) return;
  std::set<std::string> unresolved;
  sides->getUnresolvedRHSTokens(unresolved);
  if (!unresolved.empty()) errorForUnresolvedToks(unresolved);
  if (!sides->isLHSValidAssignmentVariable()) {
    kstr_stacked_error(1, getOBI(), "Kestrion:AssignmentRateRuleBadLHSToken",
                       kstr::code(MessageCode::KS_ASSIGNMENT_RATE_RULE_BADLHSTOKEN),
                       errString.c_str());
  }
}

void BRule::errorForUnresolvedToks(const std::set<std::string>& tokens) const {
  const std::string owner = describeExpressionOwner();
  for (const std::string& token : tokens) {
    kstr_stacked_error(1, getOBI(), "Kestrion:RuleObjectDoesNotResolve",
                       kstr::code(MessageCode::KS_UNRESOLVED_OBJECT), token.c_str(),
                       owner.c_str());
  }
}

bool BRule::isComponentUsedInRule(const KelborComponent* component) const {
  return expression_->isComponentUsed(component);
}

const KelborComponent* BRule::findComponentApiObject(const std::string& name) const {
  Kelbor* model = getLiveModel();
  return model ? model->resolveSymbol(name, const_cast<BRule*>(this)) : nullptr;
}

// --- listening and desktop events ---------------------------------------------------------------

void BRule::detachListenerSupport() { releaseListeners({expression_}); }

void BRule::debugPrint(std::ostream& out) const {
  out << "Rule. RuleType: " << ruleType_ << " Expression: " << std::endl;
  expression_->debugPrint(out);
}

void BRule::sendJavaUpdateEvents() {
  if (getSendJavaEvents()) sendJavaExpressionEvents({expression_});
}

void BRule::removeDependentState() {
  detachListenerSupport();
  if (getSendJavaEvents()) sendJavaDeleteEvents({expression_});
}

void BRule::notifyRuleChanged() const {
  const std::string text = getRule();
  notifyPropertyPostSet(getOBI(), "Rule", text.c_str());
}

// --- propagation of model changes -----------------------------------------------------------------

void BRule::updateAllExpressionsForComponentRemoved(const KelborComponent* component) {
  updateExpressionForComponentRemoved(expression_, component);
}

void BRule::updateAllExpressionsForComponentNameChange(const KelborComponent* component,
                                                       const std::string& oldBracketedName,
                                                       const std::string& oldQualifiedName) {
  updateExpressionForComponentNameChange(expression_, component, oldBracketedName,
                                         oldQualifiedName);
}

void BRule::updateAllExpressionsForComponentAdded(const KelborComponent* component) {
  if (updateExpressionForComponentAdded(expression_, component, nullptr)) notifyRuleChanged();
}

void BRule::updateAllExpressionsForParentComponentRename(
    const KelborComponent* parent, const KelborComponent* component,
    const std::string& newParentBracketedName, const std::string& oldQualifiedName,
    const std::string& newQualifiedName) {
  if (updateExpressionForParentComponentRename(expression_, parent, component,
                                               newParentBracketedName, oldQualifiedName,
                                               newQualifiedName, nullptr)) {
    notifyRuleChanged();
  }
}

std::set<size_t> BRule::updateExpressionsForRename(const KelborComponent* component,
                                                   const std::string& newName,
                                                   const std::set<size_t>& positions) {
  std::set<size_t> result;
  if (!expression_->isComponentUsed(component)) return result;
  const kstr::RenameTokens tokens = kstr::renameTokensFor(*this, component, newName);
  const uint64_t answer =
      kstr::renameInExpression(tokens, component, positions.count(0) != 0, expression_);
  resolveTokensInExpressionAndListen(expression_);
  sendJavaUpdateEvents();
  notifyRuleChanged();
  if (answer == 1) result.insert(0);
  if (answer == kstr::kRenameBothForms) result.insert(static_cast<size_t>(kstr::kRenameBothForms));
  return result;
}

std::vector<std::string> BRule::getExpressionTexts() const { return {getRule()}; }

void BRule::restoreExpressionTexts(const std::vector<std::string>& texts) {
  if (texts.size() == 1) replaceExpression(makeExpression(texts[0], ruleType_));
}
