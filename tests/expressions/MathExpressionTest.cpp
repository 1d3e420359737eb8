// Math expressions: text, tokens, validity, bindings, substitution, copies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <ks_utils/MParseTree.hpp>

#include "expressions/MathExpression.hpp"
#include "support/TestComponents.hpp"

namespace {

using kstr::Expression;
using kstr::MathExpression;

Expression::TokenSet tokensOf(const Expression& expression, bool all = true) {
  Expression::TokenSet tokens;
  expression.fillSetWithTokens(tokens, all);
  return tokens;
}

// --- parsing ----------------------------------------------------------------------

struct ParseCase {
  const char* text;
  const char* stored;
  bool valid;
  Expression::TokenSet tokens;
};

TEST(MathExpression, TextValidityAndTokens) {
  const std::vector<ParseCase> cases = {
      {"", "", false, {}},
      {"   ", "", false, {}},
      {" \t a + b \n", "a + b", true, {"a", "b"}},
      {"a + a*a", "a + a*a", true, {"a"}},
      {"k1*A/(Km+A)", "k1*A/(Km+A)", true, {"A", "Km", "k1"}},
      {"[my A] + c1.[B] + [C]", "[my A] + c1.[B] + [C]", true, {"C", "[my A]", "c1.B"}},
      {"sin(x) + time", "sin(x) + time", true, {"sin", "time", "x"}},
      {"2 * 3.5e-2", "2 * 3.5e-2", true, {}},
      {"f(a, 2)", "f(a, 2)", true, {"a", "f"}},
      {"a +", "a +", false, {}},
      {"(a", "(a", false, {}},
      {"a = b", "a = b", false, {}},
      {"a.b.c", "a.b.c", false, {}},
      {" [x ", "[x", false, {}},
  };
  for (const ParseCase& c : cases) {
    MathExpression expression(c.text);
    EXPECT_EQ(expression.getExpressionString(), c.stored) << c.text;
    EXPECT_EQ(expression.isSyntacticallyValid(), c.valid) << c.text;
    EXPECT_EQ(expression.getParseTree() != nullptr, c.valid) << c.text;
    EXPECT_EQ(tokensOf(expression), c.tokens) << c.text;
    EXPECT_EQ(expression.getSymbolComponentMap().size(), c.tokens.size()) << c.text;
    for (const std::string& token : c.tokens) EXPECT_TRUE(expression.containsToken(token));
  }
}

TEST(MathExpression, InvalidTextHasNoTokensAndDoesNotResolve) {
  MathExpression empty("");
  MathExpression broken("a + (b");
  for (const MathExpression* expression : {&empty, &broken}) {
    EXPECT_FALSE(expression->doAllTokensResolve());
    EXPECT_FALSE(expression->containsToken("a"));
    EXPECT_FALSE(expression->containsToken(""));
    Expression::TokenSet unresolved;
    expression->getUnresolvedTokens(unresolved);
    EXPECT_TRUE(unresolved.empty());
  }
}

// --- resolution ----------------------------------------------------------------------

struct ResolveCase {
  const char* text;
  std::vector<const char*> bound;
  bool allResolve;
  Expression::TokenSet unresolved;
};

TEST(MathExpression, ResolutionCountsReservedTokensAndHostFunctions) {
  TestComponent component;
  const std::vector<ResolveCase> cases = {
      {"1 + 2", {}, true, {}},
      {"sin(time) * exp(1)", {}, true, {}},
      {"k * A", {}, false, {"A", "k"}},
      {"k * A", {"k"}, false, {"A"}},
      {"k * A + time", {"k", "A"}, true, {}},
      {"foo(A)", {"A"}, false, {"foo"}},
  };
  for (const ResolveCase& c : cases) {
    MathExpression expression(c.text);
    for (const char* token : c.bound) expression.setResolvedComponent(token, &component);
    EXPECT_EQ(expression.doAllTokensResolve(), c.allResolve) << c.text;
    Expression::TokenSet unresolved{"already"};
    expression.getUnresolvedTokens(unresolved);
    Expression::TokenSet expected = c.unresolved;
    expected.insert("already");
    EXPECT_EQ(unresolved, expected) << c.text;
  }
}

TEST(MathExpression, FillSetWithTokensLeavesOutOnlyUnboundHostFunctions) {
  TestComponent component;
  MathExpression expression("sin(x) + time + pi");
  EXPECT_EQ(tokensOf(expression, true), (Expression::TokenSet{"pi", "sin", "time", "x"}));
  EXPECT_EQ(tokensOf(expression, false), (Expression::TokenSet{"time", "x"}));
  expression.setResolvedComponent("sin", &component);
  EXPECT_EQ(tokensOf(expression, false), (Expression::TokenSet{"sin", "time", "x"}));
}

TEST(MathExpression, BindingsAreStoredPerTokenAndUnknownTokensAreAdded) {
  TestComponent a;
  TestComponent b;
  MathExpression expression("A + B");
  EXPECT_EQ(expression.getResolvedComponent("A"), nullptr);
  EXPECT_EQ(expression.getResolvedComponent("Q"), nullptr);
  expression.setResolvedComponent("A", &a);
  EXPECT_EQ(expression.getResolvedComponent("A"), &a);
  EXPECT_TRUE(expression.isComponentUsed(&a));
  EXPECT_FALSE(expression.isComponentUsed(&b));

  expression.setResolvedComponent("Q", &b);
  EXPECT_TRUE(expression.containsToken("Q"));
  EXPECT_EQ(expression.getResolvedComponent("Q"), &b);
  EXPECT_TRUE(expression.isComponentUsed(&b));

  expression.setResolvedComponent("A", nullptr);
  EXPECT_FALSE(expression.isComponentUsed(&a));
  EXPECT_TRUE(expression.containsToken("A"));
}

TEST(MathExpression, SymbolMapsAddWithoutOverwritingTheCallersEntries) {
  TestComponent a;
  TestComponent other;
  MathExpression expression("A + B");
  expression.setResolvedComponent("A", &a);

  Expression::ConstComponentMap constMap{{"A", &other}, {"Z", &other}};
  expression.getSymbolComponentMap(constMap);
  EXPECT_EQ(constMap.size(), 3u);
  EXPECT_EQ(constMap.at("A"), &other);
  EXPECT_EQ(constMap.at("B"), nullptr);
  EXPECT_EQ(constMap.at("Z"), &other);

  Expression::ComponentMap map;
  expression.getSymbolComponentMap(map);
  EXPECT_EQ(map, expression.getSymbolComponentMap());
  EXPECT_EQ(map.at("A"), &a);
}

// --- substitution ---------------------------------------------------------------------

struct SubstituteCase {
  const char* text;
  Expression::SubstitutionMap substitutions;
  const char* expected;
  Expression::TokenSet tokens;
};

TEST(MathExpression, SubstituteRenamesTokensAndKeepsTheRestOfTheText) {
  const std::vector<SubstituteCase> cases = {
      {"A + B*A", {{"A", "B"}, {"B", "A"}}, "B + A*B", {"A", "B"}},
      {"[my A] + x", {{"[my A]", "y"}}, "y + x", {"x", "y"}},
      {"[A] + x", {{"A", "z"}}, "z + x", {"x", "z"}},
      {"x + 1", {{"x", "[new x]"}}, "[new x] + 1", {"[new x]"}},
      {"a  *(b)", {{"a", "z"}}, "z  *(b)", {"b", "z"}},
      {"c1.A + A", {{"c1.A", "c2.A"}}, "c2.A + A", {"A", "c2.A"}},
      {"f(f)", {{"f", "g"}}, "g(g)", {"g"}},
      {"k*2", {{"q", "r"}}, "k*2", {"k"}},
  };
  for (const SubstituteCase& c : cases) {
    MathExpression expression(c.text);
    ASSERT_TRUE(expression.isSyntacticallyValid()) << c.text;
    expression.substitute(c.substitutions);
    EXPECT_EQ(expression.getExpressionString(), c.expected) << c.text;
    EXPECT_TRUE(expression.isSyntacticallyValid()) << c.text;
    EXPECT_EQ(tokensOf(expression), c.tokens) << c.text;
  }
}

TEST(MathExpression, SubstituteUnbindsEveryTokenAndClearsCollisions) {
  TestComponent component;
  MathExpression expression("A + B");
  const boost::shared_ptr<const MParseTree> before = expression.getParseTree();
  expression.setResolvedComponent("A", &component);
  expression.setResolvedComponent("B", &component);
  expression.addCollisionToken("A");

  expression.substitute({{"nothing", "here"}});

  EXPECT_EQ(expression.getExpressionString(), "A + B");
  EXPECT_TRUE(expression.getCollisionTokens().empty());
  EXPECT_EQ(expression.getResolvedComponent("A"), nullptr);
  EXPECT_EQ(expression.getResolvedComponent("B"), nullptr);
  EXPECT_FALSE(expression.isComponentUsed(&component));
  EXPECT_NE(expression.getParseTree(), before);  // parsed again
}

TEST(MathExpression, SubstituteWithoutParseTreeChangesNothing) {
  MathExpression expression("a + (b");
  expression.addCollisionToken("a");
  expression.substitute({{"a", "z"}});
  EXPECT_EQ(expression.getExpressionString(), "a + (b");
  EXPECT_TRUE(expression.containsCollisionToken("a"));
  EXPECT_FALSE(expression.isSyntacticallyValid());
}

// --- copies ----------------------------------------------------------------------------

TEST(MathExpression, CopiesShareTheTreeButNotTheBindings) {
  TestComponent a;
  MathExpression source("A + B");
  MathExpression copy(source);
  EXPECT_EQ(copy.getParseTree(), source.getParseTree());
  EXPECT_EQ(copy.getExpressionString(), "A + B");

  copy.setResolvedComponent("A", &a);
  EXPECT_EQ(copy.getResolvedComponent("A"), &a);
  EXPECT_EQ(source.getResolvedComponent("A"), nullptr);

  MathExpression assigned("z");
  assigned = copy;
  EXPECT_EQ(assigned.getParseTree(), source.getParseTree());
  EXPECT_EQ(assigned.getResolvedComponent("A"), &a);
  EXPECT_FALSE(assigned.containsToken("z"));

  // Substituting in a copy leaves the source and its tree alone.
  copy.substitute({{"A", "Q"}});
  EXPECT_EQ(source.getExpressionString(), "A + B");
  EXPECT_EQ(copy.getExpressionString(), "Q + B");
  EXPECT_NE(copy.getParseTree(), source.getParseTree());
  EXPECT_EQ(assigned.getParseTree(), source.getParseTree());
}

TEST(MathExpression, LongSumsParseAndSubstituteInOnePass) {
  std::string text = "s0";
  for (int i = 1; i < 20000; ++i) text += " + s" + std::to_string(i);
  MathExpression expression(text);
  ASSERT_TRUE(expression.isSyntacticallyValid());
  EXPECT_EQ(expression.getSymbolComponentMap().size(), 20000u);
  expression.substitute({{"s0", "t0"}, {"s19999", "t1"}});
  EXPECT_TRUE(expression.containsToken("t0"));
  EXPECT_TRUE(expression.containsToken("t1"));
  EXPECT_FALSE(expression.containsToken("s0"));
  EXPECT_EQ(expression.getSymbolComponentMap().size(), 20000u);
}

}  // namespace
