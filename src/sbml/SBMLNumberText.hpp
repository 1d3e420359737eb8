// The text of a written document whose numbers read back as the doubles the
// document holds.  libSBML writes every double with 15 significant digits,
// which changes the values that need 16 or 17 (1/3, 0.1 + 0.2, the largest
// double becomes infinity).
#pragma once

#include <cstddef>
#include <string>

#include "sbml/SBMLForward.hpp"

class SBMLConversionContext;

namespace kstr::sbml {

// The document as libSBML writes it, except that each value, stoichiometry,
// unit multiplier and offset, and each real of the math that 15 digits do
// not carry has the shortest text that reads back as the same double.  The
// document is left as it was.  Every double and formula of the document
// must have been noted in the context (noteWrittenNumber, noteWrittenMath):
// when none needs more digits, the document is written as it stands,
// without a look through it for the ones that do.  deep tells whether a
// formula of the document is deeper than kShallowNesting levels: libSBML's
// write recurses as deep, so such a document is written on the large stack
// (SBMLLargeStack.hpp), and should be freed there.
std::string writeWithExactNumbers(SBMLDocument& document, bool& deep, const SBMLConversionContext& noted);

// The levels of a formula (a leaf is one) and whether one of its reals
// needs more digits, found in one walk without recursion.
struct MathNumbers {
  size_t levels = 0;
  bool needsMoreDigits = false;
};
MathNumbers mathNumbersOf(const ASTNode& math);
// Only the levels of the formula, without looking at its numbers.
size_t mathLevelsOf(const ASTNode& math);

// Notes in the running conversion, if any, a double the write sets on the
// document.
void noteWrittenNumber(double value);

}  // namespace kstr::sbml
