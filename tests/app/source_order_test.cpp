// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Files dropped onto the source list, and entries moved within it, through Qt's events.
#include "form_fixture.h"

#include "app/source_list_view.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

class SourceOrder : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    QTreeWidget& list() const { return *form->ListView1; }
    void setEntries(const QStringList& entries, const std::vector<int>& selected) {
        list().clear();
        addSourceEntries(entries);
        for (const int row : selected)
            list().topLevelItem(row)->setSelected(true);
    }
    std::vector<int> selectedRows() const {
        std::vector<int> rows;
        for (int row = 0; row < list().topLevelItemCount(); ++row) {
            if (list().topLevelItem(row)->isSelected())
                rows.push_back(row);
        }
        return rows;
    }
    // A point in entry `row`: its upper half, its lower half, or (row -1) below every entry.
    QPoint pointAt(int row, bool lowerHalf) const {
        if (row < 0)
            return {20, list().viewport()->height() - 2};
        const QRect rect = list().visualItemRect(list().topLevelItem(row));
        return {20, lowerHalf ? rect.bottom() - 2 : rect.top() + 2};
    }
    // A drag that enters, moves to `point` and drops there, as a drag from elsewhere arrives.
    // Returns the action the list took at the drop; IgnoreAction when it refused the drag.
    Qt::DropAction drag(QMimeData& data, QPoint point,
                        Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction) {
        QWidget* const viewport = list().viewport();
        QDragEnterEvent enter(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QDropEvent drop(point, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        EXPECT_EQ(enter.isAccepted(), drop.isAccepted());
        EXPECT_EQ(move.isAccepted(), drop.isAccepted());
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }
    // What the list puts on a drag of its selected entries.
    std::unique_ptr<QMimeData> draggedSelection(const QTreeWidget& from) const {
        return std::unique_ptr<QMimeData>(
            from.model()->mimeData(from.selectionModel()->selectedRows()));
    }
};

TEST_F(SourceOrder, DroppedFilesAndFoldersAreAppendedInTheirOrderAndAnythingElseIgnored) {
    QTemporaryDir dir;
    const QDir root(dir.path());
    ASSERT_TRUE(root.mkpath("clips/inner.avi"));
    for (const char* name :
         {"z.avi", "notes.txt", "clips/clip10.MP4", "clips/clip2.avi", "clips/Clip1.VOB",
          "clips/b.mpeg", "clips/notes.txt", "clips/.hidden.avi", "clips/inner.avi/x.avi"})
        ASSERT_TRUE(QFile(root.filePath(name)).open(QFile::WriteOnly)) << name;
    const auto local = [&](const char* name) { return QUrl::fromLocalFile(root.filePath(name)); };
    const QStringList clips{root.filePath("clips/b.mpeg"), root.filePath("clips/Clip1.VOB"),
                            root.filePath("clips/clip2.avi"), root.filePath("clips/clip10.MP4")};

    const struct {
        const char* what;
        QList<QUrl> urls;
        Qt::DropActions offered;
        Qt::DropAction taken;
        QStringList added;
    } cases[] = {
        {"files and a folder, a move offered",
         {local("z.avi"), local("clips/"), QUrl("https://example.org/a.avi"), local("notes.txt"),
          local("missing.avi")},
         Qt::CopyAction | Qt::MoveAction,
         Qt::CopyAction,
         QStringList{root.filePath("z.avi")} + clips + QStringList{root.filePath("notes.txt")}},
        {"a folder without the slash, only a link offered",
         {local("clips")},
         Qt::LinkAction,
         Qt::LinkAction,
         clips},
        {"remote files only",
         {QUrl("https://example.org/a.avi"), QUrl("ftp://example.org/b.mpg")},
         Qt::CopyAction,
         Qt::IgnoreAction,
         {}},
        {"a file, only a move offered", {local("z.avi")}, Qt::MoveAction, Qt::IgnoreAction, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        setEntries({"/earlier.avi", "/second.avi"}, {});
        QMimeData data;
        data.setUrls(c.urls);
        // Where files are dropped does not matter: they are appended.
        EXPECT_EQ(drag(data, pointAt(0, false), c.offered), c.taken);
        EXPECT_EQ(sourceEntries(), QStringList({"/earlier.avi", "/second.avi"}) + c.added);
    }

    setEntries({"/earlier.avi"}, {});
    QMimeData text;
    text.setText(root.filePath("z.avi"));
    EXPECT_EQ(drag(text, pointAt(-1, false)), Qt::IgnoreAction);
    EXPECT_EQ(sourceEntries(), QStringList{"/earlier.avi"});
}

TEST_F(SourceOrder, DraggedEntriesAndCtrlArrowsMoveTheSelectionAsOneBlock) {
    const QStringList entries{"a", "b", "c", "d"};
    constexpr int kBelowAll = -1;
    const struct {
        std::vector<int> selected;
        // Dropped on this row's lower or upper half, or one of these keys with Ctrl.
        int row;
        bool lowerHalf;
        Qt::Key key;
        QStringList order;
        std::vector<int> selectedAfter;
    } cases[] = {
        {{0}, 2, true, {}, {"b", "c", "a", "d"}, {2}},
        {{2}, 1, false, {}, {"a", "c", "b", "d"}, {1}},
        {{1, 3}, 0, false, {}, {"b", "d", "a", "c"}, {0, 1}},
        {{0, 2}, kBelowAll, false, {}, {"b", "d", "a", "c"}, {2, 3}},
        {{1, 2}, 1, true, {}, entries, {1, 2}}, // onto themselves
        {{1}, 0, false, Qt::Key_Up, {"b", "a", "c", "d"}, {0}},
        {{1, 2}, 0, false, Qt::Key_Down, {"a", "d", "b", "c"}, {2, 3}},
        {{0, 2}, 0, false, Qt::Key_Up, {"a", "c", "b", "d"}, {0, 1}},
        {{0, 1}, 0, false, Qt::Key_Up, entries, {0, 1}}, // a block at the end stays
    };
    ASSERT_FALSE(list().indexAt(pointAt(kBelowAll, false)).isValid());
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.selected) + " to " + std::to_string(c.row) +
                     " key " + std::to_string(c.key));
        setEntries(entries, c.selected);
        if (c.key) {
            QTest::keyClick(&list(), c.key, Qt::ControlModifier);
        } else {
            const std::unique_ptr<QMimeData> rows = draggedSelection(list());
            EXPECT_EQ(drag(*rows, pointAt(c.row, c.lowerHalf)), Qt::MoveAction);
        }
        EXPECT_EQ(sourceEntries(), c.order);
        EXPECT_EQ(selectedRows(), c.selectedAfter);
    }

    // Entries dragged from another list are not this list's entries; arrows alone only move
    // the cursor.
    SourceListView other;
    other.addTopLevelItem(new QTreeWidgetItem(QStringList{"x"}));
    other.topLevelItem(0)->setSelected(true);
    setEntries(entries, {0});
    const std::unique_ptr<QMimeData> foreign = draggedSelection(other);
    EXPECT_EQ(drag(*foreign, pointAt(kBelowAll, false)), Qt::IgnoreAction);
    QTest::keyClick(&list(), Qt::Key_Down);
    EXPECT_EQ(sourceEntries(), entries);
    // The selection shows as strongly without the focus.
    const QPalette colours = list().palette();
    EXPECT_EQ(colours.color(QPalette::Inactive, QPalette::Highlight),
              colours.color(QPalette::Active, QPalette::Highlight));
}

} // namespace
