#include "results/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

#include "common/binio.h"
#include "common/constants.h"
#include "common/interaction.h"
#include "common/numfmt.h"
#include "common/numparse.h"
#include "results/report.h"
#include "task/elements.h"
#include "task/task.h"
#include "thermo/species_db.h"

namespace kvil {

namespace {

// What an item index names, with the position (1-based) inside its group.
enum class ItemGroup { None, Parameter, Element, Component, Species, Extension };
struct ItemRef {
  ItemGroup group = ItemGroup::None;
  int position = 0;
};

ItemRef ResolveItem(const AnalysisLayout& l, int item) {
  if (item >= 1 && item <= kResultsParameterCount) return {ItemGroup::Parameter, item};
  int base = kResultsParameterCount;
  if (item > base && item <= base + l.elementCount) return {ItemGroup::Element, item - base};
  base += l.elementCount;
  if (item > base && item <= base + l.componentCount) return {ItemGroup::Component, item - base};
  base += l.componentCount;
  if (item > base && item <= base + l.speciesCount) return {ItemGroup::Species, item - base};
  base += l.speciesCount;
  // An extension column is named by its code.
  if (item > base && item <= base + int(l.extensionCodes.size()))
    return {ItemGroup::Extension, l.extensionCodes[item - base - 1]};
  return {};
}

bool IsFlowParameter(int k) {
  return k == 22 || k == 23;  // Wa, Pa
}

bool IsBlank(const std::string& s) {
  return s.find_first_not_of(' ') == std::string::npos;
}

// Value of item `ref` in record `r`, when the record holds it.
std::optional<double> ValueOf(const ResultsRecord& r, const ItemRef& ref) {
  const int i = ref.position - 1;
  switch (ref.group) {
    case ItemGroup::Parameter:
      if (i < int(r.parameters.size())) return r.parameters[i];
      break;
    case ItemGroup::Element:
      if (i < int(r.elements.size())) return r.elements[i].second;
      break;
    case ItemGroup::Component:
      if (i < int(r.components.size())) return r.components[i].first;
      break;
    case ItemGroup::Species:
      if (i < int(r.species.size())) return r.species[i].second;
      break;
    case ItemGroup::Extension:
      for (const auto& [code, value] : r.extension)
        if (code == ref.position && std::isfinite(value)) return value;
      break;
    case ItemGroup::None:
      break;
  }
  return std::nullopt;
}

}  // namespace

ListReadStatus ReadFirstResultsRecord(const std::string& tablePath, ResultsRecord& first) {
  std::vector<ResultsRecord> records;
  switch (ReadResultsTable(tablePath, records, 1)) {
    case TableReadStatus::Ok: {
      if (records.empty()) return ListReadStatus::Empty;
      first = records.front();
      // Columns of the extension that only later records have.
      std::vector<std::uint8_t> bytes;
      if (ReadWholeFile(std::filesystem::path(tablePath).replace_extension(".rsx").string(), bytes)) {
        std::vector<double> values(bytes.size() / 8);
        for (size_t i = 0; i < values.size(); ++i) values[i] = GetLE<double>(bytes.data(), i * 8);
        for (size_t at = 0; at + 2 <= values.size();) {
          const size_t m = std::isfinite(values[at + 1]) && values[at + 1] >= 0
                               ? size_t(values[at + 1]) : 0;
          if (at + 2 + 2 * m > values.size()) break;
          for (size_t i = 0; i < m; ++i) {
            const double c = values[at + 2 + 2 * i];
            const int code = std::isfinite(c) && c >= 1 && c <= kResultsExtensionCount ? int(c) : 0;
            bool known = false;
            for (const auto& x : first.extension) known = known || x.first == code;
            if (!known && code >= 1 && code <= kResultsExtensionCount)
              first.extension.emplace_back(code, std::nan(""));
          }
          at += 2 + 2 * m;
        }
      }
      return ListReadStatus::Ok;
    }
    case TableReadStatus::Empty:
      return ListReadStatus::Empty;
    case TableReadStatus::Unreadable: {
      std::error_code ec;
      return std::filesystem::exists(tablePath, ec) ? ListReadStatus::Corrupted
                                                    : ListReadStatus::Empty;
    }
    case TableReadStatus::Corrupted:
      break;
  }
  return ListReadStatus::Corrupted;
}

AnalysisLayout LayoutOfRecord(const ResultsRecord& first) {
  AnalysisLayout l;
  l.elementCount = int(first.elements.size());
  l.componentCount = int(first.components.size());
  l.speciesCount = int(first.species.size());
  for (const auto& e : first.elements) l.elementIndices.push_back(e.first);
  for (const auto& c : first.components) l.componentNumbers.push_back(c.second);
  for (const auto& s : first.species) l.speciesRecords.push_back(s.first);
  for (const auto& x : first.extension) l.extensionCodes.push_back(x.first);
  std::sort(l.extensionCodes.begin(), l.extensionCodes.end());
  l.extensionCodes.erase(std::unique(l.extensionCodes.begin(), l.extensionCodes.end()),
                         l.extensionCodes.end());
  return l;
}

std::vector<std::string> ParameterListTexts(const AnalysisLayout& layout, const Task& task) {
  std::vector<std::string> rows;
  for (const char* name : kResultsParameterNames) rows.push_back(std::string("   ") + name);
  for (int index : layout.elementIndices) {
    const bool known = index >= 1 && index <= kElementTableSize;
    rows.push_back(std::string("   [") + (known ? ElementSymbol(index) : "?") + "]");
  }
  for (int number : layout.componentNumbers) {
    std::string formula;
    if (number >= 1 && number <= kMaxComponents) formula = task.components[number].formula;
    rows.push_back("   " + formula.substr(0, 20));
  }
  for (int code : layout.extensionCodes) rows.push_back(std::string("   ") + kResultsExtensionNames[code - 1]);
  return rows;
}

std::vector<std::string> ConcentrationListTexts(const AnalysisLayout& layout,
                                                const SpeciesDatabase& database,
                                                const std::string& lead) {
  std::vector<std::string> rows;
  for (int record : layout.speciesRecords) {
    SpeciesRecord sr;
    if (database.ReadSpecies(record, sr))
      rows.push_back(lead + SpeciesDisplayName(sr.name));
    else
      rows.push_back(lead + "#" + IntText(record));
  }
  return rows;
}

int ItemOfListRow(const AnalysisLayout& layout, AnalysisKind kind, int row) {
  const int parameterRows = kResultsParameterCount + layout.elementCount + layout.componentCount;
  if (kind == AnalysisKind::Parameter)
    return row <= parameterRows ? row : row + layout.speciesCount;
  return row + parameterRows;
}

int MarkedCount(const std::vector<bool>& marks) {
  return int(std::count(marks.begin(), marks.end(), true));
}

bool ToggleFunctionMark(std::vector<bool>& marks, int row, const std::string& rowText,
                        Interaction& ui) {
  if (row < 1 || row > int(marks.size()) || IsBlank(rowText)) return false;
  if (marks[row - 1]) {
    marks[row - 1] = false;
    return true;
  }
  if (MarkedCount(marks) >= kMaxAnalysisFunctions) {
    ui.Info("Only " + IntText(kMaxAnalysisFunctions) + " items are available");
    return false;
  }
  marks[row - 1] = true;
  return true;
}

TableChoice MakeTableChoice(const AnalysisLayout& layout, AnalysisKind xKind, int xRow,
                            const std::string& xText, AnalysisKind yKind,
                            const std::vector<bool>& marks,
                            const std::vector<std::string>& yTexts, bool dominant,
                            Interaction& ui) {
  TableChoice c;
  c.layout = layout;
  c.argumentItem = ItemOfListRow(layout, xKind, xRow);
  c.argumentTitle = xText;
  c.dominant = dominant;
  for (size_t i = 0; i < marks.size(); ++i) {
    if (!marks[i]) continue;
    if (int(c.functionItems.size()) == kMaxAnalysisFunctions) {
      ui.Info("Only first " + IntText(kMaxAnalysisFunctions) + " items will be plotted !");
      break;
    }
    c.functionItems.push_back(ItemOfListRow(layout, yKind, int(i) + 1));
    c.functionTitles.push_back(i < yTexts.size() ? yTexts[i] : std::string());
  }
  return c;
}

ResultsTable FillResultsTable(const std::vector<ResultsRecord>& records,
                              const TableChoice& choice, Interaction& ui) {
  ResultsTable table;
  const int c = int(choice.functionItems.size());
  if (c == 0) {
    ui.Info("No data for the function");
    return table;
  }
  table.titles.push_back(choice.argumentTitle);
  for (const std::string& t : choice.functionTitles) table.titles.push_back(t);

  const ItemRef x = ResolveItem(choice.layout, choice.argumentItem);
  std::vector<ItemRef> y;
  for (int item : choice.functionItems) y.push_back(ResolveItem(choice.layout, item));
  const bool xIsFlow = x.group == ItemGroup::Parameter && IsFlowParameter(x.position);
  auto text = [&](double v) { return FormatConcentration(v, choice.dominant); };

  std::vector<double> keys;
  size_t used = 0;
  for (; used < records.size() && int(table.rows.size()) < kMaxTableRows; ++used) {
    const ResultsRecord& r = records[used];
    const double p0 = r.parameters.empty() ? 0.0 : r.parameters[0];
    // Equilibrium and chamber points carry their pressure in slot 1; throat and
    // expansion points have 0 there.  With Wa or Pa as argument only the latter count.
    const bool pointOfRun = xIsFlow ? p0 == 0 : p0 != 0;

    const std::optional<double> xv = ValueOf(r, x);
    if (!xv) continue;
    bool givesRow = false;
    switch (x.group) {
      case ItemGroup::Element:
      case ItemGroup::Species:
        givesRow = true;
        break;
      case ItemGroup::Component:
        givesRow = *xv > 0;
        break;
      case ItemGroup::Parameter:
        givesRow = IsFlowParameter(x.position) ? *xv > 0 : p0 != 0;
        break;
      case ItemGroup::Extension:
        givesRow = true;
        break;
      case ItemGroup::None:
        break;
    }
    if (!givesRow) continue;

    std::vector<std::string> row(c + 1);
    row[0] = text(*xv);
    for (int u = 0; u < c; ++u) {
      const std::optional<double> v = ValueOf(r, y[u]);
      if (!v) continue;
      switch (y[u].group) {
        case ItemGroup::Element:
          row[u + 1] = text(*v);
          break;
        case ItemGroup::Component:
          if (*v > 0 && pointOfRun) row[u + 1] = text(*v) + " a";
          break;
        case ItemGroup::Parameter:
          if (IsFlowParameter(y[u].position) ? *v > 0 : pointOfRun) row[u + 1] = text(*v);
          break;
        case ItemGroup::Species:
          if (pointOfRun) row[u + 1] = text(*v);
          break;
        case ItemGroup::Extension:
          row[u + 1] = text(*v);
          break;
        case ItemGroup::None:
          break;
      }
    }
    const double key = TryParseNumber(row[0]).value_or(*xv);
    if (x.group == ItemGroup::Component && !keys.empty() && keys.back() == key) {
      // Equal consecutive fractions are one row, that of the later record, unless that
      // record gives none of the functions (a throat point under a parameter).
      bool anyFunction = false;
      for (int u = 1; u <= c; ++u) anyFunction |= !row[u].empty();
      if (anyFunction) table.rows.back() = std::move(row);
      continue;
    }
    table.rows.push_back(std::move(row));
    keys.push_back(key);
  }
  if (used < records.size())
    ui.Info("Only first " + IntText(kMaxTableRows) + " will be displayed");

  // Rows without a pressure or flow value in the first such function column are not
  // points of the curve the user asked for.
  for (int u = 0; u < c; ++u) {
    if (y[u].group != ItemGroup::Parameter) continue;
    if (y[u].position != 1 && !IsFlowParameter(y[u].position)) continue;
    std::vector<std::vector<std::string>> kept;
    std::vector<double> keptKeys;
    for (size_t i = 0; i < table.rows.size(); ++i) {
      if (IsBlank(table.rows[i][u + 1])) continue;
      kept.push_back(std::move(table.rows[i]));
      keptKeys.push_back(keys[i]);
    }
    table.rows = std::move(kept);
    keys = std::move(keptKeys);
    break;
  }

  std::vector<size_t> order(table.rows.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return keys[a] < keys[b]; });
  std::vector<std::vector<std::string>> sorted;
  sorted.reserve(order.size());
  for (size_t i : order) sorted.push_back(std::move(table.rows[i]));
  table.rows = std::move(sorted);
  return table;
}

