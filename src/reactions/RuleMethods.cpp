// The rule's own host methods: display, parserule, privategetusages and
// copyobj.
#include "reactions/RuleMethods.hpp"

#include <cstring>
#include <set>
#include <string>

#include <hb/hb.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <obk/OBClass.hpp>
#include <obk/OBInterface.hpp>
#include <obk/Vector.hpp>
#include <qx/qx.hpp>

#include "core/HostBoundary.hpp"
#include "core/TreeWiring.hpp"
#include "host/HostHelpers.hpp"

namespace {

using kstr::ebcbinding::blankRun;
using kstr::ebcbinding::cellRowOf;
using kstr::ebcbinding::digitCount;
using kstr::ebcbinding::requireComponent;

// A "string" result: a new copy, or none for the empty text; raises when
// memory runs out (no copy would read as an empty result).
void* textResult(const std::string& text) { return text.empty() ? nullptr : hostTextCopy(text.c_str()); }

}  // namespace

// --- display ------------------------------------------------------------------------------

void Rule_display_MI::displayVector(int&, void*[], int nIn, void* const ins[]) {
  kstrVector<const BRule*> rules;
  const auto* vector = nIn > 0 ? static_cast<const Vector*>(ins[0]) : nullptr;
  if (vector) {
    for (const OBInterface* element : vector->elements()) {
      if (const auto* rule = dynamic_cast<const BRule*>(componentOf(element))) rules.push_back(rule);
    }
  }
  printTable(rules);
}

void Rule_display_MI::displayOne(int&, void*[], int nIn, void* const ins[]) {
  kstrVector<const BRule*> rules;
  if (nIn > 0) rules.push_back(requireComponent<BRule>(static_cast<const OBInterface*>(ins[0])));
  printTable(rules);
}

void Rule_display_MI::printTable(const kstrVector<const BRule*>& rules) const {
  kstrVector<std::string> types;
  kstrVector<std::string> texts;
  long width = 9;
  for (const BRule* rule : rules) {
    const char* name = rule->getRuleTypeName();
    types.emplace_back(name ? name : "");
    texts.push_back(rule->getRule());
    width = std::max(width, static_cast<long>(types.back().size()));
  }
  hbPrintf("\n");
  hbPrintf("%sKestrion Rule Array\n\n", blankRun(3).c_str());
  hbPrintf("%s%s%s%s%s%s\n", blankRun(3).c_str(), "Index:", blankRun(4).c_str(), "RuleType:",
           blankRun(width - 5).c_str(), "Rule:");
  for (size_t i = 0; i < rules.size(); ++i) {
    const long typeLength = static_cast<long>(types[i].size());
    hbPrintf("%s%d%s%s%s%s\n", blankRun(3).c_str(), static_cast<int>(i + 1),
             blankRun(10 - digitCount(i + 1)).c_str(), types[i].c_str(),
             blankRun(width + 4 - typeLength).c_str(), texts[i].c_str());
  }
  hbPrintf("\n");
}

// --- parserule -----------------------------------------------------------------------------

Rule_parseRule_MI::Rule_parseRule_MI() {
  setName("parserule");
  const std::initializer_list<const char*> outputs = {"PELLAM array", "PELLAM array", "string",
                                                      "string"};
  addMethodSignature(new OBMethodSignature({"handle"}, outputs));
  addMethodSignature(new OBMethodSignature({"handle", "PELLAM array", "bool"}, outputs));
}

void Rule_parseRule_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int, void* const ins[]) {
  const int wanted = std::min(std::max(nOut, 1), 4);
  nOut = wanted;
  const BRule* rule = requireComponent<BRule>(static_cast<const OBInterface*>(ins[0]));
  rule->verifyRuleSyntax(false);
  if (rule->getRule().empty()) return;
  std::set<std::string> first;
  std::set<std::string> second;
  std::string third;
  std::string fourth;
  const bool algebraic = *rule->getRuleType() == BRule::algebraic;
  if (algebraic) {
    rule->getRuleTokens(first);
    third = rule->getRuleString();
  } else {
    rule->getRuleVariableTokens(first);
    rule->getRuleTokens(second);
    third = rule->getRuleVariableString();
    fourth = rule->getRuleString();
  }
  outs[0] = cellRowOf(first);
  if (wanted > 1 && !algebraic) outs[1] = cellRowOf(second);
  if (wanted > 2) outs[2] = textResult(third);
  if (wanted > 3) outs[3] = textResult(fourth);
}

// --- privategetusages ---------------------------------------------------------------------

void Rule_GetComponentUsageLocations_MI::fillUsageLocations(const BRule& owner,
                                                            const OBInterface* used,
                                                            StringVector& out) const {
  const kstr::bcomptype kind = getKestrionObjectEnumType(used);
  if (kind != kstr::species && kind != kstr::parameter && kind != kstr::compartment) return;
  if (owner.isComponentUsedInRule(componentOf(used))) out.addElement("Rule");
}

// --- copyobj --------------------------------------------------------------------------------

bool Rule_copyobj_MI::canCopyInto(OBInterface*, OBInterface* newParent) {
  return newParent && std::strcmp(newParent->getClass()->getName(), "Model") == 0;
}

void Rule_copyobj_MI::attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface*) {
  addRuleBelowModel(copy, newParent);
}
