#include "ks_utils/MParseTree.hpp"

#include <gtest/gtest.h>
#include <sbml/SBMLTypes.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hb/hb.hpp"
#include "hb/hb_test.hpp"
#include "obk/Exception.hpp"

namespace {

using Names = std::vector<std::string>;
using Replacements = kstrMap<std::string, const char*>;

// A parsed tree owned the way the engine owns it.
struct TreeDeleter {
  void operator()(MParseTree* tree) const { delete tree; }
};
using TreePtr = std::unique_ptr<MParseTree, TreeDeleter>;

TreePtr parse(const std::string& text) {
  TreePtr tree(new MParseTree(text.c_str()));
  tree->init(true);
  return tree;
}

Names tokensOf(const MParseTree& tree, bool distinct = false) {
  kstrVector<std::string> out;
  tree.parsePLExpression(out, [](const std::string&) -> uint64_t { return 1; },
                         distinct);
  return Names(out.begin(), out.end());
}

std::string substitute(const MParseTree& tree, const Replacements& map) {
  char* text = tree.traverseSubstitute(map);
  std::string result(text);
  hbFree(text);
  return result;
}

std::string translate(const std::string& text) {
  std::string out;
  parse(text)->translateToMathML(out);
  return out;
}

// ---------------------------------------------------------------- tokens

struct TokenCase {
  std::string text;
  Names tokens;  // in source order, every occurrence
};

TEST(MParseTreeTest, TokensInCanonicalFormAndSourceOrder) {
  const std::string name64(64, 'x');
  const TokenCase cases[] = {
      {"Vm*S/(Km + S)", {"Vm", "S", "Km", "S"}},
      {"[A] + [c1].[A] + c1.A", {"A", "c1.A", "c1.A"}},
      {"[ my A ] * 2", {"[my A]"}},
      {"c1.[my B] - [c 2].x", {"c1.[my B]", "[c 2].x"}},
      {"a.[ b ]", {"a.b"}},
      {"[A.B] + [end] + [ok_1]", {"[A.B]", "[end]", "ok_1"}},
      {"[" + name64 + "]", {"[" + name64 + "]"}},
      {"f(x, g(y)) + h()", {"f", "x", "g", "y", "h"}},
      {"time * k", {"time", "k"}},
      {"2.5e-3 * x + .5 - 1E+5 + 7.", {"x"}},
      {"exp(1)", {"exp"}},
      {"Unknown", {"Unknown"}},
      {"INF - NaN", {"INF", "NaN"}},
      {"piecewise(a, lt(t, 2), b)", {"piecewise", "a", "lt", "t", "b"}},
      {"\t a\r\n+\fb ", {"a", "b"}},
      {"[a,b(c)]", {"[a,b(c)]"}},
      // Names in other scripts stand in brackets, whole UTF-8 characters.
      {"k * [I\xCE\xBA" "B]", {"k", "[I\xCE\xBA" "B]"}},
      {"[\xCE\xB1-KG] / [glucos\xC3\xA9]", {"[\xCE\xB1-KG]", "[glucos\xC3\xA9]"}},
      {"[\xD0\xB3\xD0\xBB\xD1\x8E] + [\xE8\x91\xA1\xE8\x90\x84].[\xF0\x9F\xA7\xAA x]",
       {"[\xD0\xB3\xD0\xBB\xD1\x8E]", "[\xE8\x91\xA1\xE8\x90\x84].[\xF0\x9F\xA7\xAA x]"}},
      {"1 + 2", {}},
  };
  for (const TokenCase& c : cases) {
    EXPECT_EQ(tokensOf(*parse(c.text)), c.tokens) << c.text;
  }
}

TEST(MParseTreeTest, DistinctKeepsFirstOccurrencesAndAppends) {
  const TreePtr tree = parse("a + b * a - f(a, b) + c + [a]");
  EXPECT_EQ(tokensOf(*tree, false),
            (Names{"a", "b", "a", "f", "a", "b", "c", "a"}));
  EXPECT_EQ(tokensOf(*tree, true), (Names{"a", "b", "f", "c"}));

  kstrVector<std::string> out{"kept", "a"};
  tree->parsePLExpression(out, {}, true);  // an empty predicate accepts all
  EXPECT_EQ(Names(out.begin(), out.end()),
            (Names{"kept", "a", "a", "b", "f", "c"}));
}

TEST(MParseTreeTest, PredicateFiltersTokens) {
  const TreePtr tree = parse("Vm*S/(Km + S) + f(S)");
  const std::set<std::string> wanted{"S", "Km"};
  std::vector<std::string> asked;
  auto pred = [&](const std::string& token) -> uint64_t {
    asked.push_back(token);
    return wanted.count(token);
  };
  kstrVector<std::string> all;
  tree->parsePLExpression(all, pred, false);
  EXPECT_EQ(Names(all.begin(), all.end()), (Names{"S", "Km", "S", "S"}));
  EXPECT_EQ(asked, (Names{"Vm", "S", "Km", "S", "f", "S"}));

  asked.clear();
  kstrVector<std::string> distinct;
  tree->parsePLExpression(distinct, pred, true);
  EXPECT_EQ(Names(distinct.begin(), distinct.end()), (Names{"S", "Km"}));
  EXPECT_EQ(asked, (Names{"Vm", "S", "Km", "f"}));

  kstrVector<std::string> none;
  tree->parsePLExpression(
      none, [](const std::string&) -> uint64_t { return 0; }, false);
  EXPECT_TRUE(none.empty());
}

TEST(MParseTreeTest, ContainsNumericValues) {
  const std::pair<const char*, bool> cases[] = {
      {"a + 1", true},  {"a", false},     {"f(x, y)", false},
      {"exp(1)", true}, {"INF", false},   {".5", true},
      {"[k 1]", false}, {"x^2", true},    {"time", false},
  };
  for (const auto& [text, numeric] : cases) {
    EXPECT_EQ(parse(text)->getContainsNumericValues(), numeric) << text;
  }
}

// ---------------------------------------------------------- substitution

struct SubstitutionCase {
  std::string text;
  std::map<std::string, std::string> map;
  std::string expected;
};

TEST(MParseTreeTest, SubstitutesSimultaneouslyAndKeepsTheText) {
  const SubstitutionCase cases[] = {
      {"A + B", {{"A", "B"}, {"B", "A"}}, "B + A"},
      {"A*[A]  +  c.A", {{"A", "X"}}, "X*X  +  c.A"},
      {"[c1].[A] + c1.A", {{"c1.A", "[c 2].A"}}, "[c 2].A + [c 2].A"},
      {"f(x) + f", {{"f", "g"}}, "g(x) + g"},
      {"  k1 *S1/( Km+S1 )  ", {{"S1", "[my S]"}}, "  k1 *[my S]/( Km+[my S] )  "},
      {"[ my A ] + 1", {{"[my A]", "B"}}, "B + 1"},
      {"a+b", {}, "a+b"},
      {"time - t", {{"time", "t"}, {"t", "time"}}, "t - time"},
      {"x^2 + 1e-5", {{"x", "yy"}, {"e", "no"}}, "yy^2 + 1e-5"},
      {"a && !b", {{"b", "cell.b"}}, "a && !cell.b"},
  };
  for (const SubstitutionCase& c : cases) {
    const TreePtr tree = parse(c.text);
    Replacements map;
    for (const auto& [key, value] : c.map) map[key] = value.c_str();
    const std::string result = substitute(*tree, map);
    EXPECT_EQ(result, c.expected) << c.text;
    EXPECT_NO_THROW(parse(result)) << result;
  }
}

TEST(MParseTreeTest, SubstitutionOfASwapIsReflectedInTheTokens) {
  const TreePtr tree = parse("k1*A - k2*B + f(A)");
  const Replacements map{{"A", "B"}, {"B", "A"}, {"f", "[g 1]"}};
  const TreePtr again = parse(substitute(*tree, map));
  EXPECT_EQ(tokensOf(*again), (Names{"k1", "B", "k2", "A", "[g 1]", "B"}));
}

TEST(MParseTreeTest, NullReplacementLeavesTheName) {
  const TreePtr tree = parse("A + B");
  EXPECT_EQ(substitute(*tree, Replacements{{"A", nullptr}, {"B", "C"}}),
            "A + C");
}

TEST(MParseTreeTest, SubstitutionResultIsOneHostBlock) {
  const TreePtr tree = parse("A + B");
  const size_t before = hbTestLiveBlocks();
  char* text = tree->traverseSubstitute(Replacements{{"A", "Z"}});
  EXPECT_EQ(hbTestLiveBlocks(), before + 1);
  EXPECT_STREQ(text, "Z + B");
  hbFree(text);
  EXPECT_EQ(hbTestLiveBlocks(), before);
}

// ---------------------------------------------------------------- rejects

struct RejectCase {
  std::string text;
  int position;          // 1-based
  std::string fragment;  // part of the message
};

std::string errorOf(const std::string& text, bool flag, std::string* id) {
  MParseTree tree(text.c_str());
  try {
    tree.init(flag);
  } catch (const ErrorIdException& e) {
    *id = e.getIdentifier();
    EXPECT_FALSE(tree.isParsed());
    return e.getMessage();
  }
  return "";
}

TEST(MParseTreeTest, RejectsBadTextWithPosition) {
  const RejectCase cases[] = {
      {"", 1, "empty"},
      {"   \t ", 1, "empty"},
      {"a = b", 3, "\"=\""},
      {"a == b = c", 8, "\"=\""},
      {"(a", 1, "never closed"},
      {"f(a, (b)", 2, "never closed"},
      {"a)", 2, "unbalanced \")\""},
      {"a + )", 5, "unbalanced \")\""},
      {"[a", 1, "never closed"},
      {"a]", 2, "unbalanced \"]\""},
      {"[a[b]]", 3, "\"[\" inside"},
      {"a +", 4, "end of the text"},
      {"a ==", 5, "end of the text"},
      {"-", 2, "end of the text"},
      {"a.b.c", 1, "at most two parts"},
      {"[a].[b].[c]", 1, "at most two parts"},
      {"a.", 3, "after \".\""},
      {"a.5", 3, "after \".\""},
      {"[]", 1, "empty bracketed name"},
      {"x + [ \t]", 5, "empty bracketed name"},
      {"a b", 3, "missing operator"},
      {"2x", 2, "missing operator"},
      {"(a)(b)", 4, "missing operator"},
      {"f(a,)", 5, "operand before \")\""},
      {"f(,a)", 3, "operand before \",\""},
      {"()", 2, "operand before \")\""},
      {"* a", 1, "operand before \"*\""},
      {"a + * b", 5, "operand before \"*\""},
      {"a ! b", 3, "cannot follow an operand"},
      {"if + 1", 1, "keyword"},
      {"x + " + std::string(64, 'v'), 5, "longer than 63"},
      {"a ~ b", 3, "\"~\""},
      {"a; b", 2, "\";\""},
      {"\xC3\xA9", 1, "byte 0xC3"},
      {"[a\xC3]", 3, "byte 0xC3 (not UTF-8)"},
      {"[\xC3(]", 2, "byte 0xC3 (not UTF-8)"},
      {"[\xA9]", 2, "byte 0xA9 (not UTF-8)"},
      {"[\xC0\xAF]", 2, "byte 0xC0 (not UTF-8)"},
      {"[\xE0\x80\xAF]", 2, "byte 0xE0 (not UTF-8)"},
      {"[\xED\xA0\x80]", 2, "byte 0xED (not UTF-8)"},
      {"[\xF4\x90\x80\x80]", 2, "byte 0xF4 (not UTF-8)"},
      {"[\xF8\x88\x80\x80\x80]", 2, "byte 0xF8 (not UTF-8)"},
      {"[a\x7F]", 3, "byte 0x7F"},
      {"a\vb", 2, "byte 0x0B"},
      {"_a", 1, "\"_\""},
  };
  for (const RejectCase& c : cases) {
    for (bool flag : {true, false}) {
      std::string id;
      const std::string message = errorOf(c.text, flag, &id);
      EXPECT_EQ(id, "ks:ParseError") << c.text;
      EXPECT_NE(message.find("at position " + std::to_string(c.position) + ":"),
                std::string::npos)
          << c.text << " -> " << message;
      EXPECT_NE(message.find(c.fragment), std::string::npos)
          << c.text << " -> " << message;
    }
  }
}

std::string repeated(size_t times, const std::string& piece) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += piece;
  return text;
}

