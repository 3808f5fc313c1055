#include "BridgeInternal.h"

#include <aifffile.h>
#include <attachedpictureframe.h>
#include <dsffile.h>
#include <fileref.h>
#include <flacfile.h>
#include <flacpicture.h>
#include <id3v2tag.h>
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

#include <cstdint>
#include <optional>

namespace ctaglib {
namespace {

// A picture to write, checked and converted.
struct NewPicture {
    TagLib::ByteVector data;
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
        converted.data = TagLib::ByteVector(reinterpret_cast<const char*>(picture.data),
                                            static_cast<unsigned int>(picture.size));
        converted.mimeType =
            picture.mimeType ? stringFromUtf8(picture.mimeType) : TagLib::String("image/jpeg");
        converted.description = stringFromUtf8(picture.description);
        // Codes outside the picture-type list are not representable in TagLib's enumerations.
        converted.type = picture.pictureType >= 0 && picture.pictureType <= 20 ? picture.pictureType : 0;
        pictures.push_back(std::move(converted));
    }
    return pictures;
}

TagLib::String numberText(int value) {
    return TagLib::String::number(value);
}

// "3/12", "0/12" or "3"; empty when neither part is present.
TagLib::String fractionText(bool hasNumber, int number, bool hasTotal, int total) {
    if (!hasNumber && !hasTotal)
        return {};
    TagLib::String text = numberText(hasNumber ? number : 0);
    if (hasTotal)
        text += "/" + numberText(total);
    return text;
}

// ---- ID3v2 (MP3, AIFF, WAV, DSF) ----

void setId3Text(TagLib::ID3v2::Tag& tag, const char* id, const TagLib::String& text) {
    tag.removeFrames(id);
    if (text.isEmpty())
        return;
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
    frame->setText(text);
    tag.addFrame(frame);
}

void setId3Number(TagLib::ID3v2::Tag& tag, const char* id, bool present, int value) {
    setId3Text(tag, id, present ? numberText(value) : TagLib::String());
}

// The comment ("COMM") is written with the other generic fields; see writeComment().
void writeId3v2(TagLib::ID3v2::Tag* tag, const WriteRequest& r, const std::vector<NewPicture>& pictures) {
    if (!tag)
        return;
    setId3Text(*tag, "TIT2", r.title);
    setId3Text(*tag, "TPE1", r.artist);
    setId3Text(*tag, "TALB", r.album);
    setId3Text(*tag, "TCON", r.genre);
    setId3Number(*tag, "TDRC", r.hasYear, r.year);
    setId3Text(*tag, "TPE2", r.albumArtist);
    setId3Text(*tag, "TCOM", r.composer);
    setId3Text(*tag, "TIT1", r.grouping);
    setId3Number(*tag, "TBPM", r.hasBpm, r.bpm);
    setId3Text(*tag, "TCMP", r.compilation < 0 ? "" : r.compilation != 0 ? "1" : "0");
    setId3Text(*tag, "TRCK", fractionText(r.hasTrack, r.track, r.hasTrackTotal, r.trackTotal));
    setId3Text(*tag, "TPOS", fractionText(r.hasDisc, r.disc, r.hasDiscTotal, r.discTotal));

    tag->removeFrames("USLT");
    if (!r.lyrics.isEmpty()) {
        auto* frame = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::UTF8);
        frame->setLanguage("eng");
        frame->setText(r.lyrics);
        tag->addFrame(frame);
    }

    if (r.artworkCount == -1)
        return;
    tag->removeFrames("APIC");
    for (const NewPicture& picture : pictures) {
        auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setTextEncoding(TagLib::String::UTF8);
        frame->setMimeType(picture.mimeType);
        frame->setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(picture.type));
        frame->setDescription(picture.description);
        frame->setPicture(picture.data);
        tag->addFrame(frame);
    }
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

void setXiph(TagLib::Ogg::XiphComment& comment, const char* key, const TagLib::String& text) {
    if (text.isEmpty())
        comment.removeFields(key);
    else
        comment.addField(key, text, true);
}

void setXiphNumber(TagLib::Ogg::XiphComment& comment, const char* key, bool present, int value) {
    setXiph(comment, key, present ? numberText(value) : TagLib::String());
}

void writeXiph(TagLib::Ogg::XiphComment* comment, const WriteRequest& r,
               const std::vector<NewPicture>& pictures) {
    if (!comment)
        return;
    setXiph(*comment, "ALBUMARTIST", r.albumArtist);
    setXiph(*comment, "COMPOSER", r.composer);
    setXiph(*comment, "GROUPING", r.grouping);
    setXiph(*comment, "LYRICS", r.lyrics);
    setXiphNumber(*comment, "BPM", r.hasBpm, r.bpm);
    setXiph(*comment, "COMPILATION", r.compilation < 0 ? "" : r.compilation != 0 ? "1" : "0");
    setXiphNumber(*comment, "TRACKNUMBER", r.hasTrack, r.track);
    setXiphNumber(*comment, "TRACKTOTAL", r.hasTrackTotal, r.trackTotal);
    setXiphNumber(*comment, "DISCNUMBER", r.hasDisc, r.disc);
    setXiphNumber(*comment, "DISCTOTAL", r.hasDiscTotal, r.discTotal);

    if (r.artworkCount == -1)
        return;
    comment->removeAllPictures();
    for (const NewPicture& picture : pictures)
        comment->addPicture(flacPicture(picture));
}

