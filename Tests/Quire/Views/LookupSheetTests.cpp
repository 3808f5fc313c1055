#include "Quire/ViewModels/Preferences.h"
#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/MainWindow/MainWindow.h"
#include "Quire/Views/Sheets/LookupSheet.h"
#include "Support/CannedLookup.h"
#include "Support/LocalHttpServer.h"
#include "WidgetTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>

using namespace WidgetTest;
using Server = TestSupport::LocalHttpServer;

namespace {

// The sheet over the real window, against a local server named in the preferences.
class LookupSheetTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        QSettings settings;
        settings.setValue(PreferenceKeys::musicBrainzURL, server.url().toString());
        settings.setValue(PreferenceKeys::coverArtArchiveURL, server.url().toString());
        server.route("/ws/2/release",
                     CannedLookup::search({{CannedLookup::otherReleaseId, "Live", "Artist", 9, 100},
                                           {CannedLookup::releaseId, "Album", "Artist", 2, 90}}));
        server.route("/ws/2/release/" + CannedLookup::releaseId.toLatin1(),
                     CannedLookup::release("Album", {{"Intro", "Song", "Outro"}}));
        server.route("/release/" + CannedLookup::releaseId.toLatin1(),
                     CannedLookup::coverListing(server.url()));
        server.route("/front-500.jpg",
                     {Server::Response{200, TestSupport::encodedImage(40, 40, "JPEG"), "image/jpeg"}});
        load({QStringLiteral("01 Intro.flac"), QStringLiteral("02 Song.flac")},
             QStringLiteral("untagged.flac"));
        document.selectAll();
        document.editField(TagField::album, QStringLiteral("Album"));
        document.editField(TagField::artist, QStringLiteral("Artist"));
    }
    LookupSheet* open() {
        commands.post(Commands::showLookupSheet);
        auto* sheet = qobject_cast<LookupSheet*>(window->currentSheet());
        EXPECT_NE(sheet, nullptr);
        if (sheet)
            document.releaseLookup().client().setMinimumInterval(std::chrono::milliseconds(0));
        return sheet;
    }
    bool settled(LookupSheet* sheet) {
        return QTest::qWaitFor([sheet] { return !sheet->isBusy(); }, 10000);
    }

    Server server;
};

TEST_F(LookupSheetTest, SearchesAtOnceShowsThePreviewAndAppliesWithTheCoverAsOneStep) {
    LookupSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->descriptionText(),
              "Find the release the 2 selected files belong to on MusicBrainz and take its tags.");
    // Searching started from the tags; the best fitting release is chosen and read.
    EXPECT_TRUE(sheet->searchField()->text().contains("tracks:2")) << sheet->searchField()->text();
    ASSERT_TRUE(QTest::qWaitFor(
        [sheet] { return sheet->preview()->topLevelItemCount() > 0 && !sheet->isBusy(); }, 10000))
        << sheet->statusText();
    EXPECT_EQ(sheet->candidates()->topLevelItemCount(), 2);
    EXPECT_EQ(sheet->candidates()->topLevelItem(0)->text(1), "Album");
    EXPECT_EQ(sheet->statusText(), "2 of 2 files match a track.");
    QStringList rows;
    for (int i = 0; i < sheet->preview()->topLevelItemCount(); ++i)
        rows.append(sheet->preview()->topLevelItem(i)->text(0) + " | " +
                    sheet->preview()->topLevelItem(i)->text(1));
    EXPECT_EQ(rows, QStringList({"01 Intro.flac | 1-01 Intro", "02 Song.flac | 1-02 Song",
                                 "(no file) | 1-03 Outro"}));
    ASSERT_TRUE(sheet->primaryButton()->isEnabled());

    const qsizetype steps = document.history().undoDescriptions().size();
    sheet->coverChoice()->setChecked(true);
    QTest::mouseClick(sheet->primaryButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return window->currentSheet() == nullptr || !window->currentSheet()->isVisible(); }, 10000));
    EXPECT_EQ(document.history().undoDescriptions().size(), steps + 1);
    for (const AudioFile& file : document.files()) {
        EXPECT_EQ(file.tags().albumArtist, "The Band");
        ASSERT_FALSE(file.artwork().isEmpty());
        EXPECT_EQ(file.artwork().first().type, ArtworkType::frontCover);
    }
}

TEST_F(LookupSheetTest, StopAndCancelEndTheRequestsAndChangeNothing) {
    server.route("/ws/2/release",
                 {Server::Response{200, CannedLookup::search({}), "application/json", {}, 10000}});
    const QList<AudioFile> before = document.files();
    LookupSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isBusy());
    EXPECT_TRUE(sheet->stopButton()->isVisible());
    QTest::mouseClick(sheet->stopButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet->isBusy());
    EXPECT_EQ(sheet->statusText(), "Stopped.");
    EXPECT_EQ(document.releaseLookup().client().pendingCount(), 0);

    // A failing service is said in the sheet; Cancel closes it with the files as they were.
    server.route("/ws/2/release", "not json");
    sheet->searchField()->setText("something else");
    QTest::keyClick(sheet->searchField(), Qt::Key_Return); // searches, does not apply
    ASSERT_TRUE(settled(sheet));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->statusText(), "The online service sent an answer that could not be read.");
    EXPECT_TRUE(document.notices().all().isEmpty()); // said once, in the sheet, not in an alert over it
    EXPECT_FALSE(sheet->primaryButton()->isEnabled());
    QTest::mouseClick(sheet->dismissButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(document.files(), before);
}

} // namespace
