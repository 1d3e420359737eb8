// The host class "Root": the one host instance of the root object, its
// properties (models, libraries, temporary folder) and its methods (getroot,
// display, reset, delete, addtolibrary, removefromlibrary, help, copy,
// copyobj).
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>

#include "core/KelborApi.hpp"

class BAbstractKineticLaw;
class OBInterface;

class KELBOR_API BQuorvixRootOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  BQuorvixRootOBC();
  // A new reference to the one root instance; arguments are ignored.  Null
  // when the root instance does not exist (before getRootOBClass made it,
  // or after it was destroyed).
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Deletes the root object behind an instance of "Root" and forgets it, so
  // that BQuorvixRoot::getInstance and getOBIRoot no longer hand it out; the
  // process's own reference on the instance is given back.
  void destroyInstance(OBInterface* inst) override;
};

// Registers "Root" on first call: the class, the root object, the host
// instances of both libraries (while the class "Library" is registered;
// otherwise on the first read of a library property) and the root's own
// host instance, with the builtin units and unit prefixes below it.
KELBOR_API OBClass* getRootOBClass();

// Removes a user-library abstract kinetic law (its instance may be null).
// Warnings, with the libraries unchanged: "Kestrion:AKLDoesNotExistInUser"
// (no law of that name, or another object under it),
// "Kestrion:AKLInBuiltInCannotBeRemoved", "Kestrion:AKLInUse".
KELBOR_API void removeAbstractKineticLawFromLibrary(BAbstractKineticLaw* law, OBInterface* lawInstance);
