// Page 1 of the main window: the equilibrium specification.  The component grid, the
// parameter, unit and adiabatic choosers, the value, step and comment fields.  Every
// control is a view of the session's task; each field is accepted when it is left.
#pragma once

#include <QWidget>

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

 Q_SIGNALS:
  void RunRequested();   // the page's "&Run" button
  void InfoRequested();  // the page's "&Info" button
  // Something the status panel shows may have changed (first parameter "Template",
  // fixed amounts, the option summary).
  void TaskEdited();

 protected:
  Session& session_;
  ComponentPicker* picker_;
  int helpContext_ = 1;
};

}  // namespace kvil
