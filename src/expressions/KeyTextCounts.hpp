// Counts of entries by the hash of the text they are kept under, in one
// array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <new>
#include <vector>

#include "expressions/HashSlots.hpp"

namespace kstr {

// For each hash, how many entries hold a text of that hash.  The counts lie
// in one array (open addressing, linear probing, at most half full), so
// that holding or releasing a text touches the line of its slot and
// allocates nothing once the array has room.  A hash whose count falls to
// 0 keeps its slot, to be held again without a search for a free one, until
// dropUnheld empties them all in one pass.
class KeyTextCounts {
 public:
  explicit KeyTextCounts(std::pmr::memory_resource* memory = std::pmr::get_default_resource())
      : slots_(memory) {}

  // Hashes with a slot, held or not.
  size_t size() const { return size_; }
  // Hashes whose count is 0.
  size_t unheld() const { return unheld_; }

  // How many entries hold a text of the hash.
  uint32_t count(size_t hash) const {
    const Slot* slot = slots_.find(hash, any);
    return slot ? slot->count : 0;
  }
  // Counts one more holder of the hash; answers the new count.  Raises
  // std::bad_alloc (counting nothing) when the array cannot grow.
  uint32_t hold(size_t hash) {
    if (Slot* slot = slots_.find(hash, any)) {
      if (slot->count == 0) --unheld_;
      return ++slot->count;
    }
    if (2 * (size_ + 1) > slots_.capacity()) slots_.grow(2 * (size_ + 1));
    slots_.place(Slot{hash, 1, true});
    ++size_;
    return 1;
  }
  // Counts one holder fewer; answers the new count (0 for a hash none holds).
  uint32_t release(size_t hash) {
    Slot* slot = slots_.find(hash, any);
    if (!slot || slot->count == 0) return 0;
    if (--slot->count == 0) ++unheld_;
    return slot->count;
  }

  // Makes room for hashes more without growing.  Raises std::bad_alloc
  // (leaving the counts as they were) when the array cannot be had.
  void reserve(size_t hashes) {
    if (2 * (size_ + hashes) > slots_.capacity()) slots_.grow(2 * (size_ + hashes));
  }
  // Drops the slots of every hash none holds.  Out of memory they stay
  // (they answer 0 as before).
  void dropUnheld() {
    try {
      slots_.rebuild(slots_.capacity(), [](const Slot& slot) { return slot.count > 0; });
    } catch (const std::bad_alloc&) {
      return;
    }
    size_ -= unheld_;
    unheld_ = 0;
  }

 private:
  struct Slot {
    size_t hash = 0;
    uint32_t count = 0;
    bool used = false;
  };
  // One slot per hash: the first of its run matches.
  static constexpr auto any = [](const Slot&) { return true; };

  HashSlots<Slot> slots_;
  size_t size_ = 0;
  size_t unheld_ = 0;
};

}  // namespace kstr
