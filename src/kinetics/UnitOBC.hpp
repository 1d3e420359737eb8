// The host class "Unit": units of the unit manager as host objects, with
// their guarded properties, display, construction and deletion rules, and
// the listeners that keep the library file and the user units in step.
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>

#include "core/KelborApi.hpp"

class KELBOR_API BUnitWrapperOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  BUnitWrapperOBC();
  // (name [, composition [, multiplier [, offset]]] [, pairs...]); see
  // applyUnitConstructorArguments in the .cpp for where the pairs begin.
  // Bad positional arguments raise before anything exists
  // ("Kestrion:UnitNameNotString", "Kestrion:UnitCompositionNotString",
  // "Kestrion:UnitMultiplierNotNumeric", "Kestrion:UnitMultiplierBadSize",
  // "Kestrion:UnitOffsetNotNumeric", "Kestrion:UnitOffsetBadSize", and the
  // unit object's refusals of a multiplier of 0, NaN or Inf and of a
  // non-finite offset); a refused pair destroys the new instance and raises
  // "Kestrion:KSTR_INVALID_PVPAIR".
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Refuses ("Kestrion:UnitInUserLibraryCannotBeRemoved") while a library
  // holds a unit of its name.
  bool isOkToDestroy(OBInterface* inst) override;
  // Takes the wrapper out of any library list and deletes it, and its unit
  // object when the unit manager does not hold that.
  void destroyInstance(OBInterface* inst) override;
};

// Registers "Unit" on first call (subscribing to the unit manager's
// unregistrations, and giving the built-in units instances below the
// root's); later calls return it.
KELBOR_API OBClass* getUnitOBClass();
