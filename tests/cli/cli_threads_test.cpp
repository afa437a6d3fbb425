// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "cli/cli_options.h"
#include "common/available_cores.h"

#include <gtest/gtest.h>

namespace {

TEST(CliThreads, TakesOneToSixtyFourEncoderThreadsAndDefaultsToTheCores) {
    EXPECT_EQ(parseCliArguments({"-o", "o", "a"}).options.threads, availableCores());
    for (const unsigned threads : {1u, 3u, 64u}) {
        const QString value = QString::number(threads);
        EXPECT_EQ(parseCliArguments({"--threads", value, "-o", "o", "a"}).options.threads, threads);
        EXPECT_EQ(parseCliArguments({"-o", "o", "--threads=" + value, "a"}).options.threads,
                  threads);
    }
    for (const char* value : {"0", "65", "-1", "+2", "02", "2x", ""}) {
        const CliParseResult result = parseCliArguments({"--threads", value, "-o", "o", "a"});
        EXPECT_EQ(result.kind, CliParseResult::UsageError) << value;
        EXPECT_EQ(result.error, QStringLiteral("Ungültige Anzahl Threads: %1").arg(value));
    }
    EXPECT_TRUE(cliUsageText().contains(
        QStringLiteral("(Vorgabe: %1, die Kerne dieses Rechners)").arg(availableCores())));
}

} // namespace
