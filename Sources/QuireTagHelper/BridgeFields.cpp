#include "QuireTagHelper/BridgeFields.h"

#include "QuireCore/TagFieldTable.h"

#include <array>
#include <charconv>
#include <type_traits>
#include <variant>

namespace {

// Where each field lives in the C records, beside its bridge record member.
struct CTextMembers {
    uint32_t bit; // CTAGLIB_FIELD_...
    std::optional<std::string> BridgeTags::*bridge;
    char* CTagLibTag::*record;
    const char* CTagLibTagValues::*argument;
};

// A number travels as its text as stored; the number itself only where the
// text is one.
struct CNumberMembers {
    uint32_t bit;
    std::optional<std::string> BridgeTags::*bridge;
    char* CTagLibTag::*recordText;
    int32_t CTagLibTag::*record;
    int32_t CTagLibTag::*recordPresent;
    const char* CTagLibTagValues::*argumentText;
    int32_t CTagLibTagValues::*argument;
    int32_t CTagLibTagValues::*argumentPresent;
};

// The compilation flag: -1 absent, 0 false, 1 true in the bridge's records.
struct CFlagMembers {
    uint32_t bit;
    int32_t BridgeTags::*bridge;
    int32_t CTagLibTag::*record;
    int32_t CTagLibTagValues::*argument;
};

using CFieldMembers = std::variant<CTextMembers, CNumberMembers, CFlagMembers>;

// In TagField order, as tagFieldTable.
constexpr std::array<CFieldMembers, tagFieldCount> cFieldTable = [] {
    using B = BridgeTags;
    using R = CTagLibTag;
    using W = CTagLibTagValues;
    using T = CTextMembers;
    using N = CNumberMembers;
    return std::array<CFieldMembers, tagFieldCount>{
        T{CTAGLIB_FIELD_TITLE, &B::title, &R::title, &W::title},
        T{CTAGLIB_FIELD_ARTIST, &B::artist, &R::artist, &W::artist},
        T{CTAGLIB_FIELD_ALBUM, &B::album, &R::album, &W::album},
        T{CTAGLIB_FIELD_ALBUM_ARTIST, &B::albumArtist, &R::albumArtist, &W::albumArtist},
        T{CTAGLIB_FIELD_COMPOSER, &B::composer, &R::composer, &W::composer},
        T{CTAGLIB_FIELD_GENRE, &B::genre, &R::genre, &W::genre},
        N{CTAGLIB_FIELD_YEAR, &B::year, &R::yearText, &R::year, &R::hasYear, &W::yearText, &W::year,
          &W::hasYear},
        N{CTAGLIB_FIELD_TRACK, &B::track, &R::trackText, &R::track, &R::hasTrack, &W::trackText, &W::track,
          &W::hasTrack},
        N{CTAGLIB_FIELD_TRACK_TOTAL, &B::trackTotal, &R::trackTotalText, &R::trackTotal, &R::hasTrackTotal,
          &W::trackTotalText, &W::trackTotal, &W::hasTrackTotal},
        N{CTAGLIB_FIELD_DISC, &B::disc, &R::discText, &R::disc, &R::hasDisc, &W::discText, &W::disc,
          &W::hasDisc},
        N{CTAGLIB_FIELD_DISC_TOTAL, &B::discTotal, &R::discTotalText, &R::discTotal, &R::hasDiscTotal,
          &W::discTotalText, &W::discTotal, &W::hasDiscTotal},
        N{CTAGLIB_FIELD_BPM, &B::bpm, &R::bpmText, &R::bpm, &R::hasBpm, &W::bpmText, &W::bpm, &W::hasBpm},
        T{CTAGLIB_FIELD_COMMENT, &B::comment, &R::comment, &W::comment},
        T{CTAGLIB_FIELD_LYRICS, &B::lyrics, &R::lyrics, &W::lyrics},
        T{CTAGLIB_FIELD_GROUPING, &B::grouping, &R::grouping, &W::grouping},
        CFlagMembers{CTAGLIB_FIELD_COMPILATION, &B::compilation, &R::compilation, &W::compilation},
    };
}();

// Entry by entry, the same bridge member and the same mask bit as the field table.
constexpr bool matchesFieldTable() {
    for (size_t i = 0; i < tagFieldCount; ++i) {
        const bool same = std::visit(
            [](const auto& field, const auto& c) {
                if constexpr (std::is_same_v<decltype(field.bridge), decltype(c.bridge)>)
                    return field.bridge == c.bridge && field.bridgeBit == c.bit;
                else
                    return false;
            },
            tagFieldTable[i], cFieldTable[i]);
        if (!same)
            return false;
    }
    return true;
}
static_assert(matchesFieldTable(), "one entry per field, in the order of tagFieldTable, with its bridge bit");
static_assert(CTAGLIB_ALL_FIELDS == allBridgeFields);
static_assert(CTAGLIB_GENERIC_FIELDS == genericBridgeFields);

// The text as a number when it is one in plain decimal, within 32 bits.
std::optional<int32_t> plainNumber(const std::string& text) {
    int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() ? std::optional(number) : std::nullopt;
}

template <typename Visitor> void forEachCField(Visitor&& visit) {
    for (const CFieldMembers& members : cFieldTable)
        std::visit(visit, members);
}

} // namespace

