// Runs of the real conversion job from the window, on the recording codec library.
#include "form_fixture.h"

#include "app/FilenameEdit.h"
#include "common/exception.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

class ConversionRun : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        mcl.sources["/v/a.avi"] = {2, true};
        mcl.sources["/v/b.avi"] = {1, true};
        addSourceEntries({"/v/a.avi", "/v/b.avi"});
        destination = dir.filePath("my out.wav");
        form->FilenameEdit1->setText('"' + destination + '"');
        mcl.calls.clear();
    }

    int count(const std::string& prefix) const {
        return static_cast<int>(mcl.callsStartingWith(prefix).size());
    }

    // The reads made on the source opened with this path.
    int readsOf(const std::string& path) const {
        int reads = 0;
        bool reading = false;
        for (const std::string& call : mcl.calls) {
            if (call.rfind("MclReadOpen(", 0) == 0)
                reading = call.rfind("MclReadOpen(" + path + ",", 0) == 0;
            else if (reading && call.rfind("MclReadSound(", 0) == 0)
                ++reads;
        }
        return reads;
    }

    QTemporaryDir dir;
    QString destination;
};

TEST_F(ConversionRun, StartRunsTheJobOnTheWindowsSettings) {
    form->InternCheck->setChecked(false);
    form->btnStart->click();
    EXPECT_EQ(mcl.calls.front(), "MclMpegInternalDecoder(0)");
    EXPECT_EQ(mcl.callsStartingWith("MclAudioSetFileName"),
              std::vector<std::string>{"MclAudioSetFileName(1," + destination.toStdString() + ")"});
    EXPECT_EQ(
        mcl.callsStartingWith("MclReadOpen"),
        (std::vector<std::string>{"MclReadOpen(/v/a.avi,0,0,0)", "MclReadOpen(/v/b.avi,0,0,0)"}));
    const QStringList lines = logLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), "Ausgabedatei OK");
    EXPECT_EQ(lines.last(), "Konvertierung beendet...");
    EXPECT_LE(lines.size(), 10);
    EXPECT_FALSE(form->conversionRunning());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ConversionRun, ASecondStartDuringTheRunDoesNothing) {
    mcl.onRead = [this](int read) {
        if (read == 1)
            form->btnStart->click();
    };
    form->btnStart->click();
    EXPECT_EQ(count("MclCreate"), 1);
    EXPECT_EQ(count("MclMpegInternalDecoder"), 1);
    EXPECT_EQ(logLines().count("Konvertierung beendet..."), 1);
}

TEST_F(ConversionRun, ChangingTheListDuringTheRunDoesNotDisturbIt) {
    mcl.onRead = [this](int read) {
        if (read != 1)
            return;
        form->ListView1->selectAll();
        form->DeleteBtn->click();
        addSourceEntries({"/v/late.avi"});
    };
    form->btnStart->click();
    EXPECT_EQ(
        mcl.callsStartingWith("MclReadOpen"),
        (std::vector<std::string>{"MclReadOpen(/v/a.avi,0,0,0)", "MclReadOpen(/v/b.avi,0,0,0)"}));
    EXPECT_EQ(sourceEntries(), QStringList{"/v/late.avi"});
}

TEST_F(ConversionRun, StopDuringTheRunEndsTheSourcesBlocks) {
    mcl.sources["/v/a.avi"] = {50, true};
    mcl.onRead = [this](int read) {
        if (read == 1)
            form->btnStop->click();
    };
    form->btnStart->click();
    EXPECT_TRUE(form->StopRequested);
    EXPECT_EQ(count("MclAbort"), 1);
    // The stop ends the source's loop after the block during which it was pressed.
    EXPECT_EQ(readsOf("/v/a.avi"), 1);
    EXPECT_EQ(logLines().last(), "Konvertierung beendet...");
}

TEST_F(ConversionRun, AStopBeforeTheRunDoesNotReachIt) {
    form->btnStop->click();
    form->btnStart->click();
    EXPECT_FALSE(form->StopRequested);
    // The second source is read to its end (the first one may lose a block to the abort the
    // recording library keeps for its next read).
    EXPECT_EQ(readsOf("/v/b.avi"), 2);
    EXPECT_EQ(logLines().last(), "Konvertierung beendet...");
}

TEST_F(ConversionRun, ClosingDuringTheRunStopsItAndClosesWhenItHasEnded) {
    mcl.sources["/v/a.avi"] = {50, true};
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    bool closedDuringRun = true;
    mcl.onRead = [&](int read) {
        if (read != 1)
            return;
        closedDuringRun = form->close();
        EXPECT_TRUE(form->isVisible());
    };
    form->btnStart->click();
    EXPECT_FALSE(closedDuringRun);
    EXPECT_TRUE(form->StopRequested);
    EXPECT_EQ(logLines().last(), "Konvertierung beendet...");
    EXPECT_FALSE(form->isVisible());
}

TEST_F(ConversionRun, AnErrorFromTheJobIsShownAndTheWindowStaysUsable) {
    mcl.onRead = [](int read) {
        if (read == 1)
            throw EInOutError("Disk full");
    };
    form->btnStart->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Tavimo");
    EXPECT_EQ(boxes[0].text, "Disk full.");
    EXPECT_FALSE(form->conversionRunning());

    mcl.onRead = nullptr;
    form->btnStart->click();
    EXPECT_EQ(logLines().last(), "Konvertierung beendet...");
}

} // namespace
