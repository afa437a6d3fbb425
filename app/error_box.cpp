// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/error_box.h"

#include <QMessageBox>

namespace {

void showRealBox(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

ErrorBoxFunction& currentBox() {
    static ErrorBoxFunction box = showRealBox;
    return box;
}

} // namespace

void setErrorBox(ErrorBoxFunction box) {
    currentBox() = box ? std::move(box) : showRealBox;
}

void showErrorBox(QWidget* parent, const QString& caption, const QString& text) {
    currentBox()(parent, caption, text);
}

void showHandlerError(QWidget* parent, const std::exception& error) {
    showErrorBox(parent, kApplicationTitle, withFullStop(QString::fromUtf8(error.what())));
}
