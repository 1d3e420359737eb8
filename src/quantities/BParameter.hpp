#pragma once

#include <string>

#include "core/KelborApi.hpp"
#include "core/QuantityComponent.hpp"

// A named scalar quantity of a model (parent: the model) or of a kinetic law
// (parent: the kinetic law, qualified by its reaction).  It adds no state to
// the quantity base: value ("Value", default 1.0), units ("ValueUnits"),
// constant flag ("ConstantValue", default true) and an unused
// boundary-condition flag.
class KELBOR_API BParameter : public kstr::QuantityComponent {
 public:
  BParameter();
  // Copies the component part, then units, value, constant flag and
  // boundary-condition flag.
  BParameter(const BParameter& other);
  BParameter& operator=(const BParameter& other);
  ~BParameter() override;

  // --- names -----------------------------------------------------------------
  // errorForInvalidNameStatic (name, parent, this parameter): the parameter
  // itself never counts as a duplicate of its own name.
  void errorForInvalidName(const std::string& name, const KelborComponent* parent) const override;
  // Checks a parameter name, in this order:
  //  1. the common component checks (brackets, white space only, 'time');
  //  2. "Kestrion:KSTRPARAMETER_INVALIDNAME" for an empty or blank name;
  //  3. with a parent model or kinetic law: "Kestrion:PARAMETER_DUPLICATENAME"
  //     when another of that parent's parameters (any but self) has exactly
  //     that name.  A parent of any other kind is not searched.
  // The name is checked as given (callers trim it first).
  static void errorForInvalidNameStatic(const std::string& name, const KelborComponent* parent,
                                        const BParameter* self = nullptr);

  const char* getType() const override { return "parameter"; }
  kstr::bcomptype getEnumType() const override { return kstr::parameter; }
  const char* getIdWithFullPathToTopModel() const override;

  // Clears out, then the partially qualified name: the plain (bracketed)
  // name for a model parameter, reaction "." name for a kinetic-law
  // parameter, whatever the number of compartments.
  void getPQN(std::string& out) const override;
  // Clears out, then the display-qualified walk through the parent.
  void getDQN(std::string& out) const override;

  // --- quantity --------------------------------------------------------------
  // Every value is valid (NaN, infinities and negative values included).
  void verifyValue(double value) const override;
  // Empty or blank text passes; any other text must be a unit text the unit
  // manager accepts, else the manager's error is raised.
  static void verifyUnitsStatic(const std::string& units);
};
