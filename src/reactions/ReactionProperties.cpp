#include "reactions/ReactionProperties.hpp"

#include <cmath>
#include <cstdint>
#include <string>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <obk/OBDatabaseClient.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBTypes.hpp>
#include <obk/Vector.hpp>

#include "core/HostBoundary.hpp"
#include "core/JavaEventFactory.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "kinetics/BLibrary.hpp"
#include "model/BQuorvixRoot.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/ExpressionComponentBindings.hpp"

namespace {

using kstr::ebcbinding::requireComponent;
constexpr auto describe = kstr::ebcbinding::describeProperty;

constexpr const char* kMassAction = "MassAction";
constexpr const char* kUnknown = "Unknown";

const char* const kFastThresholdHelp =
    "Indicate if the reaction is 'fast' compared to other reaction in the kstrmodel.";
const char* const kProductsHelp =
    "Products is a 1-by-n species object array that indicates the\n"
    "   species that are changed by the reaction. Products follows changes of the\n"
    "   Reaction property. Add products with ADDPRODUCT and remove them with\n"
    "   RMPRODUCT.";
const char* const kReactantsHelp =
    "Reactants is a 1-by-n species object array with species in the\n"
    "   reaction. Reactants follows changes of the Reaction property. Add\n"
    "   reactants with ADDREACTANT and remove them with RMREACTANT.";
const char* const kReactionHelp =
    "Property to indicate the reaction represented in the reaction\n"
    "   object. When the reaction changes, new species are added to the model's\n"
    "   species and to Reactants or Products. A species removed from the\n"
    "   reaction stays in the model; remove it with DELETE. Spaces are needed\n"
    "   before and after species names and stoichiometric values, for example:\n"
    "   glucose + 2 ADP + 2 Pi -> 2 lactic acid + 2 ATP + 2 H2O";
const char* const kReactionRateHelp =
    "Property to define the reaction rate equation.\n"
    "   Without a kinetic law the rate is the text given here. With a kinetic\n"
    "   law the rate is made from the law's expression and its\n"
    "   SpeciesVariableNames and ParameterVariableNames. The rate of a\n"
    "   reversible reaction is the sum of its forward and reverse rates.\n"
    "   Species named in the reaction are added by ADDREACTION; parameters\n"
    "   must be added to the model. Configuring a kinetic law later unsets\n"
    "   the rate until SpeciesVariableNames and ParameterVariableNames are set.";
const char* const kReversibleHelp =
    "Property to define whether a reaction is reversible or irreversible.\n"
    "   After a change only a MassAction kinetic law gets a new rate; its\n"
    "   first parameter is the forward rate.";
const char* const kStoichiometryHelp =
    "Property to specify the species coefficients in a reaction.\n"
    "   Reactants have negative and products positive coefficients; 0 is not\n"
    "   allowed. For example, 3 H + A-> 2 C + F has the Stoichiometry\n"
    "   [-3 -1 2 1]. The length equals the number of reactants plus products.\n"
    "   Stochastic solvers and dimensional analysis need integer values.\n"
    "   A -> null has a stoichiometry value of [-1].";
const char* const kKineticLawHelp =
    "KineticLaw defines the kinetics used to determine the reaction\n"
    "   rate that is specified in the ReactionRate property of the reaction\n"
    "   object. ADDKINETICLAW configures the rate from the kinetic law's\n"
    "   SpeciesVariableNames and ParameterVariableNames. Only mass-action\n"
    "   rates follow a changed reaction automatically.";

BReaction* reactionOf(OBInterface* inst) { return requireComponent<BReaction>(inst); }

BSpecies* speciesOf(const OBInterface* instance) {
  return ReactionManipulator::speciesOf(instance);
}

template <class SpeciesAt>
Vector* speciesHandles(size_t count, SpeciesAt speciesAt) {
  kstrVector<const KelborComponent*> species;
  for (size_t i = 0; i < count; ++i) {
    if (BSpecies* s = speciesAt(i)) species.push_back(s);
  }
  return kstr::ebcbinding::newHandleVectorOf(species);
}

void releaseHandleVector(void* value) {
  OBTypeRepository::getType("handle vector")->release(value);
}

// Appends the species of every element (empty elements and
// non-species are skipped).
template <class Add>
void addEach(const void* value, Add add) {
  const auto* vector = static_cast<const Vector*>(value);
  if (!vector) return;
  for (OBInterface* element : vector->elements()) {
    if (BSpecies* species = speciesOf(element)) add(species);
  }
}

// Puts an "Unknown" law with the same host instance, parameters and
// component state in the place of the reaction's named law.
void replaceWithUnknownLaw(BReaction& reaction) {
  BKineticLaw* old = reaction.getKineticLaw();
  BLibrary* builtin = BQuorvixRoot::getInstance()->getLibrary(0);
  const BAbstractKineticLaw* unknown = builtin ? builtin->findAbstractKineticLaw(kUnknown) : nullptr;
  if (!unknown) {
    kstr_error("Kestrion:UnknownKineticLawMissing",
               "The built-in library holds no kinetic law named 'Unknown'.");
  }
  auto* fresh = new BKineticLaw(unknown);
  OBInterface* instance = reaction.getOBIKineticLaw();
  if (instance) instance->setComponentObject(fresh);
  fresh->setOBI(instance);
  old->moveComponentStateTo(*fresh);
  fresh->setOBIParameters(old->getOBIParameters());
  for (BParameter* parameter : *old->getParameters()) fresh->addParameter(parameter);
  fresh->setOBIParent(reaction.getOBI());
  fresh->setParent(&reaction);
  reaction.setKineticLaw(fresh);
  delete old;
}

}  // namespace

