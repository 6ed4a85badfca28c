#include "ui/results_page.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>
#include <new>

#include "core/session.h"
#include "results/report_search.h"

namespace kvil {

ResultsPage::ResultsPage(Session& session, QWidget* parent)
    : QWidget(parent),
      session_(session),
      list_(new QListView(this)),
      model_(new QStringListModel(this)),
      searchText_(new QLineEdit(this)),
      searchButton_(new QPushButton(QStringLiteral("S&earch"), this)),
      fontButton_(new QPushButton(QStringLiteral("&Font"), this)) {
  setObjectName(QStringLiteral("resultsPage"));
  list_->setObjectName(QStringLiteral("reportList"));
  list_->setModel(model_);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setSelectionMode(QAbstractItemView::MultiSelection);
  list_->setUniformItemSizes(true);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPixelSize(13);
  list_->setFont(mono);

  searchText_->setObjectName(QStringLiteral("searchText"));
  searchText_->setPlaceholderText(QStringLiteral("text to find in the report"));
  searchButton_->setObjectName(QStringLiteral("searchButton"));
  searchButton_->setToolTip(QStringLiteral("Find the next line holding the text"));
  searchButton_->setEnabled(false);
  fontButton_->setObjectName(QStringLiteral("fontButton"));
  fontButton_->setToolTip(QStringLiteral("Choose the font of the report"));
  auto* label = new QLabel(QStringLiteral("Find:"), this);
  label->setBuddy(searchText_);

  connect(searchText_, &QLineEdit::textChanged, this, [this](const QString& text) {
    searchButton_->setEnabled(text.toStdString() >= std::string(" "));
  });
  connect(searchText_, &QLineEdit::returnPressed, this, [this] {
    if (searchButton_->isEnabled()) Search();
  });
  connect(searchButton_, &QPushButton::clicked, this, &ResultsPage::Search);
  connect(fontButton_, &QPushButton::clicked, this, [this] {
    std::optional<QFont> font;
    if (askFont) {
      font = askFont(this, list_->font());
    } else {
      bool ok = false;
      const QFont chosen = QFontDialog::getFont(&ok, list_->font(), this);
      if (ok) font = chosen;
    }
    if (font) list_->setFont(*font);
  });

  auto* bar = new QHBoxLayout;
  bar->addWidget(label);
  bar->addWidget(searchText_, 1);
  bar->addWidget(searchButton_);
  bar->addSpacing(16);
  bar->addWidget(fontButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(bar);
}

int ResultsPage::lineCount() const { return model_->rowCount(); }

void ResultsPage::PreparePage() {
  searchText_->clear();
  Load(QString::fromStdString(session_.ReportPath()));
}

void ResultsPage::ResultsChanged() {
  if (isVisible()) PreparePage();
}

void ResultsPage::ShowFile(const QString& path) { Load(path); }

void ResultsPage::Load(const QString& path) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  lines_.clear();
  model_->setStringList({});
  QFile file(path);
  if (file.exists() && file.size() > 0 && file.open(QIODevice::ReadOnly)) {
    try {
      QStringList shown;
      while (!file.atEnd()) {
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
        lines_.emplace_back(line.constData(), line.size());
        shown << QString::fromLocal8Bit(line);
      }
      model_->setStringList(shown);
    } catch (const std::bad_alloc&) {
      lines_.clear();
      model_->setStringList({});
      QApplication::restoreOverrideCursor();
      session_.ui.Warn("File of results is too large to view !");
      return;
    }
  }
  if (list_->isVisible()) list_->setFocus();
  QApplication::restoreOverrideCursor();
}

void ResultsPage::Search() {
  const QModelIndex top = list_->indexAt(QPoint(1, 1));
  const int topLine = top.isValid() ? top.row() : 0;
  const int found =
      SearchReport(lines_, topLine, searchText_->text().toStdString(), session_.ui);
  if (found < 0) return;
  const QModelIndex index = model_->index(found);
  list_->selectionModel()->select(index, QItemSelectionModel::Select);
  list_->scrollTo(index, QAbstractItemView::PositionAtTop);
  list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

}  // namespace kvil
