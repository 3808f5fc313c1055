#include "Quire/ViewModels/EditableTagSet.h"

EditableTagSet::EditableTagSet(QObject* parent)
    : QObject(parent) {}

void EditableTagSet::syncFromBatch(const QList<const TagSet*>& sets) {
    TagSetBatch batch = TagSet::batch(sets);
    const TagSet& merged = batch.merged;
    const QSet<TagField>& varies = batch.varies;
    m_customNames = std::move(batch.customNames);
    m_custom = merged.custom;
    m_customVaries = std::move(batch.customVaries);
    for (TagField field : allTagFields) {
        if (field == TagField::compilation)
            continue;
        m_text[index(field)] = merged.value(field).value_or(QString());
        m_varies[index(field)] = varies.contains(field);
        m_holdsText[index(field)] = merged.holdsTextForNumber(field);
        emit fieldChanged(field);
    }
    m_compilation = merged.compilation.value_or(false);
    m_varies[index(TagField::compilation)] = varies.contains(TagField::compilation);
    emit fieldChanged(TagField::compilation);
    emit customItemsChanged();
}

QString EditableTagSet::stringValue(const FieldKey& key) const {
    if (key.isCustom())
        return m_custom.value(key.customName());
    const TagField field = *key.field();
    if (field == TagField::compilation)
        return m_compilation ? QStringLiteral("1") : QStringLiteral("0");
    return m_text[index(field)];
}

void EditableTagSet::setString(const QString& text, TagField field) {
    if (field == TagField::compilation)
        m_compilation = text == u"1" || text.toLower() == u"true";
    else
        m_text[index(field)] = text;
    emit fieldChanged(field);
}

bool EditableTagSet::varies(const FieldKey& key) const {
    return key.isCustom() ? m_customVaries.contains(key.customName()) : m_varies[index(*key.field())];
}

void EditableTagSet::clearVaries(TagField field) {
    setVaries(field, false);
}

void EditableTagSet::setCompilation(bool value) {
    m_compilation = value;
    emit fieldChanged(TagField::compilation);
}

void EditableTagSet::setCompilationVaries(bool value) {
    setVaries(TagField::compilation, value);
}

void EditableTagSet::setVaries(TagField field, bool value) {
    m_varies[index(field)] = value;
    emit fieldChanged(field);
}
