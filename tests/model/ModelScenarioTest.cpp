// Small models that exercise name resolution and change propagation end to
// end: the model, its symbol table, compartments, species, parameters and
// rule-like expression-based components.
#include <gtest/gtest.h>

#include <memory>

#include <hb/hb_test.hpp>
#include <ks_utils/CompileData.hpp>
#include <ks_utils/MiniCompileManager.hpp>
#include <obk/Exception.hpp>
#include <sv/sv_test.hpp>

#include "configsets/KStrConfigurationSet.hpp"
#include "expressions/SymbolTable.hpp"
#include "model/SimulatorInterfaces.hpp"
#include "core/UsageFinder.hpp"
#include "model/Kelbor.hpp"
#include <obk/obk.hpp>
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"
#include "support/TestComponents.hpp"
#include "support/ProbeReaction.hpp"
#include "support/ModelWorld.hpp"
#include "support/TestRule.hpp"

namespace {

class ScenarioModel : public ModelWorld {
};

TEST_F(ScenarioModel, BareNameCollidesAndResolvesAgain) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  TestRule* r = rule("A + 1");
  EXPECT_EQ(r->resolved("A"), a);
  EXPECT_FALSE(r->collides("A"));
  EXPECT_EQ(a->getInUseCount(), 1u);

  // A model parameter with the same name: the species still wins, but the
  // token now denotes two components.
  BParameter* pa = parameter("A");
  r->setText("A + 1");
  EXPECT_EQ(r->resolved("A"), a);
  EXPECT_TRUE(r->collides("A"));

  model_->removeParameter(pa);
  EXPECT_EQ(r->resolved("A"), a);
  EXPECT_FALSE(r->collides("A"));
}

TEST_F(ScenarioModel, SecondSpeciesOfTheSameNameQualifiesTheFirst) {
  BCompartment* c1 = compartment("c1");
  BCompartment* c2 = compartment("c2");
  BSpecies* a1 = species(c1, "A");
  TestRule* r = rule("2*A");
  ASSERT_EQ(r->resolved("A"), a1);
  species(c2, "A");
  EXPECT_EQ(r->text(), "2*c1.A");
  EXPECT_EQ(r->resolved("c1.A"), a1);
}

TEST_F(ScenarioModel, ExpressionWaitsForANameThatArrivesLater) {
  TestRule* r = rule("k * 2");
  EXPECT_EQ(r->resolved("k"), nullptr);
  BParameter* k = parameter("k");
  EXPECT_EQ(r->resolved("k"), k);
  EXPECT_EQ(r->text(), "k * 2");
  EXPECT_EQ(k->getInUseCount(), 1u);
}

TEST_F(ScenarioModel, RenameWithUndoRestoresEveryText) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  species(c1, "B");
  TestRule* r1 = rule("A + B");
  TestRule* r2 = rule("A*A - 3");
  TestRule* r3 = rule("B");

  auto record = a->rename("X", quorvix::type_defs::RenameUndoData{});
  EXPECT_EQ(a->getName(), "X");
  EXPECT_EQ(r1->text(), "X + B");
  EXPECT_EQ(r2->text(), "X*X - 3");
  EXPECT_EQ(r3->text(), "B");

  a->rename("A", record);
  EXPECT_EQ(r1->text(), "A + B");
  EXPECT_EQ(r2->text(), "A*A - 3");
  EXPECT_EQ(r3->text(), "B");
  EXPECT_EQ(r1->resolved("A"), a);
}

TEST_F(ScenarioModel, InvalidRenameLeavesEverythingUntouched) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  TestRule* r = rule("A + 1");
  for (const char* bad : {"time", "x]", "\t"}) {
    EXPECT_THROW(a->rename(bad), ErrorIdException) << bad;
    EXPECT_EQ(a->getName(), "A");
    EXPECT_EQ(r->text(), "A + 1");
    EXPECT_EQ(r->resolved("A"), a);
    EXPECT_EQ(model_->getSymbolTable()->resolveSymbol("A", static_cast<ExpressionBasedComponent*>(r)), a);
  }
}

TEST_F(ScenarioModel, CompartmentRenameReachesQualifiedNames) {
  BCompartment* c1 = compartment("c1");
  BCompartment* c2 = compartment("c2");
  BSpecies* a = species(c1, "A");
  species(c2, "A");
  TestRule* qualified = rule("c1.A * 2");
  ASSERT_EQ(qualified->resolved("c1.A"), a);
  c1->rename("lung");
  EXPECT_EQ(qualified->text(), "lung.A * 2");
  EXPECT_EQ(qualified->resolved("lung.A"), a);
}

