#include "ui/chart_edit_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "common/interaction.h"
#include "common/numparse.h"
#include "ui/services.h"

namespace kvil {

namespace {

QString NumberText(double v) {
  return QString::number(v, 'g', 10);
}

}  // namespace

ChartEditDialog::ChartEditDialog(const TGR_Form::Appearance& current, Interaction& ui,
                                 ColourDialog* colours, QWidget* parent)
    : QDialog(parent), result_(current), ui_(ui), colours_(colours) {
  setWindowTitle("Graph editor");
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* top = new QVBoxLayout(this);

  auto* titles = new QGroupBox(" Titles ", this);
  auto* form = new QFormLayout(titles);
  title_ = new QLineEdit(current.title, titles);
  bottomTitle_ = new QLineEdit(current.bottomTitle, titles);
  leftTitle_ = new QLineEdit(current.leftTitle, titles);
  form->addRow("&Chart:", title_);
  form->addRow("&Bottom axis:", bottomTitle_);
  form->addRow("&Left axis:", leftTitle_);
  top->addWidget(titles);

  auto* ranges = new QGroupBox(" Axis ranges ", this);
  auto* grid = new QGridLayout(ranges);
  const double values[4] = {current.xMin, current.xMax, current.yMin, current.yMax};
  for (int i = 0; i < 4; ++i) range_[i] = new QLineEdit(NumberText(values[i]), ranges);
  auto* xLabel = new QLabel("&X from", ranges);
  auto* yLabel = new QLabel("&Y from", ranges);
  xLabel->setBuddy(range_[0]);
  yLabel->setBuddy(range_[2]);
  grid->addWidget(xLabel, 0, 0);
  grid->addWidget(range_[0], 0, 1);
  grid->addWidget(new QLabel("to", ranges), 0, 2);
  grid->addWidget(range_[1], 0, 3);
  grid->addWidget(yLabel, 1, 0);
  grid->addWidget(range_[2], 1, 1);
  grid->addWidget(new QLabel("to", ranges), 1, 2);
  grid->addWidget(range_[3], 1, 3);
  top->addWidget(ranges);

  auto* lines = new QGroupBox(" Lines ", this);
  auto* lineGrid = new QGridLayout(lines);
  lineGrid->addWidget(new QLabel("Name", lines), 0, 0);
  lineGrid->addWidget(new QLabel("Colour", lines), 0, 1);
  lineGrid->addWidget(new QLabel("Width", lines), 0, 2);
  for (size_t i = 0; i < current.colours.size(); ++i) {
    auto* name = new QLineEdit(current.names[i], lines);
    auto* colour = new QPushButton(lines);
    colour->setFixedWidth(48);
    colour->setAutoDefault(false);
    auto* width = new QSpinBox(lines);
    width->setRange(1, 10);
    width->setValue(current.widths[i]);
    lineGrid->addWidget(name, int(i) + 1, 0);
    lineGrid->addWidget(colour, int(i) + 1, 1);
    lineGrid->addWidget(width, int(i) + 1, 2);
    names_.push_back(name);
    colourButtons_.push_back(colour);
    widths_.push_back(width);
    ShowColour(int(i));
    connect(colour, &QPushButton::clicked, this, [this, i] {
      if (!colours_) return;
      if (auto c = colours_->ChooseColour(this, result_.colours[i])) {
        result_.colours[i] = *c;
        ShowColour(int(i));
      }
    });
  }
  top->addWidget(lines);

  legend_ = new QCheckBox("Show le&gend", this);
  legend_->setChecked(current.legend);
  top->addWidget(legend_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &ChartEditDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ChartEditDialog::reject);
  top->addWidget(buttons);
}

void ChartEditDialog::ShowColour(int i) {
  colourButtons_[i]->setStyleSheet(
      QString("background-color: %1; border: 1px solid #808080;").arg(result_.colours[i].name()));
}

void ChartEditDialog::accept() {
  double v[4];
  for (int i = 0; i < 4; ++i) {
    if (!ParseNumber(range_[i]->text().toStdString(), v[i], ui_)) {
      range_[i]->setFocus();
      return;
    }
  }
  for (int axis = 0; axis < 2; ++axis) {
    if (!(v[2 * axis] < v[2 * axis + 1])) {
      ui_.Error("The minimum of an axis must be below its maximum.");
      range_[2 * axis]->setFocus();
      return;
    }
  }
  result_.title = title_->text();
  result_.bottomTitle = bottomTitle_->text();
  result_.leftTitle = leftTitle_->text();
  result_.xMin = v[0];
  result_.xMax = v[1];
  result_.yMin = v[2];
  result_.yMax = v[3];
  for (size_t i = 0; i < names_.size(); ++i) {
    result_.names[i] = names_[i]->text();
    result_.widths[i] = widths_[i]->value();
  }
  result_.legend = legend_->isChecked();
  QDialog::accept();
}

}  // namespace kvil
