// Physical constants, unit factors and fixed capacities of the calculation.
//
// Each constant is written once here, with its unit, and used by name.  Several gas
// constants exist side by side because the calculation uses them in different
// precisions at different places; results depend on which one is used where.
#pragma once

namespace kvil {

// ---- Fixed capacities ------------------------------------------------------------
inline constexpr int kMaxComponents = 20;        // source components of a task
inline constexpr int kMaxFormulaTokens = 20;     // element tokens of one formula
inline constexpr int kMaxListValues = 10;        // values of a value or amount list
inline constexpr int kMaxFixedConcentrations = 5;
inline constexpr int kMaxSystemElements = 20;    // elements of the system
inline constexpr int kElementTableSize = 106;    // entries of the element table
inline constexpr int kMaxCandidateSpecies = 259; // entries of the species list
inline constexpr int kSpeciesListCapacity = 260; // list slots (one spare)
inline constexpr int kMaxRunSpecies = 130;       // selected species of a run
inline constexpr int kMaxReserveIntervals = 259; // further polynomial intervals of a run
inline constexpr int kReserveCapacity = 260;     // reserve slots (one spare)
inline constexpr int kMaxUnknowns = 43;          // unknowns of the solver
inline constexpr int kMaxSolverIterations = 100;
inline constexpr int kMaxNonIdealPasses = 25;
inline constexpr int kMaxTransitionList = 43;
inline constexpr int kMaxTaskText = 80;          // value texts, amount texts, comment, name
inline constexpr int kMaxSpeciesName = 20;
// Largest initial density of a detonation, g/cm3: above the densest molecular explosive
// crystals (CL-20 2.04, octanitrocubane 2.0) with room for metal-loaded mixtures; a
// denser value is taken for a typing error and refused.
inline constexpr double kMaxInitialDensity = 5.0;

// ---- Gas constants ---------------------------------------------------------------
inline constexpr double kGasConstantCal = 1.98719;          // cal/(mol*K), solver
inline constexpr double kInvGasConstantCal = 0.503223;      // 1/R as written in the iteration
inline constexpr double kGasConstantCalMixing = 1.9871917;  // cal/(mol*K), frozen path entropy
inline constexpr double kGasConstantCalEos = 1.98725;       // cal/(mol*K), non-ideal final sums
inline constexpr double kGasConstantJ = 8.31441;            // J/(mol*K)
inline constexpr double kGasConstantVolAtm = 8.205662e-5;   // m3*atm/(mol*K)
inline constexpr double kGasConstantVolAtmStart = 8.20566e-5;  // the same, for the start value of lambda

// ---- Unit factors ----------------------------------------------------------------
inline constexpr double kMPaToAtm = 9.86923;
inline constexpr double kAtmToMPa = 0.10132502738308866;
inline constexpr double kKJToCal = 239.005;
inline constexpr double kCalToKJ = 0.004184012886759691;          // results, Cp
inline constexpr double kCalToKJFrozen = 0.0041839953808690995;   // S and H of the frozen path
inline constexpr double kJToCal = 0.23900573613766730402;         // 1/4.184, polynomial coefficients
inline constexpr double kCalPerJ = 0.2390057;                      // condensed pV terms
inline constexpr double kJPerCal = 4.184;
inline constexpr double kKcalPerKJ = 0.2390057361376673;           // technical output units
// The two atmospheres a pressure may be given or printed in.  "atm" (the unit choosers
// of the task) is the standard atmosphere, "at" (the technical output units of the
// report) the technical atmosphere, 1 kgf/cm2.
inline constexpr double kStandardAtmosphereMPa = 0.101325;         // MPa per atm
inline constexpr double kTechnicalAtmosphereMPa = 0.0980665;       // MPa per at
inline constexpr double kMPaToAt = 1.0 / kTechnicalAtmosphereMPa;  // output: MPa -> at
inline constexpr double kCelsiusOffset = 273.15;
inline constexpr double kSecondsPerMeterPerSecond = 0.10197162129779283;  // m/s -> s (1/g)
inline constexpr double kGasConstantKJ = 0.00831441;               // kJ/(mol*K), report and results table
inline constexpr double kKpmPerJ = 0.101971621297792824256;        // J -> kp*m (kJ values x 1000 first)
inline constexpr double kKcalPerHourPerW = 0.860421;               // W/(m*K) -> kcal/(m*h*K)
inline constexpr double kKpPerNewton = 0.101972;                   // N*s/m2 -> kp*s/m2 (viscosity)
inline constexpr double kKgPerGram = 0.001;                        // g/mol x mol/kg -> mass fraction

}  // namespace kvil
