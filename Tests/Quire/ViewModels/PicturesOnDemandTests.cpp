// Loaded files describe their pictures and read the bytes from disk when
// something needs them: shown, copied, exported, optimised or saved.
#include "DocumentTestSupport.h"
#include "QuireCore/TagLibAccess.h"
#include "QuireTagHelper/InProcessTagLibAccess.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace DocumentTest;
using TestSupport::encodedImage;

namespace {

// The pictures on disk as the bridge reads them in this process: neither the
// helpers nor the picture store take part.
QList<QByteArray> picturesOnDisk(const QString& path) {
    const BridgeReadResult read = InProcessTagLibAccess().read(path.toStdString(), PictureContent::bytes);
    QList<QByteArray> pictures;
    for (const BridgePicture& picture : read.value().pictures)
        pictures.append(picture.data);
    return pictures;
}

// Another program replacing a file's pictures behind the editor's back.
void replacePicturesElsewhere(const QUrl& url, const QByteArray& image) {
    const std::optional<TagReaderError> error = TagLibWriter().write(
        url, readBack(url).tags(), WriteScope{},
        QList<Artwork>{Artwork::holding(image, ImageFormat::png, ArtworkType::frontCover)});
    ASSERT_FALSE(error) << error->description().toStdString();
}

class PicturesOnDemandTest : public testing::Test {
protected:
    void SetUp() override {
        library.add(QStringLiteral("a.mp3"), QStringLiteral("pictures.mp3"));
        library.add(QStringLiteral("b.flac"), QStringLiteral("pictures.flac"));
        library.add(QStringLiteral("c.mp3"), QStringLiteral("pictures.mp3"));
        importAndWait(document, {library.url()});
        ASSERT_EQ(document.files().size(), 3);
    }

    const AudioFile& file(const QString& name) const { return fileNamed(document, name); }
    void select(const QString& name) { document.setSelectedFiles({file(name).id()}); }
    void saveAndWait() {
        document.saveAll();
        waitForSave(document);
    }

    Library library;
    DocumentViewModel document;
};

TEST_F(PicturesOnDemandTest, LoadedFilesHoldNoPictureBytesYetEveryUseGetsTheFilesOwn) {
    for (const QString name : {"a.mp3", "b.flac"}) {
        SCOPED_TRACE(name.toStdString());
        const QList<QByteArray> onDisk = picturesOnDisk(library.path(name));
        const QList<Artwork>& pictures = file(name).artwork();
        ASSERT_EQ(pictures.size(), onDisk.size());
        ASSERT_GE(pictures.size(), 2);
        for (qsizetype i = 0; i < pictures.size(); ++i) {
            EXPECT_FALSE(pictures[i].holdsBytes());
            EXPECT_EQ(pictures[i].sizeBytes, onDisk[i].size());
            EXPECT_GT(pictures[i].width, 0);
            EXPECT_EQ(document.pictureSource(file(name)).bytes(pictures[i]).value(), onDisk[i]);
        }
    }
    // Equal pictures are told by their digests: a and c share theirs, b's differ.
    EXPECT_TRUE(AudioFile::batchArtwork({file("a.mp3"), file("c.mp3")}));
    EXPECT_FALSE(AudioFile::batchArtwork({file("a.mp3"), file("b.flac")}));

    // Copied pictures take their bytes along to the files they are pasted onto.
    select("b.flac");
    document.tagClipboard().copyFromSelected();
    for (const Artwork& copied : *document.tagClipboard().contents().artwork)
        EXPECT_TRUE(copied.holdsBytes());
    select("a.mp3");
    document.tagClipboard().pasteToSelected(false, true);
    // A picture removed from c: the others are written from the bytes c holds on disk.
    const QList<QByteArray> cBefore = picturesOnDisk(library.path("c.mp3"));
    select("c.mp3");
    document.commitSelected(QStringLiteral("Remove one"), [](AudioFile& changed) {
        QList<Artwork> pictures = changed.artwork();
        pictures.removeAt(1);
        changed.setArtwork(pictures);
    });
    saveAndWait();
    EXPECT_EQ(noticeText(document), std::nullopt);
    EXPECT_EQ(picturesOnDisk(library.path("a.mp3")), picturesOnDisk(library.path("b.flac")));
    QList<QByteArray> cExpected = cBefore;
    cExpected.removeAt(1);
    EXPECT_EQ(picturesOnDisk(library.path("c.mp3")), cExpected);

    // Exported pictures are the bytes on disk, byte for byte.
    TestSupport::ScratchFolder target;
    std::optional<int> written;
    document.artworkOperations().batchExportAllArtwork(QUrl::fromLocalFile(target.path()),
                                                       [&](int count) { written = count; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return written.has_value(); }, 20000));
    EXPECT_EQ(*written, 2 * picturesOnDisk(library.path("b.flac")).size() + cExpected.size());
    QFile exported(
        target.filePath(QStringLiteral("c-frame2.") + fileExtension(file("c.mp3").artwork()[1].format)));
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(exported.readAll(), cExpected[1]);
}

