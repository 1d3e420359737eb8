// The unit and unit-prefix objects of the unit manager.
//
// A unit is a name, a composition text over other units, a multiplier and
// an offset: a value x in the unit is multiplier*x + offset in units of the
// composition.  A prefix is a name and a power of ten.
//
// Objects come from UnitManagerApi::newUnit / UnitPrefixServiceApi::newPrefix
// (owned by the caller until registered) or from the manager's lookups
// (owned by the manager).  Built-in objects refuse every change with
// ErrorIdException "Kestrion:CannotChangeBuiltinLibraryComponent".  Renaming
// a registered object re-keys it in the manager; a new name that is not a
// valid unit name, or that another unit (prefix) already uses, throws
// "Kestrion:KSUNIT_NAME_IN_USE" ("Kestrion:KSUNITPREFIX_NAME_IN_USE") or
// "Kestrion:KSUNIT_INVALID_NAME" and nothing changes.  A multiplier of 0,
// NaN or Inf ("Kestrion:UnitsCannotHaveZeroMultiplier",
// "Kestrion:UNITMULTIPLIER_NOT_NUMERIC") and an offset of NaN or Inf
// ("Kestrion:UNITOFFSET_NOT_NUMERIC") are refused by every unit; a
// registered unit also refuses a change after which it would no longer
// resolve ("Kestrion:KSUNIT_CANNOT_PARSE_UNITS": unknown names, cycles).
#pragma once

#include <string>

#include "ks_utils/KsApi.hpp"

namespace OVUnits {

class KS_API UnitRepresentationApi {
 public:
  virtual ~UnitRepresentationApi();
  // A new, unregistered, caller-owned unit with the same four values.
  virtual UnitRepresentationApi* clone() const = 0;
  virtual const std::string& getName() const = 0;
  virtual void setName(const std::string& name) = 0;
  virtual const std::string& getComposition() const = 0;
  virtual void setComposition(const std::string& composition) = 0;
  virtual double getMultiplier() const = 0;
  virtual void setMultiplier(double multiplier) = 0;
  virtual double getOffset() const = 0;
  virtual void setOffset(double offset) = 0;
};

class KS_API UnitPrefixApi {
 public:
  virtual ~UnitPrefixApi();
  // A new, unregistered, caller-owned prefix with the same values.
  virtual UnitPrefixApi* clone() const = 0;
  virtual const std::string& getName() const = 0;
  virtual void setName(const std::string& name) = 0;
  // The prefix's factor is 10^getExponent().
  virtual int getExponent() const = 0;
  // Rounds to the nearest integer (halves away from zero).  A non-finite
  // value or one beyond +-308 throws "Kestrion:UNITPREFIXEXPONENT_NOT_NUMERIC"
  // and nothing changes.
  virtual void setExponent(double exponent) = 0;
};

}  // namespace OVUnits