std::string nested(size_t depth, const std::string& open,
                   const std::string& close) {
  return repeated(depth, open) + "a" + repeated(depth, close);
}

// The limit holds for the text and for its translateToMathML form, in
// which (-a) counts two levels, a call one and a run ((a ^ b) ^ c) one per
// operator.
TEST(MParseTreeTest, NestingIsLimited) {
  const std::string accepted[] = {
      nested(1000, "(", ")"),  nested(1000, "f(", ")"),
      nested(1000, "!", ""),   nested(500, "-", ""),
      repeated(1000, "x^") + "x", repeated(1000, "x < ") + "x",
      nested(1000, "a + (", ")"),
  };
  for (const std::string& text : accepted) {
    const TreePtr tree = parse(text);
    std::string mathml;
    tree->translateToMathML(mathml);
    EXPECT_NO_THROW(parse(mathml)) << text.substr(0, 40);
  }
  const std::pair<std::string, int> tooDeep[] = {
      {nested(1001, "(", ")"), 1001},
      {nested(1001, "!", ""), 1001},
      {nested(1001, "g(", ")"), 2002},
      {"2^" + nested(1001, "-", ""), 1003},
      {nested(501, "-", ""), 1},
      {repeated(1001, "x^") + "x", 1},
      {"y | " + repeated(1001, "x >= ") + "x", 5},
      {"b < " + nested(1000, "a + (", ")"), 1},
  };
  for (const auto& [text, position] : tooDeep) {
    std::string id;
    const std::string message = errorOf(text, true, &id);
    EXPECT_EQ(id, "ks:ParseError");
    EXPECT_NE(message.find("position " + std::to_string(position) + ": the "
                           "expression nests deeper than 1000"),
              std::string::npos)
        << message;
  }
}

