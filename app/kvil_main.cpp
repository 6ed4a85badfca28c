// kvil: the desktop program.
#include <QApplication>

#include "ui/placeholder_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  kvil::PlaceholderWindow window;
  window.show();
  return app.exec();
}
