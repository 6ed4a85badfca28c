#include "core/solver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>

#include "common/numfmt.h"
#include "core/session.h"
#include "thermo/bkw.h"
#include "thermo/linear.h"
#include "thermo/species_functions.h"

namespace kvil {

namespace {

constexpr int kPhaseCondensed = 1;
constexpr int kPhaseGas = 2;

constexpr double kStartLnAmount = 1.5;
constexpr double kStartAmount = 4.48169;     // e^1.5 as rounded for the start
constexpr double kStartPotential = -15.0;    // element potentials and condensed ln n
constexpr double kStageSwitchChange = 1e-4;  // stage 0 -> 1, and quiet iterations
constexpr double kConvergedChange = 1e-6;
// Heat-capacity factor of a condensed species in the T column of the S, H, U rows.  A
// factor of 3 (a damping once used here) makes T converge only linearly whenever
// condensed products carry much of the heat capacity (aluminised propellants: 8.6
// iterations per HP point instead of 6.7); the true derivative converges everywhere.
constexpr double kCondensedCp = 1.0;
constexpr double kTraceLnAmount = -20.0;      // ln n below which a species is a trace
constexpr double kTraceSettleChange = 1e-2;  // change after which trace species move freely
// Newton's iteration converges quadratically near the solution: a step of c after a
// step of c0 of the same stage leaves the iterate some c^3 / c0^2 from the solution.
// An iterate whose step is below kQuadraticChange and whose estimated remaining change
// is below kQuadraticRemainder is taken as converged without one more iteration to
// confirm it (that iteration would move it by less than the remainder).
constexpr double kQuadraticChange = 1e-5;
constexpr double kQuadraticRemainder = 1e-10;
constexpr double kUnknownChange = 1e30;  // no step of the stage yet
constexpr int kMaxElementRows = kMaxSystemElements + 1;  // with the charge row
constexpr int kAveragedIterations = 10;
constexpr double kRegularisation = 0.001;     // condensed rows in stage 0
constexpr double kCleanupResidual = 0.1;      // chemical-potential residual
constexpr double kCleanupAmount = 1e-6;       // mol/kg
constexpr double kMinSolutionAmount = 0.001;  // mol/kg
constexpr double kBalanceErrorLimit = 0.1;    // mol/kg
constexpr double kZeroAmount = 1e-20;         // mol/kg
constexpr double kTransitionHalfWidth = 1.0;  // K

const char* ParameterName(int code) {
  switch (code) {
    case 1:
      return "P =";
    case 2:
      return "T =";
    case 3:
      return "V =";
    case 4:
      return "S =";
    case 5:
      return "H =";
    case 6:
      return "U =";
  }
  return "";
}

const char* ParameterUnit(int code) {
  switch (code) {
    case 1:
      return " MPa";
    case 2:
      return " K";
    case 3:
      return " cub.m/kg";
    case 4:
      return " kJ/(kg*K)";
    case 5:
      return " kJ/kg";
    case 6:
      return " kJ/kg";
  }
  return "";
}

// A result holds an assigned value when it differs from it by at most this fraction
// (of the value, or of the scale below for S, H and U, which may pass through 0).
constexpr double kAssignedTolerance = 1e-4;
constexpr double kEntropyScale = 0.01;  // kJ/(kg*K)
constexpr double kEnergyScale = 1.0;    // kJ/kg

// Why the state of a solve is no result: not finite, not physical (p, T, V not
// positive) or not holding an assigned value; empty when it is one.  Whatever the
// solve or the user accepted, such a state reaches neither the report nor the table.
std::string ImplausibleState(const ResultsBlock& r, const int codes[2], const double values[2]) {
  auto text = [](double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return std::string(buf);
  };
  const double state[6] = {r.p, r.T, r.V, r.S, r.H, r.U};
  bool finite = std::isfinite(r.nTotal);
  for (double v : state) finite = finite && std::isfinite(v);
  if (!finite || !(r.p > 0) || !(r.T > 0) || !(r.V > 0))
    return "The state found is not physical: p = " + text(r.p) + " MPa, T = " + text(r.T) +
           " K, V = " + text(r.V) + " cub.m/kg.";
  for (int i = 0; i < 2; ++i) {
    const int c = codes[i];
    if (c < 1 || c > 6) continue;
    const double scale = c == 4 ? kEntropyScale : c >= 5 ? kEnergyScale : 0.0;
    const double found = state[c - 1];
    if (std::fabs(found - values[i]) <= kAssignedTolerance * std::max(std::fabs(values[i]), scale))
      continue;
    return std::string("The state found does not hold the assigned ") +
           (ParameterName(c)[0]) + " = " + text(values[i]) + ParameterUnit(c) + ": it has " +
           text(found) + ParameterUnit(c) + ".";
  }
  return {};
}

// Charge of a gas species from its ion code: 10|z| + 3 for cations, 10|z| + 4 for
// anions; any other code means no charge.
int ChargeOf(int ionCode) {
  if (ionCode <= 0) return 0;
  const int tens = ionCode / 10;
  const int last = ionCode % 10;
  if (tens < 1 || tens > 4) return 0;
  if (last == 3) return tens;
  if (last == 4) return -tens;
  return 0;
}

// The display name of a condensed species up to its phase marker: "H2O(L)" -> "H2O".
std::string_view StrippedName(const std::string& name) {
  const auto pos = name.find('(');
  return pos == std::string::npos ? std::string_view(name) : std::string_view(name).substr(0, pos);
}

// Everything the iteration needs to know about the layout of the system; filled
// once per solve, lives on the stack.
struct Layout {
  int K = 0;   // run species
  int E0 = 0;  // chemical elements
  int E = 0;   // element rows (with the charge row)
  int C = 0;   // condensed species
  int N = 0;   // unknowns
  bool ions = false;
  bool frozen = false;
  // Started from a converged state (a continuation): the condensed species present
  // enter stage 0 without the regularisation of a fresh start (see Assemble).
  bool continued = false;
  int fixedCount = 0;
  Array1<int, kMaxRunSpecies> phase;        // 1, 2 or 0 (no part)
  Array1<int, kMaxRunSpecies> condOrdinal;  // condensed species: 1..C
  Array1<int, kMaxUnknowns> condSpecies;    // species of condensed ordinal q
  Array1<int, kMaxRunSpecies> eosOrdinal;   // gas species with EOS flag 2: 1, 2, ..., else 0
  Array1<bool, kMaxRunSpecies> fixed;
  Array1<double, kMaxRunSpecies> fixedAmount;
  // Coefficients of the element rows: gas species take their charge in the charge
  // row, condensed species the stored code.  Only the rows in use are filled (the
  // block is not cleared: a solve would otherwise spend more on clearing it than on a
  // Newton iteration); the non-zero ones of each species are also listed, in row order.
  struct Coefficients {
    double data[kMaxElementRows * kMaxRunSpecies];
    double& operator()(int j, int k) { return data[(j - 1) * kMaxRunSpecies + (k - 1)]; }
    double operator()(int j, int k) const { return data[(j - 1) * kMaxRunSpecies + (k - 1)]; }
  } a;
  struct NonZero {
    int count;
    int row[kMaxElementRows];
    double value[kMaxElementRows];
    int column[kMaxElementRows];  // offset of the column of row[i]'s potential in the system
  } nonZero[kMaxRunSpecies];  // of species k at k - 1
  const NonZero& Atoms(int k) const { return nonZero[k - 1]; }
  Array1<double, kMaxUnknowns> b;  // right-hand sides of the element rows
  // BKW equation of state (ws.bkw.active): the unknowns u1 and u2 follow the condensed
  // ones, in columns (and rows) colU1 = E + C + 7 and colU2 = E + C + 8.
  bool bkw = false;
  int colU1 = 0, colU2 = 0;
};

long double BalanceError(const CalcWorkspace& ws, const Task& task, int elementCount,
                         int speciesCount) {
  long double worst = 0;
  for (int j = 1; j <= elementCount; ++j) {
    long double sum = 0;
    for (int k = 1; k <= speciesCount; ++k) {
      const int atoms = ws.run.Atoms(j, k);
      if (atoms != 0) sum += static_cast<long double>(atoms) * ws.species.n[k];
    }
    worst = std::max(worst, std::fabs(static_cast<long double>(task.elements[j].amount) - sum));
  }
  return worst;
}

// |H/T - S - sum_j pi_j b_j| over the chemical elements, from X.
double CheckValue(const CalcWorkspace& ws, const Layout& lay) {
  if (lay.fixedCount > 0) return 0;
  const auto& X = ws.X;
  long double v = static_cast<long double>(X[5]) / X[2] - X[4];
  for (int j = 1; j <= lay.E0; ++j) v -= static_cast<long double>(X[6 + j]) * lay.b[j];
  return static_cast<double>(std::fabs(v));
}

// A condensed species whose unknown ln n is not pinned far below (stage 1 keeps the
// regularisation of the phase rows below -10).
bool AnyCondensedPresent(const CalcWorkspace& ws, const Layout& lay) {
  for (int q = 1; q <= lay.C; ++q)
    if (ws.X[lay.E + 6 + q] >= -10.0) return true;
  return false;
}

void EvaluateAllFunctions(CalcWorkspace& ws, const Layout& lay, double T) {
  BeginSpeciesFunctionPass(ws);
  ws.functions.blendHalfWidth = kTransitionHalfWidth;
  ws.functions.mode = 1;
  for (int k = 1; k <= lay.K; ++k) EvaluateSpeciesFunctions(ws, k, T);
}

void Finish(Session& session) {
  if (session.report.IsOpen()) session.report.FlushBlock();
  session.ui.SetProgressPosition(100);
}

// The Newton system in the flat work matrix of the factorisation, column by column,
// the right-hand side in column N + 1: assembled where it is factorised, no copy.
struct SystemView {
  double* m;
  int n;
  double& operator()(int r, int c) const { return m[(c - 1) * n + (r - 1)]; }
};

// Assembles the Newton system at the current iterate into the flat work matrix.
void Assemble(CalcWorkspace& ws, const Layout& lay, int stage, const int codes[2],
              const double converted[2], double volume) {
  const SystemView M{ws.linear.flat.data(), lay.N};
  const auto& sp = ws.species;
  const auto& X = ws.X;
  const auto& cor = ws.corrections;
  const int N = lay.N;
  const int E = lay.E;
  const int rhs = N + 1;
  const int rowGas = 3;
  const int rowS = E + 4, rowH = E + 5, rowU = E + 6;
  const double R = kGasConstantCal;
  const double invR = kInvGasConstantCal;
  const double T0 = X[2];
  const double lambda0 = X[3];

  std::fill_n(ws.linear.flat.data(), N * rhs, 0.0);

  // Rows 1, 2: the assigned parameters.
  for (int i = 0; i < 2; ++i) {
    const int r = i + 1;
    if (codes[i] == 3) {
      M(r, 3) = 1.0;
      M(r, 2) = -1.0 / T0;
      M(r, rhs) = std::log(T0 * kGasConstantVolAtm / volume) - 1.0;
    } else {
      M(r, codes[i]) = 1.0;
      M(r, rhs) = converted[i];
    }
  }

  // Gas law, balances, S, H, U rows: fixed parts.
  M(rowGas, 1) = -std::exp(-lambda0);
  M(rowGas, rhs) = cor.Gc;
  // -p e^-lambda is linearised in lambda with p e^-lambda0 = n_gas - G_c, its value at
  // the solution; the gas terms below bring the n_gas part.  Without the -G_c part a
  // dense gas (p V/(n R T) of 3 and more) overshoots in lambda at every step, and the
  // iteration at an assigned pressure rings for a hundred iterations without settling.
  M(rowGas, 3) -= cor.Gc;
  M(rowGas, rhs) -= cor.Gc * lambda0;
  for (int j = 1; j <= E; ++j) M(3 + j, rhs) = lay.b[j];
  M(rowS, 4) = -1.0;
  M(rowH, 5) = -1.0;
  M(rowU, 6) = -1.0;
  M(rowS, rhs) = cor.Sc;
  M(rowH, rhs) = cor.Hc;
  M(rowU, rhs) = cor.Uc;

  double pcoef[kMaxElementRows];  // of the non-zero coefficients of the species
  // The gas species fill the columns T, lambda, the potentials and the right-hand side of
  // the gas-law, balance, S, H and U rows: reached through column pointers and row
  // indices (0-based) rather than through the (row, column) view, whose index
  // arithmetic was a third of the work here.
  double* const flat = ws.linear.flat.data();
  double* const colT = flat + N;
  double* const colL = flat + 2 * N;
  double* const colR = flat + static_cast<std::size_t>(N) * N;
  const int iGas = rowGas - 1, iS = rowS - 1, iH = rowH - 1, iU = rowU - 1;
  for (int k = 1; k <= lay.K; ++k) {
    const double n0 = sp.n[k];
    const double ln0 = sp.lnn[k];
    const double H = sp.H[k];
    const double S = sp.S[k];
    const double Cp = sp.Cp[k];
    const auto& nz = lay.Atoms(k);
    if (lay.phase[k] == kPhaseGas) {
      // n ~ c + t T + l lambda + sum_j p_j pi_j
      double c, t, l;
      if (lay.fixed[k]) {
        c = lay.fixedAmount[k];
        t = 0;
        l = 0;
        for (int i = 0; i < nz.count; ++i) pcoef[i] = 0;
      } else {
        const double phi = lay.eosOrdinal[k] ? cor.phi[lay.eosOrdinal[k]] : 0.0;
        t = n0 * H * invR / (T0 * T0);
        c = n0 * (S * invR - 2.0 * H * invR / T0 + 1.0 - ln0) + n0 * phi;
        l = -n0;
        for (int i = 0; i < nz.count; ++i) pcoef[i] = nz.value[i] * n0 * invR;
      }
      const int count = nz.count;
      const int* const column = nz.column;
      // Gas law: the species' own -n0 lambda and its share n0 of p e^-lambda0.  (With
      // twice n0 here the lambda column is off by n_gas, the step in lambda comes out
      // half the Newton step and the iteration converges linearly with ratio 1/2: some
      // 13 iterations for a point that takes 5 with the true derivative.)
      colT[iGas] += t;
      colL[iGas] += l + n0;
      for (int i = 0; i < count; ++i) flat[column[i] + iGas] += pcoef[i];
      colR[iGas] += -c + n0 * lambda0;
      // Element and charge balances.
      for (int i = 0; i < count; ++i) {
        const double aj = nz.value[i];
        const int r = iGas + nz.row[i];
        colT[r] += aj * t;
        colL[r] += aj * l;
        for (int m = 0; m < count; ++m) flat[column[m] + r] += aj * pcoef[m];
        colR[r] -= aj * c;
      }
      // Entropy.
      const double tau = S - R * (ln0 + 1.0 + lambda0);
      colT[iS] += tau * t + n0 * Cp / T0;
      colL[iS] += tau * l - n0 * R;
      for (int i = 0; i < count; ++i) flat[column[i] + iS] += tau * pcoef[i];
      colR[iS] += n0 * (Cp - R * (lambda0 + 1.0)) - tau * c;
      // Enthalpy and energy.
      const double U = H - R * T0;
      colT[iH] += H * t + n0 * Cp;
      colL[iH] += H * l;
      // The energy row's temperature derivative is the heat capacity at constant
      // volume, Cp - R; with Cp there the Newton step misjudges how n R T follows T
      // and the pair (H, U) does not converge.
      const double cpU = Cp - R;
      colT[iU] += U * t + n0 * cpU;
      colL[iU] += U * l;
      for (int i = 0; i < count; ++i) {
        flat[column[i] + iH] += H * pcoef[i];
        flat[column[i] + iU] += U * pcoef[i];
      }
      colR[iH] += n0 * Cp * T0 - H * c;
      colR[iU] += n0 * cpU * T0 - U * c;
    } else if (lay.phase[k] == kPhaseCondensed) {
      const int q = lay.condOrdinal[k];
      const int col = E + 6 + q;
      const int row = E + 6 + q;
      // n_k ~ n_k0 (1 + ln n_k - ln n_k0) in the balances and the S, H, U rows.
      for (int i = 0; i < nz.count; ++i) {
        const double aj = nz.value[i];
        M(3 + nz.row[i], col) += aj * n0;
        M(3 + nz.row[i], rhs) += (ln0 - 1.0) * aj * n0;
      }
      M(rowS, col) += S * n0;
      M(rowS, rhs) += (ln0 - 1.0) * S * n0 + kCondensedCp * Cp * n0;
      M(rowS, 2) += kCondensedCp * Cp * n0 / T0;
      M(rowH, col) += H * n0;
      M(rowH, rhs) += (ln0 - 1.0) * H * n0 + kCondensedCp * Cp * n0 * T0;
      M(rowH, 2) += kCondensedCp * Cp * n0;
      M(rowU, col) += H * n0;
      M(rowU, rhs) += (ln0 - 1.0) * H * n0 + kCondensedCp * Cp * n0 * T0;
      M(rowU, 2) += kCondensedCp * Cp * n0;
      // Its own row: the phase equilibrium, or its fixed amount.
      if (lay.fixed[k]) {
        M(row, col) = 1.0;
        M(row, rhs) = std::log(lay.fixedAmount[k]);
      } else {
        for (int j = 1; j <= E; ++j) M(row, 6 + j) = lay.a(j, k);
        M(row, 2) = H / (T0 * T0);
        M(row, rhs) = 2.0 * H / T0 - S - cor.gamma[q];
        // Stage 0 regularises the rows of the condensed species, which keeps the
        // first steps from a fresh start moderate but leaves its fixed point a little
        // off the phase equilibrium (stage 1 then moves it by some 1e-4 and needs a
        // further iteration to confirm).  A start from a converged state has the
        // potentials near already: there, only the species pinned far below are.
        const bool regularise = stage == 0 && !lay.continued;
        if (regularise || X[col] < -10.0) M(row, col) = -kRegularisation;
      }
    }
  }
}

// Solves the Newton system Assemble (and AssembleBkw) left in the work matrix into Y,
// which holds X on entry: unknowns whose columns receive no pivot keep their values.
//
// A condensed species far from its phase equilibrium (ln n below -10, its row
// regularised) is coupled to the rest only through its own row and through its column,
// which carries its amount (below 5e-5 mol/kg) in the balance and the S, H, U rows.  Such
// species are eliminated first, each with its own row as the pivot (Gauss, exactly), the
// remaining system is factorised with complete pivoting, and their ln n follow from
// their rows.  Of a propellant with aluminium the seven condensed candidates, one of
// them present, made the system 19 unknowns instead of 13: the factorisation, growing
// with the cube, was a third of an iteration.  (Not with the BKW terms, whose condensed
// products carry a pressure column too.)
void SolveNewtonSystem(CalcWorkspace& ws, const Layout& lay, Array1<double, kMaxUnknowns>& Y) {
  const int N = lay.N, E = lay.E;
  auto& lin = ws.linear;
  double* m = lin.flat.data();
  auto at = [m, N](int r, int c) -> double& { return m[(c - 1) * N + (r - 1)]; };
  Array1<double, kMaxUnknowns> rhsColumn;

  int absentCount = 0;
  int absent[kMaxUnknowns];
  bool isAbsent[kMaxUnknowns + 2] = {};
  if (!lay.bkw) {
    for (int q = 1; q <= lay.C && q <= kMaxUnknowns; ++q) {
      const int i = E + 6 + q;
      if (i > N || lay.fixed[lay.condSpecies[q]] || !(ws.X[i] < -10.0)) continue;
      if (at(i, i) != -kRegularisation) continue;
      absent[absentCount++] = i;
      isAbsent[i] = true;
    }
  }
  if (absentCount == 0) {
    for (int r = 1; r <= N; ++r) rhsColumn[r] = at(r, N + 1);
    const int pivots = FactorFullPivot(lin, N, N);
    SolveFactored(lin, rhsColumn, pivots, N, Y);
    return;
  }

  // Their rows as assembled (for their ln n afterwards), then their elimination from the
  // other rows.
  const int cols = N + 1;
  double absentRows[kMaxUnknowns][kMaxUnknowns + 1];
  for (int a = 0; a < absentCount; ++a)
    for (int c = 1; c <= cols; ++c) absentRows[a][c - 1] = at(absent[a], c);
  for (int a = 0; a < absentCount; ++a) {
    const int q = absent[a];
    const double* rowQ = absentRows[a];
    const double pivot = rowQ[q - 1];
    for (int r = 1; r <= N; ++r) {
      if (isAbsent[r]) continue;
      const double v = at(r, q);
      if (v == 0.0) continue;
      const double f = v / pivot;
      for (int c = 1; c <= cols; ++c)
        if (!isAbsent[c] && rowQ[c - 1] != 0.0) at(r, c) -= f * rowQ[c - 1];
    }
  }

  // The rest, compressed into the work matrix.
  int kept[kMaxUnknowns + 1];
  int n = 0;
  for (int i = 1; i <= N; ++i)
    if (!isAbsent[i]) kept[++n] = i;
  double reduced[kMaxUnknowns * (kMaxUnknowns + 1)];
  for (int c = 1; c <= n; ++c)
    for (int r = 1; r <= n; ++r) reduced[(c - 1) * n + (r - 1)] = at(kept[r], kept[c]);
  for (int r = 1; r <= n; ++r) rhsColumn[r] = at(kept[r], cols);
  std::copy_n(reduced, n * n, m);
  Array1<double, kMaxUnknowns> y;
  for (int i = 1; i <= n; ++i) y[i] = Y[kept[i]];
  const int pivots = FactorFullPivot(lin, n, n);
  SolveFactored(lin, rhsColumn, pivots, n, y);
  for (int i = 1; i <= n; ++i) Y[kept[i]] = y[i];

  // ln n of the eliminated species from their rows.
  for (int a = 0; a < absentCount; ++a) {
    const int q = absent[a];
    const double* rowQ = absentRows[a];
    long double sum = rowQ[cols - 1];
    for (int c = 1; c <= N; ++c)
      if (!isAbsent[c] && rowQ[c - 1] != 0.0) sum -= static_cast<long double>(rowQ[c - 1]) * Y[c];
    Y[q] = static_cast<double>(sum / rowQ[q - 1]);
  }
}

// ---- BKW equation of state in the Newton system ------------------------------------
//
// With the BKW equation (thermo/bkw.h) the residual chemical potential of gas species i
// is (u1 + k_i u2) R T; u1 and u2 are two further unknowns with two further rows that
// tie them to the state: u1 = (e^(beta x) - 1)/beta and u2 = e^(beta x) s N, where
// s = kappa/(V_g (T + theta)^alpha) and x = s K (N the gas amount, K = sum n_i k_i,
// V_g = 1e6 Rv T e^-lambda cm3/kg).  A gas amount is linear in the unknowns as
// n_i0 (1 + y_i - ln n_i0) with y_i carrying -u1 - k_i u2; the gas law reads
// N + K u2 - e^-lambda p = 0; the S, H and U rows gain the residual functions
// R (-N u1 + alpha T K u2/(T + theta)), R K u2 (T + alpha T^2/(T + theta)) and
// R K u2 alpha T^2/(T + theta); condensed products take their Gibbs energy under
// pressure, and an assigned volume is the gas volume plus the condensed one.  Every
// term enters with its exact derivative, so that the iteration stays quadratic.

// The gas of the BKW equation at the iterate.
struct BkwIterate {
  double N = 0, K = 0;  // mol/kg, cm3/kg
  double Vg = 0;        // cm3/kg
  double s = 0;         // kappa/(V_g (T + theta)^alpha)
  double x = 0, E = 1;  // x and e^(beta x), continued linearly beyond kBkwMaxBetaX
  double Ex = 1;        // dE/dx / beta: E within the domain, E at its bound beyond
  double g = 0;         // s N
  double f1 = 0, f2 = 0;  // u1 and u2 of the iterate's state
  double cT = 0;        // -d ln s/dT = 1/T + alpha/(T + theta)
};

BkwIterate BkwAtIterate(const CalcWorkspace& ws, const Layout& lay, const BkwParameters& set) {
  BkwIterate b;
  for (int k = 1; k <= lay.K; ++k) {
    if (lay.phase[k] != kPhaseGas) continue;
    b.N += ws.species.n[k];
    b.K += ws.species.n[k] * ws.bkw.covolume[k];
  }
  const double T = ws.X[2];
  b.Vg = 1e6 * kGasConstantVolAtm * T * std::exp(-ws.X[3]);
  b.s = set.kappa / (b.Vg * std::pow(T + set.theta, set.alpha));
  b.x = b.s * b.K;
  // Beyond its domain (an iterate on the way, never a solution: FinishBkw tells) the
  // exponential goes on as its tangent at the bound: finite, and rising, so that the
  // iteration is led back instead of resting where the function would be cut flat.
  // (beta x held at 1e4 on that line: an iterate near lambda's bound of 500 has x of
  // 1e200 and more, and e^(beta x) g must stay a finite number.)
  const double bx = std::min(set.beta * b.x, 1e4);
  const double bound = std::min(bx, kBkwMaxBetaX);
  b.Ex = std::exp(bound);
  b.E = b.Ex * (1 + (bx - bound));
  b.g = b.s * b.N;
  b.f1 = (b.E - 1) / set.beta;
  if (bx <= kBkwMaxBetaX) b.f1 = std::expm1(bx) / set.beta;
  b.f2 = b.E * b.g;
  b.cT = 1 / T + set.alpha / (T + set.theta);
  return b;
}

// A condensed product at the iterate in the solver's units: Gibbs energy, entropy,
// enthalpy, heat capacity (cal, mol), volume (cal/(mol atm) and cm3/mol) and its
// derivatives.
struct CondensedIterate {
  double G = 0, S = 0, H = 0, Cp = 0;
  double V = 0, Vp = 0, VT = 0;  // cal/(mol atm), cal/(mol atm^2), cal/(mol atm K)
  double cm3 = 0, cm3p = 0, cm3T = 0;  // cm3/mol, cm3/(mol atm), cm3/(mol K)
};

CondensedIterate CondensedAt(const CalcWorkspace& ws, int k, double pAtm, double T) {
  const CondensedState c = EvaluateCondensed(ws.bkw.condensedEos[k], ws.run.molarMass[k],
                                             ws.run.sigma[k], pAtm * kAtmToMPa, T);
  CondensedIterate q;
  q.G = c.G * kJToCal;
  q.S = c.S * kJToCal;
  q.H = c.H * kJToCal;
  q.Cp = c.Cp * kJToCal;
  q.V = c.V * kAtmToMPa * kJToCal;
  q.Vp = c.dVdp * kAtmToMPa * kAtmToMPa * kJToCal;
  q.VT = c.dVdT * kAtmToMPa * kJToCal;
  q.cm3 = c.V;
  q.cm3p = c.dVdp * kAtmToMPa;
  q.cm3T = c.dVdT;
  return q;
}

// Condensed volume of the current amounts at the iterate, m3/kg.
double CondensedVolumeAt(const CalcWorkspace& ws, const Layout& lay, double pAtm, double T) {
  double v = 0;
  for (int k = 1; k <= lay.K; ++k)
    if (lay.phase[k] == kPhaseCondensed && ws.species.n[k] > 0)
      v += ws.species.n[k] * CondensedAt(ws, k, pAtm, T).cm3 * 1e-6;
  return v;
}

// Adds the BKW terms to the system Assemble has written.  volume: the assigned volume
// (gas and condensed), m3/kg.
void AssembleBkw(CalcWorkspace& ws, const Layout& lay, const int codes[2], double volume) {
  const SystemView M{ws.linear.flat.data(), lay.N};
  const BkwParameters& set = BkwParameterSet(ws.bkw.parameterSet);
  const auto& sp = ws.species;
  const auto& X = ws.X;
  const int E = lay.E, rhs = lay.N + 1;
  const int rowGas = 3, rowS = E + 4, rowH = E + 5, rowU = E + 6;
  const int U1 = lay.colU1, U2 = lay.colU2;
  const double R = kGasConstantCal, invR = kInvGasConstantCal;
  const double T0 = X[2], lambda0 = X[3], p0 = X[1];
  const double u10 = X[U1], u20 = X[U2];
  const BkwIterate b = BkwAtIterate(ws, lay, set);
  const double beta = set.beta, alpha = set.alpha, tp = T0 + set.theta;
  // Temperature factors of S_res, U_res, H_res and their derivatives.
  const double aS = alpha * T0 / tp, aST = alpha * set.theta / (tp * tp);
  const double gU = alpha * T0 * T0 / tp, gUT = alpha * T0 * (T0 + 2 * set.theta) / (tp * tp);
  const double hH = T0 + gU, hHT = 1 + gUT;

  // Gas species: the u columns of the rows Assemble filled, and the further weights of
  // their linear forms in the gas law, S, H, U and the two BKW rows.
  for (int k = 1; k <= lay.K; ++k) {
    if (lay.phase[k] != kPhaseGas) continue;
    const double n0 = sp.n[k], H = sp.H[k], ki = ws.bkw.covolume[k];
    const auto& nz = lay.Atoms(k);
    double c, t = 0, l = 0, cu1 = 0, cu2 = 0;
    double pj[kMaxElementRows] = {};
    if (lay.fixed[k]) {
      c = lay.fixedAmount[k];
    } else {
      c = n0 * (sp.S[k] * invR - 2.0 * H * invR / T0 + 1.0 - sp.lnn[k]);
      t = n0 * H * invR / (T0 * T0);
      l = -n0;
      cu1 = -n0;
      cu2 = -n0 * ki;
      for (int i = 0; i < nz.count; ++i) pj[i] = nz.value[i] * n0 * invR;
    }
    auto uColumns = [&](int row, double w) {
      M(row, U1) += w * cu1;
      M(row, U2) += w * cu2;
    };
    auto form = [&](int row, double w) {
      if (w == 0) return;
      M(row, 2) += w * t;
      M(row, 3) += w * l;
      for (int i = 0; i < nz.count; ++i) M(row, 6 + nz.row[i]) += w * pj[i];
      uColumns(row, w);
      M(row, rhs) -= w * c;
    };
    uColumns(rowGas, 1.0);
    for (int i = 0; i < nz.count; ++i) uColumns(3 + nz.row[i], nz.value[i]);
    uColumns(rowS, sp.S[k] - R * (sp.lnn[k] + 1.0 + lambda0));
    uColumns(rowH, H);
    uColumns(rowU, H - R * T0);
    form(rowGas, u20 * ki);
    form(rowS, R * (-u10 + aS * u20 * ki));
    form(rowH, R * hH * u20 * ki);
    form(rowU, R * gU * u20 * ki);
    form(U1, -b.Ex * b.s * ki);
    form(U2, -(b.Ex * b.g * beta * b.s * ki + b.E * b.s));
  }

  // Gas law: K u2 and its share of p e^-lambda (whose lambda derivative Assemble took
  // as N, the value at the solution being N + K u2).
  M(rowGas, U2) += b.K;
  M(rowGas, rhs) += b.K * u20;
  M(rowGas, 3) += b.K * u20;
  M(rowGas, rhs) += b.K * u20 * lambda0;
  // Residual entropy, enthalpy and energy.
  M(rowS, U1) += -R * b.N;
  M(rowS, U2) += R * aS * b.K;
  M(rowS, 2) += R * aST * b.K * u20;
  M(rowS, rhs) += -R * b.N * u10 + R * aS * b.K * u20 + R * aST * b.K * u20 * T0;
  M(rowH, U2) += R * hH * b.K;
  M(rowH, 2) += R * hHT * b.K * u20;
  M(rowH, rhs) += R * hH * b.K * u20 + R * hHT * b.K * u20 * T0;
  M(rowU, U2) += R * gU * b.K;
  M(rowU, 2) += R * gUT * b.K * u20;
  M(rowU, rhs) += R * gU * b.K * u20 + R * gUT * b.K * u20 * T0;
  // u1 = (e^(beta x) - 1)/beta, d u1 = e^(beta x) dx, dx = s dK + x dlambda - x cT dT.
  const double shift = 1.0 + lambda0 - b.cT * T0;
  M(U1, U1) += 1.0;
  M(U1, 3) += -b.Ex * b.x;
  M(U1, 2) += b.Ex * b.x * b.cT;
  M(U1, rhs) += b.f1 - b.Ex * b.x * shift;
  // u2 = e^(beta x) g, g = s N: d u2 = e^(beta x) (g beta dx + s dN + g dlambda - g cT dT).
  const double xTerm = b.Ex * b.g * beta * b.x + b.E * b.g;
  M(U2, U2) += 1.0;
  M(U2, 3) += -xTerm;
  M(U2, 2) += xTerm * b.cT;
  M(U2, rhs) += b.f2 - xTerm * shift;

  // Condensed products under pressure: their phase rows, S, H and U rows, and the
  // condensed volume of an assigned volume.
  double vc0 = 0, dVcdp = 0, dVcdT = 0, vcShift = 0;
  Array1<double, kMaxUnknowns> dVcdLn;
  for (int q = 1; q <= lay.C && q <= kMaxUnknowns; ++q) {
    const int k = lay.condSpecies[q];
    const int col = E + 6 + q;
    dVcdLn[q] = 0;
    const double n0 = sp.n[k], ln0 = sp.lnn[k];
    const CondensedIterate ci = CondensedAt(ws, k, p0, T0);
    if (!lay.fixed[k]) {
      const int row = col;
      M(row, 1) += -ci.V / T0;
      M(row, 2) += (ci.H) / (T0 * T0);
      M(row, rhs) += ci.G / T0 - ci.V * p0 / T0 + ci.H / T0;
    }
    auto add = [&](int row, double v, double vp, double vT) {
      M(row, col) += v * n0;
      M(row, 1) += n0 * vp;
      M(row, 2) += n0 * vT;
      M(row, rhs) += n0 * v * (ln0 - 1.0) + n0 * vp * p0 + n0 * vT * T0;
    };
    add(rowS, ci.S, -ci.VT, ci.Cp / T0);
    add(rowH, ci.H, ci.V - T0 * ci.VT, ci.Cp);
    add(rowU, ci.H - p0 * ci.V, -T0 * ci.VT - p0 * ci.Vp, ci.Cp - p0 * ci.VT);
    vc0 += n0 * ci.cm3 * 1e-6;
    dVcdLn[q] = n0 * ci.cm3 * 1e-6;
    dVcdp += n0 * ci.cm3p * 1e-6;
    dVcdT += n0 * ci.cm3T * 1e-6;
    vcShift += n0 * (ci.cm3 * ln0 + ci.cm3p * p0 + ci.cm3T * T0) * 1e-6;
  }
  for (int i = 0; i < 2; ++i) {
    if (codes[i] != 3) continue;
    const int r = i + 1;
    // lambda = ln(Rv T/V_g), V_g = V - V_c(n_c, p, T).
    double vg0 = volume - vc0;
    if (!(vg0 > 1e-3 * volume)) vg0 = 1e-3 * volume;
    M(r, rhs) = std::log(T0 * kGasConstantVolAtm / vg0) - 1.0 - vcShift / vg0;
    M(r, 1) += -dVcdp / vg0;
    M(r, 2) += -dVcdT / vg0;
    for (int q = 1; q <= lay.C && q <= kMaxUnknowns; ++q) M(r, E + 6 + q) += -dVcdLn[q] / vg0;
  }
}

// Starting values of a BKW solve: the gas volume (an assigned pressure) or the pressure
// (an assigned volume) of the BKW gas at the start's temperature and amounts, and u1,
// u2 of that state.  A continued solve keeps the unknowns of the BKW solve before.
void StartBkwUnknowns(CalcWorkspace& ws, const Layout& lay, const int codes[2],
                      const double converted[2], double volume, bool fresh) {
  auto& X = ws.X;
  if (!fresh && ws.bkw.unknownsValid) {
    X[lay.colU1] = ws.bkw.u1;
    X[lay.colU2] = ws.bkw.u2;
    return;
  }
  const BkwParameters& set = BkwParameterSet(ws.bkw.parameterSet);
  const double T = X[2];
  const bool vAssigned = codes[0] == 3 || codes[1] == 3;
  const bool pAssigned = codes[0] == 1 || codes[1] == 1;
  double N = 0, K = 0;
  for (int k = 1; k <= lay.K; ++k)
    if (lay.phase[k] == kPhaseGas) {
      N += ws.species.n[k];
      K += ws.species.n[k] * ws.bkw.covolume[k];
    }
  // Gas pressure (atm) of the BKW gas at V_g (m3/kg).
  auto pressure = [&](double vg) {
    const BkwGasState g = EvaluateBkwGas(set, kGasConstantJ, T, vg * 1e6, N, K);
    return g.p * kMPaToAtm;
  };
  if (N > 0 && T > 0) {
    if (pAssigned) {
      const double p = pAssigned && codes[0] == 1 ? converted[0] : converted[1];
      // p(V_g) falls with V_g: bisection on ln V_g.
      double lo = std::log(1e-9), hi = std::log(1e6);
      for (int i = 0; i < 200 && hi - lo > 1e-12; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (pressure(std::exp(mid)) > p)
          lo = mid;
        else
          hi = mid;
      }
      X[3] = std::log(T * kGasConstantVolAtm / std::exp(0.5 * (lo + hi)));
    } else if (vAssigned) {
      double p = std::max(X[1], 1.0);
      for (int i = 0; i < 5; ++i) {
        double vg = volume - CondensedVolumeAt(ws, lay, p, T);
        if (!(vg > 1e-3 * volume)) vg = 1e-3 * volume;
        X[3] = std::log(T * kGasConstantVolAtm / vg);
        p = pressure(vg);
      }
      X[1] = p;
    } else {
      X[1] = pressure(T * kGasConstantVolAtm / std::exp(X[3]));
    }
  }
  const BkwIterate b = BkwAtIterate(ws, lay, set);
  X[lay.colU1] = b.f1;
  X[lay.colU2] = b.f2;
}

// The frozen mixture at assigned T and p or V: no iteration.
int SolveFrozenMixture(Session& session, const Layout& lay, int c1, int c2, double v1, double v2) {
  CalcWorkspace& ws = session.ws;
  auto& sp = ws.species;
  auto& res = ws.results;
  double T = res.T, p = res.p, V = res.V;
  bool pAssigned = false, vAssigned = false;
  const int codes[2] = {c1, c2};
  const double values[2] = {v1, v2};
  for (int i = 0; i < 2; ++i) {
    if (codes[i] == 1) p = values[i], pAssigned = true;
    if (codes[i] == 2) T = values[i];
    if (codes[i] == 3) V = values[i], vAssigned = true;
  }
  EvaluateAllFunctions(ws, lay, T);

  long double S = 0, H = 0, Cp = 0, nTotal = 0;
  for (int pass = 1; pass <= 2; ++pass) {
    long double nGas = 0;
    for (int k = 1; k <= lay.K; ++k)
      if (ws.run.Phase(k) != kPhaseCondensed) nGas += sp.n[k];
    if (!pAssigned) p = static_cast<double>(T * kGasConstantJ * nGas * 1e-6 / V);
    if (!vAssigned) V = static_cast<double>(T * kGasConstantJ * nGas * 1e-6 / p);
    const double pAtm = p * kMPaToAtm;
    S = H = Cp = nTotal = 0;
    for (int k = 1; k <= lay.K; ++k) {
      const double n = sp.n[k];
      S += sp.S[k] * n;
      H += sp.H[k] * n;
      Cp += sp.Cp[k] * n;
      nTotal += n;
      if (lay.phase[k] == kPhaseGas && n > 0 && nGas > 0)
        S -= kGasConstantCalMixing * n * std::log(n * pAtm / static_cast<double>(nGas));
    }
    if (pass == 2) break;
    bool exchanged = false;
    for (int g = 1; g <= lay.K; ++g) {
      if (lay.phase[g] != kPhaseGas) continue;
      for (int q = 1; q <= lay.C; ++q) {
        const int c = lay.condSpecies[q];
        if (StrippedName(ws.run.names[c]) != std::string_view(ws.run.names[g])) continue;
        const double gCond = sp.H[c] - T * sp.S[c];
        const double gGas = sp.H[g] - T * sp.S[g];
        if (gCond < gGas && sp.n[c] < sp.n[g]) {
          std::swap(sp.n[c], sp.n[g]);
          std::swap(sp.lnn[c], sp.lnn[g]);
          std::swap(sp.nSingle[c], sp.nSingle[g]);
          exchanged = true;
        }
      }
    }
    if (!exchanged) break;
  }
  res.p = p;
  res.T = T;
  res.V = V;
  res.S = static_cast<double>(S) * kCalToKJFrozen;
  res.H = static_cast<double>(H) * kCalToKJFrozen;
  res.U = res.H - p * 1e3 * V;
  res.Cp = static_cast<double>(Cp) * kCalToKJ;
  res.nTotal = static_cast<double>(nTotal);
  res.saved = {res.p, res.T, res.V, res.S, res.H, res.U, res.Cp, res.nTotal};
  return kSolveOk;
}

// In a cool gas every charged species is a trace, and the charge balance is carried by
// them alone: its row is of the order of their amounts (below the pivot tolerance when
// they are some e^-45), and Newton's step, linear in the amounts, moves them by at most
// a factor e per iteration towards neutrality, so that from a start far off (a fresh
// start, or the point before at a far higher temperature) the ions are still on their
// way when everything else has converged.  Neutrality is then restored directly: the
// charge potential is moved by the R*d that makes sum q_k n_k e^(q_k d) = 0, and the
// charged species with it.  With ions above the trace level Newton's step is kept.
void BalanceTraceCharges(CalcWorkspace& ws, const Layout& lay) {
  auto& sp = ws.species;
  const int row = lay.E;
  Array1<int, kMaxRunSpecies> charged;  // free gas species with a charge
  int count = 0;
  double top = -std::numeric_limits<double>::infinity();
  bool positive = false, negative = false;
  for (int k = 1; k <= lay.K; ++k) {
    if (lay.phase[k] != kPhaseGas || lay.fixed[k] || lay.a(row, k) == 0) continue;
    if (sp.lnn[k] >= kTraceLnAmount) return;
    charged[++count] = k;
    positive = positive || lay.a(row, k) > 0;
    negative = negative || lay.a(row, k) < 0;
    top = std::max(top, sp.lnn[k]);
  }
  if (!positive || !negative) return;
  // g(d) = ln(sum over cations) - ln(sum over anions), increasing in d: Newton's
  // iteration (one step when every charge is +-1).
  double d = 0;
  for (int step = 0; step < 50; ++step) {
    double plus = 0, minus = 0, plus2 = 0, minus2 = 0;
    for (int i = 1; i <= count; ++i) {
      const int k = charged[i];
      const double q = lay.a(row, k);
      const double e = std::exp(std::clamp(sp.lnn[k] + q * d - top, -700.0, 700.0));
      if (q > 0) {
        plus += q * e;
        plus2 += q * q * e;
      } else {
        minus -= q * e;
        minus2 += q * q * e;
      }
    }
    if (!(plus > 0) || !(minus > 0)) return;
    const double delta = -(std::log(plus) - std::log(minus)) / (plus2 / plus + minus2 / minus);
    if (!std::isfinite(delta)) return;
    d += delta;
    if (std::fabs(delta) < 1e-12) break;
  }
  ws.X[6 + row] += d / kInvGasConstantCal;
  for (int i = 1; i <= count; ++i) {
    const int k = charged[i];
    sp.lnn[k] = std::clamp(sp.lnn[k] + lay.a(row, k) * d, -50.0, 10.0);
    sp.n[k] = std::exp(sp.lnn[k]);
  }
}

// Takes the Newton solution Y into the amounts and the unknowns X with the step limits
// of the iteration and returns the largest relative change.  T0 is the temperature at
// which the system was assembled.
double UpdateFromSolution(CalcWorkspace& ws, const Layout& lay, int stage, double T0,
                          bool limitTemperatureToBounds, bool traceFree, bool& amountStepCut,
                          double& traceChange) {
  amountStepCut = false;
  traceChange = 0;
  auto& sp = ws.species;
  auto& X = ws.X;
  auto& Y = ws.Y;
  const int E = lay.E;
  const double invR = kInvGasConstantCal;
  double change = 0;

  // Species amounts: condensed from their unknowns, gas from the linear form at the
  // new solution, with step limits.
  if (!lay.frozen) {
    for (int k = 1; k <= lay.K; ++k) {
      if (lay.phase[k] == kPhaseCondensed) {
        sp.lnn[k] = X[E + 6 + lay.condOrdinal[k]];
        sp.n[k] = std::exp(sp.lnn[k]);
      } else if (lay.phase[k] == kPhaseGas) {
        double y;
        if (lay.fixed[k]) {
          y = std::log(lay.fixedAmount[k]);
        } else {
          const double H = sp.H[k];
          y = H * invR / (T0 * T0) * Y[2] - Y[3] + sp.S[k] * invR - 2.0 * H * invR / T0;
          if (lay.eosOrdinal[k]) y += ws.corrections.phi[lay.eosOrdinal[k]];
          if (lay.bkw) y -= Y[lay.colU1] + ws.bkw.covolume[k] * Y[lay.colU2];
          const auto& nz = lay.Atoms(k);
          for (int i = 0; i < nz.count; ++i) y += nz.value[i] * Y[6 + nz.row[i]] * invR;
        }
        const double old = sp.lnn[k];
        // A trace species (below e^-20, outside the convergence test) takes its value
        // from the potentials without step limits once the iteration is close (stage
        // 1, or a small change before): its amount does not weigh in the balances, and
        // with the limits it would still be on its way when the potentials have
        // converged.
        const bool trace = (stage == 1 || traceFree) && old < kTraceLnAmount;
        if (!trace) {
          // A limit that the bounds of ln n would have reached anyway (a species held at
          // -50 whose potentials ask for less) holds nothing back.
          const double up = old < -7.0 ? 5.0 : 1.0;
          const double free = std::clamp(y, -50.0, 10.0);
          if (y - old > up) y = old + up;
          if (y - old < -3.0) y = old - 3.0;
          if (std::clamp(y, -50.0, 10.0) != free) amountStepCut = true;
        }
        y = std::clamp(y, -50.0, 10.0);
        sp.n[k] = stage == 0 || trace ? std::exp(y) : std::exp(old) * (1.0 + y - old);
        sp.lnn[k] = y;
        if (std::fabs(y) >= 0.5 && y >= kTraceLnAmount)
          change = std::max(change, std::fabs((y - old) / y));
        else if (y < kTraceLnAmount)
          traceChange = std::max(traceChange, std::fabs((y - old) / y));
      }
    }
  }

  // With S, H or U assigned the temperature crosses at most one interval bound
  // of the species functions per iteration.
  if (limitTemperatureToBounds) {
    if (Y[2] > ws.functions.smallestTmax)
      Y[2] = ws.functions.smallestTmax + 0.001;
    else if (Y[2] < ws.functions.largestTmin)
      Y[2] = ws.functions.largestTmin - 0.001;
  }

  // State unknowns with their largest steps.
  for (int u = 1; u <= 6; ++u) {
    const double old = X[u];
    double now = Y[u];
    double limit;
    switch (u) {
      case 1:
        limit = 0.2 * std::fabs(old);
        break;
      case 2:
        limit = 200.0;
        break;
      case 3:
        limit = std::fabs(old) > 1.0 ? (stage == 0 ? 0.5 * std::fabs(old) : 1.0) : 0.5;
        break;
      case 4:
        limit = 0.5 * std::fabs(old);
        break;
      default:
        limit = 1e9;
        break;
    }
    if (std::fabs(now - old) > limit) now = old + std::copysign(limit, now - old);
    if (std::fabs(old) >= 1e-6 && (u <= 4 || std::fabs(now) >= 1000.0))
      change = std::max(change, std::fabs((now - old) / old));
    X[u] = now;
  }
  if (X[2] < 1.0) X[2] = 1.0;
  if (X[3] > 500.0) X[3] = 500.0;

  // Element potentials take the new solution as it is.
  for (int j = 1; j <= E; ++j) X[6 + j] = Y[6 + j];
  if (lay.ions && !lay.frozen) BalanceTraceCharges(ws, lay);

  // Condensed unknowns ln n.
  for (int q = 1; q <= lay.C; ++q) {
    const int i = E + 6 + q;
    const double old = X[i];
    double now = Y[i];
    const double up = old < -7.0 ? 5.0 : 1.0;
    if (now - old > up) now = old + up;
    if (stage == 0 && now - old <= -3.0) now = old - 3.0;
    now = std::clamp(now, -50.0, 5.0);
    if (std::fabs(now) >= 0.5 && (stage == 0 || old >= -30.0 || now >= -30.0))
      change = std::max(change, 0.1 * std::fabs((now - old) / now));
    X[i] = now;
  }

  // BKW unknowns: u1 and k u2 are terms of ln n, their changes count as such (k the
  // mean covolume of the gas).
  if (lay.bkw) {
    double N = 0, K = 0;
    for (int k = 1; k <= lay.K; ++k)
      if (lay.phase[k] == kPhaseGas) {
        N += sp.n[k];
        K += sp.n[k] * ws.bkw.covolume[k];
      }
    const double kMean = N > 0 ? K / N : 0;
    const double u1 = std::max(0.0, Y[lay.colU1]), u2 = std::max(0.0, Y[lay.colU2]);
    change = std::max(change, std::fabs(u1 - X[lay.colU1]));
    change = std::max(change, std::fabs(u2 - X[lay.colU2]) * kMean);
    X[lay.colU1] = u1;
    X[lay.colU2] = u2;
  }
  return change;
}

// The BKW state of a converged solve: the unknowns for a continued solve, x, F, the
// condensed volume and whether the state lies within the equation's domain.
void FinishBkw(CalcWorkspace& ws, const Layout& lay) {
  BkwRunData& bkw = ws.bkw;
  bkw.u1 = ws.X[lay.colU1];
  bkw.u2 = ws.X[lay.colU2];
  bkw.unknownsValid = true;
  double N = 0, K = 0;
  for (int k = 1; k <= lay.K; ++k)
    if (lay.phase[k] == kPhaseGas) {
      N += ws.species.n[k];
      K += ws.species.n[k] * bkw.covolume[k];
    }
  const ResultsBlock& r = ws.results;
  const BkwGasState g = EvaluateBkwGas(BkwParameterSet(bkw.parameterSet), kGasConstantJ, r.T,
                                       r.V * 1e6, N, K);
  bkw.x = g.x;
  bkw.F = g.F;
  bkw.inDomain = g.inDomain;
  bkw.condensedVolume = CondensedVolumeAt(ws, lay, ws.X[1], ws.X[2]);
}

// Derivatives of the converged state from the Newton matrix at the solution, assembled
// for the pair of assigned parameters each derivative holds fixed: (T, V) for Cv and
// (dp/dT)_V, (T, p) for Cp and (dV/dT)_p, (V, S) for the sound velocity.  The solution
// of J d = e_r is the derivative of the unknowns with respect to the value assigned in
// row r.  V is the whole volume: the gas volume of lambda and, with the BKW terms, the
// condensed one.
void ComputeEquilibriumDerivatives(CalcWorkspace& ws, const Layout& lay) {
  EquilibriumDerivatives& d = ws.derivatives;
  d.valid = false;
  const auto& X = ws.X;
  const int N = lay.N, E = lay.E;
  const double T = X[2];
  const double vg = T * kGasConstantVolAtm / std::exp(std::min(X[3], 50.0));
  const double vc = lay.bkw ? CondensedVolumeAt(ws, lay, X[1], T) : 0.0;
  const double volume = vg + vc;
  Layout settled = lay;
  settled.continued = true;  // the phase rows of the products present as they stand
  Array1<double, kMaxUnknowns> rhsColumn, dX;
  // Solves with the pair (c1, c2) for a unit change of the value of c1.
  auto derivative = [&](int c1, int c2, double rhsPerUnit) {
    const int codes[2] = {c1, c2};
    const double converted[2] = {X[c1 == 3 ? 3 : c1], X[c2 == 3 ? 3 : c2]};
    Assemble(ws, settled, 1, codes, converted, lay.bkw ? volume : vg);
    if (lay.bkw) AssembleBkw(ws, settled, codes, volume);
    for (int r = 1; r <= N; ++r) {
      rhsColumn[r] = 0;
      dX[r] = 0;
    }
    rhsColumn[1] = rhsPerUnit;
    const int pivots = FactorFullPivot(ws.linear, N, N);
    SolveFactored(ws.linear, rhsColumn, pivots, N, dX);
    return pivots == N;
  };
  // Whole volume change of a solution dX (m3/kg).
  auto volumeChange = [&]() {
    double dv = vg * (dX[2] / T - dX[3]);
    for (int q = 1; q <= lay.C && q <= kMaxUnknowns; ++q) {
      const int k = lay.condSpecies[q];
      const double n = ws.species.n[k];
      if (!(n > 0)) continue;
      if (lay.bkw) {
        const CondensedIterate ci = CondensedAt(ws, k, X[1], T);
        dv += n * 1e-6 * (ci.cm3 * dX[E + 6 + q] + ci.cm3p * dX[1] + ci.cm3T * dX[2]);
      }
    }
    return dv;
  };
  bool regular = derivative(2, 3, 1.0);  // per K at fixed V
  d.Cv = dX[6] * kCalToKJ;
  d.dpdT = dX[1] * kAtmToMPa;
  regular = derivative(2, 1, 1.0) && regular;  // per K at fixed p
  d.Cp = dX[5] * kCalToKJ;
  d.dVdT = volumeChange();
  // Per m3/kg of the whole volume at fixed S: the row holds ln(Rv T/V_g).
  regular = derivative(3, 4, -1.0 / vg) && regular;
  const double dpdV = dX[1] * kAtmToMPa;  // MPa per m3/kg
  const double a2 = -volume * volume * dpdV * 1e6;
  d.soundSpeed = a2 > 0 ? std::sqrt(a2) : 0;
  d.valid = regular && a2 > 0 && std::isfinite(d.Cp) && std::isfinite(d.Cv);
}

}  // namespace

double MaterialBalanceError(const Session& session) {
  return static_cast<double>(
      BalanceError(session.ws, session.task, session.task.elementCount, session.ws.run.count));
}

void ResetNonIdealCorrections(Session& session) {
  session.ws.corrections = NonIdealCorrections{};
  session.ws.eos = EosState{};
}

int SolveEquilibrium(Session& session, float value1, float value2, int& code, int speciesCount,
                     int elementCount) {
  CalcWorkspace& ws = session.ws;
  const Task& task = session.task;
  auto& sp = ws.species;
  auto& X = ws.X;
  auto& Y = ws.Y;
  auto& res = ws.results;

  const int L = code / 10000;
  const int c1 = (code / 100) % 10;
  const int c2 = (code / 10) % 10;
  code = kSolveNoSolution;
  ws.state.solverIterations = 0;
  ws.state.solverChange = 0;

  // Start: progress, cleared result slots, labels.
  session.ui.SetProgressPosition(0);
  res.gasVolume = res.soundSpeed = res.kEquilibrium = res.CpEquilibrium = 0;
  res.CvEquilibrium = res.CvFrozen = res.kFrozen = res.aFrozen = 0;
  res.cpUnbounded = res.cvUnbounded = false;
  res.lambdaFrozen = res.lambdaReacting = res.viscosity = 0;

  if (session.ui.ShowsProgressLabels()) {
    ProgressLabels labels;
    labels.parameter1 =
        std::string(ParameterName(c1)) + Fixed(value1, 12, 5) + ParameterUnit(c1);
    labels.parameter2 =
        std::string(ParameterName(c2)) + Fixed(value2, 12, 5) + ParameterUnit(c2);
    labels.parameterVariant = "Parameter variant No " + IntText(ws.state.parameterVariant);
    labels.componentVariant = "Component variant No " + IntText(ws.state.componentVariant);
    labels.point = ws.state.parameterVariant;
    labels.points = ws.state.plannedPoints;
    session.ui.SetProgressLabels(labels);
  }

  // Two different assigned parameters among p, T, V, S, H, U are needed; anything
  // else leaves the system without a solution.
  if (c1 < 1 || c1 > 6 || c2 < 1 || c2 > 6 || c1 == c2 || speciesCount < 1 ||
      speciesCount > kMaxRunSpecies || elementCount < 1 || elementCount > kMaxSystemElements) {
    session.ui.Message(MessageKind::Error, "Equilibrium is not specified !");
    Finish(session);
    return code;
  }

  Layout lay;
  lay.K = speciesCount;
  lay.E0 = elementCount;
  lay.ions = task.options[kOptIons] != 0;
  lay.frozen = ws.state.frozenComposition;
  lay.E = elementCount + (lay.ions ? 1 : 0);
  lay.C = 0;
  lay.fixedCount = std::clamp(task.fixedCount, 0, kMaxFixedConcentrations);
  int eosCount = 0;
  for (int k = 1; k <= lay.K; ++k) {
    const int ph = ws.run.Phase(k);
    lay.phase[k] = (ph == kPhaseCondensed || ph == kPhaseGas) ? ph : 0;
    lay.condOrdinal[k] = 0;
    lay.eosOrdinal[k] = 0;
    lay.fixed[k] = false;
    lay.fixedAmount[k] = 0;
    if (lay.phase[k] == kPhaseCondensed) {
      ++lay.C;
      lay.condOrdinal[k] = lay.C;
      if (lay.C <= kMaxUnknowns) lay.condSpecies[lay.C] = k;
    }
    if (sp.eosFlag[k] == 2 && eosCount < kMaxEosSpecies) lay.eosOrdinal[k] = ++eosCount;
    for (int f = 1; f <= lay.fixedCount; ++f) {
      if (task.fixed[f].name == ws.run.names[k] && task.fixed[f].value > 0) {
        lay.fixed[k] = true;
        lay.fixedAmount[k] = task.fixed[f].value;
      }
    }
  }
  lay.bkw = ws.bkw.active && ws.bkw.prepared && !lay.frozen;
  lay.N = lay.E + lay.C + 6 + (lay.bkw ? 2 : 0);
  lay.colU1 = lay.E + lay.C + 7;
  lay.colU2 = lay.E + lay.C + 8;
  if (lay.N >= kMaxUnknowns + 1) {
    session.ui.Message(MessageKind::Information,
                       "Number of unknowns is too big: " + IntText(lay.N));
    code = kSolveTooManyUnknowns;
    Finish(session);
    return code;
  }
  const int chargeRow = lay.ions ? lay.E : 0;
  for (int j = 1; j <= lay.E; ++j)
    lay.b[j] = j == chargeRow ? 0.0 : static_cast<double>(task.elements[j].amount);
  for (int k = 1; k <= lay.K; ++k) {
    auto& nz = lay.nonZero[k - 1];
    nz.count = 0;
    const bool gas = lay.phase[k] == kPhaseGas;
    for (int j = 1; j <= lay.E; ++j) {
      const int stored = ws.run.Atoms(j, k);
      const double a = (j == chargeRow && gas) ? ChargeOf(stored) : stored;
      lay.a(j, k) = a;
      if (a == 0.0) continue;
      nz.row[nz.count] = j;
      nz.column[nz.count] = (6 + j - 1) * lay.N;
      nz.value[nz.count++] = a;
    }
  }
  // The fixed concentrations count only when they name a run species.
  bool anyFixed = false;
  for (int k = 1; k <= lay.K; ++k) anyFixed = anyFixed || lay.fixed[k];
  if (!anyFixed) lay.fixedCount = 0;

  const int N = lay.N;
  const int E = lay.E;
  const int codes[2] = {c1, c2};
  const double values[2] = {value1, value2};
  bool tAssigned = false, energyAssigned = false;
  double volume = 0;
  double converted[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    switch (codes[i]) {
      case 1:
        converted[i] = values[i] * kMPaToAtm;
        break;
      case 2:
        converted[i] = values[i];
        tAssigned = true;
        break;
      case 3:
        volume = values[i];
        break;
      default:
        converted[i] = values[i] * kKJToCal;
        energyAssigned = true;
        break;
    }
  }
  if (volume <= 0 && (c1 == 3 || c2 == 3)) {
    session.ui.Message(MessageKind::Error, "Equilibrium is not specified !");
    Finish(session);
    return code;
  }

  // A frozen mixture at assigned T and p or V is evaluated directly.
  if (lay.frozen && tAssigned && (c1 == 1 || c1 == 3 || c2 == 1 || c2 == 3)) {
    code = SolveFrozenMixture(session, lay, c1, c2, value1, value2);
    Finish(session);
    return code;
  }

  // Start values and the assigned unknowns.  A continuation without a usable
  // previous state (never solved, or left non-finite by a failed solve) starts afresh.
  bool fresh = L < 2 || !(X[2] > 0);
  for (int i = 1; i <= N && !fresh; ++i) fresh = !std::isfinite(X[i]);
  for (int k = 1; k <= lay.K && !fresh && !lay.frozen; ++k)
    fresh = !std::isfinite(sp.n[k]) || !std::isfinite(sp.lnn[k]);
  // (Ideal gas only: the passes of a non-ideal EOS start from the pass before, under
  // corrections that have moved, and keep the regularised start.)
  // A BKW solve continued from a BKW state is like the ideal gas: its terms are part of
  // the iteration, nothing has moved under it.
  lay.continued = !fresh && (session.task.Eos() == 1 || (lay.bkw && ws.bkw.unknownsValid));
  if (fresh) {
    if (!lay.frozen) {
      for (int k = 1; k <= lay.K; ++k) {
        sp.lnn[k] = kStartLnAmount;
        sp.n[k] = kStartAmount;
      }
    }
    for (int i = 7; i <= N; ++i) X[i] = kStartPotential;
    X[1] = 1.0;
    X[2] = 1000.0;
    X[3] = 0.0;
    X[4] = X[5] = X[6] = 10000.0;
  }
  for (int k = 1; k <= lay.K; ++k) {
    if (lay.phase[k] == 0) {
      sp.n[k] = 0;
      sp.lnn[k] = -50.0;
    }
  }
  // A continued start at another assigned pressure: the previous composition at the
  // new pressure, lambda = ln(p / n_gas) moved by the ratio of the pressures (otherwise
  // the first step linearises e^-lambda over the whole pressure ratio).
  if (!fresh)
    for (int i = 0; i < 2; ++i)
      if (codes[i] == 1 && X[1] > 0 && converted[i] > 0) X[3] += std::log(converted[i] / X[1]);
  for (int i = 0; i < 2; ++i) {
    if (codes[i] == 3)
      X[3] = std::log(X[2] * kGasConstantVolAtmStart / volume);
    else
      X[codes[i]] = converted[i];
  }
  if (lay.bkw) StartBkwUnknowns(ws, lay, codes, converted, volume, fresh);

  int stage = 0;
  int iterations = 0;
  int quiet = 0;
  double previousChange = 1.0;
  double lastChange = 1.0;  // of the iteration before, in either stage
  double stageChange = kUnknownChange;  // of the iteration before in the same stage
  double change = 1.0;
  bool functionsEvaluated = false;
  Array1<double, kMaxUnknowns> sumX;
  Array1<double, kMaxRunSpecies> sumN;
  for (int i = 1; i <= N; ++i) sumX[i] = 0;
  for (int k = 1; k <= lay.K; ++k) sumN[k] = 0;
  bool accepted = false;
  bool takenEarly = false;  // on the estimate of quadratic convergence

  for (;;) {
    // Species functions: once with T assigned, else at every iteration.
    if (!functionsEvaluated || !tAssigned) {
      EvaluateAllFunctions(ws, lay, X[2]);
      functionsEvaluated = true;
    }
    const double T0 = X[2];
    Assemble(ws, lay, stage, codes, converted, volume);
    if (lay.bkw) AssembleBkw(ws, lay, codes, volume);

    // Linear solve; unknowns without a pivot keep their values.
    for (int i = 1; i <= N; ++i) Y[i] = X[i];
    SolveNewtonSystem(ws, lay, Y);

    // Averaging bookkeeping of stage 1: quiet iterations are summed.
    if (stage == 1) {
      if (previousChange <= kStageSwitchChange) {
        ++quiet;
        for (int i = 1; i <= N; ++i) sumX[i] += X[i];
        for (int k = 1; k <= lay.K; ++k) sumN[k] += sp.n[k];
      } else {
        quiet = 0;
        for (int i = 1; i <= N; ++i) sumX[i] = 0;
        for (int k = 1; k <= lay.K; ++k) sumN[k] = 0;
      }
    }
    bool amountStepCut = false;
    double traceChange = 0;
    change = UpdateFromSolution(ws, lay, stage, T0, energyAssigned && !tAssigned,
                                lastChange <= kTraceSettleChange, amountStepCut, traceChange);
    lastChange = change;
    // The trace species stay out of the change that steers the stages, but an iterate
    // is taken only when they have settled too: an element (or the charge) carried by
    // trace species alone, the ions of a cool gas say, has its potential fixed by them.
    const double settled = std::max(change, traceChange);
    const bool quadratic = settled <= kQuadraticChange && !amountStepCut &&
                           settled * settled * settled <= kQuadraticRemainder * stageChange * stageChange;
    stageChange = settled;

    ++iterations;
    session.ui.SetProgressPosition(iterations);

    // Convergence: stage 0 until the change is below 1e-4, then stage 1 until it is
    // below 1e-6 or ten quiet iterations are averaged.
    if (iterations >= kMaxSolverIterations) break;
    if (change <= kStageSwitchChange) {
      // Stage 0 differs from stage 1 only in the rows of condensed species present
      // (their regularisation) and in how a gas amount follows its logarithm; without
      // such condensed species a stage-0 iterate that has converged is the solution,
      // and the confirming stage-1 iteration would move it by round-off only (unless a
      // species, a trace one below the convergence test say, was still held back by the
      // step limits).  A continued ideal-gas solve does not regularise the condensed
      // species present: its stage-0 iterate is the solution with them too (their
      // amounts are then brought to their unknowns, which the last step moved by up to
      // 1e-5).  (The BKW solves of a detonation keep the confirming iteration: the
      // Chapman-Jouguet search rests on states converged to round-off.)
      const bool condensedPresent = AnyCondensedPresent(ws, lay);
      if (stage == 0 && (settled <= kConvergedChange || quadratic) && !amountStepCut &&
          ((lay.continued && !lay.bkw) || !condensedPresent)) {
        accepted = true;
        takenEarly = settled > kConvergedChange || condensedPresent;
        break;
      }
      if (stage == 0) {
        stage = 1;
        previousChange = 1.0;
        stageChange = kUnknownChange;
        continue;
      }
      if (settled <= kConvergedChange || quadratic) {
        accepted = true;
        takenEarly = settled > kConvergedChange;
        break;
      }
      if (quiet == kAveragedIterations) {
        for (int i = 1; i <= N; ++i) X[i] = Y[i] = sumX[i] / kAveragedIterations;
        if (!lay.frozen)
          for (int k = 1; k <= lay.K; ++k) sp.n[k] = sumN[k] / kAveragedIterations;
        accepted = true;
        break;
      }
    }
    previousChange = change;
  }
  // The amounts of the condensed species follow their unknowns one iteration late (the
  // update takes them before it moves the unknowns).  An iterate taken on the estimate
  // of quadratic convergence moved them by up to 1e-4 in its last step: the amounts
  // are brought to the unknowns taken.
  if (takenEarly && !lay.frozen)
    for (int q = 1; q <= lay.C && q <= kMaxUnknowns; ++q) {
      const int k = lay.condSpecies[q];
      sp.lnn[k] = X[E + 6 + q];
      sp.n[k] = std::exp(sp.lnn[k]);
    }
  ws.state.solverIterations = iterations;
  ws.state.solverIterationsTotal += iterations;
  ++ws.state.solvesTotal;
  ws.state.solverChange = change;

  // The iteration limit: the user may accept a nearly converged state.
  if (!accepted) {
    const double check = CheckValue(ws, lay);
    const double balance = static_cast<double>(BalanceError(ws, task, lay.E0, lay.K));
    bool yes = false;
    if (ws.state.quietFailure) {
      ws.state.quietFailed = true;
      code = kSolveNotConverged;
      Finish(session);
      return code;
    }
    if (change < 0.5 && check < 1.0 && balance < 0.1) {
      yes = session.ui.AskYesNo(
          MessageKind::Confirmation,
          "Maximum relative error is" + Sci(change, 12) + ".\n" + "Accept the current results ?");
    }
    if (!yes) {
      session.ui.Message(MessageKind::Information,
                         "After 100 iterations accuracy demanded isn't reached."
                         "Try to change assigned parameters.");
      code = kSolveNotConverged;
      Finish(session);
      return code;
    }
    if (session.report.IsOpen()) {
      const std::string hashes(76, '#');
      const std::string indent(5, ' ');
      session.report.Line(hashes);
      session.report.Line(indent + "After 100 iterations demanded accuracy is not reached.");
      session.report.Line(indent + "Results are accepted by user.");
      session.report.Line(indent + "Maximum realtive error is " + Sci(change, 12));
      session.report.Line(indent + "(H/T-S) - sum(L[j]*B[j]) = " + Sci(check, 12));
      session.report.Line(hashes);
    }
  }

  // Results: clean-up of numerical residue and the final checks (not with fixed
  // concentrations), then the state in SI units.
  if (lay.fixedCount == 0) {
    bool potentialsMoved = false;
    for (int j = 1; j <= E; ++j)
      potentialsMoved = potentialsMoved || std::fabs(Y[6 + j] - kStartPotential) > 1e-5;
    if (potentialsMoved && !lay.frozen) {
      // Species that are present only as numerical residue and far from their
      // equilibrium condition are removed.
      const double T = X[2];
      for (int k = 1; k <= lay.K; ++k) {
        const double n = sp.n[k];
        // (Only an amount below kCleanupAmount can go: the residual of the others is
        // not needed.)
        if (!(n > 0) || !(n < kCleanupAmount) || lay.phase[k] == 0) continue;
        double r = sp.S[k] - sp.H[k] / T;
        const auto& nz = lay.Atoms(k);
        for (int i = 0; i < nz.count; ++i) r += nz.value[i] * X[6 + nz.row[i]];
        if (lay.phase[k] == kPhaseGas) {
          r -= kGasConstantCal * X[3] + kGasConstantCal * std::log(n);
          if (lay.eosOrdinal[k]) r += kGasConstantCal * ws.corrections.phi[lay.eosOrdinal[k]];
          if (lay.bkw) r -= kGasConstantCal * (X[lay.colU1] + ws.bkw.covolume[k] * X[lay.colU2]);
        } else {
          r += ws.corrections.gamma[lay.condOrdinal[k]];
          if (lay.bkw) r -= CondensedAt(ws, k, X[1], T).G / T;
        }
        if (std::fabs(r) > kCleanupResidual && n < kCleanupAmount) sp.n[k] = 0;
      }
    }
    long double nSum = 0;
    for (int k = 1; k <= lay.K; ++k) nSum += sp.n[k];
    if (!(nSum >= kMinSolutionAmount)) {
      if (ws.state.quietFailure)
        ws.state.quietFailed = true;
      else
        session.ui.Message(MessageKind::Error, "Solution not found.");
      code = kSolveNoSolution;
      Finish(session);
      return code;
    }
    const double balance = static_cast<double>(BalanceError(ws, task, lay.E0, lay.K));
    if (balance > kBalanceErrorLimit) {
      if (ws.state.quietFailure) ws.state.quietFailed = true;
      const bool keep = !ws.state.quietFailure && session.ui.AskYesNo(
          MessageKind::Confirmation, "Maximum material balance error is " +
                                         FormatPicture(balance, "0.###") + ". Accept the result?");
      if (!keep) {
        code = kSolveNoSolution;
        Finish(session);
        return code;
      }
    }
  }

  long double nTotal = 0, cp = 0;
  for (int k = 1; k <= lay.K; ++k) {
    nTotal += sp.n[k];
    cp += static_cast<long double>(sp.Cp[k]) * sp.n[k];
  }
  for (int k = 1; k <= lay.K; ++k) {
    if (sp.n[k] < kZeroAmount) sp.n[k] = 0;
    sp.nSingle[k] = static_cast<float>(sp.n[k]);
  }
  res.nTotal = static_cast<double>(nTotal);
  res.Cp = static_cast<double>(cp) * kCalToKJ;
  res.p = Y[1] * kAtmToMPa;
  res.T = Y[2];
  const double lambda = std::min(Y[3], 50.0);
  res.V = res.T * kGasConstantVolAtm / std::exp(lambda);
  res.S = Y[4] * kCalToKJ;
  res.H = Y[5] * kCalToKJ;
  res.U = Y[6] * kCalToKJ;
  res.saved = {res.p, res.T, res.V, res.S, res.H, res.U, res.Cp, res.nTotal};
  // With BKW an assigned volume is that of the gas and the condensed products together.
  ResultsBlock held = res;
  if (lay.bkw) held.V += CondensedVolumeAt(ws, lay, ws.X[1], ws.X[2]);
  const std::string implausible = ImplausibleState(held, codes, values);
  if (!implausible.empty()) {
    if (ws.state.quietFailure)
      ws.state.quietFailed = true;
    else
      session.ui.Message(MessageKind::Information,
                         implausible + "\nThe point is left out. Try to change assigned parameters.");
    code = kSolveNoSolution;
    Finish(session);
    return code;
  }
  code = kSolveOk;
  if (lay.bkw) FinishBkw(ws, lay);
  ws.derivatives.valid = false;
  if (ws.derivatives.requested) ComputeEquilibriumDerivatives(ws, lay);

  if (session.report.IsOpen()) {
    const auto& f = ws.functions;
    const int count = std::min(f.transitionCount, kMaxTransitionList);
    for (int i = 1; i <= count; ++i) {
      const int k = f.transitions[i];
      if (k < 1 || k > lay.K) continue;
      session.report.Line(" At T = " + PadLeft(IntText(std::lround(res.T)), 5) +
                          " K phase transtion occurs for " + ws.run.names[k]);
      session.report.Line();
    }
  }
  Finish(session);
  return code;
}

}  // namespace kvil
