#include "QuireTagHelper/InProcessTagLibAccess.h"

#include "CTagLibBridge.h"
#include "QuireTagHelper/BridgeFields.h"

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
    for (int32_t i = 0; tag.artwork && i < tag.artworkCount; ++i) {
        const CTagLibArtwork& picture = tag.artwork[i];
        const auto* bytes = reinterpret_cast<const char*>(picture.data);
        const auto size = static_cast<qsizetype>(picture.size);
        record.pictures.push_back(
            {borrowPictures ? QByteArray::fromRawData(bytes, size) : QByteArray(bytes, size),
             copied(picture.mimeType), copied(picture.description), picture.pictureType});
    }
    return record;
}

} // namespace

BridgeReadResult InProcessTagLibAccess::read(const std::string& path) const {
    BridgeReadResult result = readUnmeasured(path);
    if (!result)
        return result;
    BridgeRecord record = std::move(result).value();
    for (BridgePicture& picture : record.pictures)
        measurePicture(picture);
    return record;
}

BridgeReadResult InProcessTagLibAccess::readUnmeasured(const std::string& path,
                                                       std::shared_ptr<void>* bytesOwner) {
    if (!isUsableBridgePath(path) || !isRegularFile(path))
        return couldNotOpenFileError();
    Record tag(ctaglib_read(path.c_str()));
    if (!tag)
        return TagReaderError::failedToOpen();
    if (tag->error)
        return TagReaderError::readError(QString::fromUtf8(tag->error));
    BridgeRecord record = recordOf(*tag, bytesOwner != nullptr);
    if (bytesOwner)
        *bytesOwner = std::shared_ptr<CTagLibTag>(tag.release(), RecordDeleter());
    return record;
}

BridgeWriteOutcome InProcessTagLibAccess::write(const BridgeWriteRequest& request) const {
    if (!isUsableBridgePath(request.path) || !isRegularFile(request.path))
        return BridgeWriteOutcome::failed;
    std::vector<CTagLibArtworkWrite> pictures;
    if (request.pictures) {
        pictures.reserve(request.pictures->size());
        for (const BridgePicture& picture : *request.pictures)
            pictures.push_back({reinterpret_cast<const uint8_t*>(picture.data.constData()),
                                picture.data.size(), picture.mimeType ? picture.mimeType->c_str() : nullptr,
                                picture.pictureType,
                                picture.description ? picture.description->c_str() : nullptr});
    }
    const CTagLibTagValues values = cValuesOf(request);
    switch (ctaglib_write_fields(request.path.c_str(), &values, request.fields,
                                 pictures.empty() ? nullptr : pictures.data(),
                                 request.pictures ? static_cast<int32_t>(request.pictures->size()) : -1)) {
    case 0:
        return BridgeWriteOutcome::written;
    case -2:
        return BridgeWriteOutcome::tagsNotReadCompletely;
    default:
        return BridgeWriteOutcome::failed;
    }
}
