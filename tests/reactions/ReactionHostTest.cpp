// The host class "Reaction" driven as a user would: "addreaction" with
// every form of the equation grammar, the reaction's properties, display,
// creation and destruction, and the propagation of model changes.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/Vector.hpp>
#include <obk/obk.hpp>

#include "ReactionHostFixture.hpp"
#include "support/ClassTable.hpp"
#include "expressions/ReactionExpression.hpp"
#include "kinetics/BKineticLaw.hpp"

namespace rtest {
namespace {

using Strings = std::vector<std::string>;
using Numbers = std::vector<double>;

// The class definition as the user sees it: the nineteen properties in
// order with their host types, who may set them and their help texts, and
// the thirteen methods in order with their signatures.
TEST_F(ReactionHostTest, ClassTableAsTheUserSeesIt) {
  OBClass* cls = obkRequireClass("Reaction");
  EXPECT_STREQ(cls->getFullName(), "Kestrion.Reaction");
  expectPropertyTable(cls, {
      {"Active", "bool", true},           {"Annotation", "string", true},
      {"AnnotationFull", "string", false}, {"FastThreshold", "double", true},
      {"FullyQualifiedName", "string", false}, {"ID", "string", false},
      {"Name", "string", true},           {"Notes", "string", true},
      {"Parent", "handle", false},        {"Products", "handle vector", false},
      {"Reactants", "handle vector", false}, {"Reaction", "string", true},
      {"ReactionRate", "string", true},   {"Reversible", "bool", true},
      {"Stoichiometry", "NReals", true},  {"KineticLaw", "handle", false},
      {"Tag", "string", true},            {"Type", "string", false},
      {"UserData", "PELLAM array", true}});
  for (const char* holdsHandles : {"KineticLaw", "Products", "Reactants"}) {
    SCOPED_TRACE(holdsHandles);
    EXPECT_FALSE(cls->getProperty(holdsHandles)->canContainOBInterfaces());
  }
  struct HelpRow {
    const char* property;
    const char* text;
    bool whole;  // the whole text, else its beginning
  };
  const HelpRow help[] = {
      {"Active", "Active indicates if a component is used during simulation.", true},
      {"FastThreshold",
       "Indicate if the reaction is 'fast' compared to other reaction in the kstrmodel.", true},
      {"Products",
       "Products is a 1-by-n species object array that indicates the\n   species that are changed "
       "by the reaction.",
       false},
      {"Reactants", "Reactants is a 1-by-n species object array with species in the\n   reaction.",
       false},
      {"Reaction", "Property to indicate the reaction represented in the reaction\n   object.", false},
      {"ReactionRate", "Property to define the reaction rate equation.", false},
      {"Reversible", "Property to define whether a reaction is reversible or irreversible.", false},
      {"Stoichiometry", "Property to specify the species coefficients in a reaction.", false},
      {"KineticLaw",
       "KineticLaw defines the kinetics used to determine the reaction\n   rate that is specified "
       "in the ReactionRate property of the reaction\n   object.",
       false},
      {"AnnotationFull", "Full annotation with tags", true}};
  for (const HelpRow& row : help) {
    SCOPED_TRACE(row.property);
    const std::string text = cls->getProperty(row.property)->getDescription();
    if (row.whole) {
      EXPECT_EQ(text, row.text);
    } else {
      EXPECT_EQ(text.rfind(row.text, 0), 0u) << text;
    }
  }
  EXPECT_NE(std::string(cls->getProperty("Reaction")->getDescription())
                .find("glucose + 2 ADP + 2 Pi -> 2 lactic acid + 2 ATP + 2 H2O"),
            std::string::npos);
  EXPECT_NE(std::string(cls->getProperty("Stoichiometry")->getDescription())
                .find("A -> null has a stoichiometry value of [-1]"),
            std::string::npos);

  using Signatures = std::vector<std::string>;
  const std::pair<const char*, Signatures> methods[] = {
      {"addkineticlaw", {"(handle, PELLAM array...) -> handle"}},
      {"addproduct", {"(handle, PELLAM array...) -> handle vector"}},
      {"addreactant", {"(handle, PELLAM array...) -> handle vector"}},
      {"copyobj", {"(handle, handle) -> handle", "(handle) -> handle"}},
      {"copy", {"(handle)"}},
      {"display", {"(handle)", "(handle vector)"}},
      {"help", {"(handle, string)"}},
      {"parserate", {"(handle) -> PELLAM array", "(handle, PELLAM array, bool) -> PELLAM array"}},
      {"rmproduct", {"(handle, PELLAM array) -> handle", "(handle) -> handle"}},
      {"rmreactant", {"(handle, PELLAM array) -> handle", "(handle) -> handle"}},
      {"resolveobject", {"(handle, string) -> handle", "(handle, string, bool) -> handle vector"}},
      {"privategetusages", {"(handle, handle) -> string vector"}},
      {"verifyrate", {"(handle, bool)"}}};
  const auto& methodInfos = cls->getMethods();
  ASSERT_EQ(methodInfos.size(), std::size(methods));
  for (size_t i = 0; i < methodInfos.size(); ++i) {
    SCOPED_TRACE(methods[i].first);
    EXPECT_STREQ(methodInfos[i]->getName(), methods[i].first);
    Signatures signatures;
    for (const OBMethodSignature* sig : methodInfos[i]->getMethodSignatures()) {
      signatures.push_back(sig->toString());
    }
    EXPECT_EQ(signatures, methods[i].second);
  }
  ASSERT_EQ(cls->getConstructorSignatures().size(), 1u);
  EXPECT_EQ(cls->getConstructorSignatures()[0]->toString(), "(PELLAM array...)");
}

TEST_F(ReactionHostTest, MissingSpeciesAreCreatedInTheRightCompartment) {
  OBInterface* m = model();
  // No compartment yet: the model makes "unnamed".
  OBInterface* r1 = addReaction(m, "A + 2 B -> C");
  EXPECT_EQ(equation(r1), "A + 2 B -> C");
  EXPECT_EQ(namesOf(host().get(r1, "Reactants")), (Strings{"A", "B"}));
  EXPECT_EQ(namesOf(host().get(r1, "Products")), (Strings{"C"}));
  EXPECT_EQ(numbersOf(host().get(r1, "Stoichiometry")), (Numbers{-1, -2, 1}));
  ASSERT_EQ(kelbor(m)->getNumCompartmentsInTree(), 1u);
  EXPECT_NE(species(m, "A"), nullptr);
  EXPECT_EQ(kelbor(m)->getCompartmentInTreeAt(0)->getName(), "unnamed");

  // One compartment: unqualified names find or join it.
  OBInterface* r2 = addReaction(m, "C <-> [Complex X]");
  EXPECT_EQ(equation(r2), "C <-> [Complex X]");
  EXPECT_TRUE(host().get(r2, "Reversible") && qxGetLogicals(host().get(r2, "Reversible"))[0]);
  EXPECT_EQ(kelbor(m)->getNumSpeciesInTree(), 4u);

  // A qualifier naming a new compartment creates it; from then on the
  // model has two compartments and every equation is qualified.
  OBInterface* r3 = addReaction(m, "unnamed.C -> 3 nucleus.[Complex X]");
  EXPECT_EQ(equation(r3), "unnamed.C -> 3 nucleus.[Complex X]");
  EXPECT_EQ(equation(r1), "unnamed.A + 2 unnamed.B -> unnamed.C");
  EXPECT_EQ(equation(r2), "unnamed.C <-> unnamed.[Complex X]");
  EXPECT_NE(species(m, "nucleus.[Complex X]"), nullptr);
  EXPECT_EQ(kelbor(m)->getNumSpeciesInTree(), 5u);
  expectHostError([&] { addReaction(m, "A -> nucleus.D"); },
                  "Kestrion:ReactionManipulator:EmptyCompartmentName");
  EXPECT_EQ(kelbor(m)->getNumReactions(), 3u);
}

// A qualifier that names a compartment the model lacks makes it.  When the
// model then holds two or more compartments a species name without
// qualifier has no compartment to join, so the change is refused before
// anything is made, on every path that takes species names.
struct UnqualifiedCase {
  const char* label;
  bool oneCompartment;  // the model holds "cell" (else no compartment)
  std::function<void(ReactionHostTest&, OBInterface* m, OBInterface* r)> change;
};

TEST_F(ReactionHostTest, NameWithoutQualifierIsRefusedWhenQualifiersMakeTheSecondCompartment) {
  using T = ReactionHostTest;
  auto addreaction = [](T& t, OBInterface* m, std::initializer_list<qxArray*> args) {
    std::vector<qxArray*> all = {t.host().handle(m)};
    all.insert(all.end(), args.begin(), args.end());
    qxArray* outs[1] = {nullptr};
    obkCallMethod("addreaction", 1, outs, static_cast<int>(all.size()), all.data());
    qxDestroyArray(outs[0]);
  };
  const std::vector<UnqualifiedCase> cases = {
      {"equation", true,
       [&](T& t, OBInterface* m, OBInterface*) { addreaction(t, m, {t.host().str("x.C -> N")}); }},
      {"equation, unqualified first", true,
       [&](T& t, OBInterface* m, OBInterface*) { addreaction(t, m, {t.host().str("N -> x.C")}); }},
      {"Reaction property", true,
       [](T& t, OBInterface*, OBInterface* r) {
         t.host().set(r, "Reaction", t.host().str("x.C -> N"));
       }},
      {"lists", true,
       [&](T& t, OBInterface* m, OBInterface*) {
         addreaction(t, m, {t.host().cell({t.host().str("x.C")}), t.host().str("N")});
       }},
      {"lists with stoichiometry", true,
       [&](T& t, OBInterface* m, OBInterface*) {
         addreaction(t, m, {t.host().str("N"), t.host().num(1), t.host().str("x.C"),
                            t.host().num(2)});
       }},
      {"addreactant", true,
       [](T& t, OBInterface*, OBInterface* r) {
         t.host().call(r, "addreactant", {t.host().cell({t.host().str("x.C"), t.host().str("N")})},
                       1);
       }},
      {"addproduct", true,
       [](T& t, OBInterface*, OBInterface* r) {
         t.host().call(r, "addproduct", {t.host().cell({t.host().str("N"), t.host().str("x.C")})},
                       1);
       }},
      {"two qualifiers in an empty model", false,
       [&](T& t, OBInterface* m, OBInterface*) {
         addreaction(t, m, {t.host().str("c1.A -> c2.B + C")});
       }},
      {"addreactant, two qualifiers in an empty model", false,
       [](T& t, OBInterface*, OBInterface* r) {
         t.host().call(r, "addreactant",
                       {t.host().cell({t.host().str("C"), t.host().str("c1.A"), t.host().str("c2.B")})},
                       1);
       }},
      {"species object of another model's compartment", true,
       [&](T& t, OBInterface* m, OBInterface*) {
         OBInterface* other = t.host().construct("Model", {t.host().str("other")});
         OBInterface* x = t.one(other, "addcompartment", {t.host().str("x")});
         OBInterface* c = t.one(x, "addspecies", {t.host().str("C")});
         addreaction(t, m, {t.host().handles({c}), t.host().str("N")});
       }},
  };
  for (const UnqualifiedCase& c : cases) {
    SCOPED_TRACE(c.label);
    OBInterface* m = model("m");
    if (c.oneCompartment) call1(m, "addcompartment", {host().str("cell")});
    OBInterface* r = addReaction(m, "null -> null");
    const uint64_t compartments = kelbor(m)->getNumCompartmentsInTree();
    expectHostError([&] { c.change(*this, m, r); },
                    "Kestrion:ReactionManipulator:EmptyCompartmentName",
                    "The model contains more than one compartment. In this situation all species "
                    "must be defined as COMPARTMENT_NAME.SPECIES_NAME.");
    EXPECT_EQ(kelbor(m)->getNumCompartmentsInTree(), compartments);
    EXPECT_EQ(kelbor(m)->getNumSpeciesInTree(), 0u);
    EXPECT_EQ(kelbor(m)->getNumReactions(), 1u);
    EXPECT_EQ(equation(r), "null -> null");
    host().call(getOBIRoot(), "reset");
  }
}

// When the qualifiers make the model's only compartment, every name joins
// it, whatever the order of the terms; every term is bound to its species.
struct OneCompartmentCase {
  const char* label;
  const char* reactants;  // the addreactant names, ";"-separated, or an equation
  bool equation;
  Strings pqns;            // the reaction's species, reactants then products
};

TEST_F(ReactionHostTest, QualifierMakingTheOnlyCompartmentTakesEveryName) {
  const std::vector<OneCompartmentCase> cases = {
      {"equation", "A + c1.B -> C", true, {"A", "B", "C"}},
      {"equation, qualifier last", "A -> C + c1.B", true, {"A", "C", "B"}},
      {"addreactant", "A;c1.B", false, {"A", "B"}},
  };
  for (const OneCompartmentCase& c : cases) {
    SCOPED_TRACE(c.label);
    OBInterface* m = model("m");
    OBInterface* r = addReaction(m, c.equation ? c.reactants : "null -> null");
    if (!c.equation) {
      std::vector<qxArray*> names;
      std::string list = c.reactants;
      for (size_t at = 0; at != std::string::npos;) {
        const size_t end = list.find(';', at);
        names.push_back(host().str(list.substr(at, end - at).c_str()));
        at = end == std::string::npos ? end : end + 1;
      }
      host().call(r, "addreactant", {host().cell({names[0], names[1]})}, 1);
    }
    ASSERT_EQ(kelbor(m)->getNumCompartmentsInTree(), 1u);
    EXPECT_EQ(kelbor(m)->getCompartmentInTreeAt(0)->getName(), "c1");
    Strings species = pqnsOf(host().get(r, "Reactants"));
    for (const std::string& p : pqnsOf(host().get(r, "Products"))) species.push_back(p);
    EXPECT_EQ(species, c.pqns);
    EXPECT_TRUE(reaction(r)->getEquation().doAllTokensResolve()) << equation(r);
    host().call(getOBIRoot(), "reset");
  }
}

// "2.5.3 A" is no stoichiometry followed by a species: the second "." makes
// the token a name, so the equation names the species "2.5.3 A", which
// "addreaction" creates with stoichiometry 1.
TEST_F(ReactionHostTest, NumberWithTwoDotsStartsASpeciesName) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "2.5.3 A -> B");
  EXPECT_EQ(equation(r), "[2.5.3 A] -> B");
  EXPECT_EQ(namesOf(host().get(r, "Reactants")), (Strings{"2.5.3 A"}));
  EXPECT_EQ(numbersOf(host().get(r, "Stoichiometry")), (Numbers{-1, 1}));
  EXPECT_NE(species(m, "[2.5.3 A]"), nullptr);
  EXPECT_EQ(kelbor(m)->getNumSpeciesInTree(), 2u);
}

