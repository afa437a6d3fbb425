// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "common/file_names.h"

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at `p` (at most `left` bytes), or 0.
int utf8Length(const unsigned char* p, qsizetype left) {
    const unsigned char c = p[0];
    int length = 0;
    char32_t value = 0;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0) {
        length = 2;
        value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        value = c & 0x07;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        value = value << 6 | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are no valid UTF-8.
    static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

QString decodeFileName(const QByteArray& bytes) {
    QString name;
    name.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (qsizetype i = 0; i < bytes.size();) {
        const int length = utf8Length(p + i, bytes.size() - i);
        if (length == 0) {
            name += QChar(static_cast<char16_t>(kEscapeBase + p[i]));
            ++i;
        } else {
            name += QString::fromUtf8(reinterpret_cast<const char*>(p + i), length);
            i += length;
        }
    }
    return name;
}

QByteArray encodeFileName(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
            bytes += static_cast<char>(c - kEscapeBase);
        } else if (QChar::isHighSurrogate(c) && i + 1 < name.size() &&
                   name[i + 1].isLowSurrogate()) {
            bytes += name.mid(i, 2).toUtf8();
            ++i;
        } else {
            bytes += QString(QChar(c)).toUtf8();
        }
    }
    return bytes;
}

QString visibleName(const QString& name) {
    QString shown;
    shown.reserve(name.size());
    for (const QChar c : name) {
        char16_t code = c.unicode();
        // A byte that is no UTF-8 goes out raw; 0x80..0x9F are controls on an 8-bit terminal.
        if (code >= kEscapeBase + 0x80 && code <= kEscapeBase + 0x9F)
            code -= kEscapeBase;
        const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
        if (!control) {
            shown += c;
            continue;
        }
        switch (code) {
        case u'\n':
            shown += QLatin1String("\\n");
            break;
        case u'\r':
            shown += QLatin1String("\\r");
            break;
        case u'\t':
            shown += QLatin1String("\\t");
            break;
        default:
            shown += QStringLiteral("\\x%1").arg(static_cast<unsigned>(code), 2, 16, QChar(u'0'));
        }
    }
    return shown;
}
