// The methods of the dose host classes: resolvetarget,
// resolvedurationparameter, privategetusages, display and copyobj.
#pragma once

#include <obk/OBMethodInfo.hpp>

#include "core/ComponentCopy.hpp"
#include "core/KelborApi.hpp"
#include "core/ModelComponentMethods.hpp"

// "resolvetarget" / "resolvedurationparameter" ("handle", "handle") ->
// "handle": the species or parameter in the model given (the dose's own
// model when the handle is empty); empty when none.
class KELBOR_API Dose_ResolveTarget_MI : public OBMethodInfo {
 public:
  Dose_ResolveTarget_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn, void* const ins[]) override;
};

class KELBOR_API Dose_ResolveDurationParameter_MI : public OBMethodInfo {
 public:
  Dose_ResolveDurationParameter_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn, void* const ins[]) override;
};

// "privategetusages" ("handle", "handle") -> "string vector": "TargetName"
// and/or "DurationParameterName" when they denote the species, parameter
// or compartment given.
class KELBOR_API Dose_GetComponentUsageLocations_MI : public OBMethodInfo {
 public:
  Dose_GetComponentUsageLocations_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn, void* const ins[]) override;
};

// "display": the table of one dose or of the doses given.
class KELBOR_API Dose_display_MI : public ModelComponent_display_MI {
 public:
  void displayOne(int& nOut, void* outs[], int nIn, void* const ins[]) override;
  void displayVector(int& nOut, void* outs[], int nIn, void* const ins[]) override;
};

// "copyobj": a dose goes only below a model that has no dose of its name
// ("Kestrion:DOSE_WITH_NAME_EXISTS").
class KELBOR_API Dose_copyobj_MI : public ModelComponent_copyobj_MI {
 public:
  bool canCopyInto(OBInterface* obj, OBInterface* newParent) override;
  void attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface* source) override;
};
