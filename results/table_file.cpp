#include "results/table_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "common/binio.h"
#include "common/constants.h"
#include "task/task.h"
#include "thermo/workspace.h"

namespace kvil {

const char* const kResultsParameterNames[kResultsParameterCount] = {"p, MPa",
                                                                    "T, K",
                                                                    "V, cub.m/kg",
                                                                    "S, kJ/(kg*K)",
                                                                    "H, kJ/kg",
                                                                    "U, kJ/kg",
                                                                    "Cp, kJ/(kg*K)",
                                                                    "M, mol/kg",
                                                                    "Vg, cub.m/kg",
                                                                    "Rg, kJ/(kg*K)",
                                                                    "Z",
                                                                    "a, m/s",
                                                                    "k",
                                                                    "k\"",
                                                                    "Cp\", kJ/(kg*K)",
                                                                    "Cv\", kJ/(kg*K)",
                                                                    "Lt, W/(m*K)",
                                                                    "Lt\", W/(m*K)",
                                                                    "Mu, N*s/sq.m",
                                                                    "FP, kJ/kg",
                                                                    "Cov, cub.dm/kg",
                                                                    "Wa, m/s",
                                                                    "Pa, MPa"};

const char* const kResultsExtensionNames[kResultsExtensionCount] = {"rho0, g/cm3",
                                                                     "D, m/s",
                                                                     "pCJ, MPa",
                                                                     "TCJ, K",
                                                                     "rhoCJ, g/cm3",
                                                                     "uCJ, m/s",
                                                                     "cCJ, m/s",
                                                                     "kCJ",
                                                                     "E(2.2), kJ/kg",
                                                                     "E(4), kJ/kg",
                                                                     "E(7.2), kJ/kg",
                                                                     "Ug(2.2), m/s",
                                                                     "Ug(4), m/s",
                                                                     "Ug(7.2), m/s",
                                                                     "VCJ/V0",
                                                                     "JWL A, GPa",
                                                                     "JWL B, GPa",
                                                                     "JWL C, GPa",
                                                                     "JWL R1",
                                                                     "JWL R2",
                                                                     "JWL omega",
                                                                     "JWL E0, GPa",
                                                                     "JWL deviation"};

namespace {

bool HasFormula(const SourceComponent& c) {
  return !c.formula.empty() && c.formula != " ";
}

// The record of the current point as the values of the file.
std::vector<double> BuildRecord(const Task& task, const CalcWorkspace& ws) {
  const ResultsBlock& r = ws.results;
  std::vector<double> v;
  v.reserve(4 + 2 * kMaxSystemElements + 2 * kMaxComponents + kResultsParameterCount +
            2 * kSpeciesListCapacity);

  v.push_back(ws.state.rowKind);
  const int nEl = std::clamp(task.elementCount, 0, kMaxSystemElements);
  v.push_back(nEl);
  for (int j = 1; j <= nEl; ++j) v.push_back(task.elements[j].index);
  for (int j = 1; j <= nEl; ++j) v.push_back(task.elements[j].amount);

  const size_t countAt = v.size();
  v.push_back(0);
  int nC = 0;
  for (int i = 1; i <= kMaxComponents; ++i) {
    if (!HasFormula(task.components[i])) continue;
    v.push_back(task.massFractions[i]);
    v.push_back(i);
    ++nC;
  }
  v[countAt] = nC;

  const double rg = kGasConstantKJ * ws.state.reportGasAmount;
  const double rt = rg * r.T;
  double z = 1;
  if (rg > 1e-6 && rt != 0) z = 1000.0 * r.p * r.V / rt;
  double cov = 0;
  const bool idealGas = task.Eos() != 2 && task.Eos() != 3 && task.Eos() != 4;
  if (!idealGas && r.p > 0) cov = r.V * 1000.0 - rt / r.p;
  if (!(cov > 0)) cov = 0;
  const double params[kResultsParameterCount] = {r.p,
                                                 r.T,
                                                 r.V,
                                                 r.S,
                                                 r.H,
                                                 r.U,
                                                 r.Cp,
                                                 r.nTotal,
                                                 r.gasVolume,
                                                 rg,
                                                 z,
                                                 r.soundSpeed,
                                                 r.kFrozen,
                                                 r.kEquilibrium,
                                                 r.CpEquilibrium,
                                                 r.CvEquilibrium,
                                                 r.lambdaFrozen,
                                                 r.LambdaEquilibrium(),
                                                 r.viscosity,
                                                 rt,
                                                 cov,
                                                 ws.state.reportFlowVelocity,
                                                 ws.state.reportExpansionPressure};
  const size_t paramsAt = v.size();
  v.insert(v.end(), params, params + kResultsParameterCount);
  if (v[paramsAt + 22] > 0) v[paramsAt] = 0;

  const SpeciesList& list = task.species;
  const int nS = std::clamp(list.total, 0, kSpeciesListCapacity);
  const int K = std::clamp(ws.run.count, 0, kMaxRunSpecies);
  v.push_back(nS);
  for (int i = 1; i <= nS; ++i) {
    const std::int32_t record = list.items[i].entry.record;
    double amount = 0;
    // During a run the run species lead the list in the same order; look the record
    // up all the same, so that any order of the list gives the right amounts.
    if (i <= K && ws.run.record[i] == record) {
      amount = ws.species.nSingle[i];
    } else {
      for (int k = 1; k <= K; ++k)
        if (ws.run.record[k] == record) {
          amount = ws.species.nSingle[k];
          break;
        }
    }
    v.push_back(record);
    v.push_back(amount);
  }
  return v;
}

bool IsCount(double x, double max) {
  return std::isfinite(x) && x >= 0 && x <= max && x == std::floor(x);
}

}  // namespace

bool AppendResultsRecord(const Task& task, CalcWorkspace& ws, ResultsTableFile& table,
                         const std::string& path, int /*componentCount*/) {
  const std::vector<double> values = BuildRecord(task, ws);
  // A point whose values are not all finite numbers is no result (the run has told
  // the user); nothing of it is stored.
  for (double v : values)
    if (!std::isfinite(v)) return true;
  if (table.InMemory()) {
    if (!table.IsOpen()) return false;
    table.AppendValues(values);
    ++ws.state.resultsRecords;
    return true;
  }
  std::vector<std::uint8_t> bytes(values.size() * 8);
  for (size_t i = 0; i < values.size(); ++i) PutLE<double>(bytes.data(), i * 8, values[i]);

  // A run holds the table open on its path for all its records.
  if (table.Holding()) {
    if (!table.Append(bytes.data(), bytes.size())) return false;
    ++ws.state.resultsRecords;
    return true;
  }
  bool ok;
  if (table.IsOpen()) {
    if (table.path() == path) {
      ok = table.Append(bytes.data(), bytes.size());
    } else {
      ResultsTableFile once;
      ok = once.Open(path) && once.Append(bytes.data(), bytes.size());
    }
  } else {
    // Opened for this record alone; the handle keeps the reason of a failure.
    ok = table.Open(path) && table.Append(bytes.data(), bytes.size());
    table.Close();
  }
  if (ok) ++ws.state.resultsRecords;
  return ok;
}

std::string ResultsTableWriteError(const ResultsTableFile& table, const std::string& path) {
  const std::string reason = table.error().empty() ? "write error" : table.error();
  return "The results table " + path + " cannot be written: " + reason + ".";
}

bool AppendResultsExtension(const CalcWorkspace& ws, ResultsTableFile& table,
                            const std::string& extensionPath,
                            const std::vector<std::pair<int, double>>& columns) {
  if (ws.state.resultsRecords <= 0) return false;
  std::vector<double> values;
  values.push_back(double(ws.state.resultsRecords - 1));
  values.push_back(0);
  for (const auto& [code, value] : columns) {
    if (code < 1 || code > kResultsExtensionCount || !std::isfinite(value)) continue;
    values.push_back(code);
    values.push_back(value);
  }
  values[1] = double((values.size() - 2) / 2);
  if (table.InMemory()) {
    table.AppendExtensionValues(values);
    return true;
  }
  std::vector<std::uint8_t> bytes(values.size() * 8);
  for (size_t i = 0; i < values.size(); ++i) PutLE<double>(bytes.data(), i * 8, values[i]);
  ResultsTableFile file;
  return file.Open(extensionPath) && file.Append(bytes.data(), bytes.size());
}

void AttachResultsExtension(const std::vector<double>& v, std::vector<ResultsRecord>& out) {
  size_t at = 0;
  while (at + 2 <= v.size()) {
    const double index = v[at], count = v[at + 1];
    if (!IsCount(index, 1e15) || !IsCount(count, kResultsExtensionCount)) return;
    const size_t m = static_cast<size_t>(count);
    if (at + 2 + 2 * m > v.size()) return;
    const size_t record = static_cast<size_t>(index);
    for (size_t i = 0; i < m; ++i) {
      const double code = v[at + 2 + 2 * i];
      if (!IsCount(code, kResultsExtensionCount) || code < 1) return;
      if (record < out.size())
        out[record].extension.emplace_back(static_cast<int>(code), v[at + 3 + 2 * i]);
    }
    at += 2 + 2 * m;
  }
}

bool ResultsTableFile::Open(const std::string& path) {
  Close();
  path_ = path;
  if (inMemory_) {
    openInMemory_ = true;
    return true;
  }
  error_.clear();
  // A table that is there must be a regular file: opening a FIFO would block.
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && !IsRegularFile(path, &error_)) return false;
  errno = 0;
  file_ = std::fopen(path.c_str(), "ab");
  if (!file_) {
    error_ = std::strerror(errno);
    return false;
  }
  end_ = -1;
  if (std::fseek(file_, 0, SEEK_END) == 0) end_ = std::ftell(file_);
  return true;
}

