#include "thermo/eos.h"

#include "core/session.h"

namespace kvil {

// Placeholder bodies; the equation-of-state module replaces them.
int SolveEosVolume(Session&, int, int, int) { return kEosFailed; }
void ComputeEosCorrections(Session&, int) {}
void ComputeEosProperties(Session&) {}

}  // namespace kvil
