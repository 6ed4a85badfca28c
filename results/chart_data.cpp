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

namespace {

std::string Trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The axis of each series: 0 for all, unless the magnitudes (largest absolute value)
// fall into two groups more than kSecondAxisRatio apart; the group of the first series
// is then on the left (0), the other on the right (1).
std::vector<int> SplitAxes(const std::vector<double>& magnitudes) {
  std::vector<int> axis(magnitudes.size(), 0);
  std::vector<double> sorted;
  for (double m : magnitudes)
    if (m > 0 && std::isfinite(m)) sorted.push_back(m);
  std::sort(sorted.begin(), sorted.end());
  double gap = 1, threshold = 0;
  for (size_t i = 1; i < sorted.size(); ++i) {
    if (sorted[i] / sorted[i - 1] > gap) {
      gap = sorted[i] / sorted[i - 1];
      threshold = sorted[i];
    }
  }
  if (!(gap > kSecondAxisRatio) || magnitudes.empty()) return axis;
  const bool firstHigh = magnitudes[0] >= threshold;
  for (size_t u = 0; u < magnitudes.size(); ++u) {
    const bool high = magnitudes[u] >= threshold;
    axis[u] = high == firstHigh ? 0 : 1;
  }
  return axis;
}

}  // namespace

ChartData BuildChartData(const ResultsTable& table, bool concentration, bool logX, bool logY) {
  ChartData d;
  const std::string xTitle = table.titles.empty() ? std::string() : table.titles[0];
  const int c = table.FunctionCount();
  auto isAmount = [&](int u) {
    return u < int(table.amounts.size()) ? bool(table.amounts[u]) : concentration;
  };
  bool allAmounts = c > 0;
  for (int u = 1; u <= c; ++u) allAmounts = allAmounts && isAmount(u);
  if (allAmounts) d.title = "mol/kg";
  d.foot = xTitle;

  double xMin = 1e30, xMax = -1e30;
  std::vector<double> magnitudes;
  for (int u = 1; u <= c && d.ok; ++u) {
    ChartSeries s;
    s.title = table.titles[u];
    double magnitude = 0;
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
      magnitude = std::max(magnitude, std::fabs(*rawY));
      s.points.emplace_back(*x, *y);
    }
    magnitudes.push_back(magnitude);
    d.series.push_back(std::move(s));
  }
  const std::vector<int> axis = SplitAxes(magnitudes);
  double yMin[2] = {1e30, 1e30}, yMax[2] = {-1e30, -1e30};
  std::string titles[2];
  bool amounts[2] = {true, true};
  int count[2] = {0, 0};
  for (size_t u = 0; u < d.series.size(); ++u) {
    ChartSeries& s = d.series[u];
    s.axis = axis[u];
    d.twoAxes = d.twoAxes || s.axis == 1;
    for (const auto& point : s.points) Include(point.second, yMin[s.axis], yMax[s.axis]);
    titles[s.axis] += (titles[s.axis].empty() ? "" : "; ") + Trimmed(s.title);
    amounts[s.axis] = amounts[s.axis] && isAmount(int(u) + 1);
    ++count[s.axis];
  }
  if (d.twoAxes) {
    d.leftTitle = amounts[0] ? "mol/kg" : titles[0];
    d.rightTitle = amounts[1] ? "mol/kg" : titles[1];
    if (amounts[0] && amounts[1]) d.title.clear();  // each axis says it
  }
  WidenRange(xMin, xMax);
  d.x = {xMin, xMax, AxisPattern(xMin, xMax), logX};
  for (int a = 0; a < 2; ++a) WidenRange(yMin[a], yMax[a]);
  d.y = {yMin[0], yMax[0], AxisPattern(yMin[0], yMax[0]), logY};
  d.y2 = {yMin[1], yMax[1], AxisPattern(yMin[1], yMax[1]), logY};
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

