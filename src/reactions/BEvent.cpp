// The event component: trigger and event functions with their accessors,
// the delay, verification, listening and the propagation of model changes.
#include "reactions/BEvent.hpp"

#include <ostream>

#include <ks_utils/Errors.hpp>

#include "core/QuantityComponent.hpp"
#include "expressions/AssignmentExpression.hpp"
#include "expressions/MathExpression.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "reactions/ExpressionRename.hpp"
#include "core/ListPosition.hpp"

namespace {

using kstr::MessageCode;

// Defers name-change notifications while an edit runs and restores the
// previous setting when it ends, also when the edit raises.
class DeferredEdit {
 public:
  explicit DeferredEdit(ExpressionBasedComponent& owner)
      : owner_(owner), previous_(owner.deferNotification(true)) {}
  ~DeferredEdit() {
    if (!closed_) owner_.deferNotification(previous_);
  }
  DeferredEdit(const DeferredEdit&) = delete;
  DeferredEdit& operator=(const DeferredEdit&) = delete;
  // Ends the deferral now; queued notifications run.
  void close() {
    closed_ = true;
    owner_.deferNotification(previous_);
  }

 private:
  ExpressionBasedComponent& owner_;
  bool previous_;
  bool closed_ = false;
};

}  // namespace

BEvent::BEvent() : trigger_(new kstr::MathExpression("")) {}

BEvent::BEvent(const BEvent& other) = default;
BEvent& BEvent::operator=(const BEvent& other) = default;
BEvent::~BEvent() = default;

// --- names and parent --------------------------------------------------------------------

std::string BEvent::getDefaultName() const {
  KelborComponent* parent = getParent();
  if (!parent || parent->getEnumType() != kstr::kstrmodel) return std::string();
  const kstrVector<BEvent*>& events = *static_cast<Kelbor*>(parent)->getEvents();
  const size_t position = kstr::positionInList(events, this, positionHint_);
  if (position >= events.size()) return std::string();
  return "UnnamedEvent_" + std::to_string(position + 1);
}

void BEvent::setParent(KelborComponent* parent) {
  // Stop listening in the scope being left before the parent changes.
  detachListenerSupport();
  KelborComponent::setParent(parent);
  detachListenerSupport();
  sendJavaUpdateEvents();
  const std::vector<ExpressionPtr> expressions = allExpressions();
  for (const ExpressionPtr& expression : expressions) resolveTokensInExpressionAndListen(expression);
  for (const ExpressionPtr& expression : expressions) attachListenersForExpression(expression);
  sendJavaUpdateEvents();
  setModelCompileNeeded();
}

// --- trigger -----------------------------------------------------------------------------

std::string BEvent::getTrigger() const { return trigger_->getExpressionString(); }

BEvent::TreePtr BEvent::getTriggerParseTree() const { return trigger_->getParseTree(); }

void BEvent::getTriggerTokens(std::set<std::string>& out) const {
  trigger_->fillSetWithTokens(out, false);
}

void BEvent::fillFromTriggerToken2KLCMap(Map& out) const { trigger_->getSymbolComponentMap(out); }

bool BEvent::isComponentUsedInTrigger(const KelborComponent* component) const {
  return trigger_->isComponentUsed(component);
}

bool BEvent::getIsTrigCondTimeDependent() const { return trigger_->containsToken("time"); }

void BEvent::setTriggerCondition(const char* text) {
  TriggerPtr replacement(new kstr::MathExpression(text ? text : ""));
  DeferredEdit edit(*this);
  if (eventFcns_.empty()) setEmptyExpressionToIndicateError();
  detachListenerSupport();
  sendJavaUpdateEvents();
  trigger_ = replacement;
  resolveTokensInExpression(trigger_);
  attachListenersForAllExpressions();
  edit.close();
  sendJavaUpdateEvents();
  setModelCompileNeeded();
}

// --- event functions -----------------------------------------------------------------------

const kstr::AssignmentExpression* BEvent::eventFcnAt(uint64_t index) const {
  return index < eventFcns_.size() ? eventFcns_[index].get() : nullptr;
}

