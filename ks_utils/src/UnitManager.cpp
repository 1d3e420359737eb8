#include "UnitManager.hpp"

#include <algorithm>
#include <cmath>

#include "ks_utils/Errors.hpp"
#include "ks_utils/StringHelpers.hpp"

namespace OVUnits {

UnitManagerApi::~UnitManagerApi() = default;
UnitDimensionServiceApi::~UnitDimensionServiceApi() = default;
BaseUnitNamingServiceApi::~BaseUnitNamingServiceApi() = default;

UnitConverter::UnitConverter(const UnitDescription& from,
                             const UnitDescription& to)
    : fromFactor_(from.factor),
      fromOffset_(from.offset),
      toFactor_(to.factor),
      toOffset_(to.offset) {}

double UnitConverter::convert(double value) const {
  // The offsets are taken apart first: equal ones cancel exactly, so that a
  // small unit with an offset (femtokelvin) converts to itself unchanged.
  return (fromFactor_ * value + (fromOffset_ - toOffset_)) / toFactor_;
}

namespace detail {

namespace {

// Quantity-type codes by exponents of gram, mole, metre and second (the
// other three base dimensions must be 0).
struct TypeRow {
  uint32_t code;
  int gram, mole, metre, second;
};
constexpr TypeRow kTypeRows[] = {
    {kUnitTypeAmount, 0, 1, 0, 0},           {kUnitTypeMass, 1, 0, 0, 0},
    {kUnitTypeLength, 0, 0, 1, 0},           {kUnitTypeTime, 0, 0, 0, 1},
    {kUnitTypeArea, 0, 0, 2, 0},             {kUnitTypeVolume, 0, 0, 3, 0},
    {kUnitTypeAmountPerVolume, 0, 1, -3, 0}, {kUnitTypeMassPerVolume, 1, 0, -3, 0},
    {kUnitTypeAmountPerArea, 0, 1, -2, 0},   {kUnitTypeMassPerArea, 1, 0, -2, 0},
    {kUnitTypeAmountPerLength, 0, 1, -1, 0}, {kUnitTypeMassPerLength, 1, 0, -1, 0},
    {kUnitTypeMassPerTime, 1, 0, 0, -1},     {kUnitTypeAmountPerTime, 0, 1, 0, -1},
    {kUnitTypeDimensionless, 0, 0, 0, 0},
};

const std::map<DimensionExponents, uint32_t>& typeCodeIndex() {
  static const std::map<DimensionExponents, uint32_t> index = [] {
    std::map<DimensionExponents, uint32_t> m;
    for (const TypeRow& row : kTypeRows) {
      DimensionExponents e{};
      e[kGram] = row.gram;
      e[kMole] = row.mole;
      e[kMetre] = row.metre;
      e[kSecond] = row.second;
      m.emplace(e, row.code);
    }
    return m;
  }();
  return index;
}

const char* const kDefaultBaseNames[kNumBaseDimensions] = {
    "gram", "mole", "metre", "second", "Celsius", "ampere", "candela"};

// Removes one pair of parentheses that encloses the whole text.
std::string stripEnclosingParentheses(std::string text) {
  STDStringHelpers::trimWhitespace(text);
  if (text.size() < 2 || text.front() != '(' || text.back() != ')') return text;
  int nesting = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '(') ++nesting;
    if (text[i] == ')' && --nesting == 0 && i + 1 < text.size()) return text;
  }
  text = text.substr(1, text.size() - 2);
  return STDStringHelpers::trimWhitespace(text);
}

}  // namespace

UnitManager::UnitManager() : prefixes_(*this) {
#define KS_BUILTIN_UNIT(group, name, baseIndex, composition, multiplier,   \
                        offset)                                            \
  builtins_.push_back(std::make_unique<UnitObject>(                        \
      name, composition, multiplier, offset, true, baseIndex));            \
  builtinGroups_.push_back(group);
#include "BuiltinUnits.def"
  for (const auto& unit : builtins_)
    builtinByName_.emplace(unit->getName(), unit.get());
  for (int d = 0; d < kNumBaseDimensions; ++d) baseNames_[d] = kDefaultBaseNames[d];
}

UnitManager::~UnitManager() = default;

// --- resolution --------------------------------------------------------------

