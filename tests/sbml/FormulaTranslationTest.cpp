// Formula translation through libSBML's math tree: each MathML case reads as
// the host formula of the table and writes back as the expected MathML
// (the input itself unless the row says otherwise).
#include <sbml/SBMLTypes.h>

#include <cstdlib>
#include <memory>

#include "SbmlHostFixture.hpp"
#include "model/Kelbor.hpp"
#include "sbml/SBMLComponent.hpp"
#include "sbml/SBMLConversionContext.hpp"
#include "sbml/SBMLExpressionObject.hpp"

namespace sbmltest {
namespace {

// The MathML text of a tree as libSBML writes it.
std::string written(const ASTNode& tree) {
  char* text = writeMathMLToString(&tree);
  std::string result = text ? text : "";
  std::free(text);
  return result;
}

// A MathML text as libSBML reads and writes it again.
std::string reread(const std::string& document) {
  const std::unique_ptr<ASTNode> tree(readMathMLFromString(document.c_str()));
  return tree ? written(*tree) : "unreadable";
}

std::string normalised(const std::string& content) { return reread(math(content)); }

struct Case {
  const char* what;
  const char* mathml;
  const char* host;
  const char* writtenBack;  // null: the input
};

const Case kCases[] = {
    {"negated power", "<apply><minus/><apply><power/><ci>x</ci><cn type='integer'>2</cn></apply></apply>",
     "-power(x, 2)", nullptr},
    {"power of a negation", "<apply><power/><apply><minus/><ci>x</ci></apply><cn type='integer'>2</cn></apply>",
     "power(-x, 2)", nullptr},
    {"natural logarithm", "<apply><ln/><ci>x</ci></apply>", "log(x)", nullptr},
    {"base-10 logarithm", "<apply><log/><ci>x</ci></apply>", "kstrlogf(x)",
     "<apply><log/><logbase><cn type='integer'>10</cn></logbase><ci>x</ci></apply>"},
    {"base-2 logarithm", "<apply><log/><logbase><cn type='integer'>2</cn></logbase><ci>x</ci></apply>",
     "kstrlogf(2, x)", nullptr},
    {"cube root", "<apply><root/><degree><cn type='integer'>3</cn></degree><ci>x</ci></apply>",
     "kstrnthroot(3, x)", nullptr},
    {"root without degree", "<apply><root/><ci>x</ci></apply>", "sqrt(x)",
     "<apply><root/><degree><cn type='integer'>2</cn></degree><ci>x</ci></apply>"},
    {"time symbol",
     "<apply><times/><ci>k</ci><csymbol encoding='text' "
     "definitionURL='http://www.sbml.org/sbml/symbols/time'> t </csymbol></apply>",
     "k * time",
     "<apply><times/><ci>k</ci><csymbol encoding='text' "
     "definitionURL='http://www.sbml.org/sbml/symbols/time'> time </csymbol></apply>"},
    {"infinity", "<infinity/>", "Inf", nullptr},
    {"not a number", "<notanumber/>", "NaN", nullptr},
    {"not equal", "<apply><neq/><ci>a</ci><ci>b</ci></apply>", "ne(a, b)", nullptr},
    {"arc sine", "<apply><arcsin/><ci>x</ci></apply>", "asin(x)", nullptr},
    {"plain arithmetic",
     "<apply><divide/><apply><plus/><ci>a</ci><cn>0.5</cn></apply><apply><minus/><ci>b</ci></apply></apply>",
     "(a + 0.5) / -b", nullptr},
    {"infinity in a product", "<apply><times/><ci>k</ci><infinity/></apply>", "k * Inf", nullptr},
    {"delay symbol",
     "<apply><csymbol encoding='text' definitionURL='http://www.sbml.org/sbml/symbols/delay'> p1 </csymbol>"
     "<ci>p2</ci><cn type='integer'>1</cn></apply>",
     "delay(p2, 1)",
     "<apply><csymbol encoding='text' definitionURL='http://www.sbml.org/sbml/symbols/delay'> delay </csymbol>"
     "<ci>p2</ci><cn type='integer'>1</cn></apply>"},
    {"relation of three operands", "<apply><gt/><ci>x</ci><ci>y</ci><ci>a</ci></apply>",
     "and(gt(x, y), gt(y, a))",
     "<apply><and/><apply><gt/><ci>x</ci><ci>y</ci></apply><apply><gt/><ci>y</ci><ci>a</ci></apply></apply>"},
    {"relation of four operands", "<apply><leq/><ci>a</ci><ci>b</ci><ci>c</ci><ci>d</ci></apply>",
     "and(and(le(a, b), le(b, c)), le(c, d))",
     "<apply><and/><apply><and/><apply><leq/><ci>a</ci><ci>b</ci></apply><apply><leq/><ci>b</ci><ci>c</ci>"
     "</apply></apply><apply><leq/><ci>c</ci><ci>d</ci></apply></apply>"},
    {"conjunction of three operands", "<apply><and/><ci>a</ci><ci>b</ci><ci>c</ci></apply>", "and(and(a, b), c)",
     "<apply><and/><apply><and/><ci>a</ci><ci>b</ci></apply><ci>c</ci></apply>"},
    {"disjunction of one operand", "<apply><or/><ci>a</ci></apply>", "a", "<ci>a</ci>"},
    {"real base-10 logarithm", "<apply><log/><logbase><cn>10</cn></logbase><ci>x</ci></apply>", "kstrlogf(x)",
     "<apply><log/><logbase><cn type='integer'>10</cn></logbase><ci>x</ci></apply>"},
    {"factorial", "<apply><factorial/><ci>x</ci></apply>", "factorial(x)", nullptr},
    {"hyperbolic secant", "<apply><sech/><ci>x</ci></apply>", "sech(x)", nullptr},
    {"hyperbolic cotangent", "<apply><coth/><ci>x</ci></apply>", "coth(x)", nullptr},
    {"piecewise",
     "<piecewise><piece><cn type='integer'>1</cn><apply><gt/><ci>x</ci><cn type='integer'>2</cn></apply></piece>"
     "<otherwise><cn type='integer'>0</cn></otherwise></piecewise>",
     "piecewise(1, gt(x, 2), 0)", nullptr},
    {"constants", "<apply><times/><pi/><exponentiale/></apply>", "pi * exp(1)", nullptr},
    {"truth values", "<apply><or/><true/><false/></apply>", "or(true, false)", nullptr},
    {"difference of a difference", "<apply><minus/><ci>a</ci><apply><minus/><ci>b</ci><ci>c</ci></apply></apply>",
     "a - (b - c)", nullptr},
    {"negated product", "<apply><minus/><apply><times/><ci>a</ci><ci>b</ci></apply></apply>", "-(a * b)", nullptr},
};

TEST_F(SbmlHostTest, FormulaTranslationKeepsTheMeaningBothWays) {
  SBMLConversionContext context;
  const kstr::sbml::ConversionSession session(&context);
  for (const Case& row : kCases) {
    SCOPED_TRACE(row.what);
    const std::unique_ptr<ASTNode> tree(readMathMLFromString(math(row.mathml).c_str()));
    ASSERT_NE(tree, nullptr);
    std::string text = SBMLExpressionObject::formulaFromMath(context, *tree, nullptr);
    EXPECT_EQ(text, row.host);
    const std::unique_ptr<ASTNode> back(SBMLExpressionObject::mathFromFormula(text, nullptr, nullptr, "test"));
    ASSERT_NE(back, nullptr) << text;
    EXPECT_EQ(reread(written(*back)), normalised(row.writtenBack ? row.writtenBack : row.mathml));
  }
}

// Host formulas written as MathML: host functions with an exact MathML form
// get it, those without one are written as calls with a warning, and a name
// in an operand's place is never taken for a function or a constant.
struct WriteCase {
  const char* what;
  const char* host;
  const char* mathml;
  size_t warnings;  // "Kestrion:SBMLFunctionWithoutMathML"
};

const WriteCase kWriteCases[] = {
    {"n-th root", "nthroot(x, 3)", "<apply><root/><degree><cn type='integer'>3</cn></degree><ci>x</ci></apply>", 0},
    {"base-2 logarithm", "log2(x)", "<apply><log/><logbase><cn type='integer'>2</cn></logbase><ci>x</ci></apply>", 0},
    {"base-10 logarithm", "log10(x)", "<apply><log/><logbase><cn type='integer'>10</cn></logbase><ci>x</ci></apply>",
     0},
    {"square root", "sqrt(x)", "<apply><root/><degree><cn type='integer'>2</cn></degree><ci>x</ci></apply>", 0},
    {"sum of three", "sum(a, b, c)", "<apply><plus/><ci>a</ci><ci>b</ci><ci>c</ci></apply>", 0},
    {"minimum", "min(a, b)", "<apply><ci>min</ci><ci>a</ci><ci>b</ci></apply>", 1},
    {"remainder and sign", "rem(a, sign(b))", "<apply><ci>rem</ci><ci>a</ci><apply><ci>sign</ci><ci>b</ci></apply></apply>",
     2},
    {"factorial", "factorial(n)", "<apply><factorial/><ci>n</ci></apply>", 0},
    {"delay", "delay(x, 2)",
     "<apply><csymbol encoding='text' definitionURL='http://www.sbml.org/sbml/symbols/delay'> delay </csymbol>"
     "<ci>x</ci><cn type='integer'>2</cn></apply>",
     0},
    {"host constants", "pi + Inf", "<apply><plus/><pi/><infinity/></apply>", 0},
    {"names spelled like constants", "Pi * INF * e", "<apply><times/><ci>Pi</ci><ci>INF</ci><ci>e</ci></apply>", 0},
    {"names spelled like functions", "power * sum + ceil(x)",
     "<apply><plus/><apply><times/><ci>power</ci><ci>sum</ci></apply><apply><ceiling/><ci>x</ci></apply></apply>", 0},
    {"a name that is also called", "power(power, 2)", "<apply><power/><ci>power</ci><cn type='integer'>2</cn></apply>",
     0},
    {"exp of one", "exp(1)", "<exponentiale/>", 0},
};

TEST_F(SbmlHostTest, HostFunctionsAreWrittenInTheirMathMLForms) {
  for (const WriteCase& row : kWriteCases) {
    SCOPED_TRACE(row.what);
    host().clearLogs();
    const std::unique_ptr<ASTNode> math(SBMLExpressionObject::mathFromFormula(row.host, nullptr, nullptr, "rule 'r'"));
    ASSERT_NE(math, nullptr);
    EXPECT_EQ(reread(written(*math)), normalised(row.mathml));
    EXPECT_EQ(warningCount("Kestrion:SBMLFunctionWithoutMathML"), row.warnings);
  }
}

// Numbers keep every digit they need both ways: the read gives the shortest
// text that reads back as the same double, the write the same double.
TEST_F(SbmlHostTest, FormulaNumbersKeepEveryDigit) {
  SBMLConversionContext context;
  const kstr::sbml::ConversionSession session(&context);
  const struct {
    const char* mathml;
    const char* host;
    double value;
  } rows[] = {
      {"<cn>0.12345678901234567</cn>", "0.12345678901234566", 0.12345678901234567},
      {"<cn type='e-notation'>1.7976931348623157<sep/>308</cn>", "1.7976931348623157e+308", 1.7976931348623157e308},
      {"<cn>0.1</cn>", "0.1", 0.1},
      {"<cn>3.0000000000000004</cn>", "3.0000000000000004", 3.0000000000000004},
      {"<cn>1e-300</cn>", "1e-300", 1e-300},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.mathml);
    const std::unique_ptr<ASTNode> tree(readMathMLFromString(math(row.mathml).c_str()));
    ASSERT_NE(tree, nullptr);
    const std::string text = SBMLExpressionObject::formulaFromMath(context, *tree, nullptr);
    EXPECT_EQ(text, row.host);
    const std::unique_ptr<ASTNode> back(SBMLExpressionObject::mathFromFormula(text, nullptr, nullptr, "test"));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->getReal(), row.value);
  }
}

