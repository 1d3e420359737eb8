// The engine's handle vectors: a host Vector with a member and position index.
#include "host/HandleVector.hpp"

#include <algorithm>
#include <unordered_map>

#include "core/Compaction.hpp"

HandleVector::~HandleVector() = default;

bool HandleVector::holds(const OBInterface* handle) const { return positionOf(handle) >= 0; }

int HandleVector::positionOf(const OBInterface* handle) const {
  synchronise();
  for (int attempt = 0; attempt < 2; ++attempt) {
    const Place* found = places_.find(handle);
    if (!found) return -1;
    const auto slot = static_cast<size_t>(found->slot);
    const int position = static_cast<int>(tree_.liveBefore(slot));
    if (!published_) return position;
    if (elementAt(position) == handle) return position;
    // Changed behind the index's back without a change of size.
    rebuild();
  }
  return indexOf(handle);
}

int HandleVector::memberCount() const {
  synchronise();
  return static_cast<int>(tree_.live());
}

void HandleVector::append(OBInterface* handle) {
  synchronise();
  if (published_) addElement(handle);
  const int slot = static_cast<int>(slots_.size());
  slots_.push_back(handle);
  tree_.push();
  ++places_.tryEmplace(handle, Place{slot, 0}).first->count;
}

bool HandleVector::remove(OBInterface* handle) {
  const int position = positionOf(handle);
  if (position < 0) return false;
  Place* found = places_.find(handle);
  if (found->count > 1) {
    // The next occurrence's slot is not kept: the elements are brought up
    // to date and the index is rebuilt from them on the next question
    // (several occurrences come only from host-made lists).
    publish();
    removeElementAt(position);
    stale_ = true;
    return true;
  }
  if (published_) {
    published_ = false;
    publishedSize_ = size();
    publishedSlots_ = slots_.size();
    removedSincePublished_.clear();
  }
  const auto slot = static_cast<size_t>(found->slot);
  if (slot < publishedSlots_) removedSincePublished_.push_back(handle);
  tree_.kill(slot);
  places_.erase(handle);
  // Dead slots are dropped once they outnumber the live ones.
  if (kstr::isWorthCompacting(tree_.slots() - tree_.live(), tree_.slots())) stale_ = true;
  return true;
}

void HandleVector::clear() {
  removeAllElements();
  places_.clear();
  slots_.clear();
  tree_.reset(0);
  removedSincePublished_.clear();
  published_ = true;
  stale_ = true;
}

void HandleVector::publish() const {
  if (published_) return;
  // Only the elements the host reads change; the object itself was made
  // non-const (newHandleVector), so the cast is sound.
  auto* self = const_cast<HandleVector*>(this);
  self->removeAllElements();
  for (size_t slot = 0; slot < slots_.size(); ++slot) {
    if (tree_.isLive(slot)) self->addElement(slots_[slot]);
  }
  published_ = true;
  removedSincePublished_.clear();
}

void HandleVector::synchronise() const {
  if (!published_ && size() != publishedSize_) {
    adoptHostChanges();
  } else if (published_ && (stale_ || static_cast<size_t>(size()) != tree_.live())) {
    rebuild();
  } else if (stale_) {
    publish();
    rebuild();
  }
}

// Rebuilds the index from the host Vector's elements, which are the
// members (published).
void HandleVector::rebuild() const {
  const std::vector<OBInterface*>& elements = this->elements();
  places_.clear();
  places_.reserve(elements.size());
  slots_.assign(elements.begin(), elements.end());
  for (size_t i = 0; i < elements.size(); ++i) {
    ++places_.tryEmplace(elements[i], Place{static_cast<int>(i), 0}).first->count;
  }
  tree_.reset(elements.size());
  stale_ = false;
}

// The host Vector's elements changed size through the plain interface
// while removals were pending: its elements, less the members removed
// since they were last published, then the members appended since, become
// the members.
void HandleVector::adoptHostChanges() const {
  std::unordered_map<const OBInterface*, int> removed;
  for (const OBInterface* handle : removedSincePublished_) ++removed[handle];
  std::vector<OBInterface*> members;
  members.reserve(elements().size() + slots_.size() - publishedSlots_);
  for (OBInterface* element : elements()) {
    auto found = removed.find(element);
    if (found != removed.end() && found->second > 0) {
      --found->second;
      continue;
    }
    members.push_back(element);
  }
  for (size_t slot = publishedSlots_; slot < slots_.size(); ++slot) {
    if (tree_.isLive(slot)) members.push_back(slots_[slot]);
  }
  auto* self = const_cast<HandleVector*>(this);
  self->removeAllElements();
  for (OBInterface* member : members) self->addElement(member);
  published_ = true;
  removedSincePublished_.clear();
  rebuild();
}

HandleVector* indexedHandleVector(Vector* vector) { return dynamic_cast<HandleVector*>(vector); }

const HandleVector* indexedHandleVector(const Vector* vector) {
  return dynamic_cast<const HandleVector*>(vector);
}

Vector* publishedHandleVector(Vector* vector) {
  if (const HandleVector* indexed = indexedHandleVector(vector)) indexed->publish();
  return vector;
}

const Vector* publishedHandleVector(const Vector* vector) {
  if (const HandleVector* indexed = indexedHandleVector(vector)) indexed->publish();
  return vector;
}

bool handleVectorHolds(const Vector* vector, const OBInterface* handle) {
  return handleVectorPosition(vector, handle) >= 0;
}

int handleVectorPosition(const Vector* vector, const OBInterface* handle) {
  if (!vector) return -1;
  if (const HandleVector* indexed = indexedHandleVector(vector)) return indexed->positionOf(handle);
  return vector->indexOf(handle);
}
