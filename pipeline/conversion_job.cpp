// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/conversion_job.h"

#include "common/duration_text.h"
#include "common/exception.h"
#include "common/file_names.h"
#include "pipeline/destination_file.h"
#include "pipeline/run_files.h"
#include "platform/mcl/source_interrupt.h"

#include <algorithm>
#include <numeric>

#include <sys/stat.h>

bool isWavDestination(const QString& destination) {
    const qsizetype dot = destination.lastIndexOf(u'.');
    const qsizetype boundary =
        std::max({destination.lastIndexOf(u'/'), destination.lastIndexOf(u'\\'),
                  destination.lastIndexOf(u':')});
    if (dot < 0 || dot < boundary)
        return false;
    // Only ASCII letters are folded, so no locale can make another extension equal ".WAV".
    QString extension = destination.mid(dot);
    for (QChar& c : extension) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return extension == QLatin1String(".WAV");
}

bool destinationIsSource(const QString& destination, const QStringList& sources) {
    // One file has one device and inode, whatever path, link or hard link names it.
    struct stat target {};
    if (::stat(encodeFileName(destination).constData(), &target) != 0)
        return false;
    for (const QString& source : sources) {
        struct stat other {};
        if (::stat(encodeFileName(source).constData(), &other) == 0 &&
            other.st_dev == target.st_dev && other.st_ino == target.st_ino)
            return true;
    }
    return false;
}

ConversionJob::ConversionJob(ConversionHost& conversionHost, ConversionLibraries libraries)
    : wavtowav(libraries.acm), host(conversionHost), libs(libraries) {
    wavtowav.setObjectName(QStringLiteral("wavtowav"));
    loadWavToWavDescription(wavtowav);
}

ConversionJob::~ConversionJob() = default;

void ConversionJob::RunConversion() {
    // Handlers run nested inside the job while it pumps messages; a second start must not
    // begin a conversion inside the running one.
    if (active)
        return;
    active = true;
    StopRequested = false;
    mp3Road = false;
    decodingWhole = false;
    // A source left waiting by the last run's stop must not make this run's sources give up.
    clearSourceInterrupt();
    result = ConversionOutcome{};
    lengths.clear();
    lengthsKnown = false;
    // A copy taken now: the list may change while the job pumps messages.
    const ConversionSettings settings = host.conversionSettings();
    result.sourceCount = static_cast<int>(settings.sources.size());
    host.runStateChanged(true);
    struct Idle {
        ConversionJob& job;
        ~Idle() {
            job.active = false;
            job.host.runStateChanged(false);
        }
    } idle{*this};
    // A signal that ends the process during the run takes the run's files with it.
    const RunSignalGuard signalGuard;

    try {
        convert(settings);
    } catch (const std::exception& error) {
        result.kind = ConversionOutcome::Kind::Failed;
        result.reason = QString::fromUtf8(error.what());
        throw;
    }
}

void ConversionJob::CancelConversion() {
    libs.mcl.MclAbort(0);
}

void ConversionJob::requestStop() {
    StopRequested = true;
    // A source the MP3 road decodes goes into the destination whole, as the one it encodes does:
    // the library must not cut it short.
    if (!decodingWhole)
        CancelConversion();
    if (active)
        host.stopAccepted(mp3Road);
}

void ConversionJob::convert(const ConversionSettings& settings) {
    const auto refuse = [this](const QString& why) {
        host.AddProgressLine(why);
        result.kind = ConversionOutcome::Kind::Refused;
        result.reason = why;
    };
    if (destinationIsSource(settings.destination, settings.sources))
        return refuse(QStringLiteral("Die Zieldatei ist zugleich eine Quelldatei - "
                                     "bitte wählen Sie eine andere Zieldatei."));
    DestinationFile destination(settings.destination);
    if (const QString why = destination.refusal(); !why.isEmpty())
        return refuse(why);
    // The WAV road gives each source its gain in the file it has written, which a pipe or a
    // device cannot give back.
    if (settings.loudness && isWavDestination(settings.destination) && destination.writesDirectly())
        return refuse(QStringLiteral("Die Lautstärke lässt sich nur in einer gewöhnlichen "
                                     "WAV-Datei angleichen, nicht in einer Pipe oder einem "
                                     "Gerät - bitte wählen Sie eine andere Zieldatei."));
    // Chapters are written where the sound is already in the file, which a pipe has sent on.
    if (settings.chapters && destination.writesDirectly())
        return refuse(QStringLiteral("Kapitelmarken lassen sich nur in eine gewöhnliche Datei "
                                     "schreiben, nicht in eine Pipe oder ein Gerät - bitte wählen "
                                     "Sie eine andere Zieldatei oder verzichten Sie auf die "
                                     "Kapitelmarken."));

    libs.mcl.MclMpegInternalDecoder(settings.internalDecoder ? -1 : 0);
    mp3Road = !isWavDestination(settings.destination);
    if (!mp3Road)
        convertToWav(settings, destination);
    else
        convertToMp3(settings, destination);
}

