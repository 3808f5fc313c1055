#include "QuireCore/TagField.h"

#include "QuireCore/RawValue.h"
#include "QuireCore/TagFieldTable.h"

#include <QCoreApplication>

QString rawValue(FieldComponent component) {
    switch (component) {
    case FieldComponent::text:
        return QStringLiteral("text");
    case FieldComponent::multiline:
        return QStringLiteral("multiline");
    case FieldComponent::number:
        return QStringLiteral("number");
    case FieldComponent::boolean:
        return QStringLiteral("bool");
    case FieldComponent::date:
        return QStringLiteral("date");
    case FieldComponent::artwork:
        return QStringLiteral("artwork");
    }
    Q_UNREACHABLE();
}

std::optional<FieldComponent> fieldComponentFromRawValue(QStringView raw) {
    return caseWithRawValue(allFieldComponents, raw);
}

QString rawValue(TagField field) {
    return QString::fromLatin1(namesOf(field).name);
}

std::optional<TagField> tagFieldFromRawValue(QStringView raw) {
    return caseWithRawValue(allTagFields, raw);
}

QString displayName(TagField field) {
    return QCoreApplication::translate("TagField", namesOf(field).label);
}

FieldComponent component(TagField field) {
    return namesOf(field).component;
}

TagFieldSet allTagFieldSet() {
    return TagFieldSet(allTagFields.begin(), allTagFields.end());
}

FieldKey FieldKey::custom(QStringView name) {
    FieldKey key;
    key.m_custom.reserve(name.size());
    for (const QChar c : name)
        key.m_custom.append(c.unicode() < 0x80 ? c.toUpper() : c);
    return key;
}

std::optional<FieldKey> FieldKey::fromName(QStringView name) {
    if (const std::optional<TagField> field = tagFieldFromRawValue(name))
        return FieldKey(*field);
    const FieldKey key = custom(name);
    for (TagField field : allTagFields) {
        if (key.m_custom == QLatin1String(namesOf(field).propertyName) ||
            key.m_custom == rawValue(field).toUpper())
            return FieldKey(field);
    }
    const bool nameable = !name.isEmpty() && std::none_of(name.begin(), name.end(), [](QChar c) {
        return c == u'=' || c.category() == QChar::Other_Control;
    });
    return nameable ? std::optional(key) : std::nullopt;
}

QString FieldKey::name() const {
    return m_field ? rawValue(*m_field) : m_custom;
}

QString FieldKey::displayName() const {
    return m_field ? ::displayName(*m_field) : m_custom;
}

FieldKeySet fieldKeysOf(const TagFieldSet& fields) {
    FieldKeySet keys;
    for (TagField field : fields)
        keys.insert(field);
    return keys;
}
