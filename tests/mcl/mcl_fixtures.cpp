#include "mcl_fixtures.h"

#include "common/cp1252.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

namespace mcltest {

namespace {

bool makeSurround(const QString& path) {
    QStringList args{"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:duration=3"};
    for (int f : {300, 500, 700, 60, 900, 1100})
        args << "-f"
             << "lavfi"
             << "-i" << QStringLiteral("sine=f=%1:d=3:sample_rate=48000").arg(f);
    args << "-filter_complex"
         << "[1][2][3][4][5][6]join=inputs=6:channel_layout=5.1(side):"
            "map=0.0-FL|1.0-FR|2.0-FC|3.0-LFE|4.0-SL|5.0-SR[a]"
         << "-map"
         << "0:v"
         << "-map"
         << "[a]"
         << "-c:v"
         << "mpeg2video"
         << "-c:a"
         << "ac3"
         << "-b:a"
         << "448k"
         << "-f"
         << "vob" << path;
    return media::runFfmpeg(args);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool make(Fixture fixture, const QString& path) {
    using media::makeVideoWithSine;
    switch (fixture) {
    case Fixture::AacMp4:
        return makeVideoWithSine(path, 440, kSeconds, {"-c:a", "aac", "-ar", "48000", "-ac", "2"});
    case Fixture::Mp3Avi:
        return makeVideoWithSine(path, 1000, kSeconds,
                                 {"-c:a", "libmp3lame", "-ar", "44100", "-ac", "1"});
    case Fixture::Mp2Mpg:
        return makeVideoWithSine(path, 700, kSeconds, {"-c:a", "mp2", "-ar", "48000", "-ac", "2"},
                                 {"-r", "25"});
    case Fixture::Ac3Vob:
        return makeSurround(path);
    case Fixture::PcmAvi:
        return makeVideoWithSine(path, 550, kSeconds,
                                 {"-c:a", "pcm_s16le", "-ar", "48000", "-ac", "2"});
    case Fixture::NoAudio:
        return media::runFfmpeg(
            {"-f", "lavfi", "-i", "testsrc=size=64x48:rate=10:duration=1", "-an", path});
    case Fixture::Empty:
        return writeFile(path, {});
    case Fixture::TextAvi:
        return writeFile(path, "This is not a video, only a text with a video's name.\n");
    case Fixture::TruncatedMp4: {
        const QString whole = path + ".whole.mp4";
        if (!makeVideoWithSine(whole, 440, kSeconds, {"-c:a", "aac", "-ar", "48000", "-ac", "2"},
                               {"-movflags", "+faststart"}))
            return false;
        QFile f(whole);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = f.readAll();
        return writeFile(path, bytes.left(bytes.size() * 6 / 10));
    }
    }
    return false;
}

constexpr const char* kNames[] = {"aac.mp4",  "mp3.avi",   "mp2.mpg",  "ac3.vob",      "pcm.avi",
                                  "mute.avi", "empty.avi", "text.avi", "truncated.mp4"};

} // namespace

std::string Fixtures::path(Fixture fixture) {
    if (const auto found = made.find(fixture); found != made.end())
        return found->second;
    const std::string name = file(kNames[static_cast<int>(fixture)]);
    EXPECT_TRUE(make(fixture, QString::fromStdString(name))) << name;
    made[fixture] = name;
    return name;
}

std::string Fixtures::file(const char* name) const {
    return dir.filePath(QString::fromUtf8(name)).toStdString();
}

Decoded readAll(FfmpegMcl& mcl, const std::string& path, int count) {
    Decoded d;
    const MclHandle sound = mcl.MclSndCreate();
    const MclHandle input = mcl.MclReadOpen(path.c_str(), 0, 0, 0);
    std::int64_t position = 0;
    int code = 0;
    do {
        code = mcl.MclReadSound(input, position, count, sound);
        const SoundBlock& block = *mcl.soundBlock(sound);
        d.codes.push_back(code);
        d.frames.push_back(block.frames());
        d.pcm.rate = block.rate;
        d.pcm.channels = block.channels;
        d.pcm.samples.insert(d.pcm.samples.end(), block.samples.begin(), block.samples.end());
        if (code == 0)
            position += count;
    } while (code == 0 && d.codes.size() < 100000);
    mcl.MclReadClose(input);
    mcl.MclSndFree(sound);
    return d;
}

std::string cp1252(const char* utf8) {
    return toCp1252(QString::fromUtf8(utf8)).toStdString();
}

void translateToGerman(MclLibrary& mcl) {
    const char* pairs[][2] = {
        {"h", "h"},
        {"min", "Min"},
        {"sec", "Sek."},
        {"Die Datei \"%s\" existiert nicht!", ""},
        {"Datei Informationen", ""},
        {"Liste löschen", ""},
        {"Cancel", "Abbrechen"},
        {"Help", "Hilfe"},
        {"Close", "Schließen"},
        {"File already exists. Do you want to overwrite it?#nPress YES to overwrite, NO to "
         "append or CANCEL to abort saving.",
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
    };
    for (const auto& [text, replacement] : pairs)
        mcl.MclTranslate(cp1252(text).c_str(), cp1252(replacement).c_str());
}

double toneLevel(const std::vector<double>& signal, int rate, double frequency) {
    std::complex<double> sum;
    double weight = 0;
    const std::size_t n = signal.size();
    for (std::size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (n - 1));
        const double phase = 2 * std::numbers::pi * frequency * i / rate;
        sum += signal[i] * hann * std::complex<double>(std::cos(phase), -std::sin(phase));
        weight += hann;
    }
    return 2 * std::abs(sum) / weight;
}

} // namespace mcltest
