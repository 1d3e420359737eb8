// The class definition of "Compartment": its property table, creation
// entry, delete guard and destroy hook, and the compartment-specific
// property infos.
#include "quantities/CompartmentOBC.hpp"

#include <algorithm>
#include <set>
#include <string>

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>

#include "core/Application.hpp"
#include "core/PropertyValuePairs.hpp"
#include "core/TreeWiring.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"
#include "quantities/CompartmentCreation.hpp"
#include "quantities/QuantityCopy.hpp"
#include "quantities/QuantityHostSupport.hpp"
#include "core/HostBoundary.hpp"

namespace qh = kstr::quantityhost;

namespace {

using P = PropFlags;
constexpr uint32_t kFactoryCommon = P::Default | P::Reset | P::Listener | P::AbortSet;
constexpr uint32_t kSettable = kFactoryCommon | P::ExtSet | P::ExtGet | P::IntSet | P::IntGet |
                               P::Visible | P::Saved | P::Copied;
// The tree properties are read and written by both clients, saved, and
// left to the copy's own handling of compartments and species.
constexpr uint32_t kTreeFlags = P::ExtSet | P::ExtGet | P::IntSet | P::IntGet | P::Visible | P::Saved;

const char kFoo[] = "foo";
const char kUnitsHelp[] =
    "foo\n"
    "\n"
    "   The units of the Kestrion libraries can be used for the InitialAmountUnits\n"
    "   of a species and the ValueUnits of a parameter. KSTRSHOWUNITS returns\n"
    "   information on one unit.";

using Comp = BCompartment;
using CompClass = GetKelborCompClass<Comp>;

OBPropInfo* newCapacityPropInfo() {
  return new HostGuarded<obk_t::OBKFactoryPropInfoWithRelease<Comp, double, double, CompClass>>(
      [](Comp* c) { return c->getInitialValue(); },
      [](Comp* c, double v) { c->setInitialValue(v); }, "Capacity", kFoo, kSettable);
}

OBPropInfo* newConstantCapacityPropInfo() {
  return new HostGuarded<obk_t::OBKFactoryPropInfoWithRelease<Comp, bool, bool, CompClass>>(
      [](Comp* c) { return c->getConstantValue(); },
      [](Comp* c, bool v) { c->setConstantValue(v); }, "ConstantCapacity", kFoo, kSettable);
}

OBPropInfo* newCapacityUnitsPropInfo() {
  return new HostGuarded<obk_t::OBKFactoryPropInfo<Comp, const std::string&, const std::string&, CompClass>>(
      [](Comp* c) -> const std::string& { return c->getUnits(); },
      [](Comp* c, const std::string& v) { c->setUnits(v); }, "CapacityUnits", kFoo, kSettable);
}

void initTreeProperty(OBPropInfoTemplate& prop, const char* name, const char* type) {
  prop.setName(name);
  prop.setDescription(kUnitsHelp);
  prop.setDataType(type);
  prop.setAccessWord(kTreeFlags);
}

BCompartment* compartmentBehind(OBInterface* inst) {
  return kstr::quantityhost::componentBehind<BCompartment>(inst, kstr::compartment);
}

[[noreturn]] void raiseInvalidElement(const char* property, const char* what) {
  throw ErrorIdException("Kestrion:InvalidPropertyValue",
                         std::string("Invalid value for the '") + property +
                             "' property. Every element must be " + what + ".");
}

// A new Vector of the instances of the components, without references.
template <class List>
Vector* instancesOf(const List& components) {
  auto* vector = new Vector();
  for (const auto* c : components) {
    if (c->getOBI()) vector->addElement(c->getOBI());
  }
  return vector;
}

}  // namespace

// --- the class -------------------------------------------------------------------

