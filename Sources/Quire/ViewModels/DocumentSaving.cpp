#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/SaveJob.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QDateTime>
#include <QTimer>

namespace {

constexpr int savedHandOverInterval = 200; // ms

QList<AudioFile> modifiedFiles(const QList<AudioFile>& files) {
    QList<AudioFile> modified;
    for (const AudioFile& file : files) {
        if (file.isModified())
            modified.append(file);
    }
    return modified;
}

} // namespace

void DocumentViewModel::saveAll() {
    saveAll({});
}

void DocumentViewModel::saveAll(Completion completion) {
    ASSERT_GUI_THREAD();
    if (m_isMovingFiles) {
        // The files' locations change when the moves end: save them there.
        m_afterMoves.append([this, completion] { saveAll(completion); });
        return;
    }
    if (m_isSaving) {
        // Wait for the running save, then save whatever is modified by then.
        m_pendingSaveCompletions.append([document = QPointer(this), completion] {
            if (document)
                document->saveAll(completion);
            else if (completion)
                completion();
        });
        return;
    }
    emit aboutToSave();
    save(modifiedFiles(m_files), std::move(completion));
}

void DocumentViewModel::save(const QList<AudioFile>& files, Completion completion) {
    ASSERT_GUI_THREAD();
    if (m_isMovingFiles) {
        QList<QUuid> ids;
        for (const AudioFile& file : files)
            ids.append(file.id());
        m_afterMoves.append([this, ids, completion] {
            QList<AudioFile> moved;
            for (const QUuid& id : ids) {
                if (const qsizetype index = indexOfFile(id); index >= 0)
                    moved.append(m_files[index]);
            }
            save(moved, completion);
        });
        return;
    }
    if (m_isSaving) {
        if (completion)
            m_pendingSaveCompletions.append(std::move(completion));
        return;
    }
    if (files.isEmpty()) {
        if (completion)
            completion();
        return;
    }
    m_history.endMerge();
    setSaving(true);
    setSaveProgress({files.size(), 0});

    QList<SaveItem> items;
    items.reserve(files.size());
    for (const AudioFile& file : files) {
        const auto saved = m_savedFiles.constFind(file.id());
        items.append({file, saved == m_savedFiles.constEnd() ? std::nullopt : std::optional(*saved)});
    }
    auto* job = new SaveJob(std::move(items), m_newId3v2Version, m_tagWriter);
    struct Outcome {
        // Written since the last hand-over to the list: position in `files`, and the stamp after the write.
        QList<std::pair<qsizetype, std::optional<Platform::FileStamp>>> unapplied;
        // By position in the list, which is their order.
        QMap<qsizetype, QString> failures;
        QMap<qsizetype, QString> failedPaths;
    };
    auto outcome = std::make_shared<Outcome>();
    const QPointer<DocumentViewModel> document(this);
    connect(job, &SaveJob::fileFinished, job,
            [document, files, outcome](qsizetype index, const std::optional<TagReaderError>& error,
                                       const std::optional<Platform::FileStamp>& stamp) {
                const AudioFile& file = files[index];
                if (error) {
                    outcome->failures.insert(index, Platform::lastPathComponent(file.url()) +
                                                        QStringLiteral(": ") + error->description());
                    outcome->failedPaths.insert(index, file.url().toLocalFile());
                } else {
                    outcome->unapplied.append({index, stamp});
                }
                if (document)
                    document->setSaveProgress(
                        {document->m_saveProgress.total, document->m_saveProgress.completed + 1});
            });
    // Written files become saved a batch at a time while the save runs: their marks clear as it goes,
    // and no single hand-over holds the GUI thread for long, whatever the number of files.
    auto* handOver = new QTimer(job);
    handOver->setInterval(savedHandOverInterval);
    connect(handOver, &QTimer::timeout, job, [document, files, outcome] {
        if (document && !outcome->unapplied.isEmpty())
            document->takeSavedFiles(files, std::exchange(outcome->unapplied, {}));
    });
    handOver->start();
    connect(job, &SaveJob::allFinished, job, [document, files, outcome, completion] {
        if (document) {
            document->takeSavedFiles(files, std::exchange(outcome->unapplied, {}));
            document->finishSave(outcome->failures.values(), outcome->failedPaths.values(), completion);
        } else if (completion) {
            completion();
        }
    });
    job->start();
}

void DocumentViewModel::takeSavedFiles(
    const QList<AudioFile>& handedToSave,
    const QList<std::pair<qsizetype, std::optional<Platform::FileStamp>>>& written) {
    if (written.isEmpty())
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // A file not changed since it was handed to the save still has that record in the list, found by its
    // storage without reading a record; it becomes the saved record itself, held once.
    QHash<const void*, AudioFile> savedByStorage;
    savedByStorage.reserve(written.size());
    for (const auto& [index, stamp] : written) {
        AudioFile file = handedToSave[index];
        file.setLastSaved(now);
        file.setModified(false);
        m_savedFiles.insert(file.id(), file);
        if (stamp)
            m_diskStamps.insert(file.id(), *stamp);
        else
            m_diskStamps.remove(file.id());
        savedByStorage.insert(handedToSave[index].storageIdentity(), std::move(file));
    }
    QList<AudioFile> files = m_files;
    QSet<QUuid> changedMeanwhile;
    for (const AudioFile& file : std::as_const(savedByStorage))
        changedMeanwhile.insert(file.id());
    for (qsizetype i = 0; i < files.size() && !changedMeanwhile.isEmpty(); ++i) {
        const auto saved = savedByStorage.constFind(std::as_const(files)[i].storageIdentity());
        if (saved != savedByStorage.constEnd()) {
            changedMeanwhile.remove(saved->id());
            files[i] = *saved;
        }
    }
    // A file edited while the save ran stays modified: its new edits are not on disk.
    if (!changedMeanwhile.isEmpty()) {
        for (qsizetype i = 0; i < files.size(); ++i) {
            if (changedMeanwhile.contains(std::as_const(files)[i].id()))
                markAgainstDisk(files[i]);
        }
    }
    commit({}, std::move(files), UndoRecord::none);
}

void DocumentViewModel::finishSave(const QStringList& failures, const QStringList& failedPaths,
                                   const Completion& completion) {
    setSaving(false);
    if (!failures.isEmpty())
        m_notices.post(Notice::Kind::save, failures.join(u'\n'), failedPaths);
    if (completion)
        completion();
    for (const Completion& pending : std::exchange(m_pendingSaveCompletions, {}))
        pending();
}
