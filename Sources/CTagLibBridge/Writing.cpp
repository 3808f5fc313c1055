#include "BridgeInternal.h"

#include <aifffile.h>
#include <apetag.h>
#include <attachedpictureframe.h>
#include <commentsframe.h>
#include <dsdiffdiintag.h>
#include <dsdifffile.h>
#include <dsffile.h>
#include <fileref.h>
#include <flacfile.h>
#include <flacpicture.h>
#include <id3v1tag.h>
#include <id3v2tag.h>
#include <infotag.h>
#include <mp4coverart.h>
#include <mp4file.h>
#include <mp4tag.h>
#include <mpegfile.h>
#include <oggflacfile.h>
#include <opusfile.h>
#include <tag.h>
#include <textidentificationframe.h>
#include <unsynchronizedlyricsframe.h>
#include <vorbisfile.h>
#include <wavfile.h>
#include <xiphcomment.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <type_traits>

namespace ctaglib {
namespace {

using TagLib::ByteVector;

// A picture to write, checked and converted.
struct NewPicture {
    ByteVector data;
    TagLib::String mimeType;
    TagLib::String description;
    int type = 0;
};

// The usable pictures of the request: those with data and a size above 0.
// Returns nothing when a size cannot be represented (negative sizes count as
// empty); such a write fails rather than silently dropping a picture.
std::optional<std::vector<NewPicture>> picturesOf(const WriteRequest& request) {
    std::vector<NewPicture> pictures;
    for (int i = 0; request.artwork && i < request.artworkCount; ++i) {
        const CTagLibArtworkWrite& picture = request.artwork[i];
        if (!picture.data || picture.size <= 0)
            continue;
        if (picture.size >= (std::int64_t{1} << 32))
            return std::nullopt;
        NewPicture converted;
        converted.data =
            ByteVector(reinterpret_cast<const char*>(picture.data), static_cast<unsigned int>(picture.size));
        converted.mimeType =
            picture.mimeType ? stringFromUtf8(picture.mimeType) : TagLib::String("image/jpeg");
        converted.description = stringFromUtf8(picture.description);
        // Codes outside the picture-type list are not representable in TagLib's enumerations.
        converted.type = picture.pictureType >= 0 && picture.pictureType <= 20 ? picture.pictureType : 0;
        pictures.push_back(std::move(converted));
    }
    return pictures;
}

TagLib::String text(const char* utf8) {
    return stringFromUtf8(utf8);
}

// The decimal number, or empty text when absent.
TagLib::String numberText(int32_t present, int32_t value) {
    return present ? TagLib::String::number(value) : TagLib::String();
}

// A numeric field's text as given ("A1", "1974-11-01"), else the number's.
TagLib::String numberText(const char* given, int32_t present, int32_t value) {
    return given ? stringFromUtf8(given) : numberText(present, value);
}

// The number TagLib's generic interface takes for a numeric field (ID3v1,
// RIFF INFO, DSDIFF): the text's leading number, or the number; 0 for none.
unsigned int genericNumber(const char* given, int32_t present, int32_t value) {
    const int number = given ? parseLeadingInteger(given) : present ? value : 0;
    return number > 0 ? static_cast<unsigned int>(number) : 0;
}

// "3/12", "A1/12", "0/12" or "3"; empty when neither part is present.
TagLib::String fractionText(const TagLib::String& number, const TagLib::String& total) {
    if (number.isEmpty() && total.isEmpty())
        return {};
    return (number.isEmpty() ? TagLib::String("0") : number) + (total.isEmpty() ? "" : "/" + total);
}

TagLib::String trackText(const CTagLibTagValues& v) {
    return fractionText(numberText(v.trackText, v.hasTrack, v.track),
                        numberText(v.trackTotalText, v.hasTrackTotal, v.trackTotal));
}

TagLib::String discText(const CTagLibTagValues& v) {
    return fractionText(numberText(v.discText, v.hasDisc, v.disc),
                        numberText(v.discTotalText, v.hasDiscTotal, v.discTotal));
}

TagLib::String compilationText(int32_t compilation) {
    return compilation < 0 ? "" : compilation != 0 ? "1" : "0";
}

// The values a text is written as: split at the value separator, except
// prose (a comment, lyrics), whose "; " is punctuation and which readers
// expect in one value.
TagLib::StringList valuesOf(const TagLib::String& text, bool prose) {
    if (!prose)
        return splitValues(text);
    return text.isEmpty() ? TagLib::StringList() : TagLib::StringList(text);
}

constexpr uint32_t trackFields = CTAGLIB_FIELD_TRACK | CTAGLIB_FIELD_TRACK_TOTAL;
constexpr uint32_t discFields = CTAGLIB_FIELD_DISC | CTAGLIB_FIELD_DISC_TOTAL;

// The generic fields of the request through TagLib's format-independent
// interface; the comment only when asked to (see writeComment()). TagLib
// would blank an ID3v1 field whose text Latin-1 cannot hold; it gets the
// nearest Latin-1 text instead.
void writeGeneric(TagLib::Tag& tag, const WriteRequest& r, bool withComment) {
    const CTagLibTagValues& v = r.values;
    const bool latin1Only = dynamic_cast<TagLib::ID3v1::Tag*>(&tag) != nullptr;
    const auto text = [latin1Only](const char* utf8) {
        return latin1Only ? latin1Approximation(stringFromUtf8(utf8)) : stringFromUtf8(utf8);
    };
    if (r.writes(CTAGLIB_FIELD_TITLE))
        tag.setTitle(text(v.title));
    if (r.writes(CTAGLIB_FIELD_ARTIST))
        tag.setArtist(text(v.artist));
    if (r.writes(CTAGLIB_FIELD_ALBUM))
        tag.setAlbum(text(v.album));
    if (r.writes(CTAGLIB_FIELD_GENRE))
        tag.setGenre(text(v.genre));
    if (withComment && r.writes(CTAGLIB_FIELD_COMMENT))
        tag.setComment(text(v.comment));
    if (r.writes(CTAGLIB_FIELD_YEAR))
        tag.setYear(genericNumber(v.yearText, v.hasYear, v.year));
    if (r.writes(CTAGLIB_FIELD_TRACK))
        tag.setTrack(genericNumber(v.trackText, v.hasTrack, v.track));
}

// ---- ID3v2 (MP3, AIFF, WAV, DSF, DSDIFF) ----

// The frame holding the text, rendered for the version; none for empty text.
// Comments and lyrics are in English, as a tagger writes them.
template <typename Frame, typename... Arguments>
std::vector<ByteVector> textFrame(const TagLib::String& value, int version, Arguments... arguments) {
    if (value.isEmpty())
        return {};
    Frame frame(arguments..., TagLib::String::UTF8);
    if constexpr (!std::is_same_v<Frame, TagLib::ID3v2::TextIdentificationFrame>)
        frame.setLanguage("eng");
    frame.setText(value);
    return {renderFrame(frame, version)};
}

// A text frame with every value of the text (split at the value separator)
// in ID3v2.4. ID3v2.3 has no several values in one frame: the artist frames
// take them joined with "/", as that version says, every other frame the text.
std::vector<ByteVector> textFrame(const char* id, const TagLib::String& value, int version) {
    const TagLib::StringList values = splitValues(value);
    if (values.isEmpty())
        return {};
    TagLib::ID3v2::TextIdentificationFrame frame{ByteVector(id), TagLib::String::UTF8};
    static const std::vector<std::string> slashSeparated = {"TPE1", "TCOM", "TEXT", "TOLY", "TOPE"};
    if (version == 4)
        frame.setText(values);
    else if (std::find(slashSeparated.begin(), slashSeparated.end(), id) != slashSeparated.end())
        frame.setText(values.toString("/"));
    else
        frame.setText(value);
    return {renderFrame(frame, version)};
}

// The date as ID3v2.3 keeps it, as TagLib renders a date for that version:
// the year in "TYER", day and month of a "yyyy-MM-dd" date in "TDAT" (ddMM),
// the time of a "yyyy-MM-ddTHH:mm" one in "TIME" (HHmm). Other text goes into
// "TYER" as it is.
std::vector<ByteVector> id3v23DateFrames(const TagLib::String& date) {
    const bool day = date.size() >= 10 && date[4] == '-' && date[7] == '-';
    if (!day)
        return textFrame("TYER", date, 3);
    std::vector<ByteVector> frames = textFrame("TYER", date.substr(0, 4), 3);
    const std::vector<ByteVector> dayFrame = textFrame("TDAT", date.substr(8, 2) + date.substr(5, 2), 3);
    frames.insert(frames.end(), dayFrame.begin(), dayFrame.end());
    if (date.size() >= 16 && date[10] == 'T' && date[13] == ':') {
        const std::vector<ByteVector> time = textFrame("TIME", date.substr(11, 2) + date.substr(14, 2), 3);
        frames.insert(frames.end(), time.begin(), time.end());
    }
    return frames;
}

std::vector<ByteVector> pictureFrames(const std::vector<NewPicture>& pictures, int version) {
    std::vector<ByteVector> frames;
    for (const NewPicture& picture : pictures) {
        TagLib::ID3v2::AttachedPictureFrame frame;
        frame.setTextEncoding(TagLib::String::UTF8);
        frame.setMimeType(picture.mimeType);
        frame.setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(picture.type));
        frame.setDescription(picture.description);
        frame.setPicture(picture.data);
        frames.push_back(renderFrame(frame, version));
    }
    return frames;
}

// Each changed field replaces the frames that hold it; the comment only the
// description-less "COMM" frames, so that "iTunNORM" and the like stay.
void writeId3v2(Id3v2Rewrite& tag, const WriteRequest& r, const std::vector<NewPicture>& pictures) {
    const CTagLibTagValues& v = r.values;
    const int version = tag.version();
    const auto set = [&](uint32_t field, const char* id, const TagLib::String& value) {
        if (r.writes(field))
            tag.replace({id}, textFrame(id, value, version));
    };
    set(CTAGLIB_FIELD_TITLE, "TIT2", text(v.title));
    set(CTAGLIB_FIELD_ARTIST, "TPE1", text(v.artist));
    set(CTAGLIB_FIELD_ALBUM, "TALB", text(v.album));
    set(CTAGLIB_FIELD_GENRE, "TCON", text(v.genre));
    if (r.writes(CTAGLIB_FIELD_YEAR)) {
        // ID3v2.3 keeps the year in "TYER" and the day and time in "TDAT" and
        // "TIME"; ID3v2.4 all of it in "TDRC". A new year replaces them all.
        const TagLib::String date = numberText(v.yearText, v.hasYear, v.year);
        tag.replace({"TDRC", "TYER", "TDAT", "TIME"},
                    version == 3 ? id3v23DateFrames(date) : textFrame("TDRC", date, version));
    }
    if (r.writes(CTAGLIB_FIELD_COMMENT))
        tag.replace({"COMM"}, textFrame<TagLib::ID3v2::CommentsFrame>(text(v.comment), version), true);
    set(CTAGLIB_FIELD_ALBUM_ARTIST, "TPE2", text(v.albumArtist));
    set(CTAGLIB_FIELD_COMPOSER, "TCOM", text(v.composer));
    set(CTAGLIB_FIELD_GROUPING, "TIT1", text(v.grouping));
    set(CTAGLIB_FIELD_BPM, "TBPM", numberText(v.bpmText, v.hasBpm, v.bpm));
    set(CTAGLIB_FIELD_COMPILATION, "TCMP", compilationText(v.compilation));
    if (r.fields & trackFields)
        tag.replace({"TRCK"}, textFrame("TRCK", trackText(v), version));
    if (r.fields & discFields)
        tag.replace({"TPOS"}, textFrame("TPOS", discText(v), version));
    if (r.writes(CTAGLIB_FIELD_LYRICS))
        tag.replace({"USLT"}, textFrame<TagLib::ID3v2::UnsynchronizedLyricsFrame>(text(v.lyrics), version));
    if (r.artworkCount != -1)
        tag.replace({"APIC"}, pictureFrames(pictures, version));
    writeId3v2Properties(tag, propertyChanges(v, MainTag::id3v2));
}

// A file kind whose main tag is ID3v2, with the tags TagLib keeps beside it.
struct Id3v2File {
    TagLib::ID3v2::Tag* tag = nullptr;
    std::vector<TagLib::Tag*> others; // only those the file already has
    bool nearEnd = true;              // where the tag is usually stored
    bool genericOnly = false;         // DSDIFF keeps only the generic fields
    std::function<bool(TagLib::ID3v2::Version)> save;
    // An MPEG file's audio ends here, before its ID3v1 tag; a tag appended
    // right before it is merged into the one at the start.
    std::optional<TagLib::offset_t> appendedTagEnd;
};

std::optional<Id3v2File> id3v2FileOf(TagLib::File* file) {
    using TagLib::File;
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
        // ID3v1 and APE tags are updated, never added.
        int tags = TagLib::MPEG::File::ID3v2;
        Id3v2File kind{mpeg->ID3v2Tag(true), {}, false, false, {}, {}};
        if (mpeg->hasID3v1Tag()) {
            tags |= TagLib::MPEG::File::ID3v1;
            kind.others.push_back(mpeg->ID3v1Tag());
        }
        if (mpeg->hasAPETag()) {
            tags |= TagLib::MPEG::File::APE;
            kind.others.push_back(mpeg->APETag());
        } else {
            kind.appendedTagEnd = mpeg->length() - (mpeg->hasID3v1Tag() ? 128 : 0);
        }
        // Without DoNotDuplicate, TagLib first copies ID3v1 into ID3v2 fields
        // it considers empty, which can undo what was just written.
        kind.save = [mpeg, tags](TagLib::ID3v2::Version version) {
            return mpeg->save(tags, File::StripNone, version, File::DoNotDuplicate);
        };
        return kind;
    }
    if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file))
        return Id3v2File{aiff->tag(), {}, true, false, [aiff](auto version) { return aiff->save(version); },
                         {}};
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file)) {
        // A RIFF INFO list is updated, never added.
        int tags = TagLib::RIFF::WAV::File::ID3v2;
        Id3v2File kind{wav->ID3v2Tag(), {}, true, false, {}, {}};
        if (wav->hasInfoTag()) {
            tags |= TagLib::RIFF::WAV::File::Info;
            kind.others.push_back(wav->InfoTag());
        }
        kind.save = [wav, tags](TagLib::ID3v2::Version version) {
            return wav->save(static_cast<TagLib::RIFF::WAV::File::TagTypes>(tags), File::StripNone, version);
        };
        return kind;
    }
    if (auto* dsf = dynamic_cast<TagLib::DSF::File*>(file))
        return Id3v2File{dsf->tag(), {}, true, false, [dsf](auto version) { return dsf->save(version); }, {}};
    if (auto* dsdiff = dynamic_cast<TagLib::DSDIFF::File*>(file)) {
        int tags = TagLib::DSDIFF::File::ID3v2;
        Id3v2File kind{dsdiff->ID3v2Tag(true), {}, true, true, {}, {}};
        if (dsdiff->hasDIINTag()) {
            tags |= TagLib::DSDIFF::File::DIIN;
            kind.others.push_back(dsdiff->DIINTag());
        }
        kind.save = [dsdiff, tags](TagLib::ID3v2::Version version) {
            return dsdiff->save(tags, File::StripNone, version);
        };
        return kind;
    }
    return std::nullopt;
}

