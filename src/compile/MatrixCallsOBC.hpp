// The host class "matrixCallObj": stateless objects whose methods hand the
// model matrices, the compile order and the unit multipliers to the host
// language.
#pragma once

#include <obk/OBClass.hpp>

#include "core/KelborApi.hpp"

class KELBOR_API ksMatrixCallsOBC : public OBClass {
 public:
  ksMatrixCallsOBC();
  // An instance over a one-byte block that carries nothing.
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Frees the block.
  void destroyInstance(OBInterface* inst) override;
};

// Registers "matrixCallObj" on first call (and installs the units reader
// of the unit-system conversion service); later calls return the same
// object.
KELBOR_API OBClass* getMatrixCallsOBClass();
