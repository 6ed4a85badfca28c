// The calculation workspace: every table a run works on, with fixed capacities.
//
// One CalcWorkspace is owned by the application (inside the Session, core/session.h)
// and passed by reference; each run overwrites it.  There are no hidden globals.
//
// Indexing: every table is 1-based (common/array1.h), as in the description of the
// calculation: run species k = 1..K (K <= 130), system elements j = 1..E (E <= 20,
// plus one charge row when ions are used), solver unknowns 1..N (N <= 43), reserve
// polynomial slots 1..259.
//
// Units: the run tables of the species keep polynomial coefficients in calories
// (J coefficients x 1/4.184); SpeciesState holds H in cal/mol and S, Cp in cal/(mol*K),
// amounts in mol/kg; the solver works in atm, K, calories and m3/kg internally;
// ResultsBlock is in MPa, K, m3/kg, kJ/(kg*K), kJ/kg.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/array1.h"
#include "common/constants.h"
#include "thermo/detonation_figures.h"

namespace kvil {

// ---- Run tables of the selected species (built by PrepareRunSpecies) ---------------

// One temperature interval of the reduced Gibbs-energy polynomial
// Phi(x) = phi1 + phi2 ln x + phi3 x^-2 + phi4 x^-1 + phi5 x + phi6 x^2 + phi7 x^3,
// x = T/10000.  In the run tables the coefficients are in calories.
struct PolyInterval {
  float tmin = 0;  // K
  float tmax = 0;  // K
  std::array<float, 7> phi{};  // phi[0] is phi1 ... phi[6] is phi7
};

// Rows of the composition matrix: row 1 phase code, rows 2..E+1 atoms of system
// element 1..E, row E+2 the ion code (13..44) when ions are on.
inline constexpr int kCompositionRows = kMaxSystemElements + 2;

struct RunSpeciesTables {
  int count = 0;          // K, number of run species
  int reserveCount = 0;   // reserve slots in use (owners fill slots 1..reserveCount)
  Matrix1<int, kCompositionRows, kMaxRunSpecies> composition;  // CompositionMatrix
  Array1<float, kMaxRunSpecies> sigma;       // gas: Lennard-Jones sigma, A; condensed: molar volume, cm3/mol
  Array1<float, kMaxRunSpecies> epsilon;     // gas: epsilon/k, K
  Array1<float, kMaxRunSpecies> delta;       // gas: reduced dipole moment; others: as stored
  Array1<float, kMaxRunSpecies> molarMass;   // g/mol
  Array1<std::uint8_t, kMaxRunSpecies> kindCode;  // KindCode of the database (1, 2, 5, 6, 13..44)
  Array1<std::int32_t, kMaxRunSpecies> record;    // zero-based record number in the species file
  Array1<std::string, kMaxRunSpecies> names;      // display names
  Array1<PolyInterval, kMaxRunSpecies> primary;   // PrimaryPolynomials
  Array1<PolyInterval, kReserveCapacity> reserve; // ReservePolynomials
  Array1<int, kReserveCapacity> reserveOwner;     // run species number, 0 = free slot
  // Where the reserve slots of each run species lie: PrepareRunSpecies gives every
  // species one contiguous run of slots, in interval order, and records it here so
  // that the temperature search looks at the species' own slots only.  Tables built
  // without it (reserveIndexed false) are searched slot by slot.
  bool reserveIndexed = false;
  Array1<int, kMaxRunSpecies> reserveFirst;       // first slot of species k (0 = none)
  Array1<int, kMaxRunSpecies> reserveSlots;       // number of slots of species k