// Ids read as model names: a species by its compartment-qualified name (put
// back in full, not as its placeholder), a parameter by its bracketed name;
// an id that names nothing stays.
TEST_F(SbmlHostTest, FormulaTranslationNamesComponentsByTheirModelNames) {
  OBInterface* m = readText(l2v1(
      "<listOfCompartments><compartment id=\"c\" name=\"cell\"/><compartment id=\"d\" name=\"other\"/>"
      "</listOfCompartments>"
      "<listOfSpecies><species id=\"s\" name=\"A\" compartment=\"c\"/></listOfSpecies>"
      "<listOfParameters><parameter id=\"p\" name=\"rate constant\"/></listOfParameters>"
      "<listOfReactions><reaction id=\"r\"><listOfReactants><speciesReference species=\"s\"/>"
      "</listOfReactants><kineticLaw>" +
      math("<apply><times/><ci>p</ci><ci>s</ci><ci>nothing</ci></apply>") +
      "</kineticLaw></reaction></listOfReactions>"));
  EXPECT_EQ(host().getString(children(m, "reaction").at(0), "ReactionRate"), "[rate constant] * cell.A * nothing");
}

// Ids spelled like MathML or host functions and constants stay the names of
// their components on read, and are written back as the same ids.
TEST_F(SbmlHostTest, IdsSpelledLikeFunctionsStayNamesBothWays) {
  const char* ids[] = {"pow", "ln", "log", "divide", "INF", "notanumber", "exponentiale", "Pi", "sum", "power"};
  std::string parameters;
  std::string product;
  for (const char* id : ids) {
    parameters += std::string("<parameter id=\"") + id + "\" value=\"2\"/>";
    product += std::string("<ci>") + id + "</ci>";
  }
  const std::string rate = "<apply><times/>" + product + "<apply><power/><ci>S</ci><ci>pow</ci></apply></apply>";
  OBInterface* m = readText(l2v1(
      "<listOfCompartments><compartment id=\"c\"/></listOfCompartments>"
      "<listOfSpecies><species id=\"S\" compartment=\"c\" initialAmount=\"1\"/></listOfSpecies>"
      "<listOfParameters>" + parameters + "</listOfParameters>"
      "<listOfReactions><reaction id=\"r\"><listOfReactants><speciesReference species=\"S\"/>"
      "</listOfReactants><kineticLaw>" + math(rate) + "</kineticLaw></reaction></listOfReactions>"));
  OBInterface* reaction = children(m, "reaction").at(0);
  EXPECT_EQ(host().getString(reaction, "ReactionRate"),
            "pow * ln * log * divide * INF * notanumber * exponentiale * Pi * sum * power * power(S, pow)");
  const std::unique_ptr<SBMLDocument> back(readSBMLFromString(writeText(m).c_str()));
  const ASTNode* law = back->getModel()->getReaction(0)->getKineticLaw()->getMath();
  ASSERT_NE(law, nullptr);
  EXPECT_EQ(reread(written(*law)), normalised(rate));
}

// A formula the model's parser cannot read is written empty, with a
// warning naming it.
TEST_F(SbmlHostTest, UnparsableFormulaIsNotWritten) {
  SBMLConversionContext context;
  const kstr::sbml::ConversionSession session(&context);
  OBInterface* m = host().construct("Model", {host().str("m")});
  const std::unique_ptr<ASTNode> math(
      SBMLExpressionObject::mathFromFormula("a +* b", kelborFromHandle(m), nullptr, "test"));
  EXPECT_EQ(math, nullptr);
  EXPECT_EQ(warningCount("Kestrion:ParseErrorCannotReplaceExpressionNamesWithIDS"), 1u);
}

}  // namespace
}  // namespace sbmltest
