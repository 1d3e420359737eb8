// The host class "Compartment" as the user meets it: the class table, the
// creation entry, "addcompartment" and "addspecies", every property, the
// reorder, the displays and the delete guard, with every error of the class
// and nothing left behind after a refusal.
#include <cmath>
#include <limits>

#include "QuantityHostFixture.hpp"
#include "support/ClassTable.hpp"
#include "expressions/SymbolTable.hpp"
#include "support/TestThing.hpp"

namespace {

using qtest::behind;

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

const char kPvText[] = "An error occurred while configuring the PV pairs.\n";
const char kCapacityText[] = "Capacity must be a 1-by-1 double and cannot be negative, inf or NaN.";

class CompartmentHostTest : public qtest::QuantityHostTest {
 protected:
  BCompartment* compartment(OBInterface* c) { return behind<BCompartment>(c); }
};

TEST_F(CompartmentHostTest, ClassTableAsTheUserSeesIt) {
  OBClass* cls = getCompartmentOBClass();
  EXPECT_STREQ(cls->getFullName(), "Kestrion.Compartment");
  expectPropertyTable(cls, {{"Annotation", "string", true},
                           {"AnnotationFull", "string", false},
                           {"Name", "string", true},
                           {"ID", "string", false},
                           {"Notes", "string", true},
                           {"Parent", "handle", false},
                           {"FullyQualifiedName", "string", false},
                           {"Tag", "string", true},
                           {"UserData", "PELLAM array", true},
                           {"Type", "string", false},
                           {"Capacity", "double", true},
                           {"ConstantCapacity", "bool", true},
                           {"CapacityUnits", "string", true},
                           {"Species", "handle vector", true},
                           {"Compartments", "handle vector", true},
                           {"Owner", "handle", true},
                           {"InUseCount", "long", false},
                           {"PartiallyQualifiedName", "string", false}});
  for (const OBPropInfo* prop : cls->getProperties()) {
    EXPECT_TRUE(prop->isInternalGetAccess()) << prop->getName();
  }
  for (const char* foo : {"Capacity", "ConstantCapacity", "CapacityUnits"}) {
    EXPECT_STREQ(cls->getProperty(foo)->getDescription(), "foo");
  }
  EXPECT_EQ(std::string(cls->getProperty("Species")->getDescription()).rfind("foo\n\n", 0), 0u);
  EXPECT_STREQ(cls->getProperty("UserData")->getDescription(),
               "Property to specify data that you want to associate with\n   a Kestrion object. "
               "The object does not use this data directly,\n   but you can access it using the "
               "function get or dot notation.");
  EXPECT_STREQ(cls->getProperty("AnnotationFull")->getDescription(), "Full annotation with tags");
  EXPECT_STREQ(cls->getProperty("PartiallyQualifiedName")->getDescription(),
               "This is an unsupported property and should not be used.");
  const char* methods[] = {"addspecies", "display",          "addcompartment", "copyobj", "copy",
                           "reorder",    "privategetusages", "rename",         "privateisvalidunit"};
  std::vector<std::string> have;
  for (OBMethodInfo* m : cls->getMethods()) have.push_back(m->getName());
  std::vector<std::string> want(std::begin(methods), std::end(methods));
  if (!cls->getMethod("copyobj")) want.erase(want.begin() + 3);
  EXPECT_EQ(have, want);
}

TEST_F(CompartmentHostTest, CreationEntryReadsNameCapacityAndPairs) {
  OBInterface* bare = host().construct("Kestrion.Compartment");
  EXPECT_EQ(text(bare, "Name"), "");
  EXPECT_EQ(number(bare, "Capacity"), 1.0);
  EXPECT_EQ(text(bare, "Type"), "compartment");
  EXPECT_EQ(bare->getState(), OBInterface::Active);

  OBInterface* c = host().construct("Kestrion.Compartment",
                                    {host().str("  cell "), host().num(5), host().str("CapacityUnits"),
                                     host().str("liter"), host().str("Notes"), host().str("n")});
  EXPECT_EQ(text(c, "Name"), "cell");
  EXPECT_EQ(number(c, "Capacity"), 5.0);
  EXPECT_EQ(text(c, "CapacityUnits"), "liter");
  EXPECT_EQ(text(c, "Notes"), "n");
  OBInterface* pairs = host().construct("Kestrion.Compartment",
                                        {host().str("c2"), host().str("ConstantCapacity"),
                                         host().logical(false)});
  EXPECT_FALSE(*qxGetLogicals(host().get(pairs, "ConstantCapacity")));
  EXPECT_EQ(number(pairs, "Capacity"), 1.0);
}

TEST_F(CompartmentHostTest, CreationEntryRefusalsLeaveNothingBehind) {
  using Case = ConstructRefusal;
  TestHost& h = host();
  const Case cases[] = {
      {{h.num(5)}, "Kestrion:KSTRCOMPARTMENT_INVALID_NAME", "Invalid syntax. Name must be a string."},
      {{h.str("c"), h.num(-1)}, "Kestrion:INVALID_CAPACITY", kCapacityText},
      {{h.str("c"), h.num(kInf)}, "Kestrion:INVALID_CAPACITY", kCapacityText},
      // NaN is taken as the capacity, which refuses it as storing it would.
      {{h.str("c"), h.num(kNaN)}, "Kestrion:COMPARTMENT_INVALID_CAPACITY", kCapacityText},
      {{h.str("c"), h.num(kNaN), h.str("Owner"), h.num(1)}, "Kestrion:COMPARTMENT_INVALID_CAPACITY",
       kCapacityText},
      {{h.num(5), h.num(kNaN)}, "Kestrion:KSTRCOMPARTMENT_INVALID_NAME", ""},
      {{h.str("c"), h.nums({1, 2}), h.str("Notes"), h.str("n")}, "Kestrion:INVALID_CAPACITY", ""},
      {{h.str("null")}, "Kestrion:INVALIDNAME_RESERVED", ""},
      {{h.str("a->b")}, "Kestrion:INVALIDNAME_RESERVED", ""},
      {{h.str("   ")}, "Kestrion:INVALIDNAME_RESERVED", ""},
      {{h.str(" time ")}, "Kestrion:InvalidComponentName", ""},
      {{h.str("a[b")}, "Kestrion:NameCannotContainBrackets", ""},
      {{h.str("c"), h.str("Owner"), h.num(1)},
       "Kestrion:KSTR_INVALID_PVPAIR",
       std::string(kPvText) + "Owner property cannot be set from ADDCOMPARTMENT"},
      {{h.str("c"), h.num(2), h.str("oWnEr"), h.num(1)}, "Kestrion:KSTR_INVALID_PVPAIR",
       std::string(kPvText) + "Owner property cannot be set from ADDCOMPARTMENT"},
      {{h.str("c"), h.strct({{"owner", h.num(1)}})}, "Kestrion:KSTR_INVALID_PVPAIR",
       std::string(kPvText) + "Owner property cannot be set from ADDCOMPARTMENT"},
      {{h.str("c"), h.str("Capacity"), h.num(-2)}, "Kestrion:KSTR_INVALID_PVPAIR",
       std::string(kPvText) + kCapacityText},
      {{h.str("c"), h.str("Notes")}, "Kestrion:KSTR_INVALID_PVPAIR",
       std::string(kPvText) + "A property was passed in with no corresponding value."},
      // The order of the checks: capacity, name type, name, "Owner" pair.
      {{h.num(5), h.num(-1)}, "Kestrion:INVALID_CAPACITY", kCapacityText},
      {{h.num(5), h.str("Owner"), h.num(1)}, "Kestrion:KSTRCOMPARTMENT_INVALID_NAME",
       "Invalid syntax. Name must be a string."},
      {{h.str("null"), h.str("Owner"), h.num(1)}, "Kestrion:INVALIDNAME_RESERVED",
       "Invalid Kestrion name. Name cannot be empty, 'null', 'time' or contain the strings '->', "
       "'<->', '[', or ']'."},
  };
  expectConstructRefusals("Kestrion.Compartment", cases);
}

TEST_F(CompartmentHostTest, AddCompartmentBelowAnOwnerInAModel) {
  OBInterface* model = newModel();
  OBInterface* cell = newCompartment(model, "cell");
  OBInterface* nucleus = objectOf(
      host().call(cell, "addcompartment", {host().str(" nucleus "), host().num(2)}, 1).at(0));
  EXPECT_EQ(text(nucleus, "Name"), "nucleus");
  EXPECT_EQ(number(nucleus, "Capacity"), 2.0);
  EXPECT_EQ(objectOf(host().get(nucleus, "Owner")), cell);
  EXPECT_EQ(objectOf(host().get(nucleus, "Parent")), model);
  EXPECT_EQ(names(host().get(cell, "Compartments")), std::vector<std::string>{"nucleus"});
  EXPECT_EQ(nucleus->getUp(), cell);
  auto* m = behind<Kelbor>(model);
  EXPECT_EQ(m->getOBICompartments()->indexOf(nucleus), 1);
  EXPECT_TRUE(m->isComponentNameInUse("nucleus", kstr::compartment));

  // "Capacity" as third argument starts the pairs.
  OBInterface* er = objectOf(host().call(cell, "addcompartment",
                                         {host().str("er"), host().str("Capacity"), host().num(7)}, 1)
                                 .at(0));
  EXPECT_EQ(number(er, "Capacity"), 7.0);
}

TEST_F(CompartmentHostTest, AddCompartmentRefusalsLeaveTheTreeAsItWas) {
  OBInterface* model = newModel();
  OBInterface* cell = newCompartment(model, "cell");
  auto* m = behind<Kelbor>(model);
  TestHost& h = host();
  const size_t alive = OBInterface::liveCount();
  expectHostError([&] { h.call(cell, "addcompartment", {}, 1); },
                  "Kestrion:ADDCOMPARTMENT_TOO_FEW_ARGS",
                  "Not enough input arguments. Type 'help Kestrion.Compartment.addcompartment' for "
                  "more information.");
  expectHostError([&] { h.call(cell, "addcompartment", {h.num(3)}, 1); },
                  "Kestrion:COMPARTMENT_INVALID_NAME", "Invalid syntax. Name must be a string.");
  expectHostError([&] { h.call(cell, "addcompartment", {h.str("x"), h.num(-1)}, 1); },
                  "Kestrion:INVALID_CAPACITY", kCapacityText);
  expectHostError([&] { h.call(cell, "addcompartment", {h.str("x"), h.str("OWNER"), h.handle(cell)}, 1); },
                  "Kestrion:KSTR_INVALID_PVPAIR",
                  std::string(kPvText) + "Owner property cannot be set from ADDCOMPARTMENT");
  expectHostError([&] { h.call(cell, "addcompartment", {h.str("cell")}, 1); },
                  "Kestrion:KS_COMPARTMENT_DUPLICATE_NAME");
  expectHostError([&] { h.call(cell, "addcompartment", {h.str("x"), h.str("Capacity"), h.str("big")}, 1); },
                  "Kestrion:KSTR_INVALID_PVPAIR");
  // The name is checked before the capacity and the "Owner" pair.
  expectHostError([&] { h.call(cell, "addcompartment", {h.str(" cell "), h.num(-1)}, 1); },
                  "Kestrion:KS_COMPARTMENT_DUPLICATE_NAME");
  expectHostError(
      [&] { h.call(cell, "addcompartment", {h.str("null"), h.str("Owner"), h.handle(cell)}, 1); },
      "Kestrion:INVALIDNAME_RESERVED");
  expectHostError([&] { h.call(cell, "addcompartment", {h.str(" time "), h.num(kNaN)}, 1); },
                  "Kestrion:InvalidComponentName");
  expectHostError(
      [&] {
        h.call(cell, "addcompartment", {h.str("x"), h.num(kNaN), h.str("Owner"), h.handle(cell)}, 1);
      },
      "Kestrion:COMPARTMENT_INVALID_CAPACITY", kCapacityText);
  expectHostError(
      [&] {
        h.call(cell, "addcompartment", {h.str("x"), h.num(kInf), h.str("Owner"), h.handle(cell)}, 1);
      },
      "Kestrion:INVALID_CAPACITY", kCapacityText);
  EXPECT_EQ(OBInterface::liveCount(), alive);
  EXPECT_EQ(compartment(cell)->getNumCompartments(), 0u);
  EXPECT_EQ(m->getNumCompartmentsInTree(), 1u);
  EXPECT_EQ(m->getOBICompartments()->size(), 1);
  EXPECT_FALSE(m->isComponentNameInUse("x", kstr::compartment));
}

TEST_F(CompartmentHostTest, AddSpeciesReadsAmountAndPairs) {
  OBInterface* model = newModel();
  OBInterface* c1 = newCompartment(model, "c1");
  OBInterface* c2 = newCompartment(model, "c2");
  TestHost& h = host();
  OBInterface* a = objectOf(h.call(c1, "addspecies", {h.str("A"), h.num(5)}, 1).at(0));
  EXPECT_EQ(number(a, "InitialAmount"), 5.0);
  EXPECT_EQ(objectOf(h.get(a, "Parent")), c1);
  OBInterface* b = objectOf(
      h.call(c1, "addspecies", {h.str("B"), h.str("InitialAmountUnits"), h.str("mole")}, 1).at(0));
  EXPECT_EQ(text(b, "InitialAmountUnits"), "mole");
  EXPECT_EQ(number(b, "InitialAmount"), 0.0);
  // The same name in another compartment is no clash.
  objectOf(h.call(c2, "addspecies", {h.str("A")}, 1).at(0));
  EXPECT_EQ(names(h.get(c1, "Species")), (std::vector<std::string>{"A", "B"}));

  const size_t alive = OBInterface::liveCount();
  expectHostError([&] { h.call(c1, "addspecies", {}, 1); }, "Kestrion:ADDSPECIES_TOOFEWARGS",
                  "Not enough input arguments. Type 'help Kestrion.Compartment.addspecies' for more "
                  "information.");
  expectHostError([&] { h.call(c1, "addspecies", {h.str(" ")}, 1); }, "Kestrion:ADDSPECIES_INVALIDNAME",
                  "Invalid syntax. NAME must be a string.");
  expectHostError([&] { h.call(c1, "addspecies", {h.num(1)}, 1); }, "Kestrion:ADDSPECIES_INVALIDNAME");
  expectHostError([&] { h.call(c1, "addspecies", {h.str("  A\t")}, 1); },
                  "Kestrion:ADDSPECIES_DUPLICATENAME",
                  "NAME is being used by another Kestrion species object. Specify a different NAME. "
                  "\nType 'help Kestrion.Compartment.addspecies' for more information.");
  expectHostError([&] { h.call(c1, "addspecies", {h.str("C"), h.num(-5)}, 1); },
                  "Kestrion:KSTRSPECIES_INVALIDAMT", "Invalid syntax. AMT must be a 1-by-1 double.");
  // A pair renaming the new species to a taken name: refused when it is wired.
  expectHostError([&] { h.call(c1, "addspecies", {h.str("C"), h.str("Name"), h.str("B")}, 1); },
                  "Kestrion:SPECIES_DUPLICATENAME");
  EXPECT_EQ(OBInterface::liveCount(), alive);
  EXPECT_EQ(compartment(c1)->getNumSpecies(), 2u);
  EXPECT_FALSE(behind<Kelbor>(model)->isComponentNameInUse("C", kstr::species));

  // The first argument must be a compartment (reached with the call body).
  OBMethodInfo* method = getCompartmentOBClass()->getMethod("addspecies");
  void* ins[2] = {a, h.str("D")};
  void* outs[1] = {nullptr};
  int nOut = 1;
  expectHostError([&] { method->invoke(method->getMethodSignatures()[0], nOut, outs, 2, ins); },
                  "Kestrion:ADDSPECIES_INVALID_FIRSTARG",
                  "Invalid syntax. COBJ must be a Kestrion compartment object.");
}

TEST_F(CompartmentHostTest, QuantityPropertiesValidateAndKeepOldValues) {
  OBInterface* model = newModel();
  OBInterface* c = newCompartment(model, "c1");
  newCompartment(model, "c2");
  auto* m = behind<Kelbor>(model);
  TestHost& h = host();
  h.set(c, "Capacity", h.num(0));
  EXPECT_EQ(number(c, "Capacity"), 0.0);
  for (double bad : {-1.0, kInf, kNaN}) {
    expectHostError([&] { h.set(c, "Capacity", h.num(bad)); }, "Kestrion:COMPARTMENT_INVALID_CAPACITY");
  }
  EXPECT_EQ(number(c, "Capacity"), 0.0);

  m->setCompileNeeded(false);
  h.set(c, "CapacityUnits", h.str(" meter^2 "));
  EXPECT_EQ(text(c, "CapacityUnits"), "meter^2");
  EXPECT_TRUE(m->getCompileNeeded());
  expectHostError([&] { h.set(c, "CapacityUnits", h.str("mole")); },
                  "Kestrion:COMPARTMENT_INVALID_CAPACITY_UNITS",
                  "Invalid CapacityUnits. Valid unit types are length, area, and volume.");
  EXPECT_EQ(text(c, "CapacityUnits"), "meter^2");
  h.set(c, "ConstantCapacity", h.logical(false));
  EXPECT_FALSE(*qxGetLogicals(h.get(c, "ConstantCapacity")));

  // Its own name again is taken in the model, as "rename" says too.
  expectHostError([&] { h.set(c, "Name", h.str("  c1  ")); }, "Kestrion:KS_COMPARTMENT_DUPLICATE_NAME");
  expectHostError([&] { h.call(c, "rename", {h.str("c1")}); }, "Kestrion:KS_COMPARTMENT_DUPLICATE_NAME");
  h.set(c, "Name", h.str(" cyto "));
  EXPECT_EQ(text(c, "Name"), "cyto");
  EXPECT_TRUE(m->isComponentNameInUse("cyto", kstr::compartment));
  EXPECT_FALSE(m->isComponentNameInUse("c1", kstr::compartment));
  expectHostError([&] { h.set(c, "Name", h.str("c2")); }, "Kestrion:KS_COMPARTMENT_DUPLICATE_NAME");
  expectHostError([&] { h.set(c, "Name", h.str("null")); }, "Kestrion:INVALIDNAME_RESERVED");
  EXPECT_EQ(text(c, "Name"), "cyto");
  for (const char* readOnly : {"Type", "Parent", "ID", "AnnotationFull", "FullyQualifiedName"}) {
    expectHostError([&] { h.set(c, readOnly, h.str("x")); }, "obk:PropertyAccessDenied");
  }
  EXPECT_EQ(host().getString(c, "FullyQualifiedName"), "kstrmodel:m1.compartment:cyto");
}

TEST_F(CompartmentHostTest, SpeciesCompartmentsAndOwnerProperties) {
  OBInterface* model = newModel();
  OBInterface* a = newCompartment(model, "a");
  OBInterface* b = newCompartment(model, "b");
  TestHost& h = host();
  OBInterface* s1 = addSpecies(a, "S1");
  OBInterface* free1 = h.construct("Kestrion.Species", {h.str("F")});
  OBInterface* twin = h.construct("Kestrion.Species", {h.str("S1")});
  // A species whose name the compartment holds is skipped; a free one joins.
  h.set(a, "Species", h.handles({twin, free1}));
  EXPECT_EQ(names(h.get(a, "Species")), (std::vector<std::string>{"S1", "F"}));
  EXPECT_EQ(twin->getUp(), nullptr);
  EXPECT_EQ(free1->getUp(), a);
  // Members of other compartments and other classes are refused whole.
  expectHostError([&] { h.set(b, "Species", h.handles({s1})); }, "Kestrion:InvalidPropertyValue");
  expectHostError([&] { h.set(b, "Species", h.handles({twin, a})); }, "Kestrion:InvalidPropertyValue");
  EXPECT_EQ(compartment(b)->getNumSpecies(), 0u);
  EXPECT_EQ(twin->getUp(), nullptr);

  // Owner: move b below a, then back to the model's top level.
  h.set(b, "Owner", h.handle(a));
  EXPECT_EQ(objectOf(h.get(b, "Owner")), a);
  EXPECT_EQ(names(h.get(a, "Compartments")), std::vector<std::string>{"b"});
  EXPECT_EQ(b->getUp(), a);
  expectHostError([&] { h.set(a, "Owner", h.handle(b)); },
                  "Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT");
  expectHostError([&] { h.set(b, "Owner", h.handle(s1)); }, "Kestrion:KS_OWNER_INVALIDTYPE_COMPARTMENT",
                  "Owner must be a Kestrion compartment object.");
  h.set(b, "Owner", h.own(qxCreateHandleArray(0, 0)));
  EXPECT_EQ(objectOf(h.get(b, "Owner")), nullptr);
  EXPECT_EQ(b->getUp(), model);

  // Compartments: a free compartment comes under a; names are checked first.
  OBInterface* loose = h.construct("Kestrion.Compartment", {h.str("loose")});
  OBInterface* clash = h.construct("Kestrion.Compartment", {h.str("b")});
  expectHostError([&] { h.set(a, "Compartments", h.handles({loose, clash})); },
                  "Kestrion:COMPARTMENT_DUPLICATE_NAME");
  EXPECT_EQ(compartment(a)->getNumCompartments(), 0u);
  expectHostError([&] { h.set(a, "Compartments", h.handles({s1})); }, "Kestrion:InvalidPropertyValue");
  h.set(a, "Compartments", h.handles({loose}));
  EXPECT_EQ(names(h.get(a, "Compartments")), std::vector<std::string>{"loose"});
  EXPECT_EQ(objectOf(h.get(loose, "Parent")), model);
  EXPECT_TRUE(behind<Kelbor>(model)->isComponentNameInUse("loose", kstr::compartment));
  h.set(a, "Compartments", h.handles({loose}));  // a member again: nothing changes
  EXPECT_EQ(compartment(a)->getNumCompartments(), 1u);
}

// An unnamed compartment takes no empty name, and slips into a model
// through none of the tree properties; a repeated element is refused before
// anything moves.
TEST_F(CompartmentHostTest, UnnamedCompartmentsPassTheNameChecks) {
  TestHost& h = host();
  OBInterface* bare = h.construct("Kestrion.Compartment", {});
  for (const char* empty : {"", "   "}) {
    expectHostError([&] { h.set(bare, "Name", h.str(empty)); }, "Kestrion:INVALIDNAME_RESERVED");
  }
  OBInterface* model = newModel();
  OBInterface* a = newCompartment(model, "a");
  expectHostError([&] { h.set(a, "Compartments", h.handles({bare})); },
                  "Kestrion:INVALIDNAME_RESERVED");
  expectHostError([&] { h.set(a, "Compartments", h.handles({bare, bare})); },
                  "Kestrion:COMPARTMENT_DUPLICATE_NAME");
  expectHostError([&] { h.set(bare, "Owner", h.handle(a)); }, "Kestrion:INVALIDNAME_RESERVED");
  EXPECT_EQ(compartment(a)->getNumCompartments(), 0u);
  EXPECT_EQ(bare->getUp(), nullptr);
  EXPECT_EQ(behind<Kelbor>(model)->getNumCompartmentsInTree(), 1u);

  OBInterface* freeOwner = h.construct("Kestrion.Compartment", {h.str("outside")});
  OBInterface* f1 = h.construct("Kestrion.Compartment", {h.str("f1")});
  expectHostError([&] { h.set(freeOwner, "Compartments", h.handles({f1, f1})); },
                  "Kestrion:COMPARTMENT_DUPLICATE_NAME");
  EXPECT_EQ(compartment(freeOwner)->getNumCompartments(), 0u);
  EXPECT_EQ(f1->getUp(), nullptr);
  h.set(bare, "Name", h.str("named"));
  h.set(a, "Compartments", h.handles({bare}));
  EXPECT_EQ(names(h.get(a, "Compartments")), std::vector<std::string>{"named"});
}

TEST_F(CompartmentHostTest, ReorderTakesOnlyTheSameMembers) {
  OBInterface* model = newModel();
  OBInterface* top = newCompartment(model, "top");
  TestHost& h = host();
  OBInterface* x = objectOf(h.call(top, "addcompartment", {h.str("x")}, 1).at(0));
  OBInterface* y = objectOf(h.call(top, "addcompartment", {h.str("y")}, 1).at(0));
  OBInterface* s1 = addSpecies(top, "S1");
  OBInterface* s2 = addSpecies(top, "S2");
  h.call(top, "reorder", {h.handles({y, x})});
  EXPECT_EQ(names(h.get(top, "Compartments")), (std::vector<std::string>{"y", "x"}));
  EXPECT_EQ(compartment(top)->getCompartments()[0], componentOf(y));
  h.call(top, "reorder", {h.handles({s2, s1})});
  EXPECT_EQ(names(h.get(top, "Species")), (std::vector<std::string>{"S2", "S1"}));
  EXPECT_EQ(compartment(top)->getNamedSpecies("S1"), componentOf(s1));
  EXPECT_EQ(s1->getExternalReferenceCount(), 1);

  const std::string invalidCall =
      "When reordering components, the new value must be identical to the old value with "
      "exception to the order.";
  expectHostError([&] { h.call(top, "reorder", {h.handles({y})}); }, "Kestrion:InvalidReorderCall",
                  invalidCall);
  expectHostError([&] { h.call(top, "reorder", {h.handles({x, s1})}); }, "Kestrion:InvalidReorderCall");
  expectHostError([&] { h.call(top, "reorder", {h.handles({x, y, top})}); },
                  "Kestrion:InvalidReorderCall");
  expectHostError([&] { h.call(top, "reorder", {h.handles({model})}); },
                  "Kestrion:InvalidReorderTarget", "Invalid object type for reorder.");
  expectHostError([&] { h.call(top, "reorder", {h.own(qxCreateHandleArray(0, 0))}); },
                  "Kestrion:AmbiguousOrInvalidReorder",
                  "When reordering, there must be one or more Kestrion components.");
  foreignClass();
  OBInterface* foreign = h.construct("Other.Foreign");
  expectHostError([&] { h.call(top, "reorder", {h.handles({foreign})}); },
                  "Kestrion:AmbiguousOrInvalidReorder");
  EXPECT_EQ(names(h.get(top, "Compartments")), (std::vector<std::string>{"y", "x"}));
}

TEST_F(CompartmentHostTest, DisplaysOneAndSeveral) {
  OBInterface* model = newModel();
  OBInterface* c = newCompartment(model, "cell");
  OBInterface* n = objectOf(host().call(c, "addcompartment", {host().str("nucleus_compartment"),
                                                            host().num(0.25)}, 1).at(0));
  host().set(n, "CapacityUnits", host().str("liter"));
  addSpecies(c, "A");
  hbTestClearPrinted();
  host().call(c, "display");
  EXPECT_EQ(hbTestPrinted(),
            "\n   Kestrion Compartment - cell \n\n"
            "   Compartment Components:\n"
            "     Capacity:          1\n"
            "     CapacityUnits:     \n"
            "     Compartments:      1\n"
            "     ConstantCapacity:  true\n"
            "     Owner:             \n"
            "     Species:           1\n\n");
  hbTestClearPrinted();
  host().call("display", {host().handles({c, n})});
  const auto gap = [](size_t n) { return std::string(n, ' '); };
  EXPECT_EQ(hbTestPrinted(),
            "\n   Kestrion Compartment Array\n\n"
            "   Index:    Name:" + gap(18) + "Capacity:" + gap(4) + "CapacityUnits:\n"
            "   1" + gap(9) + "cell" + gap(19) + "1" + gap(12) + "\n"
            "   2" + gap(9) + "nucleus_compartment" + gap(4) + "0.25" + gap(9) + "liter\n\n");
}

TEST_F(CompartmentHostTest, DeleteGuardWarnsAndTheModelGoesWhole) {
  OBInterface* model = newModel();
  auto* m = behind<Kelbor>(model);
  OBInterface* outer = newCompartment(model, "outer");
  OBInterface* inner = objectOf(host().call(outer, "addcompartment", {host().str("inner")}, 1).at(0));
  OBInterface* s = addSpecies(inner, "S");
  OBInterface* r = newReaction(model, "R1");
  behind<qtest::LinkedReaction>(r)->addProduct(behind<BSpecies>(s));

  EXPECT_FALSE(host().destroy(outer));
  EXPECT_FALSE(host().destroy(inner));
  EXPECT_EQ(warningIds(), (std::vector<std::string>{"Kestrion:KS_DELETE_COMPARTMENT",
                                                    "Kestrion:KS_DELETE_COMPARTMENT_SPECIES_BEING_USED"}));
  EXPECT_EQ(hbTestWarnings()[1].text,
            "Warning: The compartment was not deleted. At least one of the species it\n contains is "
            "being used by a reaction.\n The species can be removed from the reaction using "
            "RMREACTANT or RMPRODUCT.");
  EXPECT_EQ(m->getNumCompartmentsInTree(), 2u);

  behind<qtest::LinkedReaction>(r)->clearProducts();
  hbTestClearWarnings();
  EXPECT_TRUE(host().destroy(inner));
  EXPECT_TRUE(warningIds().empty());
  EXPECT_EQ(compartment(outer)->getNumCompartments(), 0u);
  EXPECT_EQ(m->getOBICompartments()->size(), 1);
  EXPECT_FALSE(m->isComponentNameInUse("inner", kstr::compartment));
  EXPECT_FALSE(m->isComponentNameInUse("S", kstr::species));

  // The model goes with everything in it and no guard speaks up.
  objectOf(host().call(outer, "addcompartment", {host().str("again")}, 1).at(0));
  EXPECT_TRUE(host().destroy(model));
  EXPECT_TRUE(warningIds().empty());
  EXPECT_TRUE(obkDestroyDiagnostics().empty());
}

TEST_F(CompartmentHostTest, CopyIsRefusedAndUnitsAreTested) {
  OBInterface* c = host().construct("Kestrion.Compartment", {host().str("c")});
  expectHostError([&] { host().call(c, "copy"); }, "Kestrion:KS_COPY_INVALID_METHOD",
                  "Invalid method. Use the copyobj method instead.");
  qxArray* one = host().callStatic("Kestrion.Compartment", "privateisvalidunit", {host().str("liter")}).at(0);
  EXPECT_TRUE(qxGetLogicals(one)[0]);
  qxArray* three = host().callStatic(
      "Kestrion.Compartment", "privateisvalidunit",
      {host().cell({host().str("meter"), host().str("mole"), host().str("foo")})}).at(0);
  ASSERT_EQ(qxGetN(three), 3u);
  EXPECT_TRUE(qxGetLogicals(three)[0]);
  EXPECT_FALSE(qxGetLogicals(three)[1]);
  EXPECT_FALSE(qxGetLogicals(three)[2]);
}

}  // namespace

