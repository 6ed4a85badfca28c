#include "ui/support/shots.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace kvil::uitest {

QString ShotsDirectory() { return qEnvironmentVariable("KVIL_SHOTS"); }

QString SaveShot(QWidget* widget, const QString& name) {
  const QString dir = ShotsDirectory();
  if (dir.isEmpty() || widget == nullptr) return {};
  QDir().mkpath(dir);
  QApplication::processEvents();
  const QString path = QDir(dir).filePath(name + ".png");
  return widget->grab().save(path, "PNG") ? path : QString();
}

QString ScratchDirectory(const QString& name) {
  QDir base(QDir::currentPath());
  const QString path = base.filePath("scratch/" + name);
  QDir(path).removeRecursively();
  QDir().mkpath(path);
  return path;
}

}  // namespace kvil::uitest
