// The main window as a user meets it: the frame, typing a task into the first page, the
// parameter choosers, the file commands with scripted dialogs and answers, and a run
// from the window with its progress window and report.
#include "core/file_commands.h"
#include "core/session.h"
#include "results/table_file.h"
#include "task/elements.h"
#include "task/task.h"
// clang-format off
#include <QtTest>
// clang-format on
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QButtonGroup>
#include <QGroupBox>
#include <QCheckBox>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QMessageBox>
#include <QTimer>
#include <QToolBar>
#include <fstream>

#include "common/interaction.h"
#include "core/run.h"
#include "task/settings.h"
#include "thermo/species_catalog.h"
#include "ui/main_window.h"
#include "ui/qt_interaction.h"
#include "ui/progress_window.h"
#include "ui/results_page.h"
#include "ui/settings_page.h"
#include "ui/qt_services.h"
#include "ui/about_window.h"
#include "ui/analysis_page.h"
#include "ui/elemental_window.h"
#include "ui/species_page.h"
#include "ui/spec_page.h"
#include "ui/support/scripted.h"
#include "ui/support/shots.h"

using namespace kvil;
using namespace kvil::uitest;

namespace {

// Records every message and drives the real progress window, as the program's
// interaction does; a hook runs whenever the run lets pending input through.
class WindowInteraction : public RecordingInteraction {
 public:
  void ShowProgress(bool visible) override {
    RecordingInteraction::ShowProgress(visible);
    if (view) view->ShowProgress(visible);
  }
  void SetProgressLabels(const ProgressLabels& l) override {
    RecordingInteraction::SetProgressLabels(l);
    if (view) view->SetLabels(QString::fromStdString(l.parameter1),
                              QString::fromStdString(l.parameter2),
                              QString::fromStdString(l.parameterVariant),
                              QString::fromStdString(l.componentVariant));
    if (view) view->SetPoint(l.point, l.points);
  }
  void SetProgressPosition(int p) override {
    RecordingInteraction::SetProgressPosition(p);
    if (view) view->SetPosition(p);
  }
  void ProcessPendingInput() override {
    RecordingInteraction::ProcessPendingInput();
    QCoreApplication::processEvents();
    if (onPending) onPending();
  }
  ProgressView* view = nullptr;
  std::function<void()> onPending;
};

// Runs `act` on the next modal window (a message box, a file dialog) once it shows.
void WhenModalShows(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(modal);
  });
  timer->start();
}

