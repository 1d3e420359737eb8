// Method infos shared by the component classes: display, help, copy,
// compare, rename, privateisvalidunit, and the abstract bases of the add
// and reorder methods.
#pragma once

#include <string>

#include <obk/OBMethodInfo.hpp>

#include "core/KelborApi.hpp"

class OBInterface;
class Vector;
class StringVector;

// "display": ("handle") calls displayOne, ("handle vector") displayVector.
// Both do nothing here; each class's display derives from this one.
class KELBOR_API ModelComponent_display_MI : public OBMethodInfo {
 public:
  ModelComponent_display_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
  virtual void displayVector(int& nOut, void* outs[], int nIn, void* const ins[]);
  virtual void displayOne(int& nOut, void* outs[], int nIn, void* const ins[]);

 protected:
  // 100 blanks, for padding the columns of display tables.
  std::string blanks_;
  OBMethodSignature* oneSignature_;
};

// "help" ("handle", "string"): asks the desktop for the help of a property
// of the object's class (names ignoring case); warns
// "Kestrion:HELP_INVALID_PROPERTY" when the class has no such property.
class KELBOR_API ModelComponent_help_MI : public OBMethodInfo {
 public:
  ModelComponent_help_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "copy" ("handle"): always raises "Kestrion:KS_COPY_INVALID_METHOD".
class KELBOR_API ModelComponent_copy_MI : public OBMethodInfo {
 public:
  ModelComponent_copy_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "compare" ("handle", "handle") -> "bool": true when both objects are of
// one class and every property except ID and Parent has equal values.
class KELBOR_API ModelComponent_compare_MI : public OBMethodInfo {
 public:
  ModelComponent_compare_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "privategetusages" ("handle") or ("handle", "bool") -> "handle vector": the
// reactions, rules and events that use the component (sorted by kind unless
// the flag is false), then the variants and doses that refer to it.
class KELBOR_API ModelComponent_getUsages_MI : public OBMethodInfo {
 public:
  ModelComponent_getUsages_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* flagSignature_;
};

// "rename" ("handle", "string"): renames the component (a null or empty
// text gives the empty name); the component's own checks raise.
class KELBOR_API ModelComponent_Rename_MI : public OBMethodInfo {
 public:
  ModelComponent_Rename_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "privateisvalidunit", static: ("string") or ("string vector") ->
// "PELLAM array", a 1-by-n logical row with isValidUnit of each text.
class KELBOR_API ModelComponent_PrivateIsValidUnit_MI : public OBMethodInfo {
 public:
  ModelComponent_PrivateIsValidUnit_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
  virtual bool isValidUnit(const std::string& units) = 0;

 private:
  OBMethodSignature* stringSignature_;
};

// Abstract base of the add methods (addspecies, addcompartment, ...): the
// derived class sets the name and the signatures.
class KELBOR_API ModelContainer_add_MI : public OBMethodInfo {
 public:
  ModelContainer_add_MI() = default;
};

// Abstract base of the "reorder" ("handle", "handle vector") methods.
class KELBOR_API ModelContainer_Reorder_MI : public OBMethodInfo {
 public:
  ModelContainer_Reorder_MI();
  // Raises "Kestrion:InvalidReorderCall".
  [[noreturn]] virtual void throwInvalidReorder() const;
  // True when both vectors hold the same instances (two absent vectors are
  // equal; equal counts and the same set of members).
  static bool haveSameMembers(const Vector* a, const Vector* b);
};
