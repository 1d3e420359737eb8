// Reaction expressions: terms from a parsed reaction, the composed text,
// bindings, signed stoichiometry and editing of the terms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "expressions/ReactionExpression.hpp"
#include "reactions/ParsedReaction.hpp"
#include "support/TestComponents.hpp"

namespace {

using kstr::Expression;
using kstr::ReactionExpression;

// A species as the expression sees it: a component of kind species.
class Species : public TestComponent {
 public:
  explicit Species(const std::string& name) : TestComponent(kstr::species) { setName(name); }
};

struct TermSpec {
  const char* name;
  const char* qualifier;
  double stoichiometry;
};

ParsedReactionPtr parsed(const std::vector<TermSpec>& reactants,
                         const std::vector<TermSpec>& products, bool reversible) {
  ParsedReactionPtr reaction(ParsedReaction::create());
  for (const TermSpec& t : reactants) {
    reaction->reactants.push_back(
        ParsedReactionTerm::create(t.name, t.qualifier, t.stoichiometry, true));
  }
  for (const TermSpec& t : products) {
    reaction->products.push_back(
        ParsedReactionTerm::create(t.name, t.qualifier, t.stoichiometry, false));
  }
  reaction->reversible = reversible;
  return reaction;
}

std::vector<std::string> names(const ReactionExpression& expression, bool reactants) {
  std::vector<std::string> out;
  const std::size_t count =
      reactants ? expression.getNumReactants() : expression.getNumProducts();
  for (std::size_t i = 0; i < count; ++i) {
    out.push_back(reactants ? expression.getReactantAt(i).name
                            : expression.getProductAt(i).name);
  }
  return out;
}

// A term as a test expects it on its side.
struct Term {
  std::string name;
  double stoichiometry;
  Species* species;
};

// The expression holds what a new equation of the expected terms (the
// reactants, then the products) holds: the text, the order, the
// stoichiometry and the bindings, and its lookups by name and by species
// find every term.
void expectAsFreshEquation(const ReactionExpression& e, const std::vector<Term> (&sides)[2]) {
  std::vector<TermSpec> specs[2];
  for (int side = 0; side < 2; ++side) {
    for (const Term& term : sides[side]) specs[side].push_back({term.name.c_str(), "", term.stoichiometry});
  }
  const ParsedReactionPtr fresh = parsed(specs[0], specs[1], false);
  EXPECT_EQ(e.getExpressionString(), ReactionExpression(fresh.get()).getExpressionString());
  ASSERT_EQ(e.getNumReactants(), sides[0].size());
  ASSERT_EQ(e.getNumProducts(), sides[1].size());
  kstrVector<double> expectedSigned;
  for (std::size_t i = 0; i < sides[0].size(); ++i) {
    EXPECT_EQ(e.getReactantAt(i).name, sides[0][i].name);
    EXPECT_EQ(e.getReactantAt(i).species, sides[0][i].species);
    expectedSigned.push_back(-sides[0][i].stoichiometry);
  }
  for (std::size_t j = 0; j < sides[1].size(); ++j) {
    EXPECT_EQ(e.getProductAt(j).name, sides[1][j].name);
    EXPECT_EQ(e.getProductAt(j).species, sides[1][j].species);
    expectedSigned.push_back(sides[1][j].stoichiometry);
  }
  kstrVector<double> signedValues;
  e.getSignedStoichiometry(signedValues);
  EXPECT_EQ(signedValues, expectedSigned);
  Expression::TokenSet tokens;
  e.fillSetWithTokens(tokens, true);
  std::set<std::string> expectedTokens;
  for (const auto& side : sides) {
    for (const Term& term : side) {
      expectedTokens.insert(term.name);
      EXPECT_TRUE(e.containsToken(term.name));
      EXPECT_EQ(e.getResolvedComponent(term.name), term.species);
      EXPECT_TRUE(e.isComponentUsed(term.species));
    }
  }
  EXPECT_EQ(std::set<std::string>(tokens.begin(), tokens.end()), expectedTokens);
}

// --- construction and the composed text ----------------------------------------------

TEST(ReactionExpression, DefaultIsAnEmptyValidIrreversibleEquation) {
  ReactionExpression expression;
  EXPECT_EQ(expression.getExpressionString(), "null -> null");
  EXPECT_TRUE(expression.isSyntacticallyValid());
  EXPECT_FALSE(expression.getReversible());
  EXPECT_EQ(expression.getNumReactants(), 0u);
  EXPECT_EQ(expression.getNumProducts(), 0u);
  EXPECT_TRUE(expression.doAllTokensResolve());
}

struct ComposeCase {
  std::vector<TermSpec> reactants;
  std::vector<TermSpec> products;
  bool reversible;
  const char* text;
};

TEST(ReactionExpression, ComposesTheTextFromTheParsedTerms) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<ComposeCase> cases = {
      {{{"A", "", 1}, {"B", "", 1}}, {{"P", "", 1}}, false, "A + B -> P"},
      {{{"A", "", 2}}, {{"B", "", 1}}, true, "2 A <-> B"},
      {{{"A", "", 0.5}, {"B", "", 1.5}}, {}, false, "0.5 A + 1.5 B -> null"},
      {{}, {}, false, "null -> null"},
      {{}, {{"A", "", 1}}, false, "null -> A"},
      {{{"null", "", 1}}, {{"A", "", 1}}, true, "null <-> A"},
      {{{"null", "cell", 1}, {"A", "", 1}}, {{"null", "", 1}}, false, "A -> null"},
      {{{"A", "cell", 1}}, {{"my A", "", 1}}, false, "cell.A -> [my A]"},
      {{{"my A", "cell", 1}}, {{"B", "my cell", 3}}, false, "cell.[my A] -> 3 [my cell].B"},
      {{{"A", "", 1234567}}, {{"B", "", 0.25}}, false, "1234567 A -> 0.25 B"},
      {{{"A", "", 0.0001}}, {{"B", "", 1e-5}}, false, "0.0001 A -> 1e-05 B"},
      {{{"A", "", 123456}}, {{"B", "", 2.0000001}}, false, "123456 A -> 2.0000001 B"},
      {{{"A", "", nan}}, {{"B", "", 1}}, false, "nan A -> B"},
      {{{"A", "", 1}, {"A", "", 1}}, {{"A", "", 1}}, false, "A + A -> A"},
  };
  for (const ComposeCase& c : cases) {
    const ParsedReactionPtr reaction = parsed(c.reactants, c.products, c.reversible);
    ReactionExpression expression(reaction.get());
    EXPECT_EQ(expression.getExpressionString(), c.text);
    EXPECT_TRUE(expression.isSyntacticallyValid());
    EXPECT_EQ(expression.getReversible(), c.reversible);
  }
}

