#include "quantities/CompartmentCreation.hpp"

#include <cmath>
#include <set>
#include <string>

#include <ks_utils/Errors.hpp>

#include "core/PropertyValuePairs.hpp"
#include "host/Host.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/QuantityHostSupport.hpp"

namespace kstr::compartmenthost {

namespace qh = kstr::quantityhost;

CapacityArgument readCapacityArgument(int argc, qxArray* const args[], int index) {
  CapacityArgument result;
  result.pairsStart = index;
  if (index >= argc || !args[index] || !qxIsDouble(args[index])) return result;
  const qxArray* a = args[index];
  const double value = qh::isScalarDouble(a) ? qxGetScalar(a) : -1.0;
  // NaN is neither negative nor infinite: it is taken as the capacity and
  // refused by checkCapacityValue, as storing it would refuse it.
  if (value < 0.0 || std::isinf(value)) {
    kstr_error("Kestrion:INVALID_CAPACITY",
               kstr::code(kstr::MessageCode::KS_COMPARTMENT_INVALIDCAPACITY));
  }
  result.present = true;
  result.value = value;
  result.pairsStart = index + 1;
  return result;
}

void checkCapacityValue(const CapacityArgument& capacity) {
  if (capacity.present && std::isnan(capacity.value)) {
    kstr_error("Kestrion:COMPARTMENT_INVALID_CAPACITY",
               kstr::code(kstr::MessageCode::KS_COMPARTMENT_INVALIDCAPACITY));
  }
}

void checkNoOwnerPair(int argc, qxArray* const args[], int first) {
  if (qh::findPropertyName(argc, args, first, "Owner")) {
    kstr_error_str("Kestrion:KSTR_INVALID_PVPAIR",
                   kstr::code(kstr::MessageCode::KS_INVALID_PVPAIR_MSG),
                   "Owner property cannot be set from ADDCOMPARTMENT");
  }
}

OBInterface* makeInstance(BCompartment* compartment, OBClass* cls) {
  OBInterface* instance = nullptr;
  try {
    instance = new OBInterface(static_cast<KelborComponent*>(compartment), cls);
  } catch (...) {
    // A new sub-compartment is already in its owner's list: it leaves it.
    if (BCompartment* owner = compartment->getOwner()) {
      owner->discardNewCompartment(compartment);
    } else {
      compartment->releaseHandleVectors();
      delete compartment;
    }
    throw;
  }
  compartment->setOBI(instance);
  instance->activate();
  return instance;
}

namespace {

using kstr::quantityhost::raise;

bool ownsThroughChain(const BCompartment& owner, const BCompartment* sub) {
  for (const BCompartment* c = &owner; c; c = c->getOwner()) {
    if (c == sub) return true;
  }
  return false;
}

}  // namespace

void checkNewSubtreeNames(const BCompartment& owner, const std::vector<BCompartment*>& subs) {
  const KelborComponent* parent = owner.getParent();
  const Kelbor* model = parent && parent->getEnumType() == kstr::kstrmodel
                            ? static_cast<const Kelbor*>(parent)
                            : nullptr;
  kstrVector<const char*> names;
  for (const BCompartment* sub : subs) {
    if (ownsThroughChain(owner, sub)) {
      raise("Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT",
            kstr::MessageCode::KS_COMPARTMENT_INVALID_OWNER_DESCENDANT);
    }
    if (sub->getParent() && sub->getParent() != model) {
      raise("Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL",
            kstr::MessageCode::KS_COMPARTMENT_INVALID_OWNER_SAME_MODEL);
    }
    if (sub->getParent()) continue;  // moves within the model: its names are its own
    names.push_back(sub->getName().c_str());
    sub->getNamesInTree(names);
  }
  if (model) BCompartment::checkNamesCanJoin(names, *model, "Kestrion:COMPARTMENT_DUPLICATE_NAME");
}

}  // namespace kstr::compartmenthost
