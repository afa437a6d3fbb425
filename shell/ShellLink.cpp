// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "shell/ShellLink.h"

#include "shell/ShellList.h"
#include "shell/ShellTree.h"

ShellLink::ShellLink(ShellTree* shellTree, ShellList* shellList, QObject* parent)
    : QObject(parent), tree(shellTree), list(shellList) {
    connect(tree, &ShellTree::folderChanged, this, &ShellLink::followTree);
    connect(list, &ShellList::folderOpened, tree, &ShellTree::setSelectedFolder);
    followTree();
}

QString ShellLink::folderShown(const ShellTree& tree) {
    const QString selected = tree.SelectedFolder();
    if (!selected.isEmpty())
        return selected;
    const TShellFolder special = tree.SpecialFolder();
    return ShellFolderPath(special == SF_DESKTOP ? SF_DESKTOPDIRECTORY : special);
}

void ShellLink::followTree() {
    list->setFolder(folderShown(*tree));
}
