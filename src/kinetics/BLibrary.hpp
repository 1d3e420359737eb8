// A library of units, unit prefixes and abstract kinetic laws, and the free
// operations the library components share: their kind, the built-in guard
// and the request that the host rewrite the user's library file.
#pragma once

#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"

class BAbstractKineticLaw;
class BUnitPrefixWrapper;
class BUnitWrapper;
class OBInterface;

// The root owns two: index 0 built-in, index 1 user.  A library owns its
// lists but none of the components in them.  Names are matched exactly.
class KELBOR_API BLibrary {
 public:
  // Give the component a host instance of "Unit" ("UnitPrefix") when it has
  // none, then append it.
  void addUnit(BUnitWrapper* unit);
  void addUnitPrefix(BUnitPrefixWrapper* prefix);
  void addAbstractKineticLaw(BAbstractKineticLaw* law);
  // Remove the entry found by name (or that very entry), keeping the order
  // of the rest; absent: nothing.
  void removeUnit(const std::string& name);
  void removeUnitPrefix(const std::string& name);
  void removeAbstractKineticLaw(const BAbstractKineticLaw* law);
  // A law of this library took a new name (its setName tells every
  // library); nothing when the library does not hold it under oldName.
  void abstractKineticLawRenamed(BAbstractKineticLaw* law, const std::string& oldName);
  // The first component with exactly that name, or null.
  BUnitWrapper* findUnit(const std::string& name) const;
  BUnitPrefixWrapper* findUnitPrefix(const std::string& name) const;
  BAbstractKineticLaw* findAbstractKineticLaw(const std::string& name) const;
  bool hasUnit(const std::string& name) const { return findUnit(name) != nullptr; }
  bool hasUnitPrefix(const std::string& name) const { return findUnitPrefix(name) != nullptr; }
  bool hasAbstractKineticLaw(const std::string& name) const {
    return findAbstractKineticLaw(name) != nullptr;
  }
  // Kind 0 unit, 1 unit prefix, 2 abstract kinetic law; other kinds false.
  bool hasComponent(int kind, const std::string& name) const;

  const kstrVector<BUnitWrapper*>& getUnits() const { return units_; }
  const kstrVector<BUnitPrefixWrapper*>& getUnitPrefixes() const { return unitPrefixes_; }
  // The laws in the order they were added.
  const std::vector<BAbstractKineticLaw*>& getAbstractKineticLaws() const;
  OBInterface* getOBI() const { return obi_; }
  void setOBI(OBInterface* obi) { obi_ = obi; }
  // Prints the numbers of laws, units and prefixes.
  void display() const;

 private:
  kstrVector<BUnitWrapper*> units_;
  kstrVector<BUnitPrefixWrapper*> unitPrefixes_;
  // The laws in order, each found through its place in lawPlaces_, so that
  // removing one of thousands neither searches nor moves the rest; the
  // vector readers see is made again from the list when it changed.
  std::list<BAbstractKineticLaw*> laws_;
  std::unordered_map<const BAbstractKineticLaw*, std::list<BAbstractKineticLaw*>::iterator> lawPlaces_;
  mutable std::vector<BAbstractKineticLaw*> lawVector_;
  mutable bool lawVectorStale_ = false;
  // The laws by name, each name's laws in the order they were added (a name
  // normally has one): a library of thousands of user laws answers a name
  // without reading every law's name.
  std::unordered_map<std::string, std::vector<BAbstractKineticLaw*>> lawsByName_;
  OBInterface* obi_ = nullptr;
};

// Library kinds: 0 unit, 1 unit prefix, 2 abstract kinetic law.
// From the object's host class name: "Unit" 0, "UnitPrefix" 1,
// "AbstractKineticLaw" 2, anything else 3.
KELBOR_API int getLibraryKindOfObject(const OBInterface* object);
// "unit", "unitprefix", "kineticlaw"; "" for any other kind.
KELBOR_API std::string getLibraryKindName(int kind);
// True when the object is the built-in library's entry of its name for the
// kind word; any other kind word answers true.
KELBOR_API bool isBuiltinLibraryComponent(const std::string& kindWord, const OBInterface* object);
// privateUpdateLibrary for the object's kind when its component sits in a
// library (has a parent host object).
KELBOR_API void updateLibraryIfAttached(const OBInterface* object);
// Calls "kstrgate"("privateupdatelibrary", kind) trapping errors; a failure
// warns "Kestrion:KS_ROOT_LIBRARY_MAY_BE_OUT_OF_SYNC".  Never raises.
KELBOR_API int privateUpdateLibrary(const char* kindWord);