BCompartmentOBC::BCompartmentOBC() {
  startComponentClass(*this, "Compartment", true, false);
  addProperty(new HostGuarded<ModelComponent_AnnotationPIT>());
  addProperty(new HostGuarded<ModelComponent_AnnotationFullPIT>());
  addProperty(new HostGuarded<Compartment_NamePIT>());
  addProperty(new HostGuarded<ModelComponent_IDPIT>());
  addProperty(new HostGuarded<ModelComponent_NotesPIT>());
  addProperty(new HostGuarded<ModelComponent_ParentPIT>());
  addProperty(new HostGuarded<ModelComponent_FullyQualifiedName_PIT>());
  addProperty(new HostGuarded<ModelComponent_TagPIT>());
  addProperty(new HostGuarded<Quantity_UserDataPIT>());
  addProperty(new HostGuarded<ModelComponent_TypePIT>());
  addProperty(newCapacityPropInfo());
  addProperty(newConstantCapacityPropInfo());
  addProperty(newCapacityUnitsPropInfo());
  addProperty(new HostGuarded<Compartment_SpeciesPIT>());
  addProperty(new HostGuarded<Compartment_CompartmentPIT>());
  addProperty(new HostGuarded<Compartment_OwnerPIT>());
  addProperty(newInUseCountPropInfo());
  addProperty(new HostGuarded<ModelComponent_PartiallyQualifiedNamePIT>());
  addMethod(new HostGuarded<Compartment_addSpecies_MI>());
  addMethod(new HostGuarded<Compartment_display_MI>());
  addMethod(new HostGuarded<Compartment_addCompartment_MI>());
  addMethod(new HostGuarded<Compartment_copyobj_MI>());
  addMethod(new HostGuarded<ModelComponent_copy_MI>());
  addMethod(new HostGuarded<Compartment_Reorder_MI>());
  addMethod(new HostGuarded<ModelComponent_getUsages_MI>());
  addMethod(new HostGuarded<ModelComponent_Rename_MI>());
  addMethod(new HostGuarded<BCompartment_PrivateIsValidUnit_MI>());
}

OBInterface* BCompartmentOBC::createInstance(OBDatabaseClient*, int argc, void* const argv[],
                                             OBInterface*, int) {
  auto* const* args = reinterpret_cast<qxArray* const*>(argv);
  if (argc <= 0) {
    auto* compartment = new BCompartment();
    OBInterface* instance = kstr::compartmenthost::makeInstance(compartment, this);
    qh::postObjectCreated(instance, "Compartment", "");
    return instance;
  }
  // The checks run in the order the user is told about them: the form of
  // the capacity, the name's type, the name itself, a NaN capacity, then
  // the refused "Owner" pair (all before anything exists, so a refusal
  // leaves nothing behind).
  const kstr::compartmenthost::CapacityArgument capacity =
      kstr::compartmenthost::readCapacityArgument(argc, args, 1);
  if (!qh::isText(args[0])) {
    kstr_error("Kestrion:KSTRCOMPARTMENT_INVALID_NAME",
               kstr::code(kstr::MessageCode::KS_COMPARTMENT_INVALID_NAME));
  }
  const std::string name = qxArrayToTrimmedString(args[0]);
  BCompartment::errorForInvalidNameStatic(name, nullptr);
  kstr::compartmenthost::checkCapacityValue(capacity);
  kstr::compartmenthost::checkNoOwnerPair(argc, args, capacity.pairsStart);

  auto* compartment = new BCompartment();
  OBInterface* instance = kstr::compartmenthost::makeInstance(compartment, this);
  qh::postObjectCreated(instance, "Compartment", name.c_str());
  try {
    compartment->setName(name);
    if (capacity.present) compartment->setInitialValue(capacity.value);
  } catch (...) {
    qh::discardNewInstance(instance);
    throw;
  }
  kstr::compartmenthost::applyPairsOrDiscard(instance, argc, capacity.pairsStart, args);
  return instance;
}

bool BCompartmentOBC::isOkToDestroy(OBInterface* inst) {
  if (qh::isBeingDiscarded(inst) || qh::isTreeBeingDestroyed(inst->getUp())) return true;
  if (isEnclosingModelRenaming(inst)) return false;
  const KelborComponent* component = componentOf(inst);
  if (!component) return true;
  if (OBInterface* parent = component->getOBIParent(); parent && parent->isBeingDestroyed()) {
    return true;
  }
  return static_cast<const BCompartment*>(component)->isOKToDestroy();
}

void BCompartmentOBC::destroyInstance(OBInterface* inst) {
  auto* compartment = static_cast<BCompartment*>(componentOf(inst));
  if (!compartment) return;
  const std::string name = compartment->getName();
  OBInterface* parent = compartment->getOBIParent();
  qh::postObjectDestroyed(parent, inst, compartment->getType(), name.c_str());
  KelborComponent* parentComponent = componentOf(parent);
  Kelbor* model = parentComponent && parentComponent->getEnumType() == kstr::kstrmodel
                      ? static_cast<Kelbor*>(parentComponent)
                      : nullptr;
  // The handle's place is the compartment's place among the model's.
  const int position = model && !parent->isBeingDestroyed() ? handleVectorPosition(model->heldOBICompartments(), inst) : -1;
  if (model) leaveOwnedHandleVector(parent, inst, model->heldOBICompartments());
  if (BCompartment* owner = compartment->getOwner()) {
    owner->removeCompartment(compartment);
    compartment->setOwnerField(nullptr);
  } else if (model) {
    model->removeCompartment(compartment, position);
  }
  // Members that did not take themselves out give back the references
  // the vectors hold for them.
  for (void* held : {compartment->getOBISpecies(), compartment->getOBICompartments()}) {
    if (auto* vector = static_cast<Vector*>(held)) {
      const std::vector<OBInterface*> members = vector->elements();
      clearHandleVector(vector);
      for (OBInterface* member : members) member->releaseExternalReference();
    }
  }
  compartment->releaseHandleVectors();
  qh::releaseUserData(compartment);
  inst->setComponentObject(nullptr);
  compartment->setOBI(nullptr);
  delete compartment;
}

