// The host class "UnitPrefix": unit prefixes of the unit manager as host
// objects, shaped like "Unit".
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>

#include "core/KelborApi.hpp"

class KELBOR_API BUnitPrefixWrapperOBC : public OBClass,
                                         public OBListenerManagerHost,
                                         public OBEventSource {
 public:
  BUnitPrefixWrapperOBC();
  // (name [, exponent] [, pairs...]).  Errors as for units:
  // "Kestrion:UnitPrefixNameNotString", "Kestrion:UnitPrefixExponentNotNumeric",
  // "Kestrion:UnitPrefixExponentBadSize", "Kestrion:UNITPREFIXEXPONENT_NOT_NUMERIC"
  // (not finite or outside int range), "Kestrion:KSTR_INVALID_PVPAIR".
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Refuses ("Kestrion:UnitPrefixInUserLibraryCannotBeRemoved") while a
  // library holds a prefix of its name.
  bool isOkToDestroy(OBInterface* inst) override;
  void destroyInstance(OBInterface* inst) override;
};

KELBOR_API OBClass* getUnitPrefixOBClass();
