// The results report: header of a run and one block per calculated point.
//
// Written through the run's ReportFile (common/report_file.h), lines ended by CR LF.  The
// layout is column-exact for a monospaced font.  The point block reads the state the
// solver, the sound-velocity and the rocket calculations left in the workspace
// (ws.results, ws.species.nSingle, ws.run, ws.state, ws.corrections), the task
// (options, elements, components, fixed concentrations) and the settings (cut-off,
// ambient pressure, freezing temperature).  It leaves the gas amount n_gas (mol/kg),
// the flow velocity (m/s) and the expansion pressure (MPa) in ws.state.report* for the
// results table (results/table_file.h).
//
// Units: the assigned values and the workspace are SI (MPa, K, m3/kg, kJ/(kg*K),
// kJ/kg); the report echoes assigned values in the unit the user chose per parameter
// and prints results in SI or technical units by the output-unit option.
//
// Failures: a failed write or flush sets the report file's failed(); the writer goes on
// quietly and the caller reports the failure.  Quantities that cannot be formed (mole
// fractions without a gas phase, a thrust coefficient without a characteristic
// velocity, ...) are left out rather than printed as errors.
#pragma once

#include <ctime>
#include <string>

namespace kvil {

class Interaction;
class ReportFile;
struct CalcWorkspace;
struct Settings;
struct Task;

// A run's report and what it is written from: the task and the settings of the run, the
// workspace holding the point (the writer leaves in its run state the values for the
// results table and whether the oxidizer/fuel messages were shown), the report file,
// and the interaction that shows the messages of the oxidizer/fuel balance.
struct RunReport {
  const Task& task;
  const Settings& settings;
  CalcWorkspace& ws;
  ReportFile& file;
  Interaction& ui;
};

// Header of a run; codes of the first, second and expansion parameter (0 = none).
void WriteReportHeader(const RunReport& report, int firstCode, int secondCode, int expansionCode);

// One point block: the number of system elements and run species, the two assigned
// values of the point in SI units (MPa, K, m3/kg, kJ/(kg*K), kJ/kg; an area ratio as
// is) and their parameter codes (1..6; 9 = area ratio as second code of an expansion
// point).  Flushes the report after the element block, the equilibrium parameters and
// at its end.  A point that is not representable (PointResultsRepresentable) gets the
// line kPointNotRepresentable and a rule instead of its block.
void WritePointReport(const RunReport& report, int elementCount, int speciesCount, float value1,
                      int code1, float value2, int code2);

// True when every value of the current point that the report and the results table
// read is a finite number: the state and the further values of ws.results, the amounts
// of the `speciesCount` run species and the chamber, freezing and throat values of
// ws.state.  A point that fails is no result: the run counts it as failed with a
// message, and the writers below never print or store it.
bool PointResultsRepresentable(const CalcWorkspace& ws, int speciesCount);

// Text of the run's message, and of the report line WritePointReport writes instead
// of a block when the point is not representable.
inline constexpr const char* kPointNotRepresentable =
    "The results of this point are not finite numbers.";

// 76 "_", line end, empty line.
void WriteSeparatorLine(ReportFile& report);

// 12-character field for parameter values.
std::string FormatReportNumber(double value);
// 12-character field for gas concentrations (dominant = the PrDom option).
std::string FormatConcentration(double value, bool dominant);
// The same, appended to out.
void AppendConcentration(std::string& out, double value, bool dominant);

// Unit name for a unit code 1..20 (odd SI, even technical); "" outside that range.
const std::string& ReportUnitName(int unitCode);

// Source of the date and time of the report header.  nullptr restores the system
// clock; tests install a fixed clock.  The time is rendered in the local time zone
// with the locale's date ("%x") and time ("%X") formats.
using ReportClock = std::time_t (*)();
void SetReportClock(ReportClock clock);

}  // namespace kvil
