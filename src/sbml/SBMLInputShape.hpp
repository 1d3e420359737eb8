// The shape of an SBML text, measured before libSBML parses it: how deep its
// elements nest, how deep the tree of each formula (MathML element) will be
// and how many elements the largest formula holds.  The read refuses texts nested deeper
// than its recursive walks (and libSBML's) can take, and spares libSBML's
// unit check formulas so large that the check would not end in reasonable
// time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kstr::sbml {

// Deepest element nesting a read accepts.
inline constexpr std::size_t kMaxElementNesting = 2000;
// Deepest formula a read accepts, in the levels of the tree libSBML makes
// of it: an element is one level deeper than its deepest child, and one
// more for each of its children (libSBML nests the operands of one
// operator), so a sum of n terms counts about n levels and a formula of k
// nested binary operations about 3k.  The write refuses a formula whose
// tree is deeper (SBMLMathText.hpp).
inline constexpr std::size_t kMaxMathLevels = 10000;
// Largest formula (elements inside one MathML element) whose units
// libSBML's consistency check is asked to check.
inline constexpr std::size_t kMaxUnitCheckedMathElements = 1000;

// Nesting below which libSBML's recursion fits any thread's stack.
inline constexpr std::size_t kShallowNesting = 256;

struct InputShape {
  // Whether the text was measured at all (a file that could not be read
  // was not).
  bool measured = false;
  // The deepest element nesting and the deepest formula (in the levels of
  // kMaxMathLevels) seen.
  std::size_t deepestNesting = 0;
  std::size_t deepestMathLevels = 0;
  // 1-based line of the first element outside formulas beyond
  // kMaxElementNesting, 0 when there is none.
  std::size_t tooDeepLine = 0;
  // 1-based line of the first formula deeper than kMaxMathLevels, or with
  // elements nested beyond kMaxElementNesting, 0 when there is none.
  std::size_t tooDeepMathLine = 0;
  // Elements of the largest formula and the line where it starts.
  std::size_t largestMathElements = 0;
  std::size_t largestMathLine = 0;
};

// Whether libSBML's parse, check and destruction of a document of this
// shape need the large stack (SBMLLargeStack.hpp): anything not measured,
// nested or with a formula deeper than kShallowNesting.
inline bool needsLargeStack(const InputShape& shape) {
  return !shape.measured || shape.deepestNesting > kShallowNesting || shape.deepestMathLevels > kShallowNesting;
}

// Measures the XML text in one pass (comments, CDATA sections, processing
// instructions and declarations are skipped, quoted attribute values may
// hold any character).  Text that is not XML is measured as far as it
// looks like XML; libSBML reports what is wrong with it.  The measure stops
// at the first element beyond kMaxElementNesting.
InputShape measureInputShape(std::string_view text);

// The shape of the argument of a read: the text itself, or the contents of
// the file it names.  A file that cannot be read, or that libSBML reads as
// compressed (by its name), measures as empty: libSBML reports what it
// makes of it.
InputShape measureReadArgument(const std::string& argument, bool isText);

// Raises "Kestrion:SBML_NESTING_TOO_DEEP" or "Kestrion:SBML_MATH_TOO_DEEP"
// (with the line) when the shape is beyond the read's bounds.
void refuseTooDeep(const InputShape& shape);

}  // namespace kstr::sbml
