// A hash index of the keys of an ordered index, held in one array.
#pragma once

#include <cstddef>
#include <functional>
#include <memory_resource>
#include <string_view>
#include <utility>
#include <vector>

namespace kstr {

// For each key of an ordered index (a std::map or std::multimap of string
// keys) the first node under it, found by the key's hash.  The entries are
// the hash and the node, in one array (open addressing, linear probing, at
// most half full), so that a lookup touches the line of its slot and, on a
// match, the node itself: no list node of its own, as a node-based hash
// would have.  Entries are never taken out one by one: the ordered index
// erases nodes only when it is built again, and its hash index with it.
template <class Iterator>
class NodeKeyIndex {
 public:
  explicit NodeKeyIndex(std::pmr::memory_resource* memory = std::pmr::get_default_resource())
      : slots_(memory) {}

  size_t size() const { return size_; }

  // The hash a key is found by: a caller that looks one key up in several
  // indexes computes it once.
  static size_t hashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }

  // The first node entered under the key, or null when there is none.
  const Iterator* find(std::string_view key) const { return find(key, hashOf(key)); }
  // The same, the key's hashOf given.
  const Iterator* find(std::string_view key, size_t hash) const {
    if (slots_.empty()) return nullptr;
    for (size_t i = hash & mask();; i = (i + 1) & mask()) {
      const Slot& slot = slots_[i];
      if (!slot.used) return nullptr;
      if (slot.hash == hash && std::string_view(slot.node->first) == key) return &slot.node;
    }
  }

  // Enters the node under its key unless a node is already entered under
  // it.  Raises std::bad_alloc (with nothing entered) when the array cannot
  // grow.
  void tryEnter(Iterator node) {
    const std::string_view key(node->first);
    const size_t hash = hashOf(key);
    if (!find(key, hash)) enterAbsent(node, hash);
  }
  // Enters a node whose key (of that hashOf) has no node entered yet, as a
  // find has just answered.  Raises std::bad_alloc as tryEnter does.
  void enterAbsent(Iterator node, size_t hash) {
    if (2 * (size_ + 1) > slots_.size()) grow(2 * (size_ + 1));
    place(Slot{hash, node, true});
    ++size_;
  }

  // The key's entry moves from the node to another of the same key (the
  // next one, when the first is erased); nothing when it names another.
  void moveEntry(Iterator from, Iterator to) {
    if (slots_.empty()) return;
    const std::string_view key(from->first);
    const size_t hash = hashOf(key);
    for (size_t i = hash & mask();; i = (i + 1) & mask()) {
      Slot& slot = slots_[i];
      if (!slot.used) return;
      if (slot.hash == hash && slot.node == from) {
        slot.node = to;
        return;
      }
    }
  }

  // Makes room for entries more without growing.  Raises std::bad_alloc
  // (leaving the index as it was) when the array cannot be had.
  void reserve(size_t entries) {
    if (2 * (size_ + entries) > slots_.size()) grow(2 * (size_ + entries));
  }

  void swap(NodeKeyIndex& other) noexcept {
    slots_.swap(other.slots_);
    std::swap(size_, other.size_);
  }

  std::pmr::memory_resource* resource() const { return slots_.get_allocator().resource(); }

 private:
  struct Slot {
    size_t hash = 0;
    Iterator node{};
    bool used = false;
  };

  size_t mask() const { return slots_.size() - 1; }

  void place(const Slot& slot) {
    size_t i = slot.hash & mask();
    while (slots_[i].used) i = (i + 1) & mask();
    slots_[i] = slot;
  }

  // To a power of two of at least the wanted number of slots; the new
  // array is complete before it replaces the old one.
  void grow(size_t wanted) {
    size_t count = slots_.empty() ? 16 : slots_.size();
    while (count < wanted) count *= 2;
    std::pmr::vector<Slot> former(count, slots_.get_allocator());
    former.swap(slots_);  // the new array in place, the entries in former
    for (const Slot& slot : former) {
      if (slot.used) place(slot);
    }
  }

  std::pmr::vector<Slot> slots_;
  size_t size_ = 0;
};

}  // namespace kstr