// A species name that begins with a digit or a sign is most likely a
// stoichiometry typed against the name or a negative one: the species is
// made as named, with a warning; a species that exists already is not.
struct NumberLikeNameCase {
  const char* equation;
  Strings warned;  // the names the warnings give
};

TEST_F(ReactionHostTest, SpeciesMadeWithANumberLikeNameWarn) {
  const std::vector<NumberLikeNameCase> cases = {
      {"-2 A -> B", {"-2 A"}},
      {"2A -> B", {"2A"}},
      {"+1 X -> 3Y + Z", {"+1 X", "3Y"}},
      {"2 A -> B", {}},
      {"A2 -> B", {}},
  };
  for (const NumberLikeNameCase& c : cases) {
    SCOPED_TRACE(c.equation);
    OBInterface* m = model();
    host().clearLogs();
    addReaction(m, c.equation);
    Strings warned;
    for (const auto& w : host().warnings()) {
      EXPECT_EQ(w.id, "Kestrion:ReactionManipulator:SpeciesNameBeginsWithNumber");
      const size_t open = w.text.find('\'');
      warned.push_back(w.text.substr(open + 1, w.text.find('\'', open + 1) - open - 1));
    }
    EXPECT_EQ(warned, c.warned);
    host().call(getOBIRoot(), "reset");
  }
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "2A -> B");
  host().clearLogs();
  host().call(r, "addproduct", {host().cell({host().str("2A"), host().str("4C")})}, 1);
  ASSERT_EQ(host().warnings().size(), 1u);
  EXPECT_EQ(host().warnings()[0].text,
            "Warning: The species '4C' is created with a name that begins with a digit or a sign.\n"
            " A stoichiometry is a positive number written before the species name and separated\n"
            " from it by a space, for example '2 A'.");
  EXPECT_EQ(equation(r), "[2A] -> B + [2A] + [4C]");
}

