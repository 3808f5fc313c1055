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
