// The expression base: factory, resolution status, collision tokens, debug
// listing, and the bracket removal of the name-resolution layer.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/ComponentKind.hpp"
#include "expressions/AssignmentExpression.hpp"
#include "expressions/Expression.hpp"
#include "expressions/MathExpression.hpp"
#include "expressions/NameHelpers.hpp"
#include "support/TestComponents.hpp"

namespace {

using kstr::Expression;

// Makes the protected status rule reachable.
struct StatusProbe : kstr::MathExpression {
  StatusProbe() : MathExpression("") {}
  using Expression::getSymbolResolutionStatus;
};

std::string printed(const Expression& expression) {
  std::ostringstream out;
  expression.debugPrint(out);
  return out.str();
}

std::string pointerText(const void* pointer) {
  std::ostringstream out;
  out << pointer;
  return out.str();
}

// --- createExpression ---------------------------------------------------------

struct FactoryCase {
  const char* text;
  bool assignment;
};

TEST(ExpressionFactory, PicksTheKindFromTheAssignmentsEqualsSign) {
  const FactoryCase cases[] = {
      {"x = y + 1", true}, {"x=y", true},         {"y + 1", false},  {"a == b", false},
      {"a <= b", false},   {"a >= b", false},     {"a != b", false}, {"", false},
      {"[a=b] + 1", false}, {"x = (y == 2)", true},
  };
  for (const FactoryCase& c : cases) {
    std::unique_ptr<Expression> expression(Expression::createExpression(c.text));
    ASSERT_NE(expression, nullptr) << c.text;
    const bool isAssignment =
        dynamic_cast<kstr::AssignmentExpression*>(expression.get()) != nullptr;
    const bool isMath = dynamic_cast<kstr::MathExpression*>(expression.get()) != nullptr;
    EXPECT_EQ(isAssignment, c.assignment) << c.text;
    EXPECT_EQ(isMath, !c.assignment) << c.text;
  }
}

TEST(ExpressionFactory, TextThatDoesNotParseGivesAnInvalidExpression) {
  std::unique_ptr<Expression> math(Expression::createExpression("a + * b"));
  std::unique_ptr<Expression> assignment(Expression::createExpression("x = (a"));
  EXPECT_FALSE(math->isSyntacticallyValid());
  EXPECT_FALSE(assignment->isSyntacticallyValid());
  EXPECT_EQ(math->getExpressionString(), "a + * b");
}

// --- resolution status ----------------------------------------------------------

struct StatusCase {
  const char* token;
  bool bound;
  Expression::SymbolResolutionStatus status;
};

TEST(ExpressionStatus, FirstRuleThatHoldsDecides) {
  TestComponent component;
  const StatusCase cases[] = {
      {"x", true, Expression::resolved},
      {"time", true, Expression::resolved},
      {"sin", true, Expression::resolved},
      {"time", false, Expression::reserved_token},
      {"sin", false, Expression::host_function},
      {"exp", false, Expression::host_function},
      {"x", false, Expression::unresolved},
      {"Time", false, Expression::unresolved},
      {"c1.x", false, Expression::unresolved},
  };
  for (const StatusCase& c : cases) {
    const std::pair<const std::string, KelborComponent*> entry(
        c.token, c.bound ? &component : nullptr);
    EXPECT_EQ(StatusProbe::getSymbolResolutionStatus(entry), c.status) << c.token;
  }
}

TEST(ExpressionStatus, NumericValuesOfTheStatusAreFixed) {
  EXPECT_EQ(static_cast<int>(Expression::resolved), 0);
  EXPECT_EQ(static_cast<int>(Expression::host_function), 1);
  EXPECT_EQ(static_cast<int>(Expression::reserved_token), 2);
  EXPECT_EQ(static_cast<int>(Expression::unresolved), 3);
}

// --- collision tokens -------------------------------------------------------------

TEST(ExpressionCollisions, AddRemoveAndClearKeepOneEntryPerToken) {
  kstr::MathExpression expression("a + b");
  expression.addCollisionToken("a");
  expression.addCollisionToken("a");
  expression.addCollisionToken("b");
  EXPECT_EQ(expression.getCollisionTokens(), (Expression::TokenSet{"a", "b"}));
  expression.removeCollisionToken("zz");
  EXPECT_EQ(expression.getCollisionTokens().size(), 2u);
  EXPECT_TRUE(expression.containsCollisionToken("a"));
  expression.removeCollisionToken("a");
  EXPECT_FALSE(expression.containsCollisionToken("a"));
  EXPECT_TRUE(expression.containsCollisionToken("b"));
  expression.clearAllCollisionTokens();
  EXPECT_TRUE(expression.getCollisionTokens().empty());
}

TEST(ExpressionCollisions, CopiesCarryTheSetAndSelfAssignmentKeepsIt) {
  kstr::MathExpression source("a + b");
  source.addCollisionToken("a");
  kstr::MathExpression copy(source);
  EXPECT_TRUE(copy.containsCollisionToken("a"));
  copy.addCollisionToken("b");
  EXPECT_FALSE(source.containsCollisionToken("b"));

  kstr::MathExpression& alias = source;
  source = alias;
  EXPECT_EQ(source.getCollisionTokens(), (Expression::TokenSet{"a"}));
}

// --- debugPrint ------------------------------------------------------------------------

TEST(ExpressionDebugPrint, EmptyExpressionPrintsThreeBareLines) {
  kstr::MathExpression expression("");
  EXPECT_EQ(printed(expression), "  Expression: .\n  Collisions: .\n  Resolves: \n");
}

TEST(ExpressionDebugPrint, ListsCollisionsInOrderAndEveryBindingOnOneLine) {
  TestComponent component;
  kstr::MathExpression expression("b + a*sin(a)");
  expression.addCollisionToken("z");
  expression.addCollisionToken("a");
  expression.setResolvedComponent("a", &component);
  const std::string null = pointerText(nullptr);
  EXPECT_EQ(printed(expression),
            "  Expression: b + a*sin(a).\n"
            "  Collisions: a z .\n"
            "  Resolves:   a => " + pointerText(&component) + "  b => " + null +
                "  sin => " + null + "\n");
}

TEST(ExpressionDebugPrint, AssignmentPrintsItsCombinedMap) {
  TestComponent component;
  kstr::AssignmentExpression expression("x=y");
  expression.setResolvedComponent("x", &component);
  EXPECT_EQ(printed(expression), "  Expression: x = y.\n  Collisions: .\n  Resolves:   x => " +
                                     pointerText(&component) + "  y => " +
                                     pointerText(nullptr) + "\n");
}

TEST(ExpressionDebugPrint, WithoutStreamWritesToStandardOutput) {
  kstr::MathExpression expression("k1 * A");
  testing::internal::CaptureStdout();
  expression.debugPrint();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), printed(expression));
}