UnitObject* UnitManager::find(const std::string& name) const {
  if (pending_ != nullptr && pending_->getName() == name)
    return const_cast<UnitObject*>(pending_);
  const auto builtin = builtinByName_.find(name);
  if (builtin != builtinByName_.end()) return builtin->second;
  const auto user = user_.find(name);
  return user != user_.end() ? user->second.get() : nullptr;
}

bool UnitManager::isPrefixedForm(const std::string& name) const {
  for (std::size_t i = 1; i < name.size(); ++i) {
    if (prefixes_.find(name.substr(0, i)) != nullptr && find(name.substr(i)) != nullptr) return true;
  }
  return false;
}

bool UnitManager::splitPrefixed(const std::string& name,
                                const PrefixObject** prefix,
                                const UnitObject** unit) const {
  if (find(name) != nullptr) return false;
  // Only heads as long as some prefix are tried, so that a long name costs
  // time in proportion to its length.
  std::size_t longest = 0;
  for (const std::string& p : prefixes_.getPrefixNames()) longest = std::max(longest, p.size());
  for (std::size_t i = 1; i < name.size() && i <= longest; ++i) {
    const PrefixObject* p = prefixes_.find(name.substr(0, i));
    if (p == nullptr) continue;
    const UnitObject* u = find(name.substr(i));
    // No second prefix: "millikilogram" is no unit.
    if (u == nullptr || isPrefixedForm(u->getName())) continue;
    *prefix = p;
    *unit = u;
    return true;
  }
  return false;
}

void UnitManager::invalidateCaches() const {
  nameCache_.clear();
  pendingNameCache_.clear();
  textCache_.clear();
}

Resolved UnitManager::resolveName(const std::string& name, int depth) const {
  auto& cache = pending_ != nullptr ? pendingNameCache_ : nameCache_;
  const auto hit = cache.find(name);
  if (hit != cache.end()) return hit->second;
  Resolved result = resolveNameUncached(name, depth);
  cache.emplace(name, result);
  return result;
}

Resolved UnitManager::resolveNameUncached(const std::string& name, int depth) const {
  if (const UnitObject* unit = find(name)) return resolveUnit(*unit, depth);
  const PrefixObject* prefix = nullptr;
  const UnitObject* unit = nullptr;
  if (!splitPrefixed(name, &prefix, &unit)) throw UnitTextError();
  Resolved result = resolveUnit(*unit, depth);
  result.factor *= std::pow(10.0, prefix->getExponent());
  return result;
}

Resolved UnitManager::resolveUnit(const UnitObject& unit, int depth) const {
  Resolved result;
  if (unit.baseIndex() >= 0) {
    result.exponents[unit.baseIndex()] = 1;
    result.single = true;
    return result;
  }
  Resolved composition;
  if (!STDStringHelpers::isAllWhitespace(unit.getComposition()))
    composition = parseUnitText(unit.getComposition(), *this, depth + 1);
  result.factor = composition.factor * unit.getMultiplier();
  result.offset = composition.factor * unit.getOffset() +
                  (composition.single ? composition.offset : 0.0);
  result.exponents = composition.exponents;
  result.single = true;
  if (!std::isfinite(result.factor) || result.factor == 0.0 ||
      !std::isfinite(result.offset))
    throw UnitTextError();
  return result;
}

bool UnitManager::tryResolve(const std::string& text, Resolved& out) const {
  const bool cached = pending_ == nullptr;
  if (cached) {
    const auto hit = textCache_.find(text);
    if (hit != textCache_.end()) {
      out = hit->second;
      return true;
    }
  }
  try {
    out = parseUnitText(text, *this, 0);
  } catch (const UnitTextError&) {
    return false;
  }
  if (cached) textCache_.emplace(text, out);
  return true;
}

Resolved UnitManager::resolveText(const std::string& text) const {
  Resolved result;
  if (!tryResolve(text, result))
    kstr_error("Kestrion:KSUNIT_CANNOT_PARSE_UNITS", 0x4000fc, text.c_str());
  return result;
}

// --- unit texts --------------------------------------------------------------

uint32_t UnitManager::getUnitType(const std::string& text) const {
  const Resolved r = resolveText(text);
  const auto& index = typeCodeIndex();
  const auto it = index.find(r.exponents);
  return it != index.end() ? it->second : kUnitTypeOther;
}

void UnitManager::checkUnitText(const std::string& text) const {
  resolveText(text);
}

void UnitManager::checkComposition(const std::string& composition) const {
  if (!STDStringHelpers::isAllWhitespace(composition)) resolveText(composition);
}

