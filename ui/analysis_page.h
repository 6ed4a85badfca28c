// Page 4 of the main window: the argument list (XList) and the function list (YList)
// built from the first record of the results table file, each of the kind its chooser
// says ("Parameter" or "Concentration"), up to ten marked functions, and the buttons
// that hand the choice to the table view and the chart window.
#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QWidget>
#include <vector>

#include "results/analysis.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace kvil {

struct Session;
class TViewForm;

inline constexpr int kAnalysisPageHelpContext = 20;

// One analysis list: its row texts (leading blanks included) and, for the function
// list, the marks.  Column 0 of the function list is the mark column.
class AnalysisListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  AnalysisListModel(bool withMarks, QObject* parent);
  // Replaces the rows; an empty list shows one empty row.  Marks are cleared.
  void SetRows(const std::vector<std::string>& rows);
  const std::vector<std::string>& Rows() const { return rows_; }
  std::vector<bool>& Marks() { return marks_; }
  void MarksChanged();
  bool HasItems() const { return !(rows_.size() == 1 && rows_[0].empty()); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  bool withMarks_;
  std::vector<std::string> rows_{""};
  std::vector<bool> marks_{false};
};

// Draws list cells as formulas (species names with subscripts).
class FormulaDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  bool enabled = false;
};

class AnalysisPage : public QWidget {
  Q_OBJECT
 public:
  AnalysisPage(Session& session, TViewForm& tableView, QWidget* parent = nullptr);

  // Entering the page: marks cleared; the lists rebuilt from the results table file, or
  // one empty row each (and Plot disabled) when it is empty.
  void PreparePage();
  // A run has written new results: the lists are rebuilt now when the page shows,
  // else when it is entered next.
  void ResultsChanged();

  QComboBox* XType() const { return xType_; }
  QComboBox* YType() const { return yType_; }
  QTableView* XList() const { return xList_; }
  QTableView* YList() const { return yList_; }
  AnalysisListModel* XModel() const { return xModel_; }
  AnalysisListModel* YModel() const { return yModel_; }
  QLabel* SelLabel() const { return selLabel_; }
  QPushButton* BuildButton() const { return buildButton_; }
  QPushButton* PlotButton() const { return plotButton_; }
  const AnalysisLayout& Layout() const { return layout_; }
  const std::vector<int>& MarkedItems() const { return markedItems_; }

  // Toggles the mark of YList row `row` (1-based), as a space key or a click on the
  // mark cell does.
  void ToggleMark(int row);

 public Q_SLOTS:
  void ViewAsTable();  // BuildBTNClick
  void PlotChart();    // PlotBTNClick

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // XTypeChange for one chooser; false when the file is empty or corrupted.
  bool RebuildList(bool functionList);
  void ResetLists();
  void ShowMarkCount();
  void ShowMarks();  // the marks of markedItems_ in the function list as it shows
  bool FillTable();
  AnalysisKind KindOf(const QComboBox* box) const;

  Session& session_;
  TViewForm& tableView_;
  AnalysisLayout layout_;
  // The marked functions, by item, of both kinds of list (ToggleMarkedItem).
  std::vector<int> markedItems_;
  QComboBox* xType_;
  QComboBox* yType_;
  QTableView* xList_;
  QTableView* yList_;
  AnalysisListModel* xModel_;
  AnalysisListModel* yModel_;
  FormulaDelegate* yDelegate_;
  QLabel* selLabel_;
  QPushButton* buildButton_;
  QPushButton* plotButton_;
};

}  // namespace kvil
