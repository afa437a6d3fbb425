#include "form_fixture.h"

#include "acm/ACMConvertor.h"
#include "app/FilenameEdit.h"
#include "common/cp1252.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

using MainForm = FormTest;

TEST_F(MainForm, StartsWithItsDefaults) {
    EXPECT_EQ(form->windowTitle(), "Quorrel Tavimo 1.0");
    EXPECT_EQ(form->mp3format->currentIndex(), 1);
    EXPECT_EQ(form->mp3format->currentText(), "44100");
    EXPECT_EQ(form->mp3format->count(), 7);
    EXPECT_EQ(form->BitRate->currentIndex(), 11);
    EXPECT_EQ(form->BitRate->currentText(), "128");
    EXPECT_EQ(form->BitRate->count(), 14);
    EXPECT_FALSE(form->mp3format->isEditable());
    EXPECT_FALSE(form->BitRate->isEditable());
    EXPECT_TRUE(form->InternCheck->isChecked());
    EXPECT_TRUE(form->btnStart->isEnabled());
    EXPECT_TRUE(form->btnStop->isEnabled());
    EXPECT_FALSE(form->StopRequested);
    EXPECT_EQ(form->ListView1->topLevelItemCount(), 0);
    EXPECT_TRUE(form->FilenameEdit1->text().isEmpty());
    EXPECT_EQ(form->lstProgress->count(), 0);
    EXPECT_EQ(form->wavtowav().objectName(), "wavtowav");
    EXPECT_EQ(form->wavtowav().parent(), form.get());
}

TEST_F(MainForm, IsAFixedWindowWithoutMinimiseOrMaximiseBox) {
    EXPECT_EQ(form->size(), QSize(712, 516));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_EQ(form->font().family(), "MS Sans Serif");
    EXPECT_EQ(form->font().pixelSize(), 11);
}

TEST_F(MainForm, PlacesEveryControlWithItsText) {
    const struct {
        const char* name;
        QRect geometry;
        QString text; // empty: no text to compare
    } controls[] = {
        {"Label1", {8, 8, 62, 13}, "Quelldateien:"},
        {"ListView1", {8, 24, 689, 105}, ""},
        {"AddBtn", {8, 136, 105, 25}, "Hinzufügen..."},
        {"DeleteBtn", {120, 136, 75, 25}, "Löschen"},
        {"Label2", {8, 168, 43, 13}, "Zieldatei:"},
        {"FilenameEdit1", {8, 184, 689, 21}, ""},
        {"ZielBtn", {552, 208, 139, 25}, "Zieldatei wählen..."},
        {"Label6", {8, 211, 79, 13}, "Samplefrequenz:"},
        {"mp3format", {96, 211, 97, 21}, ""},
        {"Label5", {200, 216, 19, 13}, "kHz"},
        {"BitRate", {96, 235, 97, 21}, ""},
        {"Label7", {8, 240, 33, 13}, "Bitrate:"},
        {"Label8", {200, 240, 66, 13}, "kBit/Sekunde"},
        {"btnStart", {8, 264, 105, 25}, "Umwandeln..."},
        {"btnStop", {120, 264, 105, 25}, "Abbrechen"},
        {"InternCheck", {239, 272, 249, 17}, "Benutze internen Decoder anstatt DirectShow"},
        {"lstProgress", {8, 296, 681, 161}, ""},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        auto* widget = form->findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), form.get());
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            // A label grows to its text where the stand-in font is wider than the original.
            EXPECT_EQ(label->text(), c.text);
            EXPECT_EQ(label->pos(), c.geometry.topLeft());
            EXPECT_EQ(label->height(), c.geometry.height());
            EXPECT_GE(label->width(), c.geometry.width());
            EXPECT_GE(label->width(), label->sizeHint().width());
            continue;
        }
        EXPECT_EQ(widget->geometry(), c.geometry);
        if (c.text.isEmpty())
            continue;
        auto* button = qobject_cast<QAbstractButton*>(widget);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), c.text);
    }
}

TEST_F(MainForm, ListsSourcesInOneColumnWithSeveralSelectable) {
    EXPECT_EQ(form->ListView1->columnCount(), 1);
    EXPECT_EQ(form->ListView1->headerItem()->text(0), "Quelldateien");
    EXPECT_EQ(form->ListView1->header()->sectionSize(0), 600);
    EXPECT_EQ(form->ListView1->selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST_F(MainForm, ImageButtonsHaveImagesAndNoneIsADefaultButton) {
    for (QPushButton* button :
         {form->AddBtn, form->DeleteBtn, form->ZielBtn, form->btnStart, form->btnStop}) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_FALSE(button->autoDefault());
        EXPECT_FALSE(button->isDefault());
    }
}

TEST_F(MainForm, TabsThroughTheControlsInTheirOrder) {
    QStringList order;
    QWidget* widget = form->lstProgress;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(form.get()) &&
            widget->parentWidget() == form.get())
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != form->lstProgress && order.size() < 50);
    EXPECT_EQ(order, QStringList({"lstProgress", "ListView1", "AddBtn", "DeleteBtn",
                                  "FilenameEdit1", "btnStart", "btnStop", "mp3format", "BitRate",
                                  "ZielBtn", "InternCheck"}));
}

