#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/SaveJob.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QDateTime>

namespace {

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

// A save writes only what differs from the file's state on disk: the fields
// whose values differ, and the pictures when they changed. Rewriting the rest
// would lose what the model cannot carry (full dates, several values, "A1"
// track numbers, GIF and capitalised MIME types, MP4 cover typing...).
WriteRequest DocumentViewModel::writeRequest(const AudioFile& file) const {
    const auto saved = m_savedFiles.constFind(file.id());
    if (saved == m_savedFiles.constEnd()) {
        WriteScope scope = WriteScope::everything(file.tags());
        scope.newId3v2Version = m_newId3v2Version;
        return {file.url(), file.tags(), scope, file.artwork()};
    }
    const WriteScope changed{TagSet::differingFields(file.tags(), saved->tags()), m_newId3v2Version};
    const bool samePictures = Artwork::areSamePictures(file.artwork(), saved->artwork());
    return {file.url(), file.tags(), changed, samePictures ? std::nullopt : std::optional(file.artwork())};
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

    QList<WriteRequest> requests;
    requests.reserve(files.size());
    for (const AudioFile& file : files)
        requests.append(writeRequest(file));

    auto* job = new SaveJob(std::move(requests), m_tagWriter);
    struct Outcome {
        QHash<QUuid, std::optional<Platform::FileStamp>> written;
        QMap<qsizetype, QString> failures; // by position in the list, which is their order
    };
    auto outcome = std::make_shared<Outcome>();
    const QPointer<DocumentViewModel> document(this);
    connect(job, &SaveJob::fileFinished, job,
            [document, files, outcome](qsizetype index, const std::optional<TagReaderError>& error,
                                       const std::optional<Platform::FileStamp>& stamp) {
                const AudioFile& file = files[index];
                if (error)
                    outcome->failures.insert(index, Platform::lastPathComponent(file.url()) +
                                                        QStringLiteral(": ") + error->description());
                else
                    outcome->written.insert(file.id(), stamp);
                if (document)
                    document->setSaveProgress(
                        {document->m_saveProgress.total, document->m_saveProgress.completed + 1});
            });
    connect(job, &SaveJob::allFinished, job, [document, files, outcome, completion] {
        if (document)
            document->finishSave(files, outcome->written, outcome->failures.values(), completion);
        else if (completion)
            completion();
    });
    job->start();
}

void DocumentViewModel::finishSave(const QList<AudioFile>& handedToSave,
                                   const QHash<QUuid, std::optional<Platform::FileStamp>>& written,
                                   const QStringList& failures, const Completion& completion) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QStringList failedPaths;
    for (AudioFile file : handedToSave) {
        if (!written.contains(file.id())) {
            failedPaths.append(file.url().toLocalFile());
            continue;
        }
        file.setLastSaved(now);
        file.setModified(false);
        m_savedFiles.insert(file.id(), file);
        if (const std::optional<Platform::FileStamp>& stamp = written.value(file.id()))
            m_diskStamps.insert(file.id(), *stamp);
        else
            m_diskStamps.remove(file.id());
    }
    // A file edited while the save ran stays modified: its new edits are not on disk.
    QList<AudioFile> files = m_files;
    for (AudioFile& file : files) {
        if (written.contains(file.id()))
            markAgainstDisk(file);
    }
    commit({}, files, UndoRecord::none);
    setSaving(false);
    if (!failures.isEmpty())
        m_notices.post(Notice::Kind::save, failures.join(u'\n'), failedPaths);
    if (completion)
        completion();
    for (const Completion& pending : std::exchange(m_pendingSaveCompletions, {}))
        pending();
}
