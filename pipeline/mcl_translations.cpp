// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/mcl_translations.h"

#include "common/cp1252.h"
#include "platform/mcl/mcl_library.h"

#include <QString>

const std::array<MclTranslation, 20> kMclTranslations{{
    {"h", "h"},
    {"min", "Min"},
    {"sec", "Sek."},
    {"Die Datei \"%s\" existiert nicht!", ""},
    {"Datei Informationen", ""},
    {"Liste löschen", ""},
    {"Cancel", "Abbrechen"},
    {"Help", "Hilfe"},
    {"Close", "Schließen"},
    {"File already exists. Do you want to overwrite it?#nPress YES to overwrite, NO to append "
     "or CANCEL to abort saving.",
     "Die Datei existiert bereits! Wollen Sie die Datei überschreiben?"},
    {"OK", "OK"},
    {"Conversion aborted by user", "Konvertierung abgebrochen"},
    {"Invalid input file", "Ungültige Quelldatei"},
    {"Error reading input file", "Fehler beim Lesen der Quelldatei"},
    {"Invalid output file name or format", "Üngültiger Zieldateiname oder Zieldateiformat"},
    {"Error writing output file", "Fehler beim Schreiben der Zieldatei"},
    {"MCL output handle not created (use MclCreate)", "MCL Ausgabehandle nicht erstellt"},
    {"Image handle not created (use MclImgCreate)", "Bild Handle nicht erstellt"},
    {"Sound handle not allocated (use MclSndCreate)", "Sound Handle nicht erstellt"},
    {"Unknown error", "Unbekannter Fehler"},
}};

void applyMclTranslations(MclLibrary& mcl) {
    for (const MclTranslation& pair : kMclTranslations) {
        const QByteArray text = toCp1252(QString::fromUtf8(pair.text));
        const QByteArray replacement = toCp1252(QString::fromUtf8(pair.replacement));
        mcl.MclTranslate(text.constData(), replacement.constData());
    }
}
