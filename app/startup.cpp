// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/startup.h"

#include "app/wMain.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kNoDisplay[] =
    "Tavimo braucht eine grafische Oberfläche, aber es ist keine erreichbar (DISPLAY oder "
    "WAYLAND_DISPLAY).\nOhne Fenster wandelt tavimo-cli um, siehe tavimo-cli --help.\n";

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> held;
QtMessageHandler qtHandler = nullptr;

[[noreturn]] void endWithoutDisplay() {
    std::fputs(kNoDisplay, stderr);
    std::fflush(stderr);
    ::_exit(2);
}

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    // Qt gives up on the display with a fatal message, then aborts.
    if (type == QtFatalMsg)
        endWithoutDisplay();
    held.push_back({type, context.category ? context.category : "default", text});
}

} // namespace

void requireDisplay(int argc, char** argv) {
    bool named = !qEnvironmentVariableIsEmpty("DISPLAY") ||
                 !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                 !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    for (int i = 1; i < argc && !named; ++i)
        named = std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0;
    if (!named)
        endWithoutDisplay();
    qtHandler = qInstallMessageHandler(holdMessage);
}

void displayReached() {
    qInstallMessageHandler(qtHandler);
    for (const HeldMessage& message : held) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
    held.clear();
}

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : {48, 256})
        icon.addFile(QStringLiteral(":/icons/tavimo-%1.png").arg(size), QSize(size, size));
    return icon;
}

void appendStartupSources(TMainForm& form, const QStringList& arguments, const QDir& base) {
    QStringList paths;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].isEmpty())
            paths << QDir::cleanPath(base.absoluteFilePath(arguments[i]));
    }
    form.appendSources(paths);
}
