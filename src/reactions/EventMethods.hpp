// The methods of the host class "Event" that are the event's own: display,
// parsetrigger, parseeventfcns, privategetusages and copyobj ("copy",
// "help", "resolveobject" are shared method infos; "verifytrigger" and
// "verifyeventfcns" are bound in EventOBC.cpp).
#pragma once

#include <obk/OBMethodInfo.hpp>

#include "core/ComponentCopy.hpp"
#include "core/KelborApi.hpp"
#include "core/ModelComponentMethods.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/ExpressionComponentBindings.hpp"

// "display" of one event or an array: the table "Kestrion Event Array" with
// an "Index:" column ten characters wide, the triggers in a column as wide
// as the longest (at least 8, at most 100; longer ones are cut and end in
// "..."), the first event function beside its trigger and each further one
// on a line of its own.
class KELBOR_API Event_display_MI : public ModelComponent_display_MI {
 public:
  void displayVector(int& nOut, void* outs[], int nIn, void* const ins[]) override;
  void displayOne(int& nOut, void* outs[], int nIn, void* const ins[]) override;

 private:
  void printTable(const kstrVector<const BEvent*>& events) const;
};

// "parsetrigger" (event) -> a 1-by-n cell of the trigger's tokens (host
// function names left out) in sorted order.
class KELBOR_API Event_parseTrigger_MI : public OBMethodInfo {
 public:
  Event_parseTrigger_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "parseeventfcns" (event) -> up to four n-by-1 cells, one row per event
// function: the left-hand tokens (each a 1-by-k cell in sorted order), the
// right-hand tokens, the left-hand texts, the right-hand texts.  An event
// holding only the placeholder gives 0-by-1 cells; more than four results
// asked for give none.
class KELBOR_API Event_parseEventFcns_MI : public OBMethodInfo {
 public:
  Event_parseEventFcns_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "privategetusages" (event, component): "Trigger" when the trigger uses
// the species, parameter or compartment, then "EventFcns" when an event
// function does; nothing for other components.
class KELBOR_API Event_GetComponentUsageLocations_MI
    : public ExpressionBasedComponent_GetComponentUsageLocations_MI<BEvent> {
 public:
  void fillUsageLocations(const BEvent& owner, const OBInterface* used,
                          StringVector& out) const override;
};

// "copyobj": an event may be copied into a model (a target of the class
// "Model"); the copy goes below it and its handle stays valid for the
// caller.
class KELBOR_API Event_copyobj_MI : public ModelComponent_copyobj_MI {
 public:
  bool canCopyInto(OBInterface* obj, OBInterface* newParent) override;
  void attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface* source) override;
};
