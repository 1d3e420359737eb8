// The concrete unit and prefix objects of the unit manager, and the hooks
// through which a registered object tells its registry about a rename.
#pragma once

#include <string>

#include "ks_utils/UnitRepresentationApi.hpp"
#include "ks_utils/Units.hpp"

namespace OVUnits::detail {

class UnitObject;
class PrefixObject;

// Implemented by the registry that holds registered objects.  Each call
// validates, re-keys and then stores the new name, or throws and changes
// nothing.
class UnitOwner {
 public:
  virtual void renameUnit(UnitObject& unit, const std::string& name) = 0;
  // Throws "Kestrion:KSUNIT_CANNOT_PARSE_UNITS" when the unit would no
  // longer resolve with these values (unknown names, cycles); changes
  // nothing either way.
  virtual void checkRedefinition(const UnitObject& unit, const std::string& composition,
                                 double multiplier, double offset) const = 0;
  // A registered unit took new values.
  virtual void unitRedefined() = 0;

 protected:
  ~UnitOwner() = default;
};

class PrefixOwner {
 public:
  virtual void renamePrefix(PrefixObject& prefix, const std::string& name) = 0;
  virtual void prefixExponentChanged() = 0;

 protected:
  ~PrefixOwner() = default;
};

// The checks every unit applies to its own values: a multiplier of 0, NaN
// or Inf ("Kestrion:UnitsCannotHaveZeroMultiplier",
// "Kestrion:UNITMULTIPLIER_NOT_NUMERIC") and an offset of NaN or Inf
// ("Kestrion:UNITOFFSET_NOT_NUMERIC") would corrupt every conversion
// through the unit.
void checkUnitMultiplier(double multiplier);
void checkUnitOffset(double offset);

class UnitObject final : public UnitRepresentationApi {
 public:
  UnitObject(std::string name, std::string composition, double multiplier,
             double offset, bool builtIn, int baseIndex);
  UnitRepresentationApi* clone() const override;
  const std::string& getName() const override { return name_; }
  void setName(const std::string& name) override;
  const std::string& getComposition() const override { return composition_; }
  void setComposition(const std::string& composition) override;
  double getMultiplier() const override { return multiplier_; }
  void setMultiplier(double multiplier) override;
  double getOffset() const override { return offset_; }
  void setOffset(double offset) override;

  bool isBuiltIn() const noexcept { return builtIn_; }
  // The base dimension of a built-in base unit, else -1.
  int baseIndex() const noexcept { return baseIndex_; }
  UnitOwner* owner() const noexcept { return owner_; }
  void setOwner(UnitOwner* owner) noexcept { owner_ = owner; }
  void storeName(const std::string& name) { name_ = name; }

 private:
  void checkMutable() const;
  // Checks and stores the three values together.
  void redefine(const std::string& composition, double multiplier, double offset);

  std::string name_;
  std::string composition_;
  double multiplier_;
  double offset_;
  bool builtIn_;
  int baseIndex_;
  UnitOwner* owner_ = nullptr;
};

class PrefixObject final : public UnitPrefixApi {
 public:
  PrefixObject(std::string name, int exponent, bool builtIn);
  UnitPrefixApi* clone() const override;
  const std::string& getName() const override { return name_; }
  void setName(const std::string& name) override;
  int getExponent() const override { return exponent_; }
  void setExponent(double exponent) override;

  bool isBuiltIn() const noexcept { return builtIn_; }
  PrefixOwner* owner() const noexcept { return owner_; }
  void setOwner(PrefixOwner* owner) noexcept { owner_ = owner; }
  void storeName(const std::string& name) { name_ = name; }

 private:
  std::string name_;
  int exponent_;
  bool builtIn_;
  PrefixOwner* owner_ = nullptr;
};

}  // namespace OVUnits::detail
