// The methods of the host class "Reaction": addreactant / addproduct,
// rmreactant / rmproduct, addkineticlaw, copyobj, parserate,
// resolveobject, privategetusages, with every error of their checks.
#include <gtest/gtest.h>

#include <cmath>
#include <new>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/Vector.hpp>

#include "ReactionHostFixture.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BLibrary.hpp"
#include "quantities/BCompartment.hpp"
#include "support/TestThing.hpp"

namespace rtest {
namespace {

using Strings = std::vector<std::string>;
using Numbers = std::vector<double>;

TEST_F(ReactionHostTest, AddReactantsAndProductsByNameAndObject) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "A -> B");
  std::vector<qxArray*> out = host().call(r, "addreactant", {host().str("C")}, 1);
  EXPECT_EQ(namesOf(out.at(0)), Strings{"C"});
  EXPECT_EQ(equation(r), "A + C -> B");
  out = host().call(r, "addproduct",
                    {host().cell({host().str("D"), host().str("B")}), host().nums({1, 2})}, 1);
  EXPECT_EQ(namesOf(out.at(0)), (Strings{"D", "B"}));
  EXPECT_EQ(equation(r), "A + C -> 3 B + D");
  out = host().call(r, "addreactant", {host().handles({species(m, "D")}), host().num(0.5)}, 1);
  EXPECT_EQ(equation(r), "A + C + 0.5 D -> 3 B + D");
  // "null" alone adds nothing.
  out = host().call(r, "addproduct", {host().str("null")}, 1);
  EXPECT_EQ(qxGetNumberOfElements(out.at(0)), 0u);
  EXPECT_EQ(equation(r), "A + C + 0.5 D -> 3 B + D");
}

struct AddErrorCase {
  const char* label;
  std::vector<qxArray*> args;
  const char* id;
  const char* text;
};

TEST_F(ReactionHostTest, AddSpeciesErrorsChangeNothing) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "A -> B");
  OBInterface* compartment = kelbor(m)->getCompartmentInTreeAt(0)->getOBI();
  const char* secondArg =
      "Invalid syntax. The second argument must be a string, a cell array of strings, or a "
      "Kestrion species object array.";
  const char* stoich =
      "Invalid syntax. STOICH must be a positive double array with the same length as the "
      "species specified.";
  const std::vector<AddErrorCase> cases = {
      {"too many", {host().str("C"), host().num(1), host().num(2)},
       "Kestrion:ADDREACTANT_TOOMANYINPUTS", "Too many input arguments."},
      {"too few", {}, "Kestrion:ADDREACTANT_TOOFEWARGS",
       "Not enough input arguments. The species being added must be specified as a string, a "
       "cell array of strings or a Kestrion species object array."},
      {"number", {host().num(3)}, "Kestrion:ADDREACTANT_INVALIDSECONDARG", secondArg},
      {"cell of numbers", {host().cell({host().num(3)})}, "Kestrion:ADDREACTANT_INVALIDSECONDARG",
       secondArg},
      {"compartment handle", {host().handles({compartment})},
       "Kestrion:ADDREACTANT_INVALIDSECONDARG", secondArg},
      {"zero", {host().str("C"), host().num(0)}, "Kestrion:ADDREACTANT_INVALIDSTOICH", stoich},
      {"negative", {host().str("C"), host().num(-1)}, "Kestrion:ADDREACTANT_INVALIDSTOICH", stoich},
      {"infinite", {host().str("C"), host().num(HUGE_VAL)}, "Kestrion:ADDREACTANT_INVALIDSTOICH",
       stoich},
      {"NaN", {host().str("C"), host().num(std::nan(""))}, "Kestrion:ADDREACTANT_INVALIDSTOICH",
       stoich},
      {"text stoichiometry", {host().str("C"), host().str("1")},
       "Kestrion:ADDREACTANT_INVALIDSTOICH", stoich},
      {"length", {host().str("C"), host().nums({1, 2})}, "Kestrion:ADDREACTANT_SIZEMISMATCH",
       "The length of the species specified must equal the length of STOICH."},
      {"null and more", {host().cell({host().str("C"), host().str("null")})},
       "Kestrion:ReactionManipulator:NullSpeciesError", nullptr},
      {"reserved name", {host().str("time")}, "Kestrion:ReactionManipulator:InvalidSpeciesName",
       nullptr},
      {"bad name", {host().str("C +")}, "Kestrion:ReactionManipulator:SpeciesParseError",
       "Invalid species name C +."},
  };
  for (const AddErrorCase& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<qxArray*> args = {host().handle(r)};
    args.insert(args.end(), c.args.begin(), c.args.end());
    expectHostError(
        [&] {
          qxArray* outs[1] = {nullptr};
          obkCallMethod("addreactant", 1, outs, static_cast<int>(args.size()), args.data());
          qxDestroyArray(outs[0]);
        },
        c.id, c.text ? c.text : "");
    EXPECT_EQ(equation(r), "A -> B");
  }
  EXPECT_EQ(kelbor(m)->getNumSpeciesInTree(), 2u);
  // The product side uses its own identifiers.
  expectHostError([&] { host().call(r, "addproduct", {host().num(1)}, 1); },
                  "Kestrion:ADDPRODUCT_INVALIDSECONDARG", secondArg);
}

