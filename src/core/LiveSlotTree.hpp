// Counting the live slots of a list whose removed members leave an empty
// slot behind: a member's position is the number of live slots before its
// slot, and the slot of the k-th member is found, both in logarithmic time.
#pragma once

#include <cstddef>
#include <vector>

namespace kstr {

// A Fenwick tree over the slots of a list, 1 for a live slot and 0 for an
// emptied one.  Slots are numbered from 0 in the order they were added.
class LiveSlotTree {
 public:
  // Starts again with slots 0 .. count - 1, every one live; linear.
  void reset(size_t count) {
    alive_.assign(count, 1);
    rebuild();
  }
  // Adds one live slot after the last (amortised logarithmic).
  void push() {
    alive_.push_back(1);
    if (alive_.size() >= tree_.size()) {
      rebuild();
      return;
    }
    ++live_;
    add(alive_.size() - 1, 1);
  }
  // Empties a live slot; nothing for a dead one or one out of range.
  void kill(size_t slot) {
    if (!isLive(slot)) return;
    alive_[slot] = 0;
    add(slot, -1);
    --live_;
  }
  bool isLive(size_t slot) const noexcept { return slot < alive_.size() && alive_[slot] != 0; }
  size_t slots() const noexcept { return alive_.size(); }
  size_t live() const noexcept { return live_; }
  // Live slots before the slot: the position of the member held there.
  size_t liveBefore(size_t slot) const {
    int count = 0;
    for (size_t i = slot; i > 0; i -= lowBit(i)) count += tree_[i];
    return static_cast<size_t>(count);
  }
  // The slot of the member at the position, or slots() when there are not
  // that many members.
  size_t slotOf(size_t position) const {
    if (position >= live_) return slots();
    size_t at = 0;
    size_t remaining = position + 1;
    for (size_t step = highBit(tree_.size() - 1); step > 0; step >>= 1) {
      const size_t next = at + step;
      if (next < tree_.size() && static_cast<size_t>(tree_[next]) < remaining) {
        at = next;
        remaining -= static_cast<size_t>(tree_[next]);
      }
    }
    // The 1-based index at + 1 closes the count: slot at.
    return at;
  }

 private:
  static size_t lowBit(size_t i) { return i & (~i + 1); }
  static size_t highBit(size_t n) {
    size_t bit = 1;
    while (bit * 2 <= n) bit *= 2;
    return bit;
  }
  void add(size_t slot, int delta) {
    for (size_t i = slot + 1; i < tree_.size(); i += lowBit(i)) tree_[i] += delta;
  }
  // Sizes the tree for twice the slots and counts them in one linear pass.
  void rebuild() {
    size_t capacity = 16;
    while (capacity < 2 * alive_.size() + 1) capacity *= 2;
    tree_.assign(capacity + 1, 0);
    live_ = 0;
    for (size_t i = 0; i < alive_.size(); ++i) {
      tree_[i + 1] = alive_[i];
      live_ += static_cast<size_t>(alive_[i]);
    }
    for (size_t i = 1; i <= capacity; ++i) {
      const size_t parent = i + lowBit(i);
      if (parent <= capacity) tree_[parent] += tree_[i];
    }
  }

  std::vector<char> alive_;
  std::vector<int> tree_;
  size_t live_ = 0;
};

}  // namespace kstr
