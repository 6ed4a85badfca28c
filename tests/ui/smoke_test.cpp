// The window test harness: a window is created offscreen and its picture saved.
#include <QtTest>

#include "ui/placeholder_window.h"
#include "ui/support/shots.h"

class SmokeTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void showsWindow() {
    kvil::PlaceholderWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), QString("Calculation of Equilibrium Composition"));
    kvil::uitest::SaveShot(&window, "smoke");
  }
};

QTEST_MAIN(SmokeTest)
#include "smoke_test.moc"
