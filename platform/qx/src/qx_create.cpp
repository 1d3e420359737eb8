// Creation of host arrays.
#include "qx/qx.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "qx_internal.hpp"

using qx_detail::Kind;
using qx_detail::Storage;

namespace qx_detail {

Shape normalDims(const size_t* dims, size_t ndim) {
  Shape out;
  if (dims != nullptr) out.assign(dims, dims + ndim);
  while (out.size() > 2 && out.back() == 1) out.pop_back();
  while (out.size() < 2) out.push_back(1);
  return out;
}

const qxArray_tag::Impl* impl(const qxArray* a) { return a != nullptr ? a->impl : nullptr; }

bool isKind(const qxArray* a, Kind kind) { return a != nullptr && a->impl->kind == kind; }

void adoptElement(qxArray* value) {
  if (value != nullptr) value->impl->scope = qxSCOPE_CONTAINED;
}

qxArray* duplicateElement(const qxArray* element) {
  qxArray* copy = qxDuplicateArray(element);
  adoptElement(copy);
  return copy;
}

}  // namespace qx_detail

namespace {

qxArray* make(qxClassID cls, Kind kind, size_t m, size_t n, std::shared_ptr<Storage> data,
              bool complex = false) {
  return qx_detail::makeArray(cls, kind, {m, n}, std::move(data), complex);
}

std::shared_ptr<Storage> numericStorage(size_t count, bool complex) {
  auto s = std::make_shared<Storage>();
  s->re.assign(count, 0.0);
  if (complex) s->im.assign(count, 0.0);
  return s;
}

}  // namespace

qxArray* qxCreateString(const char* text) {
  size_t n = text != nullptr ? std::strlen(text) : 0;
  auto s = std::make_shared<Storage>();
  s->chars.assign(text, text + n);
  return make(qxCHAR_CLASS, Kind::Char, n == 0 ? 0 : 1, n, std::move(s));
}

qxArray* qxCreateCharMatrixFromStrings(size_t m, const char** rows) {
  size_t width = 0;
  for (size_t r = 0; r < m && rows != nullptr; ++r) {
    if (rows[r] != nullptr) width = std::max(width, std::strlen(rows[r]));
  }
  if (rows == nullptr) m = 0;
  auto s = std::make_shared<Storage>();
  s->chars.assign(m * width, ' ');
  for (size_t r = 0; r < m; ++r) {
    const char* row = rows[r] != nullptr ? rows[r] : "";
    for (size_t c = 0; row[c] != '\0'; ++c) s->chars[r + c * m] = row[c];
  }
  if (width == 0) m = 0;
  return make(qxCHAR_CLASS, Kind::Char, m, width, std::move(s));
}

qxArray* qxCreateDoubleScalar(double value) {
  auto s = numericStorage(1, false);
  s->re[0] = value;
  return make(qxDOUBLE_CLASS, Kind::Numeric, 1, 1, std::move(s));
}

qxArray* qxCreateDoubleMatrix(size_t m, size_t n, qxComplexity c) {
  bool complex = c == qxCOMPLEX;
  return make(qxDOUBLE_CLASS, Kind::Numeric, m, n, numericStorage(m * n, complex), complex);
}

qxArray* qxCreateNumericMatrix(size_t m, size_t n, qxClassID cls, qxComplexity c) {
  if (cls != qxDOUBLE_CLASS) return nullptr;
  return qxCreateDoubleMatrix(m, n, c);
}

qxArray* qxCreateLogicalMatrix(size_t m, size_t n) {
  auto s = std::make_shared<Storage>();
  s->logicals.reset(new bool[m * n]());
  return make(qxLOGICAL_CLASS, Kind::Logical, m, n, std::move(s));
}

qxArray* qxCreateLogicalScalar(bool value) {
  qxArray* a = qxCreateLogicalMatrix(1, 1);
  a->impl->data->logicals[0] = value;
  return a;
}

qxArray* qxCreateCellMatrix(size_t m, size_t n) {
  size_t dims[2] = {m, n};
  return qxCreateCellArray(2, dims);
}

qxArray* qxCreateCellArray(size_t ndim, const size_t* dims) {
  qx_detail::Shape shape = qx_detail::normalDims(dims, ndim);
  auto s = std::make_shared<Storage>();
  s->elements.assign(qx_detail::elementCount(shape), nullptr);
  return qx_detail::makeArray(qxCELL_CLASS, Kind::Cell, std::move(shape), std::move(s));
}

qxArray* qxCreateSparse(size_t m, size_t n, size_t nzmax, qxComplexity c) {
  bool complex = c == qxCOMPLEX;
  size_t room = nzmax == 0 ? 1 : nzmax;
  auto s = std::make_shared<Storage>();
  s->nzmax = nzmax;
  s->re.assign(room, 0.0);
  if (complex) s->im.assign(room, 0.0);
  s->ir.assign(room, 0);
  s->jc.assign(n + 1, 0);
  return make(qxDOUBLE_CLASS, Kind::Sparse, m, n, std::move(s), complex);
}

qxArray* qxCreateStructMatrix(size_t m, size_t n, int nfields, const char** fieldNames) {
  if (nfields < 0 || (nfields > 0 && fieldNames == nullptr)) return nullptr;
  auto s = std::make_shared<Storage>();
  std::unordered_set<std::string> seen;
  for (int f = 0; f < nfields; ++f) {
    if (fieldNames[f] == nullptr || !seen.insert(fieldNames[f]).second) return nullptr;
    s->fieldNames.emplace_back(fieldNames[f]);
  }
  s->elements.assign(m * n * static_cast<size_t>(nfields), nullptr);
  return make(qxSTRUCT_CLASS, Kind::Struct, m, n, std::move(s));
}

qxArray* qxCreateObjectArray(const char* className, void* payload, void (*releasePayload)(void*)) {
  auto s = std::make_shared<Storage>();
  s->foreign = std::make_shared<qx_detail::Foreign>(className != nullptr ? className : "",
                                                    payload, releasePayload);
  return make(qxOBJECT_CLASS, Kind::Foreign, 1, 1, std::move(s));
}

qxArray* qxCreateHandleArray(size_t m, size_t n) {
  auto s = std::make_shared<Storage>();
  s->handles.assign(m * n, nullptr);
  return make(qxOBJECT_CLASS, Kind::Handle, m, n, std::move(s));
}
