// Internal interface between the files of the bridge. Nothing here is exported.
#pragma once

#include "CTagLibBridge.h"

#include <tstring.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TagLib {
class File;
class Tag;
namespace FLAC {
class File;
}
namespace ID3v2 {
class Frame;
class Tag;
} // namespace ID3v2
} // namespace TagLib

namespace ctaglib {

// ---- Text conversion (TextConversion.cpp) ----

// UTF-8 encoding of a TagLib string. TagLib keeps UTF-16 code units; an unpaired
// surrogate becomes U+FFFD instead of making the whole text disappear.
std::string toUtf8(const TagLib::String& text);

// An owned, NUL-terminated UTF-8 copy for the C record, or null for empty text
// (or when the copy cannot be allocated). Text whose characters all lie in
// U+0000-U+00FF and whose Latin-1 bytes form valid UTF-8 with at least one
// multi-byte sequence is taken to be UTF-8 stored under a Latin-1 label, and
// those bytes are returned as they are.
char* stringToC(const TagLib::String& text);

// A TagLib string from caller-supplied UTF-8. Null gives empty text; invalid
// sequences become U+FFFD (TagLib itself would drop the whole text).
TagLib::String stringFromUtf8(const char* utf8);

// True when the bytes are well-formed UTF-8: correct lead and continuation
// bytes, no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// An owned copy of a NUL-terminated string; null when it cannot be allocated.
char* duplicate(const char* text);

// Number and total of a "3/12" style text. Each part is read like atoi()
// (leading white space, optional sign, digits); a part without digits, or one
// outside the 32-bit range, reads as 0.
struct Fraction {
    int number = 0;
    int total = 0;
};
Fraction parseFraction(const TagLib::String& text);
int parseLeadingInteger(std::string_view text);

// ---- Per file kind (FileKinds.cpp) ----

// TagLib accepts any file with an .mp3, .wav or .aiff name, also an empty or
// a text file, and would then write tags into it. Such a file is treated like
// one TagLib cannot open: an MPEG file needs at least one MPEG audio frame, a
// WAV or AIFF file its container signature. Other kinds are checked by TagLib.
bool hasAudioContent(TagLib::File* file);

// The generic comment, with one change for files that carry ID3v2: there the
// comment is the description-less "COMM" frame only. Frames with a description
// ("iTunNORM", "iTunSMPB", ...) belong to other programs and are never shown as
// the comment, nor changed or removed when it is written. The file's other tags
// (ID3v1, APE, RIFF INFO, DSDIFF DIIN, Vorbis comment) still take part exactly
// as in TagLib's generic interface.
TagLib::String readComment(TagLib::File* file, TagLib::Tag* generic);
// Writes it so into the tags TagLib renders itself (a FLAC file and the ID3
// tags some FLAC files carry); where ID3v2 is the main tag, Id3v2Rewrite does.
void writeComment(TagLib::File* file, TagLib::Tag* generic, const TagLib::String& text);

// Whether TagLib read the whole Vorbis comment of a FLAC file. Some taggers
// write a wrong length into the comment block's header; TagLib then reads
// nothing or part of it, and a save would write the rest away. The comment's
// own length fields tell its real extent and number of entries.
bool flacCommentReadCompletely(TagLib::FLAC::File& file);
// The Vorbis comment of a FLAC file as its own length fields give it, for a
// comment whose block header states a wrong length; nothing when they run
// past the end of the file.
std::optional<TagLib::ByteVector> flacCommentByItsOwnLength(TagLib::FLAC::File& file);

// The description-less comment of an ID3v2 tag, see readComment().
TagLib::String plainComment(const TagLib::ID3v2::Tag* tag);

// ---- ID3v2 tags rewritten frame by frame (Id3v2Rewrite.cpp) ----
//
// TagLib re-renders a whole ID3v2 tag when it saves it, and loses on the way
// what another tagger left: ID3v2.3 tags lose the frames it re-creates or does
// not support in that version (TCON, TYER, TDAT, IPLS, RVAD...), frames lose
// their flags and encodings, and frames behind one it cannot parse are gone.
// A save instead keeps every frame of the fields it does not change exactly as
// stored, in its place, and adds the changed fields' frames rendered by TagLib
// for the tag's own version.

// The stored bytes (header and body) of the file's ID3v2 tag, found from the
// start of the file or, with nearEnd, from its end.
std::optional<TagLib::ByteVector> storedId3v2TagBytes(TagLib::File& file, TagLib::ID3v2::Tag& tag,
                                                      bool nearEnd);
// Whether TagLib takes the frame (header and body) in; at the first frame it
// does not, TagLib stops reading the tag.
bool tagLibReadsFrame(const TagLib::ByteVector& frame, int version);

// A stored ID3v2.3 or ID3v2.4 tag taken apart into its frames.
struct StoredId3v2Tag {
    int version = 4;
    bool experimental = false;
    unsigned int storedSize = 0;            // header and body as found in the file
    std::vector<TagLib::ByteVector> frames; // header and body, as stored
    size_t framesReadByTagLib = 0;          // TagLib stops at the first frame it cannot read
};
// Nothing when the bytes are not an ID3v2.3 or ID3v2.4 tag that can be taken
// apart completely into frames and padding.
std::optional<StoredId3v2Tag> parseStoredId3v2Tag(const TagLib::ByteVector& bytes);
// A tag of the stored tag's version and flags holding the given frames, with
// padding: as much as keeps the stored size, and at least about 1 KB.
TagLib::ByteVector assembleId3v2Tag(const StoredId3v2Tag& layout, const TagLib::ByteVector& frames);

// A frame as TagLib renders it for ID3v2.3 or ID3v2.4.
TagLib::ByteVector renderFrame(TagLib::ID3v2::Frame& frame, int version);

// The rewrite of one file's ID3v2 tag:
//   begin()    finds the stored tag (nearEnd: search from the end of the file),
//              or nothing when it holds bytes that are neither frames nor padding;
//   replace()  names the frames of a changed field and their new content;
//   stage()    puts a placeholder of the new tag's size into TagLib's tag;
//   ...        the file is saved by TagLib, with the tag's version;
//   finish()   writes the new tag over the placeholder.
class Id3v2Rewrite {
public:
    // Nothing when the file has a tag that cannot be found or taken apart.
    static std::optional<Id3v2Rewrite> begin(TagLib::File& file, TagLib::ID3v2::Tag& tag, bool nearEnd);
    // The version the tag keeps; a new tag is ID3v2.4.
    int version() const { return m_stored.version; }
    // Replaces the stored frames with these IDs (for plainCommentsOnly, only
    // comment frames without a description) by the given rendered frames.
    void replace(std::vector<std::string> ids, std::vector<TagLib::ByteVector> frames,
                 bool plainCommentsOnly = false);
    void stage(TagLib::ID3v2::Tag& tag);
    bool finish(TagLib::File& file, bool nearEnd);

private:
    struct Change {
        std::vector<std::string> ids;
        std::vector<TagLib::ByteVector> frames;
        bool plainCommentsOnly = false;
    };
    static bool isPlainComment(const TagLib::ByteVector& frame, int version);
    const Change* changeReplacing(const TagLib::ByteVector& frame) const;
    TagLib::ByteVector render() const;

