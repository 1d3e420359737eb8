#include "kinetics/UnitPrefixOBC.hpp"

#include <memory>
#include <string>

#include <ks_utils/Errors.hpp>
#include <ks_utils/UnitRepresentationApi.hpp>
#include <ks_utils/Units.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBMethodInfo.hpp>
#include <obk/Vector.hpp>

#include "core/Application.hpp"
#include "core/HostBoundary.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/PropertyValuePairs.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BLibrary.hpp"
#include "kinetics/BUnitPrefixWrapper.hpp"
#include "kinetics/LibraryComponentProps.hpp"
#include "kinetics/UnitHostSupport.hpp"
#include "model/BQuorvixRoot.hpp"

namespace uh = kstr::unithost;
using Code = kstr::MessageCode;

namespace {

BUnitPrefixWrapper* prefixBehind(const OBInterface* inst) {
  KelborComponent* component = componentOf(inst);
  if (!component || component->getEnumType() != kstr::unitprefix) {
    throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  }
  return static_cast<BUnitPrefixWrapper*>(component);
}

using A = Access;
const ComponentPropRow kExponent{"Exponent", "double", "Exponent for the unit prefix.", A::Yes, A::Yes,
                                 A::Default, A::Default, A::Default};

class BUnitPrefixWrapper_Exponent_PIT : public ComponentPropInfo {
 public:
  BUnitPrefixWrapper_Exponent_PIT() : ComponentPropInfo(kExponent) {}
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    return new double(static_cast<double>(prefixBehind(inst)->getExponent()));
  }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    refuseChangeOfBuiltinLibraryComponent(inst);
    if (value) prefixBehind(inst)->setExponent(*static_cast<const double*>(value));
  }
  void releaseValue(OBDatabaseClient*, OBInterface*, void* value) override { delete static_cast<double*>(value); }
};

class BUnitPrefixWrapper_display_MI : public uh::LibraryTable_display_MI {
 public:
  BUnitPrefixWrapper_display_MI()
      : LibraryTable_display_MI("\n   Kestrion Unit Prefix Array\n\n   " + uh::padTo("Index:", 8) +
                                uh::padTo("Library:", 20) + uh::padTo("Name:", 25) + "Exponent:\n") {}

 protected:
  // One blank before a positive exponent.
  std::string rowOf(OBInterface* object, size_t index) const override {
    const BUnitPrefixWrapper* prefix = prefixBehind(object);
    const int library = BQuorvixRoot::getInstance()->findLibraryIndex(1, prefix->getName().c_str());
    const int exponent = prefix->getExponent();
    return uh::displayRowStart(index, library, prefix->getName()) + (exponent > 0 ? " " : "") +
           std::to_string(exponent);
  }
};

void unitPrefixUnregistered(const OVUnits::UnitPrefixApi* prefix) {
  BQuorvixRoot* root = BQuorvixRoot::getInstanceIfAny();
  if (!root || !prefix) return;
  BUnitPrefixWrapper* wrapper = root->getLibrary(1)->findUnitPrefix(prefix->getName());
  if (wrapper && wrapper->getPrefixObject() == prefix) wrapper->setPrefixObject(prefix->clone());
}

int applyUnitPrefixConstructorArguments(OVUnits::UnitPrefixApi& prefix, int argc, qxArray* const args[]) {
  if (argc >= 1) {
    prefix.setName(uh::textArgument(args[0], "Kestrion:UnitPrefixNameNotString", Code::KS_UNITPREFIXNAME_NOT_STRING));
  }
  if (argc == 2 || (argc >= 3 && !uh::isText(args[1]))) {
    prefix.setExponent(uh::numberArgument(args[1], "Kestrion:UnitPrefixExponentNotNumeric",
                                          Code::KS_UNITPREFIXEXPONENT_NOT_NUMERIC,
                                          "Kestrion:UnitPrefixExponentBadSize", Code::KS_UNITPREFIXEXPONENT_BAD_SIZE));
    return argc >= 3 ? 2 : 0;
  }
  return argc >= 3 ? 1 : 0;
}

}  // namespace

BUnitPrefixWrapperOBC::BUnitPrefixWrapperOBC() {
  static HostGuarded<uh::LibraryUpdateListener> listener("unitprefix");
  uh::defineLibraryClass(*this, "UnitPrefix", {{new HostGuarded<BUnitPrefixWrapper_Exponent_PIT>()}, {}, {}},
                         new HostGuarded<BUnitPrefixWrapper_display_MI>(), &listener);
}

OBInterface* BUnitPrefixWrapperOBC::createInstance(OBDatabaseClient*, int argc, void* const argv[], OBInterface*,
                                                   int) {
  auto* const* args = reinterpret_cast<qxArray* const*>(argv);
  std::unique_ptr<OVUnits::UnitPrefixApi> prefix(getUnitManagerApiFcn()->getPrefixService()->newPrefix());
  const int pairsStart = applyUnitPrefixConstructorArguments(*prefix, argc, args);
  auto* wrapper = new BUnitPrefixWrapper();
  wrapper->setPrefixObject(prefix.get());
  return uh::instanceWithPairs(wrapper, prefix, this, argc, pairsStart, args);
}

bool BUnitPrefixWrapperOBC::isOkToDestroy(OBInterface* inst) {
  return uh::mayDeleteLibraryComponent(inst, 1, "Kestrion:UnitPrefixInUserLibraryCannotBeRemoved",
                                       Code::KS_UNITPREFIX_IN_USER_LIBRARY_CANNOT_BE_REMOVED);
}

void BUnitPrefixWrapperOBC::destroyInstance(OBInterface* inst) {
  uh::destroyLibraryInstance(inst, 1, "UnitPrefix", &BUnitPrefixWrapper::deleteOwnedPrefix);
}

OBClass* getUnitPrefixOBClass() {
  static OBClass* cls = [] {
    OBClass* prefixClass = registerHostClass(new HostGuarded<BUnitPrefixWrapperOBC>());
    getUnitManagerApiFcn()->getPrefixService()->subscribe(&unitPrefixUnregistered);
    uh::giveBuiltinInstances(prefixClass, 1);
    return prefixClass;
  }();
  return cls;
}
