// The source list's handlers: adding files through the add-files dialog, deleting entries.
#include "app/wMain.h"

#include "app/AddPagesFUnit.h"
#include "shell/ShellList.h"
#include "shell/ShellTree.h"

#include <QDir>
#include <QTreeWidget>

void TMainForm::AddBtnClick() {
    if (!AddPagesForm || AddPagesForm->exec() != QDialog::Accepted)
        return;
    const ShellTree& tree = *AddPagesForm->ShellTree1;
    QString folder = tree.SelectedFolder();
    if (folder.isEmpty()) {
        folder = tree.SpecialFolder() == SF_DESKTOP ? ShellFolderPath(SF_DESKTOPDIRECTORY)
                                                    : ShellFolderPath(tree.SpecialFolder());
    }
    const QChar separator = QDir::separator();
    if (!folder.isEmpty() && !folder.endsWith(separator))
        folder += separator;
    for (const ShellListItem& item : AddPagesForm->ShellList1->items()) {
        if (!item.selected || item.isFolder)
            continue;
        ListView1->addTopLevelItem(new QTreeWidgetItem(QStringList{folder + item.ObjectName}));
    }
}

void TMainForm::DeleteBtnClick() {
    // From the back, so that the positions still to be visited stay where they are.
    for (int i = ListView1->topLevelItemCount() - 1; i >= 0; --i) {
        if (ListView1->topLevelItem(i)->isSelected())
            delete ListView1->takeTopLevelItem(i);
    }
}
