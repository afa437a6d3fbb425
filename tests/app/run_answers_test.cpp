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
#include <QTimer>

#include <functional>

namespace {

class RunAnswers : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        mcl.sources["/v/a.avi"] = {6, true};
        mcl.sources["/v/b.avi"] = {2, true};
        addSourceEntries({"/v/a.avi", "/v/b.avi"});
        // The temporary files of the MP3 road: headers of empty WAV files.
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        mcl.onSetFileName = [](const std::string& name) {
            QFile file(QString::fromStdString(name));
            if (name.ends_with(".wav") && file.open(QIODevice::WriteOnly))
                file.write(QByteArray("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xac\0\0"
                                      "\x10\xb1\x02\0\x04\0\x10\0data\0\0\0\0",
                                      44));
        };
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override {
        qunsetenv("TMPDIR");
        FormTest::TearDown();
    }
    QString band() const { return form->progressBand->text->text(); }
    void startTo(const QString& name) {
        form->FilenameEdit1->setText(dir.filePath(name));
        form->btnStart->click();
    }
    // Queues a press, as a user's arrives: only a message pump delivers it. The band's text
    // right after the press goes to `shown`.
    void pressLater(std::function<void()> press, QStringList& shown) {
        QMetaObject::invokeMethod(
            form.get(),
            [this, press, &shown] {
                press();
                shown << band();
            },
            Qt::QueuedConnection);
    }

    QTemporaryDir dir;
    QTemporaryDir temp;
};

TEST_F(RunAnswers, AStopIsShownAtOnceAndTakesEffectWhereItsRoadStops) {
    const struct {
        const char* destination;
        const char* shown;
        int readsOfA; // a.avi has 7 blocks
    } cases[] = {
        {"out.wav", "Wird angehalten ...", 1},
        // Pressed while a.avi is decoded, the stop waits until it is in the destination.
        {"out.mp3", "Wird nach dieser Quelldatei angehalten ...", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.destination);
        QStringList shown;
        const int before = readsOf(mcl, "/v/a.avi") + readsOf(mcl, "/v/b.avi");
        mcl.calls.clear();
        mcl.onRead = [&, first = before + 1](int read) {
            if (read == first) {
                shown << band();
                pressLater([this] { form->btnStop->click(); }, shown);
            }
        };
        startTo(c.destination);
        ASSERT_EQ(shown.size(), 2);
        EXPECT_EQ(shown[0], "Umwandlung läuft...");
        EXPECT_EQ(shown[1], c.shown);
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
    bool answered = false;
    QStringList during;
    mcl.onRead = [&](int read) {
        if (read == 1)
            QTimer::singleShot(0, form.get(), [&] { answered = true; });
        // The first block's report is drawn at once; later ones a few times a second.
        if (read == 2)
            during << band();
    };
    startTo("out.mp3");
    EXPECT_TRUE(answered);
    ASSERT_EQ(during.size(), 1);
    EXPECT_TRUE(during[0].startsWith("Quelldatei 1 von 2 - wird dekodiert: 1:00 min von 7:00 min"))
        << during[0].toStdString();
}

TEST_F(RunAnswers, ClosingStopsTheRunAndClosingAgainEndsItAtOnce) {
    const QString destination = dir.filePath("out.mp3");
    QFile kept(destination);
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("the user's file");
    kept.close();
    QStringList shown;
    mcl.onRead = [&](int read) {
        if (read == 1 || read == 3)
            pressLater([this] { form->close(); }, shown);
    };
    startTo("out.mp3");
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[0].startsWith("Wird nach dieser Quelldatei angehalten ... Danach schließt "
                                    "sich das Fenster"))
        << shown[0].toStdString();
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
    startTo("out.wav");
    EXPECT_TRUE(band().startsWith("Fertig:"));
    form->FilenameEdit1->clear();
    form->btnStart->click();
    EXPECT_EQ(band(), "Nicht begonnen: Sie müssen einen Zieldateinamen auswählen! Klicken Sie "
                      "auf den kleinen Button neben dem Eingabefeld für die Zieldatei.");
    EXPECT_TRUE(form->progressBand->bar->isHidden());
    EXPECT_EQ(logLines().last(), "Eingabefeld für die Zieldatei.");
    // The job's own refusal: the destination is one of the sources.
    const QString source = dir.filePath("clip.avi");
    ASSERT_TRUE(QFile(source).open(QIODevice::WriteOnly));
    form->ListView1->clear();
    addSourceEntries({source});
    form->FilenameEdit1->setText(source);
    form->btnStart->click();
    EXPECT_TRUE(band().startsWith("Nicht begonnen: Die Zieldatei ist zugleich eine Quelldatei"));
}

} // namespace
