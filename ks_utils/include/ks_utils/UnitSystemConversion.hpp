// The unit-system conversion service: one unit-conversion multiplier per
// model component, used when a model is simulated in a common unit system.
#pragma once

#include <vector>

#include "ks_utils/KsApi.hpp"

class KelborComponent;

class KS_API UnitSystemConversionServiceApi {
 public:
  virtual ~UnitSystemConversionServiceApi();
  // Replaces the contents of multipliers by one multiplier per component,
  // in the components' order.  Every multiplier is 1.0: values are used in
  // the units they are given in.  Null components get 1.0 as well.
  virtual void getMultipliers(
      std::vector<double>& multipliers,
      const std::vector<KelborComponent*>& components) const = 0;
};

// The process's conversion service (never null).
KS_API UnitSystemConversionServiceApi* getUnitSystemConversionServiceFcn();
