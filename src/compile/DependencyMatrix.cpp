// The dependency builders: each reaction rate's components, mapped to rows.
#include "compile/DependencyMatrix.hpp"

#include <algorithm>
#include <string>
#include <vector>

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

// One short loop: the reads for one reaction do not wait on those of the
// last, so the processor has several reactions under way at once, and each
// reaction's rate and token map, which lie close together, are read while
// they are at hand.
void collectRateComponents(const kstrVector<BReaction*>& reactions,
                           kstrVector<const void*>& components, kstrVector<size_t>& ends) {
  components.clear();
  ends.resize(reactions.size());
  for (size_t j = 0; j < reactions.size(); ++j) {
    const BReaction* reaction = reactions[j];
    // Qualified call: the kind is known, so no virtual dispatch.
    if (reaction && reaction->getRate().kstr::MathExpression::isSyntacticallyValid()) {
      for (const auto& [token, component] : reaction->getRate().getSymbolComponentMap()) {
        components.push_back(component);
      }
    } else if (reaction) {
      // A rate that does not parse depends on what it names all the same:
      // an empty column would say it depends on nothing.
      reaction->requireParsedRate();
    }
    ends[j] = components.size();
  }
}

GatheredColumns rateColumns(const kstrVector<const void*>& components,
                            const kstrVector<size_t>& ends, const RowIndex& rows) {
  kstrVector<uint32_t> found(components.size());
  rows.findAll(components.data(), components.size(), found.data());
  GatheredColumns columns;
  columns.ends.reserve(ends.size());
  columns.rows.reserve(components.size());
  size_t k = 0;
  for (size_t end : ends) {
    const auto begin = static_cast<std::ptrdiff_t>(columns.rows.size());
    for (; k < end; ++k) {
      if (found[k] != kNoRow) columns.rows.push_back(found[k]);
    }
    std::sort(columns.rows.begin() + begin, columns.rows.end());
    columns.rows.erase(std::unique(columns.rows.begin() + begin, columns.rows.end()),
                       columns.rows.end());
    columns.endColumn();
  }
  return columns;
}

namespace {

template <class List>
size_t sizeOf(const List* list) {
  return list ? list->size() : 0;
}

GatheredColumns gatherRateColumns(const kstrVector<BReaction*>& reactions, const RowIndex& rows) {
  kstrVector<const void*> components;
  kstrVector<size_t> ends;
  collectRateComponents(reactions, components, ends);
  return rateColumns(components, ends, rows);
}

// Adds the entries of the list that are species or parameters (only those
// can be named by a rate's species and parameter rows); the rest keep their
// position with no row.
template <class List>
void addSpeciesAndParameters(RowIndex& rows, const List& list, uint32_t base) {
  List kept(list.size(), nullptr);
  for (size_t i = 0; i < list.size(); ++i) {
    const kstr::bcomptype kind = list[i] ? list[i]->getEnumType() : kstr::not_a_component;
    if (kind == kstr::species || kind == kstr::parameter) kept[i] = list[i];
  }
  rows.add(kept, base);
}

// The dependency array over the lists; checkKinds leaves entries that are
// neither species nor parameters without a row, which lists from the
// model's own walk never hold.
qxArray* buildDependencies(const kstrVector<BReaction*>* reactions,
                           const kstrVector<BSpecies*>* species,
                           const kstrVector<BParameter*>* parameters,
                           bool includeConstantParameters, bool checkKinds) {
  const size_t nR = sizeOf(reactions);
  const size_t nS = sizeOf(species);
  kstrVector<BParameter*> selected;
  if (parameters) {
    selected.reserve(parameters->size());
    for (BParameter* p : *parameters) {
      if (includeConstantParameters || !p || !p->getConstantValue()) selected.push_back(p);
    }
  }
  const size_t nP = selected.size();
  if (nR == 0 || nS + nP == 0) return createSparseArray(nS + nP, nR, 0);
  RowIndex rows;
  rows.reserve(nS + nP);
  if (checkKinds) {
    if (species) addSpeciesAndParameters(rows, *species, 0);
    addSpeciesAndParameters(rows, selected, static_cast<uint32_t>(nS));
  } else {
    if (species) rows.add(*species, 0);
    rows.add(selected, static_cast<uint32_t>(nS));
  }
  return gatherRateColumns(*reactions, rows).write(nS + nP);
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
  return buildDependencies(reactions, species, parameters, includeConstantParameters, true);
}

qxArray* buildModelDependencyMatrix(const Kelbor* model, bool includeConstantParameters) {
  if (!model) return nullptr;
  // Walked as the compile order is: the kinetic-law parameters of inactive
  // reactions, which active rates may name, keep their columns.
  const ModelWalk walk(model, false, true);
  return buildDependencies(&walk.reactions, &walk.species, &walk.parameters,
                           includeConstantParameters, false);
}

qxArray* buildComponentDependencyMatrix(const kstrVector<BReaction*>* reactions,
                                        const kstrVector<KelborComponent*>* components) {
  const size_t nR = sizeOf(reactions);
  const size_t nC = sizeOf(components);
  if (nR == 0 || nC == 0) return createSparseArray(nC, nR, 0);
  return gatherRateColumns(*reactions, RowIndex(*components)).write(nC);
}

}  // namespace kstr::compile
