// Unit definitions written for the units of the model's components.
#include "sbml/SBMLUnit.hpp"

#include <cctype>
#include <cmath>
#include <memory>
#include <vector>

#include <sbml/SBMLTypes.h>

#include <ks_utils/Errors.hpp>
#include <ks_utils/Units.hpp>

#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "core/KelborComponent.hpp"
#include "kinetics/LibraryRegistration.hpp"
#include "kinetics/UnitOBC.hpp"
#include "sbml/SBMLComponent.hpp"
#include "model/MessageCatalog.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLNumberText.hpp"

using Code = kstr::MessageCode;

namespace {

void nameBaseUnitsOnce() {
  static const bool named = [] {
    getUnitManagerApiFcn()->getBaseUnitNamingService()->setBaseUnitNames(
        {"gram", "mole", "metre", "second", "Celsius", "ampere", "candela"});
    return true;
  }();
  (void)named;
}

bool isSimpleUnitName(const std::string& name) {
  return name.find_first_of("/()*^") == std::string::npos;
}

[[noreturn]] void cannotWrite(const std::string& name) {
  throw ErrorIdException("Kestrion:UnitCannotBeWritten",
                         "The unit '" + name + "' cannot be written as a unit definition.");
}

}  // namespace

SBMLUnit::SBMLUnit(UnitDefinition* definition) : SBMLComponent(definition) { nameBaseUnitsOnce(); }

UnitDefinition* SBMLUnit::definition() const { return static_cast<UnitDefinition*>(element_); }

namespace {

// The identifier text of a derived unit: "/" "*" "^" become "__" "_" "___",
// parentheses, blanks and plus signs go, a minus sign becomes "neg" and any
// other character that an identifier cannot hold "_x" and its hex code.
std::string derivedUnitIdentifier(const std::string& name) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string id = "OVDERIVEDUNIT_";
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '/': id += "__"; break;
      case '*': id += "_"; break;
      case '^': id += "___"; break;
      case '(': case ')': case '+': case ' ': case '\t': break;
      case '-': id += "neg"; break;
      default:
        if (std::isalnum(byte) || c == '_') {
          id += c;
        } else {
          id += "_x";
          id += kHex[byte >> 4];
          id += kHex[byte & 15];
        }
    }
  }
  return id;
}

// Sets one attribute of a unit definition; a refusal ends the definition
// (the caller takes it out again and warns).
void check(int status, const std::string& unitName) {
  if (status != LIBSBML_OPERATION_SUCCESS) cannotWrite(unitName);
}

}  // namespace

std::string SBMLUnit::identifierForUnitName(const std::string& name) {
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  if (!isSimpleUnitName(name)) return derivedUnitIdentifier(name);
  std::string id;
  std::string rest = name;
  std::string prefix;
  if (units->hasRegisteredPrefix(name) && units->getPrefixService()->splitPrefixedName(name, rest, prefix)) {
    id += units->getPrefixService()->isBuiltIn(prefix) ? "OVBUILTINPREFIX_" : "OVUSERPREFIX_";
    id += prefix + "_";
  }
  id += units->isBuiltIn(rest) ? "OVBUILTINUNIT_" : "OVUSERUNIT_";
  return id + rest;
}

// The identifier for the unit, made unique in the model: two texts that
// differ only where the identifier drops characters ("mole/second" and
// "mole / second") get "_2", "_3" ... after the second.  "" when no valid
// identifier can be made.
std::string SBMLUnit::uniqueIdentifierFor(const std::string& name) const {
  const std::string base = identifierForUnitName(name);
  const Model* model = definition()->getModel();
  std::string id = base;
  for (unsigned n = 2; model && model->getUnitDefinition(id) && model->getUnitDefinition(id) != definition(); ++n) {
    id = base + "_" + std::to_string(n);
  }
  return SyntaxChecker::isValidSBMLSId(id) ? id : std::string();
}

