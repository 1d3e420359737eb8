// The desktop's view of rules and events while the host runs its Java
// machine: creation, child-added and destroyed events, and the expression
// events of the model's SendRule/SendEventExpressionEvents switches, with
// every Java reference given back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <jpi/jpi_test.hpp>
#include <ks_utils/Errors.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"

namespace {

const char kObjectEvent[] = "kestridesk.eventqueue.OBKToJavaEvent";
const char kDirtyEvent[] = "kestridesk.eventqueue.ExpressionDirtyEvent";

// The argument texts of the desktop object events made after the first
// skip ones.
std::vector<std::string> objectEvents(size_t skip) {
  std::vector<std::string> events;
  const std::vector<const jpiRecord*> records = jpiTestObjectsOfClass(kObjectEvent);
  for (size_t i = skip; i < records.size(); ++i) {
    std::string text;
    for (const jpiArg& arg : records[i]->args) text += (text.empty() ? "" : " | ") + arg.text;
    events.push_back(text);
  }
  return events;
}

bool anyStartsWith(const std::vector<std::string>& texts, const std::string& prefix) {
  for (const std::string& text : texts) {
    if (text.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

TEST(RuleEventJava, DesktopHearsOfRulesAndEventsAndEveryReferenceIsGivenBack) {
  hbTestSetEcho(false);
  TestHost host(TestHost::Options{true});
  host.start();
  kstr_stacked_clear();
  OBInterface* m = host.construct("Model", {host.str("m")});
  host.set(m, "SendRuleExpressionEvents", host.logical(true));
  host.set(m, "SendEventExpressionEvents", host.logical(true));
  OBInterface* a = objectOf(host.call(m, "addspecies", {host.str("A")}, 1).at(0));
  const size_t mark = jpiTestObjectsOfClass(kObjectEvent).size();
  const size_t dirty = jpiTestObjectsOfClass(kDirtyEvent).size();
  OBInterface* r = objectOf(host.call(m, "addrule", {host.str("x = 2*A")}, 1).at(0));
  OBInterface* e = objectOf(host.call(m, "addevent", {host.str("A > 1"), host.str("A = 0")}, 1).at(0));
  host.call(a, "rename", {host.str("B")});
  EXPECT_EQ(host.getString(r, "Rule"), "x = 2*B");
  EXPECT_TRUE(host.destroy(r));
  EXPECT_TRUE(host.destroy(e));
  const std::vector<std::string> posted = objectEvents(mark);
  EXPECT_TRUE(anyStartsWith(posted, "Rule")) << posted.size();
  EXPECT_TRUE(anyStartsWith(posted, "Event")) << posted.size();
  // Expression events: on adding, on the rename and on leaving the model,
  // for the rule and for the event.
  EXPECT_GE(jpiTestObjectsOfClass(kDirtyEvent).size(), dirty + 6);
  EXPECT_TRUE(jpiTestDiagnostics().empty());
  host.call(getOBIRoot(), "reset");
  EXPECT_EQ(jpiTestUnreleasedCount(), 0u);
}

}  // namespace