void writeFlacPictures(TagLib::FLAC::File& file, const WriteRequest& r,
                       const std::vector<NewPicture>& pictures) {
    if (r.artworkCount == -1)
        return;
    file.removePictures();
    for (const NewPicture& picture : pictures)
        file.addPicture(flacPicture(picture));
}

// TagLib 2.0.x writes the 24-bit length of a FLAC metadata block without a
// range check: a block of 16 MiB or more gets a wrong length and the saved
// file is corrupt. Pictures in the Vorbis comment are base64 text, a third
// larger than the picture. Such a save is refused before anything is written.
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

void setMp4Text(TagLib::MP4::Tag& tag, const char* name, const TagLib::String& text) {
    const TagLib::String key(name, TagLib::String::Latin1);
    if (text.isEmpty())
        tag.removeItem(key);
    else
        tag.setItem(key, TagLib::MP4::Item(TagLib::StringList(text)));
}

void setMp4Pair(TagLib::MP4::Tag& tag, const char* name, bool hasNumber, int number, bool hasTotal,
                int total) {
    if (hasNumber || hasTotal)
        tag.setItem(name, TagLib::MP4::Item(hasNumber ? number : 0, hasTotal ? total : 0));
    else
        tag.removeItem(name);
}

void writeMp4(TagLib::MP4::Tag& tag, const WriteRequest& r, const std::vector<NewPicture>& pictures) {
    setMp4Text(tag, "aART", r.albumArtist);
    setMp4Text(tag, "\251wrt", r.composer);
    setMp4Text(tag, "\251grp", r.grouping);
    setMp4Text(tag, "\251lyr", r.lyrics);
    if (r.hasBpm)
        tag.setItem("tmpo", TagLib::MP4::Item(r.bpm));
    else
        tag.removeItem("tmpo");
    if (r.compilation < 0)
        tag.removeItem("cpil");
    else
        tag.setItem("cpil", TagLib::MP4::Item(r.compilation != 0));
    setMp4Pair(tag, "trkn", r.hasTrack, r.track, r.hasTrackTotal, r.trackTotal);
    setMp4Pair(tag, "disk", r.hasDisc, r.disc, r.hasDiscTotal, r.discTotal);

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
        return -1;

    TagLib::FileRef ref(r.path, false);
    if (ref.isNull() || !ref.tag() || !hasAudioContent(ref.file()))
        return -1;
    TagLib::File* file = ref.file();
    auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file);
    auto* flac = dynamic_cast<TagLib::FLAC::File*>(file);
    auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file);
    if (mp4 && !mp4->tag())
        return -1;

    // TagLib's generic setters only reach tags that exist. TagLib 2.0 creates
    // these two when it opens a file; creating them here keeps it that way.
    if (mpeg)
        mpeg->ID3v2Tag(true);
    if (flac)
        flac->xiphComment(true);

    TagLib::Tag* tag = ref.tag();
    tag->setTitle(r.title);
    tag->setArtist(r.artist);
    tag->setAlbum(r.album);
    tag->setGenre(r.genre);
    writeComment(file, tag, r.comment);
    tag->setYear(r.hasYear && r.year > 0 ? static_cast<unsigned int>(r.year) : 0);
    tag->setTrack(r.hasTrack && r.track > 0 ? static_cast<unsigned int>(r.track) : 0);

    if (mpeg) {
        writeId3v2(mpeg->ID3v2Tag(true), r, *pictures);
    } else if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file)) {
        writeId3v2(aiff->tag(), r, *pictures);
    } else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file)) {
        writeId3v2(wav->ID3v2Tag(), r, *pictures);
    } else if (auto* dsf = dynamic_cast<TagLib::DSF::File*>(file)) {
        writeId3v2(dsf->tag(), r, *pictures);
    } else if (flac) {
        writeXiph(flac->xiphComment(true), r, *pictures);
        writeFlacPictures(*flac, r, *pictures);
        if (!flacBlocksFit(*flac))
            return -1;
    } else if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file)) {
        writeXiph(vorbis->tag(), r, *pictures);
    } else if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(file)) {
        writeXiph(opus->tag(), r, *pictures);
    } else if (mp4) {
        writeMp4(*mp4->tag(), r, *pictures);
    } else if (auto* oggFlac = dynamic_cast<TagLib::Ogg::FLAC::File*>(file)) {
        // Generic fields only, but the same 24-bit block length applies.
        if (oggFlac->tag() && oggFlac->tag()->render(false).size() >= kFlacBlockLimit)
            return -1;
    }

    if (mpeg) {
        // TagLib's default MPEG save first copies the ID3v1 tag into the
        // ID3v2 fields it considers empty, which can undo what was just
        // written: a "TRCK" of 0/12 counts as no track and is deleted in
        // favour of ID3v1's track (none). Everything else is the default.
        return mpeg->save(TagLib::MPEG::File::AllTags, TagLib::File::StripOthers, TagLib::ID3v2::v4,
                          TagLib::File::DoNotDuplicate)
                   ? 0
                   : -1;
    }
    return ref.save() ? 0 : -1;
}

} // namespace ctaglib
