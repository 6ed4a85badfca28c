#include "thermo/linear.h"

namespace kvil {

// Placeholder bodies; the linear-equation module replaces them.
int SolveLinearSystem(LinearWork&, Array1<double, kMaxUnknowns>&, int) { return 1; }
int FactorFullPivot(LinearWork&, int, int) { return 0; }
void SolveFactored(const LinearWork&, const Array1<double, kMaxUnknowns>&, int, int,
                   Array1<double, kMaxUnknowns>&) {}

}  // namespace kvil