TEST_F(ScenarioModel, DeferredRemovalIsReplayedOnceAtTheOutermostClose) {
  BParameter* k = parameter("k");
  TestRule* r = rule("k + 1");
  ASSERT_EQ(r->resolved("k"), k);

  EXPECT_FALSE(r->deferNotification(true));
  EXPECT_TRUE(r->deferNotification(true));
  model_->removeParameter(k);
  EXPECT_EQ(r->resolved("k"), k);  // queued, not applied
  EXPECT_TRUE(r->deferNotification(true));  // inner close: nothing replayed
  EXPECT_EQ(r->resolved("k"), k);
  EXPECT_TRUE(r->deferNotification(false));  // outer close: replayed
  EXPECT_EQ(r->resolved("k"), nullptr);

  // The name waits again and resolves when a parameter k comes back.
  BParameter* k2 = parameter("k");
  EXPECT_EQ(r->resolved("k"), k2);
}

TEST_F(ScenarioModel, EachListenerIsToldOncePerChange) {
  BCompartment* c1 = compartment("c1");
  species(c1, "A");
  TestRule* r = rule("A + A*A + c1.A");
  r->told.clear();
  BParameter* pa = parameter("A");
  EXPECT_EQ(std::count(r->told.begin(), r->told.end(), "added A"), 1);
  r->told.clear();
  model_->removeParameter(pa);
  EXPECT_EQ(std::count(r->told.begin(), r->told.end(), "removed A"), 1);
}

TEST_F(ScenarioModel, NothingUpdatesWhileTheModelIsBeingDestroyed) {
  BParameter* k = parameter("k");
  TestRule* r = rule("k");
  r->told.clear();
  model_->notifyModelBeingDestroyed();
  model_->removeParameter(k);
  EXPECT_TRUE(r->told.empty());
  EXPECT_EQ(model_->resolveSymbol("k", static_cast<ExpressionBasedComponent*>(r)), nullptr);
  EXPECT_FALSE(model_->resolveSymbolsAndListen({}, {"k"}, static_cast<ExpressionBasedComponent*>(r)));
}

TEST_F(ScenarioModel, ComponentsOutsideAModelResolveToNothing) {
  TestRule free("A + k");
  std::set<std::string> tokens;
  free.resolveTokensInExpressionAndListen(free.expression());
  EXPECT_EQ(free.resolved("A"), nullptr);
  EXPECT_FALSE(free.resolveSymbolWithCollisions("A"));
}

// --- compile state ------------------------------------------------------------

// A configuration set without option objects: its own flag is all it has.
class FakeSet : public KStrConfigurationSet {
 public:
  explicit FakeSet(const std::string& name) { setName(name); }
};

class NoModel : public CModelApi {
 public:
  qxArray_tag* getQxEventTriggerCode() const override { return nullptr; }
  qxArray_tag* getQxEventFunctionCode() const override { return nullptr; }
};

TEST_F(ScenarioModel, CompileNeededFlagAndCache) {
  EXPECT_TRUE(model_->getCompileNeeded());
  model_->setCompileNeeded(false);
  parameter("k");
  EXPECT_TRUE(model_->getCompileNeeded());

  FakeSet set("default");
  model_->addConfigSet(&set);
  model_->setActiveConfigSet("default");
  kstrVector<const Dose*> noDoses;
  EXPECT_FALSE(model_->canUseCachedModel(&set, &noDoses));

  svSetFeature("KestriCacheCompiledModels", false);
  model_->setCachedCModel(boost::make_shared<NoModel>(), &set, noDoses);
  EXPECT_TRUE(model_->getCompileNeeded());
  EXPECT_FALSE(model_->getCachedCModel());

  svSetFeature("KestriCacheCompiledModels", true);
  model_->setCachedCModel(boost::make_shared<NoModel>(), &set, noDoses);
  EXPECT_FALSE(model_->getCompileNeeded());
  EXPECT_FALSE(set.getCompileNeeded());
  EXPECT_TRUE(model_->canUseCachedModel(&set, &noDoses));
  parameter("k2");
  EXPECT_FALSE(model_->canUseCachedModel(&set, &noDoses));
  model_->removeConfigSet("default");
}

