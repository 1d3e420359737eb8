// How reactions follow the model: renamed species and compartments, added
// and removed components, the compartment-count transitions and names that
// denote two components.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ReactionModelFixture.hpp"
#include "expressions/SymbolTable.hpp"

namespace rtest {
namespace {

using Listeners = KelborComponent::ListenerSet;

TEST_F(ReactionModel, RenamedSpeciesChangesEveryEquationAndRate) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  species(c1, "B");
  species(c1, "C");
  parameter("k");
  BReaction* r1 = reaction("A -> B");
  r1->setReactionRate("k*A", true);
  BReaction* r2 = reaction("2 A + B -> C");
  r2->setReactionRate("k*A*B - A/k", true);
  BReaction* r3 = reaction("C -> A");
  r3->setReactionRate("k*C", true);
  EXPECT_EQ(a->getInUseCount(), 3u);

  a->rename("Xylose");
  EXPECT_EQ(r1->getReactionString(), "Xylose -> B");
  EXPECT_EQ(r2->getReactionString(), "2 Xylose + B -> C");
  EXPECT_EQ(r3->getReactionString(), "C -> Xylose");
  EXPECT_EQ(r1->getReactionRate(), "k*Xylose");
  EXPECT_EQ(r2->getReactionRate(), "k*Xylose*B - Xylose/k");
  EXPECT_EQ(r3->getReactionRate(), "k*C");
  EXPECT_EQ(a->getListeners(), (Listeners{r1, r2, r3}));
  EXPECT_EQ(r1->getReactionRateExpression()->getResolvedComponent("Xylose"), a);

  // A name that is no identifier is bracketed in the rate.
  a->rename("alpha glucose");
  EXPECT_EQ(r1->getReactionString(), "[alpha glucose] -> B");
  EXPECT_EQ(r1->getReactionRate(), "k*[alpha glucose]");
  EXPECT_EQ(a->getInUseCount(), 3u);
}

TEST_F(ReactionModel, RenamedCompartmentChangesQualifiedNames) {
  BCompartment* c1 = compartment("c1");
  BCompartment* c2 = compartment("c2");
  BSpecies* a = species(c1, "A");
  species(c2, "B");
  BReaction* r = reaction("c1.A -> c2.B");
  r->setReactionRate("2*c1.A", true);
  BReaction* other = reaction("c2.B -> null");
  other->setReactionRate("c2.B", true);

  c1->rename("cell");
  EXPECT_EQ(r->getReactionString(), "cell.A -> c2.B");
  EXPECT_EQ(r->getReactionRate(), "2*cell.A");
  EXPECT_EQ(r->getReactionRateExpression()->getResolvedComponent("cell.A"), a);
  EXPECT_EQ(other->getReactionString(), "c2.B -> null");
  EXPECT_EQ(other->getReactionRate(), "c2.B");
  EXPECT_EQ(a->getListeners(), Listeners{r});
}

TEST_F(ReactionModel, RemovingAReactionLowersInUseCounts) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  BSpecies* b = species(c1, "B");
  BParameter* k = parameter("k");
  BReaction* r1 = reaction("A -> B");
  r1->setReactionRate("k*A", true);
  BReaction* r2 = reaction("A -> null");
  EXPECT_EQ(a->getInUseCount(), 2u);
  EXPECT_EQ(b->getInUseCount(), 1u);
  EXPECT_EQ(k->getInUseCount(), 1u);
  EXPECT_TRUE(model_->isAnySpeciesUsedByReactions({b}));

  model_->removeReaction(r1);
  EXPECT_EQ(a->getListeners(), Listeners{r2});
  EXPECT_EQ(b->getInUseCount(), 0u);
  EXPECT_EQ(k->getInUseCount(), 0u);
  EXPECT_FALSE(model_->isAnySpeciesUsedByReactions({b}));
  model_->removeReaction(r2);
  EXPECT_EQ(a->getInUseCount(), 0u);
}

