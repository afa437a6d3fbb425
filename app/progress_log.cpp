// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/progress_log.h"

#include <QListWidget>

void keepNewestLinesInView(QListWidget& log) {
    QAbstractItemModel* const lines = log.model();
    // Scrolling to the end lays out the rows first; removing lines needs the layout alone.
    QObject::connect(lines, &QAbstractItemModel::rowsInserted, &log,
                     [&log] { log.scrollToBottom(); });
    QObject::connect(lines, &QAbstractItemModel::rowsRemoved, &log,
                     [&log] { log.doItemsLayout(); });
}
