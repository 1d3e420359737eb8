// The host class "Reaction": a BReaction as a scriptable object of the host
// object system.  Its properties are in ReactionProperties.hpp, its own
// methods in ReactionMethods.hpp.
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>

#include "core/KelborApi.hpp"

class KELBOR_API BReactionOBC : public OBClass,
                                public OBListenerManagerHost,
                                public OBEventSource {
 public:
  // Name and optional superclass (none for reactions); one constructor
  // signature (a repeating "PELLAM array"), the nineteen properties and the
  // thirteen methods of the class, in their fixed order.
  BReactionOBC(const char* name, OBClass* superClass);

  // Makes a reaction ("null -> null", no rate) and its instance, outside any
  // model.  The values given to the host constructor are not applied: the
  // model's "addreaction" is the path that takes arguments.
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Takes the reaction out of its model (handle vector, list, listeners;
  // the model is marked for recompilation), tells the desktop, releases its
  // UserData and deletes it.
  void destroyInstance(OBInterface* inst) override;
  // Refuses while a rename runs through the reaction's model.
  bool isOkToDestroy(OBInterface* inst) override;
};

// Registers "Reaction" on first call; later calls return the same class
// object.
KELBOR_API OBClass* getReactionOBClass();
