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

#include "thermo/db_location.h"
#include "ui/component_library.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"
#include "ui/qt_interaction.h"
#include "ui/qt_services.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KVIL"));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSize(10);
  QApplication::setFont(font);
  const QPalette desktopPalette = QApplication::palette();

  kvil::QtInteraction ui;
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
  QApplication::setPalette(desktopPalette);
  return status;
}
