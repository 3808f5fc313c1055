#include "QuireCore/TagSet.h"

#include "QuireCore/TagFieldTable.h"

#include <QJsonArray>

#include <algorithm>
#include <limits>

namespace {

template <typename T> std::optional<T> common(const std::optional<T>& a, const std::optional<T>& b) {
    return a && b && *a == *b ? a : std::nullopt;
}

QList<const TagSet*> pointersTo(const QList<TagSet>& sets) {
    QList<const TagSet*> pointers;
    pointers.reserve(sets.size());
    for (const TagSet& tags : sets)
        pointers.append(&tags);
    return pointers;
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

QStringList TagSet::splitValues(const QString& text) {
    return text.split(valueSeparator.toString());
}

std::optional<qint64> TagSet::yearOfDate(QStringView text) {
    // YYYY, YYYY-MM, YYYY-MM-DD, each optionally followed by "T" or " " and a time.
    const auto digits = [&](qsizetype from, qsizetype count) {
        if (from + count > text.size())
            return false;
        for (qsizetype i = from; i < from + count; ++i) {
            if (text[i] < u'0' || text[i] > u'9')
                return false;
        }
        return true;
    };
    if (!digits(0, 4))
        return std::nullopt;
    qsizetype end = 4;
    if (end < text.size() && text[end] == u'-' && digits(end + 1, 2)) {
        end += 3;
        if (end < text.size() && text[end] == u'-' && digits(end + 1, 2))
            end += 3;
    }
    if (end < text.size() && !(end >= 10 && (text[end] == u'T' || text[end] == u' ') && digits(end + 1, 2)))
        return std::nullopt;
    return text.left(4).toLongLong();
}

std::optional<QString> TagSet::value(const FieldKey& key) const {
    if (key.isCustom()) {
        const auto it = custom.constFind(key.customName());
        return it == custom.constEnd() ? std::nullopt : std::optional(*it);
    }
    return std::visit(Overloaded{
                          [&](const FlagFieldBinding& b) -> std::optional<QString> {
                              const std::optional<bool>& flag = this->*b.model;
                              if (!flag)
                                  return std::nullopt;
                              return *flag ? QStringLiteral("1") : QStringLiteral("0");
                          },
                          [&](const auto& b) { return this->*b.model; },
                      },
                      bindingOf(*key.field()));
}

void TagSet::setValue(const std::optional<QString>& text, const FieldKey& key) {
    if (key.isCustom()) {
        if (text)
            custom.insert(key.customName(), *text);
        else
            custom.remove(key.customName());
        return;
    }
    std::visit(Overloaded{
                   [&](const TextFieldBinding& b) { this->*b.model = text; },
                   [&](const NumberFieldBinding& b) {
                       if (!text || text->isEmpty())
                           this->*b.model = std::nullopt;
                       else if (const std::optional<qint64> number = parseInteger(*text))
                           this->*b.model = QString::number(*number);
                       else
                           this->*b.model = text;
                   },
                   [&](const FlagFieldBinding& b) {
                       this->*b.model =
                           text ? std::optional(*text == u"1" || text->toLower() == u"true") : std::nullopt;
                   },
               },
               bindingOf(*key.field()));
}

void TagSet::copyField(const FieldKey& source, const FieldKey& target) {
    setValue(value(source), target);
}

std::optional<qint64> TagSet::number(TagField field) const {
    const std::optional<QString> text = value(field);
    if (!text || component(field) != FieldComponent::number)
        return std::nullopt;
    return field == TagField::year ? yearOfDate(*text) : parseInteger(*text);
}

bool TagSet::holdsTextForNumber(TagField field) const {
    return component(field) == FieldComponent::number && value(field) && !number(field);
}

TagSet TagSet::merge(const TagSet& a, const TagSet& b) {
    TagSet result;
    forEachField(
        [&](const auto& binding) { result.*binding.model = common(a.*binding.model, b.*binding.model); });
    for (auto it = a.custom.constBegin(); it != a.custom.constEnd(); ++it) {
        if (b.custom.value(it.key()) == *it && b.custom.contains(it.key()))
            result.custom.insert(it.key(), *it);
    }
    return result;
}

TagSet TagSet::batchMerge(const QList<TagSet>& sets) {
    return batchMerge(pointersTo(sets));
}

TagSet TagSet::batchMerge(const QList<const TagSet*>& sets) {
    if (sets.isEmpty())
        return {};
    // merge() file by file, in place: the files of a large selection share most values, and a value found
    // to differ once stays empty, so most steps compare and copy nothing.
    TagSet result = *sets.first();
    for (qsizetype i = 1; i < sets.size(); ++i) {
        const TagSet& other = *sets[i];
        forEachField([&](const auto& binding) {
            auto& kept = result.*binding.model;
            if (kept && kept != other.*binding.model)
                kept.reset();
        });
        if (!result.custom.isEmpty() && other.custom != result.custom)
            result.custom.removeIf([&](const auto& item) {
                const auto found = other.custom.constFind(item.key());
                return found == other.custom.constEnd() || *found != item.value();
            });
    }
    return result;
}

QSet<TagField> TagSet::batchVaries(const QList<TagSet>& sets) {
    return batchVaries(pointersTo(sets));
}

QSet<TagField> TagSet::batchVaries(const QList<const TagSet*>& sets) {
    QSet<TagField> varying;
    if (sets.size() < 2)
        return varying;
    // The members themselves, not their text (which is faithful to them): no text is made a file.
    forEachField([&](const auto& binding) {
        const auto& first = sets.first()->*binding.model;
        for (qsizetype i = 1; i < sets.size(); ++i) {
            if (sets[i]->*binding.model != first) {
                varying.insert(binding.field);
                break;
            }
        }
    });
    return varying;
}

FieldKeySet TagSet::differingFields(const TagSet& a, const TagSet& b) {
    FieldKeySet differing;
    for (TagField field : allTagFields) {
        if (a.value(field) != b.value(field))
            differing.insert(field);
    }
    for (const QString& name : customNames({a, b})) {
        const FieldKey key = FieldKey::custom(name);
        if (a.value(key) != b.value(key))
            differing.insert(key);
    }
    return differing;
}

QStringList TagSet::customNames(const QList<TagSet>& sets) {
    return customNames(pointersTo(sets));
}

QStringList TagSet::customNames(const QList<const TagSet*>& sets) {
    QMap<QString, bool> names;
    const QMap<QString, QString>* last = nullptr;
    for (const TagSet* tags : sets) {
        // Most files of a selection hold the same items, if not the same values.
        if (last && tags->custom.size() == last->size() &&
            std::equal(tags->custom.keyBegin(), tags->custom.keyEnd(), last->keyBegin()))
            continue;
        last = &tags->custom;
        for (auto it = tags->custom.constBegin(); it != tags->custom.constEnd(); ++it)
            names.insert(it.key(), true);
    }
    return names.keys();
}

QSet<QString> TagSet::customVaries(const QList<TagSet>& sets) {
    return customVaries(pointersTo(sets));
}

QSet<QString> TagSet::customVaries(const QList<const TagSet*>& sets) {
    // Each map against the first, walked side by side in name order: a large
    // selection's files mostly share their items, if not all values.
    QSet<QString> varying;
    if (sets.isEmpty())
        return varying;
    const QMap<QString, QString>& first = sets.first()->custom;
    for (qsizetype i = 1; i < sets.size(); ++i) {
        const QMap<QString, QString>& other = sets[i]->custom;
        if (other == first)
            continue;
        auto a = first.constBegin();
        auto b = other.constBegin();
        while (a != first.constEnd() || b != other.constEnd()) {
            if (b == other.constEnd() || (a != first.constEnd() && a.key() < b.key())) {
                varying.insert(a.key());
                ++a;
            } else if (a == first.constEnd() || b.key() < a.key()) {
                varying.insert(b.key());
                ++b;
            } else {
                if (a.value() != b.value())
                    varying.insert(a.key());
                ++a;
                ++b;
            }
        }
    }
    return varying;
}

QJsonObject TagSet::toJson() const {
    QJsonObject json;
    forEachField(Overloaded{
        [&](const NumberFieldBinding& b) {
            // A plain number as a number, any other text (a date, "A1") as it is.
            if (const std::optional<QString>& text = this->*b.model) {
                const std::optional<qint64> number = parseInteger(*text);
                json.insert(QLatin1String(b.name),
                            number && QString::number(*number) == *text ? QJsonValue(*number) : *text);
            }
        },
        [&](const auto& b) {
            if (const auto& value = this->*b.model)
                json.insert(QLatin1String(b.name), *value);
        },
    });
    QJsonObject customJson;
    for (auto it = custom.constBegin(); it != custom.constEnd(); ++it) {
        const QStringList values = splitValues(*it);
        customJson.insert(it.key(), values.size() > 1 ? QJsonValue(QJsonArray::fromStringList(values))
                                                      : QJsonValue(*it));
    }
    json.insert(QStringLiteral("custom"), customJson);
    return json;
}

Decoded<TagSet> TagSet::fromJson(const QJsonValue& json) {
    JsonRecord record(json, "TagSet");
    TagSet tags;
    forEachField(Overloaded{
        [&](const TextFieldBinding& b) { tags.*b.model = record.optionalString(b.name); },
        [&](const NumberFieldBinding& b) {
            const std::optional<QJsonValue> value = record.optionalValue(b.name);
            if (value && value->isString())
                tags.*b.model = value->toString();
            else if (const std::optional<qint64> number = record.optionalInteger(b.name))
                tags.*b.model = QString::number(*number);
        },
        [&](const FlagFieldBinding& b) { tags.*b.model = record.optionalBool(b.name); },
    });
    const QJsonValue customJson = record.requiredValue("custom");
    if (!record.failed() && !customJson.isObject())
        record.fail("custom", QStringLiteral("expected a keyed record of strings"));
    if (!record.failed()) {
        const QJsonObject object = customJson.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            QStringList values;
            if (it.value().isString())
                values = {it.value().toString()};
            for (const QJsonValue& value : it.value().toArray()) {
                if (value.isString())
                    values.append(value.toString());
            }
            const std::optional<FieldKey> key = FieldKey::fromName(it.key());
            if (values.isEmpty() || !key || !key->isCustom()) {
                record.fail("custom",
                            QStringLiteral("expected a text or a list of texts under a custom name"));
                break;
            }
            tags.custom.insert(key->customName(), values.join(valueSeparator));
        }
    }
    return record.finish(std::move(tags));
}
