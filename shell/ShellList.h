// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QFileIconProvider>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTreeView>

class QFileSystemModel;

// One entry of the file list as the add-files dialog reads it.
struct ShellListItem {
    bool selected = false;
    bool isFolder = false;
    QString ObjectName; // the name in the file system, extension included
};

// The file list in report view: the sub-folders and the files of one folder that match the
// filter masks, letter case ignored, several items selectable; the theme's icons, sizes and
// dates in the program's locale.
class ShellList : public QTreeView {
    Q_OBJECT
public:
    explicit ShellList(QWidget* parent = nullptr);
    ~ShellList() override;

    // Masks separated by ";", such as "*.AVI;*.MPG".
    void setFilter(const QString& masks);
    QString Filter() const { return filter; }

    void setFolder(const QString& path);
    QString Folder() const { return folder; }

    // The items in display order; the folder's contents arrive in the background, so the list
    // may still grow after setFolder.
    QList<ShellListItem> items() const;
    // Selects exactly the items with these names.
    void selectItems(const QStringList& names);

signals:
    // A sub-folder was opened by a double click.
    void folderOpened(const QString& path);
    // The folder's contents have been read.
    void folderLoaded(const QString& path);

private:
    QFileIconProvider icons;
    QFileSystemModel* entries;
    QString filter;
    QString folder;
};
