// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "pipeline/chapters.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// The chapters of an MP3 file as one ID3v2.4 tag in front of its frames: a top-level, ordered
// table of contents (CTOC) and one CHAP frame per chapter, with its start and end in milliseconds
// and its title in a TIT2 frame. TagLib writes all of it.
//
// The times are known only at the end of a run, when the frames are already in the file; room
// for the tag is therefore made before the first frame, with a tag of the same frames for every
// listed source, so that the finished tag usually takes that room's place without the frames
// being moved.

// The tag with a chapter titled after each of `titles`, times not yet known, as TagLib renders
// it: what goes first into the file.
QByteArray reservedChapterTag(const QStringList& titles);

// Puts the tag of `chapters` (frames at `rate`) into the file open for reading and writing on
// `descriptor`, in place of the reserved one. Empty on success, else why not (German).
QString writeChapterTag(int descriptor, const std::vector<Chapter>& chapters, int rate);
