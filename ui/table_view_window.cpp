// The engine headers come first: the task's "slots" member must be read before Qt
// makes the word a keyword.
#include "core/session.h"
#include "ui/table_view_window.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/services.h"

namespace kvil {

void ResultsTableModel::SetTable(const ResultsTable& table) {
  beginResetModel();
  table_ = table;
  endResetModel();
}

int ResultsTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(table_.rows.size());
}

int ResultsTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(table_.titles.size());
}

QVariant ResultsTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole)
    return QString::fromStdString(table_.rows[index.row()][index.column()]);
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant ResultsTableModel::headerData(int section, Qt::Orientation orientation,
                                       int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  if (section < 0 || section >= int(table_.titles.size())) return {};
  return QString::fromStdString(table_.titles[section]).trimmed();
}

TViewForm::TViewForm(Session& session, FileDialogs& files, HelpViewer& help,
                     ChartServices chartServices, QWidget* parent)
    : QWidget(parent, Qt::Window),
      session_(session),
      files_(files),
      help_(help),
      chartServices_(std::move(chartServices)) {
  SetBaseName("NoName");
  resize(635, 347);

  model_ = new ResultsTableModel(this);
  grid_ = new QTableView(this);
  grid_->setObjectName("ViewTabl");
  grid_->setModel(model_);
  QFont font("Arial");
  font.setPixelSize(11);
  grid_->setFont(font);
  grid_->horizontalHeader()->setDefaultSectionSize(90);
  grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grid_->verticalHeader()->setDefaultSectionSize(20);
  grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);

  auto button = [this](const QString& text, const QString& hint) {
    auto* b = new QPushButton(text, this);
    b->setToolTip(hint);
    return b;
  };
  saveButton_ = button("&Save", "Save table into the text file");
  plotButton_ = button("&Plot", "Plot curves.");
  helpButton_ = button("&Help", QString());
  closeButton_ = button("&Close", "Close the window.");
  helpButton_->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
  closeButton_->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  connect(saveButton_, &QPushButton::clicked, this, &TViewForm::SaveTable);
  connect(plotButton_, &QPushButton::clicked, this, &TViewForm::Plot);
  connect(helpButton_, &QPushButton::clicked, this,
          [this] { help_.ShowHelp(this, kTableViewHelpContext); });
  connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {saveButton_, plotButton_, helpButton_, closeButton_}) buttons->addWidget(b);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 6);
  layout->addWidget(grid_, 1);
  layout->addLayout(buttons);
}

void TViewForm::SetBaseName(const QString& baseName) {
  baseName_ = baseName;
  setWindowTitle("Table for " + baseName);
}

void TViewForm::Fill(const TableChoice& choice, bool concentration) {
  concentration_ = concentration;
  // The user's column widths survive a fill.
  std::vector<int> widths;
  for (int c = 0; c < model_->columnCount(); ++c) widths.push_back(grid_->columnWidth(c));
  model_->SetTable(FillResultsTableFromFile(session_.TablePath(), choice, session_.ui));
  for (int c = 0; c < model_->columnCount() && c < int(widths.size()); ++c)
    grid_->setColumnWidth(c, widths[c]);
}

bool TViewForm::CheckForPlot() {
  return CheckTableForPlot(model_->Table(), session_.ui);
}

void TViewForm::OpenChart() {
  TGR_Form chart(model_->Table(), concentration_, baseName_, session_.ui, chartServices_,
                 window());
  if (chartHook_) {
    chartHook_(chart);
    return;
  }
  chart.exec();
}

void TViewForm::Plot() {
  if (CheckForPlot()) OpenChart();
}

void TViewForm::SaveTable() {
  const QString chosen =
      files_.SaveFile(this, "Save table", QString(), {QLatin1String(kTableFileFilter)});
  if (chosen.isEmpty()) return;
  std::string refusal;
  const QString path = QString::fromStdString(TableSavePath(chosen.toStdString(), &refusal));
  if (path.isEmpty()) {
    session_.ui.Error(refusal);
    return;
  }
  // A table file already there receives the new table after its own.
  QFile file(path);
  const QByteArray text = QByteArray::fromStdString(TableSaveText(model_->Table()));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(text) != text.size() ||
      !file.flush())
    session_.ui.Error("Cannot write " + path.toStdString());
}

void TViewForm::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F1) {
    help_.ShowHelp(this, kTableViewHelpContext);
    return;
  }
  QWidget::keyPressEvent(e);
}

}  // namespace kvil
