#include "ui/elemental_window.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "core/session.h"
#include "task/elemental_table.h"
#include "ui/services.h"

namespace kvil {

TInfo::TInfo(Session& session, FileDialogs& files, QWidget* parent)
    : QDialog(parent),
      session_(session),
      files_(files),
      table_(new QTableView(this)),
      model_(new QStandardItemModel(this)) {
  setWindowTitle(QStringLiteral("Elemental composition"));
  setObjectName(QStringLiteral("elementalWindow"));
  table_->setObjectName(QStringLiteral("elemGrid"));
  table_->setModel(model_);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->horizontalHeader()->hide();
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setDefaultSectionSize(90);
  const QString hint = QStringLiteral(
      "The table displays amounts of elements in the system (mole/kg), total enthalpy and sum "
      "of mass parts of source components.");
  table_->setToolTip(hint);
  table_->setStatusTip(hint);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* save = buttons->addButton(QStringLiteral("&Save"), QDialogButtonBox::ActionRole);
  save->setToolTip(QStringLiteral("Save table into the text file"));
  QPushButton* close = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
  connect(save, &QPushButton::clicked, this, [this] { Save(); });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_, 1);
  layout->addWidget(buttons);
  resize(520, 340);
}

QString TInfo::cellText(int row, int column) const {
  const QStandardItem* item = model_->item(row, column);
  return item ? item->text() : QString();
}

bool TInfo::Open() {
  const ElementalTable t = BuildElementalTable(session_.task, session_.database, session_.ui);
  model_->clear();
  model_->setRowCount(t.Rows());
  model_->setColumnCount(t.Columns());
  for (int r = 0; r < t.Rows(); ++r) {
    for (int c = 0; c < t.Columns(); ++c) {
      auto* item = new QStandardItem(QString::fromStdString(t.cells[r][c]));
      if (r == 0 || c == 0) {
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
      }
      if (c > 0) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      model_->setItem(r, c, item);
    }
  }
  table_->resizeColumnToContents(0);
  const int rowsHeight = table_->verticalHeader()->length() + 2 * table_->frameWidth();
  const int columnsWidth = table_->horizontalHeader()->length() + 2 * table_->frameWidth();
  resize(std::clamp(columnsWidth + 30, 360, 900), std::clamp(rowsHeight + 70, 200, 700));
  show();
  raise();
  activateWindow();
  return t.Rows() > 0;
}

bool TInfo::Save() {
  QString path = files_.SaveFile(this, QStringLiteral("Save table"), QString(),
                                 {QStringLiteral("Text file (*.txt)")});
  if (path.isEmpty()) return false;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".txt");
  ElementalTable t;
  for (int r = 0; r < model_->rowCount(); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < model_->columnCount(); ++c) row.push_back(cellText(r, c).toStdString());
    t.cells.push_back(std::move(row));
  }
  std::string error;
  if (!AppendElementalTable(path.toStdString(), t, &error)) {
    session_.ui.Error(error);
    return false;
  }
  return true;
}

}  // namespace kvil
