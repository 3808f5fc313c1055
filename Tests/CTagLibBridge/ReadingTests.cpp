// Reading files written by other software (the fixtures are tagged with
// mutagen) and frames crafted with TagLib that the bridge never writes itself.
#include "BridgeTestSupport.h"
#include "TagLibAccess.h"

#include <gtest/gtest.h>

#include <flacfile.h>
#include <id3v2tag.h>
#include <mp4tag.h>
#include <textidentificationframe.h>
#include <xiphcomment.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace BridgeTest;
using TestSupport::fixturePath;
using TestSupport::ScopedFileCopy;

namespace {

QByteArray fixture(const std::string& name) {
    return QFile::encodeName(fixturePath(QString::fromStdString(name)));
}

std::string fileTypeOf(const std::string& extension) {
    static const std::map<std::string, std::string> types = {
        {"mp3", "MP3"},   {"m4a", "MP4"},   {"m4b", "MP4"},     {"flac", "FLAC"},
        {"wav", "WAV"},   {"aiff", "AIFF"}, {"aif", "AIFF"},    {"ogg", "OGG"},
        {"opus", "OPUS"}, {"dsf", "DSF"},   {"dff", "Unknown"},
    };
    return types.at(extension);
}

// The values make-fixtures writes into every tagged.* file.
Tags fixtureTags() {
    Tags t;
    t.title = "Café ☕ 東京";
    t.artist = "Fixture Artist";
    t.album = "Fixture Album";
    t.albumArtist = "Fixture Album Artist";
    t.composer = "Fixture Composer";
    t.genre = "Ambient";
    t.comment = "Fixture comment";
    t.grouping = "Fixture Grouping";
    t.lyrics = "First line\nSecond line";
    t.year = "2001";
    t.track = "3";
    t.trackTotal = "12";
    t.disc = "1";
    t.discTotal = "2";
    t.bpm = "128";
    t.compilation = 1;
    return t;
}

class CTagLibTaggedFixture : public testing::TestWithParam<std::string> {};

TEST_P(CTagLibTaggedFixture, ReadsEveryFieldPropertiesAndPicture) {
    const std::string extension = GetParam();
    const Record record = read(fixture("tagged." + extension));
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->error, nullptr) << record->error;

    EXPECT_STREQ(record->fileType, fileTypeOf(extension).c_str());
    EXPECT_EQ(record->codec, record->fileType); // the same text, not a copy
    EXPECT_GT(record->sampleRate, 0);
    EXPECT_EQ(record->channels >= 1, true);
    EXPECT_GT(record->bitrate, 0);

    if (extension == "dff") {
        // DSDIFF is outside the bridge's file-class table: generic fields only,
        // although the file's ID3v2 tag holds the rest too.
        EXPECT_EQ(tagsOf(*record), genericOnly(fixtureTags()));
        EXPECT_EQ(record->artworkCount, 0);
        EXPECT_EQ(record->artwork, nullptr);
        return;
    }
    EXPECT_EQ(tagsOf(*record), fixtureTags());
    EXPECT_EQ(record->duration, extension == "dsf" ? 0 : 1) << "the DSD fixtures hold a tenth of a second";

    const std::vector<ReadPicture> pictures = picturesOf(*record);
    ASSERT_EQ(pictures.size(), 1u);
    const QByteArray red = QByteArray::fromStdString(pictures[0].data);
    EXPECT_TRUE(red.startsWith("\xFF\xD8")) << "JPEG bytes exactly as stored";
    EXPECT_EQ(pictures[0].mimeType, "image/jpeg");
    EXPECT_EQ(pictures[0].type, 3);
    EXPECT_EQ(pictures[0].description, isMp4(extension) ? std::nullopt : std::optional<std::string>("Front"));
}

INSTANTIATE_TEST_SUITE_P(AllExtensions, CTagLibTaggedFixture, testing::ValuesIn(allExtensions()),
                         [](const auto& info) { return info.param; });

