// The host handles of a list property (states to log, sensitivity factors):
// distinct handles in order, one counted reference each, removable in
// logarithmic time, and handed to readers as a host Vector view.
#pragma once

#include <memory>

#include "configsets/IndexedSequence.hpp"
#include "core/KelborApi.hpp"

class OBInterface;
class Vector;

namespace kstr::configsets {

class KELBOR_API HandleSequence {
 public:
  HandleSequence();
  ~HandleSequence();
  HandleSequence(const HandleSequence&) = delete;
  HandleSequence& operator=(const HandleSequence&) = delete;

  size_t size() const noexcept { return handles_.size(); }
  bool contains(OBInterface* handle) const { return handles_.contains(handle); }
  // Appends with a new reference; false (no reference taken) when present.
  bool append(OBInterface* handle);
  // Appends taking over a reference the caller holds; a handle already
  // present gives that reference back.
  void adopt(OBInterface* handle);
  // Removes the handle and releases its reference; false when absent.
  bool remove(OBInterface* handle);
  // Releases every reference and empties the list.
  void clear();
  // The handles in order; the view holds no references of its own and is
  // valid until the next change.
  const Vector* view() const;
  const kstrVector<OBInterface*>& handles() const { return handles_.view(); }

 private:
  IndexedSequence<OBInterface*> handles_;
  mutable std::unique_ptr<Vector> view_;
  mutable bool viewStale_ = true;
};

}  // namespace kstr::configsets
