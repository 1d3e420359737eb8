#pragma once

#include <cstdint>
#include <map>
#include <set>

namespace quorvix::type_defs {

// What an undoable rename changed, so that it can be reversed: per
// expression-based component the positions of the rewritten expressions
// (filled by the symbol table), and per variant the indices of the rewritten
// content entries (filled by the model).  Keys are the components' addresses.
struct RenameUndoData {
  std::map<const void*, std::set<uint64_t>> expressionPositions;
  std::map<const void*, std::set<uint64_t>> variantEntries;

  bool empty() const { return expressionPositions.empty() && variantEntries.empty(); }
};

}  // namespace quorvix::type_defs
