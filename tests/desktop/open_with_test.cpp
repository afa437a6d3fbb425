// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/form_fixture.h"

#include "app/startup.h"

#include <QImage>

namespace {

using OpenWith = FormTest;

TEST_F(OpenWith, ListsTheNamedFilesInOrderAfterTheEntriesWithRelativeNamesMadeAbsolute) {
    addSourceEntries({"/earlier.avi"});
    const std::vector<std::string> callsBefore = mcl.calls;
    appendStartupSources(*form,
                         {"/usr/bin/tavimo", "b.MPG", "/videos/a.avi", "sub/../c d.vob", "",
                          "./x.mp4", "b.MPG", "../up.mpeg"},
                         QDir("/home/anna/Filme"));
    EXPECT_EQ(sourceEntries(),
              QStringList({"/earlier.avi", "/home/anna/Filme/b.MPG", "/videos/a.avi",
                           "/home/anna/Filme/c d.vob", "/home/anna/Filme/x.mp4",
                           "/home/anna/Filme/b.MPG", "/home/anna/up.mpeg"}));
    // Listed only: the codec library was not asked for anything.
    EXPECT_EQ(mcl.calls, callsBefore);
    EXPECT_FALSE(form->conversionRunning());
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(OpenWith, TheProgramNameAloneLeavesTheWindowAsItWas) {
    appendStartupSources(*form, {"tavimo"});
    appendStartupSources(*form, {});
    EXPECT_TRUE(sourceEntries().isEmpty());
    EXPECT_TRUE(logLines().isEmpty());
}

TEST(ApplicationIcon, HoldsTheDesktopIconsPicturesAtTheirSizes) {
    const QIcon icon = applicationIcon();
    for (const int size : {48, 256}) {
        SCOPED_TRACE(size);
        const QString drawn = QStringLiteral(TAVIMO_SOURCE_DIR "/dist/icons/%1x%1/%2.png")
                                  .arg(size)
                                  .arg(kDesktopFileName);
        const QImage expected = QImage(drawn).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        ASSERT_FALSE(expected.isNull()) << drawn.toStdString();
        const QImage shown = icon.pixmap(QSize(size, size))
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(shown, expected);
    }
}

} // namespace