void ResultsTableFile::Close() {
  openInMemory_ = false;
  if (file_) {
    Flush();
    std::fclose(file_);
  }
  file_ = nullptr;
  held_ = 0;
  hold_ = false;
}

void ResultsTableFile::HoldRecords(bool hold) {
  hold_ = hold;
  // The whole block at once, written through: its pages are not touched for the first
  // time point by point (a page fault costs as much as a system call).
  if (hold && pending_.size() < kHeldRecordsBytes) pending_.assign(kHeldRecordsBytes, 0);
  held_ = 0;
  written_ = std::chrono::steady_clock::now();
}

bool ResultsTableFile::Flush() {
  written_ = std::chrono::steady_clock::now();
  if (held_ == 0) return true;
  const bool ok = Write(pending_.data(), held_);
  held_ = 0;
  return ok;
}

bool ResultsTableFile::Append(const void* bytes, size_t size) {
  if (!hold_) return Write(bytes, size);
  if (!file_) {
    if (error_.empty()) error_ = "the file is not open";
    return false;
  }
  if (held_ + size > pending_.size() && !Flush()) return false;
  if (size > pending_.size()) return Write(bytes, size);
  std::memcpy(pending_.data() + held_, bytes, size);
  held_ += size;
  if (held_ < kHeldRecordsBytes / 2 &&
      std::chrono::steady_clock::now() - written_ < kHeldRecordsInterval)
    return true;
  return Flush();
}

