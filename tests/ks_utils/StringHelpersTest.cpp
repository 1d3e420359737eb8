#include "ks_utils/StringHelpers.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ks_utils/QXArraySmartPointer.hpp"
#include "qx/qx.hpp"

namespace {

struct TrimCase {
  const char* input;
  const char* trimmed;
  const char* leadingEaten;
  const char* trailingEaten;
  bool allWhitespace;
};

const TrimCase kTrimCases[] = {
    {"", "", "", "", true},
    {"abc", "abc", "abc", "abc", false},
    {"  abc  ", "abc", "abc  ", "  abc", false},
    {"\t\r\n\fa b\f\n\r\t", "a b", "a b\f\n\r\t", "\t\r\n\fa b", false},
    {" \t\r\n\f ", "", "", "", true},
    {"\va\v", "\va\v", "\va\v", "\va\v", false},  // VT is not whitespace here
    {"x", "x", "x", "x", false},
};

TEST(StringHelpers, TrimFamilyFollowsTheWhitespaceSet) {
  for (const TrimCase& c : kTrimCases) {
    SCOPED_TRACE(c.input);
    std::string a = c.input;
    std::string& result = STDStringHelpers::trimWhitespace(a);
    EXPECT_EQ(&result, &a);
    EXPECT_EQ(a, c.trimmed);
    std::string b = c.input;
    EXPECT_EQ(STDStringHelpers::eatLeadingWhitespace(b), c.leadingEaten);
    std::string d = c.input;
    EXPECT_EQ(STDStringHelpers::eatTrailingWhitespace(d), c.trailingEaten);
    EXPECT_EQ(STDStringHelpers::isAllWhitespace(std::string(c.input)),
              c.allWhitespace);
    EXPECT_EQ(STDStringHelpers::isAllWhitespace(c.input), c.allWhitespace);
  }
  EXPECT_TRUE(STDStringHelpers::isAllWhitespace(static_cast<const char*>(nullptr)));
}

struct SplitCase {
  const char* text;
  size_t position;
  const char* lhs;
  const char* rhs;
};

constexpr size_t npos = std::string::npos;

const SplitCase kSplitCases[] = {
    {"a = b", 2, "a ", " b"},
    {"a=b", 1, "a", "b"},
    {"a == b", npos, "", "a == b"},
    {"a <= b", npos, "", "a <= b"},
    {"a >= b", npos, "", "a >= b"},
    {"a != b", npos, "", "a != b"},
    {"[x=y] = 3", 6, "[x=y] ", " 3"},
    {"[x==y]", npos, "", "[x==y]"},
    {"a + b", npos, "", "a + b"},
    {"", npos, "", ""},
    {"x = y == z", 2, "x ", " y == z"},
    {"a == b = c", 7, "a == b ", " c"},
    {"=", 0, "", ""},
    {"c.[s=1] = k*2", 8, "c.[s=1] ", " k*2"},
    {"a <= b = c", 7, "a <= b ", " c"},
};

TEST(StringHelpers, SplitExpressionOnEqualFindsTheAssignment) {
  for (const SplitCase& c : kSplitCases) {
    SCOPED_TRACE(c.text);
    std::string lhs = "stale", rhs = "stale";
    EXPECT_EQ(STDStringHelpers::splitExpressionOnEqual(c.text, lhs, rhs),
              c.position);
    EXPECT_EQ(lhs, c.lhs);
    EXPECT_EQ(rhs, c.rhs);
  }
}

TEST(StringHelpers, SetFromCellSkipsNonText) {
  QXArraySmartPointer cell(qxCreateCellMatrix(1, 4));
  qxSetCell(cell.get(), 0, qxCreateString("k1"));
  qxSetCell(cell.get(), 1, qxCreateDoubleScalar(3.0));
  qxSetCell(cell.get(), 2, qxCreateString("k2"));
  qxSetCell(cell.get(), 3, qxCreateString("k1"));
  std::set<std::string> out = {"existing"};
  createSTDSetFromQXArrayVector(cell.get(), out);
  EXPECT_EQ(out, (std::set<std::string>{"existing", "k1", "k2"}));
}

TEST(StringHelpers, SetFromOneCharArrayOrNothing) {
  QXArraySmartPointer text(qxCreateString("Vm"));
  QXArraySmartPointer number(qxCreateDoubleScalar(1.0));
  std::set<std::string> out;
  STDStringHelpers::createSTDSetFromQXArrayVector(text.get(), out);
  STDStringHelpers::createSTDSetFromQXArrayVector(number.get(), out);
  STDStringHelpers::createSTDSetFromQXArrayVector(nullptr, out);
  EXPECT_EQ(out, (std::set<std::string>{"Vm"}));
}

TEST(QXArraySmartPointer, DestroysReleasesAndResets) {
  const size_t before = qxLiveArrayCount();
  {
    QXArraySmartPointer p(qxCreateDoubleScalar(1.0));
    EXPECT_EQ(qxLiveArrayCount(), before + 1);
    p.reset(qxCreateDoubleScalar(2.0));
    EXPECT_EQ(qxLiveArrayCount(), before + 1);
    EXPECT_EQ(qxGetScalar(p.get()), 2.0);
    p.reset(p.get());  // same array: kept
    EXPECT_EQ(qxGetScalar(p.get()), 2.0);
    QXArraySmartPointer moved(std::move(p));
    EXPECT_EQ(p.get(), nullptr);
    qxArray* raw = moved.release();
    EXPECT_EQ(moved.get(), nullptr);
    EXPECT_EQ(qxLiveArrayCount(), before + 1);
    qxDestroyArray(raw);
  }
  EXPECT_EQ(qxLiveArrayCount(), before);
  { QXArraySmartPointer p(qxCreateString("x")); }
  EXPECT_EQ(qxLiveArrayCount(), before);
}

}  // namespace
