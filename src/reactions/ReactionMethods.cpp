#include "reactions/ReactionMethods.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/MParseTree.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <obk/OBApplication.hpp>
#include <obk/OBClass.hpp>
#include <obk/OBDatabaseClient.hpp>
#include <obk/OBInterface.hpp>
#include <obk/Vector.hpp>
#include <qx/qx.hpp>

#include "core/Application.hpp"
#include "core/JavaEventFactory.hpp"
#include "core/TreeWiring.hpp"
#include "expressions/MathExpression.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BSpecies.hpp"

namespace {

using kstr::MessageCode;
using kstr::ebcbinding::cellRowOf;
using kstr::ebcbinding::requireComponent;

constexpr const char* kSpeciesClass = "Kestrion.Species";

const SpeciesAddSide kAddProduct = {
    "addproduct",
    "Kestrion:ADDPRODUCT_TOOMANYINPUTS",
    "Kestrion:ADDPRODUCT_TOOFEWARGS",
    "Kestrion:ADDPRODUCT_INVALIDTYPE",
    "Kestrion:ADDPRODUCT_INVALIDSECONDARG",
    "Kestrion:ADDPRODUCT_INVALIDSTOICH",
    "Kestrion:ADDPRODUCT_SIZEMISMATCH",
    true,
};

const SpeciesAddSide kAddReactant = {
    "addreactant",
    "Kestrion:ADDREACTANT_TOOMANYINPUTS",
    "Kestrion:ADDREACTANT_TOOFEWARGS",
    "Kestrion:ADDREACTANT_INVALIDTYPE",
    "Kestrion:ADDREACTANT_INVALIDSECONDARG",
    "Kestrion:ADDREACTANT_INVALIDSTOICH",
    "Kestrion:ADDREACTANT_SIZEMISMATCH",
    false,
};

const SpeciesRemoveSide kRemoveProduct = {
    "rmproduct",
    "Kestrion:RMPRODUCT_TOOFEWARGS",
    "Kestrion:RMPRODUCT_INVALIDSECONDARG",
    "Kestrion:RMPRODUCT_INVALIDSPECIES",
    kstr::code(MessageCode::KS_RMPRODUCT_INVALIDSPECIES),
    &BReaction::getNumProducts,
    &BReaction::isProduct,
    &BReaction::removeProduct,
    &ReactionManipulator::removeProductByName,
};

const SpeciesRemoveSide kRemoveReactant = {
    "rmreactant",
    "Kestrion:RMREACTANT_TOOFEWARGS",
    "Kestrion:RMREACTANT_INVALIDSECONDARG",
    "Kestrion:RMREACTANT_INVALIDSPECIES",
    kstr::code(MessageCode::KS_RMREACTANT_INVALIDSPECIES),
    &BReaction::getNumReactants,
    &BReaction::isReactant,
    &BReaction::removeReactant,
    &ReactionManipulator::removeReactantByName,
};

bool isReactionInstance(const OBInterface* instance) {
  const char* type = getKestrionObjectType(instance);
  return type && std::strcmp(type, "reaction") == 0;
}

// A text, a cell of texts, or an array of "Kestrion.Species" objects.
bool isSpeciesArgument(const qxArray* a) {
  if (qxIsChar(a)) return true;
  if (qxIsCell(a)) {
    for (size_t i = 0; i < qxGetNumberOfElements(a); ++i) {
      if (!qxIsChar(qxGetCell(a, i))) return false;
    }
    return true;
  }
  return qxIsHandleArray(a) && std::strcmp(qxGetClassName(a), kSpeciesClass) == 0;
}

// The names of a text (one name) or a cell of texts (one per cell).
kstrVector<std::string> namesOf(const qxArray* a) {
  kstrVector<std::string> names;
  if (qxIsChar(a)) {
    names.push_back(qxArrayToStdString(a));
    return names;
  }
  for (size_t i = 0; i < qxGetNumberOfElements(a); ++i) {
    names.push_back(qxArrayToStdString(qxGetCell(a, i)));
  }
  return names;
}

BSpecies* speciesOf(const OBInterface* instance) {
  return ReactionManipulator::speciesOf(instance);
}

// Terms owned for the length of one call.
struct OwnedTerms {
  kstrVector<ParsedReactionTerm*> terms;
  OwnedTerms() = default;
  OwnedTerms(const OwnedTerms&) = delete;
  OwnedTerms& operator=(const OwnedTerms&) = delete;
  ~OwnedTerms() {
    for (ParsedReactionTerm* term : terms) ParsedReactionTerm::destroy(term);
  }
};

}  // namespace

