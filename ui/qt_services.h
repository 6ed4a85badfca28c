// The desktop's own implementations of the window services: Qt file and colour dialogs
// and the help window over the help pages built into the program.
#pragma once

#include <QDialog>

#include "ui/services.h"

class QTextBrowser;

namespace kvil {

class QtFileDialogs : public FileDialogs {
 public:
  QString OpenFile(QWidget* parent, const QString& title, const QString& directory,
                   const QStringList& filters) override;
  QString SaveFile(QWidget* parent, const QString& title, const QString& directory,
                   const QStringList& filters) override;
  QString ChooseDirectory(QWidget* parent, const QString& title,
                          const QString& directory) override;
};

class QtColourDialog : public ColourDialog {
 public:
  std::optional<QColor> ChooseColour(QWidget* parent, const QColor& initial) override;
};

// "qrc:/help/kvil.html#ctxN" for a help context (the top of the help for an unknown
// one).
QString HelpAddress(int context);

// The help window: one long-lived, non-modal browser over the help pages.
class HelpWindow : public QDialog, public HelpViewer {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* parent = nullptr);
  void ShowHelp(QWidget* parent, int context) override;
  QString CurrentAddress() const;

 private:
  QTextBrowser* browser_;
};

}  // namespace kvil
