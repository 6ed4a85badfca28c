#include "core/file_commands.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "common/binio.h"
#include "core/session.h"
#include "task/datafile.h"
#include "task/settings.h"
#include "task/species_list_file.h"
#include "task/task.h"
#include "thermo/species_catalog.h"

namespace kvil {

namespace fs = std::filesystem;

namespace {

bool CreateIfMissing(const std::string& path, std::string* error) {
  std::error_code ec;
  if (fs::exists(path, ec)) return true;
  std::ofstream out(path, std::ios::binary);
  if (!out) {
    if (error) *error = "Cannot create file " + path;
    return false;
  }
  return true;
}

bool Truncate(const std::string& path, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    if (error) *error = "Cannot write file " + path;
    return false;
  }
  return true;
}

// The results table's extension (results/table_file.h) exists only for runs that wrote
// further columns: emptying the results removes it.
void RemoveExtension(const std::string& tablePath) {
  std::error_code ec;
  fs::remove(fs::path(tablePath).replace_extension(".rsx"), ec);
}

bool HasContent(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return !ec && size > 0;
}

// Moves `from` onto `to`, replacing it.  A rename that the file system refuses (another
// device, say) is done as copy and remove; the source is removed only after the copy.
bool MoveReplacing(const std::string& from, const std::string& to, std::string* error) {
  std::error_code ec;
  if (fs::equivalent(from, to, ec)) return true;
  ec.clear();
  fs::rename(from, to, ec);
  if (!ec) return true;
  ec.clear();
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    if (error) *error = "Cannot move " + from + " to " + to + ": " + ec.message();
    return false;
  }
  fs::remove(from, ec);  // a copy that stays behind loses nothing
  return true;
}

std::string Companion(const std::string& datafile, const char* ext) {
  fs::path p(datafile);
  p.replace_extension(ext);
  return p.string();
}

// The task takes the datafile `path` as its own.
void AdoptPath(Session& session, const std::string& path) {
  session.datafilePath = path;
  session.task.name = TaskNameOfPath(path);
}

}  // namespace

std::string MainCaption(const std::string& taskName) {
  return "Calculation of Equilibrium Composition  (" + taskName + ")";
}

std::string TaskNameOfPath(const std::string& path) { return fs::path(path).stem().string(); }

std::string WithDatafileExtension(const std::string& path) {
  if (path.empty()) return path;
  return fs::path(path).has_extension() ? path : path + ".dat";
}

bool TaskWorthSaving(const Task& task) {
  if (task.species.total > 0) return true;
  for (int slot = 1; slot <= 2; ++slot) {
    const ParameterSlot& s = task.slots[slot];
    if (s.count > 0 && s.values[1] > 0 && s.values[1] < 1e30f) return true;
  }
  return false;
}

std::string SaveFirstQuestion(const Task& task) {
  return "Save datafile " + task.name + ".dat";
}

std::string TaskSnapshot(const Session& session) {
  // The element balance is left out: it follows from the components, and a run leaves
  // it at the last variant it computed.
  Task task = session.task;
  task.elements.Fill(SystemElement{});
  std::string text = DatafileText(task);
  const SpeciesList& list = session.task.species;
  for (int i = 1; i <= list.total && i <= kMaxCandidateSpecies; ++i) {
    const SpeciesEntry& e = list.items[i].entry;
    text += std::to_string(e.phase) + ' ' + std::to_string(e.record) + ' ' +
            std::to_string(e.selected) + '\n';
  }
  for (const SpeciesGridRow& row : session.grid) text += row.mark + '\t' + row.fixed + '\n';
  return text;
}

bool WriteTaskFile(Session& session, const std::string& path) {
  CollectFixedConcentrations(session.task, session.grid, session.ui, session.view);
  std::string error;
  if (!WriteFileAtomically(path, DatafileText(session.task), &error)) {
    session.ui.Error(error);
    return false;
  }
  std::filesystem::path tdf(path);
  tdf.replace_extension(".tdf");
  if (!WriteSpeciesListFile(tdf.string(), session.task.species, &error)) {
    session.ui.Error(error);
    return false;
  }
  return true;
}