TEST(ReactionExpression, TermsKeepOrderStoichiometryAndStartUnbound) {
  const ParsedReactionPtr reaction =
      parsed({{"A", "", 2}, {"null", "", 1}, {"B", "c1", 1}}, {{"[x]", "", 3}}, false);
  ReactionExpression expression(reaction.get());
  EXPECT_EQ(names(expression, true), (std::vector<std::string>{"A", "c1.B"}));
  EXPECT_EQ(names(expression, false), (std::vector<std::string>{"[[x]]"}));
  EXPECT_EQ(expression.getReactantAt(0).stoichiometry, 2.0);
  EXPECT_EQ(expression.getReactantAt(1).stoichiometry, 1.0);
  EXPECT_EQ(expression.getProductAt(0).stoichiometry, 3.0);
  EXPECT_EQ(expression.getReactantAt(0).species, nullptr);
  EXPECT_FALSE(expression.doAllTokensResolve());
}

TEST(ReactionExpression, GivenTextIsKeptUntilTheTermsChange) {
  const ParsedReactionPtr reaction = parsed({{"A", "", 1}}, {{"B", "", 1}}, true);
  ReactionExpression expression("A<->B", reaction.get());
  EXPECT_EQ(expression.getExpressionString(), "A<->B");
  EXPECT_TRUE(expression.getReversible());
  EXPECT_EQ(expression.getNumReactants(), 1u);
  expression.setReversible(true);
  EXPECT_EQ(expression.getExpressionString(), "A<->B");
  expression.setReversible(false);
  EXPECT_EQ(expression.getExpressionString(), "A -> B");
  expression.setReversible(true);
  EXPECT_EQ(expression.getExpressionString(), "A <-> B");
}

