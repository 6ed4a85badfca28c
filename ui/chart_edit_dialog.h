// The chart editor: titles, axis ranges, line colours and widths, names and legend of
// a chart window.  Numbers are read with the engine's number reader; a range whose
// minimum is not below its maximum is refused.
#pragma once

#include <QDialog>
#include <vector>

#include "ui/chart_window.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kvil {

class ColourDialog;
class Interaction;

class ChartEditDialog : public QDialog {
  Q_OBJECT
 public:
  ChartEditDialog(const TGR_Form::Appearance& current, Interaction& ui, ColourDialog* colours,
                  QWidget* parent = nullptr);

  // The settings as accepted.
  const TGR_Form::Appearance& Result() const { return result_; }

  QLineEdit* TitleEdit() const { return title_; }
  QLineEdit* BottomTitleEdit() const { return bottomTitle_; }
  QLineEdit* LeftTitleEdit() const { return leftTitle_; }
  QLineEdit* RangeEdit(int i) const { return range_[i]; }  // x min, x max, y min, y max
  QPushButton* ColourButton(int i) const { return colourButtons_[i]; }
  QSpinBox* WidthBox(int i) const { return widths_[i]; }
  QLineEdit* NameEdit(int i) const { return names_[i]; }
  QCheckBox* LegendBox() const { return legend_; }

 public Q_SLOTS:
  void accept() override;

 private:
  void ShowColour(int i);

  TGR_Form::Appearance result_;
  Interaction& ui_;
  ColourDialog* colours_;
  QLineEdit* title_;
  QLineEdit* bottomTitle_;
  QLineEdit* leftTitle_;
  QLineEdit* range_[4];
  std::vector<QPushButton*> colourButtons_;
  std::vector<QSpinBox*> widths_;
  std::vector<QLineEdit*> names_;
  QCheckBox* legend_;
};

}  // namespace kvil
