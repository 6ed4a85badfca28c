// The elemental composition window: for every variant of the source composition its
// elements, enthalpy, oxidizer/fuel ratio and oxygen balance.
#pragma once

#include <QDialog>

namespace kvil {

struct Session;

class TInfo : public QDialog {
  Q_OBJECT
 public:
  TInfo(Session& session, QWidget* parent = nullptr);

  // Builds the table from the current task and shows the window; false (nothing shown)
  // when the composition cannot be used for a calculation.
  bool Open();

 protected:
  Session& session_;
};

}  // namespace kvil
