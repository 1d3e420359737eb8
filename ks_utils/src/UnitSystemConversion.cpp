#include "ks_utils/UnitSystemConversion.hpp"

UnitSystemConversionServiceApi::~UnitSystemConversionServiceApi() = default;

namespace {

class UnitSystemConversionService final : public UnitSystemConversionServiceApi {
 public:
  void getMultipliers(
      std::vector<double>& multipliers,
      const std::vector<KelborComponent*>& components) const override {
    multipliers.assign(components.size(), 1.0);
  }
};

}  // namespace

UnitSystemConversionServiceApi* getUnitSystemConversionServiceFcn() {
  static UnitSystemConversionService service;
  return &service;
}
