#include "app/window_font.h"

#include <QStringList>

QFont windowFont() {
    static const bool substituted = [] {
        QFont::insertSubstitutions(
            QStringLiteral("MS Sans Serif"),
            QStringList{QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                        QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                        QStringLiteral("Helvetica")});
        return true;
    }();
    (void)substituted;
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}
