// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "form_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

namespace {

using MainForm = FormTest;

TEST_F(MainForm, StartsWithItsDefaults) {
    EXPECT_EQ(form->windowTitle(), "Quorrel Tavimo 1.0");
    EXPECT_EQ(form->minimumSize(), QSize(712, 516));
    EXPECT_EQ(form->maximumSize(), QSize(712, 516));
    EXPECT_EQ(form->mp3format->currentText(), "44100");
    EXPECT_EQ(form->BitRate->currentText(), "128");
    EXPECT_TRUE(form->InternCheck->isChecked());
    EXPECT_FALSE(form->LoudnessCheck->isChecked());
    EXPECT_FALSE(form->ChaptersCheck->isChecked());
    EXPECT_TRUE(form->btnStart->isEnabled());
    EXPECT_TRUE(form->btnStop->isEnabled());
    EXPECT_TRUE(sourceEntries().isEmpty());
    EXPECT_TRUE(form->FilenameEdit1->text().isEmpty());
    EXPECT_TRUE(logLines().isEmpty());
    EXPECT_EQ(form->ListView1->selectionMode(), QAbstractItemView::ExtendedSelection);
    const std::pair<QWidget*, QRect> placed[] = {
        {form->ListView1, {8, 24, 689, 105}},       {form->FilenameEdit1, {8, 184, 689, 21}},
        {form->ZielBtn, {552, 208, 139, 25}},       {form->btnStart, {8, 264, 105, 25}},
        {form->lstProgress, {8, 296, 681, 161}},    {form->LoudnessCheck, {280, 216, 260, 17}},
        {form->ChaptersCheck, {280, 240, 260, 17}},
    };
    for (const auto& [widget, geometry] : placed)
        EXPECT_EQ(widget->geometry(), geometry) << widget->objectName().toStdString();
    // Enter must not start a conversion or add files.
    for (QPushButton* button :
         {form->AddBtn, form->DeleteBtn, form->ZielBtn, form->btnStart, form->btnStop})
        EXPECT_FALSE(button->autoDefault() || button->isDefault())
            << button->objectName().toStdString();

    QStringList order;
    QWidget* widget = form->lstProgress;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->parentWidget() == form.get())
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != form->lstProgress && order.size() < 50);
    EXPECT_EQ(order, QStringList({"lstProgress", "ListView1", "AddBtn", "DeleteBtn",
                                  "FilenameEdit1", "btnStart", "btnStop", "mp3format", "BitRate",
                                  "ZielBtn", "InternCheck", "LoudnessCheck", "ChaptersCheck"}));
}

TEST_F(MainForm, TheCheckBoxesReachTheRunsSettings) {
    for (const auto& [loudness, chapters] : {std::pair{true, false}, {false, true}}) {
        form->LoudnessCheck->setChecked(loudness);
        form->ChaptersCheck->setChecked(chapters);
        const ConversionSettings settings = form->conversionSettings();
        EXPECT_EQ(settings.loudness, loudness);
        EXPECT_EQ(settings.chapters, chapters);
        EXPECT_EQ(settings.loudnessTarget, kDefaultLoudnessTarget);
    }
}

TEST_F(MainForm, HandsTheCodecLibraryItsTwentyTextsInWindows1252WhenCreated) {
    ASSERT_EQ(mcl.calls.size(), 20u);
    const std::pair<std::size_t, std::string> samples[] = {
        {0, "h,h"},
        {5, "Liste l\xF6schen,"},
        {8, "Close,Schlie\xDF"
            "en"},
        {14, "Invalid output file name or format,\xDCng\xFCltiger Zieldateiname oder "
             "Zieldateiformat"},
        {19, "Unknown error,Unbekannter Fehler"},
    };
    for (const auto& [index, arguments] : samples)
        EXPECT_EQ(mcl.calls[index], "MclTranslate(" + arguments + ")");
    for (const std::string& call : mcl.calls)
        EXPECT_TRUE(call.starts_with("MclTranslate(")) << call;
}

TEST_F(MainForm, TrimProgressLogKeepsTheTenNewestLines) {
    for (const auto& [lines, firstKept] : {std::pair{15, 6}, {11, 2}, {10, 1}, {3, 1}}) {
        form->lstProgress->clear();
        QStringList kept;
        for (int i = 1; i <= lines; ++i) {
            form->AddProgressLine(QString::number(i));
            if (i >= firstKept)
                kept << QString::number(i);
        }
        form->TrimProgressLog();
        EXPECT_EQ(logLines(), kept) << lines << " lines";
    }
}

TEST_F(MainForm, StartWithoutDestinationAsksForOneEachTimeWithoutTrimming) {
    const QStringList ask{"Sie müssen einen Zieldateinamen auswählen!",
                          "Klicken Sie auf den kleinen Button neben dem",
                          "Eingabefeld für die Zieldatei."};
    for (const QString& destination : {QString(), QStringLiteral("   \t ")}) {
        form->lstProgress->clear();
        form->FilenameEdit1->setText(destination);
        form->btnStart->click();
        form->btnStart->click();
        EXPECT_EQ(logLines(), ask + ask);
    }
    EXPECT_EQ(mcl.calls.size(), 20u) << "no conversion may start";
}

// Sources, destination and decoder reach the job as the start test shows; the rates here.
TEST_F(MainForm, GivesTheConversionTheChosenRates) {
    form->mp3format->setCurrentIndex(0);
    form->BitRate->setCurrentIndex(13);
    EXPECT_EQ(form->conversionSettings().sampleRate, 48000);
    EXPECT_EQ(form->conversionSettings().bitRate, 160);
}

TEST_F(MainForm, EscapePressesTheDeleteButton) {
    addSourceEntries({"/v/1.avi", "/v/2.avi"});
    form->ListView1->topLevelItem(0)->setSelected(true);
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->ListView1->setFocus();
    QTest::keyClick(form->ListView1, Qt::Key_Escape);
    EXPECT_EQ(sourceEntries(), QStringList{"/v/2.avi"});
}

TEST_F(MainForm, ShowsTheWavBoxWithoutACaptionOrAddedStop) {
    form->showErrorMessage("Keine gültige WAV-Datei!!!!");
    EXPECT_EQ(boxes, (decltype(boxes){{"", "Keine gültige WAV-Datei!!!!"}}));
}

TEST_F(MainForm, DeleteRemovesTheSelectedEntriesAndKeepsTheOrder) {
    const std::pair<std::vector<int>, QStringList> cases[] = {
        {{}, {"1", "2", "3", "4", "5"}},
        {{1, 3}, {"1", "3", "5"}},
        {{1, 2}, {"1", "4", "5"}}, // neighbours: no entry may be skipped
    };
    for (const auto& [selected, kept] : cases) {
        form->ListView1->clear();
        addSourceEntries({"1", "2", "3", "4", "5"});
        for (const int row : selected)
            form->ListView1->topLevelItem(row)->setSelected(true);
        form->DeleteBtn->click();
        EXPECT_EQ(sourceEntries(), kept);
    }
}

} // namespace
