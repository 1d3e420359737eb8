// The expression-based component in a small model: how its per-expression
// updates re-resolve tokens, keep collision tokens right and tell the
// desktop, and the mechanics of the rename helper.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>

#include "expressions/MathExpression.hpp"
#include "expressions/SymbolTable.hpp"
#include "model/Kelbor.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "support/TestComponents.hpp"
#include "support/ModelWorld.hpp"
#include "support/TestRule.hpp"

namespace {

class ComponentModel : public ModelWorld {
 protected:
  bool waits(const std::string& name, ExpressionBasedComponent* listener) const {
    SymbolTable::ListenerSetPtr waiting = model_->getSymbolTable()->findPendingListeners(name);
    return waiting && waiting->count(listener) != 0;
  }
};

// --- one desktop update per change ----------------------------------------------------

// Each step changes whether the token "k" collides; the update that the
// change reaches examines the collision quietly and sends exactly one
// update of its own.
struct CollisionStep {
  const char* what;
  std::function<void()> change;
  bool collides;
  KelborComponent* const* resolvedTo;
};

TEST_F(ComponentModel, EachUpdateSendsOneEventWhenACollisionChanges) {
  BCompartment* c1 = compartment("c1");
  BParameter* k = parameter("k");
  TestRule* r = rule("k*2");
  ASSERT_EQ(r->resolved("k"), k);
  ASSERT_FALSE(r->collides("k"));

  KelborComponent* parameterK = k;
  KelborComponent* speciesK = nullptr;
  BSpecies* added = nullptr;
  const CollisionStep steps[] = {
      {"a species k arrives: it wins the bare name, which now collides",
       [&] {
         added = species(c1, "k");
         speciesK = added;
       },
       true, &speciesK},
      {"the species leaves: the token falls back to the parameter",
       [&] { c1->removeSpecies(added); }, false, &parameterK},
      {"a stale collision token is re-examined on a name change",
       [&] {
         r->expression()->addCollisionToken("k");
         r->updateExpressionForComponentNameChange(r->expression(), k, "k", "k");
       },
       false, &parameterK},
  };
  for (const CollisionStep& step : steps) {
    const int before = r->updateEvents;
    step.change();
    EXPECT_EQ(r->updateEvents - before, 1) << step.what;
    EXPECT_EQ(r->collides("k"), step.collides) << step.what;
    EXPECT_EQ(r->resolved("k"), *step.resolvedTo) << step.what;
  }
}

TEST_F(ComponentModel, AdditionIsAppliedAndSentOnceEvenWhileDeferring) {
  BCompartment* c1 = compartment("c1");
  parameter("k");
  TestRule* r = rule("k + 1");
  EXPECT_FALSE(r->deferNotification(true));
  const int before = r->updateEvents;
  BSpecies* s = species(c1, "k");
  EXPECT_EQ(r->resolved("k"), s);
  EXPECT_TRUE(r->collides("k"));
  EXPECT_EQ(r->updateEvents - before, 1);
  EXPECT_TRUE(r->deferNotification(false));
  EXPECT_EQ(r->updateEvents - before, 1);  // nothing was queued
}

// --- a waiting ambiguous name -------------------------------------------------------------

TEST_F(ComponentModel, AmbiguousNameResolvesWhenOneOfItsHoldersLeaves) {
  for (const bool deferring : {false, true}) {
    SCOPED_TRACE(deferring ? "deferring" : "applying");
    BCompartment* c1 = compartment(deferring ? "d1" : "c1");
    BCompartment* c2 = compartment(deferring ? "d2" : "c2");
    BSpecies* a1 = species(c1, deferring ? "B" : "A");
    BSpecies* a2 = species(c2, deferring ? "B" : "A");
    const std::string name = deferring ? "B" : "A";
    TestRule* r = rule(name + " + 1");
    ASSERT_EQ(r->resolved(name), nullptr);
    ASSERT_TRUE(waits(name, r));

    if (deferring) r->deferNotification(true);
    c2->removeSpecies(a2);
    if (deferring) {
      EXPECT_EQ(r->resolved(name), nullptr);  // queued, not applied yet
      r->deferNotification(false);
    }
    EXPECT_EQ(r->resolved(name), a1);
    EXPECT_EQ(a1->getListeners().count(r), 1u);
    EXPECT_FALSE(waits(name, r));
    EXPECT_EQ(r->text(), name + " + 1");  // a removal never rewrites the text
  }
}

TEST_F(ComponentModel, AmbiguousNameResolvesWhenOneOfItsHoldersIsRenamed) {
  BCompartment* c1 = compartment("c1");
  BCompartment* c2 = compartment("c2");
  BSpecies* a1 = species(c1, "A");
  BSpecies* a2 = species(c2, "A");
  TestRule* r = rule("A + 1");
  ASSERT_EQ(r->resolved("A"), nullptr);
  ASSERT_TRUE(waits("A", r));

  a2->rename("Z");
  EXPECT_EQ(r->resolved("A"), a1);
  EXPECT_EQ(a1->getListeners().count(r), 1u);
  EXPECT_FALSE(waits("A", r));
  EXPECT_EQ(r->text(), "A + 1");
}

TEST_F(ComponentModel, UnresolvableBareNameStaysWaitingWhenAnotherHolderLeaves) {
  BCompartment* c1 = compartment("c1");
  BCompartment* c2 = compartment("c2");
  BCompartment* c3 = compartment("c3");
  species(c1, "A");
  species(c2, "A");
  BSpecies* third = species(c3, "A");
  TestRule* r = rule("A * 3");
  ASSERT_TRUE(waits("A", r));
  c3->removeSpecies(third);  // still two holders: still ambiguous
  EXPECT_EQ(r->resolved("A"), nullptr);
  EXPECT_TRUE(waits("A", r));
}

// --- updates queued while deferring ------------------------------------------------------

// A rule that records every removal and name change applied to its
// expression, then applies it as the base does.
class WatchingRule : public TestRule {
 public:
  using TestRule::TestRule;
  std::vector<std::string> applied;

