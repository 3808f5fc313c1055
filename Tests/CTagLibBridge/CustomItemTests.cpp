// Custom items, several values and numeric fields as stored text, in files
// another tagger wrote (Tests/Fixtures/custom.*, written by mutagen); writes
// are checked with mutagen through Tests/Support/tagdump.
#include "BridgeTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonObject>
#include <QtEndian>

#include <apetag.h>
#include <mpegfile.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

using namespace BridgeTest;
using TestSupport::ScopedFileCopy;

namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

Items propertiesOf(const CTagLibTag& record) {
    Items items;
    for (int32_t i = 0; i < record.propertyCount; ++i)
        items.emplace_back(record.properties[i].key, record.properties[i].value);
    return items;
}

std::string textOf(const char* text) {
    return text ? text : "(null)";
}

struct Custom {
    std::string file;
    std::string container; // of tagdump's keys: "ID3", "VC" or "MP4"
    bool id3v23 = false;
};

const std::vector<Custom>& customFiles() {
    static const std::vector<Custom> files = {
        {"custom.mp3", "ID3"},  {"custom-v23.mp3", "ID3", true}, {"custom.wav", "ID3"},
        {"custom.aiff", "ID3"}, {"custom.dsf", "ID3"},           {"custom.flac", "VC"},
        {"custom.ogg", "VC"},   {"custom.opus", "VC"},           {"custom.m4a", "MP4"}};
    return files;
}

// The item of a key in tagdump's terms.
QString itemKey(const Custom& custom, const char* id3, const char* vorbis, const char* mp4) {
    return QString::fromStdString(custom.container + ":") + QString::fromUtf8(custom.container == "ID3" ? id3
                                                                              : custom.container == "VC"
                                                                                  ? vorbis
                                                                                  : mp4);
}

quint32 syncSafe(const QByteArray& bytes, qsizetype at) {
    quint32 value = 0;
    for (qsizetype i = at; i < at + 4; ++i)
        value = value << 7 | (static_cast<unsigned char>(bytes[i]) & 0x7F);
    return value;
}

// The items of the file's main tag as stored: ID3v2 frames (header and body)
// or MP4 item atoms. (Vorbis comments are compared by value only.)
QList<QByteArray> storedItems(const QByteArray& bytes, const std::string& container) {
    QList<QByteArray> items;
    const auto add = [&](qsizetype pos, qsizetype size) {
        items.append(bytes.mid(pos, size));
        return pos + size;
    };
    if (container == "MP4") {
        const qsizetype ilst = bytes.indexOf("ilst") - 4;
        const qsizetype end = ilst + qFromBigEndian<quint32>(bytes.constData() + ilst);
        for (qsizetype pos = ilst + 8; pos + 8 <= end;)
            pos = add(pos, qFromBigEndian<quint32>(bytes.constData() + pos));
    } else if (container == "ID3") {
        qsizetype tag = bytes.indexOf(QByteArray("ID3\x04\x00", 5));
        tag = tag >= 0 ? tag : bytes.indexOf(QByteArray("ID3\x03\x00", 5));
        const bool v24 = bytes[tag + 3] == 4;
        const qsizetype end = tag + 10 + syncSafe(bytes, tag + 6);
        for (qsizetype pos = tag + 10; pos + 10 <= end && bytes[pos] != '\0';)
            pos = add(pos, 10 + (v24 ? syncSafe(bytes, pos + 4)
                                     : qFromBigEndian<quint32>(bytes.constData() + pos + 4)));
    }
    return items;
}

class CTagLibCustomItems : public testing::TestWithParam<Custom> {};
const auto kFileName = [](const auto& info) {
    std::string name = info.param.file;
    for (char& c : name)
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
};