TEST_F(ReactionModel, RateNamingALaterParameterResolvesWhenItArrives) {
  BCompartment* c1 = compartment("c1");
  species(c1, "A");
  BReaction* r = reaction("A -> null");
  r->setReactionRate("kdeg*A", true);
  EXPECT_EQ(r->getReactionRateExpression()->getResolvedComponent("kdeg"), nullptr);
  EXPECT_FALSE(r->getReactionRateExpression()->doAllTokensResolve());

  BParameter* kdeg = parameter("kdeg");
  EXPECT_EQ(r->getReactionRateExpression()->getResolvedComponent("kdeg"), kdeg);
  EXPECT_TRUE(r->getReactionRateExpression()->doAllTokensResolve());
  EXPECT_EQ(kdeg->getListeners(), Listeners{r});

  // Removed again, the name waits for its next holder.
  model_->removeParameter(kdeg);
  EXPECT_EQ(r->getReactionRateExpression()->getResolvedComponent("kdeg"), nullptr);
  EXPECT_EQ(r->getReactionRate(), "kdeg*A");
}

TEST_F(ReactionModel, SecondCompartmentQualifiesEveryEquation) {
  BCompartment* c1 = compartment("c1");
  species(c1, "A");
  species(c1, "B");
  BReaction* r1 = reaction("A -> B");
  BReaction* r2 = reaction("2 B <-> null");
  BCompartment* c2 = compartment("c2");
  EXPECT_EQ(r1->getReactionString(), "c1.A -> c1.B");
  EXPECT_EQ(r2->getReactionString(), "2 c1.B <-> null");
  model_->removeCompartment(c2);
  EXPECT_EQ(r1->getReactionString(), "A -> B");
  EXPECT_EQ(r2->getReactionString(), "2 B <-> null");
}

TEST_F(ReactionModel, NamesDenotingTwoComponentsAreMarkedOnce) {
  BCompartment* c1 = compartment("c1");
  species(c1, "A");
  BSpecies* k = species(c1, "k");
  BReaction* r = reaction("A -> null");
  r->setReactionRate("k*A", true);
  BReaction::RatePtr rate = r->getReactionRateExpression();
  EXPECT_FALSE(rate->containsCollisionToken("k"));

  BParameter* kp = parameter("k");
  EXPECT_TRUE(rate->containsCollisionToken("k"));
  EXPECT_EQ(rate->getResolvedComponent("k"), k);  // the species takes precedence
  r->handleCollisionScenario(rate, "k", false);
  EXPECT_EQ(rate->getCollisionTokens().size(), 1u);

  model_->removeParameter(kp);
  r->handleCollisionScenario(rate, "k", false);
  EXPECT_FALSE(rate->containsCollisionToken("k"));
}

TEST_F(ReactionModel, ParametersOfAnotherReactionsLawAreInvisible) {
  BCompartment* c1 = compartment("c1");
  species(c1, "A");
  BReaction* r1 = reaction("A -> null", "r1");
  BReaction* r2 = reaction("null -> A", "r2");
  r2->setReactionRate("kf", true);
  auto* law = kineticLaw<BKineticLaw>(abstractLaw("Unknown"));
  r1->setKineticLaw(law);
  auto* kf = new BParameter();
  owned_.insert(owned_.begin(), kf);
  kf->setName("kf");
  law->addParameter(kf);
  r1->setReactionRate("kf*A", true);
  EXPECT_EQ(r1->getReactionRateExpression()->getResolvedComponent("kf"), kf);
  EXPECT_EQ(r2->getReactionRateExpression()->getResolvedComponent("kf"), nullptr);

  kf->rename("kon");
  EXPECT_EQ(r1->getReactionRate(), "kon*A");
  EXPECT_EQ(r2->getReactionRate(), "kf");
  law->removeParameter(kf);
  r1->setKineticLaw(nullptr);
}

