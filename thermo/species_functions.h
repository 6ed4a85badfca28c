// Thermodynamic functions of species from their polynomial intervals.
//
// With x = T/10000 and the coefficients phi1..phi7 of one interval:
//   S  = phi1 + phi2 (ln x + 1) - phi3 x^-2 + 2 phi5 x + 3 phi6 x^2 + 4 phi7 x^3
//   H  = 1e4 (phi2 x - 2 phi3 x^-1 - phi4 + phi5 x^2 + 2 phi6 x^3 + 3 phi7 x^4)
//   Cp = phi2 + 2 phi3 x^-2 + 2 phi5 x + 6 phi6 x^2 + 12 phi7 x^3
// With coefficients in J: S, Cp in J/(mol K), H in J/mol; in calories likewise.
#pragma once

#include "core/workspace.h"
#include "thermo/species_db.h"

namespace kvil {

struct SpeciesFunctionValues {
  double S = 0, H = 0, Cp = 0;
};

// One stored interval (J coefficients): S in J/(mol K), H in kJ/mol, Cp in J/(mol K);
// x is formed in single precision.
SpeciesFunctionValues PolynomialFunctions(const PolynomialRecord& record, double T);

// Molar mass (g/mol) from the composition slots of a species record.
float SpeciesMolarMass(const SpeciesRecord& record);

// Sets ws.species.S[k], H[k], Cp[k] (cal units) of run species k at temperature T,
// using and updating ws.functions (interval bounds in use, transition list).
void EvaluateSpeciesFunctions(CalcWorkspace& ws, int k, double T);

// Starts an evaluation pass: empties the transition list and resets the bound records.
void BeginSpeciesFunctionPass(CalcWorkspace& ws);

}  // namespace kvil
