// The map object "BMapWrapper": a dictionary from host instances (compared
// by identity) to host arrays, for use from the host language.  The map is
// the component object of its host instance; the method infos below are the
// four host methods of the class (see BMapWrapperOBC.hpp).
#pragma once

#include <cstddef>
#include <map>

#include <obk/OBMethodInfo.hpp>

#include "core/KelborApi.hpp"

class OBInterface;
struct qxArray_tag;

// An ordered map from instance pointer (by address) to an owned host array.
// The keys are not referenced: an entry outlives nothing but its own array.
class KELBOR_API BMapWrapper {
 public:
  BMapWrapper() = default;
  // Destroys every stored array.
  ~BMapWrapper();
  BMapWrapper(const BMapWrapper&) = delete;
  BMapWrapper& operator=(const BMapWrapper&) = delete;

  // Stores value under key unless the key is present (the first value is
  // never overwritten).  Takes ownership of value either way: a value that
  // is not stored is destroyed.  Null keys and null values are stored like
  // any other.  Returns true when stored.
  bool insert(const OBInterface* key, qxArray_tag* value);
  // True when the key has an entry (whose array may be null).
  bool contains(const OBInterface* key) const;
  // The array stored under key (borrowed), or null when absent.
  qxArray_tag* find(const OBInterface* key) const;
  // Removes the entry of key and destroys its array; false when absent.
  bool remove(const OBInterface* key);
  size_t size() const noexcept { return entries_.size(); }
  // Destroys every stored array and removes all entries.
  void clear() noexcept;

 private:
  std::map<const OBInterface*, qxArray_tag*> entries_;
};

// "insert": ("handle", "handle", "PELLAM array") stores a copy of the value
// under the key; ("handle", "handle vector", "PELLAM array") stores element
// i of a cell value, or number i of a numeric value as a double scalar,
// under key i (nothing for a null vector).  A key already present keeps its
// first value.  A vector form whose value is neither a cell nor a numeric
// array, or has fewer elements than there are keys, raises
// "Kestrion:BMapWrapper_InvalidValue" and stores nothing.
class KELBOR_API BMapWrapper_insert : public OBMethodInfo {
 public:
  BMapWrapper_insert();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* singleKeySignature_;
};

// "find": ("handle", "handle") -> "PELLAM array", a copy of the stored
// array (null, the host's empty array, when the key is absent);
// ("handle", "handle vector") -> "PELLAM array", an N-by-1 double column
// with the scalar value stored under each key, -1 for an absent key or a
// null stored array (0-by-1 for a null vector).
class KELBOR_API BMapWrapper_find : public OBMethodInfo {
 public:
  BMapWrapper_find();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* singleKeySignature_;
};

// "removeElement": ("handle", "handle") removes the key's entry and destroys
// its array; an absent key changes nothing.  No output.
class KELBOR_API BMapWrapper_removeElement : public OBMethodInfo {
 public:
  BMapWrapper_removeElement();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "getNumElements": ("handle") -> "int", the number of entries.
class KELBOR_API BMapWrapper_getNumElements : public OBMethodInfo {
 public:
  BMapWrapper_getNumElements();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};