TEST_F(ScenarioModel, UpdateAlwaysFinishes) {
  auto& control = MiniCompileManagerControl::instance();
  control.reset();
  model_->update(nullptr, nullptr, nullptr);  // no active set: null passed on
  ASSERT_EQ(control.calls().size(), 1u);
  EXPECT_EQ(control.calls()[0].configSet, nullptr);
  EXPECT_EQ(control.finishCount(), 1u);

  control.setMode(MiniCompileManagerControl::Mode::Throw);
  EXPECT_THROW(model_->update(nullptr, nullptr, nullptr), ErrorIdException);
  EXPECT_EQ(control.finishCount(), 2u);
  control.reset();
}

TEST_F(ScenarioModel, PartiallyQualifiedNames) {
  BCompartment* cell = compartment("cell");
  BSpecies* a = species(cell, "A");
  BParameter* k1 = parameter("k1");
  struct Case {
    const char* name;
    kstr::bcomptype kind;
    KelborComponent* expected;
  } cases[] = {
      {"cell.A", kstr::species, a},  {"k1", kstr::parameter, k1}, {"cell", kstr::compartment, cell},
      {"cell.r1", kstr::reaction, nullptr}, {"a.b.c", kstr::species, nullptr},
      {".x", kstr::parameter, nullptr},     {"[cell].[A]", kstr::species, a},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(model_->getPartiallyQualifiedComponent(c.name, c.kind), c.expected) << c.name;
  }
}

}  // namespace

namespace {

TEST_F(ScenarioModel, UsagesListExpressionUsersByKindAndOrder) {
  BParameter* k = parameter("k");
  TestRule* r1 = rule("k");
  TestRule* r2 = rule("k*2");
  rule("3");
  OBClass ruleClass;
  ruleClass.setName("Rule");
  auto* h1 = new OBInterface(static_cast<KelborComponent*>(r1), &ruleClass);
  auto* h2 = new OBInterface(static_cast<KelborComponent*>(r2), &ruleClass);
  r1->setOBI(h1);
  r2->setOBI(h2);
  Vector order;  // the model's rule vector lists r2 first
  order.addElement(h2);
  order.addElement(h1);
  model_->setOBIRules(&order);

  Vector sorted;
  collectListenerUsages(&sorted, k, true);
  ASSERT_EQ(sorted.size(), 2);
  EXPECT_EQ(sorted.elementAt(0), h2);
  EXPECT_EQ(sorted.elementAt(1), h1);
  Vector unsorted;
  collectListenerUsages(&unsorted, k, false);
  EXPECT_EQ(unsorted.size(), 2);
  collectComponentUsages(&unsorted, k);  // no variants or doses
  EXPECT_EQ(unsorted.size(), 2);

  BParameter outside;
  Vector none;
  collectListenerUsages(&none, &outside, true);
  EXPECT_EQ(none.size(), 0);

  for (Vector* v : {&sorted, &unsorted}) {
    for (OBInterface* h : v->elements()) h->releaseReference();
  }
  model_->setOBIRules(nullptr);
  r1->setOBI(nullptr);
  r2->setOBI(nullptr);
  h1->releaseReference();
  h2->releaseReference();
}

}  // namespace

namespace {


TEST_F(ScenarioModel, ReactionsAreToldOncePerCompartmentCrossing) {
  ProbeReaction reaction;
  model_->addReaction(&reaction);
  compartment("c1");
  EXPECT_TRUE(reaction.transitions.empty());

  // A free subtree of three compartments takes the count from 1 to 4.
  auto* outer = new BCompartment();
  outer->setName("outer");
  std::string n1 = "inner1", n2 = "inner2";
  BCompartment* inner1 = outer->addCompartment(n1);
  BCompartment* inner2 = outer->addCompartment(n2);
  model_->addCompartment(outer);
  EXPECT_EQ(reaction.transitions, std::vector<bool>{true});
  EXPECT_EQ(model_->getNumCompartmentsInTree(), 4u);
  EXPECT_TRUE(inner2->getModelGlobalData());

  model_->removeCompartment(outer);
  EXPECT_EQ(reaction.transitions, (std::vector<bool>{true, false}));
  model_->removeReaction(&reaction);
  owned_.push_back(outer);
  owned_.insert(owned_.begin(), {inner1, inner2});
}

}  // namespace
