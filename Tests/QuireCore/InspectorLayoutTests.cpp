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
    const InspectorLayout& classical = InspectorLayout::classical();
    EXPECT_EQ(classical.fields[3].field, TagField::albumArtist);
    EXPECT_EQ(classical.fields[3].label, QStringLiteral("Composer"));
    EXPECT_EQ(classical.fields[4].field, TagField::composer);
    EXPECT_EQ(classical.fields[5].label, QStringLiteral("Catalog No."));
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

} // namespace
