// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "shell/shell_folders.h"

#include <QTreeView>

class QFileSystemModel;

// The folder tree: folders only, hidden ones left out. Its invisible root is the desktop; the
// file-system root is its top node. No selected node means the desktop is selected.
class ShellTree : public QTreeView {
    Q_OBJECT
public:
    explicit ShellTree(QWidget* parent = nullptr);

    // The file-system path of the selected folder; empty when the selected node has none.
    QString SelectedFolder() const;
    // Which special folder the selected node is; SF_NONE for an ordinary folder.
    TShellFolder SpecialFolder() const;

    // Selects the node of a folder path, opening its parents; false when there is none.
    bool setSelectedFolder(const QString& path);
    void setSpecialFolder(TShellFolder folder);

signals:
    // Another folder was selected.
    void folderChanged();

private:
    QFileSystemModel* folders;
};
