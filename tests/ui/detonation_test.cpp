// The detonation as a user runs it from the window: the BKW equation of state and the
// Detonation template on the settings page (with the refusals of its density field), a
// run over a list of initial densities of RDX, the report's section "Detonation
// parameters" on the results page, and the chart D(rho0) from the analysis page.
#include "core/session.h"
#include "results/table_file.h"
#include "task/task.h"
// clang-format off
#include <QtTest>
// clang-format on
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLineSeries>
#include <QListView>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <fstream>

#include "common/interaction.h"
#include "thermo/bkw.h"
#include "ui/analysis_page.h"
#include "ui/chart_window.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"
#include "ui/results_page.h"
#include "ui/settings_page.h"
#include "ui/spec_page.h"
#include "ui/support/scripted.h"
#include "ui/support/shots.h"
#include "ui/table_view_window.h"

using namespace kvil;
using namespace kvil::uitest;

class DetonationWindowTest : public QObject {
  Q_OBJECT
  QString home_;
  RecordingInteraction ui_;
  ScriptedFiles files_;
  RecordingHelp help_;
  FixedColour colours_;
  std::unique_ptr<TKVILForm> window_;

  void TypeField(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
  }
  // Leaves the field the way a user does: the focus goes elsewhere.
  void Leave(QWidget* elsewhere) {
    elsewhere->setFocus();
    QApplication::processEvents();
  }

 private Q_SLOTS:
  void initTestCase() { home_ = QDir::currentPath(); }
  void cleanup() {
    if (window_) {
      ui_.Script({Answer::No});
      window_->close();
    }
    window_.reset();
    QDir::setCurrent(home_);
  }