// The ID3v2 chunks of a WAV or AIFF file. TagLib reads the first and would
// drop the others on save, and readers differ in which one they show, so a
// file with several is not saved.
int id3ChunkCount(TagLib::File& file) {
    const bool wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file) != nullptr;
    if (!wav && !dynamic_cast<TagLib::RIFF::AIFF::File*>(&file))
        return 0;
    int count = 0;
    const TagLib::offset_t length = file.length();
    for (TagLib::offset_t pos = 12; pos + 8 <= length;) {
        file.seek(pos);
        const ByteVector header = file.readBlock(8);
        if (header.size() < 8)
            break;
        const ByteVector id = header.mid(0, 4);
        if (id == "ID3 " || id == "id3 ")
            ++count;
        const TagLib::offset_t size = header.toUInt(4U, !wav);
        pos += 8 + size + (size & 1);
    }
    return count;
}

int32_t writeId3v2File(TagLib::File& file, Id3v2File& kind, WriteRequest r,
                       const std::vector<NewPicture>& pictures) {
    if (!kind.tag)
        return writeFailed;
    if (kind.genericOnly) {
        if (r.values.propertyCount > 0)
            return CTAGLIB_UNSUPPORTED_KEY;
        r.fields &= CTAGLIB_GENERIC_FIELDS;
        r.artworkCount = -1;
    }
    if (id3ChunkCount(file) > 1)
        return twoTagsOfOneKind;
    int32_t refusal = tagsNotReadCompletely;
    std::optional<Id3v2Rewrite> rewrite = Id3v2Rewrite::begin(file, *kind.tag, kind.nearEnd, refusal);
    if (!rewrite || (kind.appendedTagEnd && !rewrite->mergeAppendedTag(file, *kind.appendedTagEnd, refusal)))
        return refusal;
    rewrite->setVersionOfNewTag(r.values.newId3v2Version == 3 ? 3 : 4);
    writeId3v2(*rewrite, r, pictures);
    for (TagLib::Tag* other : kind.others)
        writeGeneric(*other, r, true);
    rewrite->stage(*kind.tag);
    const auto version = rewrite->version() == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
    return kind.save(version) && rewrite->finish(file, kind.nearEnd) ? 0 : writeFailed;
}

