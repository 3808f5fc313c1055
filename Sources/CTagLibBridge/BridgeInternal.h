// Internal interface between the files of the bridge. Nothing here is exported.
#pragma once

#include "CTagLibBridge.h"

#include <taglib.h>
#include <tstring.h>
#include <tstringlist.h>

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
namespace MP4 {
class Tag;
}
namespace Ogg {
class XiphComment;
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

// What Latin-1 can hold of the text, for ID3v1: Latin-1 text as it is; other
// text transliterated to the nearest Latin letters ("Dvořák" gives "Dvorak"),
// with "?" for each character that has none.
TagLib::String latin1Approximation(const TagLib::String& text);

// True when the bytes are well-formed UTF-8: correct lead and continuation
// bytes, no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// An owned copy of a NUL-terminated string; null when it cannot be allocated.
char* duplicate(const char* text);

// Number and total of a "3/12" style text. Each part is read like atoi()
// (leading white space, optional sign, digits); a part without digits, or one
// outside the 32-bit range, reads as 0. The texts are the parts as stored,
// without surrounding white space ("A1" and "12" of "A1/12").
struct Fraction {
    int number = 0;
    int total = 0;
    TagLib::String numberText;
    TagLib::String totalText;
};
Fraction parseFraction(const TagLib::String& text);
int parseLeadingInteger(std::string_view text);
// The text when it is nothing but decimal digits (around white space aside).
std::optional<int> plainNumber(const TagLib::String& text);

// Several values of one item as one text, joined with CTAGLIB_VALUE_SEPARATOR
// (empty values left out), and a text split at it again.
TagLib::String joinValues(const TagLib::StringList& values);
TagLib::StringList splitValues(const TagLib::String& text);

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

// ---- Vorbis comments as stored (XiphComments.cpp) ----
//
// TagLib parses a Vorbis comment's pictures (METADATA_BLOCK_PICTURE, and the
// older COVERART with raw image data) into picture objects and renders them
// all anew as METADATA_BLOCK_PICTURE; a COVERART picture then becomes one of
// MIME type "image/" and no size. A FLAC file's second comment block it drops.

// One field of a stored comment: the key upper-cased, the value as stored.
struct StoredXiphField {
    TagLib::String key;
    TagLib::ByteVector value;
};
std::vector<StoredXiphField> storedXiphFields(const TagLib::ByteVector& comment);
// The Vorbis comment blocks of a FLAC file, in file order, each as stored.
std::vector<TagLib::ByteVector> flacCommentBlocks(TagLib::FLAC::File& file);
// The stored comment of an Ogg Vorbis or Opus file; empty for other files.
TagLib::ByteVector oggComment(TagLib::File& file);
// For a save that leaves the pictures alone: the comment's picture fields
// are written back as stored instead of TagLib's re-encoded pictures.
void keepStoredPictureFields(TagLib::Ogg::XiphComment& comment, const std::vector<StoredXiphField>& stored);
// Merges a later comment into the one readers show: a field is added when
// that one has no field of its key; pictures (when withPictures) are added
// as stored.
void mergeXiphFields(TagLib::Ogg::XiphComment& into, const std::vector<StoredXiphField>& later,
                     bool withPictures);

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

// A stored ID3v2 tag taken apart into its frames. An ID3v2.2 tag is taken as
// the ID3v2.3 tag it converts into, frame by frame with every value kept.
struct StoredId3v2Tag {
    int version = 4;
    bool experimental = false;
    unsigned int storedSize = 0;            // header and body as found in the file
    std::vector<TagLib::ByteVector> frames; // header and body, as stored
    size_t framesReadByTagLib = 0;          // TagLib stops at the first frame it cannot read
};
// Nothing when the bytes are not an ID3v2 tag that can be taken apart
// completely into frames and padding (refusal: tagsNotReadCompletely), or an
// ID3v2.2 tag with a frame that has no ID3v2.3 form (unsupportedVariant).
std::optional<StoredId3v2Tag> parseStoredId3v2Tag(const TagLib::ByteVector& bytes,
                                                  int32_t* refusal = nullptr);
// A tag of the stored tag's version and flags holding the given frames, with
// padding: as much as keeps the stored size, and at least about 1 KB.
TagLib::ByteVector assembleId3v2Tag(const StoredId3v2Tag& layout, const TagLib::ByteVector& frames);

// A frame as TagLib renders it for ID3v2.3 or ID3v2.4.
TagLib::ByteVector renderFrame(TagLib::ID3v2::Frame& frame, int version);

// Merges the frames of a tag stored after the first one into the first.
// Readers show the first tag only, so its frames stand; a later frame is
// added when the first has none of its kind (the same ID and, where a tag may
// hold several, the same description, language, owner or e-mail address, as
// readers tell them apart). Frames of another version are converted by
// TagLib. False, with refusal set, when a frame cannot be converted.
bool mergeId3v2Tags(StoredId3v2Tag& first, const StoredId3v2Tag& later, int32_t& refusal);

// The rewrite of one file's ID3v2 tag:
//   begin()    finds the stored tag (nearEnd: search from the end of the file),
//              or nothing when it holds bytes that are neither frames nor padding;
//   mergeAppendedTag() takes in a tag stored at the end of an MPEG file;
//   replace()  names the frames of a changed field and their new content;
//   stage()    puts a placeholder of the new tag's size into TagLib's tag;
//   ...        the file is saved by TagLib, with the tag's version;
//   finish()   writes the new tag over the placeholder.
class Id3v2Rewrite {
public:
    // Nothing when the file has a tag that cannot be found or taken apart;
    // refusal then says why. Tags stored right behind the first are merged
    // into it (see mergeId3v2Tags()).
    static std::optional<Id3v2Rewrite> begin(TagLib::File& file, TagLib::ID3v2::Tag& tag, bool nearEnd,
                                             int32_t& refusal);
    // Readers look for an ID3v2 tag at the start of an MPEG file only; some
    // writers append one at the end, before the ID3v1 tag. When such a tag
    // ends exactly at end, it is merged into the tag at the start (a file
    // without one gets it in the appended tag's version), and finish()
    // removes it. False when it cannot be taken apart; refusal then says why.
    bool mergeAppendedTag(TagLib::File& file, TagLib::offset_t end, int32_t& refusal);
    // The version the tag keeps; a new tag is ID3v2.4 unless set here (3 or 4).
    int version() const { return m_stored.version; }
    void setVersionOfNewTag(int version) {
        if (!m_hasTag)
            m_stored.version = version;
    }
    const StoredId3v2Tag& stored() const { return m_stored; }
    // Replaces the stored frames with these IDs (for plainCommentsOnly, only
    // comment frames without a description) by the given rendered frames.
    void replace(std::vector<std::string> ids, std::vector<TagLib::ByteVector> frames,
                 bool plainCommentsOnly = false);
    // Replaces exactly these stored frames (of stored()) by the given ones.
    void replaceFrames(std::vector<TagLib::ByteVector> stored, std::vector<TagLib::ByteVector> frames);
    void stage(TagLib::ID3v2::Tag& tag);
    bool finish(TagLib::File& file, bool nearEnd);

private:
    struct Change {
        std::vector<std::string> ids;
        std::vector<TagLib::ByteVector> frames;
        bool plainCommentsOnly = false;
        std::vector<TagLib::ByteVector> storedFrames; // replaced as they are, when ids is empty
    };
    static bool isPlainComment(const TagLib::ByteVector& frame, int version);
    const Change* changeReplacing(const TagLib::ByteVector& frame) const;
    TagLib::ByteVector render() const;

