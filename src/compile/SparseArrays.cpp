// Creation, growth and column-by-column writing of sparse host arrays.
#include "compile/SparseArrays.hpp"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <new>

#include <ks_utils/Errors.hpp>

#include "model/MessageCatalog.hpp"

namespace kstr::compile {

namespace {

[[noreturn]] void raiseMallocError() {
  kstr_error("Kestrion:KS_MallocError", kstr::code(kstr::MessageCode::KS_MallocError));
}

}  // namespace

qxArray* createSparseArray(size_t rows, size_t cols, size_t capacity) {
  qxArray* array = nullptr;
  try {
    array = qxCreateSparse(rows, cols, capacity, qxREAL);
  } catch (const std::bad_alloc&) {
    array = nullptr;
  }
  if (!array) raiseMallocError();
  qxSetArrayScope(array, qxSCOPE_PERSISTENT);
  return array;
}

size_t grownSparseCapacity(size_t old, uint32_t extra) {
  const size_t need = old + extra;
  size_t grown;
  if (static_cast<double>(need) > 1.1 * static_cast<double>(old)) {
    grown = need;
  } else {
    grown = static_cast<size_t>(std::floor(1.1 * static_cast<double>(old)));
    if (grown <= old) grown = 2 * old;
  }
  return std::max(grown, old + 1);
}

qxArray* growSparseArray(qxArray* array, uint32_t extra) {
  const size_t old = array->get_nelements_allocated();
  const size_t cols = qxGetN(array);
  qxArray* grown = createSparseArray(qxGetM(array), cols, grownSparseCapacity(old, extra));
  std::copy_n(array->get_pdata(), old, grown->get_pdata());
  std::copy_n(array->get_ir(), old, grown->get_ir());
  std::copy_n(array->get_jc(), cols + 1, grown->get_jc());
  return grown;
}

SparseColumnWriter::SparseColumnWriter(size_t rows, size_t cols, size_t capacity)
    : cols_(cols) {
  adopt(createSparseArray(rows, cols, capacity));
}

SparseColumnWriter::~SparseColumnWriter() { qxDestroyArray(array_); }

void SparseColumnWriter::adopt(qxArray* array) {
  array_ = array;
  pr_ = array->get_pdata();
  ir_ = array->get_ir();
  jc_ = array->get_jc();
  capacity_ = array->get_nelements_allocated();
}

void SparseColumnWriter::reserve(size_t more) {
  if (count_ + more <= capacity_) return;
  // Geometric growth when it makes room, else exactly the shortfall.
  const size_t shortfall = count_ + more - capacity_;
  const bool geometricFits = grownSparseCapacity(capacity_, 0) >= count_ + more;
  const auto extra =
      geometricFits ? 0u : static_cast<uint32_t>(std::min<size_t>(shortfall, UINT32_MAX));
  qxArray* grown = growSparseArray(array_, extra);
  qxDestroyArray(array_);
  adopt(grown);
}

qxArray* SparseColumnWriter::release() {
  qxArray* array = array_;
  array_ = nullptr;
  return array;
}

qxArray* writeSparseColumns(size_t rowCount, const uint32_t* rows, const double* values,
                            const size_t* ends, size_t columnCount) {
  const size_t count = columnCount == 0 ? 0 : ends[columnCount - 1];
  qxArray* array = createSparseArray(rowCount, columnCount, count);
  std::copy_n(rows, count, array->get_ir());
  double* pr = array->get_pdata();
  if (values) {
    std::copy_n(values, count, pr);
  } else {
    std::fill_n(pr, count, 1.0);
  }
  std::copy_n(ends, columnCount, array->get_jc() + 1);
  return array;
}

qxArray* GatheredColumns::write(size_t rowCount) const {
  return writeSparseColumns(rowCount, rows.data(), values.empty() ? nullptr : values.data(),
                            ends.data(), ends.size());
}

}  // namespace kstr::compile
