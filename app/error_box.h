// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "common/error_text.h"

#include <QString>

#include <exception>
#include <functional>

class QMessageBox;
class QWidget;

// The application's title: the caption of its error boxes and the name of its task-bar entry.
inline const QString kApplicationTitle = QStringLiteral("Tavimo");

// Shows a modal box with the error icon and an OK button; an empty caption leaves the system's
// default title. setErrorBox puts another function in place of the real box.
using ErrorBoxFunction =
    std::function<void(QWidget* parent, const QString& caption, const QString& text)>;
void setErrorBox(ErrorBoxFunction box);
void showErrorBox(QWidget* parent, const QString& caption, const QString& text);

// Makes a message box wide enough that the title bar shows its whole caption.
void widenForCaption(QMessageBox& box);

// Shows an error that left a handler: captioned with the application title.
void showHandlerError(QWidget* parent, const std::exception& error);

// Runs a handler's body so that no exception reaches Qt's event loop.
template <typename Body> void runHandler(QWidget* parent, Body&& body) {
    try {
        body();
    } catch (const std::exception& error) {
        showHandlerError(parent, error);
    } catch (...) {
        showErrorBox(parent, kApplicationTitle, QStringLiteral("Unbekannter Fehler."));
    }
}
