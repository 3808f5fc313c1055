#include "WidgetTestSupport.h"

#include "Quire/ViewModels/ReadCache.h"
#include "Quire/Views/Artwork/ArtworkOptimizeSheet.h"
#include "Quire/Views/Artwork/ArtworkPanel.h"
#include "Quire/Views/Inspector/InspectorView.h"
#include "Quire/Views/Preferences/PreferencesWindow.h"
#include "Quire/Views/Sheets/RenameFromPatternSheet.h"
#include "Quire/Views/Sheets/TagsFromFilenameSheet.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class PreferencesTest : public testing::Test {
protected:
    std::unique_ptr<QSettings> store() const {
        return std::make_unique<QSettings>(folder.filePath("prefs.ini"), QSettings::IniFormat);
    }
    TestSupport::ScratchFolder folder;
};

TEST_F(PreferencesTest, AnEmptyStoreShowsTheDefaultsAndOpeningWritesNothing) {
    auto settings = store();
    PreferencesWindow window(settings.get());
    ASSERT_EQ(window.tabs()->count(), 4);
    EXPECT_EQ(window.tabs()->tabText(0), "Tags");
    EXPECT_EQ(window.tabs()->tabText(1), "Artwork");
    EXPECT_EQ(window.tabs()->tabText(2), "Patterns");
    EXPECT_EQ(window.tabs()->tabText(3), "Online");
    EXPECT_TRUE(window.choice("ID3v2.4")->isChecked());
    EXPECT_FALSE(window.choice("ID3v2.3")->isChecked());
    EXPECT_EQ(window.qualityLabel()->text(), "JPEG quality: 80%");
    EXPECT_EQ(window.dimensionLabel()->text(), "Default max dimension: 1000 px");
    EXPECT_EQ(window.renamePatternField()->text(), "{track} - {title}");
    EXPECT_EQ(window.filenamePatternField()->text(), "{trackNumber} - {title}");
    EXPECT_TRUE(settings->allKeys().isEmpty());
}

TEST_F(PreferencesTest, ControlsWriteTheirKeysAtOnce) {
    {
        auto settings = store();
        PreferencesWindow window(settings.get());
        window.show();
        window.tabs()->setCurrentIndex(1);
        QSlider* quality = window.qualitySlider();
        quality->setFocus();
        QTest::keyClick(quality, Qt::Key_Right);
        EXPECT_EQ(window.qualityLabel()->text(), "JPEG quality: 85%");
        EXPECT_DOUBLE_EQ(store()->value("artworkJPEGQuality").toDouble(), 0.85);
        QTest::keyClick(quality, Qt::Key_Home);
        EXPECT_EQ(window.qualityLabel()->text(), "JPEG quality: 10%");
        QTest::keyClick(quality, Qt::Key_End);
        EXPECT_EQ(window.qualityLabel()->text(), "JPEG quality: 100%");

        QSlider* dimension = window.dimensionSlider();
        dimension->setFocus();
        QTest::keyClick(dimension, Qt::Key_Left);
        EXPECT_EQ(window.dimensionLabel()->text(), "Default max dimension: 950 px");
        QTest::keyClick(dimension, Qt::Key_Home);
        EXPECT_EQ(window.dimensionLabel()->text(), "Default max dimension: 100 px");
        QTest::keyClick(dimension, Qt::Key_End);
        EXPECT_EQ(window.dimensionLabel()->text(), "Default max dimension: 3000 px");
        EXPECT_DOUBLE_EQ(store()->value("artworkMaxDimension").toDouble(), 3000.0);

        window.choice("ID3v2.3")->click();
        EXPECT_EQ(store()->value("defaultID3Version").toString(), "ID3v2.3");
        // An emptied field stores empty text, not the default.
        window.renamePatternField()->selectAll();
        QTest::keyClick(window.renamePatternField(), Qt::Key_Backspace);
        EXPECT_TRUE(store()->contains("renamePatternPreset"));
        EXPECT_EQ(store()->value("renamePatternPreset").toString(), "");
    }
    // The next window shows what was stored.
    auto settings = store();
    PreferencesWindow window(settings.get());
    EXPECT_TRUE(window.choice("ID3v2.3")->isChecked());
    EXPECT_EQ(window.qualityLabel()->text(), "JPEG quality: 100%");
    EXPECT_EQ(window.renamePatternField()->text(), "");
    EXPECT_EQ(window.renamePatternField()->placeholderText(), "{track} - {title}");
    EXPECT_EQ(window.filenamePatternField()->text(), "{trackNumber} - {title}");
}

