// Every tag field once: its names, its editor, and where its value lives on
// each step between the model and a file (the TagSet member, the bridge
// record's member, and its bit in the bridge's field mask). Everything that
// walks over the fields walks this table, so adding a field means adding a
// TagField case, a TagSet member, the bridge's members, one line here and one
// in the tag helper's table of the C records (QuireTagHelper/BridgeFields.cpp).
#pragma once

#include "QuireCore/BridgeRecord.h"
#include "QuireCore/TagSet.h"

#include <QtGlobal>
#include <array>
#include <variant>

// A field's bit in the bridge's field masks: bit n for the n-th field.
constexpr uint32_t bridgeBitOf(TagField field) {
    return uint32_t{1} << static_cast<int>(field);
}

// The fields every file kind keeps; DSDIFF files keep only these, and no pictures.
inline constexpr uint32_t genericBridgeFields = bridgeBitOf(TagField::title) | bridgeBitOf(TagField::artist) |
                                                bridgeBitOf(TagField::album) | bridgeBitOf(TagField::genre) |
                                                bridgeBitOf(TagField::comment) | bridgeBitOf(TagField::year) |
                                                bridgeBitOf(TagField::trackNumber);

struct FieldNames {
    TagField field;
    const char* name;         // the raw value: serialised forms and the command line
    const char* label;        // the display name, translated in the "TagField" context
    const char* propertyName; // TagLib's unified property name, which also names the field
    FieldComponent component;
    uint32_t bridgeBit; // bridgeBitOf(field)
};

struct TextFieldBinding : FieldNames {
    std::optional<QString> TagSet::*model;
    std::optional<std::string> BridgeTags::*bridge;
};

// Held as text: a date or a vinyl side's "A1" is kept as stored.
struct NumberFieldBinding : FieldNames {
    std::optional<QString> TagSet::*model;
    std::optional<std::string> BridgeTags::*bridge;
};

// The compilation flag: -1 absent, 0 false, 1 true in the bridge's records.
struct FlagFieldBinding : FieldNames {
    std::optional<bool> TagSet::*model;
    int32_t BridgeTags::*bridge;
};

using FieldBinding = std::variant<TextFieldBinding, NumberFieldBinding, FlagFieldBinding>;

namespace FieldTableEntries {
using C = FieldComponent;
using F = TagField;

constexpr TextFieldBinding text(F field, const char* name, const char* label, const char* property,
                                C component, std::optional<QString> TagSet::*model,
                                std::optional<std::string> BridgeTags::*bridge) {
    return {{field, name, label, property, component, bridgeBitOf(field)}, model, bridge};
}

constexpr NumberFieldBinding number(F field, const char* name, const char* label, const char* property,
                                    std::optional<QString> TagSet::*model,
                                    std::optional<std::string> BridgeTags::*bridge) {
    return {{field, name, label, property, C::number, bridgeBitOf(field)}, model, bridge};
}
} // namespace FieldTableEntries

// In TagField order.
inline constexpr std::array<FieldBinding, tagFieldCount> tagFieldTable = [] {
    using namespace FieldTableEntries;
    using B = BridgeTags;
    return std::array<FieldBinding, tagFieldCount>{
        text(F::title, "title", QT_TRANSLATE_NOOP("TagField", "Title"), "TITLE", C::text, &TagSet::title,
             &B::title),
        text(F::artist, "artist", QT_TRANSLATE_NOOP("TagField", "Artist"), "ARTIST", C::text, &TagSet::artist,
             &B::artist),
        text(F::album, "album", QT_TRANSLATE_NOOP("TagField", "Album"), "ALBUM", C::text, &TagSet::album,
             &B::album),
        text(F::albumArtist, "albumArtist", QT_TRANSLATE_NOOP("TagField", "Album Artist"), "ALBUMARTIST",
             C::text, &TagSet::albumArtist, &B::albumArtist),
        text(F::composer, "composer", QT_TRANSLATE_NOOP("TagField", "Composer"), "COMPOSER", C::text,
             &TagSet::composer, &B::composer),
        text(F::genre, "genre", QT_TRANSLATE_NOOP("TagField", "Genre"), "GENRE", C::text, &TagSet::genre,
             &B::genre),
        number(F::year, "year", QT_TRANSLATE_NOOP("TagField", "Year"), "DATE", &TagSet::year, &B::year),
        number(F::trackNumber, "trackNumber", QT_TRANSLATE_NOOP("TagField", "Track Number"), "TRACKNUMBER",
               &TagSet::trackNumber, &B::track),
        number(F::trackTotal, "trackTotal", QT_TRANSLATE_NOOP("TagField", "Track Total"), "TRACKTOTAL",
               &TagSet::trackTotal, &B::trackTotal),
        number(F::discNumber, "discNumber", QT_TRANSLATE_NOOP("TagField", "Disc Number"), "DISCNUMBER",
               &TagSet::discNumber, &B::disc),
        number(F::discTotal, "discTotal", QT_TRANSLATE_NOOP("TagField", "Disc Total"), "DISCTOTAL",
               &TagSet::discTotal, &B::discTotal),
        number(F::bpm, "bpm", QT_TRANSLATE_NOOP("TagField", "BPM"), "BPM", &TagSet::bpm, &B::bpm),
        text(F::comment, "comment", QT_TRANSLATE_NOOP("TagField", "Comment"), "COMMENT", C::multiline,
             &TagSet::comment, &B::comment),
        text(F::lyrics, "lyrics", QT_TRANSLATE_NOOP("TagField", "Lyrics"), "LYRICS", C::multiline,
             &TagSet::lyrics, &B::lyrics),
        text(F::grouping, "grouping", QT_TRANSLATE_NOOP("TagField", "Grouping"), "GROUPING", C::text,
             &TagSet::grouping, &B::grouping),
        FlagFieldBinding{{F::compilation, "compilation", QT_TRANSLATE_NOOP("TagField", "Compilation"),
                          "COMPILATION", C::boolean, bridgeBitOf(F::compilation)},
                         &TagSet::compilation,
                         &B::compilation},
    };
}();

// The table's entry of a field.
const FieldBinding& bindingOf(TagField field);
const FieldNames& namesOf(TagField field);

// A visitor from several lambdas, one per kind of entry.
template <typename... Visitors> struct Overloaded : Visitors... { using Visitors::operator()...; };
template <typename... Visitors> Overloaded(Visitors...) -> Overloaded<Visitors...>; // for clang 14

// Calls visit with every entry (TextFieldBinding, NumberFieldBinding or
// FlagFieldBinding), in TagField order.
template <typename Visitor> void forEachField(Visitor&& visit) {
    for (const FieldBinding& binding : tagFieldTable)
        std::visit(visit, binding);
}

// The bridge's field mask of a set of fields.
uint32_t bridgeFieldMask(const TagFieldSet& fields);

// Conversions between the model and the bridge's records. The custom items
// are read from the record; a record made from a tag set names none (a write
// adds the ones it changes).
TagSet tagSetOf(const BridgeTags& bridge);
BridgeTags bridgeTagsOf(const TagSet& tags);
