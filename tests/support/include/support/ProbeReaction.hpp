// A reaction whose species lists and kinetic law a test sets directly, and
// which records the compartment-count transitions it was told.  Everything
// else is the real reaction.  For tests of the model and the quantities
// that need a reaction's lists without building its equation.
#pragma once

#include <vector>

#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"

class ProbeReaction : public BReaction {
 public:
  kstrVector<BSpecies*> reactants;
  kstrVector<BSpecies*> products;
  BKineticLaw* law = nullptr;
  std::vector<bool> transitions;

  BKineticLaw* getKineticLaw() const override { return law; }
  void getReactants(kstrVector<BSpecies*>& out) const override {
    out.insert(out.end(), reactants.begin(), reactants.end());
  }
  void getProducts(kstrVector<BSpecies*>& out) const override {
    out.insert(out.end(), products.begin(), products.end());
  }
  // A term as a real reaction's equation makes one: listed and listening to
  // its species.
  void addReactant(BSpecies* species) {
    reactants.push_back(species);
    species->addListener(this);
  }
  void addProduct(BSpecies* species) {
    products.push_back(species);
    species->addListener(this);
  }
  void clearReactants() {
    for (BSpecies* species : reactants) species->removeListener(this);
    reactants.clear();
  }
  void clearProducts() {
    for (BSpecies* species : products) species->removeListener(this);
    products.clear();
  }
  void updateReactionExpressionForMultiCompartmentTransition(bool multiple) override {
    transitions.push_back(multiple);
    BReaction::updateReactionExpressionForMultiCompartmentTransition(multiple);
  }
};
