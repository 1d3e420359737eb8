// The compile-service object behind MiniCompileObjectApi.
#pragma once

#include <cstddef>
#include <new>

#include "compile/MiniCompileObjectApi.hpp"

class MiniCompileObject final : public MiniCompileObjectApi {
 public:
  explicit MiniCompileObject(Kelbor* model) : model_(model) {}
  ~MiniCompileObject() override;
  MiniCompileObject(const MiniCompileObject&) = delete;
  MiniCompileObject& operator=(const MiniCompileObject&) = delete;

  // The object lives in the host allocator.
  static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
  static void operator delete(void* p) noexcept;
  static void operator delete(void* p, const std::nothrow_t&) noexcept;

  void build() override;
  kstrVector<kstr::QuantityComponent*>* getSpeciesComponents() override { return speciesComponents_; }
  kstrVector<kstr::QuantityComponent*>* getParameterComponents() override {
    return parameterComponents_;
  }
  kstrVector<BSpecies*>* getSpecies() override { return species_; }
  kstrVector<BReaction*>* getReactions() override { return reactions_; }
  kstrVector<BKineticLaw*>* getKineticLaws() override { return kineticLaws_; }
  kstrVector<BRule*>* getRules() override { return rules_; }
  kstrVector<BEvent*>* getEvents() override { return events_; }
  kstrVector<void*>* getAttachedData() override { return attachedData_; }
  void setAttachedData(kstrVector<void*>* data) override;
  kstrVector<Kelbor*>* getModels() override { return models_; }
  qxArray* getReactantStoichiometry() override { return reactantStoichiometry_; }
  qxArray* getProductStoichiometry() override { return productStoichiometry_; }
  kstrVector<double>* getInitialValues() override { return initialValues_; }
  kstrVector<uint16_t>* getConstantFlags() override { return constantFlags_; }
  kstrVector<uint16_t>* getBoundaryConditionFlags() override { return boundaryConditionFlags_; }

 private:
  void allocateLists();
  void collectCompileQuantities();
  void appendQuantity(kstrVector<kstr::QuantityComponent*>& list, kstr::QuantityComponent* q);

  Kelbor* model_;
  kstrVector<kstr::QuantityComponent*>* speciesComponents_ = nullptr;
  kstrVector<kstr::QuantityComponent*>* parameterComponents_ = nullptr;
  kstrVector<BSpecies*>* species_ = nullptr;
  kstrVector<BReaction*>* reactions_ = nullptr;
  kstrVector<BKineticLaw*>* kineticLaws_ = nullptr;
  kstrVector<BRule*>* rules_ = nullptr;
  kstrVector<BEvent*>* events_ = nullptr;
  kstrVector<void*>* attachedData_ = nullptr;
  kstrVector<Kelbor*>* models_ = nullptr;
  qxArray* reactantStoichiometry_ = nullptr;
  qxArray* productStoichiometry_ = nullptr;
  kstrVector<double>* initialValues_ = nullptr;
  kstrVector<uint16_t>* constantFlags_ = nullptr;
  kstrVector<uint16_t>* boundaryConditionFlags_ = nullptr;
  bool built_ = false;
};
