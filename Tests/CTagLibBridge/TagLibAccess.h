// Direct TagLib access for tests: crafting frames the bridge never writes and
// looking at exactly what it stored. Only tests and the bridge include TagLib.
#pragma once

#include <QByteArray>

#include <functional>
#include <string>
#include <vector>

namespace TagLib {
namespace ID3v2 {
class Tag;
}
namespace Ogg {
class XiphComment;
}
namespace FLAC {
class File;
}
namespace MP4 {
class Tag;
}
} // namespace TagLib

namespace BridgeTest {

// Opens the file with TagLib, lets edit change the tag and saves (without
// TagLib's ID3v1 duplication for MPEG files). Fails the test when the file
// cannot be opened or saved.
void editId3v2(const QByteArray& path, const std::function<void(TagLib::ID3v2::Tag&)>& edit);
void editFlac(const QByteArray& path, const std::function<void(TagLib::FLAC::File&)>& edit);
void editMp4(const QByteArray& path, const std::function<void(TagLib::MP4::Tag&)>& edit);

// Replace every frame with the ID by one text frame: UTF-8 text in a UTF-8
// frame, or bytes stored as they are in a frame labelled Latin-1.
void setRawTextFrame(TagLib::ID3v2::Tag& tag, const char* id, const std::string& utf8);
void setLatin1Frame(TagLib::ID3v2::Tag& tag, const char* id, const std::string& latin1Bytes);
void addCommentFrame(TagLib::ID3v2::Tag& tag, const std::string& description, const std::string& text,
                     const char* language = "eng");

struct CommentFrame {
    std::string description;
    std::string language;
    std::string text;
    bool operator==(const CommentFrame&) const = default;
};

// What an MPEG, WAV, AIFF or DSF file holds, read with TagLib directly.
std::vector<CommentFrame> commentFrames(const QByteArray& path);
std::vector<std::string> id3v2Texts(const QByteArray& path, const char* frameId);
int id3v2FrameCount(const QByteArray& path, const char* frameId);

// FLAC picture counts in both places: native blocks and the Vorbis comment.
struct FlacPictureCounts {
    int native = 0;
    int inComment = 0;
};
FlacPictureCounts flacPictureCounts(const QByteArray& path);

// The "covr" formats of an MP4 file (TagLib's CoverArt::Format codes).
std::vector<int> mp4CoverFormats(const QByteArray& path);
bool mp4HasItem(const QByteArray& path, const char* name);
std::pair<int, int> mp4IntPair(const QByteArray& path, const char* name);

} // namespace BridgeTest
