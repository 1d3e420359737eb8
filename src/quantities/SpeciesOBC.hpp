// The host class "Species": a BSpecies as a scriptable object of the host
// object system, with its property and method infos.
#pragma once

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>
#include <obk/obk_t.hpp>

#include "core/KelborApi.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/ModelComponentProps.hpp"
#include "quantities/BSpecies.hpp"
#include "quantities/QuantityHostSupport.hpp"

class KELBOR_API BSpeciesOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  BSpeciesOBC();
  // The creation entry: (), (name), (name, amount), (name, amount,
  // pairs...) or (name, pairs...) when the second of three or more
  // arguments is no amount.  Errors, raised before anything is made:
  // "Kestrion:KSTRSPECIES_INVALIDNAME" (name not text),
  // "Kestrion:KSTRSPECIES_INVALIDAMT" (an amount that is not a 1-by-1
  // double from 0 up to, but not including, infinity; NaN too), the name
  // errors of BSpecies::errorForInvalidNameStatic ("null" refused).  Failing
  // pairs raise "Kestrion:KSTR_INVALID_PVPAIR" after the new instance was
  // destroyed again.  The species is made outside any compartment.
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // The species delete guard: see isSpeciesOkToDestroy.
  bool isOkToDestroy(OBInterface* inst) override;
  // Takes the species out of its compartment and deletes it.
  void destroyInstance(OBInterface* inst) override;
};

// Registers "Species" on first call; later calls return the same object.
KELBOR_API OBClass* getSpeciesOBClass();

// The species delete guard: true for a species in no compartment, or when
// the tree around it is being destroyed, or when its compartment belongs to
// no model; otherwise false, with the warning
// "Kestrion:DELETE_SPECIES_BEING_USED", when the host function "kstrselect"
// finds a reaction of the model holding it among its "Reactants" or
// "Products".
KELBOR_API bool isSpeciesOkToDestroy(OBInterface* instance);

template <class V>
using SpeciesFactoryPIT =
    obk_t::OBKFactoryPropInfoWithRelease<BSpecies, V, V, GetKelborCompClass<BSpecies>>;

// "BoundaryCondition" ("bool"): stores the flag and marks the model.
class KELBOR_API Species_BoundaryConditionPIT : public SpeciesFactoryPIT<bool> {
 public:
  Species_BoundaryConditionPIT();
};
// "Charge" ("int"): a fresh copy of the charge; a set does not mark the model.
class KELBOR_API Species_ChargePIT : public SpeciesFactoryPIT<int> {
 public:
  Species_ChargePIT();
};
// "ChargeUnits" ("string"): BSpecies::setChargeUnits (null clears).
class KELBOR_API Species_ChargeUnitsPIT : public SpeciesFactoryPIT<const char*> {
 public:
  Species_ChargeUnitsPIT();
};
// "ConstantAmount" ("bool"): stores the flag and marks the model.
class KELBOR_API Species_ConstantAmountPIT : public SpeciesFactoryPIT<bool> {
 public:
  Species_ConstantAmountPIT();
};
// "InitialAmount" ("double"): the species' amount check refuses negative,
// infinite and NaN values.
class KELBOR_API Species_InitialAmountPIT : public SpeciesFactoryPIT<double> {
 public:
  Species_InitialAmountPIT();
};
// "InitialAmountUnits" ("string"): amount, mass or concentration units, or
// none (null counts as empty); a refused unit keeps the old one.
class KELBOR_API Species_InitialAmountUnitsPIT
    : public obk_t::OBKFactoryPropInfo<BSpecies, const std::string&, const std::string&,
                                       GetKelborCompClass<BSpecies>> {
 public:
  Species_InitialAmountUnitsPIT();
};
// "FullyQualifiedName": fillParameterFullyQualifiedName of the instance.
class KELBOR_API Species_FullyQualifiedName_PIT : public Quantity_FullyQualifiedName_PIT {};
// "Name": trims the text, checks it against the species' compartment (the
// species itself does not count) and stores it.
class KELBOR_API Species_NamePIT : public ModelComponent_NamePIT {
 public:
  Species_NamePIT();
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "display": the species table of one species or of several.
class KELBOR_API Species_display_MI : public ModelComponent_display_MI {
 public:
  void displayVector(int& nOut, void* outs[], int nIn, void* const ins[]) override;
  void displayOne(int& nOut, void* outs[], int nIn, void* const ins[]) override;
};

// "privateisvalidunit": amount, mass and concentration units, or none.
class KELBOR_API BSpecies_PrivateIsValidUnit_MI : public ModelComponent_PrivateIsValidUnit_MI {
 public:
  bool isValidUnit(const std::string& units) override;
};
