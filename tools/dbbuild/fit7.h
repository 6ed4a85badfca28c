// Fitting of thermodynamic data to the 7-coefficient reduced Gibbs form of the species
// database, with x = T/10000:
//   S  = p1 + p2 (ln x + 1) - p3 x^-2 + 2 p5 x + 3 p6 x^2 + 4 p7 x^3          J/(mol K)
//   H  = 1e4 (p2 x - 2 p3 x^-1 - p4 + p5 x^2 + 2 p6 x^3 + 3 p7 x^4)            J/mol
//   Cp = p2 + 2 p3 x^-2 + 2 p5 x + 6 p6 x^2 + 12 p7 x^3                        J/(mol K)
// The coefficients are stored as 32-bit floats, so every fit is judged after rounding:
// the heat-capacity coefficients are rounded first and p4, p1 are then placed from the
// rounded ones.
#pragma once

#include <array>
#include <functional>
#include <vector>

#include "tools/dbbuild/nasa_thermo.h"

namespace kvil::dbbuild {

struct Fit7 {
  float tmin = 0, tmax = 0;  // K
  std::array<float, 7> p{};  // p1..p7, J units
  bool ConstantCp() const { return p[2] == 0 && p[4] == 0 && p[5] == 0 && p[6] == 0; }
};

// Deviations allowed between a fit and its data: Cp within max(cpRel*|Cp|, cpAbs),
// H within h, S within s.  `margin` scales them for the builder's own acceptance test
// so that the stored data keeps a reserve against the independent check.
struct FitTolerance {
  double cpRel = 0.005, cpAbs = 0.05, h = 50.0, s = 0.05;
  double margin = 0.8;
};

struct FitDeviation {
  double cp = 0, cpRel = 0, h = 0, s = 0;  // largest |deviation| (cp also relative)
  double tCp = 0, tH = 0, tS = 0;          // where they occur, K
  double worst = 0;                        // largest deviation / tolerance (margin applied)
};

// Cp, H, S of the data to be fitted at T.
using ThermoFunction = std::function<NasaValues(double T)>;

// Values of a fitted interval at T (x formed in single precision, as the program does).
NasaValues Evaluate7(const Fit7& fit, double T);

// Largest deviations of `fit` from `target` on [ta, tb] (step `step` K plus the ends).
FitDeviation Deviation(const Fit7& fit, const ThermoFunction& target, double ta, double tb,
                       const FitTolerance& tol, double step = 2.0);

// Fits one interval [ta, tb].  Tries a constant heat capacity first, then a weighted
// least-squares fit of Cp, H and S together, refined towards the smallest largest
// deviation.  `previous` (may be null) is the interval ending at ta, with which H and S
// are made as continuous as the tolerance allows.  Returns true when the rounded result
// is within tolerance (margin applied); `fit` and `dev` always receive the best attempt.
bool FitInterval(const ThermoFunction& target, double ta, double tb, const FitTolerance& tol,
                 const Fit7* previous, Fit7& fit, FitDeviation& dev);

// Covers [ta, tb] with as few intervals as the tolerance allows, ending intervals only
// at the candidate temperatures `ends` (those strictly inside (ta, tb) are used): each
// interval starts where the previous one ends and reaches the farthest candidate up to
// which a fit stays accurate.  `ok` is set false when some interval could not meet the
// tolerance even up to the nearest candidate (the best attempt is kept).
// `previous` (may be null) is the interval that ends at ta, for continuity.
std::vector<Fit7> FitRange(const ThermoFunction& target, double ta, double tb,
                           const FitTolerance& tol, const std::vector<double>& ends, bool& ok,
                           const Fit7* previous = nullptr);

}  // namespace kvil::dbbuild
