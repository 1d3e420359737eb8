#include "kinetics/BUnitPrefixWrapper.hpp"

#include <ks_utils/Errors.hpp>
#include <ks_utils/UnitRepresentationApi.hpp>
#include <ks_utils/Units.hpp>

BUnitPrefixWrapper::BUnitPrefixWrapper(OVUnits::UnitPrefixApi* prefix) : prefix_(prefix) {}

const std::string& BUnitPrefixWrapper::getName() const {
  static const std::string none;
  return prefix_ ? prefix_->getName() : none;
}

void BUnitPrefixWrapper::setName(const std::string& name) {
  if (name.empty()) throw ErrorIdException("Kestrion:KSUNIT_INVALID_NAME", "Invalid unit prefix name ''.");
  prefix_->setName(name);
}

int BUnitPrefixWrapper::getExponent() const { return prefix_->getExponent(); }

void BUnitPrefixWrapper::setExponent(double exponent) { prefix_->setExponent(exponent); }

void BUnitPrefixWrapper::deleteOwnedPrefix() {
  if (prefix_ && !getUnitManagerApiFcn()->getPrefixService()->ownsObject(prefix_)) delete prefix_;
  prefix_ = nullptr;
}
