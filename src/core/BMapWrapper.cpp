#include "core/BMapWrapper.hpp"

#include <cstdint>
#include <vector>

#include "core/BMapWrapperOBC.hpp"
#include "host/Host.hpp"

namespace {

const char kInvalidValueId[] = "Kestrion:BMapWrapper_InvalidValue";
const char kInvalidValueText[] =
    "The value must be a numeric or cell array with one element per key.";

// The map behind the instance that every method gets as its first input.
// A null or destroyed instance, or one of another class, raises
// "obk:InvalidObject".
BMapWrapper& mapOf(void* const ins[]) {
  const auto* instance = static_cast<const OBInterface*>(ins[0]);
  const bool isMap = instance && dynamic_cast<const BMapWrapperOBC*>(instance->getClass());
  auto* map = isMap ? static_cast<BMapWrapper*>(instance->getComponentObject()) : nullptr;
  if (map == nullptr) throw ErrorIdException("obk:InvalidObject", "Invalid or deleted object.");
  return *map;
}

const OBDataType& pellamArrayType() { return *OBTypeRepository::getType("PELLAM array"); }

qxArray* pellamCopy(const qxArray* value) {
  return static_cast<qxArray*>(pellamArrayType().copy(value));
}

// Element i (column-major) of a real double array, full or sparse.
double numberAt(const qxArray* value, size_t i) {
  const double* re = qxGetPr(value);
  if (!qxIsSparse(value)) return re[i];
  const size_t rows = qxGetM(value);
  const size_t column = i / rows;
  const size_t row = i % rows;
  // The sparse accessors are members of the (read-only here) header.
  auto* header = const_cast<qxArray*>(value);
  const size_t* ir = header->get_ir();
  const size_t* jc = header->get_jc();
  for (size_t k = jc[column]; k < jc[column + 1]; ++k) {
    if (ir[k] == row) return re[k];
  }
  return 0.0;
}

// The arrays to store for count keys: cell elements as the type's copies,
// numbers as new persistent double scalars.  Refuses a value of another
// class or with fewer than count elements before anything is made.
std::vector<qxArray*> valuesForKeys(const qxArray* value, size_t count) {
  const bool cell = qxIsCell(value);
  if ((!cell && !qxIsNumeric(value)) || qxGetNumberOfElements(value) < count) {
    throw ErrorIdException(kInvalidValueId, kInvalidValueText);
  }
  std::vector<qxArray*> arrays;
  arrays.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    if (cell) {
      arrays.push_back(pellamCopy(qxGetCell(value, i)));
    } else {
      qxArray* scalar = qxCreateDoubleScalar(numberAt(value, i));
      qxSetArrayScope(scalar, qxSCOPE_PERSISTENT);
      arrays.push_back(scalar);
    }
  }
  return arrays;
}

}  // namespace

// --- the map -----------------------------------------------------------------

BMapWrapper::~BMapWrapper() { clear(); }

bool BMapWrapper::insert(const OBInterface* key, qxArray* value) {
  if (entries_.count(key) != 0) {
    qxDestroyArray(value);
    return false;
  }
  try {
    entries_.emplace(key, value);
  } catch (...) {
    qxDestroyArray(value);
    throw;
  }
  return true;
}

bool BMapWrapper::contains(const OBInterface* key) const { return entries_.count(key) != 0; }

qxArray* BMapWrapper::find(const OBInterface* key) const {
  auto it = entries_.find(key);
  return it == entries_.end() ? nullptr : it->second;
}

bool BMapWrapper::remove(const OBInterface* key) {
  auto it = entries_.find(key);
  if (it == entries_.end()) return false;
  qxDestroyArray(it->second);
  entries_.erase(it);
  return true;
}

void BMapWrapper::clear() noexcept {
  for (auto& entry : entries_) qxDestroyArray(entry.second);
  entries_.clear();
}

// --- insert --------------------------------------------------------------------

BMapWrapper_insert::BMapWrapper_insert() {
  setName("insert");
  singleKeySignature_ = new OBMethodSignature({"handle", "handle", "PELLAM array"});
  addMethodSignature(singleKeySignature_);
  addMethodSignature(new OBMethodSignature({"handle", "handle vector", "PELLAM array"}));
}

void BMapWrapper_insert::invoke(OBMethodSignature* matched, int&, void*[], int,
                                void* const ins[]) {
  BMapWrapper& map = mapOf(ins);
  const auto* value = static_cast<const qxArray*>(ins[2]);
  if (matched == singleKeySignature_) {
    map.insert(static_cast<const OBInterface*>(ins[1]), pellamCopy(value));
    return;
  }
  const auto* keys = static_cast<const Vector*>(ins[1]);
  if (keys == nullptr) return;
  std::vector<qxArray*> arrays = valuesForKeys(value, static_cast<size_t>(keys->size()));
  // insert takes each array over, also when it raises.
  size_t next = 0;
  try {
    for (; next < arrays.size(); ++next) {
      map.insert(keys->elementAt(static_cast<int>(next)), arrays[next]);
    }
  } catch (...) {
    for (++next; next < arrays.size(); ++next) qxDestroyArray(arrays[next]);
    throw;
  }
}

// --- find ----------------------------------------------------------------------

BMapWrapper_find::BMapWrapper_find() {
  setName("find");
  singleKeySignature_ = new OBMethodSignature({"handle", "handle"}, {"PELLAM array"});
  addMethodSignature(singleKeySignature_);
  addMethodSignature(new OBMethodSignature({"handle", "handle vector"}, {"PELLAM array"}));
}

void BMapWrapper_find::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                              void* const ins[]) {
  const BMapWrapper& map = mapOf(ins);
  nOut = 1;
  if (matched == singleKeySignature_) {
    outs[0] = pellamCopy(map.find(static_cast<const OBInterface*>(ins[1])));
    return;
  }
  const auto* keys = static_cast<const Vector*>(ins[1]);
  const size_t count = keys ? static_cast<size_t>(keys->size()) : 0;
  qxArray* column = qxCreateNumericMatrix(count, 1, qxDOUBLE_CLASS, qxREAL);
  double* rows = qxGetPr(column);
  for (size_t i = 0; i < count; ++i) {
    const qxArray* stored = map.find(keys->elementAt(static_cast<int>(i)));
    rows[i] = stored ? qxGetScalar(stored) : -1.0;
  }
  try {
    outs[0] = pellamCopy(column);
  } catch (...) {
    qxDestroyArray(column);
    throw;
  }
  qxDestroyArray(column);
}

// --- removeElement -------------------------------------------------------------

BMapWrapper_removeElement::BMapWrapper_removeElement() {
  setName("removeElement");
  addMethodSignature(new OBMethodSignature({"handle", "handle"}));
}

void BMapWrapper_removeElement::invoke(OBMethodSignature*, int&, void*[], int,
                                       void* const ins[]) {
  mapOf(ins).remove(static_cast<const OBInterface*>(ins[1]));
}

// --- getNumElements ------------------------------------------------------------

BMapWrapper_getNumElements::BMapWrapper_getNumElements() {
  setName("getNumElements");
  addMethodSignature(new OBMethodSignature({"handle"}, {"int"}));
}

void BMapWrapper_getNumElements::invoke(OBMethodSignature*, int& nOut, void* outs[], int,
                                        void* const ins[]) {
  const auto count = static_cast<int32_t>(mapOf(ins).size());
  nOut = 1;
  outs[0] = OBTypeRepository::getType("int")->copy(&count);
}
