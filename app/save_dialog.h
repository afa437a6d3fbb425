// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QString>

#include <optional>

class QWidget;

// What the save dialog starts with; it keeps the name chosen last between uses.
struct SaveDialogState {
    QString directory; // the folder it starts in; empty: Qt's choice
    QString fileName;  // the name it proposes, folder included; empty: none
};

// The destination edit's save dialog: Qt's below, or any other that answers in its place.
class SaveFileDialog {
public:
    virtual ~SaveFileDialog() = default;
    // Shows the dialog modally; the chosen name, or nothing when the user cancelled.
    virtual std::optional<QString> execute(QWidget* parent, const SaveDialogState& state) = 0;
};

// Qt's file dialog titled "Browse" for MP3 and WAV files that does not ask about overwriting.
class QtSaveFileDialog final : public SaveFileDialog {
public:
    std::optional<QString> execute(QWidget* parent, const SaveDialogState& state) override;
};
