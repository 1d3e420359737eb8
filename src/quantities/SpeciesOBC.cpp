// The class definition of "Species": its property table, creation entry,
// delete guard and destroy hook, and the species-specific property infos.
#include "quantities/SpeciesOBC.hpp"

#include <cmath>
#include <string>

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>

#include "core/Application.hpp"
#include "core/PropertyValuePairs.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/QuantityCopy.hpp"
#include "core/HostBoundary.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/ReactionOBC.hpp"

namespace qh = kstr::quantityhost;

namespace {

using P = PropFlags;
constexpr uint32_t kSettable = P::Settable;

const char kBoundaryConditionHelp[] =
    "Indicates whether the species has a boundary condition. With a boundary\n"
    "   condition the quantity of the species is set by InitialAmount and/or\n"
    "   rules, not by the reaction rate equations. All species are state\n"
    "   variables regardless of BoundaryCondition or ConstantAmount. The\n"
    "   default is false.";
const char kConstantAmountHelp[] =
    "Indicates whether the quantity of the species can vary during the\n"
    "   simulation. The default is false: the quantity can vary, set by\n"
    "   reactions and rules.";
const char kInitialAmountHelp[] =
    "Indicates the initial quantity of the Kestrion species object. \n"
    "   InitialAmount is the quantity of the species that exists before the \n"
    "   simulation starts.";
const char kInitialAmountUnitsHelp[] =
    "Indicates the unit definition of the InitialAmount property. Any built-in\n"
    "   unit can be used (KSTRSHOWUNITS lists them). Changing InitialAmountUnits\n"
    "   does not convert InitialAmount; KSTRCONVERTUNITS does that conversion.\n"
    "   KSTRREGISTERUNIT adds user-defined units.";

using kstr::quantityhost::raise;

// Two arguments: the second is the amount.  Three or more: the second is
// the amount when it is a 1-by-1 double that is neither negative nor
// infinite, else the pairs start there.  An amount must be a 1-by-1 double
// from 0 up to, but not including, infinity; NaN is refused here, before
// anything is made.
qh::LeadingNumber readAmountArgument(int argc, qxArray* const args[]) {
  return qh::readLeadingNumber(
      argc, args,
      [](bool scalar, double value) { return scalar && !(value < 0.0) && !std::isinf(value); },
      [](bool scalar, double value) { return scalar && value >= 0.0 && std::isfinite(value); },
      "Kestrion:KSTRSPECIES_INVALIDAMT", kstr::MessageCode::KS_ADDSPECIES_INVALIDAMT);
}

using kstr::quantityhost::makeInstance;

BSpecies* speciesBehind(OBInterface* inst) {
  return kstr::quantityhost::componentBehind<BSpecies>(inst, kstr::species);
}

// The instances of the reactions of the model that hold the species as a
// reactant or a product, counted by the host function "kstrselect".
size_t countReactionsUsing(OBInterface* model, OBInterface* species) {
  HostCallArgs args{model, "where", "Reactants", "contains", species, "or", "where", "Products", "contains", species};
  qxArray* result[1] = {nullptr};
  inCallFcn(1, result, args.size(), args.data(), "kstrselect");
  const size_t count = result[0] ? qxGetNumberOfElements(result[0]) : 0;
  qxDestroyArray(result[0]);
  return count;
}

bool isReactionClass(const OBClass* cls) { return dynamic_cast<const BReactionOBC*>(cls) != nullptr; }

// True when a reaction listening to the species holds it as a reactant or
// a product and lies below the model instance: the reactions "kstrselect"
// counts for the model, found among the species' listeners.
bool isHeldByReactionBelow(const KelborComponent& species, const OBInterface* model) {
  const auto* asSpecies = static_cast<const BSpecies*>(&species);
  for (const ExpressionBasedComponent* listener : species.getListeners()) {
    if (listener->getEnumType() != kstr::reaction) continue;
    const auto* reaction = static_cast<const BReaction*>(listener);
    if (!reaction->isReactant(asSpecies) && !reaction->isProduct(asSpecies)) continue;
    if (isInstanceBelow(reaction->getOBI(), model)) return true;
  }
  return false;
}

}  // namespace

// --- the class -------------------------------------------------------------------