  int Phase(int k) const { return composition(1, k); }
  int Atoms(int j, int k) const { return composition(j + 1, k); }  // element j of the system
};

// ---- Per-species state of the solver -------------------------------------------

struct SpeciesState {
  Array1<double, kMaxRunSpecies> n;      // mol/kg
  Array1<double, kMaxRunSpecies> lnn;    // ln n as carried by the iteration
  Array1<double, kMaxRunSpecies> H;      // cal/mol, including the reference enthalpy
  Array1<double, kMaxRunSpecies> S;      // cal/(mol*K)  (after the sound velocity: derivative terms)
  Array1<double, kMaxRunSpecies> Cp;     // cal/(mol*K)
  Array1<float, kMaxRunSpecies> nSingle; // single-precision copy of n, written when a solve ends
  Array1<int, kMaxRunSpecies> eosFlag;   // 2 = gas species in the non-ideal EOS
};

// Working context of EvaluateSpeciesFunctions for one evaluation pass.
struct SpeciesFunctionContext {
  double blendHalfWidth = 1.0;  // K
  int mode = 1;                 // 1 normal, 2 while evaluating a neighbour interval
  double largestTmin = 0;       // largest lower bound of the intervals in use
  double smallestTmax = 100000; // smallest upper bound of the intervals in use
  int transitionCount = 0;      // condensed species near an interval bound
  Array1<int, kMaxTransitionList> transitions;
  // 1/x and ln x of the reduced temperature x = T/10000 last evaluated at.
  double reducedT = -1;
  double reducedInv = 0, reducedLn = 0;
};

// ---- Linear algebra work space ---------------------------------------------------

struct LinearWork {
  // Flat work matrix of FactorFullPivot, column by column (element (r, c) at
  // (c-1)*rows + (r-1)); the solver assembles its right-hand side as column N + 1.
  std::array<double, kMaxUnknowns * (kMaxUnknowns + 1)> flat{};
  Array1<int, kMaxUnknowns> rowOrder;
  Array1<int, kMaxUnknowns> colOrder;
  // Augmented matrix of SolveLinearSystem: n <= 42 unknowns, right-hand side in
  // column n+1.
  Matrix1<double, kMaxUnknowns, kMaxUnknowns> augmented;
};

// ---- Non-ideal equation of state ----------------------------------------------

// Gas species a non-ideal EOS can take: every gas species of a run.  A mixture whose
// minor species were left out of the EOS would give them an ideal chemical potential
// while their neighbours carry the dense-gas one, and the state would depend on which
// species happened to lie above a cut-off on the way to it.
inline constexpr int kMaxEosSpecies = kMaxRunSpecies;

struct NonIdealCorrections {
  double Gc = 0, Sc = 0, Hc = 0, Uc = 0;  // right-hand sides of the gas-law, S, H, U rows
  double G2c = 0;                          // second gas-amount term (Kelmost)
  Array1<double, kMaxEosSpecies> phi;      // per EOS gas ordinal, corrections to ln n
  Array1<double, kMaxUnknowns> gamma;      // per condensed species (condensed order)
};

// Mixture quantities of the virial and Kelmost EOS, kept between calls.
struct EosState {
  double n = 0;        // gas amount, mol/kg
  double S3 = 0;       // mixture sigma^3, A^3
  double E3 = 0;
  double epsM = 0;     // mixture epsilon/k, K
  double b = 0;        // Kelmost co-volume, cm3/mol
  double beta = 0;     // 1/b
  double B = 0;        // second virial coefficient, cm3/mol
  double C = 0;        // third virial coefficient, cm6/mol2
  double F = 1.90012;  // Kelmost hard-core factor
  int code = 0;        // EOS code the quantities were computed for (2, 3; 0 none)
  bool tooDense = false;  // the last SolveEosVolume met a state denser than Kelmost's limit
  double nAll = 0;     // whole gas amount (EOS species, ions and gases without LJ data)
  int gasCount = 0;    // gas species with EOS flag 2
  Array1<int, kMaxEosSpecies> speciesOfOrdinal;  // run species number of gas ordinal g
  Array1<double, kMaxEosSpecies> s3;
  Array1<double, kMaxEosSpecies> e3;
  Array1<double, kMaxEosSpecies> t;
};

// ---- BKW equation of state (EOS code 4) -----------------------------------------

struct CondensedEosData;  // thermo/bkw.h

// The BKW data of the run species and the state of the two BKW unknowns of the solver.
// PrepareBkwSpecies (thermo/bkw_species.h) fills the tables for the run species; the
// solver adds the BKW terms to its Newton system while `active` is set (the run sets it
// for the non-ideal solve of a point, the detonation for all its solves).
struct BkwRunData {
  bool prepared = false;  // the tables below belong to the current run species
  bool active = false;    // SolveEquilibrium includes the BKW terms
  int parameterSet = 0;   // index of BkwParameterSets()
  Array1<double, kMaxRunSpecies> covolume;     // gas species: k, cm3/mol
  Array1<bool, kMaxRunSpecies> estimated;      // gas species: k estimated from the atoms
  Array1<const CondensedEosData*, kMaxRunSpecies> condensedEos;  // nullptr: incompressible
  // The unknowns u1 = (e^(beta x) - 1)/beta and u2 = N x e^(beta x)/K of the last BKW
  // solve, from which a continued solve starts.
  bool unknownsValid = false;
  double u1 = 0, u2 = 0;
  // The converged state: x, F = p V_g/(N R T), condensed volume (m3/kg), and whether
  // beta x stayed within the domain of the equation.
  double x = 0, F = 1;
  double condensedVolume = 0;
  bool inDomain = true;
  // The point being written was solved with the BKW terms (the report says so).
  bool pointSolved = false;
};

// Derivatives of a converged equilibrium state, from the Newton matrix at the solution
// (exact at convergence: the iteration's matrix is the Jacobian of its equations).
// Filled by SolveEquilibrium after a successful solve while `requested` is set.
struct EquilibriumDerivatives {
  bool requested = false;
  bool valid = false;
  double soundSpeed = 0;  // m/s, sqrt(-V^2 (dp/dV)_S), V the whole volume
  double Cp = 0;          // kJ/(kg K), (dH/dT)_p
  double Cv = 0;          // kJ/(kg K), (dU/dT)_V
  double dpdT = 0;        // MPa/K at fixed V
  double dVdT = 0;        // m3/(kg K) at fixed p
};

// What the transport properties of the state of the last ComputeSoundVelocity need
// besides the state: the first-system solution (y1[1] = d n_gas/dT; the derivative
// terms are in SpeciesState::S) and whether the reaction part can be formed.  Kept when
// the transport properties are left for later (thermo/sound.h).
struct SoundSolution {
  bool transportPending = false;
  bool reacting = false;
  Array1<double, kMaxUnknowns> y1;
};

// ---- Results of a solve and of the point ---------------------------------------

struct ResultsBlock {
  double p = 0;       // MPa
  double T = 0;       // K
  double V = 0;       // m3/kg
  double S = 0;       // kJ/(kg*K)
  double H = 0;       // kJ/kg
  double U = 0;       // kJ/kg
  double Cp = 0;      // kJ/(kg*K), heat capacity at fixed composition
  double nTotal = 0;  // mol/kg ("M" of the report)
  // Saved copy of the eight values above, written when a solve succeeds.
  std::array<double, 8> saved{};