ReadTaskResult ReadTaskFile(Session& session, const std::string& path) {
  ResetTaskAndReadConfiguration(session.task, session.settings, session.grid, session.ui,
                                session.view);
  session.datafilePath = path;
  session.task.name = std::filesystem::path(path).stem().string();
  ShowSpeciesCounts(session.task.species, session.view);

  // A file that cannot be read (a directory or a FIFO among them) is named with the
  // reason under the read error.
  std::string content, reason;
  if (!ReadWholeFile(path, content, &reason)) {
    session.ui.Error(std::string(kDatafileReadError) + "\n" + path + ": " + reason);
    return ReadTaskResult::CannotOpen;
  }
  if (content.empty()) return ReadTaskResult::Empty;

  auto fail = [&]() {
    session.ui.Error(kDatafileReadError);
    ResetTaskAndReadConfiguration(session.task, session.settings, session.grid, session.ui,
                                  session.view);
    return ReadTaskResult::ReadError;
  };
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);  // UTF-8 mark
  RawDatafile raw;
  if (!ParseDatafile(content, raw)) return fail();

  // The species list file must fit the species list before anything is taken over.
  const std::string tdf = session.SpeciesListPath();
  std::vector<SpeciesEntry> entries;
  if (!ReadSpeciesListFile(tdf, entries)) {
    entries.clear();
    std::string error;
    std::error_code ec;
    if (!std::filesystem::exists(tdf, ec) && !ec && !WriteFileAtomically(tdf, "", &error))
      session.ui.Error(error);
  }
  if (static_cast<int>(entries.size()) > kMaxCandidateSpecies) return fail();

  ApplyDatafile(session.task, session.database, session.ui, raw);

  Task& task = session.task;
  task.species.total = 0;
  task.species.selected = 0;
  // Without a species database the entries cannot be resolved to species; the list
  // stays empty and the species list file is left as it is.
  if (!entries.empty() && session.database.IsOpen()) {
    task.species.rescanDatabase = false;
    LoadSpeciesList(session.task, session.database, session.grid, session.ui, session.view,
                    session.SpeciesListPath());
    task.species.rescanDatabase = false;
  }

  for (int e = 1; e <= kMaxSystemElements; ++e) task.referenceElements[e] = task.elements[e].index;
  task.referenceElementCount = task.elementCount;
  task.elementSetChanged = false;
  ShowSpeciesCounts(session.task.species, session.view);
  session.view.ShowFixedIndicator(task.fixedCount > 0);
  session.view.TaskChanged(task);
  ApplyOptionsToControls(task.options, session.view);
  return ReadTaskResult::Ok;
}

bool BindDefaultFiles(Session& session, std::string* kept) {
  bool ok = true;
  std::string keptNames;
  for (const char* ext : {".txt", ".tdf", ".rst"}) {
    const std::string file = std::string(kNoName) + ext;
    std::string error;
    if (std::string(ext) != ".tdf" && HasContent(file)) {
      const std::string previous = std::string(kNoNamePrevious) + ext;
      if (!MoveReplacing(file, previous, &error)) {
        session.ui.Error(error + "\n" + file + " is left as it is.");
        ok = false;
        continue;
      }
      if (std::string(ext) == ".rst") {
        // The columns of the table's extension go with it.
        const std::string extension = std::string(kNoName) + ".rsx";
        const std::string previousExtension = std::string(kNoNamePrevious) + ".rsx";
        std::error_code ec;
        fs::remove(previousExtension, ec);
        if (fs::exists(extension, ec)) MoveReplacing(extension, previousExtension, nullptr);
      }
      keptNames += (keptNames.empty() ? "" : " and ") + previous;
    }
    if (!Truncate(file, &error)) {
      session.ui.Error(error);
      ok = false;
    }
  }
  RemoveExtension(std::string(kNoName) + ".rst");
  if (kept)
    *kept = keptNames.empty() ? std::string()
                              : "The results of the previous session are kept in " + keptNames + ".";
  return ok;
}

