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

#if defined(CTAGLIBBRIDGE_BUILDING)
#define CTAGLIB_EXPORT __attribute__((visibility("default")))
#else
#define CTAGLIB_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

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
    /* Set only on failure: "Could not open file" or "No tag found" (owned) */
    char* error;
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
CTAGLIB_EXPORT CTagLibTag* ctaglib_read(const char* path);

/* Frees a record of ctaglib_read with everything it owns. Null is ignored. */
CTAGLIB_EXPORT void ctaglib_free_result(CTagLibTag* tag);

/*
 * Writes every field into the file at path and saves it. Returns 0 on
 * success, -1 on failure.
 *
 * Every field is written: empty or null text removes the field, and a number
 * whose has... flag is 0 is removed. compilation is -1 for absent, 0 for
 * false and any other value for true. artworkCount is -1 to leave the file's
 * pictures as they are, 0 to remove them all, and n > 0 to replace them with
 * the n pictures at artwork.
 *
 * Nothing is changed when the file cannot be opened, or when saving would
 * produce a file the format cannot represent (a FLAC metadata block of
 * 16 MiB or more).
 */
CTAGLIB_EXPORT int32_t ctaglib_write(const char* path, const char* title, const char* artist,
                                     const char* album, const char* albumArtist, const char* composer,
                                     const char* genre, const char* comment, const char* grouping,
                                     const char* lyrics, int32_t year, int32_t hasYear, int32_t track,
                                     int32_t hasTrack, int32_t trackTotal, int32_t hasTrackTotal,
                                     int32_t disc, int32_t hasDisc, int32_t discTotal, int32_t hasDiscTotal,
                                     int32_t bpm, int32_t hasBpm, int32_t compilation,
                                     const CTagLibArtworkWrite* artwork, int32_t artworkCount);

#ifdef __cplusplus
}
#endif

#endif /* CTAGLIBBRIDGE_H */
