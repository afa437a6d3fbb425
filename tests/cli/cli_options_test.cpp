#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace {

struct UsageCase {
    const char* label;
    QStringList arguments;
};

class RefusedCommandLines : public ::testing::TestWithParam<UsageCase> {};

TEST_P(RefusedCommandLines, AreUsageErrors) {
    const CliParseResult result = parseCliArguments(GetParam().arguments);
    EXPECT_EQ(result.kind, CliParseResult::UsageError) << GetParam().label;
    EXPECT_FALSE(result.error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, RefusedCommandLines,
    ::testing::Values(UsageCase{"nothing", {}}, UsageCase{"no destination", {"a.avi"}},
                      UsageCase{"no source", {"-o", "out.mp3"}},
                      UsageCase{"-o without value", {"a.avi", "-o"}},
                      UsageCase{"empty destination", {"-o", "", "a.avi"}},
                      UsageCase{"rate not offered", {"--rate", "44000", "-o", "o", "a"}},
                      UsageCase{"rate with a sign", {"--rate", "+44100", "-o", "o", "a"}},
                      UsageCase{"rate with a leading zero", {"--rate=044100", "-o", "o", "a"}},
                      UsageCase{"rate not a number", {"--rate", "hoch", "-o", "o", "a"}},
                      UsageCase{"bit rate not offered", {"--bitrate", "192", "-o", "o", "a"}},
                      UsageCase{"bit rate without value", {"-o", "o", "a", "--bitrate"}},
                      UsageCase{"unknown option", {"--fast", "-o", "o", "a"}},
                      UsageCase{"value on a flag", {"--directshow=1", "-o", "o", "a"}}));

TEST(CommandLine, DefaultsAreTheWindows) {
    const CliParseResult result = parseCliArguments({"-o", "out.mp3", "a.avi", "b.mpg"});
    ASSERT_EQ(result.kind, CliParseResult::Run);
    EXPECT_EQ(result.options.destination, "out.mp3");
    EXPECT_EQ(result.options.sources, QStringList({"a.avi", "b.mpg"}));
    EXPECT_EQ(result.options.sampleRate, "44100");
    EXPECT_EQ(result.options.bitRate, "128");
    EXPECT_TRUE(result.options.internalDecoder);
}

TEST(CommandLine, TakesEveryOfferedChoice) {
    for (const char* rate : {"48000", "44100", "32000", "24000", "22050", "16000", "11025"}) {
        const CliParseResult result = parseCliArguments({"--rate", rate, "-o", "o", "a"});
        ASSERT_EQ(result.kind, CliParseResult::Run) << rate;
        EXPECT_EQ(result.options.sampleRate, rate);
    }
    for (const char* bitRate :
         {"8", "16", "24", "32", "40", "48", "56", "64", "80", "96", "112", "128", "144", "160"}) {
        const CliParseResult result =
            parseCliArguments({"--bitrate=" + QString(bitRate), "-o", "o", "a"});
        ASSERT_EQ(result.kind, CliParseResult::Run) << bitRate;
        EXPECT_EQ(result.options.bitRate, bitRate);
    }
}

TEST(CommandLine, OptionsMayComeAnywhereAndDashesEndThem) {
    const CliParseResult result =
        parseCliArguments({"a.avi", "--directshow", "-o", "my out.wav", "--", "-b.avi"});
    ASSERT_EQ(result.kind, CliParseResult::Run);
    EXPECT_FALSE(result.options.internalDecoder);
    EXPECT_EQ(result.options.destination, "my out.wav");
    EXPECT_EQ(result.options.sources, QStringList({"a.avi", "-b.avi"}));
}

TEST(CommandLine, HelpWinsOverEverythingElse) {
    EXPECT_EQ(parseCliArguments({"--help"}).kind, CliParseResult::Help);
    EXPECT_EQ(parseCliArguments({"-o", "x", "--help", "--bogus"}).kind, CliParseResult::Help);
    EXPECT_TRUE(cliUsageText().startsWith("Aufruf: tavimo-cli"));
}

} // namespace
