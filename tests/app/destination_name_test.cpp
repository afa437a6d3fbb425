#include "app/add_files.h"
#include "app/destination_name.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ReadCase {
    const char* label;
    QString text;
    QString expected;
};

class ReadingRule : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadingRule, TakesTheFirstWord) {
    EXPECT_EQ(readDestinationName(GetParam().text), GetParam().expected) << GetParam().label;
}

const QString longWord = QString(kMaxDestinationWord, u'x');

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadingRule,
    ::testing::Values(
        ReadCase{"empty", "", ""}, ReadCase{"blanks only", "    ", ""},
        ReadCase{"control characters only", "\t\r\n\x01", ""},
        ReadCase{"plain name", "/tmp/out.mp3", "/tmp/out.mp3"},
        ReadCase{"blanks around", "  /tmp/out.mp3  ", "/tmp/out.mp3"},
        ReadCase{"up to the first blank", "/tmp/my song.mp3", "/tmp/my"},
        ReadCase{"up to a tab", "/tmp/a\tb.mp3", "/tmp/a"},
        ReadCase{"quoted whole", "\"/tmp/my song.mp3\"", "/tmp/my song.mp3"},
        ReadCase{"quoted, then more", "\"/tmp/my song.mp3\" rest", "/tmp/my song.mp3"},
        ReadCase{"quote in the middle", "/tmp/my\" \"song.mp3", "/tmp/my song.mp3"},
        ReadCase{"unclosed quote runs to the end", "\"/tmp/my song.mp3", "/tmp/my song.mp3"},
        ReadCase{"empty quote pairs skipped before", "\"\" \"\"/tmp/a.wav", "/tmp/a.wav"},
        ReadCase{"only quote pairs", "\"\"\"\"", ""},
        ReadCase{"umlauts kept", "  /tmp/Größe.mp3", "/tmp/Größe.mp3"},
        ReadCase{"word at the bound", longWord, longWord},
        ReadCase{"word past the bound", longWord + u'y', ""},
        ReadCase{"quoted word past the bound",
                 QStringLiteral("\"") + longWord + QStringLiteral(" y\""), ""},
        ReadCase{"long text, short first word", "a " + longWord + longWord, "a"}));

TEST(ReadingRuleFiles, AnExistingFileIsReadWholeBlanksAndAll) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("my song.wav"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(readDestinationName(path), path);
    // Not the file's name: back to the first word.
    EXPECT_EQ(readDestinationName(path + u' '), dir.filePath(QStringLiteral("my")));
}

TEST(ReadingRuleFiles, AnExistingFolderIsNotAFile) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("a b"));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_EQ(readDestinationName(folder), dir.filePath(QStringLiteral("a")));
}

TEST(SettingRule, QuotesNamesWithBlanksThatReadBackWhole) {
    const struct {
        QString name;
        QString shown;
    } cases[] = {
        {"/tmp/out.mp3", "/tmp/out.mp3"},
        {"/tmp/my song.mp3", "\"/tmp/my song.mp3\""},
        {"\"/tmp/my song.mp3\"", "\"/tmp/my song.mp3\""},
        {"/tmp/a\tb.mp3", "/tmp/a\tb.mp3"}, // only the blank calls for quotes
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(quoteDestinationName(c.name), c.shown) << c.name.toStdString();
    }
    EXPECT_EQ(readDestinationName(quoteDestinationName("/tmp/my song.mp3")), "/tmp/my song.mp3");
}

TEST(ValidFileName, RefusesEmptyNamesAndSixCharacters) {
    EXPECT_TRUE(isValidFileName("/tmp/out.mp3"));
    EXPECT_TRUE(isValidFileName("a b(1){2}.wav"));
    EXPECT_FALSE(isValidFileName(""));
    for (const char* bad : {"a<b", "a>b", "a\"b", "a[b", "a]b", "a|b"})
        EXPECT_FALSE(isValidFileName(QString::fromLatin1(bad))) << bad;
}

TEST(AddFilesFolder, AppendsOneSeparatorAndFallsBackToSpecialFolders) {
    const QString desktop = ShellFolderPath(SF_DESKTOPDIRECTORY);
    ASSERT_FALSE(desktop.isEmpty());
    const struct {
        QString selected;
        TShellFolder special;
        QString expected;
    } cases[] = {
        {"/home/user/videos", SF_NONE, "/home/user/videos/"},
        {"/home/user/videos/", SF_NONE, "/home/user/videos/"},
        {"/", SF_DRIVES, "/"}, // the root gets no second separator
        {"", SF_DESKTOP, desktop + u'/'},
        {"", SF_DRIVES, "/"},
        {"", SF_NONE, ""}, // no path at all: entries hold bare names
    };
    for (const auto& c : cases) {
        EXPECT_EQ(addFilesFolder(c.selected, c.special), c.expected)
            << c.selected.toStdString() << " / " << c.special;
    }
}

} // namespace
