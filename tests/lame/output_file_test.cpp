// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "common/exception.h"
#include "pipeline/output_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(OutputFile, ReplacesTheFileAndKeepsManySmallWritesInOrder) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Größe ä.mp3"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write(QByteArray(100000, 'o')) == 100000);
    old.close();
    OutputFile file;
    ASSERT_TRUE(file.create(path));
    QByteArray expected;
    for (int i = 0; i < 5000; ++i) {
        const QByteArray piece = QByteArray::number(i) + ',';
        file.write(piece.constData(), std::size_t(piece.size()));
        expected += piece;
    }
    file.close();
    file.close(); // closing again does nothing
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(expected, old.readAll());
}

TEST(OutputFile, FailuresAreReported) {
    QTemporaryDir dir;
    OutputFile file;
    EXPECT_FALSE(file.create(dir.filePath("missing/a.mp3")));
    EXPECT_THROW(file.write("x", 1), EInOutError); // "File not open"
}

} // namespace
