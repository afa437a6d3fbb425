// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// The window's texts in its font, against the placed the fixed layout gives them.
#include "form_fixture.h"

#include "app/AddPagesFUnit.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace {

// The size of a label's, button's or check box's text, and the part of it the style leaves
// the text; nothing for other controls.
std::optional<std::pair<QSize, QRect>> textAndRoom(const QWidget& control) {
    const auto textSize = [&](const QString& text) {
        return control.fontMetrics().size(Qt::TextShowMnemonic, text);
    };
    if (const auto* label = qobject_cast<const QLabel*>(&control))
        return std::pair{textSize(label->text()), label->contentsRect()};
    QStyleOptionButton option;
    option.initFrom(&control);
    if (const auto* box = qobject_cast<const QCheckBox*>(&control)) {
        option.text = box->text();
        return std::pair{textSize(option.text), control.style()->subElementRect(
                                                    QStyle::SE_CheckBoxContents, &option, box)};
    }
    const auto* button = qobject_cast<const QPushButton*>(&control);
    if (!button)
        return std::nullopt;
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QSize needed = textSize(option.text);
    // Qt's buttons put 4 pixels between the icon and the text.
    if (!option.icon.isNull())
        needed.rwidth() += option.icon.actualSize(option.iconSize).width() + 4;
    return std::pair{
        needed, control.style()->subElementRect(QStyle::SE_PushButtonContents, &option, button)};
}

using WindowText = FormTest;

TEST_F(WindowText, EveryTextFitsItsBoxAndTheBoxesStayApartAboveTheFreeBand) {
    const TAddPagesForm dialogForm;
    int texts = 0;
    for (const QWidget* control :
         form->findChildren<QWidget*>() + dialogForm.findChildren<QWidget*>()) {
        if (const auto fit = textAndRoom(*control)) {
            ++texts;
            const auto& [needed, room] = *fit;
            EXPECT_TRUE(needed.width() <= room.width() && needed.height() <= room.height())
                << control->objectName().toStdString() << " needs " << needed.width() << "x"
                << needed.height() << ", has " << room.width() << "x" << room.height();
        }
    }
    EXPECT_EQ(texts, 14 + 2 + 1);

    const QList<QWidget*> placed = form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(placed.size(), 20);
    for (qsizetype i = 0; i < placed.size(); ++i) {
        const std::string name = placed[i]->objectName().toStdString();
        // The band under the log, from y 457 down, holds the progress and nothing else.
        if (name == "progressBand")
            EXPECT_TRUE(QRect(0, 457, 712, 516 - 457).contains(placed[i]->geometry()));
        else
            EXPECT_LT(placed[i]->geometry().bottom(), 457) << name;
        for (qsizetype j = i + 1; j < placed.size(); ++j)
            EXPECT_FALSE(placed[i]->geometry().intersects(placed[j]->geometry()))
                << name << " and " << placed[j]->objectName().toStdString();
    }
}

} // namespace
