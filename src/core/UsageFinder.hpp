#pragma once

#include "core/KelborApi.hpp"

class KelborComponent;
class Vector;

// Appends, with one reference each, the host handles of the reactions,
// rules and events whose expressions use the component.  Unsorted: in the
// model's listener order.  Sorted: reactions, then rules, then events, each
// kind in the order of the model's handle vector (then by address); other
// listeners are left out.  Nothing for a component outside a model.
KELBOR_API void collectListenerUsages(Vector* result, const KelborComponent* component,
                                      bool sorted);
// Appends, with one reference each, the host handles of the model's
// variants, then doses, that refer to the component.
KELBOR_API void collectComponentUsages(Vector* result, const KelborComponent* component);
