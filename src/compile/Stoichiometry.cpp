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

// Sorts (row, value) pairs by row and sums the values of a row held more
// than once.
void sortAndMerge(kstrVector<NetCoefficient>& column) {
  std::sort(column.begin(), column.end(),
            [](const NetCoefficient& a, const NetCoefficient& b) { return a.first < b.first; });
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

// The number of reactant and of product terms of the reactions: bounds of
// the values their columns can hold, so that the arrays are made large
// enough at once.
std::pair<size_t, size_t> countTerms(const kstrVector<BReaction*>& reactions, size_t first) {
  size_t reactants = 0;
  size_t products = 0;
  for (size_t j = first; j < reactions.size(); ++j) {
    if (!reactions[j]) continue;
    reactants += reactions[j]->getNumReactants();
    products += reactions[j]->getNumProducts();
  }
  return {reactants, products};
}

}  // namespace

void computeNetStoichiometry(const double* coefficients, const kstrVector<BSpecies*>& species,
                             size_t offset, const RowIndex& rows,
                             kstrVector<NetCoefficient>& net) {
  net.clear();
  for (size_t i = 0; i < species.size(); ++i) {
    const uint32_t row = rows.find(species[i]);
    if (row != kNoRow) net.emplace_back(row, coefficients[offset + i]);
  }
  sortAndMerge(net);
}

double* ReactionSides::readTerms(const BReaction& reaction) {
  reactantSpecies.clear();
  productSpecies.clear();
  reactants.clear();
  products.clear();
  reaction.getReactants(reactantSpecies);
  reaction.getProducts(productSpecies);
  size_t count = 0;
  double* coefficients = reaction.getStoichiometry(count);
  if (coefficients && count == reactantSpecies.size() + productSpecies.size()) return coefficients;
  hbFree(coefficients);
  return nullptr;
}

void ReactionSides::read(const BReaction& reaction, const RowIndex& rows) {
  const std::unique_ptr<double, HostFree> coefficients(readTerms(reaction));
  if (!coefficients) return;
  computeNetStoichiometry(coefficients.get(), reactantSpecies, 0, rows, reactants);
  computeNetStoichiometry(coefficients.get(), productSpecies, reactantSpecies.size(), rows,
                          products);
}

void ReactionSides::readNet(const BReaction& reaction, const RowIndex& rows,
                            kstrVector<NetCoefficient>& net) {
  net.clear();
  const std::unique_ptr<double, HostFree> coefficients(readTerms(reaction));
  if (!coefficients) return;
  // Reactant and product species in term order, as the coefficients run.
  reactantSpecies.insert(reactantSpecies.end(), productSpecies.begin(), productSpecies.end());
  computeNetStoichiometry(coefficients.get(), reactantSpecies, 0, rows, net);
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
  const auto [reactantTerms, productTerms] = countTerms(walk.reactions, 0);
  SparseColumnWriter writer(nS, nR, std::max(nR + 2 * nS, reactantTerms + productTerms));
  ReactionSides sides;
  kstrVector<NetCoefficient> column;
  for (const BReaction* reaction : walk.reactions) {
    column.clear();
    if (reaction) sides.readNet(*reaction, rows, column);
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
  const auto [reactantTerms, productTerms] = countTerms(reactions, firstReaction);
  SparseColumnWriter reactantWriter(nS, nR, std::max(nR + 2 * nS, reactantTerms));
  SparseColumnWriter productWriter(nS, nR, std::max(nR + 2 * nS, productTerms));
  ReactionSides sides;
  for (size_t j = firstReaction; j < reactions.size(); ++j) {
    sides.read(*reactions[j], rows);
    for (const auto& [row, value] : sides.reactants) reactantWriter.append(row, value);
    for (const auto& [row, value] : sides.products) productWriter.append(row, value);
    reactantWriter.endColumn();
    productWriter.endColumn();
  }
  reactantArray = reactantWriter.release();
  productArray = productWriter.release();
}

}  // namespace kstr::compile
