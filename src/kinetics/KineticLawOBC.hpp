// The host class "KineticLaw": the kinetic law of a reaction as a host
// object, with its properties, its methods and the parameters below it.
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>

#include "core/KelborApi.hpp"

class BAbstractKineticLaw;
class BKineticLaw;

class KELBOR_API BKineticLawOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  BKineticLawOBC();
  // () makes a law without template.  (name, pairs...) looks the name up
  // (built-in library first): unknown raises
  // "Kestrion:ADDKINETICLAW_INVALIDTYPEENUM"; "MassAction" makes a
  // mass-action law.  With a creator reaction the law goes below it.  A
  // refused pair detaches the law again, destroys it and raises
  // "Kestrion:QUORV_INVALID_PVPAIR".
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // Detaches the law from its reaction and deletes it.
  void destroyInstance(OBInterface* inst) override;
};

// Registers "KineticLaw" on first call; later calls return it.
KELBOR_API OBClass* getKineticLawOBClass();

// The template of that name, built-in library first, or null.
KELBOR_API const BAbstractKineticLaw* findAbstractKineticLawTemplate(const std::string& name);
// A new kinetic law for the template: a mass-action law for "MassAction".
KELBOR_API BKineticLaw* newKineticLawFor(const BAbstractKineticLaw* abstractLaw);
// The kinetic law behind an instance of "KineticLaw"; raises
// "obk:InvalidObject" when there is none.
KELBOR_API BKineticLaw* kineticLawBehind(const OBInterface* instance);

// Replaces the law behind the instance by a new one of the named template
// (see the KineticLawName property): the parameters move over, the
// bindings start empty.  "Kestrion:InvalidKineticLawName" for an empty or
// unknown name; the old law then stays.
KELBOR_API void replaceKineticLawTemplate(OBInterface* instance, const char* name);
