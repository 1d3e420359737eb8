// The converter of a reaction's kinetic law: its math is the reaction's
// rate, its local parameters the parameters of a kinetic law on the
// abstract kinetic law "Unknown".
#pragma once

#include <map>
#include <string>

#include "sbml/SBMLComponent.hpp"
#include "sbml/SBMLExpressionObject.hpp"

class KELBOR_API SBMLKineticLaw : public SBMLComponent, public SBMLExpressionObject {
 public:
  // reaction: the interface of the reaction the law belongs to (borrowed).
  SBMLKineticLaw(KineticLaw* law, OBInterface* reaction);

  // Local parameters (through "addkineticlaw" and "addparameter") first,
  // then the math as the reaction's rate; a law without math keeps the
  // rate unchanged with "Kestrion:KineticLawMathNotSet".
  void importElement() override;
  // The bound law's parameters as local parameters, then the rate as the
  // math; an empty or unparsable rate writes no math (with a warning), which
  // wroteMath() tells the caller.
  void exportElement() override;
  // Creates a model kinetic law only when the SBML law has local
  // parameters.
  void addToModel() override;
  bool wroteMath() const { return wroteMath_; }

 private:
  KineticLaw* law() const;
  void importKineticLawParameters();
  void exportKineticLawParameters();

  LocalNames localNames_;
  OBInterface* reaction_;
  bool wroteMath_ = false;
};
