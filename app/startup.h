// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QDir>
#include <QIcon>
#include <QString>
#include <QStringList>

class TMainForm;

// The desktop entry's name without ".desktop", also the icon's name in the icon theme.
inline const QString kDesktopFileName = QStringLiteral("de.tavimo.Tavimo");

// Before QApplication: when no display is named (DISPLAY, WAYLAND_DISPLAY, or a platform through
// QT_QPA_PLATFORM or -platform), says so in German on standard error and ends the process with
// status 2. Until displayReached(), Qt's messages are held back, and a display that cannot be
// reached ends the process the same way instead of Qt's abort.
void requireDisplay(int argc, char** argv);
// QApplication is up: the held messages go out, Qt's handling is back.
void displayReached();

// The program's icon in the sizes it is drawn in.
QIcon applicationIcon();

// "tavimo FILE...": appends the files named after the program name to the source list, in
// their order, relative names taken from `base`. QApplication has already taken out its own
// options (-platform and the like).
void appendStartupSources(TMainForm& form, const QStringList& arguments,
                          const QDir& base = QDir::current());
