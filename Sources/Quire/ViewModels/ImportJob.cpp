#include "Quire/ViewModels/ImportJob.h"

#include <QtConcurrent/QtConcurrentRun>

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
    QtConcurrent::run(m_pool, [reader = m_reader, location]() -> std::optional<AudioFile> {
        ReadResult result = reader->read(location);
        if (!result)
            return std::nullopt;
        return std::move(result).value();
    }).then(this, [this, location](const std::optional<AudioFile>& file) {
        startNext();
        ++m_finished;
        emit fileFinished(location, file);
        if (m_finished == m_locations.size())
            emit allFinished();
    });
}
