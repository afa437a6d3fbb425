// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "app/FilenameEdit.h"
#include "app/error_box.h"
#include "app/save_dialog.h"
#include "app/wMain.h"
#include "fakes/fake_acm.h"
#include "fakes/fake_lame.h"
#include "recorded_reads.h"
#include "support/qt_print.h"

#include <QFile>
#include <QListWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

// What the codec library writes for a source on the MP3 road: 1000 frames of 44100 Hz 16-bit
// stereo silence, sound enough for the source to count as read.
inline void writeShortWav(const std::string& name) {
    QFile file(QString::fromStdString(name));
    if (!name.ends_with(".wav") || !file.open(QIODevice::WriteOnly))
        return;
    file.write(QByteArray("RIFF\xc4\x0f\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xac\0\0"
                          "\x10\xb1\x02\0\x04\0\x10\0data\xa0\x0f\0\0",
                          44));
    file.write(QByteArray(4000, '\0'));
}

// Answers the save dialog from a script (a null string or no answer cancels) and remembers what
// it was shown.
class ScriptedSaveDialog final : public SaveFileDialog {
public:
    std::deque<QString> answers;
    std::vector<SaveDialogState> shown;

    std::optional<QString> execute(QWidget*, const SaveDialogState& state) override {
        shown.push_back(state);
        const QString answer = answers.empty() ? QString() : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return answer.isNull() ? std::nullopt : std::optional(answer);
    }
};

// The main window on a recording codec library, with error boxes and the save dialog observed
// instead of shown.
class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        setErrorBox([this](QWidget*, const QString& caption, const QString& text) {
            boxes.push_back({caption, text});
        });
        form = std::make_unique<TMainForm>(ConversionLibraries{mcl, lame, acm});
        auto scripted = std::make_unique<ScriptedSaveDialog>();
        dialog = scripted.get();
        form->FilenameEdit1->setDialog(std::move(scripted));
    }
    void TearDown() override {
        form.reset();
        setErrorBox(nullptr);
    }

    QStringList logLines() const {
        QStringList lines;
        for (int i = 0; i < form->lstProgress->count(); ++i)
            lines << form->lstProgress->item(i)->text();
        return lines;
    }
    QStringList sourceEntries() const {
        QStringList entries;
        for (int i = 0; i < form->ListView1->topLevelItemCount(); ++i)
            entries << form->ListView1->topLevelItem(i)->text(0);
        return entries;
    }
    void addSourceEntries(const QStringList& paths) {
        for (const QString& path : paths)
            form->ListView1->addTopLevelItem(new QTreeWidgetItem(QStringList{path}));
    }

    FakeMcl mcl;
    FakeLame lame;
    FakeAcm acm;
    std::unique_ptr<TMainForm> form;
    ScriptedSaveDialog* dialog = nullptr;
    std::vector<std::pair<QString, QString>> boxes; // caption, text
};
