#include "model/RootOBC.hpp"

#include <cctype>
#include <cstring>
#include <string>

#include <interp/interp.hpp>
#include <ks_utils/Errors.hpp>

#include "core/Application.hpp"
#include "core/ComponentCopy.hpp"
#include "core/JavaEventFactory.hpp"
#include "core/ModelComponentMethods.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BLibrary.hpp"
#include "kinetics/BUnitPrefixWrapper.hpp"
#include "kinetics/BUnitWrapper.hpp"
#include "kinetics/LibraryRegistration.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "core/HostBoundary.hpp"

using Code = kstr::MessageCode;

namespace {

[[noreturn]] void fail(const char* id, Code message) { kstr_error(id, kstr::code(message)); }

void warn(const char* id, Code message, const char* first = nullptr, const char* second = nullptr) {
  hb_warning_id(hbGetWarningContext(), id, kstr::code(message), first, second);
}

// The root object behind an instance of "Root" (checked by class name).
BQuorvixRoot* rootOf(const OBInterface* inst) {
  if (!inst || std::strcmp(inst->getClass()->getName(), "Root") != 0) {
    throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  }
  auto* root = static_cast<BQuorvixRoot*>(componentOf(inst));
  if (!root) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  return root;
}

// Host instances for the two library records, once the class "Library"
// exists; each library keeps its instance's creation reference.
void ensureLibraryInstances(BQuorvixRoot* root) {
  OBClass* libraryClass = GetQuorvApplication()->findClass("Library");
  if (!libraryClass) return;
  for (int index = 0; index < 2; ++index) {
    BLibrary* library = root->getLibrary(index);
    if (!library->getOBI()) library->setOBI(new OBInterface(library, libraryClass));
  }
}

// --- properties ------------------------------------------------------------------------

// One row of the Root property table.  kind selects the value read.
enum class RootValue { BuiltinLaws, BuiltinPrefixes, BuiltinUnits, Models, Tempdir, Type, UserLaws,
                       UserPrefixes, UserUnits, BuiltinLibrary, UserLibrary };

struct RootPropRow {
  const char* name;
  const char* typeName;
  bool visible;
  RootValue value;
  const char* help;
};

const char kModelsHelp[] =
    "The models held by the root. A model whose Parent is the root is a\n"
    "   top-level model; a model whose Parent is another model is a sub-model\n"
    "   of that model.";

const RootPropRow kRootProperties[] = {
    {"BuiltInKineticLaws", "handle vector", true, RootValue::BuiltinLaws,
     "An array of the built-in abstract kinetic laws."},
    {"BuiltInUnitPrefixes", "handle vector", false, RootValue::BuiltinPrefixes,
     "An array of the built-in unit prefixes."},
    {"BuiltInUnits", "handle vector", false, RootValue::BuiltinUnits, "An array of the built-in units."},
    {"Models", "handle vector", true, RootValue::Models, kModelsHelp},
    {"Tempdir", "string", false, RootValue::Tempdir, "The name of the temporary directory used by Kestrion."},
    {"Type", "string", true, RootValue::Type, "Indicate a Kestrion object type."},
    {"UserDefinedKineticLaws", "handle vector", true, RootValue::UserLaws,
     "An array of the user-defined abstract kinetic laws."},
    {"UserDefinedUnitPrefixes", "handle vector", false, RootValue::UserPrefixes,
     "An array of the user-defined unit prefixes available."},
    {"UserDefinedUnits", "handle vector", false, RootValue::UserUnits, "An array of the built-in units."},
    {"BuiltinLibrary", "handle", true, RootValue::BuiltinLibrary,
     "The Kestrion library for builtin units, unit prefixes\nand abstract kinetic laws objects."},
    {"UserDefinedLibrary", "handle", true, RootValue::UserLibrary,
     "The Kestrion library for user-defined units, unit prefixes\nand abstract kinetic laws objects."},
};

template <class List>
Vector* instancesOf(const List& list) {
  auto* out = new Vector();
  for (const auto* component : list) {
    if (component && component->getOBI()) out->addElement(component->getOBI());
  }
  return out;
}

// A Root property: readable by both clients, never set (a set is ignored).
class QuorvixRoot_PropertyPIT : public OBPropInfoTemplate {
 public:
  explicit QuorvixRoot_PropertyPIT(const RootPropRow& row) : row_(row) {
    setName(row.name);
    setDescription(row.help);
    setDataType(row.typeName);
    setAccess(OBAccessFlag::ExternalSet, false);
    setAccess(OBAccessFlag::Visible, row.visible);
  }
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient*, OBInterface*, void*) override {}
  void releaseValue(OBDatabaseClient*, OBInterface*, void* value) override {
    if (std::strcmp(row_.typeName, "handle vector") == 0) delete static_cast<Vector*>(value);
  }
  bool canContainOBInterfaces() const override { return false; }

