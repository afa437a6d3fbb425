// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "shell/file_columns.h"

#include <QHeaderView>
#include <QLocale>

namespace {

enum Column { Name, Size, Type, Modified };

} // namespace

QVariant localeFileColumn(const QFileSystemModel& files, const QModelIndex& index, int role) {
    if (role != Qt::DisplayRole || !index.isValid())
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
    for (const int column : {Size, Type, Modified})
        header.setSectionResizeMode(column, QHeaderView::ResizeToContents);
}
