#include "QuireCore/TagSet.h"
#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

std::optional<qint64> parsed(const char* text) {
    return TagSet::parseInteger(QString::fromUtf8(text));
}

TEST(TagSetText, NumbersParseStrictlyOrBecomeAbsent) {
    EXPECT_EQ(parsed("2024"), 2024);
    EXPECT_EQ(parsed("+5"), 5);
    EXPECT_EQ(parsed("-3"), -3);
    EXPECT_EQ(parsed("007"), 7);
    EXPECT_EQ(parsed("9223372036854775807"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(parsed("-9223372036854775808"), std::numeric_limits<qint64>::min());
    for (const char* refused : {"", "+", "-", " 2024", "2024 ", "2024a", "+-1", "1e3", "1.0", "٣",
                                "9223372036854775808", "-9223372036854775809", "12345678901234567890"})
        EXPECT_EQ(parsed(refused), std::nullopt) << refused;
}

TEST(TagSetText, ValueAndSetValueConvertEachKindOfField) {
    TagSet tags;
    tags.setValue(QStringLiteral("2024"), TagField::year);
    tags.setValue(QStringLiteral("-3"), TagField::discNumber);
    tags.setValue(QStringLiteral("A1"), TagField::trackNumber);
    tags.setValue(QStringLiteral("+07"), TagField::bpm);
    tags.setValue(QString(), TagField::title);
    EXPECT_EQ(tags.year, QStringLiteral("2024"));
    EXPECT_EQ(tags.value(TagField::discNumber), QStringLiteral("-3"));
    EXPECT_EQ(tags.value(TagField::bpm), QStringLiteral("7"));
    // Text that is no number is kept as it is, and known for what it is.
    EXPECT_EQ(tags.trackNumber, QStringLiteral("A1"));
    EXPECT_EQ(tags.number(TagField::trackNumber), std::nullopt);
    EXPECT_TRUE(tags.holdsTextForNumber(TagField::trackNumber));
    EXPECT_FALSE(tags.holdsTextForNumber(TagField::bpm));
    tags.setValue(QString(), TagField::trackNumber);
    EXPECT_EQ(tags.trackNumber, std::nullopt);

    // A year may be a date, and is a number as far as its year goes.
    for (const char* date : {"1974", "1974-11", "1974-11-01", "1974-11-01T20:15", "1974-11-01 20:15:00"}) {
        tags.setValue(QString::fromLatin1(date), TagField::year);
        EXPECT_EQ(tags.number(TagField::year), 1974) << date;
    }
    for (const char* text : {"Oct 3, 1995", "74", "1974-1", "1974/11/01", "1974-11-01x", "19745"}) {
        tags.setValue(QString::fromLatin1(text), TagField::year);
        EXPECT_EQ(tags.year, QString::fromLatin1(text));
        EXPECT_TRUE(tags.holdsTextForNumber(TagField::year)) << text;
    }
    // An empty string is a value of its own, not an absent title.
    ASSERT_TRUE(tags.title.has_value());
    EXPECT_TRUE(tags.title->isEmpty());

    tags.year = QStringLiteral("2000");
    tags.setValue(std::nullopt, TagField::year);
    EXPECT_EQ(tags.year, std::nullopt);

    // Strings are stored exactly, blanks included.
    tags.setValue(QStringLiteral("  padded "), TagField::comment);
    EXPECT_EQ(tags.value(TagField::comment), QStringLiteral("  padded "));
}

TEST(TagSetText, CompilationAcceptsOneOrTrueInAnyCase) {
    TagSet tags;
    const std::pair<const char*, bool> cases[] = {{"1", true},    {"true", true}, {"True", true},
                                                  {"TRUE", true}, {"0", false},   {"", false},
                                                  {"yes", false}, {"2", false}};
    for (const auto& [text, expected] : cases) {
        tags.setValue(QString::fromUtf8(text), TagField::compilation);
        EXPECT_EQ(tags.compilation, expected) << text;
    }
    EXPECT_EQ(tags.value(TagField::compilation), QStringLiteral("0"));
    tags.setValue(std::nullopt, TagField::compilation);
    EXPECT_EQ(tags.compilation, std::nullopt);
    EXPECT_EQ(tags.value(TagField::compilation), std::nullopt);
}

TEST(TagSetText, CopyFieldConvertsThroughText) {
    TagSet tags;
    tags.title = QStringLiteral("1999");
    tags.copyField(TagField::title, TagField::year);
    EXPECT_EQ(tags.year, QStringLiteral("1999"));
    tags.title = QStringLiteral("Intro");
    tags.copyField(TagField::title, TagField::year);
    EXPECT_EQ(tags.year, QStringLiteral("Intro")); // kept, and shown as no year
    tags.copyField(FieldKey::custom(u"CatalogNumber"), TagField::title);
    EXPECT_EQ(tags.title, std::nullopt);
    tags.custom.insert(QStringLiteral("CATALOGNUMBER"), QStringLiteral("ABC-1"));
    tags.copyField(FieldKey::custom(u"catalognumber"), TagField::album);
    EXPECT_EQ(tags.album, QStringLiteral("ABC-1"));
    tags.trackNumber = QStringLiteral("7");
    tags.copyField(TagField::trackNumber, TagField::comment);
    EXPECT_EQ(tags.comment, QStringLiteral("7"));
}

TEST(TagSetBatch, MergeKeepsOnlyValuesPresentAndEqualInBoth) {
    TagSet a{.title = QString(),
             .artist = QStringLiteral("Band"),
             .year = QStringLiteral("1999"),
             .compilation = false};
    TagSet b{.artist = QStringLiteral("Band"), .year = QStringLiteral("2000"), .compilation = false};
    const TagSet merged = TagSet::merge(a, b);
    EXPECT_EQ(merged.title, std::nullopt); // empty versus absent is a difference
    EXPECT_EQ(merged.artist, QStringLiteral("Band"));
    EXPECT_EQ(merged.year, std::nullopt);
    EXPECT_EQ(merged.compilation, false);
    // Case matters.
    b.artist = QStringLiteral("band");
    EXPECT_EQ(TagSet::merge(a, b).artist, std::nullopt);
}

TEST(TagSetBatch, CustomItemsSurviveOnlyWhenEqualAndNeverVary) {
    TagSet a{.title = QStringLiteral("Same"), .custom = {{QStringLiteral("MOOD"), QStringLiteral("calm")}}};
    TagSet b{.title = QStringLiteral("Same"), .custom = {{QStringLiteral("MOOD"), QStringLiteral("loud")}}};
    EXPECT_TRUE(TagSet::batchVaries({a, b}).isEmpty());
    EXPECT_TRUE(TagSet::batchMerge({a, b}).custom.isEmpty());
    EXPECT_EQ(TagSet::batchMerge({a, a}).custom, a.custom);
}

// Items only one side holds, interleaved in name order, vary like differing values; names come from
// every file.
TEST(TagSetBatch, CustomItemsVaryAndAreNamedAcrossEveryFile) {
    const auto items = [](std::initializer_list<std::pair<const char*, const char*>> pairs) {
        TagSet tags;
        for (const auto& [name, value] : pairs)
            tags.custom.insert(QString::fromLatin1(name), QString::fromLatin1(value));
        return tags;
    };
    const TagSet first = items({{"B", "1"}, {"D", "1"}, {"F", "1"}});
    const TagSet second = items({{"A", "1"}, {"B", "1"}, {"D", "2"}, {"G", "1"}});
    const TagSet sameNamesOtherValues = items({{"B", "2"}, {"D", "1"}, {"F", "1"}});
    EXPECT_EQ(TagSet::customVaries({first, second}), (QSet<QString>{"A", "D", "F", "G"}));
    EXPECT_EQ(TagSet::customVaries({first, first, sameNamesOtherValues}), QSet<QString>{"B"});
    EXPECT_EQ(TagSet::customVaries({first, sameNamesOtherValues, first}), QSet<QString>{"B"});
    EXPECT_EQ(TagSet::customNames({first, sameNamesOtherValues, second, first}),
              (QStringList{"A", "B", "D", "F", "G"}));
}

TEST(TagSetBatch, BatchMergeAndVariesOverLists) {
    const TagSet empty = TagSet::batchMerge(QList<TagSet>{});
    EXPECT_EQ(empty, TagSet{});
    EXPECT_EQ(empty.compilation, std::nullopt);

    TagSet one{.title = QStringLiteral("Only"), .custom = {{QStringLiteral("K"), QStringLiteral("V")}}};
    EXPECT_EQ(TagSet::batchMerge({one}), one);
    EXPECT_TRUE(TagSet::batchVaries({one}).isEmpty());

    TagSet withTitle{
        .title = QStringLiteral("A"), .genre = QStringLiteral("Jazz"), .bpm = QStringLiteral("120")};
    TagSet emptyTitle{.title = QString(), .genre = QStringLiteral("Jazz"), .bpm = QStringLiteral("120")};
    TagSet noTitle{.genre = QStringLiteral("Jazz"), .bpm = QStringLiteral("121")};
    EXPECT_EQ(TagSet::batchVaries({withTitle, withTitle, withTitle}), QSet<TagField>{});
    EXPECT_EQ(TagSet::batchVaries({emptyTitle, noTitle}), (QSet<TagField>{TagField::title, TagField::bpm}));
    // Absent in all files does not vary; absent in one and present in another does.
    EXPECT_FALSE(TagSet::batchVaries({withTitle, noTitle}).contains(TagField::album));
    EXPECT_TRUE(TagSet::batchVaries({withTitle, withTitle, noTitle}).contains(TagField::title));

    const TagSet merged = TagSet::batchMerge({withTitle, emptyTitle, noTitle});
    EXPECT_EQ(merged.title, std::nullopt);
    EXPECT_EQ(merged.genre, QStringLiteral("Jazz"));
    EXPECT_EQ(merged.bpm, std::nullopt);
}

TEST(TagSetJson, RoundTripKeepsAbsentAndEmptyApart) {
    TagSet tags{.title = QString(),
                .artist = QStringLiteral("Ünïcødé 日本 🎵"),
                .year = QStringLiteral("1974-11-01"),
                .discNumber = QStringLiteral("-3"),
                .compilation = false,
                .custom = {{QStringLiteral("MOOD"), QStringLiteral("calm")}}};
    const QJsonObject json = tags.toJson();
    EXPECT_TRUE(json.contains(QStringLiteral("title")));
    EXPECT_FALSE(json.contains(QStringLiteral("album")));
    EXPECT_TRUE(json.value(QStringLiteral("custom")).isObject());

    const Decoded<TagSet> decoded = decodeJson<TagSet>(encodeJson(tags));
    ASSERT_TRUE(decoded.ok()) << decoded.error().message.toStdString();
    EXPECT_EQ(decoded.value(), tags);
}

TEST(TagSetJson, CustomIsRequiredOtherKeysAreOptionalAndTyped) {
    EXPECT_FALSE(decodeJson<TagSet>(R"({"title":"x"})").ok());
    const Decoded<TagSet> minimal = decodeJson<TagSet>(R"({"custom":{}})");
    ASSERT_TRUE(minimal.ok());
    EXPECT_EQ(minimal.value().title, std::nullopt);

    // Numbers are numbers, and text that is none ("A1", a date) is text.
    const Decoded<TagSet> texts = decodeJson<TagSet>(
        R"({"custom":{"LABEL":["A","B"],"MEDIA":"Vinyl"},"year":"1974-11-01","trackNumber":3})");
    ASSERT_TRUE(texts.ok());
    EXPECT_EQ(texts.value().year, QStringLiteral("1974-11-01"));
    EXPECT_EQ(texts.value().trackNumber, QStringLiteral("3"));
    EXPECT_EQ(texts.value().custom.value(QStringLiteral("LABEL")), QStringLiteral("A; B"));
    const QJsonObject json = texts.value().toJson();
    EXPECT_EQ(json.value(QStringLiteral("trackNumber")), QJsonValue(3));
    EXPECT_EQ(json.value(QStringLiteral("custom")).toObject().value(QStringLiteral("LABEL")),
              QJsonValue(QJsonArray{QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(json.value(QStringLiteral("custom")).toObject().value(QStringLiteral("MEDIA")),
              QJsonValue(QStringLiteral("Vinyl")));

    for (const char* malformed :
         {R"({"custom":{},"year":true})", R"({"custom":{},"year":20.5})", R"({"custom":{},"compilation":1})",
          R"({"custom":{"k":1}})", R"({"custom":[]})", R"([1,2])", R"({"custom":{})", "", "null"})
        EXPECT_FALSE(decodeJson<TagSet>(malformed).ok()) << malformed;
}

TEST(TagFieldNames, RawValuesAreExactAndCaseSensitive) {
    for (TagField field : allTagFields)
        EXPECT_EQ(tagFieldFromRawValue(rawValue(field)), field);
    EXPECT_EQ(tagFieldFromRawValue(u"Title"), std::nullopt);
    EXPECT_EQ(tagFieldFromRawValue(u"albumArtist"), TagField::albumArtist);
    EXPECT_EQ(displayName(TagField::bpm), QStringLiteral("BPM"));
    EXPECT_EQ(component(TagField::compilation), FieldComponent::boolean);
    EXPECT_EQ(rawValue(component(TagField::compilation)), QStringLiteral("bool"));
    EXPECT_EQ(component(TagField::lyrics), FieldComponent::multiline);
    EXPECT_EQ(component(TagField::discTotal), FieldComponent::number);
}

} // namespace
