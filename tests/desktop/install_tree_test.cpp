// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/startup.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Runs `program` with `arguments`; returns its exit code, -1 when it did not finish normally.
int run(const QString& program, const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return process.exitCode();
}

QStringList filesUnder(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(folder).relativeFilePath(it.next());
    found.sort();
    return found;
}

TEST(InstallTree, HoldsTheRunningProgramsAndTheDesktopDataAndNothingElse) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    QString output;
    ASSERT_EQ(run(QStringLiteral(TAVIMO_CMAKE),
                  {"--install", QStringLiteral(TAVIMO_BUILD_DIR), "--prefix", prefix.path()},
                  &output),
              0)
        << output.toStdString();

    const QString id = kDesktopFileName;
    QStringList expected{"bin/tavimo",
                         "bin/tavimo-cli",
                         "share/applications/" + id + ".desktop",
                         "share/icons/hicolor/256x256/apps/" + id + ".png",
                         "share/icons/hicolor/48x48/apps/" + id + ".png",
                         "share/icons/hicolor/scalable/apps/" + id + ".svg",
                         "share/doc/tavimo/changelog.gz",
                         "share/doc/tavimo/copyright",
                         "share/man/man1/tavimo-cli.1.gz",
                         "share/man/man1/tavimo.1.gz",
                         "share/metainfo/" + id + ".metainfo.xml"};
    expected.sort();
    EXPECT_EQ(filesUnder(prefix.path()), expected);
    EXPECT_TRUE(QFileInfo(prefix.filePath("bin/tavimo")).isExecutable());

    for (const int size : {48, 256}) {
        QImageReader reader(prefix.filePath(
            QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(id)));
        EXPECT_EQ(reader.size(), QSize(size, size)) << reader.errorString().toStdString();
    }

    EXPECT_EQ(run(prefix.filePath("bin/tavimo-cli"), {"--help"}, &output), 0)
        << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("tavimo-cli"))) << output.toStdString();
}

} // namespace
