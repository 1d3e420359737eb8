// The compile-service object: one build fills the model's quantities in
// compile order, its active reactions, kinetic laws, rules and events and
// the reactant and product stoichiometry.
#include "compile/MiniCompileObject.hpp"

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>

#include "compile/ModelWalk.hpp"
#include "compile/Stoichiometry.hpp"
#include "core/QuantityComponent.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"

namespace {

// A new empty vector in the host allocator.
template <class T>
void allocateList(kstrVector<T>*& list) {
  void* block = hbCalloc(1, sizeof(kstrVector<T>));
  if (!block) kstr_error("Kestrion:MallocError", kstr::code(kstr::MessageCode::KS_MallocError));
  list = new (block) kstrVector<T>();
}

template <class T>
void freeList(kstrVector<T>*& list) {
  if (!list) return;
  list->~vector();
  hbFree(list);
  list = nullptr;
}

}  // namespace

MiniCompileObjectApi::~MiniCompileObjectApi() = default;

void* MiniCompileObject::operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return hbCalloc(1, size);
}

void MiniCompileObject::operator delete(void* p) noexcept { hbFree(p); }

void MiniCompileObject::operator delete(void* p, const std::nothrow_t&) noexcept { hbFree(p); }

MiniCompileObject::~MiniCompileObject() {
  freeList(speciesComponents_);
  freeList(species_);
  freeList(parameterComponents_);
  freeList(reactions_);
  freeList(kineticLaws_);
  freeList(rules_);
  freeList(events_);
  freeList(attachedData_);
  freeList(models_);
  freeList(initialValues_);
  freeList(constantFlags_);
  freeList(boundaryConditionFlags_);
  qxDestroyArray(reactantStoichiometry_);
  qxDestroyArray(productStoichiometry_);
}

void MiniCompileObject::setAttachedData(kstrVector<void*>* data) {
  if (data != attachedData_) freeList(attachedData_);
  attachedData_ = data;
}

void MiniCompileObject::allocateLists() {
  allocateList(speciesComponents_);
  allocateList(species_);
  allocateList(parameterComponents_);
  allocateList(reactions_);
  allocateList(kineticLaws_);
  allocateList(rules_);
  allocateList(events_);
  allocateList(models_);
  allocateList(initialValues_);
  allocateList(constantFlags_);
  allocateList(boundaryConditionFlags_);
}

void MiniCompileObject::build() {
  if (built_) return;
  built_ = true;
  allocateLists();
  kstr::compile::buildCompileStoichiometry(model_, reactantStoichiometry_, productStoichiometry_,
                                           *reactions_, *models_, *events_, *rules_);
  collectCompileQuantities();
  for (const BReaction* reaction : *reactions_) kineticLaws_->push_back(reaction->getKineticLawApi());
}

void MiniCompileObject::appendQuantity(kstrVector<kstr::QuantityComponent*>& list,
                                       kstr::QuantityComponent* quantity) {
  list.push_back(quantity);
  initialValues_->push_back(quantity->getInitialValue());
  constantFlags_->push_back(quantity->getConstantValue() ? 1 : 0);
}

void MiniCompileObject::collectCompileQuantities() {
  kstrVector<BSpecies*> species;
  kstrVector<BCompartment*> compartments;
  kstr::compile::collectCompartmentTree(*model_, species, compartments);
  for (BSpecies* s : species) {
    appendQuantity(*speciesComponents_, s);
    species_->push_back(s);
    boundaryConditionFlags_->push_back(s->getBoundaryCondition() ? 1 : 0);
  }
  for (uint32_t i = 0; i < model_->getNumParameters(); ++i) {
    appendQuantity(*parameterComponents_, model_->getParameterAt(i));
  }
  for (uint32_t i = 0; i < model_->getNumReactions(); ++i) {
    const BKineticLaw* law = model_->getReactionAt(static_cast<int>(i))->getKineticLawApi();
    if (!law) continue;
    for (size_t k = 0; k < law->getNumParameters(); ++k) {
      appendQuantity(*parameterComponents_, law->getParameterAt(k));
    }
  }
  for (BCompartment* c : compartments) appendQuantity(*parameterComponents_, c);
}

MiniCompileObjectApi* createMiniCompileObject(Kelbor* model) {
  if (!model) return nullptr;
  return new (std::nothrow) MiniCompileObject(model);
}
