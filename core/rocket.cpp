#include "core/rocket.h"

#include "core/session.h"

namespace kvil {

// Placeholder bodies; the rocket performance module replaces them.
int ComputeThroat(Session&, int, int&, double) { return 1; }
int ExpandToAreaRatio(Session&, int, int&, double, double, double) { return 1; }
int ComputeFrozenState(Session&, int, int, int&, float, float) { return 1; }

}  // namespace kvil
