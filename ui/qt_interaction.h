// The engine's Interaction on the desktop: message boxes over the main window, the
// progress window of a run, and the processing of pending input between points.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include "common/interaction.h"

namespace kvil {

class ProgressView;

class QtInteraction : public Interaction {
 public:
  QtInteraction() = default;

  // The window message boxes are shown over (the main window once it exists).
  void SetParentWindow(QWidget* parent) { parent_ = parent; }
  // The progress window the run drives; null shows no progress.
  void SetProgressView(ProgressView* view) { progress_ = view; }

  Answer Message(MessageKind kind, const std::string& text, Buttons buttons) override;
  void ShowProgress(bool visible) override;
  void SetProgressLabels(const ProgressLabels& labels) override;
  void SetProgressPosition(int position) override;
  void ProcessPendingInput() override;

  // The desktop's events are processed at most this often during a run, ms.
  static constexpr int kInputIntervalMs = 20;

 private:
  QPointer<QWidget> parent_;
  ProgressView* progress_ = nullptr;
  QElapsedTimer inputClock_;
};

}  // namespace kvil
