// Compartments read from and written to SBML.
#include "sbml/SBMLCompartment.hpp"

#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include <sbml/SBMLTypes.h>

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <ks_utils/Uuid.hpp>

#include "host/Host.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLNames.hpp"
#include "sbml/SBMLUnit.hpp"

using Code = kstr::MessageCode;
using namespace kstr::sbml;

SBMLCompartment::SBMLCompartment(Compartment* compartment) : SBMLComponent(compartment) {}

Compartment* SBMLCompartment::compartment() const { return static_cast<Compartment*>(element_); }

BCompartment* SBMLCompartment::getCompartment() const {
  return dynamic_cast<BCompartment*>(getComponent());
}

void SBMLCompartment::addToModel() {
  SBMLConversionContext& context = currentContext();
  Compartment* element = compartment();
  std::string id = element->isSetId() ? element->getId() : std::string();
  if (id.empty() && context.getSBMLLevel() == 1 && element->isSetName()) id = element->getName();
  if (id.empty()) createValidPELLAMIdFromUuidString(id);
  if (!element->isSetId()) writtenOrWarn(element->setId(id), "id", id, "compartment", id);
  const std::string fileName = element->isSetName() ? element->getName() : id;
  const std::string name =
      chooseReadName(fileName, id, NameScope{kstr::compartment, kelborFromHandle(context.getModelHandle())});
  HostArgs args;
  args.handle(context.getModelHandle()).text(name);
  bindInterface(callAddForNamed("addcompartment", args, name, "Kestrion:INVALIDNAME_RESERVED"), true);
  context.registerCompartmentConverter(id, this);
}

void SBMLCompartment::importElement() {
  addToModel();
  importNotesAndAnnotation(*this);
  BCompartment* c = getCompartment();
  if (!c) return;
  Compartment* element = compartment();
  c->setID(element->getId().c_str());
  if (element->isSetSize()) {
    c->setInitialValue(element->getSize());
  } else if (element->isSetVolume()) {
    c->setInitialValue(element->getVolume());
  } else {
    c->markInitialValueNotGiven();
  }
  c->setConstantValue(element->getConstant());
  c->setModelCompileNeeded();
  // A file of another tool means SBML's default units where it names none;
  // this tool's own files name every unit they mean.
  const std::string units = element->isSetUnits()          ? hostUnitFor(element->getUnits())
                            : currentContext().isToolVersionPresent() ? std::string()
                                                                      : defaultSpatialUnits(element->getSpatialDimensions());
  if (!units.empty()) setUnitsOrWarn(*c, units, "compartment", units);
  c->setSpatialDimensionsWithoutUnits(element->getSpatialDimensions());
}

void SBMLCompartment::exportElement() {
  BCompartment* c = getCompartment();
  if (!c) return;
  exportNotesAndAnnotation(*this);
  Compartment* element = compartment();
  const std::string& name = c->getName();
  const std::string id = c->getID() ? c->getID() : "";
  writtenOrWarn(element->setId(id), "id", id, "compartment", name);
  writtenOrWarn(element->setName(name), "name", name, "compartment", name);
  writtenOrWarn(element->setConstant(c->getConstantValue()), "constant", flagText(c->getConstantValue()),
                "compartment", name);
  if (BCompartment* owner = c->getOwner(); owner && owner->getID()) {
    writtenOrWarn(element->setOutside(owner->getID()), "outside", owner->getID(), "compartment", name);
  }
  const unsigned dimensions = static_cast<unsigned>(c->getSpatialDimensions());
  writtenOrWarn(element->setSpatialDimensions(dimensions), "spatialDimensions", std::to_string(dimensions),
                "compartment", name);
  // A compartment of no dimensions has no size.
  if (c->isInitialValueGiven() && dimensions > 0) {
    writtenOrWarn(element->setSize(c->getInitialValue()), "size", c->getInitialValue(),
                  "compartment", name);
  }
  const std::string& units = c->getUnits();
  if (units.empty()) return;
  const std::string unitId = sbmlUnitReferenceFor(currentContext(), units, false);
  if (!unitId.empty()) writtenOrWarn(element->setUnits(unitId), "units", unitId, "compartment", name);
}

