// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QString>

// A private folder in the temporary folder that goes away with everything in it, also names
// that are no UTF-8 (QTemporaryDir cannot remove those, and would leave the folder behind).
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    bool isValid() const { return !folder.isEmpty(); }
    QString path() const { return folder; }
    QString filePath(const QString& name) const { return folder + u'/' + name; }

private:
    QString folder;
};
