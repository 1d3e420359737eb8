// Shape, element access and class tests of host arrays.
#include "qx/qx.hpp"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "qx_internal.hpp"

using qx_detail::elementCount;
using qx_detail::isKind;
using qx_detail::Kind;

// --- shape -------------------------------------------------------------------

size_t qxGetM(const qxArray* a) { return a != nullptr ? a->impl->dims[0] : 0; }

size_t qxGetN(const qxArray* a) {
  if (a == nullptr) return 0;
  size_t n = 1;
  for (size_t i = 1; i < a->impl->dims.size(); ++i) n *= a->impl->dims[i];
  return n;
}

size_t qxGetNumberOfElements(const qxArray* a) { return elementCount(a); }
size_t qxGetNumberOfDimensions(const qxArray* a) { return a != nullptr ? a->impl->dims.size() : 0; }
const size_t* qxGetDimensions(const qxArray* a) { return a != nullptr ? a->impl->dims.data() : nullptr; }

int qxSetDimensions(qxArray* a, const size_t* dims, size_t ndim) {
  if (a == nullptr || dims == nullptr) return 1;
  qx_detail::Shape shape = qx_detail::normalDims(dims, ndim);
  if (elementCount(shape) != elementCount(a)) return 1;
  // The column structure of a sparse array fixes its shape.
  if (a->impl->kind == Kind::Sparse && shape != a->impl->dims) return 1;
  a->impl->dims = std::move(shape);
  return 0;
}

qxClassID qxGetClassID(const qxArray* a) { return a != nullptr ? a->impl->cls : qxUNKNOWN_CLASS; }

const char* qxGetClassName(const qxArray* a) {
  if (a == nullptr) return "";
  switch (a->impl->kind) {
    case Kind::Numeric:
    case Kind::Sparse: return "double";
    case Kind::Logical: return "logical";
    case Kind::Char: return "char";
    case Kind::Cell: return "cell";
    case Kind::Struct: return "struct";
    case Kind::Foreign: return a->impl->data->foreign->className.c_str();
    case Kind::Handle: break;
  }
  const char* common = nullptr;
  for (void* h : a->impl->data->handles) {
    const char* name = qx_detail::handleClassName(h);
    if (name == nullptr) return "";
    if (common != nullptr && std::strcmp(common, name) != 0) return "";
    common = name;
  }
  return common != nullptr ? common : "";
}

// --- numeric and logical data ---------------------------------------------------

double* qxGetPr(const qxArray* a) {
  if (!isKind(a, Kind::Numeric) && !isKind(a, Kind::Sparse)) return nullptr;
  return a->impl->data->re.data();
}

double* qxGetPi(const qxArray* a) {
  if (qxGetPr(a) == nullptr || !a->impl->complex) return nullptr;
  return a->impl->data->im.data();
}

bool* qxGetLogicals(const qxArray* a) {
  return isKind(a, Kind::Logical) ? a->impl->data->logicals.get() : nullptr;
}

char* qxGetChars(const qxArray* a) { return isKind(a, Kind::Char) ? a->impl->data->chars.data() : nullptr; }

double qxGetScalar(const qxArray* a) {
  if (elementCount(a) == 0) return 0.0;
  const qx_detail::Storage& s = *a->impl->data;
  switch (a->impl->kind) {
    case Kind::Numeric: return s.re[0];
    case Kind::Sparse: return s.jc[1] > 0 && s.ir[0] == 0 ? s.re[0] : 0.0;
    case Kind::Logical: return s.logicals[0] ? 1.0 : 0.0;
    case Kind::Char: return static_cast<unsigned char>(s.chars[0]);
    case Kind::Cell:
    case Kind::Struct:
    case Kind::Handle:
    case Kind::Foreign: return 0.0;
  }
  return 0.0;
}

double* qxArray_tag::get_pdata() { return qxGetPr(this); }
size_t* qxArray_tag::get_ir() { return impl->kind == Kind::Sparse ? impl->data->ir.data() : nullptr; }
size_t* qxArray_tag::get_jc() { return impl->kind == Kind::Sparse ? impl->data->jc.data() : nullptr; }
size_t qxArray_tag::get_nelements_allocated() const {
  return impl->kind == Kind::Sparse ? impl->data->nzmax : 0;
}

// --- cells ---------------------------------------------------------------------

qxArray* qxGetCell(const qxArray* a, size_t index) {
  if (!isKind(a, Kind::Cell) || index >= elementCount(a)) return nullptr;
  return a->impl->data->elements[index];
}

void qxSetCell(qxArray* a, size_t index, qxArray* value) {
  if (!isKind(a, Kind::Cell) || index >= elementCount(a)) return;
  qxArray*& slot = a->impl->data->elements[index];
  if (slot == value) return;
  qxDestroyArray(slot);
  slot = value;
  qx_detail::adoptElement(value);
}

