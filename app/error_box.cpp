// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/error_box.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSpacerItem>

#include <algorithm>

namespace {

// Room a title bar takes besides the caption: the window's icon and its buttons.
constexpr int kTitleBarExtra = 140;
constexpr int kLeastWidth = 240;

void showRealBox(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    widenForCaption(box);
    box.exec();
}

ErrorBoxFunction& currentBox() {
    static ErrorBoxFunction box = showRealBox;
    return box;
}

} // namespace

void widenForCaption(QMessageBox& box) {
    const QString caption =
        box.windowTitle().isEmpty() ? QGuiApplication::applicationDisplayName() : box.windowTitle();
    // Title bars mostly draw their caption bold.
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int width =
        std::max(kLeastWidth, QFontMetrics(titleFont).horizontalAdvance(caption) + kTitleBarExtra);
    // A message box sizes itself to its texts alone; a spacer across its grid widens it.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

void setErrorBox(ErrorBoxFunction box) {
    currentBox() = box ? std::move(box) : showRealBox;
}

void showErrorBox(QWidget* parent, const QString& caption, const QString& text) {
    currentBox()(parent, caption, text);
}

void showHandlerError(QWidget* parent, const std::exception& error) {
    showErrorBox(parent, kApplicationTitle, withFullStop(QString::fromUtf8(error.what())));
}
