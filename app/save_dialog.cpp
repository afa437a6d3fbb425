#include "app/save_dialog.h"

#include <QDir>
#include <QFileDialog>

std::optional<QString> QtSaveFileDialog::execute(QWidget* parent, const SaveDialogState& state) {
    QFileDialog dialog(parent, QStringLiteral("Browse"));
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
    dialog.selectFile(state.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().first());
}
