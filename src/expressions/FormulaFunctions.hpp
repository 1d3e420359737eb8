// The function names formulas share with SBML math, and the text of a
// number in a formula.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "core/KelborApi.hpp"

namespace kstr {

// One function of SBML math and the host name a formula calls it by.
struct FormulaFunction {
  std::string_view host;
  std::string_view mathml;
};

// Every KSTR_FORMULA_FUNCTION row of FormulaFunctions.def, in its order.
KELBOR_API std::span<const FormulaFunction> formulaFunctions();

// True when a formula may call or name this without binding it to a
// component: a host function or constant, or a function of SBML math by
// its host name (factorial, piecewise, sech, delay, ...).
KELBOR_API bool isKnownFunctionName(const std::string& name);

// The shortest decimal text that reads back as the same double ("0.1",
// "1e-05", "0.30000000000000004"); "NaN", "Inf" and "-Inf" for the values
// that have no digits.
KELBOR_API std::string numberText(double value);

}  // namespace kstr
