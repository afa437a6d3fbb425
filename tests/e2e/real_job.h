// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "fakes/fake_host.h"
#include "pipeline/conversion_job.h"
#include "platform/lame/mp3lame_library.h"
#include "platform/mcl/ffmpeg_mcl.h"
#include "platform/msacm/swr_acm.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A conversion job on the real libraries, its temporary files in a folder of the test's own
// (`temp`, through TMPDIR), its destinations in `out`.
template <typename Host = FakeHost> class RealJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
    }
    void TearDown() override { qputenv("TMPDIR", savedTmp); }

    QTemporaryDir temp;
    QTemporaryDir out;
    QByteArray savedTmp;
    FfmpegMcl mcl;
    Mp3LameLibrary lame;
    SwrAcmLibrary acm;
    Host host;
    ConversionJob job{host, {mcl, lame, acm}};
};
