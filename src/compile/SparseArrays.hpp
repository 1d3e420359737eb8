// Real sparse host arrays in column-compressed form, as every matrix of the
// compile services is written: created persistent, filled column by column
// with rows ascending, and grown geometrically when a column outgrows the
// capacity.
#pragma once

#include <cstddef>
#include <cstdint>

#include <ks_utils/kstrContainers.hpp>
#include <qx/qx.hpp>

#include "core/KelborApi.hpp"

namespace kstr::compile {

// A new persistent real rows x cols sparse array of that capacity (no
// values).  Raises "Kestrion:KS_MallocError" when it cannot be made.
KELBOR_API qxArray* createSparseArray(size_t rows, size_t cols, size_t capacity);

// The capacity growSparseArray gives an array of capacity old that must
// take extra more values: old + extra when that exceeds 1.1 x old, else
// 1.1 x old rounded down, else 2 x old; never less than old + 1, so that a
// growth always makes room.
KELBOR_API size_t grownSparseCapacity(size_t old, uint32_t extra);

// A new persistent sparse array of the same dimensions with the grown
// capacity, holding a copy of every value slot, row index and column start
// of the old one.  The old array is left to the caller.  Raises
// "Kestrion:KS_MallocError" when it cannot be made.
KELBOR_API qxArray* growSparseArray(qxArray* array, uint32_t extra);

// Writes one sparse array column by column.  The writer owns the array
// until release(): an error on the way destroys the partial array.
class KELBOR_API SparseColumnWriter {
 public:
  SparseColumnWriter(size_t rows, size_t cols, size_t capacity);
  ~SparseColumnWriter();
  SparseColumnWriter(const SparseColumnWriter&) = delete;
  SparseColumnWriter& operator=(const SparseColumnWriter&) = delete;

  // Makes room for more values in one growth when they would not fit.
  void reserve(size_t more);
  // Appends a value to the current column; rows must come ascending.
  // Grows the array first when it is full.
  void append(size_t row, double value) {
    if (count_ >= capacity_) reserve(1);
    pr_[count_] = value;
    ir_[count_] = row;
    ++count_;
  }
  // Closes the current column (its start of the next column is set).
  void endColumn() {
    if (column_ < cols_) jc_[++column_] = count_;
  }
  size_t valueCount() const { return count_; }
  // Hands the array over; the writer holds nothing afterwards.
  qxArray* release();

 private:
  void adopt(qxArray* array);

  qxArray* array_ = nullptr;
  double* pr_ = nullptr;
  size_t* ir_ = nullptr;
  size_t* jc_ = nullptr;
  size_t capacity_ = 0;
  size_t count_ = 0;
  size_t column_ = 0;
  size_t cols_ = 0;
};

// A new persistent rowCount x columnCount array of columns laid out one
// after another: column j holds the entries from ends[j - 1] (0 for the
// first) to ends[j] of rows and values (rows ascending within a column and
// below rowCount; values null when every value is 1).  Raises as
// createSparseArray.
KELBOR_API qxArray* writeSparseColumns(size_t rowCount, const uint32_t* rows,
                                       const double* values, const size_t* ends,
                                       size_t columnCount);

// The columns of a sparse array gathered before the array is made, so that
// it is made once with room for exactly their values.  The lists keep their
// capacity across clear(), so one gathering serves many arrays.
struct KELBOR_API GatheredColumns {
  kstrVector<uint32_t> rows;
  // One value per row entry; left empty when every value is 1.
  kstrVector<double> values;
  // The end of each column in rows.
  kstrVector<size_t> ends;

  void clear() {
    rows.clear();
    values.clear();
    ends.clear();
  }
  void endColumn() { ends.push_back(rows.size()); }
  // A new persistent rowCount x ends.size() array of the columns (rows
  // must ascend within each column and lie below rowCount).  Raises as
  // createSparseArray.
  qxArray* write(size_t rowCount) const;
};

}  // namespace kstr::compile
