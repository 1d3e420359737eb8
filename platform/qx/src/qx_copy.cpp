// Copies, comparison and transposition of host arrays.
#include "qx/qx.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "qx_internal.hpp"

using qx_detail::elementCount;
using qx_detail::Kind;
using qx_detail::Storage;

namespace {

std::shared_ptr<Storage> deepCopy(const qxArray_tag::Impl& src) {
  const Storage& o = *src.data;
  auto s = std::make_shared<Storage>();
  s->re = o.re;
  s->im = o.im;
  s->ir = o.ir;
  s->jc = o.jc;
  s->nzmax = o.nzmax;
  s->chars = o.chars;
  s->fieldNames = o.fieldNames;
  s->foreign = o.foreign;  // foreign payloads are shared, never copied
  if (o.logicals) {
    size_t n = elementCount(src.dims);
    s->logicals.reset(new bool[n]());
    std::copy(o.logicals.get(), o.logicals.get() + n, s->logicals.get());
  }
  s->elements.reserve(o.elements.size());
  for (const qxArray* e : o.elements) s->elements.push_back(qx_detail::duplicateElement(e));
  s->handles.reserve(o.handles.size());
  for (void* h : o.handles) {
    qx_detail::retainHandle(h);
    s->handles.push_back(h);
  }
  return s;
}

bool sameDouble(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

bool sameDoubles(const Storage::Doubles& a, const Storage::Doubles& b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (!sameDouble(a[i], b[i])) return false;
  }
  return true;
}

// The stored non-zero entries of a sparse array as (column, row, re, im).
std::vector<std::tuple<size_t, size_t, double, double>> nonZeros(const qxArray_tag::Impl& a) {
  const Storage& s = *a.data;
  std::vector<std::tuple<size_t, size_t, double, double>> out;
  for (size_t j = 0; j + 1 < s.jc.size(); ++j) {
    for (size_t k = s.jc[j]; k < s.jc[j + 1]; ++k) {
      double im = a.complex ? s.im[k] : 0.0;
      if (s.re[k] != 0.0 || im != 0.0) out.emplace_back(j, s.ir[k], s.re[k], im);
    }
  }
  return out;
}

bool sameSparse(const qxArray_tag::Impl& a, const qxArray_tag::Impl& b) {
  auto x = nonZeros(a);
  auto y = nonZeros(b);
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i) {
    if (std::get<0>(x[i]) != std::get<0>(y[i]) || std::get<1>(x[i]) != std::get<1>(y[i]) ||
        !sameDouble(std::get<2>(x[i]), std::get<2>(y[i])) ||
        !sameDouble(std::get<3>(x[i]), std::get<3>(y[i]))) {
      return false;
    }
  }
  return true;
}

bool sameElements(const std::vector<qxArray*>& a, const std::vector<qxArray*>& b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (!qxIsIdentical(a[i], b[i])) return false;
  }
  return true;
}

// Struct fields are compared by name, whatever their order.
bool sameStruct(const qxArray* a, const qxArray* b) {
  int nfields = qxGetNumberOfFields(a);
  if (nfields != qxGetNumberOfFields(b)) return false;
  size_t count = elementCount(a);
  for (int f = 0; f < nfields; ++f) {
    int g = qxGetFieldNumber(b, qxGetFieldNameByNumber(a, f));
    if (g < 0) return false;
    for (size_t i = 0; i < count; ++i) {
      if (!qxIsIdentical(qxGetFieldByNumber(a, i, f), qxGetFieldByNumber(b, i, g))) return false;
    }
  }
  return true;
}

bool sameData(const qxArray* a, const qxArray* b) {
  const Storage& x = *a->impl->data;
  const Storage& y = *b->impl->data;
  size_t n = elementCount(a);
  switch (a->impl->kind) {
    case Kind::Numeric:
      return sameDoubles(x.re, y.re, n) && (!a->impl->complex || sameDoubles(x.im, y.im, n));
    case Kind::Sparse: return sameSparse(*a->impl, *b->impl);
    case Kind::Logical: return std::equal(x.logicals.get(), x.logicals.get() + n, y.logicals.get());
    case Kind::Char: return x.chars == y.chars;
    case Kind::Cell: return sameElements(x.elements, y.elements);
    case Kind::Struct: return sameStruct(a, b);
    case Kind::Handle: return x.handles == y.handles;
    case Kind::Foreign:
      return x.foreign->className == y.foreign->className && x.foreign->payload == y.foreign->payload;
  }
  return false;
}

