// The kinetic law of a reaction that uses the built-in law "MassAction":
// its rate is built from the reaction's own species and stoichiometry.
#pragma once

#include "core/KelborApi.hpp"
#include "kinetics/BKineticLaw.hpp"

// The parameter variables follow the reaction's reversibility ("Forward
// Rate Parameter", and "Reverse Rate Parameter" for a reversible
// reaction); the species variables are the reaction's species and cannot
// be set.  The rate of 2 A + B -> P with forward name k is k*A^2*B; made
// reversible with reverse name kr it is k*A^2*B - kr*P.
class KELBOR_API BMassActionKineticLaw : public BKineticLaw {
 public:
  explicit BMassActionKineticLaw(const BAbstractKineticLaw* massAction);
  BMassActionKineticLaw(const BMassActionKineticLaw& other);
  BMassActionKineticLaw& operator=(const BMassActionKineticLaw&) = delete;
  ~BMassActionKineticLaw() override;

  // One or two names after the reaction's reversibility.  The cells are
  // shared by every mass-action law and live while one does.
  const qxArray_tag* getParameterVariables() const override;
  const qxArray_tag* getSpeciesVariables() const override;
  const NameVector& getParameterVariableNames() const override;
  // Always raises "Kestrion:MassActionSpeciesUnsettable".
  void setSpeciesVariableNames(const NameVector& names) override;
  // The reactants' partially qualified names, then (reversible) the
  // products', each species once.
  const NameVector& getSpeciesVariableNames() const override;
  char* getRateExpression() const override;
  // "Kestrion:ParameterDoesNotResolve" for a rate name that names no
  // parameter.
  void verify() const override;
  bool verifyForReactionRate() const override;
};
