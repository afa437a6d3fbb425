// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "shell/shell_folders.h"

#include <QTreeView>

class FolderTreeModel;
class QStandardItem;

// The folder tree: folders only, hidden ones left out, with the theme's icons. Its top node is
// the desktop, which holds the home folder, the desktop folder, the file system and the mounted
// volumes; it opens at the file system.
class ShellTree : public QTreeView {
    Q_OBJECT
public:
    explicit ShellTree(QWidget* parent = nullptr);

    // The file-system path of the selected folder; empty when the selected node has none.
    QString SelectedFolder() const;
    // Which special folder the selected node is; SF_NONE for an ordinary folder.
    TShellFolder SpecialFolder() const;

    // Selects the node of a folder path, opening its parents; false when there is none. The
    // path is looked for below the place the selection is in, else below the place nearest it.
    bool setSelectedFolder(const QString& path);
    void setSpecialFolder(TShellFolder folder);

signals:
    // Another folder was selected.
    void folderChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Selects the node, opening its parents; false when it went with its folder meanwhile.
    bool select(QStandardItem* node);
    // The desktop's node the given one lies in, or null for the desktop itself.
    QStandardItem* placeOf(QStandardItem* node) const;

    FolderTreeModel* folders;
};
