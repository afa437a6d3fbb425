// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

class QListWidget;

// Makes the progress log lay out its lines as soon as they are added or removed and keep the
// newest one in view. A list view otherwise lays its rows out again only from a zero timer after
// every change; a run that adds a line before each message pump got its paint ahead of that
// timer every time, so the log stayed blank for the whole run.
void keepNewestLinesInView(QListWidget& log);
