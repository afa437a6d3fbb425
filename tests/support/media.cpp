// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "support/media.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstring>
#include <map>
#include <numbers>
#include <thread>

extern char** environ;

namespace media {

// Not QProcess: its child shares our memory until it execs (vfork) and runs ThreadSanitizer's
// hooks there, on the state of our main thread, which then has none of its later locking seen:
// every test of threaded code after the first fixture would report races that are not there.
// posix_spawn's child runs no hooked code. The output goes to files, which cannot fill up as
// pipes do.
ToolRun runTool(const QString& program, const QStringList& args) {
    ToolRun run;
    QTemporaryFile out;
    QTemporaryFile err;
    if (!out.open() || !err.open()) {
        run.err = "no temporary file for the output: " +
                  (out.isOpen() ? err : out).errorString().toUtf8();
        return run;
    }
    std::vector<QByteArray> words{QFile::encodeName(program)};
    for (const QString& arg : args)
        words.push_back(QFile::encodeName(arg));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.handle(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.handle(), STDERR_FILENO);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.err = QByteArray("cannot start: ") + std::strerror(spawned);
        return run;
    }
    // A tool that hangs is stopped after two minutes, so that the test fails rather than waits.
    int status = 0;
    pid_t waited = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while ((waited = waitpid(pid, &status, WNOHANG)) == 0 || (waited < 0 && errno == EINTR)) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            run.err = "stopped after two minutes";
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    run.exitedZero = waited == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    // The child moved the files' shared offsets to their ends.
    if (out.seek(0))
        run.out = out.readAll();
    if (err.seek(0))
        run.err = err.readAll();
    return run;
}

bool runFfmpeg(const QStringList& args) {
    const ToolRun run =
        runTool(QStringLiteral(TAVIMO_FFMPEG), QStringList{"-nostdin", "-v", "error", "-y"} + args);
    if (!run.exitedZero) {
        ADD_FAILURE() << "ffmpeg " << args.join(' ').toStdString()
                      << " failed: " << run.err.toStdString();
        return false;
    }
    return true;
}

bool makeVideoWithSine(const QString& path, double frequency, double seconds,
                       const QStringList& audioArgs, const QStringList& containerArgs) {
    const QString duration = QString::number(seconds);
    QStringList args{"-f",
                     "lavfi",
                     "-i",
                     QStringLiteral("testsrc=size=64x48:rate=25:duration=%1").arg(duration),
                     "-f",
                     "lavfi",
                     "-i",
                     QStringLiteral("sine=frequency=%1:sample_rate=48000:duration=%2")
                         .arg(frequency)
                         .arg(duration)};
    args << "-shortest" << audioArgs << containerArgs << path;
    return runFfmpeg(args);
}

Pcm decode(const QString& path, int rate, int channels) {
    Pcm pcm;
    if (!rate || !channels) {
        // The first audio stream's own rate and channel count; more than two are mixed to two.
        const ToolRun probe = runTool(QStringLiteral(TAVIMO_FFPROBE),
                                      {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                       "stream=sample_rate,channels", "-of", "csv=p=0", path});
        const auto fields = QString::fromUtf8(probe.out).trimmed().split(',');
        if (fields.size() >= 2) {
            rate = rate ? rate : fields[0].toInt();
            channels = channels ? channels : std::min(fields[1].toInt(), 2);
        }
    }
    if (!rate || !channels)
        return pcm;
    pcm.rate = rate;
    pcm.channels = channels;
    const QByteArray bytes =
        runTool(QStringLiteral(TAVIMO_FFMPEG),
                {"-nostdin", "-v", "error", "-i", path, "-vn", "-ar", QString::number(rate), "-ac",
                 QString::number(channels), "-f", "s16le", "-"})
            .out;
    pcm.samples.resize(bytes.size() / 2);
    std::memcpy(pcm.samples.data(), bytes.constData(), pcm.samples.size() * 2);
    return pcm;
}

Loudness measureLoudness(const QString& path, double from, double to) {
    QString filter = QStringLiteral("atrim=start=%1").arg(from);
    if (to >= 0)
        filter += QStringLiteral(":end=%1").arg(to);
    filter += QStringLiteral(",ebur128=peak=true");
    const ToolRun ffmpeg =
        runTool(QStringLiteral(TAVIMO_FFMPEG), {"-nostdin", "-hide_banner", "-nostats", "-i", path,
                                                "-af", filter, "-f", "null", "-"});
    // The summary at the end: "I:  -18.0 LUFS" and, under "True peak:", "Peak:  -3.2 dBFS".
    Loudness loudness{NAN, NAN};
    for (const QByteArray& line : ffmpeg.err.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() == 3 && words[0] == "I:")
            loudness.integrated = words[1].toDouble();
        else if (words.size() == 3 && words[0] == "Peak:")
            loudness.truePeak = words[1].toDouble();
    }
    return loudness;
}

