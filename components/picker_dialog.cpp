#include "components/picker_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace kvilcb {
namespace {

enum Column { kName, kFormula, kEnthalpy, kDensity, kSource, kColumns };
constexpr int kIndexRole = Qt::UserRole + 1;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// Draws a formula with the numbers after element symbols as subscripts.
void DrawFormula(QPainter* painter, const QRect& rect, const QString& formula, const QFont& base) {
  QFont small = base;
  small.setPointSizeF(base.pointSizeF() > 0 ? base.pointSizeF() * 0.75 : 7.0);
  const QFontMetrics normal(base), sub(small);
  const int baseline = rect.top() + (rect.height() + normal.ascent() - normal.descent()) / 2;
  int x = rect.left() + 4;
  int i = 0;
  while (i < formula.size() && x < rect.right()) {
    int j = i;
    const bool number = formula[i].isDigit() || formula[i] == '.' || formula[i] == ',';
    while (j < formula.size() &&
           (formula[j].isDigit() || formula[j] == '.' || formula[j] == ',') == number) {
      ++j;
    }
    const QString part = formula.mid(i, j - i);
    painter->setFont(number ? small : base);
    const int y = number ? baseline + normal.descent() : baseline;
    painter->drawText(x, y, part);
    x += (number ? sub : normal).horizontalAdvance(part);
    i = j;
  }
  painter->setFont(base);
}

class FormulaDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem plain = option;
    initStyleOption(&plain, index);
    const QString formula = plain.text;
    plain.text.clear();
    plain.widget->style()->drawControl(QStyle::CE_ItemViewItem, &plain, painter, plain.widget);
    painter->save();
    painter->setPen(plain.palette.color(
        option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setClipRect(option.rect);
    DrawFormula(painter, option.rect, formula, option.font);
    painter->restore();
  }
};

QString FormatValue(double value, int decimals) {
  return QString::number(value, 'f', decimals);
}

}  // namespace

