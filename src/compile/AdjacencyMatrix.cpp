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

void addSide(const kstrVector<BSpecies*>& side, const RowIndex& rows, uint32_t j, bool into,
             bool out, Edges& edges) {
  for (const BSpecies* s : side) {
    const uint32_t row = rows.find(s);
    if (row == kNoRow) continue;
    if (into) edges.fromSpecies.emplace_back(row, j);
    if (out) edges.reactionTargets.push_back(row);
  }
}

Edges gatherEdges(const ModelWalk& walk, const RowIndex& rows) {
  Edges edges;
  const auto nS = static_cast<uint32_t>(walk.species.size());
  kstrVector<BSpecies*> reactants;
  kstrVector<BSpecies*> products;
  edges.reactionStart.push_back(0);
  for (uint32_t j = 0; j < walk.reactions.size(); ++j) {
    const BReaction* r = walk.reactions[j];
    reactants.clear();
    products.clear();
    r->getReactants(reactants);
    r->getProducts(products);
    const bool reversible = r->getReversible();
    const size_t first = edges.reactionTargets.size();
    addSide(reactants, rows, j, true, reversible, edges);
    addSide(products, rows, j, reversible, true, edges);
    if (reactants.empty() || products.empty()) edges.hasNull = true;
    // The null node: source of a reaction without reactants, target of one
    // without products; the reverse too for a reversible reaction.
    const bool nullIn = reactants.empty() || (reversible && products.empty());
    const bool nullOut = products.empty() || (reversible && reactants.empty());
    if (nullIn) edges.fromNull.push_back(j);
    if (nullOut) edges.reactionTargets.push_back(nS);
    auto begin = edges.reactionTargets.begin() + static_cast<std::ptrdiff_t>(first);
    std::sort(begin, edges.reactionTargets.end());
    edges.reactionTargets.erase(std::unique(begin, edges.reactionTargets.end()),
                                edges.reactionTargets.end());
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
  const ModelWalk walk(component, true, false);
  const size_t nS = walk.species.size();
  const size_t nR = walk.reactions.size();
  if (nS == 0) {
    warnNoSpecies();
    return nullptr;
  }
  if (nR == 0) {
    warnNoReactions();
    return nullptr;
  }
  const RowIndex rows(walk.species);
  const Edges edges = gatherEdges(walk, rows);
  const size_t h = edges.hasNull ? 1 : 0;
  const size_t first = nS + h;  // row of reaction 0
  // Room for every edge at once (the edges are known by now).
  const size_t edgeCount =
      edges.fromSpecies.size() + edges.fromNull.size() + edges.reactionTargets.size();
  SparseColumnWriter writer(first + nR, first + nR, std::max(nR + 2 * (nS + h), edgeCount));
  kstrVector<size_t> start;
  kstrVector<uint32_t> targets;
  groupBySpecies(edges, nS, start, targets);
  for (size_t c = 0; c < nS; ++c) {
    appendNode(wantNames, names, wantKinds, kinds, walk.species[c], 1);
    for (size_t k = start[c]; k < start[c + 1]; ++k) {
      if (k == start[c] || targets[k] != targets[k - 1]) writer.append(first + targets[k], 1.0);
    }
    writer.endColumn();
  }
  if (h) {
    appendNode(wantNames, names, wantKinds, kinds, nullptr, 1);
    for (uint32_t j : edges.fromNull) writer.append(first + j, 1.0);
    writer.endColumn();
  }
  for (size_t j = 0; j < nR; ++j) {
    appendNode(wantNames, names, wantKinds, kinds, walk.reactions[j], 0);
    for (size_t k = edges.reactionStart[j]; k < edges.reactionStart[j + 1]; ++k) {
      writer.append(edges.reactionTargets[k], 1.0);
    }
    writer.endColumn();
  }
  return writer.release();
}

}  // namespace kstr::compile
