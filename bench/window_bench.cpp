// window_bench: the cost of a run started from the main window against the same run
// made as kvil-batch makes it, side by side in one process.
//
//   window_bench [CASE.dat] [--rounds N] [--db DIR]
//
// CASE.dat (default bench/cases/tp-grid-5000.dat, 5000 points) is copied into a
// scratch folder for each run.  A window run is the Run command of a shown main window
// with the program's own interaction and progress window (the offscreen platform unless
// QT_QPA_PLATFORM says otherwise); a batch run is kvil-batch's RunBatchTask on the same
// datafile.  The two alternate, N rounds (default 5); the medians of their wall-clock
// times and the ratio of the medians are printed, with each round's pair.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/batch_interaction.h"
#include "app/batch_run.h"
#include "core/session.h"
#include "results/table_file.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"
#include "ui/qt_interaction.h"
#include "ui/qt_services.h"

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A fresh folder holding the case as "task.dat", the database named in kvil.pth.
QString Prepare(const QTemporaryDir& root, const QString& name, const QString& casePath,
                const QString& db) {
  const QString dir = root.filePath(name);
  QDir(dir).removeRecursively();
  QDir().mkpath(dir);
  QFile::copy(casePath, dir + "/task.dat");
  QFile pth(dir + "/kvil.pth");
  if (pth.open(QIODevice::WriteOnly)) pth.write((db + "/\n").toUtf8());
  return dir;
}

int Records(const QString& path) {
  std::vector<kvil::ResultsRecord> records;
  kvil::ReadResultsTable(path.toStdString(), records);
  return int(records.size());
}

// Seconds of one run from the window; the number of records it wrote in `records`.
double WindowRun(const QString& dir, int& records) {
  const QString home = QDir::currentPath();
  QDir::setCurrent(dir);
  kvil::QtInteraction ui;
  kvil::QtFileDialogs files;
  kvil::QtColourDialog colours;
  kvil::HelpWindow help;
  kvil::MainWindowServices services{&files, &colours, &help, nullptr};
  double seconds = 0;
  {
    kvil::TKVILForm window(ui, services);
    ui.SetParentWindow(&window);
    ui.SetProgressView(&window.progressWindow());
    if (window.Start("", "")) {
      window.show();
      window.OpenDatafile(QDir(dir).absoluteFilePath("task.dat"));
      QApplication::processEvents();
      QElapsedTimer clock;
      clock.start();
      window.RunCalculation();
      seconds = clock.nsecsElapsed() * 1e-9;
      records = Records(dir + "/task.rst");
    }
    ui.SetProgressView(nullptr);
  }
  QDir::setCurrent(home);
  return seconds;
}

// Seconds of the same run as kvil-batch makes it (database, task, run, report, table).
double BatchRun(const QString& dir, const QString& db, int& records) {
  kvil::BatchOptions options;
  options.db = db.toStdString();
  options.datafile = (dir + "/task.dat").toStdString();
  std::FILE* quiet = std::fopen("/dev/null", "w");
  kvil::BatchInteraction shown(quiet ? quiet : stderr);
  kvil::BatchOutput out;
  QElapsedTimer clock;
  clock.start();
  kvil::RunBatchTask(options, shown, out);
  const double seconds = clock.nsecsElapsed() * 1e-9;
  if (quiet) std::fclose(quiet);
  records = Records(dir + "/task.rst");
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QString casePath = QStringLiteral(KVIL_SOURCE_DIR "/bench/cases/tp-grid-5000.dat");
  QString db = QStringLiteral(KVIL_DB_DIR);
  int rounds = 5;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--rounds" && i + 1 < args.size())
      rounds = std::max(1, args[++i].toInt());
    else if (args[i] == "--db" && i + 1 < args.size())
      db = args[++i];
    else
      casePath = QFileInfo(args[i]).absoluteFilePath();
  }
  QTemporaryDir root;
  std::vector<double> window, batch;
  std::printf("case %s, %d rounds, platform %s\n", qPrintable(casePath), rounds,
              qPrintable(QGuiApplication::platformName()));
  for (int r = 0; r < rounds; ++r) {
    int windowRecords = 0, batchRecords = 0;
    // Alternate which goes first, so that neither always runs on a warmer cache.
    if (r % 2 == 0) {
      window.push_back(WindowRun(Prepare(root, "window", casePath, db), windowRecords));
      batch.push_back(BatchRun(Prepare(root, "batch", casePath, db), db, batchRecords));
    } else {
      batch.push_back(BatchRun(Prepare(root, "batch", casePath, db), db, batchRecords));
      window.push_back(WindowRun(Prepare(root, "window", casePath, db), windowRecords));
    }
    std::printf("round %d: window %.3f s (%d records), batch %.3f s (%d records)\n", r + 1,
                window.back(), windowRecords, batch.back(), batchRecords);
    if (windowRecords != batchRecords) std::printf("  the two runs wrote different tables\n");
  }
  const double w = Median(window), b = Median(batch);
  std::printf("median: window %.3f s, batch %.3f s, ratio %.3f\n", w, b, b > 0 ? w / b : 0.0);
  return 0;
}
