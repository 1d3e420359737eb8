// Unit texts: grammar, quantity-type codes, descriptions, conversion,
// expansion and the concentration splitter, against the built-in units.
#include "ks_utils/Units.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KsTestMessages.hpp"
#include "obk/Exception.hpp"

namespace {

using OVUnits::UnitManagerApi;

class UnitsTest : public ::testing::Test {
 protected:
  void SetUp() override { kstest::registerTestMessages(); }
  UnitManagerApi& units() { return *getUnitManagerApiFcn(); }
};

struct TypeCase {
  const char* text;
  uint32_t code;
};

TEST_F(UnitsTest, UnitTextToTypeCode) {
  const TypeCase cases[] = {
      {"mole", 0},
      {"molecule", 0},
      {"item", 0},
      {"millimole", 0},
      {"gram", 1},
      {"kilogram", 1},
      {"microgram", 1},
      {"meter", 2},
      {"metre", 2},
      {"centimeter", 2},
      {"second", 3},
      {"minute", 3},
      {"hour", 3},
      {"day", 3},
      {"meter^2", 7},
      {"meter*meter", 7},
      {"liter", 8},
      {"litre", 8},
      {"milliliter", 8},
      {"meter^3", 8},
      {"mole/liter", 14},
      {"millimole/liter", 14},
      {"molecule/liter", 14},
      {"mole/meter^3", 14},
      {"gram/liter", 15},
      {"mole/meter^2", 32},
      {"gram/meter^2", 33},
      {"mole/meter", 34},
      {"gram/meter", 35},
      {"gram/second", 27},
      {"mole/second", 30},
      {"mole/minute", 30},
      {"molecule/second", 30},
      {"1/second", 101},
      {"liter/(mole*second)", 101},
      {"mole^2", 101},
      {"kelvin", 101},
      {"Celsius", 101},
      {"ampere", 101},
      {"candela", 101},
      {"dimensionless", 100},
      {"mole/mole", 100},
      {"1", 100},
      {"meter^0", 100},
      {"  mole / liter  ", 14},
      {"(mole)/(liter)", 14},
      {"mole*liter^-1", 14},
      {"mole*liter^(-1)", 14},
      {"mole/liter/second", 101},
      {"(gram*mole)/second^2", 101},
      {"1/(1/mole)", 0},
      {"((meter))^2", 7},
  };
  for (const TypeCase& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      EXPECT_EQ(units().getUnitType(c.text), c.code);
      EXPECT_NO_THROW(units().checkUnitText(c.text));
    } catch (const ErrorIdException& e) {
      ADD_FAILURE() << e.getIdentifier() << ": " << e.getMessage();
    }
  }
}

TEST_F(UnitsTest, BadTextsThrowTheParseError) {
  const char* bad[] = {"foo",       "mole/",      "(mole",    "mole^x",
                       "",          "   ",        "mole)",    "mole^",
                       "mole^1.5",  "*mole",      "mole**liter", "2/second",
                       "10/second", "mole liter", "kilofoo",  "millikilo",
                       "mole^(2",   "mole^-",     "1mole",    "mole/+liter",
                       "mole^999"};
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    try {
      units().getUnitType(text);
      ADD_FAILURE() << "accepted";
    } catch (const ErrorIdException& e) {
      EXPECT_EQ(e.getIdentifier(), "Kestrion:KSUNIT_CANNOT_PARSE_UNITS");
      EXPECT_EQ(e.getMessage(), std::string("Unable to parse the units '") + text + "'.");
    }
    EXPECT_THROW(units().checkUnitText(text), ErrorIdException);
  }
}

TEST_F(UnitsTest, CompositionCheckAcceptsEmpty) {
  EXPECT_NO_THROW(units().checkComposition(""));
  EXPECT_NO_THROW(units().checkComposition("mole/liter"));
  EXPECT_THROW(units().checkComposition("mole/"), ErrorIdException);
  EXPECT_THROW(units().checkUnitText(""), ErrorIdException);
}

struct ConversionCase {
  const char* from;
  const char* to;
  double value;
  double expected;
};

