// Kinetic laws driven as a user would: "addkineticlaw" with the built-in
// and user laws, parameters on the law, bindings, a new template, the
// reaction rate following every change, and the errors of bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <jpi/jpi_test.hpp>

#include "KineticsHostFixture.hpp"
#include "support/AllocationFailures.hpp"
#include "kinetics/BMassActionKineticLaw.hpp"

namespace ktest {
namespace {

using Strings = std::vector<std::string>;

TEST_F(KineticsHostTest, MassActionRateFollowsTheReaction) {
  OBInterface* m = model();
  call1(m, "addparameter", {host().str("kf")});
  call1(m, "addparameter", {host().str("kr")});
  OBInterface* r = addReaction(m, "2 A + B -> P");
  OBInterface* law = addLaw(r, "MassAction");
  ASSERT_NE(law, nullptr);
  EXPECT_NE(dynamic_cast<BMassActionKineticLaw*>(componentOf(law)), nullptr);
  EXPECT_EQ(objectOf(host().get(r, "KineticLaw")), law);
  EXPECT_EQ(law->getUp(), r);
  EXPECT_EQ(host().getString(law, "KineticLawName"), "MassAction");
  EXPECT_EQ(names(law, "ParameterVariables"), Strings{"Forward Rate Parameter"});
  EXPECT_EQ(names(law, "SpeciesVariableNames"), (Strings{"A", "B"}));
  EXPECT_EQ(rate(r), "");  // the forward parameter is not bound yet
  setParameter(law, "Forward Rate Parameter", "kf");
  EXPECT_EQ(rate(r), "kf*A^2*B");
  host().set(r, "Reversible", host().logical(true));
  EXPECT_EQ(names(law, "ParameterVariableNames"), (Strings{"kf", ""}));
  setParameter(law, "Reverse Rate Parameter", "kr");
  EXPECT_EQ(rate(r), "kf*A^2*B - kr*P");
  EXPECT_EQ(names(law, "SpeciesVariableNames"), (Strings{"A", "B", "P"}));
  host().set(r, "Reaction", host().str("A + 0.5 C <-> 2 P"));
  EXPECT_EQ(rate(r), "kf*A*C^0.5 - kr*P^2");
  expectHostError([&] { setSpecies(law, "MassAction Species", "A"); },
                  "Kestrion:SETSPECIES_INVALID_VAR_NAME_FOR_MASSACTION",
                  "SpeciesVariableNames cannot be configured for the MassAction kinetic law.");
  expectHostError([&] { host().set(law, "SpeciesVariableNames", host().cell({host().str("A")})); },
                  "Kestrion:MassActionSpeciesUnsettable", "SpeciesVariableNames is read-only for MassAction kinetic laws.");
  EXPECT_NO_THROW(kineticLaw(law)->verify());
}

TEST_F(KineticsHostTest, EnzymeLawWithItsOwnParameters) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "S -> P");
  OBInterface* law = addLaw(r, "Henri-Michaelis-Menten");
  OBInterface* vm = call1(law, "addparameter", {host().str("Vmax"), host().num(2)});
  call1(law, "addparameter", {host().str("Km")});
  EXPECT_EQ(vm->getUp(), law);
  EXPECT_EQ(handlesOf(host().get(law, "Parameters")).size(), 2u);
  expectHostError([&] { call1(law, "addparameter", {host().str("Km")}); }, "Kestrion:ADDPARAMETER_DUPLICATENAME");
  EXPECT_EQ(names(law, "ParameterVariables"), (Strings{"Vm", "Km"}));
  EXPECT_EQ(names(law, "SpeciesVariables"), Strings{"S"});
  EXPECT_EQ(rate(r), "");
  setParameter(law, "Vm", "Vmax");
  setParameter(law, "Km", "Km");
  EXPECT_EQ(rate(r), "");  // S still unbound
  setSpecies(law, "S", "S");
  EXPECT_EQ(rate(r), "Vmax*S/(Km + S)");
  EXPECT_NO_THROW(kineticLaw(law)->verify());
  EXPECT_EQ(handlesOf(host().call(law, "getparameters", {}, 1).at(0)).size(), 2u);
  EXPECT_EQ(handlesOf(host().call(law, "getparameters", {host().str("Vm")}, 1).at(0)),
            std::vector<OBInterface*>{vm});
  EXPECT_EQ(handlesOf(host().call(law, "getspecies", {}, 1).at(0)), std::vector<OBInterface*>{species(m, "S")});
  // A parameter bound by a law's variable shows in its partially qualified
  // name through the reaction.
  EXPECT_EQ(host().getString(vm, "PartiallyQualifiedName"), "UnnamedReaction_1.Vmax");

