// The host class "Root": its instance, properties and methods, the library
// methods over real laws, units and prefixes, and the end of the root.
#include <cstring>
#include <map>
#include <string>

#include "ModelHostFixture.hpp"
#include "core/Application.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BLibrary.hpp"
#include "kinetics/BUnitPrefixWrapper.hpp"
#include "kinetics/BUnitWrapper.hpp"
#include "model/RootOBC.hpp"
#include "support/TestThing.hpp"
#include <interp/interp_test.hpp>

namespace {

class RootHostTest : public ModelHostTest {
 protected:
  OBInterface* root() { return getOBIRoot(); }
  BLibrary* userLibrary() { return BQuorvixRoot::getInstance()->getLibrary(1); }

  // A user law made as a user would: name, expression and variables.
  OBInterface* newLaw(const char* name) {
    OBInterface* law = host().construct("AbstractKineticLaw", {host().str(name), host().str("k*S")});
    host().set(law, "ParameterVariables", host().str("k"));
    host().set(law, "SpeciesVariables", host().str("S"));
    return law;
  }
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
  // Both libraries have host instances of "Library".
  OBInterface* builtinLibrary = objectOf(host().get(root(), "BuiltinLibrary"));
  EXPECT_EQ(builtinLibrary, BQuorvixRoot::getInstance()->getLibrary(0)->getOBI());
  EXPECT_STREQ(objectOf(host().get(root(), "UserDefinedLibrary"))->getClass()->getName(), "Library");
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
  const BLibrary* builtin = BQuorvixRoot::getInstance()->getLibrary(0);
  const std::map<std::string, size_t> expected = {
      {"BuiltInKineticLaws", builtin->getAbstractKineticLaws().size()},
      {"BuiltInUnitPrefixes", builtin->getUnitPrefixes().size()},
      {"BuiltInUnits", builtin->getUnits().size()},
      {"UserDefinedKineticLaws", 0}, {"UserDefinedUnitPrefixes", 0}, {"UserDefinedUnits", 0}};
  for (const auto& [name, word] : views) {
    SCOPED_TRACE(name);
    expectHostError([&, name = name] { host().get(root(), name); }, "Kestrion:RootLibraryPropertyDeprecated",
                    std::string("The ") + name + " property on the root object is deprecated. It now exists on the "
                        "root's " + word + " library (get(kstrroot, '" + word + "Library')).");
    // The engine's own client reads the library's list.
    EXPECT_EQ(qxGetNumberOfElements(host().get(root(), name, true)), expected.at(name));
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
  EXPECT_TRUE(userLibrary()->getAbstractKineticLaws().empty());
  EXPECT_TRUE(userLibrary()->getUnits().empty());
}

// Laws, units and prefixes enter the user library below the root and leave
// it again, each change asking the host to rewrite the library file.
TEST_F(RootHostTest, AddToAndRemoveFromTheUserLibrary) {
  OBInterface* law = newLaw("MyLaw");
  OBInterface* unit = host().construct("Unit", {host().str("myunit"), host().str("mole"), host().num(2)});
  OBInterface* prefix = host().construct("UnitPrefix", {host().str("myprefix"), host().num(4)});
  interpClearCallLog();
  for (OBInterface* object : {law, unit, prefix}) {
    std::vector<qxArray*> result = host().call(root(), "addtolibrary", {host().handle(object)}, 1);
    EXPECT_TRUE(qxIsEmpty(result[0]));
    EXPECT_EQ(object->getUp(), root());
  }
  EXPECT_EQ(userLibrary()->findAbstractKineticLaw("MyLaw")->getOBI(), law);
  EXPECT_EQ(userLibrary()->findUnit("myunit")->getOBI(), unit);
  EXPECT_EQ(userLibrary()->findUnitPrefix("myprefix")->getOBI(), prefix);
  EXPECT_GE(interpUpdateLibraryCounts().at("kineticlaw"), 1);
  host().call(root(), "removefromlibrary", {host().handle(law)});
  host().call(root(), "removefromlibrary", {host().str("unit"), host().str("myunit")});
  host().call(root(), "removefromlibrary", {host().str("UNITPREFIX"), host().str("myprefix")});
  EXPECT_TRUE(userLibrary()->getAbstractKineticLaws().empty());
  EXPECT_TRUE(userLibrary()->getUnits().empty());
  EXPECT_TRUE(userLibrary()->getUnitPrefixes().empty());
  for (OBInterface* object : {law, unit, prefix}) EXPECT_EQ(object->getUp(), nullptr);
  EXPECT_TRUE(host().warnings().empty());
  // The user library's lists keep the storage they grew.
  checkLeaks_ = false;
}

TEST_F(RootHostTest, RemoveFromLibraryArgumentChecks) {
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
  host().call(root(), "removefromlibrary", {host().str("UNIT"), host().str("mole")});
  host().call(root(), "removefromlibrary", {host().str("unitprefix"), host().str("kilo")});
  EXPECT_EQ(warningIds(), (std::vector<std::string>{"Kestrion:AKLDoesNotExistInUser", "Kestrion:UnitDoesNotExistInUser",
                                                    "Kestrion:UnitPrefixDoesNotExistInUser"}));
  EXPECT_EQ(host().warnings()[1].text, "Warning: This unit does not exist in the user-defined library.");
}

TEST_F(RootHostTest, RemovingAbstractKineticLaws) {
  OBInterface* builtin = BQuorvixRoot::getInstance()->getLibrary(0)->findAbstractKineticLaw("MassAction")->getOBI();
  OBInterface* mine = newLaw("Mine");
  OBInterface* stranger = newLaw("Mine");
  host().call(root(), "addtolibrary", {host().handle(mine)}, 1);
  // A reaction's kinetic law uses "Mine".
  OBInterface* m = model("m");
  OBInterface* r = add(m, "addreaction", {host().str("S -> P")});
  OBInterface* kl = add(r, "addkineticlaw", {host().str("Mine")});
  host().clearLogs();
  host().call(root(), "removefromlibrary", {host().handle(builtin)});
  host().call(root(), "removefromlibrary", {host().handle(stranger)});
  host().call(root(), "removefromlibrary", {host().handle(mine)});
  EXPECT_EQ(warningIds(), (std::vector<std::string>{"Kestrion:AKLInBuiltInCannotBeRemoved",
                                                    "Kestrion:AKLDoesNotExistInUser", "Kestrion:AKLInUse"}));
  EXPECT_EQ(host().warnings()[0].text, "Warning: The kinetic law named 'MassAction' is built-in and cannot be deleted.");
  EXPECT_NE(host().warnings()[2].text.find("klusedby = kstrselect('Type','kineticlaw','KineticLawName','Mine')"),
            std::string::npos);
  EXPECT_EQ(userLibrary()->findAbstractKineticLaw("Mine")->getOBI(), mine);
  EXPECT_TRUE(host().destroy(kl));
  host().call(root(), "removefromlibrary", {host().str("kineticlaw"), host().str("Mine")});
  EXPECT_EQ(userLibrary()->findAbstractKineticLaw("Mine"), nullptr);
  EXPECT_EQ(mine->getUp(), nullptr);
  // The user library's list keeps the storage it grew.
  checkLeaks_ = false;
}

// The root's destroy hook deletes the root and forgets it, with its models.
TEST_F(RootHostTest, DestroyingTheRootInstanceForgetsTheRoot) {
  checkLeaks_ = false;
  OBInterface* m = model("m");
  OBInterface* rootInstance = root();
  // A library handle the user still holds outlives the root's libraries
  // without reaching them.
  OBInterface* library = objectOf(host().get(rootInstance, "BuiltinLibrary"));
  ASSERT_NE(library, nullptr);
  host().destroy(rootInstance);
  EXPECT_EQ(library->getComponentObject(), nullptr);
  EXPECT_FALSE(m->isValid());
  EXPECT_EQ(getOBIRoot(), nullptr);
  EXPECT_EQ(BQuorvixRoot::getInstanceIfAny(), nullptr);
  EXPECT_EQ(getRootOBClass()->createInstance(OBDatabaseClient::getInternalClient()), nullptr);
  EXPECT_TRUE(obkDestroyDiagnostics().empty());
}

}  // namespace
