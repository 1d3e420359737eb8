// The compartment component: capacity, units, names, display and the delete
// guard.  The tree operations are in CompartmentTreeTest.cpp.
#include <gtest/gtest.h>

#include "support/Expect.hpp"
#include "LinkedReaction.hpp"

#include <cmath>
#include <functional>
#include <hb/hb.hpp>
#include <hb/hb_test.hpp>
#include <ks_utils/Errors.hpp>
#include <limits>
#include <memory>
#include <obk/Exception.hpp>
#include <string>

#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const char kInvalidCapacityText[] =
    "Capacity must be a 1-by-1 double and cannot be negative, inf or NaN.";
const char kInvalidUnitsText[] =
    "Invalid CapacityUnits. Valid unit types are length, area, and volume.";
const char kReservedText[] =
    "Invalid Kestrion name. Name cannot be empty, 'null', 'time' or contain the strings '->', "
    "'<->', '[', or ']'.";
const char kDuplicateText[] =
    "Compartment NAME is being used by another Kestrion model component object. Specify a "
    "different NAME.";


class CompartmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hb_mem_add_primary_message_table(hbGetMemoryContext(), &kstr::getMessageCatalog());
    hbTestSetEcho(false);
    hbTestClearPrinted();
    hbTestClearWarnings();
  }
  void TearDown() override { hbTestSetEcho(true); }
};

TEST_F(CompartmentTest, Defaults) {
  CompartmentPtr c(new BCompartment());
  EXPECT_STREQ(c->getType(), "compartment");
  EXPECT_EQ(c->getEnumType(), kstr::compartment);
  EXPECT_EQ(c->getInitialValue(), 1.0);
  EXPECT_EQ(c->getUnits(), "");
  EXPECT_TRUE(c->getConstantValue());
  EXPECT_FALSE(c->getBoundaryCondition());
  EXPECT_EQ(c->getSpatialDimensions(), 3u);
  EXPECT_EQ(c->getOwner(), nullptr);
  EXPECT_EQ(c->getNumSpecies(), 0u);
  EXPECT_EQ(c->getNumCompartments(), 0u);
  EXPECT_NE(c->getOBISpecies(), nullptr);
  EXPECT_NE(c->getOBICompartments(), nullptr);
  EXPECT_NE(c->getOBISpecies(), c->getOBICompartments());
}

struct CapacityCase {
  double value;
  bool valid;
};

TEST_F(CompartmentTest, CapacityMustBeFiniteAndNotNegative) {
  const CapacityCase cases[] = {{0.0, true},   {-0.0, true},   {2.5, true},
                                {1e300, true}, {-1.0, false},  {-1e-300, false},
                                {kInf, false}, {-kInf, false}, {kNaN, false}};
  for (const CapacityCase& c : cases) {
    SCOPED_TRACE(c.value);
    CompartmentPtr compartment = makeCompartment("cell");
    compartment->setInitialValue(7.0);
    if (c.valid) {
      EXPECT_NO_THROW(compartment->setInitialValue(c.value));
      EXPECT_EQ(compartment->getInitialValue(), c.value);
    } else {
      expectError([&] { compartment->setInitialValue(c.value); },
                  "Kestrion:COMPARTMENT_INVALID_CAPACITY", kInvalidCapacityText);
      EXPECT_EQ(compartment->getInitialValue(), 7.0);
    }
  }
}

struct UnitsCase {
  const char* units;
  const char* stored;   // null: refused
  size_t dimensions;    // for accepted units
  const char* errorId;  // for refused units
};