std::string BEvent::getTriggerFunctionAt(uint64_t index) const {
  const kstr::AssignmentExpression* fcn = eventFcnAt(index);
  return fcn ? fcn->getExpressionString() : std::string();
}

std::string BEvent::getEventFcnLHSExprAt(uint64_t index) const {
  const kstr::AssignmentExpression* fcn = eventFcnAt(index);
  return fcn ? fcn->getLHSExpressionString() : std::string();
}

std::string BEvent::getEventFcnRHSExprAt(uint64_t index) const {
  const kstr::AssignmentExpression* fcn = eventFcnAt(index);
  return fcn ? fcn->getRHSExpressionString() : std::string();
}

BEvent::TreePtr BEvent::getEventFcnLHSParseTreeAt(uint64_t index) const {
  const kstr::AssignmentExpression* fcn = eventFcnAt(index);
  return fcn ? fcn->getLHSParseTree() : TreePtr();
}

BEvent::TreePtr BEvent::getEventFcnRHSParseTreeAt(uint64_t index) const {
  const kstr::AssignmentExpression* fcn = eventFcnAt(index);
  return fcn ? fcn->getRHSParseTree() : TreePtr();
}

void BEvent::getEventFcnLHSTokensAt(uint64_t index, std::set<std::string>& out) const {
  if (const kstr::AssignmentExpression* fcn = eventFcnAt(index)) fcn->fillSetWithLHSTokens(out);
}

void BEvent::getEventFcnRHSTokensAt(uint64_t index, std::set<std::string>& out) const {
  if (const kstr::AssignmentExpression* fcn = eventFcnAt(index)) fcn->fillSetWithRHSTokens(out);
}

void BEvent::fillFromEventFcnLHSToken2KLCMapAt(uint64_t index, Map& out) const {
  if (const kstr::AssignmentExpression* fcn = eventFcnAt(index)) fcn->fillLHSSymbolComponentMap(out);
}

void BEvent::fillFromEventFcnRHSToken2KLCMapAt(uint64_t index, Map& out) const {
  if (const kstr::AssignmentExpression* fcn = eventFcnAt(index)) fcn->fillRHSSymbolComponentMap(out);
}

bool BEvent::isComponentUsedInEventFcns(const KelborComponent* component) const {
  for (const EventFcnPtr& fcn : eventFcns_) {
    if (fcn->isComponentUsed(component)) return true;
  }
  return false;
}

void BEvent::setTriggerFunctions(const kstrVector<std::string>* texts) {
  if (!texts) return;
  std::vector<EventFcnPtr> replacement;
  replacement.reserve(texts->size());
  for (const std::string& text : *texts) replacement.emplace_back(new kstr::AssignmentExpression(text));
  DeferredEdit edit(*this);
  detachListenerSupport();
  sendJavaUpdateEvents();
  eventFcns_.swap(replacement);
  for (const EventFcnPtr& fcn : eventFcns_) resolveTokensInExpression(fcn);
  if (eventFcns_.empty()) setEmptyExpressionToIndicateError();
  attachListenersForAllExpressions();
  edit.close();
  sendJavaUpdateEvents();
  setModelCompileNeeded();
}

void BEvent::setEmptyExpressionToIndicateError() {
  eventFcns_.emplace_back(new kstr::AssignmentExpression(""));
}

// --- delay ------------------------------------------------------------------------------------

void BEvent::setTriggerDelay(const double* delay) {
  if (delay) triggerDelay_ = *delay;
}

void BEvent::setTriggerDelayUnits(const char* units) { triggerDelayUnits_ = units ? units : ""; }

// --- checks and lookups ---------------------------------------------------------------------------

std::string BEvent::getErrString() const {
  return getName().empty() ? std::string("Unnamed Event") : getName();
}

std::string BEvent::describeExpressionOwner() const {
  if (getName().empty()) return "event with trigger '" + getTrigger() + "'";
  return "event '" + getName() + "'";
}

