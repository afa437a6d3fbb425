// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "shell/ShellTree.h"

#include "shell/folder_tree_model.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>

namespace {

// True when `path` is `root` or lies below it.
bool within(const QString& path, const QString& root) {
    if (root.isEmpty())
        return false;
    if (path == root || root == QDir::rootPath())
        return path.startsWith(root);
    return path.startsWith(root + u'/');
}

} // namespace

ShellTree::ShellTree(QWidget* parent) : QTreeView(parent), folders(new FolderTreeModel(this)) {
    // A selected folder that is gone when its parent is listed again hands the selection to
    // that parent, not to the folder beside it. Connected before the view's selection model, which
    // would otherwise move the selection first.
    connect(folders, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& holder, int first, int last) {
                for (QModelIndex at = currentIndex(); at.isValid(); at = at.parent()) {
                    if (at.parent() == holder && at.row() >= first && at.row() <= last) {
                        setCurrentIndex(holder);
                        return;
                    }
                }
            });
    setModel(folders);
    header()->hide();
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            &ShellTree::folderChanged);
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        // Opened again: what changed on disk since shows.
        QStandardItem* node = folders->itemFromIndex(index);
        if (!folders->takeFirstListing(node))
            folders->relist(node);
    });
    expand(folders->desktop()->index());
    setSpecialFolder(SF_DRIVES);
}

QString ShellTree::SelectedFolder() const {
    return FolderTreeModel::path(folders->itemFromIndex(currentIndex()));
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

QStandardItem* ShellTree::placeOf(QStandardItem* node) const {
    while (node && node->parent() && node->parent() != folders->desktop())
        node = node->parent();
    return node && node->parent() ? node : nullptr;
}

bool ShellTree::setSelectedFolder(const QString& path) {
    const QString target = QDir::cleanPath(QDir(path).absolutePath());
    if (!QFileInfo(target).isDir())
        return false;
    // The place of the selection, so that a folder opened in the list stays under it; else the
    // place nearest the folder.
    QStandardItem* place = placeOf(folders->itemFromIndex(currentIndex()));
    if (!place || !within(target, FolderTreeModel::path(place))) {
        place = nullptr;
        for (QStandardItem* candidate : folders->places()) {
            const QString root = FolderTreeModel::path(candidate);
            if (within(target, root) &&
                (!place || root.size() > FolderTreeModel::path(place).size()))
                place = candidate;
        }
    }
    if (!place)
        return false;
    QStandardItem* node = place;
    const QString root = FolderTreeModel::path(place);
    for (const QString& name : target.mid(root.size()).split(u'/', Qt::SkipEmptyParts)) {
        node = folders->subFolder(node, name);
        if (!node)
            return false;
    }
    return select(node);
}

void ShellTree::setSpecialFolder(TShellFolder folder) {
    if (folder == SF_DESKTOP) {
        select(folders->desktop());
        return;
    }
    for (QStandardItem* place : folders->places()) {
        if (place->data(FolderTreeModel::KindRole).toInt() == folder) {
            select(place);
            return;
        }
    }
    const QString path = ShellFolderPath(folder);
    if (!path.isEmpty())
        setSelectedFolder(path);
}

bool ShellTree::select(QStandardItem* node) {
    // Opening the parents lists their folders again: folders made meanwhile move the node down,
    // and one removed meanwhile takes it away.
    const QPersistentModelIndex index(node->index());
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        expand(parent);
    if (!index.isValid())
        return false;
    setCurrentIndex(index);
    expand(index);
    // Before the tree is shown it has no size to scroll by; it scrolls when it is shown.
    if (isVisible())
        scrollTo(index);
    return true;
}

void ShellTree::showEvent(QShowEvent* event) {
    QTreeView::showEvent(event);
    scrollTo(currentIndex());
}