TEST_F(ReactionHostTest, SpeciesNeedTheReactionInAModel) {
  OBInterface* free = host().construct("Reaction");
  expectHostError([&] { host().call(free, "addreactant", {host().str("A")}, 1); },
                  "Kestrion:REACTION_NOT_IN_MODEL",
                  "The reaction must belong to a model before species can be added to it.");
  expectHostError([&] { host().call(free, "addproduct", {host().str("A"), host().num(0)}, 1); },
                  "Kestrion:ADDPRODUCT_INVALIDSTOICH");
  EXPECT_EQ(equation(free), "null -> null");
  // An equation is still accepted outside a model.
  host().set(free, "Reaction", host().str("A -> B"));
  EXPECT_EQ(equation(free), "A -> B");
  EXPECT_TRUE(host().destroy(free));
}

TEST_F(ReactionHostTest, SpeciesOfAnotherModelAreMatchedOrCopied) {
  OBInterface* m1 = model("m1");
  OBInterface* m2 = model("m2");
  call1(m1, "addcompartment", {host().str("cell")});
  addReaction(m1, "A + B -> C");
  OBInterface* r2 = addReaction(m2, "null -> null");
  EXPECT_EQ(kelbor(m2)->getNumCompartmentsInTree(), 0u);
  // A of m1 has no counterpart in m2: the compartment "cell" is made and
  // a copy of A placed in it.
  host().call(r2, "addproduct", {host().handles({species(m1, "A")})}, 1);
  OBInterface* copiedA = species(m2, "A");
  ASSERT_NE(copiedA, nullptr);
  EXPECT_NE(copiedA, species(m1, "A"));
  EXPECT_EQ(kelbor(m2)->getCompartmentInTreeAt(0)->getName(), "cell");
  // Given again, the same-named species of m2 is used.
  host().call(r2, "addproduct", {host().handles({species(m1, "A")})}, 1);
  EXPECT_EQ(equation(r2), "null -> 2 A");
  EXPECT_EQ(kelbor(m2)->getNumSpeciesInTree(), 1u);
}

// A list of names changes the equation once: the terms are added (a name
// given twice adds to its term) and the host hears of the new equation one
// time.
TEST_F(ReactionHostTest, AddSpeciesListChangesTheEquationOnce) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "A -> B");
  host().clearLogs();
  host().call(r, "addreactant",
              {host().cell({host().str("C"), host().str("D"), host().str("C"), host().str("A")}),
               host().nums({1, 2, 3, 0.5})},
              1);
  EXPECT_EQ(equation(r), "1.5 A + 4 C + 2 D -> B");
  size_t heard = 0;
  for (const OBEventRecord& e : host().postSetEvents()) heard += e.source == r && e.propName == "Reaction";
  EXPECT_EQ(heard, 1u);
}