// --- addkineticlaw ------------------------------------------------------------------------

void refuseSecondKineticLaw() {
  throw ErrorIdException(
      "Kestrion:KineticLawAlreadyExists",
      std::string("This reaction component already has a kinetic law.  Before adding a new "
                  "one\n") +
          " the old one must be deleted, or alternatively you can change the existing \n" +
          " kinetic law object's KineticLawName field to the type trying to be added.");
}

ReactionComponent_addKineticLaw_MI::ReactionComponent_addKineticLaw_MI() {
  setName("addkineticlaw");
  auto* signature = new OBMethodSignature();
  signature->addArgument("handle");
  signature->addArgument("PELLAM array", true);
  signature->addOutput("handle");
  addMethodSignature(signature);
}

void ReactionComponent_addKineticLaw_MI::invoke(OBMethodSignature*, int& nOut, void* outs[],
                                                int nIn, void* const ins[]) {
  nOut = 1;
  if (nIn <= 1) {
    kstr_error("Kestrion:ADDKINETICLAW_TOOFEWARGS",
               kstr::code(MessageCode::KS_ADDKINETICLAW_TOOFEWARGS));
  }
  auto* instance = static_cast<OBInterface*>(ins[0]);
  // The type is checked before the reaction's law is read.
  if (!isReactionInstance(instance)) {
    kstr_error("Kestrion:ADDKINETICLAW_INVALIDROBJ",
               kstr::code(MessageCode::KS_ADDREACTANT_INVALIDTYPE));
  }
  if (requireComponent<BReaction>(instance)->getKineticLaw()) refuseSecondKineticLaw();
  if (!qxIsChar(static_cast<const qxArray*>(ins[1]))) {
    kstr_error("Kestrion:ADDKINETICLAW_INVALIDTYPE",
               kstr::code(MessageCode::KS_ADDKINETICLAW_INVALIDTYPE));
  }
  OBClass* lawClass = GetQuorvApplication()->findClass("KineticLaw");
  OBInterface* law = nullptr;
  if (lawClass) {
    const int count = nIn - 1;
    auto* args = static_cast<qxArray**>(hbCallocWithCheck(static_cast<size_t>(count), sizeof(qxArray*)));
    for (int i = 0; i < count; ++i) args[i] = static_cast<qxArray*>(ins[i + 1]);
    try {
      law = lawClass->createObject(OBDatabaseClient::getInternalClient(), instance, count, args);
    } catch (...) {
      hbFree(args);
      throw;
    }
    hbFree(args);
  }
  if (!law) {
    kstr_error("Kestrion:ADDKINETICLAW_ERROR", kstr::code(MessageCode::KS_ADDKINETICLAW_CONSTRUCT));
  }
  // The law's parent (the reaction's instance) holds it now.
  if (law->getUp()) law->releaseReference();
  outs[0] = law;
}

// --- addproduct / addreactant --------------------------------------------------------------

ReactionComponent_addSpecies_MI::ReactionComponent_addSpecies_MI(const SpeciesAddSide& side)
    : side_(side) {
  setName(side.method);
  auto* signature = new OBMethodSignature();
  signature->addArgument("handle");
  signature->addArgument("PELLAM array", true);
  signature->addOutput("handle vector");
  addMethodSignature(signature);
}

Reaction_addProduct_MI::Reaction_addProduct_MI() : ReactionComponent_addSpecies_MI(kAddProduct) {}
Reaction_addReactant_MI::Reaction_addReactant_MI()
    : ReactionComponent_addSpecies_MI(kAddReactant) {}

