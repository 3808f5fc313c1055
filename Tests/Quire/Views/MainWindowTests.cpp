#include "WidgetTestSupport.h"

#include "Quire/Views/Commands/CommandRegistry.h"
#include "Quire/Views/FileList/FileFilterBar.h"
#include "Quire/Views/FileList/FileListView.h"
#include "Quire/Views/Inspector/InspectorView.h"
#include "Quire/Views/MainWindow/EmptyStateView.h"
#include "Quire/Views/MainWindow/ImportProgressOverlay.h"
#include "Quire/Views/MainWindow/OpenPanel.h"
#include "Quire/Views/MainWindow/StatusBarView.h"
#include "Quire/Views/Palette/CommandPaletteView.h"
#include "Quire/Views/Sheets/RenameFromPatternSheet.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace DocumentTest;
using namespace WidgetTest;

namespace {

using MainWindowTest = WindowTest;

TEST_F(MainWindowTest, TitleStatusAndEditedMarkFollowTheFiles) {
    EXPECT_EQ(title(), "Cadenza");
    EXPECT_TRUE(window->emptyState()->isVisible());
    EXPECT_FALSE(window->statusBarView()->isVisible());
    EXPECT_FALSE(window->artworkButton()->isEnabled());

    load({QStringLiteral("a.flac")});
    EXPECT_EQ(title(), "Cadenza — 1 files");
    EXPECT_TRUE(list()->isVisible());
    EXPECT_TRUE(window->statusBarView()->isVisible());
    EXPECT_EQ(window->statusBarView()->countText(), "1 file selected");
    EXPECT_EQ(window->statusBarView()->propertiesText(),
              document.files()[0].properties().formattedBitrate() + " · " +
                  document.files()[0].properties().formattedSampleRate());
    document.setSelectedFiles({});
    EXPECT_EQ(window->statusBarView()->countText(), "1 file");
    EXPECT_EQ(window->statusBarView()->propertiesText(), "");

    load({QStringLiteral("b.flac"), QStringLiteral("c.flac"), QStringLiteral("d.flac")});
    EXPECT_EQ(title(), "Cadenza — 4 files");
    EXPECT_EQ(window->statusBarView()->countText(), "1 file selected");
    document.setSelectedFiles({});
    EXPECT_EQ(window->statusBarView()->countText(), "4 files");
    document.setSelectedFiles({ids()[0], ids()[2], ids()[3]});
    EXPECT_EQ(window->statusBarView()->countText(), "3 files selected");
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_EQ(window->statusBarView()->modifiedText(), "");

    document.editField(TagField::genre, QStringLiteral("Jazz"));
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_EQ(window->statusBarView()->modifiedText(), "3 modified");
    EXPECT_TRUE(window->statusBarView()->saveButton()->isVisible());
}

// A desktop switching to a dark palette: the prominent buttons and the
// secondary texts follow it.
TEST_F(MainWindowTest, FollowsTheDesktopPalette) {
    load({QStringLiteral("a.flac")}, QStringLiteral("untagged.flac"));
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Highlight, QColor(10, 80, 200));
    dark.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    QApplication::setPalette(dark);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->toolbarSaveButton()->palette().color(QPalette::Active, QPalette::Button),
              QColor(10, 80, 200));
    const QModelIndex title = list()->model()->index(0, 2);
    EXPECT_EQ(title.data().toString(), "—");
    EXPECT_EQ(title.data(Qt::ForegroundRole).value<QColor>(), QColor(150, 150, 150));
    QApplication::setPalette(before);
}

