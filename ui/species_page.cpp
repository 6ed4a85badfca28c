#include "ui/species_page.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "core/session.h"
#include "task/datafile.h"
#include "task/task.h"
#include "thermo/species_catalog.h"
#include "ui/chem_formula.h"

namespace kvil {

enum SpeciesColumn { kNoColumn = 0, kMarkColumn, kPhaseColumn, kFormulaColumn, kFixedColumn };

// The rows of session.grid; row r shows list entry r + 1.
class SpeciesGridModel : public QAbstractTableModel {
 public:
  SpeciesGridModel(Session& session, QObject* parent)
      : QAbstractTableModel(parent), session_(session) {}

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(session_.grid.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 5; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const SpeciesGridRow& row = session_.grid[index.row()];
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
      switch (index.column()) {
        case kNoColumn: return QString::fromStdString(row.number).trimmed();
        case kMarkColumn: return QString::fromStdString(row.mark).trimmed();
        case kPhaseColumn: return QString::fromStdString(row.phase).trimmed();
        case kFormulaColumn: return QString::fromStdString(row.formula).trimmed();
        case kFixedColumn: return QString::fromStdString(row.fixed);
      }
    }
    if (role == Qt::TextAlignmentRole && index.column() != kFormulaColumn &&
        index.column() != kFixedColumn)
      return int(Qt::AlignCenter);
    return {};
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* titles[] = {" No.", " Mark", " Phase", "       Formula", " Fixed mol."};
    return QString::fromLatin1(titles[section]);
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == kFixedColumn) f |= Qt::ItemIsEditable;
    return f;
  }

  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (role != Qt::EditRole || index.column() != kFixedColumn) return false;
    session_.grid[index.row()].fixed = value.toString().trimmed().toStdString();
    Q_EMIT dataChanged(index, index);
    return true;
  }

  bool Marked(int row) const {
    return session_.grid[row].mark.find('*') != std::string::npos;
  }

  // The mark of grid row `row` and the selected flag of the entry it shows.
  void SetMark(int row, bool marked) {
    session_.grid[row].mark = marked ? "  *" : "";
    SpeciesList& list = session_.task.species;
    if (row + 1 <= list.total) list.items[row + 1].entry.selected = marked ? 1 : 0;
    const QModelIndex cell = index(row, kMarkColumn);
    Q_EMIT dataChanged(cell, cell);
  }

  void Reset() {
    beginResetModel();
    endResetModel();
  }

 private:
  Session& session_;
};

namespace {

// Show Selected: only the marked rows; the rows themselves are not touched.
class SelectedFilter : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void SetSelectedOnly(bool on) {
    selectedOnly_ = on;
    invalidateFilter();
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex&) const override {
    if (!selectedOnly_) return true;
    return static_cast<SpeciesGridModel*>(sourceModel())->Marked(row);
  }

 private:
  bool selectedOnly_ = false;
};

void SetHint(QWidget* w, const QString& hint) {
  const QString h = hint.startsWith(QLatin1Char('|')) ? hint.mid(1) : hint;
  w->setStatusTip(h);
  w->setToolTip(h);
}

}  // namespace

SpeciesPage::SpeciesPage(Session& session, QWidget* parent)
    : QWidget(parent),
      session_(session),
      model_(new SpeciesGridModel(session, this)),
      filter_(new SelectedFilter(this)),
      grid_(new QTableView(this)),
      counts_(new QLabel(this)),
      search_(new QLineEdit(this)),
      show_(new QPushButton(QStringLiteral("Sho&w Selected"), this)) {
  setObjectName(QStringLiteral("speciesPage"));
  filter_->setSourceModel(model_);
  grid_->setObjectName(QStringLiteral("speciesGrid"));
  grid_->setModel(filter_);
  grid_->setItemDelegate(new ChemFormulaDelegate({kFormulaColumn}, grid_));
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setDefaultSectionSize(20);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setEditTriggers(QAbstractItemView::AllEditTriggers);
  const int w = grid_->fontMetrics().horizontalAdvance(QStringLiteral("00000"));
  grid_->setColumnWidth(kNoColumn, w);
  grid_->setColumnWidth(kMarkColumn, w + 10);
  grid_->setColumnWidth(kPhaseColumn, w + 15);
  grid_->setColumnWidth(kFormulaColumn, 6 * w);
  grid_->horizontalHeader()->setStretchLastSection(true);
  grid_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  SetHint(grid_,
          QStringLiteral("|Click left mouse button in column \"Mark\" to include substance into "
                         "system (*) or expel it from the system."));
  grid_->installEventFilter(this);
  connect(grid_, &QTableView::pressed, this, [this](const QModelIndex& index) {
    if (index.column() == kMarkColumn) ToggleMark(index.row());
    Recount();
  });

  counts_->setObjectName(QStringLiteral("countsLine"));
  counts_->setFrameShape(QFrame::StyledPanel);
  counts_->setContentsMargins(6, 2, 6, 2);

  auto* selectAll = new QPushButton(QStringLiteral("Se&lect All"), this);
  SetHint(selectAll, QStringLiteral("|Iclude all substances into system"));
  auto* unselectAll = new QPushButton(QStringLiteral("&UnSelect All"), this);
  SetHint(unselectAll, QStringLiteral("|Exclude all substances from the system"));
  show_->setObjectName(QStringLiteral("showButton"));
  SetHint(show_, QStringLiteral("|Display only selected substances"));
  auto* reread = new QPushButton(QStringLiteral("R&eread"), this);
  reread->setObjectName(QStringLiteral("rereadButton"));
  SetHint(reread, QStringLiteral("|Load all substances from the database again"));
  connect(selectAll, &QPushButton::clicked, this, &SpeciesPage::SelectAll);
  connect(unselectAll, &QPushButton::clicked, this, &SpeciesPage::UnselectAll);
  connect(show_, &QPushButton::clicked, this, &SpeciesPage::ToggleShowSelected);
  connect(reread, &QPushButton::clicked, this, &SpeciesPage::Reread);

  auto* searchBox = new QGroupBox(QStringLiteral(" For&mula Search"), this);
  SetHint(searchBox, QStringLiteral("|Type a formula or part of it for quick search in the list."));
  search_->setObjectName(QStringLiteral("formulaSearch"));
  auto* findNext = new QPushButton(QStringLiteral("Find next"), searchBox);
  findNext->setObjectName(QStringLiteral("findNext"));
  auto* sv = new QVBoxLayout(searchBox);
  sv->addWidget(search_);
  sv->addWidget(findNext);
  connect(findNext, &QPushButton::clicked, this, &SpeciesPage::FindNext);
  connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (text.isEmpty()) return;
    for (int r = 0; r < filter_->rowCount(); ++r) {
      if (filter_->index(r, kFormulaColumn).data().toString().contains(text)) {
        grid_->setCurrentIndex(filter_->index(r, kFormulaColumn));
        return;
      }
    }
  });

  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {selectAll, unselectAll, show_}) buttons->addWidget(b);
  buttons->addSpacing(12);
  buttons->addWidget(searchBox);
  buttons->addSpacing(12);
  buttons->addWidget(reread);
  buttons->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addWidget(grid_, 1);
  top->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(counts_);
}

