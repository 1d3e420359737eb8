// The species/reaction graph of a model as a square sparse host array.
#pragma once

#include <cstdint>
#include <deque>

#include <qx/qx.hpp>

#include "core/KelborApi.hpp"

class KelborComponent;
class StringVector;

namespace kstr::compile {

// Nodes, in row and column order: the species (walk order), a "null" node
// standing for the outside when some reaction lacks reactants or products,
// then every reaction (inactive ones included).  Column c holds 1.0 at
// each row t with an edge c -> t: species -> reaction for reactants,
// reaction -> species for products, null -> reaction without reactants,
// reaction -> null without products, and the reverse edges of a reversible
// reaction.  Each edge is written once.  The node names and kinds (1 for
// species and the null node, 0 for reactions) are appended when wanted.
// Raises "Kestrion:MatrixUnsupportedComponent" for a component that is no
// model or reaction; warns "Kestrion:MATRIX_NO_SPECIES" or
// "Kestrion:MATRIX_NO_REACTIONS" and returns null (nothing appended) when
// the walk finds no species or no reactions.
KELBOR_API qxArray* buildAdjacencyMatrix(const KelborComponent* component, bool wantNames,
                                         StringVector* names, bool wantKinds,
                                         std::deque<int32_t>* kinds);

}  // namespace kstr::compile
