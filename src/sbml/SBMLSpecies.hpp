// The converter of one SBML species.
#pragma once

#include <string>

#include "sbml/SBMLComponent.hpp"

class BSpecies;

class KELBOR_API SBMLSpecies : public SBMLComponent {
 public:
  explicit SBMLSpecies(Species* species);

  // Creates the species in its compartment, then copies notes, annotation,
  // identifier, name, the constant and boundary flags, the charge, the
  // units SBML gives it and its initial value in the form of those units
  // (an amount, or a concentration when they are one; converted through
  // the compartment's size, or taken as it stands with
  // "Kestrion:SBMLSpeciesValueNotConverted" when the compartment has none).
  // A negative initial amount raises
  // "Kestrion:SPECIES_INITIALAMOUNT_INVALIDVALUE_SBML".
  void importElement() override;
  // Writes name, identifier, compartment, notes, annotation, flags, the
  // initial amount or concentration and the substance (and spatial-size)
  // units.
  void exportElement() override;
  // The compartment must have been read ("Kestrion:
  // INVALID_COMPARTMENT_NAME_FOR_SPECIES_SBML"); a unique name in it; then
  // "addspecies".  The converter is registered under the species id.
  void addToModel() override;

 private:
  Species* species() const;
  void importValueAndUnits(BSpecies& s);
  void exportUnits(const BSpecies& s);
  void writeInitialValue(const BSpecies& s, bool concentration);

  std::string name_;
};
