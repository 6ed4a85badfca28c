#include "thermo/detonation_figures.h"

#include "common/numfmt.h"

namespace kvil {

std::string InitialStateText(const DetonationRequest& request) {
  if (request.initialDensity > 0)
    return "initial density " + FormatPicture(request.initialDensity, "0.####") + " g/cm3";
  return "initial state p0 = " + FormatPicture(request.initialPressure, "0.####") +
         " MPa, T0 = " + FormatPicture(request.initialTemperature, "0.##") + " K";
}

std::string DetonationFailureMessage(const DetonationRequest& request,
                                     const DetonationFigures& figures) {
  return "No detonation state for the " + InitialStateText(request) + ": " + figures.reason + ".";
}

}  // namespace kvil
