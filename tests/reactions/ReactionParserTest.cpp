#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <hb/hb.hpp>
#include <hb/hb_test.hpp>
#include <obk/Exception.hpp>

#include "reactions/ParsedReaction.hpp"
#include "reactions/ParsedReactionTerm.hpp"
#include "reactions/ReactionManipulator.hpp"
#include "reactions/ReactionParser.hpp"

namespace {

const char* const kBadParseId = "Kestrion:ReactionParser:BadParse";
const char* const kBadParseText = "Bad reaction parse.";

struct Term {
  std::string name;
  std::string qualifier = "";
  double stoichiometry = 1.0;
};

void expectTerm(const ParsedReactionTerm* actual, const Term& expected,
                bool reactant) {
  ASSERT_NE(actual, nullptr);
  EXPECT_EQ(actual->name, expected.name);
  EXPECT_EQ(actual->qualifier, expected.qualifier);
  EXPECT_DOUBLE_EQ(actual->stoichiometry, expected.stoichiometry);
  EXPECT_EQ(actual->reactant, reactant);
}

void expectTerms(const kstrVector<ParsedReactionTerm*>& actual,
                 const std::vector<Term>& expected, bool reactant) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("term " + std::to_string(i));
    expectTerm(actual[i], expected[i], reactant);
  }
}

// Runs call and checks that it raises the parser's rejection.
void expectBadParse(const std::function<void()>& call) {
  try {
    call();
    ADD_FAILURE() << "the text was not rejected";
  } catch (const ErrorIdException& error) {
    EXPECT_EQ(error.getIdentifier(), kBadParseId);
    EXPECT_EQ(error.getMessage(), kBadParseText);
  }
}

// Every test checks that it gives back each host block it takes, the
// parsers' own (buffer, record, term list) included.
class ReactionParserTest : public ::testing::Test {
 protected:
  ReactionParserTest()
      : liveBlocks_(hbTestLiveBlocks()),
        ownedManipulator_(std::make_unique<ReactionManipulator>()),
        ownedParser_(std::make_unique<ReactionParser>()),
        manipulator_(*ownedManipulator_),
        parser_(*ownedParser_) {}
  void TearDown() override {
    ownedManipulator_.reset();
    ownedParser_.reset();
    EXPECT_EQ(hbTestLiveBlocks(), liveBlocks_);
  }

 private:
  std::size_t liveBlocks_;
  std::unique_ptr<ReactionManipulator> ownedManipulator_;
  std::unique_ptr<ReactionParser> ownedParser_;

 protected:
  ReactionManipulator& manipulator_;
  ReactionParser& parser_;
};

// --- equations -----------------------------------------------------------------

struct EquationCase {
  std::string text;
  std::vector<Term> reactants;
  std::vector<Term> products;
  bool reversible = false;
};

