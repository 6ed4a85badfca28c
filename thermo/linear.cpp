#include "thermo/linear.h"

#include <cmath>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kvil {

int SolveLinearSystem(LinearWork& work, Array1<double, kMaxUnknowns>& y, int n) {
  auto& a = work.augmented;
  for (int k = 1; k <= n; ++k) {
    // Partial pivoting: the first row holding the largest magnitude in column k.
    int pivotRow = k;
    double largest = std::fabs(a(k, k));
    for (int i = k + 1; i <= n; ++i) {
      const double v = std::fabs(a(i, k));
      if (v > largest) {
        largest = v;
        pivotRow = i;
      }
    }
    if (pivotRow != k) {
      for (int c = 1; c <= n + 1; ++c) std::swap(a(k, c), a(pivotRow, c));
    }
    const double pivot = a(k, k);
    if (pivot == 0.0) return 1;
    // Columns k + 1 .. n + 1 of the rows below (column k is not read again), two rows at
    // a time so that each element of the pivot row is loaded once for both.
    const double* __restrict pivotRowData = &a(k, 1);
    int i = k + 1;
    for (; i + 1 <= n; i += 2) {
      const double m1 = a(i, k) / pivot;
      const double m2 = a(i + 1, k) / pivot;
      double* __restrict row1 = &a(i, 1);
      double* __restrict row2 = &a(i + 1, 1);
      if (m1 != 0.0 && m2 != 0.0) {
        for (int c = k; c <= n; ++c) {
          const double v = pivotRowData[c];
          row1[c] -= m1 * v;
          row2[c] -= m2 * v;
        }
      } else if (m1 != 0.0) {
        for (int c = k; c <= n; ++c) row1[c] -= m1 * pivotRowData[c];
      } else if (m2 != 0.0) {
        for (int c = k; c <= n; ++c) row2[c] -= m2 * pivotRowData[c];
      }
    }
    if (i <= n) {
      const double m = a(i, k) / pivot;
      double* __restrict row = &a(i, 1);
      if (m != 0.0)
        for (int c = k; c <= n; ++c) row[c] -= m * pivotRowData[c];
    }
  }
  for (int r = n; r >= 1; --r) {
    long double sum = a(r, n + 1);
    for (int c = r + 1; c <= n; ++c) sum -= static_cast<long double>(a(r, c)) * y[c];
    y[r] = static_cast<double>(sum / a(r, r));
  }
  return 0;
}

namespace {

// The largest |x[i]|, i < n (0 for n = 0); elements that are not numbers are passed over,
// as the comparisons of the scan pass over them.
double LargestMagnitude(const double* x, int n) {
  int i = 0;
  double top = 0.0;
#ifdef __SSE2__
  // Two at a time: max(v, acc) keeps acc when v is not a number.
  const __m128d sign = _mm_set1_pd(-0.0);
  __m128d acc = _mm_setzero_pd();
  for (; i + 2 <= n; i += 2) acc = _mm_max_pd(_mm_andnot_pd(sign, _mm_loadu_pd(x + i)), acc);
  double pair[2];
  _mm_storeu_pd(pair, acc);
  top = pair[0] > pair[1] ? pair[0] : pair[1];
#endif
  for (; i < n; ++i) {
    const double v = std::fabs(x[i]);
    if (v > top) top = v;
  }
  return top;
}

// Position of the largest magnitude in the submatrix rows/columns from..end, scanned
// column by column and, within a column, row by row; a later element replaces the
// held one only when strictly larger.
double LargestRemaining(const double* m, int rows, int cols, int from, int& row, int& col) {
  double largest = -1.0;
  row = from;
  col = from;
  for (int c = from; c <= cols; ++c) {
    const double* column = m + static_cast<std::size_t>(c - 1) * rows;
    for (int r = from; r <= rows; ++r) {
      const double v = std::fabs(column[r - 1]);
      if (v > largest) {
        largest = v;
        row = r;
        col = c;
      }
    }
  }
  return largest;
}

}  // namespace

