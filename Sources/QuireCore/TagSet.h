#pragma once

#include "QuireCore/JsonDecoding.h"
#include "QuireCore/TagField.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <optional>

// The tag values of one audio file. Absent and empty are different states:
// an empty string is a present value.
//
// This is the only place where a field is converted between its stored type
// and text, so every text box, pattern and batch operation treats numbers and
// the compilation flag by these rules.
struct TagSet {
    std::optional<QString> title{};
    std::optional<QString> artist{};
    std::optional<QString> album{};
    std::optional<QString> albumArtist{};
    std::optional<QString> composer{};
    std::optional<QString> genre{};
    std::optional<qint64> year{};
    std::optional<qint64> trackNumber{};
    std::optional<qint64> trackTotal{};
    std::optional<qint64> discNumber{};
    std::optional<qint64> discTotal{};
    std::optional<qint64> bpm{};
    std::optional<QString> comment{};
    std::optional<QString> lyrics{};
    std::optional<QString> grouping{};
    std::optional<bool> compilation{};
    // Free-form extra items; carried and compared, never addressed by a field.
    QMap<QString, QString> custom{};

    bool operator==(const TagSet&) const = default;

    // The field as text: strings unchanged, numbers in plain decimal,
    // compilation "1" or "0".
    std::optional<QString> value(TagField field) const;
    // Parses text into the field's stored type. Numbers parse strictly (see
    // parseInteger); text that does not parse makes the field absent.
    // Compilation is true for "1" or "true" in any capitalisation, else false.
    void setValue(const std::optional<QString>& text, TagField field);
    void copyField(TagField source, TagField target);

    // The fields both sets hold with equal values; `custom` survives only when equal.
    static TagSet merge(const TagSet& a, const TagSet& b);
    static TagSet batchMerge(const QList<TagSet>& sets);
    // The fields whose values differ across the sets (absence counts as a value).
    static QSet<TagField> batchVaries(const QList<TagSet>& sets);

    // A strict base-10 signed 64-bit parse: an optional single "+" or "-" and
    // one or more ASCII digits, nothing else (no blanks); out of range fails.
    static std::optional<qint64> parseInteger(QStringView text);

    QJsonObject toJson() const;
    static Decoded<TagSet> fromJson(const QJsonValue& json);
};
