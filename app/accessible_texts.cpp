// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/accessible_texts.h"

#include "app/AddPagesFUnit.h"
#include "app/FilenameEdit.h"
#include "app/wMain.h"

#include <QToolButton>

namespace {

struct ControlText {
    const char* control; // object name
    QString name;        // empty: the control's own text
    QString description;
};

void describe(QWidget& form, std::initializer_list<ControlText> texts) {
    for (const ControlText& text : texts) {
        auto* control = form.findChild<QWidget*>(QString::fromLatin1(text.control));
        Q_ASSERT(control);
        if (!control)
            continue;
        if (!text.name.isEmpty())
            control->setAccessibleName(text.name);
        control->setAccessibleDescription(text.description);
    }
}

} // namespace

void describeControls(TMainForm& form) {
    describe(
        form,
        {
            {"lstProgress", QStringLiteral("Protokoll"),
             QStringLiteral("Die Meldungen der Umwandlung, die neueste zuletzt.")},
            {"ListView1", QStringLiteral("Quelldateien"),
             QStringLiteral("Die Videodateien, deren Ton in dieser Reihenfolge in die Zieldatei "
                            "kommt. Strg und Pfeiltasten verschieben die ausgewählten.")},
            {"AddBtn", QStringLiteral("Hinzufügen"),
             QStringLiteral("Öffnet die Auswahl der Videodateien, die an die Liste angehängt "
                            "werden.")},
            {"DeleteBtn", QStringLiteral("Löschen"),
             QStringLiteral("Entfernt die ausgewählten Quelldateien aus der Liste. Taste "
                            "Escape.")},
            {"FilenameEdit1", QStringLiteral("Zieldatei"),
             QStringLiteral("Name der Datei, in die der Ton geschrieben wird: Endung .wav für "
                            "eine WAV-Datei, sonst MP3. Namen mit Leerzeichen stehen in "
                            "doppelten Anführungszeichen.")},
            {"ZielBtn", QStringLiteral("Zieldatei wählen"),
             QStringLiteral("Wählt die Zieldatei in einem Dateidialog.")},
            {"mp3format", QStringLiteral("Samplefrequenz in Hertz"),
             QStringLiteral("Die Abtastrate der MP3-Datei.")},
            {"BitRate", QStringLiteral("Bitrate in kBit pro Sekunde"),
             QStringLiteral("Die Bitrate der MP3-Datei.")},
            {"btnStart", QStringLiteral("Umwandeln"),
             QStringLiteral("Beginnt die Umwandlung aller Quelldateien in die Zieldatei.")},
            {"btnStop", QStringLiteral("Abbrechen"),
             QStringLiteral("Hält die laufende Umwandlung an. Die Zieldatei bleibt vollständig "
                            "und abspielbar.")},
            {"InternCheck", QStringLiteral("Benutze internen Decoder anstatt DirectShow"),
             QStringLiteral("Wählt den MPEG-Audiodecoder für die Quelldateien, die danach "
                            "geöffnet werden.")},
            {"LoudnessCheck", QStringLiteral("Lautstärke angleichen"),
             QStringLiteral("Bringt jede Quelldatei auf dieselbe Lautheit (-18 LUFS nach "
                            "EBU R 128), ohne den Klang zu verändern.")},
            {"ChaptersCheck", QStringLiteral("Kapitelmarken"),
             QStringLiteral("Setzt am Beginn jeder Quelldatei eine Kapitelmarke mit ihrem "
                            "Namen.")},
            {"progressBar", QStringLiteral("Fortschritt"),
             QStringLiteral("Wie weit die Umwandlung ist.")},
            // A label's name is its text: the reader says what the band says.
            {"progressText", QString(),
             QStringLiteral("Was die Umwandlung gerade tut, wie sie endete, oder warum sie "
                            "nicht begann.")},
        });
    // The browse button at the edit's end belongs to the edit.
    for (auto* browse : form.FilenameEdit1->findChildren<QToolButton*>()) {
        browse->setAccessibleName(QStringLiteral("Durchsuchen"));
        browse->setAccessibleDescription(
            QStringLiteral("Wählt die Zieldatei in einem Dateidialog, der im Ordner des "
                           "eingegebenen Namens beginnt."));
    }
}

void describeControls(TAddPagesForm& form) {
    describe(form, {
                       {"ShellTree1", QStringLiteral("Ordner"),
                        QStringLiteral("Der Ordner, dessen Videodateien rechts stehen.")},
                       {"ShellList1", QStringLiteral("Videodateien"),
                        QStringLiteral("Die Videodateien und Unterordner des gewählten Ordners. "
                                       "Mehrere lassen sich auswählen.")},
                       {"BitBtnXP1", QStringLiteral("Dateien hinzufügen"),
                        QStringLiteral("Hängt die ausgewählten Videodateien an die Liste an.")},
                       {"BitBtnXP2", QStringLiteral("Abbrechen"),
                        QStringLiteral("Schließt den Dialog, ohne etwas hinzuzufügen.")},
                   });
}
