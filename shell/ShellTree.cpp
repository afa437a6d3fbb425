// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "shell/ShellTree.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>

ShellTree::ShellTree(QWidget* parent) : QTreeView(parent), folders(new QFileSystemModel(this)) {
    folders->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    folders->setRootPath(QDir::rootPath());
    setModel(folders);
    for (int column = 1; column < folders->columnCount(); ++column)
        hideColumn(column);
    header()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            &ShellTree::folderChanged);
    setSpecialFolder(SF_DRIVES);
}

QString ShellTree::SelectedFolder() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? folders->filePath(current) : QString();
}

TShellFolder ShellTree::SpecialFolder() const {
    const QString path = SelectedFolder();
    if (path.isEmpty())
        return SF_DESKTOP;
    for (const TShellFolder folder : {SF_DRIVES, SF_DESKTOPDIRECTORY, SF_PERSONAL}) {
        if (path == ShellFolderPath(folder))
            return folder;
    }
    return SF_NONE;
}

bool ShellTree::setSelectedFolder(const QString& path) {
    const QModelIndex index = folders->index(QDir::cleanPath(path));
    if (!index.isValid() || !folders->isDir(index))
        return false;
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        expand(parent);
    setCurrentIndex(index);
    expand(index);
    scrollTo(index);
    return true;
}

void ShellTree::setSpecialFolder(TShellFolder folder) {
    if (folder == SF_DESKTOP) {
        selectionModel()->clear();
        return;
    }
    const QString path = ShellFolderPath(folder);
    if (!path.isEmpty())
        setSelectedFolder(path);
}