BridgeTags bridgeTagsOf(const CTagLibTag& record) {
    BridgeTags bridge;
    forEachCField(Overloaded{
        [&](const CTextMembers& m) {
            const char* text = record.*m.record;
            bridge.*m.bridge = text ? std::optional<std::string>(text) : std::nullopt;
        },
        [&](const CNumberMembers& m) {
            // A number of 0 or below is no number readers show ("0/12" holds a total only).
            const char* text = record.*m.recordText;
            const std::optional<int32_t> number = text ? plainNumber(text) : std::nullopt;
            if (text && !(number && *number <= 0))
                bridge.*m.bridge = std::string(text);
            else if (record.*m.recordPresent == 1)
                bridge.*m.bridge = std::to_string(record.*m.record);
            else
                bridge.*m.bridge = std::nullopt;
        },
        // The reader takes any value other than 1 as false.
        [&](const CFlagMembers& m) {
            const int32_t flag = record.*m.record;
            bridge.*m.bridge = flag < 0 ? -1 : (flag == 1 ? 1 : 0);
        },
    });
    for (int32_t i = 0; record.properties && i < record.propertyCount; ++i) {
        const CTagLibProperty& property = record.properties[i];
        if (property.key && *property.key)
            bridge.properties.emplace_back(property.key, property.value ? property.value : "");
    }
    return bridge;
}

CWriteValues::CWriteValues(const BridgeTags& bridge, int32_t newId3v2Version) {
    forEachCField(Overloaded{
        [&](const CTextMembers& m) {
            const std::optional<std::string>& text = bridge.*m.bridge;
            values.*m.argument = text ? text->c_str() : nullptr;
        },
        [&](const CNumberMembers& m) {
            const std::optional<std::string>& text = bridge.*m.bridge;
            values.*m.argumentText = text && !text->empty() ? text->c_str() : nullptr;
            const std::optional<int32_t> number = text ? plainNumber(*text) : std::nullopt;
            values.*m.argument = number.value_or(0);
            values.*m.argumentPresent = number ? 1 : 0;
        },
        [&](const CFlagMembers& m) { values.*m.argument = bridge.*m.bridge; },
    });
    properties.reserve(bridge.properties.size());
    for (const auto& [name, value] : bridge.properties)
        properties.push_back({name.c_str(), value.c_str()});
    values.properties = properties.empty() ? nullptr : properties.data();
    values.propertyCount = static_cast<int32_t>(properties.size());
    values.newId3v2Version = newId3v2Version;
}
