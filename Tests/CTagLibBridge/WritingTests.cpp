// Writing through the C interface and reading back, per format; what exactly
// lands in the file is checked with TagLib directly where it matters.
#include "BridgeTestSupport.h"
#include "TagLibAccess.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <id3v2tag.h>
#include <mp4coverart.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace BridgeTest;
using TestSupport::ScopedFileCopy;

namespace {

QString untagged(const std::string& extension) {
    return QString::fromStdString("untagged." + extension);
}
QString tagged(const std::string& extension) {
    return QString::fromStdString("tagged." + extension);
}

// What a format keeps of a written picture.
ReadPicture expectedPicture(const std::string& extension, const NewPicture& written) {
    ReadPicture picture = asRead(written);
    if (isMp4(extension)) {
        const bool png = written.mimeType && written.mimeType->find("png") != std::string::npos;
        picture.mimeType = png ? "image/png" : "image/jpeg";
        picture.description = std::nullopt;
        picture.type = 3;
    } else if (!picture.mimeType) {
        picture.mimeType = "image/jpeg";
    }
    return picture;
}

std::vector<ReadPicture> expectedPictures(const std::string& extension,
                                          const std::vector<NewPicture>& written) {
    std::vector<ReadPicture> pictures;
    for (const NewPicture& picture : written)
        pictures.push_back(expectedPicture(extension, picture));
    return pictures;
}

class CTagLibEveryFormat : public testing::TestWithParam<std::string> {};
class CTagLibExtendedFormat : public testing::TestWithParam<std::string> {};

const auto kName = [](const auto& info) { return info.param; };

// ---- Round trips ----

// The untagged fixtures have no tag at all (a FLAC file not even an empty
// Vorbis comment), so the first write creates every tag.
TEST_P(CTagLibExtendedFormat, EveryFieldAndPictureRoundTrips) {
    const std::string extension = GetParam();
    const ScopedFileCopy copy(untagged(extension));
    const QByteArray before = copy.bytes();
    const Tags tags = fullTags();
    const std::vector<NewPicture> pictures = twoPictures();

    ASSERT_EQ(write(copy.nativePath(), tags, pictures), 0);
    EXPECT_NE(copy.bytes(), before);

    const Record record = read(copy.nativePath());
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->error, nullptr);
    EXPECT_EQ(tagsOf(*record), tags);
    EXPECT_EQ(picturesOf(*record), expectedPictures(extension, pictures));
    EXPECT_GT(record->sampleRate, 0) << "the audio is still readable";

    // Writing what was read changes nothing that reads back.
    ASSERT_EQ(write(copy.nativePath(), tagsOf(*record), pictures), 0);
    const Record again = read(copy.nativePath());
    EXPECT_EQ(tagsOf(*again), tags);
    EXPECT_EQ(picturesOf(*again), picturesOf(*record));
}

TEST_P(CTagLibExtendedFormat, AbsentAndEmptyBothRemoveEveryField) {
    const std::string extension = GetParam();
    for (const bool emptyText : {false, true}) {
        SCOPED_TRACE(emptyText ? "empty text" : "absent");
        const ScopedFileCopy copy(tagged(extension));
        Tags none;
        if (emptyText) {
            for (auto* field : {&none.title, &none.artist, &none.album, &none.albumArtist, &none.composer,
                                &none.genre, &none.comment, &none.grouping, &none.lyrics})
                *field = "";
        }
        ASSERT_EQ(write(copy.nativePath(), none), 0);
        const Record record = read(copy.nativePath());
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(tagsOf(*record), Tags{});
        EXPECT_EQ(record->artworkCount, 1) << "pictures untouched with artworkCount -1";
    }
}

TEST_P(CTagLibExtendedFormat, NumbersTravelAsValueAndFlag) {
    const std::string extension = GetParam();
    const ScopedFileCopy copy(untagged(extension));
    Tags tags;
    tags.year = "2024";
    tags.trackTotal = "12"; // a total without a number
    tags.disc = "4";        // a number without a total
    tags.bpm = "1";
    tags.compilation = 0;
    ASSERT_EQ(write(copy.nativePath(), tags), 0);
    EXPECT_EQ(tagsOf(*read(copy.nativePath())), tags);

    tags.compilation = 7; // any non-zero value is true
    ASSERT_EQ(write(copy.nativePath(), tags), 0);
    EXPECT_EQ(read(copy.nativePath())->compilation, 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, CTagLibExtendedFormat, testing::ValuesIn(extendedExtensions()), kName);

TEST(CTagLibWriteDsdiff, OnlyGenericFieldsAreWritten) {
    const ScopedFileCopy copy("untagged.dff");
    const Tags tags = fullTags();
    ASSERT_EQ(write(copy.nativePath(), tags, twoPictures()), 0);
    const Record record = read(copy.nativePath());
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record->fileType, "Unknown");
    EXPECT_EQ(tagsOf(*record), genericOnly(tags));
    EXPECT_EQ(record->artworkCount, 0);
}

