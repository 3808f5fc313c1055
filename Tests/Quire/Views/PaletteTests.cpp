#include "WidgetTestSupport.h"

#include "Quire/Views/Palette/CommandPaletteView.h"
#include "Quire/Views/Sheets/FindReplaceSheet.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTest>

using namespace DocumentTest;
using namespace WidgetTest;

namespace {

class PaletteTest : public WindowTest {
protected:
    CommandPaletteView* openPalette() {
        QTest::keyClick(window.get(), Qt::Key_K, Qt::ControlModifier);
        CommandPaletteView* palette = window->commandPalette();
        EXPECT_NE(palette, nullptr);
        if (palette) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return palette->searchField()->hasFocus(); }));
        }
        return palette;
    }
    QStringList titles(const CommandPaletteView* palette) const {
        QStringList shown;
        for (const PaletteCommand& command : palette->shownCommands())
            shown.append(command.title);
        return shown;
    }
    QStringList enabledTitles(const CommandPaletteView* palette) const {
        QStringList shown;
        for (const PaletteCommand& command : palette->shownCommands())
            if (command.isEnabled)
                shown.append(command.title);
        return shown;
    }
    bool isClosed() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !window->isCommandPaletteShown() && !window->commandPalette();
    }
};

TEST_F(PaletteTest, ListsEveryCommandAndMovesAmongTheEnabledOnes) {
    CommandPaletteView* palette = openPalette();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(titles(palette), (QStringList{"Save All Changes",
                                            "Undo",
                                            "Redo",
                                            "Switch Layout: Standard",
                                            "Switch Layout: Podcasts",
                                            "Switch Layout: Classical",
                                            "Switch Layout: DJs",
                                            "Toggle Inspector",
                                            "Copy Field to Field…",
                                            "Rename from Pattern…",
                                            "Number Tracks…",
                                            "Tags from Filename…",
                                            "Tags from Path…",
                                            "Find & Replace…",
                                            "Text Transforms…",
                                            "Look Up Online…",
                                            "Batch Artwork Import…",
                                            "Export All Artwork…",
                                            "Copy Tags",
                                            "Paste Tags",
                                            "Choose Artwork…",
                                            "Paste Artwork",
                                            "Copy Artwork",
                                            "Export Artwork…",
                                            "Optimize Artwork…",
                                            "Remove Artwork",
                                            "Remove from List"}));
    QStringList hints;
    for (const PaletteCommand& command : palette->shownCommands())
        if (command.shortcut)
            hints.append(command.title + " " + *command.shortcut);
    EXPECT_EQ(hints, (QStringList{"Save All Changes Ctrl+S", "Undo Ctrl+Z", "Redo Ctrl+Shift+Z",
                                  "Toggle Inspector Ctrl+Alt+I", "Find & Replace… Ctrl+F", "Copy Tags Ctrl+C",
                                  "Paste Tags Ctrl+V", "Remove from List Backspace"}));
    EXPECT_EQ(palette->shownCommands()[3].icon, "music.note");

    // Nothing loaded: the layouts and the inspector only.
    EXPECT_EQ(enabledTitles(palette).size(), 5);
    EXPECT_EQ(palette->selectedIndex(), 3);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(palette->searchField(), Qt::Key_Down);
    EXPECT_EQ(palette->selectedIndex(), 7);
    QTest::keyClick(palette->searchField(), Qt::Key_Down);
    EXPECT_EQ(palette->selectedIndex(), 3);
    QTest::keyClick(palette->searchField(), Qt::Key_Up);
    EXPECT_EQ(palette->selectedIndex(), 7);

    // Return runs the highlighted command and closes the palette.
    const bool inspector = window->isInspectorShown();
    QTest::keyClick(palette->searchField(), Qt::Key_Return);
    EXPECT_EQ(window->isInspectorShown(), !inspector);
    EXPECT_TRUE(isClosed());
}

TEST_F(PaletteTest, FiltersTitlesAndKeywordsAsOneSubstring) {
    CommandPaletteView* palette = openPalette();
    ASSERT_NE(palette, nullptr);
    QTest::keyClicks(palette->searchField(), "seq");
    EXPECT_EQ(titles(palette), QStringList{"Number Tracks…"});
    palette->searchField()->clear();
    QTest::keyClicks(palette->searchField(), "LAYOUT");
    EXPECT_EQ(titles(palette), (QStringList{"Switch Layout: Standard", "Switch Layout: Podcasts",
                                            "Switch Layout: Classical", "Switch Layout: DJs"}));
    palette->searchField()->clear();
    QTest::keyClicks(palette->searchField(), "tracks number");
    EXPECT_TRUE(titles(palette).isEmpty());
    EXPECT_TRUE(palette->showsNoActionsFound());

    // A disabled command does not run: Return leaves the palette open.
    palette->searchField()->clear();
    QTest::keyClicks(palette->searchField(), "save");
    EXPECT_EQ(titles(palette), QStringList{"Save All Changes"});
    EXPECT_EQ(palette->selectedIndex(), 0);
    QTest::keyClick(palette->searchField(), Qt::Key_Return);
    EXPECT_FALSE(isClosed());
    // So does a click on it.
    QTest::mouseClick(palette->list()->viewport(), Qt::LeftButton, {},
                      palette->list()->visualItemRect(palette->list()->item(0)).center());
    EXPECT_FALSE(isClosed());

    // Ctrl+K closes it again, even from the search field.
    QTest::keyClick(palette->searchField(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_TRUE(isClosed());
    palette = openPalette();
    QTest::keyClick(palette->searchField(), Qt::Key_Escape);
    EXPECT_TRUE(isClosed());
    palette = openPalette();
    QTest::mouseClick(palette, Qt::LeftButton, {}, QPoint(5, palette->height() - 5));
    EXPECT_TRUE(isClosed());
}

TEST_F(PaletteTest, BatchCommandsWaitForARunningSaveAndOpenTheirSheets) {
    auto writer = std::make_shared<ControlledWriter>(QSet<QString>{}, true);
    document.setTagWriter(writer);
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac")});
    document.editField(TagField::genre, QStringLiteral("Jazz"));
    document.saveAll();
    ASSERT_TRUE(document.isSaving());

    CommandPaletteView* palette = openPalette();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(enabledTitles(palette),
              (QStringList{"Switch Layout: Standard", "Switch Layout: Podcasts", "Switch Layout: Classical",
                           "Switch Layout: DJs", "Toggle Inspector", "Copy Tags"}));
    writer->release(1);
    waitForSave(document);
    // The list follows the document while it is open.
    QStringList disabled = titles(palette);
    for (const QString& title : enabledTitles(palette))
        disabled.removeOne(title);
    EXPECT_EQ(disabled, (QStringList{"Save All Changes", "Redo", "Paste Tags"}));

    QTest::keyClicks(palette->searchField(), "find");
    QTest::mouseClick(palette->list()->viewport(), Qt::LeftButton, {},
                      palette->list()->visualItemRect(palette->list()->item(0)).center());
    EXPECT_TRUE(isClosed());
    EXPECT_NE(qobject_cast<FindReplaceSheet*>(window->currentSheet()), nullptr);
}

} // namespace