// --- FastThreshold ------------------------------------------------------------------------

ReactionComponent_FastThresholdPIT::ReactionComponent_FastThresholdPIT() {
  describe(*this, "FastThreshold", "double", kFastThresholdHelp, true);
}

void* ReactionComponent_FastThresholdPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return reactionOf(inst)->getFastThreshold();
}

void ReactionComponent_FastThresholdPIT::setValue(OBDatabaseClient*, OBInterface* inst,
                                                   void* value) {
  reactionOf(inst)->setFastThreshold(static_cast<const double*>(value));
}

// --- Products / Reactants ------------------------------------------------------------------

ReactionComponent_ProductsPIT::ReactionComponent_ProductsPIT() {
  describe(*this, "Products", "handle vector", kProductsHelp, false);
}

void* ReactionComponent_ProductsPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  const BReaction* reaction = reactionOf(inst);
  return speciesHandles(reaction->getNumProducts(),
                        [&](size_t i) { return reaction->getProductAt(i); });
}

void ReactionComponent_ProductsPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  BReaction* reaction = reactionOf(inst);
  addEach(value, [&](BSpecies* species) { reaction->addProduct(species, 1.0); });
}

void ReactionComponent_ProductsPIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) {
  releaseHandleVector(value);
}

ReactionComponent_ReactantsPIT::ReactionComponent_ReactantsPIT() {
  describe(*this, "Reactants", "handle vector", kReactantsHelp, false);
}

void* ReactionComponent_ReactantsPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  const BReaction* reaction = reactionOf(inst);
  return speciesHandles(reaction->getNumReactants(),
                        [&](size_t i) { return reaction->getReactantAt(i); });
}

void ReactionComponent_ReactantsPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  BReaction* reaction = reactionOf(inst);
  addEach(value, [&](BSpecies* species) { reaction->addReactant(species, 1.0); });
}

void ReactionComponent_ReactantsPIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) {
  releaseHandleVector(value);
}

// --- Reaction ----------------------------------------------------------------------------------

ReactionComponent_ReactionPIT::ReactionComponent_ReactionPIT() {
  describe(*this, "Reaction", "string", kReactionHelp, true);
}

void* ReactionComponent_ReactionPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return hostTextCopy(reactionOf(inst)->getReactionString().c_str());
}

void ReactionComponent_ReactionPIT::setValue(OBDatabaseClient* client, OBInterface* inst,
                                             void* value) {
  BReaction* reaction = reactionOf(inst);
  if (!obkIsExternal(client)) return;
  const char* text = static_cast<const char*>(value);
  manipulator_.setReactionFromString(reaction, text ? text : "");
}

void ReactionComponent_ReactionPIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) {
  hbFree(value);
}

// --- ReactionRate -------------------------------------------------------------------------------

ReactionComponent_ReactionRatePIT::ReactionComponent_ReactionRatePIT() {
  describe(*this, "ReactionRate", "string", kReactionRateHelp, true);
}

void* ReactionComponent_ReactionRatePIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  std::string rate;
  reactionOf(inst)->getUpdatedReactionRateWithoutSendingEvents(rate);
  return hostTextCopy(rate.c_str());
}

void ReactionComponent_ReactionRatePIT::setValue(OBDatabaseClient*, OBInterface* inst,
                                                 void* value) {
  BReaction* reaction = reactionOf(inst);
  const std::string text = value ? static_cast<const char*>(value) : "";
  BKineticLaw* law = reaction->getKineticLaw();
  if (law && law->getAbstractName() != kUnknown) replaceWithUnknownLaw(*reaction);
  reaction->setReactionRate(text, true);
}

void ReactionComponent_ReactionRatePIT::releaseValue(OBDatabaseClient*, OBInterface*,
                                                     void* value) {
  hbFree(value);
}

// --- Reversible ---------------------------------------------------------------------------------

ReactionComponent_ReversiblePIT::ReactionComponent_ReversiblePIT() {
  describe(*this, "Reversible", "bool", kReversibleHelp, true);
}

