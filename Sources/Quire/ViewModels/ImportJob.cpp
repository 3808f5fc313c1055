#include "Quire/ViewModels/ImportJob.h"

#include "Platform/FileSystem.h"
#include "Quire/ViewModels/ReadCache.h"
#include "QuireCore/SafeFileReplacement.h"

#include <QFile>
#include <QHash>
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
    std::shared_ptr<ReadCache> cache;
    std::atomic<qsizetype> next{0};
    std::atomic<bool> cancelled{false};

    std::mutex mutex;
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

ImportJob::ImportJob(QList<QUrl> locations, std::shared_ptr<const TagReader> reader, QThreadPool* pool,
                     int readers, QObject* parent, std::shared_ptr<ReadCache> cache)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
    , m_pool(pool)
    , m_readers(readers) {
    m_shared->locations = std::move(locations);
    m_shared->reader = std::move(reader);
    m_shared->cache = std::move(cache);
    m_shared->job = this;
}

ImportJob::~ImportJob() {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->job = nullptr;
    m_shared->cancelled = true;
}

void ImportJob::start() {
    const qsizetype count = m_shared->locations.size();
    if (count == 0) {
        emit allFinished();
        return;
    }
    const int readers = m_readers;
    for (qsizetype task = 0; task < std::min<qsizetype>(readers, count); ++task) {
        m_pool->start([shared = m_shared, count, readers] {
            // Each task reads runs of neighbouring files (an album's tracks, as
            // the walk found them), so that the helper it keeps using sends
            // their shared cover once. Runs shrink towards the end so that the
            // tasks finish together.
            constexpr qsizetype longestRun = 16;
            Task task(shared->cache.get());
            qsizetype begin = shared->next;
            while (begin < count && !shared->cancelled) {
                const qsizetype run = std::clamp<qsizetype>((count - begin) / (2 * readers), 1, longestRun);
                if (!shared->next.compare_exchange_weak(begin, begin + run))
                    continue; // `begin` now holds the current value
                for (qsizetype index = begin; index < std::min(begin + run, count) && !shared->cancelled;
                     ++index)
                    read(*shared, task, index);
                begin = shared->next;
            }
            if (shared->cache)
                task.storeRead(*shared->cache);
        });
    }
}

void ImportJob::read(Shared& shared, Task& task, qsizetype index) {
    // Records go to the cache in batches, each one transaction.
    constexpr qsizetype storeBatch = 512;
    // at(): the tasks share the list, and a non-const [] would detach it.
    const QUrl& location = shared.locations.at(index);
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
    if (m_finished == m_shared->locations.size())
        emit allFinished();
}

