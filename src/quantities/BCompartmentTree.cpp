// Changes of the compartment tree: species and sub-compartments coming and
// going, and compartments moving between owners and models.  Every check
// runs before the first change, so a refused change leaves the tree, the
// host tree and the model as they were.
#include <algorithm>
#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <obk/OBInterface.hpp>
#include <set>

#include "core/ListRemoval.hpp"
#include "host/HandleVector.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"

namespace {

[[noreturn]] void raiseDuplicateName() {
  kstr_error("Kestrion:COMPARTMENT_DUPLICATE_NAME",
             kstr::code(kstr::MessageCode::KS_COMPARTMENT_DUPLICATE_NAME));
}

[[noreturn]] void raiseInvalidOwner(const char* id, kstr::MessageCode message) {
  kstr_error(id, kstr::code(message));
}

// Puts the instance below the parent's instance; nothing unless both
// exist (a null parent would detach the instance).
void attachInstance(OBInterface* instance, OBInterface* parent) {
  if (instance && parent) addObjectBelow(instance, parent);
}

void enterInstance(OBInterface* instance, void* vector) {
  if (instance) addToHandleVector(instance, static_cast<Vector*>(vector));
}

// Takes the member out of the list.  While the owner's instance is being
// destroyed every member leaves, so the order of the rest no longer matters
// and the list is emptied from the back (linear for the whole tree).
// The list has the order of the owner's handle vector, so the member's
// place there (hint, -1 when unknown) spares the search when it agrees.
template <class T>
bool eraseMember(kstrVector<T*>& list, T* member, const OBInterface* owner, int hint = -1) {
  if (owner && owner->isBeingDestroyed()) return kstr::eraseUnordered(list, member);
  if (hint >= 0 && static_cast<size_t>(hint) < list.size() && list[static_cast<size_t>(hint)] == member) {
    list.erase(list.begin() + hint);
    return true;
  }
  auto it = std::find(list.begin(), list.end(), member);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

template <class T>
bool eraseMember(kstr::MemberList<T*>& list, T* member, const OBInterface* owner, int hint = -1) {
  if (owner && owner->isBeingDestroyed()) return list.eraseUnordered(member);
  return list.erase(member, hint);
}

void leaveInstance(OBInterface* owner, OBInterface* instance, void* vector) {
  if (instance) leaveOwnedHandleVector(owner, instance, static_cast<Vector*>(vector));
}

}  // namespace

// --- helpers -------------------------------------------------------------------

bool BCompartment::hasMember(const BCompartment* sub) const {
  return std::find(compartments_.begin(), compartments_.end(), sub) != compartments_.end();
}

void BCompartment::appendSub(BCompartment* sub) {
  compartments_.push_back(sub);
  sub->owner_ = this;
  sub->setModelCompileNeeded();
}

// A sub-compartment may come under this one when it is not a member yet and
// this compartment is not the sub-compartment itself or below it.
void BCompartment::checkCanAdopt(const BCompartment* sub) const {
  if (hasMember(sub)) raiseDuplicateName();
  if (sub->isOwnerObjADescendant(this)) {
    raiseInvalidOwner("Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT",
                      kstr::MessageCode::KS_COMPARTMENT_INVALID_OWNER_DESCENDANT);
  }
}

// Every name of the sub-compartment's tree must be free in this
// compartment's model and occur once in the tree.
void BCompartment::checkTreeNamesFree(const BCompartment* sub) const {
  Kelbor* model = getParentModel();
  if (!model) return;
  kstrVector<const char*> names;
  names.push_back(sub->getName().c_str());
  sub->getNamesInTree(names);
  checkNamesCanJoin(names, *model, "Kestrion:COMPARTMENT_DUPLICATE_NAME");
}

// Every compartment of the tree gets the model as parent and its host
// handle as parent host handle and enters the model's compartment handle
// vector; every species takes the model data of its compartment again.
void BCompartment::joinModelTree(BCompartment* sub, Kelbor* model) {
  sub->setParent(model);
  sub->setOBIParent(model->getOBI());
  enterInstance(sub->getOBI(), model->getOBICompartments());
  for (BSpecies* species : sub->species_.items()) species->setParent(sub);
  for (BCompartment* child : sub->compartments_) joinModelTree(child, model);
}

void BCompartment::tellTreeAdded(BCompartment* sub, Kelbor* model) {
  model->componentAdded(sub);
  for (BSpecies* species : sub->species_.items()) model->componentAdded(species);
  for (BCompartment* child : sub->compartments_) tellTreeAdded(child, model);
}

void BCompartment::tellTreeRemoved(BCompartment* sub, Kelbor* model) {
  for (BSpecies* species : sub->species_.items()) model->componentRemoved(species);
  for (BCompartment* child : sub->compartments_) tellTreeRemoved(child, model);
  model->componentRemoved(sub);
}

// --- species -----------------------------------------------------------------------

void BCompartment::addSpecies(BSpecies* species) {
  species_.push_back(species);
  speciesByName_.emplace(species->getName(), species);
  species->setParent(this);
  if (Kelbor* model = getModel()) model->componentAdded(species);
  setModelCompileNeeded();
}

void BCompartment::removeSpecies(BSpecies* species) {
  const bool going = getOBI() && getOBI()->isBeingDestroyed();
  const int hint = !going && species->getOBI() ? handleVectorPosition(obiSpecies_, species->getOBI()) : -1;
  if (eraseMember(species_, species, getOBI(), hint)) {
    leaveInstance(getOBI(), species->getOBI(), obiSpecies_);
    // While the whole model is being destroyed it resolves no name, and
    // nothing looks its species up by name: the first species to leave
    // empties the index at once, instead of each searching out its entry.
    if (going && isModelBeingDestroyed()) {
      if (!speciesByName_.empty()) SpeciesNameIndex().swap(speciesByName_);
      leftSpeciesEntries_ = 0;
    } else {
      eraseFromIndex(species, species->getName());
    }
    if (Kelbor* model = getModel()) model->componentRemoved(species);
  }
  setModelCompileNeeded();
}

void BCompartment::deleteSpecies(BSpecies* species) {
  if (eraseMember(species_, species, getOBI())) {
    eraseFromIndex(species, species->getName());
  }
  setModelCompileNeeded();
}

void BCompartment::reorderSpecies(const SpeciesList& order) {
  species_.assign(order);
  rebuildSpeciesIndex();
  setModelCompileNeeded();
}

void BCompartment::reorderCompartments(const CompartmentList& order) {
  compartments_ = order;
  setModelCompileNeeded();
}

// --- sub-compartments ------------------------------------------------------------------

void BCompartment::addCompartment(BCompartment* sub) {
  checkCanAdopt(sub);
  if (sub->getParent()) {
    // A compartment of a model moves only within it, through its owner.
    Kelbor* model = getParentModel();
    if (!model || sub->getParent() != model) {
      raiseInvalidOwner("Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL",
                        kstr::MessageCode::KS_COMPARTMENT_INVALID_OWNER_SAME_MODEL);
    }
    sub->setOwner(this);
    return;
  }
  checkTreeNamesFree(sub);
  if (sub->owner_) {
    sub->owner_->removeCompartment(sub);
    sub->owner_ = nullptr;
  }
  appendSub(sub);
  enterInstance(sub->getOBI(), obiCompartments_);
  attachInstance(sub->getOBI(), getOBI());
  if (Kelbor* parentModel = getParentModel()) joinModelTree(sub, parentModel);
  Kelbor* model = getModel() ? getModel() : getEnclosingModel(getOBI());
  if (model) tellTreeAdded(sub, model);
  setModelCompileNeeded();
}

BCompartment* BCompartment::addCompartment(std::string& name) {
  STDStringHelpers::trimWhitespace(name);
  auto* sub = new BCompartment();
  try {
    sub->errorForInvalidName(name, getParent());
    sub->setName(name);
    appendSub(sub);  // nothing is appended when the list cannot grow
  } catch (...) {
    sub->releaseHandleVectors();
    delete sub;
    throw;
  }
  if (KelborComponent* parent = getParent()) {
    sub->setParent(parent);
    sub->setOBIParent(parent->getOBI());
  }
  if (Kelbor* model = getModel()) {
    try {
      model->componentAdded(sub);
    } catch (...) {
      discardNewCompartment(sub);
      throw;
    }
  }
  setModelCompileNeeded();
  return sub;
}

void BCompartment::discardNewCompartment(BCompartment* sub) noexcept {
  try {
    removeCompartment(sub);
  } catch (...) {
    return;
  }
  sub->owner_ = nullptr;
  sub->releaseHandleVectors();
  delete sub;
}

void BCompartment::addCompartmentHack(BCompartment* sub) {
  checkCanAdopt(sub);
  appendSub(sub);
  // A copy arrives with its own copied tree, which joins the model with it.
  if (Kelbor* parentModel = getParentModel()) joinModelTree(sub, parentModel);
  if (Kelbor* model = getModel()) tellTreeAdded(sub, model);
  setModelCompileNeeded();
}

void BCompartment::moveCompartment(BCompartment* sub) {
  checkCanAdopt(sub);
  appendSub(sub);
  enterInstance(sub->getOBI(), obiCompartments_);
  attachInstance(sub->getOBI(), getOBI());
  Kelbor* parentModel = getParentModel();
  if (parentModel && sub->getParent() != parentModel) joinModelTree(sub, parentModel);
  if (Kelbor* model = getModel()) tellTreeAdded(sub, model);
  setModelCompileNeeded();
}

void BCompartment::adoptTopLevelCompartment(BCompartment* sub) {
  appendSub(sub);
  enterInstance(sub->getOBI(), obiCompartments_);
  attachInstance(sub->getOBI(), getOBI());
  setModelCompileNeeded();
}

void BCompartment::removeCompartment(BCompartment* sub) {
  setModelCompileNeeded();
  const bool member = eraseMember(compartments_, sub, getOBI());
  leaveInstance(getOBI(), sub->getOBI(), obiCompartments_);
  // Only a member's tree leaves the model: anything else is not ours.
  if (Kelbor* model = getModel(); model && member) tellTreeRemoved(sub, model);
}

void BCompartment::removeCompartment(const char*) { setModelCompileNeeded(); }

// --- owners ----------------------------------------------------------------------------

void BCompartment::updateOwner(BCompartment* owner) {
  if (owner_ != owner) {
    if (owner) owner->checkCanAdopt(this);
    if (owner_) {
      owner_->removeCompartment(this);
      owner_ = nullptr;
    }
    if (owner) owner->moveCompartment(this);
  }
  setModelCompileNeeded();
}

void BCompartment::setOwner(BCompartment* owner) {
  if (Kelbor* model = getParentModel()) {
    setOwnerInModel(owner, model);
  } else {
    setOwnerOutsideModel(owner);
  }
}

void BCompartment::setOwnerOutsideModel(BCompartment* owner) {
  if (!owner) {
    if (owner_) {
      raiseInvalidOwner("Kestrion:COMPARTMENT_INVALID_OWNER",
                        kstr::MessageCode::KS_COMPARTMENT_INVALID_OWNER);
    }
    return;
  }
  if (isOwnerObjADescendant(owner)) {
    raiseInvalidOwner("Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT",
                      kstr::MessageCode::KS_COMPARTMENT_INVALID_OWNER_DESCENDANT);
  }
  if (!owner->getParentModel()) {
    updateOwner(owner);
    return;
  }
  // Coming into a model: the new owner's checks run before this compartment
  // leaves its current (free) owner.
  owner->addCompartment(this);
}

void BCompartment::setOwnerInModel(BCompartment* owner, Kelbor* model) {
  if (!owner) {
    if (!owner_) return;
    owner_->removeCompartment(this);
    owner_ = nullptr;
    attachInstance(getOBI(), model->getOBI());
    model->addCompartment(this);
    return;
  }
  if (owner->getParentModel() != model) {
    raiseInvalidOwner("Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL",
                      kstr::MessageCode::KS_COMPARTMENT_INVALID_OWNER_SAME_MODEL);
  }
  if (isOwnerObjADescendant(owner)) {
    raiseInvalidOwner("Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT",
                      kstr::MessageCode::KS_COMPARTMENT_INVALID_OWNER_DESCENDANT);
  }
  if (owner_) {
    owner_->removeCompartment(this);
    owner_ = nullptr;
  } else {
    model->removeCompartment(this);
  }
  owner->moveCompartment(this);
}
