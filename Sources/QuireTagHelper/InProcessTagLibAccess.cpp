#include "QuireTagHelper/InProcessTagLibAccess.h"

#include "CTagLibBridge.h"
#include "QuireTagHelper/BridgeFields.h"

#include <cerrno>
#include <cstdint>
#include <sys/stat.h>
#include <vector>

namespace {

struct RecordDeleter {
    void operator()(CTagLibTag* record) const { ctaglib_free_result(record); }
};
using Record = std::unique_ptr<CTagLibTag, RecordDeleter>;

bool isRegularFile(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// Why a path that names no regular file cannot be read.
TagReaderError notRegularFileError(const std::string& path) {
    struct stat status {};
    if (!isUsableBridgePath(path))
        return couldNotOpenFileError();
    if (stat(path.c_str(), &status) == 0)
        return TagReaderError::notAFile(); // a folder, a device, a pipe...
    return errno == ENOENT || errno == ENOTDIR ? TagReaderError::missing()
           : errno == EACCES                   ? TagReaderError::noPermission(false)
                                               : couldNotOpenFileError();
}

TagReaderError readErrorOf(const CTagLibTag& tag) {
    switch (tag.errorCode) {
    case CTAGLIB_MISSING:
        return TagReaderError::missing();
    case CTAGLIB_NO_PERMISSION:
        return TagReaderError::noPermission(false);
    case CTAGLIB_UNSUPPORTED_VARIANT:
        return TagReaderError::unsupportedVariant(QString::fromUtf8(tag.error));
    case CTAGLIB_EMPTY_FILE:
        return TagReaderError::emptyFile();
    default:
        return TagReaderError::readError(QString::fromUtf8(tag.error));
    }
}

BridgeWriteOutcome writeOutcomeOf(int32_t code) {
    switch (code) {
    case CTAGLIB_OK:
        return BridgeWriteOutcome::written;
    case CTAGLIB_TAGS_NOT_READ_COMPLETELY:
        return BridgeWriteOutcome::tagsNotReadCompletely;
    case CTAGLIB_DUPLICATE_TAGS:
        return BridgeWriteOutcome::duplicateTags;
    case CTAGLIB_VALUE_TOO_LARGE:
        return BridgeWriteOutcome::valueTooLarge;
    case CTAGLIB_MISSING:
        return BridgeWriteOutcome::missing;
    case CTAGLIB_NO_PERMISSION:
        return BridgeWriteOutcome::noPermission;
    case CTAGLIB_READ_ONLY_FILE_SYSTEM:
        return BridgeWriteOutcome::readOnlyFileSystem;
    case CTAGLIB_UNSUPPORTED_VARIANT:
        return BridgeWriteOutcome::unsupportedVariant;
    case CTAGLIB_EMPTY_FILE:
        return BridgeWriteOutcome::emptyFile;
    case CTAGLIB_NOT_A_NUMBER:
        return BridgeWriteOutcome::notANumber;
    case CTAGLIB_UNSUPPORTED_KEY:
        return BridgeWriteOutcome::unsupportedKey;
    default:
        return BridgeWriteOutcome::failed;
    }
}

std::optional<std::string> copied(const char* text) {
    return text ? std::optional<std::string>(text) : std::nullopt;
}

BridgeRecord recordOf(const CTagLibTag& tag, bool borrowPictures) {
    BridgeRecord record;
    static_cast<BridgeTags&>(record) = bridgeTagsOf(tag);
    record.duration = tag.duration;
    record.bitrate = tag.bitrate;
    record.sampleRate = tag.sampleRate;
    record.channels = tag.channels;
    record.codec = copied(tag.codec);
    record.fileType = tag.fileType ? tag.fileType : "";
    record.readInPart = tag.readInPart != 0;
    for (int32_t i = 0; tag.artwork && i < tag.artworkCount; ++i) {
        const CTagLibArtwork& picture = tag.artwork[i];
        const auto* bytes = reinterpret_cast<const char*>(picture.data);
        const auto size = static_cast<qsizetype>(picture.size);
        BridgePicture& read = record.pictures.emplace_back();
        read.data = borrowPictures ? QByteArray::fromRawData(bytes, size) : QByteArray(bytes, size);
        read.mimeType = copied(picture.mimeType);
        read.description = copied(picture.description);
        read.pictureType = picture.pictureType;
    }
    return record;
}

} // namespace

BridgeReadResult InProcessTagLibAccess::read(const std::string& path, PictureContent pictures) const {
    BridgeReadResult result = readUnmeasured(path);
    if (!result)
        return result;
    BridgeRecord record = std::move(result).value();
    for (BridgePicture& picture : record.pictures) {
        measurePicture(picture);
        if (pictures == PictureContent::descriptions)
            picture.data = QByteArray();
    }
    return record;
}

BridgeReadResult InProcessTagLibAccess::readUnmeasured(const std::string& path,
                                                       std::shared_ptr<void>* bytesOwner) {
    if (!isUsableBridgePath(path) || !isRegularFile(path))
        return notRegularFileError(path);
    Record tag(ctaglib_read(path.c_str()));
    if (!tag)
        return TagReaderError::failedToOpen();
    if (tag->error)
        return readErrorOf(*tag);
    BridgeRecord record = recordOf(*tag, bytesOwner != nullptr);
    if (bytesOwner)
        *bytesOwner = std::shared_ptr<CTagLibTag>(tag.release(), RecordDeleter());
    return record;
}

BridgeWriteOutcome InProcessTagLibAccess::write(const BridgeWriteRequest& request) const {
    if (!isUsableBridgePath(request.path))
        return BridgeWriteOutcome::failed;
    if (!isRegularFile(request.path))
        switch (notRegularFileError(request.path).kind()) {
        case TagReaderError::Kind::missing:
            return BridgeWriteOutcome::missing;
        case TagReaderError::Kind::notAFile:
            return BridgeWriteOutcome::notAFile;
        default:
            return BridgeWriteOutcome::failed;
        }
    std::vector<CTagLibArtworkWrite> pictures;
    if (request.pictures) {
        pictures.reserve(request.pictures->size());
        for (const BridgePicture& picture : *request.pictures)
            pictures.push_back({reinterpret_cast<const uint8_t*>(picture.data.constData()),
                                picture.data.size(), picture.mimeType ? picture.mimeType->c_str() : nullptr,
                                picture.pictureType,
                                picture.description ? picture.description->c_str() : nullptr});
    }
    const CWriteValues values(request, request.newId3v2Version);
    return writeOutcomeOf(ctaglib_write_fields(
        request.path.c_str(), &values.values, request.fields, pictures.empty() ? nullptr : pictures.data(),
        request.pictures ? static_cast<int32_t>(request.pictures->size()) : -1));
}
