#include "Quire/ViewModels/FieldInput.h"

#include "QuireCore/TagSet.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("FieldInput", text);
}

// A whole number a tag can hold, as text without sign or leading zeros.
std::optional<QString> storableNumber(QStringView text) {
    const std::optional<qint64> number = TagSet::parseInteger(text.trimmed());
    if (!number || *number < 0 || *number > 2147483647)
        return std::nullopt;
    return QString::number(*number);
}

std::optional<TagField> totalOf(TagField field) {
    if (field == TagField::trackNumber)
        return TagField::trackTotal;
    if (field == TagField::discNumber)
        return TagField::discTotal;
    return std::nullopt;
}

} // namespace

Result<QList<FieldEdit>, QString> parseFieldInput(const FieldKey& key, const QString& text) {
    if (!key.field())
        return QList<FieldEdit>{{key, text.isEmpty() ? std::nullopt : std::optional(text)}};
    const TagField field = *key.field();
    if (text.trimmed().isEmpty() && component(field) != FieldComponent::text &&
        component(field) != FieldComponent::multiline)
        return QList<FieldEdit>{{field, std::nullopt}};
    switch (component(field)) {
    case FieldComponent::number: {
        if (const std::optional<TagField> total = totalOf(field); total && text.contains(u'/')) {
            const qsizetype slash = text.indexOf(u'/');
            const std::optional<QString> number = storableNumber(QStringView(text).left(slash));
            const std::optional<QString> count = storableNumber(QStringView(text).mid(slash + 1));
            if (number && count)
                return QList<FieldEdit>{{field, number}, {*total, count}};
        } else if (field == TagField::year) {
            if (TagSet::yearOfDate(text.trimmed()))
                return QList<FieldEdit>{{field, text.trimmed()}};
        } else if (const std::optional<QString> number = storableNumber(text)) {
            return QList<FieldEdit>{{field, number}};
        }
        const QString forms = totalOf(field) ? tr("a whole number from 0 to 2147483647, or “number/total”")
                              : field == TagField::year ? tr("a year or a date, such as 1973 or 1973-03-01")
                                                        : tr("a whole number from 0 to 2147483647");
        return tr("%1 takes %2, not “%3”").arg(displayName(field), forms, text);
    }
    case FieldComponent::boolean: {
        const QString word = text.trimmed().toLower();
        if (word == u"true" || word == u"yes" || word == u"1")
            return QList<FieldEdit>{{field, QStringLiteral("1")}};
        if (word == u"false" || word == u"no" || word == u"0")
            return QList<FieldEdit>{{field, QStringLiteral("0")}};
        return tr("%1 takes true, false, yes, no, 1 or 0, not “%2”").arg(displayName(field), text);
    }
    default:
        return QList<FieldEdit>{{field, text.isEmpty() ? std::nullopt : std::optional(text)}};
    }
}
