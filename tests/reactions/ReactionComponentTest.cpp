// The reaction component on a model made directly from its components:
// equation forms, stoichiometry, species terms, names, the rate, kinetic
// laws and copies.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ReactionModelFixture.hpp"
#include "expressions/SymbolTable.hpp"

namespace rtest {
namespace {

using Strings = std::vector<std::string>;

TEST_F(ReactionModel, NewReactionDefaults) {
  BReaction* r = freeReaction();
  EXPECT_EQ(r->getReactionString(), "null -> null");
  EXPECT_EQ(r->getReactionRate(), "");
  EXPECT_EQ(r->getKineticLawType(), kstr::nokineticlaw);
  EXPECT_TRUE(r->getNullReactant());
  EXPECT_TRUE(r->getNullProduct());
  r->setNullReactant(false);
  EXPECT_TRUE(r->getNullReactant());
  size_t count = 7;
  EXPECT_EQ(r->getStoichiometry(count), nullptr);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(*r->getFastThreshold(), 0.0);
  EXPECT_STREQ(r->getType(), "reaction");
  EXPECT_EQ(r->getEnumType(), kstr::reaction);
  // Outside a model the default name is the identifier.
  r->setID("R_ID_1");
  EXPECT_EQ(r->getDefaultName(), "R_ID_1");
  std::string dqn = "left over";
  r->getDQN(dqn);
  EXPECT_EQ(dqn, "Unnamed Reaction");
}

struct EquationCase {
  const char* text;
  const char* shown;
  Strings stoichiometry;
  bool reversible;
};

TEST_F(ReactionModel, EquationFormsInOneCompartment) {
  BCompartment* c1 = compartment("c1");
  for (const char* name : {"A", "B", "D", "Complex X"}) species(c1, name);
  const std::vector<EquationCase> cases = {
      {"A -> B", "A -> B", {"-1", "1"}, false},
      {"A <-> B", "A <-> B", {"-1", "1"}, true},
      {"2 A + 3.5 B -> D", "2 A + 3.5 B -> D", {"-2", "-3.5", "1"}, false},
      {"c1.A -> c1.B", "A -> B", {"-1", "1"}, false},
      {"[Complex X] <-> 2 c1.[Complex X]", "[Complex X] <-> 2 [Complex X]", {"-1", "2"}, true},
      {"null -> A", "null -> A", {"1"}, false},
      {"A -> null", "A -> null", {"-1"}, false},
      {"1e3 A -> 2E-1 B", "1000 A -> 0.2 B", {"-1000", "0.2"}, false},
      {"  A   ->   B  ", "A -> B", {"-1", "1"}, false},
      {".5 A ->B", "0.5 A -> B", {"-0.5", "1"}, false},
  };
  for (const EquationCase& c : cases) {
    SCOPED_TRACE(c.text);
    BReaction* r = reaction(c.text);
    EXPECT_EQ(r->getReactionString(), c.shown);
    EXPECT_EQ(stoichiometry(*r), c.stoichiometry);
    EXPECT_EQ(r->getReversible(), c.reversible);
    // Every term is bound to a species of the model.
    kstrVector<BSpecies*> bound;
    r->getReactants(bound);
    r->getProducts(bound);
    EXPECT_EQ(bound.size(), c.stoichiometry.size());
  }
  EXPECT_EQ(model_->getNumSpeciesInTree(), 4u);  // nothing was created
}

TEST_F(ReactionModel, SpeciesInSeveralCompartmentsAreQualified) {
  BCompartment* c1 = compartment("c1");
  BCompartment* c2 = compartment("c2");
  BSpecies* a1 = species(c1, "A");
  BSpecies* a2 = species(c2, "A");
  BSpecies* b = species(c2, "B");
  BReaction* r = reaction("c1.A + c2.A -> 2 c2.B");
  EXPECT_EQ(r->getReactionString(), "c1.A + c2.A -> 2 c2.B");
  EXPECT_EQ(r->getReactantAt(0), a1);
  EXPECT_EQ(r->getReactantAt(1), a2);
  EXPECT_EQ(r->getProductAt(0), b);
  EXPECT_TRUE(r->isReactant("c2.A"));
  EXPECT_FALSE(r->isReactant("A"));
  EXPECT_TRUE(r->isProduct(b));
  EXPECT_EQ(a1->getListeners(), KelborComponent::ListenerSet{r});
}

TEST_F(ReactionModel, OutsideAModelTheEquationIsSetWithoutSpecies) {
  BReaction* r = freeReaction();
  manipulator_.setReactionFromString(r, "A + 2 B -> C");
  EXPECT_EQ(r->getReactionString(), "A + 2 B -> C");
  EXPECT_EQ(r->getNumReactants(), 2u);
  EXPECT_EQ(r->getReactantAt(0), nullptr);
  kstrVector<BSpecies*> bound;
  r->getReactants(bound);
  EXPECT_TRUE(bound.empty());
  // A leading number glued to other characters is part of the name.
  manipulator_.setReactionFromString(r, "2.5.3 A -> B");
  EXPECT_EQ(r->getReactionString(), "[2.5.3 A] -> B");
}

TEST_F(ReactionModel, StoichiometryIsSignedAndCanBeSet) {
  BCompartment* c1 = compartment("c1");
  for (const char* name : {"H", "A", "C", "F"}) species(c1, name);
  BReaction* r = reaction("3 H + A -> 2 C + F");
  EXPECT_EQ(stoichiometry(*r), (Strings{"-3", "-1", "2", "1"}));
  const double values[] = {-2, -1, 2, 3};
  r->setStoichiometry(values, 4);
  EXPECT_EQ(r->getReactionString(), "2 H + A -> 2 C + 3 F");
  r->setStoichiometry(values, 3);  // wrong count: nothing changes
  EXPECT_EQ(r->getReactionString(), "2 H + A -> 2 C + 3 F");
}

TEST_F(ReactionModel, AddingAndRemovingSpecies) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  BSpecies* b = species(c1, "B");
  BReaction* r = reaction();
  r->addReactant(a, 1.0);
  EXPECT_EQ(r->getReactionString(), "A -> null");
  r->addReactant(a, 2.0);  // the existing term grows
  EXPECT_EQ(r->getReactionString(), "3 A -> null");
  r->addProduct(b, 1.0);
  r->addProduct(b, 0.5);
  EXPECT_EQ(r->getReactionString(), "3 A -> 1.5 B");
  r->addProduct(nullptr, 1.0);
  EXPECT_EQ(r->getReactionString(), "3 A -> 1.5 B");
  EXPECT_EQ(a->getInUseCount(), 1u);

