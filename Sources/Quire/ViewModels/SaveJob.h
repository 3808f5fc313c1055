#pragma once

#include "Platform/FileSystem.h"
#include "QuireCore/AudioFile.h"
#include "QuireCore/TagWriter.h"

#include <QList>
#include <QObject>
#include <QThreadPool>
#include <QUrl>
#include <memory>
#include <optional>

// One file's write, captured when the save starts.
struct WriteRequest {
    QUrl url;
    TagSet tags;
    WriteScope scope;                      // the fields to write; the others stay as they are
    std::optional<QList<Artwork>> artwork; // none leaves the file's pictures alone
};

// One file to save: its record now, and as it stands on disk (as last read or
// saved; none writes every field).
struct SaveItem {
    AudioFile file;
    std::optional<AudioFile> onDisk;
};

// Writes files in the background, several at a time: each safe write waits
// mostly for its flushes, and the file system joins flushes that overlap.
// Names of one file (hard links) are written one after another, never at
// once. Each outcome is delivered on the job's thread as it comes. The job
// owns itself and ends (deletes itself) after `allFinished`, so a save runs
// to its end even when the document that started it is gone.
class SaveJob : public QObject {
    Q_OBJECT

public:
    // Each write waits mostly for its flushes, so twice as many as there are cores keep the disk busy.
    // More leave the window waiting its turn for a core: on two cores, eight writes (and their helpers)
    // held it up to 78 ms at a time, four up to 23 ms, for a save of 10,000 files 5% longer.
    static int concurrentWrites();

    SaveJob(QList<SaveItem> items, int newId3v2Version, std::shared_ptr<const TagWriter> writer);
    void start();

    static WriteRequest requestFor(const SaveItem& item, int newId3v2Version);

signals:
    // `stamp` is the written file's, taken after the write (none after a failure).
    void fileFinished(qsizetype index, const std::optional<TagReaderError>& error,
                      const std::optional<Platform::FileStamp>& stamp);
    void allFinished();

private:
    void writeGroups(const QList<QList<qsizetype>>& groups);
    void finishFile(qsizetype index, const std::optional<TagReaderError>& error,
                    const std::optional<Platform::FileStamp>& stamp);

    const QList<SaveItem> m_items;
    const int m_newId3v2Version;
    QList<WriteRequest> m_requests; // made from the items on the pool, before the writes
    std::shared_ptr<const TagWriter> m_writer;
    qsizetype m_finished = 0;
    QThreadPool m_pool; // waits for its writers when the job goes
};
