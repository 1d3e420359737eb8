#include "kinetics/LibraryRegistration.hpp"

#include <cstring>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/Units.hpp>
#include <obk/OBClass.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBMethodInfo.hpp>

#include "core/JavaEventFactory.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BLibrary.hpp"
#include "kinetics/BUnitPrefixWrapper.hpp"
#include "kinetics/BUnitWrapper.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/MessageCatalog.hpp"

using Code = kstr::MessageCode;

namespace {

BQuorvixRoot* root() { return BQuorvixRoot::getInstance(); }

// Holds a reference on an instance for the length of an operation that may
// take it out of the tree and put it back.
class InstanceHold {
 public:
  explicit InstanceHold(OBInterface* instance) : instance_(instance) {
    if (instance_) instance_->getReference();
  }
  ~InstanceHold() {
    if (instance_) instance_->releaseReference();
  }
  InstanceHold(const InstanceHold&) = delete;
  InstanceHold& operator=(const InstanceHold&) = delete;

 private:
  OBInterface* instance_;
};

template <class T>
T* componentOfKind(const OBInterface* instance, kstr::bcomptype kind) {
  KelborComponent* component = componentOf(instance);
  return component && component->getEnumType() == kind ? static_cast<T*>(component) : nullptr;
}

[[noreturn]] void throwNotOfKind(const char* className) {
  throw ErrorIdException("Kestrion:InvalidLibraryComponent",
                         std::string("The object is not a Kestrion ") + className + " object.");
}

// Puts the instance below the root's and records the root's instance as
// the component's parent host object.
void hangBelowRoot(OBInterface* object, KelborComponent* component) {
  OBInterface* rootInstance = getOBIRoot();
  if (object && rootInstance) object->addBelow(rootInstance);
  component->setOBIParent(rootInstance);
}

void detachFromRoot(KelborComponent* component) {
  component->setOBIParent(nullptr);
  OBInterface* object = component->getOBI();
  if (object && object->getUp()) object->addBelow(nullptr);
}

void postLawEvent(OBInterface* object, const BAbstractKineticLaw* law) {
  if (!svJavaUseJVM()) return;
  if (JavaEventFactory* factory = javaEventFactory()) {
    const char* expression = law->getExpression();
    factory->postKineticLawEvent(object, law->getName().c_str(), expression ? expression : "");
  }
}

}  // namespace

// --- base ----------------------------------------------------------------------------------

BLibraryRegistrationAssistant::~BLibraryRegistrationAssistant() = default;

void BLibraryRegistrationAssistant::bindCompareMethod(OBInterface* object) {
  compareMethod_ = object && object->getClass() ? object->getClass()->getMethod("compare") : nullptr;
  const auto& signatures = compareMethod_ ? compareMethod_->getMethodSignatures()
                                          : std::vector<OBMethodSignature*>();
  compareSignature_ = signatures.empty() ? nullptr : signatures.front();
  OBMethodInfo* method = compareMethod_;
  OBMethodSignature* signature = compareSignature_;
  compareCall_ = [method, signature](OBInterface* a, OBInterface* b) {
    if (!method) return false;
    void* ins[2] = {a, b};
    void* outs[1] = {nullptr};
    int nOut = 1;
    method->invoke(signature, nOut, outs, 2, ins);
    auto* answer = static_cast<uint8_t*>(outs[0]);
    const bool equal = answer && *answer != 0;
    hbFree(answer);
    return equal;
  };
}

bool BLibraryRegistrationAssistant::compare(OBInterface* a, OBInterface* b) {
  if (!compareCall_) bindCompareMethod(a);
  return compareCall_(a, b);
}

// --- abstract kinetic laws --------------------------------------------------------------

BAbstractKineticLaw* abstractKineticLawOf(const OBInterface* instance) {
  return componentOfKind<BAbstractKineticLaw>(instance, kstr::abstract_kinetic_law);
}

bool isLibraryEntry(const BAbstractKineticLaw* law) {
  if (!law) return false;
  const int index = root()->findLibraryIndex(2, law->getName().c_str());
  return index >= 0 && root()->getLibrary(index)->findAbstractKineticLaw(law->getName()) == law;
}

