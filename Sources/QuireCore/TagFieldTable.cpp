#include "QuireCore/TagFieldTable.h"

namespace {

constexpr bool tableIsInFieldOrder() {
    for (size_t i = 0; i < tagFieldTable.size(); ++i) {
        const FieldNames& names =
            std::visit([](const auto& b) -> const FieldNames& { return b; }, tagFieldTable[i]);
        if (names.field != allTagFields[i] || names.bridgeBit != uint32_t{1} << i)
            return false;
    }
    return true;
}
static_assert(tableIsInFieldOrder(), "one entry per TagField, in order, with the bridge bit of its position");

std::optional<std::string> utf8(const std::optional<QString>& text) {
    return text ? std::optional(text->toStdString()) : std::nullopt;
}

std::optional<QString> fromUtf8(const std::optional<std::string>& text) {
    // Invalid sequences become U+FFFD.
    return text ? std::optional(QString::fromUtf8(text->data(), static_cast<qsizetype>(text->size())))
                : std::nullopt;
}

} // namespace

const FieldBinding& bindingOf(TagField field) {
    return tagFieldTable[static_cast<size_t>(field)];
}

const FieldNames& namesOf(TagField field) {
    return std::visit([](const auto& b) -> const FieldNames& { return b; }, bindingOf(field));
}

uint32_t bridgeFieldMask(const TagFieldSet& fields) {
    uint32_t mask = 0;
    for (TagField field : fields)
        mask |= namesOf(field).bridgeBit;
    return mask;
}

TagSet tagSetOf(const BridgeTags& bridge) {
    TagSet tags;
    forEachField(Overloaded{
        [&](const FlagFieldBinding& b) {
            const int32_t flag = bridge.*b.bridge;
            tags.*b.model = flag < 0 ? std::nullopt : std::optional(flag == 1);
        },
        [&](const auto& b) { tags.*b.model = fromUtf8(bridge.*b.bridge); },
    });
    for (const auto& [name, value] : bridge.properties)
        tags.custom.insert(QString::fromUtf8(name.data(), qsizetype(name.size())),
                           QString::fromUtf8(value.data(), qsizetype(value.size())));
    return tags;
}

BridgeTags bridgeTagsOf(const TagSet& tags) {
    BridgeTags bridge;
    forEachField(Overloaded{
        [&](const FlagFieldBinding& b) {
            const std::optional<bool>& flag = tags.*b.model;
            bridge.*b.bridge = flag ? (*flag ? 1 : 0) : -1;
        },
        [&](const auto& b) { bridge.*b.bridge = utf8(tags.*b.model); },
    });
    return bridge;
}
