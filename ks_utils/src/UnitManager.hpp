// The unit manager behind getUnitManagerApiFcn(): the unit registry (with
// the dimension and base-unit naming services) and the prefix registry.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "UnitObjects.hpp"
#include "UnitParser.hpp"
#include "ks_utils/Units.hpp"

namespace OVUnits::detail {

class UnitManager;

class PrefixRegistry final : public UnitPrefixServiceApi, public PrefixOwner {
 public:
  explicit PrefixRegistry(const UnitManager& units);
  ~PrefixRegistry() override;

  std::vector<std::string> getPrefixNames() const override;
  UnitPrefixApi* getPrefix(const std::string& name) const override;
  UnitPrefixApi* newPrefix() const override;
  bool registerPrefix(UnitPrefixApi* prefix) override;
  bool isKnown(const std::string& name) const override;
  bool isRegistered(const std::string& name) const override;
  bool isBuiltIn(const std::string& name) const override;
  bool unregisterPrefix(const std::string& name) override;
  std::size_t subscribe(UnitPrefixUnregisteredCallback callback) override;
  void unsubscribe(std::size_t id) override;
  const UnitPrefixApi* findPrefixForFactor(double factor) const override;
  bool splitPrefixedName(const std::string& name, std::string& rest,
                         std::string& prefix) const override;
  std::string findUserUnitUsing(const std::string& prefixName) const override;
  bool ownsObject(const UnitPrefixApi* prefix) const override;

  void renamePrefix(PrefixObject& prefix, const std::string& name) override;
  void prefixExponentChanged() override;

  PrefixObject* find(const std::string& name) const;
  void unregisterAll();

 private:
  struct UserEntry {
    std::unique_ptr<PrefixObject> prefix;
    std::size_t order;
  };
  void rebuildExponentIndex() const;

  const UnitManager& units_;
  std::vector<std::unique_ptr<PrefixObject>> builtins_;
  std::unordered_map<std::string, PrefixObject*> builtinByName_;
  std::map<int, PrefixObject*> builtinByExponent_;
  std::unordered_map<std::string, UserEntry> user_;
  std::map<std::size_t, PrefixObject*> userByOrder_;
  std::size_t nextOrder_ = 0;
  mutable std::multimap<int, PrefixObject*> userByExponent_;
  mutable bool exponentIndexDirty_ = false;
  std::map<std::size_t, UnitPrefixUnregisteredCallback> subscribers_;
  std::size_t nextSubscriber_ = 1;
};

class UnitManager final : public UnitManagerApi,
                          public UnitDimensionServiceApi,
                          public BaseUnitNamingServiceApi,
                          public UnitNameResolver,
                          public UnitOwner {
 public:
  UnitManager();
  ~UnitManager() override;

  uint32_t getUnitType(const std::string& text) const override;
  void checkUnitText(const std::string& text) const override;
  void checkComposition(const std::string& composition) const override;
  UnitDescription describeUnit(const std::string& text) const override;
  UnitConverter getConverter(const std::string& from,
                             const std::string& to) const override;
  BaseUnitExpansion expandToBaseUnits(const std::string& text) const override;
  bool splitConcentrationUnits(const std::string& text, std::string& substance,
                               std::string& volume) const override;
  int getUnitIndex(const std::string& text) const override;
  std::string getUnitText(int index) const override;

  std::vector<std::vector<std::string>> getUnitNameLists() const override;
  UnitRepresentationApi* getUnit(const std::string& name) const override;
  UnitRepresentationApi* newUnit() const override;
  bool registerUnit(UnitRepresentationApi* unit) override;
  bool isKnown(const std::string& name) const override;
  bool isRegistered(const std::string& name) const override;
  bool isBuiltIn(const std::string& name) const override;
  bool hasRegisteredPrefix(const std::string& name) const override;
  std::string findUserUnitUsing(const std::string& unitName) const override;
  bool unregisterUnit(const std::string& name) override;
  std::size_t subscribe(UnitUnregisteredCallback callback) override;
  void unsubscribe(std::size_t id) override;
  bool ownsObject(const UnitRepresentationApi* unit) const override;
  void resetUserDefinitions() override;

  UnitPrefixServiceApi* getPrefixService() override { return &prefixes_; }
  UnitDimensionServiceApi* getDimensionService() override { return this; }
  BaseUnitNamingServiceApi* getBaseUnitNamingService() override {
    return this;
  }

  // Dimension service.
  int classifyBaseUnits(const std::vector<std::string>& names) const override;
  int getExponent(int unitIndex, int dimension) const override;

  // Base-unit naming service.
  bool setBaseUnitNames(const std::vector<std::string>& names) override;
  const std::string& getBaseUnitName(int dimension) const override;

  Resolved resolveName(const std::string& name, int depth) const override;
  void renameUnit(UnitObject& unit, const std::string& name) override;
  void checkRedefinition(const UnitObject& unit, const std::string& composition, double multiplier,
                         double offset) const override;
  void unitRedefined() override { invalidateCaches(); }
  // Forgets every memoised resolution; any change of a user unit or prefix
  // calls it.
  void invalidateCaches() const;

  // The unit of that name (built-in first), or null.
  UnitObject* find(const std::string& name) const;
  // Splits "prefix" + "unit" when name is not itself a unit.  A unit whose
  // own name is such a split ("kilogram") takes no further prefix.
  bool splitPrefixed(const std::string& name, const PrefixObject** prefix,
                     const UnitObject** unit) const;
  // The first (by name) registered user unit whose composition names a
  // unit with the prefix.
  std::string findUserUnitUsingPrefix(const std::string& prefixName) const;

 private:
  static constexpr int kNumGroups = 10;

  Resolved resolveUnit(const UnitObject& unit, int depth) const;
  // The first (by name) registered user unit whose composition holds a
  // name for which uses answers true; "" when none does.
  template <class Uses>
  std::string firstUserUnitWhere(const Uses& uses) const;
  // Resolves a whole text; a bad one throws the product's parse error.
  Resolved resolveText(const std::string& text) const;
  // As resolveText, but answers false instead of throwing.
  bool tryResolve(const std::string& text, Resolved& out) const;
  bool definitionResolves(const UnitObject& unit) const;
  // True when name is a known prefix followed by a known unit.
  bool isPrefixedForm(const std::string& name) const;
  Resolved resolveNameUncached(const std::string& name, int depth) const;
  bool splitConcentration(const std::string& text, std::string& substance,
                          std::string& volume, int depth) const;

  std::vector<std::unique_ptr<UnitObject>> builtins_;
  std::vector<int> builtinGroups_;
  std::unordered_map<std::string, UnitObject*> builtinByName_;
  std::unordered_map<std::string, std::unique_ptr<UnitObject>> user_;
  std::map<std::size_t, UnitUnregisteredCallback> subscribers_;
  std::size_t nextSubscriber_ = 1;
  PrefixRegistry prefixes_;
  // A definition being checked before registration, visible under its name.
  mutable const UnitObject* pending_ = nullptr;
  // Memoised resolutions of names and whole texts (successes only).  While
  // a definition is checked (pending_) a scratch cache of its own serves.
  mutable std::unordered_map<std::string, Resolved> nameCache_;
  mutable std::unordered_map<std::string, Resolved> pendingNameCache_;
  mutable std::unordered_map<std::string, Resolved> textCache_;
  mutable std::vector<std::string> texts_;
  mutable std::unordered_map<std::string, int> textIndex_;
  std::array<std::string, kNumBaseDimensions> baseNames_;
  bool baseNamesSet_ = false;
};

}  // namespace OVUnits::detail
