// The methods of the host class "Variant": addcontent, rmcontent, display,
// verify, commit, copyobj and privategetusages.
#pragma once

#include <obk/OBMethodInfo.hpp>

#include "core/ComponentCopy.hpp"
#include "core/KelborApi.hpp"
#include "core/ModelComponentMethods.hpp"

// "addcontent" ("handle", "handle") appends another variant's entries (an
// empty handle: nothing; any other class: "Kestrion:AddContentInvalidInput");
// ("handle", "PELLAM array") appends the given entries.  Announces
// "Content" after a change.
class KELBOR_API Variant_AddContent_MI : public OBMethodInfo {
 public:
  Variant_AddContent_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn, void* const ins[]) override;

 private:
  OBMethodSignature* byVariant_;
};

// "rmcontent" ("handle", "NReals"): 1-based indices, each a positive
// integer ("Kestrion:VariantRemoveInvalidIndicie") not beyond the last
// entry ("Kestrion:VariantRemoveOutOfRange"), checked before anything is
// removed; ("handle", "PELLAM array"): entries removed by value.  Announces
// "Content" afterwards.
class KELBOR_API Variant_RemoveContent_MI : public OBMethodInfo {
 public:
  Variant_RemoveContent_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn, void* const ins[]) override;

 private:
  OBMethodSignature* byIndex_;
};

// "display": one variant with its entries, or a table of variants.
class KELBOR_API Variant_display_MI : public ModelComponent_display_MI {
 public:
  void displayOne(int& nOut, void* outs[], int nIn, void* const ins[]) override;
  void displayVector(int& nOut, void* outs[], int nIn, void* const ins[]) override;
};

// "commit" ("handle", "handle"): sets every entry's value on its component
// of the model given, through the host's "set", in entry order.  A target
// that is no model raises "Kestrion:VariantCommitNeedsModelObject"; an
// entry that cannot be applied raises before anything is set.
class KELBOR_API Variant_Commit_MI : public OBMethodInfo {
 public:
  Variant_Commit_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn, void* const ins[]) override;
};

// "privategetusages" ("handle", "handle") -> "Nints": the 1-based numbers
// of the entries that name the component (a species, parameter or
// compartment of a model); empty otherwise.
class KELBOR_API Variant_GetComponentUsageLocations_MI : public OBMethodInfo {
 public:
  Variant_GetComponentUsageLocations_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn, void* const ins[]) override;
};

// "copyobj": a variant goes only below a model that has no variant of its
// name ("Kestrion:VariantWithNameExists").
class KELBOR_API Variant_copyobj_MI : public ModelComponent_copyobj_MI {
 public:
  bool canCopyInto(OBInterface* obj, OBInterface* newParent) override;
  void attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface* source) override;
};

// "verify" ("handle", "handle", "handle") with a model and a "Configset"
// ("Kestrion:InvalidConfigSetForVariantVerify" for anything else), or
// ("handle", "handle") with a model only.
KELBOR_API OBMethodInfo* newVariantVerifyMethod();
