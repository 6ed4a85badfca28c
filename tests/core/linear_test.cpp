#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "thermo/linear.h"

namespace kvil {
namespace {

// Column-major element (r, c) of the flat work matrix for `rows` rows.
double& Flat(LinearWork& w, int rows, int r, int c) {
  return w.flat[static_cast<std::size_t>(c - 1) * rows + (r - 1)];
}

TEST(LinearPartialPivot, SolvesRandomSystemsAndPicksFirstEqualPivot) {
  auto w = std::make_unique<LinearWork>();
  Array1<double, kMaxUnknowns> y;
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n : {1, 2, 5, 17, 42}) {
    double a[43][43], x[43];
    for (int i = 1; i <= n; ++i) x[i] = u(rng);
    for (int r = 1; r <= n; ++r) {
      double rhs = 0;
      for (int c = 1; c <= n; ++c) {
        a[r][c] = u(rng) + (r == c ? 0.1 : 0.0);
        w->augmented(r, c) = a[r][c];
        rhs += a[r][c] * x[c];
      }
      w->augmented(r, n + 1) = rhs;
    }
    ASSERT_EQ(SolveLinearSystem(*w, y, n), 0) << n;
    for (int i = 1; i <= n; ++i) EXPECT_NEAR(y[i], x[i], 1e-9) << "n=" << n << " i=" << i;
  }

  // Needs a row exchange (zero on the diagonal); equal candidates |-2| and |2| in
  // column 1: the first one (row 2) is taken, which the final layout shows.
  // Rows [a | rhs]: 0 1 0 | 2, -2 1 0 | 0, 2 0 1 | 5; solution (1, 2, 3).
  w->augmented.Fill(0);
  w->augmented(1, 1) = 0;
  w->augmented(1, 2) = 1;
  w->augmented(1, 3) = 0;
  w->augmented(1, 4) = 2;
  w->augmented(2, 1) = -2;
  w->augmented(2, 2) = 1;
  w->augmented(2, 3) = 0;
  w->augmented(2, 4) = 0;
  w->augmented(3, 1) = 2;
  w->augmented(3, 2) = 0;
  w->augmented(3, 3) = 1;
  w->augmented(3, 4) = 5;
  ASSERT_EQ(SolveLinearSystem(*w, y, 3), 0);
  EXPECT_DOUBLE_EQ(y[1], 1.0);
  EXPECT_DOUBLE_EQ(y[2], 2.0);
  EXPECT_DOUBLE_EQ(y[3], 3.0);
  EXPECT_DOUBLE_EQ(w->augmented(1, 1), -2.0);  // row 2 became the first pivot row
}

TEST(LinearPartialPivot, ReportsExactlyZeroPivot) {
  auto w = std::make_unique<LinearWork>();
  Array1<double, kMaxUnknowns> y;
  w->augmented(1, 1) = 0;
  w->augmented(1, 2) = 5;
  EXPECT_EQ(SolveLinearSystem(*w, y, 1), 1);

  w->augmented.Fill(0);
  w->augmented(1, 1) = 1;
  w->augmented(1, 2) = 2;
  w->augmented(1, 3) = 1;
  w->augmented(2, 1) = 2;
  w->augmented(2, 2) = 4;
  w->augmented(2, 3) = 2;  // dependent rows
  EXPECT_EQ(SolveLinearSystem(*w, y, 2), 1);
}

TEST(LinearFullPivot, FactorsAndSolvesThroughBothPermutations) {
  auto w = std::make_unique<LinearWork>();
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n : {1, 3, 12, 43}) {
    double a[44][44], x[44];
    Array1<double, kMaxUnknowns> rhs, y;
    for (int i = 1; i <= n; ++i) x[i] = u(rng) * 100.0;
    // Badly scaled rows and columns, as in the solver's systems.
    for (int r = 1; r <= n; ++r)
      for (int c = 1; c <= n; ++c)
        a[r][c] = u(rng) * std::pow(10.0, (r % 5) - (c % 4)) + (r == c ? 2.0 : 0.0);
    for (int r = 1; r <= n; ++r) {
      long double s = 0;
      for (int c = 1; c <= n; ++c) {
        Flat(*w, n, r, c) = a[r][c];
        s += a[r][c] * x[c];
      }
      rhs[r] = static_cast<double>(s);
    }
    ASSERT_EQ(FactorFullPivot(*w, n, n), n);
    SolveFactored(*w, rhs, n, n, y);
    for (int i = 1; i <= n; ++i) EXPECT_NEAR(y[i], x[i], 1e-8 * std::max(1.0, std::fabs(x[i])));
  }
}

TEST(LinearFullPivot, RankDeficientLeavesUnpivotedUnknownsUntouched) {
  auto w = std::make_unique<LinearWork>();
  Array1<double, kMaxUnknowns> rhs, y;
  EXPECT_EQ(FactorFullPivot(*w, 0, 3), 0);
  EXPECT_EQ(FactorFullPivot(*w, 3, 0), 0);

  Flat(*w, 1, 1, 1) = 0.0;
  EXPECT_EQ(FactorFullPivot(*w, 1, 1), 0);

  // x1 + x2 = 3, 2 x1 + 2 x2 = 6, x3 = 4 (1e-25 below the tolerance relative to 1).
  const int n = 3;
  w->flat.fill(0);
  Flat(*w, n, 1, 1) = 1;
  Flat(*w, n, 1, 2) = 1;
  Flat(*w, n, 2, 1) = 2;
  Flat(*w, n, 2, 2) = 2;
  Flat(*w, n, 3, 3) = 1;
  Flat(*w, n, 3, 1) = 1e-25;
  rhs[1] = 3;
  rhs[2] = 6;
  rhs[3] = 4;
  const int pivots = FactorFullPivot(*w, n, n);
  EXPECT_EQ(pivots, 2);
  y[1] = y[2] = y[3] = -99.0;
  SolveFactored(*w, rhs, pivots, n, y);
  // The largest element (2, in column 1 first) is the first pivot: x1 is solved, x2
  // has no pivot and keeps its value, and x1 + 0*x2 = 3 with x2 treated as zero.
  EXPECT_NEAR(y[1], 3.0, 1e-12);
  EXPECT_EQ(y[2], -99.0);
  EXPECT_NEAR(y[3], 4.0, 1e-12);
  EXPECT_EQ(w->colOrder[1], 1);
  EXPECT_EQ(w->rowOrder[1], 2);
}

}  // namespace
}  // namespace kvil
