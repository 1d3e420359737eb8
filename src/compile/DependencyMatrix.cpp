// The dependency builders: each reaction rate's components, mapped to rows.
#include "compile/DependencyMatrix.hpp"

#include <algorithm>
#include <string>

#include <ks_utils/MParseTree.hpp>

#include "compile/ModelWalk.hpp"
#include "expressions/MathExpression.hpp"
#include "compile/RowIndex.hpp"
#include "compile/SparseArrays.hpp"
#include "model/Kelbor.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"

namespace kstr::compile {

namespace {

template <class List>
size_t sizeOf(const List* list) {
  return list ? list->size() : 0;
}

// The components the names of a reaction's rate denote.  The reaction keeps
// its rate resolved as the model changes, so its token map answers what
// resolving each name of the parse tree would; a rate that is empty or does
// not parse names nothing.
void collectRateComponents(const BReaction& reaction, kstrVector<const KelborComponent*>& out) {
  if (!reaction.getReactionRateParseTree()) return;
  const boost::shared_ptr<kstr::MathExpression> rate = reaction.getReactionRateExpression();
  for (const auto& [token, component] : rate->getSymbolComponentMap()) {
    if (component) out.push_back(component);
  }
}

// The rows that rowOf gives for the components of each reaction's rate,
// each once, ascending: one flat list with the end of each column.
struct RateColumns {
  kstrVector<uint32_t> rows;
  kstrVector<size_t> ends;
};

template <class RowOf>
RateColumns gatherRateColumns(const kstrVector<BReaction*>& reactions, RowOf rowOf) {
  RateColumns columns;
  columns.ends.reserve(reactions.size());
  kstrVector<const KelborComponent*> components;
  for (BReaction* reaction : reactions) {
    components.clear();
    if (reaction) collectRateComponents(*reaction, components);
    const auto begin = static_cast<std::ptrdiff_t>(columns.rows.size());
    for (const KelborComponent* c : components) {
      const uint32_t row = rowOf(c);
      if (row != kNoRow) columns.rows.push_back(row);
    }
    std::sort(columns.rows.begin() + begin, columns.rows.end());
    columns.rows.erase(std::unique(columns.rows.begin() + begin, columns.rows.end()),
                       columns.rows.end());
    columns.ends.push_back(columns.rows.size());
  }
  return columns;
}

// The array of the gathered columns, made with room for exactly their
// values.
qxArray* writeColumns(size_t rowCount, const RateColumns& columns) {
  SparseColumnWriter writer(rowCount, columns.ends.size(), columns.rows.size());
  size_t k = 0;
  for (size_t end : columns.ends) {
    for (; k < end; ++k) writer.append(columns.rows[k], 1.0);
    writer.endColumn();
  }
  return writer.release();
}

}  // namespace

void collectExpressionComponents(ExpressionBasedComponent& owner,
                                 const boost::shared_ptr<const MParseTree>& tree,
                                 kstrVector<const KelborComponent*>& out) {
  if (!tree) return;
  const boost::shared_ptr<ModelGlobalData> data = owner.getModelGlobalData();
  if (!data || !data->model) return;
  // The predicate resolves each distinct name once and keeps what it finds.
  kstrVector<std::string> tokens;
  tree->parsePLExpression(
      tokens,
      [&owner, &out](const std::string& token) -> uint64_t {
        const KelborComponent* c = owner.resolveSymbol(token);
        if (c) out.push_back(c);
        return c != nullptr;
      },
      true);
}

qxArray* buildSpeciesParameterDependencyMatrix(const kstrVector<BReaction*>* reactions,
                                               const kstrVector<BSpecies*>* species,
                                               const kstrVector<BParameter*>* parameters,
                                               bool includeConstantParameters) {
  const size_t nR = sizeOf(reactions);
  const size_t nS = sizeOf(species);
  kstrVector<BParameter*> selected;
  if (parameters) {
    for (BParameter* p : *parameters) {
      if (includeConstantParameters || !p || !p->getConstantValue()) selected.push_back(p);
    }
  }
  const size_t nP = selected.size();
  if (nR == 0 || nS + nP == 0) return createSparseArray(nS + nP, nR, 0);
  RowIndex rows;
  if (species) rows.add(*species, 0);
  rows.add(selected, static_cast<uint32_t>(nS));
  return writeColumns(nS + nP, gatherRateColumns(*reactions, [&rows](const KelborComponent* c) {
    const kstr::bcomptype kind = c->getEnumType();
    return kind == kstr::species || kind == kstr::parameter ? rows.find(c) : kNoRow;
  }));
}

qxArray* buildModelDependencyMatrix(const Kelbor* model, bool includeConstantParameters) {
  if (!model) return nullptr;
  const ModelWalk walk(model, false, false);
  return buildSpeciesParameterDependencyMatrix(&walk.reactions, &walk.species, &walk.parameters,
                                               includeConstantParameters);
}

qxArray* buildComponentDependencyMatrix(const kstrVector<BReaction*>* reactions,
                                        const kstrVector<KelborComponent*>* components) {
  const size_t nR = sizeOf(reactions);
  const size_t nC = sizeOf(components);
  if (nR == 0 || nC == 0) return createSparseArray(nC, nR, 0);
  const RowIndex rows(*components);
  return writeColumns(
      nC, gatherRateColumns(*reactions, [&rows](const KelborComponent* c) { return rows.find(c); }));
}

}  // namespace kstr::compile
