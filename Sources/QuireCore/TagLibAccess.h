#pragma once

#include "QuireCore/Artwork.h"
#include "QuireCore/BridgeRecord.h"
#include "QuireCore/Result.h"
#include "QuireCore/TagReader.h"
#include "QuireCore/TagReaderError.h"
#include "QuireCore/TagSet.h"
#include "QuireCore/TagWriter.h"

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The error says why the file could not be read: missing, no permission, an
// empty file, an unsupported variant of a format (with its name), or else
// failedToOpen() or a read error with the bridge's text.
using BridgeReadResult = Result<BridgeRecord, TagReaderError>;

// How the tag services reach the bridge. Implementations are safe to call from
// several threads at once (never for the same file). The one that calls the
// bridge itself, in the helper processes, is InProcessTagLibAccess
// (QuireTagHelper/InProcessTagLibAccess.h).
class TagLibAccess {
public:
    virtual ~TagLibAccess() = default;
    // Paths are file-system bytes without NUL. Only regular files (links
    // followed) are opened: anything else fails at once, like a missing file,
    // because a named pipe or a device would block or never end.
    virtual BridgeReadResult read(const std::string& path, PictureContent pictures) const = 0;
    virtual BridgeWriteOutcome write(const BridgeWriteRequest& request) const = 0;
};

// Whether a path can be handed to the bridge: file-system bytes, not empty, without NUL.
bool isUsableBridgePath(const std::string& path);
// The read error of a path that names no regular file, in the bridge's own words.
TagReaderError couldNotOpenFileError();

// Sets a picture's size and digest, and its width and height from its header,
// or 0 when the bytes are no picture we know. This parses untrusted bytes with
// the image libraries, so the editor leaves it to the helpers.
void measurePicture(BridgePicture& picture);

class TagWorkerPool;

// Runs every call in a helper process (this program started with the helper
// flag, see TagWorker.h), so that a parser that crashes, hangs or runs out of
// memory fails only that one file. Helpers are started on demand and reused,
// one call at a time each. A call that fails in the helper fails as:
//   read: a read error, "The tag reader stopped unexpectedly" (crash, killed,
//         malformed reply), "Reading the tags took too long" (time limit) or
//         "Could not start the tag reader";
//   write: failed (the writer reports "Failed to write tags to file").
// The helper is then killed and the next call gets a fresh one.
class IsolatedTagLibAccess final : public TagLibAccess {
public:
    static constexpr std::chrono::milliseconds defaultReadLimit{30000};
    static constexpr std::chrono::milliseconds defaultWriteLimit{120000};

    // maxIdleWorkers: how many helpers are kept waiting between calls.
    explicit IsolatedTagLibAccess(int maxIdleWorkers = 8);
    // Ends the waiting helpers. No call may be in flight.
    ~IsolatedTagLibAccess() override;
    IsolatedTagLibAccess(const IsolatedTagLibAccess&) = delete;
    IsolatedTagLibAccess& operator=(const IsolatedTagLibAccess&) = delete;

    BridgeReadResult read(const std::string& path, PictureContent pictures) const override;
    BridgeWriteOutcome write(const BridgeWriteRequest& request) const override;

    // Applies to calls that start afterwards.
    void setTimeLimits(std::chrono::milliseconds read, std::chrono::milliseconds write);
    // Helpers started so far and helpers killed after a failure, for tests.
    int workersStarted() const;
    int workersKilled() const;
    // Ends the waiting helpers now; later calls fail. Called at exit for the default access.
    void shutDown();
    // The helpers themselves, for other work that runs in them (IsolatedPictureDecoder).
    TagWorkerPool& workerPool() const;

private:
    std::unique_ptr<TagWorkerPool> m_pool;
    std::atomic<std::chrono::milliseconds::rep> m_readLimit{defaultReadLimit.count()};
    std::atomic<std::chrono::milliseconds::rep> m_writeLimit{defaultWriteLimit.count()};
};

// The process-wide access of TagLibTagReader and TagLibWriter. Its time limits
// start from CADENZA_TAG_HELPER_TIMEOUT_MS when that is set (for both), else
// the defaults above. When main() never called runTagWorkerIfRequested, the
// program cannot serve as its own helper, and every call fails as a helper
// that could not start (with a warning).
const TagLibAccess& defaultTagLibAccess();
IsolatedTagLibAccess& defaultIsolatedTagLibAccess();

// The rules of TagLibTagReader and TagLibWriter over any access: what
// TagLibTagReader::read and TagLibWriter::write do with the default access.
ReadResult readTags(const TagLibAccess& access, const QUrl& url, PictureContent pictures);
std::optional<TagReaderError> writeTags(const TagLibAccess& access, const QUrl& url, const TagSet& tags,
                                        const WriteScope& scope,
                                        const std::optional<QList<Artwork>>& artwork);
// The writer's checks and conversion on their own: the request writeTags hands
// to the access, or the error it returns before any file is touched. A caller
// may point the request at another path (a working copy) before writing it.
Result<BridgeWriteRequest, TagReaderError> bridgeWriteRequest(const QUrl& url, const TagSet& tags,
                                                              const WriteScope& scope,
                                                              const std::optional<QList<Artwork>>& artwork);
