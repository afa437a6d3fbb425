// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QDialog>

class QFrame;
class QPushButton;
class QSplitter;
class ShellLink;
class ShellList;
class ShellTree;

// The add-files dialog: a folder tree beside a file list filtered to video files. It lives
// from start-up to the end, so it keeps its folder between uses.
class TAddPagesForm : public QDialog {
    Q_OBJECT
public:
    explicit TAddPagesForm(QWidget* parent = nullptr);

    QFrame* Panel1;
    ShellTree* ShellTree1;
    QSplitter* Splitter1;
    ShellList* ShellList1;
    QFrame* Panel2;
    QPushButton* BitBtnXP1;
    QPushButton* BitBtnXP2;
    ShellLink* ShellLink1;
};

// The program's one add-files dialog.
extern TAddPagesForm* AddPagesForm;

// The masks of the video files the dialog lists.
inline constexpr char kVideoFileMasks[] = "*.AVI;*.MPG;*.MPEG;*.MP2;*.MP4;*.vob";
