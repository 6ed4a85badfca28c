#include "ui/spec_page.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "core/session.h"
#include "task/settings.h"
#include "task/spec_fields.h"
#include "task/task.h"
#include "task/value_lists.h"
#include "ui/chem_formula.h"
#include "ui/services.h"

namespace kvil {

namespace {

constexpr int kRows = 20;
enum Column { kNo = 0, kFormula = 1, kAmount = 2, kStep = 3, kEnthalpy = 4 };

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// The grid, able to take in the cell being typed into before the grid is read.
class ComponentGridView : public QTableView {
 public:
  using QTableView::QTableView;
  void CommitOpenEditor() {
    // A cell still being typed into (Alt+R straight from the cell, say): its text is
    // taken in and the editor closed before the grid is read.
    if (state() != EditingState) return;
    if (QWidget* editor = indexWidget(currentIndex())) {
      commitData(editor);
      closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
  }
};

void SetHint(QWidget* w, const char* hint) {
  QString h = QLatin1String(hint);
  if (h.startsWith(QLatin1Char('|'))) h.remove(0, 1);
  w->setStatusTip(h);
  w->setToolTip(h);
}

}  // namespace

SpecPage::SpecPage(Session& session, ComponentPicker* picker, QWidget* parent)
    : QWidget(parent), session_(session), picker_(picker) {
  setObjectName(QStringLiteral("specPage"));
  BuildGrid();
  BuildParameters();
  connect(qApp, &QApplication::focusChanged, this, &SpecPage::FocusChanged);
}

void SpecPage::BuildGrid() {
  auto* group = new QGroupBox(QStringLiteral(" Source co&mposition "), this);
  group->setObjectName(QStringLiteral("compositionGroup"));
  cells_ = new QStandardItemModel(kRows, 5, this);
  cells_->setHorizontalHeaderLabels({QStringLiteral("No"), QStringLiteral(" Formula"),
                                     QStringLiteral(" Amount"), QStringLiteral(" Step"),
                                     QStringLiteral("Enthalpy")});
  for (int r = 0; r < kRows; ++r) {
    auto* no = new QStandardItem(QString::number(r + 1));
    no->setFlags(Qt::ItemIsEnabled);
    no->setTextAlignment(Qt::AlignCenter);
    cells_->setItem(r, kNo, no);
    for (int c = kFormula; c <= kEnthalpy; ++c) cells_->setItem(r, c, new QStandardItem);
  }
  grid_ = new ComponentGridView(group);
  grid_->setObjectName(QStringLiteral("componentGrid"));
  grid_->setModel(cells_);
  grid_->setItemDelegate(new ChemFormulaDelegate({kFormula}, grid_));
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 8);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
  grid_->setTabKeyNavigation(true);
  QHeaderView* header = grid_->horizontalHeader();
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setSectionResizeMode(kNo, QHeaderView::Fixed);
  header->setSectionResizeMode(kFormula, QHeaderView::Stretch);
  const int digit = grid_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  grid_->setColumnWidth(kNo, digit * 4 + 8);
  grid_->setColumnWidth(kAmount, digit * 16);
  grid_->setColumnWidth(kStep, digit * 9);
  grid_->setColumnWidth(kEnthalpy, digit * 13);
  grid_->setEditTriggers(picker_ && picker_->Available()
                             ? QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::SelectedClicked
                             : QAbstractItemView::AllEditTriggers);
  SetHint(grid_,
          "|Type the formulas and amount of the source components. Double click left mouse "
          "button to select component from the database.");
  grid_->viewport()->installEventFilter(this);
  grid_->installEventFilter(this);
  connect(grid_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    if (picker_ && picker_->Available() && index.isValid()) PickComponent(index.row() + 1);
  });
  connect(cells_, &QStandardItemModel::itemChanged, this, [this] {
    if (!showing_) gridDirty_ = true;
  });