void ReactionComponent_addSpecies_MI::invoke(OBMethodSignature*, int& nOut, void* outs[],
                                             int nIn, void* const ins[]) {
  nOut = 1;
  if (nIn > 3) kstr_error(side_.tooManyId, kstr::code(MessageCode::KS_ADDREACTANT_TOOMANYINPUTS));
  if (nIn < 2) kstr_error(side_.tooFewId, kstr::code(MessageCode::KS_ADDREACTANT_TOOFEWARGS));
  auto* instance = static_cast<OBInterface*>(ins[0]);
  if (!isReactionInstance(instance)) {
    kstr_error(side_.invalidTypeId, kstr::code(MessageCode::KS_ADDREACTANT_INVALIDTYPE));
  }
  BReaction* reaction = requireComponent<BReaction>(instance);
  Kelbor* model = ReactionManipulator::modelOf(reaction);
  const auto* given = static_cast<const qxArray*>(ins[1]);
  if (!isSpeciesArgument(given)) {
    kstr_error(side_.invalidSecondArgId, kstr::code(MessageCode::KS_ADDREACTANT_INVALIDSECONDARG));
  }

  OwnedTerms names;
  const bool byName = !qxIsHandleArray(given);
  if (byName) manipulator_.parseSpeciesNameList(namesOf(given), model, names.terms);
  const size_t count = byName ? names.terms.size() : qxGetNumberOfElements(given);

  const double* stoich = nullptr;
  if (nIn == 3) {
    const auto* values = static_cast<const qxArray*>(ins[2]);
    bool valid = qxIsDouble(values) && !qxIsComplex(values) && !qxIsSparse(values) &&
                 (qxGetM(values) == 1 || qxGetN(values) == 1);
    stoich = valid ? qxGetPr(values) : nullptr;
    for (size_t i = 0; valid && i < qxGetNumberOfElements(values); ++i) {
      valid = stoich[i] > 0 && std::isfinite(stoich[i]);
    }
    if (!valid) {
      kstr_error(side_.invalidStoichId, kstr::code(MessageCode::KS_ADDREACTANT_INVALIDSTOICH));
    }
    if (qxGetNumberOfElements(values) != count) {
      kstr_error(side_.sizeMismatchId, kstr::code(MessageCode::KS_ADDREACTANT_SIZEMISMATCH));
    }
  }
  if (!model) ReactionManipulator::throwNotInModel();
  // A qualifier's new compartment is made before the species, so that a
  // name without qualifier joins the model's only compartment.
  if (byName) manipulator_.createMissingCompartments(model, {&names.terms});

  // The species are found (or made) first; the equation then changes once
  // for all of them.
  kstrVector<const KelborComponent*> added;
  std::vector<BReaction::SpeciesTerm> terms;
  terms.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    BSpecies* species = nullptr;
    if (byName) {
      const ParsedReactionTerm* term = names.terms[i];
      if (term->name == "null") continue;
      species = manipulator_.findOrCreateSpecies(model, term->name.c_str(), term->qualifier.c_str());
    } else {
      species = manipulator_.findSpeciesInModel(
          model, speciesOf(static_cast<const OBInterface*>(qxGetHandle(given, i))));
    }
    if (!species) continue;
    terms.push_back({species, stoich ? stoich[i] : 1.0});
    added.push_back(species);
  }
  reaction->addTerms(side_.products ? std::vector<BReaction::SpeciesTerm>() : terms,
                     side_.products ? terms : std::vector<BReaction::SpeciesTerm>(),
                     reaction->getReversible());
  outs[0] = kstr::ebcbinding::newHandleVectorOf(added);
}

// --- rmproduct / rmreactant ----------------------------------------------------------------

ReactionComponent_rmSpecies_MI::ReactionComponent_rmSpecies_MI(const SpeciesRemoveSide& side)
    : side_(side) {
  setName(side.method);
  addMethodSignature(new OBMethodSignature({"handle", "PELLAM array"}, {"handle"}));
  aloneSignature_ = new OBMethodSignature({"handle"}, {"handle"});
  addMethodSignature(aloneSignature_);
}

Reaction_rmProduct_MI::Reaction_rmProduct_MI() : ReactionComponent_rmSpecies_MI(kRemoveProduct) {}
Reaction_rmReactant_MI::Reaction_rmReactant_MI()
    : ReactionComponent_rmSpecies_MI(kRemoveReactant) {}