OpenOutcome OpenTaskFile(Session& session, const std::string& path) {
  OpenOutcome out;
  if (!CreateIfMissing(path, &out.error)) return out;
  if (!CreateIfMissing(Companion(path, ".rst"), &out.error)) return out;
  const ReadTaskResult read = ReadTaskFile(session, path);
  if (read == ReadTaskResult::CannotOpen) return out;  // the reader said why
  // A malformed datafile has been reported by the reader and left the defaults: the
  // task is still this file's (a Save writes it anew).
  if (!CreateIfMissing(session.ReportPath(), &out.error)) return out;
  out.ok = true;
  out.resultsExist = HasContent(session.ReportPath()) || HasContent(session.TablePath());
  return out;
}

bool EmptyResultFiles(Session& session, std::string* error) {
  const bool report = Truncate(session.ReportPath(), error);
  const bool table = Truncate(session.TablePath(), error);
  RemoveExtension(session.TablePath());
  return report && table;
}

// Writes the task under `path` and makes it the task's file; on failure the task keeps
// its name and file.
bool WriteTaskAs(Session& session, const std::string& path, std::string* error) {
  const std::string oldPath = session.datafilePath;
  const std::string oldName = session.task.name;
  AdoptPath(session, path);
  if (WriteTaskFile(session, path)) return true;
  session.datafilePath = oldPath;
  session.task.name = oldName;
  if (error) *error = "Cannot write " + path;
  return false;
}

bool SaveNoNameTaskAs(Session& session, const std::string& path, const std::string& noNameDir,
                      std::string* error) {
  if (!WriteTaskAs(session, path, error)) return false;
  const fs::path dir = noNameDir.empty() ? fs::path(".") : fs::path(noNameDir);
  bool ok = true;
  for (const char* ext : {".txt", ".rst"}) {
    const std::string from = (dir / (std::string(kNoName) + ext)).string();
    const std::string to = Companion(path, ext);
    std::error_code ec;
    if (!fs::exists(from, ec)) {
      // Nothing computed yet: the task still gets an empty file of its own.
      ok = CreateIfMissing(to, error) && ok;
      continue;
    }
    ok = MoveReplacing(from, to, error) && ok;
  }
  // The extension of the results table goes with them.
  const std::string from = (dir / (std::string(kNoName) + ".rsx")).string();
  std::error_code ec;
  if (fs::exists(from, ec))
    ok = MoveReplacing(from, Companion(path, ".rsx"), error) && ok;
  else
    RemoveExtension(Companion(path, ".rst"));
  return ok;
}

bool SaveTaskAs(Session& session, const std::string& path, std::string* error) {
  if (!WriteTaskAs(session, path, error)) return false;
  return EmptyResultFiles(session, error);
}

std::string DeleteTaskFiles(Session& session, const std::string& path, std::string* error) {
  const fs::path chosen(path);
  const std::string base = chosen.stem().string();
  const fs::path folder = chosen.parent_path();
  std::error_code ec;
  const bool current =
      !session.datafilePath.empty() &&
      fs::weakly_canonical(fs::path(session.datafilePath), ec) ==
          fs::weakly_canonical(folder / (base + ".dat"), ec);
  if (current) {
    for (const char* ext : {".rst", ".txt", ".tdf", ".dat"})
      Truncate((folder / (base + ext)).string(), error);
    RemoveExtension((folder / (base + ".rst")).string());
    return base;
  }
  ec.clear();
  if (!fs::remove(chosen, ec) && ec && error) *error = "Cannot delete " + path;
  for (const char* ext : {".rst", ".txt", ".tdf", ".dat", ".rsx"}) {
    const fs::path file = folder / (base + ext);
    ec.clear();
    if (!fs::remove(file, ec) && ec && error) *error = "Cannot delete " + file.string();
  }
  return base;
}

std::string DeletedMessage(const std::string& name) {
  return "Information about " + name + " is deleted.";
}

WindowSize InitialWindowSize(int screenWidth, int screenHeight, int designWidth,
                             int designHeight) {
  WindowSize size{designWidth, designHeight};
  if (screenWidth > 0 && screenHeight > 0 && screenWidth != 800) {
    size.width = screenWidth * designWidth / 800;
    size.height = screenHeight * designHeight / 600;
  }
  // Never larger than the screen: a window manager would cut it.
  if (screenWidth > 0) size.width = std::min(size.width, screenWidth);
  if (screenHeight > 0) size.height = std::min(size.height, screenHeight);
  return size;
}

}  // namespace kvil
