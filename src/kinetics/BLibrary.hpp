#pragma once

#include <string>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"

class BAbstractKineticLaw;
class BUnitPrefixWrapper;
class BUnitWrapper;
class OBInterface;

// A library of units, unit prefixes and abstract kinetic laws.  It owns its
// lists but none of the components in them.
class KELBOR_API BLibrary {
 public:
  void addUnit(BUnitWrapper* unit);
  void addUnitPrefix(BUnitPrefixWrapper* prefix);
  void addAbstractKineticLaw(BAbstractKineticLaw* law);
  // The component with exactly that name, or null.
  BUnitWrapper* findUnit(const std::string& name) const;
  BUnitPrefixWrapper* findUnitPrefix(const std::string& name) const;
  BAbstractKineticLaw* findAbstractKineticLaw(const std::string& name) const;

  const kstrVector<BUnitWrapper*>& getUnits() const { return units_; }
  const kstrVector<BUnitPrefixWrapper*>& getUnitPrefixes() const { return unitPrefixes_; }
  const kstrVector<BAbstractKineticLaw*>& getAbstractKineticLaws() const { return laws_; }
  OBInterface* getOBI() const { return obi_; }
  void setOBI(OBInterface* obi) { obi_ = obi; }

 private:
  kstrVector<BUnitWrapper*> units_;
  kstrVector<BUnitPrefixWrapper*> unitPrefixes_;
  kstrVector<BAbstractKineticLaw*> laws_;
  OBInterface* obi_ = nullptr;
};
