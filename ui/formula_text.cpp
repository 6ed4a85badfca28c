#include "ui/formula_text.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRect>

namespace kvil {

int DrawFormulaText(QPainter& painter, const QRect& cell, int x, const QString& text, int top) {
  painter.fillRect(cell, painter.brush());
  const QFontMetrics fm(painter.font());
  painter.save();
  painter.setClipRect(cell);
  painter.drawText(QPoint(x, top + fm.ascent()), text);
  painter.restore();
  return fm.horizontalAdvance(text);
}

int FormulaTextWidth(QPainter& painter, const QString& text) {
  return QFontMetrics(painter.font()).horizontalAdvance(text);
}

}  // namespace kvil
