// Tests of the host utility library stand-in.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "hb/hb.hpp"
#include "hb/hb_test.hpp"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kEps = std::ldexp(1.0, -52);

class HbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hbTestSetEcho(false);
    hbTestClearPrinted();
    hbTestClearWarnings();
    hbTestResetWarningStatus();
    hbTestClearLoadedLibraries();
  }
};

// --- numbers -------------------------------------------------------------------

struct EpsCase {
  double a, b;
  bool equal;
};

TEST_F(HbTest, EqualWithinEpsFollowsRelativeTolerance) {
  const EpsCase cases[] = {
      {1.0, 1.0, true},
      {1.0, 1.0 + kEps, true},
      {1.0, 1.0 + 2 * kEps, false},
      {0.0, kEps / 2, true},          // absolute near zero
      {0.0, 1e-15, false},
      {1e10, 1e10 * (1 + kEps), true},  // scales with the larger value
      {1e10, 1e10 + 1e-3, false},
      {-0.0, 0.0, true},
      {-1.0, 1.0, false},
      {kNaN, kNaN, false},
      {kNaN, 1.0, false},
      {kInf, kInf, true},
      {-kInf, -kInf, true},
      {kInf, -kInf, false},
      {kInf, 1e308, false},
  };
  for (const EpsCase& c : cases) {
    EXPECT_EQ(hbEqualWithinEps(c.a, c.b), c.equal) << c.a << " vs " << c.b;
    EXPECT_EQ(hbEqualWithinEps(c.b, c.a), c.equal) << c.b << " vs " << c.a;
  }
}

