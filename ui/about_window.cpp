#include "ui/about_window.h"

#include <QKeyEvent>
#include <QPainter>

namespace kvil {

namespace {

// Text with a raised look: a black copy one pixel down and right behind the text.
void RaisedText(QPainter& p, const QRect& box, int flags, const QString& text, const QColor& c) {
  p.setPen(Qt::black);
  p.drawText(box.translated(1, 1), flags, text);
  p.setPen(c);
  p.drawText(box, flags, text);
}

}  // namespace

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About"));
  setObjectName(QStringLiteral("aboutWindow"));
  setFixedSize(288, 241);
}

void TAboutForm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  // A vertical gradient of 256 bands, deep blue at the top to near black at the bottom.
  for (int band = 0; band < 256; ++band) {
    const int top = r.height() * band / 256;
    const int bottom = r.height() * (band + 1) / 256;
    p.fillRect(QRect(0, top, r.width(), bottom - top), QColor(0, 0, 255 - band * 3 / 4));
  }
  QFont title(QStringLiteral("DejaVu Serif"));
  title.setPixelSize(40);
  title.setBold(true);
  title.setItalic(true);
  p.setFont(title);
  p.setPen(Qt::yellow);
  p.drawText(QRect(36, 20, r.width() - 36, 50), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("KVIL"));

  // The program's name once, above what it does.
  QFont bold(QStringLiteral("DejaVu Sans"));
  bold.setBold(true);
  bold.setPixelSize(13);
  p.setFont(bold);
  const char* lines[] = {"Computer simulation of complex", "chemical equilibrium at high",
                         "pressure and temperature"};
  int y = 96;
  for (const char* line : lines) {
    RaisedText(p, QRect(0, y, r.width(), 20), Qt::AlignHCenter, QString::fromLatin1(line),
               Qt::white);
    y += 19;
  }
  QFont small(QStringLiteral("DejaVu Sans"));
  small.setPixelSize(11);
  p.setFont(small);
  p.setPen(QColor(220, 220, 220));
  p.drawText(QRect(12, r.height() - 26, r.width() / 2, 18), Qt::AlignLeft,
             QStringLiteral("Version 3.0"));
  p.drawText(QRect(r.width() / 2, r.height() - 26, r.width() / 2 - 12, 18), Qt::AlignRight,
             QStringLiteral("Press any key ..."));
}

void TAboutForm::keyPressEvent(QKeyEvent*) { accept(); }

void TAboutForm::mousePressEvent(QMouseEvent*) { accept(); }

}  // namespace kvil
