#include "TagLibAccess.h"

#include <gtest/gtest.h>

#include <aifffile.h>
#include <commentsframe.h>
#include <dsffile.h>
#include <fileref.h>
#include <flacfile.h>
#include <id3v2tag.h>
#include <mp4file.h>
#include <mp4tag.h>
#include <mpegfile.h>
#include <textidentificationframe.h>
#include <wavfile.h>
#include <xiphcomment.h>

namespace BridgeTest {
namespace {

TagLib::ID3v2::Tag* id3v2Of(TagLib::File* file) {
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file))
        return mpeg->ID3v2Tag(true);
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file))
        return wav->ID3v2Tag();
    if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file))
        return aiff->tag();
    if (auto* dsf = dynamic_cast<TagLib::DSF::File*>(file))
        return dsf->tag();
    return nullptr;
}

std::string utf8(const TagLib::String& text) {
    return text.to8Bit(true);
}

void withId3v2(const QByteArray& path, const std::function<void(const TagLib::ID3v2::Tag&)>& look) {
    TagLib::FileRef ref(path.constData(), false);
    ASSERT_FALSE(ref.isNull()) << path.constData();
    TagLib::ID3v2::Tag* tag = id3v2Of(ref.file());
    ASSERT_NE(tag, nullptr) << path.constData();
    look(*tag);
}

} // namespace

void editId3v2(const QByteArray& path, const std::function<void(TagLib::ID3v2::Tag&)>& edit) {
    TagLib::FileRef ref(path.constData(), false);
    ASSERT_FALSE(ref.isNull()) << path.constData();
    TagLib::ID3v2::Tag* tag = id3v2Of(ref.file());
    ASSERT_NE(tag, nullptr) << path.constData();
    edit(*tag);
    bool saved = false;
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(ref.file()))
        saved = mpeg->save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4,
                           TagLib::File::DoNotDuplicate);
    else
        saved = ref.save();
    ASSERT_TRUE(saved) << path.constData();
}

void editFlac(const QByteArray& path, const std::function<void(TagLib::FLAC::File&)>& edit) {
    TagLib::FLAC::File file(path.constData(), false);
    ASSERT_TRUE(file.isValid()) << path.constData();
    edit(file);
    ASSERT_TRUE(file.save()) << path.constData();
}

void editMp4(const QByteArray& path, const std::function<void(TagLib::MP4::Tag&)>& edit) {
    TagLib::MP4::File file(path.constData(), false);
    ASSERT_TRUE(file.isValid() && file.tag()) << path.constData();
    edit(*file.tag());
    ASSERT_TRUE(file.save()) << path.constData();
}

void setRawTextFrame(TagLib::ID3v2::Tag& tag, const char* id, const std::string& text) {
    tag.removeFrames(id);
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
    frame->setText(TagLib::String(text, TagLib::String::UTF8));
    tag.addFrame(frame);
}

void setLatin1Frame(TagLib::ID3v2::Tag& tag, const char* id, const std::string& latin1Bytes) {
    tag.removeFrames(id);
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::Latin1);
    frame->setText(TagLib::String(latin1Bytes, TagLib::String::Latin1));
    tag.addFrame(frame);
}

void addCommentFrame(TagLib::ID3v2::Tag& tag, const std::string& description, const std::string& text,
                     const char* language) {
    auto* frame = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF8);
    frame->setDescription(TagLib::String(description, TagLib::String::UTF8));
    frame->setLanguage(language);
    frame->setText(TagLib::String(text, TagLib::String::UTF8));
    tag.addFrame(frame);
}

std::vector<CommentFrame> commentFrames(const QByteArray& path) {
    std::vector<CommentFrame> frames;
    withId3v2(path, [&](const TagLib::ID3v2::Tag& tag) {
        for (const TagLib::ID3v2::Frame* frame : tag.frameList("COMM")) {
            const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(frame);
            if (comment)
                frames.push_back({utf8(comment->description()),
                                  std::string(comment->language().data(), comment->language().size()),
                                  utf8(comment->text())});
        }
    });
    return frames;
}

std::vector<std::string> id3v2Texts(const QByteArray& path, const char* frameId) {
    std::vector<std::string> texts;
    withId3v2(path, [&](const TagLib::ID3v2::Tag& tag) {
        for (const TagLib::ID3v2::Frame* frame : tag.frameList(frameId))
            texts.push_back(utf8(frame->toString()));
    });
    return texts;
}

int id3v2FrameCount(const QByteArray& path, const char* frameId) {
    int count = 0;
    withId3v2(path, [&](const TagLib::ID3v2::Tag& tag) {
        count = static_cast<int>(tag.frameList(frameId).size());
    });
    return count;
}

FlacPictureCounts flacPictureCounts(const QByteArray& path) {
    TagLib::FLAC::File file(path.constData(), false);
    FlacPictureCounts counts;
    counts.native = static_cast<int>(file.pictureList().size());
    if (TagLib::Ogg::XiphComment* comment = file.xiphComment(false))
        counts.inComment = static_cast<int>(comment->pictureList().size());
    return counts;
}

std::vector<int> mp4CoverFormats(const QByteArray& path) {
    TagLib::MP4::File file(path.constData(), false);
    std::vector<int> formats;
    if (file.tag() && file.tag()->contains("covr")) {
        for (const TagLib::MP4::CoverArt& cover : file.tag()->item("covr").toCoverArtList())
            formats.push_back(static_cast<int>(cover.format()));
    }
    return formats;
}

bool mp4HasItem(const QByteArray& path, const char* name) {
    TagLib::MP4::File file(path.constData(), false);
    return file.tag() && file.tag()->contains(TagLib::String(name, TagLib::String::Latin1));
}

std::pair<int, int> mp4IntPair(const QByteArray& path, const char* name) {
    TagLib::MP4::File file(path.constData(), false);
    const TagLib::MP4::Item::IntPair pair = file.tag()->item(name).toIntPair();
    return {pair.first, pair.second};
}

} // namespace BridgeTest