void removeFromOwnLibrary(OBInterface* lawInstance) {
  const BAbstractKineticLaw* law = abstractKineticLawOf(lawInstance);
  if (!isLibraryEntry(law)) return;
  root()->getLibrary(root()->findLibraryIndex(2, law->getName().c_str()))->removeAbstractKineticLaw(law);
}

void AKLRegistrationAssistant::removeFromLibrary(const std::string& name, int libraryIndex) {
  BLibrary* library = root()->getLibrary(libraryIndex);
  BAbstractKineticLaw* law = library->findAbstractKineticLaw(name);
  if (!law) return;
  library->removeAbstractKineticLaw(law);
  detachFromRoot(law);
}

void AKLRegistrationAssistant::attachToLibrary(OBInterface* object, boost::any component,
                                               int libraryIndex) {
  auto* law = boost::any_cast<BAbstractKineticLaw*>(component);
  root()->getLibrary(libraryIndex)->addAbstractKineticLaw(law);
  hangBelowRoot(object, law);
}

void AKLRegistrationAssistant::registerInLibrary(OBInterface* object, int library, bool overwrite) {
  if (library == 0) {
    kstr_error("Kestrion:KSTRABSTRACTKL_INVALID_ARGUMENT", kstr::code(Code::KS_AKL_INVALID_ARGUMENT));
  }
  BAbstractKineticLaw* law = abstractKineticLawOf(object);
  if (!law) throwNotOfKind("abstract kinetic law");
  if (library < 0) {
    kstr_error_str("Kestrion:KSTRABSTRACTKL_CANNOT_REGISTER_AS_BUILTIN",
                   kstr::code(Code::KS_AKL_CANNOT_REGISTER_AS_BUILTIN), law->getName());
  }
  registerInto(object, law, 1, overwrite);
}

void AKLRegistrationAssistant::registerAsBuiltin(OBInterface* object) {
  BAbstractKineticLaw* law = abstractKineticLawOf(object);
  if (!law) throwNotOfKind("abstract kinetic law");
  registerInto(object, law, 0, true);
}

void AKLRegistrationAssistant::registerInto(OBInterface* object, BAbstractKineticLaw* law, int target,
                                            bool overwrite) {
  InstanceHold hold(object);
  const std::string name = law->getName();
  const int index = root()->findLibraryIndex(2, name.c_str());
  if (!overwrite && index >= 0) {
    const BAbstractKineticLaw* entry = root()->getLibrary(index)->findAbstractKineticLaw(name);
    if (entry == law || compare(object, entry->getOBI())) return;
    if (index == 0) {
      kstr_error_str("Kestrion:KSTRABSTRACTKL_EXISTS_AS_BUILTIN", kstr::code(Code::KS_AKL_EXISTS_AS_BUILTIN),
                     name);
    }
    kstr_error_str("Kestrion:KSTRABSTRACTKL_EXISTS_AS_USER", kstr::code(Code::KS_AKL_EXISTS_AS_USERDEFINED),
                   name);
  }
  if (index == 0 && target == 1) {
    kstr_error("Kestrion:KSTRABSTRACTKL_CANNOT_OVERWRITE_BUILTIN",
               kstr::code(Code::KS_AKL_CANNOT_OVERWRITE_BUILTIN), name.c_str());
  }
  if (index == 1 && target == 0) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:KSTRABSTRACTKL_CANNOT_OVERWRITE_BUILTIN",
                  kstr::code(Code::KS_AKL_CANNOT_OVERWRITE_BUILTIN), name.c_str());
  }
  if (index >= 0) removeFromLibrary(name, index);
  attachToLibrary(object, boost::any(law), target);
  if (target == 1) {
    privateUpdateLibrary("kineticlaw");
    postLawEvent(object, law);
  }
}

// --- units ----------------------------------------------------------------------------------

void BUnitRegistrationAssistant::removeFromLibrary(const std::string& name, int libraryIndex) {
  BLibrary* library = root()->getLibrary(libraryIndex);
  BUnitWrapper* unit = library->findUnit(name);
  if (!unit) return;
  library->removeUnit(name);
  detachFromRoot(unit);
  privateUpdateLibrary("unit");
}

