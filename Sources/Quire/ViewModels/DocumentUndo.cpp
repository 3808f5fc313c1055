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

bool DocumentViewModel::restore(const FileSnapshot& target) {
    ASSERT_GUI_THREAD();
    const LocationMap live = reconcileRenamesOnDisk(m_files, target.files);
    removeMadeFoldersIfEmpty();

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

bool DocumentViewModel::applyUndoStep(bool undoing) {
    if (m_isSaving || m_isLoading)
        return false;
    const FileSnapshot current = snapshot();
    const std::optional<FileSnapshot> target =
        undoing ? m_undoStack.undo(current) : m_undoStack.redo(current);
    if (!target)
        return false;
    const bool applied = restore(*target);
    if (!applied) {
        // Put the step back where it was, with the snapshot it had.
        if (undoing)
            m_undoStack.redo(*target);
        else
            m_undoStack.undo(*target);
    }
    syncUndoState();
    return applied;
}

bool DocumentViewModel::undo() {
    ASSERT_GUI_THREAD();
    return applyUndoStep(true);
}

bool DocumentViewModel::redo() {
    ASSERT_GUI_THREAD();
    return applyUndoStep(false);
}
