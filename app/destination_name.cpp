// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/destination_name.h"

#include <QFileInfo>

namespace {

bool isBlankOrControl(QChar c) {
    return c.unicode() <= 32;
}

// The first word, and where reading it stopped.
QString firstWord(const QString& text, qsizetype* end = nullptr) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (isBlankOrControl(text[i]))
            ++i;
        else if (text[i] == u'"' && i + 1 < n && text[i + 1] == u'"')
            i += 2;
        else
            break;
    }
    QString word;
    while (i < n && !isBlankOrControl(text[i])) {
        if (text[i] == u'"') {
            for (++i; i < n && text[i] != u'"'; ++i)
                word += text[i];
            if (i < n)
                ++i;
        } else {
            word += text[i++];
        }
        if (word.size() > kMaxDestinationWord)
            return {};
    }
    if (end)
        *end = i;
    return word;
}

bool namesExistingFile(const QString& text) {
    if (text.isEmpty())
        return false;
    const QFileInfo info(text);
    return info.exists() && !info.isDir();
}

} // namespace

QString readDestinationName(const QString& text) {
    return namesExistingFile(text) ? text : firstWord(text);
}

bool destinationWordsDropped(const QString& text) {
    if (namesExistingFile(text))
        return false;
    qsizetype end = 0;
    if (firstWord(text, &end).isEmpty())
        return false;
    for (qsizetype i = end; i < text.size(); ++i) {
        if (!isBlankOrControl(text[i]))
            return true;
    }
    return false;
}

QString quoteDestinationName(const QString& name) {
    if (name.contains(u' ') && !name.startsWith(u'"'))
        return u'"' + name + u'"';
    return name;
}

bool isValidFileName(const QString& name) {
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        if (c == u'<' || c == u'>' || c == u'"' || c == u'[' || c == u']' || c == u'|')
            return false;
    }
    return true;
}