TEST(MParseTreeTest, DeepTreesAndLongTextsStayWithinLimits) {
  // Each level goes through every binary level, a prefix and a power: ten
  // levels of the translated form.
  const auto deep = [](int levels) {
    std::string text = "x";
    for (int i = 0; i < levels; ++i) {
      text = "a || b && c | d & e < f + g * -h ^ (" + text + ")";
    }
    return text;
  };
  const TreePtr tree = parse(deep(100));
  std::string mathml;
  tree->translateToMathML(mathml);
  EXPECT_NO_THROW(parse(mathml));
  EXPECT_EQ(tokensOf(*tree, true).size(), 9u);
  EXPECT_THROW(parse(deep(101)), ErrorIdException);

  // 200,000 terms: linear work, and no deep tree for the long run of "+".
  std::string sum = "k";
  for (int i = 0; i < 200000; ++i) sum += (i % 2 ? " + k" : "-[k]*2");
  const TreePtr long_ = parse(sum);
  EXPECT_EQ(tokensOf(*long_).size(), 200001u);
  const std::string renamed = substitute(*long_, Replacements{{"k", "q"}});
  EXPECT_EQ(tokensOf(*parse(renamed), true), Names{"q"});
  long_->translateToMathML(mathml);
  EXPECT_NO_THROW(parse(mathml));
}

