#include "thermo/species_functions.h"

#include <algorithm>
#include <cmath>

namespace kvil {

namespace {

// Standard atomic weights by atomic number, g/mol.  Entries 96 and 101 hold 3.0 and
// 2.0: the species database codes tritium and deuterium there.
constexpr float kAtomicMassTable[101] = {
    1.0079f,    4.0026f,   6.941f,    9.01218f, 10.81f,    12.011f,  14.0067f,  15.9994f,
    18.998403f, 20.179f,   22.98977f, 24.305f,  26.98154f, 28.0855f, 30.97376f, 32.06f,
    35.453f,    39.948f,   39.0983f,  40.08f,   44.9559f,  47.88f,   50.9415f,  51.996f,
    54.938f,    55.847f,   58.9332f,  58.69f,   63.546f,   65.38f,   69.72f,    72.59f,
    74.9216f,   78.96f,    79.904f,   83.8f,    85.4678f,  87.62f,   88.9059f,  91.22f,
    92.9064f,   95.94f,    98.9062f,  101.07f,  102.9055f, 106.42f,  107.868f,  112.41f,
    114.82f,    118.69f,   121.75f,   127.6f,   126.9045f, 131.29f,  132.9054f, 137.33f,
    138.9055f,  140.12f,   140.9077f, 144.24f,  145.0f,    150.36f,  151.96f,   157.25f,
    158.9254f,  162.5f,    164.9304f, 167.26f,  168.9342f, 173.04f,  174.967f,  178.49f,
    180.9479f,  183.85f,   186.207f,  190.2f,   192.22f,   195.08f,  196.9665f, 200.59f,
    204.383f,   207.2f,    208.9804f, 209.0f,   210.0f,    222.0f,   223.0f,    226.0254f,
    227.0278f,  232.0381f, 231.0359f, 238.029f, 237.0482f, 244.0f,   243.0f,    3.0f,
    247.0f,     251.0f,    252.0f,    257.0f,   2.0f};

// Codes 102..106 (No, Lr, electron, D, T): masses of the element table.
constexpr float kUpperElementMass[5] = {259.1f, 262.11f, 0.00054858f, 2.0141f, 3.0160496f};

// The functions of one interval in the precision they are formed in: double precision
// in the run's iteration (an extended-precision evaluation, an x87 chain of some sixty
// operations per species, was a fifth of an iteration of a propellant with aluminium
// and changed nothing the report prints), extended precision where a single value is
// asked for.
template <typename Real>
struct Values {
  Real S, H, Cp;
};

// The terms in x = T/10000 that every species shares at one temperature.
template <typename Real>
struct Reduced {
  Real x, inv, lnx;
};

template <typename Real>
inline Reduced<Real> Reduce(Real x) {
  return {x, Real(1) / x, std::log(x)};
}

// The three functions of one interval at x = T/10000, nested (Horner) form.  Units
// follow the coefficients (H per mol in the coefficients' energy unit times 1, i.e.
// J/mol or cal/mol).
template <typename Real>
inline Values<Real> EvaluateInterval(const std::array<float, 7>& phi, const Reduced<Real>& r) {
  const Real p1 = phi[0], p2 = phi[1], p3 = phi[2], p4 = phi[3], p5 = phi[4], p6 = phi[5],
             p7 = phi[6];
  const Real x = r.x;
  const Real inv = r.inv;
  const Real inv2 = inv * inv;
  Values<Real> v;
  v.S = p1 + p2 * (r.lnx + Real(1)) - p3 * inv2 +
        x * (Real(2) * p5 + x * (Real(3) * p6 + x * (Real(4) * p7)));
  v.H = Real(1e4) *
        (x * (p2 + x * (p5 + x * (Real(2) * p6 + x * (Real(3) * p7)))) - Real(2) * p3 * inv - p4);
  v.Cp = p2 + Real(2) * p3 * inv2 + x * (Real(2) * p5 + x * (Real(6) * p6 + x * (Real(12) * p7)));
  return v;
}

template <typename Real>
inline Values<Real> EvaluateInterval(const std::array<float, 7>& phi, Real x) {
  return EvaluateInterval(phi, Reduce(x));
}

inline bool Contains(const PolyInterval& iv, double T) {
  return iv.tmin <= T && T <= iv.tmax;
}

inline double Distance(const PolyInterval& iv, double T) {
  return std::min(std::fabs(iv.tmin - T), std::fabs(iv.tmax - T));
}

inline bool NearBound(const PolyInterval& iv, double T, double dT) {
  return std::fabs(T - iv.tmax) <= dT || std::fabs(T - iv.tmin) <= dT;
}

// The reserve slots to search for species k: its own contiguous run when the tables
// record it, else every loaded slot (the loops also stop at the first free slot and
// skip slots of other species).
struct SlotRange {
  int first, last;
};
inline SlotRange ReserveSlotsOf(const RunSpeciesTables& run, int k) {
  if (!run.reserveIndexed) return {1, kReserveCapacity};
  return {run.reserveFirst[k], run.reserveFirst[k] + run.reserveSlots[k] - 1};
}

inline void Store(CalcWorkspace& ws, int k, double S, double H, double Cp) {
  ws.species.S[k] = S;
  ws.species.H[k] = H;
  ws.species.Cp[k] = Cp;
}

}  // namespace

float AtomicMass(int code) {
  if (code >= 1 && code <= 101) return kAtomicMassTable[code - 1];
  if (code >= 102 && code <= 106) return kUpperElementMass[code - 102];
  return 0.0f;
}

float SpeciesMolarMass(const SpeciesRecord& record) {
  float mass = 0.0f;
  for (int i = 0; i < 5; ++i) {
    if (record.element[i] == 0) continue;
    mass += static_cast<float>(record.count[i]) * AtomicMass(record.element[i]);
  }
  return mass;
}

SpeciesFunctionValues PolynomialFunctions(const PolynomialRecord& record, double T) {
  const float x = static_cast<float>(T) / 10000.0f;
  const Values<long double> v = EvaluateInterval(record.phi, static_cast<long double>(x));
  return {static_cast<double>(v.S), static_cast<double>(v.H / 1000.0L), static_cast<double>(v.Cp)};
}

void BeginSpeciesFunctionPass(CalcWorkspace& ws) {
  ws.functions.transitionCount = 0;
  ws.functions.largestTmin = 0;
  ws.functions.smallestTmax = 100000;
  ws.functions.mode = 1;
}

void EvaluateSpeciesFunctions(CalcWorkspace& ws, int k, double T) {
  const RunSpeciesTables& run = ws.run;
  SpeciesFunctionContext& fc = ws.functions;
  const double dT = fc.blendHalfWidth;
  const PolyInterval& primary = run.primary[k];
  const SlotRange slots = ReserveSlotsOf(run, k);

  // Find the interval holding T: the primary one first, then the reserve slots of k
  // in order.  Every loaded slot of k is searched, up to the last one loaded (not only
  // the first 130 slots).
  const PolyInterval* current = &primary;
  int currentSlot = 0;  // 0 = primary interval
  bool inside = Contains(primary, T);
  if (!inside) {
    double best = Distance(primary, T);
    for (int s = slots.first; s >= 1 && s <= slots.last && run.reserveOwner[s] != 0; ++s) {
      if (run.reserveOwner[s] != k) continue;
      const PolyInterval& iv = run.reserve[s];
      if (Contains(iv, T)) {
        current = &iv;
        currentSlot = s;
        inside = true;
        break;
      }
      const double d = Distance(iv, T);
      if (d <= best) {
        best = d;
        current = &iv;
        currentSlot = s;
      }
    }
  }

  if (!inside) {
    // Outside every interval: the nearest one at its own end, continued with constant
    // heat capacity.
    const double te = T > current->tmax ? current->tmax : current->tmin;
    const Values<double> v = EvaluateInterval(current->phi, te / 10000.0);
    const double H = v.H + (T - te) * v.Cp;
    const double S = v.S + std::log(T / te) * v.Cp;
    Store(ws, k, S, H, v.Cp);
    return;
  }

  // ln x and 1/x once per temperature, not per species.
  const double x = T / 10000.0;
  if (!(fc.reducedT == T)) {
    const Reduced<double> fresh = Reduce(x);
    fc.reducedT = T;
    fc.reducedInv = fresh.inv;
    fc.reducedLn = fresh.lnx;
  }
  const Reduced<double> reduced{x, fc.reducedInv, fc.reducedLn};
  const Values<double> v0 = EvaluateInterval(current->phi, reduced);
  if (fc.mode == 1) {
    fc.largestTmin = std::max(fc.largestTmin, static_cast<double>(current->tmin));
    fc.smallestTmax = std::min(fc.smallestTmax, static_cast<double>(current->tmax));
  }
  if (T - current->tmin >= dT && current->tmax - T >= dT) {
    Store(ws, k, v0.S, v0.H, v0.Cp);
    return;
  }

  // Near a bound of the interval.
  if (run.Phase(k) == 1 && fc.transitionCount < kMaxTransitionList)
    fc.transitions[++fc.transitionCount] = k;

  // The neighbour interval: the primary one when T lies near one of its bounds (and
  // T is not being evaluated in it already), else the first other reserve slot of k
  // with a bound near T.  A slot with the same phi1 and phi2 as the current interval
  // is the current one or a plain continuation of it and is passed over.  Both sides
  // of a bound thus find each other, and the blend is continuous across it.
  const PolyInterval* neighbour = nullptr;
  const bool nearPrimary =
      currentSlot != 0 && (std::fabs(T - primary.tmax) < dT || std::fabs(T - primary.tmin) < dT);
  for (int s = slots.first; s >= 1 && s <= slots.last && run.reserveOwner[s] != 0; ++s) {
    if (run.reserveOwner[s] != k) continue;
    if (nearPrimary) {
      neighbour = &primary;
      break;
    }
    const PolyInterval& iv = run.reserve[s];
    if (s == currentSlot || (iv.phi[0] == current->phi[0] && iv.phi[1] == current->phi[1]))
      continue;
    if (NearBound(iv, T, dT)) {
      neighbour = &iv;
      break;
    }
  }
  if (neighbour == nullptr) {
    Store(ws, k, v0.S, v0.H, v0.Cp);
    return;
  }

  fc.mode = 2;
  const Values<double> v1 = EvaluateInterval(neighbour->phi, reduced);
  const double w = T >= neighbour->tmax - dT ? (double(neighbour->tmax) + dT - T) / (2.0 * dT)
                                             : (T - (neighbour->tmin - dT)) / (2.0 * dT);
  const double S = v0.S + (v1.S - v0.S) * w;
  const double H = v0.H + (v1.H - v0.H) * w;
  const double Cp = std::max(v0.Cp, std::fabs(v1.H - v0.H) / 2.0);
  fc.mode = 1;
  Store(ws, k, S, H, Cp);
}

}  // namespace kvil
