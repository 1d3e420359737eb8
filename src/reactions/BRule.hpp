// The rule component: one relation of a model that the simulator enforces
// besides the reactions (algebraic, initial assignment, repeated
// assignment, rate), with the accessors the compile services and the SBML
// exchange read.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <set>
#include <string>

#include <boost/shared_ptr.hpp>
#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "expressions/ExpressionBasedComponent.hpp"

class MParseTree;

namespace kstr {
class AssignmentExpression;
}

// A rule holds its text as one expression: a math expression f(x) held at
// zero for an algebraic rule (type 0), an assignment "variable = expression"
// for the other types.  In a model it keeps the expression's names resolved
// through the model's symbol table and listens to what they denote, so that
// renames, additions and removals rewrite its text.  Verification stacks its
// findings and never raises.
//
// Copies share the expression object of their source; the host's copyobj
// makes independent copies.
class KELBOR_API BRule : public ExpressionBasedComponent {
 public:
  // The stored rule types.  "assignment" is accepted and stored as
  // initialAssignment.
  enum RuleType : int {
    algebraic = 0,
    initialAssignment = 1,
    repeatedAssignment = 2,
    rate = 3,
    assignment = 4,
  };

  // An empty algebraic rule; resolves nothing, sends nothing.
  BRule();
  // A rule of the text (null counts as empty): an initialAssignment rule when
  // the text holds an assignment's equals sign, else an algebraic one.  The
  // text, trimmed of white space, must not be empty
  // ("Kestrion:KSTRRULE_RULE_INVALIDVALUE").  Does not mark the model.
  explicit BRule(const char* text);
  BRule(const BRule& other);
  BRule& operator=(const BRule& other);
  ~BRule() override;

  const char* getType() const override { return "rule"; }
  kstr::bcomptype getEnumType() const override { return kstr::rule; }
  // "unnamed_Rule" and the 1-based position among the model's rules; empty
  // outside a model or when the model does not list the rule.
  std::string getDefaultName() const override;
  // The new parent, then the names resolve and are listened to in its scope.
  void setParent(KelborComponent* parent) override;

  // --- text and type -----------------------------------------------------------
  // Raises "Kestrion:KSTRRULE_RULE_INVALIDVALUE" when the text (null counts as
  // empty), trimmed of white space, is empty.
  static void errorForInvalidRule(const char* text);
  // Replaces the text (trimmed); the expression's kind follows the current
  // type, whatever the text holds.  An empty text raises as
  // errorForInvalidRule and changes nothing.  Marks the model.
  void setRule(const char* text);
  // Stores the type (4 warns "Kestrion:KS_DEPRECATED_RULETYPE" and stores 1)
  // and rebuilds the expression from the current text.  Null changes
  // nothing.  Marks the model.
  void setRuleType(const int* type);
  int* getRuleType() { return &ruleType_; }
  const int* getRuleType() const { return &ruleType_; }
  // The keyword of the stored type, or null for a value outside the table.
  const char* getRuleTypeName() const;
  // The keyword of a type value, or null.
  static const char* ruleTypeName(int type);
  // The whole text.
  std::string getRule() const;
  // The right-hand side of an assignment-type rule, the whole text of an
  // algebraic one.
  std::string getRuleString() const;
  boost::shared_ptr<kstr::Expression> getRuleExpression() const { return expression_; }
  // The right-hand side's tree (the whole text's for an algebraic rule);
  // null when it does not parse.
  boost::shared_ptr<const MParseTree> getRuleParseTree() const;
  // Host function names are left out.
  void getRuleTokens(std::set<std::string>& out) const;
  void fillFromRuleToken2KLCMap(kstrMap<std::string, const KelborComponent*>& out) const;

  // The rule's variable (left-hand side).  An algebraic rule has none: the
  // text is empty, the tree null and nothing is added.
  std::string getRuleVariableString() const;
  boost::shared_ptr<const MParseTree> getRuleVariableParseTree() const;
  void getRuleVariableTokens(std::set<std::string>& out) const;
  void fillFromRuleVariableToken2KLCMap(kstrMap<std::string, const KelborComponent*>& out) const;

  // --- checks and lookups ---------------------------------------------------------
  // Stacks (source 1, the rule's instance) what is wrong with the text for
  // its type; with checkResolution also the names that do not resolve and a
  // variable that is no species, parameter or compartment.  Never raises.
  void verifyRuleSyntax(bool checkResolution) const;
  // One "Kestrion:RuleObjectDoesNotResolve" per token, in the set's order.
  void errorForUnresolvedToks(const std::set<std::string>& tokens) const;
  bool isComponentUsedInRule(const KelborComponent* component) const;
  // The component the name denotes for this rule; null outside a model.
  const KelborComponent* findComponentApiObject(const std::string& name) const;
  // The name, or the whole text when the name is empty.
  std::string getErrString() const;
  // "rule 'name'", the whole text standing for an empty name.
  std::string describeExpressionOwner() const;

  // --- expression-based component ---------------------------------------------------
  // Stops listening to every name of the expression.
  void detachListenerSupport() override;
  void debugPrint(std::ostream& out) const override;
  void sendJavaUpdateEvents() override;
  // Stops listening and withdraws the expression from the desktop; the model
  // calls it when the rule leaves it.
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
  // {0} when a bare occurrence became the qualified new name, {4294967295}
  // when both forms occurred; empty otherwise.
  std::set<size_t> updateExpressionsForRename(const KelborComponent* component,
                                              const std::string& newName,
                                              const std::set<size_t>& positions) override;
  // The component's expression texts, each set back resolves again.
  std::vector<std::string> getExpressionTexts() const override;
  std::vector<ExpressionPtr> getFormulaExpressions() const override { return {expression_}; }
  void restoreExpressionTexts(const std::vector<std::string>& texts) override;

 private:
  // The expression as an assignment; null for an algebraic rule.
  const kstr::AssignmentExpression* assignmentSides() const;
  // A new expression of the kind the type asks for.
  static ExpressionPtr makeExpression(const std::string& text, int type);
  // Stops listening, installs the expression, listens, tells the desktop and
  // marks the model.
  void replaceExpression(const ExpressionPtr& expression);
  void notifyRuleChanged() const;

  int ruleType_ = algebraic;
  ExpressionPtr expression_;
  // Where the rule stood in its model's list when last looked up.
  mutable size_t positionHint_ = 0;
};
