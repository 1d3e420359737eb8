// Steps shared by the compartment's creation entry and its "addcompartment"
// method: the optional capacity argument, the refused "Owner" pair, the
// new instance and the property/value pairs; and the name check of
// compartments that a "Compartments" set brings into a model.
#pragma once

#include <vector>

#include "quantities/QuantityHostSupport.hpp"

class BCompartment;
class OBClass;
class OBInterface;
struct qxArray_tag;

namespace kstr::compartmenthost {

struct CapacityArgument {
  bool present = false;
  double value = 0.0;
  // Index of the first property/value argument.
  int pairsStart = 0;
};

// Examines args[index] (when index < argc): a 1-by-1 double that is
// neither negative nor infinite (NaN included) is the capacity and the
// pairs start after it; any other double array raises
// "Kestrion:INVALID_CAPACITY"; anything else starts the pairs.
CapacityArgument readCapacityArgument(int argc, qxArray_tag* const args[], int index);
// The capacity's own check, which storing it would run: a NaN capacity
// raises "Kestrion:COMPARTMENT_INVALID_CAPACITY".  Callers run it before
// the compartment is made, at the point where it would be stored.
void checkCapacityValue(const CapacityArgument& capacity);
// Raises "Kestrion:KSTR_INVALID_PVPAIR" with "Owner property cannot be set
// from ADDCOMPARTMENT" when args[first..argc-1] name the property "Owner".
void checkNoOwnerPair(int argc, qxArray_tag* const args[], int first);
// A new, active instance of the class over the compartment, stored in it.
OBInterface* makeInstance(BCompartment* compartment, OBClass* cls);
// Applies args[first..argc-1]; when that fails the instance is discarded
// and "Kestrion:KSTR_INVALID_PVPAIR" raised with the host's text.
using kstr::quantityhost::applyPairsOrDiscard;
// The checks BCompartment::addCompartment runs for each of subs, done for
// all of them before the first is added: a sub of another model
// ("Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL"), the owner itself or
// one of its owners ("Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT"), and
// in a model, a name of a free sub's tree that the model uses or that
// occurs twice among them ("Kestrion:COMPARTMENT_DUPLICATE_NAME").
void checkNewSubtreeNames(const BCompartment& owner, const std::vector<BCompartment*>& subs);

}  // namespace kstr::compartmenthost