// Unnamed reactions are known by their position: when a reaction before them
// leaves or the order changes, their own kinetic-law parameters must still
// resolve in their rates, and a newly added unnamed reaction gets its key.
TEST_F(ReactionModel, UnnamedReactionsFollowTheirPositions) {
  BCompartment* c1 = compartment("c1");
  for (const char* name : {"A", "B", "C", "D"}) species(c1, name);
  std::vector<BReaction*> reactions;
  std::vector<BKineticLaw*> laws;
  std::vector<BParameter*> kfs;
  for (const char* target : {"A", "B", "C"}) {
    BReaction* r = reaction(std::string(target) + " -> null");
    auto* law = kineticLaw<BKineticLaw>(abstractLaw("Unknown"));
    r->setKineticLaw(law);
    auto* kf = new BParameter();
    owned_.insert(owned_.begin(), kf);
    kf->setName("kf");
    law->addParameter(kf);
    r->setReactionRate(("kf*" + std::string(target)).c_str(), true);
    reactions.push_back(r);
    laws.push_back(law);
    kfs.push_back(kf);
  }
  BReaction* r2 = reactions[1];
  BReaction* r3 = reactions[2];
  const SymbolTable* table = model_->getSymbolTable();

  model_->removeReaction(reactions[0]);
  EXPECT_EQ(r2->resolveSymbol("kf"), kfs[1]);
  EXPECT_EQ(r3->resolveSymbol("kf"), kfs[2]);
  EXPECT_EQ(table->findByQualifiedName("UnnamedReaction_1.kf"), kfs[1]);
  r2->setReactionRate("kf*B", true);
  r3->setReactionRate("kf*C", true);
  EXPECT_EQ(r2->getReactionRateExpression()->getResolvedComponent("kf"), kfs[1]);
  EXPECT_EQ(r3->getReactionRateExpression()->getResolvedComponent("kf"), kfs[2]);

  BReaction* r4 = reaction("D -> null");
  EXPECT_TRUE(table->containsComponent(r4));
  EXPECT_EQ(table->findByQualifiedName("UnnamedReaction_3"), r4);

  model_->reorderReactions({r4, r3, r2});
  EXPECT_EQ(table->findByQualifiedName("UnnamedReaction_1"), r4);
  EXPECT_EQ(table->findByQualifiedName("UnnamedReaction_2"), r3);
  EXPECT_EQ(r3->resolveSymbol("kf"), kfs[2]);
  EXPECT_EQ(r2->resolveSymbol("kf"), kfs[1]);
  EXPECT_EQ(table->findByQualifiedName("UnnamedReaction_3.kf"), kfs[1]);

  for (size_t i = 0; i < laws.size(); ++i) {
    laws[i]->removeParameter(kfs[i]);
    reactions[i]->setKineticLaw(nullptr);
  }
}

// A rename to the name a component already has (blanks aside) changes no
// expression, with or without an undo record.
TEST_F(ReactionModel, RenameToTheOwnNameChangesNothing) {
  BCompartment* c = compartment("c");
  BSpecies* a = species(c, "A");
  BParameter* k = parameter("k");
  BReaction* r = reaction("A -> null", "r1");
  r->setReactionRate("k*A", true);
  for (const char* same : {"A", "  A "}) {
    a->rename(same);
    EXPECT_EQ(a->getName(), "A");
    EXPECT_EQ(r->getReactionRate(), "k*A");
    EXPECT_EQ(r->getReactionString(), "A -> null");
    quorvix::type_defs::RenameUndoData undo = a->rename(same, {});
    EXPECT_TRUE(undo.expressionPositions.empty());
    EXPECT_EQ(r->getReactionRate(), "k*A");
  }
  k->rename("k");
  EXPECT_EQ(r->getReactionRate(), "k*A");
  EXPECT_EQ(a->getListeners(), Listeners{r});
  EXPECT_EQ(r->getReactionRateExpression()->getResolvedComponent("A"), a);
}

