#pragma once

#include "QuireCore/JsonDecoding.h"
#include "QuireCore/TagField.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

// How much of the inspector's row a field's editor takes.
enum class FieldWidth { single, double_, full };

inline constexpr std::array<FieldWidth, 3> allFieldWidths = {FieldWidth::single, FieldWidth::double_,
                                                             FieldWidth::full};

QString rawValue(FieldWidth width);
std::optional<FieldWidth> fieldWidthFromRawValue(QStringView raw);

// One row of an inspector layout: one of the sixteen fields or a custom item.
struct FieldConfig {
    FieldKey field = TagField::title;
    QString label;
    FieldWidth width = FieldWidth::full;

    FieldConfig() = default;
    // Without a label, the row is captioned with the field's display name.
    FieldConfig(FieldKey field, FieldWidth width, std::optional<QString> label = std::nullopt);

    bool operator==(const FieldConfig&) const = default;

    // The field by its name: the raw value of one of the sixteen, else the custom name.
    QJsonObject toJson() const;
    static Decoded<FieldConfig> fromJson(const QJsonValue& json);
};

// Which fields the inspector shows, in which order, under which labels.
// The built-in layouts reorder the fields and caption some as their trade
// calls them; a caption always names what the row edits.
struct InspectorLayout {
    QUuid id;
    QString name;
    QString icon; // symbol name shown beside the name
    QList<FieldConfig> fields;
    bool isBuiltIn = false;

    bool operator==(const InspectorLayout&) const = default;

    static const InspectorLayout& standard();
    static const InspectorLayout& podcasts();
    static const InspectorLayout& classical();
    static const InspectorLayout& djs();
    // Standard, Podcasts, Classical, DJs.
    static const QList<InspectorLayout>& allBuiltIns();

    QJsonObject toJson() const;
    static Decoded<InspectorLayout> fromJson(const QJsonValue& json);
};

size_t qHash(const FieldConfig& config, size_t seed = 0) noexcept;
size_t qHash(const InspectorLayout& layout, size_t seed = 0) noexcept;
