// The array of slots behind the flat hash indexes of the symbol table.
#pragma once

#include <cstddef>
#include <memory_resource>
#include <utility>
#include <vector>

namespace kstr {

// Slots found by a hash: open addressing with linear probing over a power
// of two of slots, kept at most half full by the owner.  A Slot has the
// members `hash` (size_t) and `used` (bool); the owner keeps the count of
// used slots and says what matches.
template <class Slot>
class HashSlots {
 public:
  explicit HashSlots(std::pmr::memory_resource* memory) : slots_(memory) {}

  bool empty() const { return slots_.empty(); }
  size_t capacity() const { return slots_.size(); }
  std::pmr::memory_resource* resource() const { return slots_.get_allocator().resource(); }
  const std::pmr::vector<Slot>& slots() const { return slots_; }

  // The first used slot of the hash's run for which match(slot) holds, or
  // null at the run's end.
  template <class Match>
  Slot* find(size_t hash, Match&& match) {
    if (slots_.empty()) return nullptr;
    for (size_t i = hash & mask();; i = (i + 1) & mask()) {
      Slot& slot = slots_[i];
      if (!slot.used) return nullptr;
      if (slot.hash == hash && match(slot)) return &slot;
    }
  }
  template <class Match>
  const Slot* find(size_t hash, Match&& match) const {
    return const_cast<HashSlots*>(this)->find(hash, std::forward<Match>(match));
  }

  // Puts the slot in the first free place of its run; there must be one.
  void place(const Slot& slot) {
    size_t i = slot.hash & mask();
    while (slots_[i].used) i = (i + 1) & mask();
    slots_[i] = slot;
  }

  // Grows to a power of two of at least the wanted number of slots, moving
  // every used slot for which keep(slot) holds; the new array is complete
  // before it replaces the old one, so that std::bad_alloc leaves the slots
  // as they were.
  template <class Keep>
  void rebuild(size_t wanted, Keep&& keep) {
    size_t count = slots_.empty() ? 16 : slots_.size();
    while (count < wanted) count *= 2;
    std::pmr::vector<Slot> former(count, slots_.get_allocator());
    former.swap(slots_);  // the new array in place, the entries in former
    for (const Slot& slot : former) {
      if (slot.used && keep(slot)) place(slot);
    }
  }
  void grow(size_t wanted) {
    rebuild(wanted, [](const Slot&) { return true; });
  }

  void swap(HashSlots& other) noexcept { slots_.swap(other.slots_); }

 private:
  size_t mask() const { return slots_.size() - 1; }

  std::pmr::vector<Slot> slots_;
};

}  // namespace kstr
