#include "results/chart_data.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <set>

#include "common/numfmt.h"
#include "common/numparse.h"

namespace kvil {

const std::uint32_t kSeriesColours[kMaxChartSeries] = {0x0000FF, 0xFF0000, 0x008080, 0x800000,
                                                       0x808000, 0x000000, 0x800080, 0x00FF00,
                                                       0xFF00FF, 0x00FFFF};

namespace {

// The number of a cell, or its logarithm; nullopt when there is none.
std::optional<double> CellValue(const std::string& cell, bool log) {
  std::optional<double> v = TryParseNumber(cell);
  if (!v || !std::isfinite(*v)) return std::nullopt;
  if (!log) return v;
  if (*v <= 0) return std::nullopt;
  return std::log10(*v);
}

void Include(double v, double& min, double& max) {
  if (v < min) min = v;
  if (v > max) max = v;
}

std::string Shortest(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

}  // namespace

void WidenRange(double& min, double& max) {
  if (!(min <= max)) {
    min = 0;
    max = 1;
  } else if (min == max) {
    const double d = min == 0 ? 1.0 : std::fabs(min) * 0.05;
    min -= d;
    max += d;
  }
}

std::string AxisPattern(double min, double max) {
  return std::fabs(max - min) <= 0.001 ? kNarrowAxisPattern : kWideAxisPattern;
}

ChartData BuildChartData(const ResultsTable& table, bool concentration, bool logX, bool logY) {
  ChartData d;
  const std::string xTitle = table.titles.empty() ? std::string() : table.titles[0];
  if (concentration) d.title = "mole";
  const size_t lead = xTitle.find_first_not_of(' ');
  d.foot = logX ? "Log(" + (lead == std::string::npos ? "" : xTitle.substr(lead)) + ")" : xTitle;
  if (logY) d.leftTitle = "Log";

  double xMin = 1e30, xMax = -1e30, yMin = 1e30, yMax = -1e30;
  const int c = table.FunctionCount();
  for (int u = 1; u <= c && d.ok; ++u) {
    ChartSeries s;
    s.title = table.titles[u];
    for (const auto& row : table.rows) {
      const std::optional<double> x = CellValue(row[0], logX);
      const std::optional<double> rawX = TryParseNumber(row[0]);
      const std::optional<double> y = CellValue(row[u], logY);
      const std::optional<double> rawY = TryParseNumber(row[u]);
      if (!logX && rawX && *rawX <= 0) d.logXAllowed = false;
      if (!logY && rawY && *rawY <= 0) d.logYAllowed = false;
      if (!x || !y) {
        d.ok = false;
        break;
      }
      Include(*x, xMin, xMax);
      Include(*y, yMin, yMax);
      s.points.emplace_back(*x, *y);
    }
    d.series.push_back(std::move(s));
  }
  WidenRange(xMin, xMax);
  WidenRange(yMin, yMax);
  d.x = {xMin, xMax, AxisPattern(xMin, xMax)};
  d.y = {yMin, yMax, AxisPattern(yMin, yMax)};
  return d;
}

namespace {

// Most ticks an axis gets, whatever the range and the target: a range the step cannot
// resolve (the step lost beside the values) would otherwise give ticks without end.
constexpr int kMaxAxisTicks = 1000;

// Round step for about `target` intervals over [min, max]; 0 when there is none (no
// width, a span or step beyond the doubles, a step too small to move the values).
double TickStep(double min, double max, int target) {
  if (!(max > min) || !std::isfinite(min) || !std::isfinite(max) || target < 1) return 0;
  const double raw = (max - min) / target;
  if (!std::isfinite(raw) || !(raw > 0)) return 0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    step = m * power;
    if (step >= raw) break;
  }
  if (!std::isfinite(step) || !(step > 0)) return 0;
  // The ticks are min/step apart from 0: beyond the resolution of the doubles they
  // would not advance.
  const double largest = std::max(std::fabs(min), std::fabs(max));
  if (!std::isfinite(largest / step) || largest / step > 1e15) return 0;
  return step;
}

}  // namespace

AxisRange RoundedRange(const AxisRange& data, int target) {
  AxisRange r = data;
  // Widening can change the step the ticks take; round again until both agree.
  for (int pass = 0; pass < 4; ++pass) {
    const double step = TickStep(r.min, r.max, target);
    if (step == 0) return data;
    const double min = std::floor(data.min / step + 1e-9) * step;
    const double max = std::ceil(data.max / step - 1e-9) * step;
    if (!std::isfinite(min) || !std::isfinite(max)) return data;
    if (min == r.min && max == r.max) break;
    r.min = min;
    r.max = max;
  }
  r.pattern = AxisPattern(r.min, r.max);
  return r;
}

std::vector<AxisTick> AxisTicks(double min, double max, const std::string& pattern, int target) {
  std::vector<AxisTick> ticks;
  const double step = TickStep(min, max, target);
  if (step == 0) return ticks;
  const double first = std::ceil(min / step - 1e-9) * step;
  if (!std::isfinite(first)) return ticks;
  for (int i = 0; i < kMaxAxisTicks; ++i) {
    double v = first + i * step;
    if (!std::isfinite(v) || v > max + step * 1e-9) break;
    if (std::fabs(v) < step * 1e-9) v = 0;  // no "-0" from rounding
    ticks.push_back({v, FormatPicture(v, pattern)});
  }
  std::set<std::string> seen;
  bool repeated = false;
  for (const AxisTick& t : ticks) repeated |= !seen.insert(t.text).second;
  if (repeated)
    for (AxisTick& t : ticks) t.text = Shortest(t.value);
  return ticks;
}

std::string CursorText(double x, double y) {
  auto format = [](double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, std::fabs(v) >= 1 ? "%-12.3f" : "%-12.5e", v);
    return std::string(buf);
  };
  return "X = " + format(x) + "    Y = " + format(y);
}

}  // namespace kvil
