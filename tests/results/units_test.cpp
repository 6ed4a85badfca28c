// One case in both unit systems: the example propellant with its assigned values typed
// in MPa, K, m3/kg and kJ and printed in SI, then typed in atm, C, dm3/kg and kcal and
// printed in the technical units.  The states must be the same: every record of the
// results table, and every figure of the report once its unit is converted back.
#include <gtest/gtest.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "common/binio.h"
#include "common/constants.h"
#include "example_run.h"
#include "results/table_file.h"

namespace kvil {
namespace {

namespace fs = std::filesystem;

// One assigned parameter: its code, its values in the internal unit, and how they are
// typed in the second unit.
struct Assigned {
  int code = kParamNone;
  std::vector<double> si;
};

struct UnitCase {
  const char* name;
  Assigned first, second, expansion;
};

// A value of the internal unit in the second unit of parameter `code`.
double InSecondUnit(int code, double v) {
  switch (code) {
    case kParamP:
    case kParamPa:
      return v / kStandardAtmosphereMPa;
    case kParamT:
      return v - kCelsiusOffset;
    case kParamV:
    case kParamVa:
      return v * 1000.0;
    default:
      return v * kKcalPerKJ;
  }
}

std::string ListText(const Assigned& a, bool second) {
  std::string text;
  for (double v : a.si) {
    char buf[64];
    const double typed = second ? InSecondUnit(a.code, v) : v;
    auto r = std::to_chars(buf, buf + sizeof buf, typed, std::chars_format::general, 9);
    if (!text.empty()) text += ' ';
    text.append(buf, r.ptr);
  }
  return text;
}

// A number of a report line with the unit word printed after it ("" when none).
struct Figure {
  double value = 0;
  double resolution = 0;  // one unit of the last printed digit
  std::string unit;
};

std::vector<Figure> Figures(const std::string& line) {
  static const std::regex number(R"([-+]?\d+(\.\d*)?([eE][-+]?\d+)?)");
  std::vector<Figure> out;
  for (auto it = std::sregex_iterator(line.begin(), line.end(), number);
       it != std::sregex_iterator(); ++it) {
    const std::string text = it->str();
    Figure f;
    f.value = std::stod(text);
    const auto point = text.find('.');
    const auto exp = text.find_first_of("eE");
    int decimals = 0;
    if (point != std::string::npos)
      decimals = int((exp == std::string::npos ? text.size() : exp) - point - 1);
    int exponent = exp == std::string::npos ? 0 : std::stoi(text.substr(exp + 1));
    f.resolution = std::pow(10.0, exponent - decimals);
    size_t p = it->position() + it->length();
    while (p < line.size() && line[p] == ' ') ++p;
    size_t e = p;
    while (e < line.size() && line[e] != ' ') ++e;
    // A unit is a word; a number after a number (the next figure) is none.
    if (p < e && std::isalpha(static_cast<unsigned char>(line[p]))) f.unit = line.substr(p, e - p);
    out.push_back(f);
  }
  return out;
}

// Converts a value printed in a technical unit to the SI unit printed beside the same
// figure of the SI report; false for a unit pair this test does not know.
bool ToSi(const std::string& tech, const std::string& si, double& v) {
  static const std::map<std::string, double> factor = {
      {"at", kTechnicalAtmosphereMPa},
      {"atm", kStandardAtmosphereMPa},
      {"cub.dm/kg", 0.001},
      {"kcal/(kg*K)", 1 / kKcalPerKJ},
      {"kcal/kg", 1 / kKcalPerKJ},
      {"kp*m/(kg*K)", 1 / (1000 * kKpmPerJ)},
      {"kp*m/kg", 1 / (1000 * kKpmPerJ)},
      {"kcal/(m*h*K)", 1 / kKcalPerHourPerW},
      {"kp*s/sq.m", 1 / kKpPerNewton},
  };
  if (tech == si) return true;
  if (tech == "C" && si == "K") {
    v += kCelsiusOffset;
    return true;
  }
  auto f = factor.find(tech);
  if (f == factor.end()) return false;
  v *= f->second;
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  return lines;
}

class UnitSystemsTest : public ::testing::TestWithParam<UnitCase> {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           (std::string("kvil_units_") + GetParam().name);
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the case with the values typed in the first (SI) or second units.
  void Run(bool second, std::string& report, std::vector<ResultsRecord>& records) {
    RecordingInteraction ui(Answer::Yes);
    NullTaskView view;
    Session s(ui, view);
    const UnitCase& c = GetParam();
    const std::string name = second ? "technical" : "si";
    ASSERT_TRUE(example_run::RunExamplePropellant(s, dir_, name, [&](Task& t) {
      example_run::PlainEquilibrium(t, c.first.code, ListText(c.first, second), c.second.code,
                                    ListText(c.second, second));
      t.options[kOptThroat] = 1;
      t.options[kOptSound] = 1;
      t.options[kOptOutputUnits] = second ? 1 : 0;
      if (c.expansion.code != kParamNone) {
        t.expansionCode = c.expansion.code;
        t.slots[3].valueText = ListText(c.expansion, second);
      }
      for (int code = 1; code <= 8; ++code)
        t.unitCodes[code] = std::uint8_t(second ? 2 * code : 2 * code - 1);
    })) << ui.Texts().size();
    ASSERT_TRUE(ReadWholeFile(s.ReportPath(), report));
    ASSERT_EQ(ReadResultsTable(s.TablePath(), records), TableReadStatus::Ok);
  }