ResultsTable FillResultsTableFromFile(const std::string& tablePath, const TableChoice& choice,
                                      Interaction& ui) {
  std::vector<ResultsRecord> records;
  const TableReadStatus status = ReadResultsTable(tablePath, records);
  std::error_code ec;
  if (status == TableReadStatus::Corrupted ||
      (status == TableReadStatus::Unreadable && std::filesystem::exists(tablePath, ec)))
    ui.Error("File of results is corrupted !");
  return FillResultsTable(records, choice, ui);
}

bool CheckTableForPlot(const ResultsTable& table, Interaction& ui) {
  if (table.rows.empty()) {
    ui.Error("No values in the table. Graph cannot be plotted !");
    return false;
  }
  // Every cell a finite number, and of a size an axis can span: beyond that the range
  // of an axis, its widening and its ticks would overflow the doubles.
  for (const auto& row : table.rows) {
    for (const std::string& cell : row) {
      const std::optional<double> v = TryParseNumber(cell);
      if (!v || !std::isfinite(*v) || std::fabs(*v) > kMaxPlotMagnitude) {
        ui.Error("Invalid value in the table. Graph cannot be plotted !");
        return false;
      }
    }
  }
  return true;
}

std::string TableSaveText(const ResultsTable& table) {
  std::string out = "\r\n";
  auto line = [&out](const std::vector<std::string>& cells) {
    for (const std::string& cell : cells) out += PadLeft(cell, 15);
    out += "\r\n";
  };
  line(table.titles);
  for (const auto& row : table.rows) line(row);
  return out;
}

}  // namespace kvil