  // Renaming the law's parameter and the species rewrites the rate.
  host().set(vm, "Name", host().str("V"));
  EXPECT_EQ(rate(r), "V*S/(Km + S)");
  EXPECT_EQ(names(law, "ParameterVariableNames"), (Strings{"V", "Km"}));
  host().set(species(m, "S"), "Name", host().str("Sub"));
  EXPECT_EQ(rate(r), "V*Sub/(Km + Sub)");
  EXPECT_EQ(names(law, "SpeciesVariableNames"), Strings{"Sub"});

  // A new template keeps the parameters and drops the bindings.
  host().set(law, "KineticLawName", host().str("Competitive-Inhibition"));
  EXPECT_EQ(host().getString(law, "KineticLawName"), "Competitive-Inhibition");
  EXPECT_EQ(handlesOf(host().get(law, "Parameters")).size(), 2u);
  EXPECT_EQ(names(law, "ParameterVariableNames"), (Strings{"", "", ""}));
  EXPECT_EQ(rate(r), "");
  EXPECT_EQ(componentOf(vm)->getParent(), componentOf(law));
}

// The rate a law composes from its template raises when memory for any of
// its substituted names runs out, instead of leaving that variable in the
// rate unsubstituted.
TEST_F(KineticsHostTest, RateSubstitutionRaisesWhenHostMemoryRunsOut) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "S -> P");
  OBInterface* law = addLaw(r, "Henri-Michaelis-Menten");
  setParameter(law, "Vm", "Vmax");
  setParameter(law, "Km", "Km");
  setSpecies(law, "S", "S");
  ASSERT_EQ(rate(r), "Vmax*S/(Km + S)");
  std::string composed;
  const std::function<void()> compose = [&] {
    char* text = kineticLaw(law)->getRateExpression();
    composed = text ? text : "";
    hbFree(text);
  };
  const size_t attempts = hostAllocationsOf(compose);
  EXPECT_EQ(composed, "Vmax*S/(Km + S)");
  ASSERT_GE(attempts, 4u);  // three substituted names and the rate
  for (size_t k = 1; k <= attempts; ++k) EXPECT_EQ(outcomeWithAllocationFailing(k, compose), "std::bad_alloc") << k;
  EXPECT_EQ(rate(r), "Vmax*S/(Km + S)");
}

