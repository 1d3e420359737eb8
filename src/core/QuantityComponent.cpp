#include "core/QuantityComponent.hpp"

#include <ks_utils/Identifiers.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <ks_utils/Units.hpp>

namespace kstr {

QuantityComponent::QuantityComponent() = default;

QuantityComponent::QuantityComponent(const std::string& units, double initialValue,
                                     bool constantValue, bool boundaryCondition)
    : units_(units),
      initialValue_(initialValue),
      constantValue_(constantValue),
      boundaryCondition_(boundaryCondition) {}

QuantityComponent::~QuantityComponent() = default;

void QuantityComponent::verifyValue(double) const {}

void QuantityComponent::setInitialValue(double value) {
  verifyValue(value);
  initialValue_ = value;
}

void QuantityComponent::setUnits(const std::string& units) {
  std::string trimmed = units;
  STDStringHelpers::trimWhitespace(trimmed);
  verifyUnits(trimmed);
  units_ = trimmed;
  setModelCompileNeeded();
}

void QuantityComponent::verifyUnits(const std::string& units) const {
  verifyUnitsStatic(units);
}

void QuantityComponent::verifyUnitsStatic(const std::string& units) {
  std::string trimmed = units;
  STDStringHelpers::trimWhitespace(trimmed);
  if (trimmed.empty()) return;
  getUnitManagerApiFcn()->checkUnitText(trimmed);
}

void QuantityComponent::setConstantValue(bool value) {
  constantValue_ = value;
  setModelCompileNeeded();
}

void QuantityComponent::setBoundaryCondition(bool value) {
  boundaryCondition_ = value;
  setModelCompileNeeded();
}

}  // namespace kstr

void bracketNamesIfNotValidIdentifiers(std::vector<std::string>& names) {
  for (std::string& name : names) bracketNameIfNotValidIdentifier(name);
}