const std::vector<EquationCase>& equationCases() {
  static const std::vector<EquationCase> cases = {
      {"A -> B", {{"A"}}, {{"B"}}},
      {"A <-> B", {{"A"}}, {{"B"}}, true},
      {"2 A + 3.5 B -> D", {{"A", "", 2}, {"B", "", 3.5}}, {{"D"}}},
      {"2A -> D", {{"2A"}}, {{"D"}}},
      {"  A   ->   B  ", {{"A"}}, {{"B"}}},
      {"A ->B", {{"A"}}, {{"B"}}},
      {"A <->B", {{"A"}}, {{"B"}}, true},
      {"A+B -> D", {{"A+B"}}, {{"D"}}},
      {"A + B <-> C + D", {{"A"}, {"B"}}, {{"C"}, {"D"}}, true},
      {"c1.A -> c2.B", {{"A", "c1"}}, {{"B", "c2"}}},
      {"[A + B] -> D", {{"A + B"}}, {{"D"}}},
      {"[] -> A", {{""}}, {{"A"}}},
      {"[] + [] -> []", {{""}, {""}}, {{""}}},
      {"2 A + c1.B -> [Complex X]", {{"A", "", 2}, {"B", "c1"}},
       {{"Complex X"}}},
      {"Complex X <-> Y", {{"Complex X"}}, {{"Y"}}, true},
      {"[a b] c -> d", {{"a b c"}}, {{"d"}}},
      {".5 X + 3. D + 1e3 E + 2E-1 F + 5e+2 G -> null",
       {{"X", "", 0.5}, {"D", "", 3}, {"E", "", 1000}, {"F", "", 0.2},
        {"G", "", 500}},
       {{"null"}}},
      {"null -> null", {{"null"}}, {{"null"}}},
      {"1.5e3 A -> B", {{"1.5e3 A"}}, {{"B"}}},
      // A second "." after fraction digits turns the number into a name
      // (state 9 to state 10), which runs on to the arrow.
      {"2.5.3 A -> B", {{"2.5.3 A"}}, {{"B"}}},
      {"2.5.3 -> B", {{"2.5.3"}}, {{"B"}}},
      {"2e -> 1e+ B", {{"2e"}}, {{"1e+ B"}}},
      {"comp.A + [comp 1].A + comp.[A 1] + [comp 1].[A 1] -> c.2x",
       {{"A", "comp"}, {"A", "comp 1"}, {"A 1", "comp"}, {"A 1", "comp 1"}},
       {{"2x", "c"}}},
      {"[c1].A -> [B].[C]", {{"A", "c1"}}, {{"C", "B"}}},
      {"2 [A B] <-> 3 c.D + 4 [c 1].[E]", {{"A B", "", 2}},
       {{"D", "c", 3}, {"E", "c 1", 4}}, true},
      {"x.y -> z", {{"y", "x"}}, {{"z"}}},
      // Names may begin with "]", ">", "<", "+" or "-" when no operator
      // follows: a negative stoichiometry cannot be written.
      {"]x -> >y", {{"]x"}}, {{">y"}}},
      {"-2 A + <A + +A -> B", {{"-2 A"}, {"<A"}, {"+A"}}, {{"B"}}},
      // "nan" and "inf" are no numbers: they start names.
      {"nan A -> inf B", {{"nan A"}}, {{"inf B"}}},
      // Only the space character separates; other bytes belong to names.
      {"A\tB -> C\t", {{"A\tB"}}, {{"C"}}},
      {"\xce\xb1 + \xff\xfe -> \xce\xb2", {{"\xce\xb1"}, {"\xff\xfe"}},
       {{"\xce\xb2"}}},
      // A dot right after a space belongs to the name.
      {"A .B -> C", {{"A .B"}}, {{"C"}}},
  };
  return cases;
}

TEST_F(ReactionParserTest, EquationsGiveTheirTerms) {
  for (const EquationCase& c : equationCases()) {
    SCOPED_TRACE(c.text);
    ParsedReactionPtr parsed(manipulator_.parseReaction(c.text.c_str()));
    ASSERT_NE(parsed, nullptr);
    {
      SCOPED_TRACE("reactants");
      expectTerms(parsed->reactants, c.reactants, true);
    }
    {
      SCOPED_TRACE("products");
      expectTerms(parsed->products, c.products, false);
    }
    EXPECT_EQ(parsed->reversible, c.reversible);
  }
}

TEST_F(ReactionParserTest, ParserListsTermsInTextOrder) {
  parser_.parseEquation("A + 2 B <-> c.C");
  ASSERT_EQ(parser_.getTerms().size(), 3u);
  expectTerm(parser_.getTerms()[0], {"A"}, true);
  expectTerm(parser_.getTerms()[1], {"B", "", 2}, true);
  expectTerm(parser_.getTerms()[2], {"C", "c"}, false);
  EXPECT_TRUE(parser_.isReversible());
  ParsedReactionPtr parsed(parser_.takeParsedReaction());
  EXPECT_TRUE(parser_.getTerms().empty());
  EXPECT_EQ(parsed->reactants.size(), 2u);
  EXPECT_EQ(parsed->products.size(), 1u);
}

// --- rejections ----------------------------------------------------------------