// ---- Xiph comments (FLAC, Ogg Vorbis, Opus) ----

TagLib::FLAC::Picture* flacPicture(const NewPicture& picture) {
    auto* block = new TagLib::FLAC::Picture;
    block->setData(picture.data);
    block->setMimeType(picture.mimeType);
    block->setType(static_cast<TagLib::FLAC::Picture::Type>(picture.type));
    block->setDescription(picture.description);
    return block;
}

// One field per value of the text (split at the value separator).
void setXiph(TagLib::Ogg::XiphComment& comment, const TagLib::String& key, const TagLib::String& value,
             bool prose = false) {
    comment.removeFields(key);
    for (const TagLib::String& one : valuesOf(value, prose))
        comment.addField(key, one, false);
}

// A number and its total in two keys; the total is TRACKTOTAL or, where the
// file spells it so, TOTALTRACKS. Some taggers write "3/12" into the number's
// key alone; changing either part then writes both keys afresh, so that the
// old total inside the number cannot come back.
void writeXiphPair(TagLib::Ogg::XiphComment& comment, const WriteRequest& r, uint32_t numberField,
                   uint32_t totalField, const char* numberKey, const char* totalKey,
                   const char* otherTotalKey, const TagLib::String& number, const TagLib::String& total) {
    const TagLib::Ogg::FieldListMap& fields = comment.fieldListMap();
    const TagLib::StringList stored = fields.value(numberKey);
    const bool totalInNumber = !stored.isEmpty() && stored.front().find("/") >= 0;
    const bool both = totalInNumber && (r.fields & (numberField | totalField));
    if (both || r.writes(numberField))
        setXiph(comment, numberKey, number);
    if (both || r.writes(totalField)) {
        const bool other = fields.contains(otherTotalKey) && !fields.contains(totalKey);
        comment.removeFields(other ? totalKey : otherTotalKey);
        setXiph(comment, other ? otherTotalKey : totalKey, total);
    }
}