void ReactionComponent_rmSpecies_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[],
                                            int nIn, void* const ins[]) {
  nOut = 1;
  if (matched == aloneSignature_ || nIn < 2) {
    kstr_error(side_.tooFewId, kstr::code(MessageCode::KS_RMREACTANT_TOOFEWARGS));
  }
  auto* instance = static_cast<OBInterface*>(ins[0]);
  const auto* given = static_cast<const qxArray*>(ins[1]);
  if (!isSpeciesArgument(given)) {
    kstr_error(side_.invalidSecondArgId, kstr::code(MessageCode::KS_RMPRODUCT_INVALIDSECONDARG));
  }
  BReaction* reaction = requireComponent<BReaction>(instance);
  if (qxIsHandleArray(given)) {
    for (size_t i = 0; i < qxGetNumberOfElements(given); ++i) {
      removeObject(*reaction, static_cast<const OBInterface*>(qxGetHandle(given, i)));
    }
  } else {
    for (const std::string& name : namesOf(given)) removeNamed(*reaction, name.c_str());
  }
  outs[0] = instance;
}

void ReactionComponent_rmSpecies_MI::removeNamed(BReaction& reaction, const char* name) {
  std::string trimmed = name;
  STDStringHelpers::trimWhitespace(trimmed);
  if (trimmed == "null") {
    // "null" is on a side exactly when the side is empty; it removes nothing.
    if ((reaction.*side_.count)() != 0) {
      hb_warning_id(hbGetWarningContext(), side_.notOnSideId, side_.notOnSideCode, name);
    }
    return;
  }
  if (!(manipulator_.*side_.removeByName)(&reaction, name)) {
    hb_warning_id(hbGetWarningContext(), side_.notOnSideId, side_.notOnSideCode, name);
  }
}

void ReactionComponent_rmSpecies_MI::removeObject(BReaction& reaction,
                                                  const OBInterface* instance) {
  BSpecies* species = speciesOf(instance);
  if (species && (reaction.*side_.holdsSpecies)(species)) {
    (reaction.*side_.remove)(species);
    return;
  }
  const KelborComponent* component = componentOf(instance);
  const std::string name = component ? component->getName() : std::string();
  hb_warning_id(hbGetWarningContext(), side_.notOnSideId, side_.notOnSideCode, name.c_str());
}

// --- display ---------------------------------------------------------------------------------

void Reaction_display_MI::displayVector(int&, void*[], int nIn, void* const ins[]) {
  kstrVector<const BReaction*> reactions;
  const auto* vector = nIn > 0 ? static_cast<const Vector*>(ins[0]) : nullptr;
  if (vector) {
    for (const OBInterface* element : vector->elements()) {
      if (const auto* reaction = dynamic_cast<const BReaction*>(componentOf(element))) {
        reactions.push_back(reaction);
      }
    }
  }
  printTable(reactions);
}

void Reaction_display_MI::displayOne(int&, void*[], int nIn, void* const ins[]) {
  kstrVector<const BReaction*> reactions;
  if (nIn > 0) {
    reactions.push_back(requireComponent<BReaction>(static_cast<const OBInterface*>(ins[0])));
  }
  printTable(reactions);
}

void Reaction_display_MI::printTable(const kstrVector<const BReaction*>& reactions) const {
  kstrVector<std::string> equations;
  for (const BReaction* reaction : reactions) equations.push_back(reaction->getReactionString());
  const auto blanks = [this](size_t n) { return blanks_.c_str() + (blanks_.size() - n); };
  hbPrintf("\n");
  hbPrintf("%s%s\n\n", blanks(3), "Kestrion Reaction Array");
  hbPrintf("%s%s%s%s\n", blanks(3), "Index:", blanks(4), "Reaction:");
  char scratch[100];
  for (size_t i = 0; i < equations.size(); ++i) {
    const int number = static_cast<int>(i + 1);
    const int digits = hbSNprintf(scratch, sizeof scratch, "%d", number);
    const size_t gap = digits < 10 ? static_cast<size_t>(10 - digits) : 0;
    hbPrintf("%s%d%s%s\n", blanks(3), number, blanks(gap), equations[i].c_str());
  }
  hbPrintf("\n");
}

// --- parserate -----------------------------------------------------------------------------------

