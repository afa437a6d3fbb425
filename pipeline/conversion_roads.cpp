// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// The two roads of a conversion: the codec library writing the WAV destination itself, and
// temporary WAV files encoded into one MP3 stream.
#include "common/cp1252.h"
#include "common/error_text.h"
#include "common/exception.h"
#include "common/file_names.h"
#include "pipeline/conversion_job.h"
#include "pipeline/destination_file.h"
#include "pipeline/encoder_stream.h"
#include "pipeline/output_file.h"
#include "pipeline/sample_gain.h"
#include "pipeline/source_levelling.h"
#include "pipeline/temp_file.h"
#include "pipeline/wav_to_mp3.h"

#include <QFile>

#include <optional>
#include <utility>

namespace {

constexpr std::int32_t kReadBlock = 100000;

QByteArray fileName8(const QString& path) {
    return encodeFileName(path);
}

QString errorText(MclLibrary& mcl) {
    return fromCp1252(mcl.MclGetErrorStr());
}

// Releases what the codec library handed out for a run, also when an error leaves the run.
class RunHandles {
public:
    explicit RunHandles(MclLibrary& mcl) : lib(mcl) {}
    ~RunHandles() {
        if (input)
            lib.MclReadClose(input);
        if (writing)
            lib.MclWriteClose(output);
        if (sound)
            lib.MclSndFree(sound);
        if (output)
            lib.MclFree(output);
    }
    RunHandles(const RunHandles&) = delete;
    RunHandles& operator=(const RunHandles&) = delete;

    MclLibrary& lib;
    MclHandle output = 0;
    MclHandle sound = 0;
    MclHandle input = 0;
    bool writing = false;
};

[[noreturn]] void temporaryFileFailed(const QString& name) {
    throw EInOutError(QStringLiteral("Die temporäre Datei %1 konnte nicht geschrieben werden; "
                                     "vielleicht ist im Ordner für temporäre Dateien kein Platz "
                                     "mehr")
                          .arg(visibleName(name))
                          .toStdString());
}

} // namespace

ConversionJob::SourceOpen ConversionJob::openSource(const QString& path) {
    SourceOpen open;
    open.input = libs.mcl.MclReadOpen(fileName8(path).constData(), 0, 0, 0);
    open.error = libs.mcl.MclGetError();
    open.text = errorText(libs.mcl);
    host.AddProgressLine(QStringLiteral("Quelldatei öffnen ") + open.text);
    return open;
}

ConversionJob::SourceRead ConversionJob::copySource(MclHandle input, MclHandle output,
                                                    MclHandle sound, bool stopEndsSource) {
    SourceRead read;
    decodingWhole = !stopEndsSource;
    do {
        read.readResult = libs.mcl.MclReadSound(input, read.position, kReadBlock, sound);
        read.readError = libs.mcl.MclGetError();
        const double blockSeconds = libs.mcl.MclSndSeconds(sound);
        read.writeResult = libs.mcl.MclWriteSound(output, sound);
        if (read.writeResult == 0)
            read.seconds += blockSeconds;
        else
            read.writeErrorText = errorText(libs.mcl);
        if (read.readResult == 0)
            read.position += kReadBlock;
        host.TrimProgressLog();
        host.AddProgressLine(QString::number(read.position) +
                             QStringLiteral(" Samples gelesen..."));
        if (stopEndsSource)
            pump(read.seconds);
        else
            pump(0, read.seconds);
    } while (read.readResult == 0 && read.writeResult == 0 && !(stopEndsSource && StopRequested));
    decodingWhole = false;
    return read;
}

