// The "Calculation parameters" window shown while a run goes on: the two parameter
// labels, the two variant counters, the "Iteration" bar and STOP.
#pragma once

#include <QDialog>

#include "ui/services.h"

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

 protected:
  Session& session_;
  Interaction& ui_;
};

}  // namespace kvil
