// The rule Jacobian pattern: each rate or algebraic rule's determined
// quantity and the quantities its expression names, as (row, column)
// pairs written column by column.
#include "compile/RuleJacobianPattern.hpp"

#include <algorithm>
#include <cstring>
#include <set>
#include <unordered_set>

#include "compile/DependencyMatrix.hpp"
#include "compile/RowIndex.hpp"
#include "compile/SparseArrays.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BRule.hpp"

namespace kstr::compile {

namespace {

// The row a rule determines and the columns its expression names; kNoRow
// for names and variables outside the quantities.
struct RuleDependency {
  uint32_t row = 0;
  std::set<uint32_t> deps;
  bool operator<(const RuleDependency& other) const {
    return row != other.row ? row < other.row : deps < other.deps;
  }
};

// The list with every repeated non-null entry after its first occurrence
// left out.
template <class T>
kstrVector<T*> distinctEntries(const kstrVector<T*>* list) {
  kstrVector<T*> out;
  if (!list) return out;
  std::unordered_set<const T*> seen;
  for (T* entry : *list) {
    if (!entry || seen.insert(entry).second) out.push_back(entry);
  }
  return out;
}

// The rows of the components the parse tree names in the rule's scope, in
// the tree's order.
kstrVector<uint32_t> rowsNamedBy(BRule& rule, const boost::shared_ptr<const MParseTree>& tree,
                                 const RowIndex& rows) {
  kstrVector<const KelborComponent*> components;
  collectExpressionComponents(rule, tree, components);
  kstrVector<uint32_t> out;
  for (const KelborComponent* c : components) out.push_back(rows.find(c));
  return out;
}

RuleDependency rateRuleDependency(BRule& rule, const RowIndex& rows) {
  RuleDependency dependency;
  const kstrVector<uint32_t> variable = rowsNamedBy(rule, rule.getRuleVariableParseTree(), rows);
  if (variable.empty()) return dependency;
  dependency.row = variable.front();
  for (uint32_t row : rowsNamedBy(rule, rule.getRuleParseTree(), rows)) dependency.deps.insert(row);
  return dependency;
}

RuleDependency algebraicRuleDependency(BRule* rule, const KelborComponent* variable,
                                       const RowIndex& rows) {
  RuleDependency dependency;
  if (!rule || !variable) return dependency;
  const kstr::bcomptype kind = variable->getEnumType();
  dependency.row =
      kind == kstr::species || kind == kstr::parameter ? rows.find(variable) : kNoRow;
  for (uint32_t row : rowsNamedBy(*rule, rule->getRuleParseTree(), rows)) {
    dependency.deps.insert(row);
  }
  return dependency;
}

bool hasType(const BRule& rule, const char* type) {
  const char* name = rule.getRuleTypeName();
  return name && std::strcmp(name, type) == 0;
}

}  // namespace

qxArray* buildRuleJacobianPattern(const kstrVector<BRule*>* rules,
                                  const kstrVector<BSpecies*>* species,
                                  const kstrVector<BParameter*>* parameters,
                                  const kstrVector<KelborComponent*>* algebraicVariables) {
  const kstrVector<BSpecies*> distinctSpecies = distinctEntries(species);
  kstrVector<BParameter*> varying;
  for (BParameter* p : distinctEntries(parameters)) {
    if (!p || !p->getConstantValue()) varying.push_back(p);
  }
  const size_t nS = distinctSpecies.size();
  const size_t n = nS + varying.size();
  RowIndex rows(distinctSpecies);
  rows.add(varying, static_cast<uint32_t>(nS));

  std::set<RuleDependency> dependencies;
  size_t algebraic = 0;
  for (BRule* rule : rules ? *rules : kstrVector<BRule*>()) {
    if (!rule) continue;
    if (hasType(*rule, "rate")) {
      dependencies.insert(rateRuleDependency(*rule, rows));
    } else if (hasType(*rule, "algebraic")) {
      const size_t k = algebraic++;
      const KelborComponent* variable =
          algebraicVariables && k < algebraicVariables->size() ? (*algebraicVariables)[k] : nullptr;
      dependencies.insert(algebraicRuleDependency(rule, variable, rows));
    }
  }

  // (column, row) of every mark, each once.
  size_t capacity = 1;
  kstrVector<std::pair<uint32_t, uint32_t>> marks;
  for (const RuleDependency& dependency : dependencies) {
    capacity += dependency.deps.size();
    if (dependency.row == kNoRow) continue;
    for (uint32_t column : dependency.deps) {
      if (column != kNoRow) marks.emplace_back(column, dependency.row);
    }
  }
  std::sort(marks.begin(), marks.end());
  marks.erase(std::unique(marks.begin(), marks.end()), marks.end());

  SparseColumnWriter writer(n, n, std::max(capacity, marks.size()));
  size_t k = 0;
  for (uint32_t column = 0; column < n; ++column) {
    for (; k < marks.size() && marks[k].first == column; ++k) writer.append(marks[k].second, 1.0);
    writer.endColumn();
  }
  return writer.release();
}

}  // namespace kstr::compile
