/*
 * CTagLibBridge — a small C interface over TagLib.
 *
 * Reads one audio file's tags, audio properties and embedded pictures into a
 * flat record of plain C types, and writes a complete set of tag values and
 * pictures back. No TagLib type crosses this interface.
 *
 * Strings are NUL-terminated UTF-8. Every call is independent and keeps no
 * state, so reads of different files may run on several threads at once; the
 * caller must not read and write, or write, the same file from two threads at
 * the same time.
 */
#ifndef CTAGLIBBRIDGE_H
#define CTAGLIBBRIDGE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Result codes of the write functions, and the reason of a failed read
 * (CTagLibTag.errorCode).
 */
enum {
    CTAGLIB_OK = 0,
    CTAGLIB_FAILED = -1,
    /* The file's tags could not be read completely, and the part that was not
       read could not be kept: the file was left as it was. */
    CTAGLIB_TAGS_NOT_READ_COMPLETELY = -2,
    /* The file has two tags of the same kind (two ID3 chunks, say). */
    CTAGLIB_DUPLICATE_TAGS = -3,
    /* A value is larger than the format can hold (MP4 numbers: 65535). */
    CTAGLIB_VALUE_TOO_LARGE = -4,
    CTAGLIB_MISSING = -5,
    CTAGLIB_NO_PERMISSION = -6,
    CTAGLIB_READ_ONLY_FILE_SYSTEM = -7,
    /* A variant of the format that is not supported (RF64 WAV, Ogg with
       several streams...); the error text names it. */
    CTAGLIB_UNSUPPORTED_VARIANT = -8,
    /* The file holds no bytes at all. */
    CTAGLIB_EMPTY_FILE = -9,
    /* A field the format keeps as a number only (MP4 track, disc and BPM) was
       given text that is not one, such as "A1". */
    CTAGLIB_NOT_A_NUMBER = -10,
    /* A custom item's key the file's tag cannot hold (a Vorbis comment key
       outside printable ASCII or with "=", an MP4 key that does not start with
       A-Z, any key in a DSDIFF file): nothing was changed. */
    CTAGLIB_UNSUPPORTED_KEY = -11
};

/*
 * Several values of one item (two artists, say) travel as one text, joined
 * with this separator; a text written is split at it into several values
 * wherever the format keeps several (ID3v2.4 text frames, Vorbis comments,
 * MP4). ID3v2.3 keeps one text: the artist frames (TPE1, TCOM, TEXT, TOLY,
 * TOPE) get the values joined with "/", as that version says, other frames
 * the text as given. A comment and lyrics are prose, whose "; " is
 * punctuation: they are always written as one value.
 */
#define CTAGLIB_VALUE_SEPARATOR "; "

/* A text item of the file's tag that is none of the fields below, named by
   TagLib's unified property name (CATALOGNUMBER, MUSICBRAINZ_ALBUMID, ...) or,
   where TagLib has none, by the item's own name (a TXXX description). */
typedef struct CTagLibProperty {
    char* key;   /* owned */
    char* value; /* several values joined with CTAGLIB_VALUE_SEPARATOR; never null (owned) */
} CTagLibProperty;

/* One embedded picture of a read record. */
typedef struct CTagLibArtwork {
    uint8_t* data;       /* the picture bytes exactly as stored (owned) */
    uint64_t size;       /* number of bytes at data (always below 2^32) */
    char* mimeType;      /* MIME type as stored, derived for MP4 cover art; null when empty (owned) */
    char* description;   /* null when empty (owned) */
    int32_t pictureType; /* ID3v2 / FLAC picture type code: 0 other, 3 front cover, ... */
} CTagLibArtwork;

/*
 * The result of ctaglib_read, allocated zero-filled. A string that would be
 * empty is null. A number is meaningful only when its has... flag is 1.
 * When error is set, no other field is filled.
 */