// The multiplier goes on the single base unit when it has exponent 1 (or a
// negative exponent that the dimension service places there); otherwise on
// an added dimensionless unit.  The offset goes on the first unit.  Every
// attribute is checked as it is set.
void SBMLUnit::exportElement() {
  auto* definition = static_cast<UnitDefinition*>(element_);
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  const std::string id = uniqueIdentifierFor(unitName_);
  if (id.empty()) cannotWrite(unitName_);
  const OVUnits::BaseUnitExpansion expansion = units->expandToBaseUnits(unitName_);
  if (expansion.terms.empty()) cannotWrite(unitName_);
  std::vector<std::string> names;
  for (const OVUnits::BaseUnitTerm& term : expansion.terms) {
    Unit* unit = definition->createUnit();
    if (!unit) cannotWrite(unitName_);
    check(unit->setKind(UnitKind_forName(term.name.c_str())), unitName_);
    check(unit->setExponent(term.exponent), unitName_);
    names.push_back(term.name);
  }
  check(definition->setName(unitName_), unitName_);
  check(definition->setId(id), unitName_);
  Unit* first = definition->getUnit(0);
  const bool onSingleUnit =
      expansion.terms.size() == 1 &&
      (expansion.terms[0].exponent == 1 ||
       (expansion.terms[0].exponent < 1 && units->getDimensionService()->classifyBaseUnits(names) == 4));
  if (onSingleUnit) {
    check(first->setMultiplier(expansion.multiplier), unitName_);
    kstr::sbml::noteWrittenNumber(expansion.multiplier);
  } else if (expansion.multiplier != 1.0) {
    Unit* scale = definition->createUnit();
    if (!scale) cannotWrite(unitName_);
    check(scale->setKind(UNIT_KIND_DIMENSIONLESS), unitName_);
    check(scale->setExponent(1), unitName_);
    check(scale->setMultiplier(expansion.multiplier), unitName_);
    kstr::sbml::noteWrittenNumber(expansion.multiplier);
  }
  if (expansion.offset != 0.0) {
    check(first->setOffset(expansion.offset), unitName_);
    kstr::sbml::noteWrittenNumber(expansion.offset);
  }
  kstr::sbml::currentContext().setSBMLUnitForHostUnit(unitName_, id);
}

namespace kstr::sbml {

namespace {

// Writes a definition for the unit; false (document unchanged) when it
// cannot be written.
bool writeUnitDefinition(SBMLConversionContext& context, const std::string& units) {
  Model* model = context.getSBMLModel();
  UnitDefinition* definition = model->createUnitDefinition();
  try {
    SBMLUnit converter(definition);
    converter.setUnitName(units);
    converter.exportElement();
    return true;
  } catch (const ErrorIdException&) {
    ListOf* list = model->getListOfUnitDefinitions();
    delete list->remove(list->size() - 1);
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnitNoLongerExists",
                  kstr::code(Code::KS_UNIT_NO_LONGER_EXISTS), units.c_str());
    return false;
  }
}

}  // namespace

std::string sbmlUnitReferenceFor(SBMLConversionContext& context, const std::string& units,
                                 bool warnWithoutDefinition) {
  if (units.empty()) return std::string();
  std::string id;
  context.findSBMLUnitForHostUnit(units, id);
  if (!id.empty()) return id;
  if (context.getWithoutUnitDefinitions()) {
    if (warnWithoutDefinition) {
      hb_warning_id(hbGetWarningContext(), "Kestrion:UnitNoLongerExists",
                    kstr::code(Code::KS_UNIT_NO_LONGER_EXISTS), units.c_str());
    }
    return std::string();
  }
  if (!writeUnitDefinition(context, units)) return std::string();
  context.findSBMLUnitForHostUnit(units, id);
  return id;
}

}  // namespace kstr::sbml

// --- import ----------------------------------------------------------------------------

namespace {

void warnUnit(const char* id, Code code, const std::string& name) {
  hb_warning_id(hbGetWarningContext(), id, kstr::code(code), name.c_str());
}

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// A definition of one unit of exponent 1 whose multiplier is the number of
// that kind in one registered unit of the identifier ("hour" as 3600
// second).
bool restatesRegisteredUnit(const std::string& id, const UnitDefinition& definition) {
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  if (!units->isRegistered(id) || definition.getNumUnits() != 1) return false;
  const Unit* unit = definition.getUnit(0);
  const std::string kind = UnitKind_toString(unit->getKind()) ? UnitKind_toString(unit->getKind()) : "";
  if (unit->getExponent() != 1 || !units->isRegistered(kind)) return false;
  try {
    if (units->describeUnit(id).category >= 7) return false;
    const double factor = units->getConverter(id, kind).convert(1.0);
    const double multiplier = unit->getMultiplier();
    return std::fabs(factor - multiplier) < std::ldexp(1.0, -39) * std::max(multiplier, factor);
  } catch (const ErrorIdException&) {
    return false;
  }
}

std::string joined(const std::vector<std::string>& terms) {
  std::string text;
  for (const std::string& term : terms) text += (text.empty() ? "" : "*") + term;
  return text;
}

}  // namespace

