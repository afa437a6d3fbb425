// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "shell/file_columns.h"

#include <QHash>
#include <QHeaderView>
#include <QIcon>
#include <QLocale>
#include <QMimeDatabase>

namespace {

enum Column { Name, Size, Type, Modified };

// The theme's icon for a file's type, by its name alone: nothing of the file is read. Looked up
// here, on the thread of the views: the theme cannot be asked from the model's reading thread.
QIcon typeIcon(const QString& fileName) {
    static QHash<QString, QIcon> byType;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    const auto known = byType.constFind(type.name());
    if (known != byType.constEnd())
        return *known;
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    byType.insert(type.name(), icon);
    return icon;
}

} // namespace

QVariant localeFileColumn(const QFileSystemModel& files, const QModelIndex& index, int role) {
    if (!index.isValid())
        return {};
    if (role == Qt::DecorationRole && index.column() == Name && !files.isDir(index)) {
        const QIcon icon = typeIcon(files.fileName(index));
        return icon.isNull() ? QVariant() : QVariant(icon);
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Size:
        if (files.isDir(index))
            return {};
        return QLocale().formattedDataSize(files.size(index));
    case Modified:
        return QLocale().toString(files.lastModified(index), QLocale::ShortFormat);
    default:
        return {};
    }
}

QVariant LocaleFileSystemModel::data(const QModelIndex& index, int role) const {
    const QVariant text = localeFileColumn(*this, index, role);
    return text.isValid() ? text : QFileSystemModel::data(index, role);
}

QVariant LocaleFileColumns::data(const QModelIndex& index, int role) const {
    if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel())) {
        const QVariant text = localeFileColumn(*files, mapToSource(index), role);
        if (text.isValid())
            return text;
    }
    return QIdentityProxyModel::data(index, role);
}

void fitFileColumns(QHeaderView& header) {
    header.setStretchLastSection(false);
    header.setSectionResizeMode(Name, QHeaderView::Stretch);
    for (const int column : {Size, Type, Modified})
        header.setSectionResizeMode(column, QHeaderView::ResizeToContents);
}
