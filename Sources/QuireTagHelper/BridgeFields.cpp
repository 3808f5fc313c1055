#include "QuireTagHelper/BridgeFields.h"

#include "QuireCore/TagFieldTable.h"

#include <array>
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

struct CNumberMembers {
    uint32_t bit;
    std::optional<int32_t> BridgeTags::*bridge;
    int32_t CTagLibTag::*record;
    int32_t CTagLibTag::*recordPresent;
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
        N{CTAGLIB_FIELD_YEAR, &B::year, &R::year, &R::hasYear, &W::year, &W::hasYear},
        N{CTAGLIB_FIELD_TRACK, &B::track, &R::track, &R::hasTrack, &W::track, &W::hasTrack},
        N{CTAGLIB_FIELD_TRACK_TOTAL, &B::trackTotal, &R::trackTotal, &R::hasTrackTotal, &W::trackTotal,
          &W::hasTrackTotal},
        N{CTAGLIB_FIELD_DISC, &B::disc, &R::disc, &R::hasDisc, &W::disc, &W::hasDisc},
        N{CTAGLIB_FIELD_DISC_TOTAL, &B::discTotal, &R::discTotal, &R::hasDiscTotal, &W::discTotal,
          &W::hasDiscTotal},
        N{CTAGLIB_FIELD_BPM, &B::bpm, &R::bpm, &R::hasBpm, &W::bpm, &W::hasBpm},
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
            bridge.*m.bridge = record.*m.recordPresent == 1 ? std::optional(record.*m.record) : std::nullopt;
        },
        // The reader takes any value other than 1 as false.
        [&](const CFlagMembers& m) {
            const int32_t flag = record.*m.record;
            bridge.*m.bridge = flag < 0 ? -1 : (flag == 1 ? 1 : 0);
        },
    });
    return bridge;
}

CTagLibTagValues cValuesOf(const BridgeTags& bridge) {
    CTagLibTagValues values{};
    forEachCField(Overloaded{
        [&](const CTextMembers& m) {
            const std::optional<std::string>& text = bridge.*m.bridge;
            values.*m.argument = text ? text->c_str() : nullptr;
        },
        [&](const CNumberMembers& m) {
            const std::optional<int32_t>& number = bridge.*m.bridge;
            values.*m.argument = number.value_or(0);
            values.*m.argumentPresent = number ? 1 : 0;
        },
        [&](const CFlagMembers& m) { values.*m.argument = bridge.*m.bridge; },
    });
    return values;
}
