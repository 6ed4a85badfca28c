// Page 5 of the main window: the settings.  The option groups and check boxes that
// write their positions of the task options, the template values, cut-off, ambient
// pressure and freezing point of the settings record, and the two colour panels.
#pragma once

#include <QWidget>

namespace kvil {

struct Session;
class ColourDialog;

class SettingsPage : public QWidget {
  Q_OBJECT
 public:
  SettingsPage(Session& session, ColourDialog& colours, QWidget* parent = nullptr);

  // The settings record changed (loaded, reset): the fields and panels show it again.
  void ShowSettings();
  // The task options changed (task read): the groups and check boxes show them.
  void ShowOptions();
  // The leave handlers of the seven template values, the cut-off, the ambient pressure
  // and the freezing point, in that order.  False at the first refusal, with the focus
  // on that field.
  bool ValidateFields();
  // Help context of the control entered last (1 for none).
  int HelpContext() const { return helpContext_; }

 Q_SIGNALS:
  // An option changed: the status panel's summary and "Template" indicator follow.
  void OptionsEdited();
  // The highlight or font colour changed: the program's palette follows.
  void ColoursChanged();
  // The ion option changed: the species list has to be built again.
  void IonsChanged();

 protected:
  Session& session_;
  ColourDialog& colours_;
  int helpContext_ = 1;
};

}  // namespace kvil
