#include "task/oxidizer_fuel.h"

namespace kvil {

// Placeholder body; the task layer replaces it.
OxidizerFuel OxidizerFuelBalance(const Task&, Interaction&) { return {}; }

}  // namespace kvil
