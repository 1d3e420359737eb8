#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>

#include "core/KelborApi.hpp"

// The abstract host class "ModelComponent": the properties every component
// shares.  It cannot be instantiated.
class KELBOR_API KelborComponentOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  KelborComponentOBC(const char* name, OBClass* superClass);
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  bool canBeConstructed() const override { return false; }
  void destroyInstance(OBInterface* inst) override;
};

// Registers "ModelComponent" on first call; later calls return the same
// class object.
KELBOR_API OBClass* getModelComponentOBClass();
