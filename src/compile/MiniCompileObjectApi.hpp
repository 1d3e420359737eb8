// The compile-service interface that the simulation side reads a model
// through, and its exported factory.
#pragma once

#include <cstdint>

#include <ks_utils/kstrContainers.hpp>
#include <qx/qx.hpp>

#include "core/KelborApi.hpp"

class BEvent;
class BKineticLaw;
class BReaction;
class BRule;
class BSpecies;
class Kelbor;
namespace kstr {
class QuantityComponent;
}

// A model's components in compile order with their initial values and
// flags, its active reactions with their kinetic laws, active rules and
// events, and its reactant and product stoichiometry.  Fill it once with
// build(); the getters then hand out the object's own lists (null before
// build()), which stay valid while the object and the unchanged model live.
class KELBOR_API MiniCompileObjectApi {
 public:
  MiniCompileObjectApi() = default;
  MiniCompileObjectApi(const MiniCompileObjectApi&) = default;
  MiniCompileObjectApi& operator=(const MiniCompileObjectApi&) { return *this; }
  virtual ~MiniCompileObjectApi();

  // Fills every list; runs once (a later call does nothing).  Raises
  // "Kestrion:MallocError", "Kestrion:KS_MallocError" or
  // "Kestrion:MatrixUnsupportedComponent"; what was filled stays
  // destroyable.
  virtual void build() = 0;
  // The species, as quantities (index i is row i of both arrays).
  virtual kstrVector<kstr::QuantityComponent*>* getSpeciesComponents() = 0;
  // The model parameters, the kinetic-law parameters of every reaction
  // (inactive ones included) and the compartments.
  virtual kstrVector<kstr::QuantityComponent*>* getParameterComponents() = 0;
  virtual kstrVector<BSpecies*>* getSpecies() = 0;
  // The active reactions (column j of both arrays is reaction j).
  virtual kstrVector<BReaction*>* getReactions() = 0;
  // One per active reaction, null where it has none.
  virtual kstrVector<BKineticLaw*>* getKineticLaws() = 0;
  virtual kstrVector<BRule*>* getRules() = 0;
  virtual kstrVector<BEvent*>* getEvents() = 0;
  virtual kstrVector<void*>* getAttachedData() = 0;
  // Takes ownership of a vector whose object and buffer come from the host
  // allocator; a vector stored before is freed.
  virtual void setAttachedData(kstrVector<void*>* data) = 0;
  virtual kstrVector<Kelbor*>* getModels() = 0;
  // Species x active reactions; null without species or active reactions.
  virtual qxArray* getReactantStoichiometry() = 0;
  virtual qxArray* getProductStoichiometry() = 0;
  // Species first, then the parameter components.
  virtual kstrVector<double>* getInitialValues() = 0;
  virtual kstrVector<uint16_t>* getConstantFlags() = 0;
  // Species only.
  virtual kstrVector<uint16_t>* getBoundaryConditionFlags() = 0;
};

extern "C" {
// A new, unbuilt compile object for the model (destroy it through its
// virtual destructor); null for a null model or when memory runs out.
KELBOR_API MiniCompileObjectApi* createMiniCompileObject(Kelbor* model);
}
