// The components database through the real library: the picker dialog, a search and
// a choice, Esc, a user's own component, and the program's side when the folder, the
// library or its entry point is missing.
#include <QtTest>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <cstring>
#include <functional>

#include "common/interaction.h"
#include "core/session.h"
#include "task/spec_fields.h"
#include "ui/main_window.h"
#include "ui/spec_page.h"
#include "ui/support/scripted.h"
#include <QTableView>
#include <fstream>
#include "ui/component_library.h"
#include "ui/support/shots.h"

namespace {

const char* const kFiles[] = {"Class.dat", "Compons.dat", "Class.IDX", "Compons.IDX"};

// A program directory whose "Components" folder holds `library` as the components
// library and the shipped files named in `files`.
QString ProgramDirectory(const QString& name, const QString& library,
                         const QStringList& files = {"Class.dat", "Compons.dat", "Class.IDX",
                                                     "Compons.IDX"}) {
  const QString dir = kvil::uitest::ScratchDirectory(name);
  QDir(dir).mkdir("Components");
  const QString components = dir + "/Components/";
  for (const QString& f : files)
    QFile::copy(QString(KVIL_COMPONENTS_BUILD_DIR) + "/" + f, components + f);
  if (!library.isEmpty()) QFile::copy(library, components + "libCB.so");
  return dir;
}

// Runs `act` on the next modal dialog other than `except` once it is shown.
void WhenDialogShows(std::function<void(QWidget*)> act, QWidget* except = nullptr) {
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, act, except] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr || dialog == except || !dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(dialog);
  });
  timer->start();
}

QString FirstName(QWidget* dialog) {
  auto* table = dialog->findChild<QTableWidget*>("components");
  return table && table->rowCount() > 0 ? table->item(0, 0)->text() : QString();
}

// The enthalpy column of a component in a Compons.dat.
float TableEnthalpy(const QString& file, const QString& name) {
  QFile in(file);
  in.open(QIODevice::ReadOnly);
  for (const QByteArray& line : in.readAll().split('\n')) {
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() == 8 && QString::fromUtf8(fields[1]) == name) return fields[4].toFloat();
  }
  return -1e30f;
}

}  // namespace

class ComponentPickerTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void searchForRdxAndChooseIt() {
    const QString dir = ProgramDirectory("picker_rdx", KVIL_COMPONENTS_BUILD_DIR "/libCB.so");
    kvil::RecordingInteraction ui;
    kvil::ComponentLibrary library(dir, ui);
    QVERIFY(library.Available());
    QWidget window;
    window.resize(400, 300);
    window.show();
    QString first, shown;
    bool focused = false;
    QString third;
    WhenDialogShows([&](QWidget* dialog) {
      shown = dialog->windowTitle();
      kvil::uitest::SaveShot(dialog, "component_picker_all");
      auto* search = dialog->findChild<QLineEdit*>("search");
      focused = dialog->focusWidget() == search;
      QTest::keyClicks(search, "ammonium");
      QTest::keyClick(search, Qt::Key_Down);
      QTest::keyClick(search, Qt::Key_Down);
      auto* table = dialog->findChild<QTableWidget*>("components");
      third = table->item(table->currentRow(), 0)->text();
      kvil::uitest::SaveShot(dialog, "component_picker_ammonium");
      search->clear();
      QTest::keyClicks(search, "RDX");
      first = FirstName(dialog);
      kvil::uitest::SaveShot(dialog, "component_picker_rdx");
      QTest::keyClick(search, Qt::Key_Return);
    });
    const auto picked = library.Pick(&window);
    QCOMPARE(shown, QString("Components database"));
    QCOMPARE(first, QString("RDX"));
    QVERIFY(focused);
    QCOMPARE(third, QString("Ammonium dinitramide"));
    QVERIFY(picked.has_value());
    QCOMPARE(picked->formula, QString("C3H6N6O6"));
    QCOMPARE(picked->enthalpy, TableEnthalpy(dir + "/Components/Compons.dat", "RDX"));
    QVERIFY(ui.messages.empty());

