#include "thermo/transport.h"

#include <cmath>

#include "thermo/linear.h"

namespace kvil {

namespace {

constexpr int kMaxTransportSpecies = 35;  // taking-part species stay below this count

double Omega22(double Tr) {
  double omega = 1.16145 * std::pow(Tr, -0.14874);
  if (Tr < 20) omega += 0.52487 * std::exp(-0.7732 * Tr) + 2.16178 * std::exp(-2.4378 * Tr);
  return omega;
}

}  // namespace

void ComputeTransportProperties(CalcWorkspace& ws, int speciesCount,
                                const Array1<double, kMaxUnknowns>& y1, bool reacting) {
  ResultsBlock& res = ws.results;
  const RunSpeciesTables& run = ws.run;
  const SpeciesState& sp = ws.species;
  res.viscosity = res.lambdaFrozen = res.lambdaReacting = 0;
  const double T = res.T, p = res.p;
  if (!(T > 0)) return;

  // 1. Condensed mass fraction.
  double condensedMass = 0;
  for (int k = 1; k <= speciesCount; ++k)
    if (run.Phase(k) == 1) condensedMass += run.molarMass[k] * sp.n[k] * 0.001;
  if (condensedMass > 0.995) return;

  // 2. Species selection.
  auto eligible = [&](int k, double threshold) {
    return run.Phase(k) != 1 && sp.n[k] > threshold && run.sigma[k] > 0 && run.epsilon[k] > 0 &&
           run.molarMass[k] > 0;
  };
  double threshold = 1.0e-9;
  int count = 0;
  Array1<int, kMaxRunSpecies> sel;
  for (;;) {
    count = 0;
    for (int k = 1; k <= speciesCount; ++k)
      if (eligible(k, threshold)) sel[++count] = k;
    if (count < kMaxTransportSpecies) break;
    threshold *= 7;
  }
  if (count == 0) return;

  // 3. Pure species.
  Array1<double, kMaxTransportSpecies> eta, lam1, lam2, M, n, r, invR, sqrtM;
  for (int i = 1; i <= count; ++i) {
    const int k = sel[i];
    const double sigma = run.sigma[k], delta = run.delta[k];
    const double Tr = T / run.epsilon[k];
    M[i] = run.molarMass[k];
    n[i] = sp.n[k];
    eta[i] = 2.6693e-6 * std::sqrt(M[i] * T) /
             (sigma * sigma * (Omega22(Tr) + 0.2 * delta * delta / Tr));
    lam1[i] = 31199 * eta[i] / M[i];
    lam2[i] = (0.17713 * sp.Cp[k] - 0.88) * lam1[i];
    sqrtM[i] = std::sqrt(M[i]);
    r[i] = std::sqrt(eta[i] / sqrtM[i]);  // sqrt(eta) / M^(1/4)
    invR[i] = 1 / r[i];
  }

  // 4. Wilke mixing: phi_ij = (1 + sqrt(eta_i / eta_j) (M_j / M_i)^(1/4))^2 /
  // (2.8284 sqrt(1 + M_i / M_j)), the first factor from r_i / r_j and the second from
  // sqrt(M_j) / sqrt(M_i + M_j), whose root is formed once for both orders of a pair.
  double viscosity = 0, lambdaFrozen = 0;
  double rootSum[kMaxTransportSpecies][kMaxTransportSpecies];
  for (int i = 1; i <= count; ++i)
    for (int j = i; j <= count; ++j)
      rootSum[i - 1][j - 1] = rootSum[j - 1][i - 1] = 2.8284 * std::sqrt(M[i] + M[j]);
  for (int i = 1; i <= count; ++i) {
    double f = 0, g = 0;
    for (int j = 1; j <= count; ++j) {
      const double a = 1 + r[i] * invR[j];
      const double phi = a * a * sqrtM[j] / rootSum[i - 1][j - 1];
      const double sum = M[i] + M[j];
      const double psi = phi * (1 + 2.41 * (M[i] - M[j]) * (M[i] - 0.142 * M[j]) / (sum * sum));
      f += phi * n[j];
      g += psi * n[j];
    }
    f /= n[i];
    g /= n[i];
    viscosity += eta[i] / f;
    lambdaFrozen += lam1[i] / g + lam2[i] / f;
  }
  if (!std::isfinite(viscosity) || !std::isfinite(lambdaFrozen)) return;
  res.viscosity = viscosity;
  res.lambdaFrozen = lambdaFrozen;

  // 5. Reaction conductivity over the taking-part gas species.
  if (!reacting || !(p > 0)) return;
  // The state is evaluated with V the volume of the gas phase (the run adds the
  // condensed volume only after the sound velocity and transport are formed).
  const double gasVolume = res.V;
  if (!(gasVolume > 0)) return;
  Array1<int, kMaxTransportSpecies> gas;
  int P = 0;
  for (int i = 1; i <= count; ++i)
    if (run.Phase(sel[i]) == 2) gas[++P] = i;
  if (P < 2) return;
  double mg = 0, ng = 0;
  for (int k = 1; k <= speciesCount; ++k)
    if (run.Phase(k) != 1) {
      mg += run.molarMass[k] * sp.n[k];
      ng += sp.n[k];
    }
  LinearWork& lw = ws.linear;
  for (int r = 1; r <= P; ++r)
    for (int c = 1; c <= P + 1; ++c) lw.augmented(r, c) = 0;
  // The collision integral and the mass factor of D are the same for both orders of
  // a pair and formed once; only the polar term takes the first species' delta.
  // With Tr = T / sqrt(eps_i eps_j) the power term of the collision integral is
  // T^-0.1561 (eps_i eps_j)^0.07805: one power per species, not per pair.
  Array1<double, kMaxTransportSpecies> epsPower, invRootEps;
  for (int a = 1; a <= P; ++a) {
    const double eps = run.epsilon[sel[gas[a]]];
    epsPower[a] = std::pow(eps, 0.07805);
    invRootEps[a] = 1 / std::sqrt(eps);
  }
  const double powerT = 1.06036 * std::pow(T, -0.1561);
  const double rootT3 = 2.614e-7 * T * std::sqrt(T);
  const double pressureAtm = kMPaToAtm * p;
  for (int a = 1; a <= P; ++a) {
    const int i = gas[a], ki = sel[i];
    const double di = run.delta[ki];
    for (int b = a + 1; b <= P; ++b) {
      const int j = gas[b], kj = sel[j];
      const double dj = run.delta[kj];
      const double sij = (run.sigma[ki] + run.sigma[kj]) / 2;
      const double Tr = T * invRootEps[a] * invRootEps[b];
      double omega = powerT * epsPower[a] * epsPower[b];
      if (Tr < 15)
        omega += 0.193 * std::exp(-0.47635 * Tr) + 1.03587 * std::exp(-1.52996 * Tr) +
                 1.76474 * std::exp(-3.89411 * Tr);
      const double num = rootT3 * std::sqrt((M[i] + M[j]) / (2 * M[i] * M[j]));
      const double den = pressureAtm * sij * sij;
      const double Dab = num / (den * (omega + 0.2 * di * di / Tr));  // i first
      const double Dba = num / (den * (omega + 0.2 * dj * dj / Tr));  // j first
      lw.augmented(a, b) += mg * n[i] / (Dab * M[j]);
      lw.augmented(a, a) -= mg * n[j] / (Dab * M[i]);
      lw.augmented(b, a) += mg * n[j] / (Dba * M[i]);
      lw.augmented(b, b) -= mg * n[i] / (Dba * M[j]);
    }
    lw.augmented(a, P + 1) = (ng * sp.S[ki] - n[i] * y1[1]) / gasVolume;
  }
  int bigRow = 1;
  double big = lw.augmented(1, 1);
  for (int r = 1; r <= P; ++r)
    for (int c = 1; c <= P; ++c)
      if (lw.augmented(r, c) > big) {
        big = lw.augmented(r, c);
        bigRow = r;
      }
  for (int c = 1; c <= P; ++c) lw.augmented(bigRow, c) = 1;
  lw.augmented(bigRow, P + 1) = 0;
  Array1<double, kMaxUnknowns> J;
  if (SolveLinearSystem(lw, J, P) != 0) return;
  double lambdaReacting = 0;
  for (int a = 1; a <= P; ++a) {
    const int i = gas[a];
    lambdaReacting -= J[a] * sp.H[sel[i]] * 4184 / M[i];
  }
  if (std::isfinite(lambdaReacting)) res.lambdaReacting = lambdaReacting;
}

}  // namespace kvil