BSpeciesOBC::BSpeciesOBC() {
  startComponentClass(*this, "Species", true, false);
  addProperty(new HostGuarded<ModelComponent_AnnotationPIT>());
  addProperty(new HostGuarded<ModelComponent_AnnotationFullPIT>());
  addProperty(new HostGuarded<Species_BoundaryConditionPIT>());
  addProperty(new HostGuarded<Species_ChargePIT>());
  addProperty(new HostGuarded<Species_ChargeUnitsPIT>());
  addProperty(new HostGuarded<Species_ConstantAmountPIT>());
  addProperty(new HostGuarded<ModelComponent_IDPIT>());
  addProperty(new HostGuarded<Species_FullyQualifiedName_PIT>());
  addProperty(new HostGuarded<ModelComponent_FullIdPathToTopModel_PIT>());
  addProperty(new HostGuarded<Species_InitialAmountPIT>());
  addProperty(new HostGuarded<Species_InitialAmountUnitsPIT>());
  addProperty(new HostGuarded<Species_NamePIT>());
  addProperty(new HostGuarded<ModelComponent_NotesPIT>());
  addProperty(new HostGuarded<ModelComponent_ParentPIT>());
  addProperty(new HostGuarded<ModelComponent_TagPIT>());
  addProperty(new HostGuarded<ModelComponent_TypePIT>());
  addProperty(new HostGuarded<Quantity_UserDataPIT>());
  addProperty(new HostGuarded<ModelComponent_PartiallyQualifiedNamePIT>());
  addProperty(new HostGuarded<ModelComponent_DisplayQualifiedNamePIT>());
  addProperty(newInUseCountPropInfo());
  addMethod(new HostGuarded<Species_display_MI>());
  addMethod(new HostGuarded<ModelComponent_help_MI>());
  addMethod(new HostGuarded<Species_copyobj_MI>());
  addMethod(new HostGuarded<ModelComponent_copy_MI>());
  addMethod(new HostGuarded<ModelComponent_getUsages_MI>());
  addMethod(new HostGuarded<ModelComponent_Rename_MI>());
  addMethod(new HostGuarded<BSpecies_PrivateIsValidUnit_MI>());
}

OBInterface* BSpeciesOBC::createInstance(OBDatabaseClient*, int argc, void* const argv[],
                                         OBInterface*, int) {
  auto* const* args = reinterpret_cast<qxArray* const*>(argv);
  if (argc <= 0) {
    OBInterface* instance = makeInstance(new BSpecies(), this);
    qh::postObjectCreated(instance, "Species", "");
    return instance;
  }
  if (!qh::isText(args[0])) {
    raise("Kestrion:KSTRSPECIES_INVALIDNAME", kstr::MessageCode::KS_ADDSPECIES_INVALIDSYNTAX);
  }
  const qh::LeadingNumber amount = readAmountArgument(argc, args);
  const std::string name = qxArrayToTrimmedString(args[0]);
  BSpecies::errorForInvalidNameStatic(name, nullptr, true);

  auto* species = new BSpecies();
  OBInterface* instance = makeInstance(species, this);
  qh::postObjectCreated(instance, "Species", name.c_str());
  try {
    species->setName(name);
    if (amount.present) species->setInitialValue(amount.value);
  } catch (...) {
    qh::discardNewInstance(instance);
    throw;
  }
  qh::applyPairsOrDiscard(instance, argc, amount.pairsStart, args);
  return instance;
}

bool BSpeciesOBC::isOkToDestroy(OBInterface* inst) {
  if (qh::isBeingDiscarded(inst)) return true;
  return !isEnclosingModelRenaming(inst) && isSpeciesOkToDestroy(inst);
}

void BSpeciesOBC::destroyInstance(OBInterface* inst) {
  auto* species = static_cast<BSpecies*>(componentOf(inst));
  if (!species) return;
  // The configuration sets of the top-level model (sub-models have none)
  // stop logging it and drop it from their sensitivity lists.
  if (Kelbor* model = getTopLevelModel(inst)) model->removeStateFromConfigSets(inst, species);
  OBInterface* parent = species->getOBIParent();
  if (BCompartment* compartment = species->getCompartment()) {
    compartment->removeSpecies(species);
  } else if (KelborComponent* behind = componentOf(parent);
             behind && behind->getEnumType() == kstr::compartment) {
    static_cast<BCompartment*>(behind)->removeSpecies(species);
  }
  qh::postObjectDestroyed(parent, inst, "Species", species->getName().c_str());
  inst->setComponentObject(nullptr);
  species->setOBI(nullptr);
  qh::releaseUserData(species);
  delete species;
}

OBClass* getSpeciesOBClass() {
  static OBClass* cls = registerHostClass(new HostGuarded<BSpeciesOBC>());
  return cls;
}