TEST(CTagLibReadFixtures, UntaggedFilesReadEmptyWithTheirFileType) {
    for (const std::string& extension : allExtensions()) {
        SCOPED_TRACE(extension);
        const Record record = read(fixture("untagged." + extension));
        ASSERT_NE(record, nullptr);
        ASSERT_EQ(record->error, nullptr);
        EXPECT_STREQ(record->fileType, fileTypeOf(extension).c_str());
        EXPECT_EQ(tagsOf(*record), Tags{}) << "no value, compilation -1";
        EXPECT_EQ(record->artworkCount, 0);
    }
}

TEST(CTagLibReadFixtures, Id3v1OnlyMp3GivesTheGenericFieldsOnly) {
    const Record record = read(fixture("id3v1-only.mp3"));
    ASSERT_NE(record, nullptr);
    Tags expected;
    expected.title = "Old Title";
    expected.artist = "Old Artist";
    expected.album = "Old Album";
    expected.comment = "Old comment";
    expected.genre = "Rock";
    expected.year = "1999";
    expected.track = "7";
    EXPECT_EQ(tagsOf(*record), expected);
    EXPECT_STREQ(record->fileType, "MP3");
}

TEST(CTagLibReadFixtures, WavWithoutId3v2ChunkGivesInfoFieldsOnly) {
    const Record record = read(fixture("info-only.wav"));
    ASSERT_NE(record, nullptr);
    Tags expected;
    expected.title = "Info Title";
    expected.artist = "Info Artist";
    EXPECT_EQ(tagsOf(*record), expected);
    EXPECT_EQ(record->artworkCount, 0);
}

TEST(CTagLibReadFixtures, Mp4WithoutAlbumArtistReportsTheArtistForBoth) {
    const Record record = read(fixture("artist-only.m4a"));
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record->artist, "Solo Artist");
    EXPECT_STREQ(record->albumArtist, "Solo Artist");
}

TEST(CTagLibReadFixtures, Mp4CoverMimeTypesComeFromTheCoverFormat) {
    const Record record = read(fixture("covers.m4a"));
    ASSERT_NE(record, nullptr);
    const std::vector<ReadPicture> pictures = picturesOf(*record);
    ASSERT_EQ(pictures.size(), 4u);
    // Stored as GIF, BMP, without a type, and PNG.
    EXPECT_EQ(pictures[0].mimeType, "image/gif");
    EXPECT_EQ(pictures[1].mimeType, "image/bmp");
    EXPECT_EQ(pictures[2].mimeType, "image/jpeg");
    EXPECT_EQ(pictures[3].mimeType, "image/png");
    for (const ReadPicture& picture : pictures) {
        EXPECT_EQ(picture.type, 3);
        EXPECT_EQ(picture.description, std::nullopt);
    }
}

TEST(CTagLibReadFixtures, SeveralPicturesKeepOrderTypesAndDescriptions) {
    const Record flac = read(fixture("pictures.flac"));
    ASSERT_NE(flac, nullptr);
    const std::vector<ReadPicture> fromFlac = picturesOf(*flac);
    // The native picture blocks only; the picture inside the Vorbis comment is not read.
    ASSERT_EQ(fromFlac.size(), 3u);
    EXPECT_EQ(fromFlac[0].type, 3);
    EXPECT_EQ(fromFlac[0].description, "Front");
    EXPECT_EQ(fromFlac[1].type, 4);
    EXPECT_EQ(fromFlac[1].mimeType, "image/png");
    EXPECT_EQ(fromFlac[1].description, "Back");
    EXPECT_EQ(fromFlac[2].type, 8);
    EXPECT_EQ(fromFlac[2].description, std::nullopt) << "an empty description is null";

    const Record mp3 = read(fixture("pictures.mp3"));
    ASSERT_NE(mp3, nullptr);
    const std::vector<ReadPicture> fromMp3 = picturesOf(*mp3);
    ASSERT_EQ(fromMp3.size(), 3u);
    std::map<int, std::string> descriptions;
    for (const ReadPicture& picture : fromMp3)
        descriptions[picture.type] = picture.description.value_or("");
    EXPECT_EQ(descriptions, (std::map<int, std::string>{{3, "Front"}, {4, "Back"}, {5, "Leaflet"}}));
}