void writeXiph(TagLib::Ogg::XiphComment* comment, const WriteRequest& r) {
    if (!comment)
        return;
    const CTagLibTagValues& v = r.values;
    const auto set = [&](uint32_t field, const char* key, const TagLib::String& value) {
        if (r.writes(field))
            setXiph(*comment, key, value);
    };
    // The generic fields again, now with several values.
    set(CTAGLIB_FIELD_TITLE, "TITLE", text(v.title));
    set(CTAGLIB_FIELD_ARTIST, "ARTIST", text(v.artist));
    set(CTAGLIB_FIELD_ALBUM, "ALBUM", text(v.album));
    set(CTAGLIB_FIELD_GENRE, "GENRE", text(v.genre));
    if (r.writes(CTAGLIB_FIELD_COMMENT))
        setXiph(*comment, comment->contains("DESCRIPTION") ? "DESCRIPTION" : "COMMENT", text(v.comment),
                true);
    if (r.writes(CTAGLIB_FIELD_YEAR)) {
        comment->removeFields("YEAR");
        setXiph(*comment, "DATE", numberText(v.yearText, v.hasYear, v.year));
    }
    set(CTAGLIB_FIELD_ALBUM_ARTIST, "ALBUMARTIST", text(v.albumArtist));
    set(CTAGLIB_FIELD_COMPOSER, "COMPOSER", text(v.composer));
    set(CTAGLIB_FIELD_GROUPING, "GROUPING", text(v.grouping));
    if (r.writes(CTAGLIB_FIELD_LYRICS))
        setXiph(*comment, "LYRICS", text(v.lyrics), true);
    set(CTAGLIB_FIELD_BPM, "BPM", numberText(v.bpmText, v.hasBpm, v.bpm));
    set(CTAGLIB_FIELD_COMPILATION, "COMPILATION", compilationText(v.compilation));
    writeXiphPair(*comment, r, CTAGLIB_FIELD_TRACK, CTAGLIB_FIELD_TRACK_TOTAL, "TRACKNUMBER", "TRACKTOTAL",
                  "TOTALTRACKS", numberText(v.trackText, v.hasTrack, v.track),
                  numberText(v.trackTotalText, v.hasTrackTotal, v.trackTotal));
    writeXiphPair(*comment, r, CTAGLIB_FIELD_DISC, CTAGLIB_FIELD_DISC_TOTAL, "DISCNUMBER", "DISCTOTAL",
                  "TOTALDISCS", numberText(v.discText, v.hasDisc, v.disc),
                  numberText(v.discTotalText, v.hasDiscTotal, v.discTotal));
}