TEST(ReactionExpression, WithoutParsedReactionTheExpressionIsInvalid) {
  ReactionExpression fromNothing(nullptr);
  EXPECT_FALSE(fromNothing.isSyntacticallyValid());
  EXPECT_EQ(fromNothing.getExpressionString(), "null -> null");
  EXPECT_FALSE(fromNothing.getReversible());

  ReactionExpression withText("A -> ", nullptr);
  EXPECT_FALSE(withText.isSyntacticallyValid());
  EXPECT_EQ(withText.getExpressionString(), "A -> ");
  EXPECT_EQ(withText.getNumReactants(), 0u);
  EXPECT_FALSE(withText.isReactant("A"));

  Species a("A");
  withText.addReactant(&a, 1.0);
  EXPECT_EQ(withText.getExpressionString(), "A -> null");
  EXPECT_FALSE(withText.isReactant(&a));  // invalid expressions answer false
  EXPECT_FALSE(withText.isReactant("A"));
}

// --- tokens and bindings -------------------------------------------------------------------

TEST(ReactionExpression, TokensAreTheTermNames) {
  const ParsedReactionPtr reaction =
      parsed({{"A", "", 1}, {"sin", "", 1}}, {{"B", "cell", 1}, {"A", "", 1}}, false);
  ReactionExpression expression(reaction.get());
  for (bool all : {true, false}) {
    Expression::TokenSet tokens;
    expression.fillSetWithTokens(tokens, all);
    EXPECT_EQ(tokens, (Expression::TokenSet{"A", "cell.B", "sin"}));
  }
  EXPECT_TRUE(expression.containsToken("cell.B"));
  EXPECT_FALSE(expression.containsToken("B"));
  Expression::TokenSet unresolved;
  expression.getUnresolvedTokens(unresolved);
  EXPECT_EQ(unresolved, (Expression::TokenSet{"A", "cell.B", "sin"}));
}

TEST(ReactionExpression, BindingReachesEveryTermOfTheNameAndOnlySpecies) {
  const ParsedReactionPtr reaction = parsed({{"A", "", 1}, {"B", "", 1}}, {{"A", "", 2}}, false);
  ReactionExpression expression(reaction.get());
  Species a("A");
  TestComponent parameter(kstr::parameter);

  expression.setResolvedComponent("A", &a);
  EXPECT_EQ(expression.getReactantAt(0).species, &a);
  EXPECT_EQ(expression.getProductAt(0).species, &a);
  EXPECT_EQ(expression.getResolvedComponent("A"), &a);
  EXPECT_EQ(expression.getResolvedComponent("B"), nullptr);
  EXPECT_EQ(expression.getResolvedComponent("Q"), nullptr);
  EXPECT_TRUE(expression.isComponentUsed(&a));
  EXPECT_FALSE(expression.isComponentUsed(nullptr));
  EXPECT_EQ(expression.getExpressionString(), "A + B -> 2 A");  // binding writes nothing

  Expression::TokenSet unresolved;
  expression.getUnresolvedTokens(unresolved);
  EXPECT_EQ(unresolved, (Expression::TokenSet{"B"}));

  expression.setResolvedComponent("Q", &a);  // no term of that name
  EXPECT_FALSE(expression.containsToken("Q"));

  expression.setResolvedComponent("A", &parameter);
  EXPECT_EQ(expression.getReactantAt(0).species, nullptr);
  EXPECT_EQ(expression.getProductAt(0).species, nullptr);
  EXPECT_FALSE(expression.isComponentUsed(&parameter));
}

TEST(ReactionExpression, NonSpeciesComponentIsNeverUsed) {
  // A reaction expression recognises species by their kind.
  TestComponent compartment(kstr::compartment);
  ReactionExpression expression;
  expression.addReactant(&compartment, 1.0);
  EXPECT_EQ(expression.getReactantAt(0).species, &compartment);
  EXPECT_FALSE(expression.isComponentUsed(&compartment));
}

TEST(ReactionExpression, SymbolMapTakesTheFirstEntryOfAName) {
  const ParsedReactionPtr reaction = parsed({{"A", "", 1}}, {{"B", "", 1}}, false);
  ReactionExpression expression(reaction.get());
  Species a("A");
  Species b("B");
  expression.setResolvedComponent("B", &b);
  Expression::ConstComponentMap map{{"B", &a}};
  expression.getSymbolComponentMap(map);
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(map.at("A"), nullptr);
  EXPECT_EQ(map.at("B"), &a);

  Expression::ComponentMap own;
  expression.getSymbolComponentMap(own);
  EXPECT_EQ(own.at("B"), &b);

  // A later term of the same name bound elsewhere does not win.
  Species otherA("A");
  expression.setResolvedComponent("A", &a);
  expression.addProduct(&otherA, 1.0);
  Expression::ComponentMap again;
  expression.getSymbolComponentMap(again);
  EXPECT_EQ(again.at("A"), &a);
  EXPECT_EQ(expression.getResolvedComponent("A"), &a);
}

