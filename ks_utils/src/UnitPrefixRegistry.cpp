#include <cmath>

#include "UnitManager.hpp"
#include "ks_utils/Errors.hpp"

namespace OVUnits {

UnitPrefixServiceApi::~UnitPrefixServiceApi() = default;

namespace detail {

PrefixRegistry::PrefixRegistry(const UnitManager& units) : units_(units) {
#define KS_BUILTIN_PREFIX(name, exponent) \
  builtins_.push_back(std::make_unique<PrefixObject>(name, exponent, true));
#include "BuiltinUnits.def"
  for (const auto& prefix : builtins_) {
    builtinByName_.emplace(prefix->getName(), prefix.get());
    builtinByExponent_.emplace(prefix->getExponent(), prefix.get());
  }
}

PrefixRegistry::~PrefixRegistry() = default;

std::vector<std::string> PrefixRegistry::getPrefixNames() const {
  std::vector<std::string> names;
  names.reserve(builtins_.size() + userByOrder_.size());
  for (const auto& prefix : builtins_) names.push_back(prefix->getName());
  for (const auto& entry : userByOrder_) names.push_back(entry.second->getName());
  return names;
}

PrefixObject* PrefixRegistry::find(const std::string& name) const {
  const auto builtin = builtinByName_.find(name);
  if (builtin != builtinByName_.end()) return builtin->second;
  const auto user = user_.find(name);
  return user != user_.end() ? user->second.prefix.get() : nullptr;
}

UnitPrefixApi* PrefixRegistry::getPrefix(const std::string& name) const {
  return find(name);
}

UnitPrefixApi* PrefixRegistry::newPrefix() const {
  return new PrefixObject("", 0, false);
}

bool PrefixRegistry::registerPrefix(UnitPrefixApi* api) {
  auto* prefix = dynamic_cast<PrefixObject*>(api);
  if (prefix == nullptr || prefix->isBuiltIn()) return false;
  if (prefix->owner() == this) return true;
  if (prefix->owner() != nullptr) return false;
  const std::string name = prefix->getName();
  if (!isValidUnitName(name) || builtinByName_.count(name) != 0) return false;
  if (user_.count(name) != 0) unregisterPrefix(name);
  const std::size_t order = nextOrder_++;
  // Take ownership only once nothing can throw any more.
  const auto slot = user_.emplace(name, UserEntry{nullptr, order}).first;
  try {
    userByOrder_.emplace(order, prefix);
  } catch (...) {
    user_.erase(slot);
    throw;
  }
  slot->second.prefix.reset(prefix);
  prefix->setOwner(this);
  exponentIndexDirty_ = true;
  units_.invalidateCaches();
  return true;
}

bool PrefixRegistry::isKnown(const std::string& name) const {
  return find(name) != nullptr;
}

bool PrefixRegistry::isRegistered(const std::string& name) const {
  return isKnown(name);
}

bool PrefixRegistry::isBuiltIn(const std::string& name) const {
  return builtinByName_.count(name) != 0;
}

bool PrefixRegistry::unregisterPrefix(const std::string& name) {
  const auto it = user_.find(name);
  if (it == user_.end()) return false;
  std::unique_ptr<PrefixObject> prefix = std::move(it->second.prefix);
  userByOrder_.erase(it->second.order);
  user_.erase(it);
  prefix->setOwner(nullptr);
  exponentIndexDirty_ = true;
  units_.invalidateCaches();
  // Copy: a callback may subscribe or unsubscribe.
  const auto subscribers = subscribers_;
  for (const auto& entry : subscribers) entry.second(prefix.get());
  return true;
}

void PrefixRegistry::unregisterAll() {
  std::vector<std::string> names;
  for (const auto& entry : userByOrder_) names.push_back(entry.second->getName());
  for (const auto& name : names) unregisterPrefix(name);
}

std::size_t PrefixRegistry::subscribe(UnitPrefixUnregisteredCallback callback) {
  const std::size_t id = nextSubscriber_++;
  subscribers_.emplace(id, std::move(callback));
  return id;
}

void PrefixRegistry::unsubscribe(std::size_t id) { subscribers_.erase(id); }

void PrefixRegistry::rebuildExponentIndex() const {
  userByExponent_.clear();
  for (const auto& entry : userByOrder_)
    userByExponent_.emplace(entry.second->getExponent(), entry.second);
  exponentIndexDirty_ = false;
}

const UnitPrefixApi* PrefixRegistry::findPrefixForFactor(double factor) const {
  if (!std::isfinite(factor) || factor <= 0.0) return nullptr;
  const double k = std::round(std::log10(factor));
  if (std::fabs(k) > 308.0) return nullptr;
  if (std::fabs(std::pow(10.0, k) - factor) > 1e-12 * factor) return nullptr;
  const int exponent = static_cast<int>(k);
  const auto builtin = builtinByExponent_.find(exponent);
  if (builtin != builtinByExponent_.end()) return builtin->second;
  if (exponentIndexDirty_) rebuildExponentIndex();
  const auto user = userByExponent_.find(exponent);
  return user != userByExponent_.end() ? user->second : nullptr;
}

bool PrefixRegistry::splitPrefixedName(const std::string& name,
                                       std::string& rest,
                                       std::string& prefix) const {
  const PrefixObject* foundPrefix = nullptr;
  const UnitObject* foundUnit = nullptr;
  if (!units_.splitPrefixed(name, &foundPrefix, &foundUnit)) return false;
  prefix = foundPrefix->getName();
  rest = foundUnit->getName();
  return true;
}

std::string PrefixRegistry::findUserUnitUsing(const std::string& prefixName) const {
  return units_.findUserUnitUsingPrefix(prefixName);
}

bool PrefixRegistry::ownsObject(const UnitPrefixApi* api) const {
  const auto* prefix = dynamic_cast<const PrefixObject*>(api);
  if (prefix == nullptr) return false;
  return prefix->isBuiltIn() || prefix->owner() == this;
}

void PrefixRegistry::renamePrefix(PrefixObject& prefix, const std::string& name) {
  checkUnitPrefixName(name);
  if (find(name) != nullptr)
    throw ErrorIdException("Kestrion:KSUNITPREFIX_NAME_IN_USE",
                           "The unit prefix name '" + name +
                               "' is already in use.");
  const std::string user = findUserUnitUsing(prefix.getName());
  if (!user.empty()) kstr_error("Kestrion:UnitPrefixInUse", 0x400199, prefix.getName().c_str(), user.c_str());
  auto node = user_.extract(prefix.getName());
  node.key() = name;
  user_.insert(std::move(node));
  prefix.storeName(name);
  units_.invalidateCaches();
}

void PrefixRegistry::prefixExponentChanged() {
  exponentIndexDirty_ = true;
  units_.invalidateCaches();
}

}  // namespace detail
}  // namespace OVUnits
