#include "core/ComponentCopy.hpp"

#include <cstring>
#include <utility>

#include "host/Host.hpp"
#include "host/HostHelpers.hpp"

namespace {

const char kInvalidArgId[] = "Kestrion:COPYOBJ_INVALIDARG";
const char kRootText[] = "KSTRROOT cannot be copied.";
const char kEmptyParentText[] =
    "POBJ cannot be empty. Type 'kstrhelp copyobj' for more information.";
const char kRefusedParentText[] =
    "OBJ cannot be copied to POBJ. Type 'kstrhelp copyobj' for more information.";
const char kNotAModelText[] =
    "Invalid MOBJ. MOBJ must be a systems biology model object.\n"
    "Type 'kstrhelp copyobj' for more information.";

[[noreturn]] void throwInvalidArgument(const char* text) {
  throw ErrorIdException(kInvalidArgId, text);
}

OBDatabaseClient* internalClient() { return OBDatabaseClient::getInternalClient(); }

bool isNamed(const char* name, const char* expected) { return std::strcmp(name, expected) == 0; }

bool hasClassName(const OBInterface* instance, const char* name) {
  return isNamed(instance->getClass()->getName(), name);
}

// Destroys a copy that will not be kept (its class's destroy hook runs with
// its parent link in place) and drops its creation reference, which frees
// it.  A copy whose class refuses destruction is taken out of the tree
// first, so that dropping the reference still frees it.
void discardCopy(OBInterface* copy) noexcept {
  try {
    if (!copy->isBeingDestroyed() && !copy->destroy(internalClient())) copy->addBelow(nullptr);
  } catch (...) {
    // The copy is going away either way; its reference is dropped below.
  }
  copy->releaseReference();
}

// Gives up the creation reference of the top copy once the output is set.
// A copy with a parent stays alive through the tree.  A free-standing copy
// must survive until the host has converted the output: a call-temporary
// handle array keeps a reference until the host's call scope closes.
// Outside any host call the caller keeps the creation reference.
void handOverCreationReference(OBInterface* copy) {
  if (copy->getUp() != nullptr) {
    copy->releaseReference();
    return;
  }
  if (qxCallScopeDepth() == 0) return;
  qxArray* holder = qxCreateHandleArray(1, 1);
  qxSetHandle(holder, 0, copy);
  copy->releaseReference();
}

// Reads one handle-bearing property as the internal client and hands the
// value to use; errors of the read mean "no value".
template <typename Use>
void readHeldValue(OBInterface* obj, OBPropInfo* prop, Use use) {
  OBErrorStatus status;
  void* value = obj->getE(prop, internalClient(), status);
  if (value == nullptr) return;
  try {
    use(value);
  } catch (...) {
    obj->release(prop, value, internalClient());
    throw;
  }
  obj->release(prop, value, internalClient());
}

bool isUnfollowedHandle(const char* propertyName) {
  return isNamed(propertyName, "Parent") || isNamed(propertyName, "Owner") ||
         isNamed(propertyName, "SolverOptions");
}

// The objects held by obj's "handle" and "handle vector" properties that a
// copy follows, in property order and, within a vector, element order.  A
// model's "Species" and "Compartments" are reached through its
// compartments; "Parent", "Owner" and "SolverOptions" are never followed.
std::vector<OBInterface*> heldChildren(OBInterface* obj) {
  std::vector<OBInterface*> children;
  const OBClass* cls = obj->getClass();
  const bool isModel = isNamed(cls->getName(), "Model");
  // A copy of the list: copying children may register classes, which
  // rebuilds the class's cached property list.
  const std::vector<OBPropInfo*> properties = cls->getProperties();
  for (OBPropInfo* prop : properties) {
    const char* name = prop->getName();
    const char* typeName = prop->getDataType(obj)->getName();
    if (isNamed(typeName, "handle vector")) {
      if (isModel && (isNamed(name, "Species") || isNamed(name, "Compartments"))) continue;
      readHeldValue(obj, prop, [&children](void* value) {
        for (OBInterface* element : static_cast<const Vector*>(value)->elements()) {
          if (element != nullptr) children.push_back(element);
        }
      });
    } else if (isNamed(typeName, "handle")) {
      if (isUnfollowedHandle(name)) continue;
      readHeldValue(obj, prop, [&children](void* value) {
        children.push_back(static_cast<OBInterface*>(value));
      });
    }
  }
  return children;
}

}  // namespace

ModelComponent_copyobj_MI::ModelComponent_copyobj_MI() {
  setName("copyobj");
  addMethodSignature(new OBMethodSignature({"handle", "handle"}, {"handle"}));
  oneArgSignature_ = new OBMethodSignature({"handle"}, {"handle"});
  addMethodSignature(oneArgSignature_);
}

ModelComponent_copyobj_MI::~ModelComponent_copyobj_MI() { clearDeferredActions(); }

