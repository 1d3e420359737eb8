// The host class "Species" as the user meets it: the class table, the
// creation entry with its refusals (nothing left behind, also after the
// instance existed), every property, the species table and the delete
// guard that asks which reactions use the species.
#include <cmath>
#include <limits>

#include <interp/interp_test.hpp>
#include <jpi/jpi_test.hpp>
#include <sv/sv_test.hpp>

#include "QuantityHostFixture.hpp"
#include "support/ClassTable.hpp"
#include "expressions/SymbolTable.hpp"

namespace {

using qtest::behind;
using qtest::LinkedReaction;

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");
const char kAmountText[] = "Invalid syntax. AMT must be a 1-by-1 double.";
const char kReservedText[] =
    "Invalid Kestrion species name. Name cannot be empty, 'null', 'time' or contain the strings "
    "'->', '<->', '[', or ']'.";

class SpeciesHostTest : public qtest::QuantityHostTest {
 protected:
  bool flag(OBInterface* s, const char* property) { return *qxGetLogicals(host().get(s, property)); }
};

TEST_F(SpeciesHostTest, ClassTableAsTheUserSeesIt) {
  OBClass* cls = getSpeciesOBClass();
  expectPropertyTable(cls, {{"Annotation", "string", true},          {"AnnotationFull", "string", false},
                           {"BoundaryCondition", "bool", true},     {"Charge", "int", true},
                           {"ChargeUnits", "string", true},         {"ConstantAmount", "bool", true},
                           {"ID", "string", false},                 {"FullyQualifiedName", "string", false},
                           {"FullIdPathToTopModel", "string", false}, {"InitialAmount", "double", true},
                           {"InitialAmountUnits", "string", true},  {"Name", "string", true},
                           {"Notes", "string", true},               {"Parent", "handle", false},
                           {"Tag", "string", true},                 {"Type", "string", false},
                           {"UserData", "PELLAM array", true},      {"PartiallyQualifiedName", "string", false},
                           {"DisplayQualifiedName", "string", false}, {"InUseCount", "long", false}});
  const std::pair<const char*, const char*> help[] = {
      {"Charge", "Indicate the charge on the species."},
      {"ChargeUnits", "Indicate the unit definition of the species object's Charge property."},
      {"InitialAmount",
       "Indicates the initial quantity of the Kestrion species object. \n   InitialAmount is the "
       "quantity of the species that exists before the \n   simulation starts."},
      {"FullIdPathToTopModel", "Get a underscore delimeted path to top model."},
      {"AnnotationFull", "Full annotation with tags"},
      {"Notes", "Notes can be used to describe a Kestrion object."},
      {"DisplayQualifiedName", "This is an unsupported property and should not be used."},
      {"PartiallyQualifiedName", "This is an unsupported property and should not be used."},
      {"FullyQualifiedName", ""}};
  for (const auto& [name, text] : help) EXPECT_STREQ(cls->getProperty(name)->getDescription(), text);
  const std::vector<std::string> methods = methodNamesOf(cls);
  std::vector<std::string> want{"display", "help", "copyobj", "copy", "privategetusages", "rename",
                                "privateisvalidunit"};
  if (!cls->getMethod("copyobj")) want.erase(want.begin() + 2);
  EXPECT_EQ(methods, want);
}

TEST_F(SpeciesHostTest, CreationEntryReadsNameAmountAndPairs) {
  TestHost& h = host();
  OBInterface* bare = h.construct("Kestrion.Species");
  EXPECT_EQ(text(bare, "Name"), "");
  EXPECT_EQ(bare->getState(), OBInterface::Created);
  OBInterface* a = h.construct("Kestrion.Species", {h.str(" A "), h.num(5)});
  EXPECT_EQ(text(a, "Name"), "A");
  EXPECT_EQ(number(a, "InitialAmount"), 5.0);
  OBInterface* b = h.construct("Kestrion.Species", {h.str("B"), h.str("InitialAmountUnits"), h.str("mole")});
  EXPECT_EQ(text(b, "InitialAmountUnits"), "mole");
  OBInterface* c = h.construct("Kestrion.Species", {h.str("C"), h.num(0), h.str("Notes"), h.str("n")});
  EXPECT_EQ(text(c, "Notes"), "n");
  EXPECT_EQ(number(c, "InitialAmount"), 0.0);
  EXPECT_EQ(objectOf(h.get(c, "Parent")), nullptr);
  EXPECT_EQ(text(c, "Type"), "species");
}

TEST_F(SpeciesHostTest, CreationEntryRefusalsLeaveNothingBehind) {
  using Case = ConstructRefusal;
  TestHost& h = host();
  const std::string pv = "An error occurred while configuring the PV pairs.\n";
  const Case cases[] = {
      {{h.num(1)}, "Kestrion:KSTRSPECIES_INVALIDNAME", "Invalid syntax. NAME must be a string."},
      {{h.str("A"), h.num(-5)}, "Kestrion:KSTRSPECIES_INVALIDAMT", kAmountText},
      {{h.str("A"), h.num(kInf)}, "Kestrion:KSTRSPECIES_INVALIDAMT", kAmountText},
      {{h.str("A"), h.num(kNaN)}, "Kestrion:KSTRSPECIES_INVALIDAMT", kAmountText},
      {{h.str("A"), h.num(kNaN), h.str("Notes"), h.str("n")}, "Kestrion:KSTRSPECIES_INVALIDAMT", kAmountText},
      {{h.str("A"), h.nums({1, 2})}, "Kestrion:KSTRSPECIES_INVALIDAMT", kAmountText},
      {{h.str("A"), h.str("Notes")}, "Kestrion:KSTRSPECIES_INVALIDAMT", kAmountText},
      {{h.str("null")}, "Kestrion:KSTRSPECIES_INVALIDNAME", kReservedText},
      {{h.str("a->b")}, "Kestrion:KSTRSPECIES_INVALIDNAME", kReservedText},
      {{h.str(" \t ")}, "Kestrion:KSTRSPECIES_INVALIDNAME", kReservedText},
      {{h.str(" time ")}, "Kestrion:InvalidComponentName", ""},
      {{h.str("[x]")}, "Kestrion:NameCannotContainBrackets", ""},
      {{h.str("A"), h.str("InitialAmount"), h.num(-1)}, "Kestrion:KSTR_INVALID_PVPAIR",
       pv + "InitialAmount must be greater than or equal to zero. InitialAmount cannot be inf or NaN."},
      {{h.str("A"), h.num(-5), h.str("Notes"), h.str("n")}, "Kestrion:KSTR_INVALID_PVPAIR", ""},
      {{h.str("A"), h.str("InitialAmountUnits"), h.str("meter")}, "Kestrion:KSTR_INVALID_PVPAIR",
       pv + "Invalid InitialAmountUnits for species. Valid quantity types are amount, mass and "
            "concentration."},
  };
  expectConstructRefusals("Kestrion.Species", cases);
}

TEST_F(SpeciesHostTest, DesktopSeesAFailedCreationComeAndGo) {
  svTestSetJava(true);
  const size_t before = jpiTestObjectsOfClass("kestridesk.eventqueue.OBKToJavaEvent").size();
  expectHostError([&] {
    host().construct("Kestrion.Species", {host().str("A"), host().str("InitialAmount"), host().num(-1)});
  }, "Kestrion:KSTR_INVALID_PVPAIR");
  auto events = jpiTestObjectsOfClass("kestridesk.eventqueue.OBKToJavaEvent");
  ASSERT_EQ(events.size(), before + 2);
  EXPECT_EQ(events[before]->args.at(1).text, "Species");
  EXPECT_EQ(events[before]->args.at(2).text, "A");
  EXPECT_EQ(events[before + 1]->args.at(0).text, "Species");  // destroyed: class name first
  EXPECT_EQ(events[before + 1]->args.at(1).text, "A");
  svTestSetJava(false);
}

TEST_F(SpeciesHostTest, PropertiesValidateMarkAndKeepOldValues) {
  OBInterface* model = newModel();
  OBInterface* c1 = newCompartment(model, "c1");
  OBInterface* s = addSpecies(c1, "A");
  addSpecies(c1, "B");
  auto* m = behind<Kelbor>(model);
  TestHost& h = host();

  struct Mark {
    const char* property;
    qxArray* value;
    bool marks;
  } marks[] = {{"BoundaryCondition", h.logical(true), true},
               {"ConstantAmount", h.logical(true), true},
               {"Charge", h.num(-2), false},
               {"InitialAmount", h.num(3), false},
               {"InitialAmountUnits", h.str("mole"), true}};
  for (const Mark& mark : marks) {
    m->setCompileNeeded(false);
    h.set(s, mark.property, mark.value);
    EXPECT_EQ(m->getCompileNeeded(), mark.marks) << mark.property;
  }
  EXPECT_TRUE(flag(s, "BoundaryCondition"));
  EXPECT_TRUE(flag(s, "ConstantAmount"));
  EXPECT_EQ(number(s, "Charge"), -2.0);
  EXPECT_EQ(number(s, "InitialAmount"), 3.0);
  h.set(s, "ChargeUnits", h.str("coulomb"));
  EXPECT_EQ(text(s, "ChargeUnits"), "coulomb");

  for (double bad : {-1.0, kInf, kNaN}) {
    expectHostError([&] { h.set(s, "InitialAmount", h.num(bad)); },
                    "Kestrion:SPECIES_INVALID_INITIALAMOUNT",
                    "InitialAmount must be greater than or equal to zero. InitialAmount cannot be "
                    "inf or NaN.");
  }
  expectHostError([&] { h.set(s, "Charge", h.num(1.5)); }, "obk:InvalidValue");
  expectHostError([&] { h.set(s, "InitialAmountUnits", h.str("second")); },
                  "Kestrion:InvalidSpeciesInitAmtUnits");
  EXPECT_EQ(number(s, "InitialAmount"), 3.0);
  EXPECT_EQ(text(s, "InitialAmountUnits"), "mole");

  h.set(s, "Name", h.str("\tA  "));  // its own name again
  expectHostError([&] { h.set(s, "Name", h.str(" B ")); }, "Kestrion:SPECIES_DUPLICATENAME");
  expectHostError([&] { h.set(s, "Name", h.str("   ")); }, "Kestrion:KSTRSPECIES_INVALIDNAME");
  expectHostError([&] { h.set(s, "Name", h.str("null")); }, "Kestrion:KSTRSPECIES_INVALIDNAME");
  expectHostError([&] { h.set(s, "Name", h.str(" time")); }, "Kestrion:InvalidComponentName");
  EXPECT_EQ(text(s, "Name"), "A");
  h.set(s, "Name", h.str(" Z "));
  EXPECT_EQ(text(s, "Name"), "Z");
  EXPECT_EQ(behind<BCompartment>(c1)->getNamedSpecies("Z"), componentOf(s));
  EXPECT_TRUE(m->isComponentNameInUse("Z", kstr::species));
  EXPECT_FALSE(m->isComponentNameInUse("A", kstr::species));
}

TEST_F(SpeciesHostTest, QualifiedNamesFollowTheTree) {
  OBInterface* model = newModel("m1");
  OBInterface* c1 = newCompartment(model, "c1");
  OBInterface* s = addSpecies(c1, "a.b");
  EXPECT_EQ(text(s, "FullyQualifiedName"), "m1.c1.[a.b]");
  EXPECT_EQ(text(s, "DisplayQualifiedName"), "[a.b]");
  newCompartment(model, "c2");
  EXPECT_EQ(text(s, "DisplayQualifiedName"), "c1.[a.b]");
  EXPECT_EQ(host().getString(s, "PartiallyQualifiedName", true), "c1.[a.b]");
  behind<BSpecies>(s)->setID("s7");
  behind<BCompartment>(c1)->setID("c7");
  behind<Kelbor>(model)->setID("m7");
  EXPECT_EQ(text(s, "FullIdPathToTopModel"), "m7_c7_s7");
  OBInterface* free = host().construct("Kestrion.Species", {host().str("F")});
  EXPECT_EQ(text(free, "FullyQualifiedName"), "F");
}

TEST_F(SpeciesHostTest, DeleteGuardAsksForReactionsUsingTheSpecies) {
  OBInterface* model = newModel();
  OBInterface* c1 = newCompartment(model, "c1");
  OBInterface* reactant = addSpecies(c1, "R");
  OBInterface* product = addSpecies(c1, "P");
  OBInterface* unused = addSpecies(c1, "U");
  OBInterface* reaction = newReaction(model, "R1");
  behind<LinkedReaction>(reaction)->reactants.push_back(behind<BSpecies>(reactant));
  behind<LinkedReaction>(reaction)->products.push_back(behind<BSpecies>(product));

  EXPECT_FALSE(host().destroy(reactant));
  EXPECT_FALSE(host().destroy(product));
  ASSERT_EQ(warningIds(), (std::vector<std::string>{"Kestrion:DELETE_SPECIES_BEING_USED",
                                                    "Kestrion:DELETE_SPECIES_BEING_USED"}));
  EXPECT_EQ(hbTestWarnings()[0].text,
            "Warning: The species was not deleted. It is being used by a reaction.\n The species "
            "can be removed from the reaction with RMREACTANT or RMPRODUCT.");
  EXPECT_EQ(behind<BCompartment>(c1)->getNumSpecies(), 3u);

  hbTestClearWarnings();
  const KelborComponent* gone = componentOf(unused);
  EXPECT_TRUE(behind<Kelbor>(model)->getSymbolTable()->containsComponent(gone));
  EXPECT_TRUE(host().destroy(unused));
  EXPECT_TRUE(warningIds().empty());
  EXPECT_EQ(names(host().get(c1, "Species")), (std::vector<std::string>{"R", "P"}));
  EXPECT_FALSE(behind<Kelbor>(model)->isComponentNameInUse("U", kstr::species));
  EXPECT_FALSE(behind<Kelbor>(model)->getSymbolTable()->containsComponent(gone));

  // The model goes with its species, used or not, without a question.
  EXPECT_TRUE(host().destroy(model));
  EXPECT_TRUE(warningIds().empty());
  EXPECT_TRUE(obkDestroyDiagnostics().empty());
}

TEST_F(SpeciesHostTest, SpeciesOutsideAModelGoesWithoutAskingTheHost) {
  OBInterface* c = host().construct("Kestrion.Compartment", {host().str("c")});
  OBInterface* s = addSpecies(c, "S");
  const size_t calls = host().interpCalls().size();
  EXPECT_TRUE(host().destroy(s));
  EXPECT_EQ(host().interpCalls().size(), calls);
  EXPECT_EQ(behind<BCompartment>(c)->getNumSpecies(), 0u);
  EXPECT_EQ(static_cast<Vector*>(behind<BCompartment>(c)->getOBISpecies())->size(), 0);
}

TEST_F(SpeciesHostTest, DisplaysTheSpeciesTable) {
  OBInterface* model = newModel();
  OBInterface* cell = newCompartment(model, "cell");
  OBInterface* a = addSpecies(cell, "A");
  host().set(a, "InitialAmount", host().num(12.5));
  host().set(a, "InitialAmountUnits", host().str("molecule"));
  const std::string longName(120, 'x');
  OBInterface* b = addSpecies(cell, longName.c_str());
  const auto gap = [](long n) { return std::string(static_cast<size_t>(std::clamp<long>(n, 0, 46)), ' '); };
  hbTestClearPrinted();
  host().call(a, "display");
  EXPECT_EQ(hbTestPrinted(), "\n   Kestrion Species Array\n\n"
                             "   Index:    Compartment:" + gap(4) + "Name:" + gap(4) +
                                 "InitialAmount:" + gap(4) + "InitialAmountUnits:\n"
                             "   1" + gap(9) + "cell" + gap(12) + "A" + gap(8) + "12.5" + gap(14) +
                                 "molecule\n\n");
  hbTestClearPrinted();
  host().call("display", {host().handles({a, b})});
  const std::string cut = longName.substr(0, 97) + "...";
  EXPECT_EQ(hbTestPrinted(), "\n   Kestrion Species Array\n\n"
                             "   Index:    Compartment:" + gap(4) + "Name:" + gap(99) +
                                 "InitialAmount:" + gap(4) + "InitialAmountUnits:\n"
                             "   1" + gap(9) + "cell" + gap(12) + "A" + gap(103) + "12.5" + gap(14) +
                                 "molecule\n"
                             "   2" + gap(9) + "cell" + gap(12) + cut + gap(4) + "0" + gap(17) + "\n\n");
  hbTestClearPrinted();
  // An empty vector (the call body itself: the host needs an object to
  // dispatch on).
  OBMethodInfo* display = getSpeciesOBClass()->getMethod("display");
  void* none[1] = {nullptr};
  void* outs[1] = {nullptr};
  int nOut = 0;
  display->invoke(display->getMethodSignatures()[1], nOut, outs, 1, none);
  EXPECT_EQ(hbTestPrinted(), "\n   Kestrion Species Array\n\n"
                             "   Index:    Compartment:" + gap(4) + "Name:" + gap(4) +
                                 "InitialAmount:" + gap(4) + "InitialAmountUnits:\n\n");
}

TEST_F(SpeciesHostTest, UsagesHelpAndUnitTest) {
  OBInterface* model = newModel();
  OBInterface* c1 = newCompartment(model, "c1");
  OBInterface* s = addSpecies(c1, "S");
  auto* rule = new TestRule("S*2");
  OBInterface* r = wrap(rule, qtest::probeRuleClass());
  addRuleBelowModel(r, model);
  EXPECT_EQ(number(s, "InUseCount"), 1.0);
  // Unsorted: the sorted form lists only the classes "Reaction", "Rule"
  // and "Event", and the stand-in rule class has a name of its own.
  qxArray* usages = host().call(s, "privategetusages", {host().logical(false)}, 1).at(0);
  ASSERT_EQ(qxGetNumberOfElements(usages), 1u);
  EXPECT_EQ(qxGetHandle(usages, 0), r);
  hbTestClearWarnings();
  host().call(s, "help", {host().str("initialamount")});
  EXPECT_TRUE(warningIds().empty());
  host().call(s, "help", {host().str("Volume")});
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:HELP_INVALID_PROPERTY"});
  qxArray* answers = host().callStatic("Kestrion.Species", "privateisvalidunit",
                                       {host().cell({host().str("mole/liter"), host().str("second"),
                                                     host().str("")})}).at(0);
  EXPECT_TRUE(qxGetLogicals(answers)[0]);
  EXPECT_FALSE(qxGetLogicals(answers)[1]);
  EXPECT_TRUE(qxGetLogicals(answers)[2]);
}

}  // namespace
