// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/id3_chapters.h"

#include "common/error_text.h"
#include "pipeline/descriptor_stream.h"

#include <taglib/chapterframe.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tableofcontentsframe.h>
#include <taglib/textidentificationframe.h>

#include <iterator>
#include <string>

namespace {

namespace ID3v2 = TagLib::ID3v2;

// CHAP's byte offsets: not given, as the frames' main data is spread over their neighbours.
constexpr unsigned int kNoOffset = 0xFFFFFFFF;

// A table of contents counts its entries in one byte.
constexpr unsigned int kMostEntries = 255;

TagLib::ByteVector elementId(const std::string& id) {
    return TagLib::ByteVector(id.data(), static_cast<unsigned int>(id.size()));
}

ID3v2::TableOfContentsFrame* orderedTable(const TagLib::ByteVector& id,
                                          const TagLib::ByteVectorList& entries) {
    auto* table = new ID3v2::TableOfContentsFrame(id, entries);
    table->setIsTopLevel(false);
    table->setIsOrdered(true);
    return table;
}

// Replaces whatever chapter frames `tag` has by those of `chapters`.
void setChapters(ID3v2::Tag& tag, const std::vector<Chapter>& chapters, int rate) {
    tag.removeFrames("CTOC");
    tag.removeFrames("CHAP");
    if (chapters.empty())
        return;
    TagLib::ByteVectorList entries;
    std::vector<ID3v2::Frame*> frames;
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        const Chapter& chapter = chapters[i];
        const TagLib::ByteVector id = elementId("chp" + std::to_string(i));
        auto* frame =
            new ID3v2::ChapterFrame(id, chapterMilliseconds(chapter.start, rate),
                                    chapterMilliseconds(chapter.end, rate), kNoOffset, kNoOffset);
        auto* title = new ID3v2::TextIdentificationFrame("TIT2", TagLib::String::UTF8);
        title->setText(TagLib::String(chapter.title.toStdString(), TagLib::String::UTF8));
        frame->addEmbeddedFrame(title);
        frames.push_back(frame);
        entries.append(id);
    }
    // More entries than one table can count go into ordered tables of their own, which the
    // table above them lists in order, as deep as needed.
    for (int level = 0; entries.size() > kMostEntries; ++level) {
        TagLib::ByteVectorList tables;
        TagLib::ByteVectorList part;
        for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
            part.append(*entry);
            if (part.size() == kMostEntries || std::next(entry) == entries.end()) {
                const TagLib::ByteVector id =
                    elementId("toc" + std::to_string(level) + "-" + std::to_string(tables.size()));
                frames.push_back(orderedTable(id, part));
                tables.append(id);
                part.clear();
            }
        }
        entries = tables;
    }
    auto* top = orderedTable("toc", entries);
    top->setIsTopLevel(true);
    tag.addFrame(top);
    for (ID3v2::Frame* frame : frames)
        tag.addFrame(frame);
}

} // namespace

QByteArray reservedChapterTag(const QStringList& titles) {
    std::vector<Chapter> chapters;
    for (const QString& title : titles)
        chapters.push_back({title, 0, 0});
    ID3v2::Tag tag;
    setChapters(tag, chapters, 1);
    const TagLib::ByteVector rendered = tag.render(ID3v2::v4);
    return QByteArray(rendered.data(), rendered.size());
}

QString writeChapterTag(int descriptor, const std::vector<Chapter>& chapters, int rate) {
    DescriptorStream stream(descriptor);
    bool saved = false;
    {
        TagLib::MPEG::File file(&stream, ID3v2::FrameFactory::instance(), false);
        if (file.isValid()) {
            setChapters(*file.ID3v2Tag(true), chapters, rate);
            // Only the ID3v2 tag is written: bytes at the file's end that merely look like
            // another tag's are sound and stay.
            saved = file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, ID3v2::v4,
                              TagLib::File::DoNotDuplicate);
        }
    }
    if (stream.error() != 0)
        return systemErrorText(stream.error());
    return saved ? QString() : QStringLiteral("TagLib konnte das ID3v2-Tag nicht schreiben");
}