// Terms added one name per call to a long equation, new species and known
// ones, between removals: the equation reads as the same edits made in one
// call give it, each call is heard once, and every added species is used
// and followed through renames like the terms that were there before.
TEST_F(ReactionHostTest, AddingOneTermAtATimeToALongEquation) {
  OBInterface* m = model();
  OBInterface* one = addReaction(m, "null -> P");
  OBInterface* all = addReaction(m, "null -> P");
  qxArray* batch = host().own(qxCreateCellMatrix(1, 40));
  for (int i = 0; i < 40; ++i) {
    const std::string name = "S" + std::to_string(i);
    qxSetCell(batch, static_cast<size_t>(i), qxCreateString(name.c_str()));
    host().clearLogs();
    host().call(one, "addreactant", {host().str(name.c_str())}, 1);
    size_t heard = 0;
    for (const OBEventRecord& e : host().postSetEvents()) heard += e.source == one && e.propName == "Reaction";
    EXPECT_EQ(heard, 1u) << name;
  }
  host().call(all, "addreactant", {batch}, 1);
  EXPECT_EQ(equation(one), equation(all));
  // Known species, one also a reactant already, and one with a
  // stoichiometry; then a removed reactant comes back at the end.
  for (OBInterface* r : {one, all}) {
    host().call(r, "addproduct", {host().str("S3")}, 1);
    host().call(r, "addproduct", {host().str("S7"), host().num(2)}, 1);
    host().call(r, "rmreactant", {host().str("S5")}, 1);
    host().call(r, "addreactant", {host().str("S5")}, 1);
  }
  std::string reactants;
  for (int i = 0; i < 40; ++i) {
    if (i != 5) reactants += "S" + std::to_string(i) + " + ";
  }
  EXPECT_EQ(equation(one), reactants + "S5 -> P + S3 + 2 S7");
  EXPECT_EQ(equation(all), equation(one));
  const auto inUse = [&](const char* name) {
    return dynamic_cast<BSpecies*>(componentOf(species(m, name)))->getInUseCount();
  };
  EXPECT_EQ(inUse("S39"), 2u);  // a reactant of both reactions
  EXPECT_EQ(inUse("S5"), 2u);
  host().call(species(m, "S39"), "rename", {host().str("T39")});
  host().call(species(m, "S7"), "rename", {host().str("T7")});
  std::string renamed = reactants + "S5 -> P + S3 + 2 T7";
  renamed.replace(renamed.find("S39"), 3, "T39");
  renamed.replace(renamed.find("S7 "), 2, "T7");
  EXPECT_EQ(equation(one), renamed);
  EXPECT_EQ(equation(all), renamed);
  host().call(one, "rmreactant", {host().str("T39")}, 1);
  EXPECT_EQ(inUse("T39"), 1u);
  host().call(one, "rmproduct", {host().str("T7")}, 1);
  EXPECT_EQ(inUse("T7"), 2u);  // still a reactant of both
  host().call(one, "rmreactant", {host().str("T7")}, 1);
  EXPECT_EQ(inUse("T7"), 1u);
}

