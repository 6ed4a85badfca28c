// Page 2 of the main window: the list of substances that may form, with their marks
// and fixed amounts.
#pragma once

#include <QWidget>

namespace kvil {

struct Session;

class SpeciesPage : public QWidget {
  Q_OBJECT
 public:
  explicit SpeciesPage(Session& session, QWidget* parent = nullptr);

  // Entering the page: the list is built again when the system's element set changed.
  void PreparePage();
  // Leaving the page: the fixed amounts are collected into the task.  False when they
  // were refused; the page then stays.
  bool LeavePage();
  // The engine changed the grid rows or the counts line.
  void GridChanged();
  void ShowCounts(const QString& text);

 protected:
  Session& session_;
};

}  // namespace kvil