std::string ReadAll(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int RecordCount(const std::string& path) {
  std::vector<ResultsRecord> records;
  const TableReadStatus status = ReadResultsTable(path, records);
  if (status != TableReadStatus::Ok && status != TableReadStatus::Empty) return -1;
  return static_cast<int>(records.size());
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

  QString home_;
  int counter_ = 0;
  WindowInteraction* ui_ = nullptr;
  ScriptedFiles* files_ = nullptr;
  RecordingHelp* help_ = nullptr;
  FixedColour* colours_ = nullptr;
  ScriptedPicker* picker_ = nullptr;
  TKVILForm* window_ = nullptr;
  QString statusAfterStart_;  // the status line as the start left it

  // A started, shown and active main window in a fresh working folder that knows the
  // species database; `beforeStart` runs in that folder before the program starts.
  void Open(bool withPicker = false, const std::function<void()>& beforeStart = {}) {
    const QString dir = QDir(home_).filePath(QStringLiteral("scratch/main%1").arg(++counter_));
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QDir::setCurrent(dir);
    if (beforeStart) beforeStart();
    std::ofstream(QDir(dir).filePath("kvil.pth").toStdString()) << KVIL_DB_DIR << "/\n";
    ui_ = new WindowInteraction;
    files_ = new ScriptedFiles;
    help_ = new RecordingHelp;
    colours_ = new FixedColour;
    picker_ = new ScriptedPicker;
    MainWindowServices services{files_, colours_, help_, withPicker ? picker_ : nullptr};
    window_ = new TKVILForm(*ui_, services);
    ui_->view = &window_->progressWindow();
    QVERIFY(window_->Start("", ""));
    statusAfterStart_ = window_->statusMessage();
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_));
  }

  void Close() {
    if (window_) {
      ui_->Script({Answer::No});  // "Save datafile ..." when asked
      window_->close();
    }
    delete window_;
    window_ = nullptr;
    delete ui_;
    delete files_;
    delete help_;
    delete colours_;
    delete picker_;
    ui_ = nullptr;
    files_ = nullptr;
    help_ = nullptr;
    colours_ = nullptr;
    picker_ = nullptr;
    QDir::setCurrent(home_);
  }

  SpecPage* Spec() { return window_->specPage(); }

  // Types `text` into a cell of the component grid: the cell's editor is opened (on the
  // offscreen platform its focus arrives late and would select a first typed key), the
  // text typed, Return takes it in.
  void TypeCell(int row, int column, const QString& text) {
    QTableView* grid = Spec()->grid();
    grid->setFocus();
    const QModelIndex index = grid->model()->index(row - 1, column);
    grid->setCurrentIndex(index);  // without a components library this opens the editor
    if (QApplication::focusWidget() == grid) grid->edit(index);
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(editor && editor != grid);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();  // the delegate takes the text in from the event loop
  }

  void LeaveGrid() {
    Spec()->commentField()->setFocus();
    QApplication::processEvents();
  }

  void TypeField(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
  }

  void Choose(QComboBox* box, int entry) {
    box->setFocus();
    box->setCurrentIndex(entry);
    Q_EMIT box->activated(entry);
  }

  void LoadExample() {
    const QString example = QStringLiteral(KVIL_SOURCE_DIR "/examples/propellant");
    QFile::copy(example + ".dat", "propellant.dat");
    QFile::copy(example + ".tdf", "propellant.tdf");
    QVERIFY(window_->OpenDatafile(QDir::current().absoluteFilePath("propellant.dat")));
  }

 private Q_SLOTS:
  void initTestCase() { home_ = QDir::currentPath(); }
  void cleanup() { Close(); }

  void frameShowsCaptionToolBarPagesAndStatus() {
    Open();
    QCOMPARE(window_->windowTitle(),
             QStringLiteral("Calculation of Equilibrium Composition  (NoName)"));
    QStringList captions;
    for (QAction* a : window_->findChild<QToolBar*>("toolBar")->actions())
      if (!a->text().isEmpty()) captions << a->text();
    QCOMPARE(captions, QStringList({"&Open", "&Save", "&Info", "&Run", "&New", "Sa&veAs",
                                    "&Delete", "&About", "&Help", "E&xit"}));
    QCOMPARE(window_->action("actionRun")->statusTip(), QStringLiteral("Start calculation process."));
    QTabWidget* tabs = window_->pages();
    QCOMPARE(tabs->tabPosition(), QTabWidget::South);
    QCOMPARE(tabs->tabText(0), QStringLiteral("&1) Equilibrium specification"));
    QCOMPARE(tabs->tabText(4), QStringLiteral("&5) Settings"));
    QVERIFY(window_->optionSummary().startsWith("Ideal gas EOS"));
    QVERIFY(!window_->fixedIndicatorVisible());
    QCOMPARE(QApplication::focusWidget(), Spec()->FirstValueField());
    for (const char* f : {"NoName.txt", "NoName.tdf", "NoName.rst"}) QVERIFY(QFile::exists(f));
    SaveShot(window_, "main_spec_page");

    // Alt+1..Alt+5 change pages; the page's Run and Info are the tool bar's commands.
    for (int page = 5; page >= 1; --page) {
      QTest::keyClick(window_, Qt::Key(Qt::Key_0 + page), Qt::AltModifier);
      QCOMPARE(tabs->currentIndex(), page - 1);
    }
    QCOMPARE(Spec()->findChild<QPushButton*>("runButton")->shortcut(), QKeySequence());
    QCOMPARE(window_->action("actionRun")->shortcut(), QKeySequence("Alt+R"));
    QTest::keyClick(window_, Qt::Key_F1);
    QCOMPARE(help_->contexts.size(), 1);
  }

  void settingsPageChecksItsFields() {
    Open();
    QTest::keyClick(window_, Qt::Key_5, Qt::AltModifier);
    SettingsPage* page = window_->settingsPage();
    SettingsRecord& record = window_->session().settings.record;

    // A negative powder-force pressure is refused and the old value shown again; a
    // negative powder-force energy is accepted.
    QLineEdit* pressure = page->field(SettingsField::PowderP);
    QCOMPARE(pressure->text(), QStringLiteral("300"));
    TypeField(pressure, "-5");
    page->field(SettingsField::PowderU)->setFocus();
    QVERIFY(ui_->Saw("This parameter must have the positive value."));
    QCOMPARE(pressure->text(), QStringLiteral("300"));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(pressure));
    QCOMPARE(record.powderP, 300.0f);
    TypeField(page->field(SettingsField::PowderU), "-250.5");
    page->field(SettingsField::HeatV)->setFocus();
    QCOMPARE(record.powderU, -250.5f);
    TypeField(page->field(SettingsField::Cutoff), "abc");
    QVERIFY(!window_->ValidateAllFields());
    QVERIFY(ui_->Saw("Wrong number: abc"));
    TypeField(page->field(SettingsField::Cutoff), "1e-5");
    QVERIFY(window_->ValidateAllFields());
    QCOMPARE(record.cutoff, 1e-5);

    // Sound velocity cannot be unticked while the throat is computed.
    page->specialBox(3)->setChecked(true);
    QVERIFY(page->specialBox(4)->isChecked());
    page->specialBox(4)->click();
    QVERIFY(ui_->Saw("Sound velocity must be computed to determine the throat parameters"));
    QVERIFY(page->specialBox(4)->isChecked());

    // Options go into the task and the summary.
    page->group(kOptEos)->button(1)->click();
    QCOMPARE(int(window_->session().task.options[kOptEos]), 2);
    QVERIFY(window_->optionSummary().startsWith("Virial"));

    // The colour panels go through the colour dialog into the record and the palette.
    colours_->colour = QColor(10, 20, 30);
    page->highlightPanel()->click();
    QCOMPARE(record.highlightColor, 10 | (20 << 8) | (30 << 16));
    QCOMPARE(QApplication::palette().color(QPalette::Highlight), QColor(10, 20, 30));
    SaveShot(window_, "main_settings_page");
  }

  void ionsOffRemovesTheIonSpecies() {
    Open();
    LoadExample();
    const auto ions = [&] {
      int n = 0;
      const SpeciesList& list = window_->session().task.species;
      for (int i = 1; i <= list.total; ++i)
        if (list.items[i].displayName.find_first_of("+-") != std::string::npos) ++n;
      return n;
    };
    QCOMPARE(ions(), 0);
    QTest::keyClick(window_, Qt::Key_5, Qt::AltModifier);
    window_->settingsPage()->specialBox(2)->click();
    QVERIFY(ions() > 0);
    window_->settingsPage()->specialBox(2)->click();
    QCOMPARE(ions(), 0);
  }

  void speciesPageMarksFixedAmountsAndSearch() {
    Open();
    LoadExample();
    QTest::keyClick(window_, Qt::Key_2, Qt::AltModifier);
    SpeciesPage* page = window_->speciesPage();
    Session& s = window_->session();
    page->Reread();
    const int total = s.task.species.total;
    QVERIFY(total > 20);
    for (int i = 1; i <= total; ++i) QCOMPARE(int(s.task.species.items[i].entry.selected), 1);
    QVERIFY2(page->countsText().contains(QString("Total: %1").arg(total)), qPrintable(page->countsText()));
    QVERIFY(page->countsText().contains(QString("selected: %1").arg(total)));
    QCOMPARE(page->shownRows(), total);

    // Unmark the first three by clicks in the Mark column, then show the selected only.
    QTableView* grid = page->grid();
    for (int r = 0; r < 3; ++r) {
      const QRect cell = grid->visualRect(grid->model()->index(r, 1));
      QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }
    QCOMPARE(int(s.task.species.items[2].entry.selected), 0);
    QVERIFY(page->countsText().contains(QString("selected: %1").arg(total - 3)));

    // A fixed amount typed on the species "H2O" stays with it through both views.
    int waterRow = -1;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
      if (grid->model()->index(r, 3).data().toString() == "H2O") waterRow = r;
    QVERIFY(waterRow > 3);
    page->ToggleShowSelected();
    QCOMPARE(page->shownRows(), total - 3);
    QCOMPARE(page->showButton()->text(), QStringLiteral("Sho&w All"));
    int shownWater = -1;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
      if (grid->model()->index(r, 3).data().toString() == "H2O") shownWater = r;
    QCOMPARE(shownWater, waterRow - 3);
    grid->model()->setData(grid->model()->index(shownWater, 4), "1.5");
    SaveShot(window_, "main_species_page_selected");
    page->ToggleShowSelected();
    QCOMPARE(grid->model()->index(waterRow, 4).data().toString(), QStringLiteral("1.5"));
    QCOMPARE(grid->model()->index(waterRow - 3, 4).data().toString(), QString());
    QTest::keyClick(window_, Qt::Key_1, Qt::AltModifier);  // leaving collects the amounts
    QCOMPARE(s.task.fixedCount, 1);
    QCOMPARE(QString::fromStdString(s.task.fixed[1].name), QStringLiteral("H2O"));
    QCOMPARE(s.task.fixed[1].value, 1.5f);
    QVERIFY(window_->fixedIndicatorVisible());

    // A refused amount keeps the user on the page.
    QTest::keyClick(window_, Qt::Key_2, Qt::AltModifier);
    grid->model()->setData(grid->model()->index(waterRow, 4), "x1");
    QTest::keyClick(window_, Qt::Key_1, Qt::AltModifier);
    QCOMPARE(window_->pages()->currentIndex(), int(TKVILForm::kSpeciesPage));
    grid->model()->setData(grid->model()->index(waterRow, 4), "");

    // Formula search.
    page->searchText()->setText("CO2");
    QCOMPARE(grid->currentIndex().data().toString(), QStringLiteral("CO2"));
    page->searchText()->setText("NoSuchThing");
    page->FindNext();
    QVERIFY(ui_->Saw("Substring: NoSuchThing not found."));
    SaveShot(window_, "main_species_page");
  }

  void infoShowsTheElementalCompositionOfEveryVariant() {
    Open();
    TypeCell(1, 1, "C2H5NO3");
    TypeCell(1, 2, "100 50");
    TypeCell(2, 1, "C7H8");
    TypeCell(2, 2, "0 50");
    LeaveGrid();
    QTest::keyClick(window_, Qt::Key_I, Qt::AltModifier);
    TInfo* info = window_->findChild<TInfo*>();
    QVERIFY(info && info->isVisible());
    QCOMPARE(info->windowTitle(), QStringLiteral("Elemental composition"));
    QCOMPARE(info->cellText(0, 1).trimmed(), QStringLiteral("1"));
    QCOMPARE(info->cellText(0, 2).trimmed(), QStringLiteral("2"));
    // Oxidizer/fuel ratio by hand from the element amounts: N is inert, O has valence 2,
    // C 4 and H 1.
    for (int variant = 1; variant <= 2; ++variant) {
      double b[128] = {};
      int ratioRow = -1;
      for (int r = 1; r < info->table()->model()->rowCount(); ++r) {
        const QString caption = info->cellText(r, 0).trimmed();
        if (caption == "Oxidizer/Fuel") ratioRow = r;
        if (caption.size() <= 2) b[caption.at(0).toLatin1()] = info->cellText(r, variant).toDouble();
      }
      QVERIFY(ratioRow > 0);
      const double expected = 2 * b['O'] / (4 * b['C'] + b['H']);
      QVERIFY(std::abs(info->cellText(ratioRow, variant).toDouble() - expected) < 1e-3);
    }
    SaveShot(info, "elemental_window");
    files_->answers << QDir::current().absoluteFilePath("info.txt")
                    << QDir::current().absoluteFilePath("info.txt");
    QVERIFY(info->Save());
    QVERIFY(info->Save());
    const std::string text = ReadAll("info.txt");
    QCOMPARE(std::count(text.begin(), text.end(), '\\'), 2L);  // the header twice
    info->close();
  }

  void everyMnemonicOfAPageIsUnique() {
    Open(/*withPicker=*/true);
    const auto mnemonic = [](const QString& text) -> QChar {
      const int at = text.indexOf('&');
      return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : QChar();
    };
    for (int page = 0; page < 5; ++page) {
      window_->pages()->setCurrentIndex(page);
      QMap<QChar, QString> seen;
      const auto add = [&](const QString& text) {
        const QChar m = mnemonic(text);
        if (m.isNull()) return;
        QVERIFY2(!seen.contains(m), qPrintable(QString("page %1: %2 and %3 share Alt+%4")
                                                   .arg(page + 1).arg(seen[m], text, m)));
        seen[m] = text;
      };
      for (QAction* a : window_->findChild<QToolBar*>("toolBar")->actions()) add(a->text());
      for (int t = 0; t < 5; ++t) add(window_->pages()->tabText(t));
      QWidget* current = window_->pages()->currentWidget();
      for (QAbstractButton* b : current->findChildren<QAbstractButton*>())
        if (!b->shortcut().isEmpty()) add(b->text());
      for (QLabel* l : current->findChildren<QLabel*>())
        if (l->buddy()) add(l->text());
      for (QGroupBox* g : current->findChildren<QGroupBox*>()) add(g->title());
    }
  }

  void helpOpensAtTheFieldEnteredLastAndAboutCloses() {
    Open();
    Spec()->stepField(2)->setFocus();
    QTest::keyClick(window_, Qt::Key_F1);
    QCOMPARE(help_->contexts.last(), 8);  // step fields
    Spec()->grid()->setFocus();
    QTest::keyClick(window_, Qt::Key_F1);
    QCOMPARE(help_->contexts.last(), 11);  // component grid
    // The help pages built into the program open at that context.
    HelpWindow help;
    help.ShowHelp(window_, 8);
    QVERIFY(help.CurrentAddress().endsWith("#ctx8"));
    QVERIFY(help.findChild<QTextBrowser*>()->toPlainText().contains("Step value"));
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    SaveShot(&help, "help_window");
    help.close();
    TAboutForm about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    SaveShot(&about, "about_window");
    QTest::keyClick(&about, Qt::Key_Space);
    QVERIFY(!about.isVisible());
  }

  void typedComponentsGiveTheSystemsElements() {
    Open();
    TypeCell(1, 1, "C2H5NO3");
    TypeCell(1, 2, "100");
    LeaveGrid();
    const Task& task = window_->session().task;
    QStringList elements;
    for (int i = 1; i <= task.elementCount; ++i)
      elements << ElementSymbol(task.elements[i].index);
    elements.sort();
    QCOMPARE(elements, QStringList({"C", "H", "N", "O"}));
    QCOMPARE(QString::fromStdString(task.components[1].formula), QStringLiteral("C2H5NO3"));
    QVERIFY(ui_->messages.empty());

    // Typed but not yet entered: Info straight from the open cell takes the text in.
    {
      QTableView* grid = Spec()->grid();
      grid->setFocus();
      grid->setCurrentIndex(grid->model()->index(0, 2));
      if (QApplication::focusWidget() == grid) grid->edit(grid->currentIndex());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(QApplication::focusWidget(), "200");
      QTest::keyClick(window_, Qt::Key_I, Qt::AltModifier);
      QCOMPARE(QString::fromStdString(task.components[1].amountText), QStringLiteral("200"));
      if (QWidget* info = window_->findChild<TInfo*>()) info->close();
      window_->activateWindow();
      QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(window_));
    }

    // A bracket is refused; the cell keeps the focus.
    TypeCell(2, 1, "Ca(OH)2");
    TypeCell(2, 2, "5");
    LeaveGrid();
    QVERIFY(ui_->Saw("Invalid formula: Ca(OH)2"));
    QTRY_VERIFY(Spec()->grid()->hasFocus());
    QCOMPARE(Spec()->grid()->currentIndex().row(), 1);
    QCOMPARE(Spec()->grid()->currentIndex().column(), 1);
    SaveShot(window_, "main_invalid_formula");

    // Shift+click on a row clears it after the question.
    ui_->Script({Answer::Yes});
    QTableView* grid = Spec()->grid();
    const QRect cell = grid->visualRect(grid->model()->index(1, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, cell.center());
    QVERIFY(ui_->Saw("Clear all cells in current row?"));
    QCOMPARE(Spec()->cellText(2, 1), QString());
    QCOMPARE(Spec()->cellText(2, 2), QString());
  }

  void componentsAndRangesThatAreNoneAreRefusedWhereTheyAreTyped() {
    Open();
    TypeCell(1, 1, "H2");
    TypeCell(1, 2, "11.19");
    // Two formulas in one cell: refused naming the row, the focus back on the cell.
    TypeCell(2, 1, "CH4 O2");
    TypeCell(2, 2, "5");
    LeaveGrid();
    QVERIFY(ui_->Saw("Source component 2: the formula \"CH4 O2\" holds a blank.\nGive each "
                     "component a row of its own."));
    QTRY_VERIFY(Spec()->grid()->hasFocus());
    QCOMPARE(Spec()->grid()->currentIndex().row(), 1);
    QCOMPARE(Spec()->grid()->currentIndex().column(), 1);
    SaveShot(window_, "main_two_formulas_in_a_cell");
    // A negative amount likewise, with the focus on the amount.
    ui_->Clear();
    TypeCell(2, 1, "O2");
    TypeCell(2, 2, "-5");
    LeaveGrid();
    QVERIFY(ui_->Saw("Source component 2: the amount -5 is negative.\nAmounts are mass parts of "
                     "0 or more."));
    QTRY_VERIFY(Spec()->grid()->hasFocus());
    QCOMPARE(Spec()->grid()->currentIndex().column(), 2);
    TypeCell(2, 2, "88.81");
    ui_->Clear();
    LeaveGrid();
    QVERIFY(ui_->messages.empty());

    // A range whose step leads away from its end keeps the step field.
    Choose(Spec()->firstChooser(), 0);  // p
    TypeField(Spec()->valueField(1), "1 20");
    Spec()->commentField()->setFocus();
    TypeField(Spec()->stepField(1), "-1");
    Spec()->commentField()->setFocus();
    QVERIFY(ui_->Saw("The step of the first parameter, -1, does not lead from 1 to 20."));
    QTRY_COMPARE(QApplication::focusWidget(), Spec()->stepField(1));
    SaveShot(window_, "main_step_away_from_end");
    TypeField(Spec()->stepField(1), "1");
    Spec()->commentField()->setFocus();
    QCOMPARE(window_->session().task.slots[1].step, 1.0f);
  }

  void parameterChoosersAndTemplate() {
    Open();
    // The second parameter is T; T as the first as well is refused and cleared.
    QCOMPARE(Spec()->secondChooser()->currentText(), QStringLiteral("T"));
    Choose(Spec()->firstChooser(), 1);
    QVERIFY(ui_->Saw("Equilibrium must be specified by different parameters !"));
    QCOMPARE(Spec()->firstChooser()->currentIndex(), -1);
    QCOMPARE(window_->session().task.firstCode, int(kParamNone));

    // A refused value list keeps the focus and its text.
    Choose(Spec()->firstChooser(), 0);  // p
    TypeField(Spec()->valueField(1), "4 -7");
    Spec()->commentField()->setFocus();
    QVERIFY(ui_->Saw("Given parameter must have positive value!"));
    QTRY_COMPARE(QApplication::focusWidget(), Spec()->valueField(1));
    // Changing the page with a refused value keeps the page and the focus.
    TypeField(Spec()->valueField(1), "4 7 10x");
    ui_->Clear();
    QTest::keyClick(window_, Qt::Key_3, Qt::AltModifier);
    QVERIFY(ui_->Saw("Invalid number: 10x"));
    QCOMPARE(window_->pages()->currentIndex(), int(TKVILForm::kSpecPage));
    QTRY_COMPARE(QApplication::focusWidget(), Spec()->valueField(1));
    TypeField(Spec()->valueField(1), "4 7 10");
    Spec()->commentField()->setFocus();
    QCOMPARE(window_->session().task.slots[1].count, 3);
    QVERIFY(Spec()->unitChooser(1)->isEnabled());
    QCOMPARE(Spec()->unitChooser(1)->currentText(), QStringLiteral("MPa"));

    Choose(Spec()->firstChooser(), 6);  // Template
    for (int slot = 1; slot <= 3; ++slot) {
      QVERIFY(!Spec()->valueField(slot)->isEnabled());
      QVERIFY(Spec()->valueField(slot)->text().isEmpty());
      QVERIFY(!Spec()->stepField(slot)->isEnabled());
      QVERIFY(!Spec()->unitChooser(slot)->isEnabled());
    }
    QVERIFY(window_->templateIndicatorVisible());
    QCOMPARE(window_->session().task.secondCode, int(kParamNone));
    SaveShot(window_, "main_template");
  }

  void componentPickerFillsTheRow() {
    Open(/*withPicker=*/true);
    QVERIFY(Spec()->databaseButton()->isEnabled());
    picker_->pick = PickedComponent{QStringLiteral("C3H6N6O6"), 301.4444f};
    QTableView* grid = Spec()->grid();
    const QRect cell = grid->visualRect(grid->model()->index(0, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QCOMPARE(picker_->picks, 1);
    QCOMPARE(Spec()->cellText(1, 1), QStringLiteral("C3H6N6O6"));
    QCOMPARE(Spec()->cellText(1, 4), QStringLiteral("301.444"));
    // A filled row asks before it is replaced.
    ui_->Script({Answer::No});
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QVERIFY(ui_->Saw("Replace information in this row?"));
    QCOMPARE(picker_->picks, 1);
    Close();
    Open(/*withPicker=*/false);
    QVERIFY(!Spec()->databaseButton()->isEnabled());
  }

  void saveOfANoNameTaskCarriesTheResultsOver() {
    Open();
    TypeCell(1, 1, "C2H5NO3");
    TypeCell(1, 2, "100");
    TypeField(Spec()->valueField(1), "5");
    LeaveGrid();
    std::ofstream("NoName.txt") << "results so far\n";
    files_->answers << QDir::current().absoluteFilePath("Nitro");
    QVERIFY(window_->SaveCommand());
    QCOMPARE(files_->filters.last(), QStringList({"Data files (*.dat)"}));
    QVERIFY(QFile::exists("Nitro.dat"));
    QVERIFY(QFile::exists("Nitro.tdf"));
    QCOMPARE(ReadAll("Nitro.txt"), std::string("results so far\n"));
    QCOMPARE(window_->windowTitle(),
             QStringLiteral("Calculation of Equilibrium Composition  (Nitro)"));
    QCOMPARE(window_->statusMessage(), QStringLiteral("Information is saved."));

    // Open of a name that does not exist makes a new task of that name; the task just
    // saved is not offered for saving again.
    files_->answers << QDir::current().absoluteFilePath("Fresh.dat");
    QVERIFY(window_->OpenCommand());
    QVERIFY(!ui_->Saw("Save datafile Nitro.dat"));
    QCOMPARE(QString::fromStdString(window_->session().task.name), QStringLiteral("Fresh"));
    QVERIFY(QFile::exists("Fresh.dat"));
    QCOMPARE(Spec()->cellText(1, 1), QString());
  }

  // The question before results are emptied has No as its default: Enter and Escape
  // keep them.  Through the window (the question's buttons) and through the desktop's
  // real message box.
  void overwritingResultsIsNotTheDefault() {
    Open();
    LoadExample();
    std::ofstream("propellant.txt") << "last week's report\n";
    ui_->Clear();
    QVERIFY(window_->OpenDatafile(QDir::current().absoluteFilePath("propellant.dat")));
    QCOMPARE(ui_->messages.size(), size_t(1));
    QCOMPARE(ui_->messages[0].text,
             std::string("File of results propellant.txt already exists. Overwrite it?"));
    QCOMPARE(ui_->messages[0].buttons, Buttons::YesNoDefaultNo);

    QtInteraction desktop;
    desktop.SetParentWindow(window_);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
      QString defaultButton;
      WhenModalShows([&](QWidget* box) {
        if (auto* b = qobject_cast<QMessageBox*>(box); b && b->defaultButton())
          defaultButton = b->defaultButton()->text().remove('&');
        QTest::keyClick(box, key);
      });
      QCOMPARE(desktop.Message(MessageKind::Confirmation, "Overwrite it?",
                               Buttons::YesNoDefaultNo),
               Answer::No);
      QCOMPARE(defaultButton, QStringLiteral("No"));
    }
  }

  // Each start empties the NoName files; what the session before left there is kept
  // first, and the status line says so.
  void startKeepsTheResultsOfTheSessionBefore() {
    Open(false, [] {
      std::ofstream("NoName.txt") << "report of yesterday\n";
      std::ofstream("NoName.rst") << std::string(16, 'x');
      std::ofstream("NoName-previous.txt") << "older\n";
    });
    QCOMPARE(ReadAll("NoName-previous.txt"), std::string("report of yesterday\n"));
    QCOMPARE(ReadAll("NoName-previous.rst"), std::string(16, 'x'));
    QCOMPARE(ReadAll("NoName.txt"), std::string());
    QCOMPARE(ReadAll("NoName.rst"), std::string());
    QCOMPARE(statusAfterStart_,
             QStringLiteral("The results of the previous session are kept in "
                            "NoName-previous.txt and NoName-previous.rst."));
    Close();
    // Empty NoName files keep nothing (the previous ones stay) and say nothing.
    Open(false, [] {
      std::ofstream("NoName.txt");
      std::ofstream("NoName-previous.txt") << "kept\n";
    });
    QCOMPARE(ReadAll("NoName-previous.txt"), std::string("kept\n"));
    QCOMPARE(statusAfterStart_, QString());
  }

  // New takes a name that does not exist: the desktop's dialog accepts it, and the
  // window makes the task of that name.
  void newMakesATaskOfANewName() {
    Open();
    QtFileDialogs desktop;
    WhenModalShows([](QWidget* dialog) {
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      QVERIFY(name);
      QTest::keyClicks(name, QStringLiteral("Brand"));
      QTest::keyClick(name, Qt::Key_Return);
    });
    const QString chosen = desktop.SaveFile(window_, QStringLiteral("New"), QDir::currentPath(),
                                            {QStringLiteral("Data files (*.dat)")});
    QCOMPARE(QFileInfo(chosen).fileName(), QStringLiteral("Brand"));
    QVERIFY(!QFile::exists(chosen));

    files_->answers << chosen;
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_));
    QTest::keyClick(window_, Qt::Key_N, Qt::AltModifier);
    QCOMPARE(files_->kinds, QStringList({"save"}));
    QCOMPARE(files_->titles, QStringList({"New"}));
    QCOMPARE(files_->filters.last(), QStringList({"Data files (*.dat)"}));
    QVERIFY(QFile::exists("Brand.dat"));
    QVERIFY(QFile::exists("Brand.txt"));
    QVERIFY(QFile::exists("Brand.rst"));
    QCOMPARE(QString::fromStdString(window_->session().task.name), QStringLiteral("Brand"));
    QCOMPARE(window_->windowTitle(),
             QStringLiteral("Calculation of Equilibrium Composition  (Brand)"));
  }

  // Exit right after Save As (or Save, or Open) does not ask to save; after an edit it
  // does.
  void exitAsksOnlyAfterAChange() {
    Open();
    TypeCell(1, 1, "C2H5NO3");
    TypeCell(1, 2, "100");
    TypeField(Spec()->valueField(1), "5");
    LeaveGrid();
    files_->answers << QDir::current().absoluteFilePath("Kept");
    QTest::keyClick(window_, Qt::Key_V, Qt::AltModifier);  // Sa&veAs
    QVERIFY(QFile::exists("Kept.dat"));
    ui_->Clear();
    QVERIFY(window_->close());
    QVERIFY(ui_->messages.empty());

    // Shown again: an edit, even one still in its field, is a change.
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_));
    TypeField(Spec()->valueField(1), "6");
    ui_->Script({Answer::Cancel});
    QVERIFY(!window_->close());
    QVERIFY(ui_->Saw("Save datafile Kept.dat"));
    QCOMPARE(window_->session().task.slots[1].valueText, std::string("6"));
    QTest::keyClick(window_, Qt::Key_S, Qt::AltModifier);
    QCOMPARE(window_->statusMessage(), QStringLiteral("Information is saved."));
    ui_->Clear();
    QVERIFY(window_->close());
    QVERIFY(ui_->messages.empty());
  }

  void deleteLeavesAnotherCaseAloneAndExitKeepsAnUnsavedTask() {
    Open();
    for (const char* f : {"Foo.dat", "Foo.txt", "foo.dat", "foo.txt"}) std::ofstream(f) << "x";
    ui_->Script({Answer::Yes});
    files_->answers << QDir::current().absoluteFilePath("Foo.dat");
    QVERIFY(window_->DeleteCommand());
    QVERIFY(ui_->Saw("All information related to Foo.dat will be deleted."));
    QVERIFY(!QFile::exists("Foo.dat"));
    QVERIFY(!QFile::exists("Foo.txt"));
    QVERIFY(QFile::exists("foo.dat"));
    QVERIFY(QFile::exists("foo.txt"));
    QCOMPARE(window_->statusMessage(), QStringLiteral("Information about Foo is deleted."));

    // Exit with a save that is cancelled in its dialog: the window stays.
    TypeField(Spec()->valueField(1), "5");
    Spec()->commentField()->setFocus();
    ui_->Script({Answer::Yes});  // "Save datafile NoName.dat": Yes, then the dialog is cancelled
    QVERIFY(!window_->close());
    QVERIFY(window_->isVisible());
  }

  void runFromTheWindowShowsProgressAndTheReport() {
    Open();
    LoadExample();
    SaveShot(window_, "main_spec_page_example");  // the binder's formula with decimal counts
    int pending = 0;
    bool closeRefused = false;
    ui_->onPending = [&] {
      ++pending;
      if (pending == 3) {
        QVERIFY(window_->progressWindow().isVisible());
        QCOMPARE(window_->progressWindow().windowModality(), Qt::ApplicationModal);
        SaveShot(&window_->progressWindow(), "progress_window");
        // Closing the main window under the run is refused; so is a second run.
        closeRefused = !window_->close() && window_->isVisible();
        QVERIFY(!window_->RunCalculation());
      }
    };
    QTest::keyClick(window_, Qt::Key_R, Qt::AltModifier);
    QVERIFY(closeRefused);
    QVERIFY(!window_->running());
    QVERIFY(!window_->progressWindow().isVisible());
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(window_));
    Session& s = window_->session();
    const int points = RecordCount(s.TablePath());
    QVERIFY(points > 0);

    // The same task through the engine alone, as kvil-batch runs it: the same points.
    RecordingInteraction batchUi;
    NullTaskView view;
    Session batch(batchUi, view);
    QDir().mkpath("batch");
    QFile::copy("propellant.dat", "batch/propellant.dat");
    QFile::copy("propellant.tdf", "batch/propellant.tdf");
    batch.settings.directory = "batch";
    QVERIFY(batch.database.Open(KVIL_DB_DIR));
    ReadTaskFile(batch, "batch/propellant.dat");
    QVERIFY(RunCommand(batch));
    QCOMPARE(points, RecordCount(batch.TablePath()));

    // The results page shows the report line for line.
    QTest::keyClick(window_, Qt::Key_3, Qt::AltModifier);
    QCOMPARE(window_->pages()->currentIndex(), int(TKVILForm::kResultsPage));
    ResultsPage* results = window_->resultsPage();
    const std::string report = ReadAll(QString::fromStdString(s.ReportPath()));
    const int lines = static_cast<int>(std::count(report.begin(), report.end(), '\n'));
    QCOMPARE(results->lineCount(), lines);
    QVERIFY(!window_->action("actionSave")->isEnabled());
    QCOMPARE(window_->action("actionOpen")->statusTip(), QStringLiteral("Open file of results"));
    QTest::keyClicks(results->searchText(), "Oxygen balance");
    QTest::keyClick(results->searchText(), Qt::Key_Return);
    QVERIFY(!results->list()->selectionModel()->selectedIndexes().isEmpty());
    const QString found = results->list()->selectionModel()->selectedIndexes().first().data().toString();
    QVERIFY(found.contains("Oxygen balance"));
    results->searchText()->setText("no such text");
    results->Search();
    QVERIFY(ui_->Saw("\"no such text\" not found"));
    SaveShot(window_, "main_results_page");

    // The analysis page offers the new run's results.
    QTest::keyClick(window_, Qt::Key_4, Qt::AltModifier);
    QCOMPARE(window_->pages()->currentIndex(), int(TKVILForm::kAnalysisPage));
    QVERIFY(window_->analysisPage()->XList()->model()->rowCount() > 5);
    SaveShot(window_, "main_analysis_page");
  }

  // A long run: the progress window shows the point of the run and the time left (it is
  // refreshed a few times a second, so the test lets it), and STOP ends the run.
  void longRunShowsThePointAndTheTimeLeft() {
    Open();
    LoadExample();
    TypeField(Spec()->valueField(1), "1 50");
    TypeField(Spec()->stepField(1), "0.05");
    Spec()->commentField()->setFocus();
    QString pointText, firstLabel;
    ui_->onPending = [&] {
      if (ui_->pendingInputCalls != 1200) return;
      QTest::qWait(3 * TShowState::kRefreshMs);  // past half a second of the run, too
      pointText = window_->progressWindow().findChild<QLabel*>("PointOf")->text();
      firstLabel = window_->progressWindow().findChild<QLabel*>("P1")->text();
      SaveShot(&window_->progressWindow(), "progress_window_long_run");
      ui_->Script({Answer::Yes});  // "Terminate calculations ?"
      window_->progressWindow().stopButton()->click();
    };
    window_->RunCalculation();
    static const QRegularExpression shown(R"(^Point \d+ of 98\d, about \d+:\d\d left$)");
    QVERIFY2(shown.match(pointText).hasMatch(), qPrintable(pointText));
    QVERIFY2(firstLabel.contains(" =  "), qPrintable(firstLabel));
    QVERIFY(window_->statusMessage().startsWith("Stopped: "));
    QVERIFY(!window_->progressWindow().isVisible());
  }

  void withoutADatabaseTheUserChoosesOneOrQuits() {
    const QString dir = QDir(home_).filePath(QStringLiteral("scratch/nodb"));
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QDir::setCurrent(dir);
    WindowInteraction ui;
    ScriptedFiles files;
    RecordingHelp help;
    FixedColour colours;
    {
      TKVILForm window(ui, {&files, &colours, &help, nullptr});
      ui.Script({Answer::No, Answer::Yes});  // "Quit KVIL": No shows the dialog again, Yes quits
      QVERIFY(!window.Start("", ""));
      QCOMPARE(files.filters.size(), 2);
      QCOMPARE(files.filters[0], QStringList({"Database (*.bas)"}));
      QCOMPARE(ui.Texts(), (std::vector<std::string>{"Quit KVIL", "Quit KVIL"}));
    }
    {
      // A chosen database is remembered in kvil.pth.
      TKVILForm window(ui, {&files, &colours, &help, nullptr});
      files.answers << QStringLiteral(KVIL_DB_DIR "/Demo_1a.bas");
      QVERIFY(window.Start("", ""));
      QVERIFY(window.session().database.IsOpen());
      QVERIFY(QString::fromStdString(ReadAll("kvil.pth")).startsWith(KVIL_DB_DIR));
    }
    QDir::setCurrent(home_);
  }

  void stopEndsTheRunBetweenPoints() {
    Open();
    LoadExample();
    // Six pressures instead of three: enough points to stop between.
    TypeField(Spec()->valueField(1), "2 4 6 8 10 12");
    Spec()->commentField()->setFocus();
    ui_->onPending = [&] {
      if (ui_->pendingInputCalls == 2) {
        ui_->Script({Answer::Yes});  // "Terminate calculations ?"
        window_->progressWindow().stopButton()->click();
      }
    };
    window_->RunCalculation();
    QVERIFY(ui_->Saw("Terminate calculations ?"));
    const int stopped = RecordCount(window_->session().TablePath());
    // STOP came during the expansion of the first chamber point: that point is finished
    // with its throat and expansion, the report says where the run ended, and so does
    // the status line.
    {
      std::vector<ResultsRecord> records;
      QCOMPARE(ReadResultsTable(window_->session().TablePath(), records), TableReadStatus::Ok);
      QCOMPARE(int(records.size()), 3);
      QCOMPARE(records[0].kind, 0);
      QCOMPARE(records[1].kind, 1);
      QCOMPARE(records[2].kind, 2);
      const std::string report = ReadAll(QString::fromStdString(window_->session().ReportPath()));
      QVERIFY(report.find("     Calculation stopped by the user after 1 point.\r\n") !=
              std::string::npos);
      QCOMPARE(window_->statusMessage(), QStringLiteral("Stopped: 1 point computed, 0 failed."));
    }

    ui_->pendingInputCalls = 0;
    ui_->onPending = [&] {
      if (ui_->pendingInputCalls == 2) {
        ui_->Script({Answer::No});
        window_->progressWindow().stopButton()->click();
      }
    };
    window_->RunCalculation();
    const int finished = RecordCount(window_->session().TablePath());
    QCOMPARE(window_->statusMessage(), QStringLiteral("6 points computed, 0 failed."));

    QVERIFY2(stopped < finished, qPrintable(QString("%1 vs %2").arg(stopped).arg(finished)));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