const std::vector<std::string>& rejectedEquations() {
  static const std::vector<std::string> texts = {
      "", " ", "   ", "\t", "A", "A + B",
      // missing or stray arrows and pluses
      "A -> ", "A ->", "-> B", "A -> B +", "A -> B + ", "A + -> B", "A -",
      "A <", "A <-", "A <- B", "A < B", "A->B", "A<->B", "A -> B -> C",
      "A <-> B <-> C", "A +B -> D", "A -> + B", "+ A -> B",
      // stoichiometries: zero, underflow to zero, overflow, no species
      "0 A -> B", "0.0 A -> B", ". A -> B", "1e999 A -> B", "1e-999 A -> B",
      "A -> 2", "A -> 2 ", "2 -> A", "2 2 A -> B",
      // qualified names
      "c1.A.x -> B", "c.[A].B -> C", "[c].[d].e -> f", "c1. A -> B",
      "c1..A -> B", "c1. -> B", "A -> c1.", "[ ].A -> B", "\t.A -> B",
      // brackets
      "A[1] -> B", "[A -> B", "A -> [B", "[[A]] -> B", "[A]-> B",
      "[A]B -> C", "A -> []x", "abc] -> d", "A -> B]",
  };
  return texts;
}

TEST_F(ReactionParserTest, RejectedEquationsRaiseBadParseAndKeepNoTerms) {
  for (const std::string& text : rejectedEquations()) {
    SCOPED_TRACE("'" + text + "'");
    expectBadParse([&] { parser_.parseEquation(text.c_str()); });
    EXPECT_TRUE(parser_.getTerms().empty());
    EXPECT_EQ(manipulator_.parseReaction(text.c_str()), nullptr);
  }
}

TEST_F(ReactionParserTest, NullTextIsTheEmptyText) {
  expectBadParse([&] { parser_.parseEquation(nullptr); });
  EXPECT_EQ(manipulator_.parseReaction(nullptr), nullptr);
}

TEST_F(ReactionParserTest, RejectedParseDoesNotAffectTheNext) {
  EXPECT_EQ(manipulator_.parseReaction("abc] -> d"), nullptr);
  ParsedReactionPtr parsed(manipulator_.parseReaction("x.y -> z"));
  ASSERT_NE(parsed, nullptr);
  expectTerms(parsed->reactants, {{"y", "x"}}, true);
  expectTerms(parsed->products, {{"z"}}, false);

  // Terms already read when the text is rejected are dropped.
  EXPECT_EQ(manipulator_.parseReaction("A + B <-> C + [D"), nullptr);
  parsed.reset(manipulator_.parseReaction("E -> F"));
  ASSERT_NE(parsed, nullptr);
  expectTerms(parsed->reactants, {{"E"}}, true);
  expectTerms(parsed->products, {{"F"}}, false);
  EXPECT_FALSE(parsed->reversible);
}

TEST_F(ReactionParserTest, SingleReferencesAreReactantsWhateverCameBefore) {
  ParsedReactionTermPtr first(manipulator_.parseSpeciesName("X"));
  // An equation leaves the parser on the product side.
  ParsedReactionPtr parsed(manipulator_.parseReaction("A -> B"));
  ASSERT_NE(parsed, nullptr);
  ParsedReactionTermPtr species(manipulator_.parseSpeciesName("X"));
  ParsedReactionTermPtr parameter(manipulator_.parseParameterName("X"));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(species, nullptr);
  ASSERT_NE(parameter, nullptr);
  EXPECT_TRUE(first->reactant);
  EXPECT_TRUE(species->reactant);
  EXPECT_TRUE(parameter->reactant);
}

// --- single references -----------------------------------------------------------

struct ReferenceCase {
  std::string text;
  std::optional<Term> species;    // parseSpeciesName; nullopt for null
  std::optional<Term> parameter;  // parseParameterName; nullopt for null
};

