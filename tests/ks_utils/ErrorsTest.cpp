#include "ks_utils/Errors.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "KsTestMessages.hpp"
#include "obk/OBApplication.hpp"
#include "obk/OBClass.hpp"

namespace {

class ErrorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kstest::registerTestMessages();
    kstr_stacked_clear();
  }
  void TearDown() override { kstr_stacked_clear(); }
};

struct RaiseCase {
  const char* name;
  std::function<void()> raise;
  const char* id;
  const char* text;
};

TEST_F(ErrorsTest, RaisingFormatsTheCatalogTextAndKeepsTheId) {
  const RaiseCase cases[] = {
      {"one string", [] { kstr_error("Kestrion:One", kstest::kOneStringCode, "k1"); },
       "Kestrion:One", "Value 'k1' is bad."},
      {"numbers", [] { kstr_error("Kestrion:Num", kstest::kNumbersCode, 7, 2.5); },
       "Kestrion:Num", "Got 7 and 2.50."},
      {"literal", [] { kstr_error("Kestrion:Lit", "100% literal %s"); },
       "Kestrion:Lit", "100% literal %s"},
      {"literal null", [] { kstr_error("Kestrion:Lit", static_cast<const char*>(nullptr)); },
       "Kestrion:Lit", ""},
      {"ready string", [] { kstr_error_str("Kestrion:S1", kstest::kOneStringCode, std::string("a%sb")); },
       "Kestrion:S1", "Value 'a%sb' is bad."},
      {"two ready strings",
       [] { kstr_error_str("Kestrion:S2", kstest::kTwoStringsCode, std::string("x"), std::string("y")); },
       "Kestrion:S2", "First 'x', second 'y'."},
      {"unknown code", [] { kstr_error("Kestrion:U", kstest::kUnknownCode); },
       "Kestrion:U", "Message 0x7FFFFE not found"},
      {"null id", [] { kstr_error(nullptr, kstest::kOneStringCode, "v"); },
       "", "Value 'v' is bad."},
  };
  for (const RaiseCase& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      c.raise();
      ADD_FAILURE() << "no exception";
    } catch (const ErrorIdException& e) {
      EXPECT_EQ(e.getIdentifier(), c.id);
      EXPECT_EQ(e.getMessage(), c.text);
      EXPECT_STREQ(e.what(), c.text);
    }
  }
}

TEST_F(ErrorsTest, ErrorIdExceptionIsCaughtAsTheBaseException) {
  EXPECT_THROW(kstr_error("Kestrion:X", "t"), Exception);
}

TEST_F(ErrorsTest, StackedErrorsAppendInOrderAndReturn) {
  auto* fakeObject = reinterpret_cast<OBInterface*>(0x1000);
  kstr_stacked_error(1, fakeObject, "Kestrion:First", kstest::kOneStringCode, "a");
  kstr_stacked_error(0, nullptr, "Kestrion:Second", kstest::kTwoStringsCode, "b", "c");
  const auto& entries = kstr_stacked_entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].source, 1);
  EXPECT_EQ(entries[0].object, fakeObject);
  EXPECT_EQ(entries[0].id, "Kestrion:First");
  EXPECT_EQ(entries[0].text, "Value 'a' is bad.");
  EXPECT_EQ(entries[1].source, 0);
  EXPECT_EQ(entries[1].object, nullptr);
  EXPECT_EQ(entries[1].text, "First 'b', second 'c'.");
  kstr_stacked_clear();
  EXPECT_TRUE(StackedMessageManager::instance().entries().empty());
}

TEST_F(ErrorsTest, ScopeSeesOnlyItsOwnMessages) {
  kstr_stacked_error(0, nullptr, "Kestrion:Before", kstest::kOneStringCode, "0");
  {
    StackedMessageScope scope;
    EXPECT_FALSE(scope.hasErrors());
    EXPECT_EQ(scope.first(), nullptr);
    kstr_stacked_error(1, nullptr, "Kestrion:In1", kstest::kOneStringCode, "1");
    kstr_stacked_error(1, nullptr, "Kestrion:In2", kstest::kOneStringCode, "2");
    EXPECT_TRUE(scope.hasErrors());
    EXPECT_EQ(scope.count(), 2u);
    ASSERT_NE(scope.first(), nullptr);
    EXPECT_EQ(scope.first()->id, "Kestrion:In1");
    EXPECT_EQ(scope.first()->text, "Value '1' is bad.");
  }
  EXPECT_EQ(kstr_stacked_entries().size(), 3u);  // kept by default
}

TEST_F(ErrorsTest, DiscardingScopeRemovesItsMessagesOnly) {
  kstr_stacked_error(0, nullptr, "Kestrion:Before", kstest::kOneStringCode, "0");
  {
    StackedMessageScope outer(true);
    kstr_stacked_error(0, nullptr, "Kestrion:Outer", kstest::kOneStringCode, "o");
    {
      StackedMessageScope inner(true);
      kstr_stacked_error(0, nullptr, "Kestrion:Inner", kstest::kOneStringCode, "i");
      EXPECT_EQ(outer.count(), 2u);
    }
    EXPECT_EQ(outer.count(), 1u);
    EXPECT_EQ(outer.first()->id, "Kestrion:Outer");
  }
  ASSERT_EQ(kstr_stacked_entries().size(), 1u);
  EXPECT_EQ(kstr_stacked_entries()[0].id, "Kestrion:Before");
}

TEST_F(ErrorsTest, StackedMessageClassLivesInItsOwnApplication) {
  OBClass* cls = GetStackedMessageManagerOBC();
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(GetStackedMessageManagerOBC(), cls);
  EXPECT_STREQ(cls->getName(), "StackedMessageManager");
  ASSERT_NE(cls->getApplication(), nullptr);
  EXPECT_STREQ(cls->getApplication()->getName(), "KStrUtils");
  OBApplication* app = OBApplicationManager::findApplication("KStrUtils");
  ASSERT_EQ(app, cls->getApplication());
  EXPECT_EQ(app->findClass("StackedMessageManager"), cls);
  EXPECT_EQ(app->getClasses().size(), 1u);
  EXPECT_FALSE(cls->canBeConstructed());
  OBApplication* engine = OBApplicationManager::findApplication("Kestrion");
  if (engine != nullptr) {
    EXPECT_EQ(engine->findClass("StackedMessageManager"), nullptr);
  }
}

}  // namespace
