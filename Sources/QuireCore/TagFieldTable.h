// Every tag field once: its names, its editor, and where its value lives on
// each step between the model and a file (the TagSet member, the bridge
// record's member, the C record's members and the C write argument, and its
// bit in the bridge's field mask). Everything that walks over the fields walks
// this table, so adding a field means adding a TagField case, a TagSet member,
// the bridge's members and one line here.
#pragma once

#include "CTagLibBridge.h"
#include "QuireCore/BridgeRecord.h"
#include "QuireCore/TagSet.h"

#include <QtGlobal>
#include <array>
#include <variant>

struct FieldNames {
    TagField field;
    const char* name;  // the raw value: serialised forms and the command line
    const char* label; // the display name, translated in the "TagField" context
    FieldComponent component;
    uint32_t bridgeBit; // CTAGLIB_FIELD_...
};

struct TextFieldBinding : FieldNames {
    std::optional<QString> TagSet::*model;
    std::optional<std::string> BridgeTags::*bridge;
    char* CTagLibTag::*record;
    const char* CTagLibTagValues::*argument;
};

struct NumberFieldBinding : FieldNames {
    std::optional<qint64> TagSet::*model;
    std::optional<int32_t> BridgeTags::*bridge;
    int32_t CTagLibTag::*record;
    int32_t CTagLibTag::*recordPresent;
    int32_t CTagLibTagValues::*argument;
    int32_t CTagLibTagValues::*argumentPresent;
};

// The compilation flag: -1 absent, 0 false, 1 true in the bridge's records.
struct FlagFieldBinding : FieldNames {
    std::optional<bool> TagSet::*model;
    int32_t BridgeTags::*bridge;
    int32_t CTagLibTag::*record;
    int32_t CTagLibTagValues::*argument;
};

using FieldBinding = std::variant<TextFieldBinding, NumberFieldBinding, FlagFieldBinding>;

namespace FieldTableEntries {
using C = FieldComponent;
using F = TagField;

constexpr TextFieldBinding text(F field, const char* name, const char* label, C component, uint32_t bit,
                                std::optional<QString> TagSet::*model,
                                std::optional<std::string> BridgeTags::*bridge, char* CTagLibTag::*record,
                                const char* CTagLibTagValues::*argument) {
    return {{field, name, label, component, bit}, model, bridge, record, argument};
}

constexpr NumberFieldBinding number(F field, const char* name, const char* label, uint32_t bit,
                                    std::optional<qint64> TagSet::*model,
                                    std::optional<int32_t> BridgeTags::*bridge, int32_t CTagLibTag::*record,
                                    int32_t CTagLibTag::*recordPresent, int32_t CTagLibTagValues::*argument,
                                    int32_t CTagLibTagValues::*argumentPresent) {
    return {{field, name, label, C::number, bit},
            model,
            bridge,
            record,
            recordPresent,
            argument,
            argumentPresent};
}
} // namespace FieldTableEntries