  void applyComponentRemoved(const ExpressionPtr& expression, const KelborComponent* removed,
                             const std::string& removedBracketedName) override {
    applied.push_back("removed " + removedBracketedName);
    TestRule::applyComponentRemoved(expression, removed, removedBracketedName);
  }
  void applyComponentNameChange(const ExpressionPtr& expression, const std::string& oldBracketedName,
                                const std::string& oldQualifiedName) override {
    applied.push_back("nameChange " + oldBracketedName);
    TestRule::applyComponentNameChange(expression, oldBracketedName, oldQualifiedName);
  }
};

// The updates queued while the rule defers come back through the
// subclass's slots when the outermost bracket closes, oldest first, with
// the names taken when they were queued: the removed parameter is already
// deleted by then.
TEST_F(ComponentModel, QueuedUpdatesReplayThroughTheSubclassSlots) {
  BParameter* k = parameter("k");
  BParameter* j = parameter("j");
  auto* r = new WatchingRule("k + j");
  model_->addRule(r);
  rules_.push_back(r);
  afterModel_.push_back(r);
  ASSERT_EQ(r->resolved("k"), k);

  // Applied at once while the rule is not deferring.
  r->expression()->addCollisionToken("j");
  r->updateExpressionForComponentNameChange(r->expression(), j, "j", "j");
  EXPECT_EQ(r->applied, std::vector<std::string>{"nameChange j"});
  r->applied.clear();

  EXPECT_FALSE(r->deferNotification(true));
  model_->removeParameter(k);
  owned_.erase(std::find(owned_.begin(), owned_.end(), k));
  delete k;
  j->rename("j2");
  EXPECT_TRUE(r->applied.empty()) << "applied while deferring";
  EXPECT_TRUE(r->deferNotification(false));
  // A rename tells its listeners of the old names and of the removal.
  EXPECT_EQ(r->applied, (std::vector<std::string>{"removed k", "nameChange j", "removed j2"}));
  EXPECT_EQ(r->resolved("k"), nullptr);
  EXPECT_TRUE(waits("k", r));
  EXPECT_EQ(r->text(), "k + j2");
  EXPECT_EQ(r->resolved("j2"), j);
}

// --- renameHelper ---------------------------------------------------------------------------

struct RenameHelperCase {
  const char* text;
  bool bindT1;
  bool bindT2;
  bool f1;
  bool f2;
  const char* t1To;  // nullptr: no entry for T1
  const char* t2To;
  uint64_t answer;
};

TEST(RenameHelper, BuildsTheMapAndAnswersFromMatchesAndFlags) {
  const RenameHelperCase cases[] = {
      {"A + c1.A", true, true, true, true, "V", "U", 4294967295ull},
      {"A + c1.A", true, true, false, false, "U", "V", 0},
      {"A + c1.A", true, true, true, false, "V", "V", 4294967295ull},
      {"A", true, false, true, true, "V", nullptr, 1},
      {"A", true, false, false, true, "U", nullptr, 0},
      {"c1.A", false, true, true, true, nullptr, "U", 0},
      {"A + c1.A", false, false, true, true, nullptr, nullptr, 0},
      {"x", false, false, true, true, nullptr, nullptr, 0},
  };
  TestComponent target(kstr::species);
  TestComponent other(kstr::species);
  for (const RenameHelperCase& c : cases) {
    SCOPED_TRACE(c.text);
    kstr::MathExpression expression(c.text);
    // Only tokens of the text are bound (binding another would add it).
    for (const char* token : {"A", "c1.A"}) {
      if (!expression.containsToken(token)) continue;
      const bool toTarget = std::string(token) == "A" ? c.bindT1 : c.bindT2;
      expression.setResolvedComponent(token, toTarget ? &target : &other);
    }
    ExpressionBasedComponent::SubstitutionMap map;
    const uint64_t answer = ExpressionBasedComponent::renameHelper(
        &target, "A", "c1.A", "U", "V", c.f1, c.f2, &expression, map);
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(map.count("A") != 0, c.t1To != nullptr);
    EXPECT_EQ(map.count("c1.A") != 0, c.t2To != nullptr);
    if (c.t1To) {
      EXPECT_EQ(map["A"], c.t1To);
    }
    if (c.t2To) {
      EXPECT_EQ(map["c1.A"], c.t2To);
    }
  }
}

}  // namespace
