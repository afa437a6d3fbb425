#include "app/error_box.h"
#include "common/exception.h"

#include <gtest/gtest.h>

#include <new>
#include <vector>

namespace {

TEST(FullStopRule, AppendsAStopAfterCharactersAboveIt) {
    const struct {
        QString message;
        QString shown;
    } cases[] = {
        {"Disk full", "Disk full."},
        {"Fehler 1", "Fehler 1."}, // '1' comes after '.'
        {"Pfad /", "Pfad /."},     // so does '/'
        {"Ende.", "Ende."},
        {"Keine gültige WAV-Datei!!!!", "Keine gültige WAV-Datei!!!!"}, // '!' comes before
        {"Minus -", "Minus -"},
        {"Klammer)", "Klammer)"},
        {"Größe", "Größe."},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withFullStop(c.message), c.shown) << c.message.toStdString();
}

class HandlerErrors : public ::testing::Test {
protected:
    void SetUp() override {
        setErrorBox([this](QWidget*, const QString& caption, const QString& text) {
            shown.push_back({caption, text});
        });
    }
    void TearDown() override { setErrorBox(nullptr); }

    std::vector<std::pair<QString, QString>> shown;
};

TEST_F(HandlerErrors, ShowsTheMessageInABoxCaptionedTavimo) {
    runHandler(nullptr, [] { throw EInOutError("Read beyond end of file"); });
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, "Tavimo");
    EXPECT_EQ(shown[0].second, "Read beyond end of file.");
}

TEST_F(HandlerErrors, CatchesEveryKindOfError) {
    runHandler(nullptr, [] { throw std::bad_alloc(); });
    runHandler(nullptr, [] { throw 42; });
    runHandler(nullptr, [] { throw Exception("Fehler beim MP3 Codieren"); });
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1].second, "Unbekannter Fehler.");
    EXPECT_EQ(shown[2].second, "Fehler beim MP3 Codieren.");
}

TEST_F(HandlerErrors, AHandlerThatEndsNormallyShowsNothing) {
    bool ran = false;
    runHandler(nullptr, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(shown.empty());
}

} // namespace
