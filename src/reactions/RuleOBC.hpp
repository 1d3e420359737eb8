// The host class "Rule": a BRule as a scriptable object of the host object
// system, with its creation entry, destroy hook and the rule's own
// properties.  Its methods are in RuleMethods.hpp.
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>
#include <obk/OBPropInfo.hpp>

#include "core/KelborApi.hpp"

class BRule;
struct qxArray_tag;

class KELBOR_API BRuleOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  // One constructor signature (a repeating "PELLAM array"), the thirteen
  // properties and the eight methods, in their fixed order.
  BRuleOBC();
  // The creation entry: () an empty algebraic rule; (RULE), (RULE, TYPE),
  // (RULE, TYPE, pairs...) or (RULE, pairs...) when the second of three or
  // more arguments is no rule-type name.  Raised before anything is made:
  // "Kestrion:KSTRRULE_INVALID_FIRSTARG" (RULE not text),
  // "Kestrion:KSTRRULE_RULE_INVALIDVALUE" (RULE empty),
  // "Kestrion:KSTRRULE_INVALID_SECONDARG" (two arguments, the second no
  // rule-type name).  Failing pairs destroy the new instance and raise
  // "Kestrion:KSTR_INVALID_PVPAIR".  The rule is made outside any model.
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Refuses while a rename runs through the rule's model (the rename
  // rewrites the rule's expressions), like the other components' guards.
  bool isOkToDestroy(OBInterface* inst) override;
  // Takes the rule out of its model (handle vector, list, listeners; the
  // model is marked), tells the desktop, releases its UserData and deletes
  // it.
  void destroyInstance(OBInterface* inst) override;
};

// Registers the type "QuorvixRuleTypeEnumType" (once), then "Rule" on first
// call; later calls return the same class object.
KELBOR_API OBClass* getRuleOBClass();
// Registers the enumerated type of "RuleType" when it is missing.
KELBOR_API void registerRuleTypeEnum();

// Takes the rule behind the instance out of its model: the model's rule
// handle vector (giving back its reference), the model's list and its
// listeners; the model is marked for recompilation.  Nothing for a rule in
// no model.
KELBOR_API void removeRuleFromModel(OBInterface* instance);

// True for a character array whose text names a value of
// "QuorvixRuleTypeEnumType" (ignoring case).
KELBOR_API bool isRuleTypeName(const qxArray_tag* array);
// The value the array's text names; false when it names none.
KELBOR_API bool ruleTypeFromArray(const qxArray_tag* array, int& type);

// "Rule" ("string", settable): the whole text (a new hbStrdup copy).  A set
// replaces the text (BRule::setRule; an empty text raises
// "Kestrion:KSTRRULE_RULE_INVALIDVALUE" and keeps the old one) and posts
// the post-set event of "Rule".  The engine's own client may set the empty
// text on a rule whose text is empty (what copying such a rule does);
// nothing changes then.
class KELBOR_API Rule_RulePIT : public OBPropInfoTemplate {
 public:
  Rule_RulePIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "RuleType" ("QuorvixRuleTypeEnumType", settable): the stored value,
// borrowed; a set stores the value the host converted from the name
// ("assignment" warns and stores initialAssignment).
class KELBOR_API Rule_RuleTypePIT : public OBPropInfoTemplate {
 public:
  Rule_RuleTypePIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};