bool ResultsTableFile::Write(const void* bytes, size_t size) {
  if (!file_) {
    if (error_.empty()) error_ = "the file is not open";
    return false;
  }
  errno = 0;
  // The end of the file is known from the last append: every write of this handle goes
  // to the end (the file is open for appending), and looking it up again would cost two
  // system calls per record.
  bool ok = end_ >= 0;
  if (!ok && std::fseek(file_, 0, SEEK_END) == 0) {
    end_ = std::ftell(file_);
    ok = end_ >= 0;
  }
  const long previous = end_;
  ok = ok && std::fwrite(bytes, 1, size, file_) == size;
  ok = ok && std::fflush(file_) == 0;
  if (ok) end_ = previous + static_cast<long>(size);
  if (!ok) {
    error_ = errno != 0 ? std::strerror(errno) : "write error";
    // Closing drops whatever of the record the stream still holds; then a partly
    // written record is cut away so that readers never see it, and the table is opened
    // again for the points that follow.
    std::fclose(file_);
    file_ = nullptr;
    if (previous >= 0) {
      std::error_code ec;
      std::filesystem::resize_file(path_, static_cast<std::uintmax_t>(previous), ec);
    }
    file_ = std::fopen(path_.c_str(), "ab");
    end_ = previous;
    if (file_ && std::fseek(file_, 0, SEEK_END) == 0) end_ = std::ftell(file_);
  }
  return ok;
}

