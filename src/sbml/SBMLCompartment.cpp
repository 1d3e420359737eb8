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
  if (!element->isSetId()) element->setId(id);
  std::string name = element->isSetName() ? element->getName() : id;
  if (STDStringHelpers::isAllWhitespace(name)) name = id;
  replaceBracketsInName(name, kstr::compartment);
  Kelbor* model = kelborFromHandle(context.getModelHandle());
  const std::string unique = makeUniqueName(
      name, [model](const std::string& n) { return model->isComponentNameInUse(n, kstr::compartment); });
  if (unique != name) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:ADD_COMPARTMENT_DUPLICATE_NAME_SBML",
                  kstr::code(Code::KS_ADD_COMPARTMENT_DUPLICATE_NAME_SBML), name.c_str(), unique.c_str());
    name = unique;
  }
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
  }
  c->setConstantValue(element->getConstant());
  c->setModelCompileNeeded();
  if (!element->isSetUnits()) return;
  const std::string units = hostUnitFor(element->getUnits());
  setUnitsOrWarn(*c, units, "compartment", units);
}

void SBMLCompartment::exportElement() {
  BCompartment* c = getCompartment();
  if (!c) return;
  exportNotesAndAnnotation(*this);
  Compartment* element = compartment();
  element->setId(c->getID() ? c->getID() : "");
  element->setName(c->getName());
  element->setConstant(c->getConstantValue());
  if (BCompartment* owner = c->getOwner(); owner && owner->getID()) element->setOutside(owner->getID());
  element->setSize(c->getInitialValue());
  const std::string& units = c->getUnits();
  if (units.empty()) return;
  element->setSpatialDimensions(static_cast<unsigned>(c->getSpatialDimensions()));
  const std::string id = sbmlUnitReferenceFor(currentContext(), units, false);
  if (!id.empty()) element->setUnits(id);
}

namespace kstr::sbml {

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
