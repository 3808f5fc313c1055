#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ImportCandidates.h"
#include "Quire/ViewModels/ImportJob.h"
#include "Quire/ViewModels/ReadCache.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QTimer>

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
// runs on the read pool (which the document waits for when it goes), and the
// files it finds are read as each portion of them is handed over. The import's
// undo step is recorded with the first files found and described when the walk
// ends; edits made meanwhile to the files shown keep their own steps
// (EditHistory::beginAdding).
void DocumentViewModel::importFiles(const QList<QUrl>& locations) {
    ASSERT_GUI_THREAD();
    if (locations.isEmpty())
        return;
    if (m_isLoading) {
        m_queuedImports += locations;
        return;
    }
    if (m_isMovingFiles) {
        m_afterMoves.append([this, locations] { importFiles(locations); });
        return;
    }
    setLoading(true);
    setImportProgress({});
    QList<QUrl> loaded;
    loaded.reserve(m_files.size());
    for (const AudioFile& file : std::as_const(m_files))
        loaded.append(file.url());

    // What the walk found so far; posted portions of a walk whose document went are dropped with it.
    struct Walk {
        ImportJob* job = nullptr;
        QList<SaveRecoveryNote> recovered;
        QStringList withoutUtf8Names;
    };
    auto walk = std::make_shared<Walk>();
    const auto found = [this, walk](ImportCandidates::Portion portion) {
        walk->recovered += portion.recovered;
        walk->withoutUtf8Names += portion.withoutUtf8Names;
        if (portion.files.isEmpty())
            return;
        if (!walk->job) {
            m_history.record(tr("Import %n files", nullptr, int(portion.files.size())), snapshot());
            m_history.beginAdding();
            walk->job = startImportJob();
        }
        setImportProgress({m_importProgress.total + portion.files.size(), m_importProgress.completed,
                           m_importProgress.fromCache});
        walk->job->add(portion.files);
    };
    const auto walked = [this, walk] {
        if (!walk->recovered.isEmpty()) {
            QStringList files;
            for (const SaveRecoveryNote& note : std::as_const(walk->recovered))
                files.append(note.file);
            m_notices.post(Notice::Kind::recovery, recoveryLines(walk->recovered).join(u'\n'), files);
        }
        if (!walk->withoutUtf8Names.isEmpty())
            m_notices.post(Notice::Kind::import,
                           tr("These files have names that aren’t valid UTF-8, so they can’t be opened. "
                              "Rename them and add them again:\n") +
                               walk->withoutUtf8Names.join(u'\n'),
                           walk->withoutUtf8Names);
        if (walk->job) {
            walk->job->finishAdding();
            return;
        }
        setLoading(false);
        const QList<QUrl> queued = std::exchange(m_queuedImports, {});
        if (!queued.isEmpty())
            importFiles(queued);
    };
    m_readPool.start([this, found, walked, locations, loaded, reader = m_tagReader] {
        ImportCandidates search(locations, loaded, reader.get());
        search.run(
            [this, found](ImportCandidates::Portion portion) {
                QMetaObject::invokeMethod(
                    this, [found, portion = std::move(portion)] { found(portion); }, Qt::QueuedConnection);
            },
            &m_closing);
        QMetaObject::invokeMethod(this, walked, Qt::QueuedConnection);
    });
}

void DocumentViewModel::setReadCachePath(const QString& path) {
    ASSERT_GUI_THREAD();
    if (path == m_readCachePath)
        return;
    m_readCachePath = path;
    // Opened when an import first needs it, off this thread.
    m_readCache = path.isEmpty() ? nullptr : std::make_shared<ReadCache>(path);
}

void DocumentViewModel::clearReadCache() {
    ASSERT_GUI_THREAD();
    if (m_readCache)
        m_readCache->clear();
}

