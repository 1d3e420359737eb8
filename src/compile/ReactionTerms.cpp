// The one pass over every reaction's terms that the stoichiometry matrix
// is made from.
#include "compile/ReactionTerms.hpp"

#include "compile/RowIndex.hpp"
#include "expressions/ReactionExpression.hpp"
#include "reactions/BReaction.hpp"

namespace kstr::compile {

namespace {

// Marks, until they are left out, the terms bound to no species (rows are
// list positions, far below it).
constexpr uint32_t kUnboundTerm = kNoRow - 1;

}  // namespace

// A large model's reactions, equations and terms lie apart in memory, each
// reached through the one before, but each reaction's parts lie close
// together.  The pass is one short loop whose reads for one reaction do not
// wait on those of the last, so the processor has several reactions under
// way at once; the terms bound to no species are left out afterwards, over
// the contiguous lists.
void ReactionTermTable::read(const kstrVector<BReaction*>& reactions, const RowIndex& index) {
  const size_t n = reactions.size();
  // Room for two terms a side, the common case; more grows the lists.
  std::vector<const void*> species(4 * n);
  coefficients.resize(4 * n);
  ends.resize(n);
  flags.resize(n);
  size_t k = 0;
  for (size_t j = 0; j < n; ++j) {
    const kstr::ReactionExpression& equation = reactions[j]->getEquation();
    const size_t reactantCount = equation.getNumReactants();
    const size_t productCount = equation.getNumProducts();
    if (k + reactantCount + productCount > species.size()) {
      species.resize(2 * (k + reactantCount + productCount));
      coefficients.resize(species.size());
    }
    for (size_t i = 0; i < reactantCount; ++i, ++k) {
      species[k] = equation.getReactantAt(i).species;
      coefficients[k] = -equation.getReactantAt(i).stoichiometry;
    }
    for (size_t i = 0; i < productCount; ++i, ++k) {
      species[k] = equation.getProductAt(i).species;
      coefficients[k] = equation.getProductAt(i).stoichiometry;
    }
    ends[j] = k;
    // Qualified call: the kind is known, so no virtual dispatch.
    flags[j] = equation.kstr::ReactionExpression::isSyntacticallyValid() ? kComplete : 0;
  }
  // The rows in one sweep over the row index, the terms bound to no
  // species marked.
  rows.resize(k);
  coefficients.resize(k);
  index.findAll(species.data(), k, rows.data());
  for (size_t t = 0; t < k; ++t) {
    if (!species[t]) rows[t] = kUnboundTerm;
  }
  leaveOutUnboundTerms();
}

void ReactionTermTable::leaveOutUnboundTerms() {
  size_t kept = 0;
  size_t k = 0;
  for (size_t j = 0; j < ends.size(); ++j) {
    const size_t end = ends[j];
    for (; k < end; ++k) {
      if (rows[k] == kUnboundTerm) {
        flags[j] &= static_cast<uint8_t>(~kComplete);
        continue;
      }
      rows[kept] = rows[k];
      coefficients[kept++] = coefficients[k];
    }
    ends[j] = kept;
  }
  rows.resize(kept);
  coefficients.resize(kept);
}

}  // namespace kstr::compile
