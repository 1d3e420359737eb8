#include "ks_utils/Identifiers.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

struct IdentifierCase {
  std::string text;
  bool valid;
};

TEST(IdentifiersTest, ValidIdentifierRule) {
  const std::string longest = "a" + std::string(62, 'b');
  const IdentifierCase cases[] = {
      {"a", true},
      {"Z", true},
      {"k1", true},
      {"Vm_max_2", true},
      {"time", true},
      {"Unknown", true},
      {longest, true},
      {longest + "c", false},  // 64 characters
      {"", false},
      {"1a", false},
      {"_a", false},
      {"a b", false},
      {"a-b", false},
      {"a.b", false},
      {"[a]", false},
      {" a", false},
      {"a ", false},
      {"\xC3\xA9t\xC3\xA9", false},
      {"if", false},
      {"else", false},
      {"elseif", false},
      {"end", false},
      {"for", false},
      {"while", false},
      {"function", false},
      {"return", false},
      {"break", false},
      {"continue", false},
      {"switch", false},
      {"case", false},
      {"try", false},
      {"catch", false},
      {"If", true},  // keywords are case sensitive
      {"endpoint", true},
      {"case1", true},
  };
  for (const IdentifierCase& c : cases) {
    EXPECT_EQ(isValidPELLAMIdentifier(c.text), c.valid) << '"' << c.text << '"';
  }
}

TEST(IdentifiersTest, ReservedTokenIsTimeOnly) {
  EXPECT_TRUE(isKestriReservedToken("time"));
  for (const char* other : {"Time", "TIME", "t", "times", "", " time", "pi"}) {
    EXPECT_FALSE(isKestriReservedToken(other)) << other;
  }
}

TEST(IdentifiersTest, BracketNameIfNotValidIdentifier) {
  const std::pair<std::string, std::string> cases[] = {
      {"A", "A"},
      {"k_1", "k_1"},
      {"", ""},
      {"my A", "[my A]"},
      {"2B", "[2B]"},
      {"cell.A", "[cell.A]"},
      {"end", "[end]"},
      {std::string(64, 'x'), "[" + std::string(64, 'x') + "]"},
      {"[A]", "[[A]]"},
  };
  for (const auto& [input, expected] : cases) {
    std::string name = input;
    std::string& result = bracketNameIfNotValidIdentifier(name);
    EXPECT_EQ(&result, &name);
    EXPECT_EQ(name, expected) << input;
  }
}

}  // namespace