ImportJob* DocumentViewModel::startImportJob() {
    auto* job = new ImportJob(m_tagReader, &m_readPool, maxConcurrentReads, this, m_readCache);

    // Files are put in place in sort order as their reads finish, so that the
    // rows shown keep their order as more arrive. The first are shown at once;
    // later ones are gathered and shown every showInterval, for each
    // hand-over costs the list (and the views) a pass over every file.
    struct Outcome {
        QList<std::pair<QUrl, QString>> failures; // with the reason
        QList<QUrl> readInPart;
        QList<AudioFile> read; // not yet shown
        bool shownAny = false;
        QTimer* show = nullptr; // the job's, so that it goes with the job
    };
    auto outcome = std::make_shared<Outcome>();
    outcome->show = new QTimer(job);
    outcome->show->setSingleShot(true);
    const auto showRead = [this, outcome] {
        outcome->show->stop();
        if (outcome->read.isEmpty())
            return;
        outcome->shownAny = true;
        QList<AudioFile> read = std::exchange(outcome->read, {});
        DocumentChange change;
        change.added.reserve(read.size());
        for (const AudioFile& file : std::as_const(read))
            change.added.insert(file.id());
        m_history.added(read);
        publish(mergedInOrder(std::move(read)), change);
        m_filesInOrder = true;
    };
    connect(outcome->show, &QTimer::timeout, this, showRead);
    connect(job, &ImportJob::filesFinished, this, [this, outcome](const QList<ImportJob::Result>& results) {
        qint64 fromCache = 0;
        for (const ImportJob::Result& result : results) {
            fromCache += result.fromCache;
            if (result.read) {
                const AudioFile& file = result.read.value();
                m_savedFiles.insert(file.id(), file);
                if (result.stamp)
                    m_diskStamps.insert(file.id(), *result.stamp);
                outcome->read.append(file);
                if (file.isReadInPart())
                    outcome->readInPart.append(result.location);
            } else {
                outcome->failures.append({result.location, result.read.error().description()});
            }
        }
        constexpr int showInterval = 250; // ms
        if (!outcome->read.isEmpty() && !outcome->show->isActive())
            outcome->show->start(outcome->shownAny ? showInterval : 0);
        setImportProgress({m_importProgress.total, m_importProgress.completed + results.size(),
                           m_importProgress.fromCache + fromCache});
    });
    connect(job, &ImportJob::allFinished, this, [this, job, outcome, showRead, cache = m_readCache] {
        job->deleteLater();
        showRead();
        m_history.endAdding(tr("Import %n files", nullptr, int(m_importProgress.total)));
        setLoading(false);
        if (const QString notice = cache ? cache->takeNotice() : QString(); !notice.isEmpty())
            m_notices.post(Notice::Kind::cache, notice);
        if (!outcome->failures.isEmpty()) {
            QStringList lines, paths;
            for (const auto& [location, reason] : std::as_const(outcome->failures)) {
                const QString name = Platform::lastPathComponent(location);
                lines.append(reason.isEmpty() ? name : name + QStringLiteral(": ") + reason);
                paths.append(location.toLocalFile());
            }
            m_notices.post(Notice::Kind::import,
                           tr("Couldn’t read these files. They haven’t been added or changed:\n") +
                               lines.join(u'\n'),
                           paths);
        }
        if (!outcome->readInPart.isEmpty()) {
            QStringList names, paths;
            for (const QUrl& location : std::as_const(outcome->readInPart)) {
                names.append(Platform::lastPathComponent(location));
                paths.append(location.toLocalFile());
            }
            m_notices.post(Notice::Kind::readInPart,
                           tr("The tags of these files are partly damaged and could be read only in part. "
                              "Saving them is refused where it would lose the damaged part:\n") +
                               names.join(u'\n'),
                           paths);
        }
        if (m_selectedFiles.isEmpty()) {
            if (const QList<AudioFile> shown = shownFiles(); !shown.isEmpty())
                setSelectedFiles({shown.first().id()});
        }
        const QList<QUrl> queued = std::exchange(m_queuedImports, {});
        if (!queued.isEmpty())
            importFiles(queued);
    });
    return job;
}

QList<AudioFile> DocumentViewModel::mergedInOrder(QList<AudioFile> read) const {
    if (!m_filesInOrder)
        return sorted(m_files + read);
    const auto before = [this](const AudioFile& a, const AudioFile& b) { return sortsBefore(a, b); };
    read = sortedByKeys(read);
    // Each new file's place is found by a search that doubles its steps from the place of the file before
    // it, then bisects: a hand-over of a few thousand files into a list of 100,000 then costs a few
    // comparisons (collations of texts) a file, not a pass over the list. Files equal under the order go
    // after those in place, as std::merge would put them.
    QList<AudioFile> files;
    files.reserve(m_files.size() + read.size());
    auto from = m_files.cbegin();
    for (const AudioFile& file : std::as_const(read)) {
        const qsizetype left = m_files.cend() - from;
        qsizetype step = 1;
        while (step <= left && !before(file, from[step - 1]))
            step *= 2;
        const auto to = std::upper_bound(from + step / 2, from + std::min(step, left), file, before);
        std::copy(from, to, std::back_inserter(files));
        files.append(file);
        from = to;
    }
    std::copy(from, m_files.cend(), std::back_inserter(files));
    return files;
}
