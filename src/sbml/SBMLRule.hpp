// The converter of one SBML rule.  An assignment rule's metaid, as this
// tool writes it from version 2.2.0 on, tells an initial assignment from a
// repeated one.
#pragma once

#include <string>

#include "sbml/SBMLComponent.hpp"
#include "sbml/SBMLExpressionObject.hpp"

class KELBOR_API SBMLRule : public SBMLComponent, public SBMLExpressionObject {
 public:
  // rule may be null on write (the export creates the element).
  explicit SBMLRule(Rule* rule);
  // Gives back the bound interface wrapper.
  ~SBMLRule() override;

  // addToModel, then notes and annotation when a rule was created.
  void importElement() override;
  // Creates the SBML rule for the bound model rule: algebraic, rate, or an
  // assignment rule whose metaid is the type keyword, "_" and the rule's
  // identifier.  A rule that does not verify, is empty, has no variable or
  // right side, or whose math cannot be made is not written (with a
  // warning); no incomplete rule stays in the document.
  void exportElement() override;
  void releaseInterface() override;
  // The model rule of the SBML rule through "addrule": "algebraic", "rate"
  // or an assignment type, its variable (by model name) on the left.  A
  // rule without math, or one that needs a variable and has none, is
  // dropped with a warning; a variable that names nothing read is kept as
  // written with "Kestrion:RuleVariableDoesNotResolve".
  void addToModel() override;

 private:
  Rule* rule() const;
  std::string assignmentTypeText() const;
  // The math of a model formula seen from the bound rule; null when it
  // cannot be made.
  ASTNode* mathOf(const std::string& formula) const;
  // Writes a rate or assignment rule; false (after a warning) when it is
  // not written.
  bool exportAssignmentKind(int type, const std::string& text);
};