// Removing terms from a long equation leaves the others as they were: the
// text is the composed one, the removed species is no longer listened to
// unless the other side or the rate still uses it, and the remaining terms
// still follow renames.
TEST_F(ReactionHostTest, RemovingFromALongEquationKeepsTheOtherTerms) {
  OBInterface* m = model();
  std::vector<qxArray*> names;
  std::string expected;
  for (int i = 0; i < 40; ++i) {
    names.push_back(host().str(("S" + std::to_string(i)).c_str()));
  }
  qxArray* cell = host().own(qxCreateCellMatrix(1, names.size()));
  for (size_t i = 0; i < names.size(); ++i) qxSetCell(cell, i, qxDuplicateArray(names[i]));
  OBInterface* r = addReaction(m, "null -> S0 + P");
  host().set(r, "ReactionRate", host().str("S1*S39"));
  host().call(r, "addreactant", {cell}, 1);
  for (const char* name : {"S20", "S0", "S39", "S1"}) host().call(r, "rmreactant", {host().str(name)}, 1);
  for (int i = 2; i < 39; ++i) {
    if (i == 20) continue;
    expected += (expected.empty() ? "" : " + ") + std::string("S") + std::to_string(i);
  }
  EXPECT_EQ(equation(r), expected + " -> S0 + P");
  const auto inUse = [&](const char* name) {
    return dynamic_cast<BSpecies*>(componentOf(species(m, name)))->getInUseCount();
  };
  EXPECT_EQ(inUse("S20"), 0u);
  EXPECT_EQ(inUse("S0"), 1u);   // still a product
  EXPECT_EQ(inUse("S39"), 1u);  // still in the rate
  EXPECT_EQ(inUse("S2"), 1u);
  host().call(species(m, "S20"), "rename", {host().str("T20")});
  host().call(species(m, "S21"), "rename", {host().str("T21")});
  host().call(species(m, "S0"), "rename", {host().str("T0")});
  expected.replace(expected.find("S21"), 3, "T21");
  EXPECT_EQ(equation(r), expected + " -> T0 + P");
  host().call(r, "rmproduct", {host().str("P")}, 1);
  EXPECT_EQ(equation(r), expected + " -> T0");
  host().call(r, "rmproduct", {host().str("T0")}, 1);
  EXPECT_EQ(equation(r), expected + " -> null");
  EXPECT_EQ(inUse("T0"), 0u);
}

TEST_F(ReactionHostTest, RemoveSpeciesWarnsForSpeciesNotOnTheSide) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "A + B -> C + D");
  host().clearLogs();
  std::vector<qxArray*> out =
      host().call(r, "rmreactant", {host().cell({host().str("A"), host().str("X")})}, 1);
  EXPECT_EQ(objectOf(out.at(0)), r);
  EXPECT_EQ(equation(r), "B -> C + D");
  ASSERT_EQ(host().warnings().size(), 1u);
  EXPECT_EQ(host().warnings()[0].id, "Kestrion:RMREACTANT_INVALIDSPECIES");
  EXPECT_EQ(host().warnings()[0].text, "Warning: Species X is not a reactant in the reaction.");

  host().clearLogs();
  host().call(r, "rmproduct", {host().handles({species(m, "D"), species(m, "B")})}, 1);
  EXPECT_EQ(equation(r), "B -> C");
  ASSERT_EQ(host().warnings().size(), 1u);
  EXPECT_EQ(host().warnings()[0].text, "Warning: Species B is not a product of the reaction.");

  host().clearLogs();
  host().call(r, "rmproduct", {host().str("C")}, 1);
  host().call(r, "rmproduct", {host().str(" null ")}, 1);  // the side is empty now
  EXPECT_TRUE(host().warnings().empty());
  host().call(r, "rmreactant", {host().str("null")}, 1);
  EXPECT_EQ(warningIds(), Strings{"Kestrion:RMREACTANT_INVALIDSPECIES"});
  EXPECT_EQ(equation(r), "B -> null");

  expectHostError([&] { host().call(r, "rmproduct", {}, 1); }, "Kestrion:RMPRODUCT_TOOFEWARGS",
                  "Not enough input arguments. The species being removed must be specified as a "
                  "string, a cell array of strings or a Kestrion species object array.");
  expectHostError([&] { host().call(r, "rmreactant", {host().num(2)}, 1); },
                  "Kestrion:RMREACTANT_INVALIDSECONDARG",
                  "Invalid syntax. The second argument must be a string, a cell array of "
                  "strings, or a Kestrion species object array.");
}

