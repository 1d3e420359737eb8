// "copyobj" of compartments, species and parameters: where a copy may go,
// the refusals with their texts, and what a copy leaves in the target.
#include "QuantityHostFixture.hpp"

namespace {

using qtest::behind;

const char kRefused[] = "OBJ cannot be copied to POBJ. Type 'kstrhelp copyobj' for more information.";
const char kSameName[] =
    "The Kestrion object cannot be copied. An object with the same Type and Name already exists.";

class CopyHostTest : public qtest::QuantityHostTest {
 protected:
  OBInterface* copyInto(OBInterface* obj, OBInterface* target) {
    return objectOf(host().call(obj, "copyobj", {host().handle(target)}, 1).at(0));
  }
};

TEST_F(CopyHostTest, CompartmentTreeCopiesIntoAnotherModel) {
  OBInterface* source = newModel("m1");
  OBInterface* cell = newCompartment(source, "cell");
  host().set(cell, "Capacity", host().num(4));
  OBInterface* nucleus = objectOf(host().call(cell, "addcompartment", {host().str("nucleus")}, 1).at(0));
  addSpecies(cell, "A");
  addSpecies(nucleus, "B");
  OBInterface* target = newModel("m2");

  expectHostError([&] { copyInto(cell, source); }, "Kestrion:COPYOBJ_INVALIDARG", kRefused);
  expectHostError([&] { copyInto(nucleus, newReaction(source, "R1")); }, "Kestrion:COPYOBJ_INVALIDARG",
                  kRefused);

  OBInterface* copy = copyInto(cell, target);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, cell);
  EXPECT_EQ(copy->getUp(), target);
  EXPECT_EQ(text(copy, "Name"), "cell");
  EXPECT_EQ(number(copy, "Capacity"), 4.0);
  EXPECT_EQ(names(host().get(copy, "Species")), std::vector<std::string>{"A"});
  EXPECT_EQ(names(host().get(copy, "Compartments")), std::vector<std::string>{"nucleus"});
  auto* m2 = behind<Kelbor>(target);
  EXPECT_EQ(m2->getNumCompartmentsInTree(), 2u);
  EXPECT_EQ(m2->getOBICompartments()->size(), 2);
  const KelborComponent* b = m2->getPartiallyQualifiedComponent("nucleus.B", kstr::species);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(b->getOBI(), nullptr);
  EXPECT_EQ(componentOf(b->getOBI()->getUp())->getName(), "nucleus");
  // The original is untouched.
  EXPECT_EQ(behind<Kelbor>(source)->getNumCompartmentsInTree(), 2u);
  EXPECT_EQ(behind<BCompartment>(cell)->getNumSpecies(), 1u);
  // A second copy clashes with the first one's names.
  expectHostError([&] { copyInto(nucleus, target); }, "Kestrion:COPYOBJ_INVALIDARG", kRefused);
}

TEST_F(CopyHostTest, SpeciesFindsItsCompartment) {
  OBInterface* source = newModel("m1");
  OBInterface* c1 = newCompartment(source, "c1");
  OBInterface* a = addSpecies(c1, "A");
  host().set(a, "InitialAmount", host().num(9));

  expectHostError([&] { copyInto(a, c1); }, "Kestrion:COPYOBJ_INVALIDARG", kSameName);
  OBInterface* empty = newModel("m2");
  OBInterface* landed = copyInto(a, empty);
  EXPECT_EQ(text(landed, "Name"), "A");
  EXPECT_EQ(number(landed, "InitialAmount"), 9.0);
  ASSERT_NE(landed->getUp(), nullptr);
  EXPECT_EQ(text(landed->getUp(), "Name"), "unnamed");
  EXPECT_EQ(landed->getUp()->getUp(), empty);

  OBInterface* two = newModel("m3");
  newCompartment(two, "x");
  newCompartment(two, "y");
  expectHostError([&] { copyInto(a, two); }, "Kestrion:MODEL_COPYOBJ_MULTIPLE_COMPARTMENTS",
                  "The model contains more than one compartment. In this situation a species must "
                  "be copied into a compartment. Type 'help Kestrion.Compartment.copyobj' for more "
                  "information.");
  OBInterface* y = objectOf(host().call(two, "addcompartment", {host().str("z")}, 1).at(0));
  OBInterface* inY = copyInto(a, y);
  EXPECT_EQ(inY->getUp(), y);
  EXPECT_TRUE(behind<Kelbor>(two)->getPartiallyQualifiedComponent("z.A", kstr::species) != nullptr);
  expectHostError([&] { copyInto(a, newParameter(two, "k")); }, "Kestrion:COPYOBJ_INVALIDARG", kRefused);
}

TEST_F(CopyHostTest, ParameterGoesToModelsOnly) {
  OBInterface* source = newModel("m1");
  OBInterface* k = newParameter(source, "k", 3);
  OBInterface* c = newCompartment(source, "c");
  expectHostError([&] { copyInto(k, c); }, "Kestrion:COPYOBJ_INVALIDARG", kRefused);
  expectHostError([&] { copyInto(k, source); }, "Kestrion:COPYOBJ_INVALIDARG", kSameName);
  OBInterface* target = newModel("m2");
  OBInterface* copy = copyInto(k, target);
  EXPECT_EQ(copy->getUp(), target);
  EXPECT_EQ(number(copy, "Value"), 3.0);
  EXPECT_EQ(text(copy, "FullyQualifiedName"), "m2.k");
  EXPECT_EQ(behind<Kelbor>(target)->getNumParameters(), 1u);
  EXPECT_EQ(behind<Kelbor>(source)->getNumParameters(), 1u);
}

}  // namespace
