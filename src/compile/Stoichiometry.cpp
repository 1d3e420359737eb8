// The stoichiometry builders: net coefficients per reaction, the
// stoichiometry matrix and the compile services' reactant and product
// arrays.
#include "compile/Stoichiometry.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <obk/Vector.hpp>

#include "compile/ModelWalk.hpp"
#include "compile/ReactionTerms.hpp"
#include "compile/RowIndex.hpp"
#include "compile/SparseArrays.hpp"
#include "expressions/ReactionExpression.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"

namespace kstr::compile {

namespace {

// Sorts (row, value) pairs by row and sums the values of a row held more
// than once.
void sortAndMerge(kstrVector<NetCoefficient>& column) {
  const auto byRow = [](const NetCoefficient& a, const NetCoefficient& b) {
    return a.first < b.first;
  };
  if (column.size() <= 16) {
    // A reaction's few terms: an insertion sort costs less than a call.
    for (size_t i = 1; i < column.size(); ++i) {
      const NetCoefficient entry = column[i];
      size_t k = i;
      for (; k > 0 && byRow(entry, column[k - 1]); --k) column[k] = column[k - 1];
      column[k] = entry;
    }
  } else {
    std::sort(column.begin(), column.end(), byRow);
  }
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

// Calls add(species, signed coefficient) for each term of one side, in
// term order (reactant coefficients negated); false at the first term
// bound to no species.
template <class Add>
bool forEachSignedTerm(const kstr::ReactionExpression& equation, bool productSide, Add add) {
  const size_t count = productSide ? equation.getNumProducts() : equation.getNumReactants();
  const double sign = productSide ? 1.0 : -1.0;
  for (size_t i = 0; i < count; ++i) {
    const kstr::ReactionTerm& term =
        productSide ? equation.getProductAt(i) : equation.getReactantAt(i);
    const BSpecies* species = term.getSpecies<BSpecies>();
    if (!species) return false;
    add(species, sign * term.stoichiometry);
  }
  return true;
}

// Appends (row, signed coefficient) for each term of one side whose species
// has a row; false, with out left as it may be, at a term bound to no
// species.
bool appendSide(const kstr::ReactionExpression& equation, bool productSide, const RowIndex& rows,
                kstrVector<NetCoefficient>& out) {
  return forEachSignedTerm(equation, productSide, [&](const BSpecies* species, double value) {
    const uint32_t row = rows.find(species);
    if (row != kNoRow) out.emplace_back(row, value);
  });
}

// What a row's net is made of: the sum of its terms' magnitudes and how
// many terms were summed.
struct NetSource {
  double magnitude = 0.0;
  uint32_t terms = 0;
};

// Whether a net coefficient is zero and is dropped: a sum of terms of
// opposite sign that cancel within the rounding of the summation, which
// grows with the terms' magnitude ('3.3 A + 6.6 A -> 9.9 A'), or exactly
// zero.  A single term is never dropped, however small its coefficient.
bool isZeroNet(double value, const NetSource& source) {
  if (value == 0.0) return true;
  if (source.terms < 2) return false;
  return std::fabs(value) <=
         static_cast<double>(source.terms - 1) * DBL_EPSILON * source.magnitude;
}

// Nets the terms [k, end) of one reaction into the table's lists at [out,
// ...): each row once, rows ascending, the coefficients of a row summed in
// term order; terms without a row are left out.  sources[i] describes the
// entry first + i.  Returns the new end of the lists.  out never passes k,
// so the lists are rewritten in place.
size_t netTermsInPlace(ReactionTermTable& t, size_t k, size_t end, size_t out,
                       kstrVector<NetSource>& sources) {
  const size_t first = out;
  sources.clear();
  const auto addTo = [&](size_t at, double value) {
    t.coefficients[at] += value;
    sources[at - first].magnitude += std::fabs(value);
    ++sources[at - first].terms;
  };
  if (end - k > 16) {
    // Many terms: a stable sort keeps each row's terms in term order.
    kstrVector<NetCoefficient> column;
    for (; k < end; ++k) {
      if (t.rows[k] != kNoRow) column.emplace_back(t.rows[k], t.coefficients[k]);
    }
    std::stable_sort(column.begin(), column.end(),
                     [](const NetCoefficient& a, const NetCoefficient& b) {
                       return a.first < b.first;
                     });
    for (const auto& [row, value] : column) {
      if (out > first && t.rows[out - 1] == row) {
        addTo(out - 1, value);
      } else {
        t.rows[out] = row;
        t.coefficients[out++] = value;
        sources.push_back({std::fabs(value), 1});
      }
    }
    return out;
  }
  // A reaction's few terms: each inserted into the sorted part so far.
  for (; k < end; ++k) {
    const uint32_t row = t.rows[k];
    const double value = t.coefficients[k];
    if (row == kNoRow) continue;
    size_t i = out;
    while (i > first && t.rows[i - 1] > row) --i;
    if (i > first && t.rows[i - 1] == row) {
      addTo(i - 1, value);
      continue;
    }
    for (size_t m = out; m > i; --m) {
      t.rows[m] = t.rows[m - 1];
      t.coefficients[m] = t.coefficients[m - 1];
    }
    t.rows[i] = row;
    t.coefficients[i] = value;
    sources.insert(sources.begin() + static_cast<std::ptrdiff_t>(i - first),
                   NetSource{std::fabs(value), 1});
    ++out;
  }
  return out;
}

}  // namespace

void netStoichiometryColumns(ReactionTermTable& table) {
  size_t out = 0;
  size_t k = 0;
  kstrVector<NetSource> sources;
  for (size_t j = 0; j < table.ends.size(); ++j) {
    const size_t end = table.ends[j];
    const size_t first = out;
    if (table.flags[j] & ReactionTermTable::kComplete) {
      out = netTermsInPlace(table, k, end, out, sources);
    }
    k = end;
    size_t kept = first;
    for (size_t i = first; i < out; ++i) {
      if (isZeroNet(table.coefficients[i], sources[i - first])) continue;
      table.rows[kept] = table.rows[i];
      table.coefficients[kept++] = table.coefficients[i];
    }
    out = kept;
    table.ends[j] = out;
  }
  table.rows.resize(out);
  table.coefficients.resize(out);
}

qxArray* writeStoichiometryColumns(const ReactionTermTable& table, size_t speciesCount) {
  return writeSparseColumns(speciesCount, table.rows.data(), table.coefficients.data(),
                            table.ends.data(), table.ends.size());
}

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

void ReactionSides::read(const BReaction& reaction, const RowIndex& rows) {
  reactants.clear();
  products.clear();
  const kstr::ReactionExpression& equation = reaction.getEquation();
  if (!equation.isSyntacticallyValid() ||
      !appendSide(equation, false, rows, reactants) ||
      !appendSide(equation, true, rows, products)) {
    reactants.clear();
    products.clear();
    return;
  }
  sortAndMerge(reactants);
  sortAndMerge(products);
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
  kstrVector<BSpecies*> species;
  kstrVector<BReaction*> reactions;
  collectSpeciesAndReactions(component, species, reactions);
  const size_t nS = species.size();
  const size_t nR = reactions.size();
  if (nS == 0) {
    warnNoSpecies();
    return nullptr;
  }
  if (wantSpeciesNames && speciesNames) {
    for (const BSpecies* s : species) appendDisplayName(speciesNames, s);
  }
  if (nR == 0) {
    warnNoReactions();
    return createSparseArray(nS, 0, 0);
  }
  ReactionTermTable terms;
  terms.read(reactions, RowIndex(species));
  if (wantReactionNames && reactionNames) {
    for (const BReaction* r : reactions) appendDisplayName(reactionNames, r);
  }
  netStoichiometryColumns(terms);
  return writeStoichiometryColumns(terms, nS);
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
  GatheredColumns reactantColumns;
  GatheredColumns productColumns;
  reactantColumns.ends.reserve(nR);
  productColumns.ends.reserve(nR);
  ReactionSides sides;
  for (size_t j = firstReaction; j < reactions.size(); ++j) {
    sides.read(*reactions[j], rows);
    for (const auto& [row, value] : sides.reactants) {
      reactantColumns.rows.push_back(row);
      reactantColumns.values.push_back(value);
    }
    for (const auto& [row, value] : sides.products) {
      productColumns.rows.push_back(row);
      productColumns.values.push_back(value);
    }
    reactantColumns.endColumn();
    productColumns.endColumn();
  }
  reactantArray = reactantColumns.write(nS);
  try {
    productArray = productColumns.write(nS);
  } catch (...) {
    qxDestroyArray(reactantArray);
    reactantArray = nullptr;
    throw;
  }
}

}  // namespace kstr::compile