  fs::path dir_;
};

TEST_P(UnitSystemsTest, EveryFigureAgrees) {
  std::string siReport, techReport;
  std::vector<ResultsRecord> siRecords, techRecords;
  Run(false, siReport, siRecords);
  Run(true, techReport, techRecords);
  if (HasFatalFailure()) return;

  // The same states, record by record.
  ASSERT_EQ(siRecords.size(), techRecords.size());
  ASSERT_GT(siRecords.size(), 1u);
  for (size_t r = 0; r < siRecords.size(); ++r) {
    const ResultsRecord& a = siRecords[r];
    const ResultsRecord& b = techRecords[r];
    ASSERT_EQ(a.kind, b.kind);
    for (int k = 0; k < 23; ++k)
      EXPECT_NEAR(b.parameters[k], a.parameters[k], 2e-5 * std::fabs(a.parameters[k]) + 1e-7)
          << "record " << r + 1 << ", parameter " << k + 1;
    ASSERT_EQ(a.species.size(), b.species.size());
    for (size_t k = 0; k < a.species.size(); ++k)
      EXPECT_NEAR(b.species[k].second, a.species[k].second,
                  1e-4 * std::fabs(a.species[k].second) + 1e-9)
          << "record " << r + 1 << ", species " << k + 1;
  }

  // The same figures, line by line, each converted from the unit printed beside it.
  const auto siLines = Lines(siReport), techLines = Lines(techReport);
  ASSERT_EQ(siLines.size(), techLines.size());
  int compared = 0, converted = 0;
  for (size_t i = 0; i < siLines.size(); ++i) {
    if (siLines[i].find("Date and time") != std::string::npos) continue;
    const auto a = Figures(siLines[i]);
    auto b = Figures(techLines[i]);
    ASSERT_EQ(a.size(), b.size()) << siLines[i] << "\n" << techLines[i];
    // A value list as typed: its unit follows the last value.
    static const std::regex valueList("^     (p|T|V|S|H|U|Pa|Va) = .*");
    const bool typedList = std::regex_match(siLines[i], valueList);
    for (size_t k = 0; k < a.size(); ++k) {
      double v = b[k].value;
      const std::string& techUnit = typedList ? b.back().unit : b[k].unit;
      const std::string& siUnit = typedList ? a.back().unit : a[k].unit;
      ASSERT_TRUE(ToSi(techUnit, siUnit, v))
          << "unknown unit " << techUnit << " in\n" << techLines[i];
      double resolution = b[k].resolution;
      ToSi(techUnit, siUnit, resolution);
      if (techUnit == "C") resolution = b[k].resolution;
      const double tolerance =
          2e-5 * std::fabs(a[k].value) + a[k].resolution + std::fabs(resolution);
      EXPECT_NEAR(v, a[k].value, tolerance) << "line " << i + 1 << "\n"
                                            << siLines[i] << "\n"
                                            << techLines[i];
      ++compared;
      if (techUnit != siUnit) ++converted;
    }
  }
  EXPECT_GT(compared, 100);
  EXPECT_GT(converted, 10);
}

// p with H of 0 (the enthalpy of the components) and an expansion to a pressure; T and
// V with an expansion to a volume; V with U of 0; p with S.
INSTANTIATE_TEST_SUITE_P(
    ExamplePropellant, UnitSystemsTest,
    ::testing::Values(UnitCase{"pH", {kParamP, {4, 7, 10}}, {kParamH, {0}}, {kParamPa, {0.1}}},
                      UnitCase{"TV", {kParamT, {3000}}, {kParamV, {0.01, 0.02}}, {kParamVa, {0.5}}},
                      UnitCase{"VU", {kParamV, {0.01}}, {kParamU, {0}}, {}},
                      UnitCase{"pS", {kParamP, {7}}, {kParamS, {9.5}}, {kParamPa, {0.1, 1}}}),
    [](const ::testing::TestParamInfo<UnitCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kvil
