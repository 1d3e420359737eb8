#include "kinetics/UnitOBC.hpp"

#include <memory>
#include <sstream>
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
#include "kinetics/BUnitWrapper.hpp"
#include "kinetics/LibraryComponentProps.hpp"
#include "kinetics/UnitHostSupport.hpp"
#include "model/BQuorvixRoot.hpp"

namespace uh = kstr::unithost;
using Code = kstr::MessageCode;

namespace {

BUnitWrapper* unitBehind(const OBInterface* inst) {
  KelborComponent* component = componentOf(inst);
  if (!component || component->getEnumType() != kstr::unit) {
    throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  }
  return static_cast<BUnitWrapper*>(component);
}

std::string numberText(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

using A = Access;
const ComponentPropRow kComposition{"Composition", "string", "Composition of unit.", A::Yes, A::Yes, A::Default,
                                    A::Default, A::Default};

// --- properties -------------------------------------------------------------------------------

class BUnitWrapper_Composition_PIT : public ComponentPropInfo {
 public:
  BUnitWrapper_Composition_PIT() : ComponentPropInfo(kComposition) {}
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    return const_cast<char*>(unitBehind(inst)->getComposition().c_str());
  }
  // A null value counts as "".
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    refuseChangeOfBuiltinLibraryComponent(inst);
    const char* text = static_cast<const char*>(value);
    unitBehind(inst)->setComposition(text ? text : "");
  }
};

// "Multiplier", "Offset" and their aliases: a fresh double on get; the
// unit object refuses values that would corrupt its conversions.
class BUnitWrapper_Number_PIT : public ComponentPropInfo {
 public:
  BUnitWrapper_Number_PIT(const ComponentPropRow& row, bool offset) : ComponentPropInfo(row), offset_(offset) {}
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    const BUnitWrapper* unit = unitBehind(inst);
    return new double(offset_ ? unit->getOffset() : unit->getMultiplier());
  }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    refuseChangeOfBuiltinLibraryComponent(inst);
    if (!value) return;
    const double v = *static_cast<const double*>(value);
    if (offset_) {
      unitBehind(inst)->setOffset(v);
    } else {
      unitBehind(inst)->setMultiplier(v);
    }
  }
  void releaseValue(OBDatabaseClient*, OBInterface*, void* value) override { delete static_cast<double*>(value); }

 private:
  bool offset_;
};

const ComponentPropRow kMultiplier{"Multiplier", "double", "Multiplicative factor for conversion to base units.",
                                   A::Yes, A::Yes, A::Default, A::Default, A::Default};
const ComponentPropRow kConversionFactor{"conversionfactor", "double", "", A::No, A::Yes, A::No, A::Default,
                                         A::Default};
const ComponentPropRow kOffset{"Offset", "double", "Offset factor for conversion to base units.", A::Yes, A::Yes,
                               A::Default, A::Default, A::Default};
const ComponentPropRow kConversionOffset{"conversionoffset", "double", "", A::No, A::Yes, A::No, A::Default,
                                         A::Default};

// --- methods ----------------------------------------------------------------------------------

class BUnitWrapper_display_MI : public uh::LibraryTable_display_MI {
 public:
  BUnitWrapper_display_MI()
      : LibraryTable_display_MI("\n   Kestrion Unit Array\n\n   " + uh::padTo("Index:", 8) + uh::padTo("Library:", 20) +
                                uh::padTo("Name:", 25) + uh::padTo("Composition:", 20) +
                                uh::padTo("Multiplier:", 20) + "Offset:\n") {}

 protected:
  std::string rowOf(OBInterface* object, size_t index) const override {
    const BUnitWrapper* unit = unitBehind(object);
    const std::string& composition = unit->getComposition();
    const int library = BQuorvixRoot::getInstance()->findLibraryIndex(0, unit->getName().c_str());
    return uh::displayRowStart(index, library, unit->getName()) +
           (composition.size() >= 20 ? composition.substr(0, 16) + "... " : uh::padTo(composition, 20)) +
           uh::padTo(numberText(unit->getMultiplier()), 20) + numberText(unit->getOffset());
  }
};