TEST_F(MainWindowTest, ToolbarFollowsEditsUndoAndAFailingSave) {
    auto writer = std::make_shared<ControlledWriter>(QSet<QString>{QStringLiteral("b.flac")}, true);
    document.setTagWriter(writer);
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac"), QStringLiteral("c.flac")});
    // The toolbar shows the save command's short text, which counts the files.
    QAction* save = window->action(Commands::saveAllChanges);
    QAction* undo = window->action(Commands::undo);
    QAction* redo = window->action(Commands::redo);
    EXPECT_FALSE(save->isEnabled());
    EXPECT_EQ(save->iconText(), "Save");
    EXPECT_FALSE(redo->isEnabled());
    EXPECT_EQ(redo->toolTip(), "Redo");

    document.setSelectedFiles({ids()[0]});
    document.editField(TagField::title, QStringLiteral("One"));
    EXPECT_TRUE(save->isEnabled());
    EXPECT_EQ(save->iconText(), "Save");
    EXPECT_EQ(window->toolbarSaveButton()->text(), "Save");
    EXPECT_EQ(undo->toolTip(), "Undo: Edit Title");

    document.setSelectedFiles({ids()[0], ids()[1]});
    document.editField(TagField::artist, QStringLiteral("Two"));
    EXPECT_EQ(save->iconText(), "Save 2 Files");
    EXPECT_EQ(window->toolbarSaveButton()->text(), "Save 2 Files");

    undo->trigger();
    EXPECT_EQ(save->iconText(), "Save");
    EXPECT_TRUE(redo->isEnabled());
    EXPECT_EQ(redo->toolTip(), "Redo: Edit Artist");
    redo->trigger();
    EXPECT_EQ(save->iconText(), "Save 2 Files");

    window->toolbarSaveButton()->click();
    EXPECT_TRUE(document.isSaving());
    EXPECT_FALSE(save->isEnabled());
    EXPECT_FALSE(window->toolbarSaveButton()->isEnabled());
    EXPECT_EQ(window->statusBarView()->savingText(), "Saving 1 of 2…");
    writer->release(2);
    waitForSave(document);

    // b.flac failed: the alert shows the save's notice.
    ASSERT_EQ(document.notices().all().size(), 1);
    const QString saveNotice = document.notices().all()[0].text;
    EXPECT_EQ(document.notices().all()[0].files, QStringList{library.path(QStringLiteral("b.flac"))});
    QTRY_VERIFY(window->noticeAlert() && window->noticeAlert()->isVisible());
    EXPECT_EQ(window->noticeAlert()->text(), "Couldn’t Complete the File Operation");
    EXPECT_EQ(window->noticeAlert()->informativeText(), saveNotice);
    EXPECT_EQ(save->iconText(), "Save");
    EXPECT_TRUE(save->isEnabled());
    EXPECT_EQ(window->statusBarView()->savingText(), "");

    // A failed import while the alert is open queues behind it; each shows until dismissed.
    library.add(QStringLiteral("broken.flac"), QStringLiteral("corrupt.flac"));
    importAndWait(document, {library.url(QStringLiteral("broken.flac"))});
    ASSERT_EQ(document.notices().all().size(), 2);
    EXPECT_EQ(window->noticeAlert()->informativeText(), saveNotice);
    window->noticeAlert()->buttons().first()->click();
    QTRY_VERIFY(window->noticeAlert() && window->noticeAlert()->informativeText().contains("broken.flac"));
    window->noticeAlert()->buttons().first()->click();
    EXPECT_EQ(noticeText(document), std::nullopt);
    QTRY_VERIFY(!window->noticeAlert());
    EXPECT_TRUE(fileNamed(document, QStringLiteral("b.flac")).isModified());

    // Artwork work in the background shows its progress in the same place.
    TestSupport::ScratchFolder pictures;
    bool exported = false;
    document.artworkOperations().batchExportAllArtwork(QUrl::fromLocalFile(pictures.path()),
                                                       [&](int) { exported = true; });
    EXPECT_TRUE(window->statusBarView()->savingText().startsWith("Working on artwork…"));
    QTRY_VERIFY(exported);
    EXPECT_EQ(window->statusBarView()->savingText(), "");
}