const std::vector<ReferenceCase>& referenceCases() {
  static const std::vector<ReferenceCase> cases = {
      {"A", Term{"A"}, Term{"A"}},
      {"  A  ", Term{"A"}, Term{"A"}},
      {"2 A", Term{"A", "", 2}, std::nullopt},
      {"2", std::nullopt, Term{"2"}},
      {"1.5", std::nullopt, Term{"1.5"}},
      {"2e", Term{"2e"}, Term{"2e"}},
      {"2e ", std::nullopt, std::nullopt},
      {"2 ", std::nullopt, std::nullopt},
      {"[Complex X]", Term{"Complex X"}, Term{"Complex X"}},
      {"Complex X", Term{"Complex X"}, Term{"Complex X"}},
      {"[A + B]", Term{"A + B"}, Term{"A + B"}},
      {"[]", Term{""}, Term{""}},
      {"c1.A", Term{"A", "c1"}, Term{"A", "c1"}},
      {"[comp 1].[A 1]", Term{"A 1", "comp 1"}, Term{"A 1", "comp 1"}},
      {"Reaction_1.[k f]", Term{"k f", "Reaction_1"},
       Term{"k f", "Reaction_1"}},
      {"c.2x", Term{"2x", "c"}, Term{"2x", "c"}},
      {"c.2", Term{"2", "c"}, Term{"2", "c"}},
      {"2 c.[A]", Term{"A", "c", 2}, std::nullopt},
      {"1e3 [A]", Term{"A", "", 1000}, std::nullopt},
      {"null", Term{"null"}, Term{"null"}},
      {"nan A", Term{"nan A"}, Term{"nan A"}},
      {"a.b.c", std::nullopt, std::nullopt},
      {"[a].[b].[c]", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
      {"   ", std::nullopt, std::nullopt},
      {"0 A", std::nullopt, std::nullopt},
      {"-1 A", Term{"-1 A"}, Term{"-1 A"}},
      {"1e999 A", std::nullopt, std::nullopt},
      {"A -> B", std::nullopt, std::nullopt},
      {"A + B", std::nullopt, std::nullopt},
      {"[A", std::nullopt, std::nullopt},
      {"A]", std::nullopt, std::nullopt},
      {"c.", std::nullopt, std::nullopt},
      {"[ ].A", std::nullopt, std::nullopt},
      // The text ends at its first zero byte.
      {std::string("A\0B", 3), Term{"A"}, Term{"A"}},
  };
  return cases;
}

void expectReference(ParsedReactionTerm* result,
                     const std::optional<Term>& expected) {
  ParsedReactionTermPtr owned(result);
  if (!expected) {
    EXPECT_EQ(result, nullptr);
    return;
  }
  expectTerm(result, *expected, true);
}

TEST_F(ReactionParserTest, SpeciesAndParameterReferences) {
  for (const ReferenceCase& c : referenceCases()) {
    SCOPED_TRACE("'" + c.text + "'");
    {
      SCOPED_TRACE("species");
      expectReference(manipulator_.parseSpeciesName(c.text), c.species);
    }
    {
      SCOPED_TRACE("parameter");
      expectReference(manipulator_.parseParameterName(c.text), c.parameter);
    }
  }
}

TEST_F(ReactionParserTest, ReferenceParsersRaiseBadParse) {
  expectBadParse([&] { parser_.parseSpeciesReference("2"); });
  EXPECT_TRUE(parser_.getTerms().empty());
  expectBadParse([&] { parser_.parseParameterReference("2 A"); });
  EXPECT_TRUE(parser_.getTerms().empty());
  parser_.parseParameterReference("2");
  ASSERT_EQ(parser_.getTerms().size(), 1u);
  ParsedReactionTermPtr term(parser_.takeFirstTerm());
  EXPECT_TRUE(parser_.getTerms().empty());
  expectTerm(term.get(), {"2"}, true);
  EXPECT_EQ(parser_.takeFirstTerm(), nullptr);
}

// --- token length, long texts -------------------------------------------------------

TEST_F(ReactionParserTest, TokensHoldAtMost999Characters) {
  const std::string name998(998, 'a');
  const std::string name999(999, 'a');
  const std::string name1000(1000, 'a');
  struct Case {
    std::string text;
    bool parses;
  };
  const std::vector<Case> cases = {
      {"A -> " + name999, true},
      {"A -> " + name1000, false},
      {"A -> [" + name999 + "]", true},
      {"A -> [" + name1000 + "]", false},
      {name999 + ".A -> B", true},
      {name1000 + ".A -> B", false},
      {"A -> c." + name999, true},
      {"A -> c." + name1000, false},
      {std::string(998, '0') + "2 A -> B", true},
      {std::string(999, '0') + "2 A -> B", false},
      // The spaces after a name are collected too, up to the one before
      // the arrow.
      {name998 + " -> B", true},
      {name999 + " -> B", false},
      {"A" + std::string(997, ' ') + " -> B", true},
      {"A" + std::string(998, ' ') + " -> B", false},
      // Spaces between tokens are not collected.
      {std::string(5000, ' ') + "A ->" + std::string(5000, ' ') + "B", true},
      {std::string(2000000, 'x') + " -> B", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40) + "... of " +
                 std::to_string(c.text.size()));
    ParsedReactionPtr parsed(manipulator_.parseReaction(c.text.c_str()));
    EXPECT_EQ(parsed != nullptr, c.parses);
  }
  ParsedReactionPtr parsed(manipulator_.parseReaction(
      ("A" + std::string(997, ' ') + " -> " + name999).c_str()));
  ASSERT_NE(parsed, nullptr);
  expectTerms(parsed->reactants, {{"A"}}, true);
  expectTerms(parsed->products, {{name999}}, false);
  parsed.reset(manipulator_.parseReaction(
      (std::string(998, '0') + "2 A -> B").c_str()));
  ASSERT_NE(parsed, nullptr);
  expectTerms(parsed->reactants, {{"A", "", 2}}, true);
}

