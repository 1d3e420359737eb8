#include "core/UsageFinder.hpp"

#include <algorithm>
#include <cstring>
#include <tuple>

#include <obk/obk.hpp>

#include "core/KelborComponent.hpp"
#include "expressions/ExpressionBasedComponent.hpp"
#include "model/Kelbor.hpp"

namespace {

Kelbor* modelOf(const KelborComponent* component) {
  auto data = component->getModelGlobalData();
  return data && !data->beingDestroyed ? data->model : nullptr;
}

void appendWithReference(Vector* result, OBInterface* handle) {
  if (!handle) return;
  handle->getReference();
  result->addElement(handle);
}

// The handle's place in the model's handle vector of its kind (as held: its
// index answers without bringing the elements up to date).  For a Vector
// the engine did not make, the model's own list of that kind has the same
// order and its index answers at once; that vector is searched only when
// the two disagree.
int positionIn(const Kelbor& model, const Vector* vector, const KelborComponent* listener,
               const OBInterface* handle) {
  if (!vector) return -1;
  if (indexedHandleVector(vector)) return handleVectorPosition(vector, handle);
  const int position = model.getListPosition(listener);
  if (position >= 0 && vector->elementAt(position) == handle) return position;
  return vector->indexOf(handle);
}

}  // namespace

void collectListenerUsages(Vector* result, const KelborComponent* component, bool sorted) {
  Kelbor* model = modelOf(component);
  if (!model) return;
  std::vector<const ExpressionBasedComponent*> listeners = model->getComponentListeners(component);
  if (!sorted) {
    for (const ExpressionBasedComponent* listener : listeners) {
      appendWithReference(result, listener->getOBI());
    }
    return;
  }
  // (kind rank, position in the model's vector, address) of each listener.
  std::vector<std::tuple<int, int, OBInterface*>> order;
  for (const ExpressionBasedComponent* listener : listeners) {
    OBInterface* handle = listener->getOBI();
    if (!handle) continue;
    const char* cls = handle->getClass()->getName();
    if (std::strcmp(cls, "Reaction") == 0) {
      order.emplace_back(0, positionIn(*model, model->heldOBIReactions(), listener, handle), handle);
    } else if (std::strcmp(cls, "Rule") == 0) {
      order.emplace_back(1, positionIn(*model, model->heldOBIRules(), listener, handle), handle);
    } else if (std::strcmp(cls, "Event") == 0) {
      order.emplace_back(2, positionIn(*model, model->heldOBIEvents(), listener, handle), handle);
    }
  }
  std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    if (std::get<0>(a) != std::get<0>(b)) return std::get<0>(a) < std::get<0>(b);
    if (std::get<1>(a) != std::get<1>(b)) return std::get<1>(a) < std::get<1>(b);
    return std::less<OBInterface*>()(std::get<2>(a), std::get<2>(b));
  });
  for (const auto& entry : order) appendWithReference(result, std::get<2>(entry));
}

void collectComponentUsages(Vector* result, const KelborComponent* component) {
  Kelbor* model = modelOf(component);
  if (!model) return;
  for (const KelborComponent* user : model->getComponentReferences(component)) {
    appendWithReference(result, user->getOBI());
  }
}
