#include "ui/progress_window.h"

#include "core/session.h"

namespace kvil {

TShowState::TShowState(Session& session, Interaction& ui, QWidget* parent)
    : QDialog(parent), session_(session), ui_(ui) {
  setWindowTitle("Calculation parameters");
}

void TShowState::ShowProgress(bool visible) { setVisible(visible); }

void TShowState::SetLabels(const QString&, const QString&, const QString&, const QString&) {}

void TShowState::SetPosition(int) {}

}  // namespace kvil
