// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QTreeWidget>

#include <optional>

// The main window's list of sources, one column "Quelldateien", in the order they are joined.
// Several entries can be selected, and stay visibly selected without focus. Files and folders
// dropped from a file manager are handed on as paths; entries dragged within the list, or moved
// with Ctrl+Up and Ctrl+Down, change places.
class SourceListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit SourceListView(QWidget* parent = nullptr);

    // Moves the selected entries one place up (step -1) or down (step 1); an entry passes an
    // unselected neighbour only, so selected neighbours move as one block and stop at the end.
    void moveSelectedRows(int step);
    // Moves the entries at `rows` as one block, in their order, before the entry at `target`
    // (or to the end when it is the number of entries), and leaves just them selected.
    void moveRows(QList<int> rows, int target);

signals:
    // Local files were dropped: the files, and the video files of dropped folders by name.
    void pathsDropped(const QStringList& paths);

protected:
    // The rows of `items`, as the list drags them; only this list accepts them when dropped.
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;

private:
    // What a drop does here: a move of own rows, a copy (or link) of local files, or nothing.
    Qt::DropAction dropAction(const QDropEvent& event) const;
    // Names this list and its process: rows are moved only by a drag this very list began.
    QString dragOwner() const;
    // The rows this list dragged, or nothing when the data came from elsewhere.
    std::optional<QList<int>> draggedRows(const QMimeData* payload) const;
    // The row a drop at `point` inserts before: below the middle of an entry means after it.
    int insertionRow(const QPoint& point) const;
};
