#pragma once

#include "app/save_dialog.h"
#include "app/wMain.h"
#include "fakes/fake_mcl.h"
#include "null_libraries.h"

#include <QString>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

// Answers the save dialog from a script and remembers what it was shown.
class ScriptedSaveDialog final : public SaveFileDialog {
public:
    // One answer per showing; a null string cancels.
    std::deque<QString> answers;
    std::vector<SaveDialogState> shown;

    std::optional<QString> execute(QWidget*, const SaveDialogState& state) override {
        shown.push_back(state);
        if (answers.empty())
            return std::nullopt;
        const QString answer = answers.front();
        answers.pop_front();
        if (answer.isNull())
            return std::nullopt;
        return answer;
    }
};

struct ShownBox {
    QString caption;
    QString text;
};

// A main window on a recording codec library, with the error boxes and the save dialog
// observed instead of shown.
class FormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The progress log's lines, oldest first.
    QStringList logLines() const;
    QStringList sourceEntries() const;
    void addSourceEntries(const QStringList& paths);

    FakeMcl mcl;
    NullLame lame;
    NullAcm acm;
    std::unique_ptr<TMainForm> form;
    ScriptedSaveDialog* dialog = nullptr;
    std::vector<ShownBox> boxes;
};
