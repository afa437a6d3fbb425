// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/source_list_view.h"

#include "app/AddPagesFUnit.h"
#include "common/file_names.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QUrl>

#include <algorithm>

namespace {

// Rows dragged within the list: "<process>:<list>;<row>,<row>...".
const QString kRowsFormat = QStringLiteral("application/x-tavimo-source-rows");

// The video files of a folder as the add-files dialog lists them: any letter case of the
// masks, hidden files left out, by name with numbers in their numeric order.
QStringList videoFilesIn(const QString& folder) {
    const QDir dir(folder);
    QStringList names = dir.entryList(
        QString::fromLatin1(kVideoFileMasks).split(u';', Qt::SkipEmptyParts), QDir::Files);
    // German, the program's language, also where the process runs in the C locale, which
    // would compare the numbers in names digit by digit.
    QCollator byName{QLocale(QLocale::German)};
    byName.setNumericMode(true);
    byName.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), byName);
    QStringList paths;
    for (const QString& name : names)
        paths << dir.filePath(name);
    return paths;
}

// Local files as they are and the video files of local folders, in the order dropped.
QStringList droppedSourcePaths(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        const QFileInfo info(path);
        if (info.isDir())
            paths << videoFilesIn(path);
        else if (info.isFile())
            paths << path;
    }
    return paths;
}

void acceptAs(QDropEvent* event, Qt::DropAction action) {
    event->setDropAction(action);
    event->accept();
}

// An entry's text is the source's path as it is; it is drawn with its control characters shown.
class VisibleNameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override {
        return value.userType() == QMetaType::QString
                   ? visibleName(value.toString())
                   : QStyledItemDelegate::displayText(value, locale);
    }
};

} // namespace

SourceListView::SourceListView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderLabels({QStringLiteral("Quelldateien")});
    header()->setStretchLastSection(false);
    header()->resizeSection(0, 600);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDragDropOverwriteMode(false);
    setItemDelegate(new VisibleNameDelegate(this));
    // The selection shows as strongly while another control has the focus.
    QPalette colours = palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    setPalette(colours);
}

void SourceListView::moveSelectedRows(int step) {
    step = step < 0 ? -1 : 1;
    QTreeWidgetItem* const current = currentItem();
    const int count = topLevelItemCount();
    // Towards the end moved to first, so that a block's leading entry makes room for the next.
    for (int i = 0; i < count; ++i) {
        const int row = step < 0 ? i : count - 1 - i;
        const int neighbour = row + step;
        if (neighbour < 0 || neighbour >= count || !topLevelItem(row)->isSelected() ||
            topLevelItem(neighbour)->isSelected())
            continue;
        QTreeWidgetItem* const item = takeTopLevelItem(row);
        insertTopLevelItem(neighbour, item);
        item->setSelected(true);
    }
    if (current) {
        setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
        scrollToItem(current);
    }
}

void SourceListView::moveRows(QList<int> rows, int target) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const int count = topLevelItemCount();
    rows.removeIf([count](int row) { return row < 0 || row >= count; });
    if (rows.isEmpty())
        return;
    target = std::clamp(target, 0, count);
    // From the back, so that the rows still to be taken stay where they are.
    QList<QTreeWidgetItem*> block;
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        block.prepend(takeTopLevelItem(*row));
        if (*row < target)
            --target;
    }
    insertTopLevelItems(target, block);
    clearSelection();
    for (QTreeWidgetItem* item : block)
        item->setSelected(true);
    setCurrentItem(block.first(), 0, QItemSelectionModel::NoUpdate);
    scrollToItem(block.first());
}

QString SourceListView::dragOwner() const {
    return QStringLiteral("%1:%2")
        .arg(QCoreApplication::applicationPid())
        .arg(reinterpret_cast<quintptr>(this));
}

QMimeData* SourceListView::mimeData(const QList<QTreeWidgetItem*>& items) const {
    QStringList rows;
    for (QTreeWidgetItem* item : items)
        rows << QString::number(indexOfTopLevelItem(item));
    auto* payload = new QMimeData;
    payload->setData(kRowsFormat, (dragOwner() + u';' + rows.join(u',')).toUtf8());
    return payload;
}

