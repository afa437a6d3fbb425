// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/add_files.h"
#include "app/destination_name.h"
#include "support/qt_print.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(DestinationName, ReadingRuleTakesTheFirstWordOrAnExistingFileWhole) {
    QTemporaryDir dir;
    const QString file = dir.filePath("my song.wav");
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("a b")));
    const QString longWord(kMaxDestinationWord, u'x');
    // `dropped`: words were left behind, so the start button refuses the name.
    const struct {
        QString text;
        QString read;
        bool dropped;
    } cases[] = {
        {"", "", false},
        {"  \t\r\n\x01 ", "", false},
        {"  /tmp/out.mp3  ", "/tmp/out.mp3", false},
        {"/tmp/my song.mp3", "/tmp/my", true},
        {"/tmp/a\tb.mp3", "/tmp/a", true},
        {"\"/tmp/my song.mp3\" rest", "/tmp/my song.mp3", true},
        {"/tmp/my\" \"song.mp3", "/tmp/my song.mp3", false},
        {"\"/tmp/my song.mp3", "/tmp/my song.mp3", false}, // an unclosed quote runs to the end
        {"\"\" \"\"/tmp/a.wav", "/tmp/a.wav", false},
        {"\"\"\"\"", "", false},
        {"  /tmp/Größe.mp3", "/tmp/Größe.mp3", false},
        {longWord, longWord, false},
        {longWord + u'y', "", false},
        {'"' + longWord + " y\"", "", false},
        {"a " + longWord + longWord, "a", true},
        {file, file, false},
        {file + u' ', dir.filePath("my"), true}, // not the file's name: back to the first word
        {dir.filePath("a b"), dir.filePath("a"), true}, // a folder is not a file
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readDestinationName(c.text), c.read) << c.text.toStdString();
        EXPECT_EQ(destinationWordsDropped(c.text), c.dropped) << c.text.toStdString();
    }
}

TEST(DestinationName, SettingRuleQuotesNamesWithBlanks) {
    const std::pair<QString, QString> cases[] = {
        {"/tmp/out.mp3", "/tmp/out.mp3"},
        {"/tmp/my song.mp3", "\"/tmp/my song.mp3\""},
        {"\"/tmp/my song.mp3\"", "\"/tmp/my song.mp3\""},
        {"/tmp/a\tb.mp3", "/tmp/a\tb.mp3"}, // only the blank calls for quotes
        {"", ""},
    };
    for (const auto& [name, shown] : cases)
        EXPECT_EQ(quoteDestinationName(name), shown) << name.toStdString();
}

TEST(DestinationName, ValidityRefusesEmptyNamesAndSixCharacters) {
    EXPECT_TRUE(isValidFileName("/tmp/a b(1){2}.wav"));
    for (const char* bad : {"", "a<b", "a>b", "a\"b", "a[b", "a]b", "a|b"})
        EXPECT_FALSE(isValidFileName(QString::fromLatin1(bad))) << bad;
}

TEST(AddFilesFolder, AppendsOneSeparatorAndFallsBackToSpecialFolders) {
    const QString desktop = ShellFolderPath(SF_DESKTOPDIRECTORY);
    ASSERT_FALSE(desktop.isEmpty());
    const struct {
        QString selected;
        TShellFolder special;
        QString folder;
    } cases[] = {
        {"/home/user/videos", SF_NONE, "/home/user/videos/"},
        {"/home/user/videos/", SF_NONE, "/home/user/videos/"},
        {"/", SF_DRIVES, "/"}, // the root gets no second separator
        {"", SF_DESKTOP, desktop + u'/'},
        {"", SF_DRIVES, "/"},
        {"", SF_NONE, ""}, // no path at all: entries hold bare names
    };
    for (const auto& c : cases)
        EXPECT_EQ(addFilesFolder(c.selected, c.special), c.folder) << c.selected.toStdString();
}

} // namespace
