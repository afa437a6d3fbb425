// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QFileSystemModel>
#include <QIdentityProxyModel>

class QHeaderView;

// Qt's file model writes sizes and dates in the system's locale, which is English where the
// process runs without one; these write them in the program's locale (QLocale()). Files get the
// icon theme's icon for their type also where the desktop session hands Qt no file icons.

// The size and date columns' texts of a file model's entry in the program's locale, and a file's
// icon by its type; an invalid QVariant where the model's own stands (other columns, folders).
QVariant localeFileColumn(const QFileSystemModel& files, const QModelIndex& index, int role);

// The file list's model.
class LocaleFileSystemModel : public QFileSystemModel {
    Q_OBJECT
public:
    using QFileSystemModel::QFileSystemModel;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
};

// Put between a file dialog and its file model.
class LocaleFileColumns : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
};

// Sizes the columns after the name to their widest text, so none is cut; the name takes the
// rest of the width.
void fitFileColumns(QHeaderView& header);
