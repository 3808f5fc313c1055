#include "BridgeInternal.h"

#include <aifffile.h>
#include <attachedpictureframe.h>
#include <audioproperties.h>
#include <dsffile.h>
#include <fileref.h>
#include <flacfile.h>
#include <flacpicture.h>
#include <id3v2tag.h>
#include <mp4coverart.h>
#include <mp4file.h>
#include <mp4tag.h>
#include <mpegfile.h>
#include <opusfile.h>
#include <tag.h>
#include <tbytevectorstream.h>
#include <unsynchronizedlyricsframe.h>
#include <vorbisfile.h>
#include <wavfile.h>
#include <xiphcomment.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace ctaglib {
namespace {

struct RecordDeleter {
    void operator()(CTagLibTag* tag) const { ctaglib_free_result(tag); }
};
using Record = std::unique_ptr<CTagLibTag, RecordDeleter>;

// A picture as found in the file, before it is copied into C memory.
struct FoundPicture {
    TagLib::ByteVector data;
    TagLib::String mimeType;
    TagLib::String description;
    int type = 0;
};
using Pictures = std::vector<FoundPicture>;

void setNumber(int32_t& field, int32_t& flag, int value) {
    if (value >= 1) {
        field = value;
        flag = 1;
    }
}

// TagLib's generic year and track are unsigned; a negative text number comes
// back wrapped around, which is no year or track.
void setGenericNumber(int32_t& field, int32_t& flag, unsigned int value) {
    if (value != 0 && value <= INT32_MAX)
        setNumber(field, flag, static_cast<int32_t>(value));
}

// ---- ID3v2 (MP3, AIFF, WAV, DSF) ----

const TagLib::ID3v2::Frame* firstFrame(const TagLib::ID3v2::Tag& tag, const char* id) {
    const TagLib::ID3v2::FrameListMap& frames = tag.frameListMap();
    const auto it = frames.find(id);
    return it == frames.end() || it->second.isEmpty() ? nullptr : it->second.front();
}

void readId3v2(const TagLib::ID3v2::Tag* tag, CTagLibTag& record, Pictures& pictures) {
    if (!tag)
        return;
    if (const auto* frame = firstFrame(*tag, "TPE2"))
        record.albumArtist = stringToC(frame->toString());
    if (const auto* frame = firstFrame(*tag, "TCOM"))
        record.composer = stringToC(frame->toString());
    if (const auto* frame = firstFrame(*tag, "TIT1"))
        record.grouping = stringToC(frame->toString());
    if (const auto* frame = firstFrame(*tag, "TBPM")) {
        bool ok = false;
        const int bpm = frame->toString().toInt(&ok);
        if (ok)
            setNumber(record.bpm, record.hasBpm, bpm);
    }
    if (const auto* frame = firstFrame(*tag, "TCMP"))
        record.compilation = frame->toString() == "1" ? 1 : 0;
    if (const auto* frame = firstFrame(*tag, "TRCK")) {
        // The frame decides alone: TagLib's generic track() truncates numbers
        // beyond 32 bits and wraps negative ones instead of rejecting them.
        const Fraction fraction = parseFraction(frame->toString());
        record.track = record.hasTrack = 0;
        setNumber(record.track, record.hasTrack, fraction.number);
        setNumber(record.trackTotal, record.hasTrackTotal, fraction.total);
    }
    if (const auto* frame = firstFrame(*tag, "TPOS")) {
        const Fraction fraction = parseFraction(frame->toString());
        setNumber(record.disc, record.hasDisc, fraction.number);
        setNumber(record.discTotal, record.hasDiscTotal, fraction.total);
    }
    if (const auto* lyrics =
            dynamic_cast<const TagLib::ID3v2::UnsynchronizedLyricsFrame*>(firstFrame(*tag, "USLT")))
        record.lyrics = stringToC(lyrics->text());

    for (const TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
        if (const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame))
            pictures.push_back(
                {picture->picture(), picture->mimeType(), picture->description(), picture->type()});
    }
}