TEST(CTagLibWriteText, InvalidUtf8IsRepairedNotDropped) {
    const ScopedFileCopy copy("untagged.flac");
    Tags tags;
    tags.title = "Bad \xFF byte";
    tags.artist = "Cut \xE6\x9D"; // a truncated sequence at the end
    ASSERT_EQ(write(copy.nativePath(), tags), 0);
    const Record record = read(copy.nativePath());
    EXPECT_STREQ(record->title, "Bad \xEF\xBF\xBD byte");
    EXPECT_STREQ(record->artist, "Cut \xEF\xBF\xBD\xEF\xBF\xBD");
}

// ---- ID3v2 specifics ----

TEST(CTagLibWriteId3v2, CommentIsOneFrameWithoutDescriptionInEnglish) {
    const ScopedFileCopy copy("untagged.mp3");
    editId3v2(copy.nativePath(), [](TagLib::ID3v2::Tag& tag) {
        addCommentFrame(tag, "", "old one", "deu");
        addCommentFrame(tag, "", "old two", "eng");
    });
    Tags tags;
    tags.comment = "New comment";
    ASSERT_EQ(write(copy.nativePath(), tags), 0);
    EXPECT_EQ(commentFrames(copy.nativePath()), (std::vector<CommentFrame>{{"", "eng", "New comment"}}));
    EXPECT_STREQ(read(copy.nativePath())->comment, "New comment");
}

TEST(CTagLibWriteId3v2, DescribedCommentsAreNeverTouched) {
    const ScopedFileCopy copy("itunes-comments.mp3");
    const std::vector<CommentFrame> described = commentFrames(copy.nativePath());
    ASSERT_EQ(described.size(), 2u);

    // A save of what was read (title only) adds no comment ...
    const Record original = read(copy.nativePath());
    ASSERT_EQ(write(copy.nativePath(), tagsOf(*original)), 0);
    EXPECT_EQ(commentFrames(copy.nativePath()), described);

    // ... setting one adds the plain frame beside them ...
    Tags tags = tagsOf(*original);
    tags.comment = "Mine";
    ASSERT_EQ(write(copy.nativePath(), tags), 0);
    std::vector<CommentFrame> expected = described;
    expected.push_back({"", "eng", "Mine"});
    EXPECT_EQ(commentFrames(copy.nativePath()), expected);
    EXPECT_STREQ(read(copy.nativePath())->comment, "Mine");

    // ... and clearing it removes only that frame.
    tags.comment = std::nullopt;
    ASSERT_EQ(write(copy.nativePath(), tags), 0);
    EXPECT_EQ(commentFrames(copy.nativePath()), described);
}

TEST(CTagLibWriteId3v2, DescribedCommentsSurviveInEveryId3v2Format) {
    for (const std::string extension : {"wav", "aiff", "dsf"}) {
        SCOPED_TRACE(extension);
        const ScopedFileCopy copy(tagged(extension));
        editId3v2(copy.nativePath(),
                  [](TagLib::ID3v2::Tag& tag) { addCommentFrame(tag, "iTunSMPB", "gapless"); });
        ASSERT_EQ(write(copy.nativePath(), Tags{}), 0);
        EXPECT_EQ(commentFrames(copy.nativePath()),
                  (std::vector<CommentFrame>{{"iTunSMPB", "eng", "gapless"}}));
        EXPECT_EQ(read(copy.nativePath())->comment, nullptr);
    }
}

TEST(CTagLibWriteId3v2, CompilationFalseIsAFrameAbsentIsNone) {
    const ScopedFileCopy copy("untagged.mp3");
    Tags tags;
    tags.compilation = 0;
    ASSERT_EQ(write(copy.nativePath(), tags), 0);
    EXPECT_EQ(id3v2Texts(copy.nativePath(), "TCMP"), std::vector<std::string>{"0"});
    EXPECT_EQ(read(copy.nativePath())->compilation, 0);

    tags.compilation = -1;
    ASSERT_EQ(write(copy.nativePath(), tags), 0);
    EXPECT_EQ(id3v2FrameCount(copy.nativePath(), "TCMP"), 0);
    EXPECT_EQ(read(copy.nativePath())->compilation, -1);
}

