// The host class "AbstractKineticLaw": rate-law templates as host objects,
// their guarded properties, display, parsed variables and registration in
// the root's libraries.
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>

#include "core/KelborApi.hpp"

class KELBOR_API BAbstractKineticLawOBC : public OBClass,
                                          public OBListenerManagerHost,
                                          public OBEventSource {
 public:
  BAbstractKineticLawOBC(const char* name, OBClass* superClass);
  // () makes a bare law; (name [, expression [, pairs...]]) names it.  An
  // empty or all-space name raises "Kestrion:BadAKLName" before anything is
  // made; a refused pair destroys the new instance and raises
  // "Kestrion:QUORV_INVALID_PVPAIR".  The new law is in no library.
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Refuses, with a warning, a built-in entry ("Kestrion:DeleteBuiltinAKLNotAllowed"),
  // a user-library entry ("Kestrion:AKLInUserLibraryCannotBeRemoved") and a
  // law that kinetic laws use ("Kestrion:AKLInUse"); passes while the tree
  // around it is being destroyed.
  bool isOkToDestroy(OBInterface* inst) override;
  // Takes the law out of its library and deletes it.
  void destroyInstance(OBInterface* inst) override;
};

// Registers "AbstractKineticLaw" on first call; later calls return it.
KELBOR_API OBClass* getAbstractKineticLawOBClass();
