#pragma once

#include <QFont>

// The font every control of the windows uses: "MS Sans Serif", 11 pixels high. Where it is
// missing, a sans serif of like widths stands in, so the fixed layout keeps its texts whole.
QFont windowFont();