  void detonationOfRdxFromTheWindow() {
    const QString dir = ScratchDirectory("detonation");
    QDir::setCurrent(dir);
    std::ofstream(QDir(dir).filePath("kvil.pth").toStdString()) << KVIL_DB_DIR << "/\n";
    const QString data = QStringLiteral(KVIL_TEST_DATA_DIR "/detonation/rdx");
    QFile::copy(data + ".dat", "rdx.dat");
    QFile::copy(data + ".tdf", "rdx.tdf");
    window_ = std::make_unique<TKVILForm>(ui_, MainWindowServices{&files_, &colours_, &help_, nullptr});
    QVERIFY(window_->Start("", ""));
    window_->resize(900, 680);
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QVERIFY(window_->OpenDatafile(QDir::current().absoluteFilePath("rdx.dat")));
    ui_.Clear();

    // Page 1: the first parameter is "Template".
    window_->pages()->setCurrentIndex(TKVILForm::kSpecPage);
    QComboBox* first = window_->specPage()->findChild<QComboBox*>("chooser1");
    QVERIFY(first);
    first->setFocus();
    first->setCurrentIndex(6);
    Q_EMIT first->activated(6);

    // Page 5: BKW EOS with BKWR, the Detonation template and its densities.
    window_->pages()->setCurrentIndex(TKVILForm::kSettingsPage);
    SettingsPage* page = window_->settingsPage();
    QAbstractButton* bkw = page->group(kOptEos)->button(3);
    QVERIFY(bkw);
    QCOMPARE(bkw->text(), QStringLiteral("BKW EOS"));
    bkw->click();
    QCOMPARE(int(window_->session().task.options[kOptEos]), kEosBkw);
    QCOMPARE(page->bkwSetChooser()->currentText(), QStringLiteral("BKWR"));
    QCOMPARE(page->bkwSetChooser()->count(), 2);
    QCOMPARE(page->templateBox(3)->text(), QStringLiteral(" Detonation"));
    page->templateBox(3)->click();
    QCOMPARE(int(window_->session().task.options[kOptTemplateDetonation]), 1);
    QVERIFY(window_->optionSummary().startsWith("BKW EOS; "));
    QVERIFY(window_->templateIndicatorVisible());

    // The density field refuses what is no density of an explosive, and keeps the focus.
    QLineEdit* densities = page->densitiesField();
    QLineEdit* p0 = page->field(SettingsField::DetonationP0);
    QCOMPARE(densities->text(), QStringLiteral("1.8"));
    QCOMPARE(p0->text(), QStringLiteral("0.1"));
    TypeField(densities, "0");
    Leave(p0);
    QCOMPARE(ui_.Texts().back(), std::string("This parameter must have the positive value."));
    QCOMPARE(page->RefusedField(), static_cast<QWidget*>(densities));
    TypeField(densities, "1.2 6");
    Leave(p0);
    QCOMPARE(ui_.Texts().back(), std::string("The initial density must not exceed 5 g/cm3."));
    TypeField(densities, "1.4 x");
    Leave(p0);
    QCOMPARE(ui_.Texts().back(), std::string("Wrong number: x"));
    QCOMPARE(window_->session().settings.record.detonationCount, 1);
    ui_.Clear();
    TypeField(densities, "1 1.1 1.2 1.3 1.4 1.5 1.6 1.7 1.8");
    Leave(p0);
    QVERIFY(ui_.messages.empty());
    QCOMPARE(window_->session().settings.record.detonationCount, 9);
    QCOMPARE(densities->text(), QStringLiteral("1 1.1 1.2 1.3 1.4 1.5 1.6 1.7 1.8"));
    SaveShot(window_.get(), "detonation_settings_page");

    // The run: one CJ point per density, no message.
    QVERIFY(window_->RunCalculation());
    QVERIFY2(ui_.messages.empty(), ui_.messages.empty() ? "" : ui_.Texts().front().c_str());
    Session& s = window_->session();
    std::vector<ResultsRecord> records;
    QCOMPARE(ReadResultsTable(s.TablePath(), records), TableReadStatus::Ok);
    QCOMPARE(int(records.size()), 9);

    // The report's section, found with the search of the results page.
    window_->pages()->setCurrentIndex(TKVILForm::kResultsPage);
    ResultsPage* results = window_->resultsPage();
    results->searchText()->setText("Detonation parameters (initial density 1.8 g/cm3)");
    results->Search();
    QVERIFY(!results->list()->selectionModel()->selectedIndexes().isEmpty());
    QApplication::processEvents();
    SaveShot(window_.get(), "detonation_report");

    // The analysis page: D against rho0, plotted.
    window_->pages()->setCurrentIndex(TKVILForm::kAnalysisPage);
    AnalysisPage* analysis = window_->analysisPage();
    analysis->XType()->setCurrentText("Parameter");
    analysis->YType()->setCurrentText("Parameter");
    auto rowOf = [](AnalysisListModel* model, const QString& text) {
      const auto& rows = model->Rows();
      for (size_t i = 0; i < rows.size(); ++i)
        if (QString::fromStdString(rows[i]).trimmed() == text) return int(i) + 1;
      return 0;
    };
    const int x = rowOf(analysis->XModel(), "rho0, g/cm3");
    QVERIFY(x > 0);
    analysis->XList()->setCurrentIndex(analysis->XModel()->index(x - 1, 0));
    const int y = rowOf(analysis->YModel(), "D, m/s");
    QVERIFY(y > 0);
    QTableView* list = analysis->YList();
    list->scrollTo(analysis->YModel()->index(y - 1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(analysis->YModel()->index(y - 1, 0)).center());
    QApplication::processEvents();
    SaveShot(window_.get(), "detonation_analysis_page");
    TViewForm* table = window_->findChild<TViewForm*>();
    if (!table) {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* t = qobject_cast<TViewForm*>(w)) table = t;
    }
    QVERIFY(table);
    bool plotted = false;
    table->SetChartHook([&](TGR_Form& chart) {
      plotted = true;
      chart.resize(760, 520);
      chart.show();
      QVERIFY(QTest::qWaitForWindowExposed(&chart));
      QCOMPARE(chart.SeriesCount(), 1);
      QLineSeries* d = chart.Series(0);
      QCOMPARE(d->count(), 9);
      for (int i = 1; i < d->count(); ++i) {
        QVERIFY(d->at(i).x() > d->at(i - 1).x());
        QVERIFY(d->at(i).y() > d->at(i - 1).y());  // D grows with the initial density
      }
      QVERIFY(std::fabs(d->at(8).y() - 8754) < 0.02 * 8754);
      SaveShot(&chart, "detonation_chart_d_rho0");
      chart.close();
    });
    QTest::mouseClick(analysis->PlotButton(), Qt::LeftButton);
    table->SetChartHook(nullptr);
    QVERIFY(plotted);
  }
};

QTEST_MAIN(DetonationWindowTest)
#include "detonation_test.moc"
