// The results report: header of a run and one block per calculated point.
//
// Written through Session::report (results/report_file.h).  The layout is
// column-exact for a monospaced font.  The point block reads the state the solver,
// the sound-velocity and the rocket calculations left in the workspace, and leaves
// the gas amount, the flow velocity and the expansion pressure in
// ws.state.report* for the results table.
#pragma once

#include <string>

namespace kvil {

struct Session;

// Header of a run; codes of the first, second and expansion parameter (0 = none).
void WriteReportHeader(Session& session, int firstCode, int secondCode, int expansionCode);

// One point block: the two assigned values of the point in SI units and their codes.
void WritePointReport(Session& session, int elementCount, int speciesCount, float value1,
                      int code1, float value2, int code2);

// 76 "_", line end, empty line.
void WriteSeparatorLine(Session& session);

// 12-character field for parameter values.
std::string FormatReportNumber(double value);
// 12-character field for gas concentrations (dominant = the PrDom option).
std::string FormatConcentration(double value, bool dominant);

}  // namespace kvil
