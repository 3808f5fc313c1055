#include "BridgeInternal.h"

#include <attachedpictureframe.h>
#include <commentsframe.h>
#include <generalencapsulatedobjectframe.h>
#include <id3v2frame.h>
#include <id3v2framefactory.h>
#include <id3v2header.h>
#include <id3v2synchdata.h>
#include <id3v2tag.h>
#include <popularimeterframe.h>
#include <privateframe.h>
#include <synchronizedlyricsframe.h>
#include <textidentificationframe.h>
#include <tfile.h>
#include <uniquefileidentifierframe.h>
#include <unknownframe.h>
#include <unsynchronizedlyricsframe.h>
#include <urllinkframe.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <utility>

namespace ctaglib {
namespace {

using TagLib::ByteVector;
namespace SynchData = TagLib::ID3v2::SynchData;

constexpr unsigned int headerSize = 10;
// TagLib's padding of a tag that had no size before: see stage().
constexpr unsigned int tagLibPadding = 1024;
constexpr unsigned int markerSize = 16;
// Enough for the placeholder of stage() to hold its marker.
constexpr unsigned int minimumPadding = tagLibPadding + headerSize + markerSize;

// Tag header flags. In ID3v2.2, the second one marks a compressed tag.
constexpr char unsynchronisedTag = '\x80';
constexpr char extendedHeader = '\x40';
constexpr char experimentalTag = '\x20';
constexpr char footerPresent = '\x10';
// ID3v2.4 frame format flags (the second flag byte).
constexpr char unsynchronisedFrame = '\x02';
constexpr char dataLengthIndicator = '\x01';
// Frame flags that change how the body is stored (compression, encryption,
// grouping, data length), in the second flag byte of each version.
constexpr char encodedFrameV3 = '\xE0';
constexpr char encodedFrameV4 = '\x4D';

bool isIdCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Four upper-case letters or digits; ID3v2.3 tags of some writers also hold
// three-letter ID3v2.2 IDs padded with a zero byte, which TagLib accepts.
bool isFrameId(const ByteVector& id, int version) {
    if (id.size() != 4)
        return false;
    const bool padded = version == 3 && id[3] == '\0';
    return std::all_of(id.begin(), id.end() - (padded ? 1 : 0), isIdCharacter);
}

// The size of the frame at pos, read as TagLib reads it: plain in ID3v2.3,
// sync-safe in ID3v2.4 unless only a plain size leads to the next frame
// (some writers put plain sizes into ID3v2.4 tags).
unsigned int frameBodySize(const ByteVector& body, unsigned int pos, int version) {
    const ByteVector raw = body.mid(pos + 4, 4);
    if (version == 3)
        return raw.toUInt(0U, true);
    unsigned int size = SynchData::toUInt(raw);
    if (size > 127 && !isFrameId(body.mid(pos + headerSize + size, 4), version)) {
        const unsigned int plain = raw.toUInt(0U, true);
        if (isFrameId(body.mid(pos + headerSize + plain, 4), version))
            size = plain;
    }
    return size;
}

// Whether data can be unsynchronised data at all: unsynchronisation breaks up
// every 0xFF that a byte of 0xE0 or more, or the end, would follow. Some writers
// set an ID3v2.3 tag's flag for data they stored as it is; undoing it would
// cut bytes out of the frames (as TagLib does, and then stops reading).
bool canBeUnsynchronised(const ByteVector& data) {
    for (unsigned int i = 0; i < data.size(); ++i) {
        if (data[i] == '\xff' && (i + 1 == data.size() || static_cast<unsigned char>(data[i + 1]) >= 0xE0))
            return false;
    }
    return true;
}

// ---- ID3v2.2 ----
//
// TagLib keeps the three-letter ID of an ID3v2.2 frame it has no newer ID
// for when it writes the tag as ID3v2.4, and other readers stop at such a
// frame. An ID3v2.2 tag is converted instead into ID3v2.3, whose frames have
// the same contents as ID3v2.2's under four-letter IDs (ID3v2.4 dropped some
// of them: RVAD, EQUA, TDAT, TIME...), so every value keeps its bytes.

constexpr std::array v22FrameIds{
    std::pair("BUF", "RBUF"), std::pair("CNT", "PCNT"), std::pair("COM", "COMM"), std::pair("CRA", "AENC"),
    std::pair("EQU", "EQUA"), std::pair("ETC", "ETCO"), std::pair("GEO", "GEOB"), std::pair("IPL", "IPLS"),
    std::pair("LNK", "LINK"), std::pair("MCI", "MCDI"), std::pair("MLL", "MLLT"), std::pair("PIC", "APIC"),
    std::pair("POP", "POPM"), std::pair("REV", "RVRB"), std::pair("RVA", "RVAD"), std::pair("SLT", "SYLT"),
    std::pair("STC", "SYTC"), std::pair("TAL", "TALB"), std::pair("TBP", "TBPM"), std::pair("TCM", "TCOM"),
    std::pair("TCO", "TCON"), std::pair("TCR", "TCOP"), std::pair("TDA", "TDAT"), std::pair("TDY", "TDLY"),
    std::pair("TEN", "TENC"), std::pair("TFT", "TFLT"), std::pair("TIM", "TIME"), std::pair("TKE", "TKEY"),
    std::pair("TLA", "TLAN"), std::pair("TLE", "TLEN"), std::pair("TMT", "TMED"), std::pair("TOA", "TOPE"),
    std::pair("TOF", "TOFN"), std::pair("TOL", "TOLY"), std::pair("TOR", "TORY"), std::pair("TOT", "TOAL"),
    std::pair("TP1", "TPE1"), std::pair("TP2", "TPE2"), std::pair("TP3", "TPE3"), std::pair("TP4", "TPE4"),
    std::pair("TPA", "TPOS"), std::pair("TPB", "TPUB"), std::pair("TRC", "TSRC"), std::pair("TRD", "TRDA"),
    std::pair("TRK", "TRCK"), std::pair("TSI", "TSIZ"), std::pair("TSS", "TSSE"), std::pair("TT1", "TIT1"),
    std::pair("TT2", "TIT2"), std::pair("TT3", "TIT3"), std::pair("TXT", "TEXT"), std::pair("TXX", "TXXX"),
    std::pair("TYE", "TYER"), std::pair("UFI", "UFID"), std::pair("ULT", "USLT"), std::pair("WAF", "WOAF"),
    std::pair("WAR", "WOAR"), std::pair("WAS", "WOAS"), std::pair("WCM", "WCOM"), std::pair("WCP", "WCOP"),
    std::pair("WPB", "WPUB"), std::pair("WXX", "WXXX"),
    // iTunes' own frames
    std::pair("TCP", "TCMP"), std::pair("TS2", "TSO2"), std::pair("TSA", "TSOA"), std::pair("TSC", "TSOC"),
    std::pair("TSP", "TSOP"), std::pair("TST", "TSOT"), std::pair("PCS", "PCST"), std::pair("TCT", "TCAT"),
    std::pair("TDR", "TDRL"), std::pair("TDS", "TDES"), std::pair("TID", "TGID"), std::pair("WFD", "WFED"),
    std::pair("MVN", "MVNM"), std::pair("MVI", "MVIN"), std::pair("GP1", "GRP1")};

// The ID3v2.3 ID of an ID3v2.2 one; nothing for an ID without one (CRM, an
// encrypted frame, or an ID no version defines).
std::optional<ByteVector> v23FrameId(const ByteVector& id) {
    for (const auto& [v22, v23] : v22FrameIds) {
        if (id == v22)
            return ByteVector(v23);
    }
    return std::nullopt;
}

// The body of a PIC frame as APIC: the three-letter image format becomes a
// MIME type; the picture bytes stay as they are.
ByteVector apicBody(const ByteVector& pic) {
    if (pic.size() < 5)
        return pic;
    ByteVector format = pic.mid(1, 3);
    ByteVector mime = format; // "-->": a link to the picture, not the picture
    if (format == "JPG") {
        mime = "image/jpeg";
    } else if (format != "-->") {
        for (char& c : format)
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        mime = ByteVector("image/") + format;
    }
    ByteVector body = pic.mid(0, 1);
    body.append(mime);
    body.append('\0');
    body.append(pic.mid(4));
    return body;
}

ByteVector v23Frame(const ByteVector& id, const ByteVector& body) {
    ByteVector frame(id);
    frame.append(ByteVector::fromUInt(body.size(), true));
    frame.append(ByteVector(2, '\0'));
    frame.append(body);
    return frame;
}

// The frames of an ID3v2.2 tag's body as ID3v2.3 frames; nothing when a frame
// has no faithful ID3v2.3 form or the body holds bytes that are not frames.
std::optional<std::vector<ByteVector>> v22FramesAsV23(const ByteVector& body, int32_t& refusal) {
    std::vector<ByteVector> frames;
    unsigned int pos = 0;
    while (pos < body.size() && body[pos] != '\0') {
        if (body.size() - pos < 6) {
            refusal = tagsNotReadCompletely;
            return std::nullopt;
        }
        const unsigned int size = body.toUInt(pos + 3, 3U, true);
        if (size > body.size() - pos - 6) {
            refusal = tagsNotReadCompletely;
            return std::nullopt;
        }
        const ByteVector id = body.mid(pos, 3);
        ByteVector content = body.mid(pos + 6, size);
        const std::optional<ByteVector> newId = v23FrameId(id);
        if (!newId) {
            refusal = unsupportedVariant;
            return std::nullopt;
        }
        if (id == "PIC") {
            content = apicBody(content);
        } else if (id == "LNK") {
            // The linked frame's ID is three letters long, too.
            const std::optional<ByteVector> linked =
                content.size() >= 3 ? v23FrameId(content.mid(0, 3)) : std::nullopt;
            if (!linked) {
                refusal = unsupportedVariant;
                return std::nullopt;
            }
            content = *linked + content.mid(3);
        }
        frames.push_back(v23Frame(*newId, content));
        pos += 6 + size;
    }
    return frames;
}

// The tags stored one after the other in bytes, each header and body without
// a footer; trailing bytes that are no tag are left out, as TagLib pads over them.
std::vector<ByteVector> splitTags(const ByteVector& bytes) {
    std::vector<ByteVector> tags;
    for (unsigned int pos = 0; bytes.size() - pos >= headerSize && bytes.containsAt("ID3", pos);) {
        const unsigned int size = SynchData::toUInt(bytes.mid(pos + 6, 4));
        tags.push_back(bytes.mid(pos, headerSize + size));
        const bool footer = bytes[pos + 3] == 4 && (bytes[pos + 5] & footerPresent);
        pos += headerSize + size + (footer ? headerSize : 0);
        if (pos > bytes.size())
            break;
    }
    return tags;
}

// What tells a frame from others with its ID, as readers show them: frames a
// tag holds one of go by their ID alone.
std::string frameKind(const ByteVector& frame, int version) {
    namespace ID3v2 = TagLib::ID3v2;
    const std::string id(frame.data(), 4);
    ID3v2::Header header;
    header.setMajorVersion(static_cast<unsigned int>(version));
    const std::unique_ptr<ID3v2::Frame> parsed(ID3v2::FrameFactory::instance()->createFrame(frame, &header));
    const auto with = [&id](const TagLib::String& a, const TagLib::String& b = {}) {
        return id + '\0' + toUtf8(a) + '\0' + toUtf8(b);
    };
    ID3v2::Frame* f = parsed.get();
    if (auto* text = dynamic_cast<ID3v2::UserTextIdentificationFrame*>(f))
        return with(text->description());
    if (dynamic_cast<ID3v2::TextIdentificationFrame*>(f))
        return id;
    if (auto* comment = dynamic_cast<ID3v2::CommentsFrame*>(f))
        return with(comment->description(), TagLib::String(comment->language()));
    if (auto* lyrics = dynamic_cast<ID3v2::UnsynchronizedLyricsFrame*>(f))
        return with(lyrics->description(), TagLib::String(lyrics->language()));
    if (auto* lyrics = dynamic_cast<ID3v2::SynchronizedLyricsFrame*>(f))
        return with(lyrics->description(), TagLib::String(lyrics->language()));
    if (auto* picture = dynamic_cast<ID3v2::AttachedPictureFrame*>(f))
        return with(picture->description());
    if (auto* object = dynamic_cast<ID3v2::GeneralEncapsulatedObjectFrame*>(f))
        return with(object->description());
    if (auto* url = dynamic_cast<ID3v2::UserUrlLinkFrame*>(f))
        return with(url->description());
    if (auto* identifier = dynamic_cast<ID3v2::UniqueFileIdentifierFrame*>(f))
        return with(identifier->owner());
    if (auto* rating = dynamic_cast<ID3v2::PopularimeterFrame*>(f))
        return with(rating->email());
    // Anything else (private frames, unknown ones) is its own kind unless it is
    // the very same frame.
    return id + '\0' + std::string(frame.data() + headerSize, frame.size() - headerSize);
}

// The frame rendered by TagLib for another version; nothing when TagLib
// cannot take it in.
std::optional<ByteVector> convertFrame(const ByteVector& frame, int from, int to) {
    TagLib::ID3v2::Header header;
    header.setMajorVersion(static_cast<unsigned int>(from));
    const std::unique_ptr<TagLib::ID3v2::Frame> parsed(
        TagLib::ID3v2::FrameFactory::instance()->createFrame(frame, &header));
    if (!parsed || !tagLibReadsFrame(frame, from))
        return std::nullopt;
    return renderFrame(*parsed, to);
}

// The bytes that mark the placeholder tag; random, so they cannot occur elsewhere.
ByteVector newMarker() {
    std::random_device random;
    ByteVector marker;
    for (unsigned int i = 0; i < markerSize / 4; ++i)
        marker.append(ByteVector::fromUInt(random()));
    return marker;
}

} // namespace

bool tagLibReadsFrame(const ByteVector& frame, int version) {
    const unsigned int size = frame.size() - headerSize;
    const bool withLength = version == 4 && (frame[9] & dataLengthIndicator);
    return isFrameId(frame.mid(0, 4), version) && size > (withLength ? 4U : 0U);
}

// The last position at or before `last` (the end when none) where `pattern`
// starts in the file; -1 when there is none. TagLib's File::rfind reads the
// file in blocks that do not overlap and misses a pattern across two of them.
TagLib::offset_t lastPositionOf(TagLib::File& file, const ByteVector& pattern,
                                std::optional<TagLib::offset_t> last = std::nullopt) {
    const auto size = static_cast<TagLib::offset_t>(pattern.size());
    const TagLib::offset_t length = file.length();
    const TagLib::offset_t lastStart = std::min(last.value_or(length - size), length - size);
    if (size == 0 || lastStart < 0)
        return -1;
    constexpr TagLib::offset_t blockSize = 64 * 1024;
    const TagLib::offset_t original = file.tell();
    TagLib::offset_t found = -1;
    // Each block ends where the one after it starts plus the pattern's size less one.
    for (TagLib::offset_t end = lastStart + size; found < 0;) {
        const TagLib::offset_t begin = std::max<TagLib::offset_t>(0, end - blockSize);
        file.seek(begin);
        const ByteVector block = file.readBlock(static_cast<size_t>(end - begin));
        if (static_cast<TagLib::offset_t>(block.size()) != end - begin)
            break;
        if (const int at = block.rfind(pattern); at >= 0)
            found = begin + at;
        else if (begin == 0)
            break;
        end = begin + size - 1;
    }
    file.seek(original);
    return found;
}

std::optional<ByteVector> storedId3v2TagBytes(TagLib::File& file, TagLib::ID3v2::Tag& tag, bool nearEnd) {
    const unsigned int size = tag.header()->tagSize();
    ByteVector pattern("ID3");
    pattern.append(static_cast<char>(tag.header()->majorVersion()));
    TagLib::offset_t at = nearEnd ? lastPositionOf(file, pattern) : file.find(pattern);
    while (at >= 0) {
        file.seek(at);
        const ByteVector header = file.readBlock(headerSize);
        const ByteVector sizeBytes = header.mid(6, 4);
        const bool syncSafe = sizeBytes.size() == 4 && std::none_of(sizeBytes.begin(), sizeBytes.end(),
                                                                    [](char c) { return c & 0x80; });
        const unsigned int stored = syncSafe ? SynchData::toUInt(sizeBytes) : 0;
        // TagLib counts tags stored right behind the first one into its size;
        // they come along, to be merged.
        if (syncSafe && stored > 0 &&
            (stored == size || (stored < size && file.readBlock(stored).size() == stored &&
                                file.readBlock(3) == ByteVector("ID3")))) {
            file.seek(at);
            return file.readBlock(headerSize + size);
        }
        const TagLib::offset_t next =
            nearEnd ? lastPositionOf(file, pattern, at - 1) : file.find(pattern, at + 1);
        if (next == at || (nearEnd && at == 0))
            break;
        at = next;
    }
    return std::nullopt;
}

std::optional<StoredId3v2Tag> parseStoredId3v2Tag(const ByteVector& bytes, int32_t* refusal) {
    int32_t unused = 0;
    int32_t& reason = refusal ? *refusal : unused;
    reason = tagsNotReadCompletely;
    if (bytes.size() < headerSize || !bytes.startsWith("ID3"))
        return std::nullopt;
    StoredId3v2Tag tag;
    const int storedVersion = static_cast<unsigned char>(bytes[3]);
    if (storedVersion < 2 || storedVersion > 4)
        return std::nullopt;
    tag.version = std::max(storedVersion, 3);
    const char flags = bytes[5];
    tag.storedSize = bytes.size();
    ByteVector body = bytes.mid(headerSize);
    if (storedVersion < 4 && (flags & unsynchronisedTag) && canBeUnsynchronised(body))
        body = SynchData::decode(body);
    if (storedVersion == 2) {
        if (flags & extendedHeader) { // a compressed tag: no compression was ever defined for it
            reason = unsupportedVariant;
            return std::nullopt;
        }
        std::optional<std::vector<ByteVector>> frames = v22FramesAsV23(body, reason);
        if (!frames)
            return std::nullopt;
        tag.frames = std::move(*frames);
        while (tag.framesReadByTagLib < tag.frames.size() &&
               tagLibReadsFrame(tag.frames[tag.framesReadByTagLib], tag.version))
            ++tag.framesReadByTagLib;
        return tag;
    }
    tag.experimental = flags & experimentalTag;

    unsigned int pos = 0;
    if (flags & extendedHeader) {
        // ID3v2.3 counts the size field itself out, ID3v2.4 in. The extended
        // header is not kept: its checksum would not fit the new tag.
        const unsigned int size =
            tag.version == 3 ? 4 + body.toUInt(0U, true) : SynchData::toUInt(body.mid(0, 4));
        if (body.size() < 4 || size > body.size())
            return std::nullopt;
        pos = size;
    }

    bool tagLibStopped = false;
    while (pos < body.size() && body[pos] != '\0') { // a zero byte starts the padding
        const unsigned int rest = body.size() - pos;
        const unsigned int size = rest >= headerSize ? frameBodySize(body, pos, tag.version) : 0;
        // Bytes that are neither frames nor padding: what they hold is unknown,
        // so nothing can promise to keep it.
        if (rest < headerSize || size > rest - headerSize)
            return std::nullopt;
        ByteVector frame = body.mid(pos, headerSize + size);
        if (tag.version == 4) {
            // Sizes are written sync-safe, as the version says, so that no reader
            // needs to guess them once frames around have changed.
            const ByteVector syncSafeSize = SynchData::fromUInt(size);
            std::copy(syncSafeSize.begin(), syncSafeSize.end(), frame.begin() + 4);
            // The tag's unsynchronisation flag is not written again; each frame
            // then says so itself.
            if (flags & unsynchronisedTag)
                frame[9] = static_cast<char>(frame[9] | unsynchronisedFrame);
        }
        tagLibStopped = tagLibStopped || !tagLibReadsFrame(frame, tag.version);
        if (!tagLibStopped)
            ++tag.framesReadByTagLib;
        tag.frames.push_back(frame);
        pos += headerSize + size;
    }
    return tag;
}

ByteVector assembleId3v2Tag(const StoredId3v2Tag& layout, const ByteVector& frames) {
    // The tag keeps its size where the frames fit, so that the audio need not move.
    const unsigned int room =
        layout.storedSize > headerSize + frames.size() ? layout.storedSize - headerSize - frames.size() : 0;
    const unsigned int padding = std::max(room, minimumPadding);
    ByteVector tag("ID3");
    tag.append(static_cast<char>(layout.version));
    tag.append('\0');
    tag.append(layout.experimental ? experimentalTag : '\0');
    tag.append(SynchData::fromUInt(frames.size() + padding));
    tag.append(frames);
    tag.append(ByteVector(padding, '\0'));
    return tag;
}

bool mergeId3v2Tags(StoredId3v2Tag& first, const StoredId3v2Tag& later, int32_t& refusal) {
    std::vector<std::string> kinds;
    for (const ByteVector& frame : first.frames)
        kinds.push_back(frameKind(frame, first.version));
    const size_t before = first.frames.size();
    for (const ByteVector& frame : later.frames) {
        const std::optional<ByteVector> converted =
            later.version == first.version ? frame : convertFrame(frame, later.version, first.version);
        if (!converted) {
            refusal = unsupportedVariant;
            return false;
        }
        std::string kind = frameKind(*converted, first.version);
        if (std::find(kinds.begin(), kinds.end(), kind) != kinds.end())
            continue;
        kinds.push_back(std::move(kind));
        first.frames.push_back(*converted);
    }
    if (first.framesReadByTagLib == before) {
        while (first.framesReadByTagLib < first.frames.size() &&
               tagLibReadsFrame(first.frames[first.framesReadByTagLib], first.version))
            ++first.framesReadByTagLib;
    }
    return true;
}

std::optional<Id3v2Rewrite> Id3v2Rewrite::begin(TagLib::File& file, TagLib::ID3v2::Tag& tag, bool nearEnd,
                                                int32_t& refusal) {
    Id3v2Rewrite rewrite;
    refusal = tagsNotReadCompletely;
    if (tag.header()->tagSize() == 0)
        return rewrite; // no tag in the file yet: a new one is ID3v2.4
    const std::optional<ByteVector> bytes = storedId3v2TagBytes(file, tag, nearEnd);
    if (!bytes)
        return std::nullopt;
    for (const ByteVector& one : splitTags(*bytes)) {
        std::optional<StoredId3v2Tag> stored = parseStoredId3v2Tag(one, &refusal);
        if (!stored)
            return std::nullopt;
        if (!rewrite.m_hasTag)
            rewrite.m_stored = std::move(*stored);
        else if (!mergeId3v2Tags(rewrite.m_stored, *stored, refusal))
            return std::nullopt;
        rewrite.m_hasTag = true;
    }
    if (!rewrite.m_hasTag)
        return std::nullopt;
    rewrite.m_stored.storedSize = bytes->size(); // the new tag may take the room of all of them
    return rewrite;
}

bool Id3v2Rewrite::mergeAppendedTag(TagLib::File& file, TagLib::offset_t end, int32_t& refusal) {
    // An ID3v2.4 tag at the end usually has a footer that says where it starts;
    // otherwise the tag is the one whose size reaches exactly to the end.
    const TagLib::offset_t notBefore = m_hasTag ? m_stored.storedSize : 0;
    std::optional<TagLib::offset_t> start;
    const auto tagSizeAt = [&file](TagLib::offset_t at, const char* id) -> std::optional<unsigned int> {
        file.seek(at);
        const ByteVector header = file.readBlock(headerSize);
        if (header.size() < headerSize || !header.startsWith(id) || header[3] < 2 || header[3] > 4 ||
            std::any_of(header.begin() + 6, header.end(), [](char c) { return c & 0x80; }))
            return std::nullopt;
        return SynchData::toUInt(header.mid(6, 4));
    };
    if (end >= 2 * headerSize) {
        if (const std::optional<unsigned int> size = tagSizeAt(end - headerSize, "3DI")) {
            const TagLib::offset_t at = end - 2 * headerSize - *size;
            if (at > notBefore && tagSizeAt(at, "ID3") == size)
                start = at;
        }
    }
    TagLib::offset_t at = end - headerSize;
    for (int tries = 0; !start && at > notBefore && tries < 64; ++tries) {
        at = lastPositionOf(file, "ID3", at);
        if (at <= notBefore)
            break;
        const std::optional<unsigned int> size = tagSizeAt(at, "ID3");
        if (size && at + headerSize + *size == end)
            start = at;
        --at;
    }
    if (!start)
        return true;

    file.seek(*start);
    const ByteVector bytes = file.readBlock(static_cast<unsigned int>(end - *start));
    const std::vector<ByteVector> tags = splitTags(bytes);
    std::optional<StoredId3v2Tag> appended =
        tags.size() == 1 ? parseStoredId3v2Tag(tags.front(), &refusal) : std::nullopt;
    if (!appended)
        return false;
    if (!m_hasTag) {
        m_stored.version = appended->version;
        m_stored.frames = std::move(appended->frames);
        m_stored.framesReadByTagLib = appended->framesReadByTagLib;
        m_hasTag = true;
    } else if (!mergeId3v2Tags(m_stored, *appended, refusal)) {
        return false;
    }
    m_appendedFromEnd = file.length() - *start;
    m_appendedSize = end - *start;
    return true;
}

void Id3v2Rewrite::replace(std::vector<std::string> ids, std::vector<ByteVector> frames,
                           bool plainCommentsOnly) {
    m_changes.push_back({std::move(ids), std::move(frames), plainCommentsOnly, {}});
}

void Id3v2Rewrite::replaceFrames(std::vector<ByteVector> stored, std::vector<ByteVector> frames) {
    m_changes.push_back({{}, std::move(frames), false, std::move(stored)});
}

bool Id3v2Rewrite::isPlainComment(const ByteVector& frame, int version) {
    // Encoding byte, language, then the description up to its terminator;
    // UTF-16 descriptions may start with a byte order mark.
    if ((frame[9] & (version == 3 ? encodedFrameV3 : encodedFrameV4)) || frame.size() < headerSize + 5)
        return false; // compressed, encrypted or grouped: its description is unknown
    const ByteVector body = frame.mid(headerSize);
    const bool wide = body[0] == '\x01' || body[0] == '\x02';
    ByteVector description = body.mid(4, wide ? 4 : 1);
    if (wide && (description.startsWith("\xff\xfe") || description.startsWith("\xfe\xff")))
        description = description.mid(2);
    return wide ? description.startsWith(ByteVector(2, '\0')) : description.startsWith(ByteVector(1, '\0'));
}

const Id3v2Rewrite::Change* Id3v2Rewrite::changeReplacing(const ByteVector& frame) const {
    const std::string id(frame.data(), 4);
    for (const Change& change : m_changes) {
        if (change.ids.empty()) {
            if (std::find(change.storedFrames.begin(), change.storedFrames.end(), frame) !=
                change.storedFrames.end())
                return &change;
        } else if (std::find(change.ids.begin(), change.ids.end(), id) != change.ids.end() &&
                   (!change.plainCommentsOnly || isPlainComment(frame, m_stored.version))) {
            return &change;
        }
    }
    return nullptr;
}

ByteVector Id3v2Rewrite::render() const {
    // A changed field's frames take the place of its first stored frame. A
    // field new to the tag, or whose frames TagLib cannot see, goes behind the
    // frames TagLib reads, so that the file reads back with it.
    const size_t readable = m_stored.framesReadByTagLib;
    std::vector<size_t> positions(m_changes.size(), readable);
    std::vector<bool> kept(m_stored.frames.size(), true);
    for (size_t i = 0; i < m_stored.frames.size(); ++i) {
        if (const Change* change = changeReplacing(m_stored.frames[i])) {
            kept[i] = false;
            size_t& position = positions[static_cast<size_t>(change - m_changes.data())];
            if (i < readable)
                position = std::min(position, i);
        }
    }
    ByteVector content;
    for (size_t i = 0; i <= m_stored.frames.size(); ++i) {
        for (size_t c = 0; c < m_changes.size(); ++c) {
            if (positions[c] == i) {
                for (const ByteVector& frame : m_changes[c].frames)
                    content.append(frame);
            }
        }
        if (i < m_stored.frames.size() && kept[i])
            content.append(m_stored.frames[i]);
    }
    return content.isEmpty() ? ByteVector() : assembleId3v2Tag(m_stored, content);
}

void Id3v2Rewrite::stage(TagLib::ID3v2::Tag& tag) {
    m_final = render();
    // (A copy of the frame list would share TagLib's deleting list, so frames go one by one.)
    while (!tag.frameList().isEmpty())
        tag.removeFrame(tag.frameList().front());
    if (m_final.isEmpty())
        return; // TagLib removes an empty tag

    // TagLib renders the placeholder as header, one frame and 1024 bytes of
    // padding (the padding it picks for a tag that had no size before).
    m_marker = newMarker();
    const unsigned int frameBody = m_final.size() - 2 * headerSize - tagLibPadding;
    ByteVector frame("XCDZ");
    frame.append(SynchData::fromUInt(frameBody));
    frame.append(ByteVector(2, '\0'));
    frame.append(m_marker);
    frame.append(ByteVector(frameBody - m_marker.size(), '\0'));
    tag.header()->setTagSize(0);
    tag.addFrame(new TagLib::ID3v2::UnknownFrame(frame));
}

bool Id3v2Rewrite::finish(TagLib::File& file, bool nearEnd) {
    // The file's tail is as it was, so the appended tag is where it was, counted from the end.
    if (m_appendedSize > 0)
        file.removeBlock(file.length() - m_appendedFromEnd, static_cast<size_t>(m_appendedSize));
    if (m_final.isEmpty())
        return true;
    const TagLib::offset_t at = nearEnd ? lastPositionOf(file, m_marker) : file.find(m_marker);
    if (at < 2 * headerSize)
        return false;
    file.seek(at - 2 * headerSize);
    const ByteVector placeholder = file.readBlock(headerSize);
    if (!placeholder.startsWith("ID3") ||
        SynchData::toUInt(placeholder.mid(6, 4)) != m_final.size() - headerSize)
        return false;
    file.seek(at - 2 * headerSize);
    file.writeBlock(m_final);
    return true;
}

ByteVector renderFrame(TagLib::ID3v2::Frame& frame, int version) {
    frame.header()->setVersion(static_cast<unsigned int>(version));
    return frame.render();
}

} // namespace ctaglib
