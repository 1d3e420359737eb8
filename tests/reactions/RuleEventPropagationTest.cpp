// How rules and events follow a small real model built as a user would:
// renamed species rewrite exactly the texts that name them (with the
// property notices the desktop needs), removed species leave the texts and
// verification with resolution reports them, names that arrive later
// resolve, the species' usages list rules and events, and a destroyed rule
// or event is forgotten by every species it named.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include <obk/obk.hpp>

#include "RuleEventFixture.hpp"

namespace rtest {
namespace {

using Strings = std::vector<std::string>;

class RuleEventPropagationTest : public RuleEventTest {
 protected:
  void SetUp() override {
    RuleEventTest::SetUp();
    m = model();
    a = addSpecies(m, "A");
    b = addSpecies(m, "B");
    c = addSpecies(m, "C");
    k = addParameter(m, "k");
  }
  Strings eventFcns(OBInterface* e) { return textsOf(host().get(e, "EventFcns")); }
  void rename(OBInterface* object, const char* name) { host().call(object, "rename", {host().str(name)}); }

  OBInterface* m = nullptr;
  OBInterface* a = nullptr;
  OBInterface* b = nullptr;
  OBInterface* c = nullptr;
  OBInterface* k = nullptr;
};

TEST_F(RuleEventPropagationTest, RenameRewritesExactlyTheTextsThatNameTheSpecies) {
  OBInterface* rhs = addRule(m, {host().str("x = k*A"), host().str("repeatedAssignment")});
  OBInterface* variable = addRule(m, {host().str("A = B + 1"), host().str("rate")});
  OBInterface* untouched = addRule(m, {host().str("y = B*C")});
  OBInterface* inTrigger = addEvent(m, {host().str("A > 2"), host().cell({host().str("B = 0"), host().str("C = k")})});
  OBInterface* inSecond =
      addEvent(m, {host().str("time > 1"), host().cell({host().str("B = 1"), host().str("C = A*2")})});
  host().clearLogs();
  rename(a, "Anew");

  EXPECT_EQ(host().getString(rhs, "Rule"), "x = k*Anew");
  EXPECT_EQ(host().getString(variable, "Rule"), "Anew = B + 1");
  EXPECT_EQ(host().getString(untouched, "Rule"), "y = B*C");
  EXPECT_EQ(host().getString(inTrigger, "Trigger"), "Anew > 2");
  EXPECT_EQ(eventFcns(inTrigger), (Strings{"B = 0", "C = k"}));
  EXPECT_EQ(host().getString(inSecond, "Trigger"), "time > 1");
  EXPECT_EQ(eventFcns(inSecond), (Strings{"B = 1", "C = Anew*2"}));

  // The notices: "Rule" for each rule rewritten, "EventFcns" once per event
  // function of an event taking part, "Trigger" where the trigger named it
  // (the species entering the table again under its new name adds one more
  // for each text that names it); nothing where nothing named the species.
  EXPECT_GE(postSets(rhs, "Rule"), 1u);
  EXPECT_GE(postSets(variable, "Rule"), 1u);
  EXPECT_EQ(postSets(untouched, "Rule"), 0u);
  EXPECT_GE(postSets(inTrigger, "Trigger"), 1u);
  EXPECT_EQ(postSets(inTrigger, "EventFcns"), 2u);
  EXPECT_EQ(postSets(inSecond, "Trigger"), 0u);
  EXPECT_GE(postSets(inSecond, "EventFcns"), 2u);

  // The rewritten texts still denote the species.
  EXPECT_EQ(rule(variable)->findComponentApiObject("Anew"), componentOf(a));
  BEvent::Map lhs;
  event(inSecond)->fillFromEventFcnRHSToken2KLCMapAt(1, lhs);
  EXPECT_EQ(lhs.at("Anew"), componentOf(a));
  EXPECT_TRUE(rule(rhs)->isComponentUsedInRule(componentOf(a)));
  kstr_stacked_clear();
  rule(variable)->verifyRuleSyntax(true);
  EXPECT_TRUE(takeStacked().ids.empty());
}

// The rename step of an event alone: a species named only in the second of
// two event functions, renamed to a name another species holds, is written
// qualified there; the answer names that expression, and the event posts
// "EventFcns" once per event function and no "Trigger".
TEST_F(RuleEventPropagationTest, EventRenameStepAnswersTheQualifiedExpressions) {
  OBInterface* e = addEvent(m, {host().str("time > 1"), host().cell({host().str("B = 1"), host().str("C = A*2")})});
  OBInterface* r = addRule(m, {host().str("x = A + 1")});
  host().clearLogs();
  const std::set<size_t> renamed = event(e)->updateExpressionsForRename(componentOf(a), "B", {});
  EXPECT_EQ(renamed, std::set<size_t>{2});
  EXPECT_EQ(postSets(e, "EventFcns"), 2u);
  EXPECT_EQ(postSets(e, "Trigger"), 0u);
  const std::string second = event(e)->getTriggerFunctionAt(1);
  EXPECT_NE(second, "C = A*2");
  EXPECT_NE(second, "C = B*2");
  EXPECT_EQ(event(e)->getTriggerFunctionAt(0), "B = 1");
  EXPECT_EQ(rule(r)->updateExpressionsForRename(componentOf(a), "B", {}), std::set<size_t>{0});
  EXPECT_EQ(postSets(r, "Rule"), 1u);
  // A component the rule does not name: no answer, no notice.
  EXPECT_TRUE(rule(r)->updateExpressionsForRename(componentOf(c), "D", {}).empty());
  EXPECT_EQ(postSets(r, "Rule"), 1u);
}

TEST_F(RuleEventPropagationTest, RemovedSpeciesLeavesTheTextAndVerificationReportsIt) {
  OBInterface* r = addRule(m, {host().str("C = k*B"), host().str("rate")});
  OBInterface* e = addEvent(m, {host().str("B > 1"), host().cell({host().str("A = 1"), host().str("C = B")}),
                                host().str("Name"), host().str("E")});
  EXPECT_EQ(qxGetScalar(host().get(b, "InUseCount")), 2.0);
  kstr_stacked_clear();
  rule(r)->verifyRuleSyntax(true);
  event(e)->verifyTriggerCondition(true);
  event(e)->verifyTriggerFunction(true);
  EXPECT_TRUE(takeStacked().ids.empty());

  ASSERT_TRUE(host().destroy(b));
  EXPECT_EQ(host().getString(r, "Rule"), "C = k*B");
  EXPECT_EQ(host().getString(e, "Trigger"), "B > 1");
  EXPECT_EQ(eventFcns(e), (Strings{"A = 1", "C = B"}));
  // The host's verify methods pass no resolution: nothing to report.
  host().call(r, "verifyexpression", {});
  host().call(e, "verifytrigger", {});
  host().call(e, "verifyeventfcns", {});
  EXPECT_TRUE(takeStacked().ids.empty());
  rule(r)->verifyRuleSyntax(true);
  event(e)->verifyTriggerCondition(true);
  event(e)->verifyTriggerFunction(true);
  const Stacked stacked = takeStacked();
  EXPECT_EQ(stacked.ids, (Strings{"Kestrion:RuleObjectDoesNotResolve", "Kestrion:EventObjectDoesNotResolve",
                                  "Kestrion:EventObjectDoesNotResolve"}));
  EXPECT_EQ(stacked.texts[0],
            "The name 'B' in rule 'C = k*B' does not refer to any in-scope species, parameters, or "
            "compartments.");
  EXPECT_EQ(stacked.texts[1],
            "The name 'B' in event 'E' does not refer to any in-scope species, parameters, or compartments.");

  // A name that arrives later resolves.
  OBInterface* again = addSpecies(m, "B");
  EXPECT_EQ(rule(r)->findComponentApiObject("B"), componentOf(again));
  BEvent::Map trigger;
  event(e)->fillFromTriggerToken2KLCMap(trigger);
  EXPECT_EQ(trigger.at("B"), componentOf(again));
  EXPECT_EQ(qxGetScalar(host().get(again, "InUseCount")), 2.0);
  rule(r)->verifyRuleSyntax(true);
  event(e)->verifyTriggerFunction(true);
  EXPECT_TRUE(takeStacked().ids.empty());
}

// Verification with resolution: what each kind reports about the left side.
TEST_F(RuleEventPropagationTest, LeftSidesUnderResolution) {
  addReaction(m, "A -> B");
  host().set(objectOf(host().get(m, "Reactions")), "Name", host().str("R1"));
  host().set(k, "ConstantValue", host().logical(true));
  struct Case {
    const char* text;
    Strings ruleIds;
    Strings eventIds;
  };
  const Case cases[] = {
      {"k = 2", {}, {"Kestrion:EventFcnBadLHSToken"}},
      {"R1 = A", {"Kestrion:AssignmentRateRuleBadLHSToken"}, {"Kestrion:EventFcnBadLHSToken"}},
      {"A = B + later", {"Kestrion:RuleObjectDoesNotResolve"}, {"Kestrion:EventObjectDoesNotResolve"}},
      {"A = B", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    OBInterface* r = addRule(m, {host().str(c.text), host().str("rate")});
    OBInterface* e = addEvent(m, {host().str("time > 1"), host().str(c.text)});
    kstr_stacked_clear();
    rule(r)->verifyRuleSyntax(false);
    event(e)->verifyTriggerFunction(false);
    EXPECT_TRUE(takeStacked().ids.empty());
    rule(r)->verifyRuleSyntax(true);
    EXPECT_EQ(takeStacked().ids, c.ruleIds);
    event(e)->verifyTriggerFunction(true);
    EXPECT_EQ(takeStacked().ids, c.eventIds);
  }
  // The texts name the rule by its text and the unnamed event by its trigger.
  OBInterface* r = addRule(m, {host().str("R1 = A"), host().str("rate")});
  OBInterface* e = addEvent(m, {host().str("time > 1"), host().str("k = 2")});
  rule(r)->verifyRuleSyntax(true);
  event(e)->verifyTriggerFunction(true);
  EXPECT_EQ(takeStacked().texts,
            (Strings{"The left-hand side of the rule 'R1 = A' does not refer to an in-scope species, "
                     "parameter, or compartment object.",
                     "The left-hand side of event function 'k = 2' in the event with trigger 'time > 1' "
                     "does not refer to a non-constant species, parameter, or compartment object."}));
}

TEST_F(RuleEventPropagationTest, UsagesOfASpeciesListRulesAndEvents) {
  OBInterface* r = addRule(m, {host().str("x = A")});
  OBInterface* e = addEvent(m, {host().str("time > 1"), host().str("C = A")});
  OBInterface* reaction = addReaction(m, "A -> B");
  addRule(m, {host().str("y = B")});
  std::vector<OBInterface*> usages = handlesOf(host().call(a, "privategetusages", {}, 1).at(0));
  EXPECT_EQ(usages, (std::vector<OBInterface*>{reaction, r, e}));
  EXPECT_EQ(qxGetScalar(host().get(a, "InUseCount")), 3.0);
}

// Renaming a compartment rewrites the qualified names of its species.
TEST_F(RuleEventPropagationTest, RenamedCompartmentRewritesQualifiedNames) {
  OBInterface* two = model("two");
  OBInterface* c1 = call1(two, "addcompartment", {host().str("c1")});
  OBInterface* c2 = call1(two, "addcompartment", {host().str("c2")});
  call1(c1, "addspecies", {host().str("S")});
  call1(c2, "addspecies", {host().str("S")});
  OBInterface* r = addRule(two, {host().str("x = c1.S + c2.S"), host().str("repeatedAssignment")});
  OBInterface* e = addEvent(two, {host().str("c1.S > 1"), host().cell({host().str("c2.S = c1.S")})});
  host().clearLogs();
  rename(c1, "cell");
  EXPECT_EQ(host().getString(r, "Rule"), "x = cell.S + c2.S");
  EXPECT_EQ(host().getString(e, "Trigger"), "cell.S > 1");
  EXPECT_EQ(eventFcns(e), Strings{"c2.S = cell.S"});
  EXPECT_GE(postSets(r, "Rule"), 1u);
  EXPECT_GE(postSets(e, "Trigger"), 1u);
  EXPECT_GE(postSets(e, "EventFcns"), 1u);
  kstr_stacked_clear();
  rule(r)->verifyRuleSyntax(true);
  event(e)->verifyTriggerFunction(true);
  EXPECT_EQ(takeStacked().ids, Strings{"Kestrion:AssignmentRateRuleBadLHSToken"});  // x is no component
}

// A copied model carries its rules and events, bound to its own species.
TEST_F(RuleEventPropagationTest, CopiedModelCarriesRulesAndEventsBoundToItsOwnSpecies) {
  addRule(m, {host().str("x = k*A"), host().str("rate"), host().str("Name"), host().str("r")});
  addEvent(m, {host().str("A > 1"), host().cell({host().str("B = 0"), host().str("C = A")})});
  OBInterface* copy = objectOf(host().call(m, "copyobj", {}, 1).at(0));
  ASSERT_NE(copy, nullptr);
  const std::vector<OBInterface*> rules = handlesOf(host().get(copy, "Rules"));
  const std::vector<OBInterface*> events = handlesOf(host().get(copy, "Events"));
  ASSERT_EQ(rules.size(), 1u);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(host().getString(rules[0], "Rule"), "x = k*A");
  EXPECT_EQ(host().getString(rules[0], "RuleType"), "rate");
  EXPECT_EQ(eventFcns(events[0]), (Strings{"B = 0", "C = A"}));
  const KelborComponent* copiedA = rule(rules[0])->findComponentApiObject("A");
  ASSERT_NE(copiedA, nullptr);
  EXPECT_NE(copiedA, componentOf(a));
  BEvent::Map trigger;
  event(events[0])->fillFromTriggerToken2KLCMap(trigger);
  EXPECT_EQ(trigger.at("A"), copiedA);
  EXPECT_EQ(kelbor(copy)->getNumRules(), 1u);
  EXPECT_EQ(kelbor(copy)->getNumEvents(), 1u);
  EXPECT_TRUE(host().destroy(copy));
}

// After a rule or an event is destroyed, renaming, removing and adding the
// species it named touch nothing of it (the sanitizer build watches), also
// for names that are host functions until a species takes them.
TEST_F(RuleEventPropagationTest, DestroyedRulesAndEventsAreForgotten) {
  OBInterface* r = addRule(m, {host().str("x = sin(A) + k"), host().str("repeatedAssignment")});
  OBInterface* e = addEvent(m, {host().str("cos(B) > 0"), host().cell({host().str("C = exp(A)"), host().str("B = k")})});
  OBInterface* kept = addEvent(m, {host().str("A > 1"), host().str("C = 0")});
  EXPECT_EQ(qxGetScalar(host().get(a, "InUseCount")), 3.0);
  ASSERT_TRUE(host().destroy(r));
  ASSERT_TRUE(host().destroy(e));
  EXPECT_EQ(qxGetScalar(host().get(a, "InUseCount")), 1.0);
  EXPECT_EQ(qxGetScalar(host().get(k, "InUseCount")), 0.0);
  EXPECT_EQ(handlesOf(host().get(m, "Events")), std::vector<OBInterface*>{kept});

  OBInterface* sinSpecies = addSpecies(m, "sin");
  OBInterface* cosSpecies = addSpecies(m, "cos");
  OBInterface* expSpecies = addSpecies(m, "exp");
  rename(a, "A2");
  rename(b, "B2");
  rename(sinSpecies, "sine");
  rename(cosSpecies, "cosine");
  ASSERT_TRUE(host().destroy(expSpecies));
  ASSERT_TRUE(host().destroy(c));
  EXPECT_EQ(host().getString(kept, "Trigger"), "A2 > 1");
  EXPECT_EQ(qxGetScalar(host().get(sinSpecies, "InUseCount")), 0.0);
}

}  // namespace
}  // namespace rtest