void BUnitRegistrationAssistant::attachToLibrary(OBInterface* object, boost::any component,
                                                 int libraryIndex) {
  auto* unit = boost::any_cast<BUnitWrapper*>(component);
  root()->getLibrary(libraryIndex)->addUnit(unit);
  hangBelowRoot(object, unit);
}

void BUnitRegistrationAssistant::registerInLibrary(OBInterface* object, int, bool) {
  BUnitWrapper* unit = componentOfKind<BUnitWrapper>(object, kstr::unit);
  if (!unit) throwNotOfKind("unit");
  InstanceHold hold(object);
  const std::string name = unit->getName();
  OVUnits::checkUnitName(name);
  const int index = root()->findLibraryIndex(0, name.c_str());
  bool replacing = false;
  if (index >= 0) {
    const BUnitWrapper* entry = root()->getLibrary(index)->findUnit(name);
    if (entry == unit || compare(object, entry->getOBI())) return;
    replacing = index == 1;
  }
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  if (units->isBuiltIn(name)) {
    kstr_error("Kestrion:UNIT_CANNOTADDBUILTIN_TOUSER", kstr::code(Code::KS_UNIT_CANNOTADDBUILTIN_TOUSER),
               name.c_str());
  }
  // "millimole" already means a thousandth of a mole in every text.
  std::string rest;
  std::string prefix;
  if (units->getPrefixService()->splitPrefixedName(name, rest, prefix)) {
    kstr_error("Kestrion:UnitNameIsPrefixedUnit", kstr::code(Code::KS_UNIT_NAME_IS_PREFIXED_UNIT), name.c_str(),
               prefix.c_str(), rest.c_str());
  }
  if (!units->registerUnit(unit->getUnit()) || !units->isKnown(name)) {
    const std::string text = unit->getComposition().empty() ? name : unit->getComposition();
    kstr_error("Kestrion:KSUNIT_CANNOT_PARSE_UNITS", kstr::code(Code::KSUNIT_CANNOT_PARSE_UNITS), text.c_str());
  }
  if (replacing) removeFromLibrary(name, 1);
  attachToLibrary(object, boost::any(unit), 1);
  privateUpdateLibrary("unit");
}

// --- unit prefixes ------------------------------------------------------------------------

void BUnitPrefixRegistrationAssistant::removeFromLibrary(const std::string& name, int libraryIndex) {
  BLibrary* library = root()->getLibrary(libraryIndex);
  BUnitPrefixWrapper* prefix = library->findUnitPrefix(name);
  if (!prefix) return;
  library->removeUnitPrefix(name);
  detachFromRoot(prefix);
  privateUpdateLibrary("unitprefix");
}

void BUnitPrefixRegistrationAssistant::attachToLibrary(OBInterface* object, boost::any component,
                                                       int libraryIndex) {
  auto* prefix = boost::any_cast<BUnitPrefixWrapper*>(component);
  root()->getLibrary(libraryIndex)->addUnitPrefix(prefix);
  hangBelowRoot(object, prefix);
}

void BUnitPrefixRegistrationAssistant::registerInLibrary(OBInterface* object, int, bool) {
  BUnitPrefixWrapper* prefix = componentOfKind<BUnitPrefixWrapper>(object, kstr::unitprefix);
  if (!prefix) throwNotOfKind("unit prefix");
  InstanceHold hold(object);
  const std::string name = prefix->getName();
  OVUnits::checkUnitPrefixName(name);
  const int index = root()->findLibraryIndex(1, name.c_str());
  bool replacing = false;
  if (index >= 0) {
    const BUnitPrefixWrapper* entry = root()->getLibrary(index)->findUnitPrefix(name);
    if (entry == prefix || compare(object, entry->getOBI())) return;
    replacing = index == 1;
  }
  OVUnits::UnitPrefixServiceApi* prefixes = getUnitManagerApiFcn()->getPrefixService();
  if (prefixes->isBuiltIn(name)) {
    kstr_error("Kestrion:UNITPREFIX_CANNOTADDBUILTIN_TOUSER",
               kstr::code(Code::KS_UNITPREFIX_CANNOTADDBUILTIN_TOUSER), name.c_str());
  }
  if (!prefixes->registerPrefix(prefix->getPrefixObject()) || !prefixes->isKnown(name)) {
    kstr_error("Kestrion:KSUNIT_CANNOT_PARSE_UNITS", kstr::code(Code::KSUNIT_CANNOT_PARSE_UNITS), name.c_str());
  }
  if (replacing) removeFromLibrary(name, 1);
  attachToLibrary(object, boost::any(prefix), 1);
  privateUpdateLibrary("unitprefix");
}