TEST_F(ReactionHostTest, EquationsWithPropertyValuePairs) {
  OBInterface* m = model();
  OBInterface* k = call1(m, "addparameter", {host().str("k")});
  OBInterface* r = call1(m, "addreaction", {host().str("A -> B"), host().str("Name"),
                                            host().str("r1"), host().str("ReactionRate"),
                                            host().str("k*A")});
  EXPECT_EQ(host().getString(r, "Name"), "r1");
  EXPECT_EQ(rate(r), "k*A");
  EXPECT_EQ(reaction(r)->getReactionRateExpression()->getResolvedComponent("k"), componentOf(k));
  EXPECT_TRUE(reaction(r)->getReactionRateExpression()->doAllTokensResolve());
  EXPECT_EQ(host().getString(r, "Type"), "reaction");
  EXPECT_EQ(objectOf(host().get(r, "Parent")), m);
}

TEST_F(ReactionHostTest, ReactionPropertyAppliesEquationsFromTheUserOnly) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "A -> B");
  host().set(r, "Reaction", host().str("2 A + B -> C"));
  EXPECT_EQ(equation(r), "2 A + B -> C");
  EXPECT_EQ(kelbor(m)->getNumSpeciesInTree(), 3u);
  host().set(r, "Reaction", host().str("D -> E"), true);  // the engine's own set is ignored
  EXPECT_EQ(equation(r), "2 A + B -> C");
  expectHostError([&] { host().set(r, "Reaction", host().str("A + -> B")); },
                  "Kestrion:REACTION_PARSE_ERROR",
                  "Invalid Reaction value. Spaces are required before and after species names "
                  "and stoichiometric values, for example, 2 A + B -> 2 C. Stoichiometric values "
                  "must be greater than zero. Type 'help Kestrion.Model.addreaction' for more "
                  "information.");
  EXPECT_EQ(equation(r), "2 A + B -> C");
  // A species dropped from the equation stays in the model.
  host().set(r, "Reaction", host().str("A -> null"));
  EXPECT_EQ(namesOf(host().get(r, "Products")), Strings{});
  EXPECT_EQ(kelbor(m)->getNumSpeciesInTree(), 3u);
}

