// Which species and parameters (or which given components) each reaction
// rate names, as sparse host arrays with one column per reaction; and the
// token step that reads an expression's components, shared with the rule
// Jacobian pattern.
#pragma once

#include <boost/shared_ptr.hpp>
#include <ks_utils/kstrContainers.hpp>
#include <qx/qx.hpp>

#include "compile/SparseArrays.hpp"
#include "core/KelborApi.hpp"

class BParameter;
class BReaction;
class BSpecies;
class ExpressionBasedComponent;
class Kelbor;
class KelborComponent;
class MParseTree;

namespace kstr::compile {

class RowIndex;

// Appends the components that the names of the parse tree denote in the
// owner's scope, each name once, in the tree's order; names that denote
// nothing are left out.  Nothing for a null tree or an owner outside a
// model.  Errors of the parse tree pass on.
KELBOR_API void collectExpressionComponents(ExpressionBasedComponent& owner,
                                            const boost::shared_ptr<const MParseTree>& tree,
                                            kstrVector<const KelborComponent*>& out);

// Lists every component that each reaction's rate names as the rate's
// token map holds it (null for a name that resolves to nothing), reaction
// by reaction in map order, and the end of each reaction's entries.  A null
// reaction and an empty rate name nothing; a rate that does not parse raises
// "Kestrion:InvalidReactionRateSyntax".  The lists are replaced.
KELBOR_API void collectRateComponents(const kstrVector<BReaction*>& reactions,
                                      kstrVector<const void*>& components,
                                      kstrVector<size_t>& ends);

// One column per reaction of what collectRateComponents gave: the rows the
// index gives the reaction's components, each once, ascending; components
// without a row are left out.
KELBOR_API GatheredColumns rateColumns(const kstrVector<const void*>& components,
                                       const kstrVector<size_t>& ends, const RowIndex& rows);

// The (nS + nP) x nR array with 1.0 where reaction j's rate names the
// species of row i (rows 0..nS-1, list positions) or the selected
// parameter of row nS + k (all parameters with includeConstantParameters,
// else those whose ConstantValue is false, in list order).  An element
// listed twice counts at its first position.  Null entries keep their
// position and give an empty row (species, parameters) or an empty column
// (reactions); an empty rate gives an empty column.  Absent lists count as
// empty.  Raises "Kestrion:InvalidReactionRateSyntax" for a rate that does
// not parse, before any array is made, and "Kestrion:KS_MallocError" when
// the array cannot be made.
KELBOR_API qxArray* buildSpeciesParameterDependencyMatrix(
    const kstrVector<BReaction*>* reactions, const kstrVector<BSpecies*>* species,
    const kstrVector<BParameter*>* parameters, bool includeConstantParameters);

// The same over a model's walk in the compile order (active reactions;
// species; model parameters, then the kinetic-law parameters of every
// reaction, inactive ones included, so that the rows are the compile
// order's species and selected parameters).
// A null model gives null.
KELBOR_API qxArray* buildModelDependencyMatrix(const Kelbor* model,
                                               bool includeConstantParameters);

// The nC x nR array with 1.0 where reaction j's rate names component i, of
// any kind.  Null entries and rates as above.
KELBOR_API qxArray* buildComponentDependencyMatrix(
    const kstrVector<BReaction*>* reactions, const kstrVector<KelborComponent*>* components);

}  // namespace kstr::compile