TEST(ReactionExpression, SpeciesListsAndMembershipTests) {
  const ParsedReactionPtr reaction =
      parsed({{"A", "", 1}, {"B", "", 1}}, {{"C", "", 1}}, false);
  ReactionExpression expression(reaction.get());
  Species a("A");
  Species c("C");
  expression.setResolvedComponent("A", &a);
  expression.setResolvedComponent("C", &c);

  kstrVector<Species*> reactants{nullptr};
  expression.getReactants(reactants);
  EXPECT_EQ(reactants, (kstrVector<Species*>{nullptr, &a, nullptr}));
  kstrVector<Species*> products;
  expression.getProducts(products);
  EXPECT_EQ(products, (kstrVector<Species*>{&c}));

  EXPECT_TRUE(expression.isReactant(&a));
  EXPECT_FALSE(expression.isProduct(&a));
  EXPECT_TRUE(expression.isProduct(&c));
  EXPECT_FALSE(expression.isReactant(static_cast<Species*>(nullptr)));
  EXPECT_TRUE(expression.isReactant("A"));
  EXPECT_FALSE(expression.isReactant("B"));  // unbound terms are skipped
  EXPECT_TRUE(expression.isProduct("C"));
  EXPECT_FALSE(expression.isProduct(nullptr));
  EXPECT_EQ(expression.getReactantAt(0).getSpecies<Species>(), &a);
}

TEST(ReactionExpression, NameTestsUseTheQualifiedNameWithSeveralCompartments) {
  RecordingModel model;
  TestComponent cell(kstr::compartment);
  cell.setName("cell");
  cell.setParent(&model);
  Species a("my A");
  a.setParent(&cell);
  model.setCompartmentsInTree(2);

  const ParsedReactionPtr reaction = parsed({{"my A", "", 1}}, {}, false);
  ReactionExpression expression(reaction.get());
  expression.setResolvedComponent("[my A]", &a);
  EXPECT_FALSE(expression.isReactant("[my A]"));
  EXPECT_TRUE(expression.isReactant("cell.[my A]"));

  expression.refreshReactionString(true);
  EXPECT_EQ(expression.getExpressionString(), "cell.[my A] -> null");

  model.setCompartmentsInTree(1);
  EXPECT_TRUE(expression.isReactant("[my A]"));
  expression.refreshReactionString(false);
  EXPECT_EQ(expression.getExpressionString(), "cell.[my A] -> null");
  expression.refreshReactionString(true);
  EXPECT_EQ(expression.getExpressionString(), "[my A] -> null");
}

TEST(ReactionExpression, RefreshRenamesOnlyBoundTerms) {
  const ParsedReactionPtr reaction = parsed({{"old", "", 2}}, {{"B", "", 1}}, false);
  ReactionExpression expression("whatever", reaction.get());
  Species renamed("new");
  expression.setResolvedComponent("old", &renamed);
  expression.refreshReactionString(true);
  EXPECT_EQ(expression.getExpressionString(), "2 new -> B");
  EXPECT_TRUE(expression.containsToken("new"));
  EXPECT_FALSE(expression.containsToken("old"));
}

// --- editing the terms -----------------------------------------------------------------------

TEST(ReactionExpression, AddAppendsTermsWithoutMerging) {
  ReactionExpression expression;
  Species a("A");
  Species b("my B");
  expression.addReactant(&a, 1.0);
  expression.addReactant(&a, 1.0);
  expression.addProduct(&b, 2.5);
  EXPECT_EQ(expression.getExpressionString(), "A + A -> 2.5 [my B]");
  EXPECT_EQ(expression.getNumReactants(), 2u);
  EXPECT_EQ(expression.getProductAt(0).species, &b);
  EXPECT_TRUE(expression.doAllTokensResolve());
  expression.addReactant(static_cast<Species*>(nullptr), 1.0);
  EXPECT_EQ(expression.getNumReactants(), 2u);
}

