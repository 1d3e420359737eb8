// Fuzzes the unit manager's unit texts: compositions, prefixes (built-in
// and user), powers and user units.  Any text either fails with the parse
// error or resolves; a resolved text must mean the same in parentheses,
// convert to itself with factor 1, expand into base units of its own
// dimension and factor, split (when it splits) into a substance and a
// volume whose quotient means the text, keep a stable index, and serve as
// the composition of a user unit whose factor is the text's times the
// multiplier.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "hb/hb_test.hpp"
#include "ks_utils/Units.hpp"
#include "obk/Exception.hpp"

namespace {

OVUnits::UnitManagerApi& units() { return *getUnitManagerApiFcn(); }

// Registers the user units and the user prefix that the seeds name, once.
void defineUserUnitsOnce() {
  static const bool defined = [] {
    hbTestSetEcho(false);
    OVUnits::UnitPrefixApi* prefix = units().getPrefixService()->newPrefix();
    prefix->setName("myp");
    prefix->setExponent(2);
    if (!units().getPrefixService()->registerPrefix(prefix)) std::abort();
    const struct {
      const char* name;
      const char* composition;
      double multiplier;
    } rows[] = {{"mM", "millimole/litre", 1}, {"cyc", "1/second", 6.283185307179586}};
    for (const auto& row : rows) {
      OVUnits::UnitRepresentationApi* unit = units().newUnit();
      unit->setName(row.name);
      unit->setComposition(row.composition);
      unit->setMultiplier(row.multiplier);
      if (!units().registerUnit(unit)) std::abort();
    }
    return true;
  }();
  (void)defined;
}

// The description of the text; false on the parse error, abort() on any
// other failure.
bool described(const std::string& text, OVUnits::UnitDescription& out) {
  try {
    out = units().describeUnit(text);
    return true;
  } catch (const ErrorIdException& e) {
    if (e.getIdentifier() != "Kestrion:KSUNIT_CANNOT_PARSE_UNITS") std::abort();
    return false;
  }
}

// The deepest nesting of parentheses in the text.
int nestingOf(const std::string& text) {
  int depth = 0;
  int deepest = 0;
  for (char c : text) {
    if (c == '(') deepest = std::max(deepest, ++depth);
    if (c == ')') --depth;
  }
  return deepest;
}

// The parser refuses parentheses nested deeper than this; a text at the
// bound cannot be put in one more pair.
constexpr int kDeepestWrappable = 190;

bool close(double a, double b) { return std::fabs(a - b) <= 1e-9 * std::fmax(std::fabs(a), std::fabs(b)); }

// The other text must resolve to the dimension and factor of the first.
void expectSameMeaning(const OVUnits::UnitDescription& unit, const std::string& other) {
  OVUnits::UnitDescription again;
  if (!described(other, again)) std::abort();
  if (again.exponents != unit.exponents || !close(again.factor, unit.factor)) std::abort();
}

void checkExpansion(const OVUnits::UnitDescription& unit, const std::string& text) {
  const OVUnits::BaseUnitExpansion expansion = units().expandToBaseUnits(text);
  OVUnits::DimensionExponents exponents{};
  for (const OVUnits::BaseUnitTerm& term : expansion.terms) {
    int dimension = 0;
    while (dimension < OVUnits::kNumBaseDimensions &&
           units().getBaseUnitNamingService()->getBaseUnitName(dimension) != term.name)
      ++dimension;
    if (dimension == OVUnits::kNumBaseDimensions || term.exponent == 0) std::abort();
    exponents[dimension] = term.exponent;
  }
  if (exponents != unit.exponents || expansion.multiplier != unit.factor) std::abort();
}

void checkSplit(const OVUnits::UnitDescription& unit, const std::string& text) {
  std::string substance;
  std::string volume;
  if (!units().splitConcentrationUnits(text, substance, volume)) return;
  expectSameMeaning(unit, "(" + substance + ")/(" + volume + ")");
}

// A user unit over the text: its factor is the text's times the
// multiplier.  A text naming the unit itself is a cycle and is refused.
void checkAsComposition(const OVUnits::UnitDescription& unit, const std::string& text) {
  OVUnits::UnitRepresentationApi* user = units().newUnit();
  user->setName("fuzzunit");
  user->setComposition(text);
  user->setMultiplier(4.0);
  if (!units().registerUnit(user)) {
    delete user;
    return;
  }
  OVUnits::UnitDescription through;
  if (!described("fuzzunit", through)) std::abort();
  if (through.exponents != unit.exponents || !close(through.factor, 4.0 * unit.factor)) std::abort();
  if (!units().unregisterUnit("fuzzunit")) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  defineUserUnitsOnce();
  const std::string text(reinterpret_cast<const char*>(data), size);
  OVUnits::UnitDescription unit;
  if (!described(text, unit)) return 0;
  if (!std::isfinite(unit.factor) || unit.factor == 0.0 || !std::isfinite(unit.offset)) std::abort();
  const bool wrappable = nestingOf(text) < kDeepestWrappable;
  if (wrappable) expectSameMeaning(unit, "(" + text + ")");
  expectSameMeaning(unit, text + "*1");
  if (!close(units().getConverter(text, text).convert(1.0), 1.0)) std::abort();
  units().getUnitType(text);
  checkExpansion(unit, text);
  if (wrappable) checkSplit(unit, text);
  const int index = units().getUnitIndex(text);
  if (index < 0 || units().getUnitText(index) != text) std::abort();
  checkAsComposition(unit, text);
  return 0;
}
