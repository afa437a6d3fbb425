// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Runs of the real conversion job from the window, on the recording codec library.
#include "form_fixture.h"

#include "app/progress_band.h"
#include "app/source_list_view.h"
#include "common/exception.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

class ConversionRun : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        mcl.sources["/v/a.avi"] = {2, true};
        mcl.sources["/v/b.avi"] = {1, true};
        addSourceEntries({"/v/a.avi", "/v/b.avi"});
        form->FilenameEdit1->setText('"' + destination + '"');
        mcl.calls.clear();
    }
    // Runs `action` during the first read of the job started by the start button.
    void startAndDuringFirstRead(std::function<void()> action) {
        mcl.onRead = [action](int read) {
            if (read == 1)
                action();
        };
        form->btnStart->click();
    }

    QTemporaryDir dir;
    QString destination = dir.filePath("my out.wav");
    const std::vector<std::string> bothOpened{"MclReadOpen(/v/a.avi,0,0,0)",
                                              "MclReadOpen(/v/b.avi,0,0,0)"};
};

TEST_F(ConversionRun, StartRunsTheJobOnTheWindowsSettings) {
    form->InternCheck->setChecked(false);
    form->btnStart->click();
    EXPECT_EQ(mcl.calls.front(), "MclMpegInternalDecoder(0)");
    // The library writes a new file beside the destination, which then takes its place.
    const auto named = mcl.callsStartingWith("MclAudioSetFileHandle(1," + dir.path().toStdString());
    EXPECT_EQ(named.size(), 1u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"my out.wav"});
    EXPECT_EQ(mcl.callsStartingWith("MclReadOpen"), bothOpened);
    const QStringList lines = logLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), "Ausgabedatei OK");
    EXPECT_EQ(lines.last(), "Konvertierung beendet...");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ConversionRun, StopIsUsableForTheWholeRunOnBothRoadsAndStartIsNot) {
    FakeAcm::Conversion conversion;
    conversion.dstUsed = 400;
    acm.script.assign(16, conversion);
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    mcl.onSetFileName = writeShortWav;
    form->btnStop->setEnabled(false);
    for (const char* name : {"out.wav", "out.mp3"}) {
        form->FilenameEdit1->setText(dir.filePath(name));
        std::vector<std::pair<bool, bool>> during;
        mcl.onRead = [&](int) {
            during.emplace_back(form->btnStart->isEnabled(), form->btnStop->isEnabled());
        };
        form->btnStart->click();
        ASSERT_FALSE(during.empty()) << name;
        for (const auto& [start, stop] : during)
            EXPECT_TRUE(!start && stop) << name;
        EXPECT_TRUE(form->btnStart->isEnabled());
        EXPECT_FALSE(form->btnStop->isEnabled()) << "given back as it was";
    }
    qunsetenv("TMPDIR");
}