TEST_P(CTagLibCustomItems, ReadEveryValueNumbersAsStoredAndTheOtherItems) {
    const Custom& custom = GetParam();
    const Record record =
        read(QFile::encodeName(TestSupport::fixturePath(QString::fromStdString(custom.file))));
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->error, nullptr);
    EXPECT_STREQ(record->title, "Autobahn");
    // ID3v2.3 holds the two artists as one text, joined with "/".
    EXPECT_EQ(textOf(record->artist),
              custom.id3v23 ? "Ralf Hütter/Florian Schneider" : "Ralf Hütter; Florian Schneider");
    EXPECT_EQ(textOf(record->yearText), "1974-11-01"); // from TYER and TDAT in ID3v2.3
    EXPECT_EQ(record->year, 1974);
    const bool mp4 = custom.container == "MP4"; // whose track is a number only
    EXPECT_EQ(textOf(record->trackText), mp4 ? "1" : "A1");
    EXPECT_EQ(record->hasTrack, mp4 ? 1 : 0);
    EXPECT_EQ(textOf(record->trackTotalText), "12"); // TOTALTRACKS in the Vorbis comments
    EXPECT_EQ(record->trackTotal, 12);
    EXPECT_EQ(record->discText, nullptr);

    Items expected = {{"ARTISTSORT", "Kraftwerk"},
                      {"CATALOGNUMBER", "ABC-123"},
                      {"LABEL", "Kling Klang"},
                      {"MEDIA", "Vinyl"},
                      {"MUSICBRAINZ_ALBUMID", "0b1e3c5a-0000-4000-8000-000000000007"},
                      {"MY OWN KEY", "Own Value"},
                      {"REPLAYGAIN_TRACK_GAIN", "-6.50 dB"}};
    if (custom.container == "ID3")
        expected.insert(expected.begin() + 2, {"COMMENT:LINER", "Liner notes"});
    if (custom.file == "custom.ogg" || custom.file == "custom.opus") // ffmpeg's
        expected.insert(expected.begin() + 2,
                        {"ENCODER", custom.file == "custom.ogg" ? "Lavc libvorbis" : "Lavc libopus"});
    EXPECT_EQ(propertiesOf(*record), expected);
}

