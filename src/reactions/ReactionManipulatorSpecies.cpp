// The manipulator's species side: finding or creating the species a
// reaction names in its model, and adding reactants and products given as
// host arrays of names or species handles.
#include <cctype>
#include <cmath>
#include <memory>
#include <string>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <obk/OBDatabaseClient.hpp>
#include <obk/OBDispatch.hpp>
#include <obk/OBInterface.hpp>
#include <qx/qx.hpp>

#include "core/TreeWiring.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/ReactionManipulator.hpp"

namespace {

constexpr const char* kNull = "null";

BSpecies* speciesOf(const OBInterface* instance) {
  return ReactionManipulator::speciesOf(instance);
}

// Calls the host method (e.g. "addspecies") on the object with one name
// argument, as the user would, and answers the instance it returns.
OBInterface* callAddMethod(OBInterface* target, const char* method, const std::string& name) {
  struct Arrays {
    qxArray* ins[2] = {nullptr, nullptr};
    qxArray* outs[1] = {nullptr};
    ~Arrays() {
      for (qxArray* a : ins) qxDestroyArray(a);
      qxDestroyArray(outs[0]);
    }
  } arrays;
  arrays.ins[0] = obkHandleArray(target);
  arrays.ins[1] = qxCreateString(name.c_str());
  obkCallMethod(method, 1, arrays.outs, 2, arrays.ins);
  return obkHandleOf(arrays.outs[0]);
}

// The model's compartment of that name anywhere in its tree, or the one its
// "addcompartment" makes; null when the host made no compartment.
BCompartment* findOrAddCompartment(Kelbor* model, const std::string& name) {
  if (BCompartment* found = model->getNamedCompartment(name)) return found;
  return dynamic_cast<BCompartment*>(
      componentOf(callAddMethod(model->getOBI(), "addcompartment", name)));
}

// A copy made by the host that is destroyed again unless it was placed.
class PendingCopy {
 public:
  explicit PendingCopy(OBInterface* copy) : copy_(copy) {}
  PendingCopy(const PendingCopy&) = delete;
  PendingCopy& operator=(const PendingCopy&) = delete;
  ~PendingCopy() {
    if (!copy_) return;
    copy_->destroy(OBDatabaseClient::getInternalClient());
    copy_->releaseReference();
  }
  OBInterface* get() const { return copy_; }
  // Gives the creation reference back (the tree holds the copy now).
  OBInterface* keep() {
    OBInterface* copy = copy_;
    copy_ = nullptr;
    copy->releaseReference();
    return copy;
  }

 private:
  OBInterface* copy_;
};

// A name that begins with a digit or a sign is most likely a stoichiometry
// typed against the name ('2A') or a negative one ('-2 A'): the species is
// made as named, with a warning.
void warnForNumberLikeName(const std::string& name) {
  const char first = name.empty() ? '\0' : name.front();
  if (!std::isdigit(static_cast<unsigned char>(first)) && first != '-' && first != '+') return;
  hb_warning_id(hbGetWarningContext(), "Kestrion:ReactionManipulator:SpeciesNameBeginsWithNumber",
                kstr::code(kstr::MessageCode::KS_REACTIONMANIPULATOR_SPECIES_NAME_BEGINS_WITH_NUMBER),
                name.c_str());
}

// Calls "addspecies" on the object (a compartment, or a model without
// compartments) for a species the reaction names.
BSpecies* addNamedSpecies(OBInterface* target, const std::string& name) {
  BSpecies* made = speciesOf(callAddMethod(target, "addspecies", name));
  if (made) warnForNumberLikeName(name);
  return made;
}

BSpecies* speciesInCompartment(BCompartment* compartment, const std::string& name) {
  if (BSpecies* found = compartment->getNamedSpecies(name)) return found;
  return addNamedSpecies(compartment->getOBI(), name);
}

// --- one side of setReactantsAndProducts -------------------------------------------------

// Identifiers of the caller ("addreaction") for one side.
struct SideIds {
  const char* invalid;
  kstr::MessageCode invalidCode;
  const char* sizeMismatch;
  kstr::MessageCode sizeMismatchCode;
  const char* invalidStoich;
  kstr::MessageCode invalidStoichCode;
};

const SideIds kReactantIds = {
    "Kestrion:ADDREACTION_INVALIDREACTANTS",
    kstr::MessageCode::KS_ADDREACTION_INVALIDREACTANTS,
    "Kestrion:ADDREACTION_SIZEMISMATCH_REACTANTS",
    kstr::MessageCode::KS_ADDREACTION_SIZEMISMATCH_REACTANTS,
    "Kestrion:ADDREACTION_INVALIDRSTOICH",
    kstr::MessageCode::KS_ADDREACTION_INVALIDRSTOICH,
};

const SideIds kProductIds = {
    "Kestrion:ADDREACTION_INVALIDPRODUCTS",
    kstr::MessageCode::KS_ADDREACTION_INVALIDPRODUCTS,
    "Kestrion:ADDREACTION_SIZEMISMATCH_PRODUCTS",
    kstr::MessageCode::KS_ADDREACTION_SIZEMISMATCH_PRODUCTS,
    "Kestrion:ADDREACTION_INVALIDPSTOICH",
    kstr::MessageCode::KS_ADDREACTION_INVALIDPSTOICH,
};

// One side read from its host arrays: either parsed name terms or species
// handles (null for "null"), with the stoichiometry of each entry.
class Side {
 public:
  Side() = default;
  Side(const Side&) = delete;
  Side& operator=(const Side&) = delete;
  ~Side() {
    for (ParsedReactionTerm* term : terms_) ParsedReactionTerm::destroy(term);
  }

