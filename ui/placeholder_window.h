// Placeholder for the main window until the real one is built.
#pragma once

#include <QMainWindow>

namespace kvil {

class PlaceholderWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit PlaceholderWindow(QWidget* parent = nullptr);
};

}  // namespace kvil