// --- removal of user units and prefixes ---------------------------------------------------

namespace {

// Takes the user unit out of the unit manager and the user library; with
// guardUsers, a unit that another user unit uses is refused first.
void takeOutUserUnit(OBInterface* object, bool guardUsers) {
  const BUnitWrapper* unit = componentOfKind<BUnitWrapper>(object, kstr::unit);
  const std::string name = unit ? unit->getName() : std::string();
  BUnitWrapper* entry = root()->getLibrary(1)->findUnit(name);
  if (!unit || entry != unit) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnitDoesNotExistInUser",
                  kstr::code(Code::KS_UNIT_DOESNOTEXIST_INUSER));
    return;
  }
  OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
  const std::string user = guardUsers ? units->findUserUnitUsing(name) : std::string();
  if (!user.empty()) {
    kstr_error("Kestrion:UnitInUse", kstr::code(Code::KS_UNIT_IN_USE), name.c_str(), user.c_str());
  }
  InstanceHold hold(object);
  units->unregisterUnit(name);
  BUnitRegistrationAssistant().removeFromLibrary(name, 1);
}

}  // namespace

void removeUserUnit(OBInterface* object) { takeOutUserUnit(object, true); }

void removeUserUnitBeingRedefined(const char* name) {
  if (const BUnitWrapper* unit = root()->getLibrary(1)->findUnit(name ? name : "")) {
    takeOutUserUnit(unit->getOBI(), false);
  }
}

void removeUserUnitPrefix(OBInterface* object) {
  const BUnitPrefixWrapper* prefix = componentOfKind<BUnitPrefixWrapper>(object, kstr::unitprefix);
  const std::string name = prefix ? prefix->getName() : std::string();
  BUnitPrefixWrapper* entry = root()->getLibrary(1)->findUnitPrefix(name);
  if (!prefix || entry != prefix) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnitPrefixDoesNotExistInUser",
                  kstr::code(Code::KS_UNIT_PREFIX_DOESNOTEXIST_INUSER));
    return;
  }
  OVUnits::UnitPrefixServiceApi* prefixes = getUnitManagerApiFcn()->getPrefixService();
  const std::string user = prefixes->findUserUnitUsing(name);
  if (!user.empty()) {
    kstr_error("Kestrion:UnitPrefixInUse", kstr::code(Code::KS_UNITPREFIX_IN_USE), name.c_str(), user.c_str());
  }
  InstanceHold hold(object);
  prefixes->unregisterPrefix(name);
  BUnitPrefixRegistrationAssistant().removeFromLibrary(name, 1);
}

void removeUserUnitByName(const char* name) {
  const BUnitWrapper* unit = root()->getLibrary(1)->findUnit(name ? name : "");
  if (!unit) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnitDoesNotExistInUser",
                  kstr::code(Code::KS_UNIT_DOESNOTEXIST_INUSER));
    return;
  }
  removeUserUnit(unit->getOBI());
}

void removeUserUnitPrefixByName(const char* name) {
  const BUnitPrefixWrapper* prefix = root()->getLibrary(1)->findUnitPrefix(name ? name : "");
  if (!prefix) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnitPrefixDoesNotExistInUser",
                  kstr::code(Code::KS_UNIT_PREFIX_DOESNOTEXIST_INUSER));
    return;
  }
  removeUserUnitPrefix(prefix->getOBI());
}

void registerAbstractKineticLawInLibrary(OBInterface* law, int library, bool overwrite) {
  AKLRegistrationAssistant().registerInLibrary(law, library, overwrite);
}

void registerUnitInUserLibrary(OBInterface* unit, int library, bool overwrite) {
  BUnitRegistrationAssistant().registerInLibrary(unit, library, overwrite);
}

void registerUnitPrefixInUserLibrary(OBInterface* prefix, int library, bool overwrite) {
  BUnitPrefixRegistrationAssistant().registerInLibrary(prefix, library, overwrite);
}
