// A hash map from pointers to small values held in one array, with no
// allocation per entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace kstr {

// Keys are pointers (null included), values small copyable records.  The
// entries live in one array (open addressing, linear probing, at most half
// full; a removal moves the entries behind it back instead of leaving a
// marker), so that a lookup touches one or two cache lines and emptying
// the map frees one block instead of one node per entry, which on a model
// of 100,000 components is most of the cost of its indexes.  References
// to values stay valid until the next insertion or removal.
template <class K, class V>
class PointerMap {
 public:
  size_t size() const { return size_ + (hasNull_ ? 1 : 0); }
  bool empty() const { return size() == 0; }

  // The key's value, or null when the key is absent.
  V* find(K key) {
    if (!key) return hasNull_ ? &nullValue_ : nullptr;
    if (entries_.empty()) return nullptr;
    for (size_t i = home(key);; i = next(i)) {
      if (entries_[i].key == key) return &entries_[i].value;
      if (!entries_[i].key) return nullptr;
    }
  }
  const V* find(K key) const { return const_cast<PointerMap*>(this)->find(key); }

  // The key's value, entered as value when absent (second: whether it was).
  std::pair<V*, bool> tryEmplace(K key, const V& value) {
    if (V* found = find(key)) return {found, false};
    return {emplaceAbsent(key, value), true};
  }

  // Enters a key that find has just answered absent, without searching
  // for it again.
  V* emplaceAbsent(K key, const V& value) {
    if (!key) {
      nullValue_ = value;
      hasNull_ = true;
      return &nullValue_;
    }
    if (2 * (size_ + 1) > entries_.size()) grow();
    size_t i = home(key);
    while (entries_[i].key) i = next(i);
    entries_[i] = Entry{key, value};
    ++size_;
    return &entries_[i].value;
  }

  // Takes the key out; false when it is absent.
  bool erase(K key) {
    if (!key) return std::exchange(hasNull_, false);
    if (entries_.empty()) return false;
    size_t hole = home(key);
    while (entries_[hole].key != key) {
      if (!entries_[hole].key) return false;
      hole = next(hole);
    }
    // Every later entry of the run whose home is not between the hole and
    // itself moves back into the hole.
    for (size_t i = next(hole); entries_[i].key; i = next(i)) {
      const size_t want = home(entries_[i].key);
      const bool stays = hole < i ? (hole < want && want <= i) : (hole < want || want <= i);
      if (stays) continue;
      entries_[hole] = entries_[i];
      hole = i;
    }
    entries_[hole] = Entry{};
    --size_;
    return true;
  }

  // Takes out every entry for which pred(key, value) holds, in one pass
  // over the array; answers how many went.
  // The array is made first: when that fails, nothing has changed.
  template <class Pred>
  size_t eraseIf(Pred pred) {
    std::vector<Entry> old(entries_.size());
    size_t gone = 0;
    if (hasNull_ && pred(K{}, nullValue_)) {
      hasNull_ = false;
      ++gone;
    }
    old.swap(entries_);
    size_ = 0;
    for (const Entry& entry : old) {
      if (!entry.key) continue;
      if (pred(entry.key, entry.value)) {
        ++gone;
        continue;
      }
      size_t i = home(entry.key);
      while (entries_[i].key) i = next(i);
      entries_[i] = entry;
      ++size_;
    }
    return gone;
  }

  // Removes every entry and gives the array back.
  void clear() {
    std::vector<Entry>().swap(entries_);
    size_ = 0;
    hasNull_ = false;
  }

  // Makes room for count entries without growing again.
  void reserve(size_t count) {
    if (2 * count > entries_.size()) rehash(capacityFor(count));
  }

 private:
  struct Entry {
    K key = nullptr;
    V value{};
  };

  static size_t capacityFor(size_t count) {
    size_t capacity = 16;
    while (capacity < 2 * count) capacity *= 2;
    return capacity;
  }
  size_t home(K key) const {
    auto bits = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key));
    bits ^= bits >> 33;
    bits *= 0xff51afd7ed558ccdULL;
    bits ^= bits >> 33;
    return static_cast<size_t>(bits) & (entries_.size() - 1);
  }
  size_t next(size_t i) const { return (i + 1) & (entries_.size() - 1); }
  void grow() { rehash(capacityFor(size_ + 1)); }
  void rehash(size_t capacity) {
    std::vector<Entry> old(capacity);
    old.swap(entries_);
    for (const Entry& entry : old) {
      if (!entry.key) continue;
      size_t i = home(entry.key);
      while (entries_[i].key) i = next(i);
      entries_[i] = entry;
    }
  }

  std::vector<Entry> entries_;
  size_t size_ = 0;  // entries in the array (the null key apart)
  bool hasNull_ = false;
  V nullValue_{};
};

}  // namespace kstr