namespace {

// The exponents and scales a unit definition may hold: a composition takes
// exponents up to 100, and beyond 10^+-400 no factor is a finite, non-zero
// double.
constexpr long long kMaxUnitExponent = 100;
constexpr long long kMaxUnitScale = 400;

// One unit of a definition as the composition sees it.  False (after the
// warning naming the unit name) when the definition cannot be registered.
bool unitIsUsable(const Unit& unit, unsigned count, const std::string& unitName) {
  const long long exponent = unit.getExponent();
  if (unit.getOffset() != 0.0 && (count > 1 || (exponent != 1 && exponent != -1))) {
    warnUnit("Kestrion:UnitsOffsetMultipleUnits", Code::KS_UNITS_OFFSET_MULTIPLE_UNITS, unitName);
    return false;
  }
  if (unit.getMultiplier() == 0.0) {
    warnUnit("Kestrion:UnitsCannotHaveZeroMultiplier", Code::KS_UNITS_CANNOT_HAVE_ZERO_MULTIPLIER, unitName);
    return false;
  }
  if (count == 1 && unit.getKind() == UNIT_KIND_DIMENSIONLESS) {
    warnUnit("Kestrion:UnitsPureDimensionlessUnsupported", Code::KS_UNITS_PURE_DIMENSIONLESS_UNSUPPORTED, unitName);
    return false;
  }
  const long long scale = unit.getScale();
  if (std::llabs(exponent) > kMaxUnitExponent || std::llabs(scale) > kMaxUnitScale ||
      !std::isfinite(unit.getMultiplier()) || !std::isfinite(unit.getOffset())) {
    warnUnit("Kestrion:UnitDefinitionOutOfRange", Code::KS_UNIT_DEFINITION_OUT_OF_RANGE, unitName);
    return false;
  }
  return true;
}

}  // namespace

bool SBMLUnit::buildComposition(const std::string& unitName, std::string& composition, double& multiplier,
                                double& offset) const {
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  std::vector<std::string> numerator;
  std::vector<std::string> denominator;
  multiplier = 1.0;
  offset = 0.0;
  const unsigned count = definition()->getNumUnits();
  for (unsigned i = 0; i < count; ++i) {
    const Unit* unit = definition()->getUnit(i);
    if (!unitIsUsable(*unit, count, unitName)) return false;
    // Both lie within the bounds checked above.
    const int exponent = unit->getExponent();
    const int scale = unit->getScale();
    const bool dimensionless = unit->getKind() == UNIT_KIND_DIMENSIONLESS;
    std::string term;
    bool scaleTaken = false;
    if (scale != 0 && !dimensionless) {
      double factor = 1.0;
      for (int k = 0; k < std::abs(scale); ++k) factor = scale > 0 ? factor * 10.0 : factor / 10.0;
      if (const OVUnits::UnitPrefixApi* prefix = units->getPrefixService()->findPrefixForFactor(factor)) {
        term = prefix->getName();
        scaleTaken = true;
      }
    }
    if (!dimensionless) {
      const char* kind = UnitKind_toString(unit->getKind());
      term += kind ? kind : "Invalid UnitKind";
      if (std::abs(exponent) != 1) term += "^" + std::to_string(std::abs(exponent));
      (exponent >= 1 ? numerator : denominator).push_back(term);
    }
    const double base = scale != 0 && !scaleTaken ? std::pow(10.0, scale) : 1.0;
    const double own = hbEqualWithinEps(unit->getMultiplier(), 1.0) ? 1.0 : unit->getMultiplier();
    multiplier *= std::pow(base * own, exponent);
    offset = unit->getOffset();
  }
  // A multiplier that overflows or underflows: no unit can hold it.
  if (!std::isfinite(multiplier) || multiplier == 0.0) {
    warnUnit("Kestrion:UnitDefinitionOutOfRange", Code::KS_UNIT_DEFINITION_OUT_OF_RANGE, unitName);
    return false;
  }
  composition = joined(numerator);
  if (numerator.size() > 1 && !denominator.empty()) composition = "(" + composition + ")";
  if (!denominator.empty()) {
    const std::string below = joined(denominator);
    composition = (composition.empty() ? "1" : composition) + "/" + (denominator.size() > 1 ? "(" + below + ")" : below);
  }
  return true;
}

