// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// What a screen reader hears of each control.
#include "form_fixture.h"

#include "app/AddPagesFUnit.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QProgressBar>

namespace {

using Accessibility = FormTest;

TEST_F(Accessibility, EveryControlHasANameAndADescription) {
    TAddPagesForm dialogForm;
    QStringList silent;
    int controls = 0;
    for (QWidget* control : form->findChildren<QWidget*>() + dialogForm.findChildren<QWidget*>()) {
        const bool operable = control->focusPolicy() != Qt::NoFocus ||
                              qobject_cast<QAbstractButton*>(control) ||
                              qobject_cast<QProgressBar*>(control);
        if (!operable)
            continue;
        ++controls;
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(control);
        const QString what = control->metaObject()->className() + (" " + control->objectName());
        if (!spoken || spoken->text(QAccessible::Name).isEmpty())
            silent << what + " without a name";
        else if (spoken->text(QAccessible::Description).isEmpty())
            silent << what + " without a description";
    }
    EXPECT_GE(controls, 12 + 4);
    EXPECT_EQ(silent, QStringList());
}

} // namespace