void* ReactionComponent_ReversiblePIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return new uint8_t(reactionOf(inst)->getReversible() ? 1 : 0);
}

void ReactionComponent_ReversiblePIT::setValue(OBDatabaseClient* client, OBInterface* inst,
                                               void* value) {
  BReaction* reaction = reactionOf(inst);
  if (!value) return;
  reaction->setReversible(*static_cast<const uint8_t*>(value) != 0);
  BKineticLaw* law = reaction->getKineticLaw();
  if (!obkIsExternal(client) || !law || law->getAbstractName() != kMassAction) return;
  // A mass-action law sizes its lists to the reversibility when read.
  (void)law->getParameterVariables();
  (void)law->getParameterVariableNames();
}

void ReactionComponent_ReversiblePIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) {
  delete static_cast<uint8_t*>(value);
}

// --- Stoichiometry ------------------------------------------------------------------------------

ReactionComponent_StoichiometryPIT::ReactionComponent_StoichiometryPIT() {
  describe(*this, "Stoichiometry", "NReals", kStoichiometryHelp, true);
  // A fresh copy has no terms yet: the equation brings its coefficients.
  setAccess(OBAccessFlag::Copied, false);
}

void* ReactionComponent_StoichiometryPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  const BReaction* reaction = reactionOf(inst);
  const size_t reactants = reaction->getNumReactants();
  const size_t products = reaction->getNumProducts();
  NReals* value = obkNewNReals(static_cast<int32_t>(reactants + products));
  for (size_t i = 0; i < reactants; ++i) value->data[i] = -reaction->getReactantStoichAt(i);
  for (size_t i = 0; i < products; ++i) {
    value->data[reactants + i] = reaction->getProductStoichAt(i);
  }
  return value;
}

void ReactionComponent_StoichiometryPIT::setValue(OBDatabaseClient* client, OBInterface* inst,
                                                  void* value) {
  BReaction* reaction = reactionOf(inst);
  const auto* given = static_cast<const NReals*>(value);
  const size_t reactants = reaction->getNumReactants();
  const size_t count = given ? static_cast<size_t>(std::max(given->count, 0)) : 0;
  bool valid = count == reactants + reaction->getNumProducts();
  // The system's own callers are not told of a wrong count: the reaction
  // ignores it, as it ignores a count that does not fit its terms.
  if (!valid && !obkIsExternal(client)) return;
  for (size_t i = 0; valid && i < count; ++i) {
    const double x = given->data[i];
    // Positive tests, so that NaN fails on both sides.
    valid = std::isfinite(x) && (i < reactants ? x < 0 : x > 0);
  }
  if (!valid) {
    throw ErrorIdException("Kestrion:STOICHIOMETRY_INVALIDSIZE",
                           "The number of reactants and products defined by the Stoichiometry "
                           "value must equal the number of reactants and products of the "
                           "reaction.");
  }
  if (count == 0) return;
  auto* copy = static_cast<double*>(hbCallocWithCheck(count, sizeof(double)));
  std::copy(given->data, given->data + count, copy);
  try {
    reaction->setStoichiometry(copy, count);
  } catch (...) {
    hbFree(copy);
    throw;
  }
  hbFree(copy);
}

void ReactionComponent_StoichiometryPIT::releaseValue(OBDatabaseClient*, OBInterface*,
                                                      void* value) {
  OBTypeRepository::getType("NReals")->release(value);
}

// --- KineticLaw ------------------------------------------------------------------------------------

ReactionComponent_KineticLawPIT::ReactionComponent_KineticLawPIT() {
  describe(*this, "KineticLaw", "handle", kKineticLawHelp, false);
}

void* ReactionComponent_KineticLawPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return reactionOf(inst)->getOBIKineticLaw();
}

void ReactionComponent_KineticLawPIT::setValue(OBDatabaseClient* client, OBInterface* inst,
                                               void* value) {
  BReaction* reaction = reactionOf(inst);
  auto* lawInstance = static_cast<OBInterface*>(value);
  if (!lawInstance) {
    reaction->setKineticLaw(nullptr);
    reaction->setOBIKineticLaw(nullptr);
    return;
  }
  auto* law = dynamic_cast<BKineticLaw*>(componentOf(lawInstance));
  if (!law) {
    throw ErrorIdException("Kestrion:InvalidPropertyValue",
                           "The value of KineticLaw must be a Kestrion kinetic law object.");
  }
  lawInstance->addBelow(inst);
  if (!obkIsExternal(client) && law->getAbstractName() == kMassAction) {
    reaction->setReversible(law->getParameterVariableNames().size() == 2);
  }
  law->setOBIParent(inst);
  if (const JavaEventFactory* factory = javaEventFactory()) {
    factory->postChildAddedEvent(inst, lawInstance, "kineticlaw");
  }
  reaction->setKineticLaw(law);
  reaction->setOBIKineticLaw(lawInstance);
}
