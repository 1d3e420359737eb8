// Species read from and written to SBML.
#include "sbml/SBMLSpecies.hpp"

#include <cmath>
#include <optional>

#include <sbml/SBMLTypes.h>

#include <ks_utils/Errors.hpp>
#include <ks_utils/Units.hpp>

#include "host/Host.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"
#include "sbml/SBMLCompartment.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLNames.hpp"
#include "sbml/SBMLParameter.hpp"
#include "sbml/SBMLUnit.hpp"

using Code = kstr::MessageCode;
using namespace kstr::sbml;

SBMLSpecies::SBMLSpecies(Species* species) : SBMLComponent(species) {}

Species* SBMLSpecies::species() const { return static_cast<Species*>(element_); }

void SBMLSpecies::addToModel() {
  SBMLConversionContext& context = currentContext();
  Species* element = species();
  const std::string compartmentId = element->isSetCompartment() ? element->getCompartment() : "";
  auto* holder = static_cast<SBMLCompartment*>(context.findCompartmentConverter(compartmentId));
  BCompartment* compartment = holder ? holder->getCompartment() : nullptr;
  if (!compartment) {
    kstr_error("Kestrion:INVALID_COMPARTMENT_NAME_FOR_SPECIES_SBML",
               kstr::code(Code::KS_INVALID_COMPARTMENT_NAME_FOR_SPECIES_SBML), element->getId().c_str(),
               compartmentId.c_str());
  }
  std::string id;
  std::string fileName;
  chooseIdAndName(*element, context.getSBMLLevel(), id, fileName);
  name_ = chooseReadName(fileName, id, NameScope{kstr::species, kelborFromHandle(context.getModelHandle()), compartment});
  HostArgs args;
  args.handle(holder->getInterface()).text(name_);
  bindInterface(callAddForNamed("addspecies", args, name_, "Kestrion:KSTRSPECIES_INVALIDNAME"), true);
  context.registerSpeciesConverter(id, this);
}

void SBMLSpecies::importElement() {
  addToModel();
  importNotesAndAnnotation(*this);
  auto* s = dynamic_cast<BSpecies*>(getComponent());
  if (!s) return;
  Species* element = species();
  s->setID(element->getId().c_str());
  if (s->getName() != name_) s->setName(name_);
  currentContext().addParameterName(element->getId(), name_);
  if (element->isSetInitialAmount() && element->getInitialAmount() < 0.0) {
    kstr_error("Kestrion:SPECIES_INITIALAMOUNT_INVALIDVALUE_SBML",
               kstr::code(Code::KS_SPECIES_INITIALAMOUNT_INVALIDVALUE_SBML), name_.c_str());
  }
  s->setConstantValue(element->getConstant());
  s->setModelCompileNeeded();
  if (element->isSetCharge()) {
    const int32_t charge = element->getCharge();
    s->setCharge(&charge);
  }
  s->setBoundaryCondition(element->getBoundaryCondition());
  s->setModelCompileNeeded();
  importValueAndUnits(*s);
}

namespace {

// The size of a compartment element, or none (unset, or not a positive
// finite number).
std::optional<double> sizeOf(const Compartment* compartment) {
  if (!compartment || !(compartment->isSetSize() || compartment->isSetVolume())) return std::nullopt;
  const double size = compartment->isSetSize() ? compartment->getSize() : compartment->getVolume();
  if (!std::isfinite(size) || size <= 0.0) return std::nullopt;
  return size;
}

}  // namespace

// The units SBML gives the species: its substance units (in a file of
// another tool, the file's "substance" when it names none) and, when it is
// not only-substance and its compartment has dimensions, over its spatial
// size units or else its compartment's.  A value given in the other form
// (an amount for concentration units, a concentration for amount units) is
// turned into the form of the units through the compartment's size.
void SBMLSpecies::importValueAndUnits(BSpecies& s) {
  Species* element = species();
  const SBMLConversionContext& context = currentContext();
  const auto* holder = static_cast<SBMLCompartment*>(context.findCompartmentConverter(element->getCompartment()));
  const auto* compartment = holder ? static_cast<const Compartment*>(holder->getElement()) : nullptr;
  std::string units;
  if (element->isSetSubstanceUnits()) {
    units = hostUnitFor(element->getSubstanceUnits());
  } else if (!context.isToolVersionPresent()) {
    units = hostUnitFor("substance");
  }
  bool concentration = false;
  if (!units.empty() && !element->getHasOnlySubstanceUnits() && compartment &&
      compartment->getSpatialDimensions() > 0) {
    const std::string spatial = element->isSetSpatialSizeUnits() ? hostUnitFor(element->getSpatialSizeUnits())
                                                                 : spatialUnitsOf(*compartment);
    if (!spatial.empty()) {
      units += "/" + spatial;
      concentration = true;
    }
  }
  const bool asAmount = element->isSetInitialAmount();
  if (!asAmount && !element->isSetInitialConcentration()) {
    s.markInitialValueNotGiven();
  } else {
    double value = asAmount ? element->getInitialAmount() : element->getInitialConcentration();
    if (!units.empty() && asAmount == concentration) {
      if (const std::optional<double> size = sizeOf(compartment)) {
        value = concentration ? value / *size : value * *size;
      } else {
        hb_warning_id(hbGetWarningContext(), "Kestrion:SBMLSpeciesValueNotConverted",
                      kstr::code(Code::KS_SBML_SPECIES_VALUE_NOT_CONVERTED), asAmount ? "amount" : "concentration",
                      name_.c_str(), element->getCompartment().c_str(),
                      concentration ? "a concentration" : "an amount");
      }
    }
    s.setInitialValue(value);
  }
  if (!units.empty()) setUnitsOrWarn(s, units, "species", units);
}

