// Positions of components in a list, looked up by component: the row
// numbering that every matrix builder shares.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kstr::compile {

inline constexpr uint32_t kNoRow = UINT32_MAX;

// Maps each non-null element to the first position it holds, offset by a
// base.  An open-addressing table over the element addresses: one probe
// sequence per lookup, and lookups never insert.
class RowIndex {
 public:
  RowIndex() = default;
  template <class List>
  explicit RowIndex(const List& list, uint32_t base = 0) {
    add(list, base);
  }
  template <class List>
  void add(const List& list, uint32_t base) {
    reserve(count_ + list.size());  // at most half full
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i]) insert(list[i], base + static_cast<uint32_t>(i));
    }
  }
  // Makes room for count elements in all, so that adding them does not
  // grow the table again.
  void reserve(size_t count) {
    if (2 * count <= slots_.size()) return;
    size_t size = 16;
    while (size < 2 * count) size *= 2;
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(size, Slot{});
    mask_ = size - 1;
    count_ = 0;
    for (const Slot& s : old) {
      if (s.key) insert(s.key, s.row);
    }
  }
  // The row of the component, or kNoRow.
  uint32_t find(const void* component) const {
    if (!component || slots_.empty()) return kNoRow;
    return findFrom(slotOf(component), component);
  }
  // The rows of many components at once, into rows[0..count): the table's
  // slots are fetched ahead of the lookups, so that on a large table the
  // memory reads overlap instead of waiting one after another.
  void findAll(const void* const* components, size_t count, uint32_t* rows) const {
    constexpr size_t kAhead = 16;
    if (slots_.empty()) {
      std::fill_n(rows, count, kNoRow);
      return;
    }
    for (size_t k = 0; k < count; ++k) {
      if (k + kAhead < count && components[k + kAhead]) {
        __builtin_prefetch(&slots_[slotOf(components[k + kAhead])]);
      }
      rows[k] = components[k] ? findFrom(slotOf(components[k]), components[k]) : kNoRow;
    }
  }

 private:
  struct Slot {
    const void* key = nullptr;
    uint32_t row = kNoRow;
  };
  size_t slotOf(const void* key) const {
    auto h = reinterpret_cast<uintptr_t>(key);
    h ^= h >> 17;
    h *= 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h >> 20) & mask_;
  }
  uint32_t findFrom(size_t i, const void* component) const {
    for (;; i = (i + 1) & mask_) {
      if (slots_[i].key == component) return slots_[i].row;
      if (!slots_[i].key) return kNoRow;
    }
  }
  // The first position wins: a key already held is left alone.
  void insert(const void* key, uint32_t row) {
    for (size_t i = slotOf(key);; i = (i + 1) & mask_) {
      if (slots_[i].key == key) return;
      if (!slots_[i].key) {
        slots_[i] = Slot{key, row};
        ++count_;
        return;
      }
    }
  }

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  size_t count_ = 0;
};

}  // namespace kstr::compile