TEST(CTagLibWriteId3v2, TrackTotalWithoutNumberIsWrittenAsZeroSlashTotal) {
    // id3v1-only.mp3 also has an ID3v1 track (7): saving must not copy it
    // back over the "0/12" that was written.
    for (const QString& fixture : {QStringLiteral("untagged.mp3"), QStringLiteral("id3v1-only.mp3")}) {
        SCOPED_TRACE(fixture.toStdString());
        const ScopedFileCopy copy(fixture);
        Tags tags;
        tags.trackTotal = "12";
        tags.disc = "2";
        ASSERT_EQ(write(copy.nativePath(), tags), 0);
        EXPECT_EQ(id3v2Texts(copy.nativePath(), "TRCK"), std::vector<std::string>{"0/12"});
        EXPECT_EQ(id3v2Texts(copy.nativePath(), "TPOS"), std::vector<std::string>{"2"});
        EXPECT_EQ(tagsOf(*read(copy.nativePath())), tags);
    }
}

// ---- MP4 specifics ----

TEST(CTagLibWriteMp4, TrackTotalWithoutNumberIsAZeroPair) {
    const ScopedFileCopy copy("untagged.m4a");
    Tags tags;
    tags.trackTotal = "12";
    tags.disc = "3";
    ASSERT_EQ(write(copy.nativePath(), tags), 0);
    EXPECT_EQ(mp4IntPair(copy.nativePath(), "trkn"), std::make_pair(0, 12));
    EXPECT_EQ(mp4IntPair(copy.nativePath(), "disk"), std::make_pair(3, 0));
    EXPECT_EQ(tagsOf(*read(copy.nativePath())), tags);
}

TEST(CTagLibWriteMp4, AlbumArtistReadFromTheArtistIsSavedAsAlbumArtist) {
    const ScopedFileCopy copy("artist-only.m4a");
    ASSERT_FALSE(mp4HasItem(copy.nativePath(), "aART"));
    const Record record = read(copy.nativePath());
    ASSERT_EQ(write(copy.nativePath(), tagsOf(*record)), 0);
    EXPECT_TRUE(mp4HasItem(copy.nativePath(), "aART"));
    EXPECT_STREQ(read(copy.nativePath())->albumArtist, "Solo Artist");
}

TEST(CTagLibWriteMp4, CoverArtIsTypedPngOnlyForPngMimeTypes) {
    const ScopedFileCopy copy("untagged.m4a");
    const std::string bytes = "picture bytes";
    std::vector<NewPicture> pictures;
    for (const std::optional<std::string>& mimeType : std::vector<std::optional<std::string>>{
             "image/png", "image/bmp", std::nullopt, "IMAGE/PNG", "application/octet-stream", "image/x-png"})
        pictures.push_back({bytes, mimeType, 3, std::nullopt});
    ASSERT_EQ(write(copy.nativePath(), Tags{}, pictures), 0);
    const int png = TagLib::MP4::CoverArt::PNG;
    const int jpeg = TagLib::MP4::CoverArt::JPEG;
    EXPECT_EQ(mp4CoverFormats(copy.nativePath()), (std::vector<int>{png, jpeg, jpeg, jpeg, jpeg, png}));
}

// ---- Pictures in every format ----

TEST_P(CTagLibExtendedFormat, ArtworkCountLeavesRemovesOrReplaces) {
    const std::string extension = GetParam();
    const ScopedFileCopy copy(untagged(extension));
    const std::vector<NewPicture> two = twoPictures();
    ASSERT_EQ(write(copy.nativePath(), Tags{}, two), 0);

    // -1: untouched, while the tags change.
    Tags tags;
    tags.title = "Changed";
    ASSERT_EQ(write(copy.nativePath(), tags), 0);
    const Record kept = read(copy.nativePath());
    EXPECT_EQ(picturesOf(*kept), expectedPictures(extension, two));
    EXPECT_STREQ(kept->title, "Changed");

    // n: replaced, in the given order.
    const std::vector<NewPicture> replacement = {{"third", "image/png", 6, "Media"}, two[0]};
    ASSERT_EQ(write(copy.nativePath(), tags, replacement), 0);
    EXPECT_EQ(picturesOf(*read(copy.nativePath())), expectedPictures(extension, replacement));

    // 0: all removed.
    ASSERT_EQ(write(copy.nativePath(), tags, std::vector<NewPicture>{}), 0);
    EXPECT_EQ(read(copy.nativePath())->artworkCount, 0);
    if (isMp4(extension)) {
        EXPECT_FALSE(mp4HasItem(copy.nativePath(), "covr"));
    }
}

