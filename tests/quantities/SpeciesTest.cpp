// The species component: names, duplicates in a compartment, amounts,
// units, the display-qualified name and the charge.
#include <gtest/gtest.h>

#include "support/AllocationFailures.hpp"
#include "support/Expect.hpp"

#include <functional>
#include <hb/hb.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <limits>
#include <memory>
#include <obk/Exception.hpp>
#include <string>

#include "expressions/SymbolTable.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const char kInvalidNameText[] =
    "Invalid Kestrion species name. Name cannot be empty, 'null', 'time' or contain the "
    "strings '->', '<->', '[', or ']'.";
const char kDuplicateText[] =
    "NAME is being used by another Kestrion species object. Specify a different NAME. \n"
    "Type 'help Kestrion.Compartment.addspecies' for more information.";
const char kInvalidAmountText[] =
    "InitialAmount must be greater than or equal to zero. InitialAmount cannot be inf or NaN.";
const char kInvalidUnitsText[] =
    "Invalid InitialAmountUnits for species. Valid quantity types are amount, mass and "
    "concentration.";

class SpeciesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hb_mem_add_primary_message_table(hbGetMemoryContext(), &kstr::getMessageCatalog());
  }
};

TEST_F(SpeciesTest, Defaults) {
  BSpecies s;
  EXPECT_STREQ(s.getType(), "species");
  EXPECT_EQ(s.getEnumType(), kstr::species);
  EXPECT_EQ(s.getInitialValue(), 0.0);
  EXPECT_EQ(s.getUnits(), "");
  EXPECT_FALSE(s.getConstantValue());
  EXPECT_FALSE(s.getBoundaryCondition());
  EXPECT_EQ(*s.getCharge(), 0);
  EXPECT_EQ(s.getChargeUnits(), nullptr);
  EXPECT_EQ(s.getCompartment(), nullptr);
}

struct NameCase {
  const char* name;
  bool rejectNull;
  const char* errorId;  // null: accepted
};

TEST_F(SpeciesTest, NameChecks) {
  const NameCase cases[] = {
      {"A", true, nullptr},
      {"a.b", true, nullptr},
      {"my species", true, nullptr},
      {"Null", true, nullptr},
      {"null", false, nullptr},
      {"null", true, "Kestrion:KSTRSPECIES_INVALIDNAME"},
      {"", true, "Kestrion:KSTRSPECIES_INVALIDNAME"},
      {"", false, "Kestrion:KSTRSPECIES_INVALIDNAME"},
      {"a->b", false, "Kestrion:KSTRSPECIES_INVALIDNAME"},
      {"a<->b", true, "Kestrion:KSTRSPECIES_INVALIDNAME"},
      // The common check runs first and answers for blank names.
      {" \t\r\n\f", true, "Kestrion:NameCannotContainOnlyWhitespace"},
      {"time", true, "Kestrion:InvalidComponentName"},
      {"a]", true, "Kestrion:NameCannotContainBrackets"},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.rejectNull ? " (reject null)" : ""));
    auto check = [&] { BSpecies::errorForInvalidNameStatic(c.name, nullptr, c.rejectNull); };
    if (!c.errorId) {
      EXPECT_NO_THROW(check());
    } else if (std::string(c.errorId) == "Kestrion:KSTRSPECIES_INVALIDNAME") {
      expectError(check, c.errorId, kInvalidNameText);
    } else {
      expectError(check, c.errorId);
    }
  }
}

TEST_F(SpeciesTest, DuplicatesWithinOneCompartmentOnly) {
  CompartmentPtr cell = makeCompartment("cell");
  CompartmentPtr other = makeCompartment("other");
  BSpecies s1;
  s1.setName("s1");
  BSpecies s2;
  s2.setName("s2");
  cell->addSpecies(&s1);
  cell->addSpecies(&s2);

  expectError([&] { BSpecies::errorForInvalidNameStatic("s1", cell.get(), true); },
              "Kestrion:SPECIES_DUPLICATENAME", kDuplicateText);
  EXPECT_NO_THROW(BSpecies::errorForInvalidNameStatic("s1", other.get(), true));
  EXPECT_NO_THROW(BSpecies::errorForInvalidNameStatic("s3", cell.get(), true));
  // The species' own current name is no duplicate; another species' is.
  EXPECT_NO_THROW(s1.errorForInvalidName("s1", cell.get()));
  expectError([&] { s2.errorForInvalidName("s1", cell.get()); }, "Kestrion:SPECIES_DUPLICATENAME");
  EXPECT_NO_THROW(s1.rename("s1"));
  expectError([&] { s2.rename(" s1 "); }, "Kestrion:SPECIES_DUPLICATENAME");
  EXPECT_EQ(s2.getName(), "s2");

  // After a rename the old name is free and the new one taken.
  s1.rename(" first ");
  EXPECT_EQ(s1.getName(), "first");
  EXPECT_NO_THROW(s2.errorForInvalidName("s1", cell.get()));
  expectError([&] { s2.errorForInvalidName("first", cell.get()); },
              "Kestrion:SPECIES_DUPLICATENAME");
  cell->deleteSpecies(&s1);
  cell->deleteSpecies(&s2);
}