TEST(CTagLibReadErrors, FilesTagLibCannotOpenGiveOnlyTheReason) {
    TestSupport::ScratchFolder folder;
    struct Case {
        QByteArray path;
        int code;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {fixture("corrupt.flac"), CTAGLIB_FAILED, "The file is damaged or is not a FLAC file"},
        {fixture("empty.mp3"), CTAGLIB_EMPTY_FILE, "The file is empty"},
        {fixture("not-audio.mp3"), CTAGLIB_FAILED, "No MPEG audio was found in the file"},
        {fixture("rf64.wav"), CTAGLIB_UNSUPPORTED_VARIANT, "RF64 WAV files are not supported"},
        {fixture("two-streams.ogg"), CTAGLIB_UNSUPPORTED_VARIANT,
         "Ogg files with several streams are not supported"},
        {QFile::encodeName(folder.filePath("missing.mp3")), CTAGLIB_MISSING, "The file does not exist"},
        {QFile::encodeName(folder.path()), CTAGLIB_FAILED, "Could not open file"}, // a directory
        {QFile::encodeName(folder.write("text.wav", QByteArray(500, 'x'))), CTAGLIB_FAILED,
         "The file is damaged or is not a WAV file"},
        {QFile::encodeName(folder.write("text.aiff", QByteArray(500, 'x'))), CTAGLIB_FAILED,
         "The file is damaged or is not an AIFF file"},
        {QFile::encodeName(folder.write("empty.flac")), CTAGLIB_EMPTY_FILE, "The file is empty"},
        {QFile::encodeName(folder.write("empty.m4a")), CTAGLIB_EMPTY_FILE, "The file is empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.constData());
        const Record record = read(c.path);
        ASSERT_NE(record, nullptr);
        EXPECT_STREQ(record->error, c.reason);
        EXPECT_EQ(record->errorCode, c.code);
        EXPECT_EQ(record->fileType, nullptr);
        EXPECT_EQ(record->codec, nullptr);
        EXPECT_EQ(record->title, nullptr);
        EXPECT_EQ(record->compilation, 0) << "a failed record is left zero-filled";
        EXPECT_EQ(record->artworkCount, 0);
    }
    EXPECT_EQ(ctaglib_read(nullptr), nullptr);
    ctaglib_free_result(nullptr); // ignored
}

// ---- Tags TagLib reads only in part, compared with another reader ----

// The first text of an item of Tests/Support/tagdump, which prints ID3 frames
// as mutagen's representation and Vorbis comments as a JSON list.
std::optional<std::string> mutagenText(const QJsonObject& items, const QString& key) {
    if (!items.contains(key))
        return std::nullopt;
    const QString dumped = items[key].toString();
    if (key.startsWith(u"VC:"))
        return QJsonDocument::fromJson(dumped.toUtf8()).array().first().toString().toStdString();
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("text=\\['(.*?)'\\]")).match(dumped);
    return match.hasMatch() ? std::optional(match.captured(1).toStdString()) : std::nullopt;
}

// The number a text starts with, as text: "3" of "3/12".
std::optional<std::string> leadingNumber(const std::optional<std::string>& text) {
    return text ? std::optional(std::to_string(std::stoi(*text))) : std::nullopt;
}

