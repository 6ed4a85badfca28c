// Page 3 of the main window: the text report of the current task.
#pragma once

#include <QWidget>

namespace kvil {

struct Session;

class ResultsPage : public QWidget {
  Q_OBJECT
 public:
  explicit ResultsPage(Session& session, QWidget* parent = nullptr);

  // Entering the page: the report file is loaded (with a wait cursor).
  void PreparePage();
  // A run has written the report: reloaded now when the page shows.
  void ResultsChanged();

 protected:
  Session& session_;
};

}  // namespace kvil
