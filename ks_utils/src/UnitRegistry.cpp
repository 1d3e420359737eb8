// Registration side of the unit manager: built-in lists, user units,
// subscriptions, renames and the process-wide instance.
#include "UnitManager.hpp"
#include "ks_utils/Errors.hpp"

namespace OVUnits::detail {

std::vector<std::vector<std::string>> UnitManager::getUnitNameLists() const {
  std::vector<std::vector<std::string>> lists(kNumGroups);
  for (std::size_t i = 0; i < builtins_.size(); ++i)
    lists[builtinGroups_[i]].push_back(builtins_[i]->getName());
  return lists;
}

UnitRepresentationApi* UnitManager::getUnit(const std::string& name) const {
  const auto builtin = builtinByName_.find(name);
  if (builtin != builtinByName_.end()) return builtin->second;
  const auto user = user_.find(name);
  return user != user_.end() ? user->second.get() : nullptr;
}

UnitRepresentationApi* UnitManager::newUnit() const {
  return new UnitObject("", "", 1.0, 0.0, false, -1);
}

bool UnitManager::definitionResolves(const UnitObject& unit) const {
  // The new definition stands under its name while it is checked, so that
  // a definition referring to its own name is caught as a cycle.  What is
  // resolved meanwhile may depend on it: a scratch cache serves.
  pending_ = &unit;
  pendingNameCache_.clear();
  bool ok = true;
  try {
    resolveUnit(unit, 0);
  } catch (const UnitTextError&) {
    ok = false;
  } catch (...) {
    pending_ = nullptr;
    pendingNameCache_.clear();
    throw;
  }
  pending_ = nullptr;
  pendingNameCache_.clear();
  return ok;
}

void UnitManager::checkRedefinition(const UnitObject& unit, const std::string& composition,
                                    double multiplier, double offset) const {
  const UnitObject candidate(unit.getName(), composition, multiplier, offset, false, -1);
  if (!definitionResolves(candidate)) {
    kstr_error("Kestrion:KSUNIT_CANNOT_PARSE_UNITS", 0x4000fc, composition.c_str());
  }
}

bool UnitManager::registerUnit(UnitRepresentationApi* api) {
  auto* unit = dynamic_cast<UnitObject*>(api);
  if (unit == nullptr || unit->isBuiltIn()) return false;
  if (unit->owner() == this) return true;
  if (unit->owner() != nullptr) return false;
  const std::string name = unit->getName();
  if (!isValidUnitName(name) || builtinByName_.count(name) != 0) return false;
  // A name that already means a prefixed unit would change the meaning of
  // every text that uses it.
  if (hasRegisteredPrefix(name)) return false;
  if (!definitionResolves(*unit)) return false;
  if (user_.count(name) != 0) unregisterUnit(name);
  // Take ownership only once nothing can throw any more.
  user_.emplace(name, nullptr).first->second.reset(unit);
  unit->setOwner(this);
  invalidateCaches();
  return true;
}

bool UnitManager::isKnown(const std::string& name) const {
  return getUnit(name) != nullptr;
}

bool UnitManager::isRegistered(const std::string& name) const {
  return isKnown(name);
}

bool UnitManager::isBuiltIn(const std::string& name) const {
  return builtinByName_.count(name) != 0;
}

bool UnitManager::hasRegisteredPrefix(const std::string& name) const {
  const PrefixObject* prefix = nullptr;
  const UnitObject* unit = nullptr;
  return splitPrefixed(name, &prefix, &unit);
}

template <class Uses>
std::string UnitManager::firstUserUnitWhere(const Uses& uses) const {
  std::string first;
  for (const auto& [name, unit] : user_) {
    if (!first.empty() && name >= first) continue;
    for (const std::string& used : unitNamesIn(unit->getComposition())) {
      if (uses(used)) {
        first = name;
        break;
      }
    }
  }
  return first;
}

std::string UnitManager::findUserUnitUsing(const std::string& unitName) const {
  return firstUserUnitWhere([&](const std::string& used) {
    if (used == unitName) return true;
    const PrefixObject* prefix = nullptr;
    const UnitObject* unit = nullptr;
    return splitPrefixed(used, &prefix, &unit) && unit->getName() == unitName;
  });
}

std::string UnitManager::findUserUnitUsingPrefix(const std::string& prefixName) const {
  return firstUserUnitWhere([&](const std::string& used) {
    const PrefixObject* prefix = nullptr;
    const UnitObject* unit = nullptr;
    return splitPrefixed(used, &prefix, &unit) && prefix->getName() == prefixName;
  });
}

bool UnitManager::unregisterUnit(const std::string& name) {
  const auto it = user_.find(name);
  if (it == user_.end()) return false;
  std::unique_ptr<UnitObject> unit = std::move(it->second);
  user_.erase(it);
  unit->setOwner(nullptr);
  invalidateCaches();
  // Copy: a callback may subscribe or unsubscribe.
  const auto subscribers = subscribers_;
  for (const auto& entry : subscribers) entry.second(unit.get());
  return true;
}

std::size_t UnitManager::subscribe(UnitUnregisteredCallback callback) {
  const std::size_t id = nextSubscriber_++;
  subscribers_.emplace(id, std::move(callback));
  return id;
}

void UnitManager::unsubscribe(std::size_t id) { subscribers_.erase(id); }

bool UnitManager::ownsObject(const UnitRepresentationApi* api) const {
  const auto* unit = dynamic_cast<const UnitObject*>(api);
  if (unit == nullptr) return false;
  return unit->isBuiltIn() || unit->owner() == this;
}

void UnitManager::resetUserDefinitions() {
  std::vector<std::string> names;
  names.reserve(user_.size());
  for (const auto& entry : user_) names.push_back(entry.first);
  for (const auto& name : names) unregisterUnit(name);
  prefixes_.unregisterAll();
}

void UnitManager::renameUnit(UnitObject& unit, const std::string& name) {
  checkUnitName(name);
  if (isKnown(name))
    throw ErrorIdException("Kestrion:KSUNIT_NAME_IN_USE",
                           "The unit name '" + name + "' is already in use.");
  std::string rest;
  std::string prefix;
  if (prefixes_.splitPrefixedName(name, rest, prefix))
    kstr_error("Kestrion:UnitNameIsPrefixedUnit", 0x40019a, name.c_str(), prefix.c_str(), rest.c_str());
  const std::string user = findUserUnitUsing(unit.getName());
  if (!user.empty()) kstr_error("Kestrion:UnitInUse", 0x400198, unit.getName().c_str(), user.c_str());
  auto node = user_.extract(unit.getName());
  node.key() = name;
  user_.insert(std::move(node));
  unit.storeName(name);
  invalidateCaches();
}

}  // namespace OVUnits::detail

OVUnits::UnitManagerApi* getUnitManagerApiFcn() {
  static OVUnits::detail::UnitManager manager;
  return &manager;
}
