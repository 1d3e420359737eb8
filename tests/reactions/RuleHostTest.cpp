// The host class "Rule" driven as a user would: "addrule" with every rule
// type and with property/value pairs, the rule's properties, parserule,
// verifyexpression, display, copyobj, privategetusages, resolveobject and
// each refusal with its identifier and text.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>

#include "RuleEventFixture.hpp"
#include "support/AllocationFailures.hpp"
#include "support/ClassTable.hpp"

namespace rtest {
namespace {

using Strings = std::vector<std::string>;

class RuleHostTest : public RuleEventTest {};

TEST_F(RuleHostTest, ClassTableAsTheUserSeesIt) {
  OBClass* cls = obkRequireClass("Rule");
  EXPECT_STREQ(cls->getFullName(), "Kestrion.Rule");
  expectPropertyTable(cls, {
      {"Active", "bool", true},          {"Annotation", "string", true},
      {"AnnotationFull", "string", false}, {"ID", "string", true},
      {"FullyQualifiedName", "string", false}, {"Name", "string", true},
      {"Notes", "string", true},         {"Parent", "handle", false},
      {"Rule", "string", true},          {"RuleType", "QuorvixRuleTypeEnumType", true},
      {"Tag", "string", true},           {"Type", "string", false},
      {"UserData", "PELLAM array", true}});
  EXPECT_STREQ(cls->getProperty("Active")->getDescription(),
               "Active indicates if a component is used during simulation.");
  EXPECT_EQ(std::string(cls->getProperty("RuleType")->getDescription())
                .rfind("RuleType indicates the type of rule defined by the rule object.", 0),
            0u);
  const Strings methods = {"copyobj",          "copy",      "display", "resolveobject",
                           "privategetusages", "parserule", "help",    "verifyexpression"};
  EXPECT_EQ(methodNamesOf(cls), methods);
  // The enumeration of RuleType, in the order its values were added.
  qxArray* allowed = host().own(OBTypeRepository::getType("QuorvixRuleTypeEnumType")->getAllowedValues());
  EXPECT_EQ(textsOf(allowed),
            (Strings{"algebraic", "assignment", "rate", "initialAssignment", "repeatedAssignment"}));
}

// Every way of calling addrule that is accepted: the type the rule gets,
// its text and the pairs applied.
TEST_F(RuleHostTest, AddRuleWithEveryTypeAndWithPairs) {
  OBInterface* m = model();
  struct Case {
    const char* label;
    std::vector<qxArray*> args;
    const char* type;
    const char* text;
    const char* name;
    bool warns;
  };
  const Case cases[] = {
      {"assignment text", {host().str("x = 1")}, "initialAssignment", "x = 1", "", false},
      {"algebraic text", {host().str(" A + B - 2 ")}, "algebraic", "A + B - 2", "", false},
      {"initialAssignment", {host().str("x = 2"), host().str("initialAssignment")}, "initialAssignment",
       "x = 2", "", false},
      {"repeatedAssignment", {host().str("x = k*A"), host().str("repeatedAssignment")},
       "repeatedAssignment", "x = k*A", "", false},
      {"rate", {host().str("x = -k"), host().str("rate")}, "rate", "x = -k", "", false},
      {"algebraic named", {host().str("A - B"), host().str("algebraic")}, "algebraic", "A - B", "", false},
      {"deprecated assignment", {host().str("y = 3"), host().str("assignment")}, "initialAssignment",
       "y = 3", "", true},
      {"type then pairs", {host().str("z = 1"), host().str("rate"), host().str("Name"), host().str("r1")},
       "rate", "z = 1", "r1", false},
      {"pairs from the second", {host().str("w = 1"), host().str("Name"), host().str("r2"),
                                 host().str("Notes"), host().str("n")},
       "initialAssignment", "w = 1", "r2", false},
  };
  size_t count = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    host().clearLogs();
    const std::vector<qxArray*>& args = c.args;
    std::vector<qxArray*> ins{host().handle(m)};
    ins.insert(ins.end(), args.begin(), args.end());
    qxArray* outs[1] = {nullptr};
    obkCallMethod("addrule", 1, outs, static_cast<int>(ins.size()), ins.data());
    OBInterface* r = objectOf(host().own(outs[0]));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(host().getString(r, "RuleType"), c.type);
    EXPECT_EQ(host().getString(r, "Rule"), c.text);
    EXPECT_EQ(host().getString(r, "Name"), c.name);
    EXPECT_EQ(host().getString(r, "Type"), "rule");
    EXPECT_EQ(objectOf(host().get(r, "Parent")), m);
    EXPECT_EQ(warningIds(), c.warns ? Strings{"Kestrion:KS_DEPRECATED_RULETYPE"} : Strings{});
    EXPECT_EQ(kelbor(m)->getNumRules(), ++count);
  }
  EXPECT_EQ(host().warnings().size(), 0u);
  EXPECT_EQ(handlesOf(host().get(m, "Rules")).size(), std::size(cases));
}

// Refused calls raise the error that names what is wrong with the argument
// (its type, an empty rule, an unknown rule type, a bad property-value pair)
// and leave neither a rule in the model nor an instance alive.
TEST_F(RuleHostTest, AddRuleRefusalsLeaveNothingBehind) {
  OBInterface* m = model();
  expectRefusals(m, "addrule", "Rules", {
      {"not text", {host().num(1)}, "Kestrion:KSTRRULE_INVALID_FIRSTARG", "Invalid RULE. RULE must be a string."},
      {"blank", {host().str("   ")}, "Kestrion:KSTRRULE_RULE_INVALIDVALUE", "Invalid Rule. Rule cannot be empty."},
      {"bad type", {host().str("x = 1"), host().str("bogus")}, "Kestrion:KSTRRULE_INVALID_SECONDARG",
       "Invalid TYPE. TYPE must be 'algebraic', 'initialAssignment', 'repeatedAssignment' or 'rate'."},
      {"bad pair", {host().str("x = 1"), host().str("rate"), host().str("Bogus"), host().num(1)},
       "Kestrion:KSTR_INVALID_PVPAIR", nullptr},
      {"pair without value", {host().str("x = 1"), host().str("Name"), host().str("n"), host().str("Notes")},
       "Kestrion:KSTR_INVALID_PVPAIR",
       "An error occurred while configuring the PV pairs.\nA property was passed in with no corresponding value."},
      {"wrong type of pair value", {host().str("x = 1"), host().str("rate"), host().str("Active"), host().str("x")},
       "Kestrion:KSTR_INVALID_PVPAIR", nullptr},
  });
  EXPECT_EQ(kelbor(m)->getNumRules(), 0u);
}

TEST_F(RuleHostTest, RuleRuleTypeAndActiveProperties) {
  OBInterface* m = model();
  OBInterface* r = addRule(m, {host().str("x = k*A")});
  host().clearLogs();
  host().set(r, "Rule", host().str("  y = 2*B  "));
  EXPECT_EQ(host().getString(r, "Rule"), "y = 2*B");
  EXPECT_GE(postSets(r, "Rule"), 1u);
  expectHostError([&] { host().set(r, "Rule", host().str(" ")); }, "Kestrion:KSTRRULE_RULE_INVALIDVALUE",
                  "Invalid Rule. Rule cannot be empty.");
  EXPECT_EQ(host().getString(r, "Rule"), "y = 2*B");

  host().set(r, "RuleType", host().str("rate"));
  EXPECT_EQ(host().getString(r, "RuleType"), "rate");
  EXPECT_EQ(*rule(r)->getRuleType(), 3);
  host().set(r, "RuleType", host().str("assignment"));
  EXPECT_EQ(warningIds(), Strings{"Kestrion:KS_DEPRECATED_RULETYPE"});
  EXPECT_EQ(host().warnings()[0].text,
            "Warning: The assignment RuleType has been deprecated.\n Use the initialAssignment RuleType "
            "instead. To evaluate the\n rule at each time step, use the repeatedAssignment RuleType.");
  EXPECT_EQ(host().getString(r, "RuleType"), "initialAssignment");
  expectHostError([&] { host().set(r, "RuleType", host().str("bogus")); }, "obk:InvalidEnumValue");
  EXPECT_EQ(host().getString(r, "RuleType"), "initialAssignment");

  // An algebraic type takes the whole text as f(x), equals sign and all.
  host().set(r, "RuleType", host().str("algebraic"));
  EXPECT_EQ(rule(r)->getRuleVariableString(), "");
  EXPECT_EQ(rule(r)->getRule(), "y = 2*B");

  EXPECT_TRUE(qxGetLogicals(host().get(r, "Active"))[0]);
  host().set(r, "Active", host().logical(false));
  EXPECT_FALSE(qxGetLogicals(host().get(r, "Active"))[0]);
}

TEST_F(RuleHostTest, ParseRuleOutputs) {
  OBInterface* m = model();
  OBInterface* assigned = addRule(m, {host().str("x = k*A + B"), host().str("repeatedAssignment")});
  std::vector<qxArray*> outs = host().call(assigned, "parserule", {}, 4);
  ASSERT_EQ(outs.size(), 4u);
  EXPECT_EQ(textsOf(outs[0]), Strings{"x"});
  EXPECT_EQ(textsOf(outs[1]), (Strings{"A", "B", "k"}));
  EXPECT_EQ(textOf(outs[2]), "x");
  EXPECT_EQ(textOf(outs[3]), "k*A + B");
  // The second form's names and flag change nothing.
  outs = host().call(assigned, "parserule", {host().cell({host().str("k")}), host().logical(true)}, 2);
  EXPECT_EQ(textsOf(outs[1]), (Strings{"A", "B", "k"}));

  OBInterface* algebraic = addRule(m, {host().str("A + sin(B) - 2")});
  outs = host().call(algebraic, "parserule", {}, 4);
  EXPECT_EQ(textsOf(outs[0]), (Strings{"A", "B"}));
  EXPECT_TRUE(qxIsEmpty(outs[1]));
  EXPECT_EQ(textOf(outs[2]), "A + sin(B) - 2");
  EXPECT_TRUE(qxIsEmpty(outs[3]));
  EXPECT_TRUE(host().stacked().empty());

  // An empty rule gives empty results.
  OBInterface* bare = host().construct("Rule");
  outs = host().call(bare, "parserule", {}, 1);
  EXPECT_TRUE(qxIsEmpty(outs[0]));
  kstr_stacked_clear();
}

// The texts "parserule" gives back raise when host memory runs out,
// whichever allocation fails, instead of coming back empty.
TEST_F(RuleHostTest, ParseRuleTextsRaiseWhenHostMemoryRunsOut) {
  OBInterface* m = model();
  OBInterface* rule = addRule(m, {host().str("x = k*A + B"), host().str("repeatedAssignment")});
  qxArray* const args[] = {host().handle(rule)};
  std::vector<std::string> texts;
  const std::function<void()> parse = [&] {
    qxArray* outs[4] = {};
    obkCallMethod("parserule", 4, outs, 1, args);
    texts = {textOf(outs[2]), textOf(outs[3])};
    for (qxArray* out : outs) qxDestroyArray(out);
  };
  hostAllocationsOf(parse);  // grows what the parser keeps
  const size_t attempts = hostAllocationsOf(parse);
  ASSERT_EQ(texts, (Strings{"x", "k*A + B"}));
  ASSERT_GT(attempts, 0u);
  for (size_t k = 1; k <= attempts; ++k) {
    const std::string outcome = outcomeWithAllocationFailing(k, parse);
    EXPECT_TRUE(outcome == "Kestrion:MallocError" || outcome == "obk:OutOfMemory") << k << ": " << outcome;
  }
}

// verifyexpression stacks syntax findings only; what does not resolve
// waits for the callers that pass the resolution flag.
TEST_F(RuleHostTest, VerifyExpressionStacksSyntaxFindings) {
  OBInterface* m = model();
  struct Case {
    const char* text;
    const char* type;
    const char* id;
    const char* message;
  };
  const Case cases[] = {
      {"x = = 1", "initialAssignment", "Kestrion:InvalidAssignmentSyntax",
       "Invalid assignment syntax or parse error for rule 'x = = 1'."},
      {"k*(A", "algebraic", "Kestrion:AlgebraicRuleCannotParse",
       "Invalid format or parse error for algebraic rule 'k*(A'. An algebraic rule is defined as f(x) = 0 "
       "and specified as f(x). For example, the constraint s1 = s2 + s3 can be specified as the "
       "algebraic rule s2 + s3 - s1."},
      {"2 = A", "rate", "Kestrion:InvalidAssignmentSyntax",
       "Invalid assignment syntax or parse error for rule '2 = A'."},
      {"nowhere = unknown*2", "rate", nullptr, nullptr},
      {"unknown + 1", "algebraic", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    OBInterface* r = addRule(m, {host().str(c.text), host().str(c.type)});
    kstr_stacked_clear();
    host().call(r, "verifyexpression", {});
    const Stacked stacked = takeStacked();
    if (!c.id) {
      EXPECT_TRUE(stacked.ids.empty());
      continue;
    }
    EXPECT_EQ(stacked.ids, Strings{c.id});
    EXPECT_EQ(stacked.texts, Strings{c.message});
  }
}

TEST_F(RuleHostTest, DisplayOfOneAndSeveralRules) {
  OBInterface* m = model();
  OBInterface* r1 = addRule(m, {host().str("x = 1")});
  OBInterface* r2 = addRule(m, {host().str("A - B")});
  OBInterface* r3 = addRule(m, {host().str("y = k"), host().str("repeatedAssignment")});
  hbTestClearPrinted();
  host().call(r2, "display", {});
  EXPECT_EQ(hbTestPrinted(), "\n   Kestrion Rule Array\n\n"
                             "   Index:    RuleType:    Rule:\n"
                             "   1         algebraic    A - B\n\n");
  hbTestClearPrinted();
  host().call("display", {host().handles({r1, r2, r3})});
  EXPECT_EQ(hbTestPrinted(), "\n   Kestrion Rule Array\n\n"
                             "   Index:    RuleType:             Rule:\n"
                             "   1         initialAssignment     x = 1\n"
                             "   2         algebraic             A - B\n"
                             "   3         repeatedAssignment    y = k\n\n");
}

TEST_F(RuleHostTest, CopyObjUsagesAndResolveObject) {
  OBInterface* m = model();
  OBInterface* a = addSpecies(m, "A");
  OBInterface* k = addParameter(m, "k");
  OBInterface* r = addRule(m, {host().str("x = k*A"), host().str("rate"), host().str("Name"), host().str("r")});
  OBInterface* reaction = addReaction(m, "A -> B");

  EXPECT_EQ(textsOf(host().call(r, "privategetusages", {host().handle(a)}, 1).at(0)), Strings{"Rule"});
  EXPECT_EQ(textsOf(host().call(r, "privategetusages", {host().handle(k)}, 1).at(0)), Strings{"Rule"});
  EXPECT_TRUE(textsOf(host().call(r, "privategetusages", {host().handle(reaction)}, 1).at(0)).empty());
  EXPECT_EQ(objectOf(host().call(r, "resolveobject", {host().str("A")}, 1).at(0)), a);
  EXPECT_EQ(handlesOf(host().call(r, "resolveobject", {host().str("k"), host().logical(true)}, 1).at(0)),
            std::vector<OBInterface*>{k});

  OBInterface* other = model("m2");
  OBInterface* copy = objectOf(host().call(r, "copyobj", {host().handle(other)}, 1).at(0));
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, r);
  EXPECT_EQ(objectOf(host().get(copy, "Parent")), other);
  EXPECT_EQ(host().getString(copy, "Rule"), "x = k*A");
  EXPECT_EQ(host().getString(copy, "RuleType"), "rate");
  EXPECT_EQ(host().getString(copy, "Name"), "r");
  EXPECT_EQ(kelbor(other)->getNumRules(), 1u);
  // The copy's expression is its own.
  host().set(copy, "Rule", host().str("x = 2"));
  EXPECT_EQ(host().getString(r, "Rule"), "x = k*A");
  expectHostError([&] { host().call(r, "copyobj", {host().handle(a)}, 1); }, "Kestrion:COPYOBJ_INVALIDARG");
  expectHostError([&] { host().call(r, "copy", {}); }, "Kestrion:KS_COPY_INVALID_METHOD",
                  "Invalid method. Use the copyobj method instead.");
  // A rule that never had a text can be copied; the user still may not set
  // an empty one.
  OBInterface* bare = host().construct("Rule");
  OBInterface* bareCopy = objectOf(host().call(bare, "copyobj", {host().handle(other)}, 1).at(0));
  ASSERT_NE(bareCopy, nullptr);
  EXPECT_EQ(host().getString(bareCopy, "Rule"), "");
  expectHostError([&] { host().set(bareCopy, "Rule", host().str("")); }, "Kestrion:KSTRRULE_RULE_INVALIDVALUE");
}

TEST_F(RuleHostTest, DeletingARuleTakesItOutOfItsModel) {
  OBInterface* m = model();
  OBInterface* a = addSpecies(m, "A");
  OBInterface* r1 = addRule(m, {host().str("x = A")});
  OBInterface* r2 = addRule(m, {host().str("y = A")});
  EXPECT_EQ(qxGetScalar(host().get(a, "InUseCount")), 2.0);
  EXPECT_EQ(rule(r2)->getDefaultName(), "unnamed_Rule2");
  EXPECT_TRUE(host().destroy(r1));
  EXPECT_EQ(handlesOf(host().get(m, "Rules")), std::vector<OBInterface*>{r2});
  EXPECT_EQ(kelbor(m)->getNumRules(), 1u);
  EXPECT_EQ(qxGetScalar(host().get(a, "InUseCount")), 1.0);
  EXPECT_EQ(rule(r2)->getDefaultName(), "unnamed_Rule1");
}

}  // namespace
}  // namespace rtest

