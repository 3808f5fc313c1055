#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ImportJob.h"
#include "Quire/ViewModels/ThreadCheck.h"

// Walking folders and resolving links takes a while for a large library, so it
// runs on the read pool (which the document waits for when it goes); the
// import proper starts on this thread with its result.
void DocumentViewModel::importFiles(const QList<QUrl>& locations) {
    ASSERT_GUI_THREAD();
    if (locations.isEmpty())
        return;
    if (m_isLoading) {
        m_queuedImports += locations;
        return;
    }
    setLoading(true);
    setImportProgress({});
    QList<QUrl> loaded;
    loaded.reserve(m_files.size());
    for (const AudioFile& file : std::as_const(m_files))
        loaded.append(file.url());
    ImportJob::findCandidates(&m_readPool, locations, loaded, this,
                              [this](const QList<QUrl>& importList) { startImport(importList); });
}

void DocumentViewModel::startImport(const QList<QUrl>& importList) {
    ASSERT_GUI_THREAD();
    if (importList.isEmpty()) {
        setLoading(false);
        const QList<QUrl> queued = std::exchange(m_queuedImports, {});
        if (!queued.isEmpty())
            importFiles(queued);
        return;
    }
    recordUndoStep(tr("Import %1 files").arg(importList.size()));
    setImportProgress({importList.size(), 0});
    startImportJob(importList);
}

void DocumentViewModel::startImportJob(const QList<QUrl>& importList) {
    auto* job = new ImportJob(importList, m_tagReader, &m_readPool, maxConcurrentReads, this);

    // Files are appended in batches, in the order their reads finish, and put
    // in display order once at the end.
    struct Progress {
        QList<AudioFile> batch;
        QStringList failures;
        qint64 completed = 0;
    };
    auto progress = std::make_shared<Progress>();

    connect(job, &ImportJob::fileFinished, this,
            [this, progress](const QUrl& location, const std::optional<AudioFile>& file) {
                ++progress->completed;
                if (file) {
                    m_savedFiles.insert(file->id(), *file);
                    progress->batch.append(*file);
                    if (progress->batch.size() >= importBatchSize) {
                        setFiles(m_files + progress->batch);
                        progress->batch.clear();
                    }
                } else {
                    progress->failures.append(Platform::lastPathComponent(location));
                }
                setImportProgress({m_importProgress.total, progress->completed});
            });
    connect(job, &ImportJob::allFinished, this, [this, job, progress] {
        job->deleteLater();
        if (!progress->batch.isEmpty())
            setFiles(m_files + progress->batch);
        sortFiles();
        setLoading(false);
        if (!progress->failures.isEmpty())
            setSaveErrorMessage(tr("Couldn’t read these files. They haven’t been added or changed:\n") +
                                progress->failures.join(u'\n'));
        if (!m_files.isEmpty()) {
            setInspectorVisible(true);
            if (m_selectedFiles.isEmpty())
                setSelectedFiles({m_files.first().id()});
        }
        const QList<QUrl> queued = std::exchange(m_queuedImports, {});
        if (!queued.isEmpty())
            importFiles(queued);
    });
    job->start();
}
