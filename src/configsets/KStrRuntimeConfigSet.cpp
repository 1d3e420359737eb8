// The runtime options: the logged states as lists and handles.
#include "configsets/KStrRuntimeConfigSet.hpp"

#include <memory>

#include <obk/Vector.hpp>

#include "host/HostHelpers.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"

KStrRuntimeConfigSet::KStrRuntimeConfigSet() = default;

KStrRuntimeConfigSet::~KStrRuntimeConfigSet() { clearStates(); }

std::pair<const KStrRuntimeConfigSetApi::SpeciesList*, const KStrRuntimeConfigSetApi::ParameterList*>
KStrRuntimeConfigSet::getStatesToLog() const {
  if (!hasLists_) return {nullptr, nullptr};
  return {&species_.view(), &parameters_.view()};
}

void KStrRuntimeConfigSet::setStatesToLog(SpeciesList* species, ParameterList* parameters,
                                          StateList* all) {
  std::unique_ptr<SpeciesList> ownSpecies(species);
  std::unique_ptr<ParameterList> ownParameters(parameters);
  std::unique_ptr<StateList> ownAll(all);
  species_.clear();
  parameters_.clear();
  all_.clear();
  hasLists_ = species || parameters || all;
  if (species) {
    for (BSpecies* s : *species) species_.append(s);
  }
  if (parameters) {
    for (BParameter* p : *parameters) parameters_.append(p);
  }
  if (all) {
    for (const KelborComponent* c : *all) all_.append(c);
  }
  setCompileNeeded(true);
}

size_t KStrRuntimeConfigSet::getStateIndex(const KelborComponent* component) const {
  return all_.indexOf(component);
}

const Vector* KStrRuntimeConfigSet::getStatesToLogOBIs() const {
  return hasHandles_ ? handles_.view() : nullptr;
}

void KStrRuntimeConfigSet::setStatesToLogOBIs(Vector* handles) {
  handles_.clear();
  hasHandles_ = handles != nullptr;
  if (handles) {
    for (OBInterface* handle : handles->elements()) handles_.adopt(handle);
    delete handles;
  }
  setCompileNeeded(true);
}

void KStrRuntimeConfigSet::removeState(const KelborComponent* component) {
  if (!component) return;
  auto* mutableComponent = const_cast<KelborComponent*>(component);
  if (component->getEnumType() == kstr::species) {
    species_.remove(static_cast<BSpecies*>(mutableComponent));
  } else if (component->getEnumType() == kstr::parameter) {
    parameters_.remove(static_cast<BParameter*>(mutableComponent));
  }
  all_.remove(component);
}

void KStrRuntimeConfigSet::setStatesToLogSet(bool set) {
  statesToLogSet_ = set;
  setCompileNeeded(true);
}

void KStrRuntimeConfigSet::removeLoggedState(OBInterface* handle, const KelborComponent* component) {
  if (!handles_.contains(handle)) return;
  handles_.remove(handle);
  removeState(component);
}

void KStrRuntimeConfigSet::clearStates() {
  handles_.clear();
  species_.clear();
  parameters_.clear();
  all_.clear();
  hasLists_ = false;
  hasHandles_ = false;
}

void KStrRuntimeConfigSet::assignStates(const kstrVector<OBInterface*>& handles) {
  clearStates();
  hasLists_ = true;
  hasHandles_ = true;
  for (OBInterface* handle : handles) {
    KelborComponent* component = componentOf(handle);
    if (!component || !handles_.append(handle)) continue;
    if (component->getEnumType() == kstr::species) {
      species_.append(static_cast<BSpecies*>(component));
    } else {
      parameters_.append(static_cast<BParameter*>(component));
    }
    all_.append(component);
  }
  setCompileNeeded(true);
}