void BEvent::verifyTriggerCondition(bool checkResolution) const {
  if (!trigger_->isSyntacticallyValid()) {
    const std::string text = getTrigger();
    const std::string errString = getErrString();
    kstr_stacked_error(1, getOBI(), "Kestrion:EventTriggerCannotParse",
                       kstr::code(MessageCode::KS_EVENT_TRIGGER_CANNOT_PARSE), text.c_str(),
                       errString.c_str());
    return;
  }
  if (!checkResolution) return;
  std::set<std::string> unresolved;
  trigger_->getUnresolvedTokens(unresolved);
  if (!unresolved.empty()) errorForUnresolvedToks(unresolved);
}

void BEvent::verifyTriggerFunction(bool checkResolution) const {
  const std::string owner = describeExpressionOwner();
  if (eventFcns_.empty()) {
    kstr_stacked_error(1, getOBI(), "Kestrion:NoEventFcns",
                       kstr::code(MessageCode::KS_EVENT_NO_EVENTFCNS), owner.c_str());
    return;
  }
  for (const EventFcnPtr& fcn : eventFcns_) {
    const std::string text = fcn->getExpressionString();
    if (!fcn->isSyntacticallyValid()) {
      kstr_stacked_error(1, getOBI(), "Kestrion:InvalidEventFcnSyntax",
                         kstr::code(MessageCode::KS_INVALID_EVENTFCN_SYNTAX), text.c_str(),
                         owner.c_str());
      continue;
    }
    if (!checkResolution) continue;
    std::set<std::string> unresolved;
    fcn->getUnresolvedRHSTokens(unresolved);
    if (!unresolved.empty()) errorForUnresolvedToks(unresolved);
    if (!fcn->isLHSValidAssignmentVariable()) errorForBadLHSToken(text.c_str());
    const kstr::Expression::ComponentMap& lhs = fcn->getLHSSymbolComponentMap();
    if (lhs.empty()) continue;
    const auto* quantity = dynamic_cast<const kstr::QuantityComponent*>(lhs.begin()->second);
    if (quantity && quantity->getConstantValue()) errorForBadLHSToken(text.c_str());
  }
}

void BEvent::errorForUnresolvedToks(const std::set<std::string>& tokens) const {
  const std::string owner = describeExpressionOwner();
  for (const std::string& token : tokens) {
    kstr_stacked_error(1, getOBI(), "Kestrion:EventObjectDoesNotResolve",
                       kstr::code(MessageCode::KS_UNRESOLVED_OBJECT), token.c_str(),
                       owner.c_str());
  }
}

void BEvent::errorForBadLHSToken(const char* text) const {
  const std::string owner = describeExpressionOwner();
  kstr_stacked_error(1, getOBI(), "Kestrion:EventFcnBadLHSToken",
                     kstr::code(MessageCode::KS_EVENTFCN_BADLHSTOKEN), text, owner.c_str());
}

const KelborComponent* BEvent::findComponentApiObject(const std::string& name) const {
  Kelbor* model = getLiveModel();
  return model ? model->resolveSymbol(name, const_cast<BEvent*>(this)) : nullptr;
}

// --- listening and desktop events ---------------------------------------------------------------

std::vector<ExpressionBasedComponent::ExpressionPtr> BEvent::allExpressions() const {
  std::vector<ExpressionPtr> expressions;
  expressions.reserve(eventFcns_.size() + 1);
  expressions.push_back(trigger_);
  expressions.insert(expressions.end(), eventFcns_.begin(), eventFcns_.end());
  return expressions;
}

void BEvent::attachListenersForAllExpressions() {
  for (const ExpressionPtr& expression : allExpressions()) attachListenersForExpression(expression);
}

void BEvent::detachListenerSupport() {
  // Every token, host function names included: a component named like a
  // host function is listened to as well.
  releaseListeners(allExpressions());
}

void BEvent::debugPrint(std::ostream& out) const {
  out << "Event. Trigger: " << std::endl;
  trigger_->debugPrint(out);
  out << "EventFcns: " << std::endl;
  for (const EventFcnPtr& fcn : eventFcns_) fcn->debugPrint(out);
}

void BEvent::sendJavaUpdateEvents() {
  if (getSendJavaEvents()) sendJavaExpressionEvents(allExpressions());
}

void BEvent::removeDependentState() {
  detachListenerSupport();
  if (getSendJavaEvents()) sendJavaDeleteEvents(allExpressions());
}