TEST_F(ConversionRun, TheBandShowsProgressAndTheEndAndFailedSourcesAreMarked) {
    EXPECT_TRUE(form->progressBand->isHidden());
    form->ListView1->clear();
    addSourceEntries({"/v/a.avi", "/v/missing.avi", "/v/b.avi"});
    mcl.fullBlockSeconds = 10;
    mcl.lastBlockSeconds = 0;
    mcl.lengths["/v/a.avi"] = 20;
    mcl.lengths["/v/b.avi"] = 20;
    QStringList during;
    startAndDuringFirstRead([&] {
        // Moved while the run goes on: the mark still finds its entry.
        auto* list = static_cast<SourceListView*>(form->ListView1);
        list->moveRows({1}, 0);
    });
    mcl.onRead = nullptr;
    EXPECT_FALSE(form->progressBand->isHidden());
    EXPECT_EQ(form->progressBand->text->text(),
              "2 von 3 Quelldateien umgewandelt - 1 konnte nicht gelesen werden, 0:30 min");
    EXPECT_EQ(form->progressBand->bar->value(), 100);
    const QStringList expectedOrder{"/v/missing.avi", "/v/a.avi", "/v/b.avi"};
    ASSERT_EQ(sourceEntries(), expectedOrder);
    EXPECT_FALSE(form->ListView1->topLevelItem(0)->icon(0).isNull());
    EXPECT_EQ(form->ListView1->topLevelItem(0)->toolTip(0),
              "Nicht umgewandelt: Ungültige Quelldatei");
    for (int row : {1, 2}) {
        EXPECT_TRUE(form->ListView1->topLevelItem(row)->icon(0).isNull());
        EXPECT_TRUE(form->ListView1->topLevelItem(row)->toolTip(0).isEmpty());
    }

    // The next start clears the marks; the band follows that run.
    std::vector<int> percents;
    delete form->ListView1->takeTopLevelItem(0);
    mcl.onRead = [&](int) { percents.push_back(form->progressBand->bar->value()); };
    form->btnStart->click();
    EXPECT_TRUE(form->ListView1->topLevelItem(0)->toolTip(0).isEmpty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(form->progressBand->text->text(), "Fertig: 2 Quelldateien, 0:30 min");
}

TEST_F(ConversionRun, AnUnquotedNameWithBlanksStartsNothing) {
    const QString typed = dir.filePath("notes.txt and more.mp3");
    QFile notes(dir.filePath("notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("my notes");
    notes.close();
    form->FilenameEdit1->setText(typed);
    form->btnStart->click();
    EXPECT_TRUE(mcl.calls.empty());
    EXPECT_EQ(logLines().size(), 3);
    EXPECT_EQ(logLines().last(), '"' + typed + '"');
    ASSERT_TRUE(notes.open(QIODevice::ReadOnly));
    EXPECT_EQ(notes.readAll(), "my notes");
}

TEST_F(ConversionRun, ASecondStartOrListChangesDuringTheRunDoNotDisturbIt) {
    startAndDuringFirstRead([this] {
        form->btnStart->click();
        form->ListView1->topLevelItem(0)->setSelected(true);
        QTest::keyClick(form->ListView1, Qt::Key_Down, Qt::ControlModifier);
        form->appendSources({"/v/late.avi", "/v/last.avi"});
        form->DeleteBtn->click();
    });
    EXPECT_EQ(mcl.callsStartingWith("MclCreate").size(), 1u);
    EXPECT_EQ(mcl.callsStartingWith("MclReadOpen"), bothOpened);
    EXPECT_EQ(logLines().count("Konvertierung beendet..."), 1);
    EXPECT_EQ(sourceEntries(), QStringList({"/v/b.avi", "/v/late.avi", "/v/last.avi"}));
}

TEST_F(ConversionRun, StopDuringTheRunEndsTheSourcesBlocks) {
    mcl.sources["/v/a.avi"] = {50, true};
    startAndDuringFirstRead([this] { form->btnStop->click(); });
    EXPECT_TRUE(form->StopRequested());
    EXPECT_EQ(mcl.callsStartingWith("MclAbort"), std::vector<std::string>{"MclAbort(0)"});
    EXPECT_EQ(readsOf(mcl, "/v/a.avi"), 1);
    EXPECT_EQ(logLines().last(), "Konvertierung beendet...");
}

TEST_F(ConversionRun, AStopWhileIdleOnlySetsTheRequestAndDoesNotReachTheNextRun) {
    form->btnStop->click();
    EXPECT_TRUE(form->StopRequested());
    EXPECT_EQ(mcl.callsStartingWith("MclAbort"), std::vector<std::string>{"MclAbort(0)"});
    EXPECT_TRUE(form->btnStart->isEnabled());
    EXPECT_TRUE(logLines().isEmpty());
    form->btnStart->click();
    EXPECT_FALSE(form->StopRequested());
    // The second source is read to its end (the first may lose a block to the abort the
    // recording library keeps for its next read).
    EXPECT_EQ(readsOf(mcl, "/v/b.avi"), 2);
    EXPECT_EQ(logLines().last(), "Konvertierung beendet...");
}

TEST_F(ConversionRun, ClosingDuringTheRunStopsItAndClosesWhenItHasEnded) {
    mcl.sources["/v/a.avi"] = {50, true};
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    bool closedDuringRun = true;
    startAndDuringFirstRead([&] { closedDuringRun = form->close(); });
    EXPECT_FALSE(closedDuringRun);
    EXPECT_TRUE(form->StopRequested());
    EXPECT_EQ(logLines().last(), "Konvertierung beendet...");
    EXPECT_FALSE(form->isVisible());
}

TEST_F(ConversionRun, AnErrorFromTheJobIsShownAndTheWindowStaysUsable) {
    startAndDuringFirstRead([] { throw EInOutError("Disk full"); });
    EXPECT_EQ(boxes, (decltype(boxes){{"Tavimo", "Disk full."}}));
    EXPECT_FALSE(form->conversionRunning());
    mcl.onRead = nullptr;
    form->btnStart->click();
    EXPECT_EQ(logLines().last(), "Konvertierung beendet...");
}

} // namespace
