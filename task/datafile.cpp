#include "task/datafile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>
#include <vector>

#include "common/interaction.h"
#include "common/numfmt.h"
#include "common/numparse.h"
#include "task/formula.h"
#include "task/task_view.h"
#include "task/value_lists.h"

namespace kvil {

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr int kUnitCount = 8;
constexpr int kOptionCount = 64;
constexpr int kLine1Items = kUnitCount + kOptionCount + 3 + 3 * kMaxSystemElements;
constexpr int kFirstFormulaLine = 8;
constexpr int kFirstAmountLine = 28;
constexpr int kCommentLine = 68;

// ---- Reading helpers ----------------------------------------------------------------

// Splits the file into lines; a line ends at LF, a CR before the LF is dropped.  A
// final line without its line end counts as a line.
std::vector<std::string> SplitLines(const std::string& content) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    std::size_t next = end == std::string::npos ? content.size() : end + 1;
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = next;
  }
  return lines;
}

std::vector<std::string> SplitWhiteSpace(const std::string& line) {
  std::vector<std::string> items;
  std::string item;
  for (char c : line) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f') {
      if (!item.empty()) items.push_back(std::move(item)), item.clear();
    } else {
      item += c;
    }
  }
  if (!item.empty()) items.push_back(std::move(item));
  return items;
}

bool ParseInteger(const std::string& text, long long lo, long long hi, int& out) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  long long v = 0;
  auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr != last || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

// Any decimal notation of a number that fits a 32-bit float.
bool ParseFloat(const std::string& text, float& out) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  if (first == last ||
      !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '-' || *first == '.'))
    return false;
  double v = 0;
  auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr != last || !std::isfinite(v) ||
      std::fabs(v) > std::numeric_limits<float>::max())
    return false;
  out = static_cast<float>(v);
  return true;
}

std::string Cut(const std::string& text, std::size_t limit) {
  return text.substr(0, limit);
}

}  // namespace

bool ParseDatafile(const std::string& content, RawDatafile& raw) {
  raw.lines = SplitLines(content);
  if (static_cast<int>(raw.lines.size()) < kCommentLine) return false;
  const std::vector<std::string> items = SplitWhiteSpace(raw.lines[0]);
  if (static_cast<int>(items.size()) < kLine1Items) return false;
  std::size_t k = 0;
  for (int c = 1; c <= kUnitCount; ++c)
    if (!ParseInteger(items[k++], 0, 255, raw.units[c])) return false;
  for (int p = 0; p < kOptionCount; ++p) {
    int v = 0;
    if (!ParseInteger(items[k++], 0, 255, v)) return false;
    raw.options[p] = static_cast<std::uint8_t>(v);
  }
  for (int& code : raw.codes)
    if (!ParseInteger(items[k++], 0, 255, code)) return false;
  for (int e = 1; e <= kMaxSystemElements; ++e)
    if (!ParseFloat(items[k++], raw.elements[e].amount)) return false;
  for (int e = 1; e <= kMaxSystemElements; ++e)
    if (!ParseInteger(items[k++], 0, kElementTableSize, raw.elements[e].index)) return false;
  for (int i = 1; i <= kMaxComponents; ++i)
    if (!ParseFloat(items[k++], raw.enthalpies[i])) return false;

  raw.fixedCount = raw.options[kOptFixedCount];
  if (raw.fixedCount > kMaxFixedConcentrations) return false;
  const int lastLine = kCommentLine + 2 * raw.fixedCount;
  if (static_cast<int>(raw.lines.size()) < lastLine) return false;
  // Lines the format does not hold, or a formula where an amount belongs, mean lines
  // added or lost (more than 20 formula lines shift every amount by one): the columns
  // would be read shifted.  Blank lines after the end are harmless.
  for (std::size_t l = lastLine; l < raw.lines.size(); ++l)
    if (IsMoreThanBlank(raw.lines[l])) return false;
  for (int i = 1; i <= kMaxComponents; ++i) {
    for (char c : raw.lines[kFirstAmountLine + 2 * (i - 1) - 1])
      if (std::isalpha(static_cast<unsigned char>(c)) && c != 'E' && c != 'e') return false;
  }
  for (int f = 1; f <= raw.fixedCount; ++f) {
    const std::string& name = raw.lines[kCommentLine + 2 * (f - 1)];
    const std::vector<std::string> value = SplitWhiteSpace(raw.lines[kCommentLine + 2 * f - 1]);
    raw.fixed[f].name = Cut(name, kMaxSpeciesName);
    if (value.size() != 1 || !ParseFloat(value[0], raw.fixed[f].value)) return false;
  }
  return true;
}

