// The walk over a model's components in compile order.
#include "compile/ModelWalk.hpp"

#include "expressions/ReactionExpression.hpp"

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

// The model's reactions, and the kinetic-law parameters of those that
// qualify, in one pass over the reactions: each reaction is read once.
void appendReactionsAndLawParameters(const ModelHierarchyLists& lists, const Kelbor& model,
                                     bool includeInactiveEntities,
                                     bool includeInactiveReactionParameters) {
  const auto n = static_cast<int>(model.getNumReactions());
  lists.reactions.reserve(lists.reactions.size() + static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    BReaction* reaction = model.getReactionAt(i);
    if (!reaction) continue;
    const bool active = reaction->getActive();
    if (includeInactiveEntities || active) lists.reactions.push_back(reaction);
    if (!includeInactiveReactionParameters && !active) continue;
    const BKineticLaw* law = reaction->getKineticLawApi();
    if (!law) continue;
    for (size_t k = 0; k < law->getNumParameters(); ++k) {
      lists.parameters.push_back(law->getParameterAt(k));
    }
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
  appendReactionsAndLawParameters(lists, model, includeInactiveEntities,
                                  includeInactiveReactionParameters);
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

void collectSpeciesAndReactions(const KelborComponent* component, kstrVector<BSpecies*>& species,
                                kstrVector<BReaction*>& reactions) {
  if (!component || component->getEnumType() != kstr::kstrmodel) return;
  const auto& model = static_cast<const Kelbor&>(*component);
  kstrVector<BCompartment*> compartments;
  collectCompartmentTree(model, species, compartments);
  const auto n = static_cast<int>(model.getNumReactions());
  reactions.reserve(reactions.size() + static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    if (BReaction* reaction = model.getReactionAt(i)) reactions.push_back(reaction);
  }
}

void prefetchEquations(const kstrVector<BReaction*>& reactions, size_t j) {
  constexpr size_t kEquationsAhead = 8;
  constexpr size_t kTermsAhead = 4;
  if (j + kEquationsAhead < reactions.size()) {
    __builtin_prefetch(&reactions[j + kEquationsAhead]->getEquation());
  }
  if (j + kTermsAhead < reactions.size()) {
    const kstr::ReactionExpression& equation = reactions[j + kTermsAhead]->getEquation();
    if (equation.getNumReactants() > 0) __builtin_prefetch(&equation.getReactantAt(0));
    if (equation.getNumProducts() > 0) __builtin_prefetch(&equation.getProductAt(0));
  }
}

ModelWalk::ModelWalk(const KelborComponent* component, bool includeInactiveEntities,
                     bool includeInactiveReactionParameters) {
  collectModelHierarchyComponents(lists(), component, includeInactiveEntities,
                                  includeInactiveReactionParameters);
}

}  // namespace kstr::compile
