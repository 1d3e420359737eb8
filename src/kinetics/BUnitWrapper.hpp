#pragma once

#include <string>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

namespace OVUnits {
class UnitRepresentationApi;
class UnitPrefixApi;
}  // namespace OVUnits

// A unit of the unit manager as a model component.  The wrapper does not own
// the unit object.
class KELBOR_API BUnitWrapper : public KelborComponent {
 public:
  explicit BUnitWrapper(OVUnits::UnitRepresentationApi* unit);
  const char* getType() const override { return "unit"; }
  kstr::bcomptype getEnumType() const override { return kstr::unit; }
  // The unit's own name.
  const std::string& getName() const override;
  OVUnits::UnitRepresentationApi* getUnit() const { return unit_; }

 private:
  OVUnits::UnitRepresentationApi* unit_;
};

// A unit prefix of the unit manager as a model component.
class KELBOR_API BUnitPrefixWrapper : public KelborComponent {
 public:
  explicit BUnitPrefixWrapper(OVUnits::UnitPrefixApi* prefix);
  const char* getType() const override { return "unitprefix"; }
  kstr::bcomptype getEnumType() const override { return kstr::unitprefix; }
  const std::string& getName() const override;
  OVUnits::UnitPrefixApi* getPrefix() const { return prefix_; }

 private:
  OVUnits::UnitPrefixApi* prefix_;
};