// Ogg files keep their pictures in the comment, as the format has nowhere else.
// The MIME type of the legacy COVERART pictures goes with them.
void removeCommentPictures(TagLib::Ogg::XiphComment& comment) {
    comment.removeAllPictures();
    comment.removeFields("COVERARTMIME");
}

void writeXiphPictures(TagLib::Ogg::XiphComment* comment, const WriteRequest& r,
                       const std::vector<NewPicture>& pictures) {
    if (!comment || r.artworkCount == -1)
        return;
    removeCommentPictures(*comment);
    for (const NewPicture& picture : pictures)
        comment->addPicture(flacPicture(picture));
}

// FLAC pictures are picture blocks. Copies in the comment, which other
// programs leave there, go with them, or a removed picture would come back.
void writeFlacPictures(TagLib::FLAC::File& file, const WriteRequest& r,
                       const std::vector<NewPicture>& pictures) {
    if (r.artworkCount == -1)
        return;
    if (TagLib::Ogg::XiphComment* comment = file.xiphComment(false))
        removeCommentPictures(*comment);
    file.removePictures();
    for (const NewPicture& picture : pictures)
        file.addPicture(flacPicture(picture));
}

// TagLib 2.0.x writes the 24-bit length of a FLAC metadata block without a
// range check: a block of 16 MiB or more gets a wrong length and the saved
// file is corrupt. Such a save is refused before anything is written.
constexpr unsigned int kFlacBlockLimit = 1u << 24;

