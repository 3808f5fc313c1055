// The C entry points. They keep TagLib's C++ world (and its exceptions, such
// as std::bad_alloc) from crossing into C callers.
#include "BridgeInternal.h"

#include <attachedpictureframe.h>
#include <commentsframe.h>
#include <id3v2tag.h>
#include <mp4file.h>
#include <mp4itemfactory.h>
#include <mpegfile.h>
#include <tbytevectorstream.h>
#include <textidentificationframe.h>
#include <tpropertymap.h>

#include <cstdlib>
#include <new>

namespace ctaglib {
namespace {

TagLib::ByteVector mp4Atom(const char* name, const TagLib::ByteVector& payload) {
    TagLib::ByteVector atom = TagLib::ByteVector::fromUInt(8 + payload.size());
    atom.append(TagLib::ByteVector(name, 4));
    atom.append(payload);
    return atom;
}

TagLib::ByteVector mp4Data(unsigned int type, const TagLib::ByteVector& value) {
    TagLib::ByteVector payload = TagLib::ByteVector::fromUInt(type);
    payload.append(TagLib::ByteVector::fromUInt(0));
    payload.append(value);
    return mp4Atom("data", payload);
}

// Parses a small ID3v2 tag through the frame factory, as a read would.
void parseId3v2InMemory() {
    TagLib::ID3v2::Tag tag;
    tag.setTitle("x");
    tag.setComment("x");
    auto* people = new TagLib::ID3v2::TextIdentificationFrame("TIPL", TagLib::String::UTF8);
    people->setText(TagLib::StringList{"producer", "x"});
    tag.addFrame(people);
    auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
    picture->setPicture(TagLib::ByteVector("x", 1));
    tag.addFrame(picture);

    TagLib::ByteVectorStream stream(tag.render());
    TagLib::MPEG::File file(&stream, false);
    if (TagLib::ID3v2::Tag* parsed = file.ID3v2Tag())
        (void)parsed->properties();
}

// Parses a small MP4 item list through the item factory, as a read would.
void parseMp4InMemory() {
    TagLib::ByteVector pair(8, '\0');
    pair[3] = 1;
    TagLib::ByteVector items = mp4Atom("\251nam", mp4Data(1, "x"));
    items.append(mp4Atom("trkn", mp4Data(0, pair)));
    items.append(mp4Atom("cpil", mp4Data(21, TagLib::ByteVector(1, '\1'))));
    items.append(mp4Atom("covr", mp4Data(13, "x")));
    TagLib::ByteVector handler(8, '\0');
    handler.append("mdir");
    handler.append(TagLib::ByteVector(13, '\0'));
    TagLib::ByteVector meta = TagLib::ByteVector::fromUInt(0);
    meta.append(mp4Atom("hdlr", handler));
    meta.append(mp4Atom("ilst", items));
    TagLib::ByteVector bytes = mp4Atom("ftyp", TagLib::ByteVector("M4A \0\0\0\0M4A ", 12));
    bytes.append(mp4Atom("moov", mp4Atom("udta", mp4Atom("meta", meta))));

    TagLib::ByteVectorStream stream(bytes);
    TagLib::MP4::File file(&stream, false);
    if (TagLib::MP4::Tag* parsed = file.tag())
        (void)parsed->properties();
}

} // namespace

void warmUpTagLib() {
    // A function-local static is initialised exactly once, and other threads
    // wait for it, so this is the only synchronisation the bridge needs.
    static const bool warmedUp = [] {
        try {
            // The tables known to be filled lazily in TagLib 2.0.x ...
            (void)TagLib::ID3v2::TextIdentificationFrame::involvedPeopleMap();
            TagLib::MP4::ItemFactory* factory = TagLib::MP4::ItemFactory::instance();
            (void)factory->propertyKeyForName("\251nam");
            (void)factory->nameForPropertyKey("TITLE");
            (void)factory->itemFromProperty("TITLE", TagLib::StringList("x"));
            // ... and whatever else the read paths touch first in other 2.x versions.
            parseId3v2InMemory();
            parseMp4InMemory();
        } catch (...) {
            // Out of memory this early: the reads will fail on their own.
        }
        return true;
    }();
    (void)warmedUp;
}

} // namespace ctaglib

