// kvil: the desktop program.
//
//   kvil [TASK.dat]
//
// Starts in the working directory (which holds kvil.cfg, kvil.pth and the NoName files);
// with a datafile argument that task is opened as the Open command opens it.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>

#include <cstdio>
#include <exception>
#include <string>

#include "thermo/db_location.h"
#include "ui/component_library.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"
#include "ui/qt_interaction.h"
#include "ui/qt_services.h"

namespace {

// The text of the last-resort report of an exception nothing else caught.
std::string InternalErrorText(const char* what) {
  return std::string("Internal error: ") + what + "\nKVIL has to close.";
}

// An exception that escapes an event handler cannot travel through Qt's event loop:
// it is caught here, reported and the program ends with a failure status.
class KvilApplication : public QApplication {
 public:
  using QApplication::QApplication;
  void SetInteraction(kvil::Interaction* ui) { ui_ = ui; }

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      Fail(e.what());
    } catch (...) {
      Fail("an unknown exception");
    }
    return false;
  }

 private:
  void Fail(const char* what) {
    const std::string text = InternalErrorText(what);
    std::fprintf(stderr, "kvil: %s\n", text.c_str());
    if (ui_ && !failed_) {
      failed_ = true;
      ui_->Error(text);
    }
    QCoreApplication::exit(1);
  }

  kvil::Interaction* ui_ = nullptr;
  bool failed_ = false;
};

int RunKvil(int argc, char** argv) {
  KvilApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KVIL"));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSize(10);
  QApplication::setFont(font);
  const QPalette desktopPalette = QApplication::palette();

  kvil::QtInteraction ui;
  app.SetInteraction(&ui);
  kvil::QtFileDialogs files;
  kvil::QtColourDialog colours;
  kvil::HelpWindow help;
  const QString programDir = QFileInfo(QString::fromStdString(kvil::CurrentExecutablePath()))
                                 .absolutePath();
  kvil::ComponentLibrary library(programDir, ui);

  kvil::MainWindowServices services;
  services.files = &files;
  services.colours = &colours;
  services.help = &help;
  services.picker = library.Available() ? &library : nullptr;

  int status = 0;
  {
    kvil::TKVILForm window(ui, services);
    ui.SetParentWindow(&window);
    ui.SetProgressView(&window.progressWindow());
    if (!window.Start("", kvil::CurrentExecutablePath())) return 0;
    window.show();
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
      QString path = args.at(1);
      if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".dat");
      window.OpenDatafile(QFileInfo(path).absoluteFilePath());
    }
    status = QApplication::exec();
    ui.SetProgressView(nullptr);
  }
  app.SetInteraction(nullptr);
  QApplication::setPalette(desktopPalette);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // The last resort: no exception leaves the program unreported.
  try {
    return RunKvil(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kvil: %s\n", InternalErrorText(e.what()).c_str());
  } catch (...) {
    std::fprintf(stderr, "kvil: %s\n", InternalErrorText("an unknown exception").c_str());
  }
  return 1;
}