TEST_F(ReactionParserTest, LongEquationsParseInOnePass) {
  constexpr int kTerms = 100000;
  std::string text;
  for (int i = 0; i < kTerms; ++i) {
    if (i > 0) text += " + ";
    text += std::to_string(i % 7 + 1) + " S" + std::to_string(i);
  }
  text += " <-> P";
  ParsedReactionPtr parsed(manipulator_.parseReaction(text.c_str()));
  ASSERT_NE(parsed, nullptr);
  ASSERT_EQ(parsed->reactants.size(), static_cast<std::size_t>(kTerms));
  EXPECT_EQ(parsed->reactants[kTerms - 1]->name,
            "S" + std::to_string(kTerms - 1));
  EXPECT_EQ(parsed->reactants[kTerms - 1]->stoichiometry,
            (kTerms - 1) % 7 + 1);
  EXPECT_TRUE(parsed->reversible);
  // The same text with a stray operator at its end is rejected as a whole.
  EXPECT_EQ(manipulator_.parseReaction((text + " +").c_str()), nullptr);
}

// --- records ----------------------------------------------------------------------

// The parser keeps its term list's storage from one parse to the next, so
// the blocks are counted after a first parse.
TEST_F(ReactionParserTest, TermsLiveInHostMemory) {
  ParsedReactionTerm::destroy(manipulator_.parseSpeciesName("warm-up"));
  const std::size_t before = hbTestLiveBlocks();
  ParsedReactionTerm* term = manipulator_.parseSpeciesName("2 c.A");
  ASSERT_NE(term, nullptr);
  EXPECT_EQ(hbTestLiveBlocks(), before + 1);
  // The owner destroys the two strings and frees the record with hbFree.
  term->~ParsedReactionTerm();
  hbFree(term);
  EXPECT_EQ(hbTestLiveBlocks(), before);

  ParsedReactionTerm* made = ParsedReactionTerm::create(nullptr, "q", 4, false);
  expectTerm(made, {"", "q", 4}, false);
  delete made;
  ParsedReactionTerm* fresh = ParsedReactionTerm::create();
  expectTerm(fresh, {""}, true);
  ParsedReactionTerm::destroy(fresh);
  ParsedReactionTerm::destroy(nullptr);
  EXPECT_EQ(hbTestLiveBlocks(), before);
}

TEST_F(ReactionParserTest, ParsedReactionOwnsItsTerms) {
  ParsedReaction::destroy(manipulator_.parseReaction("A + B -> C"));
  const std::size_t before = hbTestLiveBlocks();
  ParsedReaction* parsed = ParsedReaction::create();
  parsed->reactants.push_back(ParsedReactionTerm::create("A", "", 1, true));
  parsed->reactants.push_back(nullptr);
  parsed->products.push_back(ParsedReactionTerm::create("B", "c", 2, false));
  EXPECT_GT(hbTestLiveBlocks(), before);
  ParsedReaction::destroy(parsed);
  ParsedReaction::destroy(nullptr);
  EXPECT_EQ(hbTestLiveBlocks(), before);

  parsed = manipulator_.parseReaction("A + B -> C");
  ASSERT_NE(parsed, nullptr);
  delete parsed;
  EXPECT_EQ(hbTestLiveBlocks(), before);
}

}  // namespace
