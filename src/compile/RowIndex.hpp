// Positions of components in a list, looked up by component: the row
// numbering that every matrix builder shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace kstr::compile {

inline constexpr uint32_t kNoRow = UINT32_MAX;

// Maps each non-null element to the first position it holds, offset by a
// base.  Lookups never insert.
class RowIndex {
 public:
  RowIndex() = default;
  template <class List>
  explicit RowIndex(const List& list, uint32_t base = 0) {
    add(list, base);
  }
  template <class List>
  void add(const List& list, uint32_t base) {
    rows_.reserve(rows_.size() + list.size());
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i]) rows_.emplace(list[i], base + static_cast<uint32_t>(i));
    }
  }
  // The row of the component, or kNoRow.
  uint32_t find(const void* component) const {
    if (!component) return kNoRow;
    const auto it = rows_.find(component);
    return it == rows_.end() ? kNoRow : it->second;
  }

 private:
  std::unordered_map<const void*, uint32_t> rows_;
};

}  // namespace kstr::compile
