#include "Quire/ViewModels/ImportJob.h"

#include <QMetaObject>

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
