// The rule and event components on their own and in a model built from
// components: the accessors the compile walk and the SBML converters read
// (with misuse answered by empty results), types, default names, copies
// and the placeholder event function.
#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <sstream>
#include <string>

#include <ks_utils/Errors.hpp>
#include <obk/Exception.hpp>

#include "expressions/AssignmentExpression.hpp"
#include "expressions/MathExpression.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BRule.hpp"
#include "support/ModelWorld.hpp"

namespace {

using Tokens = std::set<std::string>;
using Map = kstrMap<std::string, const KelborComponent*>;

class RuleEventComponentTest : public ModelWorld {
 protected:
  BRule* addRule(const char* text) {
    auto* r = new BRule(text);
    model_->addRule(r);
    afterModel_.push_back(r);
    return r;
  }
  BEvent* addEvent(const char* trigger, kstrVector<std::string> fcns) {
    auto* e = new BEvent();
    model_->addEvent(e);
    afterModel_.push_back(e);
    e->setTriggerCondition(trigger);
    e->setTriggerFunctions(&fcns);
    return e;
  }
};

TEST_F(RuleEventComponentTest, RuleTypeFollowsTheTextAndEmptyTextsAreRefused) {
  BRule assigned("  x = A + 1 ");
  EXPECT_EQ(*assigned.getRuleType(), BRule::initialAssignment);
  EXPECT_STREQ(assigned.getRuleTypeName(), "initialAssignment");
  EXPECT_EQ(assigned.getRule(), "x = A + 1");
  BRule algebraic("A + B - 1");
  EXPECT_EQ(*algebraic.getRuleType(), BRule::algebraic);
  EXPECT_EQ(BRule::ruleTypeName(7), nullptr);
  for (const char* blank : {static_cast<const char*>(nullptr), "", "  \t "}) {
    try {
      BRule refused(blank);
      ADD_FAILURE() << "no error";
    } catch (const ErrorIdException& e) {
      EXPECT_EQ(e.getIdentifier(), "Kestrion:KSTRRULE_RULE_INVALIDVALUE");
    }
  }
  EXPECT_THROW(assigned.setRule("   "), ErrorIdException);
  EXPECT_EQ(assigned.getRule(), "x = A + 1");
  const int type = BRule::rate;
  assigned.setRuleType(&type);
  EXPECT_STREQ(assigned.getRuleTypeName(), "rate");
  EXPECT_EQ(assigned.getRuleVariableString(), "x");
}

TEST_F(RuleEventComponentTest, RuleAccessorsOfBothSidesAndMisuse) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  BParameter* k = parameter("k");
  BRule* rate = addRule("A = k*A + sin(B)");
  const int type = BRule::rate;
  rate->setRuleType(&type);
  EXPECT_EQ(rate->getRuleString(), "k*A + sin(B)");
  EXPECT_EQ(rate->getRuleVariableString(), "A");
  EXPECT_NE(rate->getRuleParseTree(), nullptr);
  EXPECT_NE(rate->getRuleVariableParseTree(), nullptr);
  Tokens rhs;
  rate->getRuleTokens(rhs);
  EXPECT_EQ(rhs, (Tokens{"A", "B", "k"}));
  Tokens lhs;
  rate->getRuleVariableTokens(lhs);
  EXPECT_EQ(lhs, Tokens{"A"});
  Map variable;
  rate->fillFromRuleVariableToken2KLCMap(variable);
  EXPECT_EQ(variable.at("A"), a);
  Map right;
  rate->fillFromRuleToken2KLCMap(right);
  EXPECT_EQ(right.at("k"), k);
  EXPECT_EQ(right.at("B"), nullptr);
  EXPECT_EQ(rate->findComponentApiObject("k"), k);

  // An algebraic rule has no variable: empty answers, no crash.
  BRule* algebraic = addRule("A - 2*k");
  EXPECT_EQ(algebraic->getRuleVariableString(), "");
  EXPECT_EQ(algebraic->getRuleVariableParseTree(), nullptr);
  Tokens none;
  algebraic->getRuleVariableTokens(none);
  EXPECT_TRUE(none.empty());
  Map noMap;
  algebraic->fillFromRuleVariableToken2KLCMap(noMap);
  EXPECT_TRUE(noMap.empty());
  EXPECT_EQ(algebraic->getRuleString(), "A - 2*k");
  EXPECT_NE(algebraic->getRuleParseTree(), nullptr);

  EXPECT_EQ(rate->getDefaultName(), "unnamed_Rule1");
  EXPECT_EQ(algebraic->getDefaultName(), "unnamed_Rule2");
  BRule free("x = 1");
  EXPECT_EQ(free.getDefaultName(), "");
  EXPECT_EQ(free.findComponentApiObject("k"), nullptr);
}

