// Page 5 of the main window: the settings.  The option groups and check boxes that
// write their positions of the task options, the template values, cut-off, ambient
// pressure and freezing point of the settings record, and the two colour panels.
#pragma once

#include <QWidget>
#include <array>
#include <vector>

#include "task/settings_fields.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

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
  // The leave handlers of the seven template values, the cut-off, the ambient pressure,
  // the freezing point and the detonation's initial densities, pressure and
  // temperature, in that order.  False at the first refusal, with the focus on that
  // field.
  bool ValidateFields();
  // Help context of the control entered last (1 for none).
  int HelpContext() const { return helpContext_; }

  // Controls, for the window tests.
  QLineEdit* field(SettingsField f) const { return fields_[static_cast<int>(f)]; }
  QCheckBox* specialBox(int number) const { return special_[number - 1]; }  // 1..6
  // 0 impulse, 1 powder, 2 heat, 3 detonation
  QCheckBox* templateBox(int number) const { return templates_[number]; }
  QLineEdit* densitiesField() const { return densities_; }
  QComboBox* bkwSetChooser() const { return bkwSet_; }
  QButtonGroup* group(int option) const;  // by option position 19, 20, 14, 11, 60
  QPushButton* highlightPanel() const { return highlight_; }
  QPushButton* fontPanel() const { return font_; }
  // The field whose text was refused last, while it is not corrected (null when none).
  QWidget* RefusedField() const { return refused_; }

 Q_SIGNALS:
  // An option changed: the status panel's summary and "Template" indicator follow.
  void OptionsEdited();
  // The highlight or font colour changed: the program's palette follows.
  void ColoursChanged();
  // The ion option changed: the species list has been built again.
  void IonsChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

  Session& session_;
  ColourDialog& colours_;
  int helpContext_ = 1;

 private:
  bool LeaveField(SettingsField f);
  bool LeaveDensities();
  void SpecialToggled(int number, bool checked);
  void ChooseColour(bool highlight);
  void ShowColours();

  std::array<QLineEdit*, kSettingsFieldCount> fields_{};
  std::array<QCheckBox*, 6> special_{};
  std::array<QCheckBox*, 4> templates_{};
  QLineEdit* densities_ = nullptr;  // initial densities of the detonation
  QComboBox* bkwSet_ = nullptr;     // parameter set of the BKW equation
  std::vector<std::pair<int, QButtonGroup*>> groups_;
  QPushButton* highlight_ = nullptr;
  QPushButton* font_ = nullptr;
  QWidget* refused_ = nullptr;
  bool busy_ = false;
  bool showing_ = false;
};

}  // namespace kvil