Pcm readWav(const QString& path) {
    Pcm pcm;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return pcm;
    const QByteArray bytes = file.readAll();
    const auto u16 = [&](qsizetype at) {
        return quint16(uchar(bytes[at]) | uchar(bytes[at + 1]) << 8);
    };
    const auto u32 = [&](qsizetype at) { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; };
    const auto u64 = [&](qsizetype at) { return quint64(u32(at)) | quint64(u32(at + 4)) << 32; };
    const auto tag = [&](qsizetype at, const char* four) { return bytes.mid(at, 4) == four; };
    if (bytes.size() < 12 || !(tag(0, "RIFF") || tag(0, "RF64")) || !tag(8, "WAVE"))
        return pcm;
    quint64 ds64Data = 0xFFFFFFFF;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const quint32 size = u32(at + 4);
        const qsizetype body = at + 8;
        if (tag(at, "ds64") && size >= 24 && body + 24 <= bytes.size()) {
            ds64Data = u64(body + 8);
        } else if (tag(at, "fmt ") && size >= 16 && body + 16 <= bytes.size()) {
            pcm.channels = u16(body + 2);
            pcm.rate = static_cast<int>(u32(body + 4));
        } else if (tag(at, "data")) {
            // 0xFFFFFFFF: the size is in ds64, or unknown (a streamed file) and reaches the end.
            const quint64 stated = size == 0xFFFFFFFF ? ds64Data : size;
            const auto length = static_cast<qsizetype>(
                std::min<quint64>(stated, static_cast<quint64>(bytes.size() - body)));
            pcm.samples.resize(length / 2);
            std::memcpy(pcm.samples.data(), bytes.constData() + body, pcm.samples.size() * 2);
            return pcm;
        }
        at = body + qsizetype(size) + (size & 1);
    }
    return pcm;
}

WavChunks readWavChunks(const QString& path) {
    WavChunks wav;
    QFile file(path);
    const QByteArray b = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const auto u32 = [&](qsizetype at) {
        quint32 value = 0;
        for (qsizetype i = 3; i >= 0; --i)
            value = value << 8 | (at + i < b.size() ? uchar(b[at + i]) : 0u);
        return value;
    };
    std::map<quint32, std::string> labels;
    std::vector<std::pair<quint32, quint32>> points; // name, frame
    quint64 dataSize = 0;
    wav.riffSize = u32(4);
    for (qsizetype at = 12; at + 8 <= b.size();) {
        const QByteArray id = b.mid(at, 4);
        const qsizetype body = at + 8;
        quint64 size = u32(at + 4);
        wav.ids.push_back(id.toStdString());
        if (id == "ds64") {
            wav.riffSize = u32(body) | quint64(u32(body + 4)) << 32;
            dataSize = u32(body + 8) | quint64(u32(body + 12)) << 32;
        } else if (id == "data" && size == 0xFFFFFFFF) {
            size = dataSize;
        } else if (id == "cue ") {
            for (quint32 i = 0; i < u32(body); ++i) // name, then the sample offset in "data"
                points.emplace_back(u32(body + 4 + 24 * i), u32(body + 4 + 24 * i + 20));
        } else if (id == "LIST" && b.mid(body, 4) == "adtl") {
            for (qsizetype sub = body + 4; sub + 12 <= body + qsizetype(size);) {
                if (b.mid(sub, 4) == "labl")
                    labels[u32(sub + 8)] = b.constData() + sub + 12; // up to its zero
                sub += 8 + u32(sub + 4) + (u32(sub + 4) & 1);
            }
        }
        at = body + qsizetype(size + (size & 1));
    }
    for (const auto& [name, frame] : points)
        wav.cues.emplace_back(frame, labels.count(name) ? labels[name] : "<no label>");
    return wav;
}

std::vector<double> channel(const Pcm& pcm, int ch, std::size_t first, std::size_t count) {
    std::vector<double> out;
    const std::size_t frames = pcm.frames();
    for (std::size_t i = first; i < frames && i - first < count; ++i)
        out.push_back(pcm.samples[i * pcm.channels + ch] / 32768.0);
    return out;
}

namespace {

void fft(std::vector<std::complex<double>>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2 * std::numbers::pi / static_cast<double>(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const auto u = a[i + k];
                const auto v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

} // namespace

double dominantFrequency(const std::vector<double>& signal, int rate) {
    std::size_t n = 1;
    while (n * 2 <= signal.size() && n < 65536)
        n *= 2;
    if (n < 64)
        return 0;
    const std::size_t offset = (signal.size() - n) / 2;
    std::vector<std::complex<double>> a(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (n - 1));
        a[i] = signal[offset + i] * hann;
    }
    fft(a);
    std::size_t peak = 1;
    for (std::size_t i = 1; i < n / 2; ++i) {
        if (std::abs(a[i]) > std::abs(a[peak]))
            peak = i;
    }
    const double l = std::log(std::abs(a[peak - 1]) + 1e-30);
    const double c = std::log(std::abs(a[peak]) + 1e-30);
    const double r = std::log(std::abs(a[peak + 1]) + 1e-30);
    const double delta = 0.5 * (l - r) / (l - 2 * c + r);
    return (static_cast<double>(peak) + delta) * rate / static_cast<double>(n);
}

double rmsDb(const std::vector<double>& signal) {
    double sum = 0;
    for (double s : signal)
        sum += s * s;
    return 10 * std::log10(sum / std::max<std::size_t>(signal.size(), 1) + 1e-30);
}

double largestStep(const std::vector<double>& signal) {
    double step = 0;
    for (std::size_t i = 1; i < signal.size(); ++i)
        step = std::max(step, std::abs(signal[i] - signal[i - 1]));
    return step;
}

} // namespace media
