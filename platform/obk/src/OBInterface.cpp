#include "obk/OBInterface.hpp"

#include <exception>
#include <string>

#include "obk/OBClass.hpp"
#include "obk/OBDatabaseClient.hpp"
#include "obk/OBDispatch.hpp"
#include "obk/OBErrorStatus.hpp"
#include "obk/OBEvents.hpp"
#include "obk/OBPropInfo.hpp"
#include "obk/OBTypes.hpp"
#include "obk_events.hpp"
#include "obk_internal.hpp"

namespace {

size_t& liveInstances() {
  static size_t n = 0;
  return n;
}

std::vector<std::string>& diagnostics() {
  static auto* d = new std::vector<std::string>;
  return *d;
}

std::string describe(const OBInterface* obj) {
  return std::string("'") + obj->getClass()->getFullName() + "' instance";
}

}  // namespace

const std::vector<std::string>& obkDestroyDiagnostics() { return diagnostics(); }
void obkClearDestroyDiagnostics() { diagnostics().clear(); }
size_t OBInterface::liveCount() noexcept { return liveInstances(); }

OBInterface::OBInterface(void* component, OBClass* cls, void* db)
    : component_(component), cls_(cls), db_(db) {
  if (cls == nullptr) obk_detail::raise("obk:InvalidClass", "An instance needs a class.");
  obkInstallHandleHooks();
  ++liveInstances();
}

OBInterface::~OBInterface() { --liveInstances(); }

void OBInterface::checkValid() const {
  if (state_ == Destroyed)
    obk_detail::raise("obk:InvalidObject", "Invalid or deleted object.");
}

std::vector<OBInterface*> OBInterface::getChildren() const {
  std::vector<OBInterface*> out;
  out.reserve(childCount_);
  for (OBInterface* c = firstChild_; c != nullptr; c = c->next_) out.push_back(c);
  return out;
}

// --- tree ----------------------------------------------------------------------

bool OBInterface::isInSubtreeOf(const OBInterface* other) const noexcept {
  for (const OBInterface* p = this; p != nullptr; p = p->parent_)
    if (p == other) return true;
  return false;
}

// Unlinks from the parent's child list; the tree's reference stays.
void OBInterface::detach() {
  if (parent_ == nullptr) return;
  (prev_ ? prev_->next_ : parent_->firstChild_) = next_;
  (next_ ? next_->prev_ : parent_->lastChild_) = prev_;
  --parent_->childCount_;
  parent_ = prev_ = next_ = nullptr;
}

void OBInterface::addBelow(OBInterface* parent) {
  checkValid();
  if (parent != nullptr) {
    parent->checkValid();
    if (parent->isInSubtreeOf(this))
      obk_detail::raise("obk:InvalidParent",
                        "An object cannot be placed below itself or its descendants.");
  }
  bool hadParent = parent_ != nullptr;
  if (parent != nullptr && !hadParent) getReference();
  detach();
  if (parent == nullptr) {
    if (hadParent) releaseReference();
    return;
  }
  parent_ = parent;
  prev_ = parent->lastChild_;
  (prev_ ? prev_->next_ : parent->firstChild_) = this;
  parent->lastChild_ = this;
  ++parent->childCount_;
}

// --- references ------------------------------------------------------------------

void OBInterface::releaseExternalReference() {
  if (extRefs_ <= 0) {
    diagnostics().push_back("external reference released without one held on a " + describe(this));
    return;
  }
  --extRefs_;
  releaseReference();
}

void OBInterface::releaseReference() {
  if (refs_ <= 0) {
    diagnostics().push_back("reference released twice on a " + describe(this));
    return;
  }
  if (--refs_ > 0) return;
  if (state_ == Destroyed) {
    delete this;
    return;
  }
  if (state_ == BeingDestroyed || parent_ != nullptr) return;
  // The last reference of a live, unparented instance: destroy it without
  // asking the guard, then free it unless a hook took a new reference.
  refs_ = 1;
  markSubtree(BeingDestroyed);
  destroyChildren();
  finishDestroy();
  releaseReference();
}

// --- life cycle ----------------------------------------------------------------------

void OBInterface::activate() noexcept {
  if (state_ == Created) state_ = Active;
}

void OBInterface::internalToExternal() noexcept { activate(); }

void OBInterface::markSubtree(int state) noexcept {
  state_ = state;
  for (OBInterface* c = firstChild_; c != nullptr; c = c->next_) c->markSubtree(state);
}

// Destroys the children post-order; a refusing guard is overridden and
// recorded.
void OBInterface::destroyChildren() {
  std::vector<OBInterface*> kids = getChildren();
  for (OBInterface* c : kids) c->getReference();
  for (OBInterface* c : kids) {
    if (c->state_ != BeingDestroyed) continue;  // moved away by a hook
    c->destroyChildren();
    if (!c->cls_->isOkToDestroy(c))
      diagnostics().push_back("the guard of a " + describe(c) +
                              " refused while its parent was destroyed");
    c->finishDestroy();
  }
  for (OBInterface* c : kids) c->releaseReference();
}

// Runs the hook (its errors are recorded), then detaches, clears the
// component and marks the instance destroyed.
void OBInterface::finishDestroy() {
  try {
    cls_->destroyInstance(this);
  } catch (const std::exception& e) {
    diagnostics().push_back("the destroy hook of a " + describe(this) + " raised: " + e.what());
  } catch (...) {
    diagnostics().push_back("the destroy hook of a " + describe(this) + " raised");
  }
  component_ = nullptr;
  state_ = Destroyed;
  if (parent_ != nullptr) {
    detach();
    releaseReference();  // the tree's reference; the caller still holds one
  }
}

bool OBInterface::destroy(OBDatabaseClient*) {
  if (state_ >= BeingDestroyed) return state_ == Destroyed;
  if (!cls_->isOkToDestroy(this)) return false;
  getReference();
  markSubtree(BeingDestroyed);
  destroyChildren();
  finishDestroy();
  releaseReference();
  return true;
}
