// The host class "Parameter": a BParameter as a scriptable object of the
// host object system, with its property and method infos, its delete guard
// and the removal of a parameter from its model or kinetic law.
#pragma once

#include <string>

#include <obk/OBClass.hpp>
#include <obk/OBEvents.hpp>
#include <obk/obk_t.hpp>

#include "core/KelborApi.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/ModelComponentProps.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/QuantityHostSupport.hpp"

class KELBOR_API BParameterOBC : public OBClass, public OBListenerManagerHost, public OBEventSource {
 public:
  BParameterOBC();
  // The creation entry: (), (name), (name, value), (name, value, pairs...)
  // or (name, pairs...) when the second of three or more arguments is not
  // a 1-by-1 double.  Errors, raised before anything is made:
  // "Kestrion:KSTRPARAMETER_INVALIDNAME" (name not text),
  // "Kestrion:KSTRPARAMETER_INVALIDVALUE" (a value argument that is not a
  // 1-by-1 double), the name errors of BParameter::errorForInvalidNameStatic.
  // Failing pairs raise "Kestrion:KSTR_INVALID_PVPAIR" after the new
  // instance was destroyed again.  The parameter is made detached.
  OBInterface* createInstance(OBDatabaseClient* client, int argc, void* const argv[],
                              OBInterface* creator, int mode) override;
  // The delete guard: a parameter below a model that a mass-action kinetic
  // law of that model lists stays, with the warning
  // "Kestrion:DELETE_PARAMETER_BEING_USED", unless the whole tree is being
  // destroyed.  Everything else may go.
  bool isOkToDestroy(OBInterface* inst) override;
  // Takes the parameter out of its parent and deletes it.
  void destroyInstance(OBInterface* inst) override;
};

// Registers "Parameter" on first call; later calls return the same object.
KELBOR_API OBClass* getParameterOBClass();

// Takes the parameter of the instance out of its parent: out of the
// parent's host vector of parameter instances (the vector's reference is
// given back) and out of the model's or kinetic law's list.  Afterwards the
// parameter has no parent handle, so that a second call does nothing.  A
// parameter without a parent handle, or whose parent component is gone,
// is only marked detached.
KELBOR_API void removeParameterFromParent(OBInterface* instance);

// "ConstantValue" ("bool"): stores the flag and marks the model.
class KELBOR_API Parameter_ConstantValuePIT
    : public obk_t::OBKFactoryPropInfoWithRelease<BParameter, bool, bool,
                                                  GetKelborCompClass<BParameter>> {
 public:
  Parameter_ConstantValuePIT();
};
// "Value" ("double"): every value is accepted; the model is not marked.
class KELBOR_API Parameter_ValuePIT
    : public obk_t::OBKFactoryPropInfoWithRelease<BParameter, double, double,
                                                  GetKelborCompClass<BParameter>> {
 public:
  Parameter_ValuePIT();
};
// "ValueUnits" ("string"): a copy of the units; a set (null as empty)
// trims, verifies with the unit manager, stores and marks the model.  A
// refused unit keeps the old one.
class KELBOR_API Parameter_ValueUnitsPIT
    : public obk_t::OBKFactoryPropInfoWithRelease<BParameter, std::string, const std::string&,
                                                  GetKelborCompClass<BParameter>> {
 public:
  Parameter_ValueUnitsPIT();
};
// "FullyQualifiedName": fillParameterFullyQualifiedName of the instance.
class KELBOR_API Parameter_FullyQualifiedName_PIT : public Quantity_FullyQualifiedName_PIT {};
// "Name": trims the text, checks it against the parent's parameters (the
// parameter itself does not count) and stores it.
class KELBOR_API Parameter_NamePIT : public ModelComponent_NamePIT {
 public:
  Parameter_NamePIT();
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "display": the parameter table of one parameter or of several.
class KELBOR_API Parameter_display_MI : public ModelComponent_display_MI {
 public:
  void displayVector(int& nOut, void* outs[], int nIn, void* const ins[]) override;
  void displayOne(int& nOut, void* outs[], int nIn, void* const ins[]) override;
};

// "privateisvalidunit": any unit text the unit manager accepts, or none.
class KELBOR_API BParameter_PrivateIsValidUnit_MI : public ModelComponent_PrivateIsValidUnit_MI {
 public:
  bool isValidUnit(const std::string& units) override;
};
