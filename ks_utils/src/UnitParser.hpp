// The unit-text grammar:
//   expr   := power (('*' | '/') power)*
//   power  := factor ('^' exponent)?
//   factor := name | '1' | '(' expr ')'
//   exponent := [+-]? digits | '(' [+-]? digits ')'
// with blanks allowed between tokens.  Names are resolved through a
// UnitNameResolver while parsing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ks_utils/Units.hpp"

namespace OVUnits::detail {

// A unit text resolved: x in the unit is factor*x + offset in base units.
// single is true when the text is one named unit (possibly prefixed or in
// parentheses): only then does the offset apply.
struct Resolved {
  double factor = 1.0;
  double offset = 0.0;
  DimensionExponents exponents{};
  bool single = false;
};

// Thrown inside the unit manager when a text does not parse or does not
// resolve; the manager turns it into the product's error.
struct UnitTextError {};

class UnitNameResolver {
 public:
  // Resolves one name (a unit or a prefixed unit).  depth counts nested
  // compositions so that cycles end in UnitTextError.
  virtual Resolved resolveName(const std::string& name, int depth) const = 0;

 protected:
  ~UnitNameResolver() = default;
};

// Parses and resolves the whole text; throws UnitTextError.
Resolved parseUnitText(std::string_view text, const UnitNameResolver& resolver,
                       int depth);

// The unit names a text holds, in order (repeats kept); the factor "1" and
// exponents are no names.  Meant for texts that parse.
std::vector<std::string> unitNamesIn(std::string_view text);

// Position of the last "/" outside parentheses, or npos.  Only meaningful
// for a text that parses.
std::size_t findLastTopLevelSlash(std::string_view text);
// True when the text holds a "*" outside parentheses.
bool hasTopLevelProduct(std::string_view text);

// Limits that keep resolution finite.
constexpr int kMaxCompositionDepth = 32;
constexpr int kMaxExponent = 1000;

}  // namespace OVUnits::detail