// The fields another reader shows, as far as these fixtures hold them.
Tags asMutagenReads(const QJsonObject& items) {
    const bool id3 = items.contains(QStringLiteral("ID3:version"));
    const auto text = [&](const char* frame, const char* key) {
        return mutagenText(items,
                           QString::fromLatin1(id3 ? "ID3:" : "VC:") + QLatin1String(id3 ? frame : key));
    };
    Tags t;
    t.title = text("TIT2", "TITLE");
    t.artist = text("TPE1", "ARTIST");
    t.album = text("TALB", "ALBUM");
    t.albumArtist = text("TPE2", "ALBUMARTIST");
    t.composer = text("TCOM", "COMPOSER");
    t.genre = text("TCON", "GENRE");
    t.comment = text("COMM::eng", "COMMENT");
    t.year = leadingNumber(text("TYER", "DATE"));
    const std::optional<std::string> track = text("TRCK", "TRACKNUMBER");
    t.track = leadingNumber(track);
    if (track && track->find('/') != std::string::npos)
        t.trackTotal = track->substr(track->find('/') + 1);
    return t;
}

TEST(CTagLibReadInPart, FieldsAroundABrokenFrameOrBlockReadAsAnotherReaderShowsThem) {
    const QStringList names = {QStringLiteral("zero-size-frame.mp3"), QStringLiteral("wmp9-popm.mp3"),
                               QStringLiteral("bad-comment-length.flac")};
    QStringList paths;
    for (const QString& name : names)
        paths.append(fixturePath(name));
    QString error;
    const QList<QJsonObject> dumps = TestSupport::independentTagDump(paths, &error);
    ASSERT_EQ(dumps.size(), names.size()) << error.toStdString();
    for (qsizetype i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i].toStdString());
        const Record record = read(QFile::encodeName(paths[i]));
        ASSERT_NE(record, nullptr);
        ASSERT_EQ(record->error, nullptr);
        const Tags expected = asMutagenReads(dumps[i]["items"].toObject());
        EXPECT_TRUE(expected.title && expected.genre) << "the fixture holds fields on both sides";
        EXPECT_EQ(tagsOf(*record), expected);
        EXPECT_EQ(record->readInPart, 1);
    }
    for (const char* whole :
         {"rich.mp3", "rich-v24.mp3", "rich.flac", "rich.wav", "tagged.aiff", "tagged.dsf"})
        EXPECT_EQ(read(fixture(whole))->readInPart, 0) << whole;
}

// Read by a process without root's privileges, who could read anything.
TEST(CTagLibReadErrors, AFileWithoutReadPermissionSaysSo) {
    const ScopedFileCopy copy("tagged.mp3");
    ASSERT_EQ(chmod(copy.nativePath().constData(), 0), 0);
    chmod(QFile::encodeName(QFileInfo(copy.path()).absolutePath()).constData(), 0755);
    const auto reason = [&] {
        const Record record = read(copy.nativePath());
        return record && record->errorCode == CTAGLIB_NO_PERMISSION &&
               std::string(record->error) == "No permission to read the file";
    };
    if (geteuid() != 0) {
        EXPECT_TRUE(reason());
        return;
    }
    const pid_t child = fork();
    if (child == 0)
        _exit(setgid(65534) != 0 || setuid(65534) != 0 ? 2 : reason() ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(CTagLibReadErrors, UnicodePathsWork) {
    const ScopedFileCopy copy("tagged.flac", QStringLiteral("Ünïcode 東京 🎵.flac"));
    const Record record = read(copy.nativePath());
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->error, nullptr);
    EXPECT_STREQ(record->title, "Café ☕ 東京");
}

// ---- ID3v2 frames crafted with TagLib ----

struct FractionCase {
    std::string text;
    std::optional<int> number;
    std::optional<int> total;
};

TEST(CTagLibReadId3v2, TrackAndDiscFollowTheFractionRule) {
    const std::vector<FractionCase> cases = {
        {"3/12", 3, 12}, {"3", 3, {}},        {"/12", {}, 12},   {"0/0", {}, {}},   {"7/0", 7, {}},
        {"abc", {}, {}}, {" 4/ 9", 4, 9},     {"+5/-3", 5, {}},  {"2 of 9", 2, {}}, {"99999999999/5", {}, 5},
        {"1/2/3", 1, 2}, {"\t08/010", 8, 10}, {"-4/10", {}, 10},
    };
    for (const FractionCase& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\"");
        const ScopedFileCopy copy("untagged.mp3");
        editId3v2(copy.nativePath(), [&](TagLib::ID3v2::Tag& tag) {
            setRawTextFrame(tag, "TRCK", c.text);
            setRawTextFrame(tag, "TPOS", c.text);
        });
        const Record record = read(copy.nativePath());
        ASSERT_NE(record, nullptr);
        const auto number = [](int32_t value, int32_t present) {
            return present ? std::optional<int>(value) : std::nullopt;
        };
        EXPECT_EQ(number(record->track, record->hasTrack), c.number);
        EXPECT_EQ(number(record->trackTotal, record->hasTrackTotal), c.total);
        EXPECT_EQ(number(record->disc, record->hasDisc), c.number);
        EXPECT_EQ(number(record->discTotal, record->hasDiscTotal), c.total);
    }
}