TEST_F(SpeciesTest, InitialAmountMustBeFiniteAndNotNegative) {
  const struct {
    double value;
    bool valid;
  } cases[] = {{0.0, true},   {5.0, true},    {1e-300, true}, {-1.0, false},
               {kInf, false}, {-kInf, false}, {kNaN, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    BSpecies s;
    s.setInitialValue(2.0);
    if (c.valid) {
      s.setInitialValue(c.value);
      EXPECT_EQ(s.getInitialValue(), c.value);
    } else {
      expectError([&] { s.setInitialValue(c.value); }, "Kestrion:SPECIES_INVALID_INITIALAMOUNT",
                  kInvalidAmountText);
      EXPECT_EQ(s.getInitialValue(), 2.0);
    }
  }
}

TEST_F(SpeciesTest, UnitsMustBeAmountMassOrConcentration) {
  const struct {
    const char* units;
    const char* errorId;  // null: accepted
  } cases[] = {
      {"mole", nullptr},
      {"molecule", nullptr},
      {"gram", nullptr},
      {"mole/liter", nullptr},
      {"millimole/liter", nullptr},
      {"gram/liter", nullptr},
      {"mole/meter^2", nullptr},
      {"gram/meter^2", nullptr},
      {"mole/meter", nullptr},
      {"gram/meter", nullptr},
      {"", nullptr},
      {" \t ", nullptr},
      {"meter", "Kestrion:InvalidSpeciesInitAmtUnits"},
      {"liter", "Kestrion:InvalidSpeciesInitAmtUnits"},
      {"1/second", "Kestrion:InvalidSpeciesInitAmtUnits"},
      {"liter/(mole*second)", "Kestrion:InvalidSpeciesInitAmtUnits"},
      {"mole^2", "Kestrion:InvalidSpeciesInitAmtUnits"},
      {"mole/second", "Kestrion:InvalidSpeciesInitAmtUnits"},
      {"dimensionless", "Kestrion:InvalidSpeciesInitAmtUnits"},
      {"foo", "Kestrion:KSUNIT_CANNOT_PARSE_UNITS"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.units);
    BSpecies s;
    s.setUnits("molecule");
    if (!c.errorId) {
      EXPECT_NO_THROW(BSpecies::verifyUnitsStatic(c.units));
      s.setUnits(c.units);
      std::string trimmed = c.units;
      STDStringHelpers::trimWhitespace(trimmed);
      EXPECT_EQ(s.getUnits(), trimmed);
    } else {
      expectError([&] { BSpecies::verifyUnitsStatic(c.units); }, c.errorId);
      const bool ownError = std::string(c.errorId) == "Kestrion:InvalidSpeciesInitAmtUnits";
      expectError([&] { s.setUnits(c.units); }, c.errorId, ownError ? kInvalidUnitsText : "");
      EXPECT_EQ(s.getUnits(), "molecule");
    }
  }
}

TEST_F(SpeciesTest, DisplayQualifiedNameFollowsTheCompartmentCount) {
  BSpecies dotted;
  dotted.setName("a.b");
  BSpecies plain;
  plain.setName("A");
  std::string out = "stale";
  dotted.getDQN(out);  // outside a model
  EXPECT_EQ(out, "[a.b]");

  Kelbor model;
  CompartmentPtr cell = makeCompartment("cell");
  model.addCompartment(cell.get());
  cell->addSpecies(&dotted);
  cell->addSpecies(&plain);
  dotted.getDQN(out);
  EXPECT_EQ(out, "[a.b]");
  plain.getDQN(out);
  EXPECT_EQ(out, "A");

  CompartmentPtr second = makeCompartment("second");
  model.addCompartment(second.get());
  dotted.getDQN(out);
  EXPECT_EQ(out, "cell.[a.b]");
  plain.getDQN(out);
  EXPECT_EQ(out, "cell.A");
  model.removeCompartment(second.get());
  cell->removeSpecies(&dotted);
  cell->removeSpecies(&plain);
  model.removeCompartment(cell.get());
}

TEST_F(SpeciesTest, RenameInAModelKeepsTheSpeciesReachable) {
  Kelbor model;
  CompartmentPtr cell = makeCompartment("cell");
  model.addCompartment(cell.get());
  BSpecies s;
  s.setName("A");
  cell->addSpecies(&s);
  const SymbolTable& table = *model.getSymbolTable();
  EXPECT_EQ(table.findByQualifiedName("cell.A"), &s);
  s.rename("B");
  EXPECT_EQ(table.findByQualifiedName("cell.B"), &s);
  EXPECT_EQ(table.findByQualifiedName("cell.A"), nullptr);
  EXPECT_EQ(cell->getNamedSpecies("B"), &s);
  cell->removeSpecies(&s);
  EXPECT_EQ(table.findByQualifiedName("cell.B"), nullptr);
  model.removeCompartment(cell.get());
}

TEST_F(SpeciesTest, Charge) {
  BSpecies s;
  const int32_t three = 3;
  s.setCharge(&three);
  EXPECT_EQ(*s.getCharge(), 3);
  s.setCharge(nullptr);  // nothing
  EXPECT_EQ(*s.getCharge(), 3);
  *s.getCharge() = -2;  // the pointer is the stored charge
  EXPECT_EQ(*s.getCharge(), -2);

  s.setChargeUnits("coulomb");
  EXPECT_STREQ(s.getChargeUnits(), "coulomb");
  s.setChargeUnits(s.getChargeUnits());  // its own text
  EXPECT_STREQ(s.getChargeUnits(), "coulomb");
  s.setChargeUnits(nullptr);
  EXPECT_EQ(s.getChargeUnits(), nullptr);
}

TEST_F(SpeciesTest, CopiesOwnTheirChargeUnits) {
  auto source = std::make_unique<BSpecies>();
  source->setName("A");
  source->setInitialValue(4.0);
  source->setUnits("mole");
  source->setConstantValue(true);
  source->setBoundaryCondition(true);
  const int32_t charge = 2;
  source->setCharge(&charge);
  source->setChargeUnits("elementary charge");

  BSpecies copy(*source);
  BSpecies assigned;
  assigned.setChargeUnits("old");
  assigned = *source;
  EXPECT_NE(copy.getChargeUnits(), source->getChargeUnits());
  EXPECT_NE(assigned.getChargeUnits(), source->getChargeUnits());
  source.reset();
  for (const BSpecies* s : {&copy, &assigned}) {
    EXPECT_EQ(s->getName(), "A");
    EXPECT_EQ(s->getInitialValue(), 4.0);
    EXPECT_EQ(s->getUnits(), "mole");
    EXPECT_TRUE(s->getConstantValue());
    EXPECT_TRUE(s->getBoundaryCondition());
    EXPECT_EQ(*s->getCharge(), 2);
    EXPECT_STREQ(s->getChargeUnits(), "elementary charge");
  }
}

// Copying a species with charge units raises when any host allocation of the
// copy fails and gives back what it took; an assignment that fails keeps
// the target's own name, texts and charge units.
TEST_F(SpeciesTest, CopyingRaisesWhenHostMemoryRunsOut) {
  BSpecies source;
  source.setName("A");
  source.setNotes("notes");
  source.setChargeUnits("elementary charge");
  const std::function<void()> copy = [&] { delete new BSpecies(source); };
  const size_t copyAttempts = hostAllocationsOf(copy);
  ASSERT_GT(copyAttempts, 3u);
  for (size_t k = 1; k <= copyAttempts; ++k) EXPECT_EQ(outcomeWithAllocationFailing(k, copy), "std::bad_alloc") << k;

  BSpecies target;
  const std::function<void()> assign = [&] { target = source; };
  const size_t attempts = hostAllocationsOf(assign);
  EXPECT_STREQ(target.getChargeUnits(), "elementary charge");
  ASSERT_GT(attempts, 2u);
  for (size_t k = 1; k <= attempts; ++k) {
    SCOPED_TRACE(k);
    target.setName("B");
    target.setNotes("old notes");
    target.setChargeUnits("coulomb");
    EXPECT_EQ(outcomeWithAllocationFailing(k, assign), "std::bad_alloc");
    EXPECT_EQ(target.getName(), "B");
    EXPECT_STREQ(target.getNotes(), "old notes");
    EXPECT_STREQ(target.getChargeUnits(), "coulomb");
  }
}

}  // namespace
