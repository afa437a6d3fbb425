// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/save_dialog.h"

#include "shell/file_columns.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QStyle>
#include <QTreeView>

#include <algorithm>

namespace {

// Puts a name into the dialog's name box. Qt's dialog moves to the folder of an absolute
// name, even to one that does not exist; for such a name it stays in its folder instead.
void proposeName(QFileDialog& dialog, const QString& name) {
    if (name.isEmpty())
        return;
    if (QDir::isRelativePath(name) || QFileInfo(name).absoluteDir().exists()) {
        dialog.selectFile(name);
        return;
    }
    if (auto* nameBox = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        nameBox->setText(name);
}

// Widens the dialog's list of places ("Computer", home) so that no name in it is cut.
void fitPlaces(QFileDialog& dialog) {
    auto* places = dialog.findChild<QListView*>(QStringLiteral("sidebar"));
    if (!places || !places->model())
        return;
    int widest = 0;
    for (int row = 0; row < places->model()->rowCount(); ++row)
        widest = std::max(widest, places->sizeHintForIndex(places->model()->index(row, 0)).width());
    // Room for the frame and a scroll bar, should the places outgrow their height.
    places->setMinimumWidth(widest + 2 * places->frameWidth() +
                            places->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4);
}

} // namespace

std::optional<QString> QtSaveFileDialog::execute(QWidget* parent, const SaveDialogState& state) {
    QFileDialog dialog(parent, QStringLiteral("Browse"));
    // Qt's own dialog rather than the desktop's: it speaks German with the program and keeps
    // the proposal as given.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Sizes and dates in the program's locale, every column as wide as its texts.
    dialog.setProxyModel(new LocaleFileColumns(&dialog));
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView")))
        fitFileColumns(*details->header());
    fitPlaces(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters{QStringLiteral("MP3 Dateien (*.mp3)"),
                              QStringLiteral("WAV Dateien (*.wav)")};
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.first());
    dialog.setDefaultSuffix(QStringLiteral("mp3"));
    if (!state.directory.isEmpty())
        dialog.setDirectory(state.directory);
    proposeName(dialog, state.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().first());
}
