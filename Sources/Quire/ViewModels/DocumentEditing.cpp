#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/FieldInput.h"
#include "Quire/ViewModels/ThreadCheck.h"

Result<bool, QString> DocumentViewModel::editField(TagField field, const QString& text,
                                                   std::optional<QUuid> file) {
    ASSERT_GUI_THREAD();
    const Result<QList<FieldEdit>, QString> edits = parseFieldInput(field, text);
    if (!edits)
        return edits.error();

    QList<AudioFile> files = m_files;
    bool reachesAFile = false;
    for (AudioFile& target : files) {
        if (file ? target.id() != *file : !m_selectedFiles.contains(target.id()))
            continue;
        reachesAFile = true;
        TagSet tags = target.tags();
        for (const FieldEdit& edit : edits.value())
            tags.setValue(edit.value, edit.field);
        target.setTags(tags);
    }
    if (!reachesAFile)
        return false;
    // Files that already held the value are marked modified too, but only
    // when the edit changes some file: typing what every file holds is no edit.
    const QList<AudioFile> withValues = files;
    for (AudioFile& target : files) {
        if (file ? target.id() == *file : m_selectedFiles.contains(target.id()))
            target.setModified(true);
    }
    if (DocumentChange::between(m_files, withValues).fields.isEmpty())
        return false;

    const QString description = tr("Edit %1").arg(displayName(field));
    // A cell edit is a step of its own; typing into the inspector merges.
    return commit(description, files, file ? UndoRecord::step : UndoRecord::merge, field);
}
