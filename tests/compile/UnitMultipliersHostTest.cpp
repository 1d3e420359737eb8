// "getODEUnitMultipliers" as a user's script calls it: the compile order
// joined, and one multiplier per component from its declared units.
#include <ks_utils/Units.hpp>
#include <ks_utils/UnitRepresentationApi.hpp>

#include "MatrixCallsHostFixture.hpp"

namespace ctest {
namespace {

using Names = std::vector<std::string>;

// A user unit registered with the unit manager for the test's duration.
class UserUnit {
 public:
  UserUnit(const char* name, const char* composition, double multiplier) : name_(name) {
    OVUnits::UnitManagerApi* units = getUnitManagerApiFcn();
    OVUnits::UnitRepresentationApi* unit = units->newUnit();
    unit->setName(name);
    unit->setComposition(composition);
    unit->setMultiplier(multiplier);
    if (!units->registerUnit(unit)) {
      delete unit;
      ADD_FAILURE() << "unit " << name << " not registered";
    }
  }
  ~UserUnit() { getUnitManagerApiFcn()->unregisterUnit(name_); }

 private:
  std::string name_;
};

class UnitMultipliers : public MatrixCallsHost {
 protected:
  // Compartments cell (millilitre) and bare; species and parameters with
  // the units of the table.
  OBInterface* unitModel() {
    OBInterface* m = model("units");
    OBInterface* cell = call1(m, "addcompartment", {host().str("cell")});
    host().set(cell, "CapacityUnits", host().str("millilitre"));
    call1(m, "addcompartment", {host().str("bare")});
    struct Row {
      const char* name;
      const char* units;
    };
    for (const Row& row : {Row{"mm", "millimole"}, Row{"mc", "molecule"}, Row{"free", ""}}) {
      OBInterface* s = call1(cell, "addspecies", {host().str(row.name)});
      if (*row.units) host().set(s, "InitialAmountUnits", host().str(row.units));
    }
    for (const Row& row : {Row{"kon", "1/(mM*minute)"}, Row{"scaled", "uM2"}, Row{"plain", ""}}) {
      OBInterface* p = call1(m, "addparameter", {host().str(row.name)});
      if (*row.units) host().set(p, "ValueUnits", host().str(row.units));
    }
    return m;
  }
};

TEST_F(UnitMultipliers, OnePerComponentInCompileOrder) {
  const UserUnit mM("mM", "millimole/litre", 1.0);
  const UserUnit uM2("uM2", "micromole/litre", 2.0);
  OBInterface* m = unitModel();
  std::vector<qxArray*> outs = matrixCall("getODEUnitMultipliers", {host().handle(m)}, 2);
  ASSERT_EQ(outs.size(), 2u);
  EXPECT_EQ(namesOf(outs[0]), (Names{"mm", "mc", "free", "kon", "scaled", "plain", "cell", "bare"}));
  ASSERT_EQ(qxGetM(outs[1]), 8u);
  ASSERT_EQ(qxGetN(outs[1]), 1u);
  const std::vector<double> expected = {1e-3, 1.0 / 6.02214076e23, 1.0, 1.0 / 60.0,
                                        2e-3, 1.0, 1e-6, 1.0};
  const std::vector<double> actual = numbersOf(outs[1]);
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_DOUBLE_EQ(actual[i], expected[i]) << i;
}

TEST_F(UnitMultipliers, UnitsWithAnOffsetCannotBeScaled) {
  OBInterface* m = model("temperature");
  call1(m, "addcompartment", {host().str("cell")});
  OBInterface* t = call1(m, "addparameter", {host().str("T")});
  host().set(t, "ValueUnits", host().str("kelvin"));
  expectHostError([&] { matrixCall("getODEUnitMultipliers", {host().handle(m)}, 2); },
                  "Kestrion:KSUNIT_CANNOT_CONVERT_COMPONENT",
                  "Unable to convert the units of 'T' to 'Celsius'.");
}

TEST_F(UnitMultipliers, AModelWithoutUnitsAndAHandleWithoutModel) {
  OBInterface* m = enzymeModel();
  std::vector<qxArray*> outs = matrixCall("getODEUnitMultipliers", {host().handle(m)}, 2);
  EXPECT_EQ(namesOf(outs[0]), (Names{"E", "S", "ES", "P", "kf", "kr", "kcat", "cell"}));
  EXPECT_EQ(numbersOf(outs[1]), std::vector<double>(8, 1.0));
  outs = matrixCall("getODEUnitMultipliers", {host().handle(named(m, "E"))}, 2);
  EXPECT_TRUE(qxIsEmpty(outs[0]));
  EXPECT_TRUE(qxIsEmpty(outs[1]));
}

}  // namespace
}  // namespace ctest