namespace {

// Lines 2..4 carry one blank after the value text; it is not part of the text.
std::string ValueTextOf(const std::string& line) {
  std::string text = line;
  if (!text.empty() && text.back() == ' ') text.pop_back();
  return Cut(text, kMaxTaskText);
}

}  // namespace

void ApplyDatafile(Task& task, const SpeciesCompositions& compositions, Interaction& ui,
                   const RawDatafile& raw) {
  const auto& lines = raw.lines;
  auto line = [&](int number) -> const std::string& { return lines[number - 1]; };

  // Units: the unit chooser shows the second unit only for code 2c, else the first.
  for (int c = 1; c <= kUnitCount; ++c)
    task.unitCodes[c] = static_cast<std::uint8_t>(raw.units[c] == 2 * c ? 2 * c : 2 * c - 1);
  task.options = raw.options;
  // Parameter choosers: a code a chooser does not offer leaves it empty; "Template"
  // leaves no second or adiabatic parameter; two equal parameters cannot specify an
  // equilibrium.
  task.firstCode =
      raw.codes[0] >= kParamP && raw.codes[0] <= kParamTemplate ? raw.codes[0] : kParamNone;
  task.secondCode = raw.codes[1] >= kParamP && raw.codes[1] <= kParamU ? raw.codes[1] : kParamNone;
  task.expansionCode =
      raw.codes[2] >= kParamPa && raw.codes[2] <= kParamAreaRatio ? raw.codes[2] : kParamNone;
  if (task.firstCode == kParamTemplate) {
    task.secondCode = kParamNone;
    task.expansionCode = kParamNone;
  } else if (task.firstCode != kParamNone && task.firstCode == task.secondCode) {
    ui.Error("Equilibrium must be specified by different parameters !");
    task.firstCode = kParamNone;
  }
  for (int e = 1; e <= kMaxSystemElements; ++e) task.elements[e] = raw.elements[e];
  for (int i = 1; i <= kMaxComponents; ++i) task.components[i].enthalpy = raw.enthalpies[i];

  const int codes[4] = {0, task.firstCode, task.secondCode, task.expansionCode};
  for (int n = 1; n <= 3; ++n) {
    ParameterSlot& s = task.slots[n];
    s.valueText = ValueTextOf(line(1 + n));
    if (codes[n] > 0) ParseValueList(task, s.valueText, n, codes[n], ui);
  }
  for (int n = 1; n <= 3; ++n) {
    task.slots[n].stepText = line(4 + n);
    ParseStep(task, task.slots[n].stepText, n, ui);
  }

  // A row that is no component (two formulas in one line, an element without atoms, a
  // negative amount) and a range that makes none keep their texts as stored: they are
  // not read as something else, and the run, the grid and Info refuse them with one
  // message naming the row (ComponentProblem, RangeProblem).
  for (int i = 1; i <= kMaxComponents; ++i) {
    SourceComponent& c = task.components[i];
    c.formula = line(kFirstFormulaLine + i - 1);
    if (IsMoreThanBlank(c.formula) && ComponentFormulaProblem(i, c.formula).empty())
      ParseFormula(task, i, c.formula, ui);
  }
  for (int i = 1; i <= kMaxComponents; ++i) {
    SourceComponent& c = task.components[i];
    c.amountText = Cut(line(kFirstAmountLine + 2 * (i - 1)), kMaxTaskText);
    if (IsMoreThanBlank(c.amountText) && !HasNegativeAmount(c.amountText))
      ParseAmountList(task, i, ui);
    const std::string& stepText = line(kFirstAmountLine + 2 * (i - 1) + 1);
    if (IsMoreThanBlank(stepText)) {
      c.stepText = stepText;
      double v = 0;
      // A step beyond the range of a 32-bit value is no number: the row keeps no step.
      if (ParseNumber(stepText, v, ui) && std::isfinite(static_cast<float>(v)))
        c.step = static_cast<float>(v);
    }
  }
  task.comment = Cut(line(kCommentLine), kMaxTaskText);

  task.fixedCount = raw.fixedCount;
  for (int f = 1; f <= kMaxFixedConcentrations; ++f)
    task.fixed[f] = f <= raw.fixedCount ? raw.fixed[f] : FixedConcentration{};

  // The variant flags belong to the amounts just read.
  CheckVariants(task, ui);
  ComputeElementBalance(task, compositions, ui, 1);
}

// ---- Writing ------------------------------------------------------------------------

namespace {
// A text stored on one line of the datafile: a line break inside it would shift every
// following line, so it is written as a blank.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}
}  // namespace

