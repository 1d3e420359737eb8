#include "kinetics/BUnitWrapper.hpp"

#include <ks_utils/UnitRepresentationApi.hpp>

BUnitWrapper::BUnitWrapper(OVUnits::UnitRepresentationApi* unit) : unit_(unit) {}

const std::string& BUnitWrapper::getName() const { return unit_->getName(); }

BUnitPrefixWrapper::BUnitPrefixWrapper(OVUnits::UnitPrefixApi* prefix) : prefix_(prefix) {}

const std::string& BUnitPrefixWrapper::getName() const { return prefix_->getName(); }
