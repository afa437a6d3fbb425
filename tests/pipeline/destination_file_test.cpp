// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// The new destination file on a machine others share: its mode while it is written and after,
// its owner, what is refused before any work, and what another user's tricks cannot do.
#include "pipeline/destination_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

class DestinationFileTest : public ::testing::Test {
protected:
    QString make(const QString& name, const QByteArray& content, mode_t mode) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        return path;
    }
    static QByteArray contentOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static struct stat statOf(const QString& path) {
        struct stat st {};
        ::lstat(QFile::encodeName(path).constData(), &st);
        return st;
    }
    // Writes `content` through a prepared destination and commits it.
    static QString replace(DestinationFile& destination, const QByteArray& content) {
        EXPECT_TRUE(destination.prepare());
        EXPECT_EQ(::write(destination.descriptor(), content.constData(), content.size()),
                  content.size());
        return destination.commit();
    }
    QStringList entries(const QString& folder) const {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot |
                                      QDir::System);
    }

    QTemporaryDir dir;
};

TEST_F(DestinationFileTest, TheNewFileIsPrivateWhileWrittenAndThenTakesTheOldModeWithoutSetIdBits) {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    const struct {
        mode_t old; // 0: no file yet
        mode_t after;
    } cases[] = {{0600, 0600}, {0640, 0640}, {04755, 0755}, {02775, 0775}, {0, 0666 & ~mask}};
    for (const auto& c : cases) {
        const QString path = dir.filePath(QStringLiteral("out.mp3"));
        QFile::remove(path);
        if (c.old)
            make(QStringLiteral("out.mp3"), "old", c.old);
        DestinationFile destination(path);
        ASSERT_TRUE(destination.refusal().isEmpty());
        ASSERT_TRUE(destination.prepare());
        struct stat part {};
        ASSERT_EQ(::fstat(destination.descriptor(), &part), 0);
        EXPECT_EQ(part.st_mode & 07777, 0600u & ~mask) << std::oct << c.old;
        EXPECT_EQ(replace(destination, "new"), QString());
        EXPECT_EQ(contentOf(path), "new");
        EXPECT_EQ(statOf(path).st_mode & 07777, c.after) << std::oct << c.old;
        EXPECT_EQ(entries(dir.path()), QStringList{"out.mp3"});
    }
}

TEST_F(DestinationFileTest, RootGivesTheNewFileToTheOldOnesOwner) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another user";
    const QString path = make(QStringLiteral("theirs.wav"), "old", 0640);
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), kNobody, kNobody), 0);
    DestinationFile destination(path);
    EXPECT_EQ(replace(destination, "new"), QString());
    EXPECT_EQ(statOf(path).st_uid, kNobody);
    EXPECT_EQ(statOf(path).st_gid, kNobody);
    EXPECT_EQ(statOf(path).st_mode & 07777, 0640u);
}

TEST_F(DestinationFileTest, TheNewFileLandsInTheFolderWhereverItHasMoved) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("before")));
    make(QStringLiteral("before/out.wav"), "old", 0644);
    DestinationFile destination(dir.filePath(QStringLiteral("before/out.wav")));
    ASSERT_TRUE(destination.prepare());
    ASSERT_TRUE(QDir(dir.path()).rename(QStringLiteral("before"), QStringLiteral("after")));
    EXPECT_EQ(replace(destination, "new"), QString());
    EXPECT_EQ(entries(dir.filePath(QStringLiteral("after"))), QStringList{"out.wav"});
    EXPECT_EQ(contentOf(dir.filePath(QStringLiteral("after/out.wav"))), "new");
}

TEST_F(DestinationFileTest, ANewFileSwappedForALinkIsNeitherRenamedNorFollowed) {
    const QString victim = make(QStringLiteral("victim"), "precious", 0644);
    const QString path = make(QStringLiteral("out.mp3"), "old", 0644);
    DestinationFile destination(path);
    ASSERT_TRUE(destination.prepare());
    const QStringList parts =
        QDir(dir.path()).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
    ASSERT_EQ(parts.size(), 1);
    const QString part = dir.filePath(parts[0]);
    ASSERT_TRUE(QFile::remove(part));
    ASSERT_TRUE(QFile::link(victim, part));
    EXPECT_FALSE(replace(destination, "new").isEmpty());
    EXPECT_EQ(contentOf(victim), "precious");
    EXPECT_EQ(contentOf(path), "old");
    EXPECT_TRUE(QFileInfo(part).isSymLink()); // not ours to remove
}

TEST_F(DestinationFileTest, ALinkAnotherUserPutIntoTheFolderIsNotFollowed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a link of another user (nobody)";
    const QString target = make(QStringLiteral("roots.mp3"), "root's", 0644);
    const QString link = dir.filePath(QStringLiteral("planted.mp3"));
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_EQ(::lchown(QFile::encodeName(link).constData(), kNobody, kNobody), 0);
    EXPECT_FALSE(DestinationFile(link).refusal().isEmpty());
    // Root's own link is followed: the file it names is the one replaced.
    const QString own = dir.filePath(QStringLiteral("own.mp3"));
    ASSERT_TRUE(QFile::link(target, own));
    DestinationFile destination(own);
    EXPECT_EQ(replace(destination, "new"), QString());
    EXPECT_EQ(contentOf(target), "new");
    EXPECT_TRUE(QFileInfo(own).isSymLink());
}

} // namespace
