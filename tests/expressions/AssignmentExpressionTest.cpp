// Assignment expressions: sides, validity, the left-side variable check,
// bindings through both sides, substitution and shared sides of copies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <ks_utils/MParseTree.hpp>

#include "expressions/AssignmentExpression.hpp"
#include "support/TestComponents.hpp"

namespace {

using kstr::AssignmentExpression;
using kstr::Expression;

struct SideCase {
  const char* text;
  const char* lhs;
  const char* rhs;
  const char* whole;
};

TEST(AssignmentExpression, SplitsTrimsAndWritesBackBothSides) {
  const SideCase cases[] = {
      {"x = y + 1", "x", "y + 1", "x = y + 1"},
      {"x=y+1", "x", "y+1", "x = y+1"},
      {"  x  =\ty ", "x", "y", "x = y"},
      {"x = (a == b)", "x", "(a == b)", "x = (a == b)"},
      {"[my x] = 2", "[my x]", "2", "[my x] = 2"},
      {"y + 1", "", "y + 1", "y + 1"},
      {"", "", "", ""},
      {"x =", "x", "", "x = "},
  };
  for (const SideCase& c : cases) {
    AssignmentExpression expression(c.text);
    EXPECT_EQ(expression.getLHSExpressionString(), c.lhs) << c.text;
    EXPECT_EQ(expression.getRHSExpressionString(), c.rhs) << c.text;
    EXPECT_EQ(expression.getExpressionString(), c.whole) << c.text;
  }
}

struct ValidityCase {
  const char* text;
  bool valid;
};

TEST(AssignmentExpression, ValidNeedsBothSidesAndOneLeftVariableWithoutNumbers) {
  const ValidityCase cases[] = {
      {"x = y + 1", true},  {"x = x + 1", true},   {"[my x] = 2", true},
      {"c1.x = 3", true},   {"2*x = y", false},    {"x*2 = y", false},
      {"x + z = y", false}, {"x + x = y", true},   {"x = ", false},
      {" = y", false},      {"x = (y", false},     {"y + 1", false},
      {"", false},          {"sin(x) = 1", false}, {"x = y = z", false},
  };
  for (const ValidityCase& c : cases) {
    AssignmentExpression expression(c.text);
    EXPECT_EQ(expression.isSyntacticallyValid(), c.valid) << c.text;
  }
}

TEST(AssignmentExpression, LeftVariableMustBeBoundAndFreeOfNumbers) {
  TestComponent component;
  AssignmentExpression expression("x = y + 1");
  EXPECT_TRUE(expression.isSyntacticallyValid());
  EXPECT_FALSE(expression.isLHSValidAssignmentVariable());
  expression.setResolvedComponent("x", &component);
  EXPECT_TRUE(expression.isLHSValidAssignmentVariable());

  AssignmentExpression scaled("2*x = y");
  scaled.setResolvedComponent("x", &component);
  EXPECT_FALSE(scaled.isLHSValidAssignmentVariable());

  AssignmentExpression twoTokens("x + z = y");
  twoTokens.setResolvedComponent("x", &component);
  twoTokens.setResolvedComponent("z", &component);
  EXPECT_FALSE(twoTokens.isLHSValidAssignmentVariable());

  AssignmentExpression reserved("time = 1");
  EXPECT_TRUE(reserved.isSyntacticallyValid());
  EXPECT_FALSE(reserved.isLHSValidAssignmentVariable());
}

TEST(AssignmentExpression, BindingReachesBothSidesAndOnlyTokensTheyHold) {
  TestComponent component;
  AssignmentExpression expression("x = x + k");
  expression.setResolvedComponent("x", &component);
  EXPECT_EQ(expression.getLHSSymbolComponentMap().at("x"), &component);
  EXPECT_EQ(expression.getRHSSymbolComponentMap().at("x"), &component);

  Expression::ConstComponentMap map;
  expression.getSymbolComponentMap(map);
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(map.at("x"), &component);
  EXPECT_EQ(map.at("k"), nullptr);

  expression.setResolvedComponent("absent", &component);
  EXPECT_FALSE(expression.containsToken("absent"));
  EXPECT_EQ(expression.getResolvedComponent("absent"), nullptr);
  EXPECT_EQ(expression.getRHSSymbolComponentMap().size(), 2u);
  EXPECT_EQ(expression.getLHSSymbolComponentMap().size(), 1u);
}

TEST(AssignmentExpression, CombinedAnswersVisitTheLeftSideFirst) {
  TestComponent x;
  TestComponent k;
  AssignmentExpression expression("x = k * sin(y)");
  expression.setResolvedComponent("k", &k);
  EXPECT_TRUE(expression.containsToken("x"));
  EXPECT_TRUE(expression.containsToken("y"));
  EXPECT_EQ(expression.getResolvedComponent("k"), &k);
  EXPECT_TRUE(expression.isComponentUsed(&k));
  EXPECT_FALSE(expression.isComponentUsed(&x));
  EXPECT_FALSE(expression.doAllTokensResolve());

  Expression::TokenSet all;
  expression.fillSetWithTokens(all, true);
  EXPECT_EQ(all, (Expression::TokenSet{"k", "sin", "x", "y"}));
  Expression::TokenSet named;
  expression.fillSetWithTokens(named, false);
  EXPECT_EQ(named, (Expression::TokenSet{"k", "x", "y"}));

  Expression::TokenSet lhs;
  Expression::TokenSet rhs;
  expression.fillSetWithLHSTokens(lhs);
  expression.fillSetWithRHSTokens(rhs);
  EXPECT_EQ(lhs, (Expression::TokenSet{"x"}));
  EXPECT_EQ(rhs, (Expression::TokenSet{"k", "y"}));

  Expression::TokenSet unresolved;
  expression.getUnresolvedTokens(unresolved);
  EXPECT_EQ(unresolved, (Expression::TokenSet{"x", "y"}));
  Expression::TokenSet unresolvedRhs;
  expression.getUnresolvedRHSTokens(unresolvedRhs);
  EXPECT_EQ(unresolvedRhs, (Expression::TokenSet{"y"}));

  expression.setResolvedComponent("x", &x);
  expression.setResolvedComponent("y", &x);
  EXPECT_TRUE(expression.doAllTokensResolve());

  Expression::ConstComponentMap lhsMap{{"x", &k}};
  expression.fillLHSSymbolComponentMap(lhsMap);
  EXPECT_EQ(lhsMap.at("x"), &k);  // the caller's entry stays
  Expression::ConstComponentMap rhsMap;
  expression.fillRHSSymbolComponentMap(rhsMap);
  EXPECT_EQ(rhsMap.size(), 3u);
  EXPECT_EQ(rhsMap.at("k"), &k);
}

TEST(AssignmentExpression, ParseTreesOfTheSides) {
  AssignmentExpression expression("x = 2*y");
  ASSERT_NE(expression.getLHSParseTree(), nullptr);
  ASSERT_NE(expression.getRHSParseTree(), nullptr);
  EXPECT_FALSE(expression.getLHSParseTree()->getContainsNumericValues());
  EXPECT_TRUE(expression.getRHSParseTree()->getContainsNumericValues());
  AssignmentExpression noEquals("y");
  EXPECT_EQ(noEquals.getLHSParseTree(), nullptr);
}

TEST(AssignmentExpression, SubstituteRenamesBothSidesAndClearsCollisions) {
  TestComponent component;
  AssignmentExpression expression("x = x + y");
  expression.setResolvedComponent("x", &component);
  expression.addCollisionToken("x");
  expression.substitute({{"x", "[new x]"}, {"y", "x"}});
  EXPECT_EQ(expression.getExpressionString(), "[new x] = [new x] + x");
  EXPECT_TRUE(expression.getCollisionTokens().empty());
  EXPECT_FALSE(expression.isComponentUsed(&component));
  EXPECT_TRUE(expression.isSyntacticallyValid());
}

TEST(AssignmentExpression, CopiesShareTheSidesButNotCollisionsOrFlag) {
  TestComponent component;
  AssignmentExpression source("x = y");
  source.addCollisionToken("y");
  AssignmentExpression copy(source);
  EXPECT_TRUE(copy.containsCollisionToken("y"));

  copy.setResolvedComponent("y", &component);
  EXPECT_EQ(source.getResolvedComponent("y"), &component);

  copy.substitute({{"y", "z"}});
  EXPECT_EQ(source.getExpressionString(), "x = z");
  EXPECT_TRUE(copy.getCollisionTokens().empty());
  EXPECT_TRUE(source.containsCollisionToken("y"));

  AssignmentExpression other("q");
  other = source;
  EXPECT_EQ(other.getExpressionString(), "x = z");
  other.substitute({{"x", "w"}});
  EXPECT_EQ(source.getExpressionString(), "w = z");

  AssignmentExpression& alias = other;
  other = alias;
  EXPECT_EQ(other.getExpressionString(), "w = z");
}

}  // namespace