// In TagField order.
inline constexpr std::array<FieldBinding, tagFieldCount> tagFieldTable = [] {
    using namespace FieldTableEntries;
    using B = BridgeTags;
    using R = CTagLibTag;
    using W = CTagLibTagValues;
    return std::array<FieldBinding, tagFieldCount>{
        text(F::title, "title", QT_TRANSLATE_NOOP("TagField", "Title"), C::text, CTAGLIB_FIELD_TITLE,
             &TagSet::title, &B::title, &R::title, &W::title),
        text(F::artist, "artist", QT_TRANSLATE_NOOP("TagField", "Artist"), C::text, CTAGLIB_FIELD_ARTIST,
             &TagSet::artist, &B::artist, &R::artist, &W::artist),
        text(F::album, "album", QT_TRANSLATE_NOOP("TagField", "Album"), C::text, CTAGLIB_FIELD_ALBUM,
             &TagSet::album, &B::album, &R::album, &W::album),
        text(F::albumArtist, "albumArtist", QT_TRANSLATE_NOOP("TagField", "Album Artist"), C::text,
             CTAGLIB_FIELD_ALBUM_ARTIST, &TagSet::albumArtist, &B::albumArtist, &R::albumArtist,
             &W::albumArtist),
        text(F::composer, "composer", QT_TRANSLATE_NOOP("TagField", "Composer"), C::text,
             CTAGLIB_FIELD_COMPOSER, &TagSet::composer, &B::composer, &R::composer, &W::composer),
        text(F::genre, "genre", QT_TRANSLATE_NOOP("TagField", "Genre"), C::text, CTAGLIB_FIELD_GENRE,
             &TagSet::genre, &B::genre, &R::genre, &W::genre),
        number(F::year, "year", QT_TRANSLATE_NOOP("TagField", "Year"), CTAGLIB_FIELD_YEAR, &TagSet::year,
               &B::year, &R::year, &R::hasYear, &W::year, &W::hasYear),
        number(F::trackNumber, "trackNumber", QT_TRANSLATE_NOOP("TagField", "Track Number"),
               CTAGLIB_FIELD_TRACK, &TagSet::trackNumber, &B::track, &R::track, &R::hasTrack, &W::track,
               &W::hasTrack),
        number(F::trackTotal, "trackTotal", QT_TRANSLATE_NOOP("TagField", "Track Total"),
               CTAGLIB_FIELD_TRACK_TOTAL, &TagSet::trackTotal, &B::trackTotal, &R::trackTotal,
               &R::hasTrackTotal, &W::trackTotal, &W::hasTrackTotal),
        number(F::discNumber, "discNumber", QT_TRANSLATE_NOOP("TagField", "Disc Number"), CTAGLIB_FIELD_DISC,
               &TagSet::discNumber, &B::disc, &R::disc, &R::hasDisc, &W::disc, &W::hasDisc),
        number(F::discTotal, "discTotal", QT_TRANSLATE_NOOP("TagField", "Disc Total"),
               CTAGLIB_FIELD_DISC_TOTAL, &TagSet::discTotal, &B::discTotal, &R::discTotal, &R::hasDiscTotal,
               &W::discTotal, &W::hasDiscTotal),
        number(F::bpm, "bpm", QT_TRANSLATE_NOOP("TagField", "BPM"), CTAGLIB_FIELD_BPM, &TagSet::bpm, &B::bpm,
               &R::bpm, &R::hasBpm, &W::bpm, &W::hasBpm),
        text(F::comment, "comment", QT_TRANSLATE_NOOP("TagField", "Comment"), C::multiline,
             CTAGLIB_FIELD_COMMENT, &TagSet::comment, &B::comment, &R::comment, &W::comment),
        text(F::lyrics, "lyrics", QT_TRANSLATE_NOOP("TagField", "Lyrics"), C::multiline, CTAGLIB_FIELD_LYRICS,
             &TagSet::lyrics, &B::lyrics, &R::lyrics, &W::lyrics),
        text(F::grouping, "grouping", QT_TRANSLATE_NOOP("TagField", "Grouping"), C::text,
             CTAGLIB_FIELD_GROUPING, &TagSet::grouping, &B::grouping, &R::grouping, &W::grouping),
        FlagFieldBinding{{F::compilation, "compilation", QT_TRANSLATE_NOOP("TagField", "Compilation"),
                          C::boolean, CTAGLIB_FIELD_COMPILATION},
                         &TagSet::compilation,
                         &B::compilation,
                         &R::compilation,
                         &W::compilation},
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

// Conversions between the model, the bridge's records and the C interface.
// Numbers are narrowed to 32 bits: callers check the range first.
TagSet tagSetOf(const BridgeTags& bridge);
BridgeTags bridgeTagsOf(const TagSet& tags);
BridgeTags bridgeTagsOf(const CTagLibTag& record);
// Points into bridge's strings, which must outlive the result.
CTagLibTagValues cValuesOf(const BridgeTags& bridge);