PickerDialog::PickerDialog(const std::string& directory, Catalog catalog, QWidget* parent)
    : QDialog(parent), directory_(directory), catalog_(std::move(catalog)) {
  setWindowTitle(tr("Components database"));
  setModal(true);
  resize(1040, 560);

  auto* searchLabel = new QLabel(tr("&Search:"));
  search_ = new QLineEdit;
  search_->setPlaceholderText(tr("name, synonym or formula (e.g. ammonium, AP, NH4ClO4)"));
  search_->setClearButtonEnabled(true);
  search_->setObjectName("search");
  searchLabel->setBuddy(search_);

  classes_ = new QListWidget;
  classes_->setObjectName("classes");
  table_ = new QTableWidget(0, kColumns);
  table_->setObjectName("components");
  table_->setHorizontalHeaderLabels(
      {tr("Name"), tr("Formula"), tr("Enthalpy, kJ/kg"), tr("Density, g/cm³"), tr("Source")});
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 8);
  table_->setItemDelegateForColumn(kFormula, new FormulaDelegate(table_));
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setColumnWidth(kName, 250);
  table_->setColumnWidth(kFormula, 190);
  table_->setColumnWidth(kEnthalpy, 110);
  table_->setColumnWidth(kDensity, 105);
  table_->setWordWrap(false);

  auto* splitter = new QSplitter;
  splitter->addWidget(classes_);
  splitter->addWidget(table_);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({250, 790});

  details_ = new QLabel;
  details_->setWordWrap(true);
  details_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  details_->setMinimumHeight(details_->fontMetrics().height() * 2 + 6);

  auto* add = new QPushButton(tr("&Add..."));
  add->setObjectName("add");
  edit_ = new QPushButton(tr("&Edit..."));
  edit_->setObjectName("edit");
  delete_ = new QPushButton(tr("&Delete"));
  auto* addClass = new QPushButton(tr("Add &class..."));
  deleteClass_ = new QPushButton(tr("Delete c&lass"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  for (QPushButton* b : {add, edit_, delete_, addClass, deleteClass_}) b->setAutoDefault(false);

  auto* top = new QHBoxLayout;
  top->addWidget(searchLabel);
  top->addWidget(search_);
  auto* bottom = new QHBoxLayout;
  for (QPushButton* b : {add, edit_, delete_, addClass, deleteClass_}) bottom->addWidget(b);
  bottom->addStretch();
  bottom->addWidget(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(splitter, 1);
  layout->addWidget(details_);
  layout->addLayout(bottom);

  connect(search_, &QLineEdit::textChanged, this, [this] { FillComponents(); });
  connect(classes_, &QListWidget::currentRowChanged, this, [this] { FillComponents(); });
  connect(table_, &QTableWidget::itemSelectionChanged, this, [this] { ShowDetails(); });
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { Accept(); });
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { Accept(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(add, &QPushButton::clicked, this, [this] { AddComponent(); });
  connect(edit_, &QPushButton::clicked, this, [this] { EditComponent(); });
  connect(delete_, &QPushButton::clicked, this, [this] { DeleteComponent(); });
  connect(addClass, &QPushButton::clicked, this, [this] { AddClass(); });
  connect(deleteClass_, &QPushButton::clicked, this, [this] { DeleteClass(); });

  search_->installEventFilter(this);
  FillClasses();
  search_->setFocus();
}

bool PickerDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == search_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
        key == Qt::Key_PageDown) {
      QKeyEvent copy(QEvent::KeyPress, key, Qt::NoModifier);
      QApplication::sendEvent(table_, &copy);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void PickerDialog::FillClasses() {
  const QString current = CurrentClass();
  QSignalBlocker block(classes_);
  classes_->clear();
  classes_->addItem(tr("All classes"));
  int row = 0;
  for (const auto& c : catalog_.classes) {
    auto* item = new QListWidgetItem(Q(c.name));
    item->setToolTip(Q(c.description));
    if (c.user) {
      QFont italic = item->font();
      italic.setItalic(true);
      item->setFont(italic);
    }
    classes_->addItem(item);
    if (Q(c.name) == current) row = classes_->count() - 1;
  }
  classes_->setCurrentRow(row);
  FillComponents();
}

QString PickerDialog::CurrentClass() const {
  const int row = classes_->currentRow();
  return row <= 0 || row > static_cast<int>(catalog_.classes.size())
             ? QString()
             : Q(catalog_.classes[row - 1].name);
}

void PickerDialog::FillComponents() {
  const int previous = CurrentComponent();
  const auto found = Search(catalog_, CurrentClass().toStdString(), search_->text().toStdString());
  table_->setRowCount(0);
  table_->setRowCount(static_cast<int>(found.size()));
  int select = found.empty() ? -1 : 0;
  for (int row = 0; row < static_cast<int>(found.size()); ++row) {
    const Component& c = catalog_.components[found[row]];
    const QString values[kColumns] = {Q(c.name), Q(c.formula), FormatValue(c.enthalpy, 2),
                                      QString::number(c.density, 'g', 4), Q(c.source)};
    for (int column = 0; column < kColumns; ++column) {
      auto* item = new QTableWidgetItem(values[column]);
      item->setData(kIndexRole, found[row]);
      if (column == kEnthalpy || column == kDensity)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (column == kSource || column == kName) item->setToolTip(values[column]);
      if (c.user && column == kName) {
        QFont italic = item->font();
        italic.setItalic(true);
        item->setFont(italic);
      }
      table_->setItem(row, column, item);
    }
    if (found[row] == previous) select = row;
  }
  if (select >= 0) table_->selectRow(select);
  ShowDetails();
}

int PickerDialog::CurrentComponent() const {
  const auto rows =
      table_->selectionModel() ? table_->selectionModel()->selectedRows() : QModelIndexList();
  if (rows.isEmpty()) return -1;
  QTableWidgetItem* item = table_->item(rows.first().row(), kName);
  return item ? item->data(kIndexRole).toInt() : -1;
}

void PickerDialog::ShowDetails() {
  const int index = CurrentComponent();
  ok_->setEnabled(index >= 0);
  const bool user = index >= 0 && catalog_.components[index].user;
  edit_->setEnabled(user);
  delete_->setEnabled(user);
  const int cls = catalog_.FindClass(CurrentClass().toStdString());
  deleteClass_->setEnabled(cls >= 0 && catalog_.classes[cls].user);
  if (index < 0) {
    details_->setText(table_->rowCount() == 0 ? tr("No component matches.") : QString());
    return;
  }
  const Component& c = catalog_.components[index];
  QString text =
      "<b>" + Q(c.name).toHtmlEscaped() + "</b> (" + Q(c.className).toHtmlEscaped() + ")";
  if (!c.synonyms.empty()) text += tr(" — also: ") + Q(c.synonyms).toHtmlEscaped();
  text += "<br>" + tr("Source: ") + Q(c.source).toHtmlEscaped();
  if (!c.user) text += tr(" <i>(shipped, read-only)</i>");
  details_->setText(text);
}

void PickerDialog::Accept() {
  const int index = CurrentComponent();
  if (index < 0) return;
  chosen_ = index;
  accept();
}

bool PickerDialog::EditDialog(Component& component, const QString& title, int self) {
  QDialog dialog(this);
  dialog.setWindowTitle(title);
  auto* name = new QLineEdit(Q(component.name));
  auto* cls = new QComboBox;
  for (const auto& c : catalog_.classes) cls->addItem(Q(c.name));
  cls->setCurrentText(Q(component.className));
  auto* synonyms = new QLineEdit(Q(component.synonyms));
  auto* formula = new QLineEdit(Q(component.formula));
  // The stored values as they read back, so that saving the form loses nothing.
  auto* enthalpy = new QLineEdit(self >= 0 ? Q(NumberText(component.enthalpy)) : QString());
  auto* density = new QLineEdit(self >= 0 ? Q(NumberText(component.density)) : QString());
  auto* source = new QLineEdit(Q(component.source));
  name->setObjectName("name");
  synonyms->setObjectName("synonyms");
  formula->setObjectName("formula");
  enthalpy->setObjectName("enthalpy");
  density->setObjectName("density");
  source->setObjectName("source");
  auto* form = new QFormLayout;
  form->addRow(tr("&Name:"), name);
  form->addRow(tr("C&lass:"), cls);
  form->addRow(tr("S&ynonyms (separated by ;):"), synonyms);
  form->addRow(tr("&Formula:"), formula);
  form->addRow(tr("&Enthalpy of formation, kJ/kg:"), enthalpy);
  form->addRow(tr("&Density, g/cm³:"), density);
  form->addRow(tr("S&ource of the numbers:"), source);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(form);
  layout->addWidget(buttons);
  dialog.resize(520, dialog.sizeHint().height());
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    Component edited = component;
    edited.name = name->text().trimmed().toStdString();
    edited.className = cls->currentText().toStdString();
    edited.synonyms = synonyms->text().trimmed().toStdString();
    edited.formula = formula->text().remove(' ').toStdString();
    edited.source = source->text().trimmed().toStdString();
    bool okEnthalpy = false, okDensity = false;
    edited.enthalpy = enthalpy->text().trimmed().replace(',', '.').toDouble(&okEnthalpy);
    edited.density = density->text().trimmed().replace(',', '.').toDouble(&okDensity);
    std::string problem;
    if (!okEnthalpy)
      problem = "the enthalpy is not a number";
    else if (!okDensity)
      problem = "the density is not a number";
    else
      problem = ValidateComponent(catalog_, edited, self);
    if (!problem.empty()) {
      QMessageBox::warning(&dialog, title, tr("Cannot store the component: %1.").arg(Q(problem)));
      return;
    }
    component = edited;
    dialog.accept();
  });
  return dialog.exec() == QDialog::Accepted;
}

bool PickerDialog::Save() {
  std::string message;
  if (SaveUserCatalog(directory_, catalog_, message)) return true;
  QMessageBox::critical(this, windowTitle(),
                        tr("The components database was not saved: %1").arg(Q(message)));
  return false;
}

void PickerDialog::AddComponent() {
  if (catalog_.classes.empty()) return;
  Component component;
  component.user = true;
  const QString cls = CurrentClass();
  component.className = cls.isEmpty() ? catalog_.classes.front().name : cls.toStdString();
  if (!EditDialog(component, tr("Add component"), -1)) return;
  const Catalog before = catalog_;
  catalog_.components.push_back(component);
  if (!Save()) {
    catalog_ = before;
    return;
  }
  search_->clear();
  FillComponents();
  for (int row = 0; row < table_->rowCount(); ++row) {
    if (table_->item(row, kName)->data(kIndexRole).toInt() ==
        static_cast<int>(catalog_.components.size()) - 1) {
      table_->selectRow(row);
    }
  }
}

void PickerDialog::EditComponent() {
  const int index = CurrentComponent();
  if (index < 0 || !catalog_.components[index].user) return;
  Component component = catalog_.components[index];
  if (!EditDialog(component, tr("Edit component"), index)) return;
  const Catalog before = catalog_;
  catalog_.components[index] = component;
  if (!Save()) catalog_ = before;
  FillComponents();
}

void PickerDialog::DeleteComponent() {
  const int index = CurrentComponent();
  if (index < 0 || !catalog_.components[index].user) return;
  if (QMessageBox::question(
          this, windowTitle(),
          tr("Delete the component %1?").arg(Q(catalog_.components[index].name))) !=
      QMessageBox::Yes) {
    return;
  }
  const Catalog before = catalog_;
  catalog_.components.erase(catalog_.components.begin() + index);
  if (!Save()) catalog_ = before;
  FillComponents();
}

void PickerDialog::AddClass() {
  bool ok = false;
  const QString name = QInputDialog::getText(this, tr("Add class"), tr("&Name of the new class:"),
                                             QLineEdit::Normal, QString(), &ok)
                           .trimmed();
  if (!ok || name.isEmpty()) return;
  const std::string problem = ValidateClass(catalog_, name.toStdString(), -1);
  if (!problem.empty()) {
    QMessageBox::warning(this, tr("Add class"), tr("Cannot add the class: %1.").arg(Q(problem)));
    return;
  }
  const Catalog before = catalog_;
  catalog_.classes.push_back({name.toStdString(), std::string(), true, 0});
  if (!Save()) catalog_ = before;
  FillClasses();
  classes_->setCurrentRow(classes_->count() - 1);
}

void PickerDialog::DeleteClass() {
  const int cls = catalog_.FindClass(CurrentClass().toStdString());
  if (cls < 0 || !catalog_.classes[cls].user) return;
  for (const auto& c : catalog_.components) {
    if (c.className == catalog_.classes[cls].name) {
      QMessageBox::warning(
          this, windowTitle(),
          tr("The class %1 still holds components.").arg(Q(catalog_.classes[cls].name)));
      return;
    }
  }
  const Catalog before = catalog_;
  catalog_.classes.erase(catalog_.classes.begin() + cls);
  if (!Save()) catalog_ = before;
  classes_->setCurrentRow(0);
  FillClasses();
}

}  // namespace kvilcb