// Adding amounts to a side merges each species into its first term (one
// already there or one the same call added) and skips a null species, on
// sides short enough to be searched and long enough to be hashed.
TEST(ReactionExpression, AddToSideMergesEachSpeciesIntoItsFirstTerm) {
  for (const int count : {2, 7, 30}) {
    SCOPED_TRACE(count);
    std::vector<std::unique_ptr<Species>> species;
    for (int i = 0; i < count; ++i) species.push_back(std::make_unique<Species>("S" + std::to_string(i)));
    ReactionExpression expression;
    // Terms already there, the first species twice (added one at a time).
    std::vector<std::pair<Species*, double>> expected;
    for (int i = 0; i < count; i += 2) {
      expression.addProduct(species[i].get(), 1.0);
      expected.emplace_back(species[i].get(), 1.0);
    }
    expression.addProduct(species[0].get(), 4.0);
    // Every species, the odd ones twice, and a null one among them.
    std::vector<ReactionExpression::SpeciesAmount> amounts;
    for (int i = 0; i < count; ++i) {
      for (int copies = i % 2 == 1 ? 2 : 1; copies > 0; --copies) amounts.emplace_back(species[i].get(), 0.5 * (i + 1));
      if (i == count / 2) amounts.emplace_back(nullptr, 9.0);
    }
    for (int i = 0; i < count; ++i) {
      const double added = (i % 2 == 1 ? 2 : 1) * 0.5 * (i + 1);
      if (i % 2 == 0) {
        expected[static_cast<size_t>(i / 2)].second += added;
      } else {
        expected.emplace_back(species[i].get(), added);
      }
    }
    expression.addToSide(true, amounts);
    ASSERT_EQ(expression.getNumProducts(), expected.size() + 1);
    // The second term of the first species, after the terms that were
    // there, stays as it was: only first terms take amounts.
    const size_t secondOfFirst = static_cast<size_t>((count + 1) / 2);
    size_t matched = 0;
    for (size_t term = 0; term < expression.getNumProducts(); ++term) {
      const kstr::ReactionTerm& t = expression.getProductAt(term);
      if (term == secondOfFirst) {
        EXPECT_EQ(t.species, species[0].get());
        EXPECT_EQ(t.stoichiometry, 4.0);
        continue;
      }
      ASSERT_LT(matched, expected.size());
      EXPECT_EQ(t.species, expected[matched].first);
      EXPECT_EQ(t.stoichiometry, expected[matched].second);
      ++matched;
    }
    EXPECT_EQ(matched, expected.size());
    EXPECT_EQ(expression.getNumReactants(), 0u);
  }
}

TEST(ReactionExpression, RemoveDropsEveryBoundTermAndAlwaysComposes) {
  const ParsedReactionPtr reaction = parsed({{"A", "", 1}, {"B", "", 1}, {"A", "", 3}},
                                            {{"C", "", 1}}, false);
  ReactionExpression expression("kept text", reaction.get());
  Species a("A");
  Species c("C");
  expression.setResolvedComponent("A", &a);

  EXPECT_FALSE(expression.removeReactant(&c));
  EXPECT_EQ(expression.getExpressionString(), "A + B + 3 A -> C");
  EXPECT_FALSE(expression.removeProduct(&c));  // C's term is not bound yet
  EXPECT_TRUE(expression.removeReactant(&a));
  EXPECT_EQ(expression.getExpressionString(), "B -> C");
  EXPECT_FALSE(expression.removeReactant(static_cast<Species*>(nullptr)));
  expression.setResolvedComponent("C", &c);
  EXPECT_TRUE(expression.removeProduct(&c));
  EXPECT_EQ(expression.getExpressionString(), "B -> null");
}