namespace rtest {
namespace {

// Handles of the wrong class are refused where rules and events are
// expected, and nothing joins the model.
// A rule whose text does not parse keeps the names it holds: each rename of
// its variable rewrites it, and the rule keeps listening to the variable.
TEST_F(RuleHostTest, RulesThatDoNotParseFollowEveryRename) {
  struct Case {
    const char* text;
    const char* type;
    const char* afterFirst;
    const char* afterSecond;
  };
  const std::vector<Case> cases = {
      {"A = = 1", "rate", "B = = 1", "C = = 1"},
      {"A = k*(", "repeatedAssignment", "B = k*(", "C = k*("},
      {"A = 2 +", "initialAssignment", "B = 2 +", "C = 2 +"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    OBInterface* m = model();
    OBInterface* a = addSpecies(m, "A");
    addParameter(m, "k");
    OBInterface* rule = addRule(m, {host().str(c.text), host().str(c.type)});
    ASSERT_EQ(componentOf(a)->getInUseCount(), 1u);
    host().call(a, "rename", {host().str("B")});
    EXPECT_EQ(host().getString(rule, "Rule"), c.afterFirst);
    EXPECT_EQ(componentOf(a)->getInUseCount(), 1u);
    host().call(a, "rename", {host().str("C")});
    EXPECT_EQ(host().getString(rule, "Rule"), c.afterSecond);
    EXPECT_EQ(componentOf(a)->getInUseCount(), 1u);
    host().call(m, "delete");
  }
}

TEST_F(RuleHostTest, HandlesOfTheWrongClassAreRefused) {
  OBInterface* m = model();
  OBInterface* freeRule = host().construct("Rule", {host().str("x = 1")});
  OBInterface* freeEvent = host().construct("Event", {host().str("time > 1"), host().str("x = 1")});
  EXPECT_TRUE(TestHost::errorOf([&] { host().set(m, "Rules", host().handles({freeEvent}), true); }).has_value());
  EXPECT_TRUE(TestHost::errorOf([&] { host().set(m, "Events", host().handles({freeRule}), true); }).has_value());
  EXPECT_EQ(kelbor(m)->getNumRules(), 0u);
  EXPECT_EQ(kelbor(m)->getNumEvents(), 0u);
  EXPECT_EQ(freeRule->getUp(), nullptr);
  EXPECT_EQ(freeEvent->getUp(), nullptr);
  // A rule's methods refuse an event as their object.
  OBMethodInfo* parse = obkRequireClass("Rule")->getMethod("parserule");
  void* ins[1] = {freeEvent};
  void* outs[4] = {};
  int count = 1;
  try {
    parse->invoke(parse->getMethodSignatures()[0], count, outs, 1, ins);
    ADD_FAILURE() << "no error";
  } catch (const ErrorIdException& e) {
    EXPECT_EQ(e.getIdentifier(), "obk:InvalidObject");
  }
}

}  // namespace
}  // namespace rtest