namespace {

// False (after the warning) when the unit manager cannot parse the
// composition, or when the composition's factor times the multiplier is no
// finite, non-zero number; nothing is registered then.
bool compositionCanBeRegistered(const std::string& shownName, const std::string& composition, double multiplier) {
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  double factor = 1.0;
  try {
    units->checkComposition(composition);
    if (!composition.empty()) factor = units->describeUnit(composition).factor;
  } catch (const ErrorIdException&) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnitCompositionParseError",
                  kstr::code(Code::KS_UNIT_COMPOSITION_PARSE_ERROR), shownName.c_str(), composition.c_str());
    return false;
  }
  if (!std::isfinite(factor * multiplier) || factor * multiplier == 0.0) {
    warnUnit("Kestrion:UnitDefinitionOutOfRange", Code::KS_UNIT_DEFINITION_OUT_OF_RANGE, shownName);
    return false;
  }
  return true;
}

// Creates a "Unit" host object and registers it in the user library.  A
// refusal destroys the new object (the last hold goes) and passes on.
void registerUserUnit(const std::string& name, const std::string& composition, double multiplier, double offset,
                      const std::string& notes) {
  kstr::sbml::HostArgs args;
  args.text(name).text(composition).reals({multiplier}).reals({offset});
  OBInterface* unit = getUnitOBClass()->createObject(OBDatabaseClient::getInternalClient(), nullptr, args.size(),
                                                     args.data());
  try {
    if (!notes.empty()) componentOf(unit)->setNotes(notes.c_str());
    registerUnitInUserLibrary(unit, 1, false);
  } catch (...) {
    unit->releaseReference();
    throw;
  }
  unit->releaseReference();
}

// Hands the user unit to the host, which backs up the user library file
// (once per read) and removes the unit; warns naming the backup file the
// first time.
void backUpAndRemoveUserUnit(const std::string& name, bool& backedUp) {
  kstr::sbml::HostArgs args;
  args.text("privatebackupandremoveunit").text(name).logical(!backedUp);
  const std::string backup = kstr::sbml::callHostForText("kstrgate", args);
  if (!backedUp) {
    backedUp = true;
    hb_warning_id(hbGetWarningContext(), "Kestrion:UserUnitOverwrittenFileBackedup",
                  kstr::code(Code::KS_USER_UNIT_OVERWRITTEN_FILE_BACKEDUP), name.c_str(), backup.c_str());
  } else {
    warnUnit("Kestrion:UserUnitOverwritten", Code::KS_USER_UNIT_OVERWRITTEN, name);
  }
}

bool sameWithinEps(const OVUnits::UnitRepresentationApi& unit, const std::string& composition, double multiplier,
                   double offset) {
  return unit.getComposition() == composition && hbEqualWithinEps(unit.getMultiplier(), multiplier) &&
         hbEqualWithinEps(unit.getOffset(), offset);
}

std::string redefinitionNotes(const UnitDefinition& definition) {
  std::string notes =
      "This unit was created when an imported SBML file redefined the default units for a physical quantity. ";
  const Model* model = definition.getModel();
  if (model && model->isSetName() && !model->getName().empty()) {
    notes += "This models name was '" + model->getName() + "'.";
  } else if (model && model->isSetId() && !model->getId().empty()) {
    notes += "This models id was '" + model->getId() + "'.";
  }
  return notes;
}

// A file's own meaning of "substance", "volume", "area", "length" or
// "time": a plain composition is used as it is; a scaled or shifted one
// becomes (or reuses) a user unit named sbml_<id>_<n>.
void importDefaultUnitRedefinition(const UnitDefinition& definition, const std::string& id,
                                   const std::string& composition, double multiplier, double offset) {
  SBMLConversionContext& context = kstr::sbml::currentContext();
  if (!compositionCanBeRegistered(id, composition, multiplier)) return;
  if (hbEqualWithinEps(multiplier, 1.0) && hbEqualWithinEps(offset, 0.0)) {
    context.setHostUnitForSBMLUnit(id, composition);
    return;
  }
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  for (unsigned long counter = 1;; ++counter) {
    const std::string name = "sbml_" + id + "_" + std::to_string(counter);
    const OVUnits::UnitRepresentationApi* existing = units->getUnit(name);
    if (!existing) {
      registerUserUnit(name, composition, multiplier, offset, redefinitionNotes(definition));
      context.setHostUnitForSBMLUnit(id, name);
      return;
    }
    if (sameWithinEps(*existing, composition, multiplier, offset)) {
      context.setHostUnitForSBMLUnit(id, name);
      return;
    }
  }
}

}  // namespace

