// The function names formulas share with SBML math, and number texts.
#include "expressions/FormulaFunctions.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include <ks_utils/MParseTree.hpp>

namespace kstr {

namespace {

constexpr FormulaFunction kFunctions[] = {
#define KSTR_FORMULA_FUNCTION(host, mathml) {host, mathml},
#include "expressions/FormulaFunctions.def"
};

constexpr std::string_view kWritten[] = {
#define KSTR_WRITTEN_FUNCTION(host, mathml) host,
#include "expressions/FormulaFunctions.def"
};

}  // namespace

std::span<const FormulaFunction> formulaFunctions() { return kFunctions; }

bool isKnownFunctionName(const std::string& name) {
  if (MParseTree::isStrPellamFcn(name)) return true;
  return std::any_of(std::begin(kFunctions), std::end(kFunctions),
                     [&name](const FormulaFunction& f) { return f.host == name; }) ||
         std::find(std::begin(kWritten), std::end(kWritten), name) != std::end(kWritten);
}

std::string numberText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  std::array<char, 32> buffer{};
  const std::to_chars_result written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), written.ptr);
}

}  // namespace kstr
