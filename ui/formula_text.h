// The one place where the analysis windows draw a formula or species name: the
// function list cells, the chart labels and the printed chart.
#pragma once

#include <QString>

class QPainter;
class QRect;

namespace kvil {

// Fills `cell` with the painter's brush and draws `text` from (x, top) inside it, with
// the painter's font and pen.  Returns the width drawn.
int DrawFormulaText(QPainter& painter, const QRect& cell, int x, const QString& text, int top);

// Width of `text` as DrawFormulaText draws it with the painter's font.
int FormulaTextWidth(QPainter& painter, const QString& text);

}  // namespace kvil