// A unit the unit manager unregisters leaves a copy of its object with the
// user library's wrapper of that name.
void unitUnregistered(const OVUnits::UnitRepresentationApi* unit) {
  BQuorvixRoot* root = BQuorvixRoot::getInstanceIfAny();
  if (!root || !unit) return;
  BUnitWrapper* wrapper = root->getLibrary(1)->findUnit(unit->getName());
  if (wrapper && wrapper->getUnit() == unit) wrapper->setUnit(unit->clone());
}

// Applies the positional arguments; answers where the pairs begin (0: none).
int applyUnitConstructorArguments(OVUnits::UnitRepresentationApi& unit, int argc, qxArray* const args[]) {
  if (argc >= 1) unit.setName(uh::textArgument(args[0], "Kestrion:UnitNameNotString", Code::KS_UNITNAME_NOT_STRING));
  if (argc >= 2) {
    unit.setComposition(
        uh::textArgument(args[1], "Kestrion:UnitCompositionNotString", Code::KS_UNITCOMPOSITION_NOT_STRING));
  }
  if (argc == 3 || (argc >= 4 && !uh::isText(args[2]))) {
    unit.setMultiplier(uh::numberArgument(args[2], "Kestrion:UnitMultiplierNotNumeric",
                                          Code::KS_UNITMULTIPLIER_NOT_NUMERIC, "Kestrion:UnitMultiplierBadSize",
                                          Code::KS_UNITMULTIPLIER_BAD_SIZE));
  } else if (argc >= 4) {
    return 2;
  }
  if (argc == 4 || (argc >= 5 && !uh::isText(args[3]))) {
    unit.setOffset(uh::numberArgument(args[3], "Kestrion:UnitOffsetNotNumeric", Code::KS_UNITOFFSET_NOT_NUMERIC,
                                      "Kestrion:UnitOffsetBadSize", Code::KS_UNITOFFSET_BAD_SIZE));
  } else if (argc >= 5) {
    return 3;
  }
  return argc >= 5 ? 4 : 0;
}

}  // namespace

// --- the class ---------------------------------------------------------------------------------

BUnitWrapperOBC::BUnitWrapperOBC() {
  static HostGuarded<uh::LibraryUpdateListener> listener("unit");
  uh::defineLibraryClass(*this, "Unit",
                         {{new HostGuarded<BUnitWrapper_Composition_PIT>()},
                          {new HostGuarded<BUnitWrapper_Number_PIT>(kMultiplier, false),
                           new HostGuarded<BUnitWrapper_Number_PIT>(kConversionFactor, false)},
                          {new HostGuarded<BUnitWrapper_Number_PIT>(kOffset, true),
                           new HostGuarded<BUnitWrapper_Number_PIT>(kConversionOffset, true)}},
                         new HostGuarded<BUnitWrapper_display_MI>(), &listener);
}

OBInterface* BUnitWrapperOBC::createInstance(OBDatabaseClient*, int argc, void* const argv[], OBInterface*,
                                             int) {
  auto* const* args = reinterpret_cast<qxArray* const*>(argv);
  std::unique_ptr<OVUnits::UnitRepresentationApi> unit(getUnitManagerApiFcn()->newUnit());
  const int pairsStart = applyUnitConstructorArguments(*unit, argc, args);
  return uh::instanceWithPairs(new BUnitWrapper(unit.get()), unit, this, argc, pairsStart, args);
}

bool BUnitWrapperOBC::isOkToDestroy(OBInterface* inst) {
  return uh::mayDeleteLibraryComponent(inst, 0, "Kestrion:UnitInUserLibraryCannotBeRemoved",
                                       Code::KS_UNIT_IN_USER_LIBRARY_CANNOT_BE_REMOVED);
}

void BUnitWrapperOBC::destroyInstance(OBInterface* inst) {
  uh::destroyLibraryInstance(inst, 0, "Unit", &BUnitWrapper::deleteOwnedUnit);
}

OBClass* getUnitOBClass() {
  static OBClass* cls = [] {
    OBClass* unitClass = registerHostClass(new HostGuarded<BUnitWrapperOBC>());
    getUnitManagerApiFcn()->subscribe(&unitUnregistered);
    uh::giveBuiltinInstances(unitClass, 0);
    return unitClass;
  }();
  return cls;
}