void BEvent::notifyPropertyChanged(const char* property) const {
  notifyPropertyPostSet(getOBI(), property, nullptr);
}

// --- propagation of model changes -------------------------------------------------------------------

void BEvent::updateAllExpressionsForComponentRemoved(const KelborComponent* component) {
  for (const ExpressionPtr& expression : allExpressions()) {
    updateExpressionForComponentRemoved(expression, component);
  }
}

void BEvent::updateAllExpressionsForComponentNameChange(const KelborComponent* component,
                                                        const std::string& oldBracketedName,
                                                        const std::string& oldQualifiedName) {
  for (const ExpressionPtr& expression : allExpressions()) {
    updateExpressionForComponentNameChange(expression, component, oldBracketedName,
                                           oldQualifiedName);
  }
}

void BEvent::updateAllExpressionsForComponentAdded(const KelborComponent* component) {
  const bool triggerChanged = updateExpressionForComponentAdded(trigger_, component, nullptr);
  bool fcnChanged = false;
  for (const EventFcnPtr& fcn : std::vector<EventFcnPtr>(eventFcns_)) {
    if (updateExpressionForComponentAdded(fcn, component, nullptr)) fcnChanged = true;
  }
  if (triggerChanged) notifyPropertyChanged("Trigger");
  if (fcnChanged) notifyPropertyChanged("EventFcns");
}

void BEvent::updateAllExpressionsForParentComponentRename(
    const KelborComponent* parent, const KelborComponent* component,
    const std::string& newParentBracketedName, const std::string& oldQualifiedName,
    const std::string& newQualifiedName) {
  const bool triggerChanged = updateExpressionForParentComponentRename(
      trigger_, parent, component, newParentBracketedName, oldQualifiedName, newQualifiedName,
      nullptr);
  bool fcnChanged = false;
  for (const EventFcnPtr& fcn : std::vector<EventFcnPtr>(eventFcns_)) {
    if (updateExpressionForParentComponentRename(fcn, parent, component, newParentBracketedName,
                                                 oldQualifiedName, newQualifiedName, nullptr)) {
      fcnChanged = true;
    }
  }
  if (triggerChanged) notifyPropertyChanged("Trigger");
  if (fcnChanged) notifyPropertyChanged("EventFcns");
}

std::set<size_t> BEvent::updateExpressionsForRename(const KelborComponent* component,
                                                    const std::string& newName,
                                                    const std::set<size_t>& positions) {
  std::set<size_t> result;
  bool ambiguous = false;
  const kstr::RenameTokens tokens = kstr::renameTokensFor(*this, component, newName);
  // Rewrites one expression that parses and uses the component.
  auto rename = [&](const ExpressionPtr& expression, size_t index) {
    if (!expression->isSyntacticallyValid() || !expression->isComponentUsed(component)) return false;
    const uint64_t code =
        kstr::renameInExpression(tokens, component, positions.count(index) != 0, expression);
    resolveTokensInExpressionAndListen(expression);
    if (code == 1) result.insert(index);
    if (code == kstr::kRenameBothForms) ambiguous = true;
    return true;
  };
  if (rename(trigger_, 0)) {
    sendJavaUpdateEvents();
    notifyPropertyChanged("Trigger");
  }
  const std::vector<EventFcnPtr> fcns = eventFcns_;
  for (size_t i = 0; i < fcns.size(); ++i) {
    rename(fcns[i], i + 1);
    sendJavaUpdateEvents();
    notifyPropertyChanged("EventFcns");
  }
  if (ambiguous) result = {static_cast<size_t>(kstr::kRenameBothForms)};
  return result;
}

std::vector<std::string> BEvent::getExpressionTexts() const {
  std::vector<std::string> texts{getTrigger()};
  for (uint64_t i = 0; i < getNumTriggerFunctions(); ++i) texts.push_back(getTriggerFunctionAt(i));
  return texts;
}

void BEvent::restoreExpressionTexts(const std::vector<std::string>& texts) {
  if (texts.empty()) return;
  setTriggerCondition(texts[0].c_str());
  kstrVector<std::string> functions;
  for (size_t i = 1; i < texts.size(); ++i) functions.push_back(texts[i]);
  setTriggerFunctions(&functions);
}
