// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "shell/shell_folders.h"

#include <QString>

// The folder that AddBtnClick puts before the chosen files' names: the tree's selected folder,
// else the path of its special folder (the desktop's files for the desktop), with a separator
// at its end unless it is empty or ends with one already.
QString addFilesFolder(const QString& selectedFolder, TShellFolder specialFolder);