struct StoichCase {
  Numbers values;
  const char* shown;  // null: refused
};

TEST_F(ReactionHostTest, StoichiometryProperty) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "3 H + A -> 2 C + F");
  EXPECT_EQ(numbersOf(host().get(r, "Stoichiometry")), (Numbers{-3, -1, 2, 1}));
  const double nan = std::nan("");
  const double inf = HUGE_VAL;
  const std::vector<StoichCase> cases = {
      {{-2, -1, 2, 3}, "2 H + A -> 2 C + 3 F"},
      {{-3, 1, 2, 1}, nullptr},
      {{-3, -1, 2}, nullptr},
      {{-3, -1, 0, 1}, nullptr},
      {{0, -1, 2, 1}, nullptr},
      {{-3, nan, 2, 1}, nullptr},
      {{-3, -1, 2, inf}, nullptr},
      {{-0.5, -1, 2, 1.5}, "0.5 H + A -> 2 C + 1.5 F"},
  };
  for (const StoichCase& c : cases) {
    const std::string before = equation(r);
    qxArray* value = qxCreateDoubleMatrix(1, c.values.size(), qxREAL);
    std::copy(c.values.begin(), c.values.end(), qxGetPr(value));
    host().own(value);
    if (c.shown) {
      host().set(r, "Stoichiometry", value);
      EXPECT_EQ(equation(r), c.shown);
    } else {
      expectHostError([&] { host().set(r, "Stoichiometry", value); },
                      "Kestrion:STOICHIOMETRY_INVALIDSIZE",
                      "The number of reactants and products defined by the Stoichiometry value "
                      "must equal the number of reactants and products of the reaction.");
      EXPECT_EQ(equation(r), before);
    }
  }
  // The system's own callers: a wrong count changes nothing quietly, a
  // wrong sign is still refused.
  auto internalSet = [&](const Numbers& values) {
    qxArray* value = qxCreateDoubleMatrix(1, values.size(), qxREAL);
    std::copy(values.begin(), values.end(), qxGetPr(value));
    host().own(value);
    host().set(r, "Stoichiometry", value, true);
  };
  const std::string before = equation(r);
  internalSet({-3, -1, 2});
  internalSet({});
  EXPECT_EQ(equation(r), before);
  expectHostError([&] { internalSet({-3, 1, 2, 1}); }, "Kestrion:STOICHIOMETRY_INVALIDSIZE");
  internalSet({-1, -1, 1, 1});
  EXPECT_EQ(equation(r), "H + A -> C + F");

  // The equation shows every digit a stoichiometry has, so that setting
  // the equation from its own text keeps it.
  internalSet({-1.0 / 3, -1, 1e-7, 1234567.25});
  EXPECT_EQ(equation(r), "0.3333333333333333 H + A -> 1e-07 C + 1234567.25 F");
  host().set(r, "Reaction", host().str(equation(r).c_str()));
  EXPECT_EQ(numbersOf(host().get(r, "Stoichiometry")), (Numbers{-1.0 / 3, -1, 1e-7, 1234567.25}));

  OBInterface* decay = addReaction(m, "A -> null");
  EXPECT_EQ(numbersOf(host().get(decay, "Stoichiometry")), Numbers{-1});
  OBInterface* source = addReaction(m, "null -> F");
  EXPECT_EQ(numbersOf(host().get(source, "Stoichiometry")), Numbers{1});
}