extern "C" {

CTagLibTag* ctaglib_read(const char* path) {
    if (!path)
        return nullptr;
    try {
        ctaglib::warmUpTagLib();
        return ctaglib::readFile(path);
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (...) {
        auto* record = static_cast<CTagLibTag*>(std::calloc(1, sizeof(CTagLibTag)));
        if (record && !(record->error = ctaglib::duplicate("Could not open file"))) {
            std::free(record);
            record = nullptr;
        }
        if (record)
            record->errorCode = CTAGLIB_FAILED;
        return record;
    }
}

void ctaglib_free_result(CTagLibTag* tag) {
    if (!tag)
        return;
    for (char* text : {tag->title, tag->artist, tag->album, tag->albumArtist, tag->composer, tag->genre,
                       tag->comment, tag->lyrics, tag->grouping, tag->fileType, tag->error, tag->yearText,
                       tag->trackText, tag->trackTotalText, tag->discText, tag->discTotalText, tag->bpmText})
        std::free(text);
    for (int32_t i = 0; tag->properties && i < tag->propertyCount; ++i) {
        std::free(tag->properties[i].key);
        std::free(tag->properties[i].value);
    }
    std::free(tag->properties);
    for (int32_t i = 0; tag->artwork && i < tag->artworkCount; ++i) {
        std::free(tag->artwork[i].data);
        std::free(tag->artwork[i].mimeType);
        std::free(tag->artwork[i].description);
    }
    std::free(tag->artwork);
    std::free(tag);
}

int32_t ctaglib_write_fields(const char* path, const CTagLibTagValues* values, uint32_t fields,
                             const CTagLibArtworkWrite* artwork, int32_t artworkCount) {
    if (!path || (!values && fields != 0))
        return ctaglib::writeFailed;
    try {
        ctaglib::warmUpTagLib();
        ctaglib::WriteRequest request;
        request.path = path;
        if (values)
            request.values = *values;
        request.fields = fields & CTAGLIB_ALL_FIELDS;
        request.artwork = artwork;
        request.artworkCount = artworkCount;
        return ctaglib::writeFile(request);
    } catch (...) {
        return ctaglib::writeFailed;
    }
}

int32_t ctaglib_write(const char* path, const char* title, const char* artist, const char* album,
                      const char* albumArtist, const char* composer, const char* genre, const char* comment,
                      const char* grouping, const char* lyrics, int32_t year, int32_t hasYear, int32_t track,
                      int32_t hasTrack, int32_t trackTotal, int32_t hasTrackTotal, int32_t disc,
                      int32_t hasDisc, int32_t discTotal, int32_t hasDiscTotal, int32_t bpm, int32_t hasBpm,
                      int32_t compilation, const CTagLibArtworkWrite* artwork, int32_t artworkCount) {
    CTagLibTagValues values{};
    values.title = title;
    values.artist = artist;
    values.album = album;
    values.albumArtist = albumArtist;
    values.composer = composer;
    values.genre = genre;
    values.comment = comment;
    values.grouping = grouping;
    values.lyrics = lyrics;
    values.year = year, values.hasYear = hasYear;
    values.track = track, values.hasTrack = hasTrack;
    values.trackTotal = trackTotal, values.hasTrackTotal = hasTrackTotal;
    values.disc = disc, values.hasDisc = hasDisc;
    values.discTotal = discTotal, values.hasDiscTotal = hasDiscTotal;
    values.bpm = bpm, values.hasBpm = hasBpm;
    values.compilation = compilation;
    return ctaglib_write_fields(path, &values, CTAGLIB_ALL_FIELDS, artwork, artworkCount);
}

} // extern "C"
