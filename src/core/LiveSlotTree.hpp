// Counting the live slots of a list whose removed members leave an empty
// slot behind: a member's position is the number of live slots before its
// slot, and the slot of the k-th member is found, both in logarithmic time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kstr {

// The slots of a list, live or emptied, numbered from 0 in the order they
// were added.  One bit per slot, in words of 64 slots, and a Fenwick tree
// over the live counts of the words: a removal touches one word and the
// small tree (a list of 100,000 slots keeps 13 KB of words and a 16 KB
// tree), so it stays in cache on long lists.
class LiveSlotTree {
 public:
  // Starts again with slots 0 .. count - 1, every one live; linear.  When
  // memory runs out the slots stay as they were.
  void reset(size_t count) {
    std::vector<uint64_t> words((count + kWordBits - 1) / kWordBits, ~uint64_t{0});
    if (count % kWordBits != 0) words.back() = (uint64_t{1} << (count % kWordBits)) - 1;
    std::vector<int> tree = countedTree(words);
    words_.swap(words);
    tree_.swap(tree);
    slots_ = count;
    live_ = count;
  }
  // Adds one live slot after the last (amortised logarithmic).  When memory
  // runs out no slot is added (a spare empty word may be kept).
  void push() {
    const size_t slot = slots_;
    const size_t word = slot / kWordBits;
    if (word >= words_.size()) words_.push_back(0);
    if (words_.size() >= tree_.size()) {
      std::vector<int> tree = countedTree(words_);
      tree_.swap(tree);
    }
    words_[word] |= uint64_t{1} << (slot % kWordBits);
    ++slots_;
    ++live_;
    add(word, 1);
  }
  // Empties a live slot; nothing for a dead one or one out of range.
  void kill(size_t slot) {
    if (!isLive(slot)) return;
    words_[slot / kWordBits] &= ~(uint64_t{1} << (slot % kWordBits));
    add(slot / kWordBits, -1);
    --live_;
  }
  bool isLive(size_t slot) const noexcept {
    return slot < slots_ && (words_[slot / kWordBits] >> (slot % kWordBits) & 1) != 0;
  }
  size_t slots() const noexcept { return slots_; }
  size_t live() const noexcept { return live_; }
  // Live slots before the slot: the position of the member held there.
  // Every live slot for a slot at or past the last.
  size_t liveBefore(size_t slot) const {
    if (slot >= slots_) return live_;
    const size_t word = slot / kWordBits;
    int count = 0;
    for (size_t i = word; i > 0; i -= lowBit(i)) count += tree_[i];
    const uint64_t below = (uint64_t{1} << (slot % kWordBits)) - 1;
    return static_cast<size_t>(count) + static_cast<size_t>(std::popcount(words_[word] & below));
  }
  // The slot of the member at the position, or slots() when there are not
  // that many members.
  size_t slotOf(size_t position) const {
    if (position >= live_) return slots();
    // The word holding it: the words before it hold at most `position`.
    size_t word = 0;
    size_t remaining = position;
    for (size_t step = highBit(tree_.size() - 1); step > 0; step >>= 1) {
      const size_t next = word + step;
      if (next < tree_.size() && static_cast<size_t>(tree_[next]) <= remaining) {
        word = next;
        remaining -= static_cast<size_t>(tree_[next]);
      }
    }
    return word * kWordBits + nthSetBit(words_[word], remaining);
  }

 private:
  static constexpr size_t kWordBits = 64;

  static size_t lowBit(size_t i) { return i & (~i + 1); }
  static size_t highBit(size_t n) {
    size_t bit = 1;
    while (bit * 2 <= n) bit *= 2;
    return bit;
  }
  // The place of the n-th (from 0) set bit of a word holding more than n.
  static size_t nthSetBit(uint64_t bits, size_t n) {
    size_t at = 0;
    for (unsigned width = 32; width > 0; width /= 2) {
      const uint64_t low = bits & ((uint64_t{1} << width) - 1);
      const auto count = static_cast<size_t>(std::popcount(low));
      if (n >= count) {
        n -= count;
        bits >>= width;
        at += width;
      } else {
        bits = low;
      }
    }
    return at;
  }
  void add(size_t word, int delta) {
    for (size_t i = word + 1; i < tree_.size(); i += lowBit(i)) tree_[i] += delta;
  }
  // A tree sized for twice the words, counting them; one linear pass.
  static std::vector<int> countedTree(const std::vector<uint64_t>& words) {
    size_t capacity = 16;
    while (capacity < 2 * words.size() + 1) capacity *= 2;
    std::vector<int> tree(capacity + 1, 0);
    for (size_t i = 0; i < words.size(); ++i) tree[i + 1] = std::popcount(words[i]);
    for (size_t i = 1; i <= capacity; ++i) {
      const size_t parent = i + lowBit(i);
      if (parent <= capacity) tree[parent] += tree[i];
    }
    return tree;
  }

  std::vector<uint64_t> words_;
  std::vector<int> tree_;
  size_t slots_ = 0;
  size_t live_ = 0;
};

}  // namespace kstr
