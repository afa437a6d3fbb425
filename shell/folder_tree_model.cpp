// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "shell/folder_tree_model.h"

#include <QDir>
#include <QSet>
#include <QStorageInfo>

#include <utility>

namespace {

// Volumes of real devices other than the file system's root, as file managers list them:
// loop devices (snaps, images) and the boot partitions left out, and single files that a
// container mounts.
QList<QStorageInfo> listedVolumes() {
    QList<QStorageInfo> volumes;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        const QString device = QString::fromLocal8Bit(volume.device());
        if (!volume.isValid() || !volume.isReady() || root == QDir::rootPath() ||
            !device.startsWith(QLatin1String("/dev/")) ||
            device.startsWith(QLatin1String("/dev/loop")) ||
            root.startsWith(QLatin1String("/boot")) || !QFileInfo(root).isDir())
            continue;
        volumes << volume;
    }
    return volumes;
}

} // namespace

FolderTreeModel::FolderTreeModel(QObject* parent)
    : QStandardItemModel(parent), folderIcon(icons.icon(QFileIconProvider::Folder)) {
    auto* top = new QStandardItem(
        QIcon::fromTheme(QStringLiteral("user-desktop"), icons.icon(QFileIconProvider::Desktop)),
        QStringLiteral("Desktop"));
    top->setEditable(false);
    top->setData(int(SF_DESKTOP), KindRole);
    top->setData(true, ListedRole);
    appendRow(top);

    const QString home = ShellFolderPath(SF_PERSONAL);
    addPlace(QStringLiteral("Persönlicher Ordner"), home, SF_PERSONAL,
             QIcon::fromTheme(QStringLiteral("user-home"), folderIcon));
    // Where there is no desktop folder, the desktop's files are those of home, listed already.
    const QString desktopFiles = ShellFolderPath(SF_DESKTOPDIRECTORY);
    if (desktopFiles != home)
        addPlace(QDir(desktopFiles).dirName(), desktopFiles, SF_DESKTOPDIRECTORY,
                 QIcon::fromTheme(QStringLiteral("user-desktop"), folderIcon));
    const QIcon drive =
        QIcon::fromTheme(QStringLiteral("drive-harddisk"), icons.icon(QFileIconProvider::Drive));
    addPlace(QStringLiteral("Dateisystem"), ShellFolderPath(SF_DRIVES), SF_DRIVES, drive);
    for (const QStorageInfo& volume : listedVolumes())
        addPlace(volume.displayName(), volume.rootPath(), SF_NONE, drive);
}

QList<QStandardItem*> FolderTreeModel::places() const {
    QList<QStandardItem*> result;
    for (int row = 0; row < desktop()->rowCount(); ++row)
        result << desktop()->child(row);
    return result;
}

QString FolderTreeModel::path(const QStandardItem* node) {
    return node ? node->data(PathRole).toString() : QString();
}

QStandardItem* FolderTreeModel::addPlace(const QString& text, const QString& path,
                                         TShellFolder kind, const QIcon& icon) {
    QStandardItem* node = folderNode(text, QDir::cleanPath(path));
    node->setIcon(icon);
    node->setData(int(kind), KindRole);
    desktop()->appendRow(node);
    return node;
}

QStandardItem* FolderTreeModel::folderNode(const QString& name, const QString& path) const {
    auto* node = new QStandardItem(folderIcon, name);
    node->setEditable(false);
    node->setData(path, PathRole);
    node->setData(int(SF_NONE), KindRole);
    return node;
}

QStandardItem* FolderTreeModel::subFolder(QStandardItem* node, const QString& name) {
    const auto find = [node, &name]() -> QStandardItem* {
        for (int row = 0; row < node->rowCount(); ++row) {
            if (node->child(row)->text() == name)
                return node->child(row);
        }
        return nullptr;
    };
    QStandardItem* found = node->data(ListedRole).isValid() ? find() : nullptr;
    if (!found) {
        relist(node);
        found = find();
    }
    return found;
}

void FolderTreeModel::relist(QStandardItem* node) {
    const QString folder = path(node);
    if (folder.isEmpty())
        return;
    node->setData(true, ListedRole);
    const QFileInfoList found = QDir(folder).entryInfoList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    QSet<QString> names;
    for (const QFileInfo& info : found)
        names.insert(info.fileName());
    // Nodes that stay are never taken out and put back: that would lose the view's current node
    // and selection among them, and the tree would jump to another folder.
    QSet<QString> kept;
    for (int row = node->rowCount() - 1; row >= 0; --row) {
        if (names.contains(node->child(row)->text()))
            kept.insert(node->child(row)->text());
        else
            node->removeRow(row);
    }
    // New folders go in at their place in the order of the listing.
    int row = 0;
    for (const QFileInfo& info : found) {
        const QString name = info.fileName();
        if (row < node->rowCount() && node->child(row)->text() == name)
            ++row;
        else if (!kept.contains(name))
            node->insertRow(row++, folderNode(name, QDir::cleanPath(info.absoluteFilePath())));
    }
}

bool FolderTreeModel::takeFirstListing(const QStandardItem* node) {
    return std::exchange(firstListed, nullptr) == node;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    // A folder not yet listed may hold sub-folders: it can be opened to see.
    if (parent.isValid() && !parent.data(ListedRole).isValid())
        return true;
    return QStandardItemModel::hasChildren(parent);
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
    return parent.isValid() && !parent.data(ListedRole).isValid();
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    firstListed = itemFromIndex(parent);
    relist(itemFromIndex(parent));
}