// "rmreactant" and "rmproduct" read a name as "addreactant" does: a
// bracketed and a plain name are one name, and in a model with one
// compartment its qualifier may be given or left out.
struct RemoveNameCase {
  const char* method;
  const char* name;
  const char* equation;  // after the removal
  bool warns;
};

TEST_F(ReactionHostTest, RemoveSpeciesReadsNamesAsAddSpeciesDoes) {
  const std::vector<RemoveNameCase> cases = {
      {"rmreactant", "Complex X", "A -> B", false},
      {"rmreactant", "[Complex X]", "A -> B", false},
      {"rmreactant", "unnamed.[Complex X]", "A -> B", false},
      {"rmreactant", "unnamed.A", "[Complex X] -> B", false},
      {"rmreactant", "  A ", "[Complex X] -> B", false},
      {"rmproduct", "unnamed.B", "A + [Complex X] -> null", false},
      {"rmreactant", "other.A", "A + [Complex X] -> B", true},
      {"rmreactant", "B", "A + [Complex X] -> B", true},
      {"rmreactant", "A +", "A + [Complex X] -> B", true},
  };
  for (const RemoveNameCase& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " '" + c.name + "'");
    OBInterface* m = model();
    OBInterface* r = addReaction(m, "A + [Complex X] -> B");
    host().clearLogs();
    host().call(r, c.method, {host().str(c.name)}, 1);
    EXPECT_EQ(equation(r), c.equation);
    EXPECT_EQ(warningIds().size(), c.warns ? 1u : 0u);
    host().call(getOBIRoot(), "reset");
  }
}

TEST_F(ReactionHostTest, RemoveByQualifiedNameInSeveralCompartments) {
  OBInterface* m = model();
  call1(m, "addcompartment", {host().str("c1")});
  call1(m, "addcompartment", {host().str("c2")});
  OBInterface* r = addReaction(m, "c1.A + c2.A -> null");
  host().clearLogs();
  host().call(r, "rmreactant", {host().str("A")}, 1);
  EXPECT_EQ(warningIds(), Strings{"Kestrion:RMREACTANT_INVALIDSPECIES"});
  host().call(r, "rmreactant", {host().str("c1.A")}, 1);
  EXPECT_EQ(equation(r), "c2.A -> null");
}

TEST_F(ReactionHostTest, AddKineticLawChecksTheReactionFirst) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "A -> B");
  expectHostError([&] { host().call(r, "addkineticlaw", {}, 1); },
                  "Kestrion:ADDKINETICLAW_TOOFEWARGS",
                  "Not enough input arguments. TYPE must be specified.");
  expectHostError([&] { host().call(r, "addkineticlaw", {host().num(1)}, 1); },
                  "Kestrion:ADDKINETICLAW_INVALIDTYPE", "Invalid syntax. TYPE must be a string.");
  // A reaction that has a law refuses another before TYPE is looked at.
  BKineticLaw law;
  reaction(r)->setKineticLaw(&law);
  expectHostError([&] { host().call(r, "addkineticlaw", {host().num(1)}, 1); },
                  "Kestrion:KineticLawAlreadyExists",
                  "This reaction component already has a kinetic law.  Before adding a new one\n"
                  " the old one must be deleted, or alternatively you can change the existing \n"
                  " kinetic law object's KineticLawName field to the type trying to be added.");
  reaction(r)->setKineticLaw(nullptr);
}

