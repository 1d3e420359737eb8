// The converter of one SBML unit definition: on write it turns a unit of
// the unit manager into a unit definition over the SBML base units.
#pragma once

#include <string>

#include "sbml/SBMLComponent.hpp"

class SBMLConversionContext;

class KELBOR_API SBMLUnit : public SBMLComponent {
 public:
  // The first converter made gives the unit manager the SBML names of the
  // seven base units.
  explicit SBMLUnit(UnitDefinition* definition);

  // Reads the definition: the tool's own unit definitions, definitions
  // that restate a registered unit and plain redefinitions of the SBML
  // default units are mapped onto the units that exist (the context
  // records identifier -> unit name).  Any other definition becomes a user
  // unit in the user library; a registered unit of that name with another
  // definition is first handed to the host's "privatebackupandremoveunit"
  // (the first time in a read, backedUp is false: the host backs up the
  // library file and backedUp is set).  A scaled redefinition of a default
  // unit becomes the user unit sbml_<id>_<n> (an identical one is reused).
  // Faulty definitions (offsets on compound units, zero multipliers, pure
  // dimensionless units, compositions the unit manager cannot parse) are
  // skipped with a warning; a unit kind libSBML cannot name raises
  // "Kestrion:InvalidUnitKindInSBMLFile", and a failure of the host call
  // passes on.  Nothing happens when the feature "QuorvUnits" is off.
  void importUnitDefinition(bool& backedUp);

  // The unit import is importUnitDefinition; these do nothing.
  void importElement() override {}
  void addToModel() override {}
  // Writes the unit set with setUnitName into the definition and records
  // unit name -> identifier in the current context.  Raises when the unit
  // no longer resolves, expands to no base unit (a dimensionless unit), no
  // valid identifier can be made for it or libSBML refuses an attribute.
  void exportElement() override;
  void setUnitName(const std::string& name) { unitName_ = name; }

  // The identifier written for a unit name (OVBUILTINUNIT_mole,
  // OVBUILTINPREFIX_milli_OVBUILTINUNIT_mole, OVDERIVEDUNIT_mole__liter,
  // OVDERIVEDUNIT_second___neg1 ...): always made of letters, digits and
  // "_", whatever characters the unit text holds.
  static std::string identifierForUnitName(const std::string& name);

 private:
  UnitDefinition* definition() const;
  std::string uniqueIdentifierFor(const std::string& name) const;
  std::string unitNameToRegister(const std::string& id) const;
  // The composition text and multiplier of the definition's units; false
  // (after a warning) when the definition cannot be registered.
  bool buildComposition(const std::string& unitName, std::string& composition, double& multiplier,
                        double& offset) const;

  std::string unitName_;
};

namespace kstr::sbml {

// The SBML unit identifier that a component writing the unit text refers
// to: an SBML unit kind stands for itself, a unit already written gives
// its identifier, and otherwise (unless the context writes no unit
// definitions) a new unit definition is written.  A unit that cannot be
// written gives "" with the warning "Kestrion:UnitNoLongerExists" (the new
// definition is taken out of the document again); so does a unit that has
// no identifier when no definitions are written and warnWithoutDefinition
// is set.
std::string sbmlUnitReferenceFor(SBMLConversionContext& context, const std::string& units,
                                 bool warnWithoutDefinition);

}  // namespace kstr::sbml
