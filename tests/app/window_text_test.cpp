// The window's texts in its font, against the boxes the fixed layout gives them.
#include "form_fixture.h"

#include "app/AddPagesFUnit.h"
#include "app/window_font.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace {

// Where a control's text goes and how much room it needs there.
struct TextRoom {
    QRect box;
    QSize needed;
};

QSize textSize(const QWidget& control, const QString& text) {
    return control.fontMetrics().size(Qt::TextShowMnemonic, text);
}

TextRoom roomOf(const QLabel& label) {
    return {label.contentsRect(), textSize(label, label.text())};
}

TextRoom roomOf(const QPushButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    option.icon = button.icon();
    option.iconSize = button.iconSize();
    QSize needed = textSize(button, button.text());
    if (!button.icon().isNull()) {
        // Qt's buttons put 4 pixels between the icon and the text.
        const QSize icon = button.icon().actualSize(button.iconSize());
        needed = {needed.width() + icon.width() + 4, std::max(needed.height(), icon.height())};
    }
    return {button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button),
            needed};
}

TextRoom roomOf(const QCheckBox& box) {
    QStyleOptionButton option;
    option.initFrom(&box);
    option.text = box.text();
    return {box.style()->subElementRect(QStyle::SE_CheckBoxContents, &option, &box),
            textSize(box, box.text())};
}

// Every label's, button's and check box's text in `window`, none clipped.
void expectTextsFit(const QWidget& window, int expectedControls) {
    int controls = 0;
    const auto check = [&](const auto* control) {
        ++controls;
        const TextRoom room = roomOf(*control);
        EXPECT_LE(room.needed.width(), room.box.width()) << control->objectName().toStdString();
        EXPECT_LE(room.needed.height(), room.box.height()) << control->objectName().toStdString();
    };
    for (const QLabel* label : window.findChildren<QLabel*>())
        check(label);
    for (const QPushButton* button : window.findChildren<QPushButton*>())
        check(button);
    for (const QCheckBox* box : window.findChildren<QCheckBox*>())
        check(box);
    EXPECT_EQ(controls, expectedControls);
}

using WindowText = FormTest;

TEST_F(WindowText, TheFontIsLiberationSansElevenPixelsHigh) {
    const QFontInfo font(windowFont());
    EXPECT_EQ(font.family(), "Liberation Sans") << "is fonts-liberation2 installed?";
    EXPECT_EQ(font.pixelSize(), 11);
    EXPECT_EQ(QFontInfo(form->InternCheck->font()).family(), font.family());
}

TEST_F(WindowText, EveryTextFitsItsBoxInBothWindows) {
    expectTextsFit(*form, 12);
    const TAddPagesForm dialogForm;
    expectTextsFit(dialogForm, 2);
}

TEST_F(WindowText, ControlsKeepTheirBoxesApartAboveTheFreeBand) {
    const QList<QWidget*> controls = form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(controls.size(), 17);
    for (qsizetype i = 0; i < controls.size(); ++i) {
        const QRect box = controls[i]->geometry();
        const std::string name = controls[i]->objectName().toStdString();
        EXPECT_TRUE(form->rect().contains(box)) << name;
        // The band under the log, y 457 to the window's bottom, is kept free.
        EXPECT_LT(box.bottom(), 457) << name;
        for (qsizetype j = i + 1; j < controls.size(); ++j) {
            EXPECT_FALSE(box.intersects(controls[j]->geometry()))
                << name << " and " << controls[j]->objectName().toStdString();
        }
    }
}

} // namespace
