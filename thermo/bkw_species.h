// The BKW data of the run species (EOS code 4): covolumes of the gas species and the
// equations of state of the condensed ones, in ws.bkw.
//
// PrepareBkwSpecies fills ws.bkw for the run tables PrepareRunSpecies has built: a gas
// species (ions included) takes its covolume from data/bkw/covolumes.csv by display name,
// or the estimate from its atoms (thermo/bkw.h) and is marked as estimated; a condensed
// species takes its high-pressure equation (C(c), Al2O3(c), Al(c)) or none
// (incompressible).  The parameter set is the task's option kOptBkwSet.  It leaves
// ws.bkw.active as it was and invalidates the BKW unknowns of earlier solves.
#pragma once

#include <string>
#include <vector>

namespace kvil {

struct CalcWorkspace;
struct Task;

void PrepareBkwSpecies(const Task& task, CalcWorkspace& ws);

// Display names of the run species whose covolume was estimated, in run order.
std::vector<std::string> EstimatedCovolumeSpecies(const CalcWorkspace& ws);

// Properties of the mixture of fixed composition at the state of ws.results (T, p,
// gasVolume; amounts of ws.species, heat capacities of the species functions): the gas
// with its BKW residual functions, the condensed products with their volumes under
// pressure.  Cp and Cv in kJ/(kg K), the sound velocity a (m/s) from
// (dV/dp)_S = (dV/dp)_T + T (dV/dT)_p^2/Cp, k = a^2/(p V).  valid false when a
// derivative has the wrong sign or is not finite.
struct BkwFrozenProperties {
  bool valid = false;
  double Cp = 0, Cv = 0, a = 0, k = 0;
};
BkwFrozenProperties EvaluateBkwFrozen(const CalcWorkspace& ws);

}  // namespace kvil
