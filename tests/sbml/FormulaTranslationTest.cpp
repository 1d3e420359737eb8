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
    SBMLExpressionObject::translateFunctionNamesToSBML(text);
    const std::unique_ptr<ASTNode> back(SBMLExpressionObject::mathFromFormula(text));
    ASSERT_NE(back, nullptr) << text;
    EXPECT_EQ(reread(written(*back)), normalised(row.writtenBack ? row.writtenBack : row.mathml));
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

// A formula the model's parser cannot read is written empty, with a
// warning naming it.
TEST_F(SbmlHostTest, UnparsableFormulaIsNotWritten) {
  SBMLConversionContext context;
  const kstr::sbml::ConversionSession session(&context);
  OBInterface* m = host().construct("Model", {host().str("m")});
  std::string formula = "a +* b";
  SBMLExpressionObject::replaceNamesWithIds(formula, *kelborFromHandle(m), nullptr, {"a", "b"});
  EXPECT_EQ(formula, "");
  EXPECT_EQ(warningCount("Kestrion:ParseErrorCannotReplaceExpressionNamesWithIDS"), 1u);
}

}  // namespace
}  // namespace sbmltest
