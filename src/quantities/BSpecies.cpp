#include "quantities/BSpecies.hpp"

#include <cmath>
#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <ks_utils/Units.hpp>

#include "core/HostBoundary.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"

namespace {

// The quantity types a species amount may have: amounts, masses and their
// concentrations per volume, area and length.
bool isSpeciesAmountUnitType(uint32_t type) {
  switch (type) {
    case OVUnits::kUnitTypeAmount:
    case OVUnits::kUnitTypeMass:
    case OVUnits::kUnitTypeAmountPerArea:
    case OVUnits::kUnitTypeMassPerArea:
    case OVUnits::kUnitTypeAmountPerVolume:
    case OVUnits::kUnitTypeAmountPerLength:
    case OVUnits::kUnitTypeMassPerLength:
    case OVUnits::kUnitTypeMassPerVolume:
      return true;
    default:
      return false;
  }
}

}  // namespace

BSpecies::BSpecies() : QuantityComponent("", 0.0, false, false) {}

BSpecies::BSpecies(const BSpecies& other)
    : QuantityComponent(other),
      charge_(other.charge_),
      chargeUnits_(hostTextCopy(other.chargeUnits_)) {}

// The units are copied first and the base keeps its own texts when its copy
// runs out of memory, so a failed assignment leaves the species as it was.
BSpecies& BSpecies::operator=(const BSpecies& other) {
  if (this == &other) return *this;
  HostText units(hostTextCopy(other.chargeUnits_));
  QuantityComponent::operator=(other);
  charge_ = other.charge_;
  hbFree(chargeUnits_);
  chargeUnits_ = units.release();
  return *this;
}

BSpecies::~BSpecies() { hbFree(chargeUnits_); }

// --- names -------------------------------------------------------------------

void BSpecies::errorForInvalidName(const std::string& name, const KelborComponent* parent) const {
  errorForInvalidNameStatic(name, parent, true, this);
}

void BSpecies::errorForInvalidNameStatic(const std::string& name,
                                         const KelborComponent* compartment, bool rejectNull,
                                         const BSpecies* self) {
  KelborComponent::errorForInvalidNameStatic(name, compartment);
  if (STDStringHelpers::isAllWhitespace(name) || name.find("->") != std::string::npos ||
      (rejectNull && name == "null")) {
    kstr_error("Kestrion:KSTRSPECIES_INVALIDNAME",
               kstr::code(kstr::MessageCode::KS_ADDSPECIES_INVALIDNAME_RESERVED_CHARS));
  }
  if (!compartment || compartment->getEnumType() != kstr::compartment) return;
  if (static_cast<const BCompartment*>(compartment)->isSpeciesNameInUse(name, self)) {
    kstr_error("Kestrion:SPECIES_DUPLICATENAME",
               kstr::code(kstr::MessageCode::KS_ADDSPECIES_DUPLICATENAME));
  }
}

void BSpecies::setName(const std::string& name) {
  const std::string oldName = getName();
  try {
    KelborComponent::setName(name);
  } catch (...) {
    if (BCompartment* compartment = getCompartment())
      compartment->speciesNameChanged(this, oldName);
    throw;
  }
  if (BCompartment* compartment = getCompartment()) compartment->speciesNameChanged(this, oldName);
}

BCompartment* BSpecies::getCompartment() const {
  KelborComponent* parent = getParent();
  return parent && parent->getEnumType() == kstr::compartment ? static_cast<BCompartment*>(parent)
                                                              : nullptr;
}

void BSpecies::getDQN(std::string& out) const {
  out.clear();
  const Kelbor* model = getModel();
  if (model && model->hasSeveralCompartments()) {
    fillDisplayQualifiedName(out);
    return;
  }
  out = getName();
  if (out.find('.') != std::string::npos) out = "[" + out + "]";
}

// --- quantity ----------------------------------------------------------------

void BSpecies::verifyValue(double amount) const {
  if (!(amount >= 0.0 && std::isfinite(amount))) {
    kstr_error("Kestrion:SPECIES_INVALID_INITIALAMOUNT",
               kstr::code(kstr::MessageCode::KS_SPECIES_INVALID_INITIALAMOUNT));
  }
}

void BSpecies::verifyUnits(const std::string& units) const { verifyUnitsStatic(units); }

void BSpecies::verifyUnitsStatic(const std::string& units) {
  std::string trimmed = units;
  STDStringHelpers::trimWhitespace(trimmed);
  if (trimmed.empty()) return;
  if (!isSpeciesAmountUnitType(getUnitManagerApiFcn()->getUnitType(trimmed))) {
    kstr_error("Kestrion:InvalidSpeciesInitAmtUnits",
               kstr::code(kstr::MessageCode::KS_INVALID_SPECIES_INIT_AMT_UNITS));
  }
}

// --- charge ------------------------------------------------------------------

void BSpecies::setCharge(const int32_t* charge) {
  if (charge) charge_ = *charge;
}

void BSpecies::setChargeUnits(const char* units) {
  if (units == chargeUnits_) return;
  char* copy = hostTextCopy(units);
  hbFree(chargeUnits_);
  chargeUnits_ = copy;
}
