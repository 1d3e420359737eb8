// The runtime options of a configuration set: which states a simulation
// logs, kept as component lists for the simulation side and as host
// handles for the host side.
#pragma once

#include "configsets/HandleSequence.hpp"
#include "configsets/IndexedSequence.hpp"
#include "configsets/KStrConfigurationSetApi.hpp"

class KELBOR_API KStrRuntimeConfigSet : public KStrRuntimeConfigSetApi {
 public:
  KStrRuntimeConfigSet();
  ~KStrRuntimeConfigSet() override;
  KStrRuntimeConfigSet(const KStrRuntimeConfigSet&) = delete;
  KStrRuntimeConfigSet& operator=(const KStrRuntimeConfigSet&) = delete;

  std::pair<const SpeciesList*, const ParameterList*> getStatesToLog() const override;
  // Takes the lists (allocated with new; deleted here).
  void setStatesToLog(SpeciesList* species, ParameterList* parameters, StateList* all) override;
  size_t getStateIndex(const KelborComponent* component) const override;
  const Vector* getStatesToLogOBIs() const override;
  // Releases the handles held, then takes the vector's (deleted here).
  void setStatesToLogOBIs(Vector* handles) override;
  void removeState(const KelborComponent* component) override;
  bool getStatesToLogSet() const override { return statesToLogSet_; }
  void setStatesToLogSet(bool set) override;

  // Logarithmic in the number of logged states.
  void removeLoggedState(OBInterface* handle, const KelborComponent* component) override;
  // Forgets the choice's handles and lists (lists absent afterwards).
  void clearStates();
  // Makes the given states the logged ones (species to the species list,
  // the rest to the parameters), each handle with a new reference.
  void assignStates(const kstrVector<OBInterface*>& handles);
  bool hasLists() const { return hasLists_; }
  size_t numLoggedStates() const { return species_.size() + parameters_.size(); }
  const kstr::configsets::HandleSequence& handles() const { return handles_; }

 private:
  kstr::configsets::IndexedSequence<BSpecies*> species_;
  kstr::configsets::IndexedSequence<BParameter*> parameters_;
  kstr::configsets::IndexedSequence<const KelborComponent*> all_;
  kstr::configsets::HandleSequence handles_;
  bool hasLists_ = false;
  bool hasHandles_ = false;
  bool statesToLogSet_ = false;
};
