#include "WidgetTestSupport.h"

#include "Quire/ViewModels/ArtworkProcessing.h"
#include "Quire/Views/Artwork/ArtworkOptimizeSheet.h"
#include "Quire/Views/Artwork/ArtworkPanel.h"
#include "Quire/Views/Artwork/ArtworkThumbnail.h"
#include "Quire/Views/Inspector/InspectorView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

using namespace DocumentTest;
using namespace WidgetTest;

namespace {

class ArtworkPanelTest : public WindowTest {
protected:
    ArtworkPanel* panel() const {
        return qobject_cast<InspectorView*>(window->inspectorPane())->artworkPanel();
    }
    QStringList visibleTexts() const {
        QStringList texts;
        for (const QWidget* widget : panel()->findChildren<QWidget*>()) {
            if (!widget->isVisible())
                continue;
            if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
                texts.append(button->text());
            else if (!widget->accessibleName().isEmpty())
                texts.append(widget->accessibleName());
        }
        texts.removeAll(QString());
        return texts;
    }
    const AudioFile& file(const QString& name) const { return fileNamed(document, name); }
    void select(const QStringList& names) {
        QSet<QUuid> selection;
        for (const QString& name : names)
            selection.insert(file(name).id());
        document.setSelectedFiles(selection);
    }
};

TEST_F(ArtworkPanelTest, ShowsSharedDifferingOrNoArtwork) {
    load({"a.flac", "b.flac"});
    load({"multi.flac"}, "pictures.flac");
    load({"none.flac"}, "untagged.flac");

    select({"a.flac", "b.flac"});
    ASSERT_EQ(panel()->state(), ArtworkPanel::State::artwork);
    const Artwork& cover = file("a.flac").artwork().first();
    EXPECT_EQ(panel()->captionText(), "8×8 · " + cover.formattedSize() + " · Front Cover");
    EXPECT_TRUE(panel()->frameThumbnails().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel()->thumbnail()->isLoading(); }));
    EXPECT_FALSE(panel()->thumbnail()->image().isNull());

    select({"a.flac", "multi.flac"});
    EXPECT_EQ(panel()->state(), ArtworkPanel::State::varies);
    EXPECT_TRUE(visibleTexts().contains("Different artwork across selection"));
    EXPECT_TRUE(visibleTexts().contains("Choose for All…"));
    EXPECT_TRUE(visibleTexts().contains("Paste to All"));

    select({"none.flac"});
    EXPECT_EQ(panel()->state(), ArtworkPanel::State::empty);
    EXPECT_TRUE(visibleTexts().contains("Drop image here"));
    EXPECT_TRUE(visibleTexts().contains("Choose…"));
    EXPECT_TRUE(visibleTexts().contains("Paste"));

    // Frames: the third one chosen, then another selection starts again at the first.
    select({"multi.flac"});
    ASSERT_EQ(panel()->frameThumbnails().size(), 3);
    QTest::mouseClick(panel()->frameThumbnails()[2], Qt::LeftButton);
    EXPECT_EQ(panel()->selectedFrameIndex(), 2);
    EXPECT_EQ(panel()->shownArtwork(), file("multi.flac").artwork()[2]);
    select({"a.flac"});
    EXPECT_EQ(panel()->selectedFrameIndex(), 0);

    // A large cover is decoded and scaled in the background, not while the selection changes.
    QImage large(3000, 3000, QImage::Format_RGB32);
    large.fill(Qt::darkBlue);
    document.artworkOperations().setArtwork(*ArtworkProcessing::coverArtwork(large));
    EXPECT_TRUE(panel()->thumbnail()->isLoading());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel()->thumbnail()->isLoading(); }, 10000));
    EXPECT_LE(panel()->thumbnail()->image().width(), 80 * panel()->devicePixelRatio());

    // A picture that does not decode shows a placeholder instead.
    const Artwork broken = Artwork::holding("not a picture", ImageFormat::png, ArtworkType::frontCover);
    document.artworkOperations().setArtwork(broken);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel()->thumbnail()->isLoading(); }));
    EXPECT_TRUE(panel()->thumbnail()->showsPlaceholder());
    EXPECT_EQ(panel()->captionText(), "1 KB · Front Cover");
}

