// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QIcon>
#include <QLocale>
#include <QTranslator>

// The window program's process-wide settings, for as long as the object lives. The application
// is named "Tavimo", the caption of boxes without one of their own, but has no display name,
// which window managers would append to every window's caption. Qt's own texts (the save
// dialog, the file lists' columns, the boxes' buttons) are German, as are its locale's texts.
class ApplicationSetup {
public:
    ApplicationSetup();
    ~ApplicationSetup();
    ApplicationSetup(const ApplicationSetup&) = delete;
    ApplicationSetup& operator=(const ApplicationSetup&) = delete;

    // Whether Qt's German texts were found (Debian: qt6-translations-l10n).
    bool qtTextsGerman() const { return translated; }

private:
    static void useInstalledIconTheme();

    QLocale previousLocale;
    QString previousTheme = QIcon::themeName();
    QStringList previousThemeFolders = QIcon::themeSearchPaths();
    QTranslator qtTexts;
    bool translated = false;
};