// Every parse of a thread starts from nothing: what a parse before it
// filled, failed half-way through or grew far beyond a formula's usual size
// leaves no trace in the next one.  Each row is parsed right after each of
// the texts before it, and must give what it gives alone.
TEST(MParseTreeTest, EachParseStartsAfreshAfterAnyOther) {
  std::string sum = "k";
  for (int i = 0; i < 10000; ++i) sum += " + [s" + std::to_string(i) + "]";
  const std::vector<std::string> before = {
      sum,                  // thousands of tokens, names and nodes
      "a + (b * c",         // lexed whole, refused by the parser at the end
      "x * [unclosed",      // refused by the lexer
      "f(g(h(1.5)), -y)",   // calls, a prefix and a number
      "",
  };
  struct Row {
    std::string text;
    Names tokens;
    std::string mathml;  // the translated form
    bool numbers;
  };
  const Row rows[] = {
      {"Vm*S/(Km + S)", {"Vm", "S", "Km", "S"}, translate("Vm*S/(Km + S)"), false},
      {"k1 * A * B", {"k1", "A", "B"}, translate("k1 * A * B"), false},
      {"2 * x", {"x"}, translate("2 * x"), true},
  };
  for (const Row& row : rows) {
    for (const std::string& previous : before) {
      SCOPED_TRACE(row.text + " after " + previous.substr(0, 20));
      try {
        parse(previous);
      } catch (const ErrorIdException&) {
      }
      const TreePtr tree = parse(row.text);
      EXPECT_EQ(tokensOf(*tree), row.tokens);
      EXPECT_EQ(tree->getContainsNumericValues(), row.numbers);
      std::string mathml;
      tree->translateToMathML(mathml);
      EXPECT_EQ(mathml, row.mathml);
    }
  }
}