namespace {

// The values of a logarithmic axis, as logarithms, from below `from` to above `to`:
// the decades (fine 0), also 2 and 5 times them (fine 1), or every multiple 1..9 of
// them (fine 2).
std::vector<double> LogSteps(double from, double to, int fine) {
  std::vector<double> v;
  if (!std::isfinite(from) || !std::isfinite(to) || to - from > 2000) return v;
  for (double decade = std::floor(from) - 1; decade <= std::ceil(to) + 1; ++decade) {
    for (int m = 1; m <= 9; ++m) {
      if (m > 1 && fine == 0) break;
      if (fine == 1 && m != 1 && m != 2 && m != 5) continue;
      v.push_back(decade + std::log10(double(m)));
    }
  }
  return v;
}

// How fine the ticks of [minLog, maxLog] are: every multiple within one decade, 1-2-5
// while fewer than three decades fall inside, else the decades.
int LogFineness(double minLog, double maxLog) {
  if (maxLog - minLog < 1 - 1e-9) return 2;
  return std::floor(maxLog + 1e-9) - std::ceil(minLog - 1e-9) < 2 ? 1 : 0;
}

}  // namespace

std::vector<AxisTick> LogAxisTicks(double minLog, double maxLog) {
  std::vector<AxisTick> ticks;
  if (!(maxLog >= minLog)) return ticks;
  const int fine = LogFineness(minLog, maxLog);
  if (fine == 2) {
    // Within a decade: round steps of the values, placed at their logarithms.
    const double lo = std::pow(10.0, minLog), hi = std::pow(10.0, maxLog);
    for (AxisTick t : AxisTicks(lo, hi, AxisPattern(lo, hi), 5)) {
      if (!(t.value > 0)) continue;
      t.value = std::log10(t.value);
      ticks.push_back(t);
    }
    return ticks;
  }
  auto add = [&](double v) {
    if (int(ticks.size()) < kMaxAxisTicks) ticks.push_back({v, Shortest(std::pow(10.0, v))});
  };
  // The ends of a range rounded out to finer steps are labelled too.
  const std::vector<double> ends = LogSteps(minLog, maxLog, 1);
  auto isEnd = [&](double v) {
    for (double e : ends)
      if (std::fabs(e - v) < 1e-9) return true;
    return false;
  };
  if (fine == 0 && isEnd(minLog) && std::fabs(minLog - std::round(minLog)) > 1e-9) add(minLog);
  for (double v : LogSteps(minLog, maxLog, fine))
    if (v >= minLog - 1e-9 && v <= maxLog + 1e-9) add(v);
  if (fine == 0 && isEnd(maxLog) && std::fabs(maxLog - std::round(maxLog)) > 1e-9) add(maxLog);
  return ticks;
}

std::vector<AxisTick> TicksOf(const AxisRange& range) {
  return range.log ? LogAxisTicks(range.min, range.max)
                   : AxisTicks(range.min, range.max, range.pattern);
}

AxisRange RoundedRange(const AxisRange& data, int target) {
  if (data.log && data.max - data.min < 1 - 1e-9) {
    // Within a decade: the values' range rounded as on a linear axis.
    AxisRange values{std::pow(10.0, data.min), std::pow(10.0, data.max), kWideAxisPattern};
    values = RoundedRange(values, 5);
    AxisRange r = data;
    if (values.min > 0 && values.max > values.min) {
      r.min = std::log10(values.min);
      r.max = std::log10(values.max);
    }
    return r;
  }
  if (data.log) {
    // Out to the neighbouring ticks of the logarithmic axis.
    AxisRange r = data;
    const std::vector<double> steps = LogSteps(data.min, data.max, LogFineness(data.min, data.max));
    for (double v : steps)
      if (v <= data.min + 1e-9) r.min = v;
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
      if (*it >= data.max - 1e-9) r.max = *it;
    if (!(r.max > r.min)) return data;
    return r;
  }
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
