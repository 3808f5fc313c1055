#include "BridgeInternal.h"

#include <aifffile.h>
#include <apetag.h>
#include <attachedpictureframe.h>
#include <audioproperties.h>
#include <dsffile.h>
#include <fileref.h>
#include <flacfile.h>
#include <flacpicture.h>
#include <id3v1genres.h>
#include <id3v2tag.h>
#include <mp4coverart.h>
#include <mp4file.h>
#include <mp4tag.h>
#include <mpegfile.h>
#include <opusfile.h>
#include <tag.h>
#include <tbytevectorstream.h>
#include <textidentificationframe.h>
#include <tpropertymap.h>
#include <unsynchronizedlyricsframe.h>
#include <vorbisfile.h>
#include <wavfile.h>
#include <xiphcomment.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
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

// A text field with every value of its item; nothing changes when the item
// holds no text, so that what the file's other tags hold stays.
void setValues(char*& field, const TagLib::StringList& values) {
    const TagLib::String joined = joinValues(values);
    if (joined.isEmpty())
        return;
    std::free(field);
    field = stringToC(joined);
}

void setText(char*& field, const TagLib::String& text) {
    std::free(field);
    field = stringToC(text);
}

// The items of a main tag other than the fields and pictures, by TagLib's
// property names; see isFieldKey().
void addProperties(TagLib::PropertyMap& into, const TagLib::PropertyMap& found, MainTag tag) {
    for (const auto& [key, values] : found) {
        if (!isFieldKey(key, tag) && !into.contains(key) && !joinValues(values).isEmpty())
            into.insert(key, values);
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

// Every value of the first text frame with the ID.
TagLib::StringList frameValues(const TagLib::ID3v2::Tag& tag, const char* id) {
    const auto* frame = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(firstFrame(tag, id));
    return frame ? frame->fieldList() : TagLib::StringList();
}

// The genres of "TCON", ID3v1 genre numbers as their names, as TagLib's
// generic genre() gives them, but each its own value.
TagLib::StringList genres(const TagLib::ID3v2::Tag& tag) {
    TagLib::StringList genres;
    for (TagLib::String genre : frameValues(tag, "TCON")) {
        bool ok = false;
        const int number = genre.toInt(&ok);
        if (ok && number >= 0 && number <= 255)
            genre = TagLib::ID3v1::genre(number);
        if (!genre.isEmpty() && !genres.contains(genre))
            genres.append(genre);
    }
    return genres;
}

void readId3v2(const TagLib::ID3v2::Tag* tag, CTagLibTag& record, Pictures& pictures) {
    if (!tag)
        return;
    setValues(record.title, frameValues(*tag, "TIT2"));
    setValues(record.artist, frameValues(*tag, "TPE1"));
    setValues(record.album, frameValues(*tag, "TALB"));
    setValues(record.genre, genres(*tag));
    setValues(record.albumArtist, frameValues(*tag, "TPE2"));
    setValues(record.composer, frameValues(*tag, "TCOM"));
    setValues(record.grouping, frameValues(*tag, "TIT1"));
    // TagLib reads an ID3v2.3 year, day and time (TYER, TDAT, TIME) as one "TDRC" date.
    if (const TagLib::StringList date = frameValues(*tag, "TDRC"); !date.isEmpty())
        setText(record.yearText, date.front());
    if (const auto* frame = firstFrame(*tag, "TBPM")) {
        bool ok = false;
        const int bpm = frame->toString().toInt(&ok);
        if (ok)
            setNumber(record.bpm, record.hasBpm, bpm);
        setText(record.bpmText, frame->toString().stripWhiteSpace());
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
        setText(record.trackText, fraction.numberText);
        setText(record.trackTotalText, fraction.totalText);
    }
    if (const auto* frame = firstFrame(*tag, "TPOS")) {
        const Fraction fraction = parseFraction(frame->toString());
        setNumber(record.disc, record.hasDisc, fraction.number);
        setNumber(record.discTotal, record.hasDiscTotal, fraction.total);
        setText(record.discText, fraction.numberText);
        setText(record.discTotalText, fraction.totalText);
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

// The first value of the first of the keys the comment holds.
const TagLib::String* firstValue(const TagLib::Ogg::XiphComment& comment,
                                 std::initializer_list<const char*> keys) {
    const TagLib::Ogg::FieldListMap& fields = comment.fieldListMap();
    for (const char* key : keys) {
        const auto it = fields.find(key);
        if (it != fields.end() && !it->second.isEmpty())
            return &it->second.front();
    }
    return nullptr;
}

TagLib::StringList xiphValues(const TagLib::Ogg::XiphComment& comment, const char* key) {
    return comment.fieldListMap().value(key);
}

// A whole number of its own key; the text as stored.
void readXiphNumber(const TagLib::String* value, int32_t& field, int32_t& flag, char*& text) {
    if (!value)
        return;
    bool ok = false;
    const int number = value->toInt(&ok);
    if (ok)
        setNumber(field, flag, number);
    setText(text, value->stripWhiteSpace());
}

// A number and its total. A number field holding "n/total" (a common way of
// writing TRACKNUMBER and DISCNUMBER) gives its number, and its total when the
// file has no separate total field; dropping such values would delete them
// from the file on the next save. The total has two spellings in use.
struct XiphPair {
    const char* numberKey;
    std::initializer_list<const char*> totalKeys;
    int32_t CTagLibTag::*number;
    int32_t CTagLibTag::*hasNumber;
    char* CTagLibTag::*numberText;
    int32_t CTagLibTag::*total;
    int32_t CTagLibTag::*hasTotal;
    char* CTagLibTag::*totalText;
};

void readXiphPair(const TagLib::Ogg::XiphComment& comment, CTagLibTag& r, const XiphPair& pair) {
    const TagLib::String* total = firstValue(comment, pair.totalKeys);
    readXiphNumber(total, r.*pair.total, r.*pair.hasTotal, r.*pair.totalText);
    const TagLib::String* value = firstValue(comment, {pair.numberKey});
    if (!value || value->find("/") < 0) {
        readXiphNumber(value, r.*pair.number, r.*pair.hasNumber, r.*pair.numberText);
        return;
    }
    const Fraction fraction = parseFraction(*value);
    setNumber(r.*pair.number, r.*pair.hasNumber, fraction.number);
    setText(r.*pair.numberText, fraction.numberText);
    if (!total) {
        setNumber(r.*pair.total, r.*pair.hasTotal, fraction.total);
        setText(r.*pair.totalText, fraction.totalText);
    }
}

void readXiph(TagLib::Ogg::XiphComment* comment, CTagLibTag& record, Pictures* pictures) {
    if (!comment)
        return;
    setValues(record.title, xiphValues(*comment, "TITLE"));
    setValues(record.artist, xiphValues(*comment, "ARTIST"));
    setValues(record.album, xiphValues(*comment, "ALBUM"));
    setValues(record.genre, xiphValues(*comment, "GENRE"));
    // TagLib's generic comment is DESCRIPTION where the file has one.
    const TagLib::StringList description = xiphValues(*comment, "DESCRIPTION");
    setValues(record.comment, description.isEmpty() ? xiphValues(*comment, "COMMENT") : description);
    setValues(record.albumArtist, xiphValues(*comment, "ALBUMARTIST"));
    setValues(record.composer, xiphValues(*comment, "COMPOSER"));
    setValues(record.grouping, xiphValues(*comment, "GROUPING"));
    setValues(record.lyrics, xiphValues(*comment, "LYRICS"));
    if (const TagLib::String* date = firstValue(*comment, {"DATE", "YEAR"}))
        setText(record.yearText, *date);
    readXiphNumber(firstValue(*comment, {"BPM"}), record.bpm, record.hasBpm, record.bpmText);
    if (const auto* value = firstValue(*comment, {"COMPILATION"}))
        record.compilation = *value == "1" ? 1 : 0;
    using R = CTagLibTag;
    readXiphPair(*comment, record,
                 {"TRACKNUMBER",
                  {"TRACKTOTAL", "TOTALTRACKS"},
                  &R::track,
                  &R::hasTrack,
                  &R::trackText,
                  &R::trackTotal,
                  &R::hasTrackTotal,
                  &R::trackTotalText});
    readXiphPair(*comment, record,
                 {"DISCNUMBER",
                  {"DISCTOTAL", "TOTALDISCS"},
                  &R::disc,
                  &R::hasDisc,
                  &R::discText,
                  &R::discTotal,
                  &R::hasDiscTotal,
                  &R::discTotalText});

    if (pictures) {
        for (const TagLib::FLAC::Picture* picture : comment->pictureList())
            pictures->push_back(
                {picture->data(), picture->mimeType(), picture->description(), picture->type()});
    }
}

void readXiphTag(TagLib::Ogg::XiphComment* comment, CTagLibTag& record, Pictures* pictures,
                 TagLib::PropertyMap& properties) {
    readXiph(comment, record, pictures);
    if (comment)
        addProperties(properties, comment->properties(), MainTag::xiph);
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
    const auto values = [&items](const char* name) {
        const TagLib::MP4::Item* item = findItem(items, name);
        return item ? item->toStringList() : TagLib::StringList();
    };
    setValues(record.title, values("\251nam"));
    setValues(record.artist, values("\251ART"));
    setValues(record.album, values("\251alb"));
    setValues(record.genre, values("\251gen"));
    setValues(record.comment, values("\251cmt"));
    setValues(record.albumArtist, findItem(items, "aART") ? values("aART") : values("\251ART"));
    setValues(record.composer, values("\251wrt"));
    setValues(record.grouping, values("\251grp"));
    setValues(record.lyrics, values("\251lyr"));
    if (const TagLib::StringList date = values("\251day"); !date.isEmpty())
        setText(record.yearText, date.front());
    if (const auto* item = findItem(items, "tmpo"))
        setNumber(record.bpm, record.hasBpm, unsigned16(item->toInt()));
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

// ---- Other items ----

void copyProperties(const TagLib::PropertyMap& properties, CTagLibTag& record) {
    if (properties.isEmpty())
        return;
    auto* array = static_cast<CTagLibProperty*>(std::calloc(properties.size(), sizeof(CTagLibProperty)));
    if (!array)
        return;
    int32_t count = 0;
    for (const auto& [key, values] : properties) {
        CTagLibProperty& property = array[count];
        property.key = duplicate(toUtf8(key).c_str());
        property.value = stringToC(joinValues(values));
        if (!property.key || !property.value) {
            std::free(property.key);
            std::free(property.value);
            property = {};
            continue;
        }
        ++count;
    }
    if (count == 0) {
        std::free(array);
        return;
    }
    record.properties = array;
    record.propertyCount = count;
}

// A numeric field read only through TagLib's generic interface (ID3v1,
// DSDIFF) has the number's text.
void fillNumberText(char*& text, int32_t present, int32_t value) {
    if (!text && present)
        text = stringToC(TagLib::String::number(value));
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
                  CTagLibTag& record, Pictures& pictures, TagLib::PropertyMap& properties) {
    const std::unique_ptr<RecoveredId3v2> recovered = RecoveredId3v2::of(file, tag, nearEnd);
    if (recovered) {
        tag = recovered->tag();
        readRecoveredGeneric(*tag, plainComment(tag), generic, record);
    }
    readId3v2(tag, record, pictures);
    if (tag)
        addProperties(properties, tag->properties(), MainTag::id3v2);
}

// Reads a FLAC file's Vorbis comment; when its block header states a wrong
// length, the comment by its own length fields, as other readers do.
void readFlacComment(TagLib::FLAC::File& file, TagLib::Tag& generic, CTagLibTag& record,
                     TagLib::PropertyMap& properties) {
    const std::optional<TagLib::ByteVector> bytes =
        flacCommentReadCompletely(file) ? std::nullopt : flacCommentByItsOwnLength(file);
    if (!bytes) {
        readXiphTag(file.xiphComment(false), record, nullptr, properties);
        return;
    }
    TagLib::Ogg::XiphComment comment(*bytes);
    readRecoveredGeneric(comment, comment.comment(), generic, record);
    readXiphTag(&comment, record, nullptr, properties);
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
    TagLib::PropertyMap properties;
    const char* fileType = "Unknown";
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
        fileType = "MP3";
        readId3v2Tag(*mpeg, mpeg->ID3v2Tag(false), false, *tag, r, pictures, properties);
        // Items of an APE tag beside it that the ID3v2 tag has no item of (read only).
        if (mpeg->hasAPETag())
            addProperties(properties, mpeg->APETag()->properties(), MainTag::ape);
    } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
        fileType = "FLAC";
        readFlacComment(*flac, *tag, r, properties);
        readFlacPictures(*flac, pictures);
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
        fileType = "MP4";
        readMp4(mp4->tag(), r, pictures);
        if (mp4->tag())
            addProperties(properties, mp4->tag()->properties(), MainTag::mp4);
    } else if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file)) {
        fileType = "AIFF";
        readId3v2Tag(*aiff, aiff->tag(), true, *tag, r, pictures, properties);
    } else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file)) {
        fileType = "WAV";
        readId3v2Tag(*wav, wav->ID3v2Tag(), true, *tag, r, pictures, properties);
    } else if (auto* dsf = dynamic_cast<TagLib::DSF::File*>(file)) {
        fileType = "DSF";
        readId3v2Tag(*dsf, dsf->tag(), true, *tag, r, pictures, properties);
    } else if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file)) {
        fileType = "OGG";
        readXiphTag(vorbis->tag(), r, &pictures, properties);
    } else if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(file)) {
        fileType = "OPUS";
        readXiphTag(opus->tag(), r, &pictures, properties);
    }
    r.fileType = duplicate(fileType);

    if (const TagLib::AudioProperties* properties = ref.audioProperties()) {
        r.duration = properties->lengthInSeconds();
        r.bitrate = properties->bitrate();
        r.sampleRate = properties->sampleRate();
        r.channels = properties->channels();
        r.codec = r.fileType;
    }

    fillNumberText(r.yearText, r.hasYear, r.year);
    fillNumberText(r.trackText, r.hasTrack, r.track);
    fillNumberText(r.trackTotalText, r.hasTrackTotal, r.trackTotal);
    fillNumberText(r.discText, r.hasDisc, r.disc);
    fillNumberText(r.discTotalText, r.hasDiscTotal, r.discTotal);
    fillNumberText(r.bpmText, r.hasBpm, r.bpm);

    copyPictures(pictures, r);
    copyProperties(properties, r);
    return record.release();
}

} // namespace ctaglib