TEST(MParseTreeTest, UnparsedTreeRefusesQueries) {
  MParseTree tree("a +");
  EXPECT_THROW(tree.init(true), ErrorIdException);
  kstrVector<std::string> out;
  try {
    tree.parsePLExpression(out, {}, true);
    ADD_FAILURE() << "no exception";
  } catch (const ErrorIdException& e) {
    EXPECT_EQ(e.getIdentifier(), "ks:ParseTreeNotParsed");
  }
  EXPECT_THROW(tree.getContainsNumericValues(), ErrorIdException);
  EXPECT_THROW(tree.traverseSubstitute(Replacements{}), ErrorIdException);
  std::string text;
  EXPECT_THROW(tree.translateToMathML(text), ErrorIdException);
}

TEST(MParseTreeTest, InitFlagKeepsOrRedoesAParse) {
  MParseTree tree(" a + b ");
  EXPECT_FALSE(tree.isParsed());
  tree.init(false);
  EXPECT_TRUE(tree.isParsed());
  EXPECT_EQ(tree.getText(), " a + b ");
  tree.init(false);
  tree.init(true);
  EXPECT_EQ(tokensOf(tree), (Names{"a", "b"}));
  MParseTree empty(nullptr);
  EXPECT_THROW(empty.init(false), ErrorIdException);
}

TEST(MParseTreeTest, ObjectLivesOnTheHostHeap) {
  const size_t before = hbTestLiveBlocks();
  MParseTree* tree = new MParseTree("a");
  EXPECT_EQ(hbTestLiveBlocks(), before + 1);
  delete tree;
  EXPECT_EQ(hbTestLiveBlocks(), before);
}

// ------------------------------------------------------------ must parse

