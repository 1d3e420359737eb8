// The stoichiometry builders: net coefficients per reaction, the
// stoichiometry matrix and the compile services' reactant and product
// arrays.
#include "compile/Stoichiometry.hpp"

#include <algorithm>
#include <memory>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <obk/Vector.hpp>

#include "compile/ModelWalk.hpp"
#include "compile/RowIndex.hpp"
#include "compile/SparseArrays.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"

namespace kstr::compile {

namespace {

struct HostFree {
  void operator()(double* p) const { hbFree(p); }
};

// (row, value) pairs of one column.
using ColumnValues = kstrVector<std::pair<size_t, double>>;

void appendRows(const kstrVector<NetCoefficient>& net, const RowIndex& rows,
                ColumnValues& column) {
  for (const NetCoefficient& entry : net) {
    const uint32_t row = rows.find(entry.first);
    if (row != kNoRow) column.emplace_back(row, entry.second);
  }
}

// Sorts by row and sums the values of a row held twice (a species on both
// sides).
void sortAndMerge(ColumnValues& column) {
  std::sort(column.begin(), column.end());
  size_t kept = 0;
  for (size_t i = 0; i < column.size(); ++i) {
    if (kept > 0 && column[kept - 1].first == column[i].first) {
      column[kept - 1].second += column[i].second;
    } else {
      column[kept++] = column[i];
    }
  }
  column.resize(kept);
}

void appendDisplayName(StringVector* names, const KelborComponent* component) {
  std::string name;
  if (component) component->getDQN(name);
  names->addElement(name.c_str());
}

}  // namespace

void computeNetStoichiometry(const double* coefficients, const kstrVector<BSpecies*>& species,
                             size_t offset, kstrVector<NetCoefficient>& net) {
  net.clear();
  for (size_t i = 0; i < species.size(); ++i) net.emplace_back(species[i], coefficients[offset + i]);
  std::stable_sort(net.begin(), net.end(), [](const NetCoefficient& a, const NetCoefficient& b) {
    return std::less<const BSpecies*>()(a.first, b.first);
  });
  size_t kept = 0;
  for (size_t i = 0; i < net.size(); ++i) {
    if (kept > 0 && net[kept - 1].first == net[i].first) {
      net[kept - 1].second += net[i].second;
    } else {
      net[kept++] = net[i];
    }
  }
  net.resize(kept);
}

void ReactionSides::read(const BReaction& reaction) {
  reactantSpecies.clear();
  productSpecies.clear();
  reactants.clear();
  products.clear();
  reaction.getReactants(reactantSpecies);
  reaction.getProducts(productSpecies);
  size_t count = 0;
  const std::unique_ptr<double, HostFree> coefficients(reaction.getStoichiometry(count));
  if (!coefficients || count != reactantSpecies.size() + productSpecies.size()) return;
  computeNetStoichiometry(coefficients.get(), reactantSpecies, 0, reactants);
  computeNetStoichiometry(coefficients.get(), productSpecies, reactantSpecies.size(), products);
}

void checkMatrixComponent(const KelborComponent* component) {
  const kstr::bcomptype kind = component ? component->getEnumType() : kstr::not_a_component;
  if (kind != kstr::kstrmodel && kind != kstr::reaction) {
    kstr_error("Kestrion:MatrixUnsupportedComponent",
               kstr::code(kstr::MessageCode::KS_MATRIX_UNSUPPORTED_COMPONENT));
  }
}

void warnNoSpecies() {
  hb_warning_id(hbGetWarningContext(), "Kestrion:MATRIX_NO_SPECIES",
                kstr::code(kstr::MessageCode::KS_MATRIX_NO_SPECIES));
}

void warnNoReactions() {
  hb_warning_id(hbGetWarningContext(), "Kestrion:MATRIX_NO_REACTIONS",
                kstr::code(kstr::MessageCode::KS_MATRIX_NO_REACTIONS));
}

qxArray* buildStoichiometryMatrix(const KelborComponent* component, bool wantSpeciesNames,
                                  StringVector* speciesNames, bool wantReactionNames,
                                  StringVector* reactionNames) {
  checkMatrixComponent(component);
  ModelWalk walk(component, true, false);
  const size_t nS = walk.species.size();
  const size_t nR = walk.reactions.size();
  if (nS == 0) {
    warnNoSpecies();
    return nullptr;
  }
  if (wantSpeciesNames && speciesNames) {
    for (const BSpecies* s : walk.species) appendDisplayName(speciesNames, s);
  }
  if (nR == 0) {
    warnNoReactions();
    return createSparseArray(nS, 0, 0);
  }
  const RowIndex rows(walk.species);
  SparseColumnWriter writer(nS, nR, nR + 2 * nS);
  ReactionSides sides;
  ColumnValues column;
  for (const BReaction* reaction : walk.reactions) {
    column.clear();
    if (reaction) {
      sides.read(*reaction);
      appendRows(sides.reactants, rows, column);
      appendRows(sides.products, rows, column);
      sortAndMerge(column);
    }
    if (wantReactionNames && reactionNames) appendDisplayName(reactionNames, reaction);
    for (const auto& [row, value] : column) {
      if (!hbEqualWithinEps(value, 0.0)) writer.append(row, value);
    }
    writer.endColumn();
  }
  return writer.release();
}

void buildCompileStoichiometry(const Kelbor* model, qxArray*& reactantArray,
                               qxArray*& productArray, kstrVector<BReaction*>& reactions,
                               kstrVector<Kelbor*>& models, kstrVector<BEvent*>& events,
                               kstrVector<BRule*>& rules) {
  checkMatrixComponent(model);
  kstrVector<BSpecies*> species;
  kstrVector<BParameter*> parameters;
  kstrVector<BCompartment*> compartments;
  const size_t firstReaction = reactions.size();
  collectModelHierarchyComponents(
      {species, parameters, compartments, models, reactions, events, rules}, model, false, false);
  const size_t nS = species.size();
  const size_t nR = reactions.size() - firstReaction;
  if (nS == 0 || nR == 0) return;
  const RowIndex rows(species);
  SparseColumnWriter reactantWriter(nS, nR, nR + 2 * nS);
  SparseColumnWriter productWriter(nS, nR, nR + 2 * nS);
  ReactionSides sides;
  ColumnValues column;
  for (size_t j = firstReaction; j < reactions.size(); ++j) {
    if (reactions[j]) sides.read(*reactions[j]);
    for (auto [net, writer] : {std::pair{&sides.reactants, &reactantWriter},
                               std::pair{&sides.products, &productWriter}}) {
      column.clear();
      if (reactions[j]) appendRows(*net, rows, column);
      std::sort(column.begin(), column.end());
      for (const auto& [row, value] : column) writer->append(row, value);
      writer->endColumn();
    }
  }
  reactantArray = reactantWriter.release();
  productArray = productWriter.release();
}

}  // namespace kstr::compile
