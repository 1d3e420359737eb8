// Unit definitions written for the units of the model's components.
#include "sbml/SBMLUnit.hpp"

#include <memory>

#include <sbml/SBMLTypes.h>

#include <ks_utils/Errors.hpp>
#include <ks_utils/Units.hpp>

#include "host/Host.hpp"
#include "model/MessageCatalog.hpp"
#include "sbml/SBMLConversionContext.hpp"

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

std::string SBMLUnit::identifierForUnitName(const std::string& name) {
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  if (!isSimpleUnitName(name)) {
    std::string id = "OVDERIVEDUNIT_";
    for (char c : name) {
      switch (c) {
        case '/': id += "__"; break;
        case '(': case ')': break;
        case '*': id += "_"; break;
        case '^': id += "___"; break;
        default: id += c;
      }
    }
    return id;
  }
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

// The multiplier goes on the single base unit when it has exponent 1 (or a
// negative exponent that the dimension service places there); otherwise on
// an added dimensionless unit.  The offset goes on the first unit.
void SBMLUnit::exportElement() {
  auto* definition = static_cast<UnitDefinition*>(element_);
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  const std::string id = identifierForUnitName(unitName_);
  const OVUnits::BaseUnitExpansion expansion = units->expandToBaseUnits(unitName_);
  if (expansion.terms.empty()) cannotWrite(unitName_);
  std::vector<std::string> names;
  for (const OVUnits::BaseUnitTerm& term : expansion.terms) {
    Unit* unit = definition->createUnit();
    unit->setKind(UnitKind_forName(term.name.c_str()));
    unit->setExponent(term.exponent);
    names.push_back(term.name);
  }
  definition->setName(unitName_);
  definition->setId(id);
  Unit* first = definition->getUnit(0);
  const bool onSingleUnit =
      expansion.terms.size() == 1 &&
      (expansion.terms[0].exponent == 1 ||
       (expansion.terms[0].exponent < 1 && units->getDimensionService()->classifyBaseUnits(names) == 4));
  if (onSingleUnit) {
    first->setMultiplier(expansion.multiplier);
  } else if (expansion.multiplier != 1.0) {
    Unit* scale = definition->createUnit();
    scale->setKind(UNIT_KIND_DIMENSIONLESS);
    scale->setExponent(1);
    scale->setMultiplier(expansion.multiplier);
  }
  if (expansion.offset != 0.0) first->setOffset(expansion.offset);
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
