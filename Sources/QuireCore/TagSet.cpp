#include "QuireCore/TagSet.h"

#include "QuireCore/TagFieldTable.h"

#include <limits>

namespace {

template <typename T> std::optional<T> common(const std::optional<T>& a, const std::optional<T>& b) {
    return a && b && *a == *b ? a : std::nullopt;
}

} // namespace

std::optional<qint64> TagSet::parseInteger(QStringView text) {
    qsizetype index = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        index = 1;
    }
    if (index == text.size())
        return std::nullopt;
    // Accumulate towards the negative side, which has room for the minimum.
    constexpr qint64 minimum = std::numeric_limits<qint64>::min();
    qint64 accumulated = 0;
    for (; index < text.size(); ++index) {
        const char16_t c = text[index].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        if (accumulated < (minimum + digit) / 10)
            return std::nullopt;
        accumulated = accumulated * 10 - digit;
    }
    if (negative)
        return accumulated;
    if (accumulated == minimum)
        return std::nullopt;
    return -accumulated;
}

std::optional<QString> TagSet::value(TagField field) const {
    return std::visit(Overloaded{
                          [&](const TextFieldBinding& b) { return this->*b.model; },
                          [&](const NumberFieldBinding& b) {
                              const std::optional<qint64>& number = this->*b.model;
                              return number ? std::optional(QString::number(*number)) : std::nullopt;
                          },
                          [&](const FlagFieldBinding& b) -> std::optional<QString> {
                              const std::optional<bool>& flag = this->*b.model;
                              if (!flag)
                                  return std::nullopt;
                              return *flag ? QStringLiteral("1") : QStringLiteral("0");
                          },
                      },
                      bindingOf(field));
}

void TagSet::setValue(const std::optional<QString>& text, TagField field) {
    std::visit(
        Overloaded{
            [&](const TextFieldBinding& b) { this->*b.model = text; },
            [&](const NumberFieldBinding& b) { this->*b.model = text ? parseInteger(*text) : std::nullopt; },
            [&](const FlagFieldBinding& b) {
                this->*b.model =
                    text ? std::optional(*text == u"1" || text->toLower() == u"true") : std::nullopt;
            },
        },
        bindingOf(field));
}

void TagSet::copyField(TagField source, TagField target) {
    setValue(value(source), target);
}

TagSet TagSet::merge(const TagSet& a, const TagSet& b) {
    TagSet result;
    forEachField(
        [&](const auto& binding) { result.*binding.model = common(a.*binding.model, b.*binding.model); });
    if (a.custom == b.custom)
        result.custom = a.custom;
    return result;
}

TagSet TagSet::batchMerge(const QList<TagSet>& sets) {
    if (sets.isEmpty())
        return {};
    TagSet result = sets.first();
    for (qsizetype i = 1; i < sets.size(); ++i)
        result = merge(result, sets[i]);
    return result;
}

QSet<TagField> TagSet::batchVaries(const QList<TagSet>& sets) {
    QSet<TagField> varying;
    if (sets.size() < 2)
        return varying;
    // The text form is faithful for every field, so differing texts mean differing values.
    for (TagField field : allTagFields) {
        const std::optional<QString> first = sets.first().value(field);
        for (qsizetype i = 1; i < sets.size(); ++i) {
            if (sets[i].value(field) != first) {
                varying.insert(field);
                break;
            }
        }
    }
    return varying;
}

QJsonObject TagSet::toJson() const {
    QJsonObject json;
    forEachField([&](const auto& binding) {
        if (const auto& value = this->*binding.model)
            json.insert(QLatin1String(binding.name), *value);
    });
    QJsonObject customJson;
    for (auto it = custom.constBegin(); it != custom.constEnd(); ++it)
        customJson.insert(it.key(), it.value());
    json.insert(QStringLiteral("custom"), customJson);
    return json;
}

Decoded<TagSet> TagSet::fromJson(const QJsonValue& json) {
    JsonRecord record(json, "TagSet");
    TagSet tags;
    forEachField(Overloaded{
        [&](const TextFieldBinding& b) { tags.*b.model = record.optionalString(b.name); },
        [&](const NumberFieldBinding& b) { tags.*b.model = record.optionalInteger(b.name); },
        [&](const FlagFieldBinding& b) { tags.*b.model = record.optionalBool(b.name); },
    });
    const QJsonValue customJson = record.requiredValue("custom");
    if (!record.failed() && !customJson.isObject())
        record.fail("custom", QStringLiteral("expected a keyed record of strings"));
    if (!record.failed()) {
        const QJsonObject object = customJson.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            if (!it.value().isString()) {
                record.fail("custom", QStringLiteral("expected string values"));
                break;
            }
            tags.custom.insert(it.key(), it.value().toString());
        }
    }
    return record.finish(std::move(tags));
}