 private:
  // The deprecated library views: refused to the user, a new vector of the
  // library list otherwise.
  void* deprecatedView(OBDatabaseClient* client, const BLibrary* library, const char* word) const;
  const RootPropRow& row_;
};

void* QuorvixRoot_PropertyPIT::deprecatedView(OBDatabaseClient* client, const BLibrary* library,
                                              const char* word) const {
  if (obkIsExternal(client)) {
    kstr_error("Kestrion:RootLibraryPropertyDeprecated", kstr::code(Code::KS_ROOT_LIBRARY_PROPERTY_DEPRECATED),
               row_.name, word, word);
  }
  switch (row_.value) {
    case RootValue::BuiltinLaws:
    case RootValue::UserLaws:
      return instancesOf(library->getAbstractKineticLaws());
    case RootValue::BuiltinPrefixes:
    case RootValue::UserPrefixes:
      return instancesOf(library->getUnitPrefixes());
    default:
      return instancesOf(library->getUnits());
  }
}

void* QuorvixRoot_PropertyPIT::getValue(OBDatabaseClient* client, OBInterface* inst) {
  BQuorvixRoot* root = rootOf(inst);
  switch (row_.value) {
    case RootValue::BuiltinLaws:
    case RootValue::BuiltinPrefixes:
    case RootValue::BuiltinUnits:
      return deprecatedView(client, root->getLibrary(0), "Builtin");
    case RootValue::UserLaws:
    case RootValue::UserPrefixes:
    case RootValue::UserUnits:
      return deprecatedView(client, root->getLibrary(1), "UserDefined");
    case RootValue::Models:
      return root->getModels().empty() ? nullptr : instancesOf(root->getModels());
    case RootValue::Tempdir:
      return const_cast<char*>(root->getTempDir().c_str());
    case RootValue::Type:
      return const_cast<char*>(root->getType());
    case RootValue::BuiltinLibrary:
    case RootValue::UserLibrary:
      ensureLibraryInstances(root);
      return root->getLibrary(row_.value == RootValue::BuiltinLibrary ? 0 : 1)->getOBI();
  }
  return nullptr;
}

// --- methods -------------------------------------------------------------------------------

class QuorvixRoot_getroot_MI : public OBMethodInfo {
 public:
  QuorvixRoot_getroot_MI() {
    setName("getroot");
    setStatic(true);
    addMethodSignature(new OBMethodSignature({}, {"handle"}));
  }
  void invoke(OBMethodSignature*, int& nOut, void* outs[], int, void* const[]) override {
    nOut = 1;
    outs[0] = getOBIRoot();
  }
};

class QuorvixRoot_display_MI : public ModelComponent_display_MI {
 public:
  void displayOne(int&, void*[], int, void* const ins[]) override {
    rootOf(static_cast<OBInterface*>(ins[0]))->display();
  }
  void displayVector(int&, void*[], int, void* const ins[]) override {
    const auto* roots = static_cast<const Vector*>(ins[0]);
    if (roots && roots->size() > 0) rootOf(roots->elementAt(0))->display();
  }
};