  EXPECT_FALSE(r->removeProduct(a));
  EXPECT_TRUE(r->removeReactant(a));
  EXPECT_EQ(r->getReactionString(), "null -> 1.5 B");
  EXPECT_EQ(a->getInUseCount(), 0u);
  EXPECT_FALSE(r->removeReactant(a));
  EXPECT_TRUE(manipulator_.removeProductByName(r, "B"));
  EXPECT_FALSE(manipulator_.removeProductByName(r, "B"));
  EXPECT_EQ(r->getReactionString(), "null -> null");
  EXPECT_TRUE(model_->getCompileNeeded());
}

TEST_F(ReactionModel, RemovingByQualifiedName) {
  BCompartment* c1 = compartment("c1");
  BCompartment* c2 = compartment("c2");
  species(c1, "A");
  species(c2, "A");
  BReaction* r = reaction("c1.A + c2.A -> null");
  EXPECT_FALSE(manipulator_.removeReactantByName(r, "A"));
  EXPECT_TRUE(manipulator_.removeReactantByName(r, "c2.A"));
  EXPECT_EQ(r->getReactionString(), "c1.A -> null");
}

TEST_F(ReactionModel, NameRules) {
  BReaction* r1 = reaction("", "r1");
  BReaction* r2 = reaction();
  expectError([&] { r2->setName("r1"); }, "Kestrion:DuplicateReactionName",
              "A reaction with the same Name already exists in the model.");
  expectError([&] { r2->setName("UnnamedReaction_7"); }, "Kestrion:ReservedReactionName",
              "Invalid Kestrion reaction name. Name cannot begin with 'UnnamedReaction_'.");
  expectError([&] { r2->setName("a[1]"); }, "Kestrion:NameCannotContainBrackets");
  EXPECT_EQ(r2->getName(), "");
  // The reaction's own name is no duplicate; names are trimmed once.
  r1->setName(" r1 ");
  EXPECT_EQ(r1->getName(), "r1");
  expectError([&] { r2->setName("  r1\t"); }, "Kestrion:DuplicateReactionName");
  r2->setName(" a.b ");
  EXPECT_EQ(r2->getName(), "a.b");
  std::string dqn;
  r2->getDQN(dqn);
  EXPECT_EQ(dqn, "[a.b]");
}

TEST_F(ReactionModel, DefaultNamesFollowThePositionInTheModel) {
  BReaction* r1 = reaction();
  BReaction* r2 = reaction();
  BReaction* r3 = reaction();
  EXPECT_EQ(r3->getDefaultName(), "UnnamedReaction_3");
  std::string pqn;
  r2->fillPartiallyQualifiedName(pqn);
  EXPECT_EQ(pqn, "UnnamedReaction_2");
  model_->removeReaction(r1);
  EXPECT_EQ(r3->getDefaultName(), "UnnamedReaction_2");
  // A reaction that is not listed counts after the list.
  EXPECT_EQ(r1->getDefaultName(), "UnnamedReaction_3");
}

TEST_F(ReactionModel, RateResolvesAndIsVerified) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  species(c1, "B");
  BParameter* k1 = parameter("k1");
  BReaction* r = reaction("A -> B", "r1");
  r->setReactionRate("k1*A", true);
  EXPECT_EQ(r->getReactionRate(), "k1*A");
  EXPECT_EQ(r->getKineticLawType(), kstr::otherkineticlaw);
  EXPECT_EQ(r->getReactionRateExpression()->getResolvedComponent("k1"), k1);
  EXPECT_TRUE(r->isComponentUsedInReactionRate(a));
  EXPECT_EQ(k1->getListeners(), KelborComponent::ListenerSet{r});
  EXPECT_NE(r->getReactionRateParseTree(), nullptr);
  r->verifyReactionRateSyntax(true);
  EXPECT_TRUE(kstr_stacked_entries().empty());