TEST_F(ReactionHostTest, CopyIntoAnotherModel) {
  OBInterface* m1 = model("m1");
  call1(m1, "addcompartment", {host().str("cell")});
  OBInterface* r = call1(m1, "addreaction", {host().str("2 A <-> B"), host().str("Name"),
                                             host().str("r1"), host().str("ReactionRate"),
                                             host().str("A - B")});
  OBInterface* m2 = model("m2");
  OBInterface* copy = call1(r, "copyobj", {host().handle(m2)});
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, r);
  EXPECT_EQ(objectOf(host().get(copy, "Parent")), m2);
  EXPECT_EQ(host().getString(copy, "Name"), "r1");
  EXPECT_EQ(equation(copy), "2 A <-> B");
  EXPECT_EQ(rate(copy), "A - B");
  EXPECT_EQ(pqnsOf(host().get(copy, "Reactants")), Strings{"A"});
  EXPECT_EQ(componentOf(species(m2, "A"))->getParent()->getName(), "cell");
  EXPECT_NE(species(m2, "A"), species(m1, "A"));
  EXPECT_TRUE(reaction(copy)->getReactionRateExpression()->doAllTokensResolve());
  // The model now has a reaction of that name.
  expectHostError([&] { call1(r, "copyobj", {host().handle(m2)}); }, "Kestrion:COPYOBJ_INVALIDARG",
                  "The Kestrion object cannot be copied. An object with the same Type and Name "
                  "already exists.");
  expectHostError([&] { host().call(r, "copy", {}, 0); }, "Kestrion:KS_COPY_INVALID_METHOD",
                  "Invalid method. Use the copyobj method instead.");
}

TEST_F(ReactionHostTest, ParseRateResolveObjectAndUsages) {
  OBInterface* m = model();
  OBInterface* k = call1(m, "addparameter", {host().str("k")});
  OBInterface* r = addReaction(m, "A -> B");
  EXPECT_TRUE(qxIsEmpty(host().call(r, "parserate", {}, 1).at(0)));
  host().set(r, "ReactionRate", host().str("k*B + exp(A) + k"));
  EXPECT_EQ(textsOf(host().call(r, "parserate", {}, 1).at(0)), (Strings{"A", "B", "k"}));
  EXPECT_EQ(textsOf(host().call(r, "parserate",
                                {host().cell({host().str("k"), host().str("A")}),
                                 host().logical(true)},
                                1)
                        .at(0)),
            (Strings{"k", "A"}));
  EXPECT_EQ(textsOf(host().call(r, "parserate",
                                {host().cell({host().str("k")}), host().logical(false)}, 1)
                        .at(0)),
            (Strings{"k", "k"}));

  EXPECT_EQ(call1(r, "resolveobject", {host().str("k")}), k);
  EXPECT_EQ(call1(r, "resolveobject", {host().str("nothing")}), nullptr);
  EXPECT_EQ(handlesOf(host().call(r, "resolveobject", {host().str("A"), host().logical(true)}, 1)
                          .at(0)),
            std::vector<OBInterface*>{species(m, "A")});

  auto usages = [&](OBInterface* component) {
    qxArray* out = host().call(r, "privategetusages", {host().handle(component)}, 1).at(0);
    return textsOf(out);
  };
  EXPECT_EQ(usages(species(m, "A")), (Strings{"Reaction", "ReactionRate"}));
  EXPECT_EQ(usages(k), Strings{"ReactionRate"});
  EXPECT_EQ(usages(m), Strings{});
}


TEST_F(ReactionHostTest, AddKineticLawOfAnUnknownName) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "A -> B");
  // No library holds a law of that name: no object is made.
  expectHostError([&] { host().call(r, "addkineticlaw", {host().str("NoSuchLaw")}, 1); },
                  "Kestrion:ADDKINETICLAW_INVALIDTYPEENUM",
                  "The kinetic law named 'NoSuchLaw' does not exist in the user-defined library. Use "
                  "KSTRADDTOLIBRARY to add to the library before using it.");
  EXPECT_EQ(reaction(r)->getKineticLaw(), nullptr);
}

