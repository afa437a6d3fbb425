// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "common/error_text.h"

#include <cerrno>
#include <cstring>

QString withFullStop(const QString& message) {
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

QString systemErrorText(int errorNumber) {
    // The errors a user meets when writing files, in the words the user's system would use.
    switch (errorNumber) {
    case ENOSPC:
        return QStringLiteral("Auf dem Datenträger ist kein Platz mehr frei");
    case EDQUOT:
        return QStringLiteral("Das Speicherkontingent ist erschöpft");
    case EFBIG:
        return QStringLiteral("Die Datei ist größer, als erlaubt ist");
    case EACCES:
    case EPERM:
        return QStringLiteral("Keine Berechtigung");
    case EROFS:
        return QStringLiteral("Das Dateisystem ist nur lesbar");
    case ENOENT:
        return QStringLiteral("Der Ordner oder die Datei existiert nicht");
    case ENOTDIR:
        return QStringLiteral("Ein Teil des Pfades ist kein Ordner");
    case EISDIR:
        return QStringLiteral("Das ist ein Ordner");
    case ENAMETOOLONG:
        return QStringLiteral("Der Name ist zu lang");
    case EIO:
        return QStringLiteral("Ein-/Ausgabefehler");
    case EPIPE:
        return QStringLiteral("Der Empfänger der Daten ist nicht mehr da");
    case EEXIST:
        return QStringLiteral("Eine Datei dieses Namens ist inzwischen entstanden");
    case EXDEV:
        return QStringLiteral("Die Dateien liegen auf verschiedenen Dateisystemen");
    default:
        return QString::fromLocal8Bit(std::strerror(errorNumber));
    }
}
