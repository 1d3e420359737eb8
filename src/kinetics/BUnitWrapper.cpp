#include "kinetics/BUnitWrapper.hpp"

#include <ks_utils/Errors.hpp>
#include <ks_utils/UnitRepresentationApi.hpp>
#include <ks_utils/Units.hpp>

BUnitWrapper::BUnitWrapper(OVUnits::UnitRepresentationApi* unit) : unit_(unit) {}

const std::string& BUnitWrapper::getName() const {
  static const std::string none;
  return unit_ ? unit_->getName() : none;
}

void BUnitWrapper::setName(const std::string& name) {
  if (name.empty()) throw ErrorIdException("Kestrion:KSUNIT_INVALID_NAME", "Invalid unit name ''.");
  unit_->setName(name);
}

const std::string& BUnitWrapper::getComposition() const { return unit_->getComposition(); }

void BUnitWrapper::setComposition(const std::string& composition) {
  unit_->setComposition(composition);
}

double BUnitWrapper::getMultiplier() const { return unit_->getMultiplier(); }

void BUnitWrapper::setMultiplier(double multiplier) { unit_->setMultiplier(multiplier); }

double BUnitWrapper::getOffset() const { return unit_->getOffset(); }

void BUnitWrapper::setOffset(double offset) { unit_->setOffset(offset); }

void BUnitWrapper::deleteOwnedUnit() {
  if (unit_ && !getUnitManagerApiFcn()->ownsObject(unit_)) delete unit_;
  unit_ = nullptr;
}
