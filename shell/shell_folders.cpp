// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "shell/shell_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString ShellFolderPath(TShellFolder folder) {
    switch (folder) {
    case SF_DESKTOPDIRECTORY: {
        // Many systems have no desktop folder; the home folder is what a desktop shows there.
        const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        if (!desktop.isEmpty() && QFileInfo(desktop).isDir())
            return QDir::cleanPath(desktop);
        return QDir::homePath();
    }
    case SF_DRIVES:
        return QDir::rootPath();
    case SF_PERSONAL:
        return QDir::homePath();
    case SF_DESKTOP:
    case SF_NONE:
        break;
    }
    return {};
}
