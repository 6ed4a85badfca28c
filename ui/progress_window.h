// The "Calculation parameters" window shown while a run goes on: the two parameter
// labels, the two variant counters, the point of the run with the time left, the
// "Iteration" bar and STOP.
//
// The run sets the labels and the bar at every solve, thousands of times a second on a
// fast task.  The window keeps the newest values and shows them at most kRefreshMs
// apart (a timer, which fires whenever the run lets the desktop's events through), so
// that drawing it costs the run next to nothing.  Hiding between the variants of a run
// is put off until the desktop's events are next processed, and undone when the window
// is shown again before that: it does not flicker.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

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
  void SetPoint(int point, int points) override;

  // The end of a run: a hide put off is done now.
  void Finish();

  // The STOP command: "Terminate calculations ?"; Yes sets the cancel flag.
  void Stop();

  QPushButton* stopButton() const { return stop_; }
  QProgressBar* meter() const { return meter_; }
  QString labelText(int which) const;  // 0 P1, 1 P2, 2 VarNo, 3 CVarNo, 4 PointOf

  static constexpr int kRefreshMs = 200;

 protected:
  void reject() override;  // Esc does not close the window
  void closeEvent(QCloseEvent* event) override;

  Session& session_;
  Interaction& ui_;

 private:
  void Refresh();  // shows the newest values

  QLabel* labels_[5];
  QProgressBar* meter_;
  QPushButton* stop_;
  QTimer refresh_;
  QElapsedTimer runClock_;  // since the window was shown for the run
  QString texts_[4];
  int position_ = 0;
  int point_ = 0, points_ = 0;
  bool changed_ = false;
  bool hidePending_ = false;
};

}  // namespace kvil
