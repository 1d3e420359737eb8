#include <gtest/gtest.h>

#include <obk/Exception.hpp>

#include "support/TestComponents.hpp"

namespace {

class QuantityComponentTest : public ::testing::Test {
 protected:
  void SetUp() override { registerMessageCatalog(); }
};

TEST_F(QuantityComponentTest, Defaults) {
  TestQuantity q;
  EXPECT_EQ(q.getInitialValue(), 1.0);
  EXPECT_EQ(q.getUnits(), "");
  EXPECT_TRUE(q.getConstantValue());
  EXPECT_FALSE(q.getBoundaryCondition());
  TestQuantity given(" mole ", 5, false, true);
  EXPECT_EQ(given.getUnits(), " mole ");  // stored as given, unverified
  EXPECT_EQ(given.getInitialValue(), 5.0);
}

TEST_F(QuantityComponentTest, UnitsAreTrimmedVerifiedAndKeptOnError) {
  RecordingModel model;
  TestQuantity q;
  q.joinModel(&model);
  model.setCompileNeeded(false);
  q.setUnits("  mole/liter ");
  EXPECT_EQ(q.getUnits(), "mole/liter");
  EXPECT_TRUE(model.getCompileNeeded());
  try {
    q.setUnits("foo");
    FAIL() << "no error for an unknown unit";
  } catch (const ErrorIdException& e) {
    EXPECT_EQ(e.getIdentifier(), "Kestrion:KSUNIT_CANNOT_PARSE_UNITS");
  }
  EXPECT_EQ(q.getUnits(), "mole/liter");
  q.setUnits(" \t ");
  EXPECT_EQ(q.getUnits(), "");
}

TEST_F(QuantityComponentTest, FlagsMarkTheModelEvenWhenUnchanged) {
  RecordingModel model;
  TestQuantity q;
  q.joinModel(&model);
  model.setCompileNeeded(false);
  q.setConstantValue(true);
  EXPECT_TRUE(model.getCompileNeeded());
  model.setCompileNeeded(false);
  q.setBoundaryCondition(false);
  EXPECT_TRUE(model.getCompileNeeded());
  model.setCompileNeeded(false);
  q.setInitialValue(3);  // the initial value does not need a recompile
  EXPECT_FALSE(model.getCompileNeeded());
  EXPECT_EQ(q.getInitialValue(), 3.0);
}

TEST(BracketNames, EveryElement) {
  std::vector<std::string> names{"A", "my species", "", "x1"};
  bracketNamesIfNotValidIdentifiers(names);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "[my species]", "", "x1"}));
}

}  // namespace

namespace {

TEST(NormalizeNames, CanonicalReferences) {
  registerMessageCatalog();
  struct Case {
    const char* in;
    const char* species;
    const char* parameter;
  } cases[] = {
      {"", "", ""},
      {"A", "A", "A"},
      {"cell.A", "cell.A", "cell.A"},
      {"[my cell].[my A]", "[my cell].[my A]", "[my cell].[my A]"},
      {"[A]", "A", "A"},
      {"A -> B", "", ""},
  };
  for (const Case& c : cases) {
    std::string species, parameter;
    normalizeSpeciesName(c.in, species);
    normalizeParameterName(c.in, parameter);
    EXPECT_EQ(species, c.species) << c.in;
    EXPECT_EQ(parameter, c.parameter) << c.in;
  }
}

}  // namespace
