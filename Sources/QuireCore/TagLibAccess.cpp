#include "QuireCore/TagLibAccess.h"

#include "CTagLibBridge.h"
#include "Platform/ImageServices.h"
#include "QuireCore/TagFieldTable.h"
#include "QuireCore/TagWorker.h"
#include "QuireCore/TagWorkerPool.h"
#include "QuireCore/TagWorkerProtocol.h"

#include <QCoreApplication>
#include <QtGlobal>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>

namespace {

struct RecordDeleter {
    void operator()(CTagLibTag* record) const { ctaglib_free_result(record); }
};
using Record = std::unique_ptr<CTagLibTag, RecordDeleter>;

// The bridge's own text for a file it cannot open.
QString couldNotOpenFile() {
    return QStringLiteral("Could not open file");
}

bool isRegularFile(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool isUsablePath(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos;
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

QString failureText(WorkerFailure failure) {
    switch (failure) {
    case WorkerFailure::couldNotStart:
        return QCoreApplication::translate("TagLibAccess", "Could not start the tag reader");
    case WorkerFailure::crashed:
        return QCoreApplication::translate("TagLibAccess", "The tag reader stopped unexpectedly");
    case WorkerFailure::timedOut:
        return QCoreApplication::translate("TagLibAccess", "Reading the tags took too long");
    }
    Q_UNREACHABLE();
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

void measurePicture(BridgePicture& picture) {
    const std::optional<Platform::PixelSize> size = Platform::pixelSize(picture.data);
    // Sizes beyond int32 are no picture anyone can show: unknown.
    const bool fits = size && size->width <= INT32_MAX && size->height <= INT32_MAX;
    picture.width = fits ? static_cast<int32_t>(size->width) : 0;
    picture.height = fits ? static_cast<int32_t>(size->height) : 0;
}

BridgeReadResult InProcessTagLibAccess::readUnmeasured(const std::string& path,
                                                       std::shared_ptr<void>* bytesOwner) {
    if (!isUsablePath(path) || !isRegularFile(path))
        return TagReaderError::readError(couldNotOpenFile());
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
    if (!isUsablePath(request.path) || !isRegularFile(request.path))
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

IsolatedTagLibAccess::IsolatedTagLibAccess(int maxIdleWorkers)
    : m_pool(std::make_unique<TagWorkerPool>(maxIdleWorkers)) {}

IsolatedTagLibAccess::~IsolatedTagLibAccess() = default;

BridgeReadResult IsolatedTagLibAccess::read(const std::string& path) const {
    if (!isUsablePath(path))
        return TagReaderError::readError(couldNotOpenFile());
    std::optional<BridgeReadResult> reply;
    const std::optional<WorkerFailure> failure =
        m_pool->exchange(TagWorkerProtocol::encodeReadRequest({path}), std::chrono::milliseconds(m_readLimit),
                         [&reply](std::string_view payload, TagWorkerProtocol::ReceivedPictures& pictures) {
                             auto decoded = TagWorkerProtocol::decodeReadReply(payload, pictures);
                             if (!decoded)
                                 return false;
                             reply.emplace(std::move(decoded).value());
                             return true;
                         });
    if (failure) {
        qWarning("Tag helper %s reading %s", failureName(*failure), path.c_str());
        return TagReaderError::readError(failureText(*failure));
    }
    return std::move(*reply);
}

BridgeWriteOutcome IsolatedTagLibAccess::write(const BridgeWriteRequest& request) const {
    if (!isUsablePath(request.path))
        return BridgeWriteOutcome::failed;
    BridgeWriteOutcome outcome = BridgeWriteOutcome::failed;
    const std::optional<WorkerFailure> failure =
        m_pool->exchange(TagWorkerProtocol::encodeWriteRequest(request),
                         std::chrono::milliseconds(m_writeLimit), [&outcome](std::string_view payload) {
                             const auto decoded = TagWorkerProtocol::decodeWriteReply(payload);
                             if (decoded)
                                 outcome = decoded.value();
                             return decoded.ok();
                         });
    if (failure) {
        qWarning("Tag helper %s writing %s", failureName(*failure), request.path.c_str());
        return BridgeWriteOutcome::failed;
    }
    return outcome;
}

void IsolatedTagLibAccess::setTimeLimits(std::chrono::milliseconds read, std::chrono::milliseconds write) {
    m_readLimit = read.count();
    m_writeLimit = write.count();
}

int IsolatedTagLibAccess::workersStarted() const {
    return m_pool->workersStarted();
}

int IsolatedTagLibAccess::workersKilled() const {
    return m_pool->workersKilled();
}

void IsolatedTagLibAccess::shutDown() {
    m_pool->shutDown();
}

TagWorkerPool& IsolatedTagLibAccess::workerPool() const {
    return *m_pool;
}

IsolatedTagLibAccess& defaultIsolatedTagLibAccess() {
    // Never destroyed: a read on some other thread may still be finishing while
    // the program exits. The helpers are ended at exit instead.
    static IsolatedTagLibAccess* const access = [] {
        auto* created = new IsolatedTagLibAccess;
        bool isNumber = false;
        const int limit = qEnvironmentVariableIntValue("CADENZA_TAG_HELPER_TIMEOUT_MS", &isNumber);
        if (isNumber && limit > 0)
            created->setTimeLimits(std::chrono::milliseconds(limit), std::chrono::milliseconds(limit));
        std::atexit([] { defaultIsolatedTagLibAccess().shutDown(); });
        return created;
    }();
    return *access;
}

const TagLibAccess& defaultTagLibAccess() {
    if (TagWorker::entryInstalled())
        return defaultIsolatedTagLibAccess();
    static const InProcessTagLibAccess inProcess;
    static std::once_flag warned;
    std::call_once(warned, [] {
        qWarning("runTagWorkerIfRequested() was not called from main(): tags are parsed in this process");
    });
    return inProcess;
}