typedef struct CTagLibTag {
    char* title;
    char* artist;
    char* album;
    char* albumArtist;
    char* composer;
    char* genre;
    char* comment;
    char* lyrics; /* unsynchronised lyrics */
    char* grouping;

    int32_t year;
    int32_t track;
    int32_t trackTotal;
    int32_t disc;
    int32_t discTotal;
    int32_t bpm;
    int32_t compilation; /* -1 not present in the file, 0 false, 1 true */

    int32_t hasYear;
    int32_t hasTrack;
    int32_t hasTrackTotal;
    int32_t hasDisc;
    int32_t hasDiscTotal;
    int32_t hasBpm;

    int32_t duration;   /* whole seconds; 0 without audio properties */
    int32_t bitrate;    /* kbit/s */
    int32_t sampleRate; /* Hz */
    int32_t channels;

    /* The same text as fileType, set only when audio properties were read.
       Borrowed: never freed on its own. */
    const char* codec;

    CTagLibArtwork* artwork; /* pictures in file order; null when there are none (owned) */
    int32_t artworkCount;

    /* "MP3", "FLAC", "MP4", "AIFF", "WAV", "DSF", "OGG", "OPUS" or "Unknown" (owned) */
    char* fileType;
    /* Set only on failure: the reason in English, such as "Could not open
       file" or "RF64 WAV files are not supported" (owned) */
    char* error;
    /* With error: one of the CTAGLIB_ codes above, CTAGLIB_FAILED when no
       more specific one applies. */
    int32_t errorCode;
    /* 1 when the tags could be read only in part: some frames or the comment
       block were malformed, and the fields around them were recovered. */
    int32_t readInPart;

    /* The numeric fields' text as stored, set whenever the field is present:
       "1974-11-01" for a full date, "A1" for a vinyl side's track, "12" for a
       total (the number's text where the format keeps numbers only, as MP4's
       track, or where only a generic tag such as ID3v1 holds it). The number
       beside it is the text's leading number, as before: 1974 for that date,
       none (and its has... flag 0) for "A1". (owned) */
    char* yearText;
    char* trackText;
    char* trackTotalText;
    char* discText;
    char* discTotalText;
    char* bpmText;

    /* Every other text item of the file's main tag, in key order; null when
       there are none. The main tag is the one the fields come from: ID3v2
       (MP3, WAV, AIFF, DSF), the Vorbis comment (FLAC, Ogg, Opus) or the MP4
       item list; an MP3 file's APE tag adds the items whose key the ID3v2 tag
       lacks (read only: a write changes the ID3v2 tag). Keys are upper case,
       as TagLib names them ("MY OWN KEY" for a TXXX description "My Own Key",
       "COMMENT:LINER" for a comment described "Liner"). Items that hold a
       field are left out: in ID3v2 the grouping is "TIT1", which TagLib calls
       WORK, so WORK is left out there and "GRP1" is the custom item GROUPING.
       (owned) */
    CTagLibProperty* properties;
    int32_t propertyCount;
} CTagLibTag;

/* One picture to write. Pictures with null data or a size of 0 are skipped. */
typedef struct CTagLibArtworkWrite {
    const uint8_t* data;
    int64_t size;            /* bytes at data; must be below 2^32 */
    const char* mimeType;    /* null means "image/jpeg" */
    int32_t pictureType;     /* ID3v2 / FLAC picture type code */
    const char* description; /* null means none */
} CTagLibArtworkWrite;

/*
 * Reads the file at path (UTF-8). Returns null only when path is null or the
 * record cannot be allocated; every other failure is reported through the
 * record's error. Release every non-null result with ctaglib_free_result,
 * also when error is set.
 */
CTagLibTag* ctaglib_read(const char* path);

/* Frees a record of ctaglib_read with everything it owns. Null is ignored. */
void ctaglib_free_result(CTagLibTag* tag);

/*
 * The tag fields as bits of a field mask, in the order the editor lists them.
 * A write changes only the fields whose bit is set.
 */
enum {
    CTAGLIB_FIELD_TITLE = 1u << 0,
    CTAGLIB_FIELD_ARTIST = 1u << 1,
    CTAGLIB_FIELD_ALBUM = 1u << 2,
    CTAGLIB_FIELD_ALBUM_ARTIST = 1u << 3,
    CTAGLIB_FIELD_COMPOSER = 1u << 4,
    CTAGLIB_FIELD_GENRE = 1u << 5,
    CTAGLIB_FIELD_YEAR = 1u << 6,
    CTAGLIB_FIELD_TRACK = 1u << 7,
    CTAGLIB_FIELD_TRACK_TOTAL = 1u << 8,
    CTAGLIB_FIELD_DISC = 1u << 9,
    CTAGLIB_FIELD_DISC_TOTAL = 1u << 10,
    CTAGLIB_FIELD_BPM = 1u << 11,
    CTAGLIB_FIELD_COMMENT = 1u << 12,
    CTAGLIB_FIELD_LYRICS = 1u << 13,
    CTAGLIB_FIELD_GROUPING = 1u << 14,
    CTAGLIB_FIELD_COMPILATION = 1u << 15,
    CTAGLIB_ALL_FIELDS = (1u << 16) - 1,
    /* The fields every file kind keeps; DSDIFF files keep only these, and no pictures. */
    CTAGLIB_GENERIC_FIELDS = CTAGLIB_FIELD_TITLE | CTAGLIB_FIELD_ARTIST | CTAGLIB_FIELD_ALBUM |
                             CTAGLIB_FIELD_GENRE | CTAGLIB_FIELD_COMMENT | CTAGLIB_FIELD_YEAR |
                             CTAGLIB_FIELD_TRACK
};

