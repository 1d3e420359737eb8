// The host class "Event" driven as a user would: "addevent" with a trigger
// and event functions given as text and as cells, the event's properties,
// parsetrigger, parseeventfcns, the two verifications, display, copyobj,
// privategetusages and each refusal with its identifier and text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>

#include "RuleEventFixture.hpp"
#include "support/ClassTable.hpp"
#include "reactions/EventMethods.hpp"

namespace rtest {
namespace {

using Strings = std::vector<std::string>;

class EventHostTest : public RuleEventTest {
 protected:
  Strings eventFcns(OBInterface* e) { return textsOf(host().get(e, "EventFcns")); }
  // A 2-by-2 cell of texts.
  qxArray* square() {
    qxArray* cell = qxCreateCellMatrix(2, 2);
    for (size_t i = 0; i < 4; ++i) qxSetCell(cell, i, qxCreateString("x = 1"));
    return host().own(cell);
  }
};

TEST_F(EventHostTest, ClassTableAsTheUserSeesIt) {
  OBClass* cls = obkRequireClass("Event");
  EXPECT_STREQ(cls->getFullName(), "Kestrion.Event");
  expectPropertyTable(cls, {
      {"Active", "bool", true, "Active indicates if a component is used during simulation."},
      {"Annotation", "string", true, nullptr},
      {"AnnotationFull", "string", false, "Full annotation with tags"},
      {"EventFcns", "PELLAM array", true,
       "Specify an assignment expresssion that defines what occurs when the event is triggered."},
      {"ID", "string", false, "Indicate an ID for the ksmodel component object."},
      {"FullyQualifiedName", "string", false, ""},
      {"Name", "string", true, nullptr},
      {"Notes", "string", true, "Notes can be used to describe a Kestrion object."},
      {"Parent", "handle", false, nullptr},
      {"Tag", "string", true, nullptr},
      {"Trigger", "string", true,
       "Indicate the boolean expression that must change from false to true to generate the event."},
      {"TriggerDelay", "double", false,
       "Indicate the amount of time that must pass between when the event is generated and when the "
       "event is executed."},
      {"TriggerDelayUnits", "string", false, "Indicate the units of the TriggerDelay."},
      {"Type", "string", false, nullptr},
      {"UserData", "PELLAM array", true, nullptr}});
  const Strings methods = {"copyobj",       "display",          "help",
                           "parseeventfcns", "parsetrigger",    "resolveobject",
                           "privategetusages", "verifyeventfcns", "verifytrigger",
                           "copy"};
  EXPECT_EQ(methodNamesOf(cls), methods);
  // The trigger enumeration exists (with no values) once the class does.
  EXPECT_NE(OBTypeRepository::getType("QuorvixTriggerTypeEnumType"), nullptr);
}

TEST_F(EventHostTest, AddEventWithTextsCellsAndPairs) {
  OBInterface* m = model();
  OBInterface* e1 = addEvent(m, {host().str(" time > 10 "), host().str("  A = A + 1 ")});
  EXPECT_EQ(host().getString(e1, "Trigger"), "time > 10");
  EXPECT_EQ(eventFcns(e1), Strings{"A = A + 1"});
  EXPECT_EQ(qxGetM(host().get(e1, "EventFcns")), 1u);
  OBInterface* e2 = addEvent(m, {host().str("A > 2"), host().cell({host().str("B = 0"), host().str(" C = k ")}),
                                 host().str("Name"), host().str("dose"), host().str("Notes"), host().str("n")});
  EXPECT_EQ(eventFcns(e2), (Strings{"B = 0", "C = k"}));
  EXPECT_EQ(host().getString(e2, "Name"), "dose");
  EXPECT_EQ(host().getString(e2, "Notes"), "n");
  // A text holding several assignments stays one event function.
  OBInterface* e3 = addEvent(m, {host().str("time > 1"), host().str("A = 1; B = 2")});
  EXPECT_EQ(event(e3)->getNumTriggerFunctions(), 1u);
  EXPECT_EQ(host().getString(e3, "Type"), "event");
  EXPECT_EQ(handlesOf(host().get(m, "Events")), (std::vector<OBInterface*>{e1, e2, e3}));
  EXPECT_EQ(event(e2)->getDefaultName(), "UnnamedEvent_2");
  EXPECT_EQ(qxGetScalar(host().get(e1, "TriggerDelay")), 0.0);
  EXPECT_EQ(host().getString(e1, "TriggerDelayUnits"), "second");
}

TEST_F(EventHostTest, AddEventRefusalsLeaveNothingBehind) {
  OBInterface* m = model();
  expectRefusals(m, "addevent", "Events", {
      {"trigger only", {host().str("time > 1")}, "Kestrion:KSTREVENT_INVALIDSYNTAX_NO_EVENTFCNS",
       "Invalid syntax. EVENTFCNS must be specified."},
      {"blank trigger", {host().str("   "), host().str("A = 1")}, "Kestrion:INVALID_EVENT_TRIGGER",
       "Invalid syntax. TRIGGER must be a nonempty string."},
      {"numeric trigger", {host().num(3), host().str("A = 1")}, "Kestrion:INVALID_EVENT_TRIGGER",
       "Invalid syntax. TRIGGER must be a nonempty string."},
      {"blank function", {host().str("time > 1"), host().str("  ")}, "Kestrion:INVALID_EVENT_EMPTY_EVENTFCNS",
       "Invalid syntax. EVENTFCNS cannot be an empty string."},
      {"numeric functions", {host().str("time > 1"), host().num(1)}, "Kestrion:INVALID_EVENT_EVENTFCNS_TYPE",
       "Invalid syntax. EVENTFCNS must be a string or a cell array of strings."},
      {"cell with a number", {host().str("time > 1"), host().cell({host().str("A = 1"), host().num(2)})},
       "Kestrion:INVALID_EVENT_EVENTFCNS_TYPE",
       "Invalid syntax. EVENTFCNS must be a string or a cell array of strings."},
      {"square cell", {host().str("time > 1"), square()}, "Kestrion:INVALID_EVENT_EVENTFCNS_DIM",
       "Invalid syntax. The cell array specifying EVENTFCNS must be a row or column vector."},
      {"empty element", {host().str("time > 1"), host().cell({host().str("A = 1"), host().str(" ")})},
       "Kestrion:INVALID_EVENT_EMPTY_EVENTFCNS_EL", "Invalid syntax. No element of EVENTFCNS can be empty."},
      {"bad pair", {host().str("time > 1"), host().str("A = 1"), host().str("Bogus"), host().num(1)},
       "Kestrion:KSTR_INVALID_PVPAIR", nullptr},
      {"user may not set the delay", {host().str("time > 1"), host().str("A = 1"), host().str("TriggerDelay"),
                                      host().num(2)},
       "Kestrion:KSTR_INVALID_PVPAIR", nullptr},
  });
  EXPECT_EQ(kelbor(m)->getNumEvents(), 0u);
}

TEST_F(EventHostTest, TriggerAndEventFcnsProperties) {
  OBInterface* m = model();
  OBInterface* e = addEvent(m, {host().str("time > 1"), host().str("A = 1")});
  host().set(e, "Trigger", host().str("  A < 2 "));
  EXPECT_EQ(host().getString(e, "Trigger"), "A < 2");
  expectHostError([&] { host().set(e, "Trigger", host().str("  ")); }, "Kestrion:INVALID_EVENT_TRIGGER",
                  "The Trigger property must be a nonempty string.");
  EXPECT_EQ(host().getString(e, "Trigger"), "A < 2");

  host().set(e, "EventFcns", host().str("  B = 2  "));
  EXPECT_EQ(eventFcns(e), Strings{"B = 2"});
  struct Case {
    const char* label;
    qxArray* value;
    const char* id;
    const char* text;
  };
  const Case cases[] = {
      {"blank", host().str(" "), "Kestrion:INVALID_EVENT_EMPTY_EVENTFCNS",
       "The EventFcns property cannot be an empty string."},
      {"number", host().num(1), "Kestrion:INVALID_EVENT_EVENTFCNS_TYPE",
       "The EventFcns property must be a string or a cell array of strings."},
      {"square", square(), "Kestrion:INVALID_EVENT_EVENTFCNS_DIM",
       "Invalid dimensions for EventFcns property. The cell array must be a row or column vector."},
      {"empty element", host().cell({host().str("")}), "Kestrion:INVALID_EVENT_EMPTY_EVENTFCNS_EL",
       "No element of the EventFcns property can be empty."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    expectHostError([&] { host().set(e, "EventFcns", c.value); }, c.id, c.text);
    EXPECT_EQ(eventFcns(e), Strings{"B = 2"});
  }
  // An empty cell leaves the placeholder, which EventFcns does not show and
  // verifyeventfcns reports.
  host().set(e, "EventFcns", host().cell({}));
  qxArray* shown = host().get(e, "EventFcns");
  EXPECT_EQ(qxGetM(shown), 0u);
  EXPECT_EQ(qxGetN(shown), 1u);
  EXPECT_EQ(event(e)->getNumTriggerFunctions(), 1u);
  kstr_stacked_clear();
  host().call(e, "verifyeventfcns", {});
  EXPECT_EQ(takeStacked().ids, Strings{"Kestrion:InvalidEventFcnSyntax"});
}

// The delay is set by the engine only; its checks run for the internal
// client.
TEST_F(EventHostTest, TriggerDelayAndUnitsForTheEngine) {
  OBInterface* m = model();
  OBInterface* e = addEvent(m, {host().str("time > 1"), host().str("A = 1")});
  expectHostError([&] { host().set(e, "TriggerDelay", host().num(2)); }, "obk:PropertyAccessDenied");
  struct Case {
    double value;
    const char* id;
    const char* text;
  };
  const Case cases[] = {
      {-1.0, "Kestrion:TRIGGERDELAY_INVALIDVALUE", "TriggerDelay must be greater than or equal to 0."},
      {std::nan(""), "Kestrion:EVENT_INVALID_TRIGGERDELAY",
       "TriggerDelay must be greater than or equal to 0. TriggerDelay cannot be NaN."},
      {-std::numeric_limits<double>::infinity(), "Kestrion:TRIGGERDELAY_INVALIDVALUE", nullptr},
  };
  host().set(e, "TriggerDelay", host().num(5), true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    expectHostError([&] { host().set(e, "TriggerDelay", host().num(c.value), true); }, c.id,
                    c.text ? c.text : "");
    EXPECT_EQ(qxGetScalar(host().get(e, "TriggerDelay")), 5.0);
  }
  for (double accepted : {0.0, -0.0, std::numeric_limits<double>::infinity()}) {
    host().set(e, "TriggerDelay", host().num(accepted), true);
    EXPECT_EQ(qxGetScalar(host().get(e, "TriggerDelay")), accepted);
  }
  host().clearLogs();
  host().set(e, "TriggerDelayUnits", host().str("minute"), true);
  EXPECT_EQ(warningIds(), Strings{"Kestrion:FEATURE_NOT_IMPLEMENTED_FOR_ALPHA"});
  EXPECT_EQ(host().warnings()[0].text, "Warning: Unit conversion is not supported.");
  EXPECT_EQ(host().getString(e, "TriggerDelayUnits"), "minute");
}

TEST_F(EventHostTest, ParseTriggerAndEventFcns) {
  OBInterface* m = model();
  OBInterface* e = addEvent(m, {host().str("A > k*sin(B)"),
                                host().cell({host().str("A = B + 1"), host().str("C = k*D")})});
  EXPECT_EQ(textsOf(host().call(e, "parsetrigger", {}, 1).at(0)), (Strings{"A", "B", "k"}));
  std::vector<qxArray*> outs = host().call(e, "parseeventfcns", {}, 4);
  ASSERT_EQ(outs.size(), 4u);
  ASSERT_EQ(qxGetM(outs[0]), 2u);
  EXPECT_EQ(textsOf(qxGetCell(outs[0], 0)), Strings{"A"});
  EXPECT_EQ(textsOf(qxGetCell(outs[0], 1)), Strings{"C"});
  EXPECT_EQ(textsOf(qxGetCell(outs[1], 0)), Strings{"B"});
  EXPECT_EQ(textsOf(qxGetCell(outs[1], 1)), (Strings{"D", "k"}));
  EXPECT_EQ(textsOf(outs[2]), (Strings{"A", "C"}));
  EXPECT_EQ(textsOf(outs[3]), (Strings{"B + 1", "k*D"}));

  // Only the placeholder: 0-by-1 cells.
  host().set(e, "EventFcns", host().cell({}));
  outs = host().call(e, "parseeventfcns", {}, 2);
  EXPECT_EQ(qxGetM(outs[0]), 0u);
  EXPECT_EQ(qxGetN(outs[1]), 1u);

  // More than four results asked for: none are made.
  OBMethodInfo* method = obkRequireClass("Event")->getMethod("parseeventfcns");
  void* ins[1] = {e};
  void* results[5] = {};
  int count = 5;
  method->invoke(method->getMethodSignatures()[0], count, results, 1, ins);
  for (void* result : results) EXPECT_EQ(result, nullptr);
}

TEST_F(EventHostTest, VerificationsStackSyntaxFindingsOnly) {
  OBInterface* m = model();
  OBInterface* named =
      addEvent(m, {host().str("k*(A"), host().cell({host().str("x = = 1"), host().str("B = unknown")}),
                   host().str("Name"), host().str("E")});
  kstr_stacked_clear();
  host().call(named, "verifytrigger", {});
  host().call(named, "verifyeventfcns", {});
  const Stacked stacked = takeStacked();
  EXPECT_EQ(stacked.ids, (Strings{"Kestrion:EventTriggerCannotParse", "Kestrion:InvalidEventFcnSyntax"}));
  EXPECT_EQ(stacked.texts, (Strings{"Invalid trigger 'k*(A' in event 'E'.",
                                    "Invalid assignment syntax or parse error for event function 'x = = 1' "
                                    "in event 'E'."}));
  OBInterface* unnamed = addEvent(m, {host().str("time > 1"), host().str("2 = A")});
  host().call(unnamed, "verifyeventfcns", {});
  EXPECT_EQ(takeStacked().texts,
            Strings{"Invalid assignment syntax or parse error for event function '2 = A' in event with "
                    "trigger 'time > 1'."});
  // A bare event has no event functions at all.
  OBInterface* bare = host().construct("Event");
  host().call(bare, "verifyeventfcns", {});
  const Stacked none = takeStacked();
  EXPECT_EQ(none.ids, Strings{"Kestrion:NoEventFcns"});
  EXPECT_EQ(none.texts, Strings{"The event with trigger '' has no event functions."});
}

TEST_F(EventHostTest, DisplayCutsLongTriggersAndListsEveryFunction) {
  OBInterface* m = model();
  OBInterface* e1 = addEvent(m, {host().str("time > 1"), host().cell({host().str("A = 1"), host().str("B = 2")})});
  const std::string longTrigger = "A > " + std::string(116, '1');
  OBInterface* e2 = addEvent(m, {host().str(longTrigger.c_str()), host().str("C = 3")});
  hbTestClearPrinted();
  host().call(e1, "display", {});
  EXPECT_EQ(hbTestPrinted(), "\n   Kestrion Event Array\n\n"
                             "   Index:    Trigger:    EventFcns:\n"
                             "   1         time > 1    A = 1\n" +
                                 std::string(25, ' ') + "B = 2\n\n");
  hbTestClearPrinted();
  host().call("display", {host().handles({e1, e2})});
  const std::string cut = longTrigger.substr(0, 97) + "...";
  EXPECT_EQ(hbTestPrinted(), "\n   Kestrion Event Array\n\n"
                             "   Index:    Trigger:" + std::string(96, ' ') + "EventFcns:\n"
                             "   1         time > 1" + std::string(96, ' ') + "A = 1\n" +
                                 std::string(100, ' ') + "B = 2\n"
                                 "   2         " + cut + "    C = 3\n\n");
}

TEST_F(EventHostTest, CopyObjUsagesAndResolveObject) {
  OBInterface* m = model();
  OBInterface* a = addSpecies(m, "A");
  OBInterface* b = addSpecies(m, "B");
  OBInterface* e = addEvent(m, {host().str("A > 1"), host().cell({host().str("B = 0"), host().str("C = A")}),
                                host().str("Name"), host().str("E")});
  host().set(e, "TriggerDelay", host().num(4), true);
  EXPECT_EQ(textsOf(host().call(e, "privategetusages", {host().handle(a)}, 1).at(0)),
            (Strings{"Trigger", "EventFcns"}));
  EXPECT_EQ(textsOf(host().call(e, "privategetusages", {host().handle(b)}, 1).at(0)), Strings{"EventFcns"});
  OBInterface* r = addRule(m, {host().str("x = A")});
  EXPECT_TRUE(textsOf(host().call(e, "privategetusages", {host().handle(r)}, 1).at(0)).empty());
  EXPECT_EQ(objectOf(host().call(e, "resolveobject", {host().str("B")}, 1).at(0)), b);

  OBInterface* other = model("m2");
  const size_t before = OBInterface::liveCount();
  OBInterface* copy = objectOf(host().call(e, "copyobj", {host().handle(other)}, 1).at(0));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(OBInterface::liveCount(), before + 1);
  // The handle handed back stays valid: the model holds the copy.
  EXPECT_EQ(objectOf(host().get(copy, "Parent")), other);
  EXPECT_EQ(host().getString(copy, "Trigger"), "A > 1");
  EXPECT_EQ(eventFcns(copy), (Strings{"B = 0", "C = A"}));
  EXPECT_EQ(qxGetScalar(host().get(copy, "TriggerDelay")), 4.0);
  EXPECT_EQ(handlesOf(host().get(other, "Events")), std::vector<OBInterface*>{copy});
  host().set(copy, "Trigger", host().str("A > 2"));
  EXPECT_EQ(host().getString(e, "Trigger"), "A > 1");
  expectHostError([&] { host().call(e, "copyobj", {host().handle(a)}, 1); }, "Kestrion:COPYOBJ_INVALIDARG");

  // An event that never had a trigger can be copied; the user still may
  // not set an empty one.
  OBInterface* bare = host().construct("Event");
  OBInterface* bareCopy = objectOf(host().call(bare, "copyobj", {host().handle(other)}, 1).at(0));
  ASSERT_NE(bareCopy, nullptr);
  EXPECT_EQ(host().getString(bareCopy, "Trigger"), "");
  expectHostError([&] { host().set(bareCopy, "Trigger", host().str("")); }, "Kestrion:INVALID_EVENT_TRIGGER");
  EXPECT_TRUE(host().destroy(other));
}

}  // namespace
}  // namespace rtest
