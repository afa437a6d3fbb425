// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/temp_file.h"

#include "common/exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

EInOutError noTemporaryFolder(const QString& folder) {
    return EInOutError(QStringLiteral("Im Ordner für temporäre Dateien (%1) kann keine Datei "
                                      "angelegt werden")
                           .arg(QDir::toNativeSeparators(folder))
                           .toStdString());
}

} // namespace

QString MakeTempFileName(const QString& prefix, const QString& extension) {
    // Qt gives an empty path when the folder named by the system does not exist.
    QString folder = QDir::tempPath();
    if (folder.isEmpty())
        throw noTemporaryFolder(qEnvironmentVariable("TMPDIR"));
    if (!folder.endsWith(u'/'))
        folder += u'/';
    for (quint64 counter = 0;; ++counter) {
        const QString name = folder + prefix + QString::number(counter) + extension;
        // Creating the file exclusively reserves the name: no other process can take it
        // between here and the codec library writing it.
        QFile file(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return name;
        const QFileInfo info(name);
        if (!info.exists() && !info.isSymLink())
            throw noTemporaryFolder(folder);
    }
}