TEST_F(ArtworkPanelTest, PastedPictureBytesBecomeAJpegFrontCover) {
    load({"a.flac", "b.flac", "c.flac"});
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bmp; // offered as any image type, the bytes go to the helpers
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "BMP"));
    auto* mime = new QMimeData;
    mime->setData("image/bmp", bmp);
    QApplication::clipboard()->setMimeData(mime);

    select({"a.flac", "b.flac"});
    QSignalSpy handled(panel(), &ArtworkPanel::imageHandled);
    panel()->pasteImage();
    ASSERT_TRUE(handled.wait(5000));
    for (const QString name : {"a.flac", "b.flac"}) {
        ASSERT_EQ(file(name).artwork().size(), 1);
        const Artwork& picture = file(name).artwork().first();
        EXPECT_EQ(picture.format, ImageFormat::jpeg);
        EXPECT_EQ(picture.type, ArtworkType::frontCover);
        EXPECT_EQ(picture.width, 20);
        EXPECT_EQ(picture.height, 10);
        EXPECT_TRUE(picture.data.startsWith("\xff\xd8"));
    }
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Set artwork on 2 files"));

    // A dropped image file goes the same way.
    TestSupport::ScratchFolder folder;
    image.fill(Qt::yellow);
    const QString dropped = folder.filePath("dropped.png");
    ASSERT_TRUE(image.scaled(30, 30).save(dropped));
    QMimeData drag;
    drag.setUrls({QUrl::fromLocalFile(dropped)});
    QWidget* target = panel()->dropTarget();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &drag, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &drag, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    ASSERT_TRUE(handled.wait(5000));
    EXPECT_EQ(file("b.flac").artwork().first().width, 30);
    EXPECT_EQ(file("b.flac").artwork().first().format, ImageFormat::jpeg);

    // A result that arrives after the selection moved on is not applied to the new one.
    const QList<Artwork> before = file("c.flac").artwork();
    panel()->pasteImage();
    select({"c.flac"});
    ASSERT_TRUE(handled.wait(5000));
    EXPECT_EQ(file("c.flac").artwork(), before);

    QApplication::clipboard()->setText("just text");
    panel()->pasteImage();
    QTest::qWait(50);
    EXPECT_EQ(file("c.flac").artwork(), before);
}

TEST_F(ArtworkPanelTest, CopyAndExportPassTheBytesThrough) {
    load({"one.flac"});
    load({"two.flac"}, "rich.flac");
    select({"one.flac", "two.flac"});
    TestSupport::ScratchFolder out;
    std::optional<int> written;
    panel()->exportAllArtworkTo(QUrl::fromLocalFile(out.path()), [&](int count) { written = count; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return written.has_value(); }, 10000));
    EXPECT_EQ(written, 3);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files),
              QStringList({"one-artwork.jpg", "two-frame1.jpg", "two-frame2.png"}));
    const auto bytesOf = [&](const QString& name) {
        QFile written(out.filePath(name));
        return written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
    };
    // The pictures on disk, read apart from the document.
    const QList<Artwork> twoOnDisk = TagLibTagReader().readPictures(file("two.flac").url()).value();
    const QList<Artwork> oneOnDisk = TagLibTagReader().readPictures(file("one.flac").url()).value();
    EXPECT_EQ(bytesOf("two-frame2.png"), twoOnDisk[1].data);
    EXPECT_EQ(bytesOf("one-artwork.jpg"), oneOnDisk[0].data);

    select({"two.flac"});
    panel()->setSelectedFrameIndex(1);
    panel()->copyShownArtwork();
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->data("image/png"), twoOnDisk[1].data);
    EXPECT_TRUE(copied->hasImage());
}

