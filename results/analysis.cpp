#include "results/analysis.h"

#include <algorithm>
#include <cctype>
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
#include "results/rocket_figures.h"
#include "task/elements.h"
#include "task/task.h"
#include "thermo/species_db.h"

namespace kvil {

const char* const kFigureNames[kFigureCount] = {"Isp(vac), m/s", "Isp(amb), m/s", "c*, m/s",
                                                "Cf(vac)",       "Fa/Fthroat",    "Mach"};

namespace {

// What an item index names, with the position (1-based) inside its group.
enum class ItemGroup { None, Parameter, Element, Component, Species, Extension, Figure };
struct ItemRef {
  ItemGroup group = ItemGroup::None;
  int position = 0;
};

ItemRef ResolveItem(const AnalysisLayout& l, int item) {
  if (item >= 1 && item <= kResultsParameterCount) return {ItemGroup::Parameter, item};
  if (item > kFigureItemBase && item <= kFigureItemBase + kFigureCount)
    return {ItemGroup::Figure, item - kFigureItemBase};
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

// Quantities of the throat and expansion points: Wa, Pa and the rocket figures.
bool IsExpansionItem(const ItemRef& ref) {
  return ref.group == ItemGroup::Figure ||
         (ref.group == ItemGroup::Parameter && IsFlowParameter(ref.position));
}

double FigureOf(const RocketFigures& f, int position) {
  switch (position) {
    case 1: return f.impulseVacuum;
    case 2: return f.impulseAmbient;
    case 3: return f.characteristicVelocity;
    case 4: return f.thrustCoefficient;
    case 5: return f.areaRatio;
    case 6: return f.machNumber;
    default: return 0;
  }
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
    case ItemGroup::Figure:  // formed from the record and its owners (RecordSet::Value)
    case ItemGroup::None:
      break;
  }
  return std::nullopt;
}

// The records of a run with what each throat and expansion record belongs to.
class RecordSet {
 public:
  RecordSet(const std::vector<ResultsRecord>& records, double ambientP)
      : records_(records), owners_(FindRecordOwners(records)), ambientP_(ambientP) {}

  // Value of `ref` in record `i`; a rocket figure of a throat or expansion record when
  // it can be formed (a figure of 0 cannot).
  std::optional<double> Value(size_t i, const ItemRef& ref) const {
    if (ref.group != ItemGroup::Figure) return ValueOf(records_[i], ref);
    if (records_[i].kind == 0) return std::nullopt;
    const int c = owners_.chamber[i], t = owners_.throat[i];
    const RocketFigures f = ExpansionFigures(records_[i], c >= 0 ? &records_[c] : nullptr,
                                             t >= 0 ? &records_[t] : nullptr, ambientP_);
    const double v = FigureOf(f, ref.position);
    if (!(v > 0)) return std::nullopt;
    return v;
  }

  // The expansion records of chamber record `c` (its throat record when it has none).
  std::vector<size_t> Followers(size_t c) const {
    std::vector<size_t> expansion, throat;
    for (size_t i = c + 1; i < records_.size() && records_[i].kind != 0; ++i) {
      if (owners_.chamber[i] != int(c)) break;
      (records_[i].kind == 1 ? throat : expansion).push_back(i);
    }
    return expansion.empty() ? throat : expansion;
  }