TEST_F(ReactionHostTest, ReversibleFastThresholdActiveAndRate) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "A -> B");
  host().set(r, "Reversible", host().logical(true));
  EXPECT_EQ(equation(r), "A <-> B");
  host().set(r, "FastThreshold", host().num(0.125));
  EXPECT_EQ(qxGetScalar(host().get(r, "FastThreshold")), 0.125);
  host().set(r, "Active", host().logical(false));
  EXPECT_FALSE(reaction(r)->getActive());
  host().set(r, "ReactionRate", host().str("kf*A - kr*B"));
  EXPECT_EQ(rate(r), "kf*A - kr*B");
  EXPECT_FALSE(reaction(r)->getReactionRateExpression()->doAllTokensResolve());
  call1(m, "addparameter", {host().str("kf")});
  call1(m, "addparameter", {host().str("kr")});
  EXPECT_TRUE(reaction(r)->getReactionRateExpression()->doAllTokensResolve());
  // Reactants and Products are set by the engine only.
  expectHostError([&] { host().set(r, "Products", host().handles({species(m, "A")})); },
                  "obk:PropertyAccessDenied");
  host().set(r, "Products", host().handles({species(m, "A")}), true);
  EXPECT_EQ(equation(r), "A <-> B + A");
}

TEST_F(ReactionHostTest, DisplayTable) {
  OBInterface* m = model();
  OBInterface* r1 = addReaction(m, "A -> B");
  addReaction(m, "2 B <-> C");
  hbTestClearPrinted();
  host().call(r1, "display", {});
  EXPECT_EQ(hbTestPrinted(),
            "\n   Kestrion Reaction Array\n\n   Index:    Reaction:\n   1         A -> B\n\n");
  hbTestClearPrinted();
  host().call("display", {host().get(m, "Reactions")});
  EXPECT_EQ(hbTestPrinted(),
            "\n   Kestrion Reaction Array\n\n   Index:    Reaction:\n   1         A -> B\n"
            "   2         2 B <-> C\n\n");
}

