// The one walk that numbers a model's components for every matrix and the
// compile services, and its compile-order form.
#pragma once

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"

class BCompartment;
class BEvent;
class BParameter;
class BReaction;
class BRule;
class BSpecies;
class Kelbor;
class KelborComponent;

namespace kstr::compile {

// Where the walk appends (it never empties or sorts a list).
struct ModelHierarchyLists {
  kstrVector<BSpecies*>& species;
  kstrVector<BParameter*>& parameters;
  kstrVector<BCompartment*>& compartments;
  kstrVector<Kelbor*>& models;
  kstrVector<BReaction*>& reactions;
  kstrVector<BEvent*>& events;
  kstrVector<BRule*>& rules;
};

// Appends the model's components by kind: the model itself; its species in
// compartment-tree order (a compartment's sub-compartments' species before
// its own); its own parameters, then the kinetic-law parameters of its
// reactions in model order; its compartments, each after its
// sub-compartments; its reactions, events and rules in model order.
// Without includeInactiveEntities inactive reactions, events and rules are
// left out; without includeInactiveReactionParameters so are the
// kinetic-law parameters of inactive reactions.  Nested models are not
// entered.  A null component or one that is no model appends nothing.
KELBOR_API void collectModelHierarchyComponents(const ModelHierarchyLists& lists,
                                                const KelborComponent* component,
                                                bool includeInactiveEntities,
                                                bool includeInactiveReactionParameters);

// Appends the species and the compartments of the model's compartment
// tree in the walk's order, in one pass over the tree.
KELBOR_API void collectCompartmentTree(const Kelbor& model, kstrVector<BSpecies*>& species,
                                       kstrVector<BCompartment*>& compartments);

// Appends what the graph builders number: the walk's species and every
// reaction of the model, inactive ones included, without reading the rest
// of the model.  A null component or one that is no model appends nothing.
KELBOR_API void collectSpeciesAndReactions(const KelborComponent* component,
                                           kstrVector<BSpecies*>& species,
                                           kstrVector<BReaction*>& reactions);

// The compile order: the walk without inactive entities but with every
// reaction's kinetic-law parameters, into the three lists given (the rest
// of the walk's lists are dropped).  A null model appends nothing.
KELBOR_API void collectCompileOrder(const Kelbor* model, kstrVector<BSpecies*>& species,
                                    kstrVector<BParameter*>& parameters,
                                    kstrVector<BCompartment*>& compartments);

// Fetches ahead what a pass over the reactions' equations, now at reaction
// j, will read a few reactions on: the equations, then their first terms.
// A pass over a large model then waits on memory a few reads at a time
// instead of one after another.
KELBOR_API void prefetchEquations(const kstrVector<BReaction*>& reactions, size_t j);

// A walk whose lists the walk itself holds.
struct KELBOR_API ModelWalk {
  kstrVector<BSpecies*> species;
  kstrVector<BParameter*> parameters;
  kstrVector<BCompartment*> compartments;
  kstrVector<Kelbor*> models;
  kstrVector<BReaction*> reactions;
  kstrVector<BEvent*> events;
  kstrVector<BRule*> rules;

  ModelWalk(const KelborComponent* component, bool includeInactiveEntities,
            bool includeInactiveReactionParameters);
  ModelHierarchyLists lists() {
    return {species, parameters, compartments, models, reactions, events, rules};
  }
};

}  // namespace kstr::compile
