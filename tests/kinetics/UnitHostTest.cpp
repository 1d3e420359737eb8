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
