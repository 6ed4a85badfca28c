// The About window: a painted title card, closed by any key or a click.
#pragma once

#include <QDialog>

namespace kvil {

class TAboutForm : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutForm(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace kvil
