#include "BridgeInternal.h"

#include <flacfile.h>
#include <opusfile.h>
#include <vorbisfile.h>
#include <xiphcomment.h>

namespace ctaglib {
namespace {

using TagLib::ByteVector;

constexpr char vorbisCommentBlock = 4;

bool isPictureKey(const TagLib::String& key) {
    return key == "METADATA_BLOCK_PICTURE" || key == "COVERART";
}

} // namespace

std::vector<StoredXiphField> storedXiphFields(const ByteVector& comment) {
    std::vector<StoredXiphField> fields;
    if (comment.size() < 8)
        return fields;
    unsigned int pos = 4 + comment.toUInt(0U, false); // past the vendor text
    if (pos < 4 || comment.size() - 4 < pos)
        return fields;
    const unsigned int count = comment.toUInt(pos, false);
    pos += 4;
    for (unsigned int i = 0; i < count && comment.size() - pos >= 4; ++i) {
        const unsigned int length = comment.toUInt(pos, false);
        pos += 4;
        if (length > comment.size() - pos)
            break;
        const ByteVector entry = comment.mid(pos, length);
        pos += length;
        const int separator = entry.find('=');
        if (separator > 0)
            fields.push_back({TagLib::String(entry.mid(0, separator), TagLib::String::UTF8).upper(),
                              entry.mid(separator + 1)});
    }
    return fields;
}

std::vector<ByteVector> flacCommentBlocks(TagLib::FLAC::File& file) {
    std::vector<ByteVector> blocks;
    TagLib::offset_t pos = file.find("fLaC");
    if (pos < 0)
        return blocks;
    for (pos += 4;;) {
        file.seek(pos);
        const ByteVector header = file.readBlock(4);
        if (header.size() < 4)
            break;
        const unsigned int length = header.toUInt(1U, 3U, true);
        if ((header[0] & 0x7F) == vorbisCommentBlock)
            blocks.push_back(file.readBlock(length));
        if (header[0] & 0x80) // the last block
            break;
        pos += 4 + static_cast<TagLib::offset_t>(length);
    }
    return blocks;
}

ByteVector oggComment(TagLib::File& file) {
    // The comment packet starts with the codec's signature.
    if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(&file))
        return vorbis->packet(1).mid(7);
    if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(&file))
        return opus->packet(1).mid(8);
    return {};
}

void keepStoredPictureFields(TagLib::Ogg::XiphComment& comment, const std::vector<StoredXiphField>& stored) {
    std::vector<const StoredXiphField*> pictures;
    for (const StoredXiphField& field : stored) {
        if (isPictureKey(field.key))
            pictures.push_back(&field);
    }
    // TagLib takes in every picture field it can decode; fewer stored ones
    // would mean the stored comment was not found as TagLib read it.
    if (pictures.size() < comment.pictureList().size())
        return;
    comment.removeAllPictures();
    for (const StoredXiphField* field : pictures)
        comment.addField(field->key, TagLib::String(field->value, TagLib::String::UTF8), false);
}

void mergeXiphFields(TagLib::Ogg::XiphComment& into, const std::vector<StoredXiphField>& later,
                     bool withPictures) {
    const TagLib::Ogg::FieldListMap present = into.fieldListMap();
    for (const StoredXiphField& field : later) {
        if (isPictureKey(field.key) ? withPictures : !present.contains(field.key))
            into.addField(field.key, TagLib::String(field.value, TagLib::String::UTF8), false);
    }
}

} // namespace ctaglib
