#include "QuireCore/TagWorkerProtocol.h"

#include "QuireCore/TagFieldTable.h"

#include <QtEndian>
#include <bit>
#include <limits>

namespace TagWorkerProtocol {
namespace {

// Outcome codes of a read reply: success, or the error's kind plus one.
enum : uint8_t { readSucceeded = 0 };
constexpr uint8_t lastErrorKind = static_cast<uint8_t>(TagReaderError::Kind::notAFile);
constexpr qsizetype pictureDigestSize = 16;
// No picture in a file the bridge reads is larger than a payload.
constexpr uint64_t maxPictureSize = maxPayloadSize;

// The read errors a helper sends: the kinds that need no more than their payload.
std::optional<TagReaderError> readErrorOf(TagReaderError::Kind kind, const QString& payload) {
    using Kind = TagReaderError::Kind;
    switch (kind) {
    case Kind::readError:
        return TagReaderError::readError(payload);
    case Kind::failedToOpen:
        return TagReaderError::failedToOpen();
    case Kind::missing:
        return TagReaderError::missing();
    case Kind::noPermission:
        return TagReaderError::noPermission(false);
    case Kind::unsupportedVariant:
        return TagReaderError::unsupportedVariant(payload);
    case Kind::emptyFile:
        return TagReaderError::emptyFile();
    case Kind::notAFile:
        return TagReaderError::notAFile();
    default:
        return std::nullopt;
    }
}

class Encoder {
public:
    explicit Encoder(MessageType type) {
        m_bytes.append(frameHeaderSize, '\0');
        byte(version);
        byte(static_cast<uint8_t>(type));
    }

    void byte(uint8_t value) { m_bytes.push_back(static_cast<char>(value)); }
    void int32(int32_t value) { uint32(static_cast<uint32_t>(value)); }
    void uint32(uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            byte(static_cast<uint8_t>(value >> shift));
    }
    void uint64(uint64_t value) {
        for (int shift = 0; shift < 64; shift += 8)
            byte(static_cast<uint8_t>(value >> shift));
    }
    void bytes(std::string_view value) {
        uint32(static_cast<uint32_t>(value.size()));
        m_bytes.append(value);
    }
    void bytes(const QByteArray& value) { bytes(std::string_view(value.constData(), size_t(value.size()))); }
    void text(const std::optional<std::string>& value) {
        byte(value ? 1 : 0);
        if (value)
            bytes(*value);
    }
    void number(const std::optional<int32_t>& value) {
        byte(value ? 1 : 0);
        if (value)
            int32(*value);
    }
    void tags(const BridgeTags& tags) {
        forEachField(Overloaded{
            [&](const FlagFieldBinding& b) { int32(tags.*b.bridge); },
            [&](const auto& b) { text(tags.*b.bridge); },
        });
        uint32(static_cast<uint32_t>(tags.properties.size()));
        for (const auto& [name, value] : tags.properties) {
            bytes(name);
            bytes(value);
        }
    }
    void picture(const BridgePicture& picture) {
        bytes(std::string_view(picture.data.constData(), static_cast<size_t>(picture.data.size())));
        text(picture.mimeType);
        text(picture.description);
        int32(picture.pictureType);
    }
    void readPicture(const BridgePicture& picture, PicturePlacement placement) {
        byte(static_cast<uint8_t>(placement.kind));
        if (placement.kind != PicturePlacement::Kind::unshared)
            byte(placement.slot);
        if (placement.kind != PicturePlacement::Kind::repeated)
            bytes(std::string_view(picture.data.constData(), static_cast<size_t>(picture.data.size())));
        text(picture.mimeType);
        text(picture.description);
        int32(picture.pictureType);
        int32(picture.width);
        int32(picture.height);
        uint64(static_cast<uint64_t>(picture.size));
        bytes(picture.digest);
    }

    // The frame with its length filled in.
    std::string finish() && {
        const auto size = static_cast<uint32_t>(m_bytes.size() - frameHeaderSize);
        for (size_t i = 0; i < frameHeaderSize; ++i)
            m_bytes[i] = static_cast<char>(static_cast<uint8_t>(size >> (8 * i)));
        return std::move(m_bytes);
    }

private:
    std::string m_bytes;
};

// Reads fields front to back; the first failure sticks, and every later
// read then yields a default value, so decoders check once at the end.
class Decoder {
public:
    explicit Decoder(std::string_view payload)
        : m_rest(payload) {}

