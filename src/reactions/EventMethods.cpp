// The event's own host methods: display, parsetrigger, parseeventfcns,
// privategetusages and copyobj.
#include "reactions/EventMethods.hpp"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include <hb/hb.hpp>
#include <obk/OBClass.hpp>
#include <obk/OBInterface.hpp>
#include <obk/Vector.hpp>
#include <qx/qx.hpp>

#include "core/TreeWiring.hpp"
#include "host/HostHelpers.hpp"

namespace {

using kstr::ebcbinding::blankRun;
using kstr::ebcbinding::cellRowOf;
using kstr::ebcbinding::digitCount;
using kstr::ebcbinding::requireComponent;

// An n-by-1 cell with one element per event function, made by element.
template <class Element>
qxArray* cellColumnOf(const BEvent& event, size_t rows, Element element) {
  qxArray* cell = qxCreateCellMatrix(rows, 1);
  for (size_t i = 0; i < rows; ++i) qxSetCell(cell, i, element(event, i));
  return cell;
}

// True when the event holds nothing but the placeholder event function.
bool holdsOnlyPlaceholder(const BEvent& event) {
  return event.getNumTriggerFunctions() == 1 && event.getTriggerFunctionAt(0).empty();
}

}  // namespace

// --- display ------------------------------------------------------------------------------

void Event_display_MI::displayVector(int&, void*[], int nIn, void* const ins[]) {
  kstrVector<const BEvent*> events;
  const auto* vector = nIn > 0 ? static_cast<const Vector*>(ins[0]) : nullptr;
  if (vector) {
    for (const OBInterface* element : vector->elements()) {
      if (const auto* event = dynamic_cast<const BEvent*>(componentOf(element))) {
        events.push_back(event);
      }
    }
  }
  printTable(events);
}

void Event_display_MI::displayOne(int&, void*[], int nIn, void* const ins[]) {
  kstrVector<const BEvent*> events;
  if (nIn > 0) events.push_back(requireComponent<BEvent>(static_cast<const OBInterface*>(ins[0])));
  printTable(events);
}

void Event_display_MI::printTable(const kstrVector<const BEvent*>& events) const {
  kstrVector<std::string> triggers;
  long width = 8;
  for (const BEvent* event : events) {
    triggers.push_back(event->getTrigger());
    width = std::max(width, static_cast<long>(triggers.back().size()));
  }
  width = std::min(width, 100L);
  hbPrintf("\n");
  hbPrintf("%sKestrion Event Array\n\n", blankRun(3).c_str());
  hbPrintf("%s%s%s%s%s%s\n", blankRun(3).c_str(), "Index:", blankRun(4).c_str(), "Trigger:",
           blankRun(width - 4).c_str(), "EventFcns:");
  if (events.empty()) {
    hbPrintf("\n");
    return;
  }
  for (size_t k = 0; k < events.size(); ++k) {
    std::string& trigger = triggers[k];
    if (static_cast<long>(trigger.size()) > width) {
      trigger = trigger.substr(0, static_cast<size_t>(width - 3)) + "...";
    }
    const BEvent& event = *events[k];
    const std::string first = event.getTriggerFunctionAt(0);
    hbPrintf("%s%d%s%s%s%s\n", blankRun(3).c_str(), static_cast<int>(k + 1),
             blankRun(10 - digitCount(k + 1)).c_str(), trigger.c_str(),
             blankRun(width + 4 - static_cast<long>(trigger.size())).c_str(), first.c_str());
    for (uint64_t i = 1; i < event.getNumTriggerFunctions(); ++i) {
      const std::string text = event.getTriggerFunctionAt(i);
      hbPrintf("%s%s\n", blankRun(width + 17).c_str(), text.c_str());
    }
  }
  hbPrintf("\n");
}

// --- parsetrigger and parseeventfcns -----------------------------------------------------------

Event_parseTrigger_MI::Event_parseTrigger_MI() {
  setName("parsetrigger");
  addMethodSignature(new OBMethodSignature({"handle"}, {"PELLAM array"}));
}

void Event_parseTrigger_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int,
                                   void* const ins[]) {
  nOut = 1;
  std::set<std::string> tokens;
  requireComponent<BEvent>(static_cast<const OBInterface*>(ins[0]))->getTriggerTokens(tokens);
  outs[0] = cellRowOf(tokens);
}

Event_parseEventFcns_MI::Event_parseEventFcns_MI() {
  setName("parseeventfcns");
  addMethodSignature(new OBMethodSignature(
      {"handle"}, {"PELLAM array", "PELLAM array", "PELLAM array", "PELLAM array"}));
}

void Event_parseEventFcns_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int,
                                     void* const ins[]) {
  const int wanted = std::max(nOut, 1);
  nOut = wanted;
  if (wanted > 4) return;
  const BEvent& event = *requireComponent<BEvent>(static_cast<const OBInterface*>(ins[0]));
  const size_t rows = holdsOnlyPlaceholder(event) ? 0 : event.getNumTriggerFunctions();
  // Made last first, as the results are counted.
  if (wanted >= 4) {
    outs[3] = cellColumnOf(event, rows, [](const BEvent& e, size_t i) {
      return qxCreateString(e.getEventFcnRHSExprAt(i).c_str());
    });
  }
  if (wanted >= 3) {
    outs[2] = cellColumnOf(event, rows, [](const BEvent& e, size_t i) {
      return qxCreateString(e.getEventFcnLHSExprAt(i).c_str());
    });
  }
  if (wanted >= 2) {
    outs[1] = cellColumnOf(event, rows, [](const BEvent& e, size_t i) {
      std::set<std::string> tokens;
      e.getEventFcnRHSTokensAt(i, tokens);
      return cellRowOf(tokens);
    });
  }
  outs[0] = cellColumnOf(event, rows, [](const BEvent& e, size_t i) {
    std::set<std::string> tokens;
    e.getEventFcnLHSTokensAt(i, tokens);
    return cellRowOf(tokens);
  });
}

// --- privategetusages ---------------------------------------------------------------------

void Event_GetComponentUsageLocations_MI::fillUsageLocations(const BEvent& owner,
                                                             const OBInterface* used,
                                                             StringVector& out) const {
  const kstr::bcomptype kind = getKestrionObjectEnumType(used);
  if (kind != kstr::species && kind != kstr::parameter && kind != kstr::compartment) return;
  const KelborComponent* component = componentOf(used);
  if (owner.isComponentUsedInTrigger(component)) out.addElement("Trigger");
  if (owner.isComponentUsedInEventFcns(component)) out.addElement("EventFcns");
}

// --- copyobj --------------------------------------------------------------------------------

bool Event_copyobj_MI::canCopyInto(OBInterface*, OBInterface* newParent) {
  return newParent && std::strcmp(newParent->getClass()->getName(), "Model") == 0;
}

void Event_copyobj_MI::attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface*) {
  // The copy call keeps (and later gives back) the copy's creation
  // reference; the tree holds the copy from here on.
  addEventBelowModel(copy, newParent);
}
