// Page 2 of the main window: the candidate species of the task.  The grid is a view of
// the session's species grid rows: marks and fixed amounts belong to the list entries,
// "Show Selected" only filters what is shown.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace kvil {

struct Session;
class SpeciesGridModel;

class SpeciesPage : public QWidget {
  Q_OBJECT
 public:
  explicit SpeciesPage(Session& session, QWidget* parent = nullptr);

  // Entering the page: the list is built again from the database when the element set
  // changed, and shown.
  void PreparePage();
  // Leaving the page: the fixed amounts are collected; false (with the message shown)
  // when one is refused: the page stays.
  bool LeavePage();
  // The engine rebuilt the grid rows.
  void GridChanged();
  // The counts line.
  void ShowCounts(const QString& counts);

  void SelectAll();
  void UnselectAll();
  void ToggleShowSelected();
  void Reread();
  void FindNext();
  // Toggles the mark of the list entry shown on view row `viewRow` (0-based).
  void ToggleMark(int viewRow);

  QTableView* grid() const { return grid_; }
  QLineEdit* searchText() const { return search_; }
  QPushButton* showButton() const { return show_; }
  QString countsText() const;
  int shownRows() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Recount();

  Session& session_;
  SpeciesGridModel* model_;
  QSortFilterProxyModel* filter_;
  QTableView* grid_;
  QLabel* counts_;
  QLineEdit* search_;
  QPushButton* show_;
  bool selectedOnly_ = false;
};

}  // namespace kvil
