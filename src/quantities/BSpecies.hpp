#pragma once

#include <cstdint>
#include <string>

#include "core/KelborApi.hpp"
#include "core/QuantityComponent.hpp"

class BCompartment;

// A species: a named chemical quantity held in one compartment, which is its
// parent.  The quantity base holds its initial amount ("InitialAmount"), its
// units ("InitialAmountUnits"), the constant flag ("ConstantAmount") and the
// boundary-condition flag ("BoundaryCondition"); the species adds a charge
// and the charge's units.
class KELBOR_API BSpecies : public kstr::QuantityComponent {
 public:
  // Amount 0, no units, not constant, no boundary condition, charge 0 and
  // no charge units.
  BSpecies();
  // Member by member; the copy owns its own duplicate of the charge units.
  BSpecies(const BSpecies& other);
  BSpecies& operator=(const BSpecies& other);
  ~BSpecies() override;

  // --- names -----------------------------------------------------------------
  // errorForInvalidNameStatic (name, parent, reject "null", this species):
  // the species itself never counts as a duplicate of its own name.
  void errorForInvalidName(const std::string& name, const KelborComponent* parent) const override;
  // The base's setName; afterwards the compartment re-keys its name index
  // when the stored name changed (also when the model raised afterwards).
  void setName(const std::string& name) override;
  // Checks a species name, in this order:
  //  1. the common component checks (brackets, white space only, 'time');
  //  2. "Kestrion:KSTRSPECIES_INVALIDNAME" for an empty name, a name of
  //     white space only, a name holding "->" and, with rejectNull, "null";
  //  3. with a compartment: "Kestrion:SPECIES_DUPLICATENAME" when another
  //     species of that compartment (any but self) has exactly that name.
  // The name is checked as given (callers trim it first).  A compartment
  // argument that is not a compartment is not searched.
  static void errorForInvalidNameStatic(const std::string& name, const KelborComponent* compartment,
                                        bool rejectNull, const BSpecies* self = nullptr);

  const char* getType() const override { return "species"; }
  kstr::bcomptype getEnumType() const override { return kstr::species; }

  // Clears out; in a model with more than one compartment in its whole tree
  // the compartment-qualified display name, otherwise the plain name, put
  // in brackets when it holds a '.'.
  void getDQN(std::string& out) const override;

  // --- quantity --------------------------------------------------------------
  // "Kestrion:SPECIES_INVALID_INITIALAMOUNT" unless 0 <= amount < inf (NaN
  // is refused).
  void verifyValue(double amount) const override;
  void verifyUnits(const std::string& units) const override;
  // Empty or blank text passes; otherwise the unit must be an amount, a
  // mass or a concentration, else "Kestrion:InvalidSpeciesInitAmtUnits".
  // A text the unit manager cannot parse raises the manager's error.
  static void verifyUnitsStatic(const std::string& units);

  // --- charge ----------------------------------------------------------------
  // The stored charge (never null).
  int32_t* getCharge() { return &charge_; }
  const int32_t* getCharge() const { return &charge_; }
  // Stores the pointed-to value; null changes nothing.
  void setCharge(const int32_t* charge);
  // The charge units, or null when unset.
  const char* getChargeUnits() const { return chargeUnits_; }
  // Stores a duplicate of the text; null clears the charge units.
  void setChargeUnits(const char* units);

  // The compartment holding the species (its parent), or null.
  BCompartment* getCompartment() const;

 private:
  int32_t charge_ = 0;
  char* chargeUnits_ = nullptr;
};
