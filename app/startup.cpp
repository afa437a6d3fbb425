// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/startup.h"

#include "app/wMain.h"

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : {48, 256})
        icon.addFile(QStringLiteral(":/icons/tavimo-%1.png").arg(size), QSize(size, size));
    return icon;
}

void appendStartupSources(TMainForm& form, const QStringList& arguments, const QDir& base) {
    QStringList paths;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].isEmpty())
            paths << QDir::cleanPath(base.absoluteFilePath(arguments[i]));
    }
    form.appendSources(paths);
}
