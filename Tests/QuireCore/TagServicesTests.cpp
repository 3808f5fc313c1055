#include "QuireCore/TagLibAccess.h"
#include "QuireCore/TagReader.h"
#include "QuireCore/TagWriter.h"
#include "QuireTagHelper/InProcessTagLibAccess.h"

#include "Support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// A fixture copied into a scratch folder under the given name.
class FileCopy {
public:
    explicit FileCopy(const QString& fixture, QString name = {}) {
        if (name.isEmpty())
            name = fixture;
        QFile source(TestSupport::fixturePath(fixture));
        if (!source.open(QIODevice::ReadOnly))
            throw std::runtime_error("missing fixture " + fixture.toStdString());
        m_url = QUrl::fromLocalFile(m_folder.write(name, source.readAll()));
    }
    const QUrl& url() const { return m_url; }
    QByteArray bytes() const {
        QFile file(m_url.toLocalFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    TestSupport::ScratchFolder m_folder;
    QUrl m_url;
};

AudioFile read(const QUrl& url) {
    ReadResult result = TagLibTagReader().read(url);
    if (!result)
        throw std::runtime_error(result.error().description().toStdString());
    return std::move(result).value();
}

TagSet everyField() {
    return TagSet{.title = QStringLiteral("東京 ☕ café e\u0301 🎵"),
                  .artist = QStringLiteral("Ärtist"),
                  .album = QString(2000, u'a'),
                  .albumArtist = QStringLiteral("Album Artist"),
                  .composer = QStringLiteral("Composer"),
                  .genre = QStringLiteral("Genre"),
                  .year = QStringLiteral("1999"),
                  .trackNumber = QStringLiteral("4"),
                  .trackTotal = QStringLiteral("11"),
                  .discNumber = QStringLiteral("2"),
                  .discTotal = QStringLiteral("3"),
                  .bpm = QStringLiteral("140"),
                  .comment = QStringLiteral("Line one\nLine two"),
                  .lyrics = QStringLiteral("La la\nla"),
                  .grouping = QStringLiteral("Group"),
                  .compilation = true};
}

Artwork picture(const QByteArray& data, ImageFormat format, ArtworkType type,
                std::optional<QString> description) {
    return Artwork::holding(data, format, type, std::move(description));
}

const char* extendedFormats[] = {"mp3", "m4a", "m4b", "flac", "wav", "aiff", "aif", "ogg", "opus", "dsf"};

TEST(TagServices, EveryFieldRoundTripsInEveryFormat) {
    for (const char* extension : extendedFormats) {
        SCOPED_TRACE(extension);
        const FileCopy copy(QStringLiteral("untagged.%1").arg(QLatin1String(extension)));
        // With several values, a date, and items beyond the sixteen fields.
        TagSet written = everyField();
        written.artist = QStringLiteral("Ralf Hütter; Florian Schneider");
        written.year = QStringLiteral("1974-11-01");
        written.custom = {{QStringLiteral("CATALOGNUMBER"), QStringLiteral("ABC-123")},
                          {QStringLiteral("MEDIA"), QStringLiteral("Vinyl; CD")}};
        ASSERT_EQ(TagLibWriter().write(copy.url(), written, std::nullopt), std::nullopt);
        const AudioFile file = read(copy.url());
        TagSet readBack = file.tags();
        readBack.custom.remove(QStringLiteral("ENCODER")); // the encoder's own, in Ogg files
        EXPECT_EQ(readBack, written);
        EXPECT_EQ(file.url(), copy.url());
        EXPECT_FALSE(file.isModified());

        // Absent and empty both remove a field.
        TagSet cleared = written;
        cleared.title = QString();
        cleared.artist = std::nullopt;
        cleared.year = std::nullopt;
        cleared.compilation = std::nullopt;
        ASSERT_EQ(TagLibWriter().write(copy.url(), cleared, std::nullopt), std::nullopt);
        const TagSet reread = read(copy.url()).tags();
        EXPECT_EQ(reread.title, std::nullopt);
        EXPECT_EQ(reread.artist, std::nullopt);
        EXPECT_EQ(reread.year, std::nullopt);
        EXPECT_EQ(reread.compilation, std::nullopt);
        EXPECT_EQ(reread.album, written.album);
    }
}

TEST(TagServices, DsdiffCarriesTheGenericFieldsOnly) {
    const AudioFile file = read(FileCopy(QStringLiteral("tagged.dff")).url());
    EXPECT_EQ(file.format(), AudioFormat::dsdiff);
    EXPECT_EQ(file.tagContainer(), TagContainer::id3v2);
    EXPECT_TRUE(file.artwork().isEmpty());
    EXPECT_EQ(file.properties().codec, QStringLiteral("Unknown"));
    EXPECT_EQ(file.tags().albumArtist, std::nullopt);
}

TEST(TagServices, NumbersOutOfRangeStopTheWriteInFieldOrder) {
    const FileCopy copy(QStringLiteral("tagged.mp3"));
    const QByteArray original = copy.bytes();
    TagSet tags = everyField();
    tags.trackNumber = QStringLiteral("2147483648");
    auto error = TagLibWriter().write(copy.url(), tags, std::nullopt);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->description(), QStringLiteral("Track Number must be between 0 and 2147483647"));

    tags.trackNumber = QStringLiteral("1");
    tags.bpm = QStringLiteral("-1");
    tags.year = QStringLiteral("0");
    EXPECT_EQ(TagLibWriter().write(copy.url(), tags, std::nullopt)->description(),
              QStringLiteral("BPM must be between 0 and 2147483647"));
    EXPECT_EQ(copy.bytes(), original);
}

TEST(TagServices, PicturesAreLeftRemovedOrReplaced) {
    const QByteArray jpeg = TestSupport::encodedImage(30, 20, "JPEG");
    const QByteArray png = TestSupport::encodedImage(5, 6, "PNG");
    for (const char* extension : extendedFormats) {
        SCOPED_TRACE(extension);
        const FileCopy copy(QStringLiteral("tagged.%1").arg(QLatin1String(extension)));
        const QList<Artwork> before = read(copy.url()).artwork();
        ASSERT_FALSE(before.isEmpty());

        ASSERT_EQ(TagLibWriter().write(copy.url(), everyField(), std::nullopt), std::nullopt);
        const QList<Artwork> kept = read(copy.url()).artwork();
        ASSERT_EQ(kept.size(), before.size());
        for (qsizetype i = 0; i < kept.size(); ++i)
            EXPECT_TRUE(Artwork::isSamePicture(kept[i], before[i]));

        const QList<Artwork> replacement{
            picture(jpeg, ImageFormat::jpeg, ArtworkType::frontCover, QStringLiteral("Front")),
            picture(png, ImageFormat::png, ArtworkType::backCover, std::nullopt)};
        ASSERT_EQ(TagLibWriter().write(copy.url(), everyField(), replacement), std::nullopt);
        const QList<Artwork> replaced = read(copy.url()).artwork();
        ASSERT_EQ(replaced.size(), 2);
        EXPECT_EQ(replaced[0].digest, Artwork::digestOf(jpeg));
        EXPECT_EQ(TagLibTagReader().readPictures(copy.url()).value()[0].data, jpeg);
        EXPECT_EQ(replaced[0].format, ImageFormat::jpeg);
        EXPECT_EQ(replaced[0].width, 30);
        EXPECT_EQ(replaced[1].format, ImageFormat::png);
        EXPECT_EQ(replaced[1].sizeBytes, png.size());
        if (!QByteArray(extension).startsWith("m4")) { // MP4 keeps neither types nor descriptions
            EXPECT_EQ(replaced[0].type, ArtworkType::frontCover);
            EXPECT_EQ(replaced[0].description, QStringLiteral("Front"));
            EXPECT_EQ(replaced[1].type, ArtworkType::backCover);
        }

        ASSERT_EQ(TagLibWriter().write(copy.url(), everyField(), QList<Artwork>{}), std::nullopt);
        EXPECT_TRUE(read(copy.url()).artwork().isEmpty());
    }
}

// An album's tracks carry one cover: read, it is described, not held, and
// equal pictures of different files are told by their digests.
TEST(TagServices, PicturesAreDescribedAndToldApartByTheirDigests) {
    const FileCopy first("tagged.mp3"), second("tagged.flac"), other("pictures.mp3");
    const AudioFile a = read(first.url()), b = read(second.url()), c = read(other.url());
    ASSERT_EQ(a.artwork().size(), 1);
    ASSERT_EQ(b.artwork().size(), 1);
    EXPECT_FALSE(a.artwork()[0].holdsBytes());
    EXPECT_TRUE(Artwork::isSamePicture(a.artwork()[0], b.artwork()[0]));
    int shared = 0;
    for (const Artwork& picture : c.artwork())
        shared += picture.digest == a.artwork()[0].digest ? 1 : 0;
    EXPECT_EQ(shared, 1) << "one of the three pictures is the same red cover";

    const QList<Artwork> withBytes = TagLibTagReader().readPictures(other.url()).value();
    ASSERT_EQ(withBytes.size(), c.artwork().size());
    for (qsizetype i = 0; i < withBytes.size(); ++i) {
        EXPECT_EQ(withBytes[i].digest, c.artwork()[i].digest);
        EXPECT_EQ(Artwork::digestOf(withBytes[i].data), c.artwork()[i].digest);
        EXPECT_EQ(withBytes[i].sizeBytes, c.artwork()[i].sizeBytes);
    }
}

TEST(TagServices, UndecodablePicturesAreKeptWithoutDimensions) {
    const FileCopy copy(QStringLiteral("untagged.flac"));
    const QList<Artwork> pictures{
        picture("not an image", ImageFormat::unknown, ArtworkType::media, std::nullopt),
        picture(QByteArray(), ImageFormat::jpeg, ArtworkType::other, std::nullopt)};
    ASSERT_EQ(TagLibWriter().write(copy.url(), {}, pictures), std::nullopt);
    const QList<Artwork> stored = read(copy.url()).artwork();
    ASSERT_EQ(stored.size(), 1); // the empty picture is skipped
    EXPECT_EQ(stored[0].format, ImageFormat::unknown);
    EXPECT_EQ(stored[0].width, 0);
    EXPECT_EQ(stored[0].height, 0);
    EXPECT_EQ(stored[0].type, ArtworkType::media);
}

TEST(TagServices, FailuresCarryTheirTexts) {
    const std::pair<const char*, const char*> cases[] = {
        {"empty.mp3", "The file is empty"},
        {"not-audio.mp3", "Read error: No MPEG audio was found in the file"},
        {"rf64.wav", "RF64 WAV files are not supported"},
        {"corrupt.flac", "Read error: The file is damaged or is not a FLAC file"}};
    for (const auto& [fixture, message] : cases) {
        const ReadResult result = TagLibTagReader().read(FileCopy(QLatin1String(fixture)).url());
        ASSERT_FALSE(result.ok()) << fixture;
        EXPECT_EQ(result.error().description(), QString::fromUtf8(message)) << fixture;
    }
    const QUrl missing = QUrl::fromLocalFile(QStringLiteral("/nonexistent/folder/a.mp3"));
    EXPECT_EQ(TagLibTagReader().read(missing).error().description(),
              QStringLiteral("The file no longer exists"));
    EXPECT_EQ(TagLibWriter().write(missing, {}, std::nullopt), TagReaderError::missing());
    EXPECT_EQ(TagReaderError::writeFailed().description(), QStringLiteral("Failed to write tags to file"));
    EXPECT_EQ(TagReaderError::failedToOpen().description(), QStringLiteral("Could not open file"));
}

// Reads the real file; every write ends as the bridge would report a refusal.
class RefusingAccess final : public TagLibAccess {
public:
    explicit RefusingAccess(BridgeWriteOutcome outcome)
        : m_outcome(outcome) {}
    BridgeReadResult read(const std::string& path, PictureContent pictures) const override {
        return InProcessTagLibAccess().read(path, pictures);
    }
    BridgeWriteOutcome write(const BridgeWriteRequest&) const override { return m_outcome; }

private:
    BridgeWriteOutcome m_outcome;
};

TEST(TagServices, EveryRefusalOfTheBridgeReachesTheUserAsItsReason) {
    const std::pair<BridgeWriteOutcome, const char*> cases[] = {
        {BridgeWriteOutcome::failed, "Failed to write tags to file"},
        {BridgeWriteOutcome::tagsNotReadCompletely,
         "Not saved: the tags could not be read completely, and saving would lose the part that could not be "
         "read"},
        {BridgeWriteOutcome::duplicateTags,
         "Not saved: the file has two tags of the same kind, and saving would lose one of them"},
        {BridgeWriteOutcome::valueTooLarge, "Not saved: a value is too large for this file’s format"},
        {BridgeWriteOutcome::missing, "The file no longer exists"},
        {BridgeWriteOutcome::noPermission, "You don’t have permission to change this file"},
        {BridgeWriteOutcome::readOnlyFileSystem, "The file is on a read-only file system"},
        {BridgeWriteOutcome::unsupportedVariant,
         "ID3v2.2 tags, and second ID3v2 tags, holding a frame without an ID3v2.3 form are not supported"},
        {BridgeWriteOutcome::emptyFile, "The file is empty"},
        {BridgeWriteOutcome::notAFile,
         "There is no longer a file of this name: a folder or another kind of item has its name"},
        {BridgeWriteOutcome::notANumber,
         "Not saved: this file’s format keeps only numbers in a field that holds text"},
    };
    const FileCopy copy(QStringLiteral("tagged.mp3"));
    const QByteArray before = copy.bytes();
    TagSet tags;
    tags.title = QStringLiteral("Refused");
    for (const auto& [outcome, text] : cases) {
        const std::optional<TagReaderError> error =
            writeTags(RefusingAccess(outcome), copy.url(), tags, {{TagField::title}}, std::nullopt);
        ASSERT_TRUE(error.has_value()) << text;
        EXPECT_EQ(error->description(), QString::fromUtf8(text));
    }
    EXPECT_EQ(copy.bytes(), before);
}

TEST(MockReader, TrackAndTitleFromTheName) {
    const AudioFile numbered =
        MockTagReader().read(QUrl::fromLocalFile(QStringLiteral("/x/03 - Intro.mp3"))).value();
    EXPECT_EQ(numbered.tags().trackNumber, QStringLiteral("3"));
    EXPECT_EQ(numbered.tags().title, QStringLiteral("Intro"));
    const AudioFile plain =
        MockTagReader().read(QUrl::fromLocalFile(QStringLiteral("/x/Live - Intro.flac"))).value();
    EXPECT_EQ(plain.tags().trackNumber, std::nullopt);
    EXPECT_EQ(plain.tags().title, QStringLiteral("Live - Intro"));
    EXPECT_EQ(plain.properties().codec, QStringLiteral("FLAC"));
    EXPECT_GE(plain.properties().duration, 120.0);
    EXPECT_LE(plain.properties().duration, 420.0);
}

} // namespace
