#include "QuireCore/TagLibAccess.h"

#include "Platform/ImageServices.h"
#include "QuireCore/TagWorker.h"
#include "QuireCore/TagWorkerPool.h"
#include "QuireCore/TagWorkerProtocol.h"

#include <QCoreApplication>
#include <QtGlobal>
#include <cstdint>
#include <cstdlib>
#include <mutex>

namespace {

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

bool isUsableBridgePath(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos;
}

TagReaderError couldNotOpenFileError() {
    return TagReaderError::readError(QStringLiteral("Could not open file"));
}

void measurePicture(BridgePicture& picture) {
    const std::optional<Platform::PixelSize> size = Platform::pixelSize(picture.data);
    // Sizes beyond int32 are no picture anyone can show: unknown.
    const bool fits = size && size->width <= INT32_MAX && size->height <= INT32_MAX;
    picture.width = fits ? static_cast<int32_t>(size->width) : 0;
    picture.height = fits ? static_cast<int32_t>(size->height) : 0;
    picture.size = picture.data.size();
    picture.digest = Artwork::digestOf(picture.data);
}

IsolatedTagLibAccess::IsolatedTagLibAccess(int maxIdleWorkers)
    : m_pool(std::make_unique<TagWorkerPool>(maxIdleWorkers)) {}

IsolatedTagLibAccess::~IsolatedTagLibAccess() = default;

BridgeReadResult IsolatedTagLibAccess::read(const std::string& path, PictureContent pictures) const {
    if (!isUsableBridgePath(path))
        return couldNotOpenFileError();
    std::optional<BridgeReadResult> reply;
    const std::optional<WorkerFailure> failure = m_pool->exchange(
        TagWorkerProtocol::encodeReadRequest({path, pictures}), std::chrono::milliseconds(m_readLimit),
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
    if (!isUsableBridgePath(request.path))
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

namespace {

// A program that is not its own helper has no TagLib at all.
class NoTagLibAccess final : public TagLibAccess {
public:
    BridgeReadResult read(const std::string&, PictureContent) const override {
        return TagReaderError::readError(failureText(WorkerFailure::couldNotStart));
    }
    BridgeWriteOutcome write(const BridgeWriteRequest&) const override { return BridgeWriteOutcome::failed; }
};

} // namespace

const TagLibAccess& defaultTagLibAccess() {
    if (TagWorker::entryInstalled())
        return defaultIsolatedTagLibAccess();
    static const NoTagLibAccess none;
    static std::once_flag warned;
    std::call_once(warned, [] {
        qWarning("runTagWorkerIfRequested() was not called from main(): tags cannot be read or written");
    });
    return none;
}