TEST_F(UnitsTest, ConvertersScaleAndShift) {
  const ConversionCase cases[] = {
      {"kilogram", "gram", 1.0, 1000.0},
      {"millimole/liter", "mole/liter", 1.0, 1e-3},
      {"liter", "meter^3", 1.0, 1e-3},
      {"milliliter", "liter", 250.0, 0.25},
      {"hour", "second", 1.0, 3600.0},
      {"day", "minute", 1.0, 1440.0},
      {"1/minute", "1/second", 60.0, 1.0},
      {"molecule", "mole", 6.02214076e23, 1.0},
      {"kelvin", "Celsius", 273.15, 0.0},
      {"Celsius", "kelvin", 100.0, 373.15},
      {"kilometer", "meter", 2.0, 2000.0},
      {"metre", "meter", 3.0, 3.0},
      {"dekameter", "meter", 1.0, 10.0},
      // Equal offsets cancel before the small factor divides.
      {"femtokelvin", "femtokelvin", 1.0, 1.0},
      {"femtokelvin", "picokelvin", 1000.0, 1.0},
  };
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
    EXPECT_NEAR(units().getConverter(c.from, c.to).convert(c.value), c.expected,
                1e-12 * std::max(1.0, std::abs(c.expected)));
  }
}

// The SI units that SBML names as unit kinds, each checked against another
// unit by the relation that defines it: same dimensions, factor 1.
TEST_F(UnitsTest, SbmlUnitKindsKeepTheirSiRelations) {
  const std::pair<const char*, const char*> relations[] = {
      {"becquerel", "1/second"},          {"coulomb", "ampere*second"},
      {"farad", "coulomb/volt"},          {"gray", "joule/kilogram"},
      {"henry", "weber/ampere"},          {"hertz", "1/second"},
      {"joule", "newton*metre"},          {"katal", "mole/second"},
      {"lumen", "candela*steradian"},     {"lux", "lumen/metre^2"},
      {"newton", "kilogram*metre/second^2"}, {"ohm", "volt/ampere"},
      {"pascal", "newton/metre^2"},       {"radian", "metre/metre"},
      {"siemens", "1/ohm"},               {"sievert", "joule/kilogram"},
      {"steradian", "metre^2/metre^2"},   {"tesla", "weber/metre^2"},
      {"volt", "watt/ampere"},            {"watt", "joule/second"},
      {"weber", "volt*second"},
  };
  for (const auto& [unit, relation] : relations) {
    SCOPED_TRACE(unit);
    EXPECT_TRUE(units().isBuiltIn(unit));
    EXPECT_EQ(units().describeUnit(unit).exponents, units().describeUnit(relation).exponents);
    EXPECT_NEAR(units().getConverter(unit, relation).convert(1.0), 1.0, 1e-12);
  }
  // They take prefixes like any other unit.
  EXPECT_NEAR(units().getConverter("millivolt", "volt").convert(1.0), 1e-3, 1e-18);
  // One Avogadro constant for items and molecules.
  EXPECT_EQ(units().getConverter("item", "molecule").convert(1.0), 1.0);
  EXPECT_DOUBLE_EQ(units().getConverter("mole", "item").convert(1.0), 6.02214076e23);
}

TEST_F(UnitsTest, ConverterRefusesDifferentDimensions) {
  try {
    units().getConverter("mole", "gram");
    ADD_FAILURE() << "converted";
  } catch (const ErrorIdException& e) {
    EXPECT_EQ(e.getIdentifier(), "Kestrion:KSUNIT_CANNOT_CONVERT");
  }
  EXPECT_THROW(units().getConverter("mole", "nothing"), ErrorIdException);
}

TEST_F(UnitsTest, DescriptionCategories) {
  const struct {
    const char* text;
    int category;
    double factor;
  } cases[] = {
      {"gram", 0, 1.0},      {"kilogram", 0, 1000.0}, {"mole", 1, 1.0},
      {"metre", 2, 1.0},     {"minute", 3, 60.0},     {"Celsius", 4, 1.0},
      {"ampere", 5, 1.0},    {"candela", 6, 1.0},     {"liter", 7, 1e-3},
      {"mole/liter", 7, 1e3}, {"dimensionless", 7, 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const OVUnits::UnitDescription d = units().describeUnit(c.text);
    EXPECT_EQ(d.category, c.category);
    EXPECT_DOUBLE_EQ(d.factor, c.factor);
  }
  EXPECT_DOUBLE_EQ(units().describeUnit("kelvin").offset, -273.15);
  EXPECT_DOUBLE_EQ(units().describeUnit("kelvin^2").offset, 0.0);
}

TEST_F(UnitsTest, ExpansionUsesBaseNamesInDimensionOrder) {
  const OVUnits::BaseUnitExpansion e =
      units().expandToBaseUnits("(gram*mole)/(liter*second^2)");
  ASSERT_EQ(e.terms.size(), 4u);
  const char* names[] = {"gram", "mole", "metre", "second"};
  const int exponents[] = {1, 1, -3, -2};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(e.terms[i].name, names[i]);
    EXPECT_EQ(e.terms[i].exponent, exponents[i]);
  }
  EXPECT_DOUBLE_EQ(e.multiplier, 1e3);
  EXPECT_DOUBLE_EQ(e.offset, 0.0);
  EXPECT_TRUE(units().expandToBaseUnits("dimensionless").terms.empty());
}

