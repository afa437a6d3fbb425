// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "app/save_dialog.h"

#include <QLineEdit>

#include <memory>

class QAction;

// A one-line file-name edit with a browse button at its right end and one save dialog, which
// serves the browse button and whoever assigns FileName from a dialog choice.
class TFilenameEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TFilenameEdit(QWidget* parent = nullptr);
    ~TFilenameEdit() override;

    // The name the text stands for, by the reading rule.
    QString FileName() const;
    // Puts a name into the edit by the setting rule; raises Exception ("Ungültiger Dateiname -
    // %s") and leaves the text alone when the name does not read as a valid file name.
    void setFileName(const QString& name);

    // The save dialog as it stands: the name chosen last and the folder it starts in.
    const SaveDialogState& dialogState() const { return state; }
    // Shows the save dialog without preparing it; the chosen name, or nothing.
    std::optional<QString> executeDialog();
    // Another dialog in place of Qt's, answering in its stead.
    void setDialog(std::unique_ptr<SaveFileDialog> replacement);

    QAction* browseAction() const { return browse; }
    // The browse button's click: starts the dialog in the folder of the text's name when that
    // exists and proposes the whole name, shows the dialog, takes the choice.
    void browseClick();

private:
    std::unique_ptr<SaveFileDialog> dialog;
    SaveDialogState state;
    QAction* browse;
};
