// The host language's function and constant names known to the engine: the
// host side of the SBML function-name map ("exp(1)" contributes "exp") and
// the other functions an expression may call without binding them.
#include "ks_utils/MParseTree.hpp"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace {

// Byte-wise sorted (upper case first) for the binary search below.
constexpr std::string_view kHostFunctions[] = {
    "Inf",   "NaN",      "abs",         "acos",  "acosh", "acot",  "acoth",
    "acsc",  "acsch",    "and",         "asec",  "asech", "asin",  "asinh",
    "atan",  "atanh",    "ceil",        "cos",   "cosh",  "cot",   "csc",
    "eps",   "eq",       "exp",         "false", "fix",   "floor", "ge",
    "gt",    "inf",      "kstrlogf",    "kstrnthroot",    "le",    "log",
    "log10", "log2",     "lt",          "max",   "min",   "mod",   "mrdivide",
    "nan",   "ne",       "not",         "or",    "pi",    "power", "rem",
    "round", "sec",      "sign",        "sin",   "sinh",  "sqrt",  "sum",
    "tan",   "tanh",     "true",        "xor"};

static_assert(std::is_sorted(std::begin(kHostFunctions),
                             std::end(kHostFunctions)),
              "kHostFunctions must stay sorted");

}  // namespace

bool MParseTree::isStrPellamFcn(const std::string& name) {
  return std::binary_search(std::begin(kHostFunctions),
                            std::end(kHostFunctions), std::string_view(name));
}