bool flacBlocksFit(TagLib::FLAC::File& file) {
    if (TagLib::Ogg::XiphComment* comment = file.xiphComment(false)) {
        if (comment->render(false).size() >= kFlacBlockLimit)
            return false;
    }
    for (const TagLib::FLAC::Picture* picture : file.pictureList()) {
        if (picture->render().size() >= kFlacBlockLimit)
            return false;
    }
    return true;
}

// ---- MP4 ----

// MP4 keeps track and disc numbers, their totals and the BPM in 16 bits.
constexpr int32_t kMp4NumberLimit = 65535;

bool mp4NumbersFit(const WriteRequest& r) {
    const CTagLibTagValues& v = r.values;
    const auto fits = [&](uint32_t field, int32_t present, int32_t value) {
        return !r.writes(field) || !present || value <= kMp4NumberLimit;
    };
    return fits(CTAGLIB_FIELD_TRACK, v.hasTrack, v.track) &&
           fits(CTAGLIB_FIELD_TRACK_TOTAL, v.hasTrackTotal, v.trackTotal) &&
           fits(CTAGLIB_FIELD_DISC, v.hasDisc, v.disc) &&
           fits(CTAGLIB_FIELD_DISC_TOTAL, v.hasDiscTotal, v.discTotal) &&
           fits(CTAGLIB_FIELD_BPM, v.hasBpm, v.bpm);
}

// MP4 keeps track and disc numbers and the BPM as numbers only: a text
// given for one ("A1") must be a plain number, which then takes the number's
// place in the request. CTAGLIB_OK, or CTAGLIB_NOT_A_NUMBER.
int32_t takeMp4NumberTexts(WriteRequest& r) {
    CTagLibTagValues& v = r.values;
    const auto take = [](uint32_t written, const char*& text, int32_t& present, int32_t& value) {
        if (!written || !text)
            return true;
        const TagLib::String given = stringFromUtf8(text).stripWhiteSpace();
        const std::optional<int> number = plainNumber(given);
        if (!given.isEmpty() && !number)
            return false;
        present = number ? 1 : 0;
        value = number.value_or(0);
        text = nullptr;
        return true;
    };
    const uint32_t track = r.fields & trackFields;
    const uint32_t disc = r.fields & discFields;
    const bool numbers = take(track, v.trackText, v.hasTrack, v.track) &&
                         take(track, v.trackTotalText, v.hasTrackTotal, v.trackTotal) &&
                         take(disc, v.discText, v.hasDisc, v.disc) &&
                         take(disc, v.discTotalText, v.hasDiscTotal, v.discTotal) &&
                         take(r.fields & CTAGLIB_FIELD_BPM, v.bpmText, v.hasBpm, v.bpm);
    return numbers ? CTAGLIB_OK : CTAGLIB_NOT_A_NUMBER;
}

// One string per value of the text (split at the value separator).
void setMp4Text(TagLib::MP4::Tag& tag, const char* name, const TagLib::String& value, bool prose = false) {
    const TagLib::String key(name, TagLib::String::Latin1);
    const TagLib::StringList values = valuesOf(value, prose);
    if (values.isEmpty())
        tag.removeItem(key);
    else
        tag.setItem(key, TagLib::MP4::Item(values));
}

