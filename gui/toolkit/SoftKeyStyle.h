#pragma once

#include <QString>

// The soft keys' look: one style-sheet template filled with a layout name ("", "Row", "Half")
// and two colour names, which pick the key images under :/resources/image/ for the normal,
// pressed, checked and disabled states. FuncWidget, FuncButton and GroupFunc share it.
namespace SoftKeyStyle {

// "Blue", "Red", ... by the colour numbering 0 NoColor to 7 Purple; empty outside it.
QString colourName(int colour);
// "" (0), "Row" (1), "Half" (2), for a class that knows the first `known` layouts; empty
// outside them.
QString matrixName(int matrix, int known);
// The filled template: %1 the layout, %2 the first colour, %3 the second colour.
QString styleSheet(int colour, const QString &matrix, int colour2);

} // namespace SoftKeyStyle
