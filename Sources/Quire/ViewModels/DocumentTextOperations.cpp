#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/TextSearch.h"
#include "Quire/ViewModels/ThreadCheck.h"

int DocumentViewModel::findAndReplace(const QString& search, const QString& replacement, bool useRegex,
                                      bool wholeWord, const QList<TagField>& fields, bool allFiles) {
    ASSERT_GUI_THREAD();
    const QList<AudioFile> targets = allFiles ? m_files : selectedAudioFiles();
    if (targets.isEmpty())
        return 0;
    QSet<QUuid> targetIds;
    for (const AudioFile& file : targets)
        targetIds.insert(file.id());

    // Every replacement is worked out before any is stored, so that an
    // expression that runs out of time on one value changes no value at all.
    const TextSearch textSearch(search, useRegex, wholeWord);
    QList<AudioFile> files = m_files;
    int changedValues = 0;
    bool voided = false;
    for (AudioFile& file : files) {
        if (!targetIds.contains(file.id()))
            continue;
        TagSet tags = file.tags();
        bool fileChanged = false;
        for (TagField field : fields) {
            const QString old = tags.value(field).value_or(QString());
            const std::optional<QString> replaced = textSearch.replaced(old, replacement);
            if (!replaced) {
                voided = true;
                break;
            }
            if (*replaced != old) {
                tags.setValue(*replaced, field);
                fileChanged = true;
                ++changedValues;
            }
        }
        if (voided)
            break;
        if (fileChanged) {
            file.setTags(tags);
            file.setModified(true);
        }
    }

    // An expression that runs out of time changes no value at all, in one step all the same.
    commit(tr("Find & replace in %n files", nullptr, int(targets.size())), voided ? m_files : files);
    return voided ? 0 : changedValues;
}

int DocumentViewModel::countFindMatches(const QString& search, bool useRegex, bool wholeWord,
                                        const QList<TagField>& fields, bool allFiles) const {
    ASSERT_GUI_THREAD();
    const QList<AudioFile> targets = allFiles ? m_files : selectedAudioFiles();
    if (targets.isEmpty())
        return 0;
    return countMatches(targets, TextSearch(search, useRegex, wholeWord), fields).value_or(0);
}

void DocumentViewModel::applyTextTransform(TextTransform transform, const QList<TagField>& fields) {
    ASSERT_GUI_THREAD();
    if (selectedAudioFiles().isEmpty())
        return;
    const QString description =
        tr("Apply %1 to %n files", nullptr, int(m_selectedFiles.size())).arg(label(transform));
    commitSelected(description, [&](AudioFile& file) {
        if (fields.isEmpty())
            return;
        // Stored whether or not it differs: an absent field becomes present and empty.
        TagSet tags = file.tags();
        for (TagField field : fields)
            tags.setValue(apply(transform, tags.value(field).value_or(QString())), field);
        file.setTags(tags);
        file.setModified(true);
    });
}

void DocumentViewModel::copyFieldToField(TagField source, TagField target) {
    ASSERT_GUI_THREAD();
    if (selectedAudioFiles().isEmpty())
        return;
    commitSelected(tr("Copy %1 → %2").arg(displayName(source), displayName(target)), [&](AudioFile& file) {
        // Through the text form, so numbers parse strictly and an absent source clears the target.
        TagSet tags = file.tags();
        tags.setValue(tags.value(source), target);
        file.setTags(tags);
        file.setModified(true);
    });
}