TEST_F(CompartmentTest, CapacityUnitsSetTheSpatialDimensions) {
  const UnitsCase cases[] = {
      {"liter", "liter", 3, nullptr},
      {"  milliliter ", "milliliter", 3, nullptr},
      {"meter^3", "meter^3", 3, nullptr},
      {"meter", "meter", 1, nullptr},
      {"centimeter", "centimeter", 1, nullptr},
      {"meter^2", "meter^2", 2, nullptr},
      {"((meter))^2", "((meter))^2", 2, nullptr},
      {"mole", nullptr, 0, "Kestrion:COMPARTMENT_INVALID_CAPACITY_UNITS"},
      {"second", nullptr, 0, "Kestrion:COMPARTMENT_INVALID_CAPACITY_UNITS"},
      {"mole/liter", nullptr, 0, "Kestrion:COMPARTMENT_INVALID_CAPACITY_UNITS"},
      {"dimensionless", nullptr, 0, "Kestrion:COMPARTMENT_INVALID_CAPACITY_UNITS"},
      {"1/second", nullptr, 0, "Kestrion:COMPARTMENT_INVALID_CAPACITY_UNITS"},
      {"foo", nullptr, 0, "Kestrion:KSUNIT_CANNOT_PARSE_UNITS"},
      {"meter^", nullptr, 0, "Kestrion:KSUNIT_CANNOT_PARSE_UNITS"},
  };
  for (const UnitsCase& c : cases) {
    SCOPED_TRACE(c.units);
    CompartmentPtr compartment = makeCompartment("cell");
    compartment->setUnits("meter^2");
    if (c.stored) {
      EXPECT_NO_THROW(BCompartment::verifyUnitsStatic(c.units));
      compartment->setUnits(c.units);
      EXPECT_EQ(compartment->getUnits(), c.stored);
      EXPECT_EQ(compartment->getSpatialDimensions(), c.dimensions);
    } else {
      expectError([&] { BCompartment::verifyUnitsStatic(c.units); }, c.errorId);
      expectError([&] { compartment->setUnits(c.units); }, c.errorId,
                  std::string(c.errorId) == "Kestrion:COMPARTMENT_INVALID_CAPACITY_UNITS"
                      ? kInvalidUnitsText
                      : "");
      EXPECT_EQ(compartment->getUnits(), "meter^2");
      EXPECT_EQ(compartment->getSpatialDimensions(), 2u);
    }
  }
}

TEST_F(CompartmentTest, BlankUnitsAreStoredEmptyWithoutMarkingTheModel) {
  Kelbor model;
  CompartmentPtr c = makeCompartment("cell");
  model.addCompartment(c.get());
  c->setUnits("meter");
  model.setCompileNeeded(false);
  c->setUnits(" \t ");
  EXPECT_EQ(c->getUnits(), "");
  EXPECT_EQ(c->getSpatialDimensions(), 3u);
  EXPECT_FALSE(model.getCompileNeeded());
  EXPECT_NO_THROW(BCompartment::verifyUnitsStatic("   "));
  c->setUnits("liter");  // a real unit does mark the model
  EXPECT_TRUE(model.getCompileNeeded());
  model.removeCompartment(c.get());
}

struct NameCase {
  const char* name;
  const char* errorId;  // null: accepted
};

TEST_F(CompartmentTest, NameChecksWithoutModel) {
  const NameCase cases[] = {
      {"cell", nullptr},
      {"Null", nullptr},
      {"my cell", nullptr},
      {"a.b", nullptr},
      {"", "Kestrion:INVALIDNAME_RESERVED"},
      {"null", "Kestrion:INVALIDNAME_RESERVED"},
      {"a->b", "Kestrion:INVALIDNAME_RESERVED"},
      {"a<->b", "Kestrion:INVALIDNAME_RESERVED"},
      {"time", "Kestrion:InvalidComponentName"},
      {"a[1]", "Kestrion:NameCannotContainBrackets"},
      {" \t\n", "Kestrion:NameCannotContainOnlyWhitespace"},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.errorId) {
      EXPECT_NO_THROW(BCompartment::errorForInvalidNameStatic(c.name, nullptr));
    } else if (std::string(c.errorId) == "Kestrion:INVALIDNAME_RESERVED") {
      expectError([&] { BCompartment::errorForInvalidNameStatic(c.name, nullptr); }, c.errorId,
                  kReservedText);
    } else {
      expectError([&] { BCompartment::errorForInvalidNameStatic(c.name, nullptr); }, c.errorId);
    }
  }
}