qxArray* transposeSparse(const qxArray* a) {
  const Storage& s = *a->impl->data;
  size_t m = qxGetM(a);
  size_t n = qxGetN(a);
  size_t nnz = s.jc[n];
  qxArray* t = qxCreateSparse(n, m, nnz, a->impl->complex ? qxCOMPLEX : qxREAL);
  Storage& d = *t->impl->data;
  for (size_t k = 0; k < nnz; ++k) ++d.jc[s.ir[k] + 1];  // entries per row of a
  for (size_t r = 0; r < m; ++r) d.jc[r + 1] += d.jc[r];
  std::vector<size_t> next(d.jc.begin(), d.jc.end() - 1);
  for (size_t j = 0; j < n; ++j) {  // columns ascending, so rows of t ascend
    for (size_t k = s.jc[j]; k < s.jc[j + 1]; ++k) {
      size_t pos = next[s.ir[k]]++;
      d.ir[pos] = j;
      d.re[pos] = s.re[k];
      if (a->impl->complex) d.im[pos] = s.im[k];
    }
  }
  return t;
}

// Moves element (i, j) of an m-by-n array to (j, i).
template <typename T>
void permute(const T* from, T* to, size_t m, size_t n) {
  for (size_t j = 0; j < n; ++j) {
    for (size_t i = 0; i < m; ++i) to[j + i * n] = from[i + j * m];
  }
}

}  // namespace

qxArray* qxDuplicateArray(const qxArray* a) {
  if (a == nullptr) return nullptr;
  return qx_detail::makeArray(a->impl->cls, a->impl->kind, a->impl->dims, deepCopy(*a->impl),
                              a->impl->complex);
}

qxArray* qxCreateSharedDataCopy(const qxArray* a) {
  if (a == nullptr) return nullptr;
  return qx_detail::makeArray(a->impl->cls, a->impl->kind, a->impl->dims, a->impl->data,
                              a->impl->complex);
}

bool qxIsIdentical(const qxArray* a, const qxArray* b) {
  if (a == b) return true;
  if (a == nullptr || b == nullptr) return false;
  if (a->impl->cls != b->impl->cls || a->impl->kind != b->impl->kind ||
      a->impl->dims != b->impl->dims || a->impl->complex != b->impl->complex) {
    return false;
  }
  return sameData(a, b);
}

qxArray* qxTranspose(const qxArray* a) {
  if (a == nullptr || a->impl->dims.size() != 2) return nullptr;
  if (a->impl->kind == Kind::Sparse) return transposeSparse(a);
  size_t m = qxGetM(a);
  size_t n = qxGetN(a);
  qxArray* t = qxDuplicateArray(a);  // right class, storage and references
  t->impl->dims = {n, m};
  Storage& d = *t->impl->data;
  const Storage& s = *a->impl->data;
  switch (a->impl->kind) {
    case Kind::Numeric:
      permute(s.re.data(), d.re.data(), m, n);
      if (a->impl->complex) permute(s.im.data(), d.im.data(), m, n);
      break;
    case Kind::Logical: permute(s.logicals.get(), d.logicals.get(), m, n); break;
    case Kind::Char: permute(s.chars.data(), d.chars.data(), m, n); break;
    case Kind::Handle: permute(s.handles.data(), d.handles.data(), m, n); break;
    case Kind::Cell: {
      std::vector<qxArray*> copies = d.elements;  // duplicates, in a's order
      permute(copies.data(), d.elements.data(), m, n);
      break;
    }
    case Kind::Struct: {
      size_t nf = s.fieldNames.size();
      std::vector<qxArray*> copies = d.elements;
      for (size_t j = 0; j < n; ++j) {
        for (size_t i = 0; i < m; ++i) {
          for (size_t f = 0; f < nf; ++f) d.elements[(j + i * n) * nf + f] = copies[(i + j * m) * nf + f];
        }
      }
      break;
    }
    case Kind::Sparse:
    case Kind::Foreign: break;  // a foreign object is 1-by-1
  }
  return t;
}