TEST(MParseTreeTest, MustParse) {
  const char* const texts[] = {
      // the built-in kinetic laws
      "Unknown", "MassAction", "Vm*S/(Km + S)",
      "(Vmf*S/Ks - Vmr*P/Kp)/(1 + S/Ks + P/Kp)", "Vm*S^n/(Kp + S^n)",
      "Vmf*(S - P/Keq)/(Kms*(1 + P/Kmp) + S*(1 + P/Kiip))",
      "Vm/((Ksa*Kmb/(A*B)) + (Kma/A) + (Kmb/B) + 1)",
      "Vm/((Kma/A) + (Kmb/B) + 1)", "Vm*S/(Km*(1 + I/Ki) + S)",
      "Vm*S/((Ks + S)*(1 + I/Ki))", "Vm*S/(Km + S*(1 + I/Ki))",
      // triggers
      "time > 5", "S1 <= 0.1 && S2 >= 2 || !flag", "a == b | c != d & e < f",
      "(time >= 10) & (x < 3)",
      // libSBML's formula texts
      "root(2, x)", "pow(x, 2)", "piecewise(a, b, c)", "1e-05", "log(b, x)",
      "INF", "NaN", "-INF", "exp(1)", "y * -1.5", "2^-1", "x^-2",
      "(1/3)", "delay(S1, 0.5)", "and(lt(a, b), geq(c, d))", "f()",
      // more
      "+x", "--x", "a - -b", "!!a", "-x^2", "c1.[my A] * [k 2]", "time",
      ".5 + 5. + 5.e3 + 1E5",
  };
  for (const char* text : texts) {
    TreePtr tree(new MParseTree(text));
    EXPECT_NO_THROW(tree->init(true)) << text;
    if (!tree->isParsed()) continue;
    std::string own;
    tree->translateToMathML(own);
    std::string again;
    EXPECT_NO_THROW(parse(own)->translateToMathML(again)) << own;
    EXPECT_EQ(again, own) << text;  // its own output is a fixed point
  }
}

TEST(MParseTreeTest, HostFunctionTable) {
  const char* const known[] = {
      "ne",    "ge",    "le",    "sum",   "mrdivide", "kstrnthroot", "log",
      "kstrlogf", "ceil", "power", "asin", "acos",    "atan",  "asec",
      "acsc",  "acot",  "asinh", "acosh", "atanh",    "asech", "acsch",
      "acoth", "NaN",   "Inf",   "exp",   "gt",       "lt",    "eq",
      "and",   "or",    "not",   "xor",   "abs",      "sqrt",  "log10",
      "log2",  "sin",   "cos",   "tan",   "sec",      "csc",   "cot",
      "sinh",  "cosh",  "tanh",  "floor", "round",    "fix",   "min",
      "max",   "mod",   "rem",   "sign",  "pi",       "eps",   "inf",
      "nan",   "true",  "false"};
  for (const char* name : known) EXPECT_TRUE(MParseTree::isStrPellamFcn(name)) << name;
  for (const char* name : {"", "time", "S1", "INF", "pow", "ln", "Sin", "exp(1)",
                           "piecewise", "sqrt ", "kstr"}) {
    EXPECT_FALSE(MParseTree::isStrPellamFcn(name)) << name;
  }
}

// ------------------------------------------------- translation to libSBML

// The names translateToMathML writes that libSBML's level-1 parser knows
// under other names (the engine's reverse function map does the same).
const Replacements& sbmlNames() {
  static const Replacements map{{"ne", "neq"}, {"ge", "geq"}, {"le", "leq"}};
  return map;
}

bool sameNumber(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || a == b;
}

// Structural equality of two libSBML trees: power operator and pow() are one
// thing, numbers compare by value whatever their node type.
bool sameMath(const ASTNode* a, const ASTNode* b) {
  if (a->isNumber() || b->isNumber()) {
    return a->isNumber() && b->isNumber() && sameNumber(a->getReal(), b->getReal());
  }
  const auto kind = [](const ASTNode* n) {
    return n->getType() == AST_FUNCTION_POWER ? AST_POWER : n->getType();
  };
  if (kind(a) != kind(b) || a->getNumChildren() != b->getNumChildren()) {
    return false;
  }
  if (a->getType() == AST_NAME || a->getType() == AST_FUNCTION) {
    if (std::string(a->getName()) != b->getName()) return false;
  }
  for (unsigned i = 0; i < a->getNumChildren(); ++i) {
    if (!sameMath(a->getChild(i), b->getChild(i))) return false;
  }
  return true;
}

// The engine's write path: translate, parse again, rename the functions,
// hand the text to libSBML.
std::unique_ptr<ASTNode> throughLibsbml(const std::string& text,
                                        std::string* written) {
  std::string mathml;
  parse(text)->translateToMathML(mathml);
  *written = substitute(*parse(mathml), sbmlNames());
  return std::unique_ptr<ASTNode>(SBML_parseFormula(written->c_str()));
}

