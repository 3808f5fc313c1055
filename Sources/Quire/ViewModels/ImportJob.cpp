#include "Quire/ViewModels/ImportJob.h"

#include "Platform/FileSystem.h"

#include <QMetaObject>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <mutex>

// What the reading tasks and the job share. The tasks hold it too, so that it
// outlives a job deleted while reads are in flight; `job` is cleared then, and
// read under the lock before a hand-over is posted to it.
struct ImportJob::Shared {
    QList<QUrl> locations;
    std::shared_ptr<const TagReader> reader;
    std::atomic<qsizetype> next{0};

    std::mutex mutex;
    ImportJob* job = nullptr;
    QList<Result> ready;
    bool handOverPosted = false;
};

ImportJob::ImportJob(QList<QUrl> locations, std::shared_ptr<const TagReader> reader, QThreadPool* pool,
                     int readers, QObject* parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
    , m_pool(pool)
    , m_readers(readers) {
    m_shared->locations = std::move(locations);
    m_shared->reader = std::move(reader);
    m_shared->job = this;
}

ImportJob::~ImportJob() {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->job = nullptr;
    m_shared->next = m_shared->locations.size();
}

void ImportJob::start() {
    const qsizetype count = m_shared->locations.size();
    if (count == 0) {
        emit allFinished();
        return;
    }
    for (qsizetype task = 0; task < std::min<qsizetype>(m_readers, count); ++task) {
        m_pool->start([shared = m_shared, count] {
            for (qsizetype index = shared->next++; index < count; index = shared->next++) {
                const QUrl& location = shared->locations[index];
                ReadResult read = shared->reader->read(location);
                Result result{location, read ? std::optional(std::move(read).value()) : std::nullopt};
                const std::lock_guard lock(shared->mutex);
                shared->ready.append(std::move(result));
                if (shared->job && !shared->handOverPosted) {
                    shared->handOverPosted = true;
                    QMetaObject::invokeMethod(shared->job, &ImportJob::handOver, Qt::QueuedConnection);
                }
            }
        });
    }
}

void ImportJob::handOver() {
    QList<Result> results;
    {
        const std::lock_guard lock(m_shared->mutex);
        results.swap(m_shared->ready);
        m_shared->handOverPosted = false;
    }
    m_finished += results.size();
    emit filesFinished(results);
    if (m_finished == m_shared->locations.size())
        emit allFinished();
}

QList<QUrl> ImportJob::candidates(const QList<QUrl>& locations, const QList<QUrl>& loaded) {
    QList<QUrl> found;
    for (const QUrl& location : locations) {
        if (Platform::isDirectory(location) == Platform::DirectoryCheck::yes) {
            for (const Platform::DirectoryEntry& entry : Platform::enumerateRecursively(location)) {
                if (entry.isRegularFile && detectAudioFormat(entry.location))
                    found.append(entry.location);
            }
        } else if (detectAudioFormat(location)) {
            found.append(location);
        }
    }

    // A file already loaded, or reached twice (through a folder and directly,
    // or through a link), is taken once, at its first occurrence.
    QSet<QUrl> taken;
    for (const QUrl& url : loaded)
        taken.insert(Platform::canonicalLocation(url));
    QList<QUrl> importList;
    for (const QUrl& candidate : std::as_const(found)) {
        const QUrl canonical = Platform::canonicalLocation(candidate);
        if (!taken.contains(canonical)) {
            taken.insert(canonical);
            importList.append(canonical);
        }
    }
    return importList;
}

// The pool is the document's, which waits for its tasks before the document
// goes; a result queued to a deleted context is dropped.
void ImportJob::findCandidates(QThreadPool* pool, const QList<QUrl>& locations, const QList<QUrl>& loaded,
                               QObject* context, std::function<void(const QList<QUrl>&)> done) {
    pool->start([locations, loaded, context, done = std::move(done)] {
        const QList<QUrl> found = candidates(locations, loaded);
        QMetaObject::invokeMethod(
            context, [done, found] { done(found); }, Qt::QueuedConnection);
    });
}
