// The converter of one SBML reaction: its species references, flags and
// kinetic law.
#pragma once

#include "sbml/SBMLComponent.hpp"

class KELBOR_API SBMLReaction : public SBMLComponent {
 public:
  explicit SBMLReaction(Reaction* reaction);

  // Creates the reaction, then copies notes, annotation, a unique name,
  // identifier, fast and reversible flags and the kinetic law.
  void importElement() override;
  // Writes notes, annotation, name, identifier, flags, the species
  // references and the kinetic law.
  void exportElement() override;
  // Reactants, products and modifiers (on both sides, stoichiometry 1)
  // found among the species read; a side without any is "null".  Unknown
  // species are skipped with "Kestrion:KS_ReactionContainsSpeciesNotInList",
  // stoichiometry math is read as 1 with
  // "Kestrion:StoichiometryMathNotSupported".  Then "addreaction".
  void addToModel() override;

 private:
  Reaction* reaction() const;
};
