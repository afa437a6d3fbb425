// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "cli/cli_options.h"

#include "pipeline/mp3_choices.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

template <std::size_t N> bool offered(const std::array<int, N>& choices, const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    // Exactly as the window's list shows it: no sign, no leading zeros, no blanks.
    return ok && QString::number(value) == text &&
           std::find(choices.begin(), choices.end(), value) != choices.end();
}

// A target loudness such as "-23" or "-23.5" (also "-23,5"), within the range offered.
bool loudnessTarget(QString text, double& target) {
    text.replace(u',', u'.');
    bool ok = false;
    const double value = text.toDouble(&ok);
    // Plain decimals only: no exponent, no "inf", no blanks.
    static const QRegularExpression plain(QStringLiteral("^[-+]?[0-9]+(\\.[0-9]+)?$"));
    if (!ok || !plain.match(text).hasMatch() || value < kLowestLoudnessTarget ||
        value > kHighestLoudnessTarget)
        return false;
    target = value;
    return true;
}

CliParseResult usageError(const QString& error) {
    CliParseResult result;
    result.kind = CliParseResult::UsageError;
    result.error = error;
    return result;
}

} // namespace

CliParseResult parseCliArguments(const QStringList& arguments) {
    CliParseResult result;
    CliOptions& options = result.options;
    bool destinationGiven = false;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(u'-') || argument == u"-") {
            options.sources << argument;
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }
        if (argument == u"--help" || argument == u"-h") {
            result.kind = CliParseResult::Help;
            return result;
        }
        if (argument == u"--version") {
            result.kind = CliParseResult::Version;
            return result;
        }
        if (argument == u"--directshow") {
            options.internalDecoder = false;
            continue;
        }
        if (argument == u"--chapters") {
            options.chapters = true;
            continue;
        }
        if (argument == u"--quiet" || argument == u"-q") {
            options.quiet = true;
            continue;
        }
        // Its value only after "=", so that a source can follow the bare option.
        if (argument == u"--loudness" || argument.startsWith(u"--loudness=")) {
            options.loudness = true;
            if (argument.size() > 10 && !loudnessTarget(argument.mid(11), options.loudnessTarget))
                return usageError(QStringLiteral("Ungültige Ziellautstärke: %1 (erlaubt sind %2 "
                                                 "bis %3 LUFS)")
                                      .arg(argument.mid(11))
                                      .arg(kLowestLoudnessTarget)
                                      .arg(kHighestLoudnessTarget));
            continue;
        }
        QString name = argument;
        QString value;
        bool hasValue = false;
        if (const qsizetype equals = argument.indexOf(u'=');
            argument.startsWith(u"--") && equals > 0) {
            name = argument.left(equals);
            value = argument.mid(equals + 1);
            hasValue = true;
        }
        if (name != u"--rate" && name != u"--bitrate" && name != u"--threads" && name != u"-o")
            return usageError(QStringLiteral("Unbekannte Option: %1").arg(argument));
        if (!hasValue) {
            if (i + 1 >= arguments.size())
                return usageError(QStringLiteral("Option %1 braucht einen Wert.").arg(name));
            value = arguments[++i];
        }
        if (name == u"--rate") {
            if (!offered(kMp3SampleRates, value))
                return usageError(QStringLiteral("Ungültige Samplefrequenz: %1").arg(value));
            options.sampleRate = value.toInt();
        } else if (name == u"--threads") {
            bool ok = false;
            const int threads = value.toInt(&ok);
            if (!ok || QString::number(threads) != value || threads < 1 || threads > 64)
                return usageError(QStringLiteral("Ungültige Anzahl Threads: %1").arg(value));
            options.threads = static_cast<unsigned>(threads);
        } else if (name == u"--bitrate") {
            if (!offered(kMp3BitRates, value))
                return usageError(QStringLiteral("Ungültige Bitrate: %1").arg(value));
            options.bitRate = value.toInt();
        } else {
            if (value.isEmpty())
                return usageError(QStringLiteral("Der Zieldateiname ist leer."));
            options.destination = value;
            destinationGiven = true;
        }
    }
    if (!destinationGiven)
        return usageError(QStringLiteral("Keine Zieldatei angegeben (-o ZIEL)."));
    if (options.sources.isEmpty())
        return usageError(QStringLiteral("Keine Quelldatei angegeben."));
    result.kind = CliParseResult::Run;
    return result;
}

