// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/error_box.h"
#include "common/exception.h"
#include "support/qt_print.h"

#include <gtest/gtest.h>

#include <new>
#include <vector>

namespace {

TEST(ErrorBox, AppendsAFullStopAfterCharactersAboveIt) {
    const std::pair<QString, QString> cases[] = {
        {"Disk full", "Disk full."},
        {"Fehler 1", "Fehler 1."}, // '1' and '/' come after '.'
        {"Pfad /", "Pfad /."},
        {"Ende.", "Ende."},
        {"Keine gültige WAV-Datei!!!!", "Keine gültige WAV-Datei!!!!"}, // '!' comes before
        {"Minus -", "Minus -"},
        {"Größe", "Größe."},
        {"", ""},
    };
    for (const auto& [message, shown] : cases)
        EXPECT_EQ(withFullStop(message), shown) << message.toStdString();
}

TEST(ErrorBox, HandlersShowEveryKindOfErrorCaptionedTavimo) {
    std::vector<std::pair<QString, QString>> shown;
    setErrorBox([&](QWidget*, const QString& caption, const QString& text) {
        shown.push_back({caption, text});
    });
    bool ran = false;
    runHandler(nullptr, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(shown.empty());
    runHandler(nullptr, [] { throw EInOutError("Read beyond end of file"); });
    runHandler(nullptr, [] { throw std::bad_alloc(); });
    runHandler(nullptr, [] { throw 42; });
    runHandler(nullptr, [] { throw Exception("Fehler beim MP3 Codieren"); });
    setErrorBox(nullptr);
    ASSERT_EQ(shown.size(), 4u);
    for (const auto& box : shown)
        EXPECT_EQ(box.first, "Tavimo");
    EXPECT_EQ(shown[0].second, "Read beyond end of file.");
    EXPECT_EQ(shown[2].second, "Unbekannter Fehler.");
    EXPECT_EQ(shown[3].second, "Fehler beim MP3 Codieren.");
}

} // namespace
