// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// How a run ends, on recording libraries: its outcome, what happens to a destination the user
// already has, and the progress it reports on the way.
#include "common/exception.h"
#include "fakes/fake_acm.h"
#include "fakes/fake_host.h"
#include "fakes/fake_lame.h"
#include "fakes/fake_mcl.h"
#include "pipeline/conversion_job.h"
#include "wav_builder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using Kind = ConversionOutcome::Kind;

namespace {

class JobOutcome : public ::testing::Test {
public:
    void SetUp() override {
        savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        mcl.sources["a.mp4"] = {1, true};
        mcl.sources["b.avi"] = {0, true};
        // On the MP3 road the library writes each source's temporary file.
        mcl.onSetFileName = [](const std::string& name) {
            if (name.ends_with(".wav") && name.find("/temp") != std::string::npos)
                writeWav(QString::fromStdString(name), {.dataBytes = 40000});
        };
        FakeAcm::Conversion conversion;
        conversion.dstUsed = 400;
        acm.script.assign(64, conversion);
    }
    void TearDown() override { qputenv("TMPDIR", savedTmp); }

    // Runs into `name` in the folder, which holds a file of the user's under that name.
    Kind runOver(const QString& name, const QStringList& sources) {
        host.settings.destination = dir.filePath(name);
        host.settings.sources = sources;
        QFile mine(host.settings.destination);
        EXPECT_TRUE(mine.open(QIODevice::WriteOnly));
        mine.write("the user's own file");
        mine.close();
        mine.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        try {
            job.RunConversion();
        } catch (const std::exception&) {
        }
        return job.outcome().kind;
    }
    QByteArray contentOf(const QString& name) const {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList folder() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir dir;
    QTemporaryDir temp;
    QByteArray savedTmp;
    FakeMcl mcl;
    FakeLame lame;
    FakeAcm acm;
    FakeHost host;
    ConversionJob job{host, {mcl, lame, acm}};
};

TEST_F(JobOutcome, AFailedRunLeavesTheUsersFileAsItWas) {
    struct Case {
        const char* name;
        QString destination;
        QStringList sources;
        std::function<void(JobOutcome&)> arrange;
    };
    const Case cases[] = {
        {"wav, no source readable", "out.wav", {"missing.avi"}, nullptr},
        {"wav, the write fails",
         "out.wav",
         {"a.mp4", "b.avi"},
         [](JobOutcome& t) { t.mcl.writeResult = 1; }},
        {"wav, the file cannot be completed",
         "out.wav",
         {"a.mp4"},
         [](JobOutcome& t) { t.mcl.closeResult = 1; }},
        {"mp3, no source readable", "out.mp3", {"missing.avi", "gone.vob"}, nullptr},
        {"mp3, the encoder cannot start",
         "out.mp3",
         {"a.mp4"},
         [](JobOutcome& t) { t.lame.initResult = BE_ERR_INVALID_FORMAT; }},
        {"mp3, the encoder fails",
         "out.mp3",
         {"a.mp4", "b.avi"},
         [](JobOutcome& t) { t.lame.failEncodeCall = 3; }},
        {"mp3, the temporary file cannot be written",
         "out.mp3",
         {"a.mp4"},
         [](JobOutcome& t) { t.mcl.writeResult = 1; }},
    };
    for (const Case& c : cases) {
        mcl.writeResult = mcl.closeResult = 0;
        lame = FakeLame{};
        if (c.arrange)
            c.arrange(*this);
        EXPECT_EQ(runOver(c.destination, c.sources), Kind::Failed) << c.name;
        EXPECT_FALSE(job.outcome().reason.isEmpty()) << c.name;
        EXPECT_EQ(contentOf(c.destination), "the user's own file") << c.name;
        EXPECT_EQ(folder(), QStringList{c.destination}) << c.name;
        EXPECT_TRUE(QDir(temp.path()).isEmpty()) << c.name;
        EXPECT_NE(host.log.back(), "Konvertierung beendet...") << c.name;
        QFile::remove(dir.filePath(c.destination));
    }
}

TEST_F(JobOutcome, ACompleteRunReplacesTheFileAndKeepsItsPermissions) {
    for (const QString& name : {QStringLiteral("out.wav"), QStringLiteral("out.mp3")}) {
        EXPECT_EQ(runOver(name, {"a.mp4", "missing.avi", "b.avi"}), Kind::FinishedWithProblems);
        EXPECT_NE(contentOf(name), "the user's own file");
        EXPECT_EQ(folder(), QStringList{name});
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(name)).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
        EXPECT_EQ(job.outcome().sourcesConverted, 2);
        ASSERT_EQ(job.outcome().problems.size(), 1u);
        EXPECT_EQ(job.outcome().problems[0].index, 1);
        EXPECT_EQ(job.outcome().problems[0].reason, "Ungültige Quelldatei");
        QFile::remove(dir.filePath(name));
    }
}

TEST_F(JobOutcome, AReadOnlyFileIsNotReplacedAndADeviceIsWrittenDirectly) {
    host.settings.destination = dir.filePath("locked.wav");
    QFile locked(host.settings.destination);
    ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
    locked.close();
    locked.setPermissions(QFile::ReadOwner);
    host.settings.sources = {"a.mp4"};
    job.RunConversion();
    EXPECT_EQ(job.outcome().kind, Kind::Refused);
    EXPECT_THAT(host.log, ElementsAre(job.outcome().reason));
    EXPECT_TRUE(mcl.calls.empty());

    // Through a link, so that the WAV road writes a device too.
    ASSERT_TRUE(QFile::link("/dev/null", dir.filePath("sink.wav")));
    for (const QString& device : {QStringLiteral("/dev/null"), dir.filePath("sink.wav")}) {
        host.settings.destination = device;
        job.RunConversion();
        EXPECT_EQ(job.outcome().kind, Kind::Finished);
    }
    EXPECT_EQ(mcl.fileNames.back(), "/dev/null");
    EXPECT_TRUE(QDir("/dev").entryList({".null*"}, QDir::AllEntries | QDir::Hidden).isEmpty());
    EXPECT_TRUE(QFileInfo(dir.filePath("sink.wav")).isSymLink());
}

TEST_F(JobOutcome, ReadErrorsAndLostBlocksAreProblemsOfTheirSource) {
    mcl.sources["cut.avi"] = {2, true, true};
    mcl.sources["bad.avi"] = {0, true, true};
    acm.script[1].result = MMSYSERR_INVALPARAM;
    host.settings.destination = dir.filePath("out.mp3");
    host.settings.sources = {"a.mp4", "cut.avi", "bad.avi"};
    job.RunConversion();
    const ConversionOutcome& outcome = job.outcome();
    EXPECT_EQ(outcome.kind, Kind::FinishedWithProblems);
    EXPECT_EQ(outcome.sourcesConverted, 2);
    ASSERT_EQ(outcome.problems.size(), 3u);
    EXPECT_EQ(outcome.problems[0].index, 0);
    EXPECT_TRUE(outcome.problems[0].cutShort);
    EXPECT_THAT(
        host.log,
        ::testing::Contains("1 Block konnte nicht umgewandelt werden und fehlt in der MP3-Datei."));
    EXPECT_EQ(outcome.problems[1].index, 1);
    EXPECT_TRUE(outcome.problems[1].cutShort);
    EXPECT_EQ(outcome.problems[2].index, 2);
    EXPECT_FALSE(outcome.problems[2].cutShort);
    EXPECT_EQ(outcome.problems[2].reason, "Fehler beim Lesen der Quelldatei");
}

TEST_F(JobOutcome, ProgressRunsFromTheEstimatesToTheLengthsConverted) {
    mcl.sources["a.mp4"] = {2, true};
    mcl.sources["b.avi"] = {1, true};
    mcl.fullBlockSeconds = 2;
    mcl.lastBlockSeconds = 1;
    mcl.lengths["a.mp4"] = 6;
    // b.avi tells nothing: it is guessed as long as the others.
    host.settings.destination = dir.filePath("out.wav");
    host.settings.sources = {"a.mp4", "b.avi"};
    job.RunConversion();
    std::vector<double> done, total;
    for (const ConversionProgress& p : host.progress) {
        done.push_back(p.doneSeconds);
        total.push_back(p.totalSeconds);
        EXPECT_EQ(p.sourceCount, 2);
    }
    EXPECT_THAT(done, ElementsAre(2, 4, 5, 7, 8));
    // The estimate stands until its source has ended.
    EXPECT_THAT(total, ElementsAre(12, 12, 12, 11, 11));
    EXPECT_DOUBLE_EQ(job.outcome().seconds, 8);
}

} // namespace
