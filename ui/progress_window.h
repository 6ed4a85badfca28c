// The "Calculation parameters" window shown while a run goes on: the two parameter
// labels, the two variant counters, the "Iteration" bar and STOP.
#pragma once

#include <QDialog>

#include "ui/services.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kvil {

struct Session;
class Interaction;

class TShowState : public QDialog, public ProgressView {
  Q_OBJECT
 public:
  // STOP asks through `ui` and sets the cancel flag of the session's workspace.
  TShowState(Session& session, Interaction& ui, QWidget* parent = nullptr);

  void ShowProgress(bool visible) override;
  void SetLabels(const QString& parameter1, const QString& parameter2,
                 const QString& parameterVariant, const QString& componentVariant) override;
  void SetPosition(int position) override;

  // The STOP command: "Terminate calculations ?"; Yes sets the cancel flag.
  void Stop();

  QPushButton* stopButton() const { return stop_; }
  QProgressBar* meter() const { return meter_; }
  QString labelText(int which) const;  // 0 P1, 1 P2, 2 VarNo, 3 CVarNo

 protected:
  void reject() override;  // Esc does not close the window
  void closeEvent(QCloseEvent* event) override;

  Session& session_;
  Interaction& ui_;

 private:
  QLabel* labels_[4];
  QProgressBar* meter_;
  QPushButton* stop_;
};

}  // namespace kvil
