#pragma once

#include "platform/lame/available_cores.h"

#include <QString>
#include <QStringList>

// What the command line asks for: the window's settings, given as options.
struct CliOptions {
    QString destination;
    QStringList sources;
    QString sampleRate = QStringLiteral("44100");
    QString bitRate = QStringLiteral("128");
    bool internalDecoder = true;
    unsigned threads = availableCores(); // MP3 encoder threads
};

struct CliParseResult {
    enum Kind { Run, Help, UsageError } kind = UsageError;
    CliOptions options;
    QString error; // German, for a usage error
};

// Reads the arguments that follow the program name.
CliParseResult parseCliArguments(const QStringList& arguments);

QString cliUsageText();
