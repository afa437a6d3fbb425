// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/AddPagesFUnit.h"
#include "app/startup.h"

#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

const QString kDataFolder = QStringLiteral(TAVIMO_SOURCE_DIR "/dist/");

// The values of `key` in the desktop entry, split at its semicolons.
QStringList desktopEntryList(const QString& key) {
    QFile file(kDataFolder + kDesktopFileName + QStringLiteral(".desktop"));
    if (!file.open(QFile::ReadOnly | QFile::Text))
        return {};
    const QString prefix = key + u'=';
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).split(u';', Qt::SkipEmptyParts);
    }
    return {};
}

struct Validator {
    const char* name;
    const char* program;
    QStringList arguments; // the file's name follows
    const char* suffix;
};

void PrintTo(const Validator& validator, std::ostream* os) {
    *os << validator.program;
}

class DesktopData : public ::testing::TestWithParam<Validator> {};

TEST_P(DesktopData, PassesItsValidatorWithoutAnyRemark) {
    const Validator& validator = GetParam();
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(validator.program));
    if (program.isEmpty())
        GTEST_SKIP() << validator.program
                     << " is not installed (scripts/install-deps.sh installs it)";
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(program,
              QStringList(validator.arguments)
                  << kDataFolder + kDesktopFileName + QString::fromLatin1(validator.suffix));
    ASSERT_TRUE(run.waitForFinished(60000)) << run.errorString().toStdString();
    const QString output = QString::fromUtf8(run.readAll());
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0) << output.toStdString();
    // Both tools report hints and warnings without failing; the files are to have none.
    for (const QString& line : output.split(u'\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.contains(QStringLiteral("Validation was successful")))
            << line.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Files, DesktopData,
    ::testing::Values(Validator{"Entry", "desktop-file-validate", {}, ".desktop"},
                      Validator{
                          "Metainfo", "appstreamcli", {"validate", "--no-net"}, ".metainfo.xml"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(DesktopEntry, OffersToOpenExactlyTheKindsOfFileTheAddDialogShows) {
    const QStringList listed = desktopEntryList(QStringLiteral("MimeType"));
    ASSERT_FALSE(listed.isEmpty());
    QMimeDatabase mimeTypes;
    QStringList matched;
    for (const QString& mask : QString::fromLatin1(kVideoFileMasks).split(u';')) {
        bool offered = false;
        for (const QMimeType& type : mimeTypes.mimeTypesForFileName(mask.toLower())) {
            if (listed.contains(type.name())) {
                offered = true;
                matched << type.name();
            }
        }
        EXPECT_TRUE(offered) << mask.toStdString();
    }
    for (const QString& type : listed)
        EXPECT_TRUE(matched.contains(type)) << type.toStdString() << " matches no mask";
}

} // namespace
