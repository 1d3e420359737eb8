// The host classes "Dose" (abstract), "ScheduleDose" and "RepeatDose":
// class objects with their property tables, creation entries and destroy
// hooks.
#pragma once

#include <obk/OBClass.hpp>

#include "core/KelborApi.hpp"

class Dose;

// The abstract class: the properties and methods every dose has; it makes
// no instance.
class KELBOR_API DoseOBC : public OBClass {
 public:
  DoseOBC();
  bool canBeConstructed() const override { return false; }
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[], OBInterface* creator,
                              int mode) override;
  // Leaves the model the instance sits below, releases the user data and
  // deletes the dose.
  void destroyInstance(OBInterface* inst) override;
};

// The two kinds.  With a name (and property/value pairs): the name must not
// be empty ("Kestrion:DOSE_MUST_HAVE_NAME") and is checked before the
// instance exists; refused pairs destroy the new instance and raise
// "Kestrion:KSTR_INVALID_PVPAIR".  Without arguments: an unnamed dose.
class KELBOR_API ScheduleDoseOBC : public OBClass {
 public:
  ScheduleDoseOBC();
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[], OBInterface* creator,
                              int mode) override;
  void destroyInstance(OBInterface* inst) override;
};

class KELBOR_API RepeatDoseOBC : public OBClass {
 public:
  RepeatDoseOBC();
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[], OBInterface* creator,
                              int mode) override;
  void destroyInstance(OBInterface* inst) override;
};

// Each registers its class on first call; later calls return the same
// object.  The two kinds register "Dose" first.
KELBOR_API OBClass* getDoseOBClass();
KELBOR_API OBClass* getScheduleDoseOBClass();
KELBOR_API OBClass* getRepeatDoseOBClass();

// The dose behind an instance of "ScheduleDose" or "RepeatDose"; null for
// anything else.
KELBOR_API Dose* doseOf(const OBInterface* instance);