std::string DatafileText(const Task& task) {
  std::string out;
  auto item = [&](const std::string& text) { out += text + " "; };
  for (int c = 1; c <= kUnitCount; ++c) item(IntText(task.unitCodes[c]));
  for (int p = 0; p < kOptionCount; ++p) item(IntText(task.options[p]));
  item(IntText(static_cast<std::uint8_t>(task.firstCode)));
  item(IntText(static_cast<std::uint8_t>(task.secondCode)));
  item(IntText(static_cast<std::uint8_t>(task.expansionCode)));
  for (const SystemElement& e : task.elements) item(FormatExp23(e.amount));
  for (const SystemElement& e : task.elements) item(IntText(e.index));
  for (const SourceComponent& c : task.components) item(FormatExp23(c.enthalpy));
  out += std::string(" ") + kLineEnd;

  for (int n = 1; n <= 3; ++n) out += OneLine(task.slots[n].valueText) + " " + kLineEnd;
  for (int n = 1; n <= 3; ++n) out += OneLine(task.slots[n].stepText) + kLineEnd;
  for (const SourceComponent& c : task.components) out += OneLine(c.formula) + kLineEnd;
  for (const SourceComponent& c : task.components)
    out += OneLine(c.amountText) + kLineEnd + OneLine(c.stepText) + kLineEnd;
  out += OneLine(task.comment) + kLineEnd;
  const int fixedCount = std::min<int>(task.options[kOptFixedCount], kMaxFixedConcentrations);
  for (int f = 1; f <= fixedCount; ++f)
    out += OneLine(task.fixed[f].name) + kLineEnd + FormatExp23(task.fixed[f].value) + kLineEnd;
  return out;
}

// ---- Fixed concentrations and options ------------------------------------------------

bool CollectFixedConcentrations(Task& task, const SpeciesGrid& grid, Interaction& ui,
                                TaskView& view) {
  int count = 0;
  for (auto& f : task.fixed) f = FixedConcentration{};
  auto finish = [&](bool ok) {
    task.fixedCount = count;
    task.options[kOptFixedCount] = static_cast<std::uint8_t>(count);
    view.ShowFixedIndicator(count > 0);
    return ok;
  };
  if (task.species.total == 0) return finish(true);
  for (const SpeciesGridRow& row : grid) {
    if (row.mark.find('*') == std::string::npos || !IsMoreThanBlank(row.fixed)) continue;
    double value = 0;
    if (!ParseNumber(row.fixed, value, ui)) {
      ui.Error("Invalid fixed concentration for " + row.formula + "  : " + row.fixed);
      return finish(false);
    }
    if (++count > kMaxFixedConcentrations) {
      count = kMaxFixedConcentrations;
      ui.Error("Too many constraints !");
      return finish(false);
    }
    task.fixed[count].name =
        row.formula.size() > 2 ? Cut(row.formula.substr(2), kMaxSpeciesName) : std::string();
    task.fixed[count].value = static_cast<float>(value);
  }
  return finish(true);
}

std::string OptionSummaryText(const TaskOptions& o) {
  static const char* const kEos[] = {"Ideal gas EOS", "Virial EOS", "Kelmost EOS", "BKW EOS"};
  static const char* const kConc[] = {"mol/kg", "mole fractions", "mass fractions"};
  const int eos = o[kOptEos] >= 1 && o[kOptEos] <= 4 ? o[kOptEos] : 1;
  const int conc = o[kOptConcUnit] >= 1 && o[kOptConcUnit] <= 3 ? o[kOptConcUnit] : 1;
  std::string s = kEos[eos - 1];
  auto add = [&](const char* item) { s += std::string("; ") + item; };
  add(kConc[conc - 1]);
  add(o[kOptOutputUnits] == 1 ? "TSU" : "SI");
  add(o[kOptDominant] == 1 ? "PrDom" : "PrFull");
  if (o[kOptPrintIdealGas] == 1) add("Id. gas print");
  add(o[kOptIons] == 1 ? "ION" : "NoION");
  if (o[kOptThroat] == 1) add("Throat");
  add(o[kOptSound] == 1 ? "Sound" : "NoSound");
  add(o[kOptFrozen] == 1 ? "Frozen" : "NoFrozen");
  add(o[kOptCheckSum] == 1 ? "SumChk" : "NoSumChk");
  add(o[kOptBrief] == 1 ? "ResBrief" : "ResFull");
  return s;
}

std::string BuildOptionSummary(const TaskOptions& o, TaskView& view) {
  std::string text = OptionSummaryText(o);
  view.ShowOptionSummary(text);
  view.ShowTemplateBoxes(o[kOptTemplateImpulse] != 0, o[kOptTemplateHeat] != 0,
                         o[kOptTemplatePowder] != 0);
  return text;
}

void ApplyOptionsToControls(const TaskOptions& options, TaskView& view) {
  view.OptionsChanged(options);
  BuildOptionSummary(options, view);
}

}  // namespace kvil
