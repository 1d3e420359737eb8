// The stoichiometry matrix (species by reactions, net coefficients) and the
// reactant and product arrays that the compile services hand over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include <ks_utils/kstrContainers.hpp>
#include <qx/qx.hpp>

#include "core/KelborApi.hpp"

class BEvent;
class BReaction;
class BRule;
class BSpecies;
class Kelbor;
class KelborComponent;
class StringVector;

namespace kstr::compile {

class RowIndex;
struct ReactionTermTable;

// One distinct row (species) of a reaction side with its summed
// coefficient.
using NetCoefficient = std::pair<uint32_t, double>;

// Appends, for the i-th species of the list, coefficients[offset + i] to
// the net of its row, one entry per distinct row, rows ascending; species
// without a row are left out.  net is cleared first.
KELBOR_API void computeNetStoichiometry(const double* coefficients,
                                        const kstrVector<BSpecies*>& species, size_t offset,
                                        const RowIndex& rows, kstrVector<NetCoefficient>& net);

// The net reactant and product coefficients of one reaction by row, read
// from its terms without copying them.  A reaction whose equation is not
// valid, or that has a term bound to no species, gives no coefficients.
struct KELBOR_API ReactionSides {
  kstrVector<NetCoefficient> reactants;
  kstrVector<NetCoefficient> products;
  // Fills both lists for the reaction (the lists are reused): reactant
  // coefficients negative.
  void read(const BReaction& reaction, const RowIndex& rows);
};

// The stoichiometry matrix's columns made from the table in place: for a
// reaction whose flags say complete, its terms whose species have rows, one
// entry per row, rows ascending, the coefficients of a row summed in term
// order; a net of several terms that cancel within the rounding of their
// sum is dropped, a single term never; nothing for any other reaction.  Afterwards
// the table's rows and coefficients hold the columns one after another and
// ends[j] is where column j ends.
KELBOR_API void netStoichiometryColumns(ReactionTermTable& table);

// A new persistent speciesCount x reactions array of the netted columns.
// Raises "Kestrion:KS_MallocError" when it cannot be made.
KELBOR_API qxArray* writeStoichiometryColumns(const ReactionTermTable& table,
                                              size_t speciesCount);

// Raises "Kestrion:MatrixUnsupportedComponent" unless the component is a
// model or a reaction (a null component included).
KELBOR_API void checkMatrixComponent(const KelborComponent* component);

// The nS x nR matrix of net stoichiometries over every reaction, inactive
// ones included; zero nets are dropped.  Without species: the warning
// "Kestrion:MATRIX_NO_SPECIES" and null.  Without reactions: the warning
// "Kestrion:MATRIX_NO_REACTIONS" and an nS x 0 array.  The names wanted
// are appended to the lists in row and column order.  The result is a new
// persistent array owned by the caller.
KELBOR_API qxArray* buildStoichiometryMatrix(const KelborComponent* component,
                                             bool wantSpeciesNames, StringVector* speciesNames,
                                             bool wantReactionNames, StringVector* reactionNames);

// The reactant and product arrays (species x active reactions) of the
// compile services: every distinct species of a side with its summed
// coefficient (reactants negative), no netting across sides and nothing
// dropped.  Both stay null when the model has no species or no active
// reactions.  The walk's models, active reactions, events and rules are
// appended to the lists given.  Raises as checkMatrixComponent.
KELBOR_API void buildCompileStoichiometry(const Kelbor* model, qxArray*& reactantArray,
                                          qxArray*& productArray,
                                          kstrVector<BReaction*>& reactions,
                                          kstrVector<Kelbor*>& models,
                                          kstrVector<BEvent*>& events,
                                          kstrVector<BRule*>& rules);

// Warnings of the matrix builders.
KELBOR_API void warnNoSpecies();
KELBOR_API void warnNoReactions();

}  // namespace kstr::compile
