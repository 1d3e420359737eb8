// The event component: a trigger, a delay with its units and a list of
// event functions, with the accessors the compile services and the SBML
// exchange read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>
#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "expressions/ExpressionBasedComponent.hpp"

class MParseTree;

namespace kstr {
class AssignmentExpression;
class MathExpression;
}  // namespace kstr

// An event: a trigger condition (a math expression the simulator watches
// for a change from false to true), a trigger delay with its units, and
// event functions, each one assignment "variable = expression" carried out
// when the event fires.  Expression indices: the trigger is 0, event
// function i (from 0) is i + 1.
//
// After the trigger or the event functions are set, the event holds at
// least one event function: an empty list is replaced by one placeholder
// with the empty text, which verification reports.  In a model every name
// of every expression is resolved and listened to; renames, additions and
// removals rewrite the texts.  Texts are accepted as given; verification
// stacks what is wrong and never raises.
//
// Copies share the expression objects of their source; the host's copyobj
// makes independent copies.
class KELBOR_API BEvent : public ExpressionBasedComponent {
 public:
  using TriggerPtr = boost::shared_ptr<kstr::MathExpression>;
  using EventFcnPtr = boost::shared_ptr<kstr::AssignmentExpression>;
  using Map = kstrMap<std::string, const KelborComponent*>;
  using TreePtr = boost::shared_ptr<const MParseTree>;

  // Empty trigger, no event functions, delay 0 in "second".  Resolves and
  // sends nothing.
  BEvent();
  BEvent(const BEvent& other);
  BEvent& operator=(const BEvent& other);
  ~BEvent() override;

  const char* getType() const override { return "event"; }
  kstr::bcomptype getEnumType() const override { return kstr::event; }
  // "UnnamedEvent_" and the 1-based position among the model's events;
  // empty outside a model or when the model does not list the event.
  std::string getDefaultName() const override;
  // The new parent; the expressions resolve and are listened to in its
  // scope.  Marks the model.
  void setParent(KelborComponent* parent) override;

  // --- trigger ----------------------------------------------------------------------
  std::string getTrigger() const;
  TreePtr getTriggerParseTree() const;
  // Host function names are left out.
  void getTriggerTokens(std::set<std::string>& out) const;
  void fillFromTriggerToken2KLCMap(Map& out) const;
  bool isComponentUsedInTrigger(const KelborComponent* component) const;
  // Whether the trigger names "time".
  bool getIsTrigCondTimeDependent() const;
  // Replaces the trigger (null counts as empty; no trimming, no check).
  // Marks the model.
  void setTriggerCondition(const char* text);
  TriggerPtr getTriggerExpression() const { return trigger_; }

  // --- event functions ----------------------------------------------------------------
  uint64_t getNumTriggerFunctions() const { return eventFcns_.size(); }
  // Indexed accessors: an index at or beyond getNumTriggerFunctions gives
  // the empty text, a null tree, and adds nothing.
  std::string getTriggerFunctionAt(uint64_t index) const;
  std::string getEventFcnLHSExprAt(uint64_t index) const;
  std::string getEventFcnRHSExprAt(uint64_t index) const;
  TreePtr getEventFcnLHSParseTreeAt(uint64_t index) const;
  TreePtr getEventFcnRHSParseTreeAt(uint64_t index) const;
  void getEventFcnLHSTokensAt(uint64_t index, std::set<std::string>& out) const;
  void getEventFcnRHSTokensAt(uint64_t index, std::set<std::string>& out) const;
  void fillFromEventFcnLHSToken2KLCMapAt(uint64_t index, Map& out) const;
  void fillFromEventFcnRHSToken2KLCMapAt(uint64_t index, Map& out) const;
  bool isComponentUsedInEventFcns(const KelborComponent* component) const;
  // Replaces the event functions, one per text in order (taken as given);
  // no text leaves one placeholder.  Null changes nothing.  Marks the model.
  void setTriggerFunctions(const kstrVector<std::string>* texts);
  // Appends an event function with the empty text.
  void setEmptyExpressionToIndicateError();
  const std::vector<EventFcnPtr>& getEventFcnExpressions() const { return eventFcns_; }

  // --- delay --------------------------------------------------------------------------
  const double* getTriggerDelay() const { return &triggerDelay_; }
  // Stores the value unchecked (the host property checks it); null changes
  // nothing.
  void setTriggerDelay(const double* delay);
  const char* getTriggerDelayUnits() const { return triggerDelayUnits_.c_str(); }
  // Null counts as empty.
  void setTriggerDelayUnits(const char* units);

  // --- checks and lookups ------------------------------------------------------------
  // Stacks (source 1, the event's instance) a trigger that does not parse;
  // with checkResolution also its names that do not resolve.  Never raises.
  void verifyTriggerCondition(bool checkResolution) const;
  // Stacks a missing list and each event function that does not parse; with
  // checkResolution also unresolved right-hand names and a left side that
  // is no non-constant species, parameter or compartment.  Never raises.
  void verifyTriggerFunction(bool checkResolution) const;
  // The name, or "Unnamed Event".
  std::string getErrString() const;
  // "event 'name'", or "event with trigger '...'" for an unnamed event.
  std::string describeExpressionOwner() const;
  // The component the name denotes for this event; null outside a model.
  const KelborComponent* findComponentApiObject(const std::string& name) const;
  // Listens to what every expression names.
  void attachListenersForAllExpressions();

  // --- expression-based component ---------------------------------------------------------
  // Stops listening to every name of every expression (host function names
  // included, so that nothing keeps pointing at the event).
  void detachListenerSupport() override;
  void debugPrint(std::ostream& out) const override;
  void sendJavaUpdateEvents() override;
  // Stops listening and withdraws the expressions from the desktop; the
  // model calls it when the event leaves it.
  virtual void removeDependentState();
  void updateAllExpressionsForComponentRemoved(const KelborComponent* component) override;
  void updateAllExpressionsForComponentNameChange(const KelborComponent* component,
                                                  const std::string& oldBracketedName,
                                                  const std::string& oldQualifiedName) override;
  void updateAllExpressionsForParentComponentRename(
      const KelborComponent* parent, const KelborComponent* component,
      const std::string& newParentBracketedName, const std::string& oldQualifiedName,
      const std::string& newQualifiedName) override;
  void updateAllExpressionsForComponentAdded(const KelborComponent* component) override;
  // The indices of the expressions where a bare occurrence became the
  // qualified new name, or {4294967295} when some expression held both
  // forms.  Expressions that do not parse are skipped.
  std::set<size_t> updateExpressionsForRename(const KelborComponent* component,
                                              const std::string& newName,
                                              const std::set<size_t>& positions) override;
  // The component's expression texts, each set back resolves again.
  std::vector<std::string> getExpressionTexts() const override;
  std::vector<ExpressionPtr> getFormulaExpressions() const override { return allExpressions(); }
  void restoreExpressionTexts(const std::vector<std::string>& texts) override;

 private:
  // The event function at the index, or null.
  const kstr::AssignmentExpression* eventFcnAt(uint64_t index) const;
  // The trigger, then every event function.
  std::vector<ExpressionPtr> allExpressions() const;
  void errorForUnresolvedToks(const std::set<std::string>& tokens) const;
  void errorForBadLHSToken(const char* text) const;
  void notifyPropertyChanged(const char* property) const;

  double triggerDelay_ = 0.0;
  std::string triggerDelayUnits_ = "second";
  TriggerPtr trigger_;
  std::vector<EventFcnPtr> eventFcns_;
  // Where the event stood in its model's list when last looked up.
  mutable size_t positionHint_ = 0;
};
