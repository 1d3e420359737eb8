// The methods of the host class "Rule" that are the rule's own: display,
// parserule, privategetusages and copyobj ("copy", "help", "resolveobject"
// are shared method infos; "verifyexpression" is bound in RuleOBC.cpp).
#pragma once

#include <obk/OBMethodInfo.hpp>

#include "core/ComponentCopy.hpp"
#include "core/KelborApi.hpp"
#include "core/ModelComponentMethods.hpp"
#include "reactions/BRule.hpp"
#include "reactions/ExpressionComponentBindings.hpp"

// "display" of one rule or an array: the table "Kestrion Rule Array" with
// an "Index:" column ten characters wide, the type names in a column at
// least nine wide, and the texts.
class KELBOR_API Rule_display_MI : public ModelComponent_display_MI {
 public:
  void displayVector(int& nOut, void* outs[], int nIn, void* const ins[]) override;
  void displayOne(int& nOut, void* outs[], int nIn, void* const ins[]) override;

 private:
  void printTable(const kstrVector<const BRule*>& rules) const;
};

// "parserule" (rule) or (rule, names, flag) -> up to four results (the
// second form's names and flag change nothing).  An assignment-type rule:
// its variable's tokens (1-by-k cell), the right-hand side's tokens, the
// variable text, the right-hand side text.  An algebraic rule: all tokens,
// empty, the whole text, empty.  An empty text gives empty results.  The
// rule's syntax is checked first (stacked messages).
class KELBOR_API Rule_parseRule_MI : public OBMethodInfo {
 public:
  Rule_parseRule_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "privategetusages" (rule, component): "Rule" when the rule's text uses
// the species, parameter or compartment; nothing for other components.
class KELBOR_API Rule_GetComponentUsageLocations_MI
    : public ExpressionBasedComponent_GetComponentUsageLocations_MI<BRule> {
 public:
  void fillUsageLocations(const BRule& owner, const OBInterface* used,
                          StringVector& out) const override;
};

// "copyobj": a rule may be copied into a model (a target of the class
// "Model"); the copy goes below it.
class KELBOR_API Rule_copyobj_MI : public ModelComponent_copyobj_MI {
 public:
  bool canCopyInto(OBInterface* obj, OBInterface* newParent) override;
  void attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface* source) override;
};
