#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QScopedValueRollback>
#include <algorithm>

void DocumentViewModel::updateField(TagField field, const std::optional<QString>& value) {
    ASSERT_GUI_THREAD();
    const QList<AudioFile> selected = selectedAudioFiles();
    const bool changesSomething = std::any_of(selected.begin(), selected.end(), [&](const AudioFile& file) {
        TagSet edited = file.tags();
        edited.setValue(value, field);
        return edited != file.tags();
    });
    if (!changesSomething)
        return;

    m_editState->setString(value.value_or(QString()), field);
    m_editState->clearVaries(field);
    pushUndoCoalesced(tr("Edit %1").arg(displayName(field)), field);
    // Files that already held the value are marked modified too.
    const QScopedValueRollback keepTypedText(m_editStateLeads, true);
    changeSelectedFiles([&](AudioFile& file) {
        TagSet tags = file.tags();
        tags.setValue(value, field);
        file.setTags(tags);
        file.setModified(true);
    });
}

void DocumentViewModel::updateCompilation(bool value) {
    ASSERT_GUI_THREAD();
    const QList<AudioFile> selected = selectedAudioFiles();
    if (selected.isEmpty())
        return;
    if (std::all_of(selected.begin(), selected.end(),
                    [value](const AudioFile& file) { return file.tags().compilation == value; }))
        return;

    m_editState->setCompilation(value);
    m_editState->setCompilationVaries(false);
    pushUndoCoalesced(tr("Edit Compilation"), TagField::compilation);
    const QScopedValueRollback keepEditState(m_editStateLeads, true);
    changeSelectedFiles([value](AudioFile& file) {
        TagSet tags = file.tags();
        tags.compilation = value;
        file.setTags(tags);
        file.setModified(true);
    });
}

void DocumentViewModel::updateField(TagField field, const std::optional<QString>& value,
                                    const QUuid& fileId) {
    ASSERT_GUI_THREAD();
    const qsizetype index = indexOfFile(fileId);
    if (index < 0)
        return;
    // An emptied cell means no value.
    const std::optional<QString> newValue = value && value->isEmpty() ? std::nullopt : value;
    if (m_files[index].tags().value(field) == newValue)
        return;

    recordUndoStep(tr("Edit %1").arg(displayName(field)));
    QList<AudioFile> files = m_files;
    TagSet tags = files[index].tags();
    tags.setValue(newValue, field);
    files[index].setTags(tags);
    files[index].setModified(true);
    setFiles(files); // refills the edit state when the file is selected
    sortFiles();
}
