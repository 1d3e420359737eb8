// A unit prefix of the unit manager as a model component.
#pragma once

#include <string>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

namespace OVUnits {
class UnitPrefixApi;
}  // namespace OVUnits

// Forwards name and exponent to the wrapped prefix object; owns it under
// the same rule as BUnitWrapper.
class KELBOR_API BUnitPrefixWrapper : public KelborComponent {
 public:
  BUnitPrefixWrapper() = default;
  explicit BUnitPrefixWrapper(OVUnits::UnitPrefixApi* prefix);
  const char* getType() const override { return "unitprefix"; }
  kstr::bcomptype getEnumType() const override { return kstr::unitprefix; }
  const std::string& getName() const override;
  void setName(const std::string& name) override;
  const char* getIdWithFullPathToTopModel() const override { return nullptr; }

  int getExponent() const;
  // The prefix object refuses a value that is not finite or lies outside
  // its range, and rounds to the nearest integer.
  void setExponent(double exponent);

  OVUnits::UnitPrefixApi* getPrefixObject() const { return prefix_; }
  void setPrefixObject(OVUnits::UnitPrefixApi* prefix) { prefix_ = prefix; }
  void deleteOwnedPrefix();

 private:
  OVUnits::UnitPrefixApi* prefix_ = nullptr;
};
