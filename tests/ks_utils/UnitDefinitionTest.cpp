// Definitions of units and prefixes that would corrupt conversions are
// refused where they are set, no prefix goes on "kilogram", resolutions
// are memoised, and conversion factors of real cases come out right.
#include <gtest/gtest.h>

#include <functional>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "KsTestMessages.hpp"
#include "ks_utils/Units.hpp"
#include "obk/Exception.hpp"

namespace {

using OVUnits::UnitPrefixApi;
using OVUnits::UnitRepresentationApi;

class UnitDefinitionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kstest::registerTestMessages();
    manager().resetUserDefinitions();
  }
  void TearDown() override { manager().resetUserDefinitions(); }

  static OVUnits::UnitManagerApi& manager() { return *getUnitManagerApiFcn(); }

  static UnitRepresentationApi* registered(const std::string& name, const std::string& composition,
                                           double multiplier = 1.0) {
    UnitRepresentationApi* unit = manager().newUnit();
    unit->setName(name);
    unit->setComposition(composition);
    unit->setMultiplier(multiplier);
    EXPECT_TRUE(manager().registerUnit(unit)) << name;
    return unit;
  }

  static std::string idOf(const std::function<void()>& body) {
    try {
      body();
    } catch (const ErrorIdException& e) {
      return e.getIdentifier();
    }
    return "";
  }
  static double factor(const char* from, const char* to) { return manager().getConverter(from, to).convert(1.0); }
};

TEST_F(UnitDefinitionTest, ConversionFactorsOfRealCases) {
  registered("mM", "millimole/litre");
  registered("s", "second");
  registered("myconc", "mM", 2.0);
  const struct {
    const char* from;
    const char* to;
    double expected;
  } cases[] = {
      {"millimole/litre", "mole/litre", 1e-3},
      {"molecule", "mole", 1.0 / 6.02214076e23},
      {"minute", "second", 60.0},
      {"1/(mM*s)", "litre/(mole*second)", 1e3},
      {"myconc", "mole/litre", 2e-3},
      {"myconc", "mM", 2.0},
      {"mM/minute", "mole/(litre*second)", 1e-3 / 60.0},
      {"kilogram", "milligram", 1e6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
    EXPECT_NEAR(factor(c.from, c.to), c.expected, 1e-12 * c.expected);
    // The second reading comes from the memoised resolution: the same.
    EXPECT_NEAR(factor(c.from, c.to), c.expected, 1e-12 * c.expected);
  }
}

TEST_F(UnitDefinitionTest, NoSecondPrefixOnKilogram) {
  for (const char* text : {"kilokilogram", "millikilogram", "microkilogram/litre"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(idOf([&] { manager().checkUnitText(text); }), "Kestrion:KSUNIT_CANNOT_PARSE_UNITS");
  }
  EXPECT_NO_THROW(manager().checkUnitText("kilogram"));
  EXPECT_NEAR(factor("milligram", "kilogram"), 1e-6, 1e-18);
}

TEST_F(UnitDefinitionTest, SettersRefuseValuesThatCorruptConversions) {
  std::unique_ptr<UnitRepresentationApi> unit(manager().newUnit());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(idOf([&] { unit->setMultiplier(0.0); }), "Kestrion:UnitsCannotHaveZeroMultiplier");
  EXPECT_EQ(idOf([&] { unit->setMultiplier(nan); }), "Kestrion:UNITMULTIPLIER_NOT_NUMERIC");
  EXPECT_EQ(idOf([&] { unit->setMultiplier(-inf); }), "Kestrion:UNITMULTIPLIER_NOT_NUMERIC");
  EXPECT_EQ(idOf([&] { unit->setOffset(nan); }), "Kestrion:UNITOFFSET_NOT_NUMERIC");
  EXPECT_EQ(idOf([&] { unit->setOffset(inf); }), "Kestrion:UNITOFFSET_NOT_NUMERIC");
  EXPECT_EQ(unit->getMultiplier(), 1.0);
  EXPECT_EQ(unit->getOffset(), 0.0);
  std::unique_ptr<UnitPrefixApi> prefix(manager().getPrefixService()->newPrefix());
  for (double bad : {nan, inf, 1e10, -400.0}) {
    EXPECT_EQ(idOf([&] { prefix->setExponent(bad); }), "Kestrion:UNITPREFIXEXPONENT_NOT_NUMERIC") << bad;
  }
  prefix->setExponent(2.7);
  EXPECT_EQ(prefix->getExponent(), 3);
}

// A registered unit is checked as a whole where it is changed: a cycle or an
// unknown name never reaches a later use; an accepted change shows at once.
TEST_F(UnitDefinitionTest, RegisteredUnitSettersCheckTheDefinition) {
  UnitRepresentationApi* a = registered("ua", "mole");
  registered("ub", "ua/litre");
  EXPECT_EQ(idOf([&] { a->setComposition("ub*litre"); }), "Kestrion:KSUNIT_CANNOT_PARSE_UNITS");
  EXPECT_EQ(idOf([&] { a->setComposition("nothing"); }), "Kestrion:KSUNIT_CANNOT_PARSE_UNITS");
  EXPECT_EQ(idOf([&] { a->setMultiplier(0.0); }), "Kestrion:UnitsCannotHaveZeroMultiplier");
  EXPECT_EQ(a->getComposition(), "mole");
  EXPECT_NEAR(factor("ub", "mole/litre"), 1.0, 1e-15);
  a->setMultiplier(1e-3);
  EXPECT_NEAR(factor("ub", "mole/litre"), 1e-3, 1e-18);
  a->setComposition("gram");
  EXPECT_EQ(manager().getUnitType("ub"), OVUnits::kUnitTypeMassPerVolume);
  // A new prefix changes what prefixed texts mean.
  std::unique_ptr<UnitPrefixApi> prefix(manager().getPrefixService()->newPrefix());
  prefix->setName("quad");
  prefix->setExponent(4);
  EXPECT_THROW(manager().checkUnitText("quadmole"), ErrorIdException);
  ASSERT_TRUE(manager().getPrefixService()->registerPrefix(prefix.release()));
  EXPECT_NEAR(factor("quadmole", "mole"), 1e4, 1e-8);
  manager().getPrefixService()->getPrefix("quad")->setExponent(5);
  EXPECT_NEAR(factor("quadmole", "mole"), 1e5, 1e-7);
}

// u_k = u_(k-1)*u_(k-1)/u_(k-1) names its predecessor three times: without
// memoised resolutions registering and resolving u_20 would take 3^20
// steps (bench_units measures the cost per link).
TEST_F(UnitDefinitionTest, ChainsOfUnitsResolveOnce) {
  registered("u0", "second", 2.0);
  for (int k = 1; k <= 20; ++k) {
    const std::string previous = "u" + std::to_string(k - 1);
    registered("u" + std::to_string(k), previous + "*" + previous + "/" + previous);
  }
  EXPECT_NEAR(factor("u20", "second"), 2.0, 1e-12);
  EXPECT_EQ(manager().getUnitType("u20"), OVUnits::kUnitTypeTime);
}

}  // namespace