void ModelComponent_copyobj_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[],
                                       int nIn, void* const ins[]) {
  nOut = 1;
  auto* obj = nIn > 0 ? static_cast<OBInterface*>(ins[0]) : nullptr;
  if (obj != nullptr && getKestrionObjectEnumType(obj) == kstr::kstrroot) {
    throwInvalidArgument(kRootText);
  }
  OBInterface* copy = nullptr;
  if (!isOneArgumentSignature(matched)) {
    auto* parent = nIn > 1 ? static_cast<OBInterface*>(ins[1]) : nullptr;
    if (parent == nullptr) throwInvalidArgument(kEmptyParentText);
    if (obj == nullptr || !canCopyInto(obj, parent)) refuseNewParent();
    copy = performCopy(obj, parent);
  } else {
    if (getKestrionObjectEnumType(obj) != kstr::kstrmodel) throwInvalidArgument(kNotAModelText);
    copy = performCopy(obj, nullptr);
  }
  outs[0] = copy;
  handOverCreationReference(copy);
}

bool ModelComponent_copyobj_MI::canCopyInto(OBInterface*, OBInterface*) { return false; }

void ModelComponent_copyobj_MI::attachCopy(OBInterface*, OBInterface*, OBInterface*) {
  hbPrintf("doing nothing\n");
}

void ModelComponent_copyobj_MI::completeCopy(OBInterface*, OBInterface*) {}

void ModelComponent_copyobj_MI::refuseNewParent() { throwInvalidArgument(kRefusedParentText); }

OBInterface* ModelComponent_copyobj_MI::copyOf(const OBInterface* source) const {
  auto found = copies_.find(source);
  return found == copies_.end() ? nullptr : found->second;
}

OBInterface* ModelComponent_copyobj_MI::performCopy(OBInterface* obj, OBInterface* newParent) {
  // Nothing of an earlier call may run against this one's copies.
  clearDeferredActions();
  releaseChildCopies();
  OBInterface* copy = nullptr;
  try {
    copy = copyObjectTree(obj);
    copies_[obj] = copy;
    if (newParent != nullptr) attachCopy(copy, newParent, obj);
    runDeferredActions();
    completeCopy(copy, obj);
  } catch (...) {
    clearDeferredActions();
    if (copy != nullptr) discardCopy(copy);
    discardChildCopies();
    throw;
  }
  releaseChildCopies();
  return copy;
}

OBInterface* ModelComponent_copyobj_MI::copyObjectTree(OBInterface* obj) {
  OBInterface* copy = obj->copy(internalClient());
  try {
    for (OBInterface* child : heldChildren(obj)) copyChild(child, copy);
  } catch (...) {
    discardCopy(copy);
    throw;
  }
  return copy;
}

OBInterface* ModelComponent_copyobj_MI::copyChild(OBInterface* child, OBInterface* newParent) {
  if (child == nullptr) return nullptr;
  auto* info = dynamic_cast<ModelComponent_copyobj_MI*>(child->getClass()->getMethod("copyobj"));
  if (info == nullptr) return nullptr;
  if (info->canCopyInto(child, newParent)) {
    OBInterface* childCopy = copyObjectTree(child);
    try {
      // The map is only read while the call runs; a failure below leaves
      // an entry that the failed call's clean-up drops unread.
      copies_[child] = childCopy;
      childCopies_.push_back(childCopy);
    } catch (...) {
      discardCopy(childCopy);
      throw;
    }
    queueAction(
        [info, childCopy, newParent, child] { info->attachCopy(childCopy, newParent, child); },
        hasClassName(childCopy, "Reaction"));
    return childCopy;
  }
  if (hasClassName(child, "RuntimeOptions")) {
    // The new parent gets fresh run-time options; the instance is not kept
    // by the copy (the tree keeps it when attachCopy placed it).
    OBInterface* fresh = child->getClass()->createObject(internalClient(), nullptr, 0, nullptr);
    try {
      info->attachCopy(fresh, newParent, child);
    } catch (...) {
      discardCopy(fresh);
      throw;
    }
    fresh->releaseReference();
  }
  return nullptr;
}

void ModelComponent_copyobj_MI::runDeferredActions() {
  try {
    // Indexes, not iterators: the lists must stay usable whatever an
    // action does.
    for (size_t i = 0; i < general_.size(); ++i) general_[i]();
    for (size_t i = 0; i < reactions_.size(); ++i) reactions_[i]();
  } catch (...) {
    clearDeferredActions();
    throw;
  }
  clearDeferredActions();
}

void ModelComponent_copyobj_MI::queueAction(DeferredAction action, bool reactionList) {
  (reactionList ? reactions_ : general_).push_back(std::move(action));
}

void ModelComponent_copyobj_MI::clearDeferredActions() noexcept {
  general_.clear();
  reactions_.clear();
}

void ModelComponent_copyobj_MI::releaseChildCopies() noexcept {
  copies_.clear();
  std::vector<OBInterface*> copies;
  copies.swap(childCopies_);
  for (OBInterface* copy : copies) copy->releaseReference();
}

void ModelComponent_copyobj_MI::discardChildCopies() noexcept {
  copies_.clear();
  std::vector<OBInterface*> copies;
  copies.swap(childCopies_);
  for (OBInterface* copy : copies) discardCopy(copy);
}
