// Reactions read from and written to SBML.
#include "sbml/SBMLReaction.hpp"

#include <map>
#include <vector>

#include <sbml/SBMLTypes.h>

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>

#include "host/Host.hpp"
#include "expressions/ReactionExpression.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLNames.hpp"
#include "sbml/SBMLKineticLaw.hpp"

using Code = kstr::MessageCode;
using namespace kstr::sbml;

namespace {

// One side of the reaction as the host's "addreaction" takes it.
struct Side {
  std::vector<OBInterface*> species;
  std::vector<double> stoichiometry;

  void add(HostArgs& args) const {
    if (species.empty()) {
      args.text("null").reals({1.0});
    } else {
      args.handles(species).reals(stoichiometry);
    }
  }
};

// The species converter of a reference: by id, else by the id recorded
// for a species of that name.
SBMLComponent* findSpecies(SBMLConversionContext& context, const std::string& text) {
  if (SBMLComponent* converter = context.findSpeciesConverter(text)) return converter;
  const std::string* id = context.findParameterIdByName(text);
  return id ? context.findSpeciesConverter(*id) : nullptr;
}

OBInterface* referencedSpecies(SBMLConversionContext& context, const std::string& reactionName,
                               const SimpleSpeciesReference& reference) {
  SBMLComponent* converter = findSpecies(context, reference.getSpecies());
  if (!converter || !converter->getInterface()) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:KS_ReactionContainsSpeciesNotInList",
                  kstr::code(Code::KS_ReactionContainsSpeciesNotInList), reactionName.c_str(),
                  reference.getSpecies().c_str());
    return nullptr;
  }
  return converter->getInterface();
}

void addReferences(SBMLConversionContext& context, const std::string& reactionName, ListOfSpeciesReferences& list,
                   Side& side) {
  side.species.reserve(side.species.size() + list.size());
  side.stoichiometry.reserve(side.stoichiometry.size() + list.size());
  for (unsigned i = 0; i < list.size(); ++i) {
    auto* reference = static_cast<SpeciesReference*>(list.get(i));
    OBInterface* species = referencedSpecies(context, reactionName, *reference);
    if (!species) continue;
    if (reference->isSetStoichiometryMath()) {
      hb_warning_id(hbGetWarningContext(), "Kestrion:StoichiometryMathNotSupported",
                    kstr::code(Code::KS_STOICHIOMETRY_MATH_NOT_SUPPORTED), reference->getSpecies().c_str());
    }
    // A stoichiometry given by a formula is read as 1, with the warning above.
    side.species.push_back(species);
    side.stoichiometry.push_back(reference->isSetStoichiometryMath() ? 1.0 : reference->getStoichiometry());
  }
}

// A term bound to no species is left out, with the warning of a reference
// to an unknown species: it has no identifier to write.
bool skipsUnboundTerm(const BReaction& r, const BSpecies* species, const std::string& term) {
  if (species) return false;
  const std::string owner = r.getName().empty() ? r.getReactionString() : r.getName();
  hb_warning_id(hbGetWarningContext(), "Kestrion:KS_ReactionContainsSpeciesNotInList",
                kstr::code(Code::KS_ReactionContainsSpeciesNotInList), owner.c_str(), term.c_str());
  return true;
}