// One write changes the artist to two other values, sets one item, removes
// another and adds a new one; mutagen sees exactly that, and every other item
// (and the audio) as it was.
TEST_P(CTagLibCustomItems, AWriteChangesTheNamedItemsAndNothingElse) {
    const Custom& custom = GetParam();
    const ScopedFileCopy copy(QString::fromStdString(custom.file));
    CTagLibTagValues values{};
    values.artist = "Ralf Hütter; Karl Bartos";
    const std::vector<CTagLibPropertyWrite> items = {
        {"CATALOGNUMBER", "XYZ-9"}, {"label", nullptr}, {"My Own Key", "One; Two"}, {"BARCODE", "4001"}};
    values.properties = items.data();
    values.propertyCount = static_cast<int32_t>(items.size());
    const QByteArray original = copy.bytes();
    ASSERT_EQ(ctaglib_write_fields(copy.nativePath().constData(), &values, CTAGLIB_FIELD_ARTIST, nullptr, -1),
              CTAGLIB_OK);
    const QByteArray saved = copy.bytes();
    // Text in an item, stored as Latin-1, UTF-8 or UTF-16 (ID3v2.3).
    const auto mentions = [](const QByteArray& item, const char* text) {
        const QString wide = QString::fromLatin1(text);
        return item.contains(text) ||
               item.contains(QByteArray(reinterpret_cast<const char*>(wide.utf16()), wide.size() * 2));
    };
    for (const QByteArray& item : storedItems(original, custom.container)) {
        const bool changed = item.startsWith("TPE1") || item.startsWith("TPUB") ||
                             item.mid(4, 4) == "\251ART" || mentions(item, "CATALOGNUMBER") ||
                             mentions(item, "LABEL") || mentions(item, "My Own Key");
        if (!changed) {
            EXPECT_TRUE(saved.contains(item)) << item.left(40).toStdString();
        }
    }

    QString error;
    const QList<QJsonObject> dumps = TestSupport::independentTagDump(
        {TestSupport::fixturePath(QString::fromStdString(custom.file)), copy.path()}, &error);
    ASSERT_EQ(dumps.size(), 2) << error.toStdString();
    EXPECT_EQ(dumps[0]["audio_md5"], dumps[1]["audio_md5"]);
    const QJsonObject before = dumps[0]["items"].toObject();
    const QJsonObject after = dumps[1]["items"].toObject();
    const QString artist = itemKey(custom, "TPE1", "ARTIST", "\u00a9ART");
    const QString catalogue =
        itemKey(custom, "TXXX:CATALOGNUMBER", "CATALOGNUMBER", "----:com.apple.iTunes:CATALOGNUMBER");
    const QString label = itemKey(custom, "TPUB", "LABEL", "----:com.apple.iTunes:LABEL");
    const QString own = itemKey(custom, "TXXX:My Own Key", "MY OWN KEY", "----:com.apple.iTunes:My Own Key");
    const QString barcode = itemKey(custom, "TXXX:BARCODE", "BARCODE", "----:com.apple.iTunes:BARCODE");

    // Two values as tagdump shows them; ID3v2.3 holds one text, the artist
    // frame's joined with "/".
    const auto twoValues = [&custom](const char* a, const char* b, bool artist) {
        const QString first = QString::fromUtf8(a);
        const QString second = QString::fromUtf8(b);
        if (custom.container == "VC")
            return QStringLiteral("[\"%1\", \"%2\"]").arg(first, second);
        if (custom.container == "MP4")
            return artist ? QStringLiteral("['%1', '%2']").arg(first, second)
                          : QStringLiteral("(b'%1', 1), (b'%2', 1)").arg(first, second);
        if (custom.id3v23)
            return QStringLiteral("text=['%1%3%2']").arg(first, second, artist ? u"/" : u"; ");
        return QStringLiteral("text=['%1', '%2']").arg(first, second);
    };
    EXPECT_TRUE(after[artist].toString().contains(twoValues("Ralf Hütter", "Karl Bartos", true)))
        << after[artist].toString().toStdString();
    // The TXXX frame and the free-form atom keep their own spelling of the key.
    EXPECT_TRUE(after[own].toString().contains(twoValues("One", "Two", false)))
        << after[own].toString().toStdString();
    EXPECT_TRUE(after[catalogue].toString().contains(u"XYZ-9")) << after[catalogue].toString().toStdString();
    EXPECT_TRUE(after[barcode].toString().contains(u"4001")) << barcode.toStdString();
    EXPECT_FALSE(after.contains(label));

    for (const QString& key : before.keys()) {
        if (key != artist && key != catalogue && key != label && key != own) {
            EXPECT_EQ(after[key], before[key]) << key.toStdString();
        }
    }
    EXPECT_EQ(after.size(), before.size()); // BARCODE in, LABEL out
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CTagLibCustomItems, testing::ValuesIn(customFiles()), kFileName);

// Items written back as they were read stay as stored, also those a format
// could not write anew (a free-form name with ":").
TEST(CTagLibCustomItems, ItemsGivenAsReadStayAsStored) {
    for (const char* file : {"custom.mp3", "custom-v23.mp3", "custom.m4a", "freeform.m4a", "custom.ogg"}) {
        SCOPED_TRACE(file);
        const ScopedFileCopy copy(file);
        const Items read = propertiesOf(*BridgeTest::read(copy.nativePath()));
        std::vector<CTagLibPropertyWrite> items;
        for (const auto& [key, value] : read)
            items.push_back({key.c_str(), value.c_str()});
        CTagLibTagValues values{};
        values.properties = items.data();
        values.propertyCount = static_cast<int32_t>(items.size());
        ASSERT_EQ(ctaglib_write_fields(copy.nativePath().constData(), &values, 0, nullptr, -1), CTAGLIB_OK);
        const QList<QJsonObject> dumps =
            TestSupport::independentTagDump({TestSupport::fixturePath(QString::fromUtf8(file)), copy.path()});
        ASSERT_EQ(dumps.size(), 2);
        EXPECT_EQ(dumps[1]["items"], dumps[0]["items"]);
    }
}