// Removals from equations short enough to be searched and long enough to
// be indexed, spread over both sides, of species with one term or several:
// after each one the equation holds what a new equation of the remaining
// terms holds (the text, the order, the stoichiometry and the bindings),
// and so does a copy, also after the removed terms outnumber the rest.
TEST(ReactionExpression, RemovalsKeepTheRemainingTermsAsAFreshEquationHasThem) {
  for (const int count : {6, 40, 300}) {
    SCOPED_TRACE(count);
    std::vector<std::unique_ptr<Species>> species;
    std::vector<Term> sides[2];
    ReactionExpression expression;
    for (int i = 0; i < count; ++i) {
      species.push_back(std::make_unique<Species>("S" + std::to_string(i)));
      // Every fifth species also stands a second time on its side.
      const int side = i % 3 == 0 ? 1 : 0;
      const double stoichiometry = i % 4 == 0 ? 1.0 : 0.5 * i;
      for (int copies = i % 5 == 0 ? 2 : 1; copies > 0; --copies) {
        sides[side].push_back({species.back()->getName(), stoichiometry, species.back().get()});
      }
    }
    for (int side = 0; side < 2; ++side) {
      // One term at a time: addToSide would merge the repeats.
      for (const Term& term : sides[side]) {
        if (side == 1) {
          expression.addProduct(term.species, term.stoichiometry);
        } else {
          expression.addReactant(term.species, term.stoichiometry);
        }
      }
    }
    const auto check = [&](const ReactionExpression& e) { expectAsFreshEquation(e, sides); };
    // Every seventh species in turn, then every second of those left, so
    // that the removed terms come to outnumber the others.
    std::vector<int> order;
    for (int i = 0; i < count; i += 7) order.push_back(i);
    for (int i = 1; i < count; i += 2) {
      if (i % 7 != 0) order.push_back(i);
    }
    for (const int i : order) {
      Species* gone = species[static_cast<std::size_t>(i)].get();
      const int side = i % 3 == 0 ? 1 : 0;
      std::vector<std::string> removed;
      ASSERT_TRUE(expression.removeTermsOf(side == 1, gone, removed));
      EXPECT_EQ(removed, std::vector<std::string>(i % 5 == 0 ? 2 : 1, gone->getName()));
      std::erase_if(sides[side], [gone](const Term& term) { return term.species == gone; });
      EXPECT_FALSE(side == 1 ? expression.isProduct(gone) : expression.isReactant(gone));
      EXPECT_FALSE(expression.isComponentUsed(gone));
      EXPECT_FALSE(expression.containsToken(gone->getName()));
      // A second removal finds nothing, on either side.
      EXPECT_FALSE(expression.removeTermsOf(side == 1, gone, removed));
      EXPECT_FALSE(expression.removeTermsOf(side != 1, gone, removed));
      if (i % 49 == 0) {
        check(expression);
        check(ReactionExpression(expression));
      }
    }
    check(expression);
    // Rebinding and unbinding a remaining name reaches its terms only.
    const Term kept = sides[0].empty() ? sides[1].front() : sides[0].front();
    expression.setResolvedComponent(kept.name, nullptr);
    EXPECT_EQ(expression.getResolvedComponent(kept.name), nullptr);
    EXPECT_FALSE(expression.isComponentUsed(kept.species));
    expression.setResolvedComponent(kept.name, kept.species);
    EXPECT_TRUE(expression.isComponentUsed(kept.species));
    std::vector<std::string> removed;
    EXPECT_TRUE(expression.removeTermsOf(sides[0].empty(), kept.species, removed));
    const auto& keptSide = sides[sides[0].empty() ? 1 : 0];
    EXPECT_EQ(removed.size(), static_cast<std::size_t>(std::count_if(
                                  keptSide.begin(), keptSide.end(),
                                  [&kept](const Term& term) { return term.species == kept.species; })));
  }
}