// Deleting a compartment with species empties its lists at once; the model
// and the compartment that stays keep their members, in order, with the
// references their vectors hold.
TEST_F(CompartmentHostTest, DeletingACompartmentKeepsTheRestOfTheModel) {
  OBInterface* model = newModel();
  OBInterface* first = newCompartment(model, "first");
  OBInterface* cell = newCompartment(model, "cell");
  OBInterface* other = newCompartment(model, "other");
  for (const char* name : {"a", "b", "c"}) addSpecies(cell, name);
  OBInterface* kept = addSpecies(other, "t");
  addSpecies(other, "u");
  auto* m = behind<Kelbor>(model);

  EXPECT_TRUE(host().destroy(cell));
  EXPECT_EQ(m->getOBICompartments()->elements(), (std::vector<OBInterface*>{first, other}));
  EXPECT_EQ(m->getCompartments()->size(), 2u);
  EXPECT_EQ(names(host().get(other, "Species")), (std::vector<std::string>{"t", "u"}));
  EXPECT_EQ(kept->getExternalReferenceCount(), 1);
  EXPECT_FALSE(m->isComponentNameInUse("cell", kstr::compartment));
  for (const char* name : {"a", "b", "c"}) {
    EXPECT_FALSE(m->isComponentNameInUse(name, kstr::species)) << name;
  }
  EXPECT_TRUE(m->isComponentNameInUse("t", kstr::species));
  // The engine's list keeps the order of the handles through deletions at
  // the front, in the middle and at the back.
  OBInterface* third = newCompartment(model, "third");
  OBInterface* last = newCompartment(model, "last");
  auto engineOrder = [&] {
    std::vector<std::string> order;
    for (const BCompartment* c : *m->getCompartments()) order.push_back(c->getName());
    return order;
  };
  EXPECT_EQ(engineOrder(), (std::vector<std::string>{"first", "other", "third", "last"}));
  for (OBInterface* going : {first, third, last}) {
    EXPECT_TRUE(host().destroy(going));
    std::vector<std::string> shown;
    for (OBInterface* handle : m->getOBICompartments()->elements()) shown.push_back(componentOf(handle)->getName());
    EXPECT_EQ(engineOrder(), shown);
  }
  EXPECT_EQ(engineOrder(), std::vector<std::string>{"other"});
  EXPECT_FALSE(m->isComponentNameInUse("third", kstr::compartment));
  EXPECT_TRUE(obkDestroyDiagnostics().empty());
}
