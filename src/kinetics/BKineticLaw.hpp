#pragma once

#include <string>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

class BParameter;

// The kinetic law of a reaction: it holds the law's parameters and adds no
// part of its own to qualified names (its parameters are qualified by the
// reaction).
class KELBOR_API BKineticLaw : public KelborComponent {
 public:
  BKineticLaw();
  ~BKineticLaw() override;

  const char* getType() const override { return "kineticlaw"; }
  kstr::bcomptype getEnumType() const override { return kstr::kineticlaw; }
  void fillFullyQualifiedName(std::string& out) const override;
  void fillPartiallyQualifiedName(std::string& out) const override;
  void fillDisplayQualifiedName(std::string& out) const override;

  // Appends the parameter, becomes its parent and, in a model, enters it in
  // the model and marks the model for recompilation.
  void addParameter(BParameter* parameter);
  // Takes the parameter out of the list; absent: nothing.
  void removeParameter(BParameter* parameter);
  const kstrVector<BParameter*>* getParameters() const { return &parameters_; }
  bool isParameterNameInUse(const std::string& name) const;

 private:
  kstrVector<BParameter*> parameters_;
};