std::optional<QList<int>> SourceListView::draggedRows(const QMimeData* payload) const {
    if (!payload || !payload->hasFormat(kRowsFormat))
        return std::nullopt;
    const QString text = QString::fromUtf8(payload->data(kRowsFormat));
    if (text.section(u';', 0, 0) != dragOwner())
        return std::nullopt;
    QList<int> rows;
    for (const QString& number : text.section(u';', 1).split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int row = number.toInt(&ok);
        if (!ok || row < 0 || row >= topLevelItemCount())
            return std::nullopt;
        rows << row;
    }
    return rows;
}

QStringList SourceListView::mimeTypes() const {
    return {kRowsFormat, QStringLiteral("text/uri-list")};
}

Qt::DropActions SourceListView::supportedDropActions() const {
    return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}

void SourceListView::startDrag(Qt::DropActions) {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(model()->mimeData(rows));
    // The drop has moved the rows when this returns; unlike the base class's drag, which would
    // now delete the rows at the places they came from, nothing is left to do.
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

Qt::DropAction SourceListView::dropAction(const QDropEvent& event) const {
    const Qt::DropActions possible = event.possibleActions();
    if (draggedRows(event.mimeData()))
        return possible & Qt::MoveAction ? Qt::MoveAction : Qt::IgnoreAction;
    const QMimeData* payload = event.mimeData();
    if (!payload || !payload->hasUrls())
        return Qt::IgnoreAction;
    const QList<QUrl> urls = payload->urls();
    if (std::none_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
        return Qt::IgnoreAction;
    // Never a move: the file manager would delete the files it handed over.
    if (possible & Qt::CopyAction)
        return Qt::CopyAction;
    return possible & Qt::LinkAction ? Qt::LinkAction : Qt::IgnoreAction;
}

void SourceListView::dragEnterEvent(QDragEnterEvent* event) {
    const Qt::DropAction action = dropAction(*event);
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    // Files are appended wherever they are dropped: only rows show where they will land.
    setDropIndicatorShown(action == Qt::MoveAction);
    // The base class enters the dragging state, which draws the indicator.
    QTreeWidget::dragEnterEvent(event);
    acceptAs(event, action);
}

void SourceListView::dragMoveEvent(QDragMoveEvent* event) {
    const Qt::DropAction action = dropAction(*event);
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    // The base class places the indicator and scrolls at the edges.
    QTreeWidget::dragMoveEvent(event);
    acceptAs(event, action);
}

void SourceListView::dropEvent(QDropEvent* event) {
    // Ends the dragging state the base class began for the indicator and the scrolling.
    stopAutoScroll();
    setState(NoState);
    viewport()->update();

    const Qt::DropAction action = dropAction(*event);
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    acceptAs(event, action);
    if (const std::optional<QList<int>> rows = draggedRows(event->mimeData())) {
        moveRows(*rows, insertionRow(event->position().toPoint()));
        return;
    }
    const QStringList paths = droppedSourcePaths(event->mimeData()->urls());
    if (!paths.isEmpty())
        emit pathsDropped(paths);
}

int SourceListView::insertionRow(const QPoint& point) const {
    const QModelIndex index = indexAt(point);
    if (!index.isValid())
        return topLevelItemCount();
    return index.row() + (point.y() >= visualRect(index).center().y() ? 1 : 0);
}

void SourceListView::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier &&
        (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        moveSelectedRows(event->key() == Qt::Key_Up ? -1 : 1);
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void SourceListView::rowsInserted(const QModelIndex& parent, int start, int end) {
    QTreeWidget::rowsInserted(parent, start, end);
    // Entries take no drops themselves: rows land between them, as the indicator shows.
    if (parent.isValid())
        return;
    for (int row = start; row <= end; ++row) {
        if (QTreeWidgetItem* item = topLevelItem(row))
            item->setFlags(item->flags() & ~Qt::ItemIsDropEnabled);
    }
}
