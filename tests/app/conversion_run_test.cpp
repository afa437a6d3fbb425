// Runs of the real conversion job from the window, on the recording codec library.
#include "form_fixture.h"

#include "common/exception.h"

#include <QCheckBox>
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
    EXPECT_EQ(mcl.callsStartingWith("MclAudioSetFileName"),
              std::vector<std::string>{"MclAudioSetFileName(1," + destination.toStdString() + ")"});
    EXPECT_EQ(mcl.callsStartingWith("MclReadOpen"), bothOpened);
    const QStringList lines = logLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), "Ausgabedatei OK");
    EXPECT_EQ(lines.last(), "Konvertierung beendet...");
    EXPECT_TRUE(boxes.empty());
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
    EXPECT_TRUE(form->StopRequested);
    EXPECT_EQ(mcl.callsStartingWith("MclAbort"), std::vector<std::string>{"MclAbort(0)"});
    EXPECT_EQ(readsOf(mcl, "/v/a.avi"), 1);
    EXPECT_EQ(logLines().last(), "Konvertierung beendet...");
}

TEST_F(ConversionRun, AStopWhileIdleOnlySetsTheRequestAndDoesNotReachTheNextRun) {
    form->btnStop->click();
    EXPECT_TRUE(form->StopRequested);
    EXPECT_EQ(mcl.callsStartingWith("MclAbort"), std::vector<std::string>{"MclAbort(0)"});
    EXPECT_TRUE(form->btnStart->isEnabled());
    EXPECT_TRUE(logLines().isEmpty());
    form->btnStart->click();
    EXPECT_FALSE(form->StopRequested);
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
    EXPECT_TRUE(form->StopRequested);
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
