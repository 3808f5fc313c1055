#include "QuireCore/InspectorLayout.h"

#include <gtest/gtest.h>

namespace {

QStringList labelsOf(const InspectorLayout& layout) {
    QStringList labels;
    for (const FieldConfig& row : layout.fields)
        labels.append(row.label);
    return labels;
}

TEST(InspectorLayouts, FourBuiltInsInOrderWithFixedIds) {
    const QList<InspectorLayout>& layouts = InspectorLayout::allBuiltIns();
    ASSERT_EQ(layouts.size(), 4);
    const char* names[] = {"Standard", "Podcasts", "Classical", "DJs"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(layouts[i].name, QLatin1String(names[i]));
        EXPECT_EQ(layouts[i].id,
                  QUuid::fromString(QStringLiteral("00000000-0000-0000-0000-00000000000%1").arg(i + 1)));
        EXPECT_TRUE(layouts[i].isBuiltIn);
        for (const FieldConfig& row : layouts[i].fields)
            EXPECT_NE(row.field, TagField::compilation) << names[i];
    }
    EXPECT_EQ(&InspectorLayout::allBuiltIns()[0], &layouts[0]); // built once
}

TEST(InspectorLayouts, RowsRelabelAndReorderTheSameFields) {
    EXPECT_EQ(InspectorLayout::standard().fields.size(), 15);
    EXPECT_EQ(InspectorLayout::standard().fields[11].field, TagField::composer);
    EXPECT_EQ(labelsOf(InspectorLayout::podcasts()),
              QStringList({"Title", "Podcast", "Author", "Album Artist", "Episode", "Episodes", "Year",
                           "Genre", "Show Notes", "Transcript"}));
    // The catalogue number is an item of its own, not the grouping; album artist and composer are
    // captioned as what they are.
    const InspectorLayout& classical = InspectorLayout::classical();
    EXPECT_EQ(classical.fields[3].field, TagField::albumArtist);
    EXPECT_EQ(classical.fields[3].label, QStringLiteral("Album Artist"));
    EXPECT_EQ(classical.fields[4].field, TagField::composer);
    EXPECT_EQ(classical.fields[4].label, QStringLiteral("Composer"));
    EXPECT_EQ(classical.fields[5].field, FieldKey::custom(u"CATALOGNUMBER"));
    EXPECT_EQ(classical.fields[5].label, QStringLiteral("Catalog No."));
    for (const InspectorLayout& layout : InspectorLayout::allBuiltIns()) {
        const QStringList labels = labelsOf(layout);
        EXPECT_EQ(QSet<QString>(labels.begin(), labels.end()).size(), labels.size())
            << layout.name.toStdString();
    }
    const InspectorLayout& djs = InspectorLayout::djs();
    EXPECT_EQ(djs.fields.size(), 9);
    EXPECT_EQ(djs.fields[3].width, FieldWidth::full);
    EXPECT_EQ(djs.fields[7].label, QStringLiteral("Key / Notes"));
    EXPECT_EQ(FieldConfig(TagField::bpm, FieldWidth::single).label, QStringLiteral("BPM"));
}

TEST(InspectorLayouts, JsonRoundTripAndMissingKeys) {
    for (const InspectorLayout& layout : InspectorLayout::allBuiltIns()) {
        const Decoded<InspectorLayout> decoded = decodeJson<InspectorLayout>(encodeJson(layout));
        ASSERT_TRUE(decoded.ok()) << decoded.error().message.toStdString();
        EXPECT_EQ(decoded.value(), layout);
        EXPECT_EQ(qHash(decoded.value()), qHash(layout));
    }
    QJsonObject json = InspectorLayout::djs().toJson();
    EXPECT_EQ(json.value(QStringLiteral("id")).toString(),
              QStringLiteral("00000000-0000-0000-0000-000000000004"));
    json.remove(QStringLiteral("isBuiltIn"));
    EXPECT_FALSE(InspectorLayout::fromJson(json).ok());

    QJsonObject badRow = InspectorLayout::standard().toJson();
    QJsonArray rows = badRow.value(QStringLiteral("fields")).toArray();
    rows[0] = QJsonObject{{QStringLiteral("field"), QStringLiteral("title")},
                          {QStringLiteral("width"), QStringLiteral("double")}};
    badRow.insert(QStringLiteral("fields"), rows);
    EXPECT_FALSE(InspectorLayout::fromJson(badRow).ok()); // the row has no label
    rows[0] = QJsonObject{{QStringLiteral("field"), QStringLiteral("title")},
                          {QStringLiteral("label"), QStringLiteral("T")},
                          {QStringLiteral("width"), QStringLiteral("double")}};
    badRow.insert(QStringLiteral("fields"), rows);
    const Decoded<InspectorLayout> wide = InspectorLayout::fromJson(badRow);
    ASSERT_TRUE(wide.ok());
    EXPECT_EQ(wide.value().fields[0].width, FieldWidth::double_);
}

// Layouts stored before rows could name custom items still decode; a custom row keeps its name.
TEST(InspectorLayouts, RowsNameTheSixteenByRawValueAndCustomItemsByName) {
    const QByteArray stored =
        R"({"id": "6c1c8a52-0000-4000-8000-000000000001", "name": "Mine", "icon": "tag",
        "isBuiltIn": false, "fields": [
            {"field": "trackNumber", "label": "No.", "width": "single"},
            {"field": "albumArtist", "label": "Album Artist", "width": "full"}]})";
    const Decoded<InspectorLayout> old = decodeJson<InspectorLayout>(stored);
    ASSERT_TRUE(old.ok()) << old.error().message.toStdString();
    EXPECT_EQ(old.value().fields[0].field, TagField::trackNumber);
    EXPECT_EQ(old.value().fields[1].field, TagField::albumArtist);

    const QJsonObject row = InspectorLayout::classical().fields[5].toJson();
    EXPECT_EQ(row.value(QStringLiteral("field")).toString(), QStringLiteral("CATALOGNUMBER"));
    EXPECT_EQ(FieldConfig::fromJson(row).value(), InspectorLayout::classical().fields[5]);
    EXPECT_EQ(FieldConfig(FieldKey::custom(u"mood"), FieldWidth::full).label, QStringLiteral("MOOD"));
    QJsonObject unnamed = row;
    unnamed.insert(QStringLiteral("field"), QStringLiteral("A=B"));
    EXPECT_FALSE(FieldConfig::fromJson(unnamed).ok());
}

} // namespace