TEST_F(KineticsHostTest, KineticLawErrorsChangeNothing) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "S -> P");
  OBInterface* law = addLaw(r, "Henri-Michaelis-Menten");
  setParameter(law, "Vm", "a");
  struct Case {
    const char* label;
    std::function<void()> body;
    const char* id;
  };
  const std::vector<Case> cases = {
      {"empty law name", [&] { host().set(law, "KineticLawName", host().str("")); }, "Kestrion:InvalidKineticLawName"},
      {"unknown law name", [&] { host().set(law, "KineticLawName", host().str("Nope")); },
       "Kestrion:InvalidKineticLawName"},
      {"second law", [&] { call1(r, "addkineticlaw", {host().str("MassAction")}); }, "Kestrion:KineticLawAlreadyExists"},
      {"no such variable", [&] { setParameter(law, "X", "a"); }, "Kestrion:SETPARAMETER_INVALID_VAR_NAME"},
      {"wrong count", [&] { host().set(law, "ParameterVariableNames", host().str("a")); },
       "Kestrion:InvalidParameterVariableNames"},
      {"2-by-2 names",
       [&] {
         qxArray* cell = host().own(qxCreateCellMatrix(2, 1));
         qxSetCell(cell, 0, qxCreateString("a"));
         qxSetCell(cell, 1, qxCreateString("b"));
         host().set(law, "SpeciesVariableNames", cell);
       },
       "Kestrion:InvalidSpeciesVariableNames"},
      {"bad bound name", [&] { host().set(law, "ParameterVariableNames", host().cell({host().str("a"), host().str("[x")})); },
       "Kestrion:INVALID_EXPRESSION_VARIABLE"},
      {"numeric names", [&] { host().call(law, "getparameters", {host().num(1)}, 1); },
       "Kestrion:GETPARAMETERS_INVALIDSYNTAX"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    expectHostError(c.body, c.id);
    EXPECT_EQ(host().getString(law, "KineticLawName"), "Henri-Michaelis-Menten");
    EXPECT_EQ(names(law, "ParameterVariableNames"), (Strings{"a", ""}));
  }
  OBInterface* r2 = addReaction(m, "A -> B");
  expectHostError([&] { addLaw(r2, "Nope"); }, "Kestrion:ADDKINETICLAW_INVALIDTYPEENUM");
  expectHostError([&] { addLaw(r2, ""); }, "Kestrion:ADDKINETICLAW_INVALIDTYPEENUM");
  EXPECT_EQ(reaction(r2)->getKineticLaw(), nullptr);
  OBInterface* unknown = addLaw(r2, "Unknown");
  expectHostError([&] { setParameter(unknown, "x", "a"); }, "Kestrion:SETPARAMETER_NO_VARS_FOR_UNKNOWN");
  expectHostError([&] { setSpecies(unknown, "x", "a"); }, "Kestrion:SETSPECIES_NO_VARS_FOR_UNKNOWN");
}

TEST_F(KineticsHostTest, UserLawRegisteredUsedAndRefusedRemoval) {
  OBInterface* law = userLaw("MyDecay", "k*S");
  expectHostError([&] { host().call(law, "register", {host().num(0), host().logical(false)}); },
                  "Kestrion:KSTRABSTRACTKL_INVALID_ARGUMENT", "Invalid argument.");
  host().call(law, "register", {host().num(1), host().logical(false)});
  EXPECT_EQ(library(1)->findAbstractKineticLaw("MyDecay")->getOBI(), law);
  // Equal law again: nothing happens; over a built-in name: refused.
  host().call(getOBIRoot(), "addtolibrary", {host().handle(law)}, 1);
  OBInterface* hmm = host().construct("AbstractKineticLaw", {host().str("Henri-Michaelis-Menten"), host().str("x")});
  expectHostError([&] { host().call(getOBIRoot(), "addtolibrary", {host().handle(hmm)}, 1); },
                  "Kestrion:KSTRABSTRACTKL_EXISTS_AS_BUILTIN");
  OBInterface* m = model();
  call1(m, "addparameter", {host().str("kd")});
  OBInterface* r = addReaction(m, "S -> null");
  OBInterface* kl = addLaw(r, "MyDecay");
  setParameter(kl, "k", "kd");
  setSpecies(kl, "S", "S");
  EXPECT_EQ(rate(r), "kd*S");
  host().clearLogs();
  host().call(getOBIRoot(), "removefromlibrary", {host().handle(law)});
  EXPECT_EQ(warningIds(), Strings{"Kestrion:AKLInUse"});
  expectHostError([&] { host().set(law, "Expression", host().str("2*k*S")); }, "Kestrion:AKLCannotChangeFieldUsed");
  EXPECT_FALSE(host().destroy(law));
  EXPECT_EQ(library(1)->findAbstractKineticLaw("MyDecay")->getOBI(), law);
  host().call(getOBIRoot(), "reset");
  removeUserLaw("MyDecay");
  EXPECT_EQ(library(1)->findAbstractKineticLaw("MyDecay"), nullptr);
}

}  // namespace
}  // namespace ktest