int FactorFullPivot(LinearWork& work, int rows, int cols) {
  if (rows <= 0 || cols <= 0) return 0;
  double* m = work.flat.data();
  auto at = [m, rows](int r, int c) -> double& {
    return m[static_cast<std::size_t>(c - 1) * rows + (r - 1)];
  };
  for (int i = 1; i <= rows; ++i) work.rowOrder[i] = i;
  for (int i = 1; i <= cols; ++i) work.colOrder[i] = i;

  int pr = 1, pc = 1;
  double largest = LargestRemaining(m, rows, cols, 1, pr, pc);
  const double tolerance = largest * 1e-20;
  const int limit = rows < cols ? rows : cols;
  int pivots = 0;
  while (pivots < limit && largest > tolerance) {
    const int k = ++pivots;
    if (pc != k) {
      for (int r = 1; r <= rows; ++r) std::swap(at(r, k), at(r, pc));
      std::swap(work.colOrder[k], work.colOrder[pc]);
    }
    if (pr != k) {
      for (int c = 1; c <= cols; ++c) std::swap(at(k, c), at(pr, c));
      std::swap(work.rowOrder[k], work.rowOrder[pr]);
    }
    const double pivot = at(k, k);
    double* pivotColumn = m + static_cast<std::size_t>(k - 1) * rows;
    for (int r = k + 1; r <= rows; ++r) pivotColumn[r - 1] /= pivot;
    // Update the remaining columns and find the next pivot in the same pass, in the
    // scan order of LargestRemaining.
    largest = -1.0;
    pr = pc = k + 1;
    for (int c = k + 1; c <= cols; ++c) {
      double* __restrict column = m + static_cast<std::size_t>(c - 1) * rows;
      const double* __restrict lower = pivotColumn;
      const double u = column[k - 1];
      if (u != 0.0)
        for (int r = k; r < rows; ++r) column[r] -= lower[r] * u;
      // The column's largest magnitude first; only a column that holds a larger one
      // than the columns before is searched for its first position (the element the
      // scan would take).
      if (k >= rows) continue;
      const double top = LargestMagnitude(column + k, rows - k);
      if (top > largest) {
        int r = k;
        while (r < rows && !(std::fabs(column[r]) == top)) ++r;
        if (r == rows) continue;  // no number in the column
        largest = top;
        pr = r + 1;
        pc = c;
      }
    }
    if (k == limit) break;
  }
  return pivots;
}

void SolveFactored(const LinearWork& work, const Array1<double, kMaxUnknowns>& rhs, int pivots,
                   int rows, Array1<double, kMaxUnknowns>& y) {
  if (pivots <= 0) return;
  const double* m = work.flat.data();
  auto at = [m, rows](int r, int c) -> double {
    return m[static_cast<std::size_t>(c - 1) * rows + (r - 1)];
  };
  long double b[kMaxUnknowns + 1];
  for (int i = 1; i <= rows; ++i) b[i] = rhs[work.rowOrder[i]];
  // Forward substitution with the unit lower factor over the pivoted columns.
  for (int k = 1; k <= pivots; ++k) {
    const long double bk = b[k];
    if (bk == 0.0L) continue;
    for (int i = k + 1; i <= rows; ++i) b[i] -= at(i, k) * bk;
  }
  // Back substitution over the pivoted block of the upper factor.
  long double z[kMaxUnknowns + 1];
  for (int k = pivots; k >= 1; --k) {
    long double sum = b[k];
    for (int c = k + 1; c <= pivots; ++c) sum -= at(k, c) * z[c];
    z[k] = sum / at(k, k);
  }
  for (int k = 1; k <= pivots; ++k) y[work.colOrder[k]] = static_cast<double>(z[k]);
}

}  // namespace kvil
