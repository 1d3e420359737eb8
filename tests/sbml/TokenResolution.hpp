// Whether the names of a model read from SBML bind as the file meant: every
// name of every rate, rule and event resolves ("resolveSymbol", in the
// element's scope) to the component whose SBML id the MathML names there.
#pragma once

#include <sbml/SBMLTypes.h>

#include <string>
#include <vector>

class Kelbor;

namespace sbmltest {

// One line per element whose names do not resolve to the components of the
// MathML: what resolved, what the MathML names.  Empty when all bind.
// Math that calls a function definition (dropped on read) is left out.
std::vector<std::string> tokenResolutionFaults(Kelbor& model, const Model& sbml);

}  // namespace sbmltest
