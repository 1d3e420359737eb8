// Every reaction's terms gathered in one pass for the stoichiometry
// matrix: the row of each bound term's species and its signed coefficient,
// and per reaction where its terms end and its flags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"

class BReaction;

namespace kstr::compile {

class RowIndex;

struct KELBOR_API ReactionTermTable {
  // Per reaction flag: the equation is valid and every term is bound to a
  // species.
  static constexpr uint8_t kComplete = 2;

  // Per term bound to a species, each reaction's reactants before its
  // products, in term order: the row the index gives its species (kNoRow
  // for none) and its coefficient, negative for reactants.
  std::vector<uint32_t> rows;
  std::vector<double> coefficients;
  // Per reaction: where its terms end in the lists above, and its flags.
  std::vector<size_t> ends;
  std::vector<uint8_t> flags;

  // Reads the terms of every reaction (none null) once, in place, and
  // finds their rows; the lists are replaced.
  void read(const kstrVector<BReaction*>& reactions, const RowIndex& index);

 private:
  // Drops the terms marked as bound to no species, clearing their
  // reactions' kComplete, and moves the ends to match.
  void leaveOutUnboundTerms();
};

}  // namespace kstr::compile
