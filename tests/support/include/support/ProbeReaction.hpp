// The smallest reaction: species lists, a kinetic law and a record of the
// compartment-count transitions it was told; every propagation call does
// nothing.  For tests of the model and the quantities before the real
// reaction class exists.
#pragma once

#include <ostream>
#include <set>
#include <string>
#include <vector>

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
  void fillParameters(kstrVector<BParameter*>&, bool) const override {}
  void updateReactionExpressionForMultiCompartmentTransition(bool multiple) override {
    transitions.push_back(multiple);
  }
  void removeDependentState() override {}
  void detachListenerSupport() override {}
  void debugPrint(std::ostream&) const override {}
  void updateAllExpressionsForComponentRemoved(const KelborComponent*) override {}
  void updateAllExpressionsForComponentNameChange(const KelborComponent*, const std::string&,
                                                  const std::string&) override {}
  void updateAllExpressionsForParentComponentRename(const KelborComponent*, const KelborComponent*,
                                                    const std::string&, const std::string&,
                                                    const std::string&) override {}
  void updateAllExpressionsForComponentAdded(const KelborComponent*) override {}
  std::set<size_t> updateExpressionsForRename(const KelborComponent*, const std::string&,
                                              const std::set<size_t>&) override {
    return {};
  }
  void sendJavaUpdateEvents() override {}
};
