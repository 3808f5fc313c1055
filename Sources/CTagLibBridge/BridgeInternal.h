// Internal interface between the files of the bridge. Nothing here is exported.
#pragma once

#include "CTagLibBridge.h"

#include <tstring.h>

#include <string>
#include <string_view>
#include <vector>

namespace TagLib {
class File;
class Tag;
namespace ID3v2 {
class Tag;
}
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
void writeComment(TagLib::File* file, TagLib::Tag* generic, const TagLib::String& text);

// ---- Reading and writing (Reading.cpp, Writing.cpp) ----

CTagLibTag* readFile(const char* path);

struct WriteRequest {
    const char* path = nullptr;
    TagLib::String title, artist, album, albumArtist, composer, genre, comment, grouping, lyrics;
    int year = 0, track = 0, trackTotal = 0, disc = 0, discTotal = 0, bpm = 0;
    bool hasYear = false, hasTrack = false, hasTrackTotal = false, hasDisc = false, hasDiscTotal = false,
         hasBpm = false;
    int compilation = -1; // -1 absent, 0 false, anything else true
    const CTagLibArtworkWrite* artwork = nullptr;
    int artworkCount = -1; // -1 leave pictures, 0 remove all, n replace
};
int32_t writeFile(const WriteRequest& request);

// ---- Thread safety (CTagLibBridge.cpp) ----

// TagLib fills some lookup tables lazily, without locking, on first use. Runs
// once, before the first read or write, so that concurrent calls only ever read
// those tables.
void warmUpTagLib();

} // namespace ctaglib
