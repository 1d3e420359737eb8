#pragma once

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "expressions/ExpressionBasedComponent.hpp"

class BKineticLaw;
class BParameter;
class BSpecies;

// A reaction: its equation (reactant and product terms) and rate, and the
// kinetic law that makes its rate.  The model holds reactions through this
// class and calls only what is declared here.
class KELBOR_API BReaction : public ExpressionBasedComponent {
 public:
  const char* getType() const override { return "reaction"; }
  kstr::bcomptype getEnumType() const override { return kstr::reaction; }

  virtual BKineticLaw* getKineticLaw() const = 0;
  // Append the reactant (product) species in term order.
  virtual void getReactants(kstrVector<BSpecies*>& out) const = 0;
  virtual void getProducts(kstrVector<BSpecies*>& out) const = 0;
  // Appends the kinetic law's parameters in the law's order; without
  // includeConstant, those with ConstantValue set are left out.
  virtual void fillParameters(kstrVector<BParameter*>& out, bool includeConstant) const = 0;
  // Called by the model when its compartment count goes from one to two
  // (true) or from two to one (false).
  virtual void updateReactionExpressionForMultiCompartmentTransition(bool multiple) = 0;
  // Called by the model after taking the reaction out of its list.
  virtual void removeDependentState() = 0;
};
