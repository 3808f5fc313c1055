#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ThreadCheck.h"

namespace {

constexpr auto coalescingWindow = std::chrono::seconds(1);

} // namespace

// Every file has its on-disk baseline in savedFiles from the moment it is
// read, so a snapshot needs nothing but the list and the selection.
FileSnapshot DocumentViewModel::snapshot() const {
    return {m_files, m_selectedFiles};
}

void DocumentViewModel::syncUndoState() {
    const bool changed = m_canUndo != m_undoStack.canUndo() || m_canRedo != m_undoStack.canRedo() ||
                         m_undoDescription != m_undoStack.undoDescription() ||
                         m_redoDescription != m_undoStack.redoDescription();
    m_canUndo = m_undoStack.canUndo();
    m_canRedo = m_undoStack.canRedo();
    m_undoDescription = m_undoStack.undoDescription();
    m_redoDescription = m_undoStack.redoDescription();
    if (changed)
        emit undoStateChanged();
}

void DocumentViewModel::recordUndoStep(const QString& description, const FileSnapshot& before) {
    m_undoStack.push(description, before);
    endEditMerge();
    syncUndoState();
}

// The window slides: a run of edits each within a second of the previous stays one step.
bool DocumentViewModel::continuesEditMerge(TagField field) const {
    return m_lastEditField == field && m_lastEditSelection == m_selectedFiles &&
           m_clock() - m_lastEditTime < coalescingWindow;
}

void DocumentViewModel::markAgainstDisk(AudioFile& file) const {
    const auto saved = m_savedFiles.constFind(file.id());
    if (saved == m_savedFiles.constEnd())
        return;
    file.setModified(file.tags() != saved->tags() || file.artwork() != saved->artwork());
    if (file.lastSaved() != saved->lastSaved())
        file.setLastSaved(saved->lastSaved());
}

bool DocumentViewModel::restore(const FileSnapshot& target, StepCompletion completion) {
    ASSERT_GUI_THREAD();
    if (m_isMovingFiles)
        return false;
    QHash<QUuid, QUrl> current;
    for (const AudioFile& file : std::as_const(m_files))
        current.insert(file.id(), file.url());
    QList<FileMove> moves;
    for (const AudioFile& file : target.files) {
        const auto it = current.constFind(file.id());
        if (it != current.constEnd() && !FileMover::sameStandardizedLocation(file.url(), it.value()))
            moves.append({file.id(), it.value(), file.url()});
    }
    // Artwork work finishing during the moves could not commit its result: moves wait for none.
    if (!moves.isEmpty() && m_isWorking)
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
        postNotice(Notice::Kind::rename,
                   tr("Couldn’t undo or redo the rename because %1 already exists. No files were moved.")
                       .arg(Platform::lastPathComponent(outcome.failure->target)),
                   {outcome.failure->file.toLocalFile()});
    } else if (outcome.failure) {
        QStringList paths;
        for (const FileMove& move : moves)
            paths.append(outcome.locations.value(move.id, move.from).toLocalFile());
        postNotice(Notice::Kind::rename,
                   tr("Couldn’t finish undoing or redoing the rename: %1\nYour files are at:\n%2")
                       .arg(outcome.failure->description, paths.join(u'\n')),
                   paths);
    }
    const LocationMap& live = outcome.locations;

    const bool inPlace = std::all_of(target.files.begin(), target.files.end(), [&](const AudioFile& file) {
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
        commit({}, files, UndoRecord::none);
        return false;
    }

    // The modified mark follows the disk, not the history.
    QList<AudioFile> files = target.files;
    for (AudioFile& file : files) {
        const auto location = live.constFind(file.id());
        if (location != live.constEnd() && location.value() != file.url())
            file.setUrl(location.value());
        markAgainstDisk(file);
    }
    commit({}, files, UndoRecord::none);
    setSelectedFiles(target.selectedFiles);
    endEditMerge();
    refillEditState();
    return true;
}

bool DocumentViewModel::applyUndoStep(bool undoing, StepCompletion completion) {
    if (m_isSaving || m_isLoading || m_isMovingFiles)
        return false;
    const FileSnapshot current = snapshot();
    const std::optional<FileSnapshot> target =
        undoing ? m_undoStack.undo(current) : m_undoStack.redo(current);
    if (!target)
        return false;
    // Puts the step back where it was, with the snapshot it had.
    const auto putBack = [this, undoing, target = *target] {
        if (undoing)
            m_undoStack.redo(target);
        else
            m_undoStack.undo(target);
    };
    const bool started = restore(*target, [this, putBack, completion](bool applied) {
        if (!applied)
            putBack();
        syncUndoState();
        if (completion)
            completion(applied);
    });
    if (!started)
        putBack();
    return started;
}

bool DocumentViewModel::undo(StepCompletion completion) {
    ASSERT_GUI_THREAD();
    return applyUndoStep(true, std::move(completion));
}

bool DocumentViewModel::redo(StepCompletion completion) {
    ASSERT_GUI_THREAD();
    return applyUndoStep(false, std::move(completion));
}