// A species that stands on both sides with stoichiometry 1 takes part
// without being changed: it is written once as a modifier (the read puts a
// modifier on both sides with stoichiometry 1), so that a constant species
// that is no boundary species keeps the document valid.  A reaction whose
// every species would fold so (A -> A) is written with both sides, since a
// reaction needs a reactant or a product.
void writeSpeciesReferences(const BReaction& r, Reaction& element) {
  const kstr::ReactionExpression& equation = r.getEquation();
  std::multimap<const BSpecies*, size_t> products;
  for (size_t i = 0; i < r.getNumProducts(); ++i) {
    if (r.getProductAt(i) && r.getProductStoichAt(i) == 1.0) products.emplace(r.getProductAt(i), i);
  }
  std::vector<bool> productIsModifier(r.getNumProducts(), false);
  std::vector<bool> reactantIsModifier(r.getNumReactants(), false);
  size_t folded = 0;
  for (size_t i = 0; i < r.getNumReactants(); ++i) {
    if (!r.getReactantAt(i) || r.getReactantStoichAt(i) != 1.0) continue;
    auto it = products.find(r.getReactantAt(i));
    if (it == products.end()) continue;
    reactantIsModifier[i] = true;
    productIsModifier[it->second] = true;
    products.erase(it);
    ++folded;
  }
  if (folded == r.getNumReactants() && folded == r.getNumProducts()) {
    reactantIsModifier.assign(reactantIsModifier.size(), false);
    productIsModifier.assign(productIsModifier.size(), false);
  }
  // A species whose ID was taken away has no id to be referred to by: the
  // reference is left without one, with the warning of a refused id (libSBML
  // itself would take the empty text as leaving it unset, in silence).
  const auto refer = [&r](SimpleSpeciesReference& reference, const char* id) {
    const bool none = !id || !*id;
    const int status = none ? LIBSBML_INVALID_ATTRIBUTE_VALUE : reference.setSpecies(id);
    writtenOrWarn(status, "species", none ? "" : id, "reaction", r.getName());
  };
  const auto term = [&r, &refer](SpeciesReference& reference, const char* id, double stoichiometry) {
    refer(reference, id);
    writtenOrWarn(reference.setStoichiometry(stoichiometry), "stoichiometry", stoichiometry, "reaction", r.getName());
  };
  for (size_t i = 0; i < r.getNumReactants(); ++i) {
    if (skipsUnboundTerm(r, r.getReactantAt(i), equation.getReactantAt(i).name)) continue;
    const char* id = r.getReactantAt(i)->getID();
    if (reactantIsModifier[i]) {
      refer(*element.createModifier(), id);
      continue;
    }
    term(*element.createReactant(), id, r.getReactantStoichAt(i));
  }
  for (size_t i = 0; i < r.getNumProducts(); ++i) {
    if (productIsModifier[i]) continue;
    if (skipsUnboundTerm(r, r.getProductAt(i), equation.getProductAt(i).name)) continue;
    term(*element.createProduct(), r.getProductAt(i)->getID(), r.getProductStoichAt(i));
  }
}

}  // namespace

SBMLReaction::SBMLReaction(Reaction* reaction) : SBMLComponent(reaction) {}

Reaction* SBMLReaction::reaction() const { return static_cast<Reaction*>(element_); }

void SBMLReaction::addToModel() {
  SBMLConversionContext& context = currentContext();
  Reaction* element = reaction();
  const std::string id = element->isSetId() ? element->getId() : std::string();
  const std::string name = element->isSetName() ? element->getName() : id;
  Side reactants;
  Side products;
  addReferences(context, name, *element->getListOfReactants(), reactants);
  addReferences(context, name, *element->getListOfProducts(), products);
  for (unsigned i = 0; i < element->getNumModifiers(); ++i) {
    OBInterface* species = referencedSpecies(context, name, *element->getModifier(i));
    if (!species) continue;
    for (Side* side : {&reactants, &products}) {
      side->species.push_back(species);
      side->stoichiometry.push_back(1.0);
    }
  }
  HostArgs args;
  args.handle(context.getModelHandle());
  reactants.add(args);
  products.add(args);
  // The order addreaction takes: reactants, their stoichiometry, products,
  // theirs.
  bindInterface(callHostForHandle("addreaction", args, true), true);
}

void SBMLReaction::importElement() {
  addToModel();
  importNotesAndAnnotation(*this);
  auto* r = dynamic_cast<BReaction*>(getComponent());
  if (!r) return;
  Reaction* element = reaction();
  if (element->isSetName() && !STDStringHelpers::isAllWhitespace(element->getName())) {
    r->setName(chooseReadName(element->getName(), element->getId(), NameScope{kstr::reaction, modelOf(*r)}));
  }
  if (element->isSetId()) r->setID(element->getId().c_str());
  if (element->isSetFast()) {
    const double fast = element->getFast() ? 1.0 : 0.0;
    r->setFastThreshold(&fast);
  }
  if (r->getReversible() != element->getReversible()) r->setReversible(element->getReversible());
  if (element->isSetKineticLaw()) {
    SBMLKineticLaw law(element->getKineticLaw(), getInterface());
    law.importElement();
  }
}

void SBMLReaction::exportElement() {
  auto* r = dynamic_cast<BReaction*>(getComponent());
  if (!r) return;
  exportNotesAndAnnotation(*this);
  Reaction* element = reaction();
  const std::string& name = r->getName();
  if (!name.empty()) writtenOrWarn(element->setName(name), "name", name, "reaction", name);
  setIdOrWarn(*element, *r);
  writtenOrWarn(element->setReversible(r->getReversible()), "reversible", flagText(r->getReversible()),
                "reaction", name);
  const bool fast = *r->getFastThreshold() != 0.0;
  writtenOrWarn(element->setFast(fast), "fast", flagText(fast), "reaction", name);
  writeSpeciesReferences(*r, *element);
  KineticLaw* kineticLaw = element->createKineticLaw();
  SBMLKineticLaw law(kineticLaw, getInterface());
  if (BKineticLaw* bound = r->getKineticLawApi()) law.bindInterface(bound->getOBI(), false);
  law.exportElement();
  // A reaction without a rate keeps no empty kineticLaw element.
  if (!law.wroteMath()) element->unsetKineticLaw();
}
