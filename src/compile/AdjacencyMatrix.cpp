// The adjacency builder: edges between species, the null node and
// reactions, gathered per source node and written column by column.
#include "compile/AdjacencyMatrix.hpp"

#include <algorithm>
#include <string>

#include <obk/Vector.hpp>

#include "compile/ModelWalk.hpp"
#include "compile/RowIndex.hpp"
#include "compile/SparseArrays.hpp"
#include "compile/Stoichiometry.hpp"
#include "expressions/ReactionExpression.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"

namespace kstr::compile {

namespace {

// The edges of the graph, by source node.
struct Edges {
  // (species row, reaction index): species -> reaction, in reaction order.
  kstrVector<std::pair<uint32_t, uint32_t>> fromSpecies;
  // Reactions the null node points to, ascending.
  kstrVector<uint32_t> fromNull;
  // Per reaction, the target rows (species rows, nS for the null node),
  // as a start table over one list.
  kstrVector<size_t> reactionStart;
  kstrVector<uint32_t> reactionTargets;
  bool hasNull = false;
};

// Every reaction's term species bound to a species, read once in place,
// with where each reaction's products start and its terms end and whether
// it is reversible; then the rows of those species, found in one sweep
// over the row index.
struct BoundTerms {
  kstrVector<const void*> species;
  kstrVector<uint32_t> rows;
  kstrVector<size_t> productStart;
  kstrVector<size_t> ends;
  kstrVector<char> reversible;

