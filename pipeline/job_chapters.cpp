// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Chapter marks of a run: cue points in a WAV destination, an ID3v2 chapter tag in an MP3 one.
#include "pipeline/conversion_job.h"
#include "pipeline/destination_file.h"
#include "pipeline/id3_chapters.h"
#include "pipeline/mp3_choices.h"
#include "pipeline/output_file.h"

void ConversionJob::markWavChapter(MclHandle output, std::int64_t start, const QString& source) {
    // A source that put no sound into the file has no place in it.
    if (libs.mcl.MclAudioPosition(output) <= start)
        return;
    const QString title = chapterTitle(source);
    if (libs.mcl.MclAudioAddCue(output, start, title.toUtf8().constData()) != 0)
        host.AddProgressLine(QStringLiteral("Hinweis: Die Kapitelmarke \"%1\" fehlt: Marken einer "
                                            "WAV-Datei reichen nur bis Sample 4294967295.")
                                 .arg(title));
}

void ConversionJob::reserveChapterTag(const QStringList& sources, OutputFile& output) {
    chapters.clear();
    chapterTagReserved = false;
    if (sources.isEmpty())
        return;
    QStringList titles;
    for (const QString& source : sources)
        titles << chapterTitle(source);
    const QByteArray tag = reservedChapterTag(titles);
    output.write(tag.constData(), static_cast<std::size_t>(tag.size()));
    chapterTagReserved = true;
}

void ConversionJob::noteChapter(const QString& source, std::uint64_t start, std::uint64_t end) {
    if (end > start)
        chapters.push_back({chapterTitle(source), static_cast<std::int64_t>(start),
                            static_cast<std::int64_t>(end)});
}

bool ConversionJob::writeChapterTag(DestinationFile& destination) {
    if (!chapterTagReserved)
        return true;
    const QString error = ::writeChapterTag(destination.descriptor(), chapters, kEncoderInputRate);
    if (error.isEmpty())
        return true;
    fail(QStringLiteral("Die Kapitelmarken konnten nicht geschrieben werden: ") + error);
    host.AddProgressLine(result.reason);
    return false;
}
