// The host class "Root": its instance, properties and methods, the library
// methods over stand-in library components and services, and the end of
// the root.
#include <cstring>
#include <string>

#include "ModelHostFixture.hpp"
#include "core/Application.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BLibrary.hpp"
#include "kinetics/BUnitWrapper.hpp"
#include "model/RootOBC.hpp"
#include "support/TestThing.hpp"

namespace {

// A Kestrion class whose instances stand over a given component; the
// component is not theirs (the destroy hook leaves it alone).
class BorrowingClass : public OBClass {
 public:
  explicit BorrowingClass(const char* name) { setName(name); }
  bool canBeConstructed() const override { return false; }
  void destroyInstance(OBInterface* inst) override { inst->setComponentObject(nullptr); }
};

// What the library services were asked.
struct ServiceLog {
  std::vector<std::string> calls;
  bool inUse = false;
};
ServiceLog& serviceLog() {
  static ServiceLog log;
  return log;
}

void installRecordingServices() {
  RootLibraryServices& s = rootLibraryServices();
  s.registerAbstractKineticLaw = [](BAbstractKineticLaw* law, int library, bool overwrite) {
    serviceLog().calls.push_back("registerAKL " + law->getName() + " " + std::to_string(library) +
                                 (overwrite ? " overwrite" : ""));
  };
  s.registerUnit = [](BUnitWrapper* unit, int library, bool) {
    serviceLog().calls.push_back("registerUnit " + unit->getName() + " " + std::to_string(library));
  };
  s.removeUserUnit = [](BUnitWrapper* unit) { serviceLog().calls.push_back("removeUserUnit " + unit->getName()); };
  s.removeUserUnitByName = [](const char* name) { serviceLog().calls.push_back(std::string("removeUnit ") + name); };
  s.removeUserUnitPrefixByName = [](const char* name) {
    serviceLog().calls.push_back(std::string("removePrefix ") + name);
  };
  s.isAbstractKineticLawInUse = [](const BAbstractKineticLaw*) { return serviceLog().inUse; };
  s.eraseUserAbstractKineticLaw = [](BAbstractKineticLaw* law) {
    serviceLog().calls.push_back("erase " + law->getName());
  };
  s.privateUpdateLibrary = [](const char* kind) { serviceLog().calls.push_back(std::string("update ") + kind); };
}

class RootHostTest : public ModelHostTest {
 protected:
  void SetUp() override {
    rootLibraryServices() = RootLibraryServices{};
    serviceLog() = ServiceLog{};
    ModelHostTest::SetUp();
  }

  OBInterface* root() { return getOBIRoot(); }

  // A host instance of the named stand-in class over the component.
  OBInterface* instanceOver(const char* className, KelborComponent* component) {
    OBClass* cls = GetQuorvApplication()->findClass(className);
    if (!cls) cls = registerHostClass(new BorrowingClass(className));
    auto* inst = new OBInterface(component, cls);
    component->setOBI(inst);
    host().own(obkHandleArray(inst));
    inst->releaseReference();
    made_.push_back(inst);
    return inst;
  }

  void TearDown() override {
    for (OBInterface* inst : made_) {
      if (KelborComponent* c = componentOf(inst)) c->setOBI(nullptr);
      inst->destroy(OBDatabaseClient::getInternalClient());
    }
    ModelHostTest::TearDown();
  }

