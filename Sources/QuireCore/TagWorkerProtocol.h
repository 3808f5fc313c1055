// The messages between the program and its tag helper processes.
//
// Every message is a frame: a 32-bit little-endian payload length, then the
// payload. A payload starts with the protocol version and the message type;
// the fields follow in a fixed order:
//   int32     4 bytes, little-endian, two's complement
//   bytes     uint32 length, then that many bytes
//   optional  one byte 0 (absent) or 1 (present), then the value when present
//   uint64    8 bytes, little-endian (a double travels as its IEEE 754 bits)
// Pictures travel as their encoded bytes, or as an image: int32 width, int32
// height, then bytes holding width × height pixels, each a little-endian
// 32-bit ARGB value (QImage::Format_ARGB32), rows top to bottom.
// Decoding takes one payload and accepts nothing else: a wrong version or
// type, a value out of range, a field running past the end and bytes left
// over are all errors. The decode functions are pure, apart from the picture
// slots a read reply fills.
#pragma once

#include "QuireCore/PictureDecoder.h"
#include "QuireCore/Result.h"
#include "QuireCore/TagLibAccess.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace TagWorkerProtocol {

inline constexpr uint8_t version = 6;
inline constexpr size_t frameHeaderSize = 4;
// The one byte a helper sends once it has started, before any frame: its start
// (loading the program, which under a sanitizer can take seconds on a busy
// machine) is not counted against the time limit of its first request.
inline constexpr char readySignal = 'R';
// Larger payloads are refused. Large enough for any file's pictures the
// bridge can hand over (each below 4 GiB in theory, far smaller in practice).
inline constexpr uint32_t maxPayloadSize = uint32_t{1} << 30;

enum class MessageType : uint8_t {
    readRequest = 1,
    writeRequest = 2,
    readReply = 3,
    writeReply = 4,
    fitImageRequest = 5,
    encodePictureRequest = 6,
    imageReply = 7,
    encodedPictureReply = 8,
};

// The largest edge of an image in a message, and of the bounds a fit request asks for.
inline constexpr int32_t maxImageEdge = maxFittedImageEdge;

// A picture a helper sends more than once (an album's cover in each of its
// tracks) crosses the pipe once: the helper stores it in one of a few numbered
// slots of its connection and later names the slot. Both ends keep one table
// per helper process, which ends with it.
inline constexpr uint8_t pictureSlotCount = 8;

struct PicturePlacement {
    enum class Kind : uint8_t { unshared = 0, stored = 1, repeated = 2 };
    Kind kind = Kind::unshared;
    uint8_t slot = 0;
    bool operator==(const PicturePlacement&) const = default;
};

// The parent's copy of one helper's slots.
using ReceivedPictures = std::array<QByteArray, pictureSlotCount>;

struct ReadRequest {
    std::string path;
    PictureContent pictures = PictureContent::descriptions;
    bool operator==(const ReadRequest&) const = default;
};
using Request = std::variant<ReadRequest, BridgeWriteRequest, FitImageRequest, EncodePictureRequest>;

struct DecodeError {
    std::string reason;
};

// Whole frames, length prefix included.
std::string encodeReadRequest(const ReadRequest& request);
std::string encodeWriteRequest(const BridgeWriteRequest& request);
// `placements` holds one entry per picture of a successful reply, or none when
// every picture goes whole.
std::string encodeReadReply(const BridgeReadResult& reply,
                            const std::vector<PicturePlacement>& placements = {});
std::string encodeWriteReply(BridgeWriteOutcome outcome);
std::string encodeFitImageRequest(const FitImageRequest& request);
std::string encodePictureEncodingRequest(const EncodePictureRequest& request);
// An image that a reply cannot carry (a null one, an edge above maxImageEdge)
// is sent as absent.
std::string encodeImageReply(const std::optional<QImage>& image);
std::string encodeEncodedPictureReply(const std::optional<EncodedPicture>& picture);

// The payload length of a frame header (exactly frameHeaderSize bytes); an
// error when it is below the smallest payload or above maxPayloadSize.
Result<uint32_t, DecodeError> decodeFrameHeader(std::string_view header);

// Payloads, without the length prefix. Paths must be non-empty and free of NUL;
// a read reply's pictures carry a 16-byte digest, and their size agrees with
// their bytes when the bytes come along;
// fit bounds and image edges from 1 to maxImageEdge, with exactly the pixel
// bytes the edges call for; encoded pictures JPEG or TIFF, non-empty, with
// positive edges.
Result<Request, DecodeError> decodeRequest(std::string_view payload);
// Keeps the pictures the reply stores in `received` and takes repeated ones from
// there. After an error `received` may be partly changed: the helper that sent
// the reply must not be used again.
Result<BridgeReadResult, DecodeError> decodeReadReply(std::string_view payload, ReceivedPictures& received);
Result<BridgeWriteOutcome, DecodeError> decodeWriteReply(std::string_view payload);
Result<std::optional<QImage>, DecodeError> decodeImageReply(std::string_view payload);
Result<std::optional<EncodedPicture>, DecodeError> decodeEncodedPictureReply(std::string_view payload);

} // namespace TagWorkerProtocol