  void read(const kstrVector<BReaction*>& reactions, const RowIndex& index) {
    productStart.reserve(reactions.size());
    ends.reserve(reactions.size());
    reversible.reserve(reactions.size());
    for (size_t j = 0; j < reactions.size(); ++j) {
      prefetchEquations(reactions, j);
      const BReaction* r = reactions[j];
      const kstr::ReactionExpression& equation = r->getEquation();
      for (size_t i = 0; i < equation.getNumReactants(); ++i) {
        if (const BSpecies* s = equation.getReactantAt(i).getSpecies<BSpecies>()) species.push_back(s);
      }
      productStart.push_back(species.size());
      for (size_t i = 0; i < equation.getNumProducts(); ++i) {
        if (const BSpecies* s = equation.getProductAt(i).getSpecies<BSpecies>()) species.push_back(s);
      }
      ends.push_back(species.size());
      reversible.push_back(r->getReversible() ? 1 : 0);
    }
    rows.resize(species.size());
    index.findAll(species.data(), species.size(), rows.data());
  }
};

// Records the edges of the terms [begin, end) whose species have rows:
// species -> reaction when into, reaction -> species when out.
void addSide(const BoundTerms& terms, size_t begin, size_t end, uint32_t j, bool into, bool out,
             Edges& edges) {
  for (size_t k = begin; k < end; ++k) {
    const uint32_t row = terms.rows[k];
    if (row == kNoRow) continue;
    if (into) edges.fromSpecies.emplace_back(row, j);
    if (out) edges.reactionTargets.push_back(row);
  }
}

// Sorts the entries from first on and keeps each value once.
void keepSortedOnce(kstrVector<uint32_t>& list, size_t first) {
  const size_t end = list.size();
  if (end - first <= 16) {
    // A reaction's few targets: an insertion sort costs less than a call.
    for (size_t i = first + 1; i < end; ++i) {
      const uint32_t value = list[i];
      size_t k = i;
      for (; k > first && value < list[k - 1]; --k) list[k] = list[k - 1];
      list[k] = value;
    }
  } else {
    std::sort(list.begin() + static_cast<std::ptrdiff_t>(first), list.end());
  }
  const auto from = list.begin() + static_cast<std::ptrdiff_t>(first);
  list.erase(std::unique(from, list.end()), list.end());
}

Edges gatherEdges(const BoundTerms& terms, size_t nS) {
  Edges edges;
  const size_t nR = terms.ends.size();
  edges.reactionStart.reserve(nR + 1);
  edges.reactionStart.push_back(0);
  edges.fromSpecies.reserve(terms.species.size());
  edges.reactionTargets.reserve(terms.species.size() + nR);
  size_t begin = 0;
  for (uint32_t j = 0; j < nR; ++j) {
    const size_t middle = terms.productStart[j];
    const size_t end = terms.ends[j];
    const bool reversible = terms.reversible[j] != 0;
    const bool noReactants = middle == begin;
    const bool noProducts = end == middle;
    const size_t first = edges.reactionTargets.size();
    addSide(terms, begin, middle, j, true, reversible, edges);
    addSide(terms, middle, end, j, reversible, true, edges);
    begin = end;
    if (noReactants || noProducts) edges.hasNull = true;
    // The null node: source of a reaction without reactants, target of one
    // without products; the reverse too for a reversible reaction.
    const bool nullIn = noReactants || (reversible && noProducts);
    const bool nullOut = noProducts || (reversible && noReactants);
    if (nullIn) edges.fromNull.push_back(j);
    if (nullOut) edges.reactionTargets.push_back(static_cast<uint32_t>(nS));
    keepSortedOnce(edges.reactionTargets, first);
    edges.reactionStart.push_back(edges.reactionTargets.size());
  }
  return edges;
}

// The reactions each species points to, as a start table (one entry per
// species and one more) over one list: a counting sort of the species
// edges, which keeps the reactions ascending within each species; an edge
// recorded twice (a species on both sides of a reversible reaction) is
// kept once.
void groupBySpecies(const Edges& edges, size_t nS, kstrVector<size_t>& start,
                    kstrVector<uint32_t>& targets) {
  start.assign(nS + 1, 0);
  for (const auto& edge : edges.fromSpecies) ++start[edge.first + 1];
  for (size_t s = 0; s < nS; ++s) start[s + 1] += start[s];
  targets.assign(edges.fromSpecies.size(), 0);
  kstrVector<size_t> next(start.begin(), start.end() - 1);
  for (const auto& [species, reaction] : edges.fromSpecies) targets[next[species]++] = reaction;
  // Repeats lie next to each other within a species: keep each once.
  size_t kept = 0;
  for (size_t s = 0; s < nS; ++s) {
    const size_t end = start[s + 1];
    const size_t begin = start[s];
    start[s] = kept;
    for (size_t k = begin; k < end; ++k) {
      if (k == begin || targets[k] != targets[k - 1]) targets[kept++] = targets[k];
    }
  }
  start[nS] = kept;
  targets.resize(kept);
}

void appendNode(bool wantNames, StringVector* names, bool wantKinds, std::deque<int32_t>* kinds,
                const KelborComponent* component, int32_t kind) {
  if (wantNames && names) {
    std::string name;
    if (component) {
      component->getDQN(name);
    } else {
      name = "null";
    }
    names->addElement(name.c_str());
  }
  if (wantKinds && kinds) kinds->push_back(kind);
}

}  // namespace

qxArray* buildAdjacencyMatrix(const KelborComponent* component, bool wantNames,
                              StringVector* names, bool wantKinds, std::deque<int32_t>* kinds) {
  checkMatrixComponent(component);
  kstrVector<BSpecies*> species;
  kstrVector<BReaction*> reactions;
  collectSpeciesAndReactions(component, species, reactions);
  const size_t nS = species.size();
  const size_t nR = reactions.size();
  if (nS == 0) {
    warnNoSpecies();
    return nullptr;
  }
  if (nR == 0) {
    warnNoReactions();
    return nullptr;
  }
  BoundTerms terms;
  terms.read(reactions, RowIndex(species));
  const Edges edges = gatherEdges(terms, nS);
  const size_t h = edges.hasNull ? 1 : 0;
  const size_t first = nS + h;  // row of reaction 0
  kstrVector<size_t> start;
  kstrVector<uint32_t> targets;
  groupBySpecies(edges, nS, start, targets);
  // Room for exactly the edges, which are all known by now.
  SparseColumnWriter writer(first + nR, first + nR,
                            targets.size() + edges.fromNull.size() + edges.reactionTargets.size());
  for (size_t c = 0; c < nS; ++c) {
    appendNode(wantNames, names, wantKinds, kinds, species[c], 1);
    for (size_t k = start[c]; k < start[c + 1]; ++k) writer.append(first + targets[k], 1.0);
    writer.endColumn();
  }
  if (h) {
    appendNode(wantNames, names, wantKinds, kinds, nullptr, 1);
    for (uint32_t j : edges.fromNull) writer.append(first + j, 1.0);
    writer.endColumn();
  }
  for (size_t j = 0; j < nR; ++j) {
    appendNode(wantNames, names, wantKinds, kinds, reactions[j], 0);
    for (size_t k = edges.reactionStart[j]; k < edges.reactionStart[j + 1]; ++k) {
      writer.append(edges.reactionTargets[k], 1.0);
    }
    writer.endColumn();
  }
  return writer.release();
}

}  // namespace kstr::compile