// The pickers act on what is chosen in Qt's own dialog, the one shown where no desktop
// file-dialog integration is installed (as on the offscreen platform).
TEST_F(ArtworkPanelTest, PickersActOnWhatIsChosenInQtsOwnDialog) {
    load({"a.flac"}, "untagged.flac");
    select({"a.flac"});
    const auto openDialog = [] {
        QFileDialog* found = nullptr;
        (void)QTest::qWaitFor([&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
                    found = dialog;
            }
            return found != nullptr;
        });
        return found;
    };
    TestSupport::ScratchFolder folder;
    QImage image(24, 12, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    ASSERT_TRUE(image.save(folder.filePath("cover.png")));

    QSignalSpy handled(panel(), &ArtworkPanel::imageHandled);
    panel()->chooseImage();
    QFileDialog* chooser = openDialog();
    ASSERT_NE(chooser, nullptr);
    chooser->setDirectory(folder.path());
    chooser->selectFile(folder.filePath("cover.png"));
    static_cast<QDialog*>(chooser)->accept(); // as its Open button does
    ASSERT_TRUE(handled.wait(5000));
    ASSERT_EQ(file("a.flac").artwork().size(), 1);
    EXPECT_EQ(file("a.flac").artwork().first().width, 24);

    // A folder: every picture of the selection is written there.
    TestSupport::ScratchFolder out;
    panel()->exportAllArtwork();
    QFileDialog* folderChooser = openDialog();
    ASSERT_NE(folderChooser, nullptr);
    folderChooser->setDirectory(out.path());
    static_cast<QDialog*>(folderChooser)->accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !QDir(out.path()).isEmpty(); }, 10000));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), QStringList{"a-artwork.jpg"});
}

TEST_F(ArtworkPanelTest, OptimizeSheetCaptionComparesTheEstimatePerFrame) {
    load({"a.flac"});
    select({"a.flac"});
    const QList<AudioFile> selected = document.selectedAudioFiles();
    const qint64 estimate =
        ArtworkProcessing::estimatedSize(selected, document.pictureSource(selected.first()), 1000, 0.8);
    ASSERT_GT(estimate, 0);
    // The same picture recorded at twice the estimate: half the size.
    Artwork recorded = selected.first().artwork().first();
    recorded.sizeBytes = 2 * estimate;
    document.artworkOperations().setArtwork(recorded);

    auto sheet = std::make_unique<ArtworkOptimizeSheet>(&document, 1000, 0.8, window.get());
    sheet->show();
    QSignalSpy estimated(sheet.get(), &ArtworkOptimizeSheet::estimateChanged);
    ASSERT_TRUE(estimated.wait(5000));
    EXPECT_EQ(sheet->estimate().estimatedSize, estimate);
    EXPECT_EQ(sheet->captionText(), "↓ 50% smaller");
    QStringList labels;
    for (const QLabel* label : sheet->findChildren<QLabel*>())
        labels.append(label->text());
    EXPECT_TRUE(labels.contains("Applies to 1 selected file."));
    EXPECT_TRUE(labels.contains("Max dimension: 1000 px"));
    EXPECT_TRUE(labels.contains("JPEG quality: 80%"));

    // Sliders moved in a quick run: the labels follow at once, the estimate once after the run.
    sheet->qualitySlider()->setValue(17);
    sheet->qualitySlider()->setValue(2);
    sheet->maxDimensionSlider()->setValue(11);
    ASSERT_TRUE(estimated.wait(5000));
    EXPECT_EQ(estimated.size(), 2);
    EXPECT_EQ(sheet->estimate().estimatedSize,
              ArtworkProcessing::estimatedSize(selected, document.pictureSource(selected.first()), 550, 0.1));
    labels.clear();
    for (const QLabel* label : sheet->findChildren<QLabel*>())
        labels.append(label->text());
    EXPECT_TRUE(labels.contains("Max dimension: 550 px"));
    EXPECT_TRUE(labels.contains("JPEG quality: 10%"));
}

} // namespace