void ConversionJob::convertToWav(const ConversionSettings& settings, DestinationFile& destination) {
    RunHandles run(libs.mcl);
    // Without a file to write into, the library is still asked, so that its line says so.
    const bool prepared = destination.prepare();
    run.output = libs.mcl.MclCreate();
    libs.mcl.MclAudioSetFileHandle(run.output, prepared ? destination.descriptor() : -1);
    run.writing = true;
    const MclError created = libs.mcl.MclGetError();
    const QString createdText = errorText(libs.mcl);
    host.AddProgressLine(QStringLiteral("Ausgabedatei ") + createdText);
    if (created != MclError::Ok)
        return fail(QStringLiteral("Die Zieldatei konnte nicht angelegt werden: ") +
                    (prepared ? createdText : systemErrorText(destination.error())));
    estimateLengths(settings.sources);
    run.sound = libs.mcl.MclSndCreate();

    for (int i = 0; i < settings.sources.size(); ++i) {
        current = i;
        const SourceOpen open = openSource(settings.sources[i]);
        run.input = open.input;
        std::optional<SourceLevelling> levelling;
        if (settings.loudness)
            levelling.emplace(libs.mcl, run.output, destination.descriptor(), false);
        const std::int64_t start = settings.chapters ? libs.mcl.MclAudioPosition(run.output) : 0;
        const SourceRead read = copySource(run.input, run.output, run.sound, true);
        libs.mcl.MclReadClose(std::exchange(run.input, 0));
        if (levelling && read.writeResult == 0 &&
            !levelWrittenSource(i, settings.loudnessTarget, *levelling, destination.descriptor(),
                                read.seconds))
            return;
        noteSource(i, settings.sources[i], open, read, read.seconds);
        // A destination that cannot take more ends the run: nothing more is decoded for it.
        if (read.writeResult != 0) {
            host.AddProgressLine(QStringLiteral("Ausgabedatei ") + read.writeErrorText);
            return fail(QStringLiteral("Die Zieldatei konnte nicht geschrieben werden: ") +
                        read.writeErrorText);
        }
        if (settings.chapters)
            markWavChapter(run.output, start, settings.sources[i]);
        // A stop ends the destination here: the sources after it are not touched.
        if (StopRequested)
            break;
    }

    libs.mcl.MclSndFree(std::exchange(run.sound, 0));
    run.writing = false;
    if (libs.mcl.MclWriteClose(run.output) != 0) {
        const QString text = errorText(libs.mcl);
        host.AddProgressLine(QStringLiteral("Ausgabedatei ") + text);
        return fail(QStringLiteral("Die Zieldatei konnte nicht geschrieben werden: ") + text);
    }
    libs.mcl.MclFree(std::exchange(run.output, 0));
    if (!classify())
        return;
    commit(destination);
    if (result.kind == ConversionOutcome::Kind::Failed)
        return;
    host.AddProgressLine(QStringLiteral("Konvertierung beendet..."));
    host.TrimProgressLog();
}

void ConversionJob::convertToMp3(const ConversionSettings& settings, DestinationFile& destination) {
    OutputFile output;
    if (!destination.prepare() || !output.attach(destination.descriptor())) {
        host.AddProgressLine(QStringLiteral("Konnte MP3 Datei nicht erstellen..."));
        const int error = destination.error() ? destination.error() : output.creationError();
        return fail(QStringLiteral("Die Zieldatei konnte nicht angelegt werden: ") +
                    systemErrorText(error));
    }
    EncoderStream stream(libs.lame, output);
    if (!stream.InitEncoderStream(static_cast<std::uint32_t>(settings.sampleRate),
                                  static_cast<std::uint32_t>(settings.bitRate))) {
        host.AddProgressLine(QStringLiteral("Konnte LAME Encoder nicht initialisieren..."));
        if (stream.initLackedMemory())
            return fail(QStringLiteral("Nicht genug Arbeitsspeicher für den MP3-Encoder."));
        return fail(QStringLiteral("Der MP3-Encoder lässt sich mit %1 Hz und %2 kBit/Sekunde "
                                   "nicht starten.")
                        .arg(settings.sampleRate)
                        .arg(settings.bitRate));
    }
    if (settings.chapters)
        reserveChapterTag(settings.sources, output);

    // LAME quietly takes another bit rate where the chosen one does not exist at the chosen
    // rate; the first frame tells what the file really gets.
    stream.onFirstFrame = [this, &settings](const Mp3FrameHeader& frame) {
        if (frame.bitRate != settings.bitRate || frame.sampleRate != settings.sampleRate)
            host.AddProgressLine(QStringLiteral("Hinweis: %1 kBit/Sekunde bei %2 Hz sind nicht "
                                                "möglich - die MP3-Datei erhält %3 kBit/Sekunde "
                                                "bei %4 Hz.")
                                     .arg(settings.bitRate)
                                     .arg(settings.sampleRate)
                                     .arg(frame.bitRate)
                                     .arg(frame.sampleRate));
    };
    estimateLengths(settings.sources);
    try {
        encodeSources(settings, stream);
    } catch (...) {
        // A pipe or a device keeps what it was sent: end it as a playable stream. A file of
        // the user's is left as it was, so what this run wrote goes away.
        if (destination.writesDirectly()) {
            try {
                stream.FinishEncoderStream();
                output.close();
            } catch (const std::exception&) {
            }
        }
        throw;
    }

    if (!classify())
        return;
    // The last bytes are written, and a full disk is seen, before the run counts as done.
    stream.FinishEncoderStream();
    output.close();
    host.AddProgressLine(QStringLiteral("Konvertierung beendet..."));
    host.TrimProgressLog();
    if (settings.chapters && !writeChapterTag(destination))
        return;
    commit(destination);
}

