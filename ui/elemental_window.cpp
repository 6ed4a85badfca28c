#include "ui/elemental_window.h"

#include "core/session.h"

namespace kvil {

TInfo::TInfo(Session& session, QWidget* parent) : QDialog(parent), session_(session) {
  setWindowTitle("Elemental composition");
}

bool TInfo::Open() {
  show();
  return true;
}

}  // namespace kvil
