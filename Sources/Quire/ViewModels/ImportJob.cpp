#include "Quire/ViewModels/ImportJob.h"

#include "Platform/FileSystem.h"
#include "Quire/ViewModels/ReadCache.h"

#include <QMetaObject>
#include <algorithm>
#include <atomic>
#include <mutex>

// What the reading tasks and the job share. The tasks hold it too, so that it
// outlives a job deleted while reads are in flight; `job` is cleared then, and
// read under the lock before a hand-over is posted to it.
struct ImportJob::Shared {
    std::shared_ptr<const TagReader> reader;
    std::shared_ptr<ReadCache> cache;
    int readers = 1;
    std::atomic<bool> cancelled{false};

    std::mutex mutex;
    QList<QUrl> locations; // every file added
    qsizetype next = 0;    // the first not yet taken by a task
    int running = 0;       // tasks started and not yet ended
    bool addingFinished = false;
    ImportJob* job = nullptr;
    QList<Result> ready;
    bool handOverPosted = false;
};

// What one reading task keeps: its lookups in the cache (a connection of its
// thread's) and the records it has read for the cache, stored a batch at a time.
struct ImportJob::Task {
    explicit Task(ReadCache* cache) {
        if (cache)
            lookup.emplace(*cache);
    }
    void storeRead(ReadCache& cache) { cache.store(std::exchange(toStore, {})); }

    std::optional<ReadCache::Lookup> lookup;
    QList<ReadCache::Entry> toStore;
};

ImportJob::ImportJob(std::shared_ptr<const TagReader> reader, QThreadPool* pool, int readers, QObject* parent,
                     std::shared_ptr<ReadCache> cache)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
    , m_pool(pool)
    , m_readers(readers) {
    m_shared->reader = std::move(reader);
    m_shared->cache = std::move(cache);
    m_shared->readers = readers;
    m_shared->job = this;
}

ImportJob::~ImportJob() {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->job = nullptr;
    m_shared->cancelled = true;
}

void ImportJob::add(const QList<QUrl>& locations) {
    if (locations.isEmpty())
        return;
    m_added += locations.size();
    int toStart = 0;
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->locations += locations;
        toStart = int(
            std::min<qsizetype>(m_readers - m_shared->running, m_shared->locations.size() - m_shared->next));
        m_shared->running += std::max(toStart, 0);
    }
    for (int task = 0; task < toStart; ++task)
        m_pool->start([shared = m_shared] { runTask(shared); });
}

void ImportJob::finishAdding() {
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->addingFinished = true;
    }
    m_addingFinished = true;
    finishIfDone();
}

void ImportJob::finishIfDone() {
    if (m_addingFinished && m_finished == m_added) {
        m_addingFinished = false; // once
        emit allFinished();
    }
}

// Each task reads runs of neighbouring files (an album's tracks, as the walk
// found them), so that the helper it keeps using sends their shared cover
// once. Runs shrink towards the end of what has been added so that the tasks
// finish together. A task ends when it finds nothing to read; adding more
// starts tasks again.
void ImportJob::runTask(const std::shared_ptr<Shared>& shared) {
    constexpr qsizetype longestRun = 16;
    Task task(shared->cache.get());
    while (true) {
        QList<QUrl> run;
        {
            const std::lock_guard lock(shared->mutex);
            const qsizetype left = shared->locations.size() - shared->next;
            if (shared->cancelled || left == 0) {
                --shared->running;
                break;
            }
            const qsizetype length = std::clamp<qsizetype>(left / (2 * shared->readers), 1, longestRun);
            run = shared->locations.mid(shared->next, length);
            shared->next += length;
        }
        for (const QUrl& location : std::as_const(run)) {
            if (shared->cancelled)
                break;
            read(*shared, task, location);
        }
    }
    if (shared->cache)
        task.storeRead(*shared->cache);
}

void ImportJob::read(Shared& shared, Task& task, const QUrl& location) {
    // Records go to the cache in batches, each one transaction.
    constexpr qsizetype storeBatch = 512;
    const qint64 takenNs = ReadCache::nowNs();
    std::optional<Platform::FileStamp> stamp = Platform::fileStamp(location);
    std::optional<AudioFile> cached;
    if (task.lookup && stamp)
        cached = task.lookup->find(location, *stamp);
    Result result{location, cached ? ReadResult(std::move(*cached)) : shared.reader->read(location), stamp,
                  cached.has_value()};
    if (shared.cache && !result.fromCache && result.read && stamp) {
        if (std::optional<ReadCache::Entry> entry =
                ReadCache::entry(location, *stamp, takenNs, result.read.value())) {
            task.toStore.append(std::move(*entry));
            if (task.toStore.size() >= storeBatch)
                task.storeRead(*shared.cache);
        }
    }
    const std::lock_guard lock(shared.mutex);
    shared.ready.append(std::move(result));
    if (shared.job && !shared.handOverPosted) {
        shared.handOverPosted = true;
        QMetaObject::invokeMethod(shared.job, &ImportJob::handOver, Qt::QueuedConnection);
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
    finishIfDone();
}