// The unit name a definition is registered under, after the checks that
// map it onto an existing unit or skip it; "" when nothing is to be
// registered.
std::string SBMLUnit::unitNameToRegister(const std::string& id) const {
  SBMLConversionContext& context = kstr::sbml::currentContext();
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  const std::string name = definition()->getName();
  const bool ownBuiltIn = contains(id, "OVBUILTINUNIT_") && !(contains(id, "OVUSERPREFIX_") && !contains(id, "OVBUILTINPREFIX_"));
  if (contains(id, "OVPREFIXUNIT_")) warnUnit("Kestrion:UnitDefPrefixBuiltin", Code::KS_UNIT_DEF_PREFIX_BUILTIN, id);
  if (ownBuiltIn || contains(id, "OVDERIVEDUNIT_") || contains(id, "OVPREFIXUNIT_")) {
    context.setHostUnitForSBMLUnit(id, name);
    return std::string();
  }
  if (restatesRegisteredUnit(id, *definition())) return std::string();
  std::string unitName = id.empty() ? name : id;
  if (contains(id, "OVUSERPREFIX_") || contains(id, "OVUSERUNIT_")) {
    std::string rest = name;
    std::string prefix;
    if (units->getPrefixService()->splitPrefixedName(name, rest, prefix) &&
        !units->getPrefixService()->isRegistered(prefix)) {
      hb_warning_id(hbGetWarningContext(), "Kestrion:PrefixDoesNotExist", kstr::code(Code::KS_PREFIX_DOES_NOT_EXIST),
                    rest.c_str(), rest.c_str());
    }
    if (units->isRegistered(rest)) {
      context.setHostUnitForSBMLUnit(id, name);
      return std::string();
    }
    unitName = name;
  }
  if (unitName.empty()) return std::string();
  if (units->isBuiltIn(unitName)) {
    warnUnit("Kestrion:UnableToRegisterUnitBuiltinClash", Code::KS_UNABLE_TO_REGISTER_UNIT_BUILTIN_CLASH, unitName);
    return std::string();
  }
  if (!units->hasRegisteredPrefix(unitName)) return unitName;
  std::string rest;
  std::string prefix;
  units->getPrefixService()->splitPrefixedName(unitName, rest, prefix);
  if (units->isBuiltIn(rest)) {
    warnUnit("Kestrion:UnitDefPrefixBuiltin", Code::KS_UNIT_DEF_PREFIX_BUILTIN, unitName);
    return std::string();
  }
  if (units->isRegistered(rest)) {
    warnUnit("Kestrion:UnitDefPrefixBuiltin", Code::KS_UNIT_DEF_PREFIX_USER, unitName);
    return std::string();
  }
  hb_warning_id(hbGetWarningContext(), "Kestrion:UnitDefPrefix", kstr::code(Code::KS_UNIT_DEF_PREFIX),
                unitName.c_str(), rest.c_str(), rest.c_str());
  return rest;
}

void SBMLUnit::importUnitDefinition(bool& backedUp) {
  if (!svIsFeatureEnabled("QuorvUnits")) return;
  const std::string id = definition()->isSetId() ? definition()->getId() : std::string();
  const std::string unitName = unitNameToRegister(id);
  if (unitName.empty()) return;
  std::string composition;
  double multiplier = 1.0;
  double offset = 0.0;
  if (!buildComposition(unitName, composition, multiplier, offset)) return;
  if (contains(composition, "Invalid UnitKind")) {
    kstr_error("Kestrion:InvalidUnitKindInSBMLFile", kstr::code(Code::KS_SBMLUNIT_INVALID_UNIT_KIND));
  }
  if (SBMLConversionContext::isPredefinedSBMLUnitId(id)) {
    importDefaultUnitRedefinition(*definition(), id, composition, multiplier, offset);
    return;
  }
  // A registered unit of that name with the same definition is used as it
  // is; a different one is backed up and replaced.  The composition is
  // checked first so that a definition that cannot be registered never
  // removes the unit it would replace.
  SBMLConversionContext& context = kstr::sbml::currentContext();
  const OVUnits::UnitRepresentationApi* existing = getUnitManagerApiFcn()->getUnit(unitName);
  if (existing && existing->getComposition() == composition && existing->getMultiplier() == multiplier &&
      existing->getOffset() == offset) {
    if (!id.empty()) context.setHostUnitForSBMLUnit(id, unitName);
    return;
  }
  if (!compositionCanBeRegistered(unitName, composition, multiplier)) return;
  if (existing) backUpAndRemoveUserUnit(unitName, backedUp);
  registerUserUnit(unitName, composition, multiplier, offset, std::string());
  if (!id.empty()) context.setHostUnitForSBMLUnit(id, unitName);
}
