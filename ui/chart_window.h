// The chart window: the curves of the table view's table, one series per function
// column against the argument, with optional logarithmic axes, a read-out of the
// cursor in data coordinates, ten movable formula labels, the chart editor, printing
// and export to PNG, SVG and PDF.
//
// The numbers (series, ranges, label patterns, ticks, cursor text) come from
// results/chart_data.h; this window only draws them with Qt Charts.  The value labels
// of an axis are placed at round ticks and written in the axis pattern, so a chart
// reads the same whatever the locale.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "results/analysis.h"
#include "results/chart_data.h"

class QCheckBox;
class QGraphicsSimpleTextItem;
class QGroupBox;
class QPainter;
class QPrinter;
class QPushButton;

class QCategoryAxis;
class QChart;
class QLineSeries;

namespace kvil {

class ColourDialog;
class FileDialogs;
class HelpViewer;
class Interaction;

inline constexpr int kChartHelpContext = 22;

// What the chart window asks of the desktop besides messages; tests script these.
struct ChartServices {
  FileDialogs* files = nullptr;    // export file name
  HelpViewer* help = nullptr;
  ColourDialog* colours = nullptr;  // line colours in the editor
  // The print dialog on `printer`; true to print.  Default: QPrintDialog.
  std::function<bool(QWidget*, QPrinter&)> askPrinter;
  // The text input box (title, prompt, current text); nullopt when cancelled.
  // Default: QInputDialog.
  std::function<std::optional<QString>(QWidget*, const QString&, const QString&, const QString&)>
      askText;
  // Runs the chart editor dialog; true when it was accepted.  Default: exec().
  std::function<bool(QDialog&)> runDialog;
};

// A formula label of the chart legend; dragged with the left button, renamed with the
// right button.
class ChartLabel : public QLabel {
  Q_OBJECT
 public:
  ChartLabel(int index, QWidget* parent);
  int Index() const { return index_; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 Q_SIGNALS:
  void renameRequested(ChartLabel* label);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dragMoveEvent(QDragMoveEvent*) override;
  void dropEvent(QDropEvent*) override;

 private:
  int index_;
  QPoint pressAt_;
  bool pressed_ = false;
};

class ChartView;

class TGR_Form : public QDialog {
  Q_OBJECT
 public:
  // `table` passed CheckTableForPlot; `concentration` is true when the functions are
  // species amounts; `baseName` is the datafile's base name.
  TGR_Form(const ResultsTable& table, bool concentration, const QString& baseName,
           Interaction& ui, ChartServices services, QWidget* parent = nullptr);
  ~TGR_Form() override;

  // The chart, its series and the parts a test or the editor looks at.
  QChart* Chart() const { return chart_; }
  QWidget* ChartWidget() const;
  QLineSeries* Series(int i) const { return series_[i]; }  // 0-based
  int SeriesCount() const { return int(data_.series.size()); }
  const ChartData& Data() const { return data_; }
  // The ranges the axes show (the right axis only with two axes).
  const AxisRange& ShownX() const { return shownX_; }
  const AxisRange& ShownY() const { return shownY_; }
  const AxisRange& ShownY2() const { return shownY2_; }
  bool HasRightAxis() const { return data_.twoAxes; }
  QString RightAxisTitle() const;
  ChartLabel* Label(int i) const { return labels_[i]; }  // 0-based
  QCheckBox* LogXBox() const { return logX_; }
  QCheckBox* LogYBox() const { return logY_; }
  QLabel* CursorLabel() const { return xyLabel_; }
  QString ChartTitle() const;
  QString LeftAxisTitle() const { return leftTitle_; }
  // Text labels of the bottom and left axes.
  QStringList AxisLabels(bool bottom) const;
  QStringList RightAxisLabels() const;

  // Moves label `label` onto `target` (the chart, a label or the window) at `pos` in the
  // target's coordinates, as a drop does.  A label dropped onto the chart, or onto a
  // label that sits on the chart, belongs to the chart and is printed with it.
  void DropLabel(ChartLabel* label, QWidget* target, const QPoint& pos);
  bool LabelOnChart(const ChartLabel* label) const;

  // What a print or an export shows, in window pixels: the chart and, to its right,
  // the column of the legend labels that are not on the chart.
  QSize RenderSize() const;
  // Draws the chart with the legend, its labels where they are (on the chart or in the
  // column beside it), into `target` of `painter` (RenderSize scaled to it).
  void RenderChart(QPainter& painter, const QRect& target);
  // Prints onto `printer` as the Print button does after the dialog.
  bool PrintTo(QPrinter& printer);
  // Writes the chart to `path`: ".png" (twice the screen resolution), ".svg" or ".pdf".
  bool ExportTo(const QString& path);

  // Applies the editor's settings (also used by the editor dialog).
  struct Appearance {
    QString title, bottomTitle, leftTitle;
    double xMin = 0, xMax = 1, yMin = 0, yMax = 1;
    std::vector<QColor> colours;
    std::vector<int> widths;
    std::vector<QString> names;
    bool legend = false;
  };
  Appearance CurrentAppearance() const;
  void ApplyAppearance(const Appearance& a);

 public Q_SLOTS:
  void Rebuild();  // FormShow
  void ToggleLogX();
  void ToggleLogY();
  void EditChart();
  void PrintChart();
  void ExportChart();

 protected:
  void resizeEvent(QResizeEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dragMoveEvent(QDragMoveEvent*) override;
  void dropEvent(QDropEvent*) override;

 private:
  friend class ChartView;
  void LayOut();  // FormResize
  void ShowCursor(const QPoint& viewPos);
  void HideCursor();
  void RenameLabel(ChartLabel* label);
  void SetAxes(const AxisRange& x, const AxisRange& y, const AxisRange& y2);
  void PlaceTitle();

  ResultsTable table_;
  bool concentration_;
  QString baseName_;
  Interaction& ui_;
  ChartServices services_;
  bool logXOn_ = false, logYOn_ = false;
  ChartData data_;
  AxisRange shownX_, shownY_, shownY2_;
  QString leftTitle_;

  ChartView* view_ = nullptr;
  QChart* chart_ = nullptr;
  QGraphicsSimpleTextItem* title_ = nullptr;
  QCategoryAxis* bottom_ = nullptr;
  QCategoryAxis* left_ = nullptr;
  QCategoryAxis* right_ = nullptr;  // shown with two axes
  std::array<QLineSeries*, kMaxChartSeries> series_{};
  std::array<ChartLabel*, kMaxChartSeries> labels_{};
  QWidget* panel_ = nullptr;
  QLabel* cursorCaption_ = nullptr;
  QLabel* xyLabel_ = nullptr;
  QGroupBox* axisBox_ = nullptr;
  QCheckBox* logX_ = nullptr;
  QCheckBox* logY_ = nullptr;
  QPushButton* editButton_ = nullptr;
  QPushButton* printButton_ = nullptr;
  QPushButton* exportButton_ = nullptr;
  QPushButton* helpButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
};

}  // namespace kvil