// The Michaelis-Menten enzyme model E + S <-> ES -> E + P.
TEST_F(ReactionModel, MichaelisMentenModel) {
  BCompartment* cell = compartment("cell");
  for (const char* name : {"E", "S", "ES", "P"}) species(cell, name);
  for (const char* name : {"kf", "kr", "kcat"}) parameter(name);
  BReaction* binding = reaction("E + S <-> ES", "binding");
  binding->setReactionRate("kf*E*S - kr*ES", true);
  BReaction* catalysis = reaction("ES -> E + P", "catalysis");
  catalysis->setReactionRate("kcat*ES", true);

  EXPECT_TRUE(binding->getReactionRateExpression()->doAllTokensResolve());
  EXPECT_TRUE(catalysis->getReactionRateExpression()->doAllTokensResolve());
  EXPECT_EQ(stoichiometry(*binding), (std::vector<std::string>{"-1", "-1", "1"}));
  EXPECT_EQ(stoichiometry(*catalysis), (std::vector<std::string>{"-1", "1", "1"}));
  EXPECT_EQ(model_->getNumSpeciesInTree(), 4u);
  const auto* e = cell->getNamedSpecies("E");
  EXPECT_EQ(e->getListeners(), (Listeners{binding, catalysis}));
}


// A new rate releases only what the old rate alone used: the equation's
// species stay listened to, also one the old rate named by its qualified
// name, while a parameter and a species only the old rate named, and a name
// it waited for, no longer reach the reaction.
TEST_F(ReactionModel, ReplacedRateReleasesOnlyWhatItAloneUsed) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  BSpecies* b = species(c1, "B");
  BSpecies* c = species(c1, "C");
  BParameter* k1 = parameter("k1");
  BParameter* k2 = parameter("k2");
  BReaction* r = reaction("A -> B");
  BReaction* other = reaction("C -> null");
  other->setReactionRate("k1*C", true);
  r->setReactionRate("k1*A*c1.B + C/kx", true);
  EXPECT_EQ(k1->getListeners(), (Listeners{r, other}));
  EXPECT_EQ(c->getListeners(), (Listeners{r, other}));

  r->setReactionRate("k2*A", true);
  EXPECT_EQ(a->getListeners(), Listeners{r});
  EXPECT_EQ(b->getListeners(), Listeners{r});
  EXPECT_EQ(k1->getListeners(), Listeners{other});
  EXPECT_EQ(c->getListeners(), Listeners{other});
  EXPECT_EQ(k2->getListeners(), Listeners{r});
  EXPECT_EQ(r->getReactionRateExpression()->getResolvedComponent("A"), a);

  // The names only the old rate used no longer touch the reaction.
  BParameter* kx = parameter("kx");
  EXPECT_TRUE(kx->getListeners().empty());
  k1->rename("kOld");
  c->rename("Cytosine");
  EXPECT_EQ(r->getReactionString(), "A -> B");
  EXPECT_EQ(r->getReactionRate(), "k2*A");
  EXPECT_EQ(other->getReactionRate(), "kOld*Cytosine");

  // The names the equation and the new rate use still propagate.
  a->rename("Alpha");
  b->rename("Beta");
  k2->rename("kNew");
  EXPECT_EQ(r->getReactionString(), "Alpha -> Beta");
  EXPECT_EQ(r->getReactionRate(), "kNew*Alpha");
  EXPECT_EQ(a->getListeners(), Listeners{r});
  EXPECT_EQ(b->getListeners(), Listeners{r});

  // An empty rate keeps the equation's listening and drops the rest.
  r->setReactionRate("", true);
  EXPECT_EQ(a->getListeners(), Listeners{r});
  EXPECT_EQ(b->getListeners(), Listeners{r});
  EXPECT_TRUE(k2->getListeners().empty());
}

}  // namespace
}  // namespace rtest
