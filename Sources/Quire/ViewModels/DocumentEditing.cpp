#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/FieldInput.h"
#include "Quire/ViewModels/ThreadCheck.h"

Result<bool, QString> DocumentViewModel::editField(const FieldKey& field, const QString& text,
                                                   std::optional<QUuid> file) {
    ASSERT_GUI_THREAD();
    const auto isTarget = [&](const AudioFile& target) {
        return file ? target.id() == *file : m_selectedFiles.contains(target.id());
    };
    // Text the files already hold is no edit, even where it could not be
    // typed anew (a track "A1" shown as stored and kept as it is).
    if (std::all_of(m_files.cbegin(), m_files.cend(), [&](const AudioFile& target) {
            return !isTarget(target) || target.tags().value(field).value_or(QString()) == text;
        }))
        return false;
    const Result<QList<FieldEdit>, QString> edits = parseFieldInput(field, text);
    if (!edits)
        return edits.error();

    // Files that already held the value stay as they were (commit() marks
    // only what changed): typing what every file holds is no edit.
    // Each target is edited in place in a copy of its record; one left as it was goes back to sharing the
    // record it was copied from.
    QList<AudioFile> files = m_files;
    bool changesAValue = false;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const AudioFile& before = m_files.at(i);
        if (!isTarget(before))
            continue;
        AudioFile& target = files[i];
        TagSet& tags = target.changeableTags();
        for (const FieldEdit& edit : edits.value())
            tags.setValue(edit.value, edit.field);
        if (tags == before.tags())
            target = before;
        else
            changesAValue = true;
    }
    if (!changesAValue)
        return false;

    const QString description = tr("Edit %1").arg(field.displayName());
    // A cell edit is a step of its own; typing into the inspector merges.
    return commit(description, std::move(files), file ? UndoRecord::step : UndoRecord::merge, field);
}
