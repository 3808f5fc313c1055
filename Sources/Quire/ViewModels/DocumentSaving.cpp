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
    ASSERT_GUI_THREAD();
    save(modifiedFiles(m_files));
}

void DocumentViewModel::saveAll(Completion completion) {
    ASSERT_GUI_THREAD();
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
    save(modifiedFiles(m_files), std::move(completion));
}

// Pictures are rewritten only when they changed since the file was last on
// disk: rewriting unchanged pictures would lose what our model cannot carry
// (GIF and capitalised MIME types, MP4 cover typing, FLAC pictures kept only
// in the Vorbis comment).
std::optional<QList<Artwork>> DocumentViewModel::artworkToWrite(const AudioFile& file) const {
    const auto saved = m_savedFiles.constFind(file.id());
    if (saved != m_savedFiles.constEnd() && saved->artwork().size() == file.artwork().size() &&
        std::equal(file.artwork().begin(), file.artwork().end(), saved->artwork().begin(),
                   Artwork::isSamePicture))
        return std::nullopt;
    return file.artwork();
}

void DocumentViewModel::save(const QList<AudioFile>& files, Completion completion) {
    ASSERT_GUI_THREAD();
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
    snapshot(); // records baselines for unmodified files
    endEditMerge();
    setSaveErrorMessage(std::nullopt);
    setSaving(true);
    setSaveProgress({files.size(), 0});

    QList<WriteRequest> requests;
    requests.reserve(files.size());
    for (const AudioFile& file : files)
        requests.append({file.url(), file.tags(), artworkToWrite(file)});

    auto* job = new SaveJob(std::move(requests), m_tagWriter);
    struct Outcome {
        QSet<QUuid> written;
        QStringList failures;
    };
    auto outcome = std::make_shared<Outcome>();
    const QPointer<DocumentViewModel> document(this);
    connect(job, &SaveJob::fileFinished, job,
            [document, files, outcome](qsizetype index, const std::optional<TagReaderError>& error) {
                const AudioFile& file = files[index];
                if (error)
                    outcome->failures.append(Platform::lastPathComponent(file.url()) + QStringLiteral(": ") +
                                             error->description());
                else
                    outcome->written.insert(file.id());
                if (document)
                    document->setSaveProgress(
                        {document->m_saveProgress.total, document->m_saveProgress.completed + 1});
            });
    connect(job, &SaveJob::allFinished, job, [document, files, outcome, completion] {
        if (document)
            document->finishSave(files, outcome->written, outcome->failures, completion);
        else if (completion)
            completion();
    });
    job->start();
}

void DocumentViewModel::finishSave(const QList<AudioFile>& handedToSave, const QSet<QUuid>& written,
                                   const QStringList& failures, const Completion& completion) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (AudioFile file : handedToSave) {
        if (!written.contains(file.id()))
            continue;
        file.setLastSaved(now);
        file.setModified(false);
        m_savedFiles.insert(file.id(), file);
    }
    // A file edited while the save ran stays modified: its new edits are not on disk.
    QList<AudioFile> files = m_files;
    for (AudioFile& file : files) {
        if (!written.contains(file.id()))
            continue;
        const AudioFile& saved = m_savedFiles[file.id()];
        file.setModified(file.tags() != saved.tags() || file.artwork() != saved.artwork());
        file.setLastSaved(saved.lastSaved());
    }
    setFiles(files);
    setSaving(false);
    setSaveErrorMessage(failures.isEmpty() ? std::nullopt : std::optional(failures.join(u'\n')));
    if (completion)
        completion();
    for (const Completion& pending : std::exchange(m_pendingSaveCompletions, {}))
        pending();
}