// What the fields hold is where lookups go; the environment overrides it, and an address that is
// not http or https falls back to the service's own.
TEST_F(PreferencesTest, LookupAddressesComeFromTheFieldsOrTheEnvironment) {
    auto settings = store();
    PreferencesWindow window(settings.get());
    EXPECT_EQ(window.musicBrainzField()->text(), "https://musicbrainz.org");
    EXPECT_EQ(Preferences::lookupServices(*settings), LookupServices{});
    window.musicBrainzField()->clear();
    QTest::keyClicks(window.musicBrainzField(), "http://mirror.test:5000");
    QTest::keyClicks(window.coverArtField(), "/x"); // after the default: a path below it
    LookupServices services = Preferences::lookupServices(*settings);
    EXPECT_EQ(services.musicBrainz, QUrl("http://mirror.test:5000"));
    EXPECT_EQ(services.coverArt, QUrl("https://coverartarchive.org/x"));

    window.musicBrainzField()->clear();
    QTest::keyClicks(window.musicBrainzField(), "file:///etc");
    EXPECT_EQ(Preferences::lookupServices(*settings).musicBrainz, QUrl("https://musicbrainz.org"));
    qputenv(Preferences::musicBrainzURLVariable, "http://127.0.0.1:9");
    services = Preferences::lookupServices(*settings);
    qunsetenv(Preferences::musicBrainzURLVariable);
    EXPECT_EQ(services.musicBrainz, QUrl("http://127.0.0.1:9"));
}