    bool failed() const { return !m_error.empty(); }
    const std::string& error() const { return m_error; }
    void fail(const char* reason) {
        if (m_error.empty())
            m_error = reason;
    }

    uint8_t byte() {
        if (!take(1, "truncated byte"))
            return 0;
        const auto value = static_cast<uint8_t>(m_rest[0]);
        m_rest.remove_prefix(1);
        return value;
    }
    uint32_t uint32() {
        if (!take(4, "truncated number"))
            return 0;
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= uint32_t{static_cast<uint8_t>(m_rest[static_cast<size_t>(i)])} << (8 * i);
        m_rest.remove_prefix(4);
        return value;
    }
    int32_t int32() { return static_cast<int32_t>(uint32()); }
    uint64_t uint64() {
        const uint64_t low = uint32();
        return low | (uint64_t{uint32()} << 32);
    }
    int32_t edge() {
        const int32_t value = int32();
        if (value < 1 || value > maxImageEdge)
            fail("image edge out of range");
        return value;
    }
    bool flag() {
        const uint8_t value = byte();
        if (value > 1)
            fail("flag out of range");
        return value == 1;
    }
    std::string_view bytes() {
        const uint32_t size = uint32();
        if (!take(size, "bytes run past the end"))
            return {};
        const std::string_view value = m_rest.substr(0, size);
        m_rest.remove_prefix(size);
        return value;
    }
    std::optional<std::string> text() {
        if (!flag())
            return std::nullopt;
        return std::string(bytes());
    }
    std::optional<int32_t> number() {
        if (!flag())
            return std::nullopt;
        return int32();
    }
    std::string path() {
        std::string value(bytes());
        if (value.empty() || value.find('\0') != std::string::npos)
            fail("path empty or with NUL");
        return value;
    }
    void tags(BridgeTags& tags) {
        forEachField(Overloaded{
            [&](const FlagFieldBinding& b) {
                tags.*b.bridge = int32();
                if (tags.*b.bridge < -1 || tags.*b.bridge > 1)
                    fail("flag out of range");
            },
            [&](const auto& b) { tags.*b.bridge = text(); },
        });
        // Each item takes at least 8 bytes.
        const uint32_t count = uint32();
        if (count > m_rest.size() / 8)
            fail("item count past the end");
        for (uint32_t i = 0; i < count && !failed(); ++i) {
            std::string name(bytes());
            std::string value(bytes());
            if (name.empty() || name.find('\0') != std::string::npos)
                fail("item without a name");
            tags.properties.emplace_back(std::move(name), std::move(value));
        }
    }
    BridgePicture picture() {
        BridgePicture picture;
        picture.data = byteArray();
        picture.mimeType = text();
        picture.description = text();
        picture.pictureType = int32();
        return picture;
    }
    QByteArray byteArray() {
        const std::string_view value = bytes();
        return QByteArray(value.data(), static_cast<qsizetype>(value.size()));
    }
    BridgePicture readPicture(ReceivedPictures& received) {
        using Kind = PicturePlacement::Kind;
        const uint8_t kind = byte();
        if (kind > static_cast<uint8_t>(Kind::repeated))
            fail("unknown picture placement");
        const uint8_t slot = kind != static_cast<uint8_t>(Kind::unshared) ? byte() : 0;
        if (slot >= pictureSlotCount)
            fail("picture slot out of range");
        BridgePicture picture;
        if (failed())
            return picture;
        if (kind == static_cast<uint8_t>(Kind::repeated)) {
            if (received[slot].isEmpty())
                fail("repeated picture from an empty slot");
            picture.data = received[slot];
        } else {
            picture.data = byteArray();
            if (kind == static_cast<uint8_t>(Kind::stored)) {
                if (picture.data.isEmpty())
                    fail("empty picture stored");
                received[slot] = picture.data;
            }
        }
        picture.mimeType = text();
        picture.description = text();
        picture.pictureType = int32();
        picture.width = int32();
        picture.height = int32();
        if (picture.width < 0 || picture.height < 0)
            fail("negative picture size");
        const uint64_t size = uint64();
        if (size > maxPictureSize || (!picture.data.isEmpty() && size != uint64_t(picture.data.size())))
            fail("picture size disagrees with its bytes");
        picture.size = static_cast<int64_t>(size);
        picture.digest = byteArray();
        if (picture.digest.size() != pictureDigestSize)
            fail("picture digest of the wrong size");
        return picture;
    }
    // Each picture takes at least 10 bytes, so a count the payload cannot hold
    // is refused before anything is allocated for it.
    template <typename ReadOne> std::vector<BridgePicture> pictures(ReadOne readOne) {
        const uint32_t count = uint32();
        if (count > m_rest.size() / 10)
            fail("picture count past the end");
        std::vector<BridgePicture> pictures;
        for (uint32_t i = 0; i < count && !failed(); ++i)
            pictures.push_back(readOne());
        return pictures;
    }

