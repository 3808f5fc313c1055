#include "Quire/ViewModels/ImportJob.h"

#include "Platform/FileSystem.h"

#include <QMetaObject>
#include <QSet>

ImportJob::ImportJob(QList<QUrl> locations, std::shared_ptr<const TagReader> reader, QThreadPool* pool,
                     int window, QObject* parent)
    : QObject(parent)
    , m_locations(std::move(locations))
    , m_reader(std::move(reader))
    , m_pool(pool)
    , m_window(window) {}

void ImportJob::start() {
    if (m_locations.isEmpty()) {
        emit allFinished();
        return;
    }
    for (int i = 0; i < m_window && m_nextToStart < m_locations.size(); ++i)
        startNext();
}

void ImportJob::startNext() {
    if (m_nextToStart >= m_locations.size())
        return;
    const QUrl location = m_locations[m_nextToStart++];
    // The job outlives every read it starts: the document's pool waits for its
    // reads before the job (a child of the document) goes, and events queued to
    // a deleted job are dropped.
    m_pool->start([this, reader = m_reader, location] {
        ReadResult result = reader->read(location);
        std::optional<AudioFile> file;
        if (result)
            file = std::move(result).value();
        QMetaObject::invokeMethod(
            this, [this, location, file] { finishRead(location, file); }, Qt::QueuedConnection);
    });
}

void ImportJob::finishRead(const QUrl& location, const std::optional<AudioFile>& file) {
    startNext();
    ++m_finished;
    emit fileFinished(location, file);
    if (m_finished == m_locations.size())
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
