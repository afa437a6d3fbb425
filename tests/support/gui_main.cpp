// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "support/scratch_dir.h"

#include <QApplication>
#include <QFile>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Widget tests need no display: CTest asks for the offscreen platform, and so does this for
    // the runs that list the tests while building.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session's runtime folder Qt makes one in the temporary folder and leaves it
    // there; this one goes with the run.
    ScratchDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
