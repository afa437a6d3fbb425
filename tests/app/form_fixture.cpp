#include "form_fixture.h"

#include "app/FilenameEdit.h"
#include "app/error_box.h"

#include <QListWidget>
#include <QTreeWidget>

void FormTest::SetUp() {
    setErrorBox([this](QWidget*, const QString& caption, const QString& text) {
        boxes.push_back({caption, text});
    });
    form = std::make_unique<TMainForm>(ConversionLibraries{mcl, lame}, acm);
    auto scripted = std::make_unique<ScriptedSaveDialog>();
    dialog = scripted.get();
    form->FilenameEdit1->setDialog(std::move(scripted));
}

void FormTest::TearDown() {
    form.reset();
    setErrorBox(nullptr);
}

QStringList FormTest::logLines() const {
    QStringList lines;
    for (int i = 0; i < form->lstProgress->count(); ++i)
        lines << form->lstProgress->item(i)->text();
    return lines;
}

QStringList FormTest::sourceEntries() const {
    QStringList entries;
    for (int i = 0; i < form->ListView1->topLevelItemCount(); ++i)
        entries << form->ListView1->topLevelItem(i)->text(0);
    return entries;
}

void FormTest::addSourceEntries(const QStringList& paths) {
    for (const QString& path : paths)
        form->ListView1->addTopLevelItem(new QTreeWidgetItem(QStringList{path}));
}
