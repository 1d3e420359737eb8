// The class definition of "matrixCallObj": its methods, instances and the
// units reader it installs for the unit multipliers.
#include "compile/MatrixCallsOBC.hpp"

#include <hb/hb.hpp>
#include <ks_utils/UnitSystemConversion.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBMethodInfo.hpp>

#include "compile/MatrixCallsMethods.hpp"
#include "core/Application.hpp"
#include "core/QuantityComponent.hpp"
#include "host/HostHelpers.hpp"
#include "core/HostBoundary.hpp"

namespace {

// A quantity's name (partially qualified) and its declared units: a
// species' InitialAmountUnits, a compartment's CapacityUnits, a
// parameter's ValueUnits.  Other components have no units.
ComponentUnits readComponentUnits(const KelborComponent& component) {
  ComponentUnits units;
  component.getPQN(units.name);
  if (const auto* quantity = dynamic_cast<const kstr::QuantityComponent*>(&component)) {
    units.units = quantity->getUnits();
  }
  return units;
}

}  // namespace

ksMatrixCallsOBC::ksMatrixCallsOBC() {
  setName("matrixCallObj");
  setClassQueries(false, false);
  addConstructorSignature(new OBMethodSignature());
  addMethod(new HostGuarded<ksMatrixCalls_getAdjMatrix_MI>());
  addMethod(new HostGuarded<ksMatrixCalls_getStoichMatrix_MI>());
  addMethod(new HostGuarded<ksMatrixCalls_GetSpeciesParameterDependencyMatrix_MI>());
  addMethod(new HostGuarded<ksMatrixCalls_getODEUnitMultipliers_MI>());
  addMethod(new HostGuarded<ksMatrixCalls_getSpeciesAndParams_compileOrder_MI>());
  addMethod(new HostGuarded<ksMatrixCalls_GetRuleJPattern_MI>());
}

OBInterface* ksMatrixCallsOBC::createInstance(OBDatabaseClient*, int, void* const[],
                                              OBInterface*, int) {
  void* block = hbCallocWithCheck(1, 1);
  try {
    return new OBInterface(block, this);
  } catch (...) {
    hbFree(block);
    throw;
  }
}

void ksMatrixCallsOBC::destroyInstance(OBInterface* inst) {
  void* block = inst->getComponentObject();
  inst->setComponentObject(nullptr);
  hbFree(block);
}

OBClass* getMatrixCallsOBClass() {
  static OBClass* cls = [] {
    OBClass* matrixCalls = registerHostClass(new HostGuarded<ksMatrixCallsOBC>());
    registerNonComponentClass(matrixCalls);
    getUnitSystemConversionServiceFcn()->setComponentUnitsReader(readComponentUnits);
    return matrixCalls;
  }();
  return cls;
}
