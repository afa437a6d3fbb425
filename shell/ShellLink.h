// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QObject>

class ShellTree;
class ShellList;

// Keeps the file list on the folder selected in the tree, and the tree on a folder opened in
// the list.
class ShellLink : public QObject {
    Q_OBJECT
public:
    ShellLink(ShellTree* tree, ShellList* list, QObject* parent = nullptr);

    // The folder the list shows for the tree's selection: the desktop shows its files' folder.
    static QString folderShown(const ShellTree& tree);

private:
    void followTree();

    ShellTree* tree;
    ShellList* list;
};