TEST_F(ReactionHostTest, RateSetOnANamedLawTurnsItIntoAnUnknownLaw) {
  OBInterface* m = model();
  call1(m, "addparameter", {host().str("k")});
  OBInterface* r = addReaction(m, "A -> B");
  OBInterface* named = call1(r, "addkineticlaw", {host().str("MassAction")});
  host().set(named, "Name", host().str("kl"));
  host().set(named, "Notes", host().str("kept"));
  host().set(named, "UserData", host().num(7));
  EXPECT_EQ(objectOf(host().get(r, "KineticLaw")), named);
  EXPECT_EQ(reaction(r)->getKineticLawType(), kstr::massactionkineticlaw);
  EXPECT_EQ(named->getUp(), r);

  host().set(r, "ReactionRate", host().str("k*A"));
  EXPECT_EQ(rate(r), "k*A");
  // The same host object, now an "Unknown" law with the old law's state.
  EXPECT_EQ(objectOf(host().get(r, "KineticLaw")), named);
  auto* fresh = dynamic_cast<BKineticLaw*>(componentOf(named));
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(reaction(r)->getKineticLaw(), fresh);
  EXPECT_EQ(fresh->getAbstractName(), "Unknown");
  EXPECT_EQ(fresh->getName(), "kl");
  EXPECT_STREQ(fresh->getNotes(), "kept");
  EXPECT_EQ(qxGetScalar(fresh->getUserData()), 7.0);
  EXPECT_EQ(reaction(r)->getKineticLawType(), kstr::otherkineticlaw);
  // With an "Unknown" law only the rate changes.
  host().set(r, "ReactionRate", host().str("2*k*A"));
  EXPECT_EQ(componentOf(named), fresh);
  EXPECT_EQ(rate(r), "2*k*A");
}

TEST_F(ReactionHostTest, EngineSetsOfProductsSkipWhatIsNoSpecies) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "A -> B");
  OBInterface* compartment = kelbor(m)->getCompartmentInTreeAt(0)->getOBI();
  host().set(r, "Products", host().handles({compartment, species(m, "A")}), true);
  EXPECT_EQ(equation(r), "A -> B + A");
  host().set(r, "Reactants", host().handles({species(m, "B")}), true);
  EXPECT_EQ(equation(r), "A + B -> B + A");
  expectHostError([&] { host().set(r, "KineticLaw", host().handle(compartment), true); },
                  "Kestrion:InvalidPropertyValue");
}