TEST_F(ReactionHostTest, DisplayColumnsForTwoDigitRows) {
  OBInterface* m = model();
  for (int i = 0; i < 10; ++i) addReaction(m, "A -> B");
  hbTestClearPrinted();
  host().call("display", {host().get(m, "Reactions")});
  const std::string printed = hbTestPrinted();
  EXPECT_NE(printed.find("\n   9         A -> B\n   10        A -> B\n"), std::string::npos);
}

TEST_F(ReactionHostTest, CreationAndDestruction) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "A -> B");
  OBInterface* a = species(m, "A");
  EXPECT_EQ(qxGetScalar(host().get(a, "InUseCount")), 1.0);
  // A species in use cannot be deleted.
  hbTestClearWarnings();
  EXPECT_FALSE(host().destroy(a));
  EXPECT_FALSE(hbTestWarnings().empty());
  kelbor(m)->setCompileNeeded(false);
  EXPECT_TRUE(host().destroy(r));
  EXPECT_EQ(kelbor(m)->getNumReactions(), 0u);
  EXPECT_TRUE(kelbor(m)->getCompileNeeded());
  EXPECT_EQ(qxGetScalar(host().get(a, "InUseCount")), 0.0);
  EXPECT_EQ(qxGetNumberOfElements(host().get(m, "Reactions")), 0u);
  EXPECT_TRUE(host().destroy(a));

  // Made by the host directly: a free reaction, whatever the values given.
  OBInterface* free = host().construct("Reaction", {host().str("A -> B")});
  EXPECT_EQ(equation(free), "null -> null");
  EXPECT_EQ(objectOf(host().get(free, "Parent")), nullptr);
  EXPECT_TRUE(host().destroy(free));
}

