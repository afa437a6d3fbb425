// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// The source list's handlers: adding files through the add-files dialog or by a drop,
// deleting entries.
#include "app/wMain.h"

#include "app/AddPagesFUnit.h"
#include "app/add_files.h"
#include "shell/ShellList.h"
#include "shell/ShellTree.h"

#include <QDir>
#include <QStyle>
#include <QTreeWidget>

namespace {

// Which source of the running (or last) run an entry is; entries added later carry none.
constexpr int kRunTagRole = Qt::UserRole + 1;

} // namespace

QString addFilesFolder(const QString& selectedFolder, TShellFolder specialFolder) {
    QString folder = selectedFolder;
    if (folder.isEmpty()) {
        folder = specialFolder == SF_DESKTOP ? ShellFolderPath(SF_DESKTOPDIRECTORY)
                                             : ShellFolderPath(specialFolder);
    }
    const QChar separator = QDir::separator();
    if (!folder.isEmpty() && !folder.endsWith(separator))
        folder += separator;
    return folder;
}

void TMainForm::AddBtnClick() {
    if (!AddPagesForm || AddPagesForm->exec() != QDialog::Accepted)
        return;
    const ShellTree& tree = *AddPagesForm->ShellTree1;
    const QString folder = addFilesFolder(tree.SelectedFolder(), tree.SpecialFolder());
    for (const ShellListItem& item : AddPagesForm->ShellList1->items()) {
        if (!item.selected || item.isFolder)
            continue;
        ListView1->addTopLevelItem(new QTreeWidgetItem(QStringList{folder + item.ObjectName}));
    }
}

void TMainForm::appendSources(const QStringList& paths) {
    for (const QString& path : paths)
        ListView1->addTopLevelItem(new QTreeWidgetItem(QStringList{path}));
}

void TMainForm::DeleteBtnClick() {
    // From the back, so that the positions still to be visited stay where they are.
    for (int i = ListView1->topLevelItemCount() - 1; i >= 0; --i) {
        if (ListView1->topLevelItem(i)->isSelected())
            delete ListView1->takeTopLevelItem(i);
    }
}

void TMainForm::tagSources() {
    // A fresh tag per run: entries moved or deleted during the run are found by it, not by row.
    ++currentRunTag;
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ListView1->topLevelItem(i);
        item->setData(0, kRunTagRole, QStringLiteral("%1/%2").arg(currentRunTag).arg(i));
        item->setIcon(0, QIcon());
        item->setToolTip(0, QString());
    }
}

void TMainForm::markProblemSources(const ConversionOutcome& outcome) {
    const QIcon icon = style()->standardIcon(QStyle::SP_MessageBoxCritical);
    for (const SourceProblem& problem : outcome.problems) {
        const QString tag = QStringLiteral("%1/%2").arg(currentRunTag).arg(problem.index);
        for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = ListView1->topLevelItem(i);
            if (item->data(0, kRunTagRole).toString() != tag)
                continue;
            item->setIcon(0, icon);
            item->setToolTip(0, (problem.cutShort ? QStringLiteral("Nicht ganz umgewandelt: ")
                                                  : QStringLiteral("Nicht umgewandelt: ")) +
                                    problem.reason);
        }
    }
}