  std::vector<OBInterface*> made_;
  // Library components the tests stand instances over; they outlive the
  // instances (destroyed in TearDown).
  BAbstractKineticLaw laws_[3];
};

TEST_F(RootHostTest, ClassAndOneInstance) {
  OBClass* cls = getRootOBClass();
  EXPECT_EQ(cls, getRootOBClass());
  EXPECT_STREQ(cls->getFullName(), "Kestrion.Root");
  ASSERT_NE(root(), nullptr);
  EXPECT_EQ(root()->getClass(), cls);
  EXPECT_EQ(componentOf(root()), BQuorvixRoot::getInstance());
  EXPECT_EQ(BQuorvixRoot::getInstance()->getOBI(), root());
  const int references = root()->getReferenceCount();
  EXPECT_EQ(host().construct("Root"), root());
  EXPECT_EQ(host().construct("Root"), root());
  EXPECT_EQ(root()->getReferenceCount(), references + 2);
  EXPECT_EQ(objectOf(host().callStatic("Root", "getroot", {})[0]), root());
  const char* methods[] = {"getroot", "display", "reset", "delete", "addtolibrary", "removefromlibrary",
                           "help", "copy", "copyobj"};
  ASSERT_EQ(cls->getMethods().size(), std::size(methods));
  for (size_t i = 0; i < std::size(methods); ++i) EXPECT_STREQ(cls->getMethods()[i]->getName(), methods[i]);
  EXPECT_TRUE(cls->getMethod("getroot")->isStatic());
  EXPECT_FALSE(cls->getMethod("reset")->isStatic());
}

TEST_F(RootHostTest, PropertiesAndHelpTexts) {
  struct Row {
    const char* name;
    const char* type;
    bool visible;
    const char* help;
  };
  const Row rows[] = {
      {"BuiltInKineticLaws", "handle vector", true, "An array of the built-in abstract kinetic laws."},
      {"BuiltInUnitPrefixes", "handle vector", false, "An array of the built-in unit prefixes."},
      {"BuiltInUnits", "handle vector", false, "An array of the built-in units."},
      {"Models", "handle vector", true, nullptr},
      {"Tempdir", "string", false, "The name of the temporary directory used by Kestrion."},
      {"Type", "string", true, "Indicate a Kestrion object type."},
      {"UserDefinedKineticLaws", "handle vector", true, "An array of the user-defined abstract kinetic laws."},
      {"UserDefinedUnitPrefixes", "handle vector", false, "An array of the user-defined unit prefixes available."},
      {"UserDefinedUnits", "handle vector", false, "An array of the built-in units."},
      {"BuiltinLibrary", "handle", true,
       "The Kestrion library for builtin units, unit prefixes\nand abstract kinetic laws objects."},
      {"UserDefinedLibrary", "handle", true,
       "The Kestrion library for user-defined units, unit prefixes\nand abstract kinetic laws objects."},
  };
  const auto& props = getRootOBClass()->getProperties();
  ASSERT_EQ(props.size(), std::size(rows));
  for (size_t i = 0; i < props.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_STREQ(props[i]->getName(), rows[i].name);
    EXPECT_STREQ(props[i]->getDataType(nullptr)->getName(), rows[i].type);
    EXPECT_EQ(props[i]->isVisible(), rows[i].visible);
    EXPECT_FALSE(props[i]->isExternalSetAccess());
    if (rows[i].help) {
      EXPECT_STREQ(props[i]->getDescription(), rows[i].help);
    }
  }
  EXPECT_EQ(host().getString(root(), "Type"), "kstrroot");
  EXPECT_EQ(host().getString(root(), "Tempdir"), BQuorvixRoot::getInstance()->getTempDir());
  // The libraries have no host instances while the class "Library" is missing.
  EXPECT_TRUE(qxIsEmpty(host().get(root(), "BuiltinLibrary")));
}

TEST_F(RootHostTest, ModelsLikeTheRootsList) {
  EXPECT_TRUE(qxIsEmpty(host().get(root(), "Models")));
  OBInterface* a = model("a");
  OBInterface* b = model("b");
  EXPECT_EQ(handlesOf(host().get(root(), "Models")), (std::vector<OBInterface*>{a, b}));
  host().call(root(), "reset");
  EXPECT_FALSE(a->isValid());
  EXPECT_FALSE(b->isValid());
  EXPECT_TRUE(qxIsEmpty(host().get(root(), "Models")));
  host().call(root(), "reset");  // nothing to do
}

TEST_F(RootHostTest, DeprecatedLibraryViews) {
  const std::pair<const char*, const char*> views[] = {
      {"BuiltInKineticLaws", "Builtin"},     {"BuiltInUnitPrefixes", "Builtin"},
      {"BuiltInUnits", "Builtin"},           {"UserDefinedKineticLaws", "UserDefined"},
      {"UserDefinedUnitPrefixes", "UserDefined"}, {"UserDefinedUnits", "UserDefined"},
  };
  for (const auto& [name, word] : views) {
    SCOPED_TRACE(name);
    expectHostError([&, name = name] { host().get(root(), name); }, "Kestrion:RootLibraryPropertyDeprecated",
                    std::string("The ") + name + " property on the root object is deprecated. It now exists on the "
                        "root's " + word + " library (get(kstrroot, '" + word + "Library')).");
    EXPECT_TRUE(qxIsEmpty(host().get(root(), name, true)));
  }
}

TEST_F(RootHostTest, TheRootCannotBeDeletedByItsMethod) {
  expectHostError([&] { host().call(root(), "delete"); }, "Kestrion:KSTRROOT_DELETE",
                  "The Kestrion root object cannot be deleted. USE KSTRRESET to delete the models contained by "
                  "the root.");
  expectHostError([&] { host().call(root(), "copyobj", {}, 1); }, "Kestrion:COPYOBJ_INVALIDARG");
  EXPECT_TRUE(root()->isValid());
  host().clearLogs();
  host().call(root(), "display");
  EXPECT_NE(host().printed().find("   Kestrion Root Contains:\n\n    Models:                           0\n"),
            std::string::npos);
}

TEST_F(RootHostTest, AddToLibraryChecksTheObject) {
  installRecordingServices();
  OBInterface* m = model("m");
  OBInterface* species = add(m, "addspecies", {host().str("A")});
  foreignClass();
  OBInterface* foreign = host().construct("Other.Foreign");
  expectHostError([&] { host().call(root(), "addtolibrary", {host().handle(nullptr)}, 1); },
                  "Kestrion:ROOT_ADDTOLIBRARY_EMPTY_OBJ",
                  "Invalid syntax. The object being added to the library must be a Kestrion abstract kinetic law object.");
  const char* invalid = "Only Unit, Unit Prefix and Abstract Kinetic Law objects can be added to a library.";
  expectHostError([&] { host().call(root(), "addtolibrary", {host().handle(species)}, 1); },
                  "Kestrion:InvalidLibraryComponent", invalid);
  expectHostError([&] { host().call(root(), "addtolibrary", {host().handle(foreign)}, 1); },
                  "Kestrion:InvalidLibraryComponent", invalid);
  EXPECT_TRUE(serviceLog().calls.empty());
}

TEST_F(RootHostTest, AddToLibraryRegistersInTheUserLibrary) {
  BAbstractKineticLaw& law = laws_[0];
  law.setName("MyLaw");
  OBInterface* lawInstance = instanceOver("AbstractKineticLaw", &law);
  expectHostError([&] { host().call(root(), "addtolibrary", {host().handle(lawInstance)}, 1); },
                  "Kestrion:LibraryServiceUnavailable",
                  "The library service 'AKLRegistrationAssistant' is not available.");
  installRecordingServices();
  std::vector<qxArray*> result = host().call(root(), "addtolibrary", {host().handle(lawInstance)}, 1);
  EXPECT_TRUE(qxIsEmpty(result[0]));
  BUnitWrapper* unit = BQuorvixRoot::getInstance()->getLibrary(0)->getUnits().front();
  OBInterface* unitInstance = instanceOver("Unit", unit);
  host().call(root(), "addtolibrary", {host().handle(unitInstance)}, 1);
  // Removing a unit object goes to the user-unit removal.
  host().call(root(), "removefromlibrary", {host().handle(unitInstance)});
  EXPECT_EQ(serviceLog().calls, (std::vector<std::string>{"registerAKL MyLaw 1", "registerUnit " + unit->getName() + " 1",
                                                          "removeUserUnit " + unit->getName()}));
}

TEST_F(RootHostTest, RemoveFromLibraryArgumentChecks) {
  installRecordingServices();
  OBInterface* m = model("m");
  OBInterface* species = add(m, "addspecies", {host().str("A")});
  const char* badType = "Invalid TYPE. Valid TYPEs are 'kineticlaw', 'unit' or 'unitprefix'.";
  expectHostError([&] { host().call(root(), "removefromlibrary", {host().handle(nullptr)}); },
                  "Kestrion:ROOT_REMOVEFROMLIBRARY_EMPTY_OBJ");
  expectHostError([&] { host().call(root(), "removefromlibrary", {host().handle(species)}); },
                  "Kestrion:RemoveFromLibraryInvalidArg",
                  "Abstract Kinetic Laws, Units and Unit Prefixes are the only components that can be removed "
                  "from libraries.");
  expectHostError([&] { host().call(root(), "removefromlibrary", {host().str(""), host().str("x")}); },
                  "Kestrion:InvalidRemoveFromLibraryArguments", badType);
  expectHostError([&] { host().call(root(), "removefromlibrary", {host().str("unit"), host().str("")}); },
                  "Kestrion:InvalidRemoveFromLibraryArguments", "Name cannot be empty. A valid name must be specified.");
  expectHostError([&] { host().call(root(), "removefromlibrary", {host().str("species"), host().str("x")}); },
                  "Kestrion:InvalidRemoveFromLibraryArguments", badType);
  host().call(root(), "removefromlibrary", {host().str("KineticLaw"), host().str("none")});
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:AKLDoesNotExistInUser"});
  host().call(root(), "removefromlibrary", {host().str("UNIT"), host().str("mole")});
  host().call(root(), "removefromlibrary", {host().str("unitprefix"), host().str("kilo")});
  EXPECT_EQ(serviceLog().calls, (std::vector<std::string>{"removeUnit mole", "removePrefix kilo"}));
}

TEST_F(RootHostTest, RemovingAbstractKineticLaws) {
  installRecordingServices();
  BLibrary* builtin = BQuorvixRoot::getInstance()->getLibrary(0);
  BLibrary* user = BQuorvixRoot::getInstance()->getLibrary(1);
  BAbstractKineticLaw& builtinLaw = laws_[0];
  builtinLaw.setName("MassAction");
  BAbstractKineticLaw& userLaw = laws_[1];
  userLaw.setName("Mine");
  BAbstractKineticLaw& stranger = laws_[2];
  stranger.setName("Mine");
  builtin->addAbstractKineticLaw(&builtinLaw);
  user->addAbstractKineticLaw(&userLaw);
  OBInterface* builtinInstance = instanceOver("AbstractKineticLaw", &builtinLaw);
  OBInterface* userInstance = instanceOver("AbstractKineticLaw", &userLaw);
  OBInterface* strangerInstance = instanceOver("AbstractKineticLaw", &stranger);
  userInstance->addBelow(root());
  host().call(root(), "removefromlibrary", {host().handle(builtinInstance)});
  host().call(root(), "removefromlibrary", {host().handle(strangerInstance)});
  serviceLog().inUse = true;
  host().call(root(), "removefromlibrary", {host().handle(userInstance)});
  EXPECT_EQ(warningIds(), (std::vector<std::string>{"Kestrion:AKLInBuiltInCannotBeRemoved",
                                                    "Kestrion:AKLDoesNotExistInUser", "Kestrion:AKLInUse"}));
  EXPECT_EQ(host().warnings()[0].text, "Warning: The kinetic law named 'MassAction' is built-in and cannot be deleted.");
  EXPECT_NE(host().warnings()[2].text.find("klusedby = kstrselect('Type','kineticlaw','KineticLawName','Mine')"),
            std::string::npos);
  EXPECT_TRUE(serviceLog().calls.empty());
  serviceLog().inUse = false;
  host().call(root(), "removefromlibrary", {host().str("kineticlaw"), host().str("Mine")});
  EXPECT_EQ(serviceLog().calls, (std::vector<std::string>{"erase Mine", "update kineticlaw"}));
  EXPECT_EQ(userInstance->getUp(), nullptr);
  // The lists keep their storage once grown; that is not left behind by the
  // methods under test.
  checkLeaks_ = false;
  const_cast<kstrVector<BAbstractKineticLaw*>&>(builtin->getAbstractKineticLaws()).clear();
  const_cast<kstrVector<BAbstractKineticLaw*>&>(user->getAbstractKineticLaws()).clear();
}

// The root's destroy hook deletes the root and forgets it, with its models.
TEST_F(RootHostTest, DestroyingTheRootInstanceForgetsTheRoot) {
  checkLeaks_ = false;
  OBInterface* m = model("m");
  OBInterface* rootInstance = root();
  host().destroy(rootInstance);
  EXPECT_FALSE(m->isValid());
  EXPECT_EQ(getOBIRoot(), nullptr);
  EXPECT_EQ(BQuorvixRoot::getInstanceIfAny(), nullptr);
  EXPECT_EQ(getRootOBClass()->createInstance(OBDatabaseClient::getInternalClient()), nullptr);
  EXPECT_TRUE(obkDestroyDiagnostics().empty());
}

}  // namespace
