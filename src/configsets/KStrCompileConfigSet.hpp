// The compile options of a configuration set: dimensional analysis, unit
// conversion and the default species dimension.
#pragma once

#include "configsets/KStrConfigurationSetApi.hpp"

class KELBOR_API KStrCompileConfigSet : public KStrCompileConfigSetApi {
 public:
  bool getDimensionalAnalysis() const override { return dimensionalAnalysis_; }
  bool getUnitConversion() const override { return unitConversion_; }
  int getDefaultSpeciesDimension() const override { return defaultSpeciesDimension_; }
  // Stores the flag; turning it off while unit conversion is on warns
  // "Kestrion:UnitConvRequiresDimAnal" and turns unit conversion off.
  // Marks compile needed.
  void setDimensionalAnalysis(bool on);
  // Stores the flag; turning it on while dimensional analysis is off warns
  // "Kestrion:UnitConvRequiresDimAnal" and turns dimensional analysis on.
  // Marks compile needed.
  void setUnitConversion(bool on);
  // substance 0, concentration 1 (the host enum admits no other value).
  void setDefaultSpeciesDimension(int dimension);
  // Takes every value of another object and marks compile needed.
  void copyValuesFrom(const KStrCompileConfigSet& other);

 private:
  bool dimensionalAnalysis_ = true;
  bool unitConversion_ = false;
  int defaultSpeciesDimension_ = 1;
};
