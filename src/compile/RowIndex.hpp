// Positions of components in a list, looked up by component: the row
// numbering that every matrix builder shares.
#pragma once

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
    reserve(count_ + list.size());
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i]) insert(list[i], base + static_cast<uint32_t>(i));
    }
  }
  // The row of the component, or kNoRow.
  uint32_t find(const void* component) const {
    if (!component || slots_.empty()) return kNoRow;
    for (size_t i = slotOf(component);; i = (i + 1) & mask_) {
      if (slots_[i].key == component) return slots_[i].row;
      if (!slots_[i].key) return kNoRow;
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
  // Keeps the table at most half full.
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