struct TranslationCase {
  std::string text;
  std::string mathml;   // translateToMathML
  std::string meaning;  // the same formula in libSBML's level-1 syntax
};

// The steps in postfix: a number or name as its text, a call as
// "name/count", an infix operator as itself and a negation as "neg".
std::string stepsOf(const std::string& text) {
  // The steps' texts point into the tree, which must outlive them.
  const auto tree = parse(text);
  std::vector<MParseStep> steps;
  tree->mathMLSteps(steps);
  std::string out;
  for (const MParseStep& step : steps) {
    if (!out.empty()) out += ' ';
    switch (step.kind) {
      case MParseStep::Kind::Number:
      case MParseStep::Kind::Name:
        out += step.text;
        break;
      case MParseStep::Kind::Call:
        out += std::string(step.text) + "/" + std::to_string(step.count);
        break;
      case MParseStep::Kind::Infix:
        out += step.op;
        break;
      case MParseStep::Kind::Negate:
        out += "neg";
        break;
    }
  }
  return out;
}

// The steps build what libSBML's parser builds from translateToMathML's
// text: runs left to right one operator at a time, calls of every operand
// for the logical runs, nested calls for the relational ones.
TEST(MParseTreeTest, MathMLStepsReadTheTranslationOneOperatorAtATime) {
  const std::pair<std::string, std::string> cases[] = {
      {"a - b + c - d", "a b - c + d -"},
      {"a / b * c", "a b / c *"},
      {"x^y^z", "x y ^ z ^"},
      {"-a^2", "a 2 ^ neg"},
      {"(-a)^2", "a neg 2 ^"},
      {"2^-1", "2 1 neg ^"},
      {"+a * b", "a b *"},
      {"a || b || c && d && e", "a b c d e and/3 or/3"},
      {"a <= b + 1 > c", "a b 1 + le/2 c gt/2"},
      {"!(a == b) | c != d", "a b eq/2 not/1 c d ne/2 or/2"},
      {"f(a+b, -c) * [A] + g()", "a b + c neg f/2 A * g/0 +"},
      {"[ my A ] * c1.[B] - 2.5e-3", "[my A] c1.B * 2.5e-3 -"},
      {"7.", "7."},
  };
  for (const auto& [text, steps] : cases) EXPECT_EQ(stepsOf(text), steps) << text;
}

TEST(MParseTreeTest, TranslateToMathMLRoundTripsThroughLibsbml) {
  const TranslationCase cases[] = {
      {"a + b*c", "(a + (b * c))", "a + b*c"},
      {"a - b - c", "(a - b - c)", "(a - b) - c"},
      {"a - b + c - d", "(a - b + c - d)", "((a - b) + c) - d"},
      {"a / b * c", "(a / b * c)", "(a/b)*c"},
      {"-a^2", "(-(a ^ 2))", "-(a^2)"},
      {"(-a)^2", "((-a) ^ 2)", "pow(-a, 2)"},
      {"2^-1", "(2 ^ (-1))", "pow(2, -1)"},
      {"x^y^z", "((x ^ y) ^ z)", "pow(pow(x, y), z)"},
      {"+a * b", "(a * b)", "a*b"},
      {"a < b && c >= d", "and(lt(a, b), ge(c, d))", "and(lt(a, b), geq(c, d))"},
      {"!(a == b) | c != d", "or(not(eq(a, b)), ne(c, d))",
       "or(not(eq(a, b)), neq(c, d))"},
      {"a || b && c", "or(a, and(b, c))", "or(a, and(b, c))"},
      {"a || b || c && d && e", "or(a, b, and(c, d, e))",
       "or(a, b, and(c, d, e))"},
      {"a & b | c", "or(and(a, b), c)", "or(and(a, b), c)"},
      {"a <= b + 1 > c", "gt(le(a, (b + 1)), c)", "gt(leq(a, b + 1), c)"},
      {"f(a+b, -c) * [A]", "(f((a + b), (-c)) * A)", "f(a + b, -c) * A"},
      {"1e-05 * INF - NaN", "((1e-05 * INF) - NaN)", "(1e-05*INF) - NaN"},
      {"piecewise(1, time > 2, 0)", "piecewise(1, gt(time, 2), 0)",
       "piecewise(1, gt(time, 2), 0)"},
      {"Vm*S/(Km + S)", "(Vm * S / (Km + S))", "(Vm*S)/(Km + S)"},
      {"exp(1)", "exp(1)", "exp(1)"},
  };
  for (const TranslationCase& c : cases) {
    EXPECT_EQ(translate(c.text), c.mathml) << c.text;
    std::string written;
    const std::unique_ptr<ASTNode> ours = throughLibsbml(c.text, &written);
    const std::unique_ptr<ASTNode> expected(SBML_parseFormula(c.meaning.c_str()));
    ASSERT_NE(expected, nullptr) << c.meaning;
    ASSERT_NE(ours, nullptr) << written;
    EXPECT_TRUE(sameMath(ours.get(), expected.get()))
        << c.text << " -> " << written;
  }
}