TEST_F(HbTest, RoundGoesHalfAwayFromZero) {
  const std::pair<double, double> cases[] = {
      {0.5, 1.0},  {-0.5, -1.0}, {1.49, 1.0},  {1.5, 2.0},   {2.5, 3.0},
      {-2.5, -3.0}, {0.0, 0.0},  {-1.2, -1.0}, {1e300, 1e300}, {kInf, kInf},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(hbDoubleScalarRound(in), out) << in;
  EXPECT_TRUE(std::isnan(hbDoubleScalarRound(kNaN)));
}

// --- text helpers ----------------------------------------------------------------

TEST_F(HbTest, RegexpSearchesAnywhere) {
  struct Case {
    const char* text;
    const char* pattern;
    bool found;
  };
  const Case cases[] = {
      {"abc123", "\\d+", true},   {"abc", "^b", false},   {"abc", "b", true},
      {"KineticLaw", "^Kin", true}, {"", "^$", true},     {"abc", "(", false},  // bad pattern
      {nullptr, "a", false},      {"a", nullptr, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(hbRegexp(c.text, c.pattern), c.found)
        << (c.text ? c.text : "null") << " / " << (c.pattern ? c.pattern : "null");
  }
}

TEST_F(HbTest, LowerCaseChangesOnlyAsciiLetters) {
  char text[] = "AbC_12-Z\xC9";
  hbLowerCase(text);
  EXPECT_STREQ(text, "abc_12-z\xC9");
  hbLowerCase(nullptr);  // allowed
}

// --- printing --------------------------------------------------------------------

TEST_F(HbTest, PrintfIsCapturedAndCounted) {
  EXPECT_EQ(hbPrintf("%d-%s\n", 42, "x"), 5);
  EXPECT_EQ(hbPrintf("%s", ""), 0);
  EXPECT_EQ(hbPrintf("tail"), 4);
  EXPECT_EQ(hbTestPrinted(), "42-x\ntail");
  hbTestClearPrinted();
  EXPECT_EQ(hbTestPrinted(), "");
}

TEST_F(HbTest, SNprintfTruncatesLikeSnprintf) {
  char buf[5];
  EXPECT_EQ(hbSNprintf(buf, sizeof buf, "%s", "abcdefg"), 7);
  EXPECT_STREQ(buf, "abcd");
  EXPECT_EQ(hbTestPrinted(), "");  // never reaches the sink
}

// --- memory ----------------------------------------------------------------------

TEST_F(HbTest, EveryAllocatorIsCountedUntilFreed) {
  const std::pair<const char*, std::function<void*()>> allocators[] = {
      {"hbMalloc", [] { return hbMalloc(16); }},
      {"hbMalloc(0)", [] { return hbMalloc(0); }},
      {"hbCalloc", [] { return hbCalloc(4, 8); }},
      {"hbCalloc(0,0)", [] { return hbCalloc(0, 0); }},
      {"hbCallocWithCheck", [] { return hbCallocWithCheck(3, 2); }},
      {"hbStrdup", [] { return static_cast<void*>(hbStrdup("text")); }},
  };
  for (const auto& [name, allocate] : allocators) {
    size_t before = hbTestLiveBlocks();
    void* p = allocate();
    ASSERT_NE(p, nullptr) << name;
    EXPECT_EQ(hbTestLiveBlocks(), before + 1) << name;
    hbFree(p);
    EXPECT_EQ(hbTestLiveBlocks(), before) << name;
  }
}

// An armed allocation fails once, in the way each allocator reports
// running out of memory, is counted as refused and leaves no block behind;
// the attempts before and after it succeed.
TEST_F(HbTest, InjectedFailureRefusesExactlyTheChosenAttempt) {
  struct Case {
    const char* name;
    std::function<void*()> allocate;
    bool throws;
  };
  const Case cases[] = {
      {"hbMalloc", [] { return hbMalloc(16); }, false},
      {"hbCalloc", [] { return hbCalloc(2, 8); }, false},
      {"hbStrdup", [] { return static_cast<void*>(hbStrdup("text")); }, false},
      {"hbCallocWithCheck", [] { return hbCallocWithCheck(2, 8); }, true},
  };
  for (const Case& c : cases) {
    size_t live = hbTestLiveBlocks();
    size_t refused = hbTestRefusedAllocations();
    hbTestFailAllocationAt(2);
    void* first = c.allocate();
    EXPECT_NE(first, nullptr) << c.name;
    if (c.throws) {
      EXPECT_THROW(c.allocate(), std::bad_alloc) << c.name;
    } else {
      EXPECT_EQ(c.allocate(), nullptr) << c.name;
    }
    void* third = c.allocate();
    EXPECT_NE(third, nullptr) << c.name;
    EXPECT_EQ(hbTestAllocationAttempts(), 3u) << c.name;
    EXPECT_EQ(hbTestRefusedAllocations(), refused + 1) << c.name;
    EXPECT_EQ(hbTestLiveBlocks(), live + 2) << c.name;
    hbFree(first);
    hbFree(third);
    hbTestFailAllocationAt(0);
  }
}

TEST_F(HbTest, NullsAreNotCounted) {
  size_t before = hbTestLiveBlocks();
  EXPECT_EQ(hbStrdup(nullptr), nullptr);
  hbFree(nullptr);
  EXPECT_EQ(hbTestLiveBlocks(), before);
}

TEST_F(HbTest, CallocZeroFillsAndStrdupCopies) {
  auto* zeros = static_cast<unsigned char*>(hbCallocWithCheck(7, 3));
  for (int i = 0; i < 21; ++i) EXPECT_EQ(zeros[i], 0) << i;
  hbFree(zeros);
  const char original[] = "copy me";
  char* copy = hbStrdup(original);
  EXPECT_NE(copy, original);
  EXPECT_STREQ(copy, original);
  hbFree(copy);
}

// --- message tables --------------------------------------------------------------

const uint32_t kCodes[] = {0x400001, 0x400002, 0x400004};
const char* const kIds[] = {"Test:First", "Test:Second", "Test:Fourth"};
const char* const kTexts[] = {"The %s is missing.", "Value %d of %s.", "Plain text."};
const MessageTable kTable = {3, 0x40, kCodes, kIds, kTexts};

// A second table that repeats a code: the first registration answers.
const uint32_t kOtherCodes[] = {0x400002, 0x500001};
const char* const kOtherIds[] = {"Other:Second", "Other:First"};
const char* const kOtherTexts[] = {"Shadowed %d.", "Other text."};
const MessageTable kOther = {2, 0x50, kOtherCodes, kOtherIds, kOtherTexts};

class HbMessageTest : public HbTest {
 protected:
  void SetUp() override {
    HbTest::SetUp();
    hb_mem_add_primary_message_table(hbGetMemoryContext(), &kTable);
  }
  void TearDown() override {
    hb_mem_remove_primary_message_table(hbGetMemoryContext(), &kOther);
    hb_mem_remove_primary_message_table(hbGetMemoryContext(), &kTable);
  }
};

TEST_F(HbMessageTest, LookupByCode) {
  struct Case {
    uint32_t code;
    const char* text;
    const char* id;
  };
  const Case cases[] = {
      {0x400001, "The %s is missing.", "Test:First"},
      {0x400002, "Value %d of %s.", "Test:Second"},
      {0x400004, "Plain text.", "Test:Fourth"},
      {0x400003, "Message 0x400003 not found", nullptr},  // the gap
      {0x12, "Message 0x000012 not found", nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(hbLookupMessage(c.code), c.text) << std::hex << c.code;
    if (c.id == nullptr) {
      EXPECT_EQ(hbLookupMessageId(c.code), nullptr);
    } else {
      EXPECT_STREQ(hbLookupMessageId(c.code), c.id);
    }
  }
}

TEST_F(HbMessageTest, RepeatAddIsIgnoredAndRemoveForgets) {
  hb_mem_add_primary_message_table(hbGetMemoryContext(), &kTable);
  hb_mem_add_primary_message_table(hbGetMemoryContext(), &kOther);
  EXPECT_STREQ(hbLookupMessage(0x400002), "Value %d of %s.");
  EXPECT_STREQ(hbLookupMessage(0x500001), "Other text.");
  hb_mem_remove_primary_message_table(hbGetMemoryContext(), &kTable);
  EXPECT_STREQ(hbLookupMessage(0x400002), "Shadowed %d.");  // now the other's
  EXPECT_STREQ(hbLookupMessage(0x400001), "Message 0x400001 not found");
}

char* formatted(uint32_t code, ...) {
  va_list args;
  va_start(args, code);
  char* text = hbFormatMessage(code, args);
  va_end(args);
  return text;
}

TEST_F(HbMessageTest, FormatMessageFillsTheCatalogText) {
  size_t before = hbTestLiveBlocks();
  char* text = formatted(0x400002, 7, "x");
  EXPECT_STREQ(text, "Value 7 of x.");
  hbFree(text);
  text = formatted(0x400077, "ignored");
  EXPECT_STREQ(text, "Message 0x400077 not found");
  hbFree(text);
  EXPECT_EQ(hbTestLiveBlocks(), before);
}

// --- warnings --------------------------------------------------------------------

TEST_F(HbMessageTest, WarningsArePrintedUnlessDisabled) {
  hbTestSetWarningStatus("Test:Second", false);
  hbTestSetWarningStatus(nullptr, false);  // ignored
  struct Case {
    const char* id;
    uint32_t code;
    const char* text;
    bool suppressed;
  };
  hbWarningContext* ctx = hbGetWarningContext();
  hb_warning_id(ctx, "Test:First", 0x400001, "species");
  hb_warning_id(ctx, "Test:Second", 0x400002, 3, "y");
  hb_warning_id(ctx, "Test:Fourth", 0x400004);
  hb_warning_id(ctx, "Test:Missing", 0x400009);
  const Case expected[] = {
      {"Test:First", 0x400001, "The species is missing.", false},
      {"Test:Second", 0x400002, "Value 3 of y.", true},
      {"Test:Fourth", 0x400004, "Plain text.", false},
      {"Test:Missing", 0x400009, "Message 0x400009 not found", false},
  };
  const auto& got = hbTestWarnings();
  ASSERT_EQ(got.size(), std::size(expected));
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].id, expected[i].id) << i;
    EXPECT_EQ(got[i].text, expected[i].text) << i;
    EXPECT_EQ(got[i].suppressed, expected[i].suppressed) << i;
  }
  EXPECT_EQ(hbTestPrinted(),
            "The species is missing.\nPlain text.\nMessage 0x400009 not found\n");
}

