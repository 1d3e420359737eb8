// The converter of one SBML compartment.
#pragma once

#include <string>

#include "sbml/SBMLComponent.hpp"

class BCompartment;

class KELBOR_API SBMLCompartment : public SBMLComponent {
 public:
  explicit SBMLCompartment(Compartment* compartment);

  // Creates the compartment (addToModel), then copies notes, annotation,
  // size (else volume; neither leaves the value marked as not given), the
  // constant flag, the units and the spatial dimensions.  In a file of
  // another tool a compartment without units takes SBML's default for its
  // dimensions.  Units that the compartment refuses are dropped with
  // "Kestrion:UnableToSetUnits".
  void importElement() override;
  // Writes id, name, constant, outside, spatial dimensions, the size (only
  // a given one, and none for 0 dimensions) and units (writing a unit
  // definition when the document has none for them).  A refused attribute
  // gives "Kestrion:SBMLAttributeNotWritten".
  void exportElement() override;
  // Id (or on level 1 the name, or a new identifier, written back into the
  // element), a unique name without brackets, then "addcompartment"; the
  // converter is registered in the context under the id.  A name the host
  // refuses as holding "->" or "<->" raises
  // "Kestrion:ADDSPECIES_INVALIDNAME_RESERVED_CHARS_SBML".
  void addToModel() override;

  BCompartment* getCompartment() const;

 private:
  Compartment* compartment() const;
};

namespace kstr::sbml {

// The model unit name of SBML's default units for that many spatial
// dimensions: "length", "area" or "volume" as the file defines them (else
// meter, meter^2, liter); empty for 0 dimensions.
std::string defaultSpatialUnits(unsigned dimensions);
// The model unit name of a compartment's units: its units attribute, else
// the default of its spatial dimensions.
std::string spatialUnitsOf(const Compartment& compartment);

// Reads every compartment of the model, then sets the owners named by the
// outside attributes; an outside that names no compartment of the file is
// skipped with "Kestrion:SBML_UNKNOWN_OUTSIDE_COMPARTMENT".
void importCompartments(SBMLConversionContext& context, Model& model);

// Raises "Kestrion:SBML_COMPARTMENT_OUTSIDE_LOOP" (naming a compartment of
// the loop) when the outside attributes of the model's compartments come
// back to a compartment they started from; in time proportional to the
// compartments.  Outsides that name no compartment end a chain.
void refuseOutsideLoops(const Model& model);

}  // namespace kstr::sbml
