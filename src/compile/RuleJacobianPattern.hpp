// The sparsity pattern of the Jacobian that a model's rate and algebraic
// rules contribute.
#pragma once

#include <ks_utils/kstrContainers.hpp>
#include <qx/qx.hpp>

#include "core/KelborApi.hpp"

class BParameter;
class BRule;
class BSpecies;
class KelborComponent;

namespace kstr::compile {

// The square (nS + nP) array over the species (rows and columns 0..nS-1)
// and the non-constant parameters (nS..nS+nP-1), both lists reduced to
// their distinct entries (first occurrence; null entries keep their place
// and their row stays empty).  Row r holds 1.0 in column c when the rule
// that determines quantity r names quantity c: a rate rule determines the
// first quantity its variable names; the k-th algebraic rule (in list
// order) determines algebraicVariables[k] (a missing or null entry: none).
// Rules of other types, null rules, names outside the quantities and
// variables outside them add nothing.  Absent lists count as empty.
// Raises "Kestrion:KS_MallocError" when the array cannot be made; errors of
// a rule's parse tree pass on.
KELBOR_API qxArray* buildRuleJacobianPattern(const kstrVector<BRule*>* rules,
                                             const kstrVector<BSpecies*>* species,
                                             const kstrVector<BParameter*>* parameters,
                                             const kstrVector<KelborComponent*>* algebraicVariables);

}  // namespace kstr::compile
