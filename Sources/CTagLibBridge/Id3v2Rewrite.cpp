#include "BridgeInternal.h"

#include <id3v2frame.h>
#include <id3v2header.h>
#include <id3v2synchdata.h>
#include <id3v2tag.h>
#include <tfile.h>
#include <unknownframe.h>

#include <algorithm>
#include <random>

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

// Tag header flags.
constexpr char unsynchronisedTag = '\x80';
constexpr char extendedHeader = '\x40';
constexpr char experimentalTag = '\x20';
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

std::optional<ByteVector> storedId3v2TagBytes(TagLib::File& file, TagLib::ID3v2::Tag& tag, bool nearEnd) {
    const unsigned int size = tag.header()->tagSize();
    ByteVector pattern("ID3");
    pattern.append(static_cast<char>(tag.header()->majorVersion()));
    TagLib::offset_t at = nearEnd ? file.rfind(pattern) : file.find(pattern);
    while (at >= 0) {
        file.seek(at);
        const ByteVector header = file.readBlock(headerSize);
        const ByteVector sizeBytes = header.mid(6, 4);
        const bool syncSafe = sizeBytes.size() == 4 && std::none_of(sizeBytes.begin(), sizeBytes.end(),
                                                                    [](char c) { return c & 0x80; });
        const unsigned int stored = syncSafe ? SynchData::toUInt(sizeBytes) : 0;
        // TagLib counts duplicate tags right behind the first one into its size.
        if (syncSafe && stored > 0 &&
            (stored == size || (stored < size && file.readBlock(stored).size() == stored &&
                                file.readBlock(3) == ByteVector("ID3")))) {
            file.seek(at);
            return file.readBlock(headerSize + stored);
        }
        const TagLib::offset_t next = nearEnd ? file.rfind(pattern, at) : file.find(pattern, at + 1);
        if (next == at || (nearEnd && at == 0))
            break;
        at = next;
    }
    return std::nullopt;
}

std::optional<StoredId3v2Tag> parseStoredId3v2Tag(const ByteVector& bytes) {
    if (bytes.size() < headerSize || !bytes.startsWith("ID3"))
        return std::nullopt;
    StoredId3v2Tag tag;
    tag.version = static_cast<unsigned char>(bytes[3]);
    if (tag.version != 3 && tag.version != 4)
        return std::nullopt;
    const char flags = bytes[5];
    tag.experimental = flags & experimentalTag;
    tag.storedSize = bytes.size();
    ByteVector body = bytes.mid(headerSize);
    if (tag.version == 3 && (flags & unsynchronisedTag) && canBeUnsynchronised(body))
        body = SynchData::decode(body);

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

std::optional<Id3v2Rewrite> Id3v2Rewrite::begin(TagLib::File& file, TagLib::ID3v2::Tag& tag, bool nearEnd) {
    Id3v2Rewrite rewrite;
    if (tag.header()->tagSize() == 0)
        return rewrite; // no tag in the file yet: a new one is ID3v2.4
    if (tag.header()->majorVersion() < 3) {
        // TagLib reads ID3v2.2 frames as ID3v2.4 ones and writes them so.
        for (TagLib::ID3v2::Frame* frame : tag.frameList())
            rewrite.m_stored.frames.push_back(renderFrame(*frame, 4));
        rewrite.m_stored.framesReadByTagLib = rewrite.m_stored.frames.size();
        return rewrite;
    }
    const std::optional<ByteVector> bytes = storedId3v2TagBytes(file, tag, nearEnd);
    if (!bytes)
        return std::nullopt;
    std::optional<StoredId3v2Tag> stored = parseStoredId3v2Tag(*bytes);
    if (!stored)
        return std::nullopt;
    rewrite.m_stored = std::move(*stored);
    return rewrite;
}

void Id3v2Rewrite::replace(std::vector<std::string> ids, std::vector<ByteVector> frames,
                           bool plainCommentsOnly) {
    m_changes.push_back({std::move(ids), std::move(frames), plainCommentsOnly});
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
        if (std::find(change.ids.begin(), change.ids.end(), id) != change.ids.end() &&
            (!change.plainCommentsOnly || isPlainComment(frame, m_stored.version)))
            return &change;
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
    if (m_final.isEmpty())
        return true;
    const TagLib::offset_t at = nearEnd ? file.rfind(m_marker) : file.find(m_marker);
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
