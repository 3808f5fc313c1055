#include "Quire/ViewModels/SaveJob.h"

#include <QFile>
#include <QHash>
#include <QMetaObject>
#include <QThread>
#include <algorithm>
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

int SaveJob::concurrentWrites() {
    return std::clamp(2 * QThread::idealThreadCount(), 2, 8);
}

SaveJob::SaveJob(QList<SaveItem> items, int newId3v2Version, std::shared_ptr<const TagWriter> writer)
    : m_items(std::move(items))
    , m_newId3v2Version(newId3v2Version)
    , m_writer(std::move(writer)) {
    m_pool.setMaxThreadCount(concurrentWrites());
}

// A save writes only what differs from the file's state on disk: the fields
// whose values differ, and the pictures when they changed. Rewriting the rest
// would lose what the model cannot carry (full dates, several values, "A1"
// track numbers, GIF and capitalised MIME types, MP4 cover typing...).
WriteRequest SaveJob::requestFor(const SaveItem& item, int newId3v2Version) {
    const AudioFile& file = item.file;
    if (!item.onDisk) {
        WriteScope scope = WriteScope::everything(file.tags());
        scope.newId3v2Version = newId3v2Version;
        return {file.url(), file.tags(), scope, file.artwork()};
    }
    const WriteScope changed{TagSet::differingFields(file.tags(), item.onDisk->tags()), newId3v2Version};
    const bool samePictures = Artwork::areSamePictures(file.artwork(), item.onDisk->artwork());
    return {file.url(), file.tags(), changed, samePictures ? std::nullopt : std::optional(file.artwork())};
}

void SaveJob::start() {
    if (m_items.isEmpty()) {
        emit allFinished();
        deleteLater();
        return;
    }
    // Comparing every file with its state on disk and looking at it take a while for a large save:
    // not on this thread.
    m_pool.start([this] {
        m_requests.reserve(m_items.size());
        for (const SaveItem& item : m_items)
            m_requests.append(requestFor(item, m_newId3v2Version));
        const QList<QList<qsizetype>> groups = groupByFile(m_requests);
        writeGroups(groups);
    });
}

// Runs on the pool. Each writer takes the next group until none is left; the
// job is deleted only after the last outcome has been delivered, which comes
// after every writer's last use of it.
void SaveJob::writeGroups(const QList<QList<qsizetype>>& groups) {
    auto next = std::make_shared<std::atomic<qsizetype>>(0);
    for (int writer = 0; writer < concurrentWrites(); ++writer) {
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
    if (++m_finished == m_items.size()) {
        emit allFinished();
        deleteLater();
    }
}