 private:
  const std::vector<ResultsRecord>& records_;
  RecordOwners owners_;
  double ambientP_;
};

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
  for (const char* name : kFigureNames) rows.push_back(std::string("   ") + name);
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
  const int extensionRows = int(layout.extensionCodes.size());
  if (kind == AnalysisKind::Parameter) {
    if (row <= parameterRows) return row;
    if (row <= parameterRows + extensionRows) return row + layout.speciesCount;
    return kFigureItemBase + row - parameterRows - extensionRows;
  }
  return row + parameterRows;
}

std::pair<AnalysisKind, int> ListRowOfItem(const AnalysisLayout& layout, int item) {
  const int parameterRows = kResultsParameterCount + layout.elementCount + layout.componentCount;
  const int extensionRows = int(layout.extensionCodes.size());
  if (item >= 1 && item <= parameterRows) return {AnalysisKind::Parameter, item};
  if (item > kFigureItemBase && item <= kFigureItemBase + kFigureCount)
    return {AnalysisKind::Parameter, parameterRows + extensionRows + item - kFigureItemBase};
  if (item > parameterRows && item <= parameterRows + layout.speciesCount)
    return {AnalysisKind::Concentration, item - parameterRows};
  const int extension = item - parameterRows - layout.speciesCount;
  if (extension >= 1 && extension <= extensionRows)
    return {AnalysisKind::Parameter, parameterRows + extension};
  return {AnalysisKind::Parameter, 0};
}

bool ToggleMarkedItem(std::vector<int>& items, const AnalysisLayout& layout, int item,
                      const std::string& rowText, Interaction& ui) {
  if (IsBlank(rowText) || ListRowOfItem(layout, item).second == 0) return false;
  const auto at = std::find(items.begin(), items.end(), item);
  if (at != items.end()) {
    items.erase(at);
    return true;
  }
  if (int(items.size()) >= kMaxAnalysisFunctions) {
    ui.Info("Only " + IntText(kMaxAnalysisFunctions) + " items are available");
    return false;
  }
  items.push_back(item);
  auto order = [&layout](int a, int b) {
    const auto ra = ListRowOfItem(layout, a), rb = ListRowOfItem(layout, b);
    return std::pair(int(ra.first), ra.second) < std::pair(int(rb.first), rb.second);
  };
  std::sort(items.begin(), items.end(), order);
  return true;
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

TableChoice MakeTableChoice(const AnalysisLayout& layout, int argumentItem,
                            const std::string& xText, const std::vector<int>& items,
                            const std::vector<std::string>& titles, bool dominant,
                            Interaction& ui) {
  TableChoice c;
  c.layout = layout;
  c.argumentItem = argumentItem;
  c.argumentTitle = xText;
  c.dominant = dominant;
  for (size_t i = 0; i < items.size(); ++i) {
    if (int(c.functionItems.size()) == kMaxAnalysisFunctions) {
      ui.Info("Only first " + IntText(kMaxAnalysisFunctions) + " items will be plotted !");
      break;
    }
    c.functionItems.push_back(items[i]);
    c.functionTitles.push_back(i < titles.size() ? titles[i] : std::string());
  }
  return c;
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
  if (choice.functionItems.empty()) {
    ui.Info("No data for the function");
    return table;
  }
  const RecordSet set(records, choice.ambientP);
  const ItemRef x = ResolveItem(choice.layout, choice.argumentItem);
  const bool xIsFlow = IsExpansionItem(x);

  // The columns: each function once, or, for an expansion quantity against a chamber
  // quantity, once per expansion point of the chamber points.
  struct Column {
    ItemRef ref;
    int follower = -1;  // -1 the record itself, j >= 0 the chamber's j-th follower
  };
  std::vector<Column> columns;
  bool paired = false;
  if (!xIsFlow) {
    for (int item : choice.functionItems) paired |= IsExpansionItem(ResolveItem(choice.layout, item));
  }
  size_t followersMost = 0;
  if (paired) {
    for (size_t i = 0; i < records.size(); ++i)
      if (records[i].kind == 0) followersMost = std::max(followersMost, set.Followers(i).size());
  }
  table.titles.push_back(choice.argumentTitle);
  table.amounts.push_back(x.group == ItemGroup::Species);
  bool cut = false;
  for (size_t f = 0; f < choice.functionItems.size(); ++f) {
    const ItemRef ref = ResolveItem(choice.layout, choice.functionItems[f]);
    const std::string title = f < choice.functionTitles.size() ? choice.functionTitles[f] : "";
    const bool split = paired && IsExpansionItem(ref);
    const size_t copies = split ? std::max<size_t>(followersMost, 1) : 1;
    for (size_t j = 0; j < copies; ++j) {
      if (int(columns.size()) == kMaxAnalysisFunctions) {
        cut = true;
        break;
      }
      columns.push_back({ref, split ? int(j) : -1});
      table.titles.push_back(split && copies > 1 ? title + " [" + IntText(int(j) + 1) + "]"
                                                 : title);
      table.amounts.push_back(ref.group == ItemGroup::Species);
    }
  }
  if (cut) ui.Info("Only first " + IntText(kMaxAnalysisFunctions) + " items will be plotted !");
  const int c = int(columns.size());
  auto text = [&](double v) { return FormatConcentration(v, choice.dominant); };

  std::vector<double> keys;
  size_t used = 0;
  for (; used < records.size() && int(table.rows.size()) < kMaxTableRows; ++used) {
    const ResultsRecord& r = records[used];
    const double p0 = r.parameters.empty() ? 0.0 : r.parameters[0];
    // Equilibrium and chamber points carry their pressure in slot 1; throat and
    // expansion points have 0 there.  With Wa, Pa or a figure as argument only the
    // latter count.
    const bool pointOfRun = xIsFlow ? p0 == 0 : p0 != 0;
    // Paired rows are chamber points, each with the records of its own expansion.
    if (paired && r.kind != 0) continue;
    const std::vector<size_t> followers = paired ? set.Followers(used) : std::vector<size_t>();
    if (paired && followers.empty()) continue;

    const std::optional<double> xv = set.Value(used, x);
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
      case ItemGroup::Figure:
        givesRow = true;  // a figure is a value only where it can be formed
        break;
      case ItemGroup::None:
        break;
    }
    if (!givesRow) continue;

    std::vector<std::string> row(c + 1);
    row[0] = text(*xv);
    for (int u = 0; u < c; ++u) {
      const Column& col = columns[u];
      size_t from = used;
      bool ofPoint = pointOfRun;
      if (col.follower >= 0) {
        if (col.follower >= int(followers.size())) continue;
        from = followers[col.follower];
        ofPoint = true;
      }
      const std::optional<double> v = set.Value(from, col.ref);
      if (!v) continue;
      switch (col.ref.group) {
        case ItemGroup::Element:
          row[u + 1] = text(*v);
          break;
        case ItemGroup::Component:
          if (*v > 0 && ofPoint) row[u + 1] = text(*v) + " a";
          break;
        case ItemGroup::Parameter:
          if (IsFlowParameter(col.ref.position) ? *v > 0 : ofPoint) row[u + 1] = text(*v);
          break;
        case ItemGroup::Species:
          if (ofPoint) row[u + 1] = text(*v);
          break;
        case ItemGroup::Figure:
          row[u + 1] = text(*v);
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
    if (columns[u].ref.group != ItemGroup::Parameter) continue;
    if (columns[u].ref.position != 1 && !IsFlowParameter(columns[u].ref.position)) continue;
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
  if (table.rows.empty() && !records.empty())
    ui.Info("No point of the results gives the argument with these functions.");
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

std::string TableSavePath(const std::string& chosen, std::string* refusal) {
  namespace fs = std::filesystem;
  fs::path path(chosen);
  if (chosen.empty()) return {};
  if (!path.has_extension()) return chosen + kTableFileExtension;
  std::string ext = path.extension().string();
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  for (const char* own : {".txt", ".rst", ".dat", ".tdf", ".cfg", ".bas"}) {
    if (ext != own) continue;
    if (refusal)
      *refusal = "The table is not saved into " + path.filename().string() +
                 ": that is a file of a task or of the program.\nTables are saved in files "
                 "of their own (*.tab).";
    return {};
  }
  return chosen;
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
