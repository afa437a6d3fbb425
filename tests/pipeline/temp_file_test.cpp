// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// The run's private temporary folder: what it holds, who can see it, and what is left of it
// after a run that was killed.
#include "common/exception.h"
#include "pipeline/temp_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Points the system's temporary folder at a folder of the test's own.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(dir.path()));
    }
    void TearDown() override { qputenv("TMPDIR", saved); }

    QStringList entries() const {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
    }
    static unsigned modeOf(const QString& path) {
        struct stat st {};
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    QTemporaryDir dir;
    QByteArray saved;
};

TEST_F(TempFolderTest, FilesLiveInAPrivateFolderThatGoesWithTheRun) {
    {
        TempFolder folder;
        ASSERT_EQ(entries().size(), 1);
        EXPECT_EQ(runFolderPid(entries()[0].toUtf8().constData()), ::getpid());
        EXPECT_EQ(modeOf(folder.path()), 0700u);
        TempFile first(folder, QStringLiteral("temp"), QStringLiteral(".wav"));
        EXPECT_EQ(first.path(), folder.path() + QStringLiteral("/temp0.wav"));
        EXPECT_EQ(modeOf(first.path()), 0600u);
        EXPECT_EQ(::write(first.descriptor(), "RIFF", 4), 4);
        {
            TempFile second(folder, QStringLiteral("temp"), QStringLiteral(".wav"));
            EXPECT_TRUE(second.path().endsWith(QStringLiteral("/temp1.wav")));
        }
        EXPECT_FALSE(QFileInfo::exists(folder.path() + QStringLiteral("/temp1.wav")));
    }
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(TempFolderTest, AFolderThatCannotBeMadeIsAnError) {
    qputenv("TMPDIR", QFile::encodeName(dir.filePath(QStringLiteral("gone"))));
    try {
        TempFolder folder;
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find("temporäre"), std::string::npos) << e.what();
    }
}

TEST_F(TempFolderTest, OnlyTheFoldersOfDeadRunsOfThisUserAreRemoved) {
    // A run killed by a signal that lets it clean up, and one killed outright.
    for (const int signal : {SIGTERM, SIGKILL}) {
        const pid_t child = ::fork();
        if (child == 0) {
            const RunSignalGuard guard;
            TempFolder folder;
            TempFile file(folder, QStringLiteral("temp"), QStringLiteral(".wav"));
            ::raise(signal);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
    }
    ASSERT_EQ(entries().size(), 1); // the killed one's, with its file
    // Names of a live run, a link, and a file: none of them is a dead run's folder.
    const QString alive = QStringLiteral("tavimo-%1-x").arg(::getppid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(alive));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath(alive)).constData(), 0700), 0);
    ASSERT_TRUE(QFile::link(dir.filePath(alive), dir.filePath(QStringLiteral("tavimo-999999-l"))));
    QFile plain(dir.filePath(QStringLiteral("tavimo-999998-f")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    QStringList others = {alive, QStringLiteral("tavimo-999998-f"),
                          QStringLiteral("tavimo-999999-l")};
    others.sort();
    {
        TempFolder next;
        EXPECT_EQ(entries().size(), 4);
    }
    EXPECT_EQ(entries(), others);
}

} // namespace
