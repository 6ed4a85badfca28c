#include "results/report.h"

#include "core/session.h"

namespace kvil {

// Placeholder bodies; the report writer replaces them.
void WriteReportHeader(Session&, int, int, int) {}
void WritePointReport(Session&, int, int, float, int, float, int) {}
void WriteSeparatorLine(Session&) {}
std::string FormatReportNumber(double) { return std::string(12, ' '); }
std::string FormatConcentration(double, bool) { return std::string(12, ' '); }

}  // namespace kvil
