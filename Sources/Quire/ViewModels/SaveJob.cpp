#include "Quire/ViewModels/SaveJob.h"

#include <QMetaObject>
#include <QThreadPool>

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
    // One write at a time; the job deletes itself only after the last one has reported.
    QThreadPool::globalInstance()->start([this, writer = m_writer, request = m_requests[index], index] {
        const std::optional<TagReaderError> error =
            writer->write(request.url, request.tags, request.fields, request.artwork);
        QMetaObject::invokeMethod(
            this,
            [this, index, error] {
                emit fileFinished(index, error);
                writeNext();
            },
            Qt::QueuedConnection);
    });
}