ImportJob::Candidates ImportJob::candidates(const QList<QUrl>& locations, const QList<QUrl>& loaded,
                                            const TagReader* recovery) {
    Candidates result;
    QSet<QUrl> taken;
    for (const QUrl& url : loaded)
        taken.insert(Platform::canonicalLocation(url));

    QList<std::pair<QUrl, bool>> found; // with whether it is canonical
    QList<QUrl> walkedFiles;
    // Beside each, whether it is known to be canonical: the files of a canonical folder that are no links
    // are, which spares resolving a path for each of them.
    QList<bool> walkedCanonical;
    const auto walk = [&](const QUrl& file, bool canonical) {
        walkedFiles.append(file);
        walkedCanonical.append(canonical);
    };
    // Where leftovers of saves are looked for: every file of a folder walked
    // that has any, only the given files' names elsewhere.
    QSet<QString> wholeFolders;
    QHash<QString, QSet<QByteArray>> namedFiles;
    QStringList walkedFolders; // resolved, ending in "/"
    for (const QUrl& location : locations) {
        if (Platform::isDirectory(location) == Platform::DirectoryCheck::yes) {
            const QUrl folder = Platform::canonicalLocation(location);
            walkedFolders.append(folder.toLocalFile() + u'/');
            for (const Platform::DirectoryEntry& entry : Platform::enumerateRecursively(folder)) {
                if (!entry.isRegularFile)
                    continue;
                if (!entry.hasUtf8Name) {
                    if (detectAudioFormat(entry.location))
                        result.withoutUtf8Names.append(entry.location.toLocalFile());
                    continue;
                }
                walk(entry.location, !entry.isLink);
                if (recovery &&
                    parseSaveLeftoverName(QFile::encodeName(Platform::lastPathComponent(entry.location))))
                    wholeFolders.insert(Platform::deletingLastPathComponent(entry.location).toLocalFile());
            }
        } else if (location.toLocalFile().contains(QChar::ReplacementCharacter) &&
                   !Platform::exists(location)) {
            // Most likely a name of bytes that are not UTF-8, given by a dialog or a drop.
            result.withoutUtf8Names.append(location.toLocalFile());
        } else {
            walk(location, false);
            // A save writes through a link into its target, beside which its leftovers are.
            const QUrl target = Platform::canonicalLocation(location);
            namedFiles[Platform::deletingLastPathComponent(target).toLocalFile()].insert(
                QFile::encodeName(Platform::lastPathComponent(target)));
        }
    }

    if (recovery) {
        const auto readable = [recovery](const QString& path) {
            return recovery->read(QUrl::fromLocalFile(path)).ok();
        };
        QSet<QString> folders = wholeFolders;
        for (auto named = namedFiles.cbegin(); named != namedFiles.cend(); ++named)
            folders.insert(named.key());
        for (const QString& folder : std::as_const(folders)) {
            const bool whole = wholeFolders.contains(folder);
            const QSet<QByteArray> names = namedFiles.value(folder);
            const auto concerns = [&](const QByteArray& name) {
                const QUrl file =
                    Platform::appendingPathComponent(QUrl::fromLocalFile(folder), QFile::decodeName(name));
                return (whole || names.contains(name)) && !taken.contains(Platform::canonicalLocation(file));
            };
            for (const SaveRecoveryNote& note : recoverInterruptedSaves(folder, concerns, readable)) {
                result.recovered.append(note);
                // A file that was missing is there again.
                if (note.outcome == SaveRecoveryNote::Outcome::restored)
                    walk(QUrl::fromLocalFile(note.file), false);
            }
        }
        // Saves of files in folders that are not writable leave theirs in a temporary folder, naming the
        // file by its resolved path.
        const auto concernsElsewhere = [&](const QString& filePath) {
            const QString folder =
                Platform::deletingLastPathComponent(QUrl::fromLocalFile(filePath)).toLocalFile();
            const bool walked = std::any_of(walkedFolders.cbegin(), walkedFolders.cend(),
                                            [&](const QString& root) { return filePath.startsWith(root); });
            const bool named = namedFiles.value(folder).contains(
                QFile::encodeName(Platform::lastPathComponent(QUrl::fromLocalFile(filePath))));
            return (walked || named) &&
                   !taken.contains(Platform::canonicalLocation(QUrl::fromLocalFile(filePath)));
        };
        for (const SaveRecoveryNote& note :
             recoverInterruptedSavesElsewhere(temporarySaveFolders(), concernsElsewhere, readable)) {
            result.recovered.append(note);
            if (note.outcome == SaveRecoveryNote::Outcome::restored &&
                !walkedFiles.contains(QUrl::fromLocalFile(note.file)))
                walk(QUrl::fromLocalFile(note.file), false);
        }
    }
    // Leftovers of saves end in their file's extension but are no songs.
    for (qsizetype i = 0; i < walkedFiles.size(); ++i) {
        const QUrl& file = walkedFiles[i];
        if (detectAudioFormat(file) &&
            !parseSaveLeftoverName(QFile::encodeName(Platform::lastPathComponent(file))))
            found.append({file, walkedCanonical[i]});
    }

    // A file already loaded, or reached twice (through a folder and directly,
    // or through a link), is taken once, at its first occurrence.
    for (const auto& [candidate, isCanonical] : std::as_const(found)) {
        const QUrl canonical = isCanonical ? candidate : Platform::canonicalLocation(candidate);
        if (!taken.contains(canonical)) {
            taken.insert(canonical);
            result.files.append(canonical);
        }
    }
    return result;
}

// The pool is the document's, which waits for its tasks before the document
// goes; a result queued to a deleted context is dropped.
void ImportJob::findCandidates(QThreadPool* pool, const QList<QUrl>& locations, const QList<QUrl>& loaded,
                               std::shared_ptr<const TagReader> reader, QObject* context,
                               std::function<void(const Candidates&)> done) {
    pool->start([locations, loaded, reader = std::move(reader), context, done = std::move(done)] {
        Candidates found = candidates(locations, loaded, reader.get());
        QMetaObject::invokeMethod(
            context, [done, found = std::move(found)] { done(found); }, Qt::QueuedConnection);
    });
}