UnitDescription UnitManager::describeUnit(const std::string& text) const {
  const Resolved r = resolveText(text);
  UnitDescription description;
  description.factor = r.factor;
  description.offset = r.offset;
  description.exponents = r.exponents;
  int nonZero = 0;
  int only = -1;
  for (int d = 0; d < kNumBaseDimensions; ++d) {
    if (r.exponents[d] != 0) {
      ++nonZero;
      only = d;
    }
  }
  description.category = (nonZero == 1 && r.exponents[only] == 1) ? only : 7;
  return description;
}

UnitConverter UnitManager::getConverter(const std::string& from,
                                        const std::string& to) const {
  const UnitDescription a = describeUnit(from);
  const UnitDescription b = describeUnit(to);
  if (a.exponents != b.exponents)
    throw ErrorIdException("Kestrion:KSUNIT_CANNOT_CONVERT",
                           "Cannot convert units '" + from + "' to '" + to +
                               "': their dimensions differ.");
  return UnitConverter(a, b);
}

BaseUnitExpansion UnitManager::expandToBaseUnits(const std::string& text) const {
  const Resolved r = resolveText(text);
  BaseUnitExpansion expansion;
  for (int d = 0; d < kNumBaseDimensions; ++d)
    if (r.exponents[d] != 0)
      expansion.terms.push_back(BaseUnitTerm{baseNames_[d], r.exponents[d]});
  expansion.multiplier = r.factor;
  expansion.offset = r.offset;
  return expansion;
}

bool UnitManager::splitConcentration(const std::string& text,
                                     std::string& substance,
                                     std::string& volume, int depth) const {
  Resolved ignored;
  if (depth > kMaxCompositionDepth || !tryResolve(text, ignored)) return false;
  const std::string body = stripEnclosingParentheses(text);
  const std::size_t slash = findLastTopLevelSlash(body);
  if (slash == std::string::npos) {
    // Only a unit that is its composition as it stands: a multiplier or an
    // offset would be lost from the two parts.
    const UnitObject* unit = find(body);
    if (unit == nullptr || unit->baseIndex() >= 0 || unit->getMultiplier() != 1.0 ||
        unit->getOffset() != 0.0)
      return false;
    return splitConcentration(unit->getComposition(), substance, volume,
                              depth + 1);
  }
  // "mole/litre*second" is (mole/litre)*second: what follows the last "/"
  // must be one factor for the text to be substance over volume.
  if (hasTopLevelProduct(std::string_view(body).substr(slash + 1))) return false;
  substance = stripEnclosingParentheses(body.substr(0, slash));
  volume = stripEnclosingParentheses(body.substr(slash + 1));
  return true;
}

bool UnitManager::splitConcentrationUnits(const std::string& text,
                                          std::string& substance,
                                          std::string& volume) const {
  return splitConcentration(text, substance, volume, 0);
}

int UnitManager::getUnitIndex(const std::string& text) const {
  Resolved ignored;
  if (!tryResolve(text, ignored)) return -1;
  const auto it = textIndex_.find(text);
  if (it != textIndex_.end()) return it->second;
  const int index = static_cast<int>(texts_.size());
  texts_.push_back(text);
  textIndex_.emplace(text, index);
  return index;
}

std::string UnitManager::getUnitText(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= texts_.size()) return "";
  return texts_[index];
}

// --- dimension and naming services ------------------------------------------

int UnitManager::classifyBaseUnits(const std::vector<std::string>&) const {
  return 0;
}

int UnitManager::getExponent(int unitIndex, int dimension) const {
  if (dimension < 0 || dimension >= kNumBaseDimensions) return 0;
  if (unitIndex < 0 || static_cast<std::size_t>(unitIndex) >= texts_.size())
    return 0;
  Resolved r;
  if (!tryResolve(texts_[unitIndex], r)) return 0;
  return r.exponents[dimension];
}

bool UnitManager::setBaseUnitNames(const std::vector<std::string>& names) {
  if (baseNamesSet_ || names.size() != kNumBaseDimensions) return false;
  for (int d = 0; d < kNumBaseDimensions; ++d) baseNames_[d] = names[d];
  baseNamesSet_ = true;
  return true;
}

const std::string& UnitManager::getBaseUnitName(int dimension) const {
  static const std::string none;
  if (dimension < 0 || dimension >= kNumBaseDimensions) return none;
  return baseNames_[dimension];
}

}  // namespace detail
}  // namespace OVUnits
