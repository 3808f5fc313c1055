#include "Quire/ViewModels/SaveJob.h"

#include <QFile>
#include <QHash>
#include <QMetaObject>
#include <atomic>
#include <sys/stat.h>

namespace {

// The requests grouped by the file they name: one group per file, in list
// order, holding every request for it (a file reached by two names).
QList<QList<qsizetype>> groupByFile(const QList<WriteRequest>& requests) {
    QList<QList<qsizetype>> groups;
    QHash<std::pair<dev_t, ino_t>, qsizetype> groupOfFile;
    for (qsizetype index = 0; index < requests.size(); ++index) {
        struct stat status {};
        if (::stat(QFile::encodeName(requests[index].url.toLocalFile()).constData(), &status) == 0) {
            const std::pair file{status.st_dev, status.st_ino};
            if (const auto known = groupOfFile.constFind(file); known != groupOfFile.constEnd()) {
                groups[*known].append(index);
                continue;
            }
            groupOfFile.insert(file, groups.size());
        }
        // A file that cannot be looked at fails on its own when written.
        groups.append(QList<qsizetype>{index});
    }
    return groups;
}

} // namespace

SaveJob::SaveJob(QList<WriteRequest> requests, std::shared_ptr<const TagWriter> writer)
    : m_requests(std::move(requests))
    , m_writer(std::move(writer)) {
    m_pool.setMaxThreadCount(concurrentWrites);
}

void SaveJob::start() {
    if (m_requests.isEmpty()) {
        emit allFinished();
        deleteLater();
        return;
    }
    // Looking at every file takes a while for a large save: not on this thread.
    m_pool.start([this] {
        const QList<QList<qsizetype>> groups = groupByFile(m_requests);
        writeGroups(groups);
    });
}

// Runs on the pool. Each writer takes the next group until none is left; the
// job is deleted only after the last outcome has been delivered, which comes
// after every writer's last use of it.
void SaveJob::writeGroups(const QList<QList<qsizetype>>& groups) {
    auto next = std::make_shared<std::atomic<qsizetype>>(0);
    for (int writer = 0; writer < concurrentWrites; ++writer) {
        m_pool.start([this, groups, next] {
            for (qsizetype group = (*next)++; group < groups.size(); group = (*next)++) {
                for (const qsizetype index : groups[group]) {
                    const WriteRequest& request = m_requests.at(index); // at(): no detach across threads
                    const std::optional<TagReaderError> error =
                        m_writer->write(request.url, request.tags, request.scope, request.artwork);
                    const std::optional<Platform::FileStamp> stamp =
                        error ? std::nullopt : Platform::fileStamp(request.url);
                    QMetaObject::invokeMethod(
                        this, [this, index, error, stamp] { finishFile(index, error, stamp); },
                        Qt::QueuedConnection);
                }
            }
        });
    }
}

void SaveJob::finishFile(qsizetype index, const std::optional<TagReaderError>& error,
                         const std::optional<Platform::FileStamp>& stamp) {
    emit fileFinished(index, error, stamp);
    if (++m_finished == m_requests.size()) {
        emit allFinished();
        deleteLater();
    }
}
