#include "app/batch_run.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/batch_interaction.h"
#include "common/binio.h"
#include "core/file_commands.h"
#include "core/point_log.h"
#include "common/numfmt.h"
#include "core/run.h"
#include "core/session.h"
#include "task/elements.h"
#include "task/settings.h"
#include "task/task_view.h"
#include "thermo/db_location.h"

namespace kvil {

namespace {

void PrintUsage() {
  std::fprintf(stderr,
               "usage: kvil-batch [--db DIR] [--cfg FILE] [--answer yes|no] [--csv FILE] "
               "[--json FILE] [--detonation LIST [--p0 MPa] [--t0 K]] TASK.dat\n"
               "  --db DIR         species database directory (default: kvil.pth, then the\n"
               "                   database shipped with the program)\n"
               "  --cfg FILE       configuration file (default: kvil.cfg of the working "
               "directory)\n"
               "  --answer yes|no  answer to every question of the run (default: yes)\n"
               "  --csv FILE       also write the results table as CSV\n"
               "  --json FILE      also write every point of the run as one JSON object a line\n"
               "  --fresh-start    solve every point from scratch, not from the previous one\n"
               "  --stats          print the solver's work on stderr at the end of the run\n"
               "  --detonation LIST  the detonation of the task's mixture at each initial\n"
               "                   density of LIST (g/cm3, comma-separated; gas = the ideal-gas\n"
               "                   density at p0 and t0) instead of the task's own calculation\n"
               "  --p0 MPa         initial pressure of the detonation (default 0.1)\n"
               "  --t0 K           initial temperature of a gaseous mixture (default 298.15)\n"
               "       kvil-batch --info TASK.dat [--db DIR]\n"
               "  --info TASK.dat  print the elemental composition table of the task\n");
}

// Batch interaction that also shows one progress line per calculated point.
class ProgressInteraction : public BatchInteraction {
 public:
  ProgressInteraction(Answer answer, bool showProgress)
      : BatchInteraction(stderr, answer), show_(showProgress) {}

  bool ShowsProgressLabels() const override { return show_; }
  void SetProgressLabels(const ProgressLabels& labels) override {
    if (!show_) return;
    const std::string key = labels.parameterVariant + "|" + labels.componentVariant;
    if (key == last_) return;
    last_ = key;
    std::fprintf(stderr, "progress: %s, %s: %s; %s\n", labels.componentVariant.c_str(),
                 labels.parameterVariant.c_str(), labels.parameter1.c_str(),
                 labels.parameter2.c_str());
    std::fflush(stderr);
  }

 private:
  bool show_;
  std::string last_;
};

// A number of the command line ('.' as the decimal point); false for anything else.
bool CommandLineNumber(const std::string& text, double& out) {
  const char* first = text.data();
  const char* last = first + text.size();
  const auto r = std::from_chars(first, last, out);
  return r.ec == std::errc() && r.ptr == last && std::isfinite(out);
}

bool ParseArguments(int argc, char** argv, BatchOptions& o) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return !out.empty();
    };
    if (std::strcmp(a, "--db") == 0) {
      if (!value(o.db)) return false;
    } else if (std::strcmp(a, "--cfg") == 0) {
      if (!value(o.cfg)) return false;
    } else if (std::strcmp(a, "--fresh-start") == 0) {
      o.freshStart = true;
    } else if (std::strcmp(a, "--stats") == 0) {
      o.stats = true;
    } else if (std::strcmp(a, "--csv") == 0) {
      if (!value(o.csv)) return false;
    } else if (std::strcmp(a, "--json") == 0) {
      if (!value(o.json)) return false;
    } else if (std::strcmp(a, "--detonation") == 0) {
      if (!value(o.detonation)) return false;
    } else if (std::strcmp(a, "--p0") == 0) {
      std::string v;
      if (!value(v) || !CommandLineNumber(v, o.p0)) return false;
      o.p0Given = true;
    } else if (std::strcmp(a, "--t0") == 0) {
      std::string v;
      if (!value(v) || !CommandLineNumber(v, o.t0)) return false;
      o.t0Given = true;
    } else if (std::strcmp(a, "--answer") == 0) {
      std::string v;
      if (!value(v)) return false;
      if (v == "yes")
        o.answer = Answer::Yes;
      else if (v == "no")
        o.answer = Answer::No;
      else
        return false;
    } else if (a[0] == '-' && a[1] != '\0') {
      return false;
    } else if (o.datafile.empty()) {
      o.datafile = a;
    } else {
      return false;
    }
  }
  if ((o.p0Given || o.t0Given) && o.detonation.empty()) return false;
  return !o.datafile.empty();
}

