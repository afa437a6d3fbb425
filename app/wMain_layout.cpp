// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// The window's controls, placed at fixed pixels on a fixed-size window.
#include "app/wMain.h"

#include "app/FilenameEdit.h"
#include "app/progress_band.h"
#include "app/progress_log.h"
#include "app/source_list_view.h"
#include "pipeline/mp3_choices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {

template <typename W> W* place(W* widget, const char* name, QRect geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* label(QWidget* form, const char* name, const QString& text, QRect geometry) {
    return place(new QLabel(text, form), name, geometry);
}

QPushButton* button(QWidget* form, const char* name, const QString& text, const char* icon,
                    QRect geometry) {
    auto* result =
        place(new QPushButton(QIcon(QString::fromLatin1(icon)), text, form), name, geometry);
    // No default button: Enter presses none of them.
    result->setAutoDefault(false);
    result->setDefault(false);
    return result;
}

QComboBox* dropDown(QWidget* form, const char* name, const QStringList& items, int selected,
                    QRect geometry) {
    auto* result = place(new QComboBox(form), name, geometry);
    result->addItems(items);
    result->setCurrentIndex(selected);
    return result;
}

template <std::size_t N> QStringList numbers(const std::array<int, N>& values) {
    QStringList texts;
    for (const int value : values)
        texts << QString::number(value);
    return texts;
}

} // namespace

void TMainForm::createControls() {
    lstProgress = place(new QListWidget(this), "lstProgress", {8, 296, 681, 161});
    lstProgress->setSelectionMode(QAbstractItemView::NoSelection);
    lstProgress->setUniformItemSizes(true);
    lstProgress->setSortingEnabled(false);
    lstProgress->setStyleSheet(QStringLiteral("QListWidget::item { height: 13px; }"));
    keepNewestLinesInView(*lstProgress);

    // The labels are as wide as their texts in the window's font, Liberation Sans.
    Label1 = label(this, "Label1", QStringLiteral("Quelldateien:"), {8, 8, 66, 13});
    auto* sources = place(new SourceListView(this), "ListView1", {8, 24, 689, 105});
    connect(sources, &SourceListView::pathsDropped, this, &TMainForm::appendSources);
    ListView1 = sources;

    AddBtn = button(this, "AddBtn", QStringLiteral("Hinzufügen..."), ":/icons/add.png",
                    {8, 136, 105, 25});
    DeleteBtn = button(this, "DeleteBtn", QStringLiteral("Löschen"), ":/icons/cross.png",
                       {120, 136, 75, 25});
    Label2 = label(this, "Label2", QStringLiteral("Zieldatei:"), {8, 168, 46, 13});
    FilenameEdit1 = place(new TFilenameEdit(this), "FilenameEdit1", {8, 184, 689, 21});
    ZielBtn = button(this, "ZielBtn", QStringLiteral("Zieldatei wählen..."), ":/icons/target.png",
                     {552, 208, 139, 25});
    Label6 = label(this, "Label6", QStringLiteral("Samplefrequenz:"), {8, 211, 84, 13});
    mp3format = dropDown(this, "mp3format", numbers(kMp3SampleRates), -1, {96, 211, 97, 21});
    Label5 = label(this, "Label5", QStringLiteral("kHz"), {200, 216, 19, 13});
    BitRate = dropDown(this, "BitRate", numbers(kMp3BitRates), -1, {96, 235, 97, 21});
    Label7 = label(this, "Label7", QStringLiteral("Bitrate:"), {8, 240, 36, 13});
    Label8 = label(this, "Label8", QStringLiteral("kBit/Sekunde"), {200, 240, 66, 13});
    btnStart = button(this, "btnStart", QStringLiteral("Umwandeln..."), ":/icons/ticks.png",
                      {8, 264, 105, 25});
    btnStop = button(this, "btnStop", QStringLiteral("Abbrechen"), ":/icons/cross.png",
                     {120, 264, 105, 25});
    InternCheck =
        place(new QCheckBox(QStringLiteral("Benutze internen Decoder anstatt DirectShow"), this),
              "InternCheck", {239, 272, 249, 17});
    InternCheck->setChecked(true);
    // Beyond the original layout, in the space left of "Zieldatei wählen...": both off at start,
    // so that a run writes what it always wrote unless the user asks for more.
    LoudnessCheck = place(new QCheckBox(QStringLiteral("Lautstärke angleichen"), this),
                          "LoudnessCheck", {280, 216, 260, 17});
    ChaptersCheck = place(new QCheckBox(QStringLiteral("Kapitelmarken"), this), "ChaptersCheck",
                          {280, 240, 260, 17});
    progressBand = place(new ProgressBand(this), "progressBand", {8, 460, 681, 50});

    QWidget* const tabOrder[] = {lstProgress, ListView1,     AddBtn,       DeleteBtn, FilenameEdit1,
                                 btnStart,    btnStop,       mp3format,    BitRate,   ZielBtn,
                                 InternCheck, LoudnessCheck, ChaptersCheck};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}
