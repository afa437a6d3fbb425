// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Widget tests need no display: CTest asks for the offscreen platform, and so does this for
    // the runs that list the tests while building.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
