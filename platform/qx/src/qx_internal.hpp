// Private layout of host arrays, shared by the qx sources.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qx/qx.hpp"
#include "qx_small_vector.hpp"

namespace qx_detail {

// What the storage of an array holds.
enum class Kind { Numeric, Sparse, Logical, Char, Cell, Struct, Handle, Foreign };

// The dimensions of an array, held in the array's description up to four
// (nearly every array has two); more go to the heap.
using Shape = SmallVector<size_t, 4>;

// Payload of a foreign object array, shared by all its duplicates.
struct Foreign {
  std::string className;
  void* payload = nullptr;
  void (*release)(void*) = nullptr;
  Foreign(std::string name, void* p, void (*r)(void*));
  ~Foreign();
  Foreign(const Foreign&) = delete;
  Foreign& operator=(const Foreign&) = delete;
};

// Element storage, shared by reference count between an array and its
// shared-data copies.  Only the members of the array's kind are used.
struct Storage {
  // The few elements of a scalar, a single handle or a short text lie in
  // the storage itself.
  using Doubles = SmallVector<double, 2>;
  using Chars = SmallVector<char, 32>;
  using Handles = SmallVector<void*, 2>;
  Doubles re, im;                    // numeric, or the values of a sparse array
  std::vector<size_t> ir, jc;        // sparse: row of each value, column starts
  size_t nzmax = 0;                  // sparse: capacity as requested
  std::unique_ptr<bool[]> logicals;  // logical
  Chars chars;                       // char, column-major
  std::vector<qxArray*> elements;    // cell; struct at index * nfields + field
  std::vector<std::string> fieldNames;
  Handles handles;                   // handle arrays: one reference each
  std::shared_ptr<Foreign> foreign;

  Storage() = default;
  ~Storage();  // destroys elements and releases handles
  Storage(const Storage&) = delete;
  Storage& operator=(const Storage&) = delete;
};

}  // namespace qx_detail

struct qxArray_tag::Impl {
  qxClassID cls = qxUNKNOWN_CLASS;
  qx_detail::Kind kind = qx_detail::Kind::Numeric;
  bool complex = false;
  qx_detail::Shape dims;
  int scope = qxSCOPE_CALL_TEMPORARY;
  uint64_t callScope = 0;  // serial of the call scope that made it; 0 = none
  std::shared_ptr<qx_detail::Storage> data;
};

namespace qx_detail {

// Makes a registered array (a call temporary of the innermost open call
// scope, if any) over the given storage.
qxArray* makeArray(qxClassID cls, Kind kind, Shape dims,
                   std::shared_ptr<Storage> data, bool complex = false);
// At least two dimensions; trailing singleton dimensions past the second
// are dropped.
Shape normalDims(const size_t* dims, size_t ndim);
// The product of the dimensions; nearly every array has two.
inline size_t elementCount(const Shape& dims) {
  if (dims.size() == 2) return dims[0] * dims[1];
  size_t n = 1;
  for (size_t d : dims) n *= d;
  return n;
}
inline size_t elementCount(const qxArray* a) { return a != nullptr ? elementCount(a->impl->dims) : 0; }
const qxArray_tag::Impl* impl(const qxArray* a);  // null for a null array
bool isKind(const qxArray* a, Kind kind);

// Handle references through the hooks the object system installed.
void retainHandle(void* object);
void releaseHandle(void* object);
const char* handleClassName(const void* object);

// Takes ownership of an element put into a container.
void adoptElement(qxArray* value);
// A deep copy of an element (null stays null), owned by a container.
qxArray* duplicateElement(const qxArray* element);

}  // namespace qx_detail
