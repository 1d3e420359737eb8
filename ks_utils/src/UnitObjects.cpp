#include "UnitObjects.hpp"

#include <cmath>

#include "hb/hb.hpp"
#include "ks_utils/Errors.hpp"

namespace OVUnits {

UnitRepresentationApi::~UnitRepresentationApi() = default;
UnitPrefixApi::~UnitPrefixApi() = default;

namespace {

bool isNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

}  // namespace

bool isValidUnitName(const std::string& name) noexcept {
  if (name.empty() || !isNameStart(name[0])) return false;
  for (char c : name)
    if (!isNameStart(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

void checkUnitName(const std::string& name) {
  if (!isValidUnitName(name))
    throw ErrorIdException("Kestrion:KSUNIT_INVALID_NAME", "Invalid unit name '" + name + "'.");
}

void checkUnitPrefixName(const std::string& name) {
  if (!isValidUnitName(name))
    throw ErrorIdException("Kestrion:KSUNIT_INVALID_NAME", "Invalid unit prefix name '" + name + "'.");
}

namespace detail {

namespace {

[[noreturn]] void refuseBuiltinChange() {
  kstr_error("Kestrion:CannotChangeBuiltinLibraryComponent",
             "Changing builtin library components is not allowed");
}

}  // namespace

// --- UnitObject ------------------------------------------------------------

UnitObject::UnitObject(std::string name, std::string composition,
                       double multiplier, double offset, bool builtIn,
                       int baseIndex)
    : name_(std::move(name)),
      composition_(std::move(composition)),
      multiplier_(multiplier),
      offset_(offset),
      builtIn_(builtIn),
      baseIndex_(baseIndex) {}

UnitRepresentationApi* UnitObject::clone() const {
  return new UnitObject(name_, composition_, multiplier_, offset_, false, -1);
}

void UnitObject::checkMutable() const {
  if (builtIn_) refuseBuiltinChange();
}

void UnitObject::setName(const std::string& name) {
  checkMutable();
  if (name == name_) return;
  if (owner_ != nullptr)
    owner_->renameUnit(*this, name);
  else
    name_ = name;
}

void checkUnitMultiplier(double multiplier) {
  if (!std::isfinite(multiplier)) kstr_error("Kestrion:UNITMULTIPLIER_NOT_NUMERIC", 0x40008a);
  if (multiplier == 0.0) {
    kstr_error("Kestrion:UnitsCannotHaveZeroMultiplier",
               "Invalid MULTIPLIER. A unit cannot have a zero multiplier.");
  }
}

void checkUnitOffset(double offset) {
  if (!std::isfinite(offset)) kstr_error("Kestrion:UNITOFFSET_NOT_NUMERIC", 0x400090);
}

void UnitObject::redefine(const std::string& composition, double multiplier, double offset) {
  checkMutable();
  checkUnitMultiplier(multiplier);
  checkUnitOffset(offset);
  // A registered unit is checked as a whole before it changes.
  if (owner_ != nullptr) owner_->checkRedefinition(*this, composition, multiplier, offset);
  composition_ = composition;
  multiplier_ = multiplier;
  offset_ = offset;
  if (owner_ != nullptr) owner_->unitRedefined();
}

void UnitObject::setComposition(const std::string& composition) {
  redefine(composition, multiplier_, offset_);
}

void UnitObject::setMultiplier(double multiplier) { redefine(composition_, multiplier, offset_); }

void UnitObject::setOffset(double offset) { redefine(composition_, multiplier_, offset); }

// --- PrefixObject ----------------------------------------------------------

PrefixObject::PrefixObject(std::string name, int exponent, bool builtIn)
    : name_(std::move(name)), exponent_(exponent), builtIn_(builtIn) {}

UnitPrefixApi* PrefixObject::clone() const {
  return new PrefixObject(name_, exponent_, false);
}

void PrefixObject::setName(const std::string& name) {
  if (builtIn_) refuseBuiltinChange();
  if (name == name_) return;
  if (owner_ != nullptr)
    owner_->renamePrefix(*this, name);
  else
    name_ = name;
}

void PrefixObject::setExponent(double exponent) {
  if (builtIn_) refuseBuiltinChange();
  // Beyond 10^308 a factor is no finite double.
  if (!std::isfinite(exponent) || std::fabs(exponent) > 308.0)
    kstr_error("Kestrion:UNITPREFIXEXPONENT_NOT_NUMERIC", 0x40008c);
  exponent_ = static_cast<int>(hbDoubleScalarRound(exponent));
  if (owner_ != nullptr) owner_->prefixExponentChanged();
}

}  // namespace detail
}  // namespace OVUnits
