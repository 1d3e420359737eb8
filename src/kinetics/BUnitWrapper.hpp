// A unit of the unit manager as a model component.
#pragma once

#include <string>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

namespace OVUnits {
class UnitRepresentationApi;
}  // namespace OVUnits

// Forwards name, composition, multiplier and offset to the wrapped unit
// object.  The unit manager owns the objects it holds (built-in and
// registered units); the wrapper owns and deletes only an object the
// manager does not hold (a fresh one, or the copy it receives when its unit
// is unregistered).
class KELBOR_API BUnitWrapper : public KelborComponent {
 public:
  explicit BUnitWrapper(OVUnits::UnitRepresentationApi* unit);
  const char* getType() const override { return "unit"; }
  kstr::bcomptype getEnumType() const override { return kstr::unit; }
  // The unit's own name.
  const std::string& getName() const override;
  // Forwards to the unit object; its checks raise (a built-in unit refuses
  // every change, a registered one a name that another unit holds).
  void setName(const std::string& name) override;
  const char* getIdWithFullPathToTopModel() const override { return nullptr; }

  const std::string& getComposition() const;
  void setComposition(const std::string& composition);
  double getMultiplier() const;
  void setMultiplier(double multiplier);
  double getOffset() const;
  void setOffset(double offset);

  OVUnits::UnitRepresentationApi* getUnit() const { return unit_; }
  void setUnit(OVUnits::UnitRepresentationApi* unit) { unit_ = unit; }
  // Deletes the unit object unless the unit manager holds it; clears it.
  void deleteOwnedUnit();

 private:
  OVUnits::UnitRepresentationApi* unit_;
};