    StoredId3v2Tag m_stored;
    bool m_hasTag = false;
    TagLib::offset_t m_appendedFromEnd = 0; // where the appended tag starts, counted from the end
    TagLib::offset_t m_appendedSize = 0;
    std::vector<Change> m_changes;
    TagLib::ByteVector m_final;
    TagLib::ByteVector m_marker;
};

// ---- MP4 item lists rewritten atom by atom (Mp4Rewrite.cpp) ----
//
// TagLib renders every item of an MP4 file's item list ("ilst") anew when it
// saves, and loses what it does not model: a free-form name with ":" in it,
// a value after a NUL byte or one that is not UTF-8, the bytes of "iTunNORM"
// behind its text, the "name" child of a cover. A save instead keeps every
// item atom it does not change exactly as stored, in its place, and puts
// TagLib's rendering of a changed item in the place of its first atom.
//   begin()    reads the stored item list; nothing when the atoms above it
//              cannot be walked;
//   ...        the changes are made in TagLib's tag;
//   stage()    builds the final list and leaves TagLib a placeholder item of
//              its size (or, for a tiny list, TagLib's own items);
//   ...        the file is saved by TagLib;
//   finish()   writes the final list over the placeholder's.
class Mp4Rewrite {
public:
    static std::optional<Mp4Rewrite> begin(TagLib::File& file);
    // changed: the names of the items the save changes ("\251nam", "covr"...).
    void stage(TagLib::MP4::Tag& tag, const std::vector<std::string>& changed);
    bool finish(TagLib::File& file);

private:
    std::vector<TagLib::ByteVector> m_stored; // the item atoms, as stored
    TagLib::ByteVector m_final;
    TagLib::ByteVector m_marker;
};

// ---- Custom items (Properties.cpp) ----

// The tag whose items a file's custom items are: the one the fields are read from.
enum class MainTag { id3v2, xiph, mp4, ape };
// Whether the property name (upper case) is the item of one of the fields, or
// of the pictures, in that tag: such items are no custom items.
bool isFieldKey(const TagLib::String& key, MainTag tag);

// One custom item of a write: its key upper-cased, as TagLib names items, and
// its values (none removes it).
struct PropertyChange {
    TagLib::String key;
    TagLib::StringList values;
};
// The request's custom items, without those that are fields in that tag
// (the fields are written from their own members).
std::vector<PropertyChange> propertyChanges(const CTagLibTagValues& values, MainTag tag);

class Id3v2Rewrite;
// Replaces the stored frames that hold each key (a TXXX frame of that
// description, a COMM frame of that description, a text frame TagLib names
// so) by TagLib's frames for the key; a frame of people and roles (TIPL)
// keeps its other roles.
void writeId3v2Properties(Id3v2Rewrite& rewrite, const std::vector<PropertyChange>& changes);
// Each key's fields are replaced by one field per value. False, with nothing
// changed, when a key is not a Vorbis comment key (printable ASCII without "=").
bool writeXiphProperties(TagLib::Ogg::XiphComment& comment, const std::vector<PropertyChange>& changes);
// Each key's items are replaced by TagLib's item for the key; changedItems
// gets the names of the items removed or set. False, with nothing changed,
// when TagLib has no MP4 item for a key (a free-form name must start with
// A-Z and hold no ":", such as COMMENT:LINER) or the item cannot hold text
// (cover art).
bool writeMp4Properties(TagLib::MP4::Tag& tag, const std::vector<PropertyChange>& changes,
                        std::vector<std::string>& changedItems);

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
// A file with two tags of one kind that cannot be merged, and a variant of its
// format that cannot be written back with every value kept: left as they are.
inline constexpr int32_t twoTagsOfOneKind = CTAGLIB_DUPLICATE_TAGS;
inline constexpr int32_t unsupportedVariant = CTAGLIB_UNSUPPORTED_VARIANT;
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
