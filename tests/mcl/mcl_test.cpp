#include "mcl_test.h"

#include "common/cp1252.h"

#include <QFile>

#include <array>
#include <cmath>
#include <complex>
#include <numbers>
#include <tuple>

QTemporaryDir* MclTest::dir = nullptr;
std::map<Fixture, std::string> MclTest::made;

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool make(Fixture fixture, const QString& path) {
    const QStringList aac{"-c:a", "aac", "-ar", "48000", "-ac", "2"};
    switch (fixture) {
    case Fixture::AacMp4:
        return media::makeVideoWithSine(path, 440, 3, aac);
    case Fixture::Mp3Avi:
        return media::makeVideoWithSine(path, 1000, 3,
                                        {"-c:a", "libmp3lame", "-ar", "44100", "-ac", "1"});
    case Fixture::Mp2Mpg:
        return media::makeVideoWithSine(path, 700, 3, {"-c:a", "mp2", "-ar", "48000", "-ac", "2"},
                                        {"-r", "25"});
    case Fixture::PcmAvi:
        return media::makeVideoWithSine(path, 550, 3,
                                        {"-c:a", "pcm_s16le", "-ar", "48000", "-ac", "2"});
    case Fixture::Ac3Vob: {
        QStringList args{"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:duration=3"};
        for (int f : {300, 500, 700, 60, 900, 1100})
            args << "-f"
                 << "lavfi"
                 << "-i" << QStringLiteral("sine=f=%1:d=3:r=48000").arg(f);
        return media::runFfmpeg(args << "-filter_complex"
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
                                     << "vob" << path);
    }
    case Fixture::NoAudio:
        return media::runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:duration=1", path});
    case Fixture::Empty:
        return writeFile(path, {});
    case Fixture::TextAvi:
        return writeFile(path, "Only a text with a video's name.\n");
    case Fixture::TruncatedMp4: {
        QFile whole(path + ".whole.mp4");
        if (!media::makeVideoWithSine(whole.fileName(), 440, 3, aac, {"-movflags", "+faststart"}) ||
            !whole.open(QIODevice::ReadOnly))
            return false;
        return writeFile(path, whole.read(whole.size() * 6 / 10));
    }
    case Fixture::ChangingMp2: {
        QByteArray both;
        for (const auto& [tone, rate, channels] : {std::tuple{700, 48000, 2}, {1000, 44100, 1}}) {
            QFile part(path + ".part");
            if (!media::runFfmpeg({"-f", "lavfi", "-i",
                                   QStringLiteral("sine=f=%1:d=2:r=%2").arg(tone).arg(rate), "-c:a",
                                   "mp2", "-ac", QString::number(channels), "-f", "mp2",
                                   part.fileName()}) ||
                !part.open(QIODevice::ReadOnly))
                return false;
            both += part.readAll();
        }
        return writeFile(path, both);
    }
    }
    return false;
}

} // namespace

std::string MclTest::path(Fixture fixture) {
    static constexpr auto names =
        std::to_array({"Tonspur äöüß.mp4", "mp3.avi", "mp2.mpg", "ac3.vob", "pcm.avi", "mute.avi",
                       "empty.avi", "text.avi", "truncated.mp4", "changing.mp2"});
    static_assert(names.size() == std::size_t(Fixture::ChangingMp2) + 1);
    auto& name = made[fixture];
    if (name.empty()) {
        name = file(names[static_cast<int>(fixture)]);
        EXPECT_TRUE(make(fixture, QString::fromStdString(name))) << name;
    }
    return name;
}

Decoded MclTest::readAll(const std::string& source, int count) {
    Decoded d;
    const MclHandle sound = mcl.MclSndCreate();
    const MclHandle input = mcl.MclReadOpen(source.c_str(), 0, 0, 0);
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
        position += code == 0 ? count : 0;
    } while (code == 0 && d.codes.size() < 1000);
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
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (signal.size() - 1));
        sum += signal[i] * hann * std::polar(1.0, -2 * std::numbers::pi * frequency * i / rate);
        weight += hann;
    }
    return 2 * std::abs(sum) / weight;
}
