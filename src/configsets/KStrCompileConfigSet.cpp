// The compile options and the rule that unit conversion needs dimensional
// analysis.
#include "configsets/KStrCompileConfigSet.hpp"

#include <hb/hb.hpp>

#include "model/MessageCatalog.hpp"

void KStrCompileConfigSet::setDimensionalAnalysis(bool on) {
  dimensionalAnalysis_ = on;
  if (!on && unitConversion_) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnitConvRequiresDimAnal",
                  kstr::code(kstr::MessageCode::KS_UnitConvRequiresDimAnalTurnOffUC));
    unitConversion_ = false;
  }
  setCompileNeeded(true);
}

void KStrCompileConfigSet::setUnitConversion(bool on) {
  unitConversion_ = on;
  if (on && !dimensionalAnalysis_) {
    hb_warning_id(hbGetWarningContext(), "Kestrion:UnitConvRequiresDimAnal",
                  kstr::code(kstr::MessageCode::KS_UnitConvRequiresDimAnalTurnOnDA));
    dimensionalAnalysis_ = true;
  }
  setCompileNeeded(true);
}

void KStrCompileConfigSet::setDefaultSpeciesDimension(int dimension) {
  defaultSpeciesDimension_ = dimension;
  setCompileNeeded(true);
}

void KStrCompileConfigSet::copyValuesFrom(const KStrCompileConfigSet& other) {
  dimensionalAnalysis_ = other.dimensionalAnalysis_;
  unitConversion_ = other.unitConversion_;
  defaultSpeciesDimension_ = other.defaultSpeciesDimension_;
  setCompileNeeded(true);
}