  r->setReactionRate("k9*A + k8", true);
  r->verifyReactionRateSyntax(false);
  EXPECT_TRUE(kstr_stacked_entries().empty());
  r->verifyReactionRateSyntax(true);
  ASSERT_EQ(kstr_stacked_entries().size(), 2u);
  EXPECT_EQ(kstr_stacked_entries()[0].id, "Kestrion:ReactionObjectDoesNotResolve");
  EXPECT_EQ(kstr_stacked_entries()[0].text,
            "The name 'k8' in reaction 'r1' does not refer to any in-scope species, "
            "parameters, or compartments.");
  EXPECT_EQ(k1->getInUseCount(), 0u);

  kstr_stacked_clear();
  BReaction* unnamed = reaction("A -> B");
  unnamed->setReactionRate("k1*(", true);
  EXPECT_EQ(unnamed->getReactionRateParseTree(), nullptr);
  unnamed->verifyReactionRateSyntax(true);
  ASSERT_EQ(kstr_stacked_entries().size(), 1u);
  EXPECT_EQ(kstr_stacked_entries()[0].id, "Kestrion:InvalidReactionRateSyntax");
  EXPECT_EQ(kstr_stacked_entries()[0].text, "Invalid reaction rate 'k1*(' for reaction 'A -> B'.");
}

TEST_F(ReactionModel, KineticLawTypesAndParameters) {
  BCompartment* c1 = compartment("c1");
  species(c1, "A");
  species(c1, "B");
  BReaction* r = reaction("A -> B", "r1");
  r->setReactionRate("2*A", true);

  auto* unknown = kineticLaw<BKineticLaw>(abstractLaw("Unknown"));
  r->setKineticLaw(unknown);
  EXPECT_EQ(unknown->getParent(), r);
  EXPECT_EQ(r->getKineticLawType(), kstr::otherkineticlaw);
  EXPECT_FALSE(r->hasNonUnknownKineticLaw());
  EXPECT_EQ(r->getReactionRate(), "2*A");  // an "Unknown" law keeps the rate

  auto* massAction = kineticLaw<BKineticLaw>(abstractLaw("MassAction"));
  r->setKineticLaw(massAction);
  EXPECT_EQ(r->getKineticLawType(), kstr::massactionkineticlaw);
  EXPECT_TRUE(r->hasNonUnknownKineticLaw());

  auto* kf = new BParameter();
  owned_.insert(owned_.begin(), kf);
  kf->setName("kf");
  massAction->addParameter(kf);
  auto* kr = new BParameter();
  owned_.insert(owned_.begin(), kr);
  kr->setName("kr");
  kr->setConstantValue(false);
  massAction->addParameter(kr);
  kstrVector<BParameter*> all;
  r->fillParameters(all, true);
  EXPECT_EQ(all, (kstrVector<BParameter*>{kf, kr}));
  kstrVector<BParameter*> varying;
  r->fillParameters(varying, false);
  EXPECT_EQ(varying, (kstrVector<BParameter*>{kr}));
  // The law's parameters resolve in this reaction's scope only.
  EXPECT_EQ(r->resolveSymbol("kf"), kf);
  BReaction* other = reaction("B -> A", "r2");
  EXPECT_EQ(other->resolveSymbol("kf"), nullptr);
  EXPECT_TRUE(r->isComponentVisible(kf));
  EXPECT_FALSE(other->isComponentVisible(kf));

  r->setKineticLaw(nullptr);
  EXPECT_EQ(r->getKineticLaw(), nullptr);
  massAction->removeParameter(kf);
  massAction->removeParameter(kr);
}

