// The dependency builders: each reaction rate's components, mapped to rows.
#include "compile/DependencyMatrix.hpp"

#include <algorithm>
#include <string>

#include <ks_utils/MParseTree.hpp>

#include "compile/ModelWalk.hpp"
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

// Writes one column per reaction: the rows that rowOf gives for the
// components of its rate, each once, ascending.
template <class RowOf>
void writeRateColumns(const kstrVector<BReaction*>& reactions, SparseColumnWriter& writer,
                      RowOf rowOf) {
  kstrVector<const KelborComponent*> components;
  kstrVector<uint32_t> column;
  for (BReaction* reaction : reactions) {
    components.clear();
    column.clear();
    if (reaction) {
      collectExpressionComponents(*reaction, reaction->getReactionRateParseTree(), components);
    }
    for (const KelborComponent* c : components) {
      const uint32_t row = rowOf(c);
      if (row != kNoRow) column.push_back(row);
    }
    std::sort(column.begin(), column.end());
    column.erase(std::unique(column.begin(), column.end()), column.end());
    writer.reserve(column.size());
    for (uint32_t row : column) writer.append(row, 1.0);
    writer.endColumn();
  }
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
  SparseColumnWriter writer(nS + nP, nR, nR + 10 * (nS + nP));
  if (nR == 0 || nS + nP == 0) return writer.release();
  RowIndex rows;
  if (species) rows.add(*species, 0);
  rows.add(selected, static_cast<uint32_t>(nS));
  writeRateColumns(*reactions, writer, [&rows](const KelborComponent* c) {
    const kstr::bcomptype kind = c->getEnumType();
    return kind == kstr::species || kind == kstr::parameter ? rows.find(c) : kNoRow;
  });
  return writer.release();
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
  // Room for about one value per reaction and component to start with; the
  // array grows as needed.
  SparseColumnWriter writer(nC, nR, nR + nC);
  if (nR == 0 || nC == 0) return writer.release();
  const RowIndex rows(*components);
  writeRateColumns(*reactions, writer, [&rows](const KelborComponent* c) { return rows.find(c); });
  return writer.release();
}

}  // namespace kstr::compile