OBClass* getCompartmentOBClass() {
  static OBClass* cls = registerHostClass(new HostGuarded<BCompartmentOBC>());
  return cls;
}

// --- Name ---------------------------------------------------------------------------

Compartment_NamePIT::Compartment_NamePIT() = default;

void Compartment_NamePIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  BCompartment* compartment = compartmentBehind(inst);
  std::string name = makeStringFromCString(static_cast<const char*>(value));
  STDStringHelpers::trimWhitespace(name);
  // Every name is checked, the current one too: in a model it is taken.
  compartment->errorForInvalidName(name, compartment->getParent());
  compartment->setName(name);
}

// --- Species --------------------------------------------------------------------------

Compartment_SpeciesPIT::Compartment_SpeciesPIT() {
  initTreeProperty(*this, "Species", "handle vector");
}

void* Compartment_SpeciesPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return instancesOf(compartmentBehind(inst)->getSpecies());
}

void Compartment_SpeciesPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  BCompartment* compartment = compartmentBehind(inst);
  const auto* given = static_cast<const Vector*>(value);
  if (!given) return;
  for (OBInterface* element : given->elements()) {
    const KelborComponent* species = componentOf(element);
    if (getKestrionObjectEnumType(element) != kstr::species ||
        (species->getParent() && species->getParent() != compartment)) {
      raiseInvalidElement("Species", "a Kestrion species object that belongs to no other compartment");
    }
  }
  for (OBInterface* element : given->elements()) {
    if (compartment->getNamedSpecies(componentOf(element)->getName())) continue;
    addSpeciesBelowCompartment(element, inst);
  }
}

void Compartment_SpeciesPIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) {
  delete static_cast<Vector*>(value);
}

// --- Compartments -----------------------------------------------------------------------

Compartment_CompartmentPIT::Compartment_CompartmentPIT() {
  initTreeProperty(*this, "Compartments", "handle vector");
}

void* Compartment_CompartmentPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return instancesOf(compartmentBehind(inst)->getCompartments());
}

void Compartment_CompartmentPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  BCompartment* compartment = compartmentBehind(inst);
  const auto* given = static_cast<const Vector*>(value);
  if (!given) return;
  std::vector<BCompartment*> added;
  for (OBInterface* element : given->elements()) {
    if (getKestrionObjectEnumType(element) != kstr::compartment) {
      raiseInvalidElement("Compartments", "a Kestrion compartment object");
    }
    auto* sub = static_cast<BCompartment*>(componentOf(element));
    if (sub->getOwner() == compartment) continue;
    if (sub->getOwner() || sub == compartment) {
      raiseInvalidElement("Compartments", "a Kestrion compartment object owned by no other compartment");
    }
    // A compartment given twice would be refused half-way through.
    if (std::find(added.begin(), added.end(), sub) != added.end()) {
      kstr_error("Kestrion:COMPARTMENT_DUPLICATE_NAME",
                 kstr::code(kstr::MessageCode::KS_COMPARTMENT_DUPLICATE_NAME));
    }
    added.push_back(sub);
  }
  kstr::compartmenthost::checkNewSubtreeNames(*compartment, added);
  for (BCompartment* sub : added) compartment->addCompartment(sub);
}

void Compartment_CompartmentPIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) {
  delete static_cast<Vector*>(value);
}

// --- Owner ---------------------------------------------------------------------------------

Compartment_OwnerPIT::Compartment_OwnerPIT() { initTreeProperty(*this, "Owner", "handle"); }

void* Compartment_OwnerPIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  const BCompartment* owner = compartmentBehind(inst)->getOwner();
  return owner ? owner->getOBI() : nullptr;
}

void Compartment_OwnerPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  BCompartment* compartment = compartmentBehind(inst);
  auto* ownerInstance = static_cast<OBInterface*>(value);
  if (ownerInstance && getKestrionObjectEnumType(ownerInstance) != kstr::compartment) {
    kstr_error("Kestrion:KS_OWNER_INVALIDTYPE_COMPARTMENT",
               kstr::code(kstr::MessageCode::KS_OWNER_INVALIDTYPE_COMPARTMENT));
  }
  compartment->setOwner(ownerInstance ? static_cast<BCompartment*>(componentOf(ownerInstance))
                                      : nullptr);
}
