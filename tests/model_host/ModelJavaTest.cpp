// The desktop events of the Model glue through the recording Java bridge:
// nothing on creation, the destroyed event on deletion, child-added events
// for sub-models and variants; nothing at all without a Java machine.
#include <jpi/jpi_test.hpp>

#include "ModelHostFixture.hpp"

namespace {

const char kObjectEvent[] = "kestridesk.eventqueue.OBKToJavaEvent";

// The argument texts of each desktop object event made after the first
// skip ones.
std::vector<std::string> objectEvents(size_t skip) {
  std::vector<std::string> events;
  const std::vector<const jpiRecord*> records = jpiTestObjectsOfClass(kObjectEvent);
  for (size_t i = skip; i < records.size(); ++i) {
    const jpiRecord* r = records[i];
    std::string text;
    for (const jpiArg& arg : r->args) text += (text.empty() ? "" : " | ") + arg.text;
    events.push_back(text);
  }
  return events;
}

class ModelJavaTest : public ModelHostTest {
 protected:
  void SetUp() override {
    java_ = true;
    ModelHostTest::SetUp();
    mark_ = jpiTestObjectsOfClass(kObjectEvent).size();
  }
  std::vector<std::string> events() const { return objectEvents(mark_); }
  size_t mark_ = 0;
};

TEST_F(ModelJavaTest, CreationPostsNothingDeletionPostsDestroyed) {
  OBInterface* m = model("m1");
  EXPECT_TRUE(events().empty());
  host().call(m, "delete");
  const std::vector<std::string> posted = events();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].rfind("Model | m1 | ", 0), 0u) << posted[0];
  EXPECT_TRUE(jpiTestDiagnostics().empty());
}

TEST_F(ModelJavaTest, SubModelsAndVariantsAreAnnouncedAsChildren) {
  OBInterface* m = model("m1");
  add(m, "addmodel", {host().str("sub")});
  add(m, "addvariant", {host().str("v")});
  add(m, "adddose", {host().str("d")});
  // A variant and a dose announce their creation, then the model announces
  // them as its children.
  const std::vector<std::string> posted = events();
  ASSERT_EQ(posted.size(), 5u);
  EXPECT_NE(posted[0].find("| kstrmodel"), std::string::npos) << posted[0];
  EXPECT_NE(posted[1].find("| variant | "), std::string::npos) << posted[1];
  EXPECT_NE(posted[2].find("| variant"), std::string::npos) << posted[2];
  EXPECT_NE(posted[3].find("| repeatdose | "), std::string::npos) << posted[3];
  EXPECT_NE(posted[4].find("| scheduledose"), std::string::npos) << posted[4];
  EXPECT_TRUE(jpiTestDiagnostics().empty());
}

TEST(ModelWithoutJava, NoJavaCallsAtAll) {
  hbTestSetEcho(false);
  TestHost host;
  host.start();
  const size_t calls = host.javaCalls();
  OBInterface* m = host.construct("Model", {host.str("m")});
  host.call(m, "addmodel", {host.str("sub")}, 1);
  host.call(m, "addvariant", {host.str("v")}, 1);
  host.call(m, "delete");
  EXPECT_EQ(host.javaCalls(), calls);
}

}  // namespace
