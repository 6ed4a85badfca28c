#include "ui/formula_text.h"

#include <QPainter>

#include "ui/chem_formula.h"

namespace kvil {

int DrawFormulaText(QPainter& painter, const QRect& cell, int x, const QString& text, int top) {
  return DrawChemFormula(painter, cell, x, text, top);
}

int FormulaTextWidth(QPainter& painter, const QString& text) {
  return ChemFormulaWidth(painter.font(), text);
}

}  // namespace kvil