    StoredId3v2Tag m_stored;
    std::vector<Change> m_changes;
    TagLib::ByteVector m_final;
    TagLib::ByteVector m_marker;
};

// ---- Reading and writing (Reading.cpp, Writing.cpp) ----

CTagLibTag* readFile(const char* path);

// ctaglib_write_fields' arguments. Values of fields outside the mask are not looked at.
struct WriteRequest {
    const char* path = nullptr;
    CTagLibTagValues values{};
    uint32_t fields = 0;
    const CTagLibArtworkWrite* artwork = nullptr;
    int artworkCount = -1; // -1 leave pictures, 0 remove all, n replace

    bool writes(uint32_t field) const { return (fields & field) != 0; }
};

// CTAGLIB_OK when written, else the CTAGLIB_ code of the reason.
inline constexpr int32_t writeFailed = CTAGLIB_FAILED;
inline constexpr int32_t tagsNotReadCompletely = CTAGLIB_TAGS_NOT_READ_COMPLETELY;
int32_t writeFile(const WriteRequest& request);

// ---- Failure reasons (FailureReasons.cpp) ----

// CTAGLIB_OK when the file exists and may be read (or written), else the
// reason: CTAGLIB_MISSING, CTAGLIB_NO_PERMISSION, CTAGLIB_READ_ONLY_FILE_SYSTEM
// or CTAGLIB_FAILED.
int32_t accessFailure(const char* path, bool forWriting);

// Why TagLib could not open a file as audio: a CTAGLIB_ code and its English text.
struct ReadFailure {
    int32_t code = CTAGLIB_FAILED;
    const char* text = "Could not open file";
};
ReadFailure whyUnreadable(const char* path);

// ---- Thread safety (CTagLibBridge.cpp) ----

// TagLib fills some lookup tables lazily, without locking, on first use. Runs
// once, before the first read or write, so that concurrent calls only ever read
// those tables.
void warmUpTagLib();

} // namespace ctaglib
