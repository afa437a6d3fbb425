#include "pipeline/conversion_job.h"

#include "common/cp1252.h"
#include "pipeline/conversion_host.h"
#include "pipeline/encoder_stream.h"
#include "pipeline/output_file.h"
#include "pipeline/temp_file.h"
#include "pipeline/wav_to_mp3.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

constexpr std::int32_t kReadBlock = 100000;

QByteArray fileName8(const QString& path) {
    return QFile::encodeName(path);
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

// Deletes a source's temporary file when an error leaves the run before the job deletes it.
class TempFileGuard {
public:
    ~TempFileGuard() {
        if (!name.isEmpty())
            QFile::remove(name);
    }
    QString name;
};

QString errorText(MclLibrary& mcl) {
    return fromCp1252(mcl.MclGetErrorStr());
}

} // namespace

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
    const QFileInfo target(destination);
    if (!target.exists())
        return false;
#ifdef Q_OS_UNIX
    struct stat targetStat {};
    const bool haveInode = ::stat(fileName8(destination).constData(), &targetStat) == 0;
#endif
    for (const QString& source : sources) {
        const QFileInfo info(source);
        if (!info.exists())
            continue;
        if (info.canonicalFilePath() == target.canonicalFilePath())
            return true;
#ifdef Q_OS_UNIX
        // Hard links are one file under two names.
        struct stat sourceStat {};
        if (haveInode && ::stat(fileName8(source).constData(), &sourceStat) == 0 &&
            sourceStat.st_dev == targetStat.st_dev && sourceStat.st_ino == targetStat.st_ino)
            return true;
#endif
    }
    return false;
}

ConversionJob::ConversionJob(ConversionHost& conversionHost, ConversionLibraries libraries)
    : host(conversionHost), libs(libraries) {}

void ConversionJob::RunConversion() {
    // Handlers run nested inside the job while it pumps messages; a second start must not
    // begin a conversion inside the running one.
    if (active)
        return;
    active = true;
    struct Idle {
        bool& flag;
        ~Idle() { flag = false; }
    } idle{active};

    host.setStopRequested(false);
    // A copy taken now: the list may change while the job pumps messages.
    const ConversionSettings settings = host.conversionSettings();
    if (destinationIsSource(settings.destination, settings.sources)) {
        host.AddProgressLine(QStringLiteral("Die Zieldatei ist zugleich eine Quelldatei - "
                                            "bitte wählen Sie eine andere Zieldatei."));
        return;
    }
    libs.mcl.MclMpegInternalDecoder(settings.internalDecoder ? -1 : 0);
    if (isWavDestination(settings.destination))
        convertToWav(settings);
    else
        convertToMp3(settings);
}

void ConversionJob::CancelConversion() {
    libs.mcl.MclAbort(0);
}

MclHandle ConversionJob::openSource(const QString& path) {
    const MclHandle input = libs.mcl.MclReadOpen(fileName8(path).constData(), 0, 0, 0);
    host.AddProgressLine(QStringLiteral("Quelldatei öffnen ") + errorText(libs.mcl));
    return input;
}

void ConversionJob::copySource(MclHandle input, MclHandle output, MclHandle sound,
                               bool pumpMessages) {
    std::int64_t position = 0;
    int readResult = 0;
    int writeResult = 0;
    do {
        readResult = libs.mcl.MclReadSound(input, position, kReadBlock, sound);
        writeResult = libs.mcl.MclWriteSound(output, sound);
        if (readResult == 0)
            position += kReadBlock;
        host.TrimProgressLog();
        host.AddProgressLine(QString::number(position) + QStringLiteral(" Samples gelesen..."));
        if (pumpMessages)
            host.processEvents();
    } while (readResult == 0 && writeResult == 0 && !host.stopRequested());
}

void ConversionJob::convertToWav(const ConversionSettings& settings) {
    RunHandles run(libs.mcl);
    run.output = libs.mcl.MclCreate();
    libs.mcl.MclAudioSetFileName(run.output, fileName8(settings.destination).constData());
    run.writing = true;
    host.AddProgressLine(QStringLiteral("Ausgabedatei ") + errorText(libs.mcl));
    run.sound = libs.mcl.MclSndCreate();

    for (const QString& source : settings.sources) {
        run.input = openSource(source);
        copySource(run.input, run.output, run.sound, true);
        libs.mcl.MclReadClose(std::exchange(run.input, 0));
        // A stop ends the destination here: the sources after it are not touched.
        if (host.stopRequested())
            break;
    }

    libs.mcl.MclSndFree(std::exchange(run.sound, 0));
    libs.mcl.MclWriteClose(run.output);
    run.writing = false;
    libs.mcl.MclFree(std::exchange(run.output, 0));
    host.AddProgressLine(QStringLiteral("Konvertierung beendet..."));
    host.TrimProgressLog();
}

void ConversionJob::convertToMp3(const ConversionSettings& settings) {
    OutputFile destination;
    if (!destination.create(settings.destination)) {
        host.AddProgressLine(QStringLiteral("Konnte MP3 Datei nicht erstellen..."));
        return;
    }
    EncoderStream stream(libs.lame, destination);
    if (!stream.InitEncoderStream(settings.sampleRateText.toUInt(),
                                  settings.bitRateText.toUInt())) {
        host.AddProgressLine(QStringLiteral("Konnte LAME Encoder nicht initialisieren..."));
        destination.close();
        return;
    }

    {
        RunHandles run(libs.mcl);
        run.output = libs.mcl.MclCreate();
        run.sound = libs.mcl.MclSndCreate();
        for (const QString& source : settings.sources) {
            run.input = openSource(source);
            TempFileGuard temp;
            temp.name = MakeTempFileName(QStringLiteral("temp"), QStringLiteral(".wav"));
            libs.mcl.MclAudioSetFileName(run.output, fileName8(temp.name).constData());
            run.writing = true;
            // No messages are pumped while a source is decoded; the stage pumps them.
            copySource(run.input, run.output, run.sound, false);
            libs.mcl.MclReadClose(std::exchange(run.input, 0));
            libs.mcl.MclWriteClose(run.output);
            run.writing = false;
            host.AddProgressLine(QStringLiteral("MP3 Kodierung..."));
            EncodeWavToMp3(host, stream, temp.name);
            QFile::remove(std::exchange(temp.name, QString()));
            if (host.stopRequested())
                break;
        }
        libs.mcl.MclSndFree(std::exchange(run.sound, 0));
        libs.mcl.MclFree(std::exchange(run.output, 0));
    }

    host.AddProgressLine(QStringLiteral("Konvertierung beendet..."));
    host.TrimProgressLog();
    stream.FinishEncoderStream();
    destination.close();
}