QString cliVersionText() {
    return QStringLiteral("tavimo-cli %1\n").arg(QStringLiteral(TAVIMO_VERSION));
}

QString cliUsageText() {
    QStringList rates;
    for (const int rate : kMp3SampleRates)
        rates << QString::number(rate);
    QStringList bitRates;
    for (const int rate : kMp3BitRates)
        bitRates << QString::number(rate);
    return QStringLiteral(
               "Aufruf: tavimo-cli [--rate HZ] [--bitrate KBPS] [--threads N] [--directshow] "
               "[--loudness[=LUFS]] [--chapters] [--quiet] -o ZIEL QUELLE...\n"
               "Schreibt die Tonspur der Quelldateien, in ihrer Reihenfolge, in die eine "
               "Zieldatei:\n"
               "eine WAV-Datei, wenn ZIEL auf .wav endet, sonst eine MP3-Datei.\n"
               "  -o ZIEL          die Zieldatei\n"
               "  --rate HZ        Samplefrequenz der MP3-Datei in Hz (Vorgabe %2):\n"
               "                   %1\n"
               "  --bitrate KBPS   Bitrate der MP3-Datei in kBit/Sekunde (Vorgabe %4):\n"
               "                   %3\n"
               "  --threads N      Anzahl der Threads für die MP3-Kodierung, 1 bis 64\n"
               "                   (Vorgabe: %5, die Kerne dieses Rechners)\n"
               "  --directshow     MPEG nicht mit dem internen Decoder dekodieren\n"
               "  --loudness[=LUFS]\n"
               "                   jede Quelldatei auf dieselbe Lautstärke bringen (EBU R 128):\n"
               "                   Ziel %6 bis %7 LUFS (Vorgabe %8), der Spitzenpegel bleibt\n"
               "                   höchstens -1 dBTP; eine WAV-Zieldatei muss dann eine\n"
               "                   gewöhnliche Datei sein (keine Pipe, kein Gerät)\n"
               "  --chapters       eine Kapitelmarke je Quelldatei, mit ihrem Namen: "
               "ID3v2-Kapitel\n"
               "                   (CHAP, CTOC) in der MP3-Datei, Cue-Marken in der "
               "WAV-Datei; nur in\n"
               "                   eine gewöhnliche Datei, nicht in eine Pipe oder ein "
               "Gerät\n"
               "  --quiet, -q      keine Protokollzeilen auf der Standardausgabe\n"
               "  --version        Name und Version zeigen\n"
               "  --help, -h       diese Hilfe zeigen\n"
               "Ist die Standardfehlerausgabe ein Terminal, zeigt dort eine Zeile den "
               "Fortschritt.\n"
               "Strg+C, SIGTERM oder SIGHUP hält die Umwandlung an wie der Knopf \"Abbrechen\"; "
               "die Zieldatei\n"
               "bleibt vollständig. Ein zweites Strg+C bricht sofort ab; eine vorhandene "
               "Zieldatei bleibt dann,\n"
               "wie sie war.\n"
               "Rückgabewerte:\n"
               "  0    fertig, jede Quelldatei ganz umgewandelt\n"
               "  3    fertig, aber mindestens eine Quelldatei konnte nicht (ganz) gelesen "
               "werden;\n"
               "       die Standardfehlerausgabe nennt jede mit dem Grund\n"
               "  1    fehlgeschlagen (auch: keine Quelldatei lesbar); eine vorhandene Zieldatei "
               "bleibt,\n"
               "       wie sie war\n"
               "  2    falscher Aufruf\n"
               "  130  angehalten mit Strg+C (SIGINT), 143 mit SIGTERM, 129 mit SIGHUP; die "
               "Zieldatei ist\n"
               "       bis dahin vollständig\n")
        .arg(rates.join(QStringLiteral(", ")))
        .arg(kDefaultSampleRate)
        .arg(bitRates.join(QStringLiteral(", ")))
        .arg(kDefaultBitRate)
        .arg(availableCores())
        .arg(kLowestLoudnessTarget)
        .arg(kHighestLoudnessTarget)
        .arg(kDefaultLoudnessTarget);
}
