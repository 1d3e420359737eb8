// One content entry of a variant: the type, name, property and value cells
// of one row of the variant's content.
#pragma once

#include <cstddef>
#include <string>

#include "core/KelborApi.hpp"

struct qxArray_tag;

// The four pointers are the cells of the entry's row; the content owns
// them and an entry never frees them.  Entries are allocated on the host
// heap.
class KELBOR_API BPatchQuad {
 public:
  // Takes the four cells of a 1-by-4 cell array, in cell order.
  explicit BPatchQuad(const qxArray_tag* row);
  BPatchQuad(const BPatchQuad&) = default;
  BPatchQuad& operator=(const BPatchQuad&) = default;

  static void* operator new(size_t size);
  static void operator delete(void* p) noexcept;

  const qxArray_tag* getType() const { return type_; }
  const qxArray_tag* getName() const { return name_; }
  const qxArray_tag* getProp() const { return prop_; }
  const qxArray_tag* getValue() const { return value_; }
  // The type's text in lower case ("" when it holds no text).
  std::string getStringType() const;
  // True when the four cells are identical one by one (type, name,
  // property, value), stopping at the first difference.
  bool operator==(const BPatchQuad& other) const;

 private:
  const qxArray_tag* type_ = nullptr;
  const qxArray_tag* name_ = nullptr;
  const qxArray_tag* prop_ = nullptr;
  const qxArray_tag* value_ = nullptr;
};
