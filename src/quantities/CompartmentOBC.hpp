// The host class "Compartment": a BCompartment as a scriptable object of the
// host object system, with its property and method infos.
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>

#include "core/KelborApi.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/ModelComponentProps.hpp"

class BCompartment;

class KELBOR_API BCompartmentOBC : public OBClass,
                                   public OBListenerManagerHost,
                                   public OBEventSource {
 public:
  BCompartmentOBC();
  // The creation entry: (), (name), (name, capacity), (name, capacity,
  // pairs...) or (name, pairs...).  Errors, raised in this order before
  // anything is made: "Kestrion:INVALID_CAPACITY" (a second argument that
  // is a double but not a 1-by-1 value that is neither negative nor
  // infinite), "Kestrion:KSTRCOMPARTMENT_INVALID_NAME" (name not text), the
  // name errors of BCompartment::errorForInvalidNameStatic,
  // "Kestrion:COMPARTMENT_INVALID_CAPACITY" (a NaN capacity), and
  // "Kestrion:KSTR_INVALID_PVPAIR" for an "Owner" pair.  Other failing
  // pairs raise "Kestrion:KSTR_INVALID_PVPAIR" after the new instance was
  // destroyed again.
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // True while the enclosing tree is being destroyed; otherwise the
  // compartment's own guard (warnings, no error).
  bool isOkToDestroy(OBInterface* inst) override;
  // Takes the compartment out of its owner or model and deletes it.
  void destroyInstance(OBInterface* inst) override;
};

// Registers "Compartment" on first call; later calls return the same
// class object.
KELBOR_API OBClass* getCompartmentOBClass();

// "Name": trims the text, checks it against the compartment's model and
// stores it.  Setting the current name again changes nothing.
class KELBOR_API Compartment_NamePIT : public ModelComponent_NamePIT {
 public:
  Compartment_NamePIT();
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "Species" ("handle vector"): the own species' instances in list order.
// A set adds each given species below the compartment unless the
// compartment holds one of that name already; nothing is removed.  Every
// element must be a Kestrion species that belongs to no other compartment,
// else "Kestrion:InvalidPropertyValue" is raised and nothing changes.
class KELBOR_API Compartment_SpeciesPIT : public OBPropInfoTemplate {
 public:
  Compartment_SpeciesPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "Compartments" ("handle vector"): the direct sub-compartments' instances.
// A set adds each given compartment below this one (current members are
// skipped).  Every element must be a Kestrion compartment owned by no other
// compartment, else "Kestrion:InvalidPropertyValue"; the names are checked
// for all of them before the first is added.
class KELBOR_API Compartment_CompartmentPIT : public OBPropInfoTemplate {
 public:
  Compartment_CompartmentPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "Owner" ("handle"): the owner's instance or empty.  A set with a handle
// that is not a Kestrion compartment raises
// "Kestrion:KS_OWNER_INVALIDTYPE_COMPARTMENT"; otherwise BCompartment::
// setOwner with the compartment (or null for an empty value).
class KELBOR_API Compartment_OwnerPIT : public OBPropInfoTemplate {
 public:
  Compartment_OwnerPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "addspecies" (compartment, name, [amount], pairs...) -> the new species.
class KELBOR_API Compartment_addSpecies_MI : public ModelContainer_add_MI {
 public:
  Compartment_addSpecies_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "addcompartment" (owner, name, [capacity], pairs...) -> the new
// compartment below the owner.  Errors, in this order, before anything is
// made: "Kestrion:ADDCOMPARTMENT_TOO_FEW_ARGS", "Kestrion:COMPARTMENT_INVALID_NAME"
// (name not text), the name errors of BCompartment::errorForInvalidNameStatic
// against the owner's model, "Kestrion:INVALID_CAPACITY" (negative,
// infinite or not 1-by-1), "Kestrion:COMPARTMENT_INVALID_CAPACITY" (NaN),
// and "Kestrion:KSTR_INVALID_PVPAIR" for an "Owner" pair; other failing pairs
// destroy the new instance and raise "Kestrion:KSTR_INVALID_PVPAIR".
class KELBOR_API Compartment_addCompartment_MI : public ModelContainer_add_MI {
 public:
  Compartment_addCompartment_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "display": one compartment's summary, or the table of several.
class KELBOR_API Compartment_display_MI : public ModelComponent_display_MI {
 public:
  void displayVector(int& nOut, void* outs[], int nIn, void* const ins[]) override;
  void displayOne(int& nOut, void* outs[], int nIn, void* const ins[]) override;
};

// "reorder" (compartment, handle vector): a new order of the compartment's
// species or of its sub-compartments.
class KELBOR_API Compartment_Reorder_MI : public ModelContainer_Reorder_MI {
 public:
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "privateisvalidunit": a capacity unit (length, area or volume) or none.
class KELBOR_API BCompartment_PrivateIsValidUnit_MI : public ModelComponent_PrivateIsValidUnit_MI {
 public:
  bool isValidUnit(const std::string& units) override;
};
