// The engine's handle vectors: a host Vector with a member and position index.
#include "host/HandleVector.hpp"

#include <algorithm>

HandleVector::~HandleVector() = default;

bool HandleVector::holds(const OBInterface* handle) const { return positionOf(handle) >= 0; }

int HandleVector::positionOf(const OBInterface* handle) const {
  synchronise();
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto found = places_.find(handle);
    if (found == places_.end()) return -1;
    const int position = liveBefore(found->second.slot);
    if (elementAt(position) == handle) return position;
    // Changed behind the index's back without a change of size.
    rebuild();
  }
  return indexOf(handle);
}

void HandleVector::append(OBInterface* handle) {
  synchronise();
  addElement(handle);
  const int slot = static_cast<int>(slots_.size());
  slots_.push_back(handle);
  alive_.push_back(1);
  if (static_cast<size_t>(slot) + 1 >= tree_.size()) {
    growTree();
  } else {
    addToTree(slot, 1);
  }
  ++places_.try_emplace(handle, Place{slot, 0}).first->second.count;
  ++live_;
}

bool HandleVector::remove(OBInterface* handle) {
  const int position = positionOf(handle);
  if (position < 0) return false;
  removeElementAt(position);
  auto found = places_.find(handle);
  if (found->second.count > 1) {
    // The next occurrence's slot is not kept: the index is rebuilt on the
    // next question (several occurrences come only from host-made lists).
    stale_ = true;
    return true;
  }
  alive_[static_cast<size_t>(found->second.slot)] = 0;
  addToTree(found->second.slot, -1);
  places_.erase(found);
  --live_;
  // Dead slots are dropped once they outnumber the live ones.
  if (slots_.size() > 2 * static_cast<size_t>(live_) + 64) stale_ = true;
  return true;
}

void HandleVector::clear() {
  removeAllElements();
  places_.clear();
  slots_.clear();
  alive_.clear();
  tree_.clear();
  live_ = 0;
  stale_ = true;
}

void HandleVector::synchronise() const {
  if (stale_ || live_ != size()) rebuild();
}

void HandleVector::rebuild() const {
  const std::vector<OBInterface*>& elements = this->elements();
  places_.clear();
  places_.reserve(elements.size());
  slots_.assign(elements.begin(), elements.end());
  alive_.assign(elements.size(), 1);
  for (size_t i = 0; i < elements.size(); ++i) {
    ++places_.try_emplace(elements[i], Place{static_cast<int>(i), 0}).first->second.count;
  }
  live_ = static_cast<int>(elements.size());
  tree_.clear();
  growTree();
  stale_ = false;
}

// Makes the tree large enough for one more slot than there are, counting
// every live slot, in one linear pass.
void HandleVector::growTree() const {
  size_t capacity = 16;
  while (capacity < 2 * slots_.size() + 1) capacity *= 2;
  tree_.assign(capacity + 1, 0);
  for (size_t i = 0; i < alive_.size(); ++i) tree_[i + 1] = alive_[i];
  for (size_t i = 1; i <= capacity; ++i) {
    const size_t parent = i + (i & (~i + 1));
    if (parent <= capacity) tree_[parent] += tree_[i];
  }
}

void HandleVector::addToTree(int slot, int delta) const {
  const size_t capacity = tree_.size() - 1;
  for (size_t i = static_cast<size_t>(slot) + 1; i <= capacity; i += i & (~i + 1)) tree_[i] += delta;
}

int HandleVector::liveBefore(int slot) const {
  int count = 0;
  for (size_t i = static_cast<size_t>(slot); i > 0; i -= i & (~i + 1)) count += tree_[i];
  return count;
}

HandleVector* indexedHandleVector(Vector* vector) { return dynamic_cast<HandleVector*>(vector); }

const HandleVector* indexedHandleVector(const Vector* vector) {
  return dynamic_cast<const HandleVector*>(vector);
}

bool handleVectorHolds(const Vector* vector, const OBInterface* handle) {
  return handleVectorPosition(vector, handle) >= 0;
}

int handleVectorPosition(const Vector* vector, const OBInterface* handle) {
  if (!vector) return -1;
  if (const HandleVector* indexed = indexedHandleVector(vector)) return indexed->positionOf(handle);
  return vector->indexOf(handle);
}
