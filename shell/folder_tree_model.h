// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "shell/shell_folders.h"

#include <QFileIconProvider>
#include <QStandardItemModel>

// The folder tree's nodes, rooted like a desktop: one top node for the desktop, which holds the
// home folder, the desktop folder (where there is one apart from home), the file system and the
// mounted volumes. A folder's sub-folders are listed when it is first opened, hidden ones left
// out, and again when it is opened later.
class FolderTreeModel : public QStandardItemModel {
    Q_OBJECT
public:
    enum Role {
        PathRole = Qt::UserRole + 1, // the file-system path; empty for the desktop
        KindRole,                    // TShellFolder of a top node, SF_NONE for the others
        ListedRole,                  // true once the sub-folders were listed
    };

    explicit FolderTreeModel(QObject* parent = nullptr);

    QStandardItem* desktop() const { return item(0); }
    // The desktop's nodes: home, desktop folder, file system, volumes.
    QList<QStandardItem*> places() const;
    static QString path(const QStandardItem* node);

    // The node's sub-folder of this name, listing the node's sub-folders first when they were
    // not yet listed or the name is missing from the list; null when there is no such folder.
    QStandardItem* subFolder(QStandardItem* node, const QString& name);
    // Lists the node's sub-folders again: new ones are added, gone ones removed, the others kept
    // with their own sub-folders.
    void relist(QStandardItem* node);
    // True when the view's opening of this node listed it first: it needs no second listing.
    bool takeFirstListing(const QStandardItem* node);

    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    QStandardItem* addPlace(const QString& text, const QString& path, TShellFolder kind,
                            const QIcon& icon);
    QStandardItem* folderNode(const QString& name, const QString& path) const;

    QFileIconProvider icons;
    QIcon folderIcon;
    const QStandardItem* firstListed = nullptr;
};
