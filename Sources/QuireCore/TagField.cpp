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
