#pragma once

#include "Platform/FileSystem.h"
#include "QuireCore/TagReader.h"

class ReadCache;

#include <QList>
#include <QObject>
#include <QThreadPool>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

// Reads files on up to `readers` tasks of a pool as they are added. Each
// task takes the next run of neighbouring files as soon as it is done with
// one, so the reads never wait for the job's thread; results are handed over
// in batches of whatever has finished since the last hand-over, on the job's
// thread, in completion order.
class ImportJob : public QObject {
    Q_OBJECT

public:
    struct Result {
        QUrl location;
        ReadResult read; // the file, or why it could not be read
        // The file's stamp taken before the read: a write during the read
        // leaves a later stamp on disk, so the record never passes for newer
        // than it is.
        std::optional<Platform::FileStamp> stamp;
        bool fromCache = false; // the record came from the read cache, not from the file
    };

    // With a `cache`, a file whose stamp is the one stored there is taken from
    // it, and what is read is stored there.
    ImportJob(std::shared_ptr<const TagReader> reader, QThreadPool* pool, int readers, QObject* parent,
              std::shared_ptr<ReadCache> cache = nullptr);
    // Reads not yet started are dropped; those in flight finish unseen.
    ~ImportJob() override;

    // Reads these too, after those added before.
    void add(const QList<QUrl>& locations);
    // No more are added: allFinished follows the last file's hand-over.
    void finishAdding();

signals:
    void filesFinished(const QList<ImportJob::Result>& results);
    void allFinished();

private:
    struct Shared;
    struct Task;
    void handOver();
    void finishIfDone();
    static void runTask(const std::shared_ptr<Shared>& shared);
    static void read(Shared& shared, Task& task, const QUrl& location);

    std::shared_ptr<Shared> m_shared;
    QThreadPool* m_pool;
    int m_readers;
    qsizetype m_added = 0;
    qsizetype m_finished = 0;
    bool m_addingFinished = false;
};
