// The sensitivity-analysis options of a configuration set: the species and
// parameters whose values are input factors, the species whose
// sensitivities are outputs, and the normalization.
#pragma once

#include "configsets/HandleSequence.hpp"
#include "configsets/KStrConfigurationSetApi.hpp"

class KELBOR_API KStrSensitivityAnalysisConfigSet : public KStrSensitivityAnalysisConfigSetApi {
 public:
  enum List { SpeciesInputs = 0, SpeciesOutputs = 1, ParameterInputs = 2, Reserved = 3 };
  static constexpr int kNumLists = 4;

  const Vector* getSpeciesInputFactors() const override { return viewOf(SpeciesInputs); }
  void setSpeciesInputFactors(Vector* handles) override { take(SpeciesInputs, handles); }
  const Vector* getSpeciesOutputs() const override { return viewOf(SpeciesOutputs); }
  void setSpeciesOutputs(Vector* handles) override { take(SpeciesOutputs, handles); }
  const Vector* getParameterInputFactors() const override { return viewOf(ParameterInputs); }
  void setParameterInputFactors(Vector* handles) override { take(ParameterInputs, handles); }
  const Vector* getReservedFactors() const override { return viewOf(Reserved); }
  void setReservedFactors(Vector* handles) override { take(Reserved, handles); }
  int getNormalization() const override { return normalization_; }
  void setNormalization(int normalization) override {
    normalization_ = normalization;
    setCompileNeeded(true);
  }
  void removeComponent(OBInterface* instance) override;

  // The handles of one list, with their references.
  kstr::configsets::HandleSequence& list(List which) { return lists_[which]; }
  const kstr::configsets::HandleSequence& list(List which) const { return lists_[which]; }
  // Replaces one list with the given handles (new references; duplicates
  // dropped) and marks compile needed.
  void assign(List which, const kstrVector<OBInterface*>& handles);

 private:
  const Vector* viewOf(List which) const;
  void take(List which, Vector* handles);

  kstr::configsets::HandleSequence lists_[kNumLists];
  int normalization_ = 0;
};
