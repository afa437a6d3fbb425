// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QString>

// The special folders of the shell namespace as this platform has them. The desktop is the
// namespace's root and has no file-system path of its own; its files live in
// SF_DESKTOPDIRECTORY. The computer's drives are the file-system root.
enum TShellFolder {
    SF_NONE, // an ordinary folder
    SF_DESKTOP,
    SF_DESKTOPDIRECTORY,
    SF_DRIVES,
    SF_PERSONAL,
};

// The file-system path of a special folder; empty when it has none.
QString ShellFolderPath(TShellFolder folder);