TEST_F(PreferencesTest, EveryControlIsDescribedAndCloseOrEscapeCloses) {
    auto settings = store();
    PreferencesWindow window(settings.get());
    window.show();
    // A line of description beside every control, beyond the group titles and slider labels.
    for (int tab = 0; tab < window.tabs()->count(); ++tab) {
        const QList<QLabel*> labels = window.tabs()->widget(tab)->findChildren<QLabel*>();
        EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](const QLabel* label) {
            return label->wordWrap() && label->text().size() > 40;
        })) << window.tabs()->tabText(tab).toStdString();
    }
    EXPECT_EQ(window.choice("UTF-16"), nullptr); // saves cannot honour a choice of encoding
    ASSERT_NE(window.closeButton(), nullptr);
    QTest::mouseClick(window.closeButton(), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    window.show();
    window.renamePatternField()->setFocus();
    QTest::keyClick(window.renamePatternField(), Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

// The Edit menu opens the one preferences window, and brings it back to the
// front when it is open already.
using PreferencesMenuTest = WidgetTest::WindowTest;

TEST_F(PreferencesMenuTest, EditMenuOpensThePreferences) {
    QAction* preferences = window->action(Commands::showPreferences);
    EXPECT_EQ(preferences->text(), "Preferences…");
    EXPECT_EQ(preferences->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_GE(menus.size(), 2);
    EXPECT_TRUE(menus[1]->menu()->actions().contains(preferences));
    preferences->trigger();
    PreferencesWindow* shown = window->preferencesWindow();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    preferences->trigger();
    EXPECT_EQ(window->preferencesWindow(), shown);
    shown->close();
}

// The default version takes effect at once and at the next start, for the
// tags a save creates; a file's own ID3v2 tag keeps its version in the bridge.
TEST_F(PreferencesMenuTest, SavesCreateTagsOfTheChosenID3Version) {
    auto writer = std::make_shared<DocumentTest::ControlledWriter>();
    document.setTagWriter(writer);
    load({QStringLiteral("a.wav")}, QStringLiteral("info-only.wav"));
    EXPECT_EQ(document.newId3v2Version(), 4);

    window->action(Commands::showPreferences)->trigger();
    ASSERT_NE(window->preferencesWindow(), nullptr);
    window->preferencesWindow()->choice("ID3v2.3")->click();
    EXPECT_EQ(document.newId3v2Version(), 3);
    ASSERT_TRUE(document.editField(TagField::title, QStringLiteral("Side A"), ids()[0]).ok());
    document.saveAll();
    DocumentTest::waitForSave(document);
    EXPECT_EQ(writer->versionsPassed(), QList<int>{3});

    window->preferencesWindow()->choice("ID3v2.4")->click();
    EXPECT_EQ(document.newId3v2Version(), 4);
    window->preferencesWindow()->choice("ID3v2.3")->click();
    window->preferencesWindow()->close();

    // A new start reads the stored choice.
    window.reset();
    DocumentViewModel next;
    MainWindow started(&next, &commands);
    EXPECT_EQ(next.newId3v2Version(), 3);
}

// The read cache is on in the user's cache folder until the switch turns it off, at once.
TEST_F(PreferencesMenuTest, TheReadCacheSwitchTakesEffectAtOnce) {
    EXPECT_EQ(document.readCachePath(), ReadCache::defaultPath());
    window->action(Commands::showPreferences)->trigger();
    PreferencesWindow* preferences = window->preferencesWindow();
    ASSERT_NE(preferences, nullptr);
    EXPECT_TRUE(preferences->readCacheBox()->isChecked());
    preferences->readCacheBox()->click();
    EXPECT_EQ(document.readCachePath(), QString());
    preferences->readCacheBox()->click();
    EXPECT_EQ(document.readCachePath(), ReadCache::defaultPath());
    preferences->close();
}

// The presets are what the sheets propose, and the artwork settings where the
// optimise sheet starts, as soon as they are changed.
TEST_F(PreferencesMenuTest, SheetsStartFromThePreferences) {
    load({QStringLiteral("a.flac")});
    window->action(Commands::showPreferences)->trigger();
    PreferencesWindow* preferences = window->preferencesWindow();
    ASSERT_NE(preferences, nullptr);
    preferences->renamePatternField()->selectAll();
    QTest::keyClicks(preferences->renamePatternField(), "{artist} - {title}");
    preferences->filenamePatternField()->selectAll();
    QTest::keyClicks(preferences->filenamePatternField(), "{artist} - {title}");
    preferences->dimensionSlider()->setValue(600 / 50);
    preferences->qualitySlider()->setValue(13);

    commands.post(Commands::showRenameSheet);
    auto* rename = qobject_cast<RenameFromPatternSheet*>(window->currentSheet());
    ASSERT_NE(rename, nullptr);
    EXPECT_EQ(rename->patternField()->text(), "{artist} - {title}");
    rename->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    commands.post(Commands::showTagsFromFilenameSheet);
    auto* names = qobject_cast<TagsFromFilenameSheet*>(window->currentSheet());
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->patternField()->text(), "{artist} - {title}");
    names->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    auto* inspector = qobject_cast<InspectorView*>(window->inspectorPane());
    ASSERT_NE(inspector, nullptr);
    inspector->artworkPanel()->showOptimizeSheet();
    auto* optimize = window->findChild<ArtworkOptimizeSheet*>();
    ASSERT_NE(optimize, nullptr);
    EXPECT_EQ(optimize->maxDimension(), 600);
    EXPECT_DOUBLE_EQ(optimize->jpegQuality(), 0.65);
    optimize->close();

    // An emptied preset proposes the default.
    preferences->renamePatternField()->selectAll();
    QTest::keyClick(preferences->renamePatternField(), Qt::Key_Backspace);
    commands.post(Commands::showRenameSheet);
    rename = qobject_cast<RenameFromPatternSheet*>(window->currentSheet());
    ASSERT_NE(rename, nullptr);
    EXPECT_EQ(rename->patternField()->text(), "{track} - {title}");
    rename->reject();
    preferences->close();
    // The next tests start from the defaults.
    QSettings settings;
    for (const QString& key : {PreferenceKeys::renamePatternPreset, PreferenceKeys::tagsFromFilenamePreset,
                               PreferenceKeys::artworkMaxDimension, PreferenceKeys::artworkJPEGQuality})
        settings.remove(key);
}

} // namespace
