#pragma once

#include "QuireCore/TagReader.h"

#include <QList>
#include <QObject>
#include <QThreadPool>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

// Reads a list of files with a sliding window of concurrent reads: a new read
// starts whenever one finishes, so at most `window` are in flight. Each result
// is delivered on the job's thread, one at a time, in completion order.
class ImportJob : public QObject {
    Q_OBJECT

public:
    ImportJob(QList<QUrl> locations, std::shared_ptr<const TagReader> reader, QThreadPool* pool, int window,
              QObject* parent);
    void start();

    // The files an import of `locations` reads: the supported audio files at
    // them (folders are walked), each once, without those already `loaded`.
    static QList<QUrl> candidates(const QList<QUrl>& locations, const QList<QUrl>& loaded);
    // Works the candidates out on `pool` (walking a large folder takes a
    // while) and hands them to `done` on the thread of `context`.
    static void findCandidates(QThreadPool* pool, const QList<QUrl>& locations, const QList<QUrl>& loaded,
                               QObject* context, std::function<void(const QList<QUrl>&)> done);

signals:
    // No file when the reader reported an error (the error itself is not needed).
    void fileFinished(const QUrl& location, const std::optional<AudioFile>& file);
    void allFinished();

private:
    void startNext();
    void finishRead(const QUrl& location, const std::optional<AudioFile>& file);

    QList<QUrl> m_locations;
    std::shared_ptr<const TagReader> m_reader;
    QThreadPool* m_pool;
    int m_window;
    qsizetype m_nextToStart = 0;
    qsizetype m_finished = 0;
};
