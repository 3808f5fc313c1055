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
    return batch(sets).merged;
}

QSet<TagField> TagSet::batchVaries(const QList<TagSet>& sets) {
    return batchVaries(pointersTo(sets));
}

QSet<TagField> TagSet::batchVaries(const QList<const TagSet*>& sets) {
    return batch(sets).varies;
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
    return batch(sets).customNames;
}

QSet<QString> TagSet::customVaries(const QList<TagSet>& sets) {
    return customVaries(pointersTo(sets));
}

QSet<QString> TagSet::customVaries(const QList<const TagSet*>& sets) {
    return batch(sets).customVaries;
}

TagSetBatch TagSet::batch(const QList<const TagSet*>& sets) {
    TagSetBatch batch;
    if (sets.isEmpty())
        return batch;
    // Each set against the first, in one pass: the records of a large selection are read once, a field
    // found to vary is not compared again, and the custom items are walked side by side in name order only
    // where the maps differ (most files of a selection hold the same items, if not the same values).
    const TagSet& first = *sets.first();
    std::array<bool, tagFieldCount> varies{};
    QSet<QString> namesElsewhere; // held by some set, not by the first
    for (qsizetype i = 1; i < sets.size(); ++i) {
        const TagSet& other = *sets[i];
        forEachField([&](const auto& binding) {
            bool& differs = varies[static_cast<size_t>(binding.field)];
            if (!differs && other.*binding.model != first.*binding.model)
                differs = true;
        });
        if (other.custom == first.custom)
            continue;
        auto a = first.custom.constBegin();
        auto b = other.custom.constBegin();
        while (a != first.custom.constEnd() || b != other.custom.constEnd()) {
            if (b == other.custom.constEnd() || (a != first.custom.constEnd() && a.key() < b.key())) {
                batch.customVaries.insert(a.key());
                ++a;
            } else if (a == first.custom.constEnd() || b.key() < a.key()) {
                batch.customVaries.insert(b.key());
                namesElsewhere.insert(b.key());
                ++b;
            } else {
                if (a.value() != b.value())
                    batch.customVaries.insert(a.key());
                ++a;
                ++b;
            }
        }
    }
    // What every set holds alike: the first's values of the fields and items that do not vary.
    batch.merged = first;
    forEachField([&](const auto& binding) {
        if (varies[static_cast<size_t>(binding.field)]) {
            batch.varies.insert(binding.field);
            (batch.merged.*binding.model).reset();
        }
    });
    batch.merged.custom.removeIf([&](const auto& item) { return batch.customVaries.contains(item.key()); });
    batch.customNames = first.custom.keys();
    if (!namesElsewhere.isEmpty()) {
        batch.customNames += namesElsewhere.values();
        std::sort(batch.customNames.begin(), batch.customNames.end());
    }
    return batch;
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