    void expectHeader(MessageType type) {
        if (byte() != version)
            fail("unknown protocol version");
        else if (byte() != static_cast<uint8_t>(type))
            fail("unexpected message type");
    }
    void expectEnd() {
        if (!m_rest.empty())
            fail("bytes after the message");
    }

private:
    bool take(size_t size, const char* reason) {
        if (failed())
            return false;
        if (m_rest.size() < size) {
            fail(reason);
            return false;
        }
        return true;
    }

    std::string_view m_rest;
    std::string m_error;
};

// A request of type T, built in place: moving a finished Request into the
// result makes GCC 12 warn about QByteArray members it thinks uninitialised.
template <typename T, typename Fill> Result<Request, DecodeError> finishRequest(Decoder& decoder, Fill fill) {
    Request request(std::in_place_type<T>);
    fill(std::get<T>(request));
    decoder.expectEnd();
    if (decoder.failed())
        return DecodeError{decoder.error()};
    return request;
}

template <typename T> Result<T, DecodeError> finish(Decoder& decoder, T value) {
    decoder.expectEnd();
    if (decoder.failed())
        return DecodeError{decoder.error()};
    return value;
}

BridgeWriteRequest decodeWriteFields(Decoder& in) {
    BridgeWriteRequest request;
    request.path = in.path();
    in.tags(request);
    request.fields = in.uint32();
    if (request.fields & ~allBridgeFields)
        in.fail("unknown fields");
    request.newId3v2Version = in.int32();
    if (request.newId3v2Version != 3 && request.newId3v2Version != 4)
        in.fail("unknown ID3v2 version");
    if (in.flag())
        request.pictures = in.pictures([&] { return in.picture(); });
    return request;
}

// Where an encode request takes its picture from.
enum : uint8_t { sourceBytes = 0, sourcePath = 1 };
// The formats of an encoded picture reply.
enum : uint8_t { encodedJpeg = 0, encodedTiff = 1 };

EncodePictureRequest decodeEncodeFields(Decoder& in) {
    EncodePictureRequest request;
    const uint8_t source = in.byte();
    if (source == sourceBytes)
        request.source = in.byteArray();
    else if (source == sourcePath)
        request.source = in.path();
    else
        in.fail("unknown picture source");
    request.maxDimension = in.number();
    request.quality = std::bit_cast<double>(in.uint64());
    request.tiffFallback = in.flag();
    return request;
}

} // namespace

std::string encodeReadRequest(const ReadRequest& request) {
    Encoder out(MessageType::readRequest);
    out.bytes(request.path);
    out.byte(request.pictures == PictureContent::bytes ? 1 : 0);
    return std::move(out).finish();
}

std::string encodeWriteRequest(const BridgeWriteRequest& request) {
    Encoder out(MessageType::writeRequest);
    out.bytes(request.path);
    out.tags(request);
    out.uint32(request.fields);
    out.int32(request.newId3v2Version);
    out.byte(request.pictures ? 1 : 0);
    if (request.pictures) {
        out.uint32(static_cast<uint32_t>(request.pictures->size()));
        for (const BridgePicture& picture : *request.pictures)
            out.picture(picture);
    }
    return std::move(out).finish();
}

std::string encodeReadReply(const BridgeReadResult& reply, const std::vector<PicturePlacement>& placements) {
    Encoder out(MessageType::readReply);
    if (!reply) {
        // Only the kinds a read reports (see readErrorOf); anything else goes as a read error.
        const TagReaderError& error = reply.error();
        const bool sendable = readErrorOf(error.kind(), error.payload()) == error;
        out.byte(static_cast<uint8_t>(sendable ? error.kind() : TagReaderError::Kind::readError) + 1);
        out.bytes((sendable ? error.payload() : error.description()).toStdString());
        return std::move(out).finish();
    }
    const BridgeRecord& record = reply.value();
    out.byte(readSucceeded);
    out.tags(record);
    for (int32_t number : {record.duration, record.bitrate, record.sampleRate, record.channels})
        out.int32(number);
    out.text(record.codec);
    out.bytes(record.fileType);
    out.uint32(static_cast<uint32_t>(record.pictures.size()));
    for (size_t i = 0; i < record.pictures.size(); ++i)
        out.readPicture(record.pictures[i], i < placements.size() ? placements[i] : PicturePlacement{});
    out.byte(record.readInPart ? 1 : 0);
    return std::move(out).finish();
}

std::string encodeWriteReply(BridgeWriteOutcome outcome) {
    Encoder out(MessageType::writeReply);
    out.byte(static_cast<uint8_t>(outcome));
    return std::move(out).finish();
}

std::string encodeFitImageRequest(const FitImageRequest& request) {
    Encoder out(MessageType::fitImageRequest);
    out.bytes(request.data);
    out.int32(request.maxWidth);
    out.int32(request.maxHeight);
    return std::move(out).finish();
}

std::string encodePictureEncodingRequest(const EncodePictureRequest& request) {
    Encoder out(MessageType::encodePictureRequest);
    if (const auto* bytes = std::get_if<QByteArray>(&request.source)) {
        out.byte(sourceBytes);
        out.bytes(*bytes);
    } else {
        out.byte(sourcePath);
        out.bytes(std::get<std::string>(request.source));
    }
    out.number(request.maxDimension);
    out.uint64(std::bit_cast<uint64_t>(request.quality));
    out.byte(request.tiffFallback ? 1 : 0);
    return std::move(out).finish();
}

std::string encodeImageReply(const std::optional<QImage>& image) {
    Encoder out(MessageType::imageReply);
    const bool fits =
        image && !image->isNull() && image->width() <= maxImageEdge && image->height() <= maxImageEdge;
    out.byte(fits ? 1 : 0);
    if (!fits)
        return std::move(out).finish();
    const QImage pixels = image->convertToFormat(QImage::Format_ARGB32);
    const auto width = pixels.width(), height = pixels.height();
    out.int32(width);
    out.int32(height);
    QByteArray data(qsizetype{width} * height * 4, Qt::Uninitialized);
    for (int y = 0; y < height; ++y)
        qToLittleEndian<quint32>(pixels.constScanLine(y), width, data.data() + qsizetype{y} * width * 4);
    out.bytes(data);
    return std::move(out).finish();
}

std::string encodeEncodedPictureReply(const std::optional<EncodedPicture>& picture) {
    Encoder out(MessageType::encodedPictureReply);
    const bool sendable = picture && !picture->data.isEmpty() &&
                          (picture->format == ImageFormat::jpeg || picture->format == ImageFormat::tiff) &&
                          picture->width > 0 && picture->height > 0 &&
                          picture->width <= std::numeric_limits<int32_t>::max() &&
                          picture->height <= std::numeric_limits<int32_t>::max();
    out.byte(sendable ? 1 : 0);
    if (!sendable)
        return std::move(out).finish();
    out.byte(picture->format == ImageFormat::jpeg ? encodedJpeg : encodedTiff);
    out.int32(static_cast<int32_t>(picture->width));
    out.int32(static_cast<int32_t>(picture->height));
    out.bytes(picture->data);
    return std::move(out).finish();
}

Result<uint32_t, DecodeError> decodeFrameHeader(std::string_view header) {
    if (header.size() != frameHeaderSize)
        return DecodeError{"frame header of the wrong size"};
    Decoder in(header);
    const uint32_t size = in.uint32();
    if (size < 2)
        return DecodeError{"frame too short"};
    if (size > maxPayloadSize)
        return DecodeError{"frame too large"};
    return size;
}

Result<Request, DecodeError> decodeRequest(std::string_view payload) {
    if (payload.size() < 2 || static_cast<uint8_t>(payload[0]) != version)
        return DecodeError{"unknown protocol version"};
    Decoder in(payload.substr(2));
    switch (static_cast<MessageType>(payload[1])) {
    case MessageType::readRequest: {
        ReadRequest request{in.path()};
        request.pictures = in.flag() ? PictureContent::bytes : PictureContent::descriptions;
        return finish<Request>(in, std::move(request));
    }
    case MessageType::writeRequest: {
        BridgeWriteRequest request = decodeWriteFields(in);
        return finish<Request>(in, std::move(request));
    }
    case MessageType::fitImageRequest:
        return finishRequest<FitImageRequest>(in, [&in](FitImageRequest& request) {
            request.data = in.byteArray();
            request.maxWidth = in.edge();
            request.maxHeight = in.edge();
        });
    case MessageType::encodePictureRequest:
        return finishRequest<EncodePictureRequest>(
            in, [&in](EncodePictureRequest& request) { request = decodeEncodeFields(in); });
    default:
        return DecodeError{"not a request"};
    }
}

Result<BridgeReadResult, DecodeError> decodeReadReply(std::string_view payload, ReceivedPictures& received) {
    Decoder in(payload);
    in.expectHeader(MessageType::readReply);
    const uint8_t outcome = in.byte();
    if (outcome != readSucceeded && outcome <= lastErrorKind + 1) {
        const std::string_view message = in.bytes();
        in.expectEnd();
        if (in.failed())
            return DecodeError{in.error()};
        const std::optional<TagReaderError> error =
            readErrorOf(static_cast<TagReaderError::Kind>(outcome - 1),
                        QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
        if (!error)
            return DecodeError{"not a read error"};
        return BridgeReadResult(*error);
    }
    if (outcome != readSucceeded)
        in.fail("unknown read outcome");

    BridgeRecord record;
    in.tags(record);
    for (int32_t* number : {&record.duration, &record.bitrate, &record.sampleRate, &record.channels})
        *number = in.int32();
    record.codec = in.text();
    record.fileType = std::string(in.bytes());
    record.pictures = in.pictures([&] { return in.readPicture(received); });
    record.readInPart = in.flag();
    in.expectEnd();
    if (in.failed())
        return DecodeError{in.error()};
    return BridgeReadResult(std::move(record));
}

Result<BridgeWriteOutcome, DecodeError> decodeWriteReply(std::string_view payload) {
    Decoder in(payload);
    in.expectHeader(MessageType::writeReply);
    const uint8_t outcome = in.byte();
    if (outcome > static_cast<uint8_t>(BridgeWriteOutcome::unsupportedKey))
        in.fail("unknown write outcome");
    return finish(in, static_cast<BridgeWriteOutcome>(outcome));
}

Result<std::optional<QImage>, DecodeError> decodeImageReply(std::string_view payload) {
    Decoder in(payload);
    in.expectHeader(MessageType::imageReply);
    if (!in.flag())
        return finish(in, std::optional<QImage>());
    const int32_t width = in.edge();
    const int32_t height = in.edge();
    // The pixels are checked against the edges before the image is allocated.
    const std::string_view pixels = in.bytes();
    if (!in.failed() && pixels.size() != size_t(width) * size_t(height) * 4)
        in.fail("pixel bytes disagree with the edges");
    in.expectEnd();
    if (in.failed())
        return DecodeError{in.error()};
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull())
        return DecodeError{"no memory for the image"};
    for (int y = 0; y < height; ++y)
        qFromLittleEndian<quint32>(pixels.data() + size_t(y) * size_t(width) * 4, width, image.scanLine(y));
    return std::optional<QImage>(std::move(image));
}

Result<std::optional<EncodedPicture>, DecodeError> decodeEncodedPictureReply(std::string_view payload) {
    Decoder in(payload);
    in.expectHeader(MessageType::encodedPictureReply);
    if (!in.flag())
        return finish(in, std::optional<EncodedPicture>());
    EncodedPicture picture;
    const uint8_t format = in.byte();
    if (format > encodedTiff)
        in.fail("unknown picture format");
    picture.format = format == encodedJpeg ? ImageFormat::jpeg : ImageFormat::tiff;
    picture.width = in.int32();
    picture.height = in.int32();
    if (picture.width < 1 || picture.height < 1)
        in.fail("picture edge out of range");
    picture.data = in.byteArray();
    if (picture.data.isEmpty())
        in.fail("picture without bytes");
    return finish(in, std::optional<EncodedPicture>(std::move(picture)));
}

} // namespace TagWorkerProtocol
