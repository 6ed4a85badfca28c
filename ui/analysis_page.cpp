// The engine headers come first: the task's "slots" member must be read before Qt
// makes the word a keyword.
#include "core/session.h"
#include "ui/analysis_page.h"

#include <QComboBox>
#include <algorithm>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "common/interaction.h"
#include "ui/formula_text.h"
#include "ui/table_view_window.h"

namespace kvil {

namespace {

const char* const kMarkText = "        *";

QTableView* MakeList(QWidget* parent, const char* name) {
  auto* view = new QTableView(parent);
  view->setObjectName(name);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->verticalHeader()->hide();
  view->verticalHeader()->setDefaultSectionSize(20);
  view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  view->setShowGrid(true);
  view->setWordWrap(false);
  return view;
}

}  // namespace

// ---------------------------------------------------------------------------------

AnalysisListModel::AnalysisListModel(bool withMarks, QObject* parent)
    : QAbstractTableModel(parent), withMarks_(withMarks) {}

void AnalysisListModel::SetRows(const std::vector<std::string>& rows) {
  beginResetModel();
  rows_ = rows.empty() ? std::vector<std::string>{""} : rows;
  marks_.assign(rows_.size(), false);
  endResetModel();
}

void AnalysisListModel::MarksChanged() {
  if (!withMarks_) return;
  Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 0));
}

int AnalysisListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(rows_.size());
}

int AnalysisListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : (withMarks_ ? 2 : 1);
}

QVariant AnalysisListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const bool markColumn = withMarks_ && index.column() == 0;
  if (role == Qt::DisplayRole) {
    // The mark is shown centred in its narrow column; its text is kMarkText.
    if (markColumn) return marks_[index.row()] ? QString(kMarkText).trimmed() : QString();
    return QString::fromStdString(rows_[index.row()]);
  }
  if (role == Qt::EditRole && markColumn) return marks_[index.row()] ? QString(kMarkText) : QString();
  if (role == Qt::TextAlignmentRole && markColumn) return int(Qt::AlignCenter);
  return {};
}

QVariant AnalysisListModel::headerData(int section, Qt::Orientation orientation,
                                       int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  if (withMarks_ && section == 0) return QString(" Mark");
  return QString(" Items");
}

void FormulaDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  if (!enabled) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  const bool selected = option.state & QStyle::State_Selected;
  painter->save();
  painter->setFont(option.font);
  painter->setBrush(option.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
  painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  const QString text = index.data().toString();
  const int top = option.rect.top() + (option.rect.height() - option.fontMetrics.height()) / 2;
  DrawFormulaText(*painter, option.rect, option.rect.left() + 2, text, top);
  painter->restore();
}

// ---------------------------------------------------------------------------------

AnalysisPage::AnalysisPage(Session& session, TViewForm& tableView, QWidget* parent)
    : QWidget(parent), session_(session), tableView_(tableView) {
  xType_ = new QComboBox(this);
  yType_ = new QComboBox(this);
  for (QComboBox* box : {xType_, yType_}) box->addItems({"Parameter", "Concentration"});
  xType_->setObjectName("XType");
  yType_->setObjectName("YType");
  xType_->setCurrentIndex(0);
  yType_->setCurrentIndex(1);

  xModel_ = new AnalysisListModel(false, this);
  yModel_ = new AnalysisListModel(true, this);
  xList_ = MakeList(this, "XList");
  yList_ = MakeList(this, "YList");
  xList_->setModel(xModel_);
  yList_->setModel(yModel_);
  xList_->horizontalHeader()->setStretchLastSection(true);
  yList_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
  yList_->setColumnWidth(0, 44);
  yList_->setColumnWidth(1, 128);
  yList_->horizontalHeader()->setStretchLastSection(true);
  yDelegate_ = new FormulaDelegate(this);
  yList_->setItemDelegateForColumn(1, yDelegate_);
  yList_->installEventFilter(this);
  yList_->viewport()->installEventFilter(this);

  auto* xCaption = new QLabel("Ar&gument (X)", this);
  auto* yCaption = new QLabel("&Functions (Y)", this);
  xCaption->setBuddy(xList_);
  yCaption->setBuddy(yList_);

  buildButton_ = new QPushButton("View As &Table", this);
  plotButton_ = new QPushButton("&Plot the Chart", this);
  buildButton_->setStatusTip("View selected values in the table.");
  plotButton_->setStatusTip("Plot curves for the selected argument and function values.");
  buildButton_->setObjectName("BuildBTN");
  plotButton_->setObjectName("PlotBTN");
  connect(buildButton_, &QPushButton::clicked, this, &AnalysisPage::ViewAsTable);
  connect(plotButton_, &QPushButton::clicked, this, &AnalysisPage::PlotChart);

  auto* selCaption = new QLabel("Items selected: ", this);
  selLabel_ = new QLabel("0", this);
  selLabel_->setObjectName("SelLabel");

  connect(xType_, &QComboBox::currentIndexChanged, this, [this] { RebuildList(false); });
  connect(yType_, &QComboBox::currentIndexChanged, this, [this] { RebuildList(true); });

  auto* grid = new QGridLayout(this);
  grid->addWidget(xCaption, 0, 0);
  grid->addWidget(yCaption, 0, 1);
  grid->addWidget(xType_, 1, 0);
  grid->addWidget(yType_, 1, 1);
  grid->addWidget(xList_, 2, 0);
  grid->addWidget(yList_, 2, 1);
  auto* side = new QVBoxLayout;
  side->addWidget(buildButton_);
  side->addWidget(plotButton_);
  auto* count = new QHBoxLayout;
  count->addWidget(selCaption);
  count->addWidget(selLabel_);
  count->addStretch();
  side->addSpacing(8);
  side->addLayout(count);
  side->addStretch();
  grid->addLayout(side, 2, 2);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(2, 1);
  plotButton_->setEnabled(false);
}

