// The host handles of a list property, with their references.
#include "configsets/HandleSequence.hpp"

#include <obk/OBInterface.hpp>
#include <obk/Vector.hpp>

namespace kstr::configsets {

HandleSequence::HandleSequence() = default;

HandleSequence::~HandleSequence() { clear(); }

bool HandleSequence::append(OBInterface* handle) {
  if (!handle || !handles_.append(handle)) return false;
  handle->getReference();
  viewStale_ = true;
  return true;
}

void HandleSequence::adopt(OBInterface* handle) {
  if (!handle) return;
  if (!handles_.append(handle)) {
    handle->releaseReference();
    return;
  }
  viewStale_ = true;
}

bool HandleSequence::remove(OBInterface* handle) {
  if (!handles_.remove(handle)) return false;
  viewStale_ = true;
  handle->releaseReference();
  return true;
}

void HandleSequence::clear() {
  const kstrVector<OBInterface*> held = handles_.view();
  handles_.clear();
  viewStale_ = true;
  for (OBInterface* handle : held) handle->releaseReference();
}

const Vector* HandleSequence::view() const {
  if (!view_) view_ = std::make_unique<Vector>();
  if (viewStale_) {
    view_->removeAllElements();
    for (OBInterface* handle : handles_.view()) view_->addElement(handle);
    viewStale_ = false;
  }
  return view_.get();
}

}  // namespace kstr::configsets
