// The walk over a model's components in compile order.
#include "compile/ModelWalk.hpp"

#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/BRule.hpp"

namespace kstr::compile {

namespace {

// Appends the entries that are active, or all of them with includeInactive.
template <class T, class Count, class At>
void appendExpressionComponents(kstrVector<T*>& out, Count count, At at, bool includeInactive) {
  const auto n = static_cast<int>(count());
  for (int i = 0; i < n; ++i) {
    T* component = at(i);
    if (component && (includeInactive || component->getActive())) out.push_back(component);
  }
}

void appendKineticLawParameters(kstrVector<BParameter*>& out, const Kelbor& model,
                                bool includeInactive) {
  const auto n = static_cast<int>(model.getNumReactions());
  for (int i = 0; i < n; ++i) {
    const BReaction* reaction = model.getReactionAt(i);
    if (!reaction || (!includeInactive && !reaction->getActive())) continue;
    const BKineticLaw* law = reaction->getKineticLawApi();
    if (!law) continue;
    for (size_t k = 0; k < law->getNumParameters(); ++k) out.push_back(law->getParameterAt(k));
  }
}

// A compartment's sub-compartments (each the same way) come before its own
// species and before the compartment itself.
void appendCompartmentTree(BCompartment& compartment, kstrVector<BSpecies*>& species,
                           kstrVector<BCompartment*>& compartments) {
  for (BCompartment* sub : compartment.getCompartments()) {
    appendCompartmentTree(*sub, species, compartments);
  }
  species.insert(species.end(), compartment.getSpecies().begin(), compartment.getSpecies().end());
  compartments.push_back(&compartment);
}

}  // namespace

void collectCompartmentTree(const Kelbor& model, kstrVector<BSpecies*>& species,
                            kstrVector<BCompartment*>& compartments) {
  for (BCompartment* top : *model.getCompartments()) {
    appendCompartmentTree(*top, species, compartments);
  }
}

void collectModelHierarchyComponents(const ModelHierarchyLists& lists,
                                     const KelborComponent* component,
                                     bool includeInactiveEntities,
                                     bool includeInactiveReactionParameters) {
  if (!component || component->getEnumType() != kstr::kstrmodel) return;
  const auto& model = static_cast<const Kelbor&>(*component);
  lists.models.push_back(const_cast<Kelbor*>(&model));
  collectCompartmentTree(model, lists.species, lists.compartments);
  const kstrVector<BParameter*>* parameters = model.getParameters();
  lists.parameters.insert(lists.parameters.end(), parameters->begin(), parameters->end());
  appendExpressionComponents(
      lists.reactions, [&] { return model.getNumReactions(); },
      [&](int i) { return model.getReactionAt(i); }, includeInactiveEntities);
  appendKineticLawParameters(lists.parameters, model, includeInactiveReactionParameters);
  appendExpressionComponents(
      lists.events, [&] { return model.getNumEvents(); },
      [&](int i) { return model.getEventAt(i); }, includeInactiveEntities);
  appendExpressionComponents(
      lists.rules, [&] { return model.getNumRules(); }, [&](int i) { return model.getRuleAt(i); },
      includeInactiveEntities);
}

void collectCompileOrder(const Kelbor* model, kstrVector<BSpecies*>& species,
                         kstrVector<BParameter*>& parameters,
                         kstrVector<BCompartment*>& compartments) {
  kstrVector<Kelbor*> models;
  kstrVector<BReaction*> reactions;
  kstrVector<BEvent*> events;
  kstrVector<BRule*> rules;
  collectModelHierarchyComponents(
      {species, parameters, compartments, models, reactions, events, rules}, model, false, true);
}

ModelWalk::ModelWalk(const KelborComponent* component, bool includeInactiveEntities,
                     bool includeInactiveReactionParameters) {
  collectModelHierarchyComponents(lists(), component, includeInactiveEntities,
                                  includeInactiveReactionParameters);
}

}  // namespace kstr::compile