  void read(ReactionManipulator& manipulator, const qxArray* list, const qxArray* stoich,
            Kelbor* model, const SideIds& ids) {
    if (qxIsChar(list) || qxIsCell(list)) {
      readNames(manipulator, list, model, ids);
    } else if (qxIsHandleArray(list)) {
      readHandles(list, ids);
    } else {
      kstr_error(ids.invalid, kstr::code(ids.invalidCode));
    }
    readStoichiometry(stoich, ids);
  }

  // True when the side names a species (not only "null").
  bool addsSomething() const {
    for (const ParsedReactionTerm* term : terms_) {
      if (term->name != kNull) return true;
    }
    return !handles_.empty();
  }

  const kstrVector<ParsedReactionTerm*>& terms() const { return terms_; }

  // The compartments that finding the side's species objects in the model
  // would make: the compartment of each species from another model.
  kstrVector<std::string> compartmentsOfHandles(const Kelbor* model) const {
    kstrVector<std::string> names;
    for (const BSpecies* species : handles_) {
      boost::shared_ptr<ModelGlobalData> data = species->getModelGlobalData();
      if (data && data->model == model) continue;
      if (const BCompartment* home = species->getCompartment()) names.push_back(home->getName());
    }
    return names;
  }

  template <class Add>
  void apply(ReactionManipulator& manipulator, Kelbor* model, Add add) {
    for (size_t i = 0; i < count(); ++i) {
      BSpecies* species = nullptr;
      if (!terms_.empty()) {
        const ParsedReactionTerm* term = terms_[i];
        if (term->name == kNull) continue;
        species = manipulator.findOrCreateSpecies(model, term->name.c_str(),
                                                  term->qualifier.c_str());
      } else {
        species = manipulator.findSpeciesInModel(model, handles_[i]);
      }
      if (species) add(species, stoich_.empty() ? 1.0 : stoich_[i]);
    }
  }

 private:
  size_t count() const { return terms_.empty() ? handles_.size() : terms_.size(); }

  void readNames(ReactionManipulator& manipulator, const qxArray* list, Kelbor* model,
                 const SideIds& ids) {
    kstrVector<std::string> names;
    if (qxIsChar(list)) {
      names.push_back(qxArrayToStdString(list));
    } else {
      for (size_t i = 0; i < qxGetNumberOfElements(list); ++i) {
        const qxArray* cell = qxGetCell(list, i);
        if (!qxIsChar(cell)) kstr_error(ids.invalid, kstr::code(ids.invalidCode));
        names.push_back(qxArrayToStdString(cell));
      }
      if (names.empty()) kstr_error(ids.invalid, kstr::code(ids.invalidCode));
    }
    manipulator.parseSpeciesNameList(names, model, terms_);
  }

  void readHandles(const qxArray* list, const SideIds& ids) {
    for (size_t i = 0; i < qxGetNumberOfElements(list); ++i) {
      BSpecies* species = speciesOf(static_cast<const OBInterface*>(qxGetHandle(list, i)));
      if (!species) kstr_error(ids.invalid, kstr::code(ids.invalidCode));
      handles_.push_back(species);
    }
  }

