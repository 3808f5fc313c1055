// Owned copies of what the tag bridge reads and writes, so that a record can
// come from a call in this process or from a helper process alike. Text is
// UTF-8; absent means the bridge gave (or is given) no text.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct BridgePicture {
    QByteArray data;
    std::optional<std::string> mimeType;
    std::optional<std::string> description;
    int32_t pictureType = 0; // ID3v2 / FLAC picture type code
    // Read from the picture's header where it was read (the bridge leaves them
    // 0: see measurePicture); 0 when unknown. Not part of a write.
    int32_t width = 0, height = 0;
    // The byte count and Artwork::digestOf the bytes, taken where they were
    // read, so that a read may leave the bytes behind. Not part of a write.
    int64_t size = 0;
    QByteArray digest;
    bool operator==(const BridgePicture&) const = default;
};

// What a read hands over of the file's pictures: what describes them (type,
// description, MIME type, size, digest, pixel size), or that and their bytes.
enum class PictureContent : uint8_t { descriptions, bytes };

// A custom item: its name and its values, joined as in the bridge's records.
using BridgeProperty = std::pair<std::string, std::string>;

// The tag values, named as in the bridge's C records; which member holds which
// field is in TagFieldTable.h. Numbers are their text as stored.
struct BridgeTags {
    std::optional<std::string> title, artist, album, albumArtist, composer, genre, comment, lyrics, grouping;
    std::optional<std::string> year, track, trackTotal, disc, discTotal, bpm;
    int32_t compilation = -1; // -1 absent, 0 false, 1 true
    // Read: every custom item, by name. Written: the items to change; an empty
    // value removes one.
    std::vector<BridgeProperty> properties;
    bool operator==(const BridgeTags&) const = default;
};

struct BridgeRecord : BridgeTags {
    int32_t duration = 0, bitrate = 0, sampleRate = 0, channels = 0;
    std::optional<std::string> codec; // set only when audio properties were read
    std::string fileType;
    std::vector<BridgePicture> pictures;
    // Some of the tags were malformed; the fields around them were recovered.
    bool readInPart = false;
    bool operator==(const BridgeRecord&) const = default;
};

// Every field, as a mask of bridge field bits (bit n is the n-th TagField).
inline constexpr uint32_t allBridgeFields = (uint32_t{1} << 16) - 1;

// The arguments of one write.
struct BridgeWriteRequest : BridgeTags {
    std::string path;                                   // file-system bytes, without NUL
    uint32_t fields = allBridgeFields;                  // the fields to write; the others stay as they are
    std::optional<std::vector<BridgePicture>> pictures; // absent: leave the file's pictures
    int32_t newId3v2Version = 4;                        // of an ID3v2 tag the write creates (3 or 4)
    bool operator==(const BridgeWriteRequest&) const = default;
};

enum class BridgeWriteOutcome : uint8_t {
    written,
    failed,
    // The file's tags could not be read completely; it was left as it is.
    tagsNotReadCompletely,
    // The reasons a file was left as it is, as the bridge names them.
    duplicateTags,
    valueTooLarge,
    missing,
    noPermission,
    readOnlyFileSystem,
    unsupportedVariant,
    emptyFile,
    notAFile,       // a folder, a device or a pipe has the file's name
    notANumber,     // text that is not a number for a field the format keeps as a number
    unsupportedKey, // a custom item's name the format cannot hold
};
