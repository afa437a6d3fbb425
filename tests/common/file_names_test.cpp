// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "common/file_names.h"
#include "support/scratch_dir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

TEST(FileNames, EveryByteSequenceComesBackAsItWas) {
    const QByteArray names[] = {
        "plain.mp4",
        "Gr\xc3\xb6\xc3\x9f"
        "e \xe2\x82\xac \xf0\x9f\x8e\xb5.mp4",    // UTF-8, a 4-byte one too
        "caf\xe9.mp4",                            // Latin-1
        "\xc3\x28 \xe2\x82 \xf0\x9f\x8e",         // cut sequences
        "\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80", // overlong, surrogate, > U+10FFFF
        "\xff\xfe\x80",
    };
    for (const QByteArray& bytes : names)
        EXPECT_EQ(encodeFileName(decodeFileName(bytes)), bytes) << bytes.toHex().constData();
    // Valid UTF-8 reads as the text it is.
    EXPECT_EQ(decodeFileName("Gr\xc3\xb6\xc3\x9f"
                             "e"),
              QStringLiteral("Größe"));
}

TEST(FileNames, ANameThatIsNoUtf8StillOpensItsFile) {
    ScratchDir dir;
    const QByteArray bytes = QFile::encodeName(dir.path()) + "/caf\xe9.mp4";
    // QTemporaryDir cannot remove a name Qt cannot hold.
    const struct Remove {
        const QByteArray& name;
        ~Remove() { ::unlink(name.constData()); }
    } removeLatin{bytes};
    const int fd = ::open(bytes.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(::access(encodeFileName(decodeFileName(bytes)).constData(), F_OK), 0);
    // Qt's own decoding loses the byte: the name would no longer open the file.
    EXPECT_NE(::access(QFile::encodeName(QFile::decodeName(bytes)).constData(), F_OK), 0);
}

TEST(FileNames, ControlCharactersAreShownNotSent) {
    const struct {
        QByteArray name;
        const char* shown;
    } cases[] = {
        {"clear\x1b[2J.mpg", "clear\\x1b[2J.mpg"},
        {"title\x1b]0;owned\x07.mpg", "title\\x1b]0;owned\\x07.mpg"},
        {"two\nlines\r\t.mpg", "two\\nlines\\r\\t.mpg"},
        {"del\x7f", "del\\x7f"},
        {"c1 \xc2\x9b", "c1 \\x9b"},       // U+009B, the 8-bit CSI
        {"raw \x9b\xe9", "raw \\x9b\xe9"}, // a C1 byte that is no UTF-8 is shown too
        {"Gr\xc3\xb6\xc3\x9f"
         "e \xe2\x82\xac",
         "Gr\xc3\xb6\xc3\x9f"
         "e \xe2\x82\xac"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(encodeFileName(visibleName(decodeFileName(c.name))), QByteArray(c.shown))
            << c.name.toHex().constData();
}

} // namespace
