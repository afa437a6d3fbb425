// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/chapters.h"

#include "common/file_names.h"

#include <algorithm>
#include <limits>

namespace {

// How decodeFileName keeps a byte that is no UTF-8 (U+DC80..U+DCFF).
constexpr char16_t kLoneByteBase = 0xDC00;

} // namespace

QString chapterTitle(const QString& sourcePath) {
    QString name = sourcePath.mid(sourcePath.lastIndexOf(u'/') + 1);
    // A leading dot starts a hidden name, not an extension.
    if (const qsizetype dot = name.lastIndexOf(u'.'); dot > 0)
        name.truncate(dot);
    QString title = visibleName(name);
    for (QChar& c : title) {
        if (c.unicode() >= kLoneByteBase + 0x80 && c.unicode() <= kLoneByteBase + 0xFF)
            c = QChar(static_cast<char16_t>(c.unicode() - kLoneByteBase));
    }
    return title;
}

std::uint32_t chapterMilliseconds(std::int64_t frame, int rate) {
    if (frame <= 0 || rate <= 0)
        return 0;
    const std::int64_t limit = std::numeric_limits<std::uint32_t>::max();
    // Past 2^63 / 1000 frames the product would overflow; such a time is beyond 32 bits anyway.
    if (frame > std::numeric_limits<std::int64_t>::max() / 1000)
        return static_cast<std::uint32_t>(limit);
    return static_cast<std::uint32_t>(std::min(limit, (frame * 1000 + rate / 2) / rate));
}
