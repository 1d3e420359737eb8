#include "kinetics/LibraryOBC.hpp"

#include <ks_utils/Errors.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBMethodInfo.hpp>
#include <obk/OBPropInfo.hpp>
#include <obk/Vector.hpp>

#include "core/Application.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BLibrary.hpp"
#include "kinetics/BUnitPrefixWrapper.hpp"
#include "kinetics/BUnitWrapper.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/QuantityHostSupport.hpp"
#include "core/HostBoundary.hpp"

namespace {

const char kUnitsHelp[] =
    "An array of units.\n\n   The units from Kestrion libraries can be\n   used when configuring the "
    "species object's InitialAmountUnits\n   property or the parameter object's ValueUnits "
    "property.\n\n   Use KSTRSHOWUNITS to return information on a specific unit.\n";
const char kUnitPrefixesHelp[] =
    "An array of unit prefixes.\n\n   The unit prefixes from Kestrion libraries can be\n used when "
    "configuring the species object's InitialAmountUnits\n   property or the parameter object's "
    "ValueUnits property.\n\n   Use KSTRSHOWUNITPREFIXES to return information on a specific\n   unit "
    "prefix. \n";
const char kKineticLawsHelp[] =
    "An array of abstract kinetic laws.\n\n   The abstract kinetic law objects are used when "
    "configuring a \n   Kestrion reaction object's KineticLaw property with the\n   ADDKINETICLAW "
    "function.\n   \n";

// The library behind an instance of "Library".
BLibrary* libraryOf(const OBInterface* inst) {
  auto* library = inst ? static_cast<BLibrary*>(inst->getComponentObject()) : nullptr;
  if (!library) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  return library;
}

template <class List>
Vector* instancesOf(const List& list) {
  auto* out = new Vector();
  for (const auto* component : list) out->addElement(component->getOBI());
  return out;
}

enum class LibraryList { Units, UnitPrefixes, KineticLaws };

// A read-only "handle vector" like the generic "Type" property.
class Library_ListPIT : public OBPropInfoTemplate {
 public:
  Library_ListPIT(const char* name, const char* help, LibraryList list) : list_(list) {
    setName(name);
    setDescription(help);
    setDataType("handle vector");
    setAccess(OBAccessFlag::ExternalSet, false);
    setAccess(OBAccessFlag::InternalSet, false);
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    const BLibrary* library = libraryOf(inst);
    switch (list_) {
      case LibraryList::Units:
        return instancesOf(library->getUnits());
      case LibraryList::UnitPrefixes:
        return instancesOf(library->getUnitPrefixes());
      case LibraryList::KineticLaws:
        return instancesOf(library->getAbstractKineticLaws());
    }
    return nullptr;
  }
  void releaseValue(OBDatabaseClient*, OBInterface*, void* value) override { delete static_cast<Vector*>(value); }
  bool canContainOBInterfaces() const override { return false; }

 private:
  LibraryList list_;
};

class BLibrary_display_MI : public OBMethodInfo {
 public:
  BLibrary_display_MI() {
    setName("display");
    addMethodSignature(new OBMethodSignature({"handle"}));
  }
  void invoke(OBMethodSignature*, int& nOut, void*[], int, void* const ins[]) override {
    nOut = 0;
    libraryOf(static_cast<OBInterface*>(ins[0]))->display();
  }
};

}  // namespace

BLibraryOBC::BLibraryOBC() {
  setName("Library");
  setClassQueries(true, true);
  addProperty(new HostGuarded<Library_ListPIT>("Units", kUnitsHelp, LibraryList::Units));
  addProperty(new HostGuarded<Library_ListPIT>("UnitPrefixes", kUnitPrefixesHelp, LibraryList::UnitPrefixes));
  addProperty(new HostGuarded<Library_ListPIT>("KineticLaws", kKineticLawsHelp, LibraryList::KineticLaws));
  addMethod(new HostGuarded<BLibrary_display_MI>());
}

OBInterface* BLibraryOBC::createInstance(OBDatabaseClient*, int, void* const[], OBInterface*, int) {
  auto* library = new BLibrary();
  OBInterface* instance = nullptr;
  try {
    instance = new OBInterface(library, this);
  } catch (...) {
    delete library;
    throw;
  }
  library->setOBI(instance);
  return instance;
}

bool BLibraryOBC::isOkToDestroy(OBInterface* inst) {
  if (kstr::quantityhost::isTreeBeingDestroyed(inst)) return true;
  hb_warning_id(hbGetWarningContext(), "Kestrion:LibraryCannotBeDeleted",
                kstr::code(kstr::MessageCode::KS_LIBRARY_CANNOT_BE_DELETED));
  return false;
}

void BLibraryOBC::destroyInstance(OBInterface* inst) {
  auto* library = static_cast<BLibrary*>(inst->getComponentObject());
  inst->setComponentObject(nullptr);
  // The root's own two libraries outlive their instances.
  BQuorvixRoot* root = BQuorvixRoot::getInstanceIfAny();
  if (!library || (root && (library == root->getLibrary(0) || library == root->getLibrary(1)))) {
    if (library) library->setOBI(nullptr);
    return;
  }
  delete library;
}

OBClass* getLibraryOBClass() {
  static OBClass* cls = [] {
    OBClass* libraryClass = registerHostClass(new HostGuarded<BLibraryOBC>());
    // Its instances hold libraries, not components.
    registerNonComponentClass(libraryClass);
    // The root's two libraries get their instances now.
    if (BQuorvixRoot* root = BQuorvixRoot::getInstanceIfAny()) {
      for (int index = 0; index < 2; ++index) {
        BLibrary* library = root->getLibrary(index);
        if (!library->getOBI()) library->setOBI(new OBInterface(library, libraryClass));
      }
    }
    return libraryClass;
  }();
  return cls;
}
