// The host class "Library": a library's units, unit prefixes and abstract
// kinetic laws as three read-only handle vectors, and its summary display.
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>

#include "core/KelborApi.hpp"

class KELBOR_API BLibraryOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  BLibraryOBC();
  // A new empty library with its instance.
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Warns "Kestrion:LibraryCannotBeDeleted" and refuses.
  bool isOkToDestroy(OBInterface* inst) override;
  // Frees the library record (never its components).
  void destroyInstance(OBInterface* inst) override;
};

// Registers "Library" on first call; later calls return it.
KELBOR_API OBClass* getLibraryOBClass();
