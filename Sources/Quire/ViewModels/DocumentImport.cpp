#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ImportJob.h"
#include "Quire/ViewModels/ThreadCheck.h"

namespace {

// One line per file, so that the command line prints one per file too.
QStringList recoveryLines(const QList<SaveRecoveryNote>& notes) {
    QStringList lines;
    for (const SaveRecoveryNote& note : notes) {
        switch (note.outcome) {
        case SaveRecoveryNote::Outcome::restored:
            lines.append(DocumentViewModel::tr("%1 was restored from the backup of an interrupted save.")
                             .arg(note.file));
            break;
        case SaveRecoveryNote::Outcome::restoredKeptCurrent:
            lines.append(DocumentViewModel::tr("%1 was restored from the backup of an interrupted save; what "
                                               "it held before is kept as “%2”.")
                             .arg(note.file, note.keptAs));
            break;
        case SaveRecoveryNote::Outcome::keptBoth:
            lines.append(
                DocumentViewModel::tr("%1 was kept as it is; the backup an interrupted save left beside "
                                      "it differs and is kept as “%2”.")
                    .arg(note.file, note.keptAs));
            break;
        case SaveRecoveryNote::Outcome::failed:
            lines.append(
                note.keptAs.isEmpty()
                    ? DocumentViewModel::tr("%1 could not be restored from the backup of an interrupted "
                                            "save (%2).")
                          .arg(note.file, note.description)
                    : DocumentViewModel::tr("%1 could not be restored from the backup of an interrupted "
                                            "save (%2); the backup is kept as “%3”.")
                          .arg(note.file, note.description, note.keptAs));
            break;
        }
    }
    return lines;
}

} // namespace

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
    ImportJob::findCandidates(
        &m_readPool, locations, loaded, m_tagReader, this, [this](const ImportJob::Candidates& found) {
            QStringList notes;
            if (!found.withoutUtf8Names.isEmpty())
                notes.append(tr("These files have names that aren’t valid UTF-8, so they can’t be opened. "
                                "Rename them and add them again:\n") +
                             found.withoutUtf8Names.join(u'\n'));
            if (!found.recovered.isEmpty())
                notes.append(recoveryLines(found.recovered).join(u'\n'));
            startImport(found.files, notes);
        });
}

void DocumentViewModel::startImport(const QList<QUrl>& importList, const QStringList& notes) {
    ASSERT_GUI_THREAD();
    if (importList.isEmpty()) {
        setLoading(false);
        if (!notes.isEmpty())
            setSaveErrorMessage(notes.join(QStringLiteral("\n\n")));
        const QList<QUrl> queued = std::exchange(m_queuedImports, {});
        if (!queued.isEmpty())
            importFiles(queued);
        return;
    }
    recordUndoStep(tr("Import %1 files").arg(importList.size()));
    setImportProgress({importList.size(), 0});
    startImportJob(importList, notes);
}

void DocumentViewModel::startImportJob(const QList<QUrl>& importList, const QStringList& notes) {
    auto* job = new ImportJob(importList, m_tagReader, &m_readPool, maxConcurrentReads, this);

    // Files are appended in the order their reads finish, a batch at a time,
    // and put in display order once at the end.
    auto failures = std::make_shared<QStringList>();
    connect(job, &ImportJob::filesFinished, this, [this, failures](const QList<ImportJob::Result>& results) {
        QList<AudioFile> read;
        read.reserve(results.size());
        for (const ImportJob::Result& result : results) {
            if (result.file) {
                m_savedFiles.insert(result.file->id(), *result.file);
                read.append(*result.file);
            } else {
                failures->append(Platform::lastPathComponent(result.location));
            }
        }
        if (!read.isEmpty()) {
            m_files.append(read);
            emit filesChanged();
        }
        setImportProgress({m_importProgress.total, m_importProgress.completed + results.size()});
    });
    connect(job, &ImportJob::allFinished, this, [this, job, failures, notes] {
        job->deleteLater();
        sortFiles();
        setLoading(false);
        QStringList message;
        if (!failures->isEmpty())
            message.append(tr("Couldn’t read these files. They haven’t been added or changed:\n") +
                           failures->join(u'\n'));
        message.append(notes);
        if (!message.isEmpty())
            setSaveErrorMessage(message.join(QStringLiteral("\n\n")));
        if (!m_files.isEmpty()) {
            if (m_selectedFiles.isEmpty())
                setSelectedFiles({m_files.first().id()});
        }
        const QList<QUrl> queued = std::exchange(m_queuedImports, {});
        if (!queued.isEmpty())
            importFiles(queued);
    });
    job->start();
}