TEST_F(CompartmentTest, NamesAreUniqueAmongAllCompartmentsOfTheModel) {
  Kelbor model;
  CompartmentPtr cell = makeCompartment("cell");
  CompartmentPtr inner = makeCompartment("inner");
  model.addCompartment(cell.get());
  cell->addCompartment(inner.get());

  for (const char* taken : {"cell", "inner"}) {
    SCOPED_TRACE(taken);
    expectError([&] { BCompartment::errorForInvalidNameStatic(taken, &model); },
                "Kestrion:KS_COMPARTMENT_DUPLICATE_NAME", kDuplicateText);
  }
  EXPECT_NO_THROW(BCompartment::errorForInvalidNameStatic("other", &model));
  // The compartment's own current name counts as taken.
  expectError([&] { inner->errorForInvalidName("inner", &model); },
              "Kestrion:KS_COMPARTMENT_DUPLICATE_NAME");
  // Only a model is searched.
  EXPECT_NO_THROW(BCompartment::errorForInvalidNameStatic("inner", cell.get()));
  cell->removeCompartment(inner.get());
  model.removeCompartment(cell.get());
}

TEST_F(CompartmentTest, RenameInsideTheModelFollowsTheSymbolTable) {
  Kelbor model;
  CompartmentPtr cell = makeCompartment("cell");
  model.addCompartment(cell.get());
  cell->rename("  nucleus ");
  EXPECT_EQ(cell->getName(), "nucleus");
  EXPECT_TRUE(model.isComponentNameInUse("nucleus", kstr::compartment));
  EXPECT_FALSE(model.isComponentNameInUse("cell", kstr::compartment));
  EXPECT_NO_THROW(BCompartment::errorForInvalidNameStatic("cell", &model));
  model.removeCompartment(cell.get());
}

TEST_F(CompartmentTest, DisplayOfOneCompartment) {
  CompartmentPtr owner = makeCompartment("outer");
  CompartmentPtr c = makeCompartment("cell");
  owner->addCompartment(c.get());
  c->setInitialValue(2.5);
  c->setUnits("liter");
  c->setConstantValue(false);
  hbTestClearPrinted();
  c->display();
  EXPECT_EQ(hbTestPrinted(),
            "\n"
            "   Kestrion Compartment - cell \n\n"
            "   Compartment Components:\n"
            "     Capacity:          2.5\n"
            "     CapacityUnits:     liter\n"
            "     Compartments:      0\n"
            "     ConstantCapacity:  false\n"
            "     Owner:             outer\n"
            "     Species:           0\n"
            "\n");
  hbTestClearPrinted();
  owner->display();
  EXPECT_NE(hbTestPrinted().find("     Compartments:      1\n"), std::string::npos);
  EXPECT_NE(hbTestPrinted().find("     Owner:             \n"), std::string::npos);
  EXPECT_NE(hbTestPrinted().find("     ConstantCapacity:  true\n"), std::string::npos);
}

TEST_F(CompartmentTest, ArrayDisplay) {
  CompartmentPtr a = makeCompartment("cell");
  CompartmentPtr b = makeCompartment("nucleus");
  a->setUnits("liter");
  b->setInitialValue(0.125);
  BCompartment::CompartmentList list{a.get(), b.get()};
  hbTestClearPrinted();
  BCompartment::display(&list);
  // Name width 7, capacity width 9.
  EXPECT_EQ(hbTestPrinted(),
            "\n"
            "   Kestrion Compartment Array\n\n"
            "   Index:    Name:      Capacity:    CapacityUnits:\n"
            "   1         cell       1            liter\n"
            "   2         nucleus    0.125        \n"
            "\n");

  hbTestClearPrinted();
  BCompartment::CompartmentList empty;
  BCompartment::display(&empty);
  EXPECT_EQ(hbTestPrinted(),
            "\n"
            "   Kestrion Compartment Array\n\n"
            "   Index:    Name:    Capacity:    CapacityUnits:\n"
            "\n");
}

TEST_F(CompartmentTest, ArrayDisplayCutsLongNamesAndLongRuns) {
  CompartmentPtr a = makeCompartment(std::string(120, 'x'));
  CompartmentPtr b = makeCompartment("c");
  BCompartment::CompartmentList list{a.get(), b.get()};
  hbTestClearPrinted();
  BCompartment::display(&list);
  const std::string printed = hbTestPrinted();
  const std::string cut = std::string(97, 'x') + "...";
  EXPECT_NE(printed.find("   1         " + cut + "    1" + std::string(12, ' ') + "\n"),
            std::string::npos)
      << printed;
  EXPECT_EQ(printed.find(std::string(98, 'x')), std::string::npos);
  // The header gap after "Name:" and the gap after "c" stop at 46 blanks.
  EXPECT_NE(printed.find("Name:" + std::string(46, ' ') + "Capacity:"), std::string::npos);
  EXPECT_NE(printed.find("   2         c" + std::string(46, ' ') + "1"), std::string::npos);
  EXPECT_EQ(printed.find(std::string(47, ' ')), std::string::npos);
}

