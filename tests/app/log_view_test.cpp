// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// What the progress log paints while a run adds its lines.
#include "form_fixture.h"

#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Notes the rows the log draws; a paint without rows is a blank log.
class PaintedRows : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painted << index.data().toString();
        QStyledItemDelegate::paint(painter, option, index);
    }
    mutable QStringList painted;
};

class LogView : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        form->lstProgress->setItemDelegate(&rows);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    PaintedRows rows;
    QTemporaryDir dir;
};

TEST_F(LogView, PaintsTheNewestLineAtEveryPumpOfAWavRun) {
    mcl.sources["/v/a.avi"] = {30, true};
    addSourceEntries({"/v/a.avi"});
    form->FilenameEdit1->setText(dir.filePath("out.wav"));
    int blank = 0;
    int reads = 0;
    mcl.onRead = [&](int read) {
        // The line of the block before this read was added, and a pump has run since.
        if (read > 1 && !rows.painted.contains(logLines().last()))
            ++blank;
        rows.painted.clear();
        reads = read;
    };
    form->btnStart->click();
    EXPECT_EQ(reads, 31);
    EXPECT_EQ(blank, 0);
    EXPECT_EQ(logLines().size(), 10) << "trimmed as before";
}

TEST_F(LogView, ShowsTheNewestLinesWhenMoreThanItHoldsAreAdded) {
    for (int i = 0; i < 10; ++i)
        form->AddProgressLine(QString::number(i));
    form->btnStart->click(); // no destination: three lines asking for one
    rows.painted.clear();
    form->lstProgress->viewport()->repaint();
    EXPECT_EQ(rows.painted.last(), "Eingabefeld für die Zieldatei.");
    EXPECT_FALSE(rows.painted.contains("0"));
}

} // namespace
