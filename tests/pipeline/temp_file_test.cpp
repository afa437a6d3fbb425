// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "common/exception.h"
#include "pipeline/temp_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Points the system's temporary folder at a folder of the test's own.
class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(dir.path()));
    }
    void TearDown() override { qputenv("TMPDIR", saved); }

    QTemporaryDir dir;
    QByteArray saved;
};

TEST_F(TempFolder, NamesCountFromZeroAndSkipTakenOnes) {
    const QString first = MakeTempFileName(QStringLiteral("temp"), QStringLiteral(".wav"));
    EXPECT_EQ(QFileInfo(first).canonicalFilePath(),
              QFileInfo(dir.filePath(QStringLiteral("temp0.wav"))).canonicalFilePath());
    // The name is reserved at once, so the next call moves on.
    EXPECT_TRUE(QFileInfo::exists(first));
    EXPECT_EQ(QFileInfo(first).size(), 0);
    const QString second = MakeTempFileName(QStringLiteral("temp"), QStringLiteral(".wav"));
    EXPECT_TRUE(second.endsWith(QStringLiteral("/temp1.wav")));

    QFile::remove(first);
    EXPECT_TRUE(MakeTempFileName(QStringLiteral("temp"), QStringLiteral(".wav"))
                    .endsWith(QStringLiteral("/temp0.wav")));
}

TEST_F(TempFolder, DanglingLinkCountsAsTaken) {
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere")),
                            dir.filePath(QStringLiteral("temp0.wav"))));
    EXPECT_TRUE(MakeTempFileName(QStringLiteral("temp"), QStringLiteral(".wav"))
                    .endsWith(QStringLiteral("/temp1.wav")));
}

TEST_F(TempFolder, FolderThatCannotTakeFilesIsAnError) {
    qputenv("TMPDIR", QFile::encodeName(dir.filePath(QStringLiteral("gone"))));
    try {
        MakeTempFileName(QStringLiteral("temp"), QStringLiteral(".wav"));
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find("temporäre"), std::string::npos) << e.what();
    }
}

} // namespace