TEST_F(MainWindowTest, OnlyImportsOfMoreThanTwentyFilesShowProgress) {
    auto reader = std::make_shared<GatedReader>();
    document.setTagReader(reader);
    TestSupport::ScratchFolder small;
    TestSupport::ScratchFolder large;
    for (int i = 0; i < 21; ++i) {
        if (i < 20)
            small.write(QStringLiteral("%1.mp3").arg(i));
        large.write(QStringLiteral("%1.mp3").arg(i));
    }

    document.importFiles({QUrl::fromLocalFile(small.path())});
    QTRY_VERIFY(reader->inFlight() > 0);
    EXPECT_FALSE(window->importOverlay()->isVisible());
    reader->release(20);
    QTRY_VERIFY(!document.isLoading());

    document.importFiles({QUrl::fromLocalFile(large.path())});
    QTRY_VERIFY(reader->inFlight() > 0);
    EXPECT_TRUE(window->importOverlay()->isVisible());
    EXPECT_EQ(window->importOverlay()->progressText(), "Importing 0 of 21 files");
    reader->release(21);
    QTRY_VERIFY(!document.isLoading());
    EXPECT_FALSE(window->importOverlay()->isVisible());
    EXPECT_EQ(document.files().size(), 41);
}

// Drops go to the empty state before anything is loaded and to the table afterwards.
TEST_F(MainWindowTest, DroppedFoldersAreImported) {
    library.add(QStringLiteral("Album/1.flac"));
    library.add(QStringLiteral("Album/Disc 2/2.mp3"), QStringLiteral("tagged.mp3"));
    library.add(QStringLiteral("Album/cover.txt"), QStringLiteral("tagged.mp3"));
    const auto drop = [&](QWidget* target, const QUrl& url) {
        QMimeData mime;
        mime.setUrls({url});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        EXPECT_TRUE(dropped.isAccepted());
    };

    drop(window->emptyState(), library.url(QStringLiteral("Album")));
    QTRY_COMPARE(document.files().size(), 2);
    QTRY_VERIFY(!document.isLoading());

    library.add(QStringLiteral("More/3.flac"));
    drop(list()->viewport(), library.url(QStringLiteral("More")));
    QTRY_COMPARE(document.files().size(), 3);
}

TEST_F(MainWindowTest, CommandsReachTheWindow) {
    ASSERT_TRUE(window->isInspectorShown());
    EXPECT_FALSE(window->inspectorPane()->isHidden());
    window->action(Commands::toggleInspector)->trigger();
    EXPECT_FALSE(window->isInspectorShown());
    EXPECT_TRUE(window->inspectorPane()->isHidden());
    commands.post(Commands::toggleInspector);
    EXPECT_TRUE(window->isInspectorShown());

    window->emptyState()->openButton()->click();
    OpenPanel* panel = window->findChild<OpenPanel*>();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->labelText(QFileDialog::Accept), "Add");
    EXPECT_EQ(panel->windowTitle(), "Choose audio files or folders");
    commands.post(Commands::openFiles); // the same panel again
    EXPECT_EQ(window->findChildren<OpenPanel*>().size(), 1);
    panel->reject();
}

