// The "Elemental composition" window: for every variant of the source composition the
// amounts of the elements, the mixture enthalpy, the sum of mass parts and the
// oxidizer/fuel ratio.  The table is built when the window is opened, not on every
// activation: a message of the element balance would otherwise activate it again and
// again.
#pragma once

#include <QDialog>

class QStandardItemModel;
class QTableView;

namespace kvil {

struct Session;
class FileDialogs;

class TInfo : public QDialog {
  Q_OBJECT
 public:
  TInfo(Session& session, FileDialogs& files, QWidget* parent = nullptr);

  // Builds the table from the task and shows the window.  False when the task has no
  // elements (nothing to show).
  bool Open();
  // The Save button: appends the table to a text file chosen in the dialog.
  bool Save();

  QTableView* table() const { return table_; }
  QString cellText(int row, int column) const;

 private:
  Session& session_;
  FileDialogs& files_;
  QTableView* table_;
  QStandardItemModel* model_;
};

}  // namespace kvil