namespace ktest {
namespace {

// Adding several terms at once (as a copied reaction gets its terms) gives
// the equation and the mass-action rate that adding them one at a time
// gives: existing terms take the coefficient, a null species is skipped.
TEST_F(KineticsHostTest, AddingTermsAtOnceMatchesAddingThemOneAtATime) {
  struct Term {
    const char* species;  // null: no species
    double stoichiometry;
  };
  struct Case {
    std::vector<Term> reactants;
    std::vector<Term> products;
    bool reversible;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {{{"C", 1}}, {{"D", 2}}, false, "A + C -> B + 2 D"},
      {{{"A", 1}, {"C", 0.5}}, {{"B", 1}, {"A", 1}}, true, "2 A + 0.5 C <-> 2 B + A"},
      {{{nullptr, 1}}, {}, true, "A <-> B"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    OBInterface* m = model(("m" + std::to_string(i)).c_str());
    call1(m, "addparameter", {host().str("k")});
    OBInterface* cell = call1(m, "addcompartment", {host().str("cell")});
    for (const char* name : {"A", "B", "C", "D"}) call1(cell, "addspecies", {host().str(name)});
    OBInterface* one = addReaction(m, "A -> B");
    OBInterface* all = addReaction(m, "A -> B");
    for (OBInterface* r : {one, all}) {
      setParameter(addLaw(r, "MassAction"), "Forward Rate Parameter", "k");
    }
    auto bound = [&](const Term& t) {
      return t.species ? dynamic_cast<BSpecies*>(componentOf(species(m, t.species))) : nullptr;
    };
    std::vector<BReaction::SpeciesTerm> reactants;
    std::vector<BReaction::SpeciesTerm> products;
    for (const Term& t : c.reactants) {
      reaction(one)->addReactant(bound(t), t.stoichiometry);
      reactants.push_back({bound(t), t.stoichiometry});
    }
    for (const Term& t : c.products) {
      reaction(one)->addProduct(bound(t), t.stoichiometry);
      products.push_back({bound(t), t.stoichiometry});
    }
    reaction(one)->setReversible(c.reversible);
    reaction(all)->addTerms(reactants, products, c.reversible);
    if (c.reversible) {
      for (OBInterface* r : {one, all}) {
        setParameter(objectOf(host().get(r, "KineticLaw")), "Reverse Rate Parameter", "k");
      }
    }
    EXPECT_EQ(equation(all), c.expected) << "case " << i;
    EXPECT_EQ(equation(all), equation(one)) << "case " << i;
    EXPECT_EQ(rate(all), rate(one)) << "case " << i;
    EXPECT_NE(rate(all), "") << "case " << i;
    EXPECT_TRUE(reaction(all)->getReactionRateExpression()->doAllTokensResolve()) << "case " << i;
  }
}

// A copied model's kinetic laws keep their template, their own parameters
// and their bindings, and write the same rates.
TEST_F(KineticsHostTest, CopiedModelsKeepTheirKineticLaws) {
  OBInterface* m = model("original");
  call1(m, "addparameter", {host().str("k")});
  OBInterface* decay = addReaction(m, "S -> null");
  setParameter(addLaw(decay, "MassAction"), "Forward Rate Parameter", "k");
  OBInterface* r = addReaction(m, "S -> P");
  enzymeLaw(r);
  OBInterface* copy = call1(m, "copyobj", {});
  ASSERT_NE(copy, nullptr);
  Kelbor* copied = kelbor(copy);
  ASSERT_EQ(copied->getNumReactions(), 2u);
  const BReaction* copiedDecay = copied->getReactionAt(0);
  const BReaction* copiedEnzyme = copied->getReactionAt(1);
  ASSERT_NE(copiedEnzyme->getKineticLaw(), nullptr);
  EXPECT_NE(copiedEnzyme->getKineticLaw(), reaction(r)->getKineticLaw());
  EXPECT_EQ(copiedEnzyme->getKineticLaw()->getAbstractName(), "Henri-Michaelis-Menten");
  EXPECT_EQ(copiedEnzyme->getKineticLaw()->getNumParameters(), 2u);
  EXPECT_EQ(host().getString(copiedEnzyme->getOBI(), "ReactionRate"), "Vm*S/(Km + S)");
  EXPECT_EQ(host().getString(copiedDecay->getOBI(), "ReactionRate"), "k*S");
  EXPECT_NO_THROW(copiedEnzyme->getKineticLaw()->verify());
}

}  // namespace
}  // namespace ktest

namespace ktest {
namespace {

// How the parameters below a law are wired: copies and additions take the
// law's checked wiring, and what the law refuses is left as it was.
class LawParameterTest : public KineticsHostTest {
 protected:
  // The desktop's child-added events for parameters made so far.
  static size_t parameterChildEvents() {
    size_t n = 0;
    for (const jpiRecord* r : jpiTestObjectsOfClass("kestridesk.eventqueue.OBKToJavaEvent")) {
      if (r->signature == "(Ljava/lang/Object;Ljava/lang/Object;Ljava/lang/String;)V" &&
          r->args.at(2).text == "parameter") {
        ++n;
      }
    }
    return n;
  }
  // Checks that the parameter sits below the law once, on both sides.
  void expectBelow(OBInterface* parameter, OBInterface* law) {
    const std::vector<OBInterface*> members = handlesOf(host().get(law, "Parameters"));
    EXPECT_EQ(std::count(members.begin(), members.end(), parameter), 1);
    EXPECT_EQ(parameter->getUp(), law);
    EXPECT_EQ(parameter->getExternalReferenceCount(), 1);
    EXPECT_EQ(componentOf(parameter)->getOBIParent(), law);
    EXPECT_EQ(componentOf(parameter)->getParent(), componentOf(law));
  }
  // Checks that the free parameter was left alone.
  void expectFree(OBInterface* parameter) {
    EXPECT_EQ(parameter->getUp(), nullptr);
    EXPECT_EQ(parameter->getExternalReferenceCount(), 0);
    EXPECT_EQ(componentOf(parameter)->getOBIParent(), nullptr);
    EXPECT_EQ(componentOf(parameter)->getParent(), nullptr);
  }
};

// A kinetic law copied below another reaction brings copies of its
// parameters, each wired below the copy and announced to the desktop; so
// does one parameter copied into another law.
TEST_F(LawParameterTest, CopiedParametersAreWiredBelowTheLawAndAnnounced) {
  host_.reset();
  host_ = std::make_unique<TestHost>(TestHost::Options{true});
  host().start();
  OBInterface* m = model();
  OBInterface* law = enzymeLaw(addReaction(m, "S -> P"));
  OBInterface* r2 = addReaction(m, "S -> Q");
  const size_t before = parameterChildEvents();
  OBInterface* copy = call1(law, "copyobj", {host().handle(r2)});
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(parameterChildEvents() - before, 2u);
  const std::vector<OBInterface*> copies = handlesOf(host().get(copy, "Parameters"));
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(namesOf(host().get(copy, "Parameters")), (Strings{"Vm", "Km"}));
  for (OBInterface* p : copies) expectBelow(p, copy);
  EXPECT_EQ(kineticLaw(copy)->getNumParameters(), 2u);
  EXPECT_EQ(rate(r2), "Vm*S/(Km + S)");
  EXPECT_EQ(host().getString(copies[0], "PartiallyQualifiedName"), "UnnamedReaction_2.Vm");

  OBInterface* other = addLaw(addReaction(m, "P -> Q"), "Henri-Michaelis-Menten");
  OBInterface* vm = call1(copies[0], "copyobj", {host().handle(other)});
  EXPECT_EQ(parameterChildEvents() - before, 3u);
  expectBelow(vm, other);
  EXPECT_EQ(kineticLaw(other)->getNumParameters(), 1u);
}

// A parameter whose name the law already holds is refused before anything
// changes, whether copied in by the user or handed over in a Parameters set
// (which only the host's internal client may make); such a set joins all
// of its parameters or none.
TEST_F(LawParameterTest, ParametersTheLawRefusesAreNotHalfAdded) {
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "S -> P");
  OBInterface* law = enzymeLaw(r);
  OBInterface* km = handlesOf(host().get(law, "Parameters")).at(1);
  struct Case {
    const char* label;
    std::vector<const char*> names;  // free parameters made for the case
    bool viaCopy;                    // copyobj of the law's own Km instead
    const char* id;
  };
  const std::vector<Case> cases = {
      {"a name the law holds", {"Km"}, false, "Kestrion:PARAMETER_DUPLICATENAME"},
      {"a free name before a held one", {"x", "Km"}, false, "Kestrion:PARAMETER_DUPLICATENAME"},
      {"one name twice among the new", {"y", "y"}, false, "Kestrion:PARAMETER_DUPLICATENAME"},
      {"a copy of a parameter the law holds", {}, true, "Kestrion:COPYOBJ_INVALIDARG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<OBInterface*> fresh;
    for (const char* name : c.names) fresh.push_back(host().construct("Parameter", {host().str(name)}));
    qxArray* value = host().own(qxCreateHandleArray(fresh.size(), 1));
    for (size_t i = 0; i < fresh.size(); ++i) qxSetHandle(value, i, fresh[i]);
    expectHostError(
        [&] {
          if (c.viaCopy) {
            call1(km, "copyobj", {host().handle(law)});
          } else {
            host().set(law, "Parameters", value, true);  // only the internal client sets it
          }
        },
        c.id);
    for (OBInterface* p : fresh) expectFree(p);
    EXPECT_EQ(namesOf(host().get(law, "Parameters")), (Strings{"Vm", "Km"}));
    EXPECT_EQ(kineticLaw(law)->getNumParameters(), 2u);
    EXPECT_EQ(rate(r), "Vm*S/(Km + S)");
  }
}

// Every reaction's law has a parameter "k" of its own; another reaction
// names two of them qualified.  Each edit (a reaction with its own "k"
// added, one "k" renamed, a reaction renamed, one deleted) must leave every
// bare "k" bound to the parameter of its own reaction and the qualified
// names bound to theirs, written as they now read.
TEST_F(KineticsHostTest, SharedLocalParameterNamesKeepTheirReactionsThroughEdits) {
  OBInterface* m = model();
  struct Local {
    OBInterface* reaction;
    OBInterface* k;
  };
  std::vector<Local> locals;
  auto addWithLocalK = [&](const std::string& name, const std::string& equation) {
    OBInterface* r = addReaction(m, equation.c_str());
    host().set(r, "Name", host().str(name.c_str()));
    OBInterface* law = addLaw(r, "MassAction");
    OBInterface* k = call1(law, "addparameter", {host().str("k")});
    setParameter(law, "Forward Rate Parameter", "k");
    locals.push_back({r, k});
  };
  for (const char* name : {"r1", "r2", "r3"}) addWithLocalK(name, std::string("A_") + name + " -> B_" + name);
  OBInterface* user = addReaction(m, "X -> Y");
  host().set(user, "ReactionRate", host().str("r1.k*X + r2.k*X"));
  OBInterface* firstK = locals[0].k;
  OBInterface* secondK = locals[1].k;

  struct Step {
    const char* label;
    std::function<void()> edit;
    const char* userRate;
  } steps[] = {
      {"a reaction with its own k added", [&] { addWithLocalK("r4", "A_r4 -> B_r4"); }, "r1.k*X + r2.k*X"},
      {"the second reaction's k renamed", [&] { host().call(locals[1].k, "rename", {host().str("k2")}); },
       "r1.k*X + r2.k2*X"},
      {"the first reaction renamed", [&] { host().set(locals[0].reaction, "Name", host().str("q1")); },
       "q1.k*X + r2.k2*X"},
      {"the third reaction deleted",
       [&] {
         ASSERT_TRUE(locals[2].reaction->destroy(OBDatabaseClient::getExternalClient()));
         locals.erase(locals.begin() + 2);
       },
       "q1.k*X + r2.k2*X"},
      {"the second reaction's parameter named k again",
       [&] { host().call(locals[1].k, "rename", {host().str("k")}); }, "q1.k*X + r2.k*X"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.label);
    step.edit();
    for (const Local& local : locals) {
      const std::string own = host().getString(local.k, "Name");
      const auto expression = reaction(local.reaction)->getReactionRateExpression();
      EXPECT_EQ(expression->getResolvedComponent(own), componentOf(local.k)) << host().getString(local.reaction, "Name");
      EXPECT_TRUE(expression->doAllTokensResolve());
    }
    EXPECT_EQ(rate(user), step.userRate);
    const auto expression = reaction(user)->getReactionRateExpression();
    const std::string firstName = host().getString(locals[0].reaction, "Name") + "." + host().getString(firstK, "Name");
    const std::string secondName = host().getString(locals[1].reaction, "Name") + "." + host().getString(secondK, "Name");
    EXPECT_EQ(expression->getResolvedComponent(firstName), componentOf(firstK));
    EXPECT_EQ(expression->getResolvedComponent(secondName), componentOf(secondK));
    EXPECT_TRUE(expression->doAllTokensResolve());
  }
}

// Reactions and their laws' parameters found by partially qualified name:
// named, unnamed (by the default name their place gives), missing, and
// after the reactions ahead of an unnamed one are deleted.
TEST_F(KineticsHostTest, ReactionsAndTheirParametersAreFoundByName) {
  OBInterface* m = model();
  std::vector<OBInterface*> reactions;
  std::vector<OBInterface*> ks;
  for (const char* name : {"r1", "", "r3", ""}) {
    OBInterface* r = addReaction(m, (std::string("A") + std::to_string(reactions.size()) + " -> B").c_str());
    if (*name) host().set(r, "Name", host().str(name));
    OBInterface* law = addLaw(r, "MassAction");
    ks.push_back(call1(law, "addparameter", {host().str("k")}));
    reactions.push_back(r);
  }
  Kelbor* engine = kelbor(m);
  auto check = [&](const std::string& name, kstr::bcomptype kind, OBInterface* expected) {
    EXPECT_EQ(engine->getPartiallyQualifiedComponent(name, kind), expected ? componentOf(expected) : nullptr)
        << name;
  };
  struct Case {
    const char* name;
    kstr::bcomptype kind;
    int expected;  // index into the reactions (or their parameters); -1 for none
  } before[] = {
      {"r1", kstr::reaction, 0},           {"UnnamedReaction_2", kstr::reaction, 1},
      {"r3", kstr::reaction, 2},           {"UnnamedReaction_4", kstr::reaction, 3},
      {"UnnamedReaction_1", kstr::reaction, -1}, {"r9", kstr::reaction, -1},
      {"r1.k", kstr::parameter, 0},        {"UnnamedReaction_2.k", kstr::parameter, 1},
      {"[r3].k", kstr::parameter, 2},      {"r3.kx", kstr::parameter, -1},
      {"A1.k", kstr::parameter, -1},       {"r1.k", kstr::reaction, -1},
  };
  for (const Case& c : before) {
    const std::vector<OBInterface*>& from = c.kind == kstr::reaction ? reactions : ks;
    check(c.name, c.kind, c.expected < 0 ? nullptr : from[static_cast<size_t>(c.expected)]);
  }
  // The first two go: the unnamed fourth is the second now.
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(reactions[static_cast<size_t>(i)]->destroy(OBDatabaseClient::getExternalClient()));
  check("UnnamedReaction_2", kstr::reaction, reactions[3]);
  check("UnnamedReaction_2.k", kstr::parameter, ks[3]);
  check("UnnamedReaction_4", kstr::reaction, nullptr);
  check("r1", kstr::reaction, nullptr);
  check("r3.k", kstr::parameter, ks[2]);
}

}  // namespace
}  // namespace ktest