  void readStoichiometry(const qxArray* stoich, const SideIds& ids) {
    if (!stoich) return;
    if (!qxIsDouble(stoich) || qxIsComplex(stoich) || qxIsSparse(stoich)) {
      kstr_error(ids.invalidStoich, kstr::code(ids.invalidStoichCode));
    }
    if (qxGetNumberOfElements(stoich) != count()) {
      kstr_error(ids.sizeMismatch, kstr::code(ids.sizeMismatchCode));
    }
    const double* values = qxGetPr(stoich);
    for (size_t i = 0; i < count(); ++i) {
      // Written as the positive test, so that NaN fails too.
      if (!(values[i] > 0 && std::isfinite(values[i]))) {
        kstr_error(ids.invalidStoich, kstr::code(ids.invalidStoichCode));
      }
      stoich_.push_back(values[i]);
    }
  }

  kstrVector<ParsedReactionTerm*> terms_;
  kstrVector<BSpecies*> handles_;
  kstrVector<double> stoich_;
};

}  // namespace

BSpecies* ReactionManipulator::findOrCreateSpecies(Kelbor* model, const char* name,
                                                   const char* qualifier) {
  const std::string speciesName = name ? name : "";
  const std::string compartmentName = qualifier ? qualifier : "";
  if (!compartmentName.empty()) {
    BCompartment* compartment = findOrAddCompartment(model, compartmentName);
    return compartment ? speciesInCompartment(compartment, speciesName) : nullptr;
  }
  if (model->hasSeveralCompartments()) return nullptr;
  if (model->getCompartments()->empty()) {
    return addNamedSpecies(model->getOBI(), speciesName);
  }
  return speciesInCompartment(model->getCompartments()->front(), speciesName);
}

void ReactionManipulator::createMissingCompartments(
    Kelbor* model, std::initializer_list<const kstrVector<ParsedReactionTerm*>*> sides,
    const kstrVector<std::string>& extraCompartments) {
  for (const std::string& name : missingCompartments(model, sides, extraCompartments)) {
    findOrAddCompartment(model, name);
  }
}

BSpecies* ReactionManipulator::findSpeciesInModel(Kelbor* model, BSpecies* species) {
  if (!model) throwNotInModel();
  boost::shared_ptr<ModelGlobalData> data = species->getModelGlobalData();
  if (data && data->model == model) return species;
  const BCompartment* home = species->getCompartment();
  if (!home || !species->getOBI()) {
    kstr_error("Kestrion:ReactionManipulator:SpeciesNotInCompartment",
               "The species must belong to a compartment before it can be used in a reaction.");
  }
  BCompartment* compartment = findOrAddCompartment(model, home->getName());
  if (!compartment) return nullptr;
  if (BSpecies* same = compartment->getNamedSpecies(species->getName())) return same;
  PendingCopy copy(species->getOBI()->copy(OBDatabaseClient::getInternalClient()));
  addSpeciesBelowCompartment(copy.get(), compartment->getOBI());
  return speciesOf(copy.keep());
}

void ReactionManipulator::setReactantsAndProducts(BReaction* reaction, const qxArray* reactants,
                                                  const qxArray* products,
                                                  const qxArray* reactantStoich,
                                                  const qxArray* productStoich) {
  Kelbor* model = modelOf(reaction);
  Side reactantSide;
  reactantSide.read(*this, reactants, reactantStoich, model, kReactantIds);
  Side productSide;
  productSide.read(*this, products, productStoich, model, kProductIds);
  if (!model && (reactantSide.addsSomething() || productSide.addsSomething())) throwNotInModel();
  if (!model) return;
  // Both sides together may make the second compartment: a name without
  // qualifier is refused then, before anything is made.  The named
  // compartments are made first, so that such a name joins the only one.
  kstrVector<std::string> handleCompartments = reactantSide.compartmentsOfHandles(model);
  for (std::string& name : productSide.compartmentsOfHandles(model)) {
    handleCompartments.push_back(std::move(name));
  }
  checkQualification(model, {&reactantSide.terms(), &productSide.terms()}, handleCompartments);
  createMissingCompartments(model, {&reactantSide.terms(), &productSide.terms()},
                            handleCompartments);
  // The species are found (or made) first; the equation then changes once.
  std::vector<BReaction::SpeciesTerm> reactantTerms;
  std::vector<BReaction::SpeciesTerm> productTerms;
  reactantSide.apply(*this, model, [&](BSpecies* s, double v) { reactantTerms.push_back({s, v}); });
  productSide.apply(*this, model, [&](BSpecies* s, double v) { productTerms.push_back({s, v}); });
  reaction->addTerms(reactantTerms, productTerms, reaction->getReversible());
}