bool isSpeciesOkToDestroy(OBInterface* instance) {
  const KelborComponent* species = componentOf(instance);
  if (!species || !species->getOBIParent()) return true;
  if (qh::isTreeBeingDestroyed(instance)) return true;
  for (OBInterface* up = species->getOBIParent(); up && !qh::isRootInstance(up);) {
    if (up->isBeingDestroyed()) return true;
    const KelborComponent* behind = componentOf(up);
    up = behind ? behind->getOBIParent() : nullptr;
  }
  // Without a model there is no reaction to ask about.
  const KelborComponent* compartment = componentOf(species->getOBIParent());
  OBInterface* model = compartment ? compartment->getOBIParent() : nullptr;
  const KelborComponent* modelComponent = componentOf(model);
  if (!modelComponent || modelComponent->getEnumType() != kstr::kstrmodel) return true;
  const auto* owner = static_cast<const Kelbor*>(modelComponent);
  // Without sub-models, and while the engine's reactions are the only
  // objects with reactants and products, the reactions that could hold the
  // species are among its listeners (a reaction listens to every species of
  // its equation): the query over the whole model tree is spared.
  // Otherwise the host's "kstrselect" answers.
  const bool hasSubModels = owner->getOBIModels() && owner->getOBIModels()->size() > 0;
  const bool known = !hasSubModels && onlyOwnClassesHaveProperty("Reactants", isReactionClass) &&
                     onlyOwnClassesHaveProperty("Products", isReactionClass);
  const bool used = known ? isHeldByReactionBelow(*species, model) : countReactionsUsing(model, instance) != 0;
  if (!used) return true;
  hb_warning_id(hbGetWarningContext(), "Kestrion:DELETE_SPECIES_BEING_USED",
                kstr::code(kstr::MessageCode::KS_DELETE_SPECIES_BEING_USED));
  return false;
}

// --- properties --------------------------------------------------------------------

Species_BoundaryConditionPIT::Species_BoundaryConditionPIT()
    : SpeciesFactoryPIT<bool>([](BSpecies* s) { return s->getBoundaryCondition(); },
                              [](BSpecies* s, bool v) {
                                s->setBoundaryCondition(v);
                                s->setModelCompileNeeded();
                              },
                              "BoundaryCondition", kBoundaryConditionHelp, kSettable) {}

Species_ChargePIT::Species_ChargePIT()
    : SpeciesFactoryPIT<int>([](BSpecies* s) { return static_cast<int>(*s->getCharge()); },
                             [](BSpecies* s, int v) {
                               const int32_t charge = v;
                               s->setCharge(&charge);
                             },
                             "Charge", "Indicate the charge on the species.", kSettable) {}

Species_ChargeUnitsPIT::Species_ChargeUnitsPIT()
    : SpeciesFactoryPIT<const char*>(
          [](BSpecies* s) { return s->getChargeUnits(); },
          [](BSpecies* s, const char* v) { s->setChargeUnits(v); }, "ChargeUnits",
          "Indicate the unit definition of the species object's Charge property.", kSettable) {}

Species_ConstantAmountPIT::Species_ConstantAmountPIT()
    : SpeciesFactoryPIT<bool>([](BSpecies* s) { return s->getConstantValue(); },
                              [](BSpecies* s, bool v) {
                                s->setConstantValue(v);
                                s->setModelCompileNeeded();
                              },
                              "ConstantAmount", kConstantAmountHelp, kSettable) {}

Species_InitialAmountPIT::Species_InitialAmountPIT()
    : SpeciesFactoryPIT<double>([](BSpecies* s) { return s->getInitialValue(); },
                                [](BSpecies* s, double v) { s->setInitialValue(v); },
                                "InitialAmount", kInitialAmountHelp, kSettable) {}

Species_InitialAmountUnitsPIT::Species_InitialAmountUnitsPIT()
    : OBKFactoryPropInfo([](BSpecies* s) -> const std::string& { return s->getUnits(); },
                         [](BSpecies* s, const std::string& v) { s->setUnits(v); },
                         "InitialAmountUnits", kInitialAmountUnitsHelp, kSettable) {}

Species_NamePIT::Species_NamePIT() = default;

void Species_NamePIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  BSpecies* species = speciesBehind(inst);
  std::string name = makeStringFromCString(static_cast<const char*>(value));
  STDStringHelpers::trimWhitespace(name);
  species->errorForInvalidName(name, species->getParent());
  species->setName(name);
}