    // A double click on a row of a class chooses it too.
    int rows = -1;
    WhenDialogShows([&](QWidget* dialog) {
      auto* classes = dialog->findChild<QListWidget*>("classes");
      const auto items = classes->findItems("Liquid oxidizers", Qt::MatchExactly);
      QVERIFY(!items.isEmpty());
      classes->setCurrentItem(items.first());
      kvil::uitest::SaveShot(dialog, "component_picker_class");
      auto* table = dialog->findChild<QTableWidget*>("components");
      QTest::keyClicks(dialog->findChild<QLineEdit*>("search"), "peroxide 90%");
      rows = table->rowCount();
      if (rows == 0) return static_cast<QDialog*>(dialog)->reject();
      const QRect cell = table->visualRect(table->model()->index(0, 0));
      QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
      QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
      if (dialog->isVisible()) static_cast<QDialog*>(dialog)->reject();
    });
    const auto peroxide = library.Pick(&window);
    QCOMPARE(rows, 1);
    QVERIFY(peroxide.has_value());
    QVERIFY(peroxide->formula.startsWith("H"));
    QVERIFY(peroxide->enthalpy < -6000.0f && peroxide->enthalpy > -7000.0f);
  }

  void escapeReturnsNothing() {
    const QString dir = ProgramDirectory("picker_escape", KVIL_COMPONENTS_BUILD_DIR "/libCB.so");
    kvil::RecordingInteraction ui;
    kvil::ComponentLibrary library(dir, ui);
    WhenDialogShows([&](QWidget* dialog) {
      QTest::keyClicks(dialog->findChild<QLineEdit*>("search"), "AP");
      QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QVERIFY(!library.Pick(nullptr).has_value());
    QVERIFY(ui.messages.empty());
  }

  void userComponentIsStoredAndPicked() {
    const QString dir = ProgramDirectory("picker_user", KVIL_COMPONENTS_BUILD_DIR "/libCB.so");
    // The user's data folder; the shipped files are read-only, as installed.
    const QString data = kvil::uitest::ScratchDirectory("picker_user_data");
    qputenv("XDG_DATA_HOME", data.toUtf8());
    QByteArray shipped[4];
    for (int i = 0; i < 4; ++i) {
      QFile f(dir + "/Components/" + kFiles[i]);
      QVERIFY(f.open(QIODevice::ReadOnly));
      shipped[i] = f.readAll();
      f.close();
      f.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    }
    kvil::RecordingInteraction ui;
    kvil::ComponentLibrary library(dir, ui);
    WhenDialogShows([&](QWidget* picker) {
      WhenDialogShows(
          [&](QWidget* edit) {
            const QStringList fields = {"name",     "synonyms", "formula",
                                        "enthalpy", "density",  "source"};
            const QStringList values = {"My binder", "mb; house binder", "C10H15,4O0,07", "-51,9",
                                        "0.92",      "lab sheet 42"};
            for (int i = 0; i < fields.size(); ++i) {
              QTest::keyClicks(edit->findChild<QLineEdit*>(fields[i]), values[i]);
            }
            kvil::uitest::SaveShot(edit, "component_picker_add");
            QTest::keyClick(edit->findChild<QLineEdit*>("source"), Qt::Key_Return);
          },
          picker);
      QTest::mouseClick(picker->findChild<QPushButton*>("add"), Qt::LeftButton);
      QTest::keyClicks(picker->findChild<QLineEdit*>("search"), "house");
      QCOMPARE(FirstName(picker), QString("My binder"));
      QTest::keyClick(picker->findChild<QLineEdit*>("search"), Qt::Key_Return);
    });
    const auto picked = library.Pick(nullptr);
    QVERIFY(picked.has_value());
    QCOMPARE(picked->formula, QString("C10H15,4O0,07"));
    QCOMPARE(picked->enthalpy, -51.9f);
    // The row went to the user's folder, alone, in a class of the shipped tables; the
    // shipped files are as they were.
    QFile table(data + "/kvil/Compons.dat");
    QVERIFY(table.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = table.readAll().split('\n');
    QCOMPARE(rows.size(), 3);  // header, the row, the empty rest after the last LF
    QVERIFY(rows[1].endsWith(
        "\tMy binder\tmb; house binder\tC10H15,4O0,07\t-51.9\t0.92\tlab sheet 42\tuser"));
    QFile index(data + "/kvil/Compons.IDX");
    QVERIFY(index.open(QIODevice::ReadOnly));
    QVERIFY(index.readAll().contains("\nMy binder\t"));
    for (int i = 0; i < 4; ++i) {
      QFile f(dir + "/Components/" + kFiles[i]);
      QVERIFY(f.open(QIODevice::ReadOnly));
      QCOMPARE(f.readAll(), shipped[i]);
    }
    QVERIFY(!QFile::exists(dir + "/Components/Compons.dat.tmp"));

    // The next pick reads the user's row beside the shipped ones, editable; the shipped
    // rows stay read-only.
    bool userEditable = false, shippedEditable = true;
    int rdxRows = 0;
    WhenDialogShows([&](QWidget* picker) {
      auto* search = picker->findChild<QLineEdit*>("search");
      QTest::keyClicks(search, "house");
      userEditable = picker->findChild<QPushButton*>("edit")->isEnabled();
      search->clear();
      QTest::keyClicks(search, "RDX");
      rdxRows = picker->findChild<QTableWidget*>("components")->rowCount();
      shippedEditable = picker->findChild<QPushButton*>("edit")->isEnabled();
      QTest::keyClick(picker, Qt::Key_Escape);
    });
    QVERIFY(!library.Pick(nullptr).has_value());
    QVERIFY(userEditable);
    QVERIFY(rdxRows >= 1);
    QVERIFY(!shippedEditable);
    qunsetenv("XDG_DATA_HOME");
  }

  void missingFilesOrBrokenLibraryLeaveThePickerUnavailable() {
    kvil::RecordingInteraction ui;
    QVERIFY(!kvil::ComponentLibrary(kvil::uitest::ScratchDirectory("picker_none"), ui).Available());
    const QString three = ProgramDirectory("picker_three", KVIL_COMPONENTS_BUILD_DIR "/libCB.so",
                                           {"Class.dat", "Compons.dat", "Class.IDX"});
    QVERIFY(!kvil::ComponentLibrary(three, ui).Available());
    const QString broken = ProgramDirectory("picker_broken", QString());
    QFile junk(broken + "/Components/libCB.so");
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a library");
    junk.close();
    kvil::ComponentLibrary library(broken, ui);
    QVERIFY(!library.Available());
    QVERIFY(!library.Pick(nullptr).has_value());
    QVERIFY(ui.messages.empty());
  }

  void theLibraryNeverWritesPastTheFormulaBuffer() {
    const QString dir = ProgramDirectory("picker_buffer", KVIL_COMPONENTS_BUILD_DIR "/libCB.so");
    QLibrary library(dir + "/Components/CB");
    QVERIFY(library.load());
    using Pick = int (*)(void*, int, char*, int, float*);
    auto pick = reinterpret_cast<Pick>(library.resolve("PickComponent"));
    QVERIFY(pick != nullptr);
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    float enthalpy = 123.0f;
    QCOMPARE(pick(nullptr, 1, buffer, 8, &enthalpy), -1);  // only flag 0 is known
    QCOMPARE(pick(nullptr, 0, buffer, 0, &enthalpy), -1);
    QCOMPARE(buffer[0], '#');
    // "C3H6N6O6" needs 9 bytes: with 8 nothing is picked and nothing written past them.
    WhenDialogShows([&](QWidget* dialog) {
      QTest::keyClicks(dialog->findChild<QLineEdit*>("search"), "RDX");
      QTest::keyClick(dialog->findChild<QLineEdit*>("search"), Qt::Key_Return);
    });
    QCOMPARE(pick(nullptr, 0, buffer, 8, &enthalpy), 0);
    QCOMPARE(buffer[0], '\0');
    for (int i = 8; i < 16; ++i) QCOMPARE(buffer[i], '#');
    QCOMPARE(enthalpy, 123.0f);
    WhenDialogShows([&](QWidget* dialog) {
      QTest::keyClicks(dialog->findChild<QLineEdit*>("search"), "RDX");
      QTest::keyClick(dialog->findChild<QLineEdit*>("search"), Qt::Key_Return);
    });
    QCOMPARE(pick(nullptr, 0, buffer, 9, &enthalpy), 1);
    QCOMPARE(QByteArray(buffer), QByteArray("C3H6N6O6"));
    QCOMPARE(buffer[9], '#');
    library.unload();
  }

  void missingFunctionShowsTheError() {
    const QString dir = ProgramDirectory("picker_nofunction", KVIL_CB_WITHOUT_PICK);
    kvil::RecordingInteraction ui;
    kvil::ComponentLibrary library(dir, ui);
    QVERIFY(library.Available());
    QVERIFY(!library.Pick(nullptr).has_value());
    QCOMPARE(ui.Texts(), std::vector<std::string>{"Can not find DB on components"});
    QCOMPARE(ui.messages.front().kind, kvil::MessageKind::Error);
  }
  void theGridsDoubleClickPicksThroughTheLibrary() {
    const QString dir = ProgramDirectory("picker_window", KVIL_COMPONENTS_BUILD_DIR "/libCB.so");
    const QString home = QDir::currentPath();
    QDir::setCurrent(dir);
    std::ofstream("kvil.pth") << KVIL_DB_DIR << "/\n";
    kvil::RecordingInteraction ui;
    kvil::uitest::ScriptedFiles files;
    kvil::uitest::FixedColour colours;
    kvil::uitest::RecordingHelp help;
    kvil::ComponentLibrary library(dir, ui);
    QVERIFY(library.Available());
    {
      kvil::TKVILForm window(ui, {&files, &colours, &help, &library});
      QVERIFY(window.Start("", ""));
      window.show();
      QVERIFY(QTest::qWaitForWindowActive(&window));
      kvil::SpecPage* page = window.specPage();
      QVERIFY(page->databaseButton()->isEnabled());
      WhenDialogShows([&](QWidget* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>("search"), "RDX");
        kvil::uitest::SaveShot(dialog, "component_picker_from_grid");
        QTest::keyClick(dialog->findChild<QLineEdit*>("search"), Qt::Key_Return);
      });
      QTableView* grid = page->grid();
      const QRect cell = grid->visualRect(grid->model()->index(0, 1));
      QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
      QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
      QCOMPARE(page->cellText(1, 1), QString("C3H6N6O6"));
      const float enthalpy = TableEnthalpy(dir + "/Components/Compons.dat", "RDX");
      QCOMPARE(page->cellText(1, 4), QString::fromStdString(kvil::FormatThreeDecimals(enthalpy)));
      window.close();
    }
    // Without the folder the button is disabled.
    const QString bare = kvil::uitest::ScratchDirectory("picker_window_bare");
    kvil::ComponentLibrary none(bare, ui);
    QVERIFY(!none.Available());
    {
      kvil::TKVILForm window(ui, {&files, &colours, &help, nullptr});
      QVERIFY(window.Start("", ""));
      QVERIFY(!window.specPage()->databaseButton()->isEnabled());
    }
    QDir::setCurrent(home);
  }
};

QTEST_MAIN(ComponentPickerTest)
#include "component_picker_test.moc"