void setMp4Pair(TagLib::MP4::Tag& tag, const char* name, int32_t hasNumber, int32_t number, int32_t hasTotal,
                int32_t total) {
    if (hasNumber || hasTotal)
        tag.setItem(name, TagLib::MP4::Item(hasNumber ? number : 0, hasTotal ? total : 0));
    else
        tag.removeItem(name);
}

// The items a write changes, by the names writeGeneric() and writeMp4() use.
std::vector<std::string> mp4ItemsOf(const WriteRequest& r) {
    static const std::vector<std::pair<uint32_t, const char*>> items = {{CTAGLIB_FIELD_TITLE, "\251nam"},
                                                                        {CTAGLIB_FIELD_ARTIST, "\251ART"},
                                                                        {CTAGLIB_FIELD_ALBUM, "\251alb"},
                                                                        {CTAGLIB_FIELD_GENRE, "\251gen"},
                                                                        {CTAGLIB_FIELD_COMMENT, "\251cmt"},
                                                                        {CTAGLIB_FIELD_YEAR, "\251day"},
                                                                        {trackFields, "trkn"},
                                                                        {discFields, "disk"},
                                                                        {CTAGLIB_FIELD_ALBUM_ARTIST, "aART"},
                                                                        {CTAGLIB_FIELD_COMPOSER, "\251wrt"},
                                                                        {CTAGLIB_FIELD_GROUPING, "\251grp"},
                                                                        {CTAGLIB_FIELD_LYRICS, "\251lyr"},
                                                                        {CTAGLIB_FIELD_BPM, "tmpo"},
                                                                        {CTAGLIB_FIELD_COMPILATION, "cpil"}};
    std::vector<std::string> names;
    for (const auto& [fields, name] : items) {
        if (r.fields & fields)
            names.emplace_back(name);
    }
    if (r.artworkCount != -1)
        names.emplace_back("covr");
    return names;
}

void writeMp4(TagLib::MP4::Tag& tag, const WriteRequest& r, const std::vector<NewPicture>& pictures) {
    const CTagLibTagValues& v = r.values;
    const auto set = [&](uint32_t field, const char* name, const TagLib::String& value) {
        if (r.writes(field))
            setMp4Text(tag, name, value);
    };
    // The generic fields again, now with several values; the date as given.
    set(CTAGLIB_FIELD_TITLE, "\251nam", text(v.title));
    set(CTAGLIB_FIELD_ARTIST, "\251ART", text(v.artist));
    set(CTAGLIB_FIELD_ALBUM, "\251alb", text(v.album));
    set(CTAGLIB_FIELD_GENRE, "\251gen", text(v.genre));
    if (r.writes(CTAGLIB_FIELD_COMMENT))
        setMp4Text(tag, "\251cmt", text(v.comment), true);
    set(CTAGLIB_FIELD_YEAR, "\251day", numberText(v.yearText, v.hasYear, v.year));
    set(CTAGLIB_FIELD_ALBUM_ARTIST, "aART", text(v.albumArtist));
    set(CTAGLIB_FIELD_COMPOSER, "\251wrt", text(v.composer));
    set(CTAGLIB_FIELD_GROUPING, "\251grp", text(v.grouping));
    if (r.writes(CTAGLIB_FIELD_LYRICS))
        setMp4Text(tag, "\251lyr", text(v.lyrics), true);
    if (r.writes(CTAGLIB_FIELD_BPM)) {
        if (v.hasBpm)
            tag.setItem("tmpo", TagLib::MP4::Item(v.bpm));
        else
            tag.removeItem("tmpo");
    }
    if (r.writes(CTAGLIB_FIELD_COMPILATION)) {
        if (v.compilation < 0)
            tag.removeItem("cpil");
        else
            tag.setItem("cpil", TagLib::MP4::Item(v.compilation != 0));
    }
    if (r.fields & trackFields)
        setMp4Pair(tag, "trkn", v.hasTrack, v.track, v.hasTrackTotal, v.trackTotal);
    if (r.fields & discFields)
        setMp4Pair(tag, "disk", v.hasDisc, v.disc, v.hasDiscTotal, v.discTotal);

    if (r.artworkCount == -1)
        return;
    TagLib::MP4::CoverArtList covers;
    for (const NewPicture& picture : pictures) {
        const bool png = picture.mimeType.find("png") >= 0;
        covers.append(TagLib::MP4::CoverArt(png ? TagLib::MP4::CoverArt::PNG : TagLib::MP4::CoverArt::JPEG,
                                            picture.data));
    }
    if (covers.isEmpty())
        tag.removeItem("covr");
    else
        tag.setItem("covr", TagLib::MP4::Item(covers));
}

} // namespace