void ConversionJob::estimateLengths(const QStringList& sources) {
    lengths.clear();
    current = 0;
    doneBefore = 0;
    std::vector<double> known;
    for (const QString& source : sources) {
        lengths.push_back(libs.mcl.MclSourceSeconds(encodeFileName(source).constData()));
        if (lengths.back() >= 0)
            known.push_back(lengths.back());
    }
    // A source whose container tells nothing is guessed as long as the others on average; when
    // none tells anything, there is no total to show.
    lengthsKnown = !known.empty();
    const double guess =
        known.empty() ? 0 : std::accumulate(known.begin(), known.end(), 0.0) / known.size();
    for (double& length : lengths) {
        if (length < 0)
            length = guess;
    }
}

void ConversionJob::pump(double currentSeconds, double decodedSeconds) {
    ConversionProgress progress;
    progress.source = current;
    progress.sourceCount = static_cast<int>(lengths.size());
    progress.doneSeconds = doneBefore + currentSeconds;
    double total = doneBefore;
    for (std::size_t i = static_cast<std::size_t>(current); i < lengths.size(); ++i)
        total += static_cast<int>(i) == current ? std::max(lengths[i], currentSeconds) : lengths[i];
    progress.totalSeconds = lengthsKnown ? total : 0;
    if (decodedSeconds >= 0) {
        progress.decoding = true;
        progress.decodedSeconds = decodedSeconds;
        const double length = lengths[static_cast<std::size_t>(current)];
        progress.sourceSeconds = lengthsKnown ? std::max(length, decodedSeconds) : 0;
    }
    host.progressChanged(progress);
    host.processEvents();
    checkAbort();
}

void ConversionJob::checkAbort() {
    if (const QString reason = host.abortReason(); !reason.isEmpty())
        throw Exception(reason.toStdString());
}

void ConversionJob::noteSource(int index, const QString& path, const SourceOpen& open,
                               const SourceRead& read, double seconds) {
    lengths[static_cast<std::size_t>(index)] = seconds;
    doneBefore += seconds;
    result.seconds += seconds;
    // What counts is sound the library delivered and that went into the destination: a source
    // that delivers none, such as an audio track without a single packet, was not read.
    const bool anything = seconds > 0 && (read.position > 0 || read.seconds > 0);
    // A source cut off by the user's stop is what the user asked for, not a problem.
    if (open.error == MclError::Aborted || read.readError == MclError::Aborted) {
        result.sourcesConverted += anything ? 1 : 0;
        return;
    }
    SourceProblem problem{index, path, {}, false};
    if (open.error != MclError::Ok) {
        problem.reason = open.text;
    } else if (read.readResult < 0 && read.readError == MclError::ReadFailed) {
        problem.cutShort = anything;
        problem.reason = anything ? QStringLiteral("Fehler beim Lesen der Quelldatei - nur die "
                                                   "ersten %1 wurden umgewandelt")
                                        .arg(durationText(seconds))
                                  : QStringLiteral("Fehler beim Lesen der Quelldatei");
    } else if (!anything) {
        problem.reason = QStringLiteral("Die Quelldatei enthält keinen Ton");
    } else {
        ++result.sourcesConverted;
        return;
    }
    result.sourcesConverted += problem.cutShort ? 1 : 0;
    result.problems.push_back(problem);
}

void ConversionJob::noteLostBlocks(int index, const QString& path, std::uint32_t blocks) {
    const QString reason =
        blocks == 1
            ? QStringLiteral("1 Block konnte nicht umgewandelt werden und fehlt")
            : QStringLiteral("%1 Blöcke konnten nicht umgewandelt werden und fehlen").arg(blocks);
    host.AddProgressLine(reason + QStringLiteral(" in der MP3-Datei."));
    auto problem = std::find_if(result.problems.begin(), result.problems.end(),
                                [index](const SourceProblem& p) { return p.index == index; });
    if (problem == result.problems.end())
        result.problems.push_back({index, path, reason, true});
    else
        problem->reason += QStringLiteral("; ") + reason;
}

void ConversionJob::noteSkipped(int index, const QString& path, const QString& reason) {
    lengths[static_cast<std::size_t>(index)] = 0;
    result.problems.push_back({index, path, reason, false});
}

bool ConversionJob::classify() {
    using Kind = ConversionOutcome::Kind;
    // Without a single source in it, the destination would only replace the user's file
    // with an empty one: it is not written.
    if (result.sourceCount > 0 && result.sourcesConverted == 0) {
        result.kind = StopRequested ? Kind::Stopped : Kind::Failed;
        result.reason = StopRequested
                            ? QStringLiteral("Angehalten, bevor eine Quelldatei umgewandelt war - "
                                             "die Zieldatei wurde nicht geschrieben.")
                            : QStringLiteral("Keine der Quelldateien konnte gelesen werden - die "
                                             "Zieldatei wurde nicht geschrieben.");
        host.AddProgressLine(result.reason);
        return false;
    }
    result.kind = StopRequested             ? Kind::Stopped
                  : result.problems.empty() ? Kind::Finished
                                            : Kind::FinishedWithProblems;
    return true;
}

void ConversionJob::commit(DestinationFile& destination) {
    if (const QString error = destination.commit(); !error.isEmpty()) {
        result.kind = ConversionOutcome::Kind::Failed;
        result.reason = QStringLiteral("Die Zieldatei konnte nicht ersetzt werden: ") + error;
        host.AddProgressLine(result.reason);
    }
}

void ConversionJob::fail(const QString& reason) {
    result.kind = ConversionOutcome::Kind::Failed;
    result.reason = reason;
}