void ConversionJob::encodeSources(const ConversionSettings& settings, EncoderStream& stream) {
    // Made before any source is opened: a temporary folder that cannot be made ends the run
    // before anything is decoded.
    TempFolder folder;
    RunHandles run(libs.mcl);
    run.output = libs.mcl.MclCreate();
    run.sound = libs.mcl.MclSndCreate();
    for (int i = 0; i < settings.sources.size(); ++i) {
        current = i;
        const SourceOpen open = openSource(settings.sources[i]);
        run.input = open.input;
        std::optional<TempFile> temp;
        temp.emplace(folder, QStringLiteral("temp"), QStringLiteral(".wav"));
        libs.mcl.MclAudioSetFileHandle(run.output, temp->descriptor());
        run.writing = true;
        if (libs.mcl.MclGetError() != MclError::Ok)
            temporaryFileFailed(temp->path());
        // The encoder hears mono at full level on both sides.
        std::optional<SourceLevelling> levelling;
        if (settings.loudness)
            levelling.emplace(libs.mcl, run.output, temp->descriptor(), true);
        // A stop pressed while the source is decoded takes effect after its stage, as one pressed
        // during the stage does.
        const SourceRead read = copySource(run.input, run.output, run.sound, false);
        libs.mcl.MclReadClose(std::exchange(run.input, 0));
        const bool levelled = !levelling || levelling->finish();
        run.writing = false;
        const int closed = libs.mcl.MclWriteClose(run.output);
        if (read.writeResult != 0 || closed != 0 || !levelled)
            temporaryFileFailed(temp->path());
        host.AddProgressLine(QStringLiteral("MP3 Kodierung..."));
        std::optional<SampleGain> gain;
        if (levelling)
            gain = levelTemporary(i, settings.loudnessTarget, *levelling, read.seconds);

        const std::uint64_t start = stream.framesEncoded();
        if (const std::optional<StageResult> encoded =
                encodeTemporary(*temp, stream, gain ? &*gain : nullptr)) {
            noteSource(i, settings.sources[i], open, read, encoded->seconds);
            if (encoded->lostBlocks > 0)
                noteLostBlocks(i, settings.sources[i], encoded->lostBlocks);
        } else {
            noteSkipped(i, settings.sources[i], unconvertibleRate());
        }
        if (settings.chapters)
            noteChapter(settings.sources[i], start, stream.framesEncoded());
        temp.reset();
        if (host.stopPending())
            requestStop();
        if (StopRequested)
            break;
    }
    libs.mcl.MclSndFree(std::exchange(run.sound, 0));
    libs.mcl.MclFree(std::exchange(run.output, 0));
}

std::optional<StageResult> ConversionJob::encodeTemporary(TempFile& temp, EncoderStream& stream,
                                                          SampleGain* gain) {
    // Read through the descriptor it was written through; the name is for messages only.
    QFile file(temp.path());
    if (!file.open(temp.descriptor(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        temporaryFileFailed(temp.path());
    StageContext stage{host, wavtowav, stream, [this](double seconds) { pump(seconds); }, gain};
    try {
        return EncodeWavToMp3(stage, file);
    } catch (const EFormatNotConvertible&) {
        return std::nullopt;
    }
}

QString ConversionJob::unconvertibleRate() {
    const QString reason = QStringLiteral("Die Samplefrequenz der Quelldatei (%1 Hz) lässt sich "
                                          "nicht umwandeln")
                               .arg(wavtowav.ACMFormatIn.header.nSamplesPerSec);
    host.AddProgressLine(reason + QStringLiteral(" - die Quelldatei wird übersprungen."));
    return reason;
}
