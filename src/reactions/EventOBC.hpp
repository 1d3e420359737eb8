// The host class "Event": a BEvent as a scriptable object of the host
// object system, with its creation entry, destroy hook, the readers of the
// trigger and event-function arguments and the event's own properties.  Its
// methods are in EventMethods.hpp.
#pragma once

#include <string>

#include <ks_utils/kstrContainers.hpp>
#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>
#include <obk/OBPropInfo.hpp>

#include "core/KelborApi.hpp"
#include "model/MessageCatalog.hpp"

class BEvent;
struct qxArray_tag;

class KELBOR_API BEventOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  // One constructor signature (a repeating "PELLAM array"), the fifteen
  // properties and the ten methods, in their fixed order.
  BEventOBC();
  // The creation entry: () an empty event; (TRIGGER, EVENTFCNS, pairs...).
  // Raised before anything is made: one argument
  // "Kestrion:KSTREVENT_INVALIDSYNTAX_NO_EVENTFCNS", the trigger errors of
  // readTriggerText and the event-function errors of readEventFcnTexts (in
  // their "Invalid syntax." wording).  Failing pairs destroy the new
  // instance and raise "Kestrion:KSTR_INVALID_PVPAIR".  The event is made
  // outside any model.
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Refuses while a rename runs through the event's model (the rename
  // rewrites the event's expressions), like the other components' guards.
  bool isOkToDestroy(OBInterface* inst) override;
  // Takes the event out of its model, tells the desktop, releases its
  // UserData and deletes it.
  void destroyInstance(OBInterface* inst) override;
};

// Registers the type "QuorvixTriggerTypeEnumType" when it is missing, then
// "Event" on first call; later calls return the same class object.
KELBOR_API OBClass* getEventOBClass();

// Takes the event behind the instance out of its model: the model's event
// handle vector (giving back its reference), the model's list and its
// listeners; the model is marked for recompilation.  Nothing for an event
// in no model.
KELBOR_API void removeEventFromModel(OBInterface* instance);

// The trigger text of an argument, trimmed of white space.  Absent, empty,
// not a character vector or blank: "Kestrion:INVALID_EVENT_TRIGGER" with the
// catalog text of message.
KELBOR_API std::string readTriggerText(const qxArray_tag* array, kstr::MessageCode message);
// The event-function texts of an argument (each trimmed): a character array
// gives one text, a row or column cell of character arrays one per element,
// an empty cell none.  Errors, with the "Invalid syntax." wording when
// creating and the property wording otherwise:
// "Kestrion:INVALID_EVENT_EVENTFCNS_TYPE" (another kind of array, or a cell
// element that is absent or no text), "Kestrion:INVALID_EVENT_EVENTFCNS_DIM"
// (a cell that is no vector), "Kestrion:INVALID_EVENT_EMPTY_EVENTFCNS" (a
// blank text), "Kestrion:INVALID_EVENT_EMPTY_EVENTFCNS_EL" (a blank element).
KELBOR_API kstrVector<std::string> readEventFcnTexts(const qxArray_tag* array, bool creating);
// Reads and sets the trigger, then marks the model; a refused argument
// leaves the event as it was.
KELBOR_API void setTriggerFromArray(const qxArray_tag* array, BEvent* event,
                                    kstr::MessageCode message);
KELBOR_API void setTriggerFromString(const char* text, BEvent* event, kstr::MessageCode message);
// Reads and sets the event functions, then marks the model; a refused
// argument leaves the event as it was.
KELBOR_API void setEventFcnsFromArray(const qxArray_tag* array, BEvent* event, bool creating);

// "EventFcns" ("PELLAM array", settable): an n-by-1 cell of the texts of the
// event functions that are not empty (a new array that release destroys);
// a set takes a text or a cell of texts (setEventFcnsFromArray).
class KELBOR_API Event_TriggerFunctionPIT : public OBPropInfoTemplate {
 public:
  Event_TriggerFunctionPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  bool canContainOBInterfaces() const override { return false; }
};

// "Trigger" ("string", settable): the trigger text (a new hbStrdup copy); a
// set refuses a null or blank text ("Kestrion:INVALID_EVENT_TRIGGER", the
// old trigger stays) and otherwise sets the trimmed text.  The engine's own
// client may set the empty text on an event whose trigger is empty (what
// copying such an event does); nothing changes then.
class KELBOR_API Event_TriggerConditionPIT : public OBPropInfoTemplate {
 public:
  Event_TriggerConditionPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "TriggerDelay" ("double", set by the engine only): the stored delay,
// borrowed.  A set refuses a value below 0
// ("Kestrion:TRIGGERDELAY_INVALIDVALUE") and NaN
// ("Kestrion:EVENT_INVALID_TRIGGERDELAY"); infinity and -0 pass.
class KELBOR_API Event_TriggerDelayPIT : public OBPropInfoTemplate {
 public:
  Event_TriggerDelayPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "TriggerDelayUnits" ("string", set by the engine only): the stored units,
// borrowed.  A set stores the text and always warns
// "Kestrion:FEATURE_NOT_IMPLEMENTED_FOR_ALPHA".
class KELBOR_API Event_TriggerDelayUnitsPIT : public OBPropInfoTemplate {
 public:
  Event_TriggerDelayUnitsPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};