/* One item to write, see CTagLibTagValues.properties. */
typedef struct CTagLibPropertyWrite {
    const char* key;
    const char* value;
} CTagLibPropertyWrite;

/* The values of one write, named as in CTagLibTag. Empty or null text removes
   a field; a number whose has... flag is 0 is removed. */
typedef struct CTagLibTagValues {
    const char* title;
    const char* artist;
    const char* album;
    const char* albumArtist;
    const char* composer;
    const char* genre;
    const char* comment;
    const char* lyrics;
    const char* grouping;

    int32_t year;
    int32_t track;
    int32_t trackTotal;
    int32_t disc;
    int32_t discTotal;
    int32_t bpm;
    int32_t compilation; /* -1 absent, 0 false, any other value true */

    int32_t hasYear;
    int32_t hasTrack;
    int32_t hasTrackTotal;
    int32_t hasDisc;
    int32_t hasDiscTotal;
    int32_t hasBpm;

    /* Text for a numeric field, written as given ("1974-11-01", "A1") in place
       of the number above; null writes the number, empty text removes the
       field. ID3v2.3 gets a date as year, day and time ("TYER", "TDAT",
       "TIME"). MP4 keeps track, disc and BPM as numbers only: text that is not
       a plain number there fails the write with CTAGLIB_NOT_A_NUMBER. */
    const char* yearText;
    const char* trackText;
    const char* trackTotalText;
    const char* discText;
    const char* discTotalText;
    const char* bpmText;

    /* Other items to change, by key as CTagLibTag.properties names them (case
       does not matter); a null or empty value removes the item. Items not
       named stay as they are. They are written whatever the field mask says;
       a key that is one of the fields' own items in that format (TITLE,
       DATE, ...) is ignored, the fields being written from the members above.
       The same key reaches the same item in every format, by TagLib's
       mapping: CATALOGNUMBER is TXXX "CATALOGNUMBER" in ID3v2, the field
       CATALOGNUMBER in a Vorbis comment, "----:com.apple.iTunes:CATALOGNUMBER"
       in MP4; an item the file already has keeps its spelling (a TXXX
       description's case, a comment's language). A key the format cannot hold
       fails the write with CTAGLIB_UNSUPPORTED_KEY. */
    const CTagLibPropertyWrite* properties;
    int32_t propertyCount;

    /* The version of an ID3v2 tag the write has to create: 3 or 4 (0 means 4).
       A tag the file already has keeps its version. */
    int32_t newId3v2Version;
} CTagLibTagValues;

/*
 * Writes the fields named by the mask (CTAGLIB_FIELD_... bits) into the file
 * at path and saves it; every other field, and every frame, atom or comment
 * the bridge does not know, stays exactly as it was. Returns CTAGLIB_OK (0) on
 * success, else the reason as a CTAGLIB_ code (CTAGLIB_FAILED, -1, when none
 * more specific applies). values may be null only when the mask is 0.
 *
 * artworkCount is -1 to leave the file's pictures as they are, 0 to remove
 * them all, and n > 0 to replace them with the n pictures at artwork. FLAC
 * pictures are written as picture blocks only.
 *
 * The file keeps its tag containers: an ID3v2 tag keeps its version (a new
 * one is of values->newId3v2Version), an ID3v1 tag or RIFF INFO list is
 * updated but never added.
 *
 * Nothing is changed when the file cannot be opened (missing, no permission,
 * read-only file system), when saving would produce a file the format cannot
 * represent (a FLAC metadata block of 16 MiB or more: CTAGLIB_FAILED; an MP4
 * number above 65535: CTAGLIB_VALUE_TOO_LARGE). When the file's tags could not
 * be read completely and the part that was not read could not be kept intact,
 * nothing is changed and the result is CTAGLIB_TAGS_NOT_READ_COMPLETELY.
 */
int32_t ctaglib_write_fields(const char* path, const CTagLibTagValues* values, uint32_t fields,
                             const CTagLibArtworkWrite* artwork, int32_t artworkCount);

/* ctaglib_write_fields with every field, the values passed one by one. */
int32_t ctaglib_write(const char* path, const char* title, const char* artist, const char* album,
                      const char* albumArtist, const char* composer, const char* genre, const char* comment,
                      const char* grouping, const char* lyrics, int32_t year, int32_t hasYear, int32_t track,
                      int32_t hasTrack, int32_t trackTotal, int32_t hasTrackTotal, int32_t disc,
                      int32_t hasDisc, int32_t discTotal, int32_t hasDiscTotal, int32_t bpm, int32_t hasBpm,
                      int32_t compilation, const CTagLibArtworkWrite* artwork, int32_t artworkCount);

#ifdef __cplusplus
}
#endif

#endif /* CTAGLIBBRIDGE_H */
