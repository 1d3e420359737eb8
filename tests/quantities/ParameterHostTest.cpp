// The host class "Parameter" as the user meets it: the class table, the
// creation entry with its refusals, every property, the host fully
// qualified name through models, reactions and kinetic laws, the parameter
// table and the delete guard of mass-action kinetic laws.
#include <cmath>
#include <limits>

#include "QuantityHostFixture.hpp"
#include "support/ClassTable.hpp"
#include "expressions/SymbolTable.hpp"

namespace {

using qtest::behind;
using qtest::LinkedReaction;
using qtest::NamedKineticLaw;

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

class ParameterHostTest : public qtest::QuantityHostTest {};

TEST_F(ParameterHostTest, ClassTableAsTheUserSeesIt) {
  OBClass* cls = getParameterOBClass();
  expectPropertyTable(cls, {{"Annotation", "string", true},         {"AnnotationFull", "string", false},
                           {"ConstantValue", "bool", true},        {"ID", "string", false},
                           {"FullIdPathToTopModel", "string", false}, {"FullyQualifiedName", "string", false},
                           {"Name", "string", true},               {"Notes", "string", true},
                           {"Parent", "handle", false},            {"Tag", "string", true},
                           {"Type", "string", false},              {"UserData", "PELLAM array", true},
                           {"Value", "double", true},              {"ValueUnits", "string", true},
                           {"PartiallyQualifiedName", "string", false}, {"DisplayQualifiedName", "string", false},
                           {"InUseCount", "long", false}});
  EXPECT_STREQ(cls->getProperty("ConstantValue")->getDescription(),
               "Property to indicate if the value of a parameter can change during\n   a simulation. "
               "Enter either true (value is constant) or false (value can \n   change).\n \n   The "
               "value of the parameter can change during a simulation by specifying\n   a rule that "
               "changes the Value property of the parameter object.");
  EXPECT_STREQ(cls->getProperty("Value")->getDescription(),
               "Value is the value of the parameter object. The parameter \n   object defines an "
               "assignment that can be used by the model object \n   and/or the kinetic law object.");
  EXPECT_EQ(std::string(cls->getProperty("ValueUnits")->getDescription())
                .rfind("Indicates the unit definition of the parameter object Value property.", 0),
            0u);
  EXPECT_STREQ(cls->getProperty("FullIdPathToTopModel")->getDescription(),
               "Get a underscore delimeted path to top model.");
  EXPECT_STREQ(cls->getProperty("FullyQualifiedName")->getDescription(), "");
  // The common UserData text, as compartments and species carry it.
  EXPECT_STREQ(cls->getProperty("UserData")->getDescription(),
               getCompartmentOBClass()->getProperty("UserData")->getDescription());
  EXPECT_STREQ(cls->getProperty("UserData")->getDescription(),
               "Property to specify data that you want to associate with\n   a Kestrion object. "
               "The object does not use this data directly,\n   but you can access it using the "
               "function get or dot notation.");
  const std::vector<std::string> methods = methodNamesOf(cls);
  std::vector<std::string> want{"display", "help", "copyobj", "copy", "privategetusages", "rename",
                                "privateisvalidunit"};
  if (!cls->getMethod("copyobj")) want.erase(want.begin() + 2);
  EXPECT_EQ(methods, want);
}

TEST_F(ParameterHostTest, CreationEntryReadsNameValueAndPairs) {
  TestHost& h = host();
  OBInterface* bare = h.construct("Kestrion.Parameter");
  EXPECT_EQ(text(bare, "Name"), "");
  EXPECT_EQ(number(bare, "Value"), 1.0);
  OBInterface* k = h.construct("Kestrion.Parameter", {h.str(" k "), h.num(3)});
  EXPECT_EQ(text(k, "Name"), "k");
  EXPECT_EQ(number(k, "Value"), 3.0);
  EXPECT_EQ(text(k, "Type"), "parameter");
  OBInterface* k2 = h.construct("Kestrion.Parameter",
                                {h.str("k2"), h.num(-4), h.str("ValueUnits"), h.str("1/second")});
  EXPECT_EQ(number(k2, "Value"), -4.0);
  EXPECT_EQ(text(k2, "ValueUnits"), "1/second");
  OBInterface* k3 = h.construct("Kestrion.Parameter", {h.str("k3"), h.str("ValueUnits"), h.str("mole")});
  EXPECT_EQ(number(k3, "Value"), 1.0);
  EXPECT_EQ(text(k3, "ValueUnits"), "mole");
  OBInterface* nan = h.construct("Kestrion.Parameter", {h.str("null"), h.num(kNaN)});
  EXPECT_TRUE(std::isnan(number(nan, "Value")));
  EXPECT_EQ(text(nan, "Name"), "null");  // parameters may be called null
}

TEST_F(ParameterHostTest, CreationEntryRefusalsLeaveNothingBehind) {
  using Case = ConstructRefusal;
  TestHost& h = host();
  const std::string pv = "An error occurred while configuring the PV pairs.\n";
  const Case cases[] = {
      {{h.num(1)}, "Kestrion:KSTRPARAMETER_INVALIDNAME", "Invalid syntax. NAME must be a string."},
      {{h.num(1), h.nums({1, 2})}, "Kestrion:KSTRPARAMETER_INVALIDNAME", ""},
      {{h.str("k"), h.nums({1, 2})}, "Kestrion:KSTRPARAMETER_INVALIDVALUE",
       "Invalid syntax. VALUE must be a 1-by-1 double."},
      {{h.str("k"), h.str("3")}, "Kestrion:KSTRPARAMETER_INVALIDVALUE", ""},
      {{h.str("  ")}, "Kestrion:KSTRPARAMETER_INVALIDNAME",
       "Invalid Name. Name cannot be 'time', an empty string or contain only whitespace."},
      {{h.str(" time ")}, "Kestrion:InvalidComponentName", ""},
      {{h.str("k]")}, "Kestrion:NameCannotContainBrackets", ""},
      {{h.str("k"), h.str("ValueUnits"), h.str("foo")}, "Kestrion:KSTR_INVALID_PVPAIR", ""},
      {{h.str("k"), h.num(1), h.str("Value")}, "Kestrion:KSTR_INVALID_PVPAIR",
       pv + "A property was passed in with no corresponding value."},
      {{h.str("k"), h.str("Parent"), h.num(1)}, "Kestrion:KSTR_INVALID_PVPAIR", ""},
  };
  expectConstructRefusals("Kestrion.Parameter", cases);
}

TEST_F(ParameterHostTest, PropertiesValidateMarkAndKeepOldValues) {
  OBInterface* model = newModel();
  OBInterface* k = newParameter(model, "k", 2);
  newParameter(model, "kb");
  auto* m = behind<Kelbor>(model);
  TestHost& h = host();
  for (double value : {kNaN, kInf, -kInf, -3.0, 0.0}) {
    m->setCompileNeeded(false);
    h.set(k, "Value", h.num(value));
    EXPECT_FALSE(m->getCompileNeeded());
  }
  EXPECT_EQ(number(k, "Value"), 0.0);
  h.set(k, "ConstantValue", h.logical(false));
  EXPECT_TRUE(m->getCompileNeeded());
  EXPECT_FALSE(*qxGetLogicals(h.get(k, "ConstantValue")));
  m->setCompileNeeded(false);
  h.set(k, "ValueUnits", h.str(" liter/(mole*second) "));
  EXPECT_TRUE(m->getCompileNeeded());
  EXPECT_EQ(text(k, "ValueUnits"), "liter/(mole*second)");
  expectHostError([&] { h.set(k, "ValueUnits", h.str("foo")); }, "Kestrion:KSUNIT_CANNOT_PARSE_UNITS");
  EXPECT_EQ(text(k, "ValueUnits"), "liter/(mole*second)");

  h.set(k, "Name", h.str(" k "));  // its own name again
  expectHostError([&] { h.set(k, "Name", h.str(" kb\t")); }, "Kestrion:PARAMETER_DUPLICATENAME",
                  "NAME is being used by another Kestrion parameter object. Specify a different NAME. "
                  "\nType 'help Kestrion.Model.addparameter' for more information.");
  expectHostError([&] { h.set(k, "Name", h.str("  ")); }, "Kestrion:KSTRPARAMETER_INVALIDNAME");
  expectHostError([&] { h.set(k, "Name", h.str("time")); }, "Kestrion:InvalidComponentName");
  EXPECT_EQ(text(k, "Name"), "k");
  h.set(k, "Name", h.str("kf"));
  EXPECT_TRUE(m->isComponentNameInUse("kf", kstr::parameter));
  EXPECT_FALSE(m->isComponentNameInUse("k", kstr::parameter));
  for (const char* readOnly : {"Type", "Parent", "ID", "FullyQualifiedName", "DisplayQualifiedName"}) {
    expectHostError([&] { h.set(k, readOnly, h.str("x")); }, "obk:PropertyAccessDenied");
  }
}

TEST_F(ParameterHostTest, HostFullyQualifiedNameThroughReactionsAndLaws) {
  OBInterface* model = newModel("m1");
  OBInterface* k = newParameter(model, "k");
  OBInterface* spaced = newParameter(model, "my k");
  EXPECT_EQ(text(k, "FullyQualifiedName"), "m1.k");
  EXPECT_EQ(text(spaced, "FullyQualifiedName"), "m1.[my k]");
  EXPECT_EQ(text(spaced, "DisplayQualifiedName"), "my k");
  EXPECT_EQ(host().getString(spaced, "PartiallyQualifiedName", true), "[my k]");

  OBInterface* r = newReaction(model, "R1");
  OBInterface* law = newKineticLaw(r, "MassAction");
  OBInterface* kf = host().construct("Kestrion.Parameter", {host().str("kf")});
  attachToKineticLaw(kf, law);
  EXPECT_EQ(text(kf, "FullyQualifiedName"), "m1.R1.kf");
  EXPECT_EQ(host().getString(kf, "PartiallyQualifiedName", true), "R1.kf");
  // A reaction without a name and outside any model stands as
  // "UnnamedReaction".
  OBInterface* loose = newReaction(nullptr, "");
  OBInterface* looseLaw = newKineticLaw(loose, "Other");
  OBInterface* kl = host().construct("Kestrion.Parameter", {host().str("kl")});
  attachToKineticLaw(kl, looseLaw);
  EXPECT_EQ(text(kl, "FullyQualifiedName"), "UnnamedReaction.kl");
  behind<BParameter>(k)->setID("p1");
  behind<Kelbor>(model)->setID("m9");
  EXPECT_EQ(text(k, "FullIdPathToTopModel"), "m9_p1");
}

TEST_F(ParameterHostTest, DeleteGuardOfMassActionLaws) {
  OBInterface* model = newModel();
  auto* m = behind<Kelbor>(model);
  OBInterface* r1 = newReaction(model, "R1");
  OBInterface* r2 = newReaction(model, "R2");
  OBInterface* massAction = newKineticLaw(r1, "MassAction");
  OBInterface* other = newKineticLaw(r2, "Henri-Michaelis-Menten");
  OBInterface* kf = host().construct("Kestrion.Parameter", {host().str("kf")});
  attachToKineticLaw(kf, massAction);
  OBInterface* km = host().construct("Kestrion.Parameter", {host().str("km")});
  attachToKineticLaw(km, other);
  OBInterface* k = newParameter(model, "k");

  EXPECT_FALSE(host().destroy(kf));
  ASSERT_EQ(warningIds(), std::vector<std::string>{"Kestrion:DELETE_PARAMETER_BEING_USED"});
  EXPECT_EQ(hbTestWarnings()[0].text,
            "Warning: OBJ was not deleted. OBJ is being used by a kinetic law object.");
  EXPECT_EQ(behind<NamedKineticLaw>(massAction)->getParameters()->size(), 1u);

  hbTestClearWarnings();
  EXPECT_TRUE(host().destroy(km));
  EXPECT_TRUE(behind<NamedKineticLaw>(other)->getParameters()->empty());
  EXPECT_EQ(static_cast<Vector*>(behind<NamedKineticLaw>(other)->getOBIParameters())->size(), 0);
  const KelborComponent* gone = componentOf(k);
  EXPECT_TRUE(host().destroy(k));
  EXPECT_EQ(m->getNumParameters(), 0u);
  EXPECT_EQ(m->getOBIParameters()->size(), 0);
  EXPECT_FALSE(m->getSymbolTable()->containsComponent(gone));
  EXPECT_TRUE(warningIds().empty());

  // The whole model goes, mass-action parameter included, without a word.
  EXPECT_TRUE(host().destroy(model));
  EXPECT_TRUE(warningIds().empty());
  EXPECT_TRUE(obkDestroyDiagnostics().empty());
}

TEST_F(ParameterHostTest, RemovalFromTheParentRunsOnce) {
  OBInterface* model = newModel();
  OBInterface* k = newParameter(model, "k");
  auto* m = behind<Kelbor>(model);
  removeParameterFromParent(k);
  EXPECT_EQ(m->getNumParameters(), 0u);
  EXPECT_EQ(k->getExternalReferenceCount(), 0);
  EXPECT_EQ(behind<BParameter>(k)->getOBIParent(), nullptr);
  removeParameterFromParent(k);  // nothing left to do
  EXPECT_EQ(m->getNumParameters(), 0u);
  removeParameterFromParent(nullptr);
}

TEST_F(ParameterHostTest, DisplaysTheParameterTable) {
  TestHost& h = host();
  OBInterface* a = h.construct("Kestrion.Parameter", {h.str("k1"), h.num(0.5), h.str("ValueUnits"), h.str("1/second")});
  OBInterface* b = h.construct("Kestrion.Parameter", {h.str("k2"), h.num(kNaN)});
  OBInterface* c = h.construct("Kestrion.Parameter", {h.str("k3"), h.num(-kInf)});
  const std::string longName(120, 'p');
  OBInterface* d = h.construct("Kestrion.Parameter", {h.str(longName.c_str()), h.num(kInf)});
  const auto gap = [](size_t n) { return std::string(n, ' '); };
  hbTestClearPrinted();
  h.call(a, "display");
  EXPECT_EQ(hbTestPrinted(), "\n   Kestrion Parameter Array\n\n"
                             "   Index:    Name:" + gap(4) + "Value:" + gap(4) + "ValueUnits:\n"
                             "   1" + gap(9) + "k1" + gap(7) + "0.5" + gap(7) + "1/second\n\n");
  hbTestClearPrinted();
  h.call("display", {h.handles({a, b, c, d})});
  const std::string cut = longName.substr(0, 97) + "...";
  EXPECT_EQ(hbTestPrinted(), "\n   Kestrion Parameter Array\n\n"
                             "   Index:    Name:" + gap(99) + "Value:" + gap(4) + "ValueUnits:\n"
                             "   1" + gap(9) + "k1" + gap(100) + "0.5" + gap(7) + "1/second\n"
                             "   2" + gap(9) + "k2" + gap(100) + "NaN" + gap(7) + "\n"
                             "   3" + gap(9) + "k3" + gap(100) + "-inf" + gap(6) + "\n"
                             "   4" + gap(9) + cut + gap(4) + "inf" + gap(7) + "\n\n");
}

TEST_F(ParameterHostTest, UnitTestAndCopyRefusal) {
  qxArray* answers = host().callStatic("Kestrion.Parameter", "privateisvalidunit",
                                       {host().cell({host().str("foo"), host().str(""),
                                                     host().str("liter/(mole*second)")})}).at(0);
  ASSERT_EQ(qxGetN(answers), 3u);
  EXPECT_FALSE(qxGetLogicals(answers)[0]);
  EXPECT_TRUE(qxGetLogicals(answers)[1]);
  EXPECT_TRUE(qxGetLogicals(answers)[2]);
  OBInterface* k = host().construct("Kestrion.Parameter", {host().str("k")});
  expectHostError([&] { host().call(k, "copy"); }, "Kestrion:KS_COPY_INVALID_METHOD");
}

}  // namespace