// --- propagation ---------------------------------------------------------------------------

TEST_F(ReactionHostTest, RenamedSpeciesChangesEquationsAndRates) {
  OBInterface* m = model();
  call1(m, "addparameter", {host().str("k")});
  std::vector<OBInterface*> reactions = {addReaction(m, "A -> B"), addReaction(m, "2 A + B -> C"),
                                         addReaction(m, "C -> A")};
  host().set(reactions[0], "ReactionRate", host().str("k*A"));
  host().set(reactions[1], "ReactionRate", host().str("k*A*B"));
  host().set(reactions[2], "ReactionRate", host().str("k*C"));
  OBInterface* a = species(m, "A");
  EXPECT_EQ(qxGetScalar(host().get(a, "InUseCount")), 3.0);
  host().clearLogs();
  host().call(a, "rename", {host().str("Glc")});
  EXPECT_EQ(equation(reactions[0]), "Glc -> B");
  EXPECT_EQ(equation(reactions[1]), "2 Glc + B -> C");
  EXPECT_EQ(equation(reactions[2]), "C -> Glc");
  EXPECT_EQ(rate(reactions[0]), "k*Glc");
  EXPECT_EQ(rate(reactions[1]), "k*Glc*B");
  EXPECT_EQ(rate(reactions[2]), "k*C");
  // Every reaction that shows the species told the host its new equation.
  size_t notices = 0;
  for (const OBEventRecord& e : host().postSetEvents()) {
    if (e.propName == "Reaction") ++notices;
  }
  EXPECT_GE(notices, 3u);
  EXPECT_EQ(qxGetScalar(host().get(a, "InUseCount")), 3.0);
}

