// Unit texts as the three quantity classes take them: the quantity type the
// unit manager gives each text, and which class accepts it (a refused text
// keeps the old units).
#include <ks_utils/Units.hpp>

#include "QuantityHostFixture.hpp"

namespace {

constexpr uint32_t kParseError = 0xffffffff;

struct UnitCase {
  const char* text;
  uint32_t type;            // kParseError: the manager cannot parse it
  const char* species;      // error of InitialAmountUnits, "" when accepted
  const char* parameter;    // error of ValueUnits
  const char* compartment;  // error of CapacityUnits
};

const char kParse[] = "Kestrion:KSUNIT_CANNOT_PARSE_UNITS";
const char kSpecies[] = "Kestrion:InvalidSpeciesInitAmtUnits";
const char kCapacity[] = "Kestrion:COMPARTMENT_INVALID_CAPACITY_UNITS";

const UnitCase kCases[] = {
    {"mole", OVUnits::kUnitTypeAmount, "", "", kCapacity},
    {"molecule", OVUnits::kUnitTypeAmount, "", "", kCapacity},
    {"mole/liter", OVUnits::kUnitTypeAmountPerVolume, "", "", kCapacity},
    {"1/second", OVUnits::kUnitTypeOther, kSpecies, "", kCapacity},
    {"liter/(mole*second)", OVUnits::kUnitTypeOther, kSpecies, "", kCapacity},
    {"millimole/liter", OVUnits::kUnitTypeAmountPerVolume, "", "", kCapacity},
    {"", 0, "", "", ""},
    {"foo", kParseError, kParse, kParse, kParse},
    {"mole^2", OVUnits::kUnitTypeOther, kSpecies, "", kCapacity},
    {"liter", OVUnits::kUnitTypeVolume, kSpecies, "", ""},
};

class UnitsHostTest : public qtest::QuantityHostTest {};

TEST_F(UnitsHostTest, QuantityTypesOfTheUnitTexts) {
  for (const UnitCase& c : kCases) {
    if (!*c.text) continue;  // an empty text never reaches the manager
    SCOPED_TRACE(c.text);
    if (c.type == kParseError) {
      expectHostError([&] { getUnitManagerApiFcn()->getUnitType(c.text); }, kParse);
    } else {
      EXPECT_EQ(getUnitManagerApiFcn()->getUnitType(c.text), c.type);
    }
  }
}

TEST_F(UnitsHostTest, EachClassTakesItsUnitsAndKeepsTheOldOnRefusal) {
  TestHost& h = host();
  OBInterface* species = h.construct("Kestrion.Species", {h.str("S"), h.str("InitialAmountUnits"),
                                                         h.str("molecule")});
  OBInterface* parameter = h.construct("Kestrion.Parameter", {h.str("k"), h.str("ValueUnits"),
                                                             h.str("1/second")});
  OBInterface* compartment = h.construct("Kestrion.Compartment", {h.str("c"), h.str("CapacityUnits"),
                                                                 h.str("liter")});
  struct Target {
    OBInterface* object;
    const char* property;
    const char* UnitCase::*error;
    const char* original;
  } targets[] = {{species, "InitialAmountUnits", &UnitCase::species, "molecule"},
                 {parameter, "ValueUnits", &UnitCase::parameter, "1/second"},
                 {compartment, "CapacityUnits", &UnitCase::compartment, "liter"}};
  for (const Target& t : targets) {
    for (const UnitCase& c : kCases) {
      SCOPED_TRACE(std::string(t.property) + " = '" + c.text + "'");
      h.set(t.object, t.property, h.str(t.original));
      const char* error = c.*(t.error);
      if (*error) {
        expectHostError([&] { h.set(t.object, t.property, h.str(c.text)); }, error);
        EXPECT_EQ(text(t.object, t.property), t.original);
      } else {
        h.set(t.object, t.property, h.str(c.text));
        EXPECT_EQ(text(t.object, t.property), c.text);
      }
      // The static unit test of the class agrees with the property.
      qxArray* answer = h.callStatic(t.object->getClass()->getFullName(), "privateisvalidunit", {h.str(c.text)}).at(0);
      EXPECT_EQ(qxGetLogicals(answer)[0], *error == '\0');
    }
  }
}

}  // namespace