  // Further values of the point (zeroed by the solver when it starts).
  double gasVolume = 0;     // Vg, m3/kg
  double soundSpeed = 0;    // equilibrium a, m/s (below 1 = not computed)
  double kEquilibrium = 0;  // equilibrium isentropic exponent
  double CpEquilibrium = 0; // kJ/(kg*K)
  double CvEquilibrium = 0; // kJ/(kg*K)
  // The state lies on a phase-change plateau: its equilibrium Cp is unbounded
  // (CpEquilibrium is then 0 and is not a value to print).
  bool cpUnbounded = false;
  bool cvUnbounded = false;  // likewise Cv, on a melting plateau
  double CvFrozen = 0;      // kJ/(kg*K)
  double kFrozen = 0;
  double aFrozen = 0;       // m/s
  double lambdaFrozen = 0;  // W/(m*K)
  double lambdaReacting = 0;// W/(m*K), the reaction part of the conductivity
  double viscosity = 0;     // N*s/m2

  // Conductivity of the reacting (equilibrium) mixture: frozen plus reaction part.
  double LambdaEquilibrium() const { return lambdaFrozen + lambdaReacting; }
};

// The lines of the report on the elements of the system and their oxidizer/fuel
// balance, as formed for the elements they hold.
struct ReportElementBlock {
  bool valid = false;
  int elementCount = 0, taskElementCount = 0;
  std::array<int, kMaxSystemElements> index{};     // of element 1 .. 20
  std::array<float, kMaxSystemElements> amount{};  // mol/kg
  std::string text;
};

// ---- State of a run (driver, throat, expansion, report) ------------------------

struct RunState {
  float value1 = 0, value2 = 0;  // current assigned values, internal units
  int c1 = 0, c2 = 0;            // their codes for the current solve
  int index1 = 0, index2 = 0, index3 = 0;
  int parameterVariant = 0;      // points begun in this run
  int plannedPoints = 0;         // chamber points this run will compute (0 unknown)
  // Chamber points of the Run command that reached the report, and that failed.
  int pointsComputed = 0, pointsFailed = 0;
  int componentVariant = 1;      // current source-composition variant
  int startMode = 1;             // L: 1 fresh, 2 continue
  int templateMode = 0;          // 0 none, 1 impulse, 2 powder force, 3 heat of combustion
  int templateCounter = 0;
  // The Run command asked the check-total-sum question of variant 1 before it touched
  // the results files (No refuses the run); the variant loop does not ask it again.
  bool firstSumConfirmed = false;
  int componentCount = 0;        // components with a formula
  int rowKind = 0;               // results table record kind: 0 point, 1 throat, 2 expansion
  bool cancel = false;           // set by STOP
  int solverIterations = 0;      // Newton iterations of the last SolveEquilibrium
  long long solverIterationsTotal = 0;  // and of all since the session began
  long long solvesTotal = 0;            // calls of SolveEquilibrium since then
  double solverChange = 0;       // largest relative change of its last iteration
  bool gasPresent = false;       // gas amount >= 0.1 mol/kg after the solve
  bool frozenComposition = false;  // FrozenComposition: the solver keeps the amounts
  bool expansionFlag = false;    // an expansion or throat point is being written
  bool throatFlag = false;       // the throat point is being written
  bool frozenFlag = false;       // a frozen expansion point is being written
  // Chamber state of the last non-expansion point.
  float chamberP = 0;            // MPa
  float chamberH = 0;            // kJ/kg
  double chamberS = 0;           // kJ/(kg*K)
  double chamberT = 0, chamberU = 0;
  float chamberValue1 = 0, chamberValue2 = 0;
  // Assigned values of the chamber point being run (H or U of 0 already replaced by the
  // enthalpy of the components), kept for the run's observer.
  float chamberValue1Assigned = 0, chamberValue2Assigned = 0;
  // Freezing state.
  double freezeP = 0;            // MPa
  double freezeV = 0;            // m3/kg
  // Throat values (0 until a throat has been computed for the chamber point).
  float throatAreaPerFlow = 0;   // m2*s/kg
  float throatP = 0;             // MPa
  float throatK = 0;
  // Non-ideal passes.
  Array1<double, kMaxRunSpecies> previousAmounts;
  std::array<double, 6> previousResults{};  // p, T, V, S, H, U
  double condensedVolume = 0;    // m3/kg
  // Values the report leaves for the results table.
  double reportGasAmount = 0;    // n_gas, mol/kg
  double reportFlowVelocity = 0; // w, m/s
  double reportExpansionPressure = 0;  // MPa
  // A solve that starts from the previous point's state: a failure there is silent (the
  // run then solves the point afresh), so no question or message comes from it.
  bool quietFailure = false;
  bool quietFailed = false;  // such a solve failed where it would have asked or told
  // Set once the report has shown the messages of the oxidizer/fuel balance in this run
  // (cleared by the report header), so that they are not repeated for every point.
  bool reportBalanceMessagesShown = false;
  ReportElementBlock reportElementBlock;  // cleared by the report header
  // Records written to the results table since the Run command emptied it (the index
  // of the next one); extension entries name their record by it.
  long long resultsRecords = 0;
  // The point being written is a detonation's CJ state: the report adds its section
  // from ws.detonation.
  bool detonationFlag = false;
};

// A converged chamber state of a source-composition variant, from which a later point
// of the same variant starts (ideal gas), with the assigned values it was solved at.
struct PointStart {
  bool valid = false;
  float value1 = 0, value2 = 0;
  Array1<double, kMaxUnknowns> X;
  Array1<double, kMaxRunSpecies> n, lnn;
};

struct CalcWorkspace {
  RunSpeciesTables run;
  SpeciesState species;
  SpeciesFunctionContext functions;
  Array1<double, kMaxUnknowns> X;  // UnknownVector
  Array1<double, kMaxUnknowns> Y;  // new solution
  LinearWork linear;
  NonIdealCorrections corrections;
  EosState eos;
  ResultsBlock results;
  RunState state;
  PointStart pointStart;  // the last point solved
  PointStart pointBefore; // the point solved before it
  PointStart rowStart;    // the first point of the current row of a grid
  PointStart rowBefore;   // the first point of the row before it
  // The throat and the exit state of each area ratio of the chamber point before, from
  // which the searches of the next chamber point of the variant start (core/rocket.h).
  PointStart throatStart, throatBefore;  // and of the chamber point before that
  Array1<PointStart, kMaxListValues> exitStart, exitBefore;
  BkwRunData bkw;
  EquilibriumDerivatives derivatives;
  SoundSolution sound;
  // The detonation template: the initial states of the run and the figures of the
  // point being written.
  std::vector<DetonationRequest> detonationRequests;
  DetonationFigures detonation;

  // Amount of the gas phase (gas species and ions), mol/kg.
  double GasAmount() const {
    double sum = 0;
    for (int k = 1; k <= run.count; ++k)
      if (run.Phase(k) == 2) sum += species.n[k];
    return sum;
  }
};

}  // namespace kvil
