// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/FilenameEdit.h"

#include "app/destination_name.h"
#include "app/error_box.h"
#include "common/exception.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

TFilenameEdit::TFilenameEdit(QWidget* parent)
    : QLineEdit(parent), dialog(std::make_unique<QtSaveFileDialog>()),
      browse(addAction(QIcon(QStringLiteral(":/icons/folder.png")), TrailingPosition)) {
    browse->setText(QStringLiteral("Durchsuchen"));
    browse->setToolTip(QStringLiteral("Durchsuchen"));
    connect(browse, &QAction::triggered, this,
            [this] { runHandler(this, [this] { browseClick(); }); });
}

TFilenameEdit::~TFilenameEdit() = default;

QString TFilenameEdit::FileName() const {
    return readDestinationName(text());
}

void TFilenameEdit::setFileName(const QString& name) {
    if (!isValidFileName(readDestinationName(name)))
        throw Exception(QStringLiteral("Ungültiger Dateiname - %1").arg(name).toStdString());
    setText(quoteDestinationName(name));
}

std::optional<QString> TFilenameEdit::executeDialog() {
    std::optional<QString> chosen = dialog->execute(window(), state);
    if (chosen)
        state.fileName = *chosen;
    return chosen;
}

void TFilenameEdit::setDialog(std::unique_ptr<SaveFileDialog> replacement) {
    dialog = std::move(replacement);
}

void TFilenameEdit::browseClick() {
    const QString name = FileName();
    if (isValidFileName(name)) {
        const QFileInfo info(name);
        if (QFileInfo(info.absolutePath()).isDir())
            state.directory = info.absolutePath();
        // The whole name, so that a folder that does not exist (yet) is not lost.
        state.fileName = isValidFileName(info.fileName()) ? name : QString();
    }
    const std::optional<QString> chosen = executeDialog();
    setFocus();
    if (!chosen)
        return;
    setText(quoteDestinationName(*chosen));
    state.directory = QFileInfo(*chosen).absolutePath();
}
