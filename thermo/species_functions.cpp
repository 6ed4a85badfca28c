#include "thermo/species_functions.h"

namespace kvil {

// Placeholder bodies; the species database module replaces them.
SpeciesFunctionValues PolynomialFunctions(const PolynomialRecord&, double) { return {}; }
float SpeciesMolarMass(const SpeciesRecord&) { return 0; }
void EvaluateSpeciesFunctions(CalcWorkspace&, int, double) {}
void BeginSpeciesFunctionPass(CalcWorkspace& ws) {
  ws.functions.transitionCount = 0;
  ws.functions.largestTmin = 0;
  ws.functions.smallestTmax = 100000;
}

}  // namespace kvil