// TagLib stops reading an ID3v2 tag at the first frame it cannot take in (a
// frame of size 0, say), and an ID3v2.3 tag flagged unsynchronised whose frames
// were stored as they are reads as nothing. Other readers skip such a frame
// and read on. The tag's frames are taken apart here instead, the ones TagLib
// cannot take in are left out, and TagLib reads the rest from memory.
class RecoveredId3v2 {
public:
    // Nothing when TagLib read every frame the tag holds.
    static std::unique_ptr<RecoveredId3v2> of(TagLib::File& file, TagLib::ID3v2::Tag* tag, bool nearEnd) {
        if (!tag || tag->header()->tagSize() == 0 || tag->header()->majorVersion() < 3)
            return nullptr;
        const std::optional<TagLib::ByteVector> bytes = storedId3v2TagBytes(file, *tag, nearEnd);
        const std::optional<StoredId3v2Tag> stored = bytes ? parseStoredId3v2Tag(*bytes) : std::nullopt;
        if (!stored)
            return nullptr;
        TagLib::ByteVector frames;
        unsigned int readable = 0;
        for (const TagLib::ByteVector& frame : stored->frames) {
            if (tagLibReadsFrame(frame, stored->version)) {
                frames.append(frame);
                ++readable;
            }
        }
        const unsigned int readByTagLib = tag->frameList().size();
        if (readable <= readByTagLib)
            return nullptr;
        auto recovered =
            std::unique_ptr<RecoveredId3v2>(new RecoveredId3v2(assembleId3v2Tag(*stored, frames)));
        TagLib::ID3v2::Tag* parsed = recovered->tag();
        return parsed && parsed->frameList().size() > readByTagLib ? std::move(recovered) : nullptr;
    }

    TagLib::ID3v2::Tag* tag() { return m_file.ID3v2Tag(); }

private:
    explicit RecoveredId3v2(const TagLib::ByteVector& tagBytes)
        : m_stream(tagBytes)
        , m_file(&m_stream, false) {}

    TagLib::ByteVectorStream m_stream;
    TagLib::MPEG::File m_file;
};

// ---- Xiph comments (FLAC, Ogg Vorbis, Opus) ----

const TagLib::String* firstValue(const TagLib::Ogg::XiphComment& comment, const char* key) {
    const TagLib::Ogg::FieldListMap& fields = comment.fieldListMap();
    const auto it = fields.find(key);
    return it == fields.end() || it->second.isEmpty() ? nullptr : &it->second.front();
}

// Reads a whole-number field. A number field holding "n/total" (a common way
// of writing TRACKNUMBER and DISCNUMBER) gives its number, and its total when
// the file has no separate total field; dropping such values would delete
// them from the file on the next save.
void readXiphNumber(const TagLib::Ogg::XiphComment& comment, const char* key, const char* totalKey,
                    int32_t& field, int32_t& flag, int32_t* total = nullptr, int32_t* totalFlag = nullptr) {
    const TagLib::String* value = firstValue(comment, key);
    if (!value)
        return;
    bool ok = false;
    const int number = value->toInt(&ok);
    if (ok) {
        setNumber(field, flag, number);
    } else if (total && value->find("/") >= 0) {
        const Fraction fraction = parseFraction(*value);
        setNumber(field, flag, fraction.number);
        if (!firstValue(comment, totalKey))
            setNumber(*total, *totalFlag, fraction.total);
    }
}

void readXiph(TagLib::Ogg::XiphComment* comment, CTagLibTag& record, Pictures* pictures) {
    if (!comment)
        return;
    if (const auto* value = firstValue(*comment, "ALBUMARTIST"))
        record.albumArtist = stringToC(*value);
    if (const auto* value = firstValue(*comment, "COMPOSER"))
        record.composer = stringToC(*value);
    if (const auto* value = firstValue(*comment, "GROUPING"))
        record.grouping = stringToC(*value);
    if (const auto* value = firstValue(*comment, "LYRICS"))
        record.lyrics = stringToC(*value);
    readXiphNumber(*comment, "BPM", nullptr, record.bpm, record.hasBpm);
    if (const auto* value = firstValue(*comment, "COMPILATION"))
        record.compilation = *value == "1" ? 1 : 0;
    readXiphNumber(*comment, "TRACKNUMBER", "TRACKTOTAL", record.track, record.hasTrack, &record.trackTotal,
                   &record.hasTrackTotal);
    readXiphNumber(*comment, "TRACKTOTAL", nullptr, record.trackTotal, record.hasTrackTotal);
    readXiphNumber(*comment, "DISCNUMBER", "DISCTOTAL", record.disc, record.hasDisc, &record.discTotal,
                   &record.hasDiscTotal);
    readXiphNumber(*comment, "DISCTOTAL", nullptr, record.discTotal, record.hasDiscTotal);

    if (pictures) {
        for (const TagLib::FLAC::Picture* picture : comment->pictureList())
            pictures->push_back(
                {picture->data(), picture->mimeType(), picture->description(), picture->type()});
    }
}

void readFlacPictures(TagLib::FLAC::File& file, Pictures& pictures) {
    for (const TagLib::FLAC::Picture* picture : file.pictureList())
        pictures.push_back({picture->data(), picture->mimeType(), picture->description(), picture->type()});
}

