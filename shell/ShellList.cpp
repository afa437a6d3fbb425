#include "shell/ShellList.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>

ShellList::ShellList(QWidget* parent) : QTreeView(parent), model(new QFileSystemModel(this)) {
    // Sub-folders are listed whatever their names; only files must match a mask.
    model->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    model->setNameFilterDisables(false);
    model->setReadOnly(true);
    setModel(model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(true);
    sortByColumn(0, Qt::AscendingOrder);
    header()->resizeSection(0, 220);
    connect(model, &QFileSystemModel::directoryLoaded, this, &ShellList::folderLoaded);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (model->isDir(index))
            emit folderOpened(model->filePath(index));
    });
}

void ShellList::setFilter(const QString& masks) {
    filter = masks;
    // QFileSystemModel matches name filters without regard to letter case.
    model->setNameFilters(masks.split(u';', Qt::SkipEmptyParts));
}

void ShellList::setFolder(const QString& path) {
    // An empty path lists nothing: the folder has no place in the file system.
    folder = path.isEmpty() ? QString() : QDir::cleanPath(path);
    setRootIndex(folder.isEmpty() ? QModelIndex() : model->setRootPath(folder));
}

QList<ShellListItem> ShellList::items() const {
    QList<ShellListItem> result;
    if (folder.isEmpty())
        return result;
    const QModelIndex root = rootIndex();
    const int rows = model->rowCount(root);
    for (int row = 0; row < rows; ++row) {
        const QModelIndex index = model->index(row, 0, root);
        result.append({selectionModel()->isSelected(index), model->isDir(index),
                       model->fileName(index)});
    }
    return result;
}

void ShellList::selectItems(const QStringList& names) {
    QItemSelection selection;
    const QModelIndex root = rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row) {
        const QModelIndex index = model->index(row, 0, root);
        if (names.contains(model->fileName(index)))
            selection.select(index, index);
    }
    selectionModel()->select(selection,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}
