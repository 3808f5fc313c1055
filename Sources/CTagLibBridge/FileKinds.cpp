#include "BridgeInternal.h"

#include <aifffile.h>
#include <apetag.h>
#include <commentsframe.h>
#include <dsdiffdiintag.h>
#include <dsdifffile.h>
#include <dsffile.h>
#include <flacfile.h>
#include <id3v1tag.h>
#include <id3v2tag.h>
#include <infotag.h>
#include <mpegfile.h>
#include <wavfile.h>
#include <xiphcomment.h>

#include <cstdint>

namespace ctaglib {
namespace {

// One tag of a file that holds a comment. TagLib's generic interface asks the
// tags of a file in this order and returns the first non-empty comment, and
// writes the comment into all of them.
struct CommentCarrier {
    TagLib::Tag* tag = nullptr;
    TagLib::ID3v2::Tag* id3v2 = nullptr; // set when tag is an ID3v2 tag
};

void add(std::vector<CommentCarrier>& carriers, TagLib::Tag* tag) {
    if (tag)
        carriers.push_back({tag, nullptr});
}

void addId3v2(std::vector<CommentCarrier>& carriers, TagLib::ID3v2::Tag* tag) {
    if (tag)
        carriers.push_back({tag, tag});
}

// The tags in the order of each file class's own tag union. Empty for file
// kinds without ID3v2, which keep the generic behaviour unchanged.
std::vector<CommentCarrier> commentCarriers(TagLib::File* file) {
    std::vector<CommentCarrier> carriers;
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
        addId3v2(carriers, mpeg->ID3v2Tag());
        add(carriers, mpeg->APETag());
        add(carriers, mpeg->ID3v1Tag());
    } else if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file)) {
        addId3v2(carriers, aiff->tag());
    } else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file)) {
        addId3v2(carriers, wav->ID3v2Tag());
        add(carriers, wav->InfoTag());
    } else if (auto* dsf = dynamic_cast<TagLib::DSF::File*>(file)) {
        addId3v2(carriers, dsf->tag());
    } else if (auto* dsdiff = dynamic_cast<TagLib::DSDIFF::File*>(file)) {
        addId3v2(carriers, dsdiff->ID3v2Tag());
        add(carriers, dsdiff->DIINTag());
    } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
        if (flac->hasID3v2Tag()) {
            add(carriers, flac->xiphComment());
            addId3v2(carriers, flac->ID3v2Tag());
            add(carriers, flac->ID3v1Tag());
        }
    }
    return carriers;
}

bool isPlainComment(const TagLib::ID3v2::Frame* frame) {
    const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(frame);
    return comment && comment->description().isEmpty();
}

// Replaces the description-less comment frames by one holding the text (none
// for empty text). Described comment frames stay as they are.
void setPlainComment(TagLib::ID3v2::Tag* tag, const TagLib::String& text) {
    const TagLib::ID3v2::FrameList frames = tag->frameList("COMM"); // a copy: removing changes the list
    for (TagLib::ID3v2::Frame* frame : frames) {
        if (isPlainComment(frame))
            tag->removeFrame(frame);
    }
    if (text.isEmpty())
        return;
    auto* frame = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF8);
    frame->setLanguage("eng");
    frame->setText(text);
    tag->addFrame(frame);
}

constexpr int vorbisCommentBlock = 4;

// The length the Vorbis comment at pos really has, read entry by entry as its
// own length fields say, and its number of entries; nothing when the entries
// run past the end of the file.
struct CommentExtent {
    int64_t length = 0;
    uint32_t entries = 0;
};

