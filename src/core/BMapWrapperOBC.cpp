#include "core/BMapWrapperOBC.hpp"

#include <memory>

#include <obk/OBInterface.hpp>
#include <obk/OBMethodInfo.hpp>

#include "core/Application.hpp"
#include "core/BMapWrapper.hpp"
#include "host/HostHelpers.hpp"
#include "core/HostBoundary.hpp"

BMapWrapperOBC::BMapWrapperOBC() {
  setName("BMapWrapper");
  setClassQueries(false, false);
  addConstructorSignature(new OBMethodSignature());
  addMethod(new HostGuarded<BMapWrapper_insert>());
  addMethod(new HostGuarded<BMapWrapper_find>());
  addMethod(new HostGuarded<BMapWrapper_removeElement>());
  addMethod(new HostGuarded<BMapWrapper_getNumElements>());
}

OBInterface* BMapWrapperOBC::createInstance(OBDatabaseClient*, int, void* const[], OBInterface*,
                                            int) {
  auto map = std::make_unique<BMapWrapper>();
  auto* instance = new OBInterface(map.get(), this);
  map.release();
  return instance;
}

void BMapWrapperOBC::destroyInstance(OBInterface* inst) {
  delete static_cast<BMapWrapper*>(inst->getComponentObject());
  inst->setComponentObject(nullptr);
}

OBClass* getBMapWrapperOBClass() {
  static OBClass* cls = [] {
    OBClass* map = registerHostClass(new HostGuarded<BMapWrapperOBC>());
    registerNonComponentClass(map);
    return map;
  }();
  return cls;
}