// The menus, the context menu and the palette share the registry's actions, so
// they offer the same commands, enabled alike.
TEST_F(MainWindowTest, MenuBarOffersTheBatchAndArtworkCommandsByKeyboard) {
    const auto texts = [](const QMenu* menu) {
        QStringList shown;
        for (const QAction* action : menu->actions())
            shown.append(action->isSeparator() ? QStringLiteral("-") : action->text().replace("&&", "&"));
        return shown;
    };
    QStringList titles;
    for (const QAction* menu : window->menuBar()->actions())
        titles.append(menu->text());
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&View", "&Tags", "&Artwork", "&Help"}));
    QMenu* tags = window->menuBar()->actions()[3]->menu();
    QMenu* artwork = window->menuBar()->actions()[4]->menu();
    EXPECT_EQ(texts(tags), (QStringList{"Rename from Pattern…", "Tags from Filename…", "Tags from Path…", "-",
                                        "Number Tracks…", "Find & Replace…", "Text Transforms…",
                                        "Copy Field to Field…", "-", "Look Up Online…"}));
    EXPECT_EQ(texts(artwork), (QStringList{"Batch Artwork Import…", "Export All Artwork…", "-",
                                           "Choose Artwork…", "Paste Artwork", "Copy Artwork",
                                           "Export Artwork…", "Optimize Artwork…", "Remove Artwork"}));
    for (const QMenu* menu : {tags, artwork}) { // nothing loaded
        for (const QAction* action : menu->actions())
            EXPECT_TRUE(action->isSeparator() || !action->isEnabled()) << action->text().toStdString();
    }

    load({QStringLiteral("a.flac"), QStringLiteral("b.flac")});
    QAction* rename = window->action(Commands::showRenameSheet);
    std::unique_ptr<QMenu> context(list()->createContextMenu(QPoint(5, list()->viewport()->height() - 5)));
    ASSERT_TRUE(context->actions().contains(rename));
    ASSERT_TRUE(tags->actions().contains(rename));
    EXPECT_TRUE(rename->isEnabled());
    document.setSelectedFiles({});
    EXPECT_FALSE(rename->isEnabled());
    QTest::keyClick(window.get(), Qt::Key_K, Qt::ControlModifier);
    ASSERT_NE(window->commandPalette(), nullptr);
    for (const PaletteCommand& command : window->commandPalette()->shownCommands()) {
        if (command.title == "Rename from Pattern…") {
            EXPECT_FALSE(command.isEnabled);
        }
    }
    QTest::keyClick(window->commandPalette()->searchField(), Qt::Key_Escape);
    document.setSelectedFiles({ids()[1]});
    EXPECT_TRUE(rename->isEnabled());

    // Artwork items act on the selection, through the inspector's panel.
    load({QStringLiteral("c.flac")}, QStringLiteral("untagged.flac"));
    document.setSelectedFiles({ids()[0], ids()[2]});
    ASSERT_FALSE(document.files()[0].artwork().isEmpty());
    EXPECT_FALSE(window->action(Commands::copyArtwork)->isEnabled()); // the two differ
    ASSERT_TRUE(window->action(Commands::removeArtwork)->isEnabled());
    window->action(Commands::removeArtwork)->trigger();
    EXPECT_TRUE(document.files()[0].artwork().isEmpty());
    EXPECT_FALSE(window->action(Commands::removeArtwork)->isEnabled());
    document.setSelectedFiles({ids()[1]});
    EXPECT_TRUE(window->action(Commands::copyArtwork)->isEnabled());

    // Alt+T opens the menu on its first item; Return runs it.
    QTest::keyClick(window.get(), Qt::Key_T, Qt::AltModifier);
    QTRY_COMPARE(QApplication::activePopupWidget(), tags);
    EXPECT_EQ(tags->activeAction(), rename);
    QTest::keyClick(tags, Qt::Key_Return);
    QTRY_VERIFY(qobject_cast<RenameFromPatternSheet*>(window->currentSheet()));
    EXPECT_EQ(qobject_cast<RenameFromPatternSheet*>(window->currentSheet())->descriptionText(),
              "Rename 1 selected file using tokens. Applies to the actual files on disk.");
}

// Every command is in the menu bar, with its shortcut.
TEST_F(MainWindowTest, EveryCommandIsInTheMenuBar) {
    QSet<const QAction*> inMenus;
    const std::function<void(const QMenu*)> collect = [&](const QMenu* menu) {
        for (const QAction* action : menu->actions()) {
            inMenus.insert(action);
            if (action->menu())
                collect(action->menu());
        }
    };
    for (const QAction* title : window->menuBar()->actions())
        collect(title->menu());
    for (const CommandRegistry::Command& command : window->commandRegistry()->commands())
        EXPECT_TRUE(inMenus.contains(command.action)) << command.name.toStdString();
    EXPECT_EQ(window->action(Commands::focusNextPane)->shortcut(), QKeySequence(Qt::Key_F6));
    EXPECT_EQ(window->action(Commands::selectAll)->shortcut(), QKeySequence(QKeySequence::SelectAll));
}