// A numeric field's text is written as given where the format keeps text:
// a vinyl side's track, a full date (in ID3v2.3 as year, day and time frames).
TEST(CTagLibNumberTexts, TextsAreWrittenAsGivenAndMp4RefusesWhatIsNoNumber) {
    CTagLibTagValues values{};
    values.trackText = "B2";
    values.trackTotalText = "9";
    values.yearText = "1975-03-02T10:30";
    const uint32_t fields = CTAGLIB_FIELD_TRACK | CTAGLIB_FIELD_TRACK_TOTAL | CTAGLIB_FIELD_YEAR;
    const std::vector<std::pair<const char*, std::vector<std::pair<const char*, const char*>>>> cases = {
        {"custom.mp3", {{"ID3:TRCK", "text=['B2/9']"}, {"ID3:TDRC", "text=['1975-03-02 10:30']"}}},
        {"custom-v23.mp3",
         {{"ID3:TRCK", "text=['B2/9']"},
          {"ID3:TYER", "text=['1975']"},
          {"ID3:TDAT", "text=['0203']"},
          {"ID3:TIME", "text=['1030']"}}},
        {"custom.flac",
         {{"VC:TRACKNUMBER", "[\"B2\"]"},
          {"VC:TOTALTRACKS", "[\"9\"]"},
          {"VC:DATE", "[\"1975-03-02T10:30\"]"}}},
    };
    for (const auto& [file, expected] : cases) {
        SCOPED_TRACE(file);
        const ScopedFileCopy copy(file);
        ASSERT_EQ(ctaglib_write_fields(copy.nativePath().constData(), &values, fields, nullptr, -1),
                  CTAGLIB_OK);
        const QJsonObject items = TestSupport::independentTagDump({copy.path()}).value(0)["items"].toObject();
        for (const auto& [key, text] : expected)
            EXPECT_TRUE(items[key].toString().contains(QString::fromUtf8(text))) << key;
        EXPECT_FALSE(items.contains(u"VC:TRACKTOTAL")); // the file's spelling of the total stays
        const Record record = read(copy.nativePath());
        EXPECT_EQ(textOf(record->trackText), "B2");
        EXPECT_EQ(textOf(record->yearText), "1975-03-02T10:30");
    }

    // MP4 keeps numbers only: "B2" is refused and the file left as it was; a
    // number given as text is a number; the date is text there.
    const ScopedFileCopy copy("custom.m4a");
    const QByteArray before = copy.bytes();
    EXPECT_EQ(ctaglib_write_fields(copy.nativePath().constData(), &values, fields, nullptr, -1),
              CTAGLIB_NOT_A_NUMBER);
    EXPECT_EQ(copy.bytes(), before);
    values.trackText = " 2";
    ASSERT_EQ(ctaglib_write_fields(copy.nativePath().constData(), &values, fields, nullptr, -1), CTAGLIB_OK);
    const Record record = read(copy.nativePath());
    EXPECT_EQ(record->track, 2);
    EXPECT_EQ(record->trackTotal, 9);
    EXPECT_EQ(textOf(record->yearText), "1975-03-02T10:30");
}

// A comment and lyrics are prose: their "; " does not split them.
TEST(CTagLibSeveralValues, CommentAndLyricsStayOneValue) {
    const std::vector<std::pair<const char*, std::vector<QString>>> cases = {
        {"custom.flac", {"VC:COMMENT", "VC:LYRICS"}}, {"custom.m4a", {"MP4:\u00a9cmt", "MP4:\u00a9lyr"}}};
    for (const auto& [file, keys] : cases) {
        SCOPED_TRACE(file);
        const ScopedFileCopy copy(file);
        CTagLibTagValues values{};
        values.comment = values.lyrics = "Slowly; then fast";
        ASSERT_EQ(ctaglib_write_fields(copy.nativePath().constData(), &values,
                                       CTAGLIB_FIELD_COMMENT | CTAGLIB_FIELD_LYRICS, nullptr, -1),
                  CTAGLIB_OK);
        const QJsonObject items = TestSupport::independentTagDump({copy.path()}).value(0)["items"].toObject();
        for (const QString& key : keys)
            EXPECT_TRUE(items[key].toString().contains(u"[\"Slowly; then fast\"]") ||
                        items[key].toString().contains(u"['Slowly; then fast']"))
                << items[key].toString().toStdString();
        EXPECT_STREQ(read(copy.nativePath())->lyrics, "Slowly; then fast");
    }
}

