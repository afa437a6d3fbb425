// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "support/scratch_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdlib>
#include <ftw.h>
#include <unistd.h>

namespace {

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    // What cannot be removed is passed over, so that the rest still goes.
    (void)::remove(path);
    return 0;
}

} // namespace

ScratchDir::ScratchDir() {
    const QString app = QCoreApplication::applicationName();
    QByteArray name = QFile::encodeName(QDir::tempPath() + u'/' +
                                        (app.isEmpty() ? QStringLiteral("tavimo-test") : app)) +
                      "-XXXXXX";
    if (::mkdtemp(name.data()))
        folder = QFile::decodeName(name);
}

ScratchDir::~ScratchDir() {
    if (!isValid())
        return;
    // Depth first, links not followed: only what lies inside the folder is removed.
    ::nftw(QFile::encodeName(folder).constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}