// Tab leaves the list with its selection whole; F6 and Shift+F6 go round the
// filter field, the list and the inspector.
TEST_F(MainWindowTest, TabLeavesTheListAndF6GoesRoundThePanes) {
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac"), QStringLiteral("c.flac")});
    window->activateWindow();
    document.setSelectedFiles({ids()[0], ids()[2]});
    list()->setFocus();
    ASSERT_TRUE(list()->hasFocus());
    QTest::keyClick(list(), Qt::Key_Tab);
    EXPECT_FALSE(list()->hasFocus());
    EXPECT_EQ(document.selectedFiles(), (QSet<QUuid>{ids()[0], ids()[2]}));
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 2);

    QLineEdit* filter = window->filterBar()->field();
    const auto focusedPane = [&]() -> QString {
        QWidget* focused = QApplication::focusWidget();
        if (focused == filter)
            return "filter";
        if (focused == list())
            return "list";
        if (focused && window->inspectorPane()->isAncestorOf(focused))
            return "inspector";
        return "elsewhere";
    };
    list()->setFocus();
    QStringList visited;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
        visited.append(focusedPane());
    }
    EXPECT_EQ(visited, (QStringList{"inspector", "filter", "list"}));
    QTest::keyClick(list(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(focusedPane(), "filter");
    EXPECT_EQ(document.selectedFiles().size(), 2);

    // Without the inspector, the two others alternate.
    window->setInspectorShown(false);
    QTest::keyClick(filter, Qt::Key_F6);
    EXPECT_EQ(focusedPane(), "list");
    QTest::keyClick(list(), Qt::Key_F6);
    EXPECT_EQ(focusedPane(), "filter");
}

// The inspector's visibility and layout and the columns' widths are the
// views' own, kept in the settings for the next window.
TEST_F(MainWindowTest, ViewStateSurvivesANewWindow) {
    const int duration = 6; // a column of fixed share, not fitted to the window
    QHeaderView* header = list()->horizontalHeader();
    ASSERT_NE(header->sectionSize(duration), 95);
    header->resizeSection(duration, 95);
    window->action(Commands::switchLayoutPrefix + "Podcasts")->trigger();
    EXPECT_EQ(window->inspectorPane()->currentLayout(), InspectorLayout::podcasts());
    window->action(Commands::toggleInspector)->trigger();
    load({QStringLiteral("a.flac")}); // an import leaves the inspector hidden
    EXPECT_FALSE(window->isInspectorShown());
    EXPECT_TRUE(window->inspectorPane()->isHidden());

    window = std::make_unique<MainWindow>(&document, &commands);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_FALSE(window->isInspectorShown());
    EXPECT_TRUE(window->inspectorPane()->isHidden());
    EXPECT_EQ(window->inspectorPane()->currentLayout(), InspectorLayout::podcasts());
    EXPECT_EQ(list()->horizontalHeader()->sectionSize(duration), 95);
    window->action(Commands::toggleInspector)->trigger();
    EXPECT_TRUE(window->inspectorPane()->isVisible());
}

// The panel takes files and folders in one selection.
TEST_F(MainWindowTest, TheOpenPanelAddsFilesAndFoldersTogether) {
    library.add(QStringLiteral("Folder/1.flac"));
    library.add(QStringLiteral("2.flac"));
    OpenPanel panel(window.get());
    panel.setDirectory(library.path());
    panel.show();
    QAbstractItemView* view = nullptr;
    for (QAbstractItemView* candidate : panel.findChildren<QAbstractItemView*>()) {
        if (candidate->isVisible() && candidate->objectName() != u"sidebar")
            view = candidate;
    }
    ASSERT_NE(view, nullptr);
    QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 2);
    view->selectAll();
    panel.accept();
    QList<QUrl> chosen = panel.chosenUrls();
    std::sort(chosen.begin(), chosen.end());
    EXPECT_EQ(chosen,
              (QList<QUrl>{library.url(QStringLiteral("2.flac")), library.url(QStringLiteral("Folder"))}));
}

} // namespace