TEST_F(CompartmentTest, CopySharesMembersAndHandleVectors) {
  CompartmentPtr owner = makeCompartment("outer");
  CompartmentPtr c = makeCompartment("cell");
  owner->addCompartment(c.get());
  c->setInitialValue(3.0);
  c->setUnits("meter");
  BSpecies s;
  s.setName("s");
  c->addSpecies(&s);

  auto* copy = new BCompartment(*c);
  EXPECT_EQ(copy->getName(), "cell");
  EXPECT_EQ(copy->getInitialValue(), 3.0);
  EXPECT_EQ(copy->getUnits(), "meter");
  EXPECT_EQ(copy->getSpatialDimensions(), 1u);
  EXPECT_EQ(copy->getOwner(), owner.get());
  EXPECT_EQ(copy->getSpecies(), c->getSpecies());
  EXPECT_EQ(copy->getNamedSpecies("s"), &s);
  EXPECT_EQ(copy->getOBISpecies(), c->getOBISpecies());
  EXPECT_EQ(copy->getOBICompartments(), c->getOBICompartments());
  delete copy;  // the vectors belong to the original

  BCompartment assigned;
  assigned.releaseHandleVectors();
  assigned = *c;
  EXPECT_EQ(assigned.getUnits(), "meter");
  EXPECT_EQ(assigned.getOBISpecies(), c->getOBISpecies());
  c->deleteSpecies(&s);
  owner->removeCompartment(c.get());
}

// --- the delete guard ----------------------------------------------------------------

TEST_F(CompartmentTest, DeleteGuard) {
  CompartmentPtr free = makeCompartment("free");
  CompartmentPtr freeSub = makeCompartment("freeSub");
  free->addCompartment(freeSub.get());
  EXPECT_TRUE(free->isOKToDestroy());  // outside a model always
  free->removeCompartment(freeSub.get());

  Kelbor model;
  CompartmentPtr cell = makeCompartment("cell");
  CompartmentPtr inner = makeCompartment("inner");
  model.addCompartment(cell.get());
  cell->addCompartment(inner.get());
  BSpecies a;
  a.setName("A");
  BSpecies b;
  b.setName("B");
  inner->addSpecies(&a);
  inner->addSpecies(&b);
  qtest::LinkedReaction reaction;
  reaction.addProduct(&b);
  model.addReaction(&reaction);

  hbTestClearWarnings();
  EXPECT_FALSE(cell->isOKToDestroy());
  ASSERT_EQ(hbTestWarnings().size(), 1u);
  EXPECT_EQ(hbTestWarnings()[0].id, "Kestrion:KS_DELETE_COMPARTMENT");
  EXPECT_EQ(hbTestWarnings()[0].text,
            "Warning: The compartment was not deleted. It contains at least one compartment.\n"
            " The child compartment can be deleted with DELETE.");

  hbTestClearWarnings();
  EXPECT_FALSE(inner->isOKToDestroy());  // B is a product
  ASSERT_EQ(hbTestWarnings().size(), 1u);
  EXPECT_EQ(hbTestWarnings()[0].id, "Kestrion:KS_DELETE_COMPARTMENT_SPECIES_BEING_USED");
  EXPECT_EQ(hbTestWarnings()[0].text,
            "Warning: The compartment was not deleted. At least one of the species it\n"
            " contains is being used by a reaction.\n"
            " The species can be removed from the reaction using RMREACTANT or RMPRODUCT.");

  reaction.clearProducts();
  reaction.addReactant(&a);
  EXPECT_FALSE(inner->isOKToDestroy());  // A is a reactant
  reaction.clearReactants();
  hbTestClearWarnings();
  EXPECT_TRUE(inner->isOKToDestroy());
  EXPECT_TRUE(hbTestWarnings().empty());

  model.removeReaction(&reaction);
  inner->removeSpecies(&a);
  inner->removeSpecies(&b);
  cell->removeCompartment(inner.get());
  model.removeCompartment(cell.get());
}

}  // namespace
