#include "ui/chem_formula.h"

#include <QApplication>
#include <QPainter>

#include "task/formula_runs.h"

namespace kvil {

namespace {

QFont Reduced(const QFont& font) {
  QFont small = font;
  if (font.pixelSize() > 0)
    small.setPixelSize(std::max(1, font.pixelSize() * 8 / 10));
  else
    small.setPointSizeF(font.pointSizeF() * 0.8);
  return small;
}

}  // namespace

int DrawChemFormula(QPainter& painter, const QRect& cell, int x, const QString& text, int top) {
  painter.fillRect(cell, painter.brush());
  const QFont saved = painter.font();
  const QFont small = Reduced(saved);
  const QFontMetrics normalMetrics(saved, painter.device());
  const QFontMetrics smallMetrics(small, painter.device());
  // The subscript's top lies lower by the difference of the two heights, as when
  // 8/10 of the height is drawn from y + |8 h_small - 10 h| / 10.
  const int hNormal = normalMetrics.height();
  const int hSmall = smallMetrics.height();
  const int subscriptTop = top + std::abs(8 * hSmall - 10 * hNormal) / 10;
  painter.save();
  int cx = x;
  for (const FormulaRun& run : SplitFormulaRuns(text.toStdString())) {
    const QString s = QString::fromStdString(run.text);
    const bool reduced = run.kind != FormulaRunKind::Normal;
    const QFontMetrics& fm = reduced ? smallMetrics : normalMetrics;
    const int width = fm.horizontalAdvance(s);
    int runTop = top;
    if (run.kind == FormulaRunKind::Subscript) runTop = subscriptTop;
    if (run.kind == FormulaRunKind::Superscript) runTop = top - 1;
    painter.setFont(reduced ? small : saved);
    painter.setClipRect(QRect(cx, cell.top(), width, cell.height()).intersected(cell));
    painter.drawText(QPoint(cx, runTop + fm.ascent()), s);
    cx += width;
  }
  painter.restore();
  return cx - x;
}

int ChemFormulaWidth(const QFont& font, const QString& text) {
  const QFontMetrics normal(font);
  const QFontMetrics small(Reduced(font));
  int width = 0;
  for (const FormulaRun& run : SplitFormulaRuns(text.toStdString())) {
    const QString s = QString::fromStdString(run.text);
    width += (run.kind == FormulaRunKind::Normal ? normal : small).horizontalAdvance(s);
  }
  return width;
}

QSize TChemLabel::sizeHint() const {
  const QMargins m = contentsMargins();
  return QSize(ChemFormulaWidth(font(), text()) + m.left() + m.right() + 2,
               QFontMetrics(font()).height() * 13 / 10 + m.top() + m.bottom());
}

void TChemLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = contentsRect();
  if (autoFillBackground()) p.setBrush(palette().color(backgroundRole()));
  else p.setBrush(Qt::NoBrush);
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                           foregroundRole()));
  p.setFont(font());
  DrawChemFormula(p, r, r.left(), text(), r.top());
}

void ChemFormulaDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  if (!columns_.contains(index.column())) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const QString text = opt.text;
  opt.text.clear();
  const QWidget* w = opt.widget;
  QStyle* style = w ? w->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, w);
  painter->save();
  painter->setFont(opt.font);
  painter->setBrush(Qt::NoBrush);
  painter->setPen(opt.palette.color(
      opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
  const QRect cell = opt.rect;
  const int top = cell.top() + (cell.height() - QFontMetrics(opt.font).height()) / 2;
  DrawChemFormula(*painter, cell, cell.left() + 2, text, top);
  painter->restore();
}

}  // namespace kvil