// Deletes every model of the root through the Model class's "delete".
class QuorvixRoot_reset_MI : public OBMethodInfo {
 public:
  QuorvixRoot_reset_MI() {
    setName("reset");
    addMethodSignature(new OBMethodSignature({"handle"}));
  }
  void invoke(OBMethodSignature*, int&, void*[], int, void* const ins[]) override {
    BQuorvixRoot* root = rootOf(static_cast<OBInterface*>(ins[0]));
    const kstrVector<Kelbor*> models = root->getModels();
    root->getModels().clear();
    if (models.empty()) return;
    OBClass* modelClass = GetQuorvApplication()->findClass("Model");
    OBMethodInfo* remove = modelClass ? modelClass->getMethod("delete") : nullptr;
    if (!remove) throw ErrorIdException("Kestrion:UnknownClass", "The class 'Model' is not available.");
    OBMethodSignature* single = remove->getMethodSignatures().front();
    for (Kelbor* model : models) {
      void* args[1] = {model->getOBI()};
      void* outs[1] = {nullptr};
      int nOut = 0;
      remove->invoke(single, nOut, outs, 1, args);
    }
  }
};

class QuorvixRoot_delete_MI : public OBMethodInfo {
 public:
  QuorvixRoot_delete_MI() {
    setName("delete");
    addMethodSignature(new OBMethodSignature({"handle"}));
  }
  void invoke(OBMethodSignature*, int&, void*[], int, void* const[]) override {
    fail("Kestrion:KSTRROOT_DELETE", Code::KS_QUORVROOT_DELETE);
  }
};

bool isKestrionClass(const OBClass* cls) {
  return cls && cls->getApplication() && std::strcmp(cls->getApplication()->getName(), "Kestrion") == 0;
}

[[noreturn]] void throwInvalidLibraryComponent() {
  throw ErrorIdException("Kestrion:InvalidLibraryComponent",
                         "Only Unit, Unit Prefix and Abstract Kinetic Law objects can be added to a library.");
}

class QuorvixRoot_addtolibrary_MI : public OBMethodInfo {
 public:
  QuorvixRoot_addtolibrary_MI() {
    setName("addtolibrary");
    own_ = new OBMethodSignature({"handle", "handle"}, {"handle"});
    addMethodSignature(own_);
  }
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int, void* const ins[]) override {
    nOut = 1;
    outs[0] = nullptr;
    if (matched != own_) return;
    auto* object = static_cast<OBInterface*>(ins[1]);
    if (!object) fail("Kestrion:ROOT_ADDTOLIBRARY_EMPTY_OBJ", Code::KS_ROOT_ADDTOLIBRARY_EMPTY_OBJ);
    if (!isKestrionClass(object->getClass())) throwInvalidLibraryComponent();
    KelborComponent* component = componentOf(object);
    switch (component ? component->getEnumType() : kstr::not_a_component) {
      case kstr::abstract_kinetic_law:
        AKLRegistrationAssistant().registerInLibrary(object, 1, false);
        return;
      case kstr::unit:
        BUnitRegistrationAssistant().registerInLibrary(object, 1, false);
        return;
      case kstr::unitprefix:
        BUnitPrefixRegistrationAssistant().registerInLibrary(object, 1, false);
        return;
      default:
        throwInvalidLibraryComponent();
    }
  }

 private:
  OBMethodSignature* own_;
};

