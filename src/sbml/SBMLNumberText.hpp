// The text of a written document whose numbers read back as the doubles the
// document holds.  libSBML writes every double with 15 significant digits,
// which changes the values that need 16 or 17 (1/3, 0.1 + 0.2, the largest
// double becomes infinity).
#pragma once

#include <string>

#include "sbml/SBMLForward.hpp"

namespace kstr::sbml {

// The document as libSBML writes it, except that each value, stoichiometry,
// unit multiplier and offset, and each real of the math that 15 digits do
// not carry has the shortest text that reads back as the same double.  The
// document is left as it was.  deep tells whether a formula of the
// document is deeper than kShallowNesting levels: libSBML's write recurses
// as deep, so such a document is written on the large stack
// (SBMLLargeStack.hpp), and should be freed there.
std::string writeWithExactNumbers(SBMLDocument& document, bool& deep);

}  // namespace kstr::sbml
