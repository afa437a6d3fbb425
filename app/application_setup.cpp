// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/application_setup.h"

#include "app/error_box.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>

ApplicationSetup::ApplicationSetup() {
    QCoreApplication::setApplicationName(kApplicationTitle);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    useInstalledIconTheme();
    // Of the catalogues Debian ships, qtbase holds the texts of every module the program uses
    // (core, gui, widgets); the others serve modules and tools it does not use.
    translated = qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                 QCoreApplication::installTranslator(&qtTexts);
}

void ApplicationSetup::useInstalledIconTheme() {
    // Outside a desktop session (a bare X server with a window manager of its own) Qt knows no
    // icon theme, and the folder tree and the file lists would show the style's few icons.
    if (QIcon::hasThemeIcon(QStringLiteral("folder")))
        return;
    for (const char* name : {"breeze", "Adwaita", "gnome", "oxygen"}) {
        for (const QString& folder : QIcon::themeSearchPaths()) {
            if (QFileInfo::exists(QStringLiteral("%1/%2/index.theme").arg(folder, name))) {
                QIcon::setFallbackThemeName(QString::fromLatin1(name));
                return;
            }
        }
    }
}

ApplicationSetup::~ApplicationSetup() {
    if (translated)
        QCoreApplication::removeTranslator(&qtTexts);
    QLocale::setDefault(previousLocale);
    QIcon::setFallbackThemeName(previousFallbackTheme);
}
