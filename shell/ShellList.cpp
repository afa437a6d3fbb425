// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "shell/ShellList.h"

#include "shell/file_columns.h"

#include <QDir>
#include <QHeaderView>

ShellList::ShellList(QWidget* parent)
    : QTreeView(parent), entries(new LocaleFileSystemModel(this)) {
    // The widgets' provider falls back on the style's icons where the theme has none.
    entries->setIconProvider(&icons);
    // Sub-folders are listed whatever their names; only files must match a mask.
    entries->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    entries->setNameFilterDisables(false);
    entries->setReadOnly(true);
    setModel(entries);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(true);
    sortByColumn(0, Qt::AscendingOrder);
    fitFileColumns(*header());
    connect(entries, &QFileSystemModel::directoryLoaded, this, &ShellList::folderLoaded);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (entries->isDir(index))
            emit folderOpened(entries->filePath(index));
    });
}

ShellList::~ShellList() {
    // The model's reading thread asks the icon provider, a member that goes before the children.
    setModel(nullptr);
    delete entries;
}

void ShellList::setFilter(const QString& masks) {
    filter = masks;
    // QFileSystemModel matches name filters without regard to letter case.
    entries->setNameFilters(masks.split(u';', Qt::SkipEmptyParts));
}

void ShellList::setFolder(const QString& path) {
    // An empty path lists nothing: the folder has no place in the file system.
    folder = path.isEmpty() ? QString() : QDir::cleanPath(path);
    setRootIndex(folder.isEmpty() ? QModelIndex() : entries->setRootPath(folder));
}

QList<ShellListItem> ShellList::items() const {
    QList<ShellListItem> result;
    if (folder.isEmpty())
        return result;
    const QModelIndex root = rootIndex();
    const int rows = entries->rowCount(root);
    for (int row = 0; row < rows; ++row) {
        const QModelIndex index = entries->index(row, 0, root);
        result.append(
            {selectionModel()->isSelected(index), entries->isDir(index), entries->fileName(index)});
    }
    return result;
}

void ShellList::selectItems(const QStringList& names) {
    QItemSelection selection;
    const QModelIndex root = rootIndex();
    for (int row = 0; row < entries->rowCount(root); ++row) {
        const QModelIndex index = entries->index(row, 0, root);
        if (names.contains(entries->fileName(index)))
            selection.select(index, index);
    }
    selectionModel()->select(selection,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}
