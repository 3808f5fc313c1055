#include "QuireCore/InspectorLayout.h"

#include "QuireCore/RawValue.h"

#include <QCoreApplication>
#include <QHashFunctions>

QString rawValue(FieldWidth width) {
    switch (width) {
    case FieldWidth::single:
        return QStringLiteral("single");
    case FieldWidth::double_:
        return QStringLiteral("double");
    case FieldWidth::full:
        return QStringLiteral("full");
    }
    Q_UNREACHABLE();
}

std::optional<FieldWidth> fieldWidthFromRawValue(QStringView raw) {
    return caseWithRawValue(allFieldWidths, raw);
}

FieldConfig::FieldConfig(FieldKey field, FieldWidth width, std::optional<QString> label)
    : field(std::move(field))
    , label(label ? *label : this->field.displayName())
    , width(width) {}

QJsonObject FieldConfig::toJson() const {
    return {{QStringLiteral("field"), field.name()},
            {QStringLiteral("label"), label},
            {QStringLiteral("width"), rawValue(width)}};
}

Decoded<FieldConfig> FieldConfig::fromJson(const QJsonValue& json) {
    JsonRecord record(json, "FieldConfig");
    FieldConfig config;
    // Stored layouts name the sixteen by their raw values; anything else nameable is a custom item.
    config.field = record.requiredEnum("field", FieldKey::fromName, FieldKey(TagField::title));
    config.label = record.requiredString("label");
    config.width = record.requiredEnum("width", fieldWidthFromRawValue, FieldWidth::full);
    return record.finish(std::move(config));
}

namespace {

constexpr FieldWidth single = FieldWidth::single;
constexpr FieldWidth full = FieldWidth::full;

QString tr(const char* text) {
    return QCoreApplication::translate("InspectorLayout", text);
}

InspectorLayout builtIn(const char* id, const QString& name, const char* icon, QList<FieldConfig> fields) {
    return InspectorLayout{QUuid::fromString(QLatin1String(id)), name, QLatin1String(icon), std::move(fields),
                           true};
}

} // namespace

const InspectorLayout& InspectorLayout::standard() {
    static const InspectorLayout layout =
        builtIn("00000000-0000-0000-0000-000000000001", tr("Standard"), "music.note",
                {
                    {TagField::title, full},
                    {TagField::artist, full},
                    {TagField::album, full},
                    {TagField::albumArtist, full},
                    {TagField::genre, single},
                    {TagField::year, single},
                    {TagField::trackNumber, single},
                    {TagField::trackTotal, single},
                    {TagField::discNumber, single},
                    {TagField::discTotal, single},
                    {TagField::bpm, single},
                    {TagField::composer, full},
                    {TagField::grouping, full},
                    {TagField::comment, full},
                    {TagField::lyrics, full},
                });
    return layout;
}

const InspectorLayout& InspectorLayout::podcasts() {
    static const InspectorLayout layout =
        builtIn("00000000-0000-0000-0000-000000000002", tr("Podcasts"), "mic",
                {
                    {TagField::title, full},
                    {TagField::album, full, tr("Podcast")},
                    {TagField::artist, full, tr("Author")},
                    {TagField::albumArtist, full},
                    {TagField::trackNumber, single, tr("Episode")},
                    {TagField::trackTotal, single, tr("Episodes")},
                    {TagField::year, single},
                    {TagField::genre, single},
                    {TagField::comment, full, tr("Show Notes")},
                    {TagField::lyrics, full, tr("Transcript")},
                });
    return layout;
}

const InspectorLayout& InspectorLayout::classical() {
    static const InspectorLayout layout =
        builtIn("00000000-0000-0000-0000-000000000003", tr("Classical"), "music.quarternote.3",
                {
                    {TagField::title, full, tr("Movement")},
                    {TagField::album, full, tr("Work")},
                    {TagField::artist, full, tr("Performer")},
                    {TagField::albumArtist, full},
                    {TagField::composer, full},
                    {FieldKey::custom(u"CATALOGNUMBER"), full, tr("Catalog No.")},
                    {TagField::genre, single},
                    {TagField::year, single},
                    {TagField::trackNumber, single},
                    {TagField::trackTotal, single},
                    {TagField::discNumber, single},
                    {TagField::discTotal, single},
                    {TagField::comment, full},
                });
    return layout;
}

const InspectorLayout& InspectorLayout::djs() {
    static const InspectorLayout layout =
        builtIn("00000000-0000-0000-0000-000000000004", tr("DJs"), "music.note.list",
                {
                    {TagField::title, full},
                    {TagField::artist, full},
                    {TagField::album, full},
                    {TagField::genre, full},
                    {TagField::bpm, single},
                    {TagField::year, single},
                    {TagField::trackNumber, single},
                    {TagField::comment, full, tr("Key / Notes")},
                    {TagField::grouping, full, tr("Crate")},
                });
    return layout;
}

const QList<InspectorLayout>& InspectorLayout::allBuiltIns() {
    static const QList<InspectorLayout> layouts{standard(), podcasts(), classical(), djs()};
    return layouts;
}

QJsonObject InspectorLayout::toJson() const {
    QJsonArray rows;
    for (const FieldConfig& config : fields)
        rows.append(config.toJson());
    return {{QStringLiteral("id"), uuidText(id)},
            {QStringLiteral("name"), name},
            {QStringLiteral("icon"), icon},
            {QStringLiteral("fields"), rows},
            {QStringLiteral("isBuiltIn"), isBuiltIn}};
}

Decoded<InspectorLayout> InspectorLayout::fromJson(const QJsonValue& json) {
    JsonRecord record(json, "InspectorLayout");
    InspectorLayout layout;
    layout.id = record.requiredUuid("id");
    layout.name = record.requiredString("name");
    layout.icon = record.requiredString("icon");
    layout.fields = record.requiredList<FieldConfig>("fields");
    layout.isBuiltIn = record.requiredBool("isBuiltIn");
    return record.finish(std::move(layout));
}

size_t qHash(const FieldConfig& config, size_t seed) noexcept {
    return qHashMulti(seed, config.field, config.label, static_cast<int>(config.width));
}

size_t qHash(const InspectorLayout& layout, size_t seed) noexcept {
    return qHashMulti(seed, layout.id, layout.name, layout.icon,
                      qHashRange(layout.fields.begin(), layout.fields.end()), layout.isBuiltIn);
}