AnalysisKind AnalysisPage::KindOf(const QComboBox* box) const {
  return box->currentIndex() == 1 ? AnalysisKind::Concentration : AnalysisKind::Parameter;
}

void AnalysisPage::ShowMarkCount() {
  selLabel_->setText(QString::number(markedItems_.size()));
}

void AnalysisPage::ResetLists() {
  markedItems_.clear();
  xModel_->SetRows({});
  yModel_->SetRows({});
  ShowMarkCount();
}

bool AnalysisPage::RebuildList(bool functionList) {
  ResultsRecord first;
  switch (ReadFirstResultsRecord(session_.TablePath(), first)) {
    case ListReadStatus::Empty:
      session_.ui.Info("File of results is empty.");
      return false;
    case ListReadStatus::Corrupted:
      session_.ui.Error("File of results is corrupted !");
      ResetLists();
      return false;
    case ListReadStatus::Ok:
      break;
  }
  layout_ = LayoutOfRecord(first);
  AnalysisListModel* model = functionList ? yModel_ : xModel_;
  const AnalysisKind kind = KindOf(functionList ? yType_ : xType_);
  if (kind == AnalysisKind::Parameter)
    model->SetRows(ParameterListTexts(layout_, session_.task));
  else
    model->SetRows(ConcentrationListTexts(layout_, session_.database, functionList ? " " : "   "));
  if (functionList) {
    // The marks of both kinds stay; this list shows those of its kind.
    yDelegate_->enabled = kind == AnalysisKind::Concentration;
    ShowMarks();
    ShowMarkCount();
    yList_->viewport()->update();
  }
  QTableView* view = functionList ? yList_ : xList_;
  view->setCurrentIndex(model->index(0, functionList ? 1 : 0));
  return true;
}

void AnalysisPage::PreparePage() {
  markedItems_.clear();
  yModel_->Marks().assign(yModel_->Rows().size(), false);
  yModel_->MarksChanged();
  ShowMarkCount();
  QFileInfo file(QString::fromStdString(session_.TablePath()));
  if (file.exists() && file.size() > 0) {
    if (RebuildList(false)) RebuildList(true);
    plotButton_->setEnabled(xModel_->HasItems());
  } else {
    ResetLists();
    plotButton_->setEnabled(false);
  }
}

void AnalysisPage::ResultsChanged() {
  // Not showing: entering the page rebuilds the lists.
  if (isVisible()) PreparePage();
}

void AnalysisPage::ToggleMark(int row) {
  if (row < 1 || row > int(yModel_->Rows().size()) || !yModel_->HasItems()) return;
  const int item = ItemOfListRow(layout_, KindOf(yType_), row);
  if (ToggleMarkedItem(markedItems_, layout_, item, yModel_->Rows()[row - 1], session_.ui))
    ShowMarks();
  ShowMarkCount();
}

void AnalysisPage::ShowMarks() {
  std::vector<bool>& marks = yModel_->Marks();
  const AnalysisKind kind = KindOf(yType_);
  for (size_t r = 0; r < marks.size(); ++r) {
    const int item = ItemOfListRow(layout_, kind, int(r) + 1);
    marks[r] = yModel_->HasItems() &&
               std::find(markedItems_.begin(), markedItems_.end(), item) != markedItems_.end();
  }
  yModel_->MarksChanged();
}

bool AnalysisPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == yList_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space && yList_->currentIndex().isValid()) {
      ToggleMark(yList_->currentIndex().row() + 1);
      return true;
    }
  }
  if (watched == yList_->viewport() && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QModelIndex at = yList_->indexAt(mouse->position().toPoint());
    if (mouse->button() == Qt::LeftButton && at.isValid() && at.column() == 0)
      ToggleMark(at.row() + 1);
  }
  return QWidget::eventFilter(watched, event);
}

bool AnalysisPage::FillTable() {
  if (markedItems_.empty()) {
    session_.ui.Info("No items selected !");
    return false;
  }
  const int xRow = std::max(0, xList_->currentIndex().row()) + 1;
  // The titles of the marked items, from the list each belongs to.
  const std::vector<std::string> parameterTexts = ParameterListTexts(layout_, session_.task);
  const std::vector<std::string> speciesTexts =
      ConcentrationListTexts(layout_, session_.database, " ");
  std::vector<std::string> titles;
  bool allSpecies = true;
  for (int item : markedItems_) {
    const auto [kind, row] = ListRowOfItem(layout_, item);
    const auto& texts = kind == AnalysisKind::Parameter ? parameterTexts : speciesTexts;
    titles.push_back(row >= 1 && row <= int(texts.size()) ? texts[row - 1] : std::string());
    allSpecies = allSpecies && kind == AnalysisKind::Concentration;
  }
  TableChoice choice = MakeTableChoice(layout_, ItemOfListRow(layout_, KindOf(xType_), xRow),
                                       xModel_->Rows()[xRow - 1], markedItems_, titles,
                                       session_.task.options[kOptDominant] != 0, session_.ui);
  choice.ambientP = session_.settings.record.ambientP;
  tableView_.Fill(choice, allSpecies);
  tableView_.SetBaseName(QString::fromStdString(session_.task.name));
  return true;
}

void AnalysisPage::ViewAsTable() {
  if (!FillTable()) return;
  tableView_.show();
  tableView_.raise();
  tableView_.activateWindow();
}

void AnalysisPage::PlotChart() {
  if (!FillTable()) return;
  tableView_.Plot();
}

}  // namespace kvil
