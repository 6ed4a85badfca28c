#include "tools/dbbuild/fit7.h"

#include <algorithm>
#include <cmath>

namespace kvil::dbbuild {
namespace {

constexpr int kCoefficients = 7;
// Share by which the largest H or S deviation of an interval may grow when its offset
// moves from its most accurate place towards continuity with the previous interval.
constexpr double kJoinSlack = 0.1;
using Row = std::array<double, kCoefficients>;

// Derivative rows of the three functions with respect to p1..p7 at x.
Row CpRow(double x) {
  return {0, 1, 2 / (x * x), 0, 2 * x, 6 * x * x, 12 * x * x * x};
}
Row HRow(double x) {
  return {0, 1e4 * x, -2e4 / x, -1e4, 1e4 * x * x, 2e4 * x * x * x, 3e4 * x * x * x * x};
}
Row SRow(double x) {
  return {1, std::log(x) + 1, -1 / (x * x), 0, 2 * x, 3 * x * x, 4 * x * x * x};
}

double CpTolerance(const FitTolerance& tol, double cp) {
  return std::max(tol.cpRel * std::fabs(cp), tol.cpAbs);
}

// Least squares min |A p - b| over the columns `cols` (others fixed at 0), by
// Householder QR on column-scaled data.  Returns false when the system is singular.
bool SolveLeastSquares(std::vector<Row> a, std::vector<double> b, const std::vector<int>& cols,
                       std::array<double, kCoefficients>& p) {
  const int m = static_cast<int>(a.size());
  const int n = static_cast<int>(cols.size());
  std::vector<std::vector<long double>> q(m, std::vector<long double>(n));
  std::vector<long double> scale(n), rhs(b.begin(), b.end());
  for (int j = 0; j < n; ++j) {
    long double norm = 0;
    for (int i = 0; i < m; ++i) norm += static_cast<long double>(a[i][cols[j]]) * a[i][cols[j]];
    norm = std::sqrt(norm);
    if (norm == 0) return false;
    scale[j] = norm;
    for (int i = 0; i < m; ++i) q[i][j] = a[i][cols[j]] / norm;
  }
  for (int k = 0; k < n; ++k) {
    long double norm = 0;
    for (int i = k; i < m; ++i) norm += q[i][k] * q[i][k];
    norm = std::sqrt(norm);
    if (norm < 1e-14L) return false;
    long double alpha = q[k][k] > 0 ? -norm : norm;
    std::vector<long double> v(m - k);
    for (int i = k; i < m; ++i) v[i - k] = q[i][k];
    v[0] -= alpha;
    long double vv = 0;
    for (long double e : v) vv += e * e;
    if (vv == 0) continue;
    for (int j = k; j < n; ++j) {
      long double d = 0;
      for (int i = k; i < m; ++i) d += v[i - k] * q[i][j];
      d = 2 * d / vv;
      for (int i = k; i < m; ++i) q[i][j] -= d * v[i - k];
    }
    long double d = 0;
    for (int i = k; i < m; ++i) d += v[i - k] * rhs[i];
    d = 2 * d / vv;
    for (int i = k; i < m; ++i) rhs[i] -= d * v[i - k];
  }
  std::vector<long double> y(n);
  for (int k = n - 1; k >= 0; --k) {
    long double s = rhs[k];
    for (int j = k + 1; j < n; ++j) s -= q[k][j] * y[j];
    y[k] = s / q[k][k];
  }
  p.fill(0);
  for (int j = 0; j < n; ++j) p[cols[j]] = static_cast<double>(y[j] / scale[j]);
  return true;
}

std::vector<double> Grid(double ta, double tb, double step) {
  std::vector<double> g;
  int n = std::max(1, static_cast<int>(std::ceil((tb - ta) / step - 1e-9)));
  for (int i = 0; i <= n; ++i) g.push_back(ta + (tb - ta) * i / n);
  return g;
}

// Rounds the heat-capacity coefficients to single precision and places p4 and p1.
// They go where the largest H and S deviations on the grid are smallest; after a
// previous interval (which ends at ta) they move towards continuity with it at ta as
// far as the largest deviation grows by a tenth, which makes the steps of H and S at
// interval bounds that are no phase change smaller at little cost.
Fit7 RoundAndPlace(const std::array<double, kCoefficients>& p, const ThermoFunction& target,
                   double ta, double tb, const Fit7* previous) {
  Fit7 f;
  f.tmin = static_cast<float>(ta);
  f.tmax = static_cast<float>(tb);
  for (int i : {1, 2, 4, 5, 6}) f.p[i] = static_cast<float>(p[i]);
  f.p[0] = 0;
  f.p[3] = 0;
  double hlo = 1e300, hhi = -1e300, slo = 1e300, shi = -1e300;
  for (double T : Grid(ta, tb, 2.0)) {
    NasaValues m = Evaluate7(f, T), t = target(T);
    double dh = m.h - t.h, ds = t.s - m.s;  // H = A - 1e4 p4;  S = p1 + B
    hlo = std::min(hlo, dh);
    hhi = std::max(hhi, dh);
    slo = std::min(slo, ds);
    shi = std::max(shi, ds);
  }
  double hOffset = (hlo + hhi) / 2, sOffset = (slo + shi) / 2;
  if (previous) {
    // Towards continuity with the previous interval, but only as far as the largest
    // deviation grows by a small amount: accuracy over the interval comes first.
    NasaValues joint = Evaluate7(f, ta), before = Evaluate7(*previous, ta);
    const double hJoin = joint.h - before.h, sJoin = before.s - joint.s;
    const double hSlack = kJoinSlack * (hhi - hlo) / 2, sSlack = kJoinSlack * (shi - slo) / 2;
    hOffset = std::clamp(hJoin, hOffset - hSlack, hOffset + hSlack);
    sOffset = std::clamp(sJoin, sOffset - sSlack, sOffset + sSlack);
  }
  f.p[3] = static_cast<float>(hOffset / 1e4);
  f.p[0] = static_cast<float>(sOffset);
  return f;
}

}  // namespace

NasaValues Evaluate7(const Fit7& f, double T) {
  const double x = static_cast<float>(T / 10000.0);
  const auto& p = f.p;
  NasaValues v;
  v.s = p[0] + p[1] * (std::log(x) + 1) - p[2] / (x * x) + 2 * p[4] * x + 3 * p[5] * x * x +
        4 * p[6] * x * x * x;
  v.h = 1e4 * (p[1] * x - 2 * p[2] / x - p[3] + p[4] * x * x + 2 * p[5] * x * x * x +
               3 * p[6] * x * x * x * x);
  v.cp = p[1] + 2 * p[2] / (x * x) + 2 * p[4] * x + 6 * p[5] * x * x + 12 * p[6] * x * x * x;
  return v;
}

FitDeviation Deviation(const Fit7& fit, const ThermoFunction& target, double ta, double tb,
                       const FitTolerance& tol, double step) {
  FitDeviation d;
  for (double T : Grid(ta, tb, std::min(step, (tb - ta) / 20))) {
    NasaValues m = Evaluate7(fit, T), t = target(T);
    double dcp = std::fabs(m.cp - t.cp), dh = std::fabs(m.h - t.h), ds = std::fabs(m.s - t.s);
    if (dcp > d.cp) {
      d.cp = dcp;
      d.tCp = T;
    }
    d.cpRel = std::max(d.cpRel, dcp / std::max(std::fabs(t.cp), 1e-30));
    if (dh > d.h) {
      d.h = dh;
      d.tH = T;
    }
    if (ds > d.s) {
      d.s = ds;
      d.tS = T;
    }
    double w = std::max({dcp / CpTolerance(tol, t.cp), dh / tol.h, ds / tol.s}) / tol.margin;
    d.worst = std::max(d.worst, w);
  }
  return d;
}

bool FitInterval(const ThermoFunction& target, double ta, double tb, const FitTolerance& tol,
                 const Fit7* previous, Fit7& fit, FitDeviation& dev) {
  // Constant heat capacity: exact for many condensed phases and monatomic gases.
  {
    std::array<double, kCoefficients> p{};
    p[1] = target(0.5 * (ta + tb)).cp;
    fit = RoundAndPlace(p, target, ta, tb, previous);
    dev = Deviation(fit, target, ta, tb, tol);
    if (dev.worst <= 1) return true;
  }
  const std::vector<double> grid = Grid(ta, tb, std::max(5.0, (tb - ta) / 200));
  std::vector<NasaValues> values;
  for (double T : grid) values.push_back(target(T));
  bool any = false;
  // Weighted least squares of Cp, H and S, each row scaled by its tolerance; then a few
  // Lawson reweightings push the fit towards the smallest largest deviation.  Narrow
  // intervals are ill-conditioned in the full basis; smaller bases (Cp linear,
  // quadratic, cubic in x) are tried after it.
  const std::vector<std::vector<int>> bases = {
      {0, 1, 2, 3, 4, 5, 6}, {0, 1, 3, 4}, {0, 1, 3, 4, 5}, {0, 1, 3, 4, 5, 6}};
  for (const std::vector<int>& cols : bases) {
    std::vector<double> weight(grid.size() * 3, 1.0);
    for (int pass = 0; pass < 12; ++pass) {
      std::vector<Row> a;
      std::vector<double> b;
      for (std::size_t i = 0; i < grid.size(); ++i) {
        double x = grid[i] / 1e4;
        const NasaValues& t = values[i];
        double w[3] = {weight[3 * i] / CpTolerance(tol, t.cp), weight[3 * i + 1] / tol.h,
                       weight[3 * i + 2] / tol.s};
        Row rows[3] = {CpRow(x), HRow(x), SRow(x)};
        double rhs[3] = {t.cp, t.h, t.s};
        for (int k = 0; k < 3; ++k) {
          Row r = rows[k];
          for (double& e : r) e *= w[k];
          a.push_back(r);
          b.push_back(rhs[k] * w[k]);
        }
      }
      std::array<double, kCoefficients> p{};
      if (!SolveLeastSquares(a, b, cols, p)) break;
      Fit7 f = RoundAndPlace(p, target, ta, tb, previous);
      FitDeviation d = Deviation(f, target, ta, tb, tol);
      if (!any || d.worst < dev.worst) {
        fit = f;
        dev = d;
        any = true;
      }
      if (dev.worst <= 1) return true;
      // Lawson step: weights grow where the (rounded) fit is worst.
      double sum = 0;
      for (std::size_t i = 0; i < grid.size(); ++i) {
        NasaValues m = Evaluate7(f, grid[i]);
        const NasaValues& t = values[i];
        double r[3] = {std::fabs(m.cp - t.cp) / CpTolerance(tol, t.cp),
                       std::fabs(m.h - t.h) / tol.h, std::fabs(m.s - t.s) / tol.s};
        for (int k = 0; k < 3; ++k) {
          weight[3 * i + k] *= std::sqrt(r[k] + 1e-3);
          sum += weight[3 * i + k];
        }
      }
      double mean = sum / weight.size();
      for (double& w : weight) w /= mean;
    }
  }
  return dev.worst <= 1;
}

std::vector<Fit7> FitRange(const ThermoFunction& target, double ta, double tb,
                           const FitTolerance& tol, const std::vector<double>& candidates,
                           bool& ok, const Fit7* before) {
  ok = true;
  std::vector<Fit7> out;
  double start = ta;
  while (start < tb - 1e-6) {
    const Fit7* previous = out.empty() ? before : &out.back();
    Fit7 fit;
    FitDeviation dev;
    if (FitInterval(target, start, tb, tol, previous, fit, dev)) {
      out.push_back(fit);
      break;
    }
    // Candidate ends strictly inside (start, tb); the farthest one that fits is taken.
    std::vector<double> ends;
    for (double e : candidates)
      if (e > start + 1e-6 && e < tb - 1e-6) ends.push_back(e);
    std::sort(ends.begin(), ends.end());
    ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
    if (ends.empty()) {  // no candidate end inside: keep the best attempt
      ok = false;
      out.push_back(fit);
      break;
    }
    // Farthest first: the candidates are few, and a fit that misses at one end may still
    // succeed at a farther one (a different basis or a kink of the data at that end).
    Fit7 best;
    double bestEnd = 0;
    bool found = false;
    for (auto e = ends.rbegin(); e != ends.rend() && !found; ++e) {
      FitDeviation d;
      if (FitInterval(target, start, *e, tol, previous, best, d)) {
        bestEnd = *e;
        found = true;
      }
    }
    if (!found) {
      ok = false;
      FitDeviation d;
      bestEnd = ends.front();
      FitInterval(target, start, bestEnd, tol, previous, best, d);
    }
    out.push_back(best);
    start = bestEnd;
  }
  return out;
}

}  // namespace kvil::dbbuild