std::string lowerCase(const char* text) {
  std::string lower = text ? text : "";
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

class QuorvixRoot_removefromlibrary_MI : public OBMethodInfo {
 public:
  QuorvixRoot_removefromlibrary_MI() {
    setName("removefromlibrary");
    byObject_ = new OBMethodSignature({"handle", "handle"});
    addMethodSignature(byObject_);
    addMethodSignature(new OBMethodSignature({"handle", "string", "string"}));
  }
  void invoke(OBMethodSignature* matched, int&, void*[], int, void* const ins[]) override {
    BQuorvixRoot* root = rootOf(static_cast<OBInterface*>(ins[0]));
    if (matched == byObject_) {
      removeObject(static_cast<OBInterface*>(ins[1]));
    } else {
      removeByName(root, static_cast<const char*>(ins[1]), static_cast<const char*>(ins[2]));
    }
  }

 private:
  static void removeObject(OBInterface* object) {
    if (!object) fail("Kestrion:ROOT_REMOVEFROMLIBRARY_EMPTY_OBJ", Code::KS_ROOT_REMOVEFROMLIBRARY_EMPTY_OBJ);
    const std::string className = object->getClass()->getName();
    if (className == "AbstractKineticLaw") {
      removeAbstractKineticLawFromLibrary(abstractKineticLawOf(object), object);
    } else if (className == "Unit") {
      removeUserUnit(object);
    } else if (className == "UnitPrefix") {
      removeUserUnitPrefix(object);
    } else {
      throw ErrorIdException("Kestrion:RemoveFromLibraryInvalidArg",
                             "Abstract Kinetic Laws, Units and Unit Prefixes are the only components "
                             "that can be removed from libraries.");
    }
  }

  static void removeByName(BQuorvixRoot* root, const char* typeText, const char* name) {
    if (!typeText || !*typeText) {
      fail("Kestrion:InvalidRemoveFromLibraryArguments", Code::KS_ROOT_REMOVEFROMLIBRARY_INVALID_OPTION);
    }
    if (!name || !*name) {
      fail("Kestrion:InvalidRemoveFromLibraryArguments", Code::KS_ROOT_REMOVEFROMLIBRARY_EMPTY_NAME);
    }
    const std::string type = lowerCase(typeText);
    if (type == "kineticlaw") {
      BAbstractKineticLaw* law = root->getLibrary(1)->findAbstractKineticLaw(name);
      if (!law) {
        warn("Kestrion:AKLDoesNotExistInUser", Code::KS_AKL_DOESNOTEXIST_INUSER);
        return;
      }
      removeAbstractKineticLawFromLibrary(law, law->getOBI());
    } else if (type == "unit") {
      removeUserUnitByName(name);
    } else if (type == "unitprefix") {
      removeUserUnitPrefixByName(name);
    } else {
      fail("Kestrion:InvalidRemoveFromLibraryArguments", Code::KS_ROOT_REMOVEFROMLIBRARY_INVALID_OPTION);
    }
  }

  OBMethodSignature* byObject_;
};

OBInterface*& rootInstanceHolder() {
  static OBInterface* holder = nullptr;
  return holder;
}

// The host's "privatebackupandremoveunit" takes a user unit out of the user
// library through this; false when the user library has no unit of that
// name.
bool removeUserUnitForHost(const std::string& name) {
  BQuorvixRoot* root = BQuorvixRoot::getInstanceIfAny();
  if (!root || !root->getLibrary(1)->findUnit(name)) return false;
  removeUserUnitBeingRedefined(name.c_str());
  return true;
}

}  // namespace

// --- the class ----------------------------------------------------------------------------------

BQuorvixRootOBC::BQuorvixRootOBC() {
  setName("Root");
  setClassQueries(true, true);
  addConstructorSignature(new OBMethodSignature({}));
  for (const RootPropRow& row : kRootProperties) addProperty(new HostGuarded<QuorvixRoot_PropertyPIT>(row));
  addMethod(new HostGuarded<QuorvixRoot_getroot_MI>());
  addMethod(new HostGuarded<QuorvixRoot_display_MI>());
  addMethod(new HostGuarded<QuorvixRoot_reset_MI>());
  addMethod(new HostGuarded<QuorvixRoot_delete_MI>());
  addMethod(new HostGuarded<QuorvixRoot_addtolibrary_MI>());
  addMethod(new HostGuarded<QuorvixRoot_removefromlibrary_MI>());
  addMethod(new HostGuarded<ModelComponent_help_MI>());
  addMethod(new HostGuarded<ModelComponent_copy_MI>());
  addMethod(new HostGuarded<ModelComponent_copyobj_MI>());
}

OBInterface* BQuorvixRootOBC::createInstance(OBDatabaseClient*, int, void* const[], OBInterface*, int) {
  OBInterface* root = getOBIRoot();
  if (root) root->getReference();
  return root;
}

