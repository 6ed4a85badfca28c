// Chemical formulas on screen and paper: subscripts for atom counts, superscripts for
// charges (the runs of task/formula_runs.h), drawn by one routine everywhere a formula
// is shown: grids, lists, labels, charts and printouts.
#pragma once

#include <QLabel>
#include <QStyledItemDelegate>

class QPainter;

namespace kvil {

// Fills `cell` with the painter's brush, then draws `text` from x with the top of the
// normal-size text at `top`, clipped to the cell.  The painter's font is the normal
// size; subscripts and superscripts are drawn at 8/10 of it.  Returns the width drawn.
int DrawChemFormula(QPainter& painter, const QRect& cell, int x, const QString& text, int top);

// The width DrawChemFormula gives `text` in `font`.
int ChemFormulaWidth(const QFont& font, const QString& text);

// A label that draws its text as a formula.
class TChemLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Draws the cells of the given columns as formulas (the others as usual), 2 pixels
// right of the cell's left edge.
class ChemFormulaDelegate : public QStyledItemDelegate {
 public:
  ChemFormulaDelegate(QList<int> columns, QObject* parent)
      : QStyledItemDelegate(parent), columns_(std::move(columns)) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 private:
  QList<int> columns_;
};

}  // namespace kvil