// The initial states of --detonation LIST: densities in g/cm3 or "gas", separated by
// commas.  False with a message for an item that is no density or one the settings page
// would refuse.
bool DetonationRequests(const BatchOptions& o, Interaction& ui, std::vector<DetonationRequest>& out) {
  if (!(o.p0 > 0)) {
    ui.Error("The initial pressure must be positive: " + std::to_string(o.p0));
    return false;
  }
  if (!(o.t0 > 0)) {
    ui.Error("The initial temperature must be positive: " + std::to_string(o.t0));
    return false;
  }
  size_t start = 0;
  for (;;) {
    const size_t comma = o.detonation.find(',', start);
    std::string item = o.detonation.substr(start, comma - start);
    while (!item.empty() && item.front() == ' ') item.erase(item.begin());
    while (!item.empty() && item.back() == ' ') item.pop_back();
    DetonationRequest r;
    r.initialPressure = o.p0;
    r.initialTemperature = o.t0;
    std::string lower = item;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "gas") {
      r.initialDensity = 0;
    } else if (!CommandLineNumber(item, r.initialDensity)) {
      ui.Error("Not an initial density: \"" + item + "\"");
      return false;
    } else if (!(r.initialDensity > 0) || r.initialDensity > kMaxInitialDensity) {
      ui.Error("The initial density must be positive and at most " +
               FormatPicture(kMaxInitialDensity, "0.##") + " g/cm3: " + item);
      return false;
    }
    out.push_back(r);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}

// "%.17g" of v at the end of out (to_chars renders exactly as printf does).
void AppendNumber17(std::string& out, double v) {
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17);
  if (r.ec == std::errc()) {
    out.append(buf, r.ptr - buf);
  } else {
    std::snprintf(buf, sizeof buf, "%.17g", v);
    out += buf;
  }
}

// The largest resident set of this process so far (Linux), 0 where unknown.
long PeakMemoryKb() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  long kb = 0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
  std::fclose(f);
  return kb;
}

// Columns keyed by an integer, in order of first appearance.
struct ColumnSet {
  std::vector<int> keys;
  std::map<int, int> position;
  void Add(int key) {
    if (position.emplace(key, int(keys.size())).second) keys.push_back(key);
  }
};

}  // namespace

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string ResultsTableCsv(const std::vector<ResultsRecord>& records,
                            const std::vector<std::pair<int, std::string>>& speciesNames) {
  ColumnSet elements, components, species;
  std::vector<int> extension;  // extension column codes present, in code order
  for (const ResultsRecord& r : records) {
    for (const auto& e : r.elements) elements.Add(e.first);
    for (const auto& c : r.components) components.Add(c.second);
    for (const auto& s : r.species) species.Add(s.first);
    for (const auto& x : r.extension) extension.push_back(x.first);
  }
  std::sort(extension.begin(), extension.end());
  extension.erase(std::unique(extension.begin(), extension.end()), extension.end());
  std::map<int, std::string> names(speciesNames.begin(), speciesNames.end());

  std::vector<std::string> header{"kind"};
  for (int i = 0; i < kResultsParameterCount; ++i) header.push_back(kResultsParameterNames[i]);
  for (int code : extension) header.push_back(kResultsExtensionNames[code - 1]);
  for (int e : elements.keys) {
    const bool known = e >= 1 && e <= kElementTableSize;
    header.push_back(std::string("[") + (known ? ElementSymbol(e) : std::to_string(e)) + "]");
  }
  for (int c : components.keys) header.push_back("component " + std::to_string(c));
  for (int s : species.keys) {
    auto it = names.find(s);
    header.push_back(it != names.end() ? it->second : "#" + std::to_string(s));
  }

  std::string out;
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (i) out += ',';
    out += CsvField(header[i]);
  }
  out += "\r\n";
  // Numbers need no quoting: each row is written straight into the text, a field
  // left empty where the record has no value for its column.
  const std::size_t columns = header.size();
  std::vector<double> value(columns);
  std::vector<char> present(columns);
  for (const ResultsRecord& r : records) {
    std::fill(present.begin(), present.end(), 0);
    auto set = [&](std::size_t column, double v) {
      value[column] = v;
      present[column] = 1;
    };
    set(0, r.kind);
    for (int i = 0; i < kResultsParameterCount && i < int(r.parameters.size()); ++i)
      set(1 + i, r.parameters[i]);
    std::size_t base = 1 + kResultsParameterCount;
    for (const auto& x : r.extension) {
      const auto at = std::lower_bound(extension.begin(), extension.end(), x.first);
      set(base + (at - extension.begin()), x.second);
    }
    base += extension.size();
    for (const auto& e : r.elements) set(base + elements.position[e.first], e.second);
    base += elements.keys.size();
    for (const auto& c : r.components) set(base + components.position[c.second], c.first);
    base += components.keys.size();
    for (const auto& sp : r.species) set(base + species.position[sp.first], sp.second);
    for (std::size_t i = 0; i < columns; ++i) {
      if (i) out += ',';
      if (present[i]) AppendNumber17(out, value[i]);
    }
    out += "\r\n";
  }
  return out;
}