TEST_F(ReactionHostTest, RenamedCompartmentChangesQualifiedNames) {
  OBInterface* m = model();
  OBInterface* cell = call1(m, "addcompartment", {host().str("cell")});
  call1(m, "addcompartment", {host().str("medium")});
  OBInterface* r = addReaction(m, "medium.Glc -> cell.Glc");
  host().set(r, "ReactionRate", host().str("2*medium.Glc - cell.Glc"));
  host().call(cell, "rename", {host().str("cytosol")});
  EXPECT_EQ(equation(r), "medium.Glc -> cytosol.Glc");
  EXPECT_EQ(rate(r), "2*medium.Glc - cytosol.Glc");
  EXPECT_TRUE(reaction(r)->getReactionRateExpression()->doAllTokensResolve());
}

TEST_F(ReactionHostTest, RemovedReactionLowersInUseCounts) {
  OBInterface* m = model();
  OBInterface* r1 = addReaction(m, "A -> B");
  OBInterface* r2 = addReaction(m, "A + B -> C");
  OBInterface* b = species(m, "B");
  EXPECT_EQ(qxGetScalar(host().get(species(m, "A"), "InUseCount")), 2.0);
  EXPECT_TRUE(host().destroy(r1));
  EXPECT_EQ(qxGetScalar(host().get(species(m, "A"), "InUseCount")), 1.0);
  host().call(r2, "rmreactant", {host().str("B")});
  EXPECT_EQ(qxGetScalar(host().get(b, "InUseCount")), 0.0);
  EXPECT_TRUE(host().destroy(b));
}

TEST_F(ReactionHostTest, RateNamingALaterParameterResolves) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "S -> P");
  host().set(r, "ReactionRate", host().str("Vm*S/(Km + S)"));
  kstr_stacked_clear();
  host().call(r, "verifyrate", {host().logical(true)});
  EXPECT_EQ(host().stacked().size(), 2u);
  OBInterface* vm = call1(m, "addparameter", {host().str("Vm")});
  call1(m, "addparameter", {host().str("Km")});
  EXPECT_TRUE(reaction(r)->getReactionRateExpression()->doAllTokensResolve());
  EXPECT_EQ(qxGetScalar(host().get(vm, "InUseCount")), 1.0);
  kstr_stacked_clear();
  host().call(r, "verifyrate", {host().logical(true)});
  EXPECT_TRUE(host().stacked().empty());
}

// The Michaelis-Menten enzyme model, E + S <-> ES -> E + P.
TEST_F(ReactionHostTest, MichaelisMentenModel) {
  OBInterface* m = model("enzyme");
  call1(m, "addcompartment", {host().str("cell")});
  for (const char* name : {"kf", "kr", "kcat"}) call1(m, "addparameter", {host().str(name)});
  OBInterface* binding = call1(m, "addreaction", {host().str("E + S <-> ES"), host().str("Name"),
                                                  host().str("binding"),
                                                  host().str("ReactionRate"),
                                                  host().str("kf*E*S - kr*ES")});
  OBInterface* catalysis =
      call1(m, "addreaction", {host().str("ES -> E + P"), host().str("Name"),
                               host().str("catalysis"), host().str("ReactionRate"),
                               host().str("kcat*ES")});
  EXPECT_EQ(kelbor(m)->getNumSpeciesInTree(), 4u);
  EXPECT_EQ(namesOf(host().get(catalysis, "Products")), (Strings{"E", "P"}));
  EXPECT_EQ(numbersOf(host().get(binding, "Stoichiometry")), (Numbers{-1, -1, 1}));
  for (OBInterface* r : {binding, catalysis}) {
    kstr_stacked_clear();
    host().call(r, "verifyrate", {host().logical(true)});
    EXPECT_TRUE(host().stacked().empty());
    for (const auto& s : host().stacked()) ADD_FAILURE() << s.id << ": " << s.text;
  }
  EXPECT_EQ(qxGetScalar(host().get(species(m, "E"), "InUseCount")), 2.0);
  hbTestClearPrinted();
  host().call("display", {host().get(m, "Reactions")});
  EXPECT_NE(hbTestPrinted().find("1         E + S <-> ES\n   2         ES -> E + P\n"),
            std::string::npos);
}

}  // namespace
}  // namespace rtest
