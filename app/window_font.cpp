// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/window_font.h"

#include <QStringList>

QFont windowFont() {
    static const bool substituted = [] {
        // Liberation Sans has Arial's widths, which the layout's boxes are measured for; the
        // others share them, in case a machine lacks it.
        QFont::insertSubstitutions(
            QStringLiteral("MS Sans Serif"),
            QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                        QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
        return true;
    }();
    (void)substituted;
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}