ReactionComponent_parseRateForElements_MI::ReactionComponent_parseRateForElements_MI() {
  setName("parserate");
  aloneSignature_ = new OBMethodSignature({"handle"}, {"PELLAM array"});
  addMethodSignature(aloneSignature_);
  addMethodSignature(new OBMethodSignature({"handle", "PELLAM array", "bool"}, {"PELLAM array"}));
}

void ReactionComponent_parseRateForElements_MI::invoke(OBMethodSignature* matched, int& nOut,
                                                       void* outs[], int nIn,
                                                       void* const ins[]) {
  nOut = 1;
  const BReaction* reaction =
      requireComponent<BReaction>(static_cast<const OBInterface*>(ins[0]));
  boost::shared_ptr<const MParseTree> tree = reaction->getReactionRateParseTree();
  if (!tree) {
    outs[0] = nullptr;
    return;
  }
  if (matched == aloneSignature_ || nIn < 3) {
    std::set<std::string> tokens;
    reaction->getReactionRateExpression()->fillSetWithTokens(tokens, false);
    outs[0] = cellRowOf(tokens);
    return;
  }
  std::set<std::string> names;
  createSTDSetFromQXArrayVector(static_cast<const qxArray*>(ins[1]), names);
  const bool distinct = ins[2] && *static_cast<const uint8_t*>(ins[2]) != 0;
  kstrVector<std::string> elements;
  tree->parsePLExpression(
      elements, [&names](const std::string& name) -> uint64_t { return names.count(name); },
      distinct);
  outs[0] = cellRowOf(elements);
}

// --- privategetusages -------------------------------------------------------------------------------

void Reaction_GetComponentUsageLocations_MI::fillUsageLocations(const BReaction& owner,
                                                                const OBInterface* used,
                                                                StringVector& out) const {
  const kstr::bcomptype kind = getKestrionObjectEnumType(used);
  if (kind != kstr::species && kind != kstr::parameter && kind != kstr::compartment) return;
  const KelborComponent* component = componentOf(used);
  if (owner.isComponentUsedInReaction(component)) out.addElement("Reaction");
  if (owner.isComponentUsedInReactionRate(component)) out.addElement("ReactionRate");
}

// --- copyobj --------------------------------------------------------------------------------------

bool Reaction_copyobj_MI::canCopyInto(OBInterface* obj, OBInterface* newParent) {
  if (!newParent || std::strcmp(newParent->getClass()->getName(), "Model") != 0) return false;
  auto* model = static_cast<Kelbor*>(componentOf(newParent));
  const KelborComponent* reaction = componentOf(obj);
  if (model && reaction && !reaction->getName().empty() &&
      model->isComponentNameInUse(reaction->getName(), kstr::reaction)) {
    kstr_error("Kestrion:COPYOBJ_INVALIDARG",
               kstr::code(MessageCode::KS_REACTION_COPYOBJ_INVALIDARG));
  }
  return true;
}

void Reaction_copyobj_MI::attachCopy(OBInterface* copy, OBInterface* newParent,
                                     OBInterface* source) {
  addReactionBelowModel(copy, newParent);
  if (const JavaEventFactory* factory = javaEventFactory()) {
    factory->postChildAddedEvent(newParent, copy, "reaction");
  }
  BReaction* target = requireComponent<BReaction>(copy);
  const BReaction* from = requireComponent<BReaction>(source);
  Kelbor* model = ReactionManipulator::modelOf(target);
  if (!model) {
    target->setReversible(from->getReversible());
    return;
  }
  // All terms at once: the equation is resolved and the rate recomputed
  // once per copied reaction, not once per term.
  auto termsOf = [&](size_t count, BSpecies* (BReaction::*speciesAt)(size_t) const,
                     double (BReaction::*stoichiometryAt)(size_t) const) {
    std::vector<BReaction::SpeciesTerm> terms;
    for (size_t i = 0; i < count; ++i) {
      if (BSpecies* species = (from->*speciesAt)(i)) {
        terms.push_back(
            {manipulator_.findSpeciesInModel(model, species), (from->*stoichiometryAt)(i)});
      }
    }
    return terms;
  };
  target->addTerms(
      termsOf(from->getNumReactants(), &BReaction::getReactantAt, &BReaction::getReactantStoichAt),
      termsOf(from->getNumProducts(), &BReaction::getProductAt, &BReaction::getProductStoichAt),
      from->getReversible());
}