TEST_F(RuleEventComponentTest, CopiesShareTheirExpressions) {
  BRule rule("x = 2*y");
  BRule copy(rule);
  EXPECT_EQ(copy.getRuleExpression(), rule.getRuleExpression());
  BRule assigned("z");
  assigned = rule;
  EXPECT_EQ(assigned.getRuleExpression(), rule.getRuleExpression());
  EXPECT_EQ(*assigned.getRuleType(), BRule::initialAssignment);

  BEvent event;
  event.setTriggerCondition("time > 1");
  const kstrVector<std::string> fcns{"a = 1", "b = 2"};
  event.setTriggerFunctions(&fcns);
  BEvent eventCopy(event);
  EXPECT_EQ(eventCopy.getTriggerExpression(), event.getTriggerExpression());
  EXPECT_EQ(eventCopy.getEventFcnExpressions(), event.getEventFcnExpressions());
  std::ostringstream printed;
  eventCopy.debugPrint(printed);
  EXPECT_EQ(printed.str().rfind("Event. Trigger: \n", 0), 0u);
}

TEST_F(RuleEventComponentTest, EventDefaultsPlaceholderAndIndexedAccessors) {
  BEvent bare;
  EXPECT_EQ(bare.getNumTriggerFunctions(), 0u);
  EXPECT_EQ(bare.getTrigger(), "");
  EXPECT_EQ(*bare.getTriggerDelay(), 0.0);
  EXPECT_STREQ(bare.getTriggerDelayUnits(), "second");
  EXPECT_EQ(bare.getErrString(), "Unnamed Event");
  EXPECT_EQ(bare.getDefaultName(), "");
  // Any delay is stored here: the host property does the checking.
  const double negative = -3.0;
  bare.setTriggerDelay(&negative);
  EXPECT_EQ(*bare.getTriggerDelay(), -3.0);
  bare.setTriggerCondition("time >= 10");
  EXPECT_TRUE(bare.getIsTrigCondTimeDependent());
  ASSERT_EQ(bare.getNumTriggerFunctions(), 1u);
  EXPECT_EQ(bare.getTriggerFunctionAt(0), "");

  // Past the end: empty answers.
  for (uint64_t index : {uint64_t{1}, uint64_t{99}, std::numeric_limits<uint64_t>::max()}) {
    EXPECT_EQ(bare.getTriggerFunctionAt(index), "");
    EXPECT_EQ(bare.getEventFcnLHSExprAt(index), "");
    EXPECT_EQ(bare.getEventFcnRHSExprAt(index), "");
    EXPECT_EQ(bare.getEventFcnLHSParseTreeAt(index), nullptr);
    EXPECT_EQ(bare.getEventFcnRHSParseTreeAt(index), nullptr);
    Tokens tokens;
    bare.getEventFcnLHSTokensAt(index, tokens);
    bare.getEventFcnRHSTokensAt(index, tokens);
    EXPECT_TRUE(tokens.empty());
    Map map;
    bare.fillFromEventFcnLHSToken2KLCMapAt(index, map);
    bare.fillFromEventFcnRHSToken2KLCMapAt(index, map);
    EXPECT_TRUE(map.empty());
  }
  const kstrVector<std::string> none;
  bare.setTriggerFunctions(&none);
  EXPECT_EQ(bare.getNumTriggerFunctions(), 1u);
  bare.setTriggerFunctions(nullptr);
  EXPECT_EQ(bare.getNumTriggerFunctions(), 1u);
}

TEST_F(RuleEventComponentTest, EventAccessorsInAModel) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  BSpecies* b = species(c1, "B");
  BParameter* k = parameter("k");
  BEvent* first = addEvent("A > k", {"A = 0"});
  BEvent* e = addEvent("B < 1", {"A = 2*B", "B = k + A"});
  EXPECT_EQ(e->getDefaultName(), "UnnamedEvent_2");
  EXPECT_EQ(first->getDefaultName(), "UnnamedEvent_1");
  EXPECT_FALSE(e->getIsTrigCondTimeDependent());
  EXPECT_EQ(e->getNumTriggerFunctions(), 2u);
  EXPECT_EQ(e->getTriggerFunctionAt(1), "B = k + A");
  EXPECT_EQ(e->getEventFcnLHSExprAt(1), "B");
  EXPECT_EQ(e->getEventFcnRHSExprAt(1), "k + A");
  Tokens rhs;
  e->getEventFcnRHSTokensAt(1, rhs);
  EXPECT_EQ(rhs, (Tokens{"A", "k"}));
  Map lhs;
  e->fillFromEventFcnLHSToken2KLCMapAt(0, lhs);
  EXPECT_EQ(lhs.at("A"), a);
  Map trigger;
  e->fillFromTriggerToken2KLCMap(trigger);
  EXPECT_EQ(trigger.at("B"), b);
  EXPECT_TRUE(e->isComponentUsedInEventFcns(k));
  EXPECT_FALSE(e->isComponentUsedInTrigger(k));
  EXPECT_EQ(e->findComponentApiObject("k"), k);
  EXPECT_EQ(a->getListeners().count(e), 1u);
  EXPECT_EQ(k->getListeners().count(first), 1u);
}

}  // namespace