void BQuorvixRootOBC::destroyInstance(OBInterface* inst) {
  if (std::strcmp(inst->getClass()->getName(), "Root") != 0) return;
  auto* root = static_cast<BQuorvixRoot*>(componentOf(inst));
  inst->setComponentObject(nullptr);
  if (!root) return;
  // The library instances and the wrappers that no host instance owns go
  // with the root.
  for (int index = 0; index < 2; ++index) {
    BLibrary* library = root->getLibrary(index);
    if (OBInterface* libraryInstance = library->getOBI()) {
      // A handle the user still holds must not reach the library the root
      // frees below.
      library->setOBI(nullptr);
      libraryInstance->setComponentObject(nullptr);
      libraryInstance->releaseReference();
    }
    for (BUnitWrapper* unit : library->getUnits()) {
      if (unit && !unit->getOBI()) delete unit;
    }
    for (BUnitPrefixWrapper* prefix : library->getUnitPrefixes()) {
      if (prefix && !prefix->getOBI()) delete prefix;
    }
  }
  const bool processInstance = rootInstanceHolder() == inst;
  rootInstanceHolder() = nullptr;
  if (root == BQuorvixRoot::getInstanceIfAny()) {
    BQuorvixRoot::destroyInstance();
  } else {
    delete root;
  }
  setOBIRoot(nullptr);
  // The process's own reference; the destroy that runs this hook holds one
  // of its own until it is done.
  if (processInstance) inst->releaseReference();
}

OBClass* getRootOBClass() {
  static OBClass* cls = [] {
    OBClass* rootClass = registerHostClass(new HostGuarded<BQuorvixRootOBC>());
    BQuorvixRoot* root = BQuorvixRoot::getInstance();
    ensureLibraryInstances(root);
    auto* instance = new OBInterface(static_cast<KelborComponent*>(root), rootClass);
    rootInstanceHolder() = instance;
    setOBIRoot(instance);
    interpSetUnitRemover(&removeUserUnitForHost);
    root->setOBI(instance);
    instance->internalToExternal();
    for (const BUnitWrapper* unit : root->getLibrary(0)->getUnits()) {
      if (unit->getOBI()) unit->getOBI()->addBelow(instance);
    }
    for (const BUnitPrefixWrapper* prefix : root->getLibrary(0)->getUnitPrefixes()) {
      if (prefix->getOBI()) prefix->getOBI()->addBelow(instance);
    }
    return rootClass;
  }();
  return cls;
}

void removeAbstractKineticLawFromLibrary(BAbstractKineticLaw* law, OBInterface* lawInstance) {
  BQuorvixRoot* root = BQuorvixRoot::getInstance();
  const std::string name = law ? law->getName() : std::string();
  const int index = law ? root->findLibraryIndex(2, name.c_str()) : -1;
  if (index < 0 || root->getLibrary(index)->findAbstractKineticLaw(name) != law) {
    warn("Kestrion:AKLDoesNotExistInUser", Code::KS_AKL_DOESNOTEXIST_INUSER);
    return;
  }
  if (index == 0) {
    warn("Kestrion:AKLInBuiltInCannotBeRemoved", Code::KS_AKL_IN_BUILTIN_CANNOT_BE_REMOVED, name.c_str());
    return;
  }
  // In use means bound by some kinetic law to this very law.
  if (law->getBindingCount() > 0) {
    warn("Kestrion:AKLInUse", Code::KS_AKL_IN_USE_CANNOT_BE_REMOVED, name.c_str(), name.c_str());
    return;
  }
  root->getLibrary(1)->removeAbstractKineticLaw(law);
  law->setOBIParent(nullptr);
  if (JavaEventFactory* factory = javaEventFactory()) factory->postKineticLawNameEvent(name.c_str());
  privateUpdateLibrary("kineticlaw");
  // Leaving the tree drops the tree's reference, which may free the law.
  if (lawInstance && lawInstance->getUp()) lawInstance->addBelow(nullptr);
}