// --- removeBracketsFromValidIdentifiers ------------------------------------------------

struct BracketCase {
  const char* name;
  const char* expected;
};

TEST(NameHelpers, RemoveBracketsFromValidIdentifiers) {
  const BracketCase cases[] = {
      {"A", "A"},
      {"cell.A", "cell.A"},
      {"", ""},
      {"[A].[B]", "A.B"},
      {"cell.[A]", "cell.A"},
      {"[A]", "A"},
      {"[my A]", "[my A]"},
      {"[my A].[B]", "[my A].B"},
      {"[a[b]]", "[a[b]]"},
      {"[A", "[A"},
      {"[A].[B", "A.[B"},
      {"[]", "[]"},
      {"[1a]", "[1a]"},
      {"[if]", "[if]"},
      {"[a_1]+[b]", "a_1+b"},
      {"x[A]y", "xAy"},
      {"[ A ]", "[ A ]"},
      {"]", "]"},
      {"][A]", "]A"},
  };
  for (const BracketCase& c : cases) {
    std::string name = c.name;
    kstr::removeBracketsFromValidIdentifiers(name);
    EXPECT_EQ(name, c.expected) << "input: " << c.name;
  }
}

TEST(NameHelpers, RemoveBracketsIsLinearOnLongNames) {
  std::string name;
  std::string expected;
  for (int i = 0; i < 200000; ++i) {
    name += "[a]";
    expected += "a";
  }
  kstr::removeBracketsFromValidIdentifiers(name);
  EXPECT_EQ(name, expected);
}

TEST(NameHelpers, ComponentTypeKeywordIsTheCoreTable) {
  EXPECT_STREQ(kstr::componentTypeKeyword(kstr::species), "species");
  EXPECT_STREQ(kstr::componentTypeKeyword(0), "abstract_kinetic_law");
  EXPECT_STREQ(kstr::componentTypeKeyword(12), "compartment");
  EXPECT_EQ(kstr::componentTypeKeyword(13), nullptr);
}

}  // namespace
