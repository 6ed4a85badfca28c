// The numbers of a chart of a results table, without drawing: one series per function
// column against the argument column, optionally as decimal logarithms, the ranges and
// label patterns of the two axes, the ticks and their texts, and the cursor read-out.
//
// A logarithmic axis shows log10 of the values on a linear scale (the axis title says
// "Log"), so that the read-out and the printed chart give the logarithms themselves.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "results/analysis.h"

namespace kvil {

inline constexpr int kMaxChartSeries = kMaxAnalysisFunctions;
// Line and label colours of series 1..10 (0xRRGGBB): blue, red, teal, maroon, olive,
// black, purple, lime, fuchsia, aqua.
extern const std::uint32_t kSeriesColours[kMaxChartSeries];

// Value label patterns of the axes (FormatPicture).
inline constexpr const char* kNarrowAxisPattern = "#.###e-00";  // span up to 0.001
inline constexpr const char* kWideAxisPattern = "#,##0.###";

struct ChartSeries {
  std::string title;
  std::vector<std::pair<double, double>> points;  // (x, y) in ascending x
};

struct AxisRange {
  double min = 0, max = 1;
  std::string pattern = kWideAxisPattern;
};

struct ChartData {
  std::string title;  // "mole" for species amounts, else empty
  std::string foot;   // the argument's title; "Log(" + title + ")" with a log argument,
                      // the title's leading blanks left out
  std::string leftTitle;  // "Log" with log values on the left axis
  std::vector<ChartSeries> series;
  AxisRange x, y;
  bool logXAllowed = true;  // false when an argument value is not positive
  bool logYAllowed = true;  // false when a function value of any series is not positive
  bool ok = true;           // false after a cell that is not a number or has no logarithm
};

// Builds the chart of `table` (which passed CheckTableForPlot).  `concentration` is
// true when the functions are species amounts.  The ranges cover all points; an empty
// or zero-width range is widened so that an axis always has a width.  A log box stays
// allowed while its log flag is on.  On a bad cell, ok is false and the series hold the
// points before it.
ChartData BuildChartData(const ResultsTable& table, bool concentration, bool logX, bool logY);

// Widens [min, max] when it has no width: by 5 % of the value on each side, or by 1
// around 0; an unset range (min above max) becomes [0, 1].
void WidenRange(double& min, double& max);

// Label pattern for an axis from min to max.
std::string AxisPattern(double min, double max);

// The range the chart shows for data from min to max: widened outward to the round
// tick step of AxisTicks, so that curves do not run along the frame; its pattern is
// that of the new span.
AxisRange RoundedRange(const AxisRange& data, int target = 6);

// Tick positions at a round step (1, 2, 2.5 or 5 times a power of ten) inside
// [min, max], about `target` of them, and their texts in `pattern`; texts that would
// repeat get more digits.  No ticks for a range that is not finite, whose span
// overflows, or that the step cannot resolve; never more than 1000 ticks.
struct AxisTick {
  double value;
  std::string text;
};
std::vector<AxisTick> AxisTicks(double min, double max, const std::string& pattern,
                                int target = 6);

// Cursor read-out: "X = " x "    Y = " y, each value "%-12.3f" when its magnitude is at
// least 1, else "%-12.5e".
std::string CursorText(double x, double y);

}  // namespace kvil