TEST_P(CTagLibExtendedFormat, UnusablePicturesAreSkipped) {
    const std::string extension = GetParam();
    const ScopedFileCopy copy(untagged(extension));
    const NewPicture good = {"good", std::nullopt, 99, "Odd type"}; // no MIME type, an unknown type code
    std::vector<CTagLibArtworkWrite> artwork = {
        {nullptr, 10, "image/png", 3, nullptr},                              // no data
        {reinterpret_cast<const uint8_t*>("x"), 0, "image/png", 3, nullptr}, // empty
        {reinterpret_cast<const uint8_t*>(good.data.data()), 4, nullptr, 99, "Odd type"},
    };
    ASSERT_EQ(ctaglib_write(copy.nativePath().constData(), "", "", "", "", "", "", "", "", "", 0, 0, 0, 0, 0,
                            0, 0, 0, 0, 0, 0, 0, -1, artwork.data(), 3),
              0);
    ReadPicture expected = expectedPicture(extension, good);
    if (!isMp4(extension))
        expected.type = 0; // codes beyond the ID3v2 list are stored as "other"
    EXPECT_EQ(picturesOf(*read(copy.nativePath())), std::vector<ReadPicture>{expected});
}

// Other taggers list copies in the comment as covers of their own, and a cover
// removed elsewhere would come back from them.
TEST(CTagLibWritePictures, FlacPicturesAreBlocksOnlyAndCopiesInTheCommentGoWithThem) {
    const ScopedFileCopy copy("pictures.flac"); // three blocks, one copy in the comment
    ASSERT_EQ(flacPictureCounts(copy.nativePath()).inComment, 1);
    Tags title;
    title.title = "Only the title";
    ASSERT_EQ(write(copy.nativePath(), title, std::nullopt, CTAGLIB_FIELD_TITLE), 0);
    EXPECT_EQ(flacPictureCounts(copy.nativePath()).inComment, 1) << "pictures not written: left alone";

    ASSERT_EQ(write(copy.nativePath(), Tags{}, twoPictures()), 0);
    EXPECT_EQ(flacPictureCounts(copy.nativePath()).native, 2);
    EXPECT_EQ(flacPictureCounts(copy.nativePath()).inComment, 0);
    EXPECT_EQ(read(copy.nativePath())->artworkCount, 2);
}

TEST(CTagLibWritePictures, LeavingPicturesKeepsBothFlacPlacesAsTheyAre) {
    const ScopedFileCopy copy("pictures.flac"); // 3 blocks, 1 picture in the comment
    const Record before = read(copy.nativePath());
    ASSERT_EQ(write(copy.nativePath(), tagsOf(*before)), 0);
    EXPECT_EQ(flacPictureCounts(copy.nativePath()).native, 3);
    EXPECT_EQ(flacPictureCounts(copy.nativePath()).inComment, 1);
    EXPECT_EQ(picturesOf(*read(copy.nativePath())), picturesOf(*before));
}

// ---- Failures ----

TEST(CTagLibWriteErrors, FilesThatCannotBeOpenedAreLeftAloneWithTheReason) {
    TestSupport::ScratchFolder folder;
    const std::vector<std::pair<QString, int>> fixtures = {
        {QStringLiteral("empty.mp3"), CTAGLIB_EMPTY_FILE},
        {QStringLiteral("not-audio.mp3"), CTAGLIB_FAILED},
        {QStringLiteral("corrupt.flac"), CTAGLIB_FAILED},
        {QStringLiteral("rf64.wav"), CTAGLIB_UNSUPPORTED_VARIANT},
        {QStringLiteral("two-streams.ogg"), CTAGLIB_UNSUPPORTED_VARIANT},
    };
    for (const auto& [fixture, code] : fixtures) {
        SCOPED_TRACE(fixture.toStdString());
        const ScopedFileCopy copy(fixture);
        const QByteArray before = copy.bytes();
        EXPECT_EQ(write(copy.nativePath(), fullTags(), twoPictures()), code);
        EXPECT_EQ(copy.bytes(), before);
    }
    const QByteArray text(300, 't');
    for (const QString& name : {QStringLiteral("text.wav"), QStringLiteral("text.aif")}) {
        const QString path = folder.write(name, text);
        EXPECT_EQ(write(QFile::encodeName(path), fullTags()), CTAGLIB_FAILED) << name.toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), text);
    }
    EXPECT_EQ(write(QFile::encodeName(folder.filePath("missing.mp3")), fullTags()), CTAGLIB_MISSING);
    EXPECT_FALSE(QFile::exists(folder.filePath("missing.mp3")));
    EXPECT_EQ(ctaglib_write(nullptr, "", "", "", "", "", "", "", "", "", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            -1, nullptr, -1),
              CTAGLIB_FAILED);
}