namespace kstr::sbml {

std::string defaultSpatialUnits(unsigned dimensions) {
  static const char* const kDefaults[] = {nullptr, "length", "area", "volume"};
  if (dimensions == 0 || dimensions > 3) return std::string();
  return hostUnitFor(kDefaults[dimensions]);
}

std::string spatialUnitsOf(const Compartment& compartment) {
  if (compartment.isSetUnits()) return hostUnitFor(compartment.getUnits());
  return defaultSpatialUnits(compartment.getSpatialDimensions());
}

// A file of another tool (or of versions before 2.2.0) with one compartment
// whose name equals its id reads that compartment as "unnamed".
void importCompartments(SBMLConversionContext& context, Model& model) {
  std::vector<std::pair<BCompartment*, std::string>> outsides;
  for (unsigned i = 0; i < model.getNumCompartments(); ++i) {
    Compartment* element = model.getCompartment(i);
    auto converter = std::make_unique<SBMLCompartment>(element);
    SBMLCompartment* raw = converter.get();
    // The converter belongs to the context from here on (addToModel
    // registers it under its id once the compartment exists).
    context.adoptConverter(converter.release());
    raw->importElement();
    if (element->isSetOutside() && !element->getOutside().empty()) {
      outsides.emplace_back(raw->getCompartment(), element->getOutside());
    }
  }
  if (model.getNumCompartments() == 1 && context.isToolVersionBelow(2, 2.0, 0.0)) {
    Compartment* only = model.getCompartment(0);
    auto* converter = static_cast<SBMLCompartment*>(context.findCompartmentConverter(only->getId()));
    if (converter && converter->getCompartment() && only->isSetName() && only->getName() == only->getId()) {
      converter->getCompartment()->setName("unnamed");
    }
  }
  kstrVector<std::pair<BCompartment*, BCompartment*>> nesting;
  for (const auto& [compartment, outside] : outsides) {
    if (!compartment) continue;
    auto* owner = static_cast<SBMLCompartment*>(context.findCompartmentConverter(outside));
    if (!owner || !owner->getCompartment()) {
      hb_warning_id(hbGetWarningContext(), "Kestrion:SBML_UNKNOWN_OUTSIDE_COMPARTMENT",
                    kstr::code(Code::KS_SBML_UNKNOWN_OUTSIDE_COMPARTMENT), compartment->getName().c_str(),
                    outside.c_str());
      continue;
    }
    nesting.emplace_back(compartment, owner->getCompartment());
  }
  kelborFromHandle(context.getModelHandle())->nestCompartments(nesting);
}

void refuseOutsideLoops(const Model& model) {
  std::unordered_map<std::string, const Compartment*> byId;
  for (unsigned i = 0; i < model.getNumCompartments(); ++i) {
    const Compartment* element = model.getCompartment(i);
    byId.emplace(element->getId(), element);
  }
  const auto outsideOf = [&byId](const Compartment* element) -> const Compartment* {
    if (!element->isSetOutside()) return nullptr;
    auto found = byId.find(element->getOutside());
    return found == byId.end() ? nullptr : found->second;
  };
  // Each chain is followed until it ends, meets a compartment an earlier
  // chain reached (which ends without a loop) or comes back into itself.
  enum class Seen : unsigned char { OnChain, Done };
  std::unordered_map<const Compartment*, Seen> seen;
  std::vector<const Compartment*> chain;
  for (unsigned i = 0; i < model.getNumCompartments(); ++i) {
    chain.clear();
    const Compartment* at = model.getCompartment(i);
    while (at && !seen.count(at)) {
      seen.emplace(at, Seen::OnChain);
      chain.push_back(at);
      at = outsideOf(at);
    }
    if (at && seen.at(at) == Seen::OnChain) {
      kstr_error("Kestrion:SBML_COMPARTMENT_OUTSIDE_LOOP", kstr::code(Code::KS_SBML_COMPARTMENT_OUTSIDE_LOOP),
                 at->getId().c_str());
    }
    for (const Compartment* reached : chain) seen[reached] = Seen::Done;
  }
}

}  // namespace kstr::sbml