// An MP3 file's APE tag adds the items the ID3v2 tag has no item of.
TEST(CTagLibCustomItems, ApeItemsOfAnMp3FileFillWhatTheId3v2TagLacks) {
    const ScopedFileCopy copy("custom.mp3");
    {
        TagLib::MPEG::File file(copy.nativePath().constData(), false);
        TagLib::APE::Tag* ape = file.APETag(true);
        ape->addValue("CATALOGNUMBER", "APE-1");
        ape->addValue("Ape Only", "From APE");
        ape->addValue("Year", "1999"); // the date, a field
        ASSERT_TRUE(file.save(TagLib::MPEG::File::APE, TagLib::File::StripNone, TagLib::ID3v2::v4,
                              TagLib::File::DoNotDuplicate));
    }
    const Items items = propertiesOf(*read(copy.nativePath()));
    EXPECT_NE(
        std::find(items.begin(), items.end(), std::pair<std::string, std::string>("APE ONLY", "From APE")),
        items.end());
    EXPECT_NE(std::find(items.begin(), items.end(),
                        std::pair<std::string, std::string>("CATALOGNUMBER", "ABC-123")),
              items.end());
    EXPECT_EQ(textOf(read(copy.nativePath())->yearText), "1974-11-01");
}

// A key the file's tag cannot hold fails the write, which changes nothing.
TEST(CTagLibCustomItemLimits, KeysAFormatCannotHoldAreRefused) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"custom.m4a", "COMMENT:LINER"}, // TagLib cannot render a free-form name with ":"
        {"custom.m4a", "1ST KEY"},       // free-form names start with A-Z   {"custom.flac", "KEY=VALUE"},
        {"custom.ogg", "CAFÉ"},
        {"tagged.dff", "CATALOGNUMBER"}, // DSDIFF: the generic fields only
    };
    for (const auto& [file, key] : cases) {
        SCOPED_TRACE(std::string(file) + " " + key);
        const ScopedFileCopy copy(file);
        const QByteArray before = copy.bytes();
        CTagLibTagValues values{};
        values.title = "Changed";
        const CTagLibPropertyWrite item{key, "x"};
        values.properties = &item;
        values.propertyCount = 1;
        EXPECT_EQ(
            ctaglib_write_fields(copy.nativePath().constData(), &values, CTAGLIB_FIELD_TITLE, nullptr, -1),
            CTAGLIB_UNSUPPORTED_KEY);
        EXPECT_EQ(copy.bytes(), before);
    }
}

// A write that creates an ID3v2 tag makes it of the version asked for; a tag
// the file has keeps its own.
TEST(CTagLibNewId3v2Tag, ANewTagHasTheVersionAskedForAnOldOneKeepsItsOwn) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"untagged.wav", "2.3"}, {"untagged.mp3", "2.3"}, {"custom.mp3", "2.4"}};
    for (const auto& [file, version] : cases) {
        SCOPED_TRACE(file);
        const ScopedFileCopy copy(file);
        CTagLibTagValues values{};
        values.artist = "One; Two";
        values.newId3v2Version = 3;
        ASSERT_EQ(
            ctaglib_write_fields(copy.nativePath().constData(), &values, CTAGLIB_FIELD_ARTIST, nullptr, -1),
            CTAGLIB_OK);
        const QJsonObject items = TestSupport::independentTagDump({copy.path()}).value(0)["items"].toObject();
        EXPECT_EQ(items["ID3:version"].toString(), version);
        const QString artists = std::string(version) == "2.3" ? QStringLiteral("text=['One/Two']")
                                                              : QStringLiteral("text=['One', 'Two']");
        EXPECT_TRUE(items["ID3:TPE1"].toString().contains(artists))
            << items["ID3:TPE1"].toString().toStdString();
    }
}

} // namespace
