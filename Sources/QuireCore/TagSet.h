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
// Every value is held as text, as the file stores it: a numeric field may hold
// a full date ("1974-11-01") or text that is no number at all (a vinyl side's
// track "A1"); number() reads what is a number. A field or custom item with
// several values holds them joined with valueSeparator ("A; B"), and a save
// splits them again where the format keeps several values.
//
// This is the only place where a field is converted between its stored form
// and text, so every text box, pattern and batch operation treats numbers and
// the compilation flag by these rules.
struct TagSet {
    std::optional<QString> title{};
    std::optional<QString> artist{};
    std::optional<QString> album{};
    std::optional<QString> albumArtist{};
    std::optional<QString> composer{};
    std::optional<QString> genre{};
    std::optional<QString> year{};
    std::optional<QString> trackNumber{};
    std::optional<QString> trackTotal{};
    std::optional<QString> discNumber{};
    std::optional<QString> discTotal{};
    std::optional<QString> bpm{};
    std::optional<QString> comment{};
    std::optional<QString> lyrics{};
    std::optional<QString> grouping{};
    std::optional<bool> compilation{};
    // Every other text item of the file, by its custom name (see FieldKey).
    QMap<QString, QString> custom{};

    bool operator==(const TagSet&) const = default;

    // Between the values of a field that holds several.
    static constexpr QStringView valueSeparator = u"; ";
    static QStringList splitValues(const QString& text);

    // The field as text: strings and numbers as held, compilation "1" or "0".
    std::optional<QString> value(const FieldKey& key) const;
    // Sets the field from text. A numeric field takes a whole number in plain
    // decimal ("+07" gives "7") and keeps any other text as it is; empty text
    // makes it absent. Compilation is true for "1" or "true" in any
    // capitalisation, else false. Absent text removes a custom item.
    void setValue(const std::optional<QString>& text, const FieldKey& key);
    void copyField(const FieldKey& source, const FieldKey& target);

    // A numeric field's number: the whole number it holds, for the year the
    // year of a date ("1974-11-01" gives 1974); none when absent or not a number.
    std::optional<qint64> number(TagField field) const;
    // Whether a numeric field holds text that is not a number (or, for the
    // year, a date), such as "A1": it is shown as stored and marked.
    bool holdsTextForNumber(TagField field) const;
    // A year ("1974") or an ISO 8601 date or date and time ("1974-11",
    // "1974-11-01", "1974-11-01T20:15"): the year, else none.
    static std::optional<qint64> yearOfDate(QStringView text);

    // The fields both sets hold with equal values, and the custom items both
    // hold with equal values.
    static TagSet merge(const TagSet& a, const TagSet& b);
    static TagSet batchMerge(const QList<TagSet>& sets);
    // The fields whose values differ across the sets (absence counts as a value).
    static QSet<TagField> batchVaries(const QList<TagSet>& sets);
    // The custom items any of the sets holds, in name order, and those whose
    // values differ (or that some set lacks).
    static QStringList customNames(const QList<TagSet>& sets);
    // The fields and custom items whose values differ between two tag sets.
    static FieldKeySet differingFields(const TagSet& a, const TagSet& b);
    static QSet<QString> customVaries(const QList<TagSet>& sets);
    // The same over sets where they stand (a large selection's files' own), not copied.
    static TagSet batchMerge(const QList<const TagSet*>& sets);
    static QSet<TagField> batchVaries(const QList<const TagSet*>& sets);
    static QStringList customNames(const QList<const TagSet*>& sets);
    static QSet<QString> customVaries(const QList<const TagSet*>& sets);
    // All four at once, in one pass over the sets.
    static struct TagSetBatch batch(const QList<const TagSet*>& sets);

    // A strict base-10 signed 64-bit parse: an optional single "+" or "-" and
    // one or more ASCII digits, nothing else (no blanks); out of range fails.
    static std::optional<qint64> parseInteger(QStringView text);

    QJsonObject toJson() const;
    static Decoded<TagSet> fromJson(const QJsonValue& json);
};

// What TagSet::batch finds: batchMerge, batchVaries, customNames and customVaries of the same sets.
struct TagSetBatch {
    TagSet merged;
    QSet<TagField> varies;
    QStringList customNames;
    QSet<QString> customVaries;
};