int32_t writeFile(const WriteRequest& r) {
    const std::optional<std::vector<NewPicture>> pictures = picturesOf(r);
    if (!pictures)
        return writeFailed;

    if (const int32_t failure = accessFailure(r.path, true))
        return failure;
    TagLib::FileRef ref(r.path, false);
    if (ref.isNull() || !ref.tag() || !hasAudioContent(ref.file()))
        return whyUnreadable(r.path).code;
    TagLib::File* file = ref.file();
    if (std::optional<Id3v2File> kind = id3v2FileOf(file))
        return writeId3v2File(*file, *kind, r, *pictures);

    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
        if (!flacCommentReadCompletely(*flac))
            return tagsNotReadCompletely;
        const std::vector<ByteVector> comments = flacCommentBlocks(*flac);
        if (TagLib::Ogg::XiphComment* comment = flac->xiphComment(false); comment && !comments.empty()) {
            if (r.artworkCount == -1)
                keepStoredPictureFields(*comment, storedXiphFields(comments.front()));
            // TagLib reads the first comment block only, as readers do, and
            // drops the others on save: their fields are merged into it.
            for (size_t i = 1; i < comments.size(); ++i)
                mergeXiphFields(*comment, storedXiphFields(comments[i]), r.artworkCount == -1);
        }
        // The generic fields reach every tag of the file (an ID3v2 tag, too).
        writeGeneric(*flac->tag(), r, false);
        if (r.writes(CTAGLIB_FIELD_COMMENT))
            writeComment(file, flac->tag(), text(r.values.comment));
        if (flac->hasID3v1Tag())
            writeGeneric(*flac->ID3v1Tag(), r, true);
        writeXiph(flac->xiphComment(true), r);
        if (!writeXiphProperties(*flac->xiphComment(true), propertyChanges(r.values, MainTag::xiph)))
            return CTAGLIB_UNSUPPORTED_KEY;
        writeFlacPictures(*flac, r, *pictures);
        if (!flacBlocksFit(*flac))
            return writeFailed;
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
        if (!mp4->tag())
            return writeFailed;
        WriteRequest numbers = r;
        if (const int32_t refusal = takeMp4NumberTexts(numbers))
            return refusal;
        if (!mp4NumbersFit(numbers))
            return CTAGLIB_VALUE_TOO_LARGE;
        std::optional<Mp4Rewrite> rewrite = Mp4Rewrite::begin(*file);
        writeGeneric(*mp4->tag(), numbers, true);
        writeMp4(*mp4->tag(), numbers, *pictures);
        std::vector<std::string> changed = mp4ItemsOf(numbers);
        if (!writeMp4Properties(*mp4->tag(), propertyChanges(r.values, MainTag::mp4), changed))
            return CTAGLIB_UNSUPPORTED_KEY;
        if (rewrite)
            rewrite->stage(*mp4->tag(), changed);
        return ref.save() && (!rewrite || rewrite->finish(*file)) ? 0 : writeFailed;
    } else if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file)) {
        if (r.artworkCount == -1)
            keepStoredPictureFields(*vorbis->tag(), storedXiphFields(oggComment(*file)));
        writeGeneric(*vorbis->tag(), r, true);
        writeXiph(vorbis->tag(), r);
        writeXiphPictures(vorbis->tag(), r, *pictures);
        if (!writeXiphProperties(*vorbis->tag(), propertyChanges(r.values, MainTag::xiph)))
            return CTAGLIB_UNSUPPORTED_KEY;
    } else if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(file)) {
        if (r.artworkCount == -1)
            keepStoredPictureFields(*opus->tag(), storedXiphFields(oggComment(*file)));
        writeGeneric(*opus->tag(), r, true);
        writeXiph(opus->tag(), r);
        writeXiphPictures(opus->tag(), r, *pictures);
        if (!writeXiphProperties(*opus->tag(), propertyChanges(r.values, MainTag::xiph)))
            return CTAGLIB_UNSUPPORTED_KEY;
    } else {
        // Custom items are written into the main tags of the kinds above only.
        if (r.values.propertyCount > 0)
            return CTAGLIB_UNSUPPORTED_KEY;
        writeGeneric(*ref.tag(), r, true);
        // Ogg FLAC: the same 24-bit block length applies.
        auto* oggFlac = dynamic_cast<TagLib::Ogg::FLAC::File*>(file);
        if (oggFlac && oggFlac->tag() && oggFlac->tag()->render(false).size() >= kFlacBlockLimit)
            return writeFailed;
    }
    return ref.save() ? 0 : writeFailed;
}

} // namespace ctaglib
