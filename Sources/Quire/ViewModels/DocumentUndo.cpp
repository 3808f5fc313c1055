#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ThreadCheck.h"

// Every file has its on-disk baseline in savedFiles from the moment it is
// read, so a snapshot needs nothing but the list and the selection.
FileSnapshot DocumentViewModel::snapshot() const {
    return {m_files, m_selectedFiles};
}

void DocumentViewModel::markAgainstDisk(AudioFile& file) const {
    const auto saved = m_savedFiles.constFind(file.id());
    if (saved == m_savedFiles.constEnd())
        return;
    file.setModified(file.tags() != saved->tags() || file.artwork() != saved->artwork());
    if (file.lastSaved() != saved->lastSaved())
        file.setLastSaved(saved->lastSaved());
}

bool DocumentViewModel::markedAgainstDisk(const AudioFile& file) const {
    const auto saved = m_savedFiles.constFind(file.id());
    return saved == m_savedFiles.constEnd() ||
           (file.isModified() == (file.tags() != saved->tags() || file.artwork() != saved->artwork()) &&
            file.lastSaved() == saved->lastSaved());
}

void DocumentViewModel::forEachCurrentRecord(
    const QList<AudioFile>& files,
    const std::function<void(const AudioFile&, const AudioFile&)>& visit) const {
    QHash<QUuid, qsizetype> positions; // built only when a file stands elsewhere
    for (qsizetype i = 0; i < files.size(); ++i) {
        const AudioFile& file = files[i];
        if (i < m_files.size() && file.sharesStorageWith(m_files[i]))
            continue;
        if (i < m_files.size() && file.id() == m_files[i].id()) {
            visit(file, m_files[i]);
            continue;
        }
        if (positions.isEmpty()) {
            positions.reserve(m_files.size());
            for (qsizetype j = 0; j < m_files.size(); ++j)
                positions.insert(m_files[j].id(), j);
        }
        if (const auto position = positions.constFind(file.id()); position != positions.constEnd())
            visit(file, m_files[*position]);
    }
}

bool DocumentViewModel::restore(const FileSnapshot& target, StepCompletion completion) {
    ASSERT_GUI_THREAD();
    if (m_isMovingFiles)
        return false;
    QList<FileMove> moves;
    forEachCurrentRecord(target.files, [&](const AudioFile& file, const AudioFile& current) {
        if (!FileMover::sameStandardizedLocation(file.url(), current.url()))
            moves.append({file.id(), current.url(), file.url()});
    });
    // Background work finishing during the moves could not commit its result: moves wait for none.
    if (!moves.isEmpty() && m_work.isWorking())
        return false;
    if (moves.isEmpty()) {
        FileMover mover(m_madeFolders);
        mover.removeMadeFoldersIfEmpty();
        m_madeFolders = mover.madeFolders();
        const bool applied = finishRestore(target, {}, {});
        if (completion)
            completion(applied);
        return true;
    }
    startMoves(moves, true, [this, target, moves, completion](const FileMoveOutcome& outcome) {
        const bool applied = finishRestore(target, moves, outcome);
        if (completion)
            completion(applied);
    });
    return true;
}

bool DocumentViewModel::finishRestore(const FileSnapshot& target, const QList<FileMove>& moves,
                                      const FileMoveOutcome& outcome) {
    using Failure = FileMoveOutcome::Failure;
    if (outcome.failure && outcome.failure->kind == Failure::Kind::targetTaken) {
        m_notices.post(Notice::Kind::rename,
                       tr("Couldn’t undo or redo the rename because %1 already exists. No files were moved.")
                           .arg(Platform::lastPathComponent(outcome.failure->target)),
                       {outcome.failure->file.toLocalFile()});
    } else if (outcome.failure) {
        QStringList paths;
        for (const FileMove& move : moves)
            paths.append(outcome.locations.value(move.id, move.from).toLocalFile());
        m_notices.post(Notice::Kind::rename,
                       tr("Couldn’t finish undoing or redoing the rename: %1\nYour files are at:\n%2")
                           .arg(outcome.failure->description, paths.join(u'\n')),
                       paths);
    }
    const QHash<QUuid, QUrl>& live = outcome.locations;

    // Without moves no record is read here: reading each id of a large list costs more than the step.
    const bool inPlace =
        live.isEmpty() || std::all_of(target.files.begin(), target.files.end(), [&](const AudioFile& file) {
            const auto it = live.constFind(file.id());
            return it == live.constEnd() || it.value() == file.url();
        });
    if (!inPlace) {
        // Show the files where they really are; nothing else changes.
        QList<AudioFile> files = m_files;
        for (AudioFile& file : files) {
            const auto it = live.constFind(file.id());
            if (it != live.constEnd())
                file.setUrl(it.value());
        }
        commit({}, std::move(files), UndoRecord::none);
        return false;
    }

    // The modified mark follows the disk, not the history. A record the list
    // holds as it is already has its mark; so has one the moves left alone.
    QList<AudioFile> files = target.files;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const AudioFile& file = files.at(i);
        if (i < m_files.size() && file.sharesStorageWith(m_files[i]) &&
            (live.isEmpty() || !live.contains(file.id())))
            continue;
        const auto location = live.constFind(file.id());
        if (location != live.constEnd() && location.value() != file.url())
            files[i].setUrl(location.value());
        if (!markedAgainstDisk(std::as_const(files)[i]))
            markAgainstDisk(files[i]); // copies the list, touching every record: only when needed
    }
    const quint64 fills = m_editStateFills;
    commit({}, std::move(files), UndoRecord::none);
    setSelectedFiles(target.selectedFiles);
    m_history.endMerge();
    // Once, whether or not the step changed the selected files: a large selection takes a while.
    if (m_editStateFills == fills)
        refillEditState();
    return true;
}

bool DocumentViewModel::applyUndoStep(EditHistory::Direction direction, StepCompletion completion) {
    if (m_isSaving || m_isLoading || m_isMovingFiles)
        return false;
    const std::optional<FileSnapshot> target = m_history.take(direction, snapshot());
    if (!target)
        return false;
    // A step whose files could not be moved goes back where it was, with the snapshot it had.
    const bool started = restore(*target, [this, direction, target = *target, completion](bool applied) {
        if (!applied)
            m_history.giveBack(direction, target);
        if (completion)
            completion(applied);
    });
    if (!started)
        m_history.giveBack(direction, *target);
    return started;
}

bool DocumentViewModel::undo(StepCompletion completion) {
    ASSERT_GUI_THREAD();
    return applyUndoStep(EditHistory::Direction::undo, std::move(completion));
}

bool DocumentViewModel::redo(StepCompletion completion) {
    ASSERT_GUI_THREAD();
    return applyUndoStep(EditHistory::Direction::redo, std::move(completion));
}