TEST(CTagLibReadId3v2, CompilationAndBpmAcceptOnlyWellFormedValues) {
    const std::vector<std::tuple<std::string, int>> compilations = {
        {"1", 1}, {"0", 0}, {"true", 0}, {"01", 0}};
    for (const auto& [text, expected] : compilations) {
        SCOPED_TRACE(text);
        const ScopedFileCopy copy("untagged.mp3");
        const std::string value = text; // a structured binding cannot be captured under C++20 clang
        editId3v2(copy.nativePath(), [&](TagLib::ID3v2::Tag& tag) { setRawTextFrame(tag, "TCMP", value); });
        EXPECT_EQ(read(copy.nativePath())->compilation, expected);
    }
    const std::vector<std::tuple<std::string, std::optional<int>>> bpms = {
        {"128", 128}, {"0", {}}, {"-3", {}}, {"120.5", {}}, {"fast", {}}, {" 90", 90}};
    for (const auto& [text, expected] : bpms) {
        SCOPED_TRACE(text);
        const ScopedFileCopy copy("untagged.mp3");
        const std::string value = text;
        editId3v2(copy.nativePath(), [&](TagLib::ID3v2::Tag& tag) { setRawTextFrame(tag, "TBPM", value); });
        const Record record = read(copy.nativePath());
        EXPECT_EQ(record->hasBpm ? std::optional<int>(record->bpm) : std::nullopt, expected);
    }
}

TEST(CTagLibReadId3v2, Utf8StoredUnderALatin1LabelIsRepaired) {
    const ScopedFileCopy copy("untagged.mp3");
    editId3v2(copy.nativePath(), [](TagLib::ID3v2::Tag& tag) {
        setLatin1Frame(tag, "TIT2", "Caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC"); // UTF-8 bytes of "Café 東京"
        setLatin1Frame(tag, "TPE1", "Caf\xE9");                              // a genuine Latin-1 "Café"
        setLatin1Frame(tag, "TALB", "Plain ASCII");
        setLatin1Frame(tag, "TPE2", "\xC3(");        // not valid UTF-8: taken as Latin-1
        setLatin1Frame(tag, "TCOM", "\xC0\xAF");     // an overlong "/": not valid UTF-8
        setLatin1Frame(tag, "TIT1", "\xED\xA0\x80"); // an encoded surrogate: not valid UTF-8
    });
    const Record record = read(copy.nativePath());
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record->title, "Café 東京");
    EXPECT_STREQ(record->artist, "Café");
    EXPECT_STREQ(record->album, "Plain ASCII");
    EXPECT_STREQ(record->albumArtist, "\xC3\x83(");
    EXPECT_STREQ(record->composer, "\xC3\x80\xC2\xAF");
    EXPECT_STREQ(record->grouping, "\xC3\xAD\xC2\xA0\xC2\x80");
}

