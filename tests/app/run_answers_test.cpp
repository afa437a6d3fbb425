// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// The window answers every press during a run at once, on both roads.
#include "form_fixture.h"

#include "app/progress_band.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <set>

namespace {

class RunAnswers : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        mcl.sources["/v/a.avi"] = {6, true};
        mcl.sources["/v/b.avi"] = {2, true};
        addSourceEntries({"/v/a.avi", "/v/b.avi"});
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        mcl.onSetFileName = writeShortWav;
    }
    void TearDown() override {
        qunsetenv("TMPDIR");
        FormTest::TearDown();
    }
    QString band() const { return form->progressBand->text->text(); }
    // Starts a run; `press` is queued at the run's read `at`, as a user's click arrives: only a
    // message pump delivers it. The band's text right after each press goes to `shown`.
    void startTo(const QString& name, std::set<int> at, std::function<void()> press) {
        mcl.onRead = [this, at, press](int read) {
            if (at.contains(read))
                QMetaObject::invokeMethod(
                    form.get(), [this, press] { press(), shown << band(); }, Qt::QueuedConnection);
        };
        form->FilenameEdit1->setText(dir.filePath(name));
        form->btnStart->click();
    }

    QTemporaryDir dir;
    QTemporaryDir temp;
    QStringList shown;
};

TEST_F(RunAnswers, AStopIsShownAtOnceAndTakesEffectWhereItsRoadStops) {
    const struct {
        const char* destination;
        const char* shown;
        int readsOfA; // of 7; pressed at the first
    } cases[] = {
        {"out.wav", "Wird angehalten ...", 1},
        // Pressed while a.avi is decoded, the stop waits until it is in the destination.
        {"out.mp3", "Wird nach dieser Quelldatei angehalten ...", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.destination);
        shown.clear();
        const int first = static_cast<int>(mcl.callsStartingWith("MclReadSound").size()) + 1;
        mcl.calls.clear();
        startTo(c.destination, {first}, [this] { form->btnStop->click(); });
        EXPECT_EQ(shown, QStringList{c.shown});
        EXPECT_EQ(readsOf(mcl, "/v/a.avi"), c.readsOfA);
        EXPECT_TRUE(mcl.callsStartingWith("MclReadOpen(/v/b.avi").empty());
        EXPECT_TRUE(band().startsWith("Angehalten: die Zieldatei enthält")) << band().toStdString();
        EXPECT_TRUE(QFile::exists(dir.filePath(c.destination)));
        EXPECT_TRUE(QDir(temp.path()).isEmpty());
    }
}

TEST_F(RunAnswers, TheMp3RoadAnswersWhileASourceIsDecodedAndShowsHowFar) {
    mcl.fullBlockSeconds = 60;
    mcl.lengths["/v/a.avi"] = 420;
    QString atSecondRead;
    startTo("out.mp3", {1}, [&] { atSecondRead = band(); });
    // The first block's report is drawn at once, and the press was answered before the next.
    EXPECT_TRUE(
        atSecondRead.startsWith("Quelldatei 1 von 2 - wird dekodiert: 1:00 min von 7:00 min"))
        << atSecondRead.toStdString();
    EXPECT_EQ(readsOf(mcl, "/v/a.avi"), 7);
}

TEST_F(RunAnswers, ClosingStopsTheRunAndClosingAgainEndsItAtOnce) {
    QFile kept(dir.filePath("out.mp3"));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("the user's file");
    kept.close();
    form->show();
    startTo("out.mp3", {1, 3}, [this] { form->close(); });
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[0].startsWith("Wird nach dieser Quelldatei angehalten ... Danach schließt "
                                    "sich das Fenster"));
    EXPECT_EQ(shown[1], "Wird sofort abgebrochen ...");
    EXPECT_EQ(readsOf(mcl, "/v/a.avi"), 3) << "ended after the block of the second close";
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.mp3"});
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "the user's file");
    EXPECT_TRUE(QDir(temp.path()).isEmpty());
}

TEST_F(RunAnswers, ARefusedStartShowsItsReasonInTheBandInsteadOfTheLastRun) {
    startTo("out.wav", {}, {});
    EXPECT_TRUE(band().startsWith("Fertig:"));
    form->FilenameEdit1->clear();
    form->btnStart->click();
    EXPECT_EQ(band(), "Nicht begonnen: Sie müssen einen Zieldateinamen auswählen! Klicken Sie "
                      "auf den kleinen Button neben dem Eingabefeld für die Zieldatei.");
    EXPECT_TRUE(form->progressBand->bar->isHidden());
}

} // namespace
