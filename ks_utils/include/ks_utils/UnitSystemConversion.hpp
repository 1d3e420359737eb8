// The unit-system conversion service: one unit-conversion multiplier per
// model component, used when a model is simulated in one coherent unit
// system.  Each multiplier scales the component's value from its declared
// units into the system over the unit manager's seven base units (gram,
// mole, metre, second, Celsius, ampere, candela), so that every rate
// expression is dimensionally consistent after scaling.
#pragma once

#include <string>
#include <vector>

#include <boost/function.hpp>

#include "ks_utils/KsApi.hpp"

class KelborComponent;

// What the service reads of one component: a name for messages and the
// units its value is declared in ("" when none).
struct KS_API ComponentUnits {
  std::string name;
  std::string units;
};

// Reads a component's units; the model engine installs it, since this
// library does not know the engine's classes.
using ComponentUnitsReader = boost::function<ComponentUnits(const KelborComponent&)>;

class KS_API UnitSystemConversionServiceApi {
 public:
  virtual ~UnitSystemConversionServiceApi();
  // Replaces the contents of multipliers by one multiplier per component,
  // in the components' order: the factor of the component's units over the
  // base units; 1.0 for a null component or one without units (its value
  // is used as given).  Units that carry an offset (kelvin) cannot be
  // scaled by a multiplier: "Kestrion:KSUNIT_CANNOT_CONVERT_COMPONENT"
  // names the component.  Units that do not parse raise the unit
  // manager's "Kestrion:KSUNIT_CANNOT_PARSE_UNITS".  Without an installed
  // reader any non-null component raises
  // "Kestrion:KSUNIT_UNITCONVERSION_NOT_ENABLED".  multipliers is left
  // unchanged when an error is raised.
  virtual void getMultipliers(
      std::vector<double>& multipliers,
      const std::vector<KelborComponent*>& components) const = 0;
  // Installs the reader (an empty one removes it).
  virtual void setComponentUnitsReader(ComponentUnitsReader reader) = 0;
};

// The process's conversion service (never null).
KS_API UnitSystemConversionServiceApi* getUnitSystemConversionServiceFcn();
