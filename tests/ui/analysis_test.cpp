// The analysis page, the table view and the chart window on real runs of the example
// propellant: lists, marks, the table, the plot, log axes, the cursor read-out, labels,
// the editor, printing and export.
//
// The engine headers come first: the task's "slots" member must be read before Qt
// makes the word a keyword.
#include "results/example_run.h"
// clang-format off
#include <QtTest>
// clang-format on
#include <QCategoryAxis>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsView>
#include <QVBoxLayout>
#include <QLineEdit>
#include <QLineSeries>
#include <QMimeData>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <cmath>

#include "common/binio.h"
#include "common/numparse.h"
#include "ui/analysis_page.h"
#include "ui/chart_edit_dialog.h"
#include "ui/chart_window.h"
#include "ui/services.h"
#include "ui/support/shots.h"
#include "ui/table_view_window.h"

using namespace kvil;

namespace {

class ScriptedFiles : public FileDialogs {
 public:
  QString OpenFile(QWidget*, const QString&, const QString&, const QStringList&) override {
    return {};
  }
  QString SaveFile(QWidget*, const QString&, const QString&, const QStringList& f) override {
    filters = f;
    return next;
  }
  QString ChooseDirectory(QWidget*, const QString&, const QString&) override { return {}; }
  QString next;
  QStringList filters;
};

class RecordingHelp : public HelpViewer {
 public:
  void ShowHelp(QWidget*, int context) override { contexts.append(context); }
  QList<int> contexts;
};

class FixedColour : public ColourDialog {
 public:
  std::optional<QColor> ChooseColour(QWidget*, const QColor&) override { return colour; }
  QColor colour = Qt::darkGreen;
};

// Number in a cursor read-out after `key` ("X = ", "Y = ").
double ReadOut(const QString& text, const QString& key) {
  const int at = text.indexOf(key);
  return text.mid(at + key.size(), 12).trimmed().toDouble();
}

// A drag of `mime` entering `target` and dropped at `pos`, as the desktop delivers it.
void DropOnto(QWidget* target, const QPoint& pos, QMimeData* mime) {
  QDragEnterEvent enter(pos, Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(pos), Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

// True when the PDF uses a slanted font: only the chart's formula labels are italic.
bool PdfHasItalicText(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  static const QRegularExpression font("/BaseFont\\s*/\\S*(Oblique|Italic)");
  return font.match(QString::fromLatin1(f.readAll())).hasMatch();
}

int PdfPages(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QByteArray pdf = f.readAll();
  static const QRegularExpression page("/Type\\s*/Page[^s]");
  return int(QString::fromLatin1(pdf).count(page));
}

}  // namespace

class AnalysisWindowsTest : public QObject {
  Q_OBJECT

 private:
  RecordingInteraction ui_;
  NullTaskView view_;
  std::unique_ptr<Session> session_;
  ScriptedFiles files_;
  RecordingHelp help_;
  FixedColour colour_;
  QString dir_;
  std::unique_ptr<TViewForm> table_;
  std::unique_ptr<QWidget> host_;
  AnalysisPage* page_ = nullptr;

  ChartServices Services() {
    ChartServices s;
    s.files = &files_;
    s.help = &help_;
    s.colours = &colour_;
    return s;
  }

  void RunExample(const std::function<void(Task&)>& adjust) {
    QVERIFY(example_run::RunExamplePropellant(*session_, dir_.toStdString(), "propellant",
                                              adjust));
    ui_.Clear();
  }

  // Row (1-based) of `text` in a list model, trimmed comparison.
  static int RowOf(AnalysisListModel* model, const QString& text) {
    const auto& rows = model->Rows();
    for (size_t i = 0; i < rows.size(); ++i)
      if (QString::fromStdString(rows[i]).trimmed() == text) return int(i) + 1;
    return 0;
  }
  void ChooseX(const QString& kind, const QString& text) {
    page_->XType()->setCurrentText(kind);
    const int row = RowOf(page_->XModel(), text);
    QVERIFY2(row > 0, qPrintable(text));
    page_->XList()->setCurrentIndex(page_->XModel()->index(row - 1, 0));
  }
  void Mark(const QString& text) {
    const int row = RowOf(page_->YModel(), text);
    QVERIFY2(row > 0, qPrintable(text));
    // A click on the mark cell, as the user does.
    QTableView* list = page_->YList();
    list->scrollTo(page_->YModel()->index(row - 1, 0));
    const QRect cell = list->visualRect(page_->YModel()->index(row - 1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
  }
  // Plots from the page; `check` sees the chart window, shown.
  void PlotFromPage(const std::function<void(TGR_Form&)>& check) {
    bool opened = false;
    table_->SetChartHook([&](TGR_Form& chart) {
      opened = true;
      chart.show();
      QVERIFY(QTest::qWaitForWindowExposed(&chart));
      check(chart);
      chart.close();
    });
    QTest::mouseClick(page_->PlotButton(), Qt::LeftButton);
    QVERIFY(opened);
    table_->SetChartHook(nullptr);
  }

 private Q_SLOTS:
  void init() {
    session_ = std::make_unique<Session>(ui_, view_);
    dir_ = uitest::ScratchDirectory("analysis");
    table_ = std::make_unique<TViewForm>(*session_, files_, help_, Services());
    host_ = std::make_unique<QWidget>();
    host_->setWindowTitle("Analysis");
    page_ = new AnalysisPage(*session_, *table_, host_.get());
    auto* layout = new QVBoxLayout(host_.get());
    layout->addWidget(page_);
    host_->resize(760, 460);
    ui_.Clear();
  }
  void cleanup() {
    host_.reset();
    table_.reset();
    session_.reset();
    QLocale::setDefault(QLocale::c());
  }

  // Mole amounts of the main products against the chamber pressure.
  void speciesAgainstPressure() {
    RunExample([](Task& t) { example_run::SetSlotValues(t, 1, "1 2 4 7 10 15 20"); });
    host_->show();
    QVERIFY(QTest::qWaitForWindowExposed(host_.get()));
    page_->PreparePage();
    QVERIFY(ui_.messages.empty());
    QVERIFY(page_->PlotButton()->isEnabled());
    QCOMPARE(page_->XModel()->Rows()[0], std::string("   p, MPa"));
    QCOMPARE(page_->YType()->currentText(), QString("Concentration"));

    // No mark: refused.
    QTest::mouseClick(page_->BuildButton(), Qt::LeftButton);
    QCOMPARE(ui_.Texts().back(), std::string("No items selected !"));

    ChooseX("Parameter", "p, MPa");
    for (const char* s : {"CO", "H2O", "H2", "HCl", "N2", "CO2", "Al2O3(c)"}) Mark(s);
    QCOMPARE(page_->SelLabel()->text(), QString("7"));
    // A space on the current row takes the mark off again, and puts it back.
    page_->YList()->setFocus();
    page_->YList()->setCurrentIndex(page_->YModel()->index(RowOf(page_->YModel(), "N2") - 1, 1));
    QTest::keyClick(page_->YList(), Qt::Key_Space);
    QCOMPARE(page_->SelLabel()->text(), QString("6"));
    QTest::keyClick(page_->YList(), Qt::Key_Space);
    QCOMPARE(page_->SelLabel()->text(), QString("7"));
    uitest::SaveShot(host_.get(), "analysis_page");

    // The table: chamber points only, ascending in p, one column per marked species.
    QTest::mouseClick(page_->BuildButton(), Qt::LeftButton);
    QVERIFY(table_->isVisible());
    QCOMPARE(table_->windowTitle(), QString("Table for propellant"));
    const ResultsTable& t = table_->Table();
    QCOMPARE(int(t.titles.size()), 8);
    QCOMPARE(int(t.rows.size()), 7);
    QCOMPARE(*TryParseNumber(t.rows.front()[0]), 1.0);
    QCOMPARE(*TryParseNumber(t.rows.back()[0]), 20.0);
    QCOMPARE(table_->Grid()->model()->headerData(1, Qt::Horizontal).toString(),
             QString::fromStdString(t.titles[1]).trimmed());
    QVERIFY(QTest::qWaitForWindowExposed(table_.get()));
    uitest::SaveShot(table_.get(), "table_view");

    // Save appends to a table file of its own: twice gives two blocks.
    files_.next = dir_ + "/table";
    QTest::mouseClick(table_->SaveButton(), Qt::LeftButton);
    QTest::mouseClick(table_->SaveButton(), Qt::LeftButton);
    QCOMPARE(files_.filters, QStringList{"Table files (*.tab)"});
    QFile saved(dir_ + "/table.tab");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray text = saved.readAll();
    QCOMPARE(text, QByteArray::fromStdString(TableSaveText(t) + TableSaveText(t)));
    // A report, or any other file of a task, is never written from here.
    const QByteArray report = QByteArray::fromStdString(
        [&] { std::string r; ReadWholeFile(session_->ReportPath(), r); return r; }());
    QVERIFY(!report.isEmpty());
    for (const QString& target :
         {QString::fromStdString(session_->ReportPath()), QString::fromStdString(session_->TablePath()),
          dir_ + "/propellant.DAT", dir_ + "/NoName.txt"}) {
      ui_.Clear();
      files_.next = target;
      QTest::mouseClick(table_->SaveButton(), Qt::LeftButton);
      QCOMPARE(ui_.messages.size(), size_t(1));
      QVERIFY(ui_.Texts()[0].find("The table is not saved into ") == 0);
    }
    std::string after;
    ReadWholeFile(session_->ReportPath(), after);
    QCOMPARE(QByteArray::fromStdString(after), report);
    QVERIFY(!QFile::exists(dir_ + "/NoName.txt"));
    ui_.Clear();

    PlotFromPage([&](TGR_Form& chart) {
      QCOMPARE(chart.windowTitle(), QString("GRAPH for propellant"));
      QCOMPARE(chart.SeriesCount(), 7);
      QCOMPARE(chart.Chart()->series().size(), 7);
      QCOMPARE(chart.ChartTitle(), QString("mol/kg"));
      QVERIFY(!chart.HasRightAxis());
      QCOMPARE(chart.Series(0)->count(), 7);
      QCOMPARE(chart.Series(1)->pen().color(), QColor(0xFF0000));
      QCOMPARE(chart.Series(1)->pen().width(), 2);
      QVERIFY(chart.Label(6)->isVisible());
      QVERIFY(!chart.Label(7)->isVisible());
      QVERIFY(chart.LogXBox()->isEnabled());
      uitest::SaveShot(&chart, "chart_species_pressure");
      // Log X: a logarithmic axis (the points at the logarithms of the pressures) with
      // its decades labelled in MPa; off again, the pressures.
      QTest::mouseClick(chart.LogXBox(), Qt::LeftButton);
      QVERIFY(chart.LogXBox()->isChecked());
      QCOMPARE(chart.Series(0)->at(6).x(), std::log10(20.0));
      QCOMPARE(chart.Chart()->axes(Qt::Horizontal).front()->titleText(), QString("p, MPa"));
      QVERIFY2(chart.AxisLabels(true).contains("1") && chart.AxisLabels(true).contains("10"),
               qPrintable(chart.AxisLabels(true).join("|")));
      uitest::SaveShot(&chart, "chart_species_log_pressure");
      QTest::mouseClick(chart.LogXBox(), Qt::LeftButton);
      QCOMPARE(chart.Series(0)->at(6).x(), 20.0);
    });

    // A new run while the page shows: the lists follow the new results file.
    const int before = int(page_->YModel()->Rows().size());
    RunExample([](Task& t) {
      example_run::PlainEquilibrium(t, kParamT, "2000 3000", kParamP, "5");
      t.components[2].formula = " ";  // no aluminium: fewer species
      t.components[2].amountText = "";
    });
    page_->ResultsChanged();
    QVERIFY(int(page_->YModel()->Rows().size()) < before);
    QCOMPARE(page_->SelLabel()->text(), QString("0"));
    QCOMPARE(RowOf(page_->YModel(), "Al2O3(c)"), 0);
  }

  // The rocket engineer's first chart: the specific impulse against the chamber
  // pressure, each chamber point with its own expansion; then the temperature and a
  // species on one chart, over two axes, marked in both kinds of list.
  void impulseAgainstChamberPressureAndTwoAxes() {
    RunExample([](Task& t) { example_run::SetSlotValues(t, 1, "1 2 4 7 10 15 20"); });
    host_->show();
    QVERIFY(QTest::qWaitForWindowExposed(host_.get()));
    page_->PreparePage();
    page_->YType()->setCurrentText("Parameter");
    ChooseX("Parameter", "p, MPa");
    Mark("Isp(vac), m/s");
    Mark("Isp(amb), m/s");
    PlotFromPage([&](TGR_Form& chart) {
      QCOMPARE(chart.SeriesCount(), 2);
      QCOMPARE(chart.Series(0)->count(), 7);
      QVERIFY(!chart.HasRightAxis());
      for (int i = 1; i < 7; ++i) {
        // The impulse grows with the chamber pressure; in vacuum it is the larger.
        QVERIFY(chart.Series(0)->at(i).y() > chart.Series(0)->at(i - 1).y());
        QVERIFY(chart.Series(0)->at(i).y() > chart.Series(1)->at(i).y());
      }
      QVERIFY(chart.Series(0)->at(6).y() > 2500 && chart.Series(0)->at(6).y() < 3500);
      uitest::SaveShot(&chart, "chart_isp_chamber_pressure");
    });

    Mark("Isp(vac), m/s");  // off again
    Mark("Isp(amb), m/s");
    Mark("T, K");
    page_->YType()->setCurrentText("Concentration");
    QCOMPARE(page_->SelLabel()->text(), QString("1"));
    Mark("HCl");
    QCOMPARE(page_->SelLabel()->text(), QString("2"));
    PlotFromPage([&](TGR_Form& chart) {
      QCOMPARE(chart.SeriesCount(), 2);
      QVERIFY(chart.HasRightAxis());
      QCOMPARE(chart.LeftAxisTitle(), QString("T, K"));
      QCOMPARE(chart.RightAxisTitle(), QString("mol/kg"));
      QVERIFY(!chart.RightAxisLabels().isEmpty());
      QCOMPARE(chart.Series(0)->attachedAxes().size(), 2);
      QVERIFY(chart.Series(1)->attachedAxes().contains(
          chart.Chart()->axes(Qt::Vertical, chart.Series(1)).front()));
      uitest::SaveShot(&chart, "chart_t_and_species_two_axes");
      // Log-log: both vertical axes logarithmic.
      QTest::mouseClick(chart.LogXBox(), Qt::LeftButton);
      QTest::mouseClick(chart.LogYBox(), Qt::LeftButton);
      QVERIFY(chart.ShownY().log && chart.ShownY2().log);
      uitest::SaveShot(&chart, "chart_t_and_species_log_log");
    });
  }

  // Effective exhaust velocity against the expansion pressure of an area ratio list.
  void velocityAgainstAreaRatios() {
    RunExample([](Task& t) {
      t.expansionCode = kParamAreaRatio;
      example_run::SetSlotValues(t, 3, "2 4 6 8 10 15 20 30 40 50");
      example_run::SetSlotValues(t, 1, "7");
    });
    host_->show();
    page_->PreparePage();
    page_->YType()->setCurrentText("Parameter");
    ChooseX("Parameter", "Pa, MPa");
    Mark("Wa, m/s");
    PlotFromPage([&](TGR_Form& chart) {
      QCOMPARE(chart.SeriesCount(), 1);
      QCOMPARE(chart.Series(0)->count(), 11);  // throat and ten expansion points
      QCOMPARE(chart.ChartTitle(), QString());
      uitest::SaveShot(&chart, "chart_velocity_pressure");
      QTest::mouseClick(chart.LogXBox(), Qt::LeftButton);
      QTest::mouseClick(chart.LogYBox(), Qt::LeftButton);
      QCOMPARE(chart.LeftAxisTitle(), QString());
      // Log-log: the decades of the pressures, the velocities' own numbers.
      QVERIFY2(chart.AxisLabels(true).contains("0.1") && chart.AxisLabels(true).contains("1"),
               qPrintable(chart.AxisLabels(true).join("|")));
      QVERIFY2(chart.AxisLabels(false).contains("2,000"), qPrintable(chart.AxisLabels(false).join("|")));
      uitest::SaveShot(&chart, "chart_velocity_log_log");

      // Cursor read-out: the point under the pointer, in values.
      const QPointF value = chart.Series(0)->at(5);
      const QPointF inChart = chart.Chart()->mapToPosition(value, chart.Series(0));
      auto* view = static_cast<QGraphicsView*>(chart.ChartWidget());
      const QPoint at = view->mapFromScene(chart.Chart()->mapToScene(inChart));
      QMouseEvent move(QEvent::MouseMove, QPointF(at), view->mapToGlobal(QPointF(at)),
                       Qt::NoButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(static_cast<QGraphicsView*>(chart.ChartWidget())->viewport(), &move);
      QVERIFY(chart.CursorLabel()->isVisible());
      const QString text = chart.CursorLabel()->text();
      QVERIFY(text.startsWith("X = "));
      const QRectF area = chart.Chart()->plotArea();
      const double xPixel = (chart.ShownX().max - chart.ShownX().min) / area.width();
      const double yPixel = (chart.ShownY().max - chart.ShownY().min) / area.height();
      QVERIFY2(std::fabs(std::log10(ReadOut(text, "X = ")) - value.x()) <= 1.5 * xPixel + 1e-3,
               qPrintable(text));
      QVERIFY2(std::fabs(std::log10(ReadOut(text, "Y = ")) - value.y()) <= 1.5 * yPixel + 1e-3,
               qPrintable(text));
      // Outside the plotting rectangle the read-out is hidden.
      QMouseEvent out(QEvent::MouseMove, QPointF(2, 2), chart.ChartWidget()->mapToGlobal(QPointF(2, 2)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(static_cast<QGraphicsView*>(chart.ChartWidget())->viewport(), &out);
      QVERIFY(!chart.CursorLabel()->isVisible());

      // Log Y on and off twice leaves the left title empty and the values as they were.
      const double y0 = chart.Series(0)->at(0).y();
      QTest::mouseClick(chart.LogYBox(), Qt::LeftButton);
      QCOMPARE(chart.Series(0)->at(0).y(), std::pow(10.0, y0));
      QCOMPARE(chart.LeftAxisTitle(), QString());
      QTest::mouseClick(chart.LogYBox(), Qt::LeftButton);
      QTest::mouseClick(chart.LogYBox(), Qt::LeftButton);
      QCOMPARE(chart.LeftAxisTitle(), QString());
      QCOMPARE(chart.Series(0)->at(0).y(), std::pow(10.0, y0));
    });
  }

  // With the ',' decimal mark of a German desktop the plot still reads the table.
  void germanLocaleAndRefusals() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    RunExample([](Task& t) { example_run::PlainEquilibrium(t, kParamT, "2500 2000 3000", kParamP, "4"); });
    host_->show();
    page_->PreparePage();
    page_->YType()->setCurrentText("Parameter");
    ChooseX("Parameter", "T, K");
    Mark("V, cub.m/kg");
    Mark("H, kJ/kg");
    PlotFromPage([&](TGR_Form& chart) {
      QCOMPARE(chart.SeriesCount(), 2);
      QCOMPARE(chart.Series(0)->count(), 3);
      QCOMPARE(chart.Series(0)->at(0).x(), 2000.0);
      // H is negative: no log Y; the labels of the axis are written with '.'.
      QVERIFY(!chart.LogYBox()->isEnabled());
      QVERIFY(chart.LogXBox()->isEnabled());
      QVERIFY2(chart.AxisLabels(true).contains("2,000"), qPrintable(chart.AxisLabels(true).join("|")));
    });
    QVERIFY(ui_.messages.empty());

    // A component fraction as a function: refused.
    Mark("V, cub.m/kg");
    Mark("H, kJ/kg");
    Mark("NH4ClO4");
    bool opened = false;
    table_->SetChartHook([&](TGR_Form&) { opened = true; });
    QTest::mouseClick(page_->PlotButton(), Qt::LeftButton);
    QVERIFY(!opened);
    QCOMPARE(ui_.Texts().back(), std::string("Invalid value in the table. Graph cannot be plotted !"));
    table_->SetChartHook(nullptr);

    // Switching the kind keeps the marks (here NH4ClO4); an eleventh mark, of either
    // kind, is refused.
    page_->YType()->setCurrentText("Concentration");
    QCOMPARE(page_->SelLabel()->text(), QString("1"));
    for (int row = 1; row <= 10; ++row) page_->ToggleMark(row);
    QCOMPARE(page_->SelLabel()->text(), QString("10"));
    QCOMPARE(ui_.Texts().back(), std::string("Only 10 items are available"));
    page_->YType()->setCurrentText("Parameter");
    QCOMPARE(page_->SelLabel()->text(), QString("10"));
    QVERIFY(page_->YModel()->Marks()[RowOf(page_->YModel(), "NH4ClO4") - 1]);

    // F1 on the table view and the chart open their help.
    QTest::keyClick(table_.get(), Qt::Key_F1);
    QCOMPARE(help_.contexts.back(), kTableViewHelpContext);
  }

  // A damaged results file resets the lists; an empty one leaves them and disables Plot.
  void damagedAndEmptyResults() {
    RunExample(nullptr);
    host_->show();
    page_->PreparePage();
    QVERIFY(page_->XModel()->Rows().size() > 23);
    QFile rst(QString::fromStdString(session_->TablePath()));
    QVERIFY(rst.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const double cut[3] = {0, 5, 7};  // a record that ends after its element count
    rst.write(reinterpret_cast<const char*>(cut), sizeof cut);
    rst.close();
    page_->YType()->setCurrentText("Parameter");
    QCOMPARE(ui_.Texts().back(), std::string("File of results is corrupted !"));
    QCOMPARE(page_->XModel()->Rows().size(), size_t(1));
    QCOMPARE(page_->YModel()->Rows().size(), size_t(1));
    QVERIFY(rst.open(QIODevice::WriteOnly | QIODevice::Truncate));
    rst.close();
    page_->PreparePage();
    QVERIFY(!page_->PlotButton()->isEnabled());
    page_->XType()->setCurrentText("Concentration");
    QCOMPARE(ui_.Texts().back(), std::string("File of results is empty."));
  }

  // A chart made directly from a table: labels, editor, printing, export.
  void labelsEditorPrintAndExport() {
    ResultsTable t;
    t.titles = {"   T, K", " CO2", " H2O", " Al2O3(c)"};
    t.rows = {{"2000", "0.5", "2.5", "0"},
              {"2500", "0.75", "2.25", "0.25"},
              {"3000", "1", "2", "0.5"}};
    const QString pdfPath = dir_ + "/printed.pdf";
    std::function<void(ChartEditDialog&)> editScript;
    TGR_Form chart(t, true, "NoName", ui_, [&] {
      ChartServices s = Services();
      s.askPrinter = [&](QWidget*, QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
        return true;
      };
      s.runDialog = [&](QDialog& d) {
        editScript(static_cast<ChartEditDialog&>(d));
        return d.result() == QDialog::Accepted;
      };
      s.askText = [](QWidget*, const QString& title, const QString& prompt, const QString& old)
          -> std::optional<QString> {
        if (title != "Text Entry Form" || prompt != "New text") return std::nullopt;
        return "p = 4 MPa, " + old;
      };
      return s;
    }());
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    QCOMPARE(chart.SeriesCount(), 3);
    QVERIFY(!chart.LogYBox()->isEnabled());  // a zero amount

    // Printed with the legend beside the chart (the italic formula labels).
    QTest::mouseClick(chart.findChild<QPushButton*>("PrintBTN"), Qt::LeftButton);
    QCOMPARE(PdfPages(pdfPath), 1);
    QVERIFY(PdfHasItalicText(pdfPath));

    // Right click renames; a drop onto the chart makes it part of the chart.
    ChartLabel* label = chart.Label(0);
    QTest::mouseClick(label, Qt::RightButton);
    QCOMPARE(label->text(), QString("p = 4 MPa, CO2"));
    QMimeData mime;
    mime.setData("application/x-kvil-chart-label",
                 QByteArray::number(reinterpret_cast<qulonglong>(label)));
    const QRectF area = chart.Chart()->plotArea();
    const QPoint dropAt(int(area.left()) + 40, int(area.top()) + 30);
    DropOnto(static_cast<QGraphicsView*>(chart.ChartWidget())->viewport(), dropAt, &mime);
    QVERIFY(chart.LabelOnChart(label));
    QCOMPARE(label->pos(), dropAt);
    // A label dropped onto that label lands on the chart too, offset by its position.
    mime.setData("application/x-kvil-chart-label",
                 QByteArray::number(reinterpret_cast<qulonglong>(chart.Label(1))));
    DropOnto(label, QPoint(5, 3), &mime);
    QVERIFY(chart.LabelOnChart(chart.Label(1)));
    QCOMPARE(chart.Label(1)->pos(), dropAt + QPoint(5, 3));
    // Back beside the chart: not part of it.
    DropOnto(&chart, QPoint(chart.width() - 60, 200), &mime);
    QVERIFY(!chart.LabelOnChart(chart.Label(1)));
    uitest::SaveShot(&chart, "chart_dropped_label");

    // Print to PDF: one page with the chart and the dropped label.
    QTest::mouseClick(chart.findChild<QPushButton*>("PrintBTN"), Qt::LeftButton);
    QCOMPARE(PdfPages(pdfPath), 1);
    QVERIFY(PdfHasItalicText(pdfPath));
    // The same drawing on an image: the label's colour where the label was dropped, and
    // the labels beside the chart in the legend column.
    QImage page(1100, 850, QImage::Format_RGB32);
    page.fill(Qt::white);
    const QSize drawn = chart.RenderSize();
    QVERIFY(drawn.width() > chart.ChartWidget()->width());
    {
      QPainter p(&page);
      chart.RenderChart(p, QRect(110, 85, 880, 880 * drawn.height() / drawn.width()));
    }
    const double s = 880.0 / drawn.width();
    auto pixelsOf = [&](const QWidget* l, auto isColour) {
      const QPoint at = l->parentWidget() == &chart ? l->pos() : l->pos();
      const QRect box(110 + int(at.x() * s), 85 + int(at.y() * s), int(l->width() * s),
                      int(l->height() * s));
      int n = 0;
      for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) n += isColour(QColor(page.pixel(x, y)));
      return n;
    };
    const int blue = pixelsOf(label, [](QColor c) { return c.blue() > 200 && c.red() < 90; });
    QVERIFY2(blue > 20, qPrintable(QString::number(blue)));
    const int red = pixelsOf(chart.Label(1), [](QColor c) { return c.red() > 200 && c.blue() < 90; });
    QVERIFY2(red > 20, qPrintable(QString::number(red)));
    if (!uitest::ShotsDirectory().isEmpty()) page.save(uitest::ShotsDirectory() + "/chart_printed_page.png");

    // Export: PNG, SVG and PDF.
    for (const QString ext : {"png", "svg", "pdf"}) {
      files_.next = dir_ + "/chart." + ext;
      chart.ExportChart();
      QFile f(files_.next);
      QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(files_.next));
      const QByteArray head = f.read(64);
      if (ext == "png") QVERIFY(head.startsWith("\x89PNG"));
      if (ext == "pdf") QVERIFY(head.startsWith("%PDF"));
      if (ext == "svg") QVERIFY(head.contains("<?xml") || f.readAll().contains("<svg"));
    }
    // The exported picture holds the legend column: the label beside the chart is in it.
    const QImage exported(dir_ + "/chart.png");
    QCOMPARE(exported.width(), 2 * chart.RenderSize().width());
    {
      const QRect box(2 * chart.Label(1)->x(), 2 * chart.Label(1)->y(), 2 * chart.Label(1)->width(),
                      2 * chart.Label(1)->height());
      int red = 0;
      for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
          red += QColor(exported.pixel(x, y)).red() > 200 && QColor(exported.pixel(x, y)).blue() < 90;
      QVERIFY2(red > 20, qPrintable(QString::number(red)));
    }
    if (!uitest::ShotsDirectory().isEmpty())
      exported.save(uitest::ShotsDirectory() + "/chart_export_with_legend.png");
    QCOMPARE(PdfPages(dir_ + "/chart.pdf"), 1);
    QCOMPARE(files_.filters.size(), 3);

    // The editor: titles, a range, a colour, a width, the legend.
    chart.resize(700, 480);  // a resize puts the labels back beside the chart
    QVERIFY(!chart.LabelOnChart(label));
    editScript = [&](ChartEditDialog& dialog) {
      dialog.TitleEdit()->setText("Products");
      dialog.RangeEdit(2)->setText("0,1");
      dialog.RangeEdit(3)->setText("3");
      QTest::mouseClick(dialog.ColourButton(1), Qt::LeftButton);
      dialog.WidthBox(1)->setValue(4);
      dialog.LegendBox()->setChecked(true);
      dialog.show();
      uitest::SaveShot(&dialog, "chart_editor");
      dialog.accept();
    };
    QTest::mouseClick(chart.findChild<QPushButton*>("EditBTN"), Qt::LeftButton);
    QCOMPARE(chart.ChartTitle(), QString("Products"));
    uitest::SaveShot(&chart, "chart_edited");
    QCOMPARE(chart.Series(1)->pen().color(), QColor(Qt::darkGreen));
    QCOMPARE(chart.Series(1)->pen().width(), 4);
    auto* left = static_cast<QCategoryAxis*>(chart.Chart()->axes(Qt::Vertical).front());
    QCOMPARE(left->min(), 0.1);
    QCOMPARE(left->max(), 3.0);
    {
      ChartEditDialog bad(chart.CurrentAppearance(), ui_, &colour_, &chart);
      bad.RangeEdit(0)->setText("5000");
      bad.accept();
      QVERIFY(bad.result() != QDialog::Accepted);
      QCOMPARE(ui_.Texts().back(), std::string("The minimum of an axis must be below its maximum."));
    }

    // Only one data row: the axes still have a width.
    ResultsTable one;
    one.titles = {"X", "Y"};
    one.rows = {{"5", "7"}};
    TGR_Form single(one, false, "NoName", ui_, Services());
    auto* bottom = static_cast<QCategoryAxis*>(single.Chart()->axes(Qt::Horizontal).front());
    QVERIFY(bottom->max() > bottom->min());
    QTest::keyClick(&single, Qt::Key_F1);
    QCOMPARE(help_.contexts.back(), kChartHelpContext);
  }
};

QTEST_MAIN(AnalysisWindowsTest)
#include "analysis_test.moc"