std::optional<CommentExtent> commentExtent(TagLib::File& file, TagLib::offset_t pos) {
    const TagLib::offset_t end = file.length();
    const TagLib::offset_t start = pos;
    const auto skipCounted = [&]() -> std::optional<uint32_t> { // reads a length, skips that much
        file.seek(pos);
        const TagLib::ByteVector field = file.readBlock(4);
        if (field.size() < 4)
            return std::nullopt;
        const uint32_t size = field.toUInt(0U, false);
        pos += 4 + static_cast<TagLib::offset_t>(size);
        return pos <= end ? std::optional(size) : std::nullopt;
    };
    if (!skipCounted()) // the vendor text
        return std::nullopt;
    file.seek(pos);
    const TagLib::ByteVector countField = file.readBlock(4);
    if (countField.size() < 4)
        return std::nullopt;
    const uint32_t entries = countField.toUInt(0U, false);
    pos += 4;
    for (uint32_t i = 0; i < entries; ++i) {
        if (!skipCounted())
            return std::nullopt;
    }
    return CommentExtent{pos - start, entries};
}

// The position of the FLAC file's Vorbis comment block header; -1 when it has none.
TagLib::offset_t flacCommentBlock(TagLib::FLAC::File& file) {
    // The metadata blocks follow "fLaC" (which an ID3v2 tag may precede).
    TagLib::offset_t pos = file.find("fLaC");
    if (pos < 0)
        return -1;
    pos += 4;
    for (;;) {
        file.seek(pos);
        const TagLib::ByteVector header = file.readBlock(4);
        if (header.size() < 4)
            return -1;
        if ((header[0] & 0x7F) == vorbisCommentBlock)
            return pos;
        if (header[0] & 0x80) // the last block
            return -1;
        pos += 4 + static_cast<TagLib::offset_t>(header.toUInt(1U, 3U, true));
    }
}

} // namespace

TagLib::String plainComment(const TagLib::ID3v2::Tag* tag) {
    for (const TagLib::ID3v2::Frame* frame : tag->frameList("COMM")) {
        if (isPlainComment(frame))
            return frame->toString();
    }
    return {};
}

std::optional<TagLib::ByteVector> flacCommentByItsOwnLength(TagLib::FLAC::File& file) {
    const TagLib::offset_t pos = flacCommentBlock(file);
    if (pos < 0)
        return std::nullopt;
    const std::optional<CommentExtent> extent = commentExtent(file, pos + 4);
    if (!extent)
        return std::nullopt;
    file.seek(pos + 4);
    return file.readBlock(static_cast<size_t>(extent->length));
}

bool flacCommentReadCompletely(TagLib::FLAC::File& file) {
    const TagLib::offset_t pos = flacCommentBlock(file);
    if (pos < 0)
        return true;
    file.seek(pos);
    const uint32_t length = file.readBlock(4).toUInt(1U, 3U, true);
    const std::optional<CommentExtent> extent = commentExtent(file, pos + 4);
    const TagLib::Ogg::XiphComment* comment = file.xiphComment(false);
    return extent && extent->length == length && comment && extent->entries <= comment->fieldCount();
}

bool hasAudioContent(TagLib::File* file) {
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file))
        return mpeg->firstFrameOffset() >= 0;
    const bool wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file) != nullptr;
    const bool aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file) != nullptr;
    if (!wav && !aiff)
        return true;
    file->seek(0);
    const TagLib::ByteVector head = file->readBlock(12);
    file->seek(0);
    if (wav)
        return head.startsWith("RIFF") && head.containsAt("WAVE", 8);
    return head.startsWith("FORM") && (head.containsAt("AIFF", 8) || head.containsAt("AIFC", 8));
}

TagLib::String readComment(TagLib::File* file, TagLib::Tag* generic) {
    const std::vector<CommentCarrier> carriers = commentCarriers(file);
    if (carriers.empty())
        return generic->comment();
    for (const CommentCarrier& carrier : carriers) {
        const TagLib::String text = carrier.id3v2 ? plainComment(carrier.id3v2) : carrier.tag->comment();
        if (!text.isEmpty())
            return text;
    }
    return {};
}

void writeComment(TagLib::File* file, TagLib::Tag* generic, const TagLib::String& text) {
    const std::vector<CommentCarrier> carriers = commentCarriers(file);
    if (carriers.empty()) {
        generic->setComment(text);
        return;
    }
    for (const CommentCarrier& carrier : carriers) {
        if (carrier.id3v2)
            setPlainComment(carrier.id3v2, text);
        else
            carrier.tag->setComment(text);
    }
}

} // namespace ctaglib
