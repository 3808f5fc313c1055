#pragma once

#include <QHashFunctions>
#include <QSet>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>

// The kind of editor a field gets in the inspector.
enum class FieldComponent { text, multiline, number, boolean, date, artwork };

inline constexpr std::array<FieldComponent, 6> allFieldComponents = {
    FieldComponent::text,    FieldComponent::multiline, FieldComponent::number,
    FieldComponent::boolean, FieldComponent::date,      FieldComponent::artwork};

QString rawValue(FieldComponent component);
std::optional<FieldComponent> fieldComponentFromRawValue(QStringView raw);

// The sixteen editable tag fields, in display order; the last is compilation.
// Everything else about a field is in TagFieldTable.h.
enum class TagField {
    title,
    artist,
    album,
    albumArtist,
    composer,
    genre,
    year,
    trackNumber,
    trackTotal,
    discNumber,
    discTotal,
    bpm,
    comment,
    lyrics,
    grouping,
    compilation,
};

inline constexpr size_t tagFieldCount = static_cast<size_t>(TagField::compilation) + 1;
inline constexpr std::array<TagField, tagFieldCount> allTagFields = [] {
    std::array<TagField, tagFieldCount> fields{};
    for (size_t i = 0; i < tagFieldCount; ++i)
        fields[i] = static_cast<TagField>(i);
    return fields;
}();

// The case name, used in serialised forms and on the command line.
QString rawValue(TagField field);
// Exactly the sixteen raw values, case-sensitive.
std::optional<TagField> tagFieldFromRawValue(QStringView raw);
// The user-visible name of the field wherever the program names it.
QString displayName(TagField field);
FieldComponent component(TagField field);

inline size_t qHash(TagField field, size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(field), seed);
}

using TagFieldSet = QSet<TagField>;
TagFieldSet allTagFieldSet();

// A field of a tag set by name: one of the sixteen, or a custom item (any
// other text item of a file) named as TagLib's unified property names name it
// ("CATALOGNUMBER", "MUSICBRAINZ_ALBUMID"), so that one name reaches the same
// item in every format. Custom names are upper case.
class FieldKey {
public:
    FieldKey(TagField field)
        : m_field(field) {}
    // A custom item; the name is upper-cased (ASCII letters only, as TagLib does).
    static FieldKey custom(QStringView name);
    // The sixteen by their raw values ("trackNumber") or their property names
    // ("TRACKNUMBER", "DATE"), in any case; any other name that can name an item
    // (not empty, no "=" and no control characters) as a custom item.
    static std::optional<FieldKey> fromName(QStringView name);

    std::optional<TagField> field() const { return m_field; }
    bool isCustom() const { return !m_field; }
    // Empty for one of the sixteen.
    const QString& customName() const { return m_custom; }
    // The raw value of one of the sixteen, else the custom name.
    QString name() const;
    // As the user sees it: the field's display name, or the custom name.
    QString displayName() const;

    bool operator==(const FieldKey&) const = default;

private:
    FieldKey() = default;
    std::optional<TagField> m_field;
    QString m_custom;
};

inline size_t qHash(const FieldKey& key, size_t seed = 0) noexcept {
    return key.field() ? ::qHash(static_cast<int>(*key.field()), seed) : ::qHash(key.customName(), seed);
}

using FieldKeySet = QSet<FieldKey>;
FieldKeySet fieldKeysOf(const TagFieldSet& fields);
