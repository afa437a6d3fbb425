// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Tavimo: the sound track of video files into one MP3 or WAV file.
#include "app/AddPagesFUnit.h"
#include "app/application_setup.h"
#include "app/error_box.h"
#include "app/startup.h"
#include "app/wMain.h"
#include "common/available_cores.h"
#include "pipeline/conversion_job.h"
#include "platform/lame/mp3lame_library.h"
#include "platform/mcl/ffmpeg_mcl.h"
#include "platform/msacm/swr_acm.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv) {
    // Without a display there is no window: say so instead of Qt's abort.
    requireDisplay(argc, argv);
    QApplication app(argc, argv);
    displayReached();
    // The user interface is German whatever the system's language, Qt's own texts included.
    const ApplicationSetup setup;
    // The desktop file name lets the desktop match the window to its menu entry and icon.
    QApplication::setDesktopFileName(kDesktopFileName);
    QApplication::setWindowIcon(applicationIcon());

    // The libraries are bound for the whole run, before the window hands them its texts.
    FfmpegMcl mcl;
    Mp3LameLibrary lame(availableCores());
    SwrAcmLibrary acm;

    std::unique_ptr<TMainForm> mainForm;
    std::unique_ptr<TAddPagesForm> addPagesForm;
    try {
        mainForm = std::make_unique<TMainForm>(ConversionLibraries{mcl, lame, acm});
        MainForm = mainForm.get();
        // Over the main window, which it serves; it is deleted before it.
        addPagesForm = std::make_unique<TAddPagesForm>(MainForm);
        AddPagesForm = addPagesForm.get();
    } catch (const std::exception& error) {
        showHandlerError(nullptr, error);
        return 1;
    }
    // Files handed over by the file manager ("Open with") are only listed; nothing starts.
    appendStartupSources(*MainForm, QApplication::arguments());
    MainForm->show();
    const int status = QApplication::exec();
    AddPagesForm = nullptr;
    MainForm = nullptr;
    return status;
}