// ---- MP4 ----

const TagLib::MP4::Item* findItem(const TagLib::MP4::ItemMap& items, const char* name) {
    const auto it = items.find(TagLib::String(name, TagLib::String::Latin1));
    return it == items.end() ? nullptr : &it->second;
}

// MP4 keeps track and disc numbers and the BPM as unsigned 16-bit numbers;
// TagLib reads them signed, so that 32768 to 65535 come back negative.
int unsigned16(int value) {
    return value & 0xFFFF;
}

char* firstString(const TagLib::MP4::Item& item) {
    const TagLib::StringList strings = item.toStringList();
    return strings.isEmpty() ? nullptr : stringToC(strings.front());
}

const char* coverMimeType(TagLib::MP4::CoverArt::Format format) {
    switch (format) {
    case TagLib::MP4::CoverArt::GIF:
        return "image/gif";
    case TagLib::MP4::CoverArt::PNG:
        return "image/png";
    case TagLib::MP4::CoverArt::BMP:
        return "image/bmp";
    default:
        return "image/jpeg";
    }
}

void readMp4(const TagLib::MP4::Tag* tag, CTagLibTag& record, Pictures& pictures) {
    if (!tag)
        return;
    const TagLib::MP4::ItemMap& items = tag->itemMap();
    if (const auto* item = findItem(items, "aART"))
        record.albumArtist = firstString(*item);
    else if (const auto* artist = findItem(items, "\251ART"))
        record.albumArtist = firstString(*artist);
    if (const auto* item = findItem(items, "\251wrt"))
        record.composer = firstString(*item);
    if (const auto* item = findItem(items, "tmpo"))
        setNumber(record.bpm, record.hasBpm, unsigned16(item->toInt()));
    if (const auto* item = findItem(items, "\251grp"))
        record.grouping = firstString(*item);
    if (const auto* item = findItem(items, "\251lyr"))
        record.lyrics = firstString(*item);
    // TagLib reads "cpil" as a boolean item; toBool() is its accessor.
    if (const auto* item = findItem(items, "cpil"))
        record.compilation = item->toBool() ? 1 : 0;
    if (const auto* item = findItem(items, "trkn")) {
        const TagLib::MP4::Item::IntPair pair = item->toIntPair();
        setNumber(record.track, record.hasTrack, unsigned16(pair.first));
        setNumber(record.trackTotal, record.hasTrackTotal, unsigned16(pair.second));
    }
    if (const auto* item = findItem(items, "disk")) {
        const TagLib::MP4::Item::IntPair pair = item->toIntPair();
        setNumber(record.disc, record.hasDisc, unsigned16(pair.first));
        setNumber(record.discTotal, record.hasDiscTotal, unsigned16(pair.second));
    }
    if (const auto* item = findItem(items, "covr")) {
        for (const TagLib::MP4::CoverArt& cover : item->toCoverArtList())
            pictures.push_back({cover.data(), coverMimeType(cover.format()), {}, 3});
    }
}

// ---- Assembly ----

void copyPictures(const Pictures& found, CTagLibTag& record) {
    if (found.empty())
        return;
    auto* array = static_cast<CTagLibArtwork*>(std::calloc(found.size(), sizeof(CTagLibArtwork)));
    if (!array)
        return;
    int32_t count = 0;
    for (const FoundPicture& picture : found) {
        const size_t size = picture.data.size();
        auto* bytes = static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1));
        if (!bytes)
            continue;
        if (size > 0)
            std::memcpy(bytes, picture.data.data(), size);
        CTagLibArtwork& element = array[count++];
        element.data = bytes;
        element.size = size;
        element.mimeType = stringToC(picture.mimeType);
        element.description = stringToC(picture.description);
        element.pictureType = picture.type;
    }
    if (count == 0) {
        std::free(array);
        return;
    }
    record.artwork = array;
    record.artworkCount = count;
}

// The generic fields of a tag that was read again in part: its values come
// first, the file's other tags (ID3v1, say) fill what it leaves empty, as in
// TagLib's own union of a file's tags.
void readRecoveredGeneric(const TagLib::Tag& recovered, const TagLib::String& comment,
                          const TagLib::Tag& file, CTagLibTag& record) {
    const auto pick = [](char*& field, const TagLib::String& first, const TagLib::String& second) {
        std::free(field);
        field = stringToC(first.isEmpty() ? second : first);
    };
    pick(record.title, recovered.title(), file.title());
    pick(record.artist, recovered.artist(), file.artist());
    pick(record.album, recovered.album(), file.album());
    pick(record.genre, recovered.genre(), file.genre());
    if (!comment.isEmpty())
        pick(record.comment, comment, {});
    setGenericNumber(record.year, record.hasYear, recovered.year());
    setGenericNumber(record.track, record.hasTrack, recovered.track());
    record.readInPart = 1;
}

