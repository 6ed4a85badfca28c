// Page 1 of the main window: the equilibrium specification.  The component grid, the
// parameter, unit and adiabatic choosers, the value, step and comment fields.  Every
// control is a view of the session's task; each field is accepted when it is left.
#pragma once

#include <QWidget>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace kvil {

struct Session;
class ComponentPicker;

class SpecPage : public QWidget {
  Q_OBJECT
 public:
  // `picker` may be null (no components library): "Data&base" is then disabled and a
  // double click on the grid does nothing.
  SpecPage(Session& session, ComponentPicker* picker, QWidget* parent = nullptr);

  // The task changed as a whole (read, reset): every control shows it again.
  void ShowTask();
  // The leave handlers of the page's controls in the order the validation of all
  // fields runs them: unit choosers, value fields, step fields, comment, component
  // grid.  False at the first refusal, with the focus on that control.
  bool ValidateFields();
  // Where the focus goes at start: the value field of the first parameter.
  QWidget* FirstValueField() const;
  // Help context of the control entered last (5 to 11; 1 for none).
  int HelpContext() const { return helpContext_; }

  // The component grid is left: the whole grid is taken into the task.  False with
  // the focus on the refused cell.
  bool LeaveGrid();
  // "Data&base" / a double click on row `row` (1..20).
  void PickComponent(int row);

  // Controls, for the window tests.
  QTableView* grid() const { return grid_; }
  QComboBox* firstChooser() const { return choosers_[0]; }
  QComboBox* secondChooser() const { return choosers_[1]; }
  QComboBox* expansionChooser() const { return choosers_[2]; }
  QLineEdit* valueField(int slot) const { return values_[slot - 1]; }
  QLineEdit* stepField(int slot) const { return steps_[slot - 1]; }
  QComboBox* unitChooser(int slot) const { return units_[slot - 1]; }
  QLineEdit* commentField() const { return comment_; }
  QPushButton* databaseButton() const { return database_; }
  QString cellText(int row, int column) const;  // row 1..20, column 1 Formula .. 4
  // The control whose leave handler refused its text last, while it is not corrected
  // (null when none): the window does not leave the page then.
  QWidget* RefusedField() const { return refused_; }

 Q_SIGNALS:
  void RunRequested();   // the page's "&Run" button
  void InfoRequested();  // the page's "&Info" button
  // Something the status panel shows may have changed (first parameter "Template",
  // fixed amounts, the option summary).
  void TaskEdited();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

  Session& session_;
  ComponentPicker* picker_;
  int helpContext_ = 1;

 private:
  void BuildGrid();
  void BuildParameters();
  void FirstChosen();
  void SecondChosen();
  void ExpansionChosen();
  void ShowUnits(int slot);
  void UpdateUnitChoosers();
  void ShowTemplateState();
  bool LeaveValue(int slot);
  bool LeaveStep(int slot);
  void LeaveUnit(int slot);
  bool InGrid(QWidget* w) const;
  void FocusChanged(QWidget* old, QWidget* now);
  void Refocus(QWidget* w);
  void ClearRow(int row);

  QTableView* grid_ = nullptr;
  QStandardItemModel* cells_ = nullptr;
  std::array<QComboBox*, 3> choosers_{};
  std::array<QLineEdit*, 3> values_{};
  std::array<QLineEdit*, 3> steps_{};
  std::array<QComboBox*, 3> units_{};
  QLineEdit* comment_ = nullptr;
  QLabel* date_ = nullptr;
  QPushButton* run_ = nullptr;
  QPushButton* info_ = nullptr;
  QPushButton* database_ = nullptr;
  QWidget* refused_ = nullptr;
  bool busy_ = false;      // a leave handler is at work (its message box takes the focus)
  bool showing_ = false;   // controls are being filled from the task
  bool gridDirty_ = false; // cells typed into since the grid was last taken in
};

}  // namespace kvil