// New terms appended at the ends of the sides, in batches and one at a
// time, between removals, to equations short enough to be searched and long
// enough to be indexed: after each step the equation holds what a new
// equation of its terms holds (text, order, stoichiometry, bindings and the
// lookups by name and species), and so does a copy.
TEST(ReactionExpression, AppendedTermsStandAsInAFreshEquation) {
  for (const int count : {6, 40, 300}) {
    SCOPED_TRACE(count);
    std::vector<std::unique_ptr<Species>> species;
    for (int i = 0; i < count; ++i) species.push_back(std::make_unique<Species>("S" + std::to_string(i)));
    std::vector<Term> sides[2];
    ReactionExpression expression;
    const auto check = [&](const ReactionExpression& e) { expectAsFreshEquation(e, sides); };
    const auto append = [&](int side, const std::vector<int>& which) {
      std::vector<ReactionExpression::SpeciesAmount> amounts;
      for (const int i : which) {
        Species* s = species[static_cast<std::size_t>(i)].get();
        const double stoichiometry = i % 4 == 0 ? 2.5 : 1.0;
        amounts.emplace_back(s, stoichiometry);
        sides[side].push_back({s->getName(), stoichiometry, s});
      }
      std::vector<std::string> appended;
      const std::vector<ReactionExpression::SpeciesAmount> none;
      ASSERT_TRUE(side == 0 ? expression.appendNewTerms(amounts, none, appended)
                            : expression.appendNewTerms(none, amounts, appended));
      std::vector<std::string> expected;
      for (const int i : which) expected.push_back(species[static_cast<std::size_t>(i)]->getName());
      EXPECT_EQ(appended, expected);
    };
    const auto onSide = [&](int side, int i) {
      return std::any_of(sides[side].begin(), sides[side].end(),
                         [&](const Term& t) { return t.species == species[static_cast<std::size_t>(i)].get(); });
    };
    const auto remove = [&](int side, int i) {
      Species* gone = species[static_cast<std::size_t>(i)].get();
      std::vector<std::string> removed;
      ASSERT_EQ(expression.removeTermsOf(side == 1, gone, removed), onSide(side, i));
      std::erase_if(sides[side], [gone](const Term& term) { return term.species == gone; });
    };
    // Half the species as reactants in one batch, the rest as products one
    // at a time; some of the products were reactants already.
    std::vector<int> firstHalf;
    for (int i = 0; i < count / 2; ++i) firstHalf.push_back(i);
    append(0, firstHalf);
    check(expression);
    for (int i = count / 3; i < count; ++i) {
      append(1, {i});
      if (i % 5 == 0) remove(0, i % (count / 2));
      if (i % 7 == 0) {
        // A removed reactant comes back at the end of its side.
        const int back = i % (count / 2);
        if (!onSide(0, back)) append(0, {back});
      }
      if (i % 11 == 0) check(expression);
    }
    check(expression);
    check(ReactionExpression(expression));
    // Every reactant away, then one back: the side reads "null" in between.
    while (!sides[0].empty()) remove(0, std::stoi(sides[0].front().name.substr(1)));
    EXPECT_EQ(expression.getExpressionString().substr(0, 4), "null");
    append(0, {0});
    check(expression);
  }
}

// A reversible equation keeps its arrow between the sides, and an appended
// stoichiometry is written as a composed text writes it (every digit it
// takes to read back).
TEST(ReactionExpression, AppendKeepsTheArrowAndWritesStoichiometryAsComposed) {
  Species a("A");
  Species b("B");
  Species c("my C");
  Species d("D");
  const ParsedReactionPtr reaction = parsed({{"A", "", 1}}, {{"B", "", 2}}, true);
  ReactionExpression expression(reaction.get());
  expression.setResolvedComponent("A", &a);
  expression.setResolvedComponent("B", &b);
  std::vector<std::string> names;
  ASSERT_TRUE(expression.appendNewTerms({{&c, 0.1 + 0.2}}, {{&d, 1.0}}, names));
  EXPECT_EQ(names, (std::vector<std::string>{"[my C]", "D"}));
  const ParsedReactionPtr fresh =
      parsed({{"A", "", 1}, {"my C", "", 0.1 + 0.2}}, {{"B", "", 2}, {"D", "", 1}}, true);
  EXPECT_EQ(expression.getExpressionString(), ReactionExpression(fresh.get()).getExpressionString());
  EXPECT_EQ(expression.getExpressionString(), "A + 0.30000000000000004 [my C] <-> 2 B + D");
}

