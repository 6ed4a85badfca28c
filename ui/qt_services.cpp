#include "ui/qt_services.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

// The help pages are compiled into the windows' static library: their resource has to be
// registered by hand (outside any namespace).
static void InitHelpResource() { Q_INIT_RESOURCE(help); }

namespace kvil {

QString QtFileDialogs::OpenFile(QWidget* parent, const QString& title, const QString& directory,
                                const QStringList& filters) {
  return QFileDialog::getOpenFileName(parent, title, directory, filters.join(QStringLiteral(";;")));
}

QString QtFileDialogs::SaveFile(QWidget* parent, const QString& title, const QString& directory,
                                const QStringList& filters) {
  // The commands ask their own "already exists" questions.
  return QFileDialog::getSaveFileName(parent, title, directory, filters.join(QStringLiteral(";;")),
                                      nullptr, QFileDialog::DontConfirmOverwrite);
}

QString QtFileDialogs::ChooseDirectory(QWidget* parent, const QString& title,
                                       const QString& directory) {
  return QFileDialog::getExistingDirectory(parent, title, directory);
}

std::optional<QColor> QtColourDialog::ChooseColour(QWidget* parent, const QColor& initial) {
  const QColor c = QColorDialog::getColor(initial, parent);
  if (!c.isValid()) return std::nullopt;
  return c;
}

QString HelpAddress(int context) {
  static const int known[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 16, 20, 22, 23, 30};
  for (int k : known)
    if (k == context) return QStringLiteral("qrc:/help/kvil.html#ctx%1").arg(context);
  return QStringLiteral("qrc:/help/kvil.html#ctx1");
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent), browser_(new QTextBrowser(this)) {
  InitHelpResource();
  setWindowTitle(QStringLiteral("KVIL Help"));
  setObjectName(QStringLiteral("helpWindow"));
  browser_->setOpenExternalLinks(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
  auto* back = buttons->addButton(QStringLiteral("&Back"), QDialogButtonBox::ActionRole);
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  auto* contents = buttons->addButton(QStringLiteral("&Contents"), QDialogButtonBox::ActionRole);
  connect(contents, &QPushButton::clicked, this,
          [this] { browser_->setSource(QUrl(HelpAddress(1))); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_);
  layout->addWidget(buttons);
  resize(640, 560);
}

void HelpWindow::ShowHelp(QWidget* parent, int context) {
  Q_UNUSED(parent);
  browser_->setSource(QUrl(HelpAddress(context)));
  show();
  raise();
  activateWindow();
}

QString HelpWindow::CurrentAddress() const { return browser_->source().toString(); }

}  // namespace kvil
