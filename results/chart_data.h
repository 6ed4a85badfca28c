// The numbers of a chart of a results table, without drawing: one series per function
// column against the argument column, the ranges and label patterns of the axes, the
// ticks and their texts, and the cursor read-out.
//
// Functions whose magnitudes differ by more than kSecondAxisRatio (a temperature and a
// species amount, say) are split over two vertical axes: the group of the first
// function on the left, the other on the right, each axis titled with what it shows.
//
// A logarithmic axis: the series hold log10 of the values, drawn on a linear scale, so
// that equal ratios are equal distances; the ticks sit at the decades (and at 2 and 5
// times them when the range spans less than two decades) and are labelled with the
// values themselves ("0.01", "1", "100", "1e+06"), and the read-out gives values.
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

// Magnitudes of the functions that ask for a second axis.
inline constexpr double kSecondAxisRatio = 100;

struct ChartSeries {
  std::string title;
  std::vector<std::pair<double, double>> points;  // (x, y) in ascending x
  int axis = 0;  // 0 the left axis, 1 the right one
};

struct AxisRange {
  double min = 0, max = 1;
  std::string pattern = kWideAxisPattern;
  bool log = false;  // min and max are decimal logarithms
};

struct ChartData {
  std::string title;  // "mol/kg" when every function is a species amount, else empty
  std::string foot;   // the argument's title
  std::string leftTitle;   // with two axes: what each shows ("mol/kg", a function's
  std::string rightTitle;  // title, or the titles joined by "; "); else empty
  std::vector<ChartSeries> series;
  AxisRange x, y;
  AxisRange y2;           // the right axis
  bool twoAxes = false;
  bool logXAllowed = true;  // false when an argument value is not positive
  bool logYAllowed = true;  // false when a function value of any series is not positive
  bool ok = true;           // false after a cell that is not a number or has no logarithm
};

// Builds the chart of `table` (which passed CheckTableForPlot).  `concentration` is
// true when the functions are species amounts (the table's own `amounts`, when it has
// them, say it column by column).  The ranges cover all points; an empty
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
// tick step of AxisTicks (a logarithmic range to the neighbouring ticks of
// LogAxisTicks), so that curves do not run along the frame; its pattern is that of the
// new span.
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

// Ticks of a logarithmic axis from 10^minLog to 10^maxLog: at the decades, and at 2
// and 5 times them while fewer than three decades fall inside; each labelled with its
// value (%.6g), at the position of its logarithm.
std::vector<AxisTick> LogAxisTicks(double minLog, double maxLog);

// The ticks of an axis as shown: linear or logarithmic.
std::vector<AxisTick> TicksOf(const AxisRange& range);

// Cursor read-out: "X = " x "    Y = " y, each value "%-12.3f" when its magnitude is at
// least 1, else "%-12.5e".
std::string CursorText(double x, double y);

}  // namespace kvil
