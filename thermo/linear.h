// Dense linear systems of the calculation, solved in place on the workspace's fixed
// arrays (no allocation).
//
//  - SolveLinearSystem(work, y, n): Gaussian elimination with partial pivoting of the
//    n x n system held in work.augmented (row r: columns 1..n, right-hand side in
//    column n+1; n <= 42).  Writes the solution to y[1..n].  Returns 1 when a pivot is
//    exactly zero (y is then left as far as it was written), else 0.
//  - FactorFullPivot(work, rows, cols): complete pivoting on the flat work matrix
//    (column by column: element (r, c) at (c-1)*rows + (r-1)).  Pivots are taken while
//    the largest remaining element exceeds 1e-20 times the first pivot.  Returns the
//    number of pivots (the rank at that tolerance) and leaves work.rowOrder/colOrder.
//  - SolveFactored(work, rhs, pivots, rows, y): solves with the factors for the
//    right-hand side rhs[1..rows] and writes the pivoted unknowns to y at the positions
//    their column order names; unknowns without a pivot are not written.
#pragma once

#include "thermo/workspace.h"

namespace kvil {

int SolveLinearSystem(LinearWork& work, Array1<double, kMaxUnknowns>& y, int n);
int FactorFullPivot(LinearWork& work, int rows, int cols);
void SolveFactored(const LinearWork& work, const Array1<double, kMaxUnknowns>& rhs, int pivots,
                   int rows, Array1<double, kMaxUnknowns>& y);

}  // namespace kvil
