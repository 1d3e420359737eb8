// A hash index of the keys of an ordered index, held in one array.
#pragma once

#include <cstddef>
#include <functional>
#include <memory_resource>
#include <string_view>
#include <utility>
#include <vector>

#include "expressions/HashSlots.hpp"

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
    const Slot* slot =
        slots_.find(hash, [&](const Slot& s) { return std::string_view(s.node->first) == key; });
    return slot ? &slot->node : nullptr;
  }

  // Enters the node under its key unless a node is already entered under
  // it.  Raises std::bad_alloc (with nothing entered) when the array cannot
  // grow.
  void tryEnter(Iterator node) { tryEnter(node, hashOf(node->first)); }
  // The same, the key's hashOf given.
  void tryEnter(Iterator node, size_t hash) {
    if (!find(node->first, hash)) enterAbsent(node, hash);
  }
  // Enters a node whose key (of that hashOf) has no node entered yet, as a
  // find has just answered.  Raises std::bad_alloc as tryEnter does.
  void enterAbsent(Iterator node, size_t hash) {
    if (2 * (size_ + 1) > slots_.capacity()) slots_.grow(2 * (size_ + 1));
    slots_.place(Slot{hash, node, true});
    ++size_;
  }

  // The key's entry moves from the node to another of the same key (the
  // next one, when the first is erased); nothing when it names another.
  void moveEntry(Iterator from, Iterator to) {
    Slot* slot = slots_.find(hashOf(from->first), [&](const Slot& s) { return s.node == from; });
    if (slot) slot->node = to;
  }

  // Makes room for entries more without growing.  Raises std::bad_alloc
  // (leaving the index as it was) when the array cannot be had.
  void reserve(size_t entries) {
    if (2 * (size_ + entries) > slots_.capacity()) slots_.grow(2 * (size_ + entries));
  }

  void swap(NodeKeyIndex& other) noexcept {
    slots_.swap(other.slots_);
    std::swap(size_, other.size_);
  }

  std::pmr::memory_resource* resource() const { return slots_.resource(); }

 private:
  struct Slot {
    size_t hash = 0;
    Iterator node{};
    bool used = false;
  };

  HashSlots<Slot> slots_;
  size_t size_ = 0;
};

}  // namespace kstr
