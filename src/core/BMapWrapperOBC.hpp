// The host class "BMapWrapper": the map object's class-definition object.
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>

#include "core/KelborApi.hpp"

// Class "BMapWrapper", no superclass, one constructor without arguments,
// methods "insert", "find", "removeElement" and "getNumElements".  Both
// class queries answer false.  Construction arguments are ignored (the
// host's constructor matching admits none).
class KELBOR_API BMapWrapperOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  BMapWrapperOBC();
  // A new empty map and its instance (one reference, the caller's).
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Destroys every stored array and the map; the instance keeps no
  // component.  An instance without a map is left alone.
  void destroyInstance(OBInterface* inst) override;
};

// Registers "BMapWrapper" on first call; later calls return the same class
// object.
KELBOR_API OBClass* getBMapWrapperOBClass();
