// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/AddPagesFUnit.h"

#include "app/accessible_texts.h"
#include "app/window_font.h"

#include "shell/ShellLink.h"
#include "shell/ShellList.h"
#include "shell/ShellTree.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QVBoxLayout>

TAddPagesForm* AddPagesForm = nullptr;

TAddPagesForm::TAddPagesForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AddPagesForm"));
    setWindowTitle(QStringLiteral("Videodateien hinzufügen (AVI,MPG)"));
    setFont(windowFont());
    resize(696, 480);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::NoFrame);
    Splitter1 = new QSplitter(Qt::Horizontal, Panel1);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    ShellTree1 = new ShellTree(Splitter1);
    ShellTree1->setObjectName(QStringLiteral("ShellTree1"));
    ShellList1 = new ShellList(Splitter1);
    ShellList1->setObjectName(QStringLiteral("ShellList1"));
    ShellList1->setFilter(QString::fromLatin1(kVideoFileMasks));
    Splitter1->addWidget(ShellTree1);
    Splitter1->addWidget(ShellList1);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({241, 696 - 241 - 3});
    auto* panel1Layout = new QHBoxLayout(Panel1);
    panel1Layout->setContentsMargins(0, 0, 0, 0);
    panel1Layout->addWidget(Splitter1);

    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::NoFrame);
    Panel2->setFixedHeight(41);
    BitBtnXP1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                                QStringLiteral("Dateien hinzufügen"), Panel2);
    BitBtnXP1->setObjectName(QStringLiteral("BitBtnXP1"));
    BitBtnXP1->setGeometry(8, 8, 161, 25);
    BitBtnXP1->setDefault(true);
    BitBtnXP2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                QStringLiteral("Abbrechen"), Panel2);
    BitBtnXP2->setObjectName(QStringLiteral("BitBtnXP2"));
    BitBtnXP2->setGeometry(176, 8, 129, 25);
    BitBtnXP2->setAutoDefault(false);
    connect(BitBtnXP1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtnXP2, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1, 1);
    layout->addWidget(Panel2);

    ShellLink1 = new ShellLink(ShellTree1, ShellList1, this);
    ShellLink1->setObjectName(QStringLiteral("ShellLink1"));
    describeControls(*this);
}
