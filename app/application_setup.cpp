// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/application_setup.h"

#include "app/error_box.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QStandardPaths>

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
    // icon theme but the empty "hicolor", and the folder tree and the file lists would show the
    // style's few icons. Asking for an icon first would keep that answer, so the name decides.
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor"))
        return;
    // Without a platform theme (the offscreen platform) Qt does not look in the system's folders.
    QStringList folders = QIcon::themeSearchPaths();
    for (const QString& folder :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                   QStandardPaths::LocateDirectory)) {
        if (!folders.contains(folder))
            folders << folder;
    }
    for (const char* name : {"breeze", "Adwaita", "gnome", "oxygen"}) {
        for (const QString& folder : folders) {
            if (QFileInfo::exists(QStringLiteral("%1/%2/index.theme").arg(folder, name))) {
                QIcon::setThemeSearchPaths(folders);
                QIcon::setThemeName(QString::fromLatin1(name));
                return;
            }
        }
    }
}

ApplicationSetup::~ApplicationSetup() {
    if (translated)
        QCoreApplication::removeTranslator(&qtTexts);
    QLocale::setDefault(previousLocale);
    QIcon::setThemeSearchPaths(previousThemeFolders);
    QIcon::setThemeName(previousTheme);
}
