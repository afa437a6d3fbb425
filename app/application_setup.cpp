// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/application_setup.h"

#include "app/error_box.h"

#include <QCoreApplication>
#include <QLibraryInfo>

ApplicationSetup::ApplicationSetup() {
    QCoreApplication::setApplicationName(kApplicationTitle);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // Of the catalogues Debian ships, qtbase holds the texts of every module the program uses
    // (core, gui, widgets); the others serve modules and tools it does not use.
    translated = qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                 QCoreApplication::installTranslator(&qtTexts);
}

ApplicationSetup::~ApplicationSetup() {
    if (translated)
        QCoreApplication::removeTranslator(&qtTexts);
    QLocale::setDefault(previousLocale);
}
