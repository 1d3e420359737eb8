// Units and unit prefixes as a user makes them: construction, the user
// library, use as component units, the guards of built-in entries and the
// refusals of bad definitions.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <ks_utils/Units.hpp>

#include "KineticsHostFixture.hpp"
#include "kinetics/BUnitPrefixWrapper.hpp"
#include "kinetics/BUnitWrapper.hpp"

namespace ktest {
namespace {

using Strings = std::vector<std::string>;

class UnitHostTest : public KineticsHostTest {
 protected:
  void addToLibrary(OBInterface* object) { host().call(getOBIRoot(), "addtolibrary", {host().handle(object)}, 1); }
  void removeUnit(const char* name) {
    host().call(getOBIRoot(), "removefromlibrary", {host().str("unit"), host().str(name)});
  }
  void removePrefix(const char* name) {
    host().call(getOBIRoot(), "removefromlibrary", {host().str("unitprefix"), host().str(name)});
  }
};

TEST_F(UnitHostTest, UserUnitsServeComponentsAndConversions) {
  OBInterface* mM = host().construct("Unit", {host().str("mM"), host().str("millimole/litre")});
  OBInterface* myconc = host().construct("Unit", {host().str("myconc"), host().str("mM"), host().num(2)});
  OBInterface* vessel = host().construct("Unit", {host().str("vessel"), host().str("litre"), host().num(0.5),
                                                  host().str("Notes"), host().str("half a litre")});
  EXPECT_EQ(host().getString(vessel, "Notes"), "half a litre");
  EXPECT_EQ(qxGetScalar(host().get(myconc, "Multiplier")), 2.0);
  EXPECT_EQ(qxGetScalar(host().get(myconc, "conversionfactor")), 2.0);
  for (OBInterface* unit : {mM, myconc, vessel}) addToLibrary(unit);
  EXPECT_EQ(library(1)->getUnits().size(), 3u);
  EXPECT_NEAR(getUnitManagerApiFcn()->getConverter("myconc", "mole/litre").convert(1.0), 2e-3, 1e-18);

  OBInterface* m = model();
  OBInterface* cell = call1(m, "addcompartment", {host().str("cell")});
  host().set(cell, "CapacityUnits", host().str("vessel"));
  OBInterface* s = call1(m, "addspecies", {host().str("S")});
  host().set(s, "InitialAmountUnits", host().str("myconc"));
  EXPECT_EQ(host().getString(cell, "CapacityUnits"), "vessel");
  EXPECT_EQ(host().getString(s, "InitialAmountUnits"), "myconc");

  // A changed multiplier shows in the next conversion.
  host().set(myconc, "Multiplier", host().num(4));
  EXPECT_NEAR(getUnitManagerApiFcn()->getConverter("myconc", "mole/litre").convert(1.0), 4e-3, 1e-18);
  // A library unit cannot be deleted; removed from the library it can.
  EXPECT_FALSE(host().destroy(myconc));
  EXPECT_EQ(warningIds().back(), "Kestrion:UnitInUserLibraryCannotBeRemoved");
  removeUnit("myconc");
  EXPECT_FALSE(getUnitManagerApiFcn()->isKnown("myconc"));
  // The wrapper keeps a copy of its definition.
  EXPECT_EQ(host().getString(myconc, "Composition"), "mM");
  EXPECT_TRUE(host().destroy(myconc));
  removeUnit("vessel");
  removeUnit("mM");
  EXPECT_TRUE(library(1)->getUnits().empty());
}

TEST_F(UnitHostTest, BuiltinUnitsAndPrefixesCannotChange) {
  OBInterface* mole = library(0)->findUnit("mole")->getOBI();
  OBInterface* kilo = library(0)->findUnitPrefix("kilo")->getOBI();
  ASSERT_NE(mole, nullptr);
  ASSERT_NE(kilo, nullptr);
  EXPECT_EQ(mole->getUp(), getOBIRoot());
  const std::vector<std::pair<OBInterface*, const char*>> guarded = {
      {mole, "Composition"}, {mole, "Multiplier"}, {mole, "Offset"}, {mole, "conversionfactor"},
      {mole, "conversionoffset"}, {mole, "Name"}, {mole, "Notes"}, {kilo, "Exponent"}, {kilo, "Name"}};
  for (const auto& [object, property] : guarded) {
    SCOPED_TRACE(property);
    const std::string name = property;
    const bool text = name == "Composition" || name == "Name" || name == "Notes";
    // The aliases are the engine's own (flagged like AnnotationFull).
    const bool internal = name.rfind("conversion", 0) == 0;
    expectHostError([&, object = object, property = property] {
      host().set(object, property, text ? host().str("gram") : host().num(2), internal);
    }, "Kestrion:CannotChangeBuiltinLibraryComponent", "Changing builtin library components is not allowed");
  }
  EXPECT_EQ(host().getString(mole, "Composition"), "mole");
  EXPECT_EQ(qxGetScalar(host().get(kilo, "Exponent")), 3.0);
  EXPECT_FALSE(host().destroy(mole));
  EXPECT_FALSE(host().destroy(kilo));
  removeUnit("mole");
  removePrefix("kilo");
  EXPECT_EQ(warningIds(), (Strings{"Kestrion:UnitInUserLibraryCannotBeRemoved",
                                   "Kestrion:UnitPrefixInUserLibraryCannotBeRemoved",
                                   "Kestrion:UnitDoesNotExistInUser", "Kestrion:UnitPrefixDoesNotExistInUser"}));
  EXPECT_TRUE(getUnitManagerApiFcn()->isBuiltIn("mole"));
}

TEST_F(UnitHostTest, BadDefinitionsAreRefusedAndAttachNothing) {
  struct Case {
    const char* label;
    std::vector<qxArray*> args;
    const char* id;
  };
  const std::vector<Case> cases = {
      {"double slash", {host().str("u1"), host().str("mole//litre")}, "Kestrion:KSUNIT_CANNOT_PARSE_UNITS"},
      {"power of a name", {host().str("u2"), host().str("mole^x")}, "Kestrion:KSUNIT_CANNOT_PARSE_UNITS"},
      {"number in the text", {host().str("u3"), host().str("2 mole")}, "Kestrion:KSUNIT_CANNOT_PARSE_UNITS"},
      {"unknown unit", {host().str("u4"), host().str("furlong")}, "Kestrion:KSUNIT_CANNOT_PARSE_UNITS"},
      {"prefix on kilogram", {host().str("u5"), host().str("millikilogram")}, "Kestrion:KSUNIT_CANNOT_PARSE_UNITS"},
      {"built-in name", {host().str("mole"), host().str("gram")}, "Kestrion:UNIT_CANNOTADDBUILTIN_TOUSER"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    OBInterface* unit = host().construct("Unit", {c.args[0], c.args[1]});
    expectHostError([&] { addToLibrary(unit); }, c.id);
    EXPECT_TRUE(library(1)->getUnits().empty());
    EXPECT_EQ(unit->getUp(), nullptr);
  }
  expectHostError([&] { addToLibrary(host().construct("UnitPrefix", {host().str("kilo"), host().num(4)})); },
                  "Kestrion:UNITPREFIX_CANNOTADDBUILTIN_TOUSER",
                  "The unit prefix 'kilo' is a built-in unit prefix and cannot be added to the user-defined library.");
  EXPECT_TRUE(library(1)->getUnitPrefixes().empty());
  // Values that would corrupt every conversion are refused where they are set.
  OBInterface* unit = host().construct("Unit", {host().str("u6"), host().str("mole")});
  expectHostError([&] { host().set(unit, "Multiplier", host().num(0)); }, "Kestrion:UnitsCannotHaveZeroMultiplier");
  expectHostError([&] { host().set(unit, "Offset", host().num(std::numeric_limits<double>::infinity())); },
                  "Kestrion:UNITOFFSET_NOT_NUMERIC", "Invalid OFFSET. OFFSET must be a real number.");
  expectHostError([&] { host().set(unit, "conversionfactor", host().num(std::nan("")), true); },
                  "Kestrion:UNITMULTIPLIER_NOT_NUMERIC", "Invalid MULTIPLIER. MULTIPLIER must be a real number.");
  OBInterface* prefix = host().construct("UnitPrefix", {host().str("p1"), host().num(2)});
  expectHostError([&] { host().set(prefix, "Exponent", host().num(1e12)); }, "Kestrion:UNITPREFIXEXPONENT_NOT_NUMERIC",
                  "Invalid EXPONENT. EXPONENT must be a real number.");
  EXPECT_EQ(qxGetScalar(host().get(unit, "Multiplier")), 1.0);
  EXPECT_EQ(qxGetScalar(host().get(prefix, "Exponent")), 2.0);
}

// Names a user unit or prefix may not take, and removals or renames that
// would leave other user units without a meaning: each is refused with its
// own error, and the units, the prefix and what they convert to stay.
TEST_F(UnitHostTest, UnitNamesAndUsesThatAreRefused) {
  OBInterface* myp = host().construct("UnitPrefix", {host().str("myp"), host().num(2)});
  addToLibrary(myp);
  std::vector<OBInterface*> units;
  for (const auto& [name, composition] : std::vector<std::pair<const char*, const char*>>{
           {"base1", "mole/litre"}, {"base2", "mole/litre"}, {"free1", "mole"},
           {"d1", "base1/second"}, {"d2", "microbase2"}, {"d3", "mypmole"}}) {
    units.push_back(host().construct("Unit", {host().str(name), host().str(composition)}));
    addToLibrary(units.back());
  }
  OBInterface* base1 = units[0];
  OBInterface* base2 = units[1];
  OBInterface* free1 = units[2];
  OBInterface* s = call1(model(), "addspecies", {host().str("S")});
  host().set(s, "InitialAmountUnits", host().str("d2"));
  // Adding a new unit (a prefix with a number as second argument).
  const auto add = [&](const char* name, const char* composition) {
    return [&, name, composition] { addToLibrary(host().construct("Unit", {host().str(name), host().str(composition)})); };
  };
  const auto addPrefix = [&](const char* name) {
    return [&, name] { addToLibrary(host().construct("UnitPrefix", {host().str(name), host().num(3)})); };
  };
  const auto rename = [&](OBInterface* object, const char* name) {
    return [&, object, name] { host().set(object, "Name", host().str(name)); };
  };
  struct Case {
    const char* label;
    std::function<void()> act;
    const char* id;
    const char* text;  // "" when only the identifier is checked
  };
  const std::vector<Case> cases = {
      {"built-in prefix on a built-in unit", [&] {
         addToLibrary(host().construct("Unit", {host().str("millimole"), host().str("mole"), host().num(5)}));
       },
       "Kestrion:UnitNameIsPrefixedUnit",
       "The unit name 'millimole' already means the prefix 'milli' on the unit 'mole' and cannot name a unit of "
       "its own."},
      {"user prefix on a built-in unit", add("myplitre", "litre"),
       "Kestrion:UnitNameIsPrefixedUnit", ""},
      {"built-in prefix on a user unit", add("kilobase1", "mole"),
       "Kestrion:UnitNameIsPrefixedUnit", ""},
      {"renamed to a prefixed name", rename(free1, "nanomole"), "Kestrion:UnitNameIsPrefixedUnit", ""},
      {"removing a unit another uses", [&] { removeUnit("base1"); }, "Kestrion:UnitInUse",
       "The unit 'base1' cannot be removed or renamed because the user-defined unit 'd1' uses it."},
      {"removing a unit another uses with a prefix", [&] { removeUnit("base2"); }, "Kestrion:UnitInUse",
       "The unit 'base2' cannot be removed or renamed because the user-defined unit 'd2' uses it."},
      {"removing a used unit by handle",
       [&] { host().call(getOBIRoot(), "removefromlibrary", {host().handle(base1)}); }, "Kestrion:UnitInUse", ""},
      {"renaming a unit another uses", rename(base1, "base1x"), "Kestrion:UnitInUse", ""},
      {"renaming a unit used with a prefix", rename(base2, "base2x"), "Kestrion:UnitInUse", ""},
      {"removing a used prefix", [&] { removePrefix("myp"); }, "Kestrion:UnitPrefixInUse",
       "The unit prefix 'myp' cannot be removed or renamed because the user-defined unit 'd3' uses it."},
      {"renaming a used prefix", rename(myp, "myq"), "Kestrion:UnitPrefixInUse", ""},
      {"empty unit name", add("", "mole"), "Kestrion:KSUNIT_INVALID_NAME",
       "Invalid unit name ''."},
      {"unit name with a blank", add("my unit", "mole"), "Kestrion:KSUNIT_INVALID_NAME",
       "Invalid unit name 'my unit'."},
      {"unit name with a leading digit", add("2mole", "mole"),
       "Kestrion:KSUNIT_INVALID_NAME", ""},
      {"empty prefix name", addPrefix(""), "Kestrion:KSUNIT_INVALID_NAME",
       "Invalid unit prefix name ''."},
      {"prefix name with a sign", addPrefix("p-q"),
       "Kestrion:KSUNIT_INVALID_NAME", ""},
      {"library unit renamed to an empty name", rename(free1, ""), "Kestrion:KSUNIT_INVALID_NAME", ""},
  };
  OVUnits::UnitManagerApi* manager = getUnitManagerApiFcn();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    expectHostError(c.act, c.id, c.text);
    EXPECT_EQ(library(1)->getUnits().size(), 6u);
    EXPECT_EQ(library(1)->getUnitPrefixes().size(), 1u);
    EXPECT_EQ(host().getString(base1, "Name"), "base1");
    EXPECT_EQ(host().getString(base2, "Name"), "base2");
    EXPECT_EQ(host().getString(free1, "Name"), "free1");
    EXPECT_EQ(host().getString(myp, "Name"), "myp");
    EXPECT_NEAR(manager->getConverter("millimole/liter", "mole/liter").convert(1.0), 1e-3, 1e-18);
    EXPECT_NEAR(manager->getConverter("d1", "mole/(litre*second)").convert(1.0), 1.0, 1e-15);
    EXPECT_NEAR(manager->getConverter("d2", "mole/litre").convert(1.0), 1e-6, 1e-21);
    EXPECT_NEAR(manager->getConverter("d3", "mole").convert(1.0), 100.0, 1e-12);
    EXPECT_EQ(host().getString(s, "InitialAmountUnits"), "d2");
  }
  // Once nothing uses them, they go.
  for (const char* name : {"d1", "d2", "d3", "base1", "base2", "free1"}) removeUnit(name);
  removePrefix("myp");
  EXPECT_TRUE(library(1)->getUnits().empty());
  EXPECT_TRUE(library(1)->getUnitPrefixes().empty());
}

TEST_F(UnitHostTest, ConstructorArgumentErrors) {
  struct Case {
    const char* label;
    const char* className;
    std::vector<qxArray*> args;
    const char* id;
  };
  const std::vector<Case> cases = {
      {"unit name", "Unit", {host().num(1)}, "Kestrion:UnitNameNotString"},
      {"composition", "Unit", {host().str("a"), host().num(1)}, "Kestrion:UnitCompositionNotString"},
      {"text multiplier", "Unit", {host().str("a"), host().str("mole"), host().str("Notes")},
       "Kestrion:UnitMultiplierNotNumeric"},
      {"two multipliers", "Unit", {host().str("a"), host().str("mole"), host().nums({1, 2})},
       "Kestrion:UnitMultiplierBadSize"},
      {"zero multiplier", "Unit", {host().str("a"), host().str("mole"), host().num(0)},
       "Kestrion:UnitsCannotHaveZeroMultiplier"},
      {"text offset", "Unit", {host().str("a"), host().str("mole"), host().num(1), host().cell({})},
       "Kestrion:UnitOffsetNotNumeric"},
      {"prefix name", "UnitPrefix", {host().num(1)}, "Kestrion:UnitPrefixNameNotString"},
      {"text exponent", "UnitPrefix", {host().str("p"), host().str("x")}, "Kestrion:UnitPrefixExponentNotNumeric"},
      {"two exponents", "UnitPrefix", {host().str("p"), host().nums({1, 2})}, "Kestrion:UnitPrefixExponentBadSize"},
      {"bad pair", "Unit", {host().str("a"), host().str("mole"), host().str("Bogus"), host().num(1)},
       "Kestrion:KSTR_INVALID_PVPAIR"},
  };
  const size_t instances = OBInterface::liveCount();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    auto error = TestHost::errorOf([&] { obkConstruct(c.className, static_cast<int>(c.args.size()), c.args.data()); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->id, c.id);
    EXPECT_EQ(OBInterface::liveCount(), instances);
  }
}

TEST_F(UnitHostTest, DisplayTables) {
  OBInterface* unit = host().construct("Unit", {host().str("averyveryverylongunitname"), host().str("mole")});
  host().clearLogs();
  host().call(unit, "display", {});
  EXPECT_EQ(host().printed(),
            "\n   Kestrion Unit Array\n\n"
            "   Index:  Library:            Name:                    Composition:        Multiplier:         Offset:\n"
            "   1       NotInLibrary        averyveryverylongunit... mole                1                   0\n\n");
  OBInterface* prefix = library(0)->findUnitPrefix("milli")->getOBI();
  host().clearLogs();
  host().call(prefix, "display", {});
  EXPECT_EQ(host().printed(),
            "\n   Kestrion Unit Prefix Array\n\n"
            "   Index:  Library:            Name:                    Exponent:\n"
            "   1       BuiltIn             milli                    -3\n\n");
}

}  // namespace
}  // namespace ktest