TEST_F(ReactionModel, NamedLawComposesTheRateAndFollowsRenames) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  species(c1, "P");
  parameter("Vm");
  BParameter* km = parameter("Km");
  BReaction* r = reaction("A -> P", "r1");
  auto* law = kineticLaw<TemplateKineticLaw>(abstractLaw("Henri-Michaelis-Menten"),
                                             "V*S/(K + S)", Strings{"V", "K"}, Strings{"S"});
  r->setKineticLaw(law);
  EXPECT_EQ(r->getReactionRate(), "");  // variables still unbound
  law->setParameterVariableNames({"Vm", " Km "});
  law->setSpeciesVariableNames({"A"});
  EXPECT_EQ(r->getReactionRate(), "Vm*A/(Km + A)");
  EXPECT_EQ(r->getReactionRateExpression()->getResolvedComponent("Km"), km);
  EXPECT_EQ(a->getInUseCount(), 1u);

  a->rename("Substrate");
  EXPECT_EQ(r->getReactionString(), "Substrate -> P");
  EXPECT_EQ(law->getSpeciesVariableNames(), (BKineticLaw::NameVector{"Substrate"}));
  EXPECT_EQ(r->getReactionRate(), "Vm*Substrate/(Km + Substrate)");
  km->rename("Kmax");
  EXPECT_EQ(law->getParameterVariableNames(), (BKineticLaw::NameVector{"Vm", "Kmax"}));
  EXPECT_EQ(r->getReactionRate(), "Vm*Substrate/(Kmax + Substrate)");
  expectError([&] { law->setSpeciesVariableNames({"a[b"}); },
              "Kestrion:INVALID_EXPRESSION_VARIABLE");
  r->setKineticLaw(nullptr);
}

TEST_F(ReactionModel, CopiesShareTheExpressions) {
  BCompartment* c1 = compartment("c1");
  species(c1, "A");
  species(c1, "B");
  BReaction* r = reaction("2 A -> B", "r1");
  r->setReactionRate("A", true);
  const double threshold = 0.25;
  r->setFastThreshold(&threshold);
  BReaction copy(*r);
  EXPECT_EQ(copy.getReactionExpression(), r->getReactionExpression());
  EXPECT_EQ(copy.getReactionRateExpression(), r->getReactionRateExpression());
  EXPECT_EQ(*copy.getFastThreshold(), 0.25);
  const double values[] = {-5, 1};
  copy.setStoichiometry(values, 2);
  EXPECT_EQ(r->getReactionString(), "5 A -> B");
  std::ostringstream out;
  r->debugPrint(out);
  EXPECT_NE(out.str().find("5 A -> B"), std::string::npos);
}

// A copy made by value takes the content of a component in a model but
// never its place: no host handle, parent, model data or listeners, and an ID
// of its own.  Renaming and dropping the copy leaves the model untouched.
TEST_F(ReactionModel, ValueCopiesNeverPassForTheOriginal) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  BParameter* k = parameter("k");
  BReaction* r = reaction("A -> null", "r1");
  r->setReactionRate("k*A", true);
  auto* fakeHandle = reinterpret_cast<OBInterface*>(a);
  const SymbolTable* table = model_->getSymbolTable();

  auto check = [&](KelborComponent* original, auto copyOf, const std::string& newName) {
    SCOPED_TRACE(original->getName());
    original->setOBI(fakeHandle);
    original->setOBIParent(fakeHandle);
    {
      auto copy = copyOf();
      EXPECT_EQ(copy->getName(), original->getName());
      EXPECT_EQ(copy->getOBI(), nullptr);
      EXPECT_EQ(copy->getOBIParent(), nullptr);
      EXPECT_EQ(copy->getParent(), nullptr);
      EXPECT_EQ(copy->getModelGlobalData(), nullptr);
      EXPECT_TRUE(copy->getListeners().empty());
      EXPECT_STRNE(copy->getID(), original->getID());
      copy->rename(newName);
      EXPECT_FALSE(table->containsComponent(copy.get()));
    }
    original->setOBI(nullptr);
    original->setOBIParent(nullptr);
    std::string qualified;
    original->fillPartiallyQualifiedName(qualified);
    EXPECT_EQ(model_->getPartiallyQualifiedComponent(qualified, original->getEnumType()),
              original);
  };
  check(a, [&] { return std::make_unique<BSpecies>(*a); }, "A2");
  check(k, [&] { return std::make_unique<BParameter>(*k); }, "k2");
  check(r, [&] { return std::make_unique<BReaction>(*r); }, "r2");
  EXPECT_EQ(a->getListeners(), KelborComponent::ListenerSet{r});
  EXPECT_EQ(model_->getPartiallyQualifiedComponent("c1.A2", kstr::species), nullptr);
}

}  // namespace
}  // namespace rtest
