#pragma once

#include <string>

#include "core/KelborComponent.hpp"

class BSpecies;

namespace kstr {

// One species term of a reaction equation.
//
// The bound species is kept as its component base: the expressions layer
// sits below the species class, so it recognises a species by its kind
// (getEnumType() == kstr::species) and hands out BSpecies pointers through
// getSpecies, which converts where the species class is known.
struct ReactionTerm {
  // The species as the equation names it (bracketed when it is no valid
  // identifier, "compartment.species" when qualified).
  std::string name;
  // The coefficient as written: a positive magnitude on both sides.
  double stoichiometry = 1.0;
  // The species the term is bound to (a component of kind species), or null.
  KelborComponent* species = nullptr;

  // The bound species as its own class; null for an unbound term.
  template <class Species = BSpecies>
  Species* getSpecies() const {
    return static_cast<Species*>(species);
  }
};

}  // namespace kstr