// MP4 keeps these numbers in 16 bits: a larger one would be saved cut short.
TEST(CTagLibWriteErrors, Mp4NumbersAbove65535AreRefusedAndTheFileIsUntouched) {
    const ScopedFileCopy copy("tagged.m4a");
    const QByteArray before = copy.bytes();
    for (uint32_t field : {CTAGLIB_FIELD_TRACK, CTAGLIB_FIELD_TRACK_TOTAL, CTAGLIB_FIELD_DISC,
                           CTAGLIB_FIELD_DISC_TOTAL, CTAGLIB_FIELD_BPM}) {
        Tags tags;
        tags.track = tags.trackTotal = tags.disc = tags.discTotal = tags.bpm = "65536";
        EXPECT_EQ(write(copy.nativePath(), tags, {}, field), CTAGLIB_VALUE_TOO_LARGE) << field;
    }
    EXPECT_EQ(copy.bytes(), before);
    Tags largest;
    largest.track = "65535";
    ASSERT_EQ(write(copy.nativePath(), largest, {}, CTAGLIB_FIELD_TRACK), CTAGLIB_OK);
    EXPECT_EQ(read(copy.nativePath())->track, 65535); // the record's own number
}

// A read-only mount: everything on it reads, nothing is written.
TEST(CTagLibWriteErrors, FilesOnAReadOnlyFileSystemSayWhy) {
    TestSupport::SmallFileSystem fileSystem("1M");
    if (!fileSystem.mounted())
        GTEST_SKIP() << fileSystem.skipReason().toStdString();
    const QString path = fileSystem.filePath(QStringLiteral("tagged.mp3"));
    ASSERT_TRUE(QFile::copy(TestSupport::fixturePath(QStringLiteral("tagged.mp3")), path));
    const QByteArray mountPoint = QFile::encodeName(fileSystem.path());
    ASSERT_EQ(::mount(nullptr, mountPoint.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_EQ(write(QFile::encodeName(path), fullTags()), CTAGLIB_READ_ONLY_FILE_SYSTEM);
    EXPECT_EQ(read(QFile::encodeName(path))->error, nullptr);
}

TEST(CTagLibWriteErrors, PictureSizesBeyondFourGigabytesFailTheWrite) {
    const ScopedFileCopy copy("tagged.mp3");
    const QByteArray before = copy.bytes();
    const CTagLibArtworkWrite huge = {reinterpret_cast<const uint8_t*>("x"), std::int64_t{1} << 32, nullptr,
                                      3, nullptr};
    EXPECT_EQ(ctaglib_write(copy.nativePath().constData(), "T", "", "", "", "", "", "", "", "", 0, 0, 0, 0, 0,
                            0, 0, 0, 0, 0, 0, 0, -1, &huge, 1),
              -1);
    EXPECT_EQ(copy.bytes(), before);
}

// Runs write in a child process that cannot override file permissions (the
// tests may run as root, for whom a read-only file is writable).
int writeWithoutPrivileges(const QByteArray& path) {
    if (geteuid() != 0)
        return write(path, fullTags());
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        _exit(write(path, fullTags()) == CTAGLIB_NO_PERMISSION ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 2)
        return 99; // could not drop privileges
    return WEXITSTATUS(status) == 1 ? CTAGLIB_NO_PERMISSION : 0;
}

TEST_P(CTagLibEveryFormat, ReadOnlyFileFailsToWriteAndStaysUnchanged) {
    const ScopedFileCopy copy(tagged(GetParam()));
    const QByteArray before = copy.bytes();
    ASSERT_EQ(chmod(copy.nativePath().constData(), 0444), 0);
    // The child needs to reach the file through the temporary folder.
    chmod(QFile::encodeName(QFileInfo(copy.path()).absolutePath()).constData(), 0755);
    const int result = writeWithoutPrivileges(copy.nativePath());
    if (result == 99)
        GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(result, CTAGLIB_NO_PERMISSION);
    EXPECT_EQ(copy.bytes(), before);
    const Record record = read(copy.nativePath());
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->error, nullptr) << "a read-only file still reads";
}

INSTANTIATE_TEST_SUITE_P(Formats, CTagLibEveryFormat, testing::ValuesIn(allExtensions()), kName);

// TagLib 2.0.x would write these with a wrong 24-bit block length.
TEST(CTagLibWriteErrors, FlacMetadataBlocksOf16MiBAreRefusedAndTheFileIsUntouched) {
    const ScopedFileCopy copy("tagged.flac");
    const QByteArray before = copy.bytes();
    const auto picture = [](int mebibytes) {
        return std::vector<NewPicture>{
            {std::string(static_cast<size_t>(mebibytes) << 20, '\x5A'), "image/jpeg", 3, std::nullopt}};
    };

    // 17 MiB: the picture block itself is too large.
    EXPECT_EQ(write(copy.nativePath(), fullTags(), picture(17)), -1);
    EXPECT_EQ(copy.bytes(), before);
    // Text alone can do it too.
    Tags longLyrics = fullTags();
    longLyrics.lyrics = std::string(std::size_t{16} << 20, 'l');
    EXPECT_EQ(write(copy.nativePath(), longLyrics), -1);
    EXPECT_EQ(copy.bytes(), before);

    // 15 MiB fits and round-trips intact.
    const std::vector<NewPicture> fits = picture(15);
    ASSERT_EQ(write(copy.nativePath(), fullTags(), fits), 0);
    const Record record = read(copy.nativePath());
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->error, nullptr);
    ASSERT_EQ(record->artworkCount, 1);
    EXPECT_EQ(record->artwork[0].size, fits[0].data.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record->artwork[0].data), record->artwork[0].size),
              fits[0].data);
    EXPECT_EQ(tagsOf(*record), fullTags());
}

