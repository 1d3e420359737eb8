// The unit-system conversion service over the unit manager.
#include "ks_utils/UnitSystemConversion.hpp"

#include <cmath>

#include "ks_utils/Errors.hpp"
#include "ks_utils/Units.hpp"

UnitSystemConversionServiceApi::~UnitSystemConversionServiceApi() = default;

namespace {

// The base units of a description written as a unit text ("mole/second").
std::string baseUnitText(const std::string& units) {
  const OVUnits::BaseUnitExpansion expansion = getUnitManagerApiFcn()->expandToBaseUnits(units);
  std::string numerator;
  std::string denominator;
  for (const OVUnits::BaseUnitTerm& term : expansion.terms) {
    std::string& side = term.exponent > 0 ? numerator : denominator;
    const int power = std::abs(term.exponent);
    if (!side.empty()) side += "*";
    side += term.name;
    if (power != 1) side += "^" + std::to_string(power);
  }
  if (numerator.empty()) numerator = "1";
  return denominator.empty() ? numerator : numerator + "/" + denominator;
}

class UnitSystemConversionService final : public UnitSystemConversionServiceApi {
 public:
  void getMultipliers(std::vector<double>& multipliers,
                      const std::vector<KelborComponent*>& components) const override {
    std::vector<double> result;
    result.reserve(components.size());
    for (const KelborComponent* component : components) {
      result.push_back(component ? multiplierOf(*component) : 1.0);
    }
    multipliers.swap(result);
  }

  void setComponentUnitsReader(ComponentUnitsReader reader) override {
    reader_ = std::move(reader);
  }

 private:
  double multiplierOf(const KelborComponent& component) const {
    if (reader_.empty()) {
      kstr_error("Kestrion:KSUNIT_UNITCONVERSION_NOT_ENABLED", 0x400100, "the component");
    }
    const ComponentUnits units = reader_(component);
    if (units.units.empty()) return 1.0;
    const OVUnits::UnitDescription description =
        getUnitManagerApiFcn()->describeUnit(units.units);
    if (description.offset != 0.0) {
      kstr_error("Kestrion:KSUNIT_CANNOT_CONVERT_COMPONENT", 0x4000fe, units.name.c_str(),
                 baseUnitText(units.units).c_str());
    }
    return description.factor;
  }

  ComponentUnitsReader reader_;
};

}  // namespace

UnitSystemConversionServiceApi* getUnitSystemConversionServiceFcn() {
  static UnitSystemConversionService service;
  return &service;
}