// Reading a text property when host memory runs out raises instead of giving
// no value (which a copy would take for an unset property), whichever of its
// allocations fails; the value reads back unchanged once memory is there
// again.
TEST_F(ReactionHostTest, TextPropertiesRaiseWhenHostMemoryRunsOut) {
  OBInterface* m = model();
  OBInterface* parameter = call1(m, "addparameter", {host().str("k")});
  OBInterface* r = addReaction(m, "A -> B");
  host().set(r, "ReactionRate", host().str("A"));
  OBInterface* massAction = addReaction(m, "B -> C");
  OBInterface* law = call1(massAction, "addkineticlaw", {host().str("MassAction")});
  host().set(law, "ParameterVariableNames", host().cell({host().str("k")}));
  OBInterface* event = call1(m, "addevent", {host().str("A > 1"), host().str("A = 0")});
  OBInterface* rule = call1(m, "addrule", {host().str("x = 2*A")});
  OBInterface* configset = call1(m, "getconfigset", {});
  OBInterface* solver = objectOf(host().get(configset, "SolverOptions"));
  struct Row {
    const char* label;
    OBInterface* object;
    const char* property;
  };
  const Row rows[] = {
      {"equation", r, "Reaction"},
      {"rate", r, "ReactionRate"},
      {"mass-action rate", massAction, "ReactionRate"},
      {"reaction name", r, "FullyQualifiedName"},
      {"species name", species(m, "A"), "FullyQualifiedName"},
      {"parameter name", parameter, "FullyQualifiedName"},
      {"trigger", event, "Trigger"},
      {"rule", rule, "Rule"},
      {"option text", solver, "Type"},
      {"configset units", configset, "TimeUnits"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ASSERT_NE(row.object, nullptr);
    hbTestFailAllocationAt(0);
    const std::string before = host().getString(row.object, row.property);
    EXPECT_FALSE(before.empty());
    // Every allocation the read makes fails in turn.
    const size_t attempts = hbTestAllocationAttempts();
    ASSERT_GT(attempts, 0u);
    for (size_t k = 1; k <= attempts; ++k) {
      SCOPED_TRACE(k);
      hbTestFailAllocationAt(k);
      expectHostError([&] { host().get(row.object, row.property); }, "Kestrion:MallocError");
    }
    hbTestFailAllocationAt(0);
    EXPECT_EQ(host().getString(row.object, row.property), before);
  }
}

// Writing a text property when host memory runs out raises, whichever of
// its allocations fails, and keeps the old text instead of leaving none.
TEST_F(ReactionHostTest, TextPropertyWritesRaiseWhenHostMemoryRunsOut) {
  OBInterface* m = model();
  addReaction(m, "A -> B");
  OBInterface* a = species(m, "A");
  host().set(a, "Notes", host().str("old notes"));
  host().set(a, "Tag", host().str("old tag"));
  host().set(a, "ChargeUnits", host().str("coulomb"));
  OBInterface* law = host().construct("AbstractKineticLaw", {host().str("WriteLaw"), host().str("k*S")});
  struct Row {
    OBInterface* object;
    const char* property;
    const char* before;
  };
  const Row rows[] = {
      {a, "Notes", "old notes"},
      {a, "Tag", "old tag"},
      {a, "ChargeUnits", "coulomb"},
      {law, "Expression", "k*S"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.property);
    ASSERT_EQ(host().getString(row.object, row.property), row.before);
    hbTestFailAllocationAt(0);
    host().set(row.object, row.property, host().str(row.before));
    const size_t attempts = hbTestAllocationAttempts();
    ASSERT_GT(attempts, 0u);
    // The host's own copy of the value fails as the host's error; every
    // allocation of the engine fails as the catalog's.
    size_t engineRefusals = 0;
    for (size_t k = 1; k <= attempts; ++k) {
      SCOPED_TRACE(k);
      qxArray* value = host().str("new text");
      hbTestFailAllocationAt(k);
      auto error = TestHost::errorOf([&] { host().set(row.object, row.property, value); });
      hbTestFailAllocationAt(0);
      ASSERT_TRUE(error.has_value());
      EXPECT_TRUE(error->id == "Kestrion:MallocError" || error->id == "obk:OutOfMemory") << error->id;
      if (error->id == "Kestrion:MallocError") ++engineRefusals;
      EXPECT_EQ(host().getString(row.object, row.property), row.before);
    }
    EXPECT_GT(engineRefusals, 0u);
  }
  host().destroy(law);
}

TEST_F(ReactionHostTest, CopiedModelsReactionsUseTheCopysSpecies) {
  OBInterface* m = model("m1");
  call1(m, "addparameter", {host().str("k")});
  addReaction(m, "2 A -> B");
  OBInterface* r2 = addReaction(m, "B <-> C");
  host().set(r2, "ReactionRate", host().str("k*B"));
  OBInterface* copy = call1(m, "copyobj", {});
  ASSERT_NE(copy, nullptr);
  Kelbor* copied = kelbor(copy);
  ASSERT_EQ(copied->getNumReactions(), 2u);
  EXPECT_EQ(copied->getNumSpeciesInTree(), 3u);
  const BReaction* c2 = copied->getReactionAt(1);
  EXPECT_EQ(c2->getReactionString(), "B <-> C");
  EXPECT_EQ(copied->getReactionAt(0)->getReactionString(), "2 A -> B");
  EXPECT_EQ(c2->getReactantAt(0)->getOBI(), species(copy, "B"));
  EXPECT_NE(species(copy, "B"), species(m, "B"));
  EXPECT_EQ(c2->getReactionRateExpression()->getResolvedComponent("B"),
            componentOf(species(copy, "B")));
  EXPECT_EQ(qxGetScalar(host().get(species(m, "B"), "InUseCount")), 2.0);
  EXPECT_EQ(qxGetScalar(host().get(species(copy, "B"), "InUseCount")), 2.0);
}

}  // namespace
}  // namespace rtest