// The frames of the ID3v2.3 tag at the start of an MP3 file, split by their stored sizes.
std::vector<QByteArray> id3v23Frames(const QByteArray& file) {
    const auto syncSafe = [&](int at) {
        int value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 7 | (static_cast<unsigned char>(file[at + i]) & 0x7F);
        return value;
    };
    std::vector<QByteArray> frames;
    const QByteArray body = file.mid(10, syncSafe(6));
    for (qsizetype pos = 0; pos + 10 <= body.size() && body[pos] != '\0';) {
        const qsizetype size = qFromBigEndian<quint32>(body.constData() + pos + 4);
        frames.push_back(body.mid(pos, 10 + size));
        pos += 10 + size;
    }
    return frames;
}

// A tagger's ID3v2.3 tag, with frames TagLib would re-create, convert or drop
// (TYER+TDAT, IPLS with non-Latin text, TXXX, TSOP, RVAD, "A1"), stays ID3v2.3,
// gains no ID3v1 tag, and keeps every frame but the changed one as stored.
TEST(CTagLibWriteId3v2, AnId3v23TagKeepsEveryOtherFrameByteForByte) {
    const ScopedFileCopy copy("rich.mp3");
    const std::vector<QByteArray> before = id3v23Frames(copy.bytes());
    ASSERT_GT(before.size(), 25u);
    Tags genre;
    genre.genre = "Nouveau ✓";
    ASSERT_EQ(write(copy.nativePath(), genre, std::nullopt, CTAGLIB_FIELD_GENRE), 0);

    const QByteArray file = copy.bytes();
    EXPECT_EQ(file[3], '\3');
    EXPECT_FALSE(file.right(128).startsWith("TAG"));
    const auto withoutGenre = [](std::vector<QByteArray> frames) {
        std::erase_if(frames, [](const QByteArray& frame) { return frame.startsWith("TCON"); });
        return frames;
    };
    const std::vector<QByteArray> after = id3v23Frames(file);
    EXPECT_EQ(withoutGenre(after), withoutGenre(before));
    EXPECT_EQ(after.size(), before.size());
    EXPECT_STREQ(read(copy.nativePath())->genre, "Nouveau ✓");

    // A file without an ID3v2 tag gets ID3v2.4.
    const ScopedFileCopy untagged("untagged.mp3");
    ASSERT_EQ(write(untagged.nativePath(), genre, std::nullopt, CTAGLIB_FIELD_GENRE), 0);
    EXPECT_EQ(untagged.bytes().left(4), QByteArray("ID3\4"));
}

} // namespace
