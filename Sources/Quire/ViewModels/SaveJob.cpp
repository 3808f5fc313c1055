#include "Quire/ViewModels/SaveJob.h"

#include <QtConcurrent/QtConcurrentRun>

SaveJob::SaveJob(QList<WriteRequest> requests, std::shared_ptr<const TagWriter> writer)
    : m_requests(std::move(requests))
    , m_writer(std::move(writer)) {}

void SaveJob::start() {
    writeNext();
}

void SaveJob::writeNext() {
    if (m_next >= m_requests.size()) {
        emit allFinished();
        deleteLater();
        return;
    }
    const qsizetype index = m_next++;
    QtConcurrent::run([writer = m_writer, request = m_requests[index]] {
        return writer->write(request.url, request.tags, request.artwork);
    }).then(this, [this, index](const std::optional<TagReaderError>& error) {
        emit fileFinished(index, error);
        writeNext();
    });
}