int RunBatch(int argc, char** argv) {
  BatchOptions opt;
  if (!ParseArguments(argc, argv, opt)) {
    PrintUsage();
    return kExitUsage;
  }
  ProgressInteraction ui(opt.answer, isatty(STDERR_FILENO) != 0);
  BatchOutput out;
  const int status = RunBatchTask(opt, ui, out);
  if (opt.stats && out.commandRun) {
    std::fprintf(stderr, "stats: %lld equilibrium solves, %lld Newton iterations", out.solves,
                 out.iterations);
    const long peak = PeakMemoryKb();
    if (peak > 0) std::fprintf(stderr, ", peak memory %ld kB", peak);
    std::fprintf(stderr, "\n");
  }
  return status;
}

int RunBatchTask(const BatchOptions& opt, Interaction& shown, BatchOutput& out) {
  PointLog ui(shown);
  NullTaskView view;
  Session session(ui, view);
  auto error = [&ui](const std::string& text) { ui.Message(MessageKind::Error, text, Buttons::Ok); };

  // A configuration file named on the command line replaces kvil.cfg of the working
  // directory and is only read: one that cannot be read, or is damaged, is an error.
  if (!opt.cfg.empty()) {
    SettingsRecord cfgRecord;
    std::string problem;
    if (!ReadSettingsFile(opt.cfg, cfgRecord, problem)) {
      ui.Message(MessageKind::Error,
                 std::string(kConfigurationReadError) + "\nThe configuration file " + opt.cfg +
                     " cannot be used: " + problem + ".",
                 Buttons::Ok);
      return kExitUsage;
    }
    session.settings.commandLineFile = opt.cfg;
  }

  if (!opt.db.empty()) {
    if (!session.database.Open(opt.db)) {
      ui.Message(MessageKind::Error,
                 "Species database not found in " + opt.db + " (" +
                     session.database.OpenError() + ")",
                 Buttons::Ok);
      return kExitUsage;
    }
  } else {
    const std::string beside = opt.executable.empty() ? CurrentExecutablePath() : opt.executable;
    DatabaseLocation where = LocateSpeciesDatabase(session.database, "", beside);
    if (!where.found) {
      error("Species database not found (kvil.pth, shipped database); use --db DIR");
      return kExitUsage;
    }
  }

  if (!TaskDatafileReadable(ui, opt.datafile)) return kExitUsage;
  switch (ReadTaskFile(session, opt.datafile)) {
    case ReadTaskResult::CannotOpen:
    case ReadTaskResult::ReadError:
      return kExitUsage;
    case ReadTaskResult::Empty:
    case ReadTaskResult::Ok:
      break;
  }

  session.settings.freshStart = opt.freshStart;
  out.reportPath = session.ReportPath();
  out.tablePath = session.TablePath();
  std::error_code ec;
  const auto reportSize = std::filesystem::file_size(out.reportPath, ec);
  out.reportOffset = ec ? 0 : reportSize;
  RunOptions runOptions;
  runOptions.observer = &ui;
  if (!opt.detonation.empty() && !DetonationRequests(opt, ui, runOptions.detonations))
    return kExitUsage;
  const bool ran = RunCommand(session, runOptions);
  out.commandRun = true;
  out.solves = session.ws.state.solvesTotal;
  out.iterations = session.ws.state.solverIterationsTotal;
  out.ran = ran;

  if (ran && (!opt.csv.empty() || !opt.json.empty() || opt.keepTables)) {
    std::vector<ResultsRecord> records;
    TableReadStatus status = ReadResultsTable(session.TablePath(), records);
    if (status != TableReadStatus::Ok && status != TableReadStatus::Empty) {
      error("Cannot read the results table " + session.TablePath());
      return kExitUsage;
    }
    std::vector<std::pair<int, std::string>> names;
    const SpeciesList& list = session.task.species;
    for (int i = 1; i <= list.total; ++i)
      names.emplace_back(list.items[i].entry.record, list.items[i].displayName);
    auto write = [&](const std::string& path, const std::string& text) {
      std::string why;
      if (WriteFileAtomically(path, text, &why)) return true;
      error("Cannot write " + path + ": " + why);
      return false;
    };
    if (!opt.csv.empty() || opt.keepTables) {
      out.csv = ResultsTableCsv(records, names);
      if (!opt.csv.empty() && !write(opt.csv, out.csv)) return kExitUsage;
    }
    if (!opt.json.empty() || opt.keepTables) {
      out.json = PointLogJson(ui, records, names, session.settings.record.ambientP);
      if (!opt.json.empty() && !write(opt.json, out.json)) return kExitUsage;
    }
  }
  return ran ? kExitOk : kExitRefused;
}

}  // namespace kvil
