// The compartment's own host methods: addspecies, addcompartment, display,
// reorder and the capacity-unit test.
#include <cstring>
#include <string>

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>

#include "core/Application.hpp"
#include "core/TreeWiring.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"
#include "quantities/CompartmentCreation.hpp"
#include "quantities/CompartmentOBC.hpp"
#include "quantities/QuantityHostSupport.hpp"
#include "quantities/SpeciesOBC.hpp"

namespace qh = kstr::quantityhost;

namespace {

using kstr::quantityhost::raise;

OBMethodSignature* addSignature() {
  auto* signature = new OBMethodSignature();
  signature->addArgument("handle");
  signature->addArgument("PELLAM array", true);
  signature->addOutput("handle");
  return signature;
}

// The host arrays after the object argument.
qxArray* const* hostArgs(void* const ins[]) { return reinterpret_cast<qxArray* const*>(ins + 1); }

BCompartment* compartmentOf(OBInterface* instance) {
  KelborComponent* c = componentOf(instance);
  return c && c->getEnumType() == kstr::compartment ? static_cast<BCompartment*>(c) : nullptr;
}

OBClass* speciesClass() {
  OBClass* cls = GetQuorvApplication()->findClass("Species");
  return cls ? cls : getSpeciesOBClass();
}

}  // namespace

// --- addspecies ----------------------------------------------------------------

Compartment_addSpecies_MI::Compartment_addSpecies_MI() {
  setName("addspecies");
  addMethodSignature(addSignature());
}

void Compartment_addSpecies_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int nIn,
                                       void* const ins[]) {
  auto* compartmentInstance = static_cast<OBInterface*>(ins[0]);
  if (nIn < 2) raise("Kestrion:ADDSPECIES_TOOFEWARGS", kstr::MessageCode::KS_ADDSPECIES_TOOFEWARGS);
  nOut = 1;
  const char* type = getKestrionObjectType(compartmentInstance);
  BCompartment* compartment = compartmentOf(compartmentInstance);
  if (!type || std::strcmp(type, "compartment") != 0 || !compartment) {
    raise("Kestrion:ADDSPECIES_INVALID_FIRSTARG", kstr::MessageCode::KS_ADDSPECIES_INVALID_FIRSTARG);
  }
  qxArray* const* args = hostArgs(ins);
  const std::string name = qh::isText(args[0]) ? qxArrayToTrimmedString(args[0]) : std::string();
  if (name.empty()) {
    raise("Kestrion:ADDSPECIES_INVALIDNAME", kstr::MessageCode::KS_ADDSPECIES_INVALIDNAME);
  }
  if (compartment->isSpeciesNameInUse(name)) {
    raise("Kestrion:ADDSPECIES_DUPLICATENAME", kstr::MessageCode::KS_ADDSPECIES_DUPLICATENAME);
  }
  OBInterface* species = speciesClass()->createObject(OBDatabaseClient::getInternalClient(),
                                                      compartmentInstance, nIn - 1, args);
  if (!species) raise("Kestrion:ADDSPECIES_ERROR", kstr::MessageCode::KS_ADDSPECIES_ERROR);
  try {
    addSpeciesBelowCompartment(species, compartmentInstance);
  } catch (...) {
    qh::discardNewInstance(species);
    throw;
  }
  // The output is lent: the host takes its own reference when it hands the
  // handle out, and the tree keeps the species alive.
  outs[0] = species;
  species->releaseReference();
}

// --- addcompartment ---------------------------------------------------------------

Compartment_addCompartment_MI::Compartment_addCompartment_MI() {
  setName("addcompartment");
  addMethodSignature(addSignature());
}

