#include "common/exception.h"
#include "pipeline/output_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EInOutError& e) {
        return e.what();
    }
    return {};
}

TEST(OutputFile, ManySmallWritesArriveInOrder) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.mp3");
    QByteArray expected;
    OutputFile file;
    ASSERT_TRUE(file.create(path));
    EXPECT_TRUE(file.isOpen());
    for (int i = 0; i < 5000; ++i) {
        const QByteArray piece = QByteArray::number(i) + ',';
        file.write(piece.constData(), std::size_t(piece.size()));
        expected += piece;
    }
    file.write(expected.constData(), 0);
    file.close();
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(expected, contents(path));
    file.close(); // closing again does nothing
}

TEST(OutputFile, CreatingEmptiesAnExistingFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.mp3");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old content");
    old.close();
    OutputFile file;
    ASSERT_TRUE(file.create(path));
    file.write("new", 3);
    file.close();
    EXPECT_EQ("new", contents(path));
}

TEST(OutputFile, NameWithNonAsciiLetters) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Größe ä.mp3"));
    OutputFile file;
    ASSERT_TRUE(file.create(path));
    file.write("x", 1);
    file.close();
    EXPECT_EQ("x", contents(path));
}

TEST(OutputFile, FolderThatDoesNotExistCannotBeCreated) {
    QTemporaryDir dir;
    OutputFile file;
    EXPECT_FALSE(file.create(dir.filePath("missing/a.mp3")));
    EXPECT_FALSE(file.isOpen());
}

TEST(OutputFile, WritingWithoutAFileIsAnError) {
    OutputFile file;
    EXPECT_EQ("File not open", errorOf([&] { file.write("x", 1); }));
}

TEST(OutputFile, FullDiskIsReportedAtTheWriteThatReachesIt) {
    OutputFile file;
    if (!file.create("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const std::vector<char> big(1024 * 1024, 'b');
    EXPECT_EQ("Disk full", errorOf([&] { file.write(big.data(), big.size()); }));
}

TEST(OutputFile, FullDiskIsReportedWhenBufferedBytesAreClosed) {
    OutputFile file;
    if (!file.create("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    file.write("abc", 3);
    EXPECT_EQ("Disk full", errorOf([&] { file.close(); }));
    EXPECT_FALSE(file.isOpen());
}

} // namespace
