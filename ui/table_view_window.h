// The table view: the argument and the marked functions of the analysis page for every
// point of the last run, one row per record, sorted by the argument.  It is also where
// a chart takes its data from: Plot checks the table and opens the chart window.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>

#include "results/analysis.h"
#include "ui/chart_window.h"

class QPushButton;
class QTableView;

namespace kvil {

class FileDialogs;
class HelpViewer;
struct Session;

inline constexpr int kTableViewHelpContext = 23;

// The cells of a ResultsTable, titles as column headers.
class ResultsTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;
  void SetTable(const ResultsTable& table);
  const ResultsTable& Table() const { return table_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  ResultsTable table_;
};

class TViewForm : public QWidget {
  Q_OBJECT
 public:
  // `chartServices` are handed to every chart window the table opens.
  TViewForm(Session& session, FileDialogs& files, HelpViewer& help, ChartServices chartServices,
            QWidget* parent = nullptr);

  // Fills the table from the results table file for `choice`; `concentration` is true
  // when the functions are species amounts (the chart's title says "mole").
  void Fill(const TableChoice& choice, bool concentration);
  const ResultsTable& Table() const { return model_->Table(); }
  // "Table for " + the datafile's base name.
  void SetBaseName(const QString& baseName);

  // True when the table can be plotted; shows the reason otherwise.
  bool CheckForPlot();
  // Opens the chart window of the table, modally; `prepare` (tests) sees it first.
  void OpenChart();
  void SetChartHook(std::function<void(TGR_Form&)> hook) { chartHook_ = std::move(hook); }

  QTableView* Grid() const { return grid_; }
  QPushButton* SaveButton() const { return saveButton_; }
  QPushButton* PlotButton() const { return plotButton_; }

 public Q_SLOTS:
  void SaveTable();
  void Plot();

 protected:
  void keyPressEvent(QKeyEvent*) override;

 private:
  Session& session_;
  FileDialogs& files_;
  HelpViewer& help_;
  ChartServices chartServices_;
  std::function<void(TGR_Form&)> chartHook_;
  bool concentration_ = false;
  QString baseName_ = "NoName";
  ResultsTableModel* model_;
  QTableView* grid_;
  QPushButton* saveButton_;
  QPushButton* plotButton_;
  QPushButton* helpButton_;
  QPushButton* closeButton_;
};

}  // namespace kvil