TEST_F(MainForm, HandsTheCodecLibraryItsTwentyTextsInOrderWhenCreated) {
    // Everything recorded so far comes from creating the window.
    ASSERT_EQ(mcl.calls.size(), 20u);
    const auto call = [](const QString& text, const QString& replacement) {
        return "MclTranslate(" + toCp1252(text).toStdString() + "," +
               toCp1252(replacement).toStdString() + ")";
    };
    EXPECT_EQ(mcl.calls[0], call("h", "h"));
    EXPECT_EQ(mcl.calls[1], call("min", "Min"));
    EXPECT_EQ(mcl.calls[2], call("sec", "Sek."));
    EXPECT_EQ(mcl.calls[3], call("Die Datei \"%s\" existiert nicht!", ""));
    EXPECT_EQ(mcl.calls[5], "MclTranslate(Liste l\xF6schen,)");
    EXPECT_EQ(mcl.calls[8], "MclTranslate(Close,Schlie\xDF"
                            "en)");
    EXPECT_EQ(mcl.calls[9],
              call("File already exists. Do you want to overwrite it?#nPress YES to overwrite, "
                   "NO to append or CANCEL to abort saving.",
                   "Die Datei existiert bereits! Wollen Sie die Datei überschreiben?"));
    EXPECT_EQ(mcl.calls[14], call("Invalid output file name or format",
                                  "Üngültiger Zieldateiname oder Zieldateiformat"));
    // One byte for Ü: Windows-1252, not UTF-8.
    EXPECT_EQ(mcl.calls[14], std::string("MclTranslate(Invalid output file name or format,\xDC"
                                         "ng\xFCltiger Zieldateiname oder Zieldateiformat)"));
    EXPECT_EQ(mcl.calls[19], call("Unknown error", "Unbekannter Fehler"));
    for (const std::string& recorded : mcl.calls)
        EXPECT_EQ(recorded.rfind("MclTranslate(", 0), 0u) << recorded;
}

TEST_F(MainForm, AddProgressLineAppendsWithoutTrimming) {
    for (int i = 1; i <= 12; ++i)
        form->AddProgressLine(QString::number(i));
    EXPECT_EQ(form->lstProgress->count(), 12);
    EXPECT_EQ(logLines().last(), "12");
    EXPECT_EQ(form->lstProgress->selectedItems().size(), 0);
}

TEST_F(MainForm, TrimProgressLogKeepsTheTenNewestLines) {
    const struct {
        int lines;
        int kept;
    } cases[] = {{15, 10}, {11, 10}, {10, 10}, {3, 3}, {0, 0}};
    for (const auto& c : cases) {
        form->lstProgress->clear();
        for (int i = 1; i <= c.lines; ++i)
            form->AddProgressLine(QString::number(i));
        form->TrimProgressLog();
        QStringList expected;
        for (int i = c.lines - c.kept + 1; i <= c.lines; ++i)
            expected << QString::number(i);
        EXPECT_EQ(logLines(), expected) << c.lines << " lines";
    }
}

TEST_F(MainForm, StartWithoutDestinationAsksForOneEachTime) {
    const QStringList ask{"Sie müssen einen Zieldateinamen auswählen!",
                          "Klicken Sie auf den kleinen Button neben dem",
                          "Eingabefeld für die Zieldatei."};
    for (const QString& destination : {QString(), QStringLiteral("   \t ")}) {
        form->lstProgress->clear();
        form->FilenameEdit1->setText(destination);
        form->btnStart->click();
        EXPECT_EQ(logLines(), ask);
        form->btnStart->click();
        EXPECT_EQ(logLines(), ask + ask); // six lines: no trimming
    }
    for (int i = 0; i < 4; ++i)
        form->btnStart->click();
    EXPECT_EQ(form->lstProgress->count(), 18);
    EXPECT_EQ(mcl.calls.size(), 20u) << "no conversion may start";
}

TEST_F(MainForm, StopWhileIdleOnlySetsTheRequest) {
    form->btnStop->click();
    EXPECT_TRUE(form->StopRequested);
    EXPECT_EQ(mcl.callsStartingWith("MclAbort"), std::vector<std::string>{"MclAbort(0)"});
    EXPECT_TRUE(form->btnStart->isEnabled());
    EXPECT_TRUE(form->btnStop->isEnabled());
    EXPECT_EQ(form->lstProgress->count(), 0);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainForm, BusyButtonsDisableStartAndEnableStop) {
    form->setButtonsBusy(true);
    EXPECT_FALSE(form->btnStart->isEnabled());
    EXPECT_TRUE(form->btnStop->isEnabled());
    form->setButtonsBusy(false);
    EXPECT_TRUE(form->btnStart->isEnabled());
    EXPECT_FALSE(form->btnStop->isEnabled());
}

TEST_F(MainForm, GivesTheConversionACopyOfItsSettings) {
    addSourceEntries({"/v/a.avi", "/v/b c.mpg"});
    form->FilenameEdit1->setText("\"/out/my song.wav\"");
    form->mp3format->setCurrentIndex(0);
    form->BitRate->setCurrentIndex(13);
    form->InternCheck->setChecked(false);
    const ConversionSettings settings = form->conversionSettings();
    EXPECT_EQ(settings.destination, "/out/my song.wav");
    EXPECT_EQ(settings.sources, QStringList({"/v/a.avi", "/v/b c.mpg"}));
    EXPECT_EQ(settings.sampleRateText, "48000");
    EXPECT_EQ(settings.bitRateText, "160");
    EXPECT_FALSE(settings.internalDecoder);
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

TEST_F(MainForm, ShowsTheWavBoxWithoutACaptionOfItsOwn) {
    form->showErrorMessage("Keine gültige WAV-Datei!!!!");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].caption.isEmpty());
    EXPECT_EQ(boxes[0].text, "Keine gültige WAV-Datei!!!!");
}

} // namespace
