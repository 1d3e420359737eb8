// Reads a sparse host array back for the compile-services tests: its shape,
// its values as (row, column) -> value, and a check that its
// column-compressed form is sound (column starts ascending, rows ascending
// and in range within each column, values within the capacity).
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <string>
#include <utility>

#include <qx/qx.hpp>

namespace ctest {

using Cell = std::pair<size_t, size_t>;
using Cells = std::map<Cell, double>;

struct SparseView {
  size_t rows = 0;
  size_t cols = 0;
  size_t capacity = 0;
  Cells cells;
};

// Fails the test (and returns what it could read) for an array that is not
// a sound real sparse array.
inline SparseView readSparse(qxArray* array) {
  SparseView view;
  EXPECT_TRUE(array != nullptr && qxIsSparse(array));
  if (!array || !qxIsSparse(array)) return view;
  view.rows = qxGetM(array);
  view.cols = qxGetN(array);
  view.capacity = array->get_nelements_allocated();
  const double* pr = array->get_pdata();
  const size_t* ir = array->get_ir();
  const size_t* jc = array->get_jc();
  EXPECT_EQ(jc[0], 0u);
  EXPECT_LE(jc[view.cols], view.capacity == 0 ? 0 : view.capacity);
  for (size_t c = 0; c < view.cols; ++c) {
    EXPECT_LE(jc[c], jc[c + 1]) << "column " << c;
    for (size_t k = jc[c]; k < jc[c + 1]; ++k) {
      EXPECT_LT(ir[k], view.rows) << "column " << c;
      if (k > jc[c]) {
        EXPECT_LT(ir[k - 1], ir[k]) << "rows of column " << c << " not ascending";
      }
      view.cells[{ir[k], c}] = pr[k];
    }
  }
  return view;
}

}  // namespace ctest