QString SpeciesPage::countsText() const { return counts_->text(); }
int SpeciesPage::shownRows() const { return filter_->rowCount(); }

void SpeciesPage::ShowCounts(const QString& counts) { counts_->setText(counts); }

void SpeciesPage::GridChanged() { model_->Reset(); }

void SpeciesPage::Recount() { ShowSpeciesCounts(session_.task.species, session_.view); }

void SpeciesPage::PreparePage() {
  Task& task = session_.task;
  bool changed = task.elementSetChanged || task.referenceElementCount != task.elementCount;
  for (int j = 1; j <= task.elementCount && j <= kMaxSystemElements && !changed; ++j)
    if (task.referenceElements[j] != task.elements[j].index) changed = true;
  if (changed || (task.elementCount > 0 && task.species.total == 0)) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    task.species.rescanDatabase = changed;
    LoadSpeciesList(session_.task, session_.database, session_.grid, session_.ui, session_.view,
                    session_.SpeciesListPath());
    task.species.rescanDatabase = false;
    task.referenceElementCount = task.elementCount;
    for (int j = 1; j <= kMaxSystemElements; ++j)
      task.referenceElements[j] = task.elements[j].index;
    task.elementSetChanged = false;
    QApplication::restoreOverrideCursor();
  }
  model_->Reset();
  Recount();
}

bool SpeciesPage::LeavePage() {
  return CollectFixedConcentrations(session_.task, session_.grid, session_.ui, session_.view);
}

void SpeciesPage::ToggleMark(int viewRow) {
  const QModelIndex source = filter_->mapToSource(filter_->index(viewRow, kMarkColumn));
  if (!source.isValid()) return;
  model_->SetMark(source.row(), !model_->Marked(source.row()));
}

void SpeciesPage::SelectAll() {
  for (int r = 0; r < model_->rowCount(); ++r) model_->SetMark(r, true);
  Recount();
}

void SpeciesPage::UnselectAll() {
  for (int r = 0; r < model_->rowCount(); ++r)
    if (model_->Marked(r)) model_->SetMark(r, false);
  if (selectedOnly_) static_cast<SelectedFilter*>(filter_)->SetSelectedOnly(true);
  Recount();
}

void SpeciesPage::ToggleShowSelected() {
  selectedOnly_ = !selectedOnly_;
  static_cast<SelectedFilter*>(filter_)->SetSelectedOnly(selectedOnly_);
  show_->setText(selectedOnly_ ? QStringLiteral("Sho&w All") : QStringLiteral("Sho&w Selected"));
  Recount();
}

void SpeciesPage::Reread() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (selectedOnly_) ToggleShowSelected();
  Task& task = session_.task;
  task.species.rescanDatabase = true;
  LoadSpeciesList(session_.task, session_.database, session_.grid, session_.ui, session_.view,
                  session_.SpeciesListPath());
  task.species.rescanDatabase = false;
  model_->Reset();
  QApplication::restoreOverrideCursor();
}

void SpeciesPage::FindNext() {
  const QString text = search_->text();
  const int from = grid_->currentIndex().isValid() ? grid_->currentIndex().row() + 1 : 0;
  for (int r = from; r < filter_->rowCount(); ++r) {
    if (!text.isEmpty() && filter_->index(r, kFormulaColumn).data().toString().contains(text)) {
      grid_->setCurrentIndex(filter_->index(r, kFormulaColumn));
      return;
    }
  }
  session_.ui.Info("Substring: " + text.toStdString() + " not found.");
}

bool SpeciesPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grid_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space && grid_->currentIndex().column() == kMarkColumn) {
      ToggleMark(grid_->currentIndex().row());
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace kvil