TEST_F(UnitsTest, BaseUnitNamesAreSetOnce) {
  OVUnits::BaseUnitNamingServiceApi* naming = units().getBaseUnitNamingService();
  EXPECT_EQ(naming->getBaseUnitName(2), "metre");
  EXPECT_EQ(naming->getBaseUnitName(7), "");
  EXPECT_EQ(naming->getBaseUnitName(-1), "");
  EXPECT_FALSE(naming->setBaseUnitNames({"gram"}));
  const std::vector<std::string> names = {"gram",    "mole",   "metre",  "second",
                                          "Celsius", "ampere", "candela"};
  EXPECT_TRUE(naming->setBaseUnitNames(names));
  EXPECT_FALSE(naming->setBaseUnitNames(names));
  for (int d = 0; d < 7; ++d) EXPECT_EQ(naming->getBaseUnitName(d), names[d]);
}

TEST_F(UnitsTest, ConcentrationSplitter) {
  const struct {
    const char* text;
    bool ok;
    const char* substance;
    const char* volume;
  } cases[] = {
      {"mole/liter", true, "mole", "liter"},
      {"millimole / liter", true, "millimole", "liter"},
      {"(mole)/(milliliter)", true, "mole", "milliliter"},
      {"(gram*mole)/liter", true, "gram*mole", "liter"},
      {"mole", false, "-", "-"},
      {"mole/", false, "-", "-"},
      {"liter", false, "-", "-"},
      // (mole/liter)*second is no substance over a volume.
      {"mole/liter*second", false, "-", "-"},
      {"mole/(liter*second)", true, "mole", "liter*second"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string substance = "-", volume = "-";
    EXPECT_EQ(units().splitConcentrationUnits(c.text, substance, volume), c.ok);
    EXPECT_EQ(substance, c.substance);
    EXPECT_EQ(volume, c.volume);
  }
}

TEST_F(UnitsTest, IndicesAndDimensionExponents) {
  const int molar = units().getUnitIndex("mole/liter");
  const int amount = units().getUnitIndex("mole");
  ASSERT_GE(molar, 0);
  ASSERT_GE(amount, 0);
  EXPECT_NE(molar, amount);
  EXPECT_EQ(units().getUnitIndex("mole/liter"), molar);
  EXPECT_EQ(units().getUnitText(molar), "mole/liter");
  EXPECT_EQ(units().getUnitIndex("nonsense"), -1);
  EXPECT_EQ(units().getUnitText(-1), "");
  EXPECT_EQ(units().getUnitText(1000000), "");
  OVUnits::UnitDimensionServiceApi* dims = units().getDimensionService();
  EXPECT_EQ(dims->getExponent(molar, OVUnits::kMetre), -3);
  EXPECT_EQ(dims->getExponent(molar, OVUnits::kMole), 1);
  EXPECT_EQ(dims->getExponent(amount, OVUnits::kMetre), 0);
  EXPECT_EQ(dims->getExponent(molar, 7), 0);
  EXPECT_EQ(dims->getExponent(-5, 0), 0);
  EXPECT_EQ(dims->classifyBaseUnits({"second"}), 0);
  EXPECT_EQ(dims->classifyBaseUnits({"metre", "second"}), 0);
}

TEST_F(UnitsTest, BuiltInListsAndObjects) {
  const auto lists = units().getUnitNameLists();
  std::vector<std::string> all;
  for (const auto& list : lists) {
    EXPECT_FALSE(list.empty());
    all.insert(all.end(), list.begin(), list.end());
  }
  const std::vector<std::string> expected = {
      "gram",   "kilogram", "mole", "molecule", "item",    "liter",
      "litre",  "meter",    "metre", "second",  "minute",  "hour",
      "day",    "kelvin",   "Celsius", "ampere", "candela", "dimensionless",
      "becquerel", "coulomb", "farad", "gray", "henry", "hertz", "joule",
      "katal", "lumen", "lux", "newton", "ohm", "pascal", "radian",
      "siemens", "sievert", "steradian", "tesla", "volt", "watt", "weber"};
  EXPECT_EQ(all, expected);
  for (const std::string& name : all) {
    SCOPED_TRACE(name);
    OVUnits::UnitRepresentationApi* unit = units().getUnit(name);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->getName(), name);
    EXPECT_TRUE(units().isBuiltIn(name));
    EXPECT_TRUE(units().isKnown(name));
    EXPECT_TRUE(units().isRegistered(name));
    EXPECT_TRUE(units().ownsObject(unit));
    EXPECT_FALSE(units().unregisterUnit(name));
  }
  EXPECT_EQ(units().getUnit("litre")->getComposition(), "meter^3");
  EXPECT_DOUBLE_EQ(units().getUnit("litre")->getMultiplier(), 1e-3);
  EXPECT_EQ(units().getUnit("nothing"), nullptr);
  EXPECT_EQ(units().getUnit("millimole"), nullptr);
}

