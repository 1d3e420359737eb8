// The array types: "string vector", "PELLAM array", "NReals", "Nints".
#include "obk/OBTypes.hpp"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "hb/hb.hpp"
#include "obk/Vector.hpp"
#include "obk_internal.hpp"

namespace {

bool isRealDense(const qxArray* a) {
  return a != nullptr && qxIsDouble(a) && !qxIsSparse(a) && !qxIsComplex(a);
}

bool isIntegralArray(const qxArray* a) {
  if (!isRealDense(a)) return false;
  const double* d = qxGetPr(a);
  size_t n = qxGetNumberOfElements(a);
  for (size_t i = 0; i < n; ++i) {
    double v = d[i];
    if (!std::isfinite(v) || v != std::floor(v) ||
        v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
      return false;
  }
  return true;
}

qxArray* rowOf(int32_t count) {
  size_t n = count > 0 ? static_cast<size_t>(count) : 0;
  return qxCreateDoubleMatrix(n ? 1 : 0, n, qxREAL);
}

}  // namespace

// --- string vector ---------------------------------------------------------------

bool StringVectorType::matches(const qxArray* a) const {
  if (a == nullptr) return false;
  if (qxIsChar(a)) return obk_detail::isTextArray(a);
  if (!qxIsCell(a)) return false;
  size_t n = qxGetNumberOfElements(a);
  for (size_t i = 0; i < n; ++i)
    if (!obk_detail::isTextArray(qxGetCell(a, i))) return false;
  return true;
}

qxArray* StringVectorType::toHost(const void* value) const {
  const auto* v = static_cast<const StringVector*>(value);
  size_t n = v ? static_cast<size_t>(v->size()) : 0;
  qxArray* cell = qxCreateCellMatrix(n, 1);
  try {
    for (size_t i = 0; i < n; ++i)
      qxSetCell(cell, i, qxCreateString(v->elementAt(static_cast<int>(i))));
  } catch (...) {
    qxDestroyArray(cell);
    throw;
  }
  return cell;
}

void* StringVectorType::fromHost(const qxArray* a) const {
  if (!matches(a)) throwNoMatch();
  auto v = std::make_unique<StringVector>();
  if (qxIsChar(a)) {
    v->addElement(qxArrayToStdString(a).c_str());
    return v.release();
  }
  size_t n = qxGetNumberOfElements(a);
  for (size_t i = 0; i < n; ++i) v->addElement(qxArrayToStdString(qxGetCell(a, i)).c_str());
  return v.release();
}

void* StringVectorType::copy(const void* value) const {
  const auto* v = static_cast<const StringVector*>(value);
  return v ? new StringVector(*v) : nullptr;
}

void StringVectorType::release(void* value) const { delete static_cast<StringVector*>(value); }

bool StringVectorType::isEqual(const void* a, const void* b) const {
  const auto* va = static_cast<const StringVector*>(a);
  const auto* vb = static_cast<const StringVector*>(b);
  if (va == nullptr || vb == nullptr) return va == vb;
  if (va->size() != vb->size()) return false;
  for (int i = 0; i < va->size(); ++i) {
    const char* x = va->elementAt(i);
    const char* y = vb->elementAt(i);
    if (x == nullptr || y == nullptr ? x != y : std::strcmp(x, y) != 0) return false;
  }
  return true;
}

// --- PELLAM array -----------------------------------------------------------------

bool PellamArrayType::matches(const qxArray* a) const { return a != nullptr; }

qxArray* PellamArrayType::toHost(const void* value) const {
  if (value == nullptr) return qxCreateDoubleMatrix(0, 0, qxREAL);
  return qxDuplicateArray(static_cast<const qxArray*>(value));
}

void* PellamArrayType::fromHost(const qxArray* a) const {
  if (!matches(a)) throwNoMatch();
  return qxDuplicateArray(a);
}

void* PellamArrayType::copy(const void* value) const {
  if (value == nullptr) return nullptr;
  qxArray* c = qxDuplicateArray(static_cast<const qxArray*>(value));
  qxSetArrayScope(c, qxSCOPE_PERSISTENT);
  return c;
}

void PellamArrayType::release(void* value) const {
  qxDestroyArray(static_cast<qxArray*>(value));
}

bool PellamArrayType::isEqual(const void* a, const void* b) const {
  if (a == nullptr || b == nullptr) return a == b;
  return qxIsIdentical(static_cast<const qxArray*>(a), static_cast<const qxArray*>(b));
}

// --- NReals and Nints ---------------------------------------------------------------

bool NRealsType::matches(const qxArray* a) const { return isRealDense(a); }

qxArray* NRealsType::toHost(const void* value) const {
  const auto* v = static_cast<const NReals*>(value);
  qxArray* a = rowOf(v ? v->count : 0);
  if (v != nullptr && v->count > 0)
    std::memcpy(qxGetPr(a), v->data, static_cast<size_t>(v->count) * sizeof(double));
  return a;
}

void* NRealsType::fromHost(const qxArray* a) const {
  if (!matches(a)) throwNoMatch();
  size_t n = qxGetNumberOfElements(a);
  NReals* v = obkNewNReals(static_cast<int32_t>(n));
  if (n > 0) std::memcpy(v->data, qxGetPr(a), n * sizeof(double));
  return v;
}

void* NRealsType::copy(const void* value) const {
  const auto* v = static_cast<const NReals*>(value);
  if (v == nullptr) return nullptr;
  NReals* c = obkNewNReals(v->count);
  if (c->count > 0) std::memcpy(c->data, v->data, static_cast<size_t>(c->count) * sizeof(double));
  return c;
}

void NRealsType::release(void* value) const { obkFreeNReals(static_cast<NReals*>(value)); }

bool NRealsType::isEqual(const void* a, const void* b) const {
  const auto* va = static_cast<const NReals*>(a);
  const auto* vb = static_cast<const NReals*>(b);
  if (va == nullptr || vb == nullptr) return va == vb;
  if (va->count != vb->count) return false;
  for (int32_t i = 0; i < va->count; ++i)
    if (!(va->data[i] == vb->data[i] || (std::isnan(va->data[i]) && std::isnan(vb->data[i]))))
      return false;
  return true;
}

bool NintsType::matches(const qxArray* a) const { return isIntegralArray(a); }

qxArray* NintsType::toHost(const void* value) const {
  const auto* v = static_cast<const Nints*>(value);
  qxArray* a = rowOf(v ? v->count : 0);
  for (int32_t i = 0; v != nullptr && i < v->count; ++i) qxGetPr(a)[i] = v->data[i];
  return a;
}

void* NintsType::fromHost(const qxArray* a) const {
  if (!matches(a)) throwNoMatch();
  size_t n = qxGetNumberOfElements(a);
  Nints* v = obkNewNints(static_cast<int32_t>(n));
  for (size_t i = 0; i < n; ++i) v->data[i] = static_cast<int32_t>(qxGetPr(a)[i]);
  return v;
}

void* NintsType::copy(const void* value) const {
  const auto* v = static_cast<const Nints*>(value);
  if (v == nullptr) return nullptr;
  Nints* c = obkNewNints(v->count);
  if (c->count > 0) std::memcpy(c->data, v->data, static_cast<size_t>(c->count) * sizeof(int32_t));
  return c;
}

void NintsType::release(void* value) const { obkFreeNints(static_cast<Nints*>(value)); }

bool NintsType::isEqual(const void* a, const void* b) const {
  const auto* va = static_cast<const Nints*>(a);
  const auto* vb = static_cast<const Nints*>(b);
  if (va == nullptr || vb == nullptr) return va == vb;
  return va->count == vb->count &&
         (va->count == 0 ||
          std::memcmp(va->data, vb->data, static_cast<size_t>(va->count) * sizeof(int32_t)) == 0);
}