void SBMLSpecies::exportElement() {
  auto* s = dynamic_cast<BSpecies*>(getComponent());
  if (!s) return;
  Species* element = species();
  const std::string& name = s->getName();
  const std::string id = s->getID() ? s->getID() : "";
  writtenOrWarn(element->setName(name), "name", name, "species", name);
  writtenOrWarn(element->setId(id), "id", id, "species", name);
  if (BCompartment* c = s->getCompartment(); c && c->getID()) {
    writtenOrWarn(element->setCompartment(c->getID()), "compartment", c->getID(), "species", name);
  }
  exportNotesAndAnnotation(*this);
  writtenOrWarn(element->setConstant(s->getConstantValue()), "constant", flagText(s->getConstantValue()),
                "species", name);
  writtenOrWarn(element->setBoundaryCondition(s->getBoundaryCondition()), "boundaryCondition",
                flagText(s->getBoundaryCondition()), "species", name);
  if (const int charge = *s->getCharge(); charge != 0) {
    writtenOrWarn(element->setCharge(charge), "charge", std::to_string(charge), "species", name);
  }
  if (s->getUnits().empty()) {
    writeInitialValue(*s, false);
    return;
  }
  exportUnits(*s);
}

// Leaves a value that was never given unset.
void SBMLSpecies::writeInitialValue(const BSpecies& s, bool concentration) {
  if (!s.isInitialValueGiven()) return;
  Species* element = species();
  const double value = s.getInitialValue();
  const int status = concentration ? element->setInitialConcentration(value) : element->setInitialAmount(value);
  writtenOrWarn(status, concentration ? "initialConcentration" : "initialAmount", value, "species",
                s.getName());
}

namespace {

// Level 2 version 1 takes substance units of amount (mole or item) and
// spatial-size units of the compartment's dimensions; others are left out.
bool speciesUnitsFit(const Species& element, const std::string& id, bool spatial, const BSpecies& s) {
  const Model* model = element.getModel();
  const Compartment* compartment = model ? model->getCompartment(element.getCompartment()) : nullptr;
  const unsigned dimensions = compartment ? compartment->getSpatialDimensions() : 3;
  const UnitRole role = !spatial ? UnitRole::substance
                        : dimensions == 3 ? UnitRole::volume
                        : dimensions == 2 ? UnitRole::area
                                          : UnitRole::length;
  if ((!spatial || dimensions > 0) && model && unitFits(*model, id, role)) return true;
  hb_warning_id(hbGetWarningContext(), "Kestrion:SBMLUnitsNotWritten", kstr::code(Code::KS_SBML_UNITS_NOT_WRITTEN),
                spatial ? "spatial-size units" : "substance units", id.c_str(), "species", s.getName().c_str(),
                spatial ? "they are not units of the compartment's size" : "SBML level 2 version 1 counts substance in mole or item only");
  return false;
}

// Splits concentration units into a substance and a volume part.  A
// registered prefix on a concentration unit ("millimolar" over a unit
// molar of mole/liter) is stripped and put on the substance part
// ("millimole" per "liter"), so that the written units keep the prefix's
// factor; false when that cannot be written so.
bool splitConcentration(const std::string& text, std::string& substance, std::string& volume) {
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  if (units->splitConcentrationUnits(text, substance, volume)) return true;
  std::string rest;
  std::string prefix;
  if (!units->hasRegisteredPrefix(text) || !units->getPrefixService()->splitPrefixedName(text, rest, prefix) ||
      !units->isRegistered(rest)) {
    return false;
  }
  std::string restSubstance;
  std::string restVolume;
  if (!units->splitConcentrationUnits(rest, restSubstance, restVolume)) return false;
  const std::string prefixed = prefix + restSubstance;
  if (restSubstance.find_first_of("/()*^ ") != std::string::npos || !units->hasRegisteredPrefix(prefixed)) return false;
  substance = prefixed;
  volume = restVolume;
  return true;
}

}  // namespace

// A concentration (a negative exponent of length) is written as an
// initial concentration with substance and spatial-size units; anything
// else as an initial amount with substance units only.
void SBMLSpecies::exportUnits(const BSpecies& s) {
  Species* element = species();
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  const std::string& text = s.getUnits();
  const int index = units->getUnitIndex(text);
  const bool concentration =
      index >= 0 && units->getDimensionService()->getExponent(index, OVUnits::kMetre) < 0;
  SBMLConversionContext& context = currentContext();
  const auto writePart = [&](const std::string& part, bool spatial) {
    const std::string id = sbmlUnitReferenceFor(context, part, true);
    if (id.empty() || !speciesUnitsFit(*element, id, spatial, s)) return;
    const int status = spatial ? element->setSpatialSizeUnits(id) : element->setSubstanceUnits(id);
    writtenOrWarn(status, spatial ? "spatialSizeUnits" : "substanceUnits", id, "species", s.getName());
  };
  writtenOrWarn(element->setHasOnlySubstanceUnits(!concentration), "hasOnlySubstanceUnits",
                flagText(!concentration), "species", s.getName());
  writeInitialValue(s, concentration);
  if (!concentration) {
    writePart(text, false);
    return;
  }
  std::string substance;
  std::string volume;
  if (!splitConcentration(text, substance, volume)) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnitNoLongerExists", kstr::code(Code::KS_UNIT_NO_LONGER_EXISTS),
                  text.c_str());
    return;
  }
  writePart(substance, false);
  writePart(volume, true);
}