TEST_F(UnitsTest, BuiltInObjectsRefuseChanges) {
  OVUnits::UnitRepresentationApi* gram = units().getUnit("gram");
  const std::function<void()> changes[] = {
      [&] { gram->setName("g"); },       [&] { gram->setComposition("mole"); },
      [&] { gram->setMultiplier(2.0); }, [&] { gram->setOffset(1.0); },
  };
  for (const auto& change : changes) {
    try {
      change();
      ADD_FAILURE() << "changed";
    } catch (const ErrorIdException& e) {
      EXPECT_EQ(e.getIdentifier(), "Kestrion:CannotChangeBuiltinLibraryComponent");
      EXPECT_EQ(e.getMessage(), "Changing builtin library components is not allowed");
    }
  }
  EXPECT_EQ(gram->getName(), "gram");
  EXPECT_DOUBLE_EQ(gram->getMultiplier(), 1.0);
  EXPECT_EQ(units().getUnitType("gram"), 1u);
}

TEST_F(UnitsTest, PrefixedNamesSplit) {
  OVUnits::UnitPrefixServiceApi* prefixes = units().getPrefixService();
  const struct {
    const char* name;
    bool split;
    const char* rest;
    const char* prefix;
  } cases[] = {
      {"millimole", true, "mole", "milli"},
      {"microliter", true, "liter", "micro"},
      {"kilometre", true, "metre", "kilo"},
      {"kilogram", false, "-", "-"},  // a unit of its own
      {"mole", false, "-", "-"},
      {"millifoo", false, "-", "-"},
      {"milli", false, "-", "-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string rest = "-", prefix = "-";
    EXPECT_EQ(prefixes->splitPrefixedName(c.name, rest, prefix), c.split);
    EXPECT_EQ(units().hasRegisteredPrefix(c.name), c.split);
    EXPECT_EQ(rest, c.rest);
    EXPECT_EQ(prefix, c.prefix);
  }
}

TEST_F(UnitsTest, BuiltInPrefixes) {
  OVUnits::UnitPrefixServiceApi* prefixes = units().getPrefixService();
  const std::vector<std::string> names = prefixes->getPrefixNames();
  ASSERT_GE(names.size(), 20u);
  const struct {
    const char* name;
    int exponent;
  } expected[] = {{"yocto", -24}, {"zepto", -21}, {"atto", -18}, {"femto", -15},
                  {"pico", -12},  {"nano", -9},   {"micro", -6}, {"milli", -3},
                  {"centi", -2},  {"deci", -1},   {"deka", 1},   {"hecto", 2},
                  {"kilo", 3},    {"mega", 6},    {"giga", 9},   {"tera", 12},
                  {"peta", 15},   {"exa", 18},    {"zetta", 21}, {"yotta", 24}};
  for (size_t i = 0; i < 20; ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(names[i], expected[i].name);
    OVUnits::UnitPrefixApi* p = prefixes->getPrefix(expected[i].name);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->getExponent(), expected[i].exponent);
    EXPECT_TRUE(prefixes->isBuiltIn(expected[i].name));
    EXPECT_TRUE(prefixes->isRegistered(expected[i].name));
    EXPECT_TRUE(prefixes->ownsObject(p));
    EXPECT_FALSE(prefixes->unregisterPrefix(expected[i].name));
    EXPECT_THROW(p->setExponent(0.0), ErrorIdException);
    EXPECT_THROW(p->setName("zz"), ErrorIdException);
  }
  EXPECT_EQ(prefixes->findPrefixForFactor(1e-3)->getName(), "milli");
  EXPECT_EQ(prefixes->findPrefixForFactor(0.001)->getName(), "milli");
  EXPECT_EQ(prefixes->findPrefixForFactor(1e6)->getName(), "mega");
  EXPECT_EQ(prefixes->findPrefixForFactor(10.0)->getName(), "deka");
  EXPECT_EQ(prefixes->findPrefixForFactor(1e5), nullptr);
  EXPECT_EQ(prefixes->findPrefixForFactor(2e3), nullptr);
  EXPECT_EQ(prefixes->findPrefixForFactor(0.0), nullptr);
  EXPECT_EQ(prefixes->findPrefixForFactor(-1e3), nullptr);
  EXPECT_EQ(prefixes->getPrefix("nothing"), nullptr);
}

}  // namespace