TableReadStatus ParseResultsTable(const std::vector<double>& v, std::vector<ResultsRecord>& out,
                                  size_t maxRecords) {
  out.clear();
  if (v.empty()) return TableReadStatus::Empty;
  size_t at = 0;
  auto have = [&](size_t n) { return n <= v.size() && at <= v.size() - n; };
  while (at < v.size() && (maxRecords == 0 || out.size() < maxRecords)) {
    ResultsRecord rec;
    if (!have(2) || !IsCount(v[at], 2)) return TableReadStatus::Corrupted;
    rec.kind = static_cast<int>(v[at]);
    if (!IsCount(v[at + 1], kElementTableSize)) return TableReadStatus::Corrupted;
    const size_t nEl = static_cast<size_t>(v[at + 1]);
    at += 2;
    if (!have(2 * nEl + 1)) return TableReadStatus::Corrupted;
    // The writer stores finite numbers only: a NaN or an infinity is damage.
    for (size_t j = 0; j < nEl; ++j) {
      const double index = v[at + j];
      if (!IsCount(index, kElementTableSize) || index < 1) return TableReadStatus::Corrupted;
      if (!std::isfinite(v[at + nEl + j])) return TableReadStatus::Corrupted;
      rec.elements.emplace_back(static_cast<int>(index), v[at + nEl + j]);
    }
    at += 2 * nEl;
    if (!IsCount(v[at], kMaxComponents)) return TableReadStatus::Corrupted;
    const size_t nC = static_cast<size_t>(v[at]);
    ++at;
    if (!have(2 * nC + kResultsParameterCount + 1)) return TableReadStatus::Corrupted;
    for (size_t i = 0; i < nC; ++i) {
      const double number = v[at + 2 * i + 1];
      if (!IsCount(number, kMaxComponents) || number < 1) return TableReadStatus::Corrupted;
      if (!std::isfinite(v[at + 2 * i])) return TableReadStatus::Corrupted;
      rec.components.emplace_back(v[at + 2 * i], static_cast<int>(number));
    }
    at += 2 * nC;
    rec.parameters.assign(v.begin() + at, v.begin() + at + kResultsParameterCount);
    for (double p : rec.parameters)
      if (!std::isfinite(p)) return TableReadStatus::Corrupted;
    at += kResultsParameterCount;
    if (!IsCount(v[at], kSpeciesListCapacity)) return TableReadStatus::Corrupted;
    const size_t nS = static_cast<size_t>(v[at]);
    ++at;
    if (!have(2 * nS)) return TableReadStatus::Corrupted;
    for (size_t i = 0; i < nS; ++i) {
      const double record = v[at + 2 * i];
      if (!IsCount(record, 2147483647.0)) return TableReadStatus::Corrupted;
      if (!std::isfinite(v[at + 2 * i + 1])) return TableReadStatus::Corrupted;
      rec.species.emplace_back(static_cast<int>(record), v[at + 2 * i + 1]);
    }
    at += 2 * nS;
    out.push_back(std::move(rec));
  }
  return TableReadStatus::Ok;
}

TableReadStatus ReadResultsTable(const std::string& path, std::vector<ResultsRecord>& out,
                                 size_t maxRecords) {
  out.clear();
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) return TableReadStatus::Unreadable;
  std::vector<double> values(bytes.size() / 8);
  for (size_t i = 0; i < values.size(); ++i) values[i] = GetLE<double>(bytes.data(), i * 8);
  if (bytes.empty()) return TableReadStatus::Empty;
  TableReadStatus status = ParseResultsTable(values, out, maxRecords);
  // Bytes left over after the last whole value: the file ends inside a record.
  if (status == TableReadStatus::Ok && bytes.size() % 8 != 0 &&
      (maxRecords == 0 || out.size() < maxRecords))
    status = TableReadStatus::Corrupted;
  if (status == TableReadStatus::Empty) status = TableReadStatus::Corrupted;  // < 8 bytes
  std::vector<std::uint8_t> extension;
  if (!out.empty() &&
      ReadWholeFile(std::filesystem::path(path).replace_extension(".rsx").string(), extension)) {
    std::vector<double> ext(extension.size() / 8);
    for (size_t i = 0; i < ext.size(); ++i) ext[i] = GetLE<double>(extension.data(), i * 8);
    AttachResultsExtension(ext, out);
  }
  return status;
}

}  // namespace kvil