TEST_F(HbTest, WarningStatusTable) {
  hbWarningContext* ctx = hbGetWarningContext();
  EXPECT_EQ(hb_get_warning_status_id(ctx, "Any:Id"), 1);
  EXPECT_EQ(hb_get_warning_status_id(ctx, nullptr), 1);
  hbTestSetWarningStatus("Any:Id", false);
  EXPECT_EQ(hb_get_warning_status_id(ctx, "Any:Id"), 0);
  EXPECT_EQ(hb_get_warning_status_id(ctx, "any:id"), 1);  // exact identifiers
  hbTestSetWarningStatus("Any:Id", true);
  EXPECT_EQ(hb_get_warning_status_id(ctx, "Any:Id"), 1);
  hbTestSetWarningStatus("Any:Id", false);
  hbTestResetWarningStatus();
  EXPECT_EQ(hb_get_warning_status_id(ctx, "Any:Id"), 1);
}

// --- run-time libraries ----------------------------------------------------------

TEST_F(HbTest, LoadLibraryRecordsNamesAndLoadsNothing) {
  const char* names[] = {"libeplrt.dll", "p_ir.dll", nullptr};
  for (const char* name : names) {
    int32_t status = 0;
    EXPECT_EQ(hbLoadLibrary(name, &status), nullptr);
    EXPECT_EQ(status, 1);
  }
  EXPECT_EQ(hbLoadLibrary("plutil.dll", nullptr), nullptr);  // no status given
  EXPECT_EQ(hbTestLoadedLibraries(),
            (std::vector<std::string>{"libeplrt.dll", "p_ir.dll", "", "plutil.dll"}));
  hbTestClearLoadedLibraries();
  EXPECT_TRUE(hbTestLoadedLibraries().empty());
}

}  // namespace