// --- structs -------------------------------------------------------------------

int qxGetNumberOfFields(const qxArray* a) {
  return isKind(a, Kind::Struct) ? static_cast<int>(a->impl->data->fieldNames.size()) : 0;
}

const char* qxGetFieldNameByNumber(const qxArray* a, int field) {
  if (field < 0 || field >= qxGetNumberOfFields(a)) return nullptr;
  return a->impl->data->fieldNames[static_cast<size_t>(field)].c_str();
}

int qxGetFieldNumber(const qxArray* a, const char* name) {
  if (name == nullptr) return -1;
  int n = qxGetNumberOfFields(a);
  for (int f = 0; f < n; ++f) {
    if (a->impl->data->fieldNames[static_cast<size_t>(f)] == name) return f;
  }
  return -1;
}

namespace {

qxArray** fieldSlot(const qxArray* a, size_t index, int field) {
  if (field < 0 || field >= qxGetNumberOfFields(a) || index >= elementCount(a)) return nullptr;
  size_t nfields = a->impl->data->fieldNames.size();
  return &a->impl->data->elements[index * nfields + static_cast<size_t>(field)];
}

}  // namespace

qxArray* qxGetFieldByNumber(const qxArray* a, size_t index, int field) {
  qxArray** slot = fieldSlot(a, index, field);
  return slot != nullptr ? *slot : nullptr;
}

qxArray* qxGetField(const qxArray* a, size_t index, const char* name) {
  return qxGetFieldByNumber(a, index, qxGetFieldNumber(a, name));
}

void qxSetFieldByNumber(qxArray* a, size_t index, int field, qxArray* value) {
  qxArray** slot = fieldSlot(a, index, field);
  if (slot == nullptr || *slot == value) return;
  qxDestroyArray(*slot);
  *slot = value;
  qx_detail::adoptElement(value);
}

int qxAddField(qxArray* a, const char* name) {
  if (!isKind(a, Kind::Struct) || name == nullptr) return -1;
  int existing = qxGetFieldNumber(a, name);
  if (existing >= 0) return existing;
  qx_detail::Storage& s = *a->impl->data;
  size_t nfields = s.fieldNames.size();
  size_t count = elementCount(a);
  std::vector<qxArray*> widened(count * (nfields + 1), nullptr);
  for (size_t i = 0; i < count; ++i) {
    for (size_t f = 0; f < nfields; ++f) widened[i * (nfields + 1) + f] = s.elements[i * nfields + f];
  }
  s.elements.swap(widened);
  s.fieldNames.emplace_back(name);
  return static_cast<int>(nfields);
}

// --- handles and foreign objects ------------------------------------------------

void* qxGetHandle(const qxArray* a, size_t index) {
  if (!isKind(a, Kind::Handle) || index >= elementCount(a)) return nullptr;
  return a->impl->data->handles[index];
}

void qxSetHandle(qxArray* a, size_t index, void* object) {
  if (!isKind(a, Kind::Handle) || index >= elementCount(a)) return;
  void*& slot = a->impl->data->handles[index];
  qx_detail::retainHandle(object);  // before the release: object may equal slot
  qx_detail::releaseHandle(slot);
  slot = object;
}

bool qxIsHandleArray(const qxArray* a) { return isKind(a, Kind::Handle); }

void* qxGetObjectPointer(const qxArray* a) {
  return isKind(a, Kind::Foreign) ? a->impl->data->foreign->payload : nullptr;
}

// --- tests ---------------------------------------------------------------------

bool qxIsEmpty(const qxArray* a) { return elementCount(a) == 0; }
bool qxIsChar(const qxArray* a) { return isKind(a, Kind::Char); }
bool qxIsCell(const qxArray* a) { return isKind(a, Kind::Cell); }
bool qxIsStruct(const qxArray* a) { return isKind(a, Kind::Struct); }
bool qxIsDouble(const qxArray* a) { return qxGetClassID(a) == qxDOUBLE_CLASS; }
bool qxIsNumeric(const qxArray* a) { return qxIsDouble(a); }
bool qxIsLogical(const qxArray* a) { return isKind(a, Kind::Logical); }
bool qxIsSparse(const qxArray* a) { return isKind(a, Kind::Sparse); }
bool qxIsObject(const qxArray* a) { return qxGetClassID(a) == qxOBJECT_CLASS; }

bool qxIsVector(const qxArray* a) {
  return a != nullptr && a->impl->dims.size() == 2 && (a->impl->dims[0] == 1 || a->impl->dims[1] == 1);
}

bool qxIsCharVector(const qxArray* a) { return qxIsChar(a) && qxIsVector(a); }
bool qxIsScalar(const qxArray* a) { return a != nullptr && elementCount(a) == 1; }
bool qxIsComplex(const qxArray* a) { return a != nullptr && a->impl->complex; }
bool qxIsNaN(double value) { return std::isnan(value); }
