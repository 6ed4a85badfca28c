#include "results/table_file.h"

#include "core/session.h"

namespace kvil {

const char* const kResultsParameterNames[kResultsParameterCount] = {
    "p, MPa",       "T, K",           "V, cub.m/kg",   "S, kJ/(kg*K)",    "H, kJ/kg",
    "U, kJ/kg",     "Cp, kJ/(kg*K)",  "M, mol/kg",     "Vg, cub.m/kg",    "Rg, kJ/(kg*K)",
    "Z",            "a, m/s",         "k",             "k\"",             "Cp\", kJ/(kg*K)",
    "Cv\", kJ/(kg*K)", "Lt, W/(m*K)", "Lt\", W/(m*K)", "Mu, N*s/sq.m",    "FP, kJ/kg",
    "Cov, cub.dm/kg", "Wa, m/s",      "Pa, MPa"};

// Placeholder bodies; the results table writer replaces them.
bool AppendResultsRecord(Session&, int) { return true; }
TableReadStatus ReadResultsTable(const std::string&, std::vector<ResultsRecord>&) {
  return TableReadStatus::Unreadable;
}

}  // namespace kvil
