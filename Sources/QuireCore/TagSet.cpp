#include "QuireCore/TagSet.h"

#include <limits>

namespace {

using StringMember = std::optional<QString> TagSet::*;
using IntegerMember = std::optional<qint64> TagSet::*;

// Where each field lives; the serialised keys are the fields' raw values.
struct FieldSlot {
    StringMember string = nullptr;
    IntegerMember integer = nullptr;
};

FieldSlot slotOf(TagField field) {
    switch (field) {
    case TagField::title:
        return {&TagSet::title};
    case TagField::artist:
        return {&TagSet::artist};
    case TagField::album:
        return {&TagSet::album};
    case TagField::albumArtist:
        return {&TagSet::albumArtist};
    case TagField::composer:
        return {&TagSet::composer};
    case TagField::genre:
        return {&TagSet::genre};
    case TagField::year:
        return {nullptr, &TagSet::year};
    case TagField::trackNumber:
        return {nullptr, &TagSet::trackNumber};
    case TagField::trackTotal:
        return {nullptr, &TagSet::trackTotal};
    case TagField::discNumber:
        return {nullptr, &TagSet::discNumber};
    case TagField::discTotal:
        return {nullptr, &TagSet::discTotal};
    case TagField::bpm:
        return {nullptr, &TagSet::bpm};
    case TagField::comment:
        return {&TagSet::comment};
    case TagField::lyrics:
        return {&TagSet::lyrics};
    case TagField::grouping:
        return {&TagSet::grouping};
    case TagField::compilation:
        return {};
    }
    Q_UNREACHABLE();
}

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
    const FieldSlot slot = slotOf(field);
    if (slot.string)
        return this->*slot.string;
    if (slot.integer) {
        const std::optional<qint64>& number = this->*slot.integer;
        return number ? std::optional(QString::number(*number)) : std::nullopt;
    }
    if (!compilation)
        return std::nullopt;
    return *compilation ? QStringLiteral("1") : QStringLiteral("0");
}

void TagSet::setValue(const std::optional<QString>& text, TagField field) {
    const FieldSlot slot = slotOf(field);
    if (slot.string)
        this->*slot.string = text;
    else if (slot.integer)
        this->*slot.integer = text ? parseInteger(*text) : std::nullopt;
    else if (!text)
        compilation = std::nullopt;
    else
        compilation = *text == u"1" || text->toLower() == u"true";
}

void TagSet::copyField(TagField source, TagField target) {
    setValue(value(source), target);
}

TagSet TagSet::merge(const TagSet& a, const TagSet& b) {
    TagSet result;
    for (TagField field : allTagFields) {
        const FieldSlot slot = slotOf(field);
        if (slot.string)
            result.*slot.string = common(a.*slot.string, b.*slot.string);
        else if (slot.integer)
            result.*slot.integer = common(a.*slot.integer, b.*slot.integer);
    }
    result.compilation = common(a.compilation, b.compilation);
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
    for (TagField field : allTagFields) {
        const FieldSlot slot = slotOf(field);
        const QString key = rawValue(field);
        if (slot.string && this->*slot.string)
            json.insert(key, *(this->*slot.string));
        else if (slot.integer && this->*slot.integer)
            json.insert(key, *(this->*slot.integer));
    }
    if (compilation)
        json.insert(QStringLiteral("compilation"), *compilation);
    QJsonObject customJson;
    for (auto it = custom.constBegin(); it != custom.constEnd(); ++it)
        customJson.insert(it.key(), it.value());
    json.insert(QStringLiteral("custom"), customJson);
    return json;
}

Decoded<TagSet> TagSet::fromJson(const QJsonValue& json) {
    JsonRecord record(json, "TagSet");
    TagSet tags;
    for (TagField field : allTagFields) {
        const FieldSlot slot = slotOf(field);
        const QByteArray key = rawValue(field).toLatin1();
        if (slot.string)
            tags.*slot.string = record.optionalString(key.constData());
        else if (slot.integer)
            tags.*slot.integer = record.optionalInteger(key.constData());
    }
    tags.compilation = record.optionalBool("compilation");
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