TEST(CTagLibReadId3v2, BrokenUtf16KeepsTheRestOfTheText) {
    const ScopedFileCopy copy("untagged.mp3");
    editId3v2(copy.nativePath(), [](TagLib::ID3v2::Tag& tag) {
        auto* frame = new TagLib::ID3v2::TextIdentificationFrame("TIT2", TagLib::String::UTF16);
        // An unpaired high surrogate between two letters.
        frame->setText(TagLib::String(std::wstring{L'A', static_cast<wchar_t>(0xD800), L'B'}));
        tag.addFrame(frame);
    });
    const Record record = read(copy.nativePath());
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record->title, "A\xEF\xBF\xBD"
                                "B"); // U+FFFD in place of the broken unit
}

TEST(CTagLibReadId3v2, CommentIsTheFrameWithoutDescription) {
    {
        // Described comments alone (as rippers leave them) are no comment.
        const Record record = read(fixture("itunes-comments.mp3"));
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->comment, nullptr);
        EXPECT_STREQ(record->title, "Ripped");
    }
    const ScopedFileCopy copy("untagged.mp3");
    editId3v2(copy.nativePath(), [](TagLib::ID3v2::Tag& tag) {
        addCommentFrame(tag, "iTunNORM", " 0000021 00000FF");
        addCommentFrame(tag, "", "The real comment", "deu");
    });
    const Record record = read(copy.nativePath());
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record->comment, "The real comment");
}

// ---- Vorbis comments and MP4 items crafted with TagLib ----

TEST(CTagLibReadXiph, NumberFieldsAndFlags) {
    const ScopedFileCopy copy("untagged.flac");
    editFlac(copy.nativePath(), [](TagLib::FLAC::File& file) {
        TagLib::Ogg::XiphComment* comment = file.xiphComment(true);
        comment->addField("TRACKNUMBER", "3/12");
        comment->addField("DISCNUMBER", "1/2");
        comment->addField("DISCTOTAL", "5"); // a separate total wins over the fraction's
        comment->addField("BPM", "120.5");
        comment->addField("COMPILATION", "true");
    });
    const Record record = read(copy.nativePath());
    ASSERT_NE(record, nullptr);
    const Tags tags = tagsOf(*record);
    EXPECT_EQ(tags.track, "3");
    EXPECT_EQ(tags.trackTotal, "12");
    EXPECT_EQ(tags.disc, "1");
    EXPECT_EQ(tags.discTotal, "5");
    EXPECT_EQ(record->hasBpm, 0);
    EXPECT_EQ(tags.compilation, 0);
}

TEST(CTagLibReadMp4, PairsAndFlags) {
    const ScopedFileCopy copy("untagged.m4a");
    editMp4(copy.nativePath(), [](TagLib::MP4::Tag& tag) {
        tag.setItem("trkn", TagLib::MP4::Item(0, 12));
        tag.setItem("disk", TagLib::MP4::Item(2, 0));
        tag.setItem("cpil", TagLib::MP4::Item(false));
        tag.setItem("tmpo", TagLib::MP4::Item(0));
        tag.setItem("aART", TagLib::MP4::Item(TagLib::StringList("Band")));
        tag.setItem("\251ART", TagLib::MP4::Item(TagLib::StringList("Singer")));
    });
    const Tags tags = tagsOf(*read(copy.nativePath()));
    EXPECT_EQ(tags.track, std::nullopt);
    EXPECT_EQ(tags.trackTotal, "12");
    EXPECT_EQ(tags.disc, "2");
    EXPECT_EQ(tags.discTotal, std::nullopt);
    EXPECT_EQ(tags.compilation, 0);
    EXPECT_EQ(tags.bpm, std::nullopt);
    EXPECT_EQ(tags.artist, "Singer");
    EXPECT_EQ(tags.albumArtist, "Band") << "no fallback when aART exists";
}

} // namespace