void Compartment_addCompartment_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int nIn,
                                           void* const ins[]) {
  namespace ch = kstr::compartmenthost;
  auto* ownerInstance = static_cast<OBInterface*>(ins[0]);
  if (nIn < 2) {
    raise("Kestrion:ADDCOMPARTMENT_TOO_FEW_ARGS",
          kstr::MessageCode::KS_COMPARTMENT_ADDCOMPARTMENT_TOO_FEW_ARGS);
  }
  nOut = 1;
  BCompartment* owner = compartmentOf(ownerInstance);
  if (!owner) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  qxArray* const* args = hostArgs(ins);
  const int argc = nIn - 1;
  if (!qh::isText(args[0])) {
    raise("Kestrion:COMPARTMENT_INVALID_NAME", kstr::MessageCode::KS_COMPARTMENT_INVALID_NAME);
  }
  // Everything that can be refused without the new compartment is checked
  // before it is made, in the order the user is told about it: the name
  // (as BCompartment::addCompartment checks it), the capacity, then the
  // refused "Owner" pair.
  std::string name = qxArrayToStdString(args[0]);
  std::string trimmed = name;
  STDStringHelpers::trimWhitespace(trimmed);
  BCompartment::errorForInvalidNameStatic(trimmed, owner->getParent());
  const ch::CapacityArgument capacity = ch::readCapacityArgument(argc, args, 1);
  ch::checkCapacityValue(capacity);
  ch::checkNoOwnerPair(argc, args, capacity.pairsStart);
  BCompartment* sub = owner->addCompartment(name);
  OBInterface* instance = ch::makeInstance(sub, getCompartmentOBClass());
  try {
    if (capacity.present) sub->setInitialValue(capacity.value);
  } catch (...) {
    qh::discardNewInstance(instance);
    throw;
  }
  ch::applyPairsOrDiscard(instance, argc, capacity.pairsStart, args);
  try {
    addCompartmentBelowCompartment(instance, ownerInstance);
  } catch (...) {
    qh::discardNewInstance(instance);
    throw;
  }
  outs[0] = instance;
  instance->releaseReference();
}

// --- display ------------------------------------------------------------------------

void Compartment_display_MI::displayOne(int&, void*[], int, void* const ins[]) {
  if (BCompartment* compartment = compartmentOf(static_cast<OBInterface*>(ins[0]))) {
    compartment->display();
  }
}

void Compartment_display_MI::displayVector(int&, void*[], int, void* const ins[]) {
  BCompartment::CompartmentList list;
  if (const auto* given = static_cast<const Vector*>(ins[0])) {
    for (OBInterface* element : given->elements()) {
      if (BCompartment* compartment = compartmentOf(element)) list.push_back(compartment);
    }
  }
  BCompartment::display(&list);
}

// --- reorder ------------------------------------------------------------------------

namespace {

const char* classNameOfFirst(const Vector* order) {
  OBInterface* first = order && order->size() > 0 ? order->elementAt(0) : nullptr;
  if (!first || getKestrionObjectEnumType(first) == kstr::not_a_component) return nullptr;
  return first->getClass()->getName();
}

// The same members in the new order, keeping the references the old
// vector's entries hold.
Vector* reorderedVector(const Vector& order) {
  auto* fresh = newHandleVector();
  for (OBInterface* element : order.elements()) appendToHandleVector(element, fresh);
  return fresh;
}

}  // namespace

void Compartment_Reorder_MI::invoke(OBMethodSignature*, int&, void*[], int, void* const ins[]) {
  BCompartment* compartment = compartmentOf(static_cast<OBInterface*>(ins[0]));
  const auto* order = static_cast<const Vector*>(ins[1]);
  const char* className = classNameOfFirst(order);
  if (!compartment || !className) {
    throw ErrorIdException("Kestrion:AmbiguousOrInvalidReorder",
                           "When reordering, there must be one or more Kestrion components.");
  }
  const bool species = std::strcmp(className, "Species") == 0;
  if (!species && std::strcmp(className, "Compartment") != 0) {
    throw ErrorIdException("Kestrion:InvalidReorderTarget", "Invalid object type for reorder.");
  }
  auto* current = static_cast<Vector*>(species ? compartment->getOBISpecies()
                                               : compartment->getOBICompartments());
  if (!haveSameMembers(order, current)) throwInvalidReorder();
  if (species) {
    BCompartment::SpeciesList list;
    for (OBInterface* element : order->elements()) {
      list.push_back(static_cast<BSpecies*>(componentOf(element)));
    }
    compartment->reorderSpecies(list);
    compartment->setOBISpecies(reorderedVector(*order));
  } else {
    BCompartment::CompartmentList list;
    for (OBInterface* element : order->elements()) list.push_back(compartmentOf(element));
    compartment->reorderCompartments(list);
    compartment->setOBICompartments(reorderedVector(*order));
  }
  deleteHandleVector(current);
}

// --- privateisvalidunit ------------------------------------------------------------------

bool BCompartment_PrivateIsValidUnit_MI::isValidUnit(const std::string& units) {
  try {
    BCompartment::verifyUnitsStatic(units);
    return true;
  } catch (const ErrorIdException&) {
    return false;
  }
}
