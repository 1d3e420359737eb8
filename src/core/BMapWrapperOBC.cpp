#include "core/BMapWrapperOBC.hpp"

#include <memory>

#include <obk/OBInterface.hpp>
#include <obk/OBMethodInfo.hpp>

#include "core/Application.hpp"
#include "core/BMapWrapper.hpp"
#include "host/HostHelpers.hpp"

BMapWrapperOBC::BMapWrapperOBC() {
  setName("BMapWrapper");
  setClassQueries(false, false);
  addConstructorSignature(new OBMethodSignature());
  addMethod(new BMapWrapper_insert());
  addMethod(new BMapWrapper_find());
  addMethod(new BMapWrapper_removeElement());
  addMethod(new BMapWrapper_getNumElements());
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
    OBClass* map = registerHostClass(new BMapWrapperOBC());
    registerNonComponentClass(map);
    return map;
  }();
  return cls;
}