// ------------------------------------------------ the SBML Test Suite

std::string toFormula(const ASTNode* math) {
  char* text = SBML_formulaToString(math);
  std::string formula(text ? text : "");
  std::free(text);
  return formula;
}

// Every formula of a model: kinetic laws, rules, event triggers, delays and
// assignments, initial assignments.
std::vector<std::string> formulasOf(const Model& model) {
  std::vector<std::string> out;
  const auto add = [&out](const ASTNode* math) {
    if (math != nullptr) out.push_back(toFormula(math));
  };
  for (unsigned i = 0; i < model.getNumReactions(); ++i) {
    const Reaction* r = model.getReaction(i);
    if (r->isSetKineticLaw()) add(r->getKineticLaw()->getMath());
  }
  for (unsigned i = 0; i < model.getNumRules(); ++i) add(model.getRule(i)->getMath());
  for (unsigned i = 0; i < model.getNumEvents(); ++i) {
    const Event* e = model.getEvent(i);
    if (e->isSetTrigger()) add(e->getTrigger()->getMath());
    if (e->isSetDelay()) add(e->getDelay()->getMath());
    for (unsigned j = 0; j < e->getNumEventAssignments(); ++j) {
      add(e->getEventAssignment(j)->getMath());
    }
  }
  for (unsigned i = 0; i < model.getNumInitialAssignments(); ++i) {
    add(model.getInitialAssignment(i)->getMath());
  }
  return out;
}

TEST(MParseTreeTest, ParsesEveryFormulaOfTheSbmlTestSuite) {
  const std::filesystem::path folder =
      std::filesystem::path(KELBOR_TESTDATA_DIR) / "sbml-test-suite" / "l2v1";
  if (!std::filesystem::is_directory(folder)) {
    GTEST_SKIP() << "no SBML Test Suite cases in " << folder;
  }
  std::set<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".xml") files.insert(entry.path());
  }
  size_t formulas = 0;
  size_t models = 0;
  for (const auto& file : files) {
    std::unique_ptr<SBMLDocument> doc(readSBMLFromFile(file.c_str()));
    ASSERT_NE(doc->getModel(), nullptr) << file;
    ++models;
    for (const std::string& formula : formulasOf(*doc->getModel())) {
      ++formulas;
      TreePtr tree(new MParseTree(formula.c_str()));
      EXPECT_NO_THROW(tree->init(true)) << file << ": " << formula;
      if (!tree->isParsed()) continue;
      std::string written;
      const std::unique_ptr<ASTNode> ours = throughLibsbml(formula, &written);
      const std::unique_ptr<ASTNode> theirs(SBML_parseFormula(formula.c_str()));
      ASSERT_NE(theirs, nullptr) << formula;
      EXPECT_TRUE(ours != nullptr && sameMath(ours.get(), theirs.get()))
          << file << ": " << formula << " -> " << written;
    }
  }
  EXPECT_GT(formulas, models);
  std::cout << "[ walked   ] " << formulas << " formulas of " << models
            << " SBML Test Suite models\n";
}

}  // namespace