// Reads an ID3v2 tag; when TagLib read it only in part, what other readers
// recover of it.
void readId3v2Tag(TagLib::File& file, TagLib::ID3v2::Tag* tag, bool nearEnd, TagLib::Tag& generic,
                  CTagLibTag& record, Pictures& pictures) {
    const std::unique_ptr<RecoveredId3v2> recovered = RecoveredId3v2::of(file, tag, nearEnd);
    if (!recovered) {
        readId3v2(tag, record, pictures);
        return;
    }
    TagLib::ID3v2::Tag* again = recovered->tag();
    readRecoveredGeneric(*again, plainComment(again), generic, record);
    readId3v2(again, record, pictures);
}

// Reads a FLAC file's Vorbis comment; when its block header states a wrong
// length, the comment by its own length fields, as other readers do.
void readFlacComment(TagLib::FLAC::File& file, TagLib::Tag& generic, CTagLibTag& record) {
    const std::optional<TagLib::ByteVector> bytes =
        flacCommentReadCompletely(file) ? std::nullopt : flacCommentByItsOwnLength(file);
    if (!bytes) {
        readXiph(file.xiphComment(false), record, nullptr);
        return;
    }
    TagLib::Ogg::XiphComment comment(*bytes);
    readRecoveredGeneric(comment, comment.comment(), generic, record);
    readXiph(&comment, record, nullptr);
}

Record errorRecord(const ReadFailure& failure) {
    Record record(static_cast<CTagLibTag*>(std::calloc(1, sizeof(CTagLibTag))));
    if (!record)
        return nullptr;
    record->errorCode = failure.code;
    record->error = duplicate(failure.text);
    // A record without its error text would look like an empty success.
    return record->error ? std::move(record) : nullptr;
}

} // namespace

CTagLibTag* readFile(const char* path) {
    const TagLib::FileRef ref(path, true, TagLib::AudioProperties::Average);
    if (ref.isNull() || !hasAudioContent(ref.file()))
        return errorRecord(whyUnreadable(path)).release();
    TagLib::Tag* tag = ref.tag();
    if (!tag)
        return errorRecord({CTAGLIB_FAILED, "No tag found"}).release();

    Record record(static_cast<CTagLibTag*>(std::calloc(1, sizeof(CTagLibTag))));
    if (!record)
        return nullptr;
    CTagLibTag& r = *record;
    r.compilation = -1;

    TagLib::File* file = ref.file();
    r.title = stringToC(tag->title());
    r.artist = stringToC(tag->artist());
    r.album = stringToC(tag->album());
    r.comment = stringToC(readComment(file, tag));
    r.genre = stringToC(tag->genre());
    setGenericNumber(r.year, r.hasYear, tag->year());
    setGenericNumber(r.track, r.hasTrack, tag->track());

    Pictures pictures;
    const char* fileType = "Unknown";
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
        fileType = "MP3";
        readId3v2Tag(*mpeg, mpeg->ID3v2Tag(false), false, *tag, r, pictures);
    } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
        fileType = "FLAC";
        readFlacComment(*flac, *tag, r);
        readFlacPictures(*flac, pictures);
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
        fileType = "MP4";
        readMp4(mp4->tag(), r, pictures);
    } else if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file)) {
        fileType = "AIFF";
        readId3v2Tag(*aiff, aiff->tag(), true, *tag, r, pictures);
    } else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file)) {
        fileType = "WAV";
        readId3v2Tag(*wav, wav->ID3v2Tag(), true, *tag, r, pictures);
    } else if (auto* dsf = dynamic_cast<TagLib::DSF::File*>(file)) {
        fileType = "DSF";
        readId3v2Tag(*dsf, dsf->tag(), true, *tag, r, pictures);
    } else if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file)) {
        fileType = "OGG";
        readXiph(vorbis->tag(), r, &pictures);
    } else if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(file)) {
        fileType = "OPUS";
        readXiph(opus->tag(), r, &pictures);
    }
    r.fileType = duplicate(fileType);

    if (const TagLib::AudioProperties* properties = ref.audioProperties()) {
        r.duration = properties->lengthInSeconds();
        r.bitrate = properties->bitrate();
        r.sampleRate = properties->sampleRate();
        r.channels = properties->channels();
        r.codec = r.fileType;
    }

    copyPictures(pictures, r);
    return record.release();
}

} // namespace ctaglib