// What appendNewTerms leaves to addToSide changes nothing: a null species,
// one already on its side, one listed twice, a text kept as given and an
// expression that is not valid.
TEST(ReactionExpression, AppendRefusesWhatOnlyAddToSideDoes) {
  Species a("A");
  Species b("B");
  Species c("C");
  using Amounts = std::vector<ReactionExpression::SpeciesAmount>;
  const ParsedReactionPtr reaction = parsed({{"A", "", 1}}, {{"B", "", 1}}, false);
  struct Case {
    const char* what;
    bool keptText;
    Amounts reactants;
    Amounts products;
  };
  const Case cases[] = {
      {"null species", false, {{nullptr, 1.0}}, {}},
      {"already a reactant", false, {{&c, 1.0}, {&a, 2.0}}, {}},
      {"already a product", false, {}, {{&b, 1.0}}},
      {"listed twice", false, {{&c, 1.0}, {&c, 1.0}}, {}},
      {"text kept as given", true, {{&c, 1.0}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReactionExpression expression = c.keptText ? ReactionExpression("A->B", reaction.get())
                                               : ReactionExpression(reaction.get());
    expression.setResolvedComponent("A", &a);
    expression.setResolvedComponent("B", &b);
    const std::string before = expression.getExpressionString();
    std::vector<std::string> names;
    EXPECT_FALSE(expression.appendNewTerms(c.reactants, c.products, names));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(expression.getExpressionString(), before);
    EXPECT_EQ(expression.getNumReactants(), 1u);
    EXPECT_EQ(expression.getNumProducts(), 1u);
  }
  ReactionExpression invalid("A -> ", nullptr);
  std::vector<std::string> names;
  EXPECT_FALSE(invalid.appendNewTerms({{&c, 1.0}}, {}, names));
  EXPECT_EQ(invalid.getExpressionString(), "A -> ");
}

TEST(ReactionExpression, SignedStoichiometryNegatesReactantsFirst) {
  const ParsedReactionPtr reaction =
      parsed({{"A", "", 2}, {"B", "", 1}}, {{"C", "", 0.5}}, false);
  ReactionExpression expression(reaction.get());
  kstrVector<double> signedValues{7.0};
  expression.getSignedStoichiometry(signedValues);
  EXPECT_EQ(signedValues, (kstrVector<double>{7.0, -2.0, -1.0, 0.5}));
}

TEST(ReactionExpression, SetStoichiometryTakesSignedValues) {
  const ParsedReactionPtr reaction = parsed({{"A", "", 1}}, {{"B", "", 1}}, false);
  ReactionExpression expression(reaction.get());
  const double values[] = {-2.0, 3.0};
  expression.setStoichiometry(values, 2);
  EXPECT_EQ(expression.getExpressionString(), "2 A -> 3 B");
  EXPECT_EQ(expression.getReactantAt(0).stoichiometry, 2.0);
  EXPECT_EQ(expression.getProductAt(0).stoichiometry, 3.0);
  kstrVector<double> back;
  expression.getSignedStoichiometry(back);
  EXPECT_EQ(back, (kstrVector<double>{-2.0, 3.0}));
}

TEST(ReactionExpression, SetStoichiometryWithTheWrongCountChangesNothing) {
  const ParsedReactionPtr reaction = parsed({{"A", "", 1}}, {{"B", "", 1}}, false);
  ReactionExpression expression("A->B", reaction.get());
  const double values[] = {-2.0, 3.0, 4.0};
  for (std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{3}}) {
    expression.setStoichiometry(values, count);
    EXPECT_EQ(expression.getExpressionString(), "A->B") << count;
    EXPECT_EQ(expression.getReactantAt(0).stoichiometry, 1.0) << count;
    EXPECT_EQ(expression.getProductAt(0).stoichiometry, 1.0) << count;
  }
  expression.setStoichiometry(nullptr, 2);
  EXPECT_EQ(expression.getExpressionString(), "A->B");

  ReactionExpression empty;
  empty.setStoichiometry(nullptr, 0);
  EXPECT_EQ(empty.getExpressionString(), "null -> null");
}

TEST(ReactionExpression, SubstituteDoesNothing) {
  const ParsedReactionPtr reaction = parsed({{"A", "", 1}}, {{"B", "", 1}}, false);
  ReactionExpression expression(reaction.get());
  expression.addCollisionToken("A");
  expression.substitute({{"A", "Z"}});
  EXPECT_EQ(expression.getExpressionString(), "A -> B");
  EXPECT_TRUE(expression.containsToken("A"));
  EXPECT_TRUE(expression.containsCollisionToken("A"));
}

// --- copies -------------------------------------------------------------------------------------

TEST(ReactionExpression, CopiesDuplicateTermsAndShareSpecies) {
  const ParsedReactionPtr reaction = parsed({{"A", "", 1}}, {{"B", "", 1}}, true);
  ReactionExpression source("A <-> B!", reaction.get());
  Species a("A");
  source.setResolvedComponent("A", &a);
  source.addCollisionToken("A");

  ReactionExpression copy(source);
  EXPECT_EQ(copy.getExpressionString(), "A <-> B!");
  EXPECT_TRUE(copy.getReversible());
  EXPECT_TRUE(copy.isSyntacticallyValid());
  EXPECT_TRUE(copy.containsCollisionToken("A"));
  EXPECT_EQ(copy.getReactantAt(0).species, &a);

  copy.setResolvedComponent("A", nullptr);
  copy.setReversible(false);
  EXPECT_EQ(source.getReactantAt(0).species, &a);
  EXPECT_EQ(source.getExpressionString(), "A <-> B!");

  ReactionExpression assigned(nullptr);
  assigned = source;
  EXPECT_TRUE(assigned.isSyntacticallyValid());
  EXPECT_EQ(assigned.getExpressionString(), "A <-> B!");
  EXPECT_EQ(assigned.getReactantAt(0).species, &a);
}

}  // namespace
