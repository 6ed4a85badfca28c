#include "ui/placeholder_window.h"

#include <QLabel>

namespace kvil {

PlaceholderWindow::PlaceholderWindow(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Calculation of Equilibrium Composition");
  setCentralWidget(new QLabel("KVIL", this));
}

}  // namespace kvil
