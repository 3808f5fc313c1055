#include "DocumentTestSupport.h"
#include "Platform/ImageServices.h"
#include "Quire/ViewModels/ArtworkProcessing.h"
#include "QuireCore/TagLibAccess.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace DocumentTest;
using namespace ArtworkProcessing;
using TestSupport::encodedImage;
using namespace std::chrono_literals;

namespace {

const QByteArray corruptBytes("\xFF\xD8 these bytes only pretend to be a JPEG");

Artwork picture(const QByteArray& data, ImageFormat format, ArtworkType type = ArtworkType::frontCover,
                std::optional<QString> description = std::nullopt) {
    return Artwork::holding(data, format, type, std::move(description));
}

// A buffer of its own with the same bytes, as pictures read from different files have.
QByteArray copyOf(const QByteArray& bytes) {
    return QByteArray(bytes.constData(), bytes.size());
}

QSize sizeInBytes(const QByteArray& data) {
    const auto size = Platform::pixelSize(data);
    return size ? QSize(int(size->width), int(size->height)) : QSize();
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(ArtworkScalingTest, FitsTheLongerEdgeByTruncationAndNeverUpscales) {
    EXPECT_EQ(PictureWork::fittedSize({999, 3001}, 1000),
              QSize(332, 999)); // 3001 × (1000 / 3001) is just below 1000
    EXPECT_EQ(PictureWork::fittedSize({3000, 1500}, 1000), QSize(1000, 500));
    EXPECT_EQ(PictureWork::fittedSize({1500, 3000}, 1000), QSize(500, 1000));
    EXPECT_EQ(PictureWork::fittedSize({600, 600}, 1000), QSize(600, 600));
    EXPECT_EQ(PictureWork::fittedSize({1000, 1000}, 1000), QSize(1000, 1000));
    EXPECT_EQ(PictureWork::fittedSize({2, 5000}, 100), QSize(1, 100)); // never an empty edge

    const std::optional<QImage> resized = PictureWork::resized(TestSupport::patternImage(999, 3001), 1000);
    ASSERT_TRUE(resized);
    EXPECT_EQ(resized->size(), QSize(332, 999));
    const QImage small = TestSupport::patternImage(600, 600);
    EXPECT_EQ(PictureWork::resized(small, 1000)->cacheKey(), small.cacheKey());
}

TEST(ArtworkOptimizeTest, ReencodesDecodablePicturesAsJpegAndLeavesOthersAlone) {
    const Artwork png =
        picture(encodedImage(600, 600, "PNG"), ImageFormat::png, ArtworkType::backCover, "Sleeve");
    const Artwork small = optimizeSingle(png, 1000, 0.8);
    EXPECT_NE(small.id, png.id);
    EXPECT_EQ(small.format, ImageFormat::jpeg);
    EXPECT_TRUE(small.data.startsWith("\xFF\xD8"));
    EXPECT_EQ(sizeInBytes(small.data), QSize(600, 600));
    EXPECT_EQ(QSize(int(small.width), int(small.height)), QSize(600, 600));
    EXPECT_EQ(small.sizeBytes, small.data.size());
    EXPECT_EQ(small.type, ArtworkType::backCover);
    EXPECT_EQ(small.description, QStringLiteral("Sleeve"));

    const Artwork wide =
        optimizeSingle(picture(encodedImage(3000, 1500, "JPEG"), ImageFormat::jpeg), 1000, 0.8);
    EXPECT_EQ(sizeInBytes(wide.data), QSize(1000, 500));
    EXPECT_EQ(wide.width, 1000);
    EXPECT_EQ(wide.height, 500);

    const Artwork corrupt = picture(corruptBytes, ImageFormat::jpeg);
    EXPECT_EQ(optimizeSingle(corrupt, 1000, 0.8), corrupt);
}

TEST(ArtworkOptimizeTest, RecompressFallsBackToTiffButNeverToEmptyBytes) {
    // A NaN quality makes the JPEG encoder refuse.
    const std::optional<Artwork> tiff =
        recompress(TestSupport::patternImage(40, 30), std::nan(""), ArtworkType::media, std::nullopt);
    ASSERT_TRUE(tiff);
    EXPECT_EQ(tiff->format, ImageFormat::tiff);
    EXPECT_EQ(sizeInBytes(tiff->data), QSize(40, 30));
    EXPECT_EQ(tiff->width, 40);
    EXPECT_EQ(tiff->type, ArtworkType::media);

    EXPECT_FALSE(recompress(QImage(), 0.8, ArtworkType::other, std::nullopt));
}

TEST(ArtworkOptimizeTest, EqualPicturesAreEncodedOnceYetEachGetsAnIdOfItsOwn) {
    const QByteArray cover = encodedImage(1200, 800, "JPEG");
    const Artwork corrupt = picture(corruptBytes, ImageFormat::unknown);
    const QList<QList<Artwork>> lists = {
        {picture(copyOf(cover), ImageFormat::jpeg), picture(encodedImage(300, 300, "PNG"), ImageFormat::png)},
        {},
        {picture(copyOf(cover), ImageFormat::jpeg, ArtworkType::backCover, "Back"), corrupt},
    };
    const QList<QList<Artwork>> shared = optimizeAll(lists, 1000, 0.7);
    const QList<QList<Artwork>> separate = optimizeAll(lists, 1000, 0.7, PictureSharing::encodeEachPicture);

    ASSERT_EQ(shared.size(), 3);
    ASSERT_EQ(shared[0].size(), 2);
    EXPECT_TRUE(shared[1].isEmpty());
    ASSERT_EQ(shared[2].size(), 2);
    // One encoding behind both occurrences, and the same bytes as encoding each on its own.
    EXPECT_EQ(shared[0][0].data.constData(), shared[2][0].data.constData());
    EXPECT_NE(separate[0][0].data.constData(), separate[2][0].data.constData());
    EXPECT_EQ(shared[0][0].data, separate[2][0].data);
    EXPECT_EQ(shared[0][1].data, separate[0][1].data);
    EXPECT_EQ(QSize(int(shared[2][0].width), int(shared[2][0].height)), QSize(1000, 666));

    QSet<QUuid> ids;
    for (const QList<Artwork>& result : {shared[0], shared[2].mid(0, 1), lists[0], lists[2].mid(0, 1)}) {
        for (const Artwork& artwork : result)
            ids.insert(artwork.id);
    }
    EXPECT_EQ(ids.size(), 6);
    EXPECT_EQ(shared[2][0].type, ArtworkType::backCover);
    EXPECT_EQ(shared[2][0].description, QStringLiteral("Back"));
    EXPECT_EQ(shared[2][1], corrupt);
    EXPECT_EQ(separate[2][1], corrupt);
}

AudioFile fileWith(const QList<Artwork>& pictures) {
    return AudioFile(QUuid::createUuid(), QUrl::fromLocalFile("/m/song.mp3"), AudioFormat::mp3, std::nullopt,
                     {}, {}, pictures);
}

TEST(ArtworkEstimateTest, FiguresComeFromTheSelectionAndItsFirstPicture) {
    Artwork first = picture(encodedImage(2000, 1000, "PNG"), ImageFormat::png);
    first.sizeBytes = 200'000;
    Artwork broken = picture(corruptBytes, ImageFormat::jpeg);
    broken.sizeBytes = 100'000;
    Artwork other = picture(encodedImage(50, 50, "BMP"), ImageFormat::bmp);
    other.sizeBytes = 300'000;
    const QList<AudioFile> files = {fileWith({first, broken}), fileWith({other})};

    EXPECT_EQ(currentTotalSize(files), 600'000);
    EXPECT_EQ(frameCount(files), 2);
    const QImage resized = Platform::scaled(*Platform::decodeImage(first.data), 500, 250).value();
    EXPECT_EQ(estimatedSize(files, {}, 500, 0.6), Platform::encodeJpeg(resized, 0.6)->size());
    EXPECT_EQ(ArtworkEstimate::of(files, {}, 500, 0.6).estimatedSize, estimatedSize(files, {}, 500, 0.6));

    EXPECT_EQ(estimatedSize({fileWith({broken, first})}, {}, 500, 0.6), 0);
    EXPECT_EQ(estimatedSize({fileWith({}), files[0]}, {}, 500, 0.6), 0); // only the first file counts
    EXPECT_EQ(frameCount({fileWith({}), files[0]}), 1);
    EXPECT_EQ(frameCount({}), 1);
    EXPECT_EQ(currentTotalSize({}), 0);
}

TEST(ArtworkEstimateTest, CaptionComparesTheEstimateWithTheSizePerFrame) {
    const ArtworkEstimate half{600'000, 150'000, 2};
    EXPECT_EQ(half.ratio(), 0.5);
    EXPECT_EQ(half.caption(), (SizeChangeCaption{QStringLiteral("↓ 50% smaller"), true}));
    EXPECT_EQ((ArtworkEstimate{400'000, 250'000, 2}).caption(),
              (SizeChangeCaption{QStringLiteral("↑ 25% larger"), false}));
    EXPECT_EQ((ArtworkEstimate{3, 1, 1}).caption()->text, QStringLiteral("↓ 67% smaller"));
    EXPECT_FALSE((ArtworkEstimate{600'000, 0, 2}).caption());
    EXPECT_FALSE((ArtworkEstimate{0, 1000, 1}).caption());
    EXPECT_FALSE((ArtworkEstimate{1, 1000, 2}).caption()); // no size per frame to compare with
}

// A document of three real files: one picture, three pictures, none.
class ArtworkDocumentTest : public testing::Test {
protected:
    void SetUp() override {
        library.add(QStringLiteral("01 - Time.flac"), QStringLiteral("tagged.flac"));
        library.add(QStringLiteral("02 - Money.mp3"), QStringLiteral("pictures.mp3"));
        library.add(QStringLiteral("03 - Us.ogg"), QStringLiteral("untagged.ogg"));
        importAndWait(document, {library.url()});
        ids = idsOf(document.files());
        ASSERT_EQ(namesOf(document.files()),
                  QStringList({"01 - Time.flac", "02 - Money.mp3", "03 - Us.ogg"}));
    }

    const AudioFile& file(int index) const { return document.files()[index]; }
    qsizetype steps() const { return document.history().undoDescriptions().size(); }
    void select(std::initializer_list<int> indexes) {
        QSet<QUuid> selection;
        for (int index : indexes)
            selection.insert(ids[index]);
        document.setSelectedFiles(selection);
    }

    // The background operations, waited for.
    template <typename Start> int waitFor(Start start) {
        std::optional<int> count;
        start([&count](int n) { count = n; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return count.has_value(); }, 20000));
        return count.value_or(-1);
    }
    int importArtwork(const QUrl& folder) {
        return waitFor([&](auto done) { document.artworkOperations().batchImportArtwork(folder, done); });
    }
    int exportArtwork(const QUrl& folder) {
        return waitFor([&](auto done) { document.artworkOperations().batchExportAllArtwork(folder, done); });
    }
    void optimize(int maxDimension, double quality) {
        waitFor([&](auto done) {
            document.artworkOperations().optimizeArtwork(maxDimension, quality, [done] { done(0); });
        });
    }

    Library library;
    DocumentViewModel document;
    QList<QUuid> ids;
};

TEST_F(ArtworkDocumentTest, SetAndRemoveChangeEverySelectedFileInOneStep) {
    const QList<AudioFile> before = document.files();
    const Artwork cover = picture(encodedImage(50, 50, "PNG"), ImageFormat::png);
    document.setSelectedFiles({});
    document.artworkOperations().setArtwork(cover);
    document.artworkOperations().removeArtwork();
    EXPECT_EQ(steps(), 1); // the import's
    EXPECT_EQ(document.files(), before);

    select({0, 1, 2});
    document.artworkOperations().setArtwork(cover);
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Set artwork on 3 files"));
    for (const AudioFile& changed : document.files()) {
        EXPECT_EQ(changed.artwork(), QList<Artwork>{cover});
        EXPECT_TRUE(changed.isModified());
    }
    document.undo();
    EXPECT_EQ(file(1).artwork(), before[1].artwork());
    EXPECT_EQ(document.modifiedCount(), 0);

    // Removing from a file with no pictures changes nothing: no step, no mark.
    select({2});
    const qsizetype stepsBefore = steps();
    document.artworkOperations().removeArtwork();
    EXPECT_EQ(steps(), stepsBefore);
    EXPECT_EQ(document.modifiedCount(), 0);
}

TEST_F(ArtworkDocumentTest, OptimizeShrinksSharedCoversAndKeepsUndecodablePictures) {
    const QByteArray cover = encodedImage(1500, 1500, "JPEG");
    for (int i : {0, 1}) {
        select({i});
        document.artworkOperations().setArtwork(picture(copyOf(cover), ImageFormat::jpeg));
    }
    const Artwork corrupt = picture(corruptBytes, ImageFormat::jpeg);
    select({2});
    document.artworkOperations().setArtwork(corrupt);
    document.saveAll();
    waitForSave(document);
    ASSERT_EQ(document.modifiedCount(), 0);
    const QList<AudioFile> before = document.files();

    select({0, 1, 2});
    optimize(1000, 0.8);
    EXPECT_EQ(steps(), 5);
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Optimize artwork on 3 files"));
    const Artwork& first = file(0).artwork().value(0);
    const Artwork& second = file(1).artwork().value(0);
    EXPECT_EQ(first.format, ImageFormat::jpeg);
    EXPECT_EQ(sizeInBytes(first.data), QSize(1000, 1000));
    EXPECT_EQ(first.data, second.data);
    EXPECT_NE(first.id, second.id);
    EXPECT_NE(first.id, before[0].artwork()[0].id);
    EXPECT_EQ(file(2).artwork(), QList<Artwork>{corrupt});
    EXPECT_FALSE(file(2).isModified()); // its picture could not be decoded, so nothing changed
    EXPECT_EQ(document.modifiedCount(), 2);

    document.undo();
    EXPECT_EQ(file(0).artwork(), before[0].artwork());
    EXPECT_EQ(document.modifiedCount(), 0);
}

// The image work runs in the background; a file whose pictures the user
// changed meanwhile keeps the newer ones.
TEST_F(ArtworkDocumentTest, OptimisationLeavesPicturesChangedMeanwhileAlone) {
    select({0, 1});
    bool done = false;
    document.artworkOperations().optimizeArtwork(4, 0.8, [&] { done = true; });
    EXPECT_TRUE(document.work().isWorking());
    const Artwork png = picture(encodedImage(20, 20, "PNG"), ImageFormat::png);
    select({1});
    document.artworkOperations().setArtwork(png);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
    EXPECT_FALSE(document.work().isWorking());
    EXPECT_EQ(document.work().progress().completed, document.work().progress().total);
    const QSize optimized = sizeInBytes(file(0).artwork().value(0).data);
    EXPECT_EQ(std::max(optimized.width(), optimized.height()), 4);
    EXPECT_EQ(file(1).artwork(), QList<Artwork>{png});
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Optimize artwork on 2 files"));
}

TEST_F(ArtworkDocumentTest, ImportMatchesImagesByExactStemAnywhereBelowTheFolder) {
    TestSupport::ScratchFolder images;
    images.write(QStringLiteral("01 - Time.JPG"), encodedImage(640, 480, "JPEG"));
    images.write(QStringLiteral("02 - money.png"), encodedImage(64, 64, "PNG")); // letter case differs
    images.write(QStringLiteral("03 - Us.gif"), encodedImage(8, 8, "GIF"));      // not a recognised extension
    images.write(QStringLiteral("deep/er/03 - Us.bmp"), encodedImage(30, 20, "BMP"));
    const QList<AudioFile> before = document.files();

    EXPECT_EQ(importArtwork(QUrl::fromLocalFile(images.path())), 2);
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Batch import artwork from folder"));
    ASSERT_EQ(file(0).artwork().size(), 1); // the fixture's own picture is gone
    const Artwork& imported = file(0).artwork()[0];
    EXPECT_EQ(imported.format, ImageFormat::jpeg);
    EXPECT_EQ(imported.type, ArtworkType::frontCover);
    EXPECT_EQ(imported.description, std::nullopt);
    EXPECT_EQ(QSize(int(imported.width), int(imported.height)), QSize(640, 480));
    EXPECT_EQ(imported.sizeBytes, imported.data.size());
    EXPECT_EQ(file(1), before[1]);
    EXPECT_EQ(sizeInBytes(file(2).artwork().value(0).data), QSize(30, 20));
    EXPECT_TRUE(file(2).isModified());

    document.undo();
    EXPECT_EQ(document.files(), before);
}

TEST_F(ArtworkDocumentTest, ImportRecordsAStepOnlyWhenItGivesAFileAPicture) {
    TestSupport::ScratchFolder images;
    EXPECT_EQ(importArtwork(QUrl::fromLocalFile(images.path())), 0);
    images.write(QStringLiteral("01 - Time.gif"), encodedImage(8, 8, "GIF"));
    images.write(QStringLiteral("01 - Time.jpg/notes.txt"), "a folder, not a picture");
    EXPECT_EQ(importArtwork(QUrl::fromLocalFile(images.path())), 0);
    EXPECT_EQ(importArtwork(QUrl::fromLocalFile(images.filePath("missing"))), 0);
    EXPECT_EQ(steps(), 1);

    images.write(QStringLiteral(".Nobody.png"), encodedImage(8, 8, "PNG"));
    EXPECT_EQ(importArtwork(QUrl::fromLocalFile(images.path())), 0);
    EXPECT_EQ(steps(), 1);
    EXPECT_EQ(document.modifiedCount(), 0);
}

TEST_F(ArtworkDocumentTest, ExportWritesEveryPictureUnchangedUnderItsFilesStem) {
    const Artwork png = picture(encodedImage(20, 20, "PNG"), ImageFormat::png);
    select({0});
    document.artworkOperations().setArtwork(png);
    const qsizetype stepsBefore = steps();
    TestSupport::ScratchFolder target;
    const QUrl folder = QUrl::fromLocalFile(target.path());

    EXPECT_EQ(exportArtwork(folder), 4);
    // The fixture's pictures are JPEG and PNG, in the order the file stores them.
    QStringList expected = {QStringLiteral("01 - Time-artwork.png")};
    for (int i = 0; i < 3; ++i)
        expected.append(QStringLiteral("02 - Money-frame%1.%2")
                            .arg(i + 1)
                            .arg(fileExtension(file(1).artwork()[i].format)));
    ASSERT_TRUE(expected.contains("02 - Money-frame1.png") || expected.contains("02 - Money-frame2.png"));
    EXPECT_EQ(QDir(target.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              expected);
    EXPECT_EQ(contentsOf(target.filePath(expected[0])), png.data);
    const auto bytesOf = [&](int picture) {
        return document.pictureSource(file(1)).bytes(file(1).artwork()[picture]).value();
    };
    EXPECT_EQ(contentsOf(target.filePath(expected[2])), bytesOf(1));

    target.write(expected[3], "stale");
    EXPECT_EQ(exportArtwork(folder), 4);
    EXPECT_EQ(contentsOf(target.filePath(expected[3])), bytesOf(2));
    EXPECT_EQ(steps(), stepsBefore);
    EXPECT_FALSE(file(1).isModified());

    // Root may write anywhere, so make the folder one that cannot exist: a path through a regular file.
    EXPECT_EQ(exportArtwork(QUrl::fromLocalFile(target.filePath(expected[0]))), 0);
    EXPECT_EQ(exportArtwork(QUrl::fromLocalFile(target.filePath("missing"))), 0);
    EXPECT_FALSE(QFile::exists(target.filePath("missing")));

    EXPECT_EQ(exportFileName("a", 1, 1, ImageFormat::unknown), QStringLiteral("a-artwork.bin"));
    EXPECT_EQ(exportFileName("a", 2, 2, ImageFormat::tiff), QStringLiteral("a-frame2.tiff"));
}

// The picture markers are set for this program in DocumentTestSupport.cpp.
TEST(FaultArtworkTest, APictureThatCrashesOrHangsItsDecoderIsKeptAndTheOthersAreOptimised) {
    IsolatedTagLibAccess helpers(2);
    IsolatedPictureDecoder decoder(helpers);
    decoder.setTimeLimit(5s); // a hang costs this much; the other pictures go on meanwhile
    const QByteArray jpeg = encodedImage(1500, 1200, "JPEG");
    const Artwork good = picture(jpeg, ImageFormat::jpeg);
    const Artwork crashing = picture(encodedImage(1200, 1200, "PNG") + "@picture-crash@", ImageFormat::png);
    const Artwork hanging = picture(copyOf(jpeg) + "@picture-hang@", ImageFormat::jpeg);
    const QList<QList<Artwork>> optimized =
        optimizeAll({{good}, {crashing, picture(copyOf(jpeg), ImageFormat::jpeg)}, {hanging}}, 1000, 0.8,
                    PictureSharing::encodeOnce, {}, decoder);
    ASSERT_EQ(optimized.size(), 3);
    for (const Artwork& shrunk : {optimized[0][0], optimized[1][1]})
        EXPECT_EQ(std::tuple(shrunk.format, shrunk.width, shrunk.height),
                  std::tuple(ImageFormat::jpeg, qint64{1000}, qint64{800}));
    EXPECT_EQ(optimized[1][0], crashing);
    EXPECT_EQ(optimized[2][0], hanging);
    EXPECT_EQ(helpers.workersKilled(), 2);

    // The sheet's estimate shows nothing rather than failing.
    EXPECT_EQ(estimatedSize({fileWith({crashing})}, {}, 1000, 0.8, decoder), 0);
    EXPECT_GT(estimatedSize({fileWith({good})}, {}, 1000, 0.8, decoder), 0);
}

} // namespace
