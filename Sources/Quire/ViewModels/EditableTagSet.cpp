#include "Quire/ViewModels/EditableTagSet.h"

EditableTagSet::EditableTagSet(QObject* parent)
    : QObject(parent) {}

void EditableTagSet::syncFromBatch(const TagSet& merged, const QSet<TagField>& varies) {
    for (TagField field : allTagFields) {
        if (field == TagField::compilation)
            continue;
        m_text[index(field)] = merged.value(field).value_or(QString());
        m_varies[index(field)] = varies.contains(field);
        emit fieldChanged(field);
    }
    m_compilation = merged.compilation.value_or(false);
    m_varies[index(TagField::compilation)] = varies.contains(TagField::compilation);
    emit fieldChanged(TagField::compilation);
}

QString EditableTagSet::stringValue(TagField field) const {
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

bool EditableTagSet::varies(TagField field) const {
    return m_varies[index(field)];
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