// Whatever needs the bytes of a picture its file no longer holds says so and
// changes nothing: a stale copy is never shown, exported or written.
TEST_F(PicturesOnDemandTest, APictureItsFileNoLongerHoldsIsNeverTakenFromAStaleCopy) {
    const AudioFile loaded = file("a.mp3");
    const QByteArray elsewhere = encodedImage(32, 32, "PNG");
    replacePicturesElsewhere(loaded.url(), elsewhere);

    const auto bytes = document.pictureSource(loaded).bytes(loaded.artwork().first());
    ASSERT_FALSE(bytes);
    EXPECT_EQ(bytes.error().kind(), TagReaderError::Kind::picturesChanged);

    select("a.mp3");
    document.tagClipboard().copyFromSelected();
    EXPECT_FALSE(document.tagClipboard().contents().artwork);
    EXPECT_TRUE(noticeText(document).value_or(QString()).contains(QStringLiteral("pictures changed")));
    dismissNotices(document);

    std::optional<int> exported;
    TestSupport::ScratchFolder target;
    document.artworkOperations().exportSelectedArtwork(QUrl::fromLocalFile(target.path()),
                                                       [&](int count) { exported = count; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return exported.has_value(); }, 20000));
    EXPECT_EQ(*exported, 0);
    EXPECT_TRUE(QDir(target.path()).isEmpty());

    bool optimised = false;
    document.artworkOperations().optimizeArtwork(16, 0.5, [&] { optimised = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return optimised; }, 20000));
    EXPECT_FALSE(file("a.mp3").isModified());

    // Keeping the first picture of the file as it was read cannot be written.
    document.commitSelected(QStringLiteral("Keep one"),
                            [](AudioFile& changed) { changed.setArtwork({changed.artwork().first()}); });
    saveAndWait();
    EXPECT_TRUE(noticeText(document).value_or(QString()).contains(QStringLiteral("a.mp3")));
    EXPECT_TRUE(file("a.mp3").isModified());
    EXPECT_EQ(picturesOnDisk(library.path("a.mp3")), QList<QByteArray>{elsewhere});
}

// Reads pictures through the real reader and counts how often.
class CountingReader final : public TagReader {
public:
    ReadResult read(const QUrl& url) const override { return m_reader.read(url); }
    PicturesResult readPictures(const QUrl& url) const override {
        ++reads;
        return m_reader.readPictures(url);
    }
    mutable std::atomic<int> reads{0};

private:
    TagLibTagReader m_reader;
};

TEST(PictureStoreTest, KeepsRecentPicturesUpToItsLimit) {
    Library library;
    const QUrl mp3 = library.add(QStringLiteral("a.mp3"), QStringLiteral("pictures.mp3"));
    const QUrl other = library.add(QStringLiteral("b.mp3"), QStringLiteral("pictures.mp3"));
    replacePicturesElsewhere(other, encodedImage(64, 64, "PNG"));
    const QList<Artwork> mp3Pictures = readBack(mp3).artwork();
    const QList<Artwork> otherPictures = readBack(other).artwork();
    qint64 mp3Bytes = 0;
    for (const Artwork& picture : mp3Pictures)
        mp3Bytes += picture.sizeBytes;

    auto reader = std::make_shared<CountingReader>();
    const PictureStore store(reader, mp3Bytes);
    for (const Artwork& picture : mp3Pictures)
        ASSERT_TRUE(store.bytes(picture, mp3));
    EXPECT_EQ(reader->reads, 1); // one read keeps all of the file's pictures
    EXPECT_EQ(store.bytesKept(), mp3Bytes);

    ASSERT_TRUE(store.holding(otherPictures, other));
    EXPECT_EQ(reader->reads, 2);
    EXPECT_LE(store.bytesKept(), mp3Bytes);
    ASSERT_TRUE(store.bytes(mp3Pictures.first(), mp3));
    EXPECT_EQ(reader->reads, 3); // pushed out by b's pictures

    // A picture that holds its bytes never needs its file.
    const Artwork held = Artwork::holding(QByteArray("bytes"));
    EXPECT_EQ(store.bytes(held, QUrl::fromLocalFile(library.path("missing.mp3"))).value(), held.data);
    EXPECT_EQ(reader->reads, 3);
}

} // namespace
