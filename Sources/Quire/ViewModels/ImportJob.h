#pragma once

#include "Platform/FileSystem.h"
#include "QuireCore/SaveRecovery.h"
#include "QuireCore/TagReader.h"

class ReadCache;

#include <QList>
#include <QObject>
#include <QThreadPool>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

// Reads a list of files on `readers` tasks of a pool. Each task takes the next
// run of neighbouring files as soon as it is done with one, so the reads never
// wait for the job's thread; results are handed over in batches of whatever
// has finished since the last hand-over, on the job's thread, in completion
// order.
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
    ImportJob(QList<QUrl> locations, std::shared_ptr<const TagReader> reader, QThreadPool* pool, int readers,
              QObject* parent, std::shared_ptr<ReadCache> cache = nullptr);
    // Reads not yet started are dropped; those in flight finish unseen.
    ~ImportJob() override;
    void start();

    struct Candidates {
        QList<QUrl> files;                 // to read
        QList<SaveRecoveryNote> recovered; // what the user must hear of recovery
        QStringList withoutUtf8Names;      // audio files found whose paths no location can reach, as shown
    };
    // The files an import of `locations` reads: the supported audio files at
    // them (folders are walked), each once, without those already `loaded`.
    // With a `recovery` reader, leftovers of interrupted saves of the files
    // (in the folders walked, or beside the files given) are put right first
    // (recoverInterruptedSaves, the reader telling readable audio). Files
    // already loaded are left alone: this program may be saving them.
    static Candidates candidates(const QList<QUrl>& locations, const QList<QUrl>& loaded,
                                 const TagReader* recovery = nullptr);
    // Works the candidates out on `pool` (walking a large folder takes a
    // while), recovering with `reader`, and hands them to `done` on the thread
    // of `context`.
    static void findCandidates(QThreadPool* pool, const QList<QUrl>& locations, const QList<QUrl>& loaded,
                               std::shared_ptr<const TagReader> reader, QObject* context,
                               std::function<void(const Candidates&)> done);

signals:
    void filesFinished(const QList<ImportJob::Result>& results);
    void allFinished();

private:
    struct Shared;
    void handOver();
    struct Task;
    static void read(Shared& shared, Task& task, qsizetype index);

    std::shared_ptr<Shared> m_shared;
    QThreadPool* m_pool;
    int m_readers;
    qsizetype m_finished = 0;
};