  run_ = new QPushButton(QStringLiteral("&Run"), group);
  run_->setObjectName(QStringLiteral("runButton"));
  SetHint(run_, "|Start calculation process.");
  info_ = new QPushButton(QStringLiteral("&Info"), group);
  info_->setObjectName(QStringLiteral("infoButton"));
  SetHint(info_, "|Watch information about the elemental composition.");
  database_ = new QPushButton(QStringLiteral("Data&base"), group);
  database_->setObjectName(QStringLiteral("databaseButton"));
  SetHint(database_, "|Select component from the Source Components Database.");
  database_->setEnabled(picker_ && picker_->Available());
  connect(run_, &QPushButton::clicked, this, [this] { Q_EMIT RunRequested(); });
  connect(info_, &QPushButton::clicked, this, [this] { Q_EMIT InfoRequested(); });
  connect(database_, &QPushButton::clicked, this, [this] {
    const QModelIndex current = grid_->currentIndex();
    PickComponent(current.isValid() ? current.row() + 1 : 1);
  });

  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {run_, info_, database_}) {
    b->setMinimumWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("Database")) + 40);
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  auto* row = new QHBoxLayout(group);
  row->addWidget(grid_, 1);
  row->addLayout(buttons);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group, 1);
}

void SpecPage::BuildParameters() {
  auto* group = new QGroupBox(this);
  group->setObjectName(QStringLiteral("parameterGroup"));
  auto* g = new QGridLayout(group);
  g->setHorizontalSpacing(10);
  auto* lParam = new QLabel(QStringLiteral("&Parameters"), group);
  auto* lValues = new QLabel(QStringLiteral("Va&lues of the parameters"), group);
  auto* lStep = new QLabel(QStringLiteral("S&tep value"), group);
  auto* lUnits = new QLabel(QStringLiteral("&Units of parameters"), group);
  g->addWidget(lParam, 0, 0);
  g->addWidget(lValues, 0, 1);
  g->addWidget(lStep, 0, 2);
  g->addWidget(lUnits, 0, 3);

  const QStringList first{"p", "T", "V", "S", "H", "U", "Template"};
  const QStringList second{"p", "T", "V", "S", "H", "U"};
  const QStringList expansion{"Pa", "Va", "Fa/Fthroat", ""};
  const char* chooserHints[] = {
      "|Select the first parameter, which define thermodynamic equilibrium or Template "
      "Calculations. ",
      "|Select the second parameter, which define thermodynamic equilibrium",
      "|Select adiabatic expansion parameter down to given pressure or up to given volume "
      "(optional)."};
  const char* valueHints[] = {
      "|Type the value or list of values of the first parameter, separated by space. "
      "Example: 100 200 300",
      "|Type the value or list of values of the second parameter, separated by space. "
      "Example: 3000 3500 4000",
      "|Type the list of values of adiabatic expansion parameter (optional). Example: 0.1"};
  const char* stepHints[] = {"|Type the step value for the first parameter (optional).",
                             "|Type the step value for the second parameter (optional).",
                             "|Type the step value for the adiabatic expansion parameter (optional)."};
  const char* unitHints[] = {"|Select units for the first parameter (optional).",
                             "|Select units for the second parameter (optional).",
                             "|Select units for the adiabatic expansion parameter (optional)."};
  const QStringList* items[] = {&first, &second, &expansion};
  const int valueWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000 0000 0000 0000"));
  for (int i = 0; i < 3; ++i) {
    choosers_[i] = new QComboBox(group);
    choosers_[i]->addItems(*items[i]);
    choosers_[i]->setObjectName(QStringLiteral("chooser%1").arg(i + 1));
    SetHint(choosers_[i], chooserHints[i]);
    values_[i] = new QLineEdit(group);
    values_[i]->setObjectName(QStringLiteral("values%1").arg(i + 1));
    values_[i]->setMinimumWidth(valueWidth);
    values_[i]->setMaxLength(80);
    SetHint(values_[i], valueHints[i]);
    steps_[i] = new QLineEdit(group);
    steps_[i]->setObjectName(QStringLiteral("step%1").arg(i + 1));
    SetHint(steps_[i], stepHints[i]);
    units_[i] = new QComboBox(group);
    units_[i]->setObjectName(QStringLiteral("units%1").arg(i + 1));
    units_[i]->setMinimumContentsLength(10);
    SetHint(units_[i], unitHints[i]);
    for (QWidget* w : {static_cast<QWidget*>(choosers_[i]), static_cast<QWidget*>(values_[i]),
                       static_cast<QWidget*>(steps_[i]), static_cast<QWidget*>(units_[i])})
      w->installEventFilter(this);
    g->addWidget(choosers_[i], i + 1, 0);
    g->addWidget(values_[i], i + 1, 1);
    g->addWidget(steps_[i], i + 1, 2);
    g->addWidget(units_[i], i + 1, 3);
    const int slot = i + 1;
    connect(units_[i], qOverload<int>(&QComboBox::activated), this,
            [this, slot] { LeaveUnit(slot); });
  }
  auto* lExpansion = new QLabel(QStringLiteral("Adiabatic expansion:"), group);
  lExpansion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  g->addWidget(lExpansion, 3, 0);
  g->removeWidget(choosers_[2]);
  auto* expansionRow = new QHBoxLayout;
  expansionRow->addWidget(lExpansion);
  expansionRow->addWidget(choosers_[2]);
  g->addLayout(expansionRow, 3, 0);
  g->setColumnStretch(1, 3);
  g->setColumnStretch(2, 1);
  lParam->setBuddy(choosers_[0]);
  lValues->setBuddy(values_[0]);
  lStep->setBuddy(steps_[0]);
  lUnits->setBuddy(units_[0]);
  connect(choosers_[0], qOverload<int>(&QComboBox::activated), this, [this] { FirstChosen(); });
  connect(choosers_[1], qOverload<int>(&QComboBox::activated), this, [this] { SecondChosen(); });
  connect(choosers_[2], qOverload<int>(&QComboBox::activated), this,
          [this] { ExpansionChosen(); });

  comment_ = new QLineEdit(this);
  comment_->setObjectName(QStringLiteral("comment"));
  comment_->setMaxLength(80);
  comment_->installEventFilter(this);
  SetHint(comment_,
          "|Type the comment to the task, which will be placed into file of results (optional).");
  auto* lComment = new QLabel(QStringLiteral("Tas&k name:"), this);
  lComment->setBuddy(comment_);
  date_ = new QLabel(this);
  date_->setObjectName(QStringLiteral("currentDate"));
  date_->setText(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(lComment);
  bottom->addWidget(comment_, 1);
  bottom->addSpacing(20);
  bottom->addWidget(new QLabel(QStringLiteral("Current date:"), this));
  bottom->addWidget(date_);

  auto* layout = static_cast<QVBoxLayout*>(this->layout());
  layout->addWidget(group);
  layout->addLayout(bottom);
}

QWidget* SpecPage::FirstValueField() const { return values_[0]; }

QString SpecPage::cellText(int row, int column) const {
  return cells_->item(row - 1, column)->text();
}

// ---- Showing the task -------------------------------------------------------------

void SpecPage::ShowTask() {
  showing_ = true;
  const Task& task = session_.task;
  const auto cells = ComponentGridCells(task);
  for (int r = 0; r < kRows; ++r) {
    cells_->item(r, kFormula)->setText(Q(cells[r].formula));
    cells_->item(r, kAmount)->setText(Q(cells[r].amount));
    cells_->item(r, kStep)->setText(Q(cells[r].step));
    cells_->item(r, kEnthalpy)->setText(Q(cells[r].enthalpy));
  }
  gridDirty_ = false;
  choosers_[0]->setCurrentIndex(task.firstCode >= 1 && task.firstCode <= 7 ? task.firstCode - 1
                                                                           : -1);
  choosers_[1]->setCurrentIndex(task.secondCode >= 1 && task.secondCode <= 6 ? task.secondCode - 1
                                                                             : -1);
  const int expansion = ExpansionChooserEntry(task);
  choosers_[2]->setCurrentIndex(expansion);
  for (int slot = 1; slot <= 3; ++slot) {
    values_[slot - 1]->setText(Q(task.slots[slot].valueText).trimmed());
    steps_[slot - 1]->setText(Q(task.slots[slot].stepText).trimmed());
  }
  comment_->setText(Q(task.comment));
  ShowTemplateState();
  UpdateUnitChoosers();
  showing_ = false;
}

void SpecPage::ShowUnits(int slot) {
  QComboBox* units = units_[slot - 1];
  const Task& task = session_.task;
  const int code = SlotCode(task, slot);
  const bool wasShowing = showing_;
  showing_ = true;
  units->clear();
  for (const std::string& name : UnitNames(code, slot == 3)) units->addItem(Q(name));
  const bool hasValues = task.slots[slot].count > 0 && units->count() > 0;
  units->setEnabled(hasValues && task.firstCode != kParamTemplate);
  units->setCurrentIndex(hasValues ? UnitEntryOf(task, code) : -1);
  showing_ = wasShowing;
}

void SpecPage::UpdateUnitChoosers() {
  for (int slot = 1; slot <= 3; ++slot) ShowUnits(slot);
}

void SpecPage::ShowTemplateState() {
  const bool tmpl = session_.task.firstCode == kParamTemplate;
  for (int i = 0; i < 3; ++i) {
    if (tmpl) {
      values_[i]->clear();
      steps_[i]->clear();
    }
    values_[i]->setEnabled(!tmpl);
    steps_[i]->setEnabled(!tmpl);
  }
  if (tmpl) {
    choosers_[1]->setCurrentIndex(-1);
    choosers_[2]->setCurrentIndex(-1);
  }
}

// ---- Choosers ---------------------------------------------------------------------

void SpecPage::FirstChosen() {
  helpContext_ = 5;
  busy_ = true;
  ApplyParameterChoosers(session_.task, session_.ui, choosers_[0]->currentIndex(), -1);
  busy_ = false;
  if (session_.task.firstCode == kParamNone) choosers_[0]->setCurrentIndex(-1);
  ShowTemplateState();
  UpdateUnitChoosers();
  Q_EMIT TaskEdited();
}

void SpecPage::SecondChosen() {
  helpContext_ = 5;
  Task& task = session_.task;
  const int entry = choosers_[1]->currentIndex();
  if (entry < 0) return;
  if (entry + 1 == task.firstCode) {
    busy_ = true;
    session_.ui.Error("Equilibrium must be specified by different parameters !");
    busy_ = false;
    task.secondCode = kParamNone;
    choosers_[1]->setCurrentIndex(-1);
  } else {
    task.secondCode = entry + 1;
  }
  UpdateUnitChoosers();
  Q_EMIT TaskEdited();
}

void SpecPage::ExpansionChosen() {
  helpContext_ = 6;
  AcceptExpansionChooser(session_.task, choosers_[2]->currentIndex());
  if (session_.task.expansionCode == kParamNone) choosers_[2]->setCurrentIndex(-1);
  ShowUnits(3);
  Q_EMIT TaskEdited();
}

void SpecPage::LeaveUnit(int slot) {
  if (showing_) return;
  QComboBox* units = units_[slot - 1];
  const int code = SlotCode(session_.task, slot);
  if (slot == 3 && code != kParamPa && code != kParamVa) return;
  if (units->count() == 0) return;
  AcceptUnit(session_.task, code, std::max(0, units->currentIndex()));
}

// ---- Leaving fields ---------------------------------------------------------------

bool SpecPage::LeaveValue(int slot) {
  busy_ = true;
  const bool ok = AcceptValueList(session_.task, slot, S(values_[slot - 1]->text()), session_.ui);
  busy_ = false;
  if (!ok) {
    refused_ = values_[slot - 1];
    Refocus(values_[slot - 1]);
    return false;
  }
  if (refused_ == values_[slot - 1]) refused_ = nullptr;
  steps_[slot - 1]->setText(Q(session_.task.slots[slot].stepText).trimmed());
  ShowUnits(slot);
  Q_EMIT TaskEdited();
  return true;
}

bool SpecPage::LeaveStep(int slot) {
  busy_ = true;
  const bool ok =
      AcceptStepField(session_.task, slot, S(steps_[slot - 1]->text()), session_.ui);
  busy_ = false;
  if (!ok) {
    refused_ = steps_[slot - 1];
    Refocus(steps_[slot - 1]);
  } else if (refused_ == steps_[slot - 1]) {
    refused_ = nullptr;
  }
  return ok;
}

void SpecPage::Refocus(QWidget* w) {
  w->setFocus(Qt::OtherFocusReason);
  QTimer::singleShot(0, w, [w] { w->setFocus(Qt::OtherFocusReason); });
}

bool SpecPage::LeaveGrid() {
  static_cast<ComponentGridView*>(grid_)->CommitOpenEditor();
  std::array<ComponentCells, 20> cells;
  for (int r = 0; r < kRows; ++r) {
    cells[r].formula = S(cells_->item(r, kFormula)->text());
    cells[r].amount = S(cells_->item(r, kAmount)->text());
    cells[r].step = S(cells_->item(r, kStep)->text());
    cells[r].enthalpy = S(cells_->item(r, kEnthalpy)->text());
  }
  busy_ = true;
  const GridLeaveResult result =
      AcceptComponentGrid(session_.task, session_.database, session_.ui, cells);
  busy_ = false;
  showing_ = true;
  for (int r = 0; r < kRows; ++r) {
    if (cells_->item(r, kStep)->text() != Q(cells[r].step))
      cells_->item(r, kStep)->setText(Q(cells[r].step));
  }
  showing_ = false;
  if (!result.ok) {
    const QModelIndex cell = cells_->index(result.row - 1, static_cast<int>(result.column));
    grid_->setCurrentIndex(cell);
    refused_ = grid_;
    Refocus(grid_);
    gridDirty_ = true;
    return false;
  }
  if (refused_ == grid_) refused_ = nullptr;
  gridDirty_ = false;
  Q_EMIT TaskEdited();
  return true;
}

bool SpecPage::ValidateFields() {
  if (busy_) return false;
  for (int slot = 1; slot <= 3; ++slot) LeaveUnit(slot);
  for (int slot = 1; slot <= 3; ++slot)
    if (values_[slot - 1]->isEnabled() && !LeaveValue(slot)) return false;
  for (int slot = 1; slot <= 3; ++slot)
    if (steps_[slot - 1]->isEnabled() && !LeaveStep(slot)) return false;
  AcceptComment(session_.task, S(comment_->text()));
  return LeaveGrid();
}

bool SpecPage::InGrid(QWidget* w) const {
  for (; w; w = w->parentWidget())
    if (w == grid_) return true;
  return false;
}

void SpecPage::FocusChanged(QWidget* old, QWidget* now) {
  if (busy_ || showing_) return;
  if (InGrid(now) && !InGrid(old)) {
    helpContext_ = 11;
    RememberReferenceElements(session_.task);
    return;
  }
  if (!InGrid(old) || InGrid(now) || !now) return;
  // A message box or another window (the components library's dialog) is no leaving.
  if (now->window() != window()) return;
  if (gridDirty_) LeaveGrid();
}

bool SpecPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grid_->viewport() && event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::ShiftModifier)) {
      const QModelIndex index = grid_->indexAt(mouse->position().toPoint());
      if (index.isValid()) {
        busy_ = true;
        const bool yes =
            session_.ui.AskYesNo(MessageKind::Confirmation, "Clear all cells in current row?");
        busy_ = false;
        if (yes) ClearRow(index.row() + 1);
        return true;
      }
    }
  }
  if (event->type() == QEvent::FocusIn) {
    for (int i = 0; i < 3; ++i) {
      if (watched == choosers_[i]) helpContext_ = i == 2 ? 6 : 5;
      if (watched == values_[i]) helpContext_ = 7;
      if (watched == steps_[i]) helpContext_ = 8;
      if (watched == units_[i]) helpContext_ = 9;
    }
    if (watched == comment_) helpContext_ = 10;
  }
  if (event->type() == QEvent::FocusOut && !busy_ && !showing_) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      for (int i = 0; i < 3; ++i) {
        if (watched == values_[i] && values_[i]->isEnabled()) LeaveValue(i + 1);
        if (watched == steps_[i] && steps_[i]->isEnabled()) LeaveStep(i + 1);
      }
      if (watched == comment_) AcceptComment(session_.task, S(comment_->text()));
    }
  }
  return QWidget::eventFilter(watched, event);
}

void SpecPage::ClearRow(int row) {
  for (int c = kFormula; c <= kEnthalpy; ++c) cells_->item(row - 1, c)->setText(QString());
  gridDirty_ = true;
}

void SpecPage::PickComponent(int row) {
  if (!picker_ || !picker_->Available() || row < 1 || row > kRows) return;
  const QString formula = cells_->item(row - 1, kFormula)->text();
  busy_ = true;
  if (IsMoreThanBlank(S(formula)) &&
      !session_.ui.AskYesNo(MessageKind::Confirmation, "Replace information in this row?")) {
    busy_ = false;
    return;
  }
  const std::optional<PickedComponent> picked = picker_->Pick(window());
  busy_ = false;
  if (!picked || picked->formula.trimmed().isEmpty()) return;
  cells_->item(row - 1, kFormula)->setText(picked->formula.trimmed());
  cells_->item(row - 1, kEnthalpy)->setText(Q(FormatThreeDecimals(picked->enthalpy)));
  gridDirty_ = true;
  grid_->setCurrentIndex(cells_->index(row - 1, kAmount));
  grid_->setFocus();
}

}  // namespace kvil
