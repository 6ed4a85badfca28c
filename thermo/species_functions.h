// Thermodynamic functions of species from their polynomial intervals.
//
// With x = T/10000 and the coefficients phi1..phi7 of one interval:
//   S  = phi1 + phi2 (ln x + 1) - phi3 x^-2 + 2 phi5 x + 3 phi6 x^2 + 4 phi7 x^3
//   H  = 1e4 (phi2 x - 2 phi3 x^-1 - phi4 + phi5 x^2 + 2 phi6 x^3 + 3 phi7 x^4)
//   Cp = phi2 + 2 phi3 x^-2 + 2 phi5 x + 6 phi6 x^2 + 12 phi7 x^3
// (S = Phi + x dPhi/dx, H = T x dPhi/dx, Cp = x dS/dx of the reduced Gibbs energy
// Phi; phi4 carries the reference enthalpy.)  With coefficients in J: S, Cp in
// J/(mol K), H in J/mol; with the calorie coefficients of the run tables: S, Cp in
// cal/(mol K), H in cal/mol.
//
// Nothing here allocates or fails: temperatures outside every interval of a species
// are served by extrapolating the nearest interval with constant heat capacity.
#pragma once

#include "thermo/workspace.h"
#include "thermo/species_db.h"

namespace kvil {

struct SpeciesFunctionValues {
  double S = 0, H = 0, Cp = 0;
};

// One stored interval (J coefficients) at T (K): S in J/(mol K), H in kJ/mol, Cp in
// J/(mol K); x = T/10000 is formed in single precision.
SpeciesFunctionValues PolynomialFunctions(const PolynomialRecord& record, double T);

// Molar mass (g/mol) from the composition slots of a species record: the sum of
// count x AtomicMassTable[code] over the non-empty slots, accumulated in single
// precision.  Codes 1..101 use the AtomicMassTable (entry 96 holds 3.0, entry 101
// holds 2.0); codes 102..106 (No, Lr, electron, D, T) use the masses of the element
// table; unknown codes count 0.  The count byte is the atom count 0..255 as stored.
float SpeciesMolarMass(const SpeciesRecord& record);

// AtomicMassTable entry of an element code (0 for codes without an entry).
float AtomicMass(int code);

// Sets ws.species.S[k] (cal/(mol K)), H[k] (cal/mol) and Cp[k] (cal/(mol K)) of run
// species k (1..ws.run.count) at temperature T (K, > 0), from the run tables
// ws.run.primary / reserve.  Within 1 K (ws.functions.blendHalfWidth) of a bound
// shared with a neighbouring interval the two intervals are blended linearly, the
// enthalpy step spread over the window and Cp raised to at least half of it.
// Updates ws.functions: the largest Tmin and smallest Tmax of the intervals used,
// and the list of condensed species evaluated near an interval bound.
void EvaluateSpeciesFunctions(CalcWorkspace& ws, int k, double T);

// Starts an evaluation pass: empties the transition list and resets the bound records
// (largest Tmin 0, smallest Tmax 100000) and the mode.
void BeginSpeciesFunctionPass(CalcWorkspace& ws);

}  // namespace kvil
