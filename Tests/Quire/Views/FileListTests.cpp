#include "WidgetTestSupport.h"

#include "Quire/Views/FileList/CellEditorDelegate.h"
#include "Quire/Views/FileList/FileFilterBar.h"
#include "Quire/Views/FileList/FileListModel.h"
#include "Quire/Views/FileList/FileListView.h"
#include "Quire/Views/MainWindow/StatusBarView.h"
#include "Quire/Views/Sheets/TrackNumberingSheet.h"

#include <QSettings>

#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace DocumentTest;
using namespace WidgetTest;

namespace {

class FileListTest : public WindowTest {
protected:
    FileListModel* model() const { return list()->fileModel(); }
    int column(FileColumn wanted) const {
        for (int column = 0; column < FileListColumns::count; ++column) {
            if (FileListColumns::at(column).column == wanted)
                return column;
        }
        return -1;
    }
    QModelIndex cell(int row, FileColumn wanted) const { return model()->index(row, column(wanted)); }
    int rowOf(const QString& name) const {
        for (int row = 0; row < model()->rowCount(); ++row) {
            if (model()->rows()[row].filename() == name)
                return row;
        }
        return -1;
    }
    void clickHeader(FileColumn wanted) { clickSection(column(wanted)); }
    void clickSection(int section) {
        QHeaderView* header = list()->horizontalHeader();
        list()->scrollTo(model()->index(0, section));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                                 header->height() / 2));
    }
    // Opens the editor of a cell with a double-click, as a user does.
    CellEditor* startEditing(const QModelIndex& index) {
        list()->scrollTo(index);
        const QPoint center = list()->visualRect(index).center();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, center);
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, center);
        return qobject_cast<CellEditor*>(list()->indexWidget(index));
    }
    // Types into the open editor and presses a key; true when the editor closed.
    bool typeAndPress(CellEditor* editor, const QString& text, Qt::Key key = Qt::Key_Return) {
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, key);
        QCoreApplication::processEvents();
        return !list()->isEditingCell();
    }
    const AudioFile& fileWithId(const QUuid& id) const {
        for (const AudioFile& file : document.files()) {
            if (file.id() == id)
                return file;
        }
        throw std::runtime_error("no such file");
    }
};

TEST_F(FileListTest, CellsShowTheFilesAndADashForMissingValues) {
    load({QStringLiteral("untagged.flac")}, QStringLiteral("untagged.flac"));
    load({QStringLiteral("tagged.flac")});
    const int tagged = rowOf(QStringLiteral("tagged.flac"));
    const int untagged = rowOf(QStringLiteral("untagged.flac"));
    const AudioFile& file = model()->rows()[tagged];
    EXPECT_EQ(cell(tagged, FileColumn::filename).data().toString(), "tagged.flac");
    EXPECT_EQ(cell(tagged, FileColumn::filename).data(Qt::ToolTipRole).toString(),
              file.path()); // where it is
    EXPECT_EQ(cell(tagged, FileColumn::title).data().toString(), *file.tags().title);
    EXPECT_EQ(cell(tagged, FileColumn::title).data(Qt::ToolTipRole).toString(), *file.tags().title);
    EXPECT_EQ(cell(tagged, FileColumn::track).data().toString(), *file.tags().trackNumber);
    EXPECT_EQ(cell(tagged, FileColumn::format).data().toString(), "FLAC");
    for (FileColumn column : {FileColumn::title, FileColumn::artist, FileColumn::album, FileColumn::track}) {
        EXPECT_EQ(cell(untagged, column).data().toString(), "—");
        EXPECT_FALSE(cell(untagged, column).data(Qt::ToolTipRole).isValid());
        EXPECT_TRUE(cell(untagged, column).data(Qt::ForegroundRole).isValid());
    }
    EXPECT_FALSE(cell(tagged, FileColumn::modified).data(Qt::DecorationRole).isValid());
    document.editField(TagField::title, QStringLiteral("Changed"), file.id());
    EXPECT_EQ(
        cell(rowOf(QStringLiteral("tagged.flac")), FileColumn::modified).data(Qt::ToolTipRole).toString(),
        "Unsaved changes");
}

// The table follows the document's change events and is never reset: edits
// change their rows (the first and the last included), files are inserted and
// removed where they stand, a new order moves the rows, and the selection, the
// current row and the scroll position stay with their files.
TEST_F(FileListTest, TheTableFollowsTheDocumentRowByRow) {
    load({QStringLiteral("b.flac"), QStringLiteral("c.flac"), QStringLiteral("d.flac"),
          QStringLiteral("e.flac")});
    QSignalSpy resets(model(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(model(), &QAbstractItemModel::dataChanged);
    const auto changedRows = [&] {
        QList<int> rows;
        for (const QList<QVariant>& change : std::as_const(changes)) {
            for (int row = change[0].value<QModelIndex>().row(); row <= change[1].value<QModelIndex>().row();
                 ++row)
                rows.append(row);
        }
        changes.clear();
        return rows;
    };
    const auto selectedNames = [&] {
        QStringList names;
        for (const QModelIndex& index : list()->selectionModel()->selectedRows())
            names.append(model()->rows()[index.row()].filename());
        names.sort();
        return names;
    };

    for (int row : {0, 3}) {
        const QString name = model()->rows()[row].filename();
        ASSERT_TRUE(document.editField(TagField::title, QStringLiteral("Row %1").arg(row), ids()[row]).ok());
        EXPECT_EQ(changedRows(), QList<int>{row});
        EXPECT_EQ(cell(row, FileColumn::title).data().toString(), QStringLiteral("Row %1").arg(row));
        EXPECT_EQ(model()->rows()[row].filename(), name);
    }

    // An edit of the whole selection changes the selected rows only.
    document.setSelectedFiles({ids()[0], ids()[2], ids()[3]});
    document.editField(TagField::genre, QStringLiteral("Jazz"));
    EXPECT_EQ(changedRows(), QList<int>({0, 2, 3}));

    // A file sorted to the front is inserted there; the selection moves down with its files.
    load({QStringLiteral("a.flac")});
    EXPECT_EQ(namesOf(model()->rows()), QStringList({"a.flac", "b.flac", "c.flac", "d.flac", "e.flac"}));
    EXPECT_EQ(selectedNames(), QStringList({"b.flac", "d.flac", "e.flac"}));

    // Removing files in the middle keeps the selection of the others.
    QSignalSpy removals(model(), &QAbstractItemModel::rowsRemoved);
    document.setSelectedFiles({ids()[2]});
    document.removeSelectedFromList();
    EXPECT_EQ(removals.count(), 1);
    EXPECT_EQ(namesOf(model()->rows()), QStringList({"a.flac", "b.flac", "d.flac", "e.flac"}));
    document.setSelectedFiles({ids()[0], ids()[3]});
    document.undo(); // c.flac comes back between them
    EXPECT_EQ(namesOf(model()->rows()), namesOf(document.files()));
    EXPECT_EQ(selectedNames(), QStringList({"c.flac"}));

    // Sorted the other way round: the rows move with the selection and the current row.
    document.setSelectedFiles({ids()[1], ids()[4]});
    list()->selectionModel()->setCurrentIndex(cell(4, FileColumn::title), QItemSelectionModel::NoUpdate);
    document.setSortOrder({SortDescriptor{SortKey::filename, false}});
    document.sortFiles();
    EXPECT_EQ(namesOf(model()->rows()), QStringList({"e.flac", "d.flac", "c.flac", "b.flac", "a.flac"}));
    EXPECT_EQ(selectedNames(), QStringList({"b.flac", "e.flac"}));
    EXPECT_EQ(list()->currentIndex().row(), 0);
    EXPECT_EQ(resets.count(), 0);
}

// A cell takes what the inspector takes: refused text changes nothing, and
// "number/total" in the track column is one step.
TEST_F(FileListTest, CellsCheckWhatIsTyped) {
    load({QStringLiteral("a.flac")});
    const AudioFile before = document.files()[0];
    const auto steps = document.history().undoDescriptions().size();
    QSignalSpy refusals(model(), &FileListModel::inputRefused);
    EXPECT_FALSE(model()->setData(cell(0, FileColumn::track), QStringLiteral("abc"), Qt::EditRole));
    EXPECT_EQ(document.files()[0], before);
    ASSERT_EQ(refusals.count(), 1);
    EXPECT_TRUE(refusals[0][1].toString().startsWith(QStringLiteral("Track Number takes")));
    EXPECT_TRUE(model()->setData(cell(0, FileColumn::track), QStringLiteral("5/17"), Qt::EditRole));
    EXPECT_EQ(document.files()[0].tags().trackNumber, QStringLiteral("5"));
    EXPECT_EQ(document.files()[0].tags().trackTotal, QStringLiteral("17"));
    EXPECT_EQ(document.history().undoDescriptions().size(), steps + 1);

    // A refused name says why, too.
    EXPECT_FALSE(model()->setData(cell(0, FileColumn::filename), QStringLiteral("AC/DC"), Qt::EditRole));
    ASSERT_EQ(refusals.count(), 2);
    EXPECT_TRUE(refusals[1][1].toString().startsWith(QStringLiteral("A file name can’t contain /")));
}

// The name and tag columns share the width the others leave, never below
// their minimum widths.
TEST_F(FileListTest, ColumnsFitTheWindow) {
    load({QStringLiteral("a.flac")});
    QHeaderView* header = list()->horizontalHeader();
    const auto flexibleWidths = [&] {
        int sum = 0;
        for (int column = 0; column < FileListColumns::count; ++column)
            sum += FileListColumns::at(column).flexible ? header->sectionSize(column) : 0;
        return sum;
    };
    int fixed = 0;
    for (int column = 0; column < FileListColumns::count; ++column)
        fixed += FileListColumns::at(column).flexible ? 0 : header->sectionSize(column);

    window->resize(900, 600); // narrower than the columns' minimum widths
    QCoreApplication::processEvents();
    ASSERT_LT(list()->viewport()->width(), fixed + 660);
    EXPECT_EQ(header->sectionSize(column(FileColumn::filename)), 240);
    EXPECT_EQ(header->sectionSize(column(FileColumn::album)), 120);

    window->resize(1900, 800);
    QCoreApplication::processEvents();
    EXPECT_NEAR(flexibleWidths(), list()->viewport()->width() - fixed, 4);
    EXPECT_GT(header->sectionSize(column(FileColumn::filename)),
              header->sectionSize(column(FileColumn::title)));
    EXPECT_EQ(header->sectionSize(column(FileColumn::track)), 40);
}

TEST_F(FileListTest, SelectionIsSyncedBothWaysWithoutEchoes) {
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac"), QStringLiteral("c.flac")});
    QSignalSpy documentChanges(&document, &DocumentViewModel::selectedFilesChanged);

    document.setSelectedFiles({ids()[0], ids()[2]});
    EXPECT_EQ(documentChanges.count(), 1);
    QModelIndexList rows = list()->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (QModelIndexList{cell(0, FileColumn::modified), cell(2, FileColumn::modified)}));

    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                      list()->visualRect(cell(1, FileColumn::title)).center());
    EXPECT_EQ(document.selectedFiles(), QSet<QUuid>{ids()[1]});
    EXPECT_EQ(documentChanges.count(), 2);

    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(document.selectedFiles().size(), 3);
    EXPECT_EQ(documentChanges.count(), 3);
}

TEST_F(FileListTest, HeaderClicksSortTheDocument) {
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac"), QStringLiteral("c.flac")});
    document.setSelectedFiles({ids()[0]});
    document.editField(TagField::title, QStringLiteral("Zulu"));
    document.setSelectedFiles({ids()[2]});
    document.editField(TagField::title, QStringLiteral("Alpha"));
    document.setSelectedFiles({ids()[1]});
    document.editField(TagField::title, QStringLiteral("Mike"));

    clickHeader(FileColumn::title);
    ASSERT_FALSE(document.sortOrder().isEmpty());
    EXPECT_EQ(document.sortOrder().first(), (SortDescriptor{SortKey::title, true}));
    EXPECT_EQ(namesOf(document.files()), (QStringList{"c.flac", "b.flac", "a.flac"}));
    EXPECT_EQ(list()->horizontalHeader()->sortIndicatorSection(), column(FileColumn::title));
    EXPECT_EQ(list()->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);

    clickHeader(FileColumn::title);
    EXPECT_EQ(document.sortOrder().first(), (SortDescriptor{SortKey::title, false}));
    EXPECT_EQ(namesOf(document.files()), (QStringList{"a.flac", "b.flac", "c.flac"}));
    EXPECT_EQ(list()->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(model()->rows()[0].filename(), "a.flac");

    const QList<SortDescriptor> before = document.sortOrder();
    clickHeader(FileColumn::modified);
    EXPECT_EQ(document.sortOrder(), before);
    EXPECT_EQ(list()->horizontalHeader()->sortIndicatorSection(), column(FileColumn::title));

    // The document's own order shows in the header.
    document.setSortOrder({SortDescriptor{SortKey::bitrate, false}});
    EXPECT_EQ(list()->horizontalHeader()->sortIndicatorSection(), column(FileColumn::bitrate));
}

// Extra columns: any other field or custom item, chosen in the header's menu,
// remembered, sorted by the document and edited through it.
TEST_F(FileListTest, ExtraColumnsShowSortAndEditAnyFieldOrCustomItem) {
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac"), QStringLiteral("c.flac")});
    QList<AudioFile> files = document.files();
    for (int row = 0; row < 2; ++row) {
        TagSet tags = files[row].tags();
        tags.custom.insert(QStringLiteral("CATALOGNUMBER"),
                           row == 0 ? QStringLiteral("CAT-10") : QStringLiteral("CAT-9"));
        files[row].setTags(tags);
    }
    document.commit(QStringLiteral("Setup"), files, DocumentViewModel::UndoRecord::none);
    QCoreApplication::processEvents();
    const auto toggle = [this](const QString& text) {
        std::unique_ptr<QMenu> menu(list()->createHeaderMenu());
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                action->trigger();
                return true;
            }
        }
        return false;
    };
    {
        std::unique_ptr<QMenu> menu(list()->createHeaderMenu());
        QStringList texts;
        for (QAction* action : menu->actions())
            texts.append(action->text());
        EXPECT_TRUE(texts.contains("CATALOGNUMBER"));
        EXPECT_TRUE(texts.contains(FieldKey(TagField::composer).displayName()));
        EXPECT_EQ(texts.count(FieldKey(TagField::title).displayName()), 1); // a fixed column's entry only
    }
    document.setSelectedFiles({ids()[0]});
    ASSERT_TRUE(toggle(QStringLiteral("CATALOGNUMBER")));
    const int extra = FileListColumns::count;
    ASSERT_EQ(model()->columnCount(), extra + 1);
    EXPECT_TRUE(list()->selectionModel()->isSelected(model()->index(0, extra))); // the whole row
    EXPECT_EQ(model()->headerData(extra, Qt::Horizontal, Qt::DisplayRole).toString(), "CATALOGNUMBER");
    EXPECT_EQ(model()->index(rowOf("a.flac"), extra).data().toString(), "CAT-10");
    EXPECT_EQ(model()->index(rowOf("c.flac"), extra).data().toString(), "—");
    EXPECT_EQ(QSettings().value("fileList/extraColumns").toStringList(), QStringList{"CATALOGNUMBER"});

    // Sorted by the document, numbers within the text by value.
    clickSection(extra);
    EXPECT_EQ(document.sortOrder().first(),
              (SortDescriptor{SortKey::field, true, FieldKey::custom(u"CATALOGNUMBER")}));
    EXPECT_EQ(namesOf(document.files()), (QStringList{"c.flac", "b.flac", "a.flac"}));
    EXPECT_EQ(list()->horizontalHeader()->sortIndicatorSection(), extra);
    clickSection(extra);
    EXPECT_EQ(namesOf(document.files()), (QStringList{"a.flac", "b.flac", "c.flac"}));

    // Cells edit through the document; an emptied cell removes the item.
    CellEditor* editor = startEditing(model()->index(rowOf("c.flac"), extra));
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(typeAndPress(editor, QStringLiteral("CAT-11")));
    EXPECT_EQ(fileNamed(document, "c.flac").tags().custom.value("CATALOGNUMBER"), "CAT-11");
    editor = startEditing(model()->index(rowOf("a.flac"), extra));
    ASSERT_NE(editor, nullptr);
    editor->clear();
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_FALSE(fileNamed(document, "a.flac").tags().custom.contains("CATALOGNUMBER"));

    // A standard field as a column, and both remembered by the next window.
    ASSERT_TRUE(toggle(FieldKey(TagField::composer).displayName()));
    list()->horizontalHeader()->resizeSection(extra, 210);
    window.reset();
    window = std::make_unique<MainWindow>(&document, &commands);
    ASSERT_EQ(model()->extraColumns(),
              (QList<FieldKey>{FieldKey::custom(u"CATALOGNUMBER"), FieldKey(TagField::composer)}));
    EXPECT_EQ(list()->horizontalHeader()->sectionSize(extra), 210);
    ASSERT_TRUE(toggle(QStringLiteral("CATALOGNUMBER")));
    EXPECT_EQ(model()->extraColumns(), QList<FieldKey>{FieldKey(TagField::composer)});
    EXPECT_EQ(QSettings().value("fileList/extraColumns").toStringList(), QStringList{"composer"});
}

TEST_F(FileListTest, TagCellsCommitThroughTheDocument) {
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac")});
    const QUuid first = ids()[0];
    document.setSelectedFiles({ids()[0], ids()[1]});

    CellEditor* editor = startEditing(cell(0, FileColumn::title));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), *fileWithId(first).tags().title);
    EXPECT_TRUE(editor->suffix().isEmpty());
    EXPECT_TRUE(typeAndPress(editor, QStringLiteral("New Title")));
    EXPECT_EQ(fileWithId(first).tags().title, "New Title");
    EXPECT_NE(fileWithId(ids()[1]).tags().title, "New Title"); // only the edited row
    EXPECT_EQ(document.history().undoDescription(), "Edit Title");

    editor = startEditing(cell(0, FileColumn::artist));
    ASSERT_NE(editor, nullptr);
    editor->clear();
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(fileWithId(first).tags().artist, std::nullopt); // an emptied cell means no value

    editor = startEditing(cell(0, FileColumn::album));
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(typeAndPress(editor, QStringLiteral("Discarded"), Qt::Key_Escape));
    EXPECT_NE(fileWithId(first).tags().album, "Discarded");

    // Leaving the editor commits it.
    editor = startEditing(cell(0, FileColumn::album));
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Left"));
    list()->setFocus();
    QTRY_VERIFY(!list()->isEditingCell());
    EXPECT_EQ(fileWithId(first).tags().album, "Left");
}

TEST_F(FileListTest, TrackNumbersAreParsedAndBadOnesRefused) {
    load({QStringLiteral("a.flac")});
    const QUuid id = ids()[0];

    CellEditor* editor = startEditing(cell(0, FileColumn::track));
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(typeAndPress(editor, QStringLiteral("7a")));
    EXPECT_EQ(list()->indexWidget(cell(0, FileColumn::track)), editor); // stays open
    EXPECT_FALSE(typeAndPress(editor, QStringLiteral("-1")));
    EXPECT_FALSE(typeAndPress(editor, QStringLiteral("99999999999")));
    EXPECT_TRUE(typeAndPress(editor, QStringLiteral(" 7 ")));
    EXPECT_EQ(fileWithId(id).tags().trackNumber, QStringLiteral("7"));

    editor = startEditing(cell(0, FileColumn::track));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "7");
    EXPECT_TRUE(typeAndPress(editor, QStringLiteral("+12")));
    EXPECT_EQ(fileWithId(id).tags().trackNumber, QStringLiteral("12"));

    editor = startEditing(cell(0, FileColumn::track));
    ASSERT_NE(editor, nullptr);
    editor->clear();
    EXPECT_TRUE(typeAndPress(editor, QStringLiteral("4/9")));
    EXPECT_EQ(fileWithId(id).tags().trackNumber, QStringLiteral("4"));
    EXPECT_EQ(fileWithId(id).tags().trackTotal, QStringLiteral("9"));

    editor = startEditing(cell(0, FileColumn::track));
    ASSERT_NE(editor, nullptr);
    editor->clear();
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(fileWithId(id).tags().trackNumber, std::nullopt);

    // After a focus change an invalid number is dropped silently.
    editor = startEditing(cell(0, FileColumn::track));
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("x"));
    list()->setFocus();
    QTRY_VERIFY(!list()->isEditingCell());
    EXPECT_EQ(fileWithId(id).tags().trackNumber, std::nullopt);
}

TEST_F(FileListTest, TextInTrackNumbersAndTagsReadInPartAreMarked) {
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac")});
    QList<AudioFile> files = document.files();
    TagSet side = files[0].tags();
    side.trackNumber = QStringLiteral("A1");
    side.artist = QStringLiteral("One; Two");
    files[0].setTags(side);
    files[1].setReadInPart(true);
    document.commit(QStringLiteral("Setup"), files, DocumentViewModel::UndoRecord::none);
    QCoreApplication::processEvents();
    const int vinyl = rowOf(QStringLiteral("a.flac"));
    const int damaged = rowOf(QStringLiteral("b.flac"));

    // The text is shown as stored, set apart and said to be no number.
    const QModelIndex track = cell(vinyl, FileColumn::track);
    EXPECT_EQ(track.data().toString(), "A1");
    EXPECT_TRUE(track.data(Qt::FontRole).value<QFont>().italic());
    EXPECT_TRUE(track.data(Qt::ToolTipRole).toString().contains("not a number"));
    EXPECT_TRUE(track.data(Qt::AccessibleTextRole).toString().contains("not a number"));
    EXPECT_FALSE(cell(damaged, FileColumn::track).data(Qt::FontRole).value<QFont>().italic());
    EXPECT_EQ(cell(vinyl, FileColumn::artist).data().toString(), "One; Two");
    // Committing the shown text unchanged is no edit and keeps it.
    CellEditor* editor = startEditing(track);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "A1");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_FALSE(list()->isEditingCell());
    EXPECT_EQ(fileWithId(model()->fileId(vinyl)).tags().trackNumber, QStringLiteral("A1"));

    // The first column warns of tags read in part, in picture, tooltip and accessible text.
    const QModelIndex mark = cell(damaged, FileColumn::modified);
    EXPECT_FALSE(mark.data(Qt::DecorationRole).value<QPixmap>().isNull());
    EXPECT_TRUE(mark.data(Qt::ToolTipRole).toString().contains("partly"));
    EXPECT_EQ(mark.data(Qt::AccessibleTextRole), mark.data(Qt::ToolTipRole));
    EXPECT_FALSE(cell(vinyl, FileColumn::modified).data(Qt::ToolTipRole).toString().contains("partly"));
    // Once edited, it says both.
    ASSERT_TRUE(document.editField(TagField::title, QStringLiteral("Edited"), model()->fileId(damaged)).ok());
    QCoreApplication::processEvents();
    const QString both = cell(damaged, FileColumn::modified).data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(both.contains("partly") && both.contains("Unsaved changes")) << both.toStdString();
}

TEST_F(FileListTest, FileNamesAreRenamedOnDiskAndRefusedNamesKeepTheEditor) {
    load({QStringLiteral("song.flac"), QStringLiteral("taken.flac")});
    const int row = rowOf(QStringLiteral("song.flac"));
    const QUuid id = model()->fileId(row);

    CellEditor* editor = startEditing(cell(row, FileColumn::filename));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "song");
    EXPECT_EQ(editor->suffix(), ".flac");
    EXPECT_FALSE(typeAndPress(editor, QStringLiteral("taken"))); // another file is there
    EXPECT_TRUE(QFile::exists(library.path(QStringLiteral("song.flac"))));
    EXPECT_TRUE(typeAndPress(editor, QStringLiteral("new")));
    EXPECT_FALSE(QFile::exists(library.path(QStringLiteral("song.flac"))));
    EXPECT_TRUE(QFile::exists(library.path(QStringLiteral("new.flac"))));
    EXPECT_EQ(fileWithId(id).filename(), "new.flac");
    QTRY_COMPARE(model()->data(cell(rowOf(QStringLiteral("new.flac")), FileColumn::filename)).toString(),
                 "new.flac");

    // F2 where the keyboard left the current cell on one that cannot be edited renames the file.
    const int taken = rowOf(QStringLiteral("taken.flac"));
    list()->setFocus();
    list()->setCurrentIndex(cell(taken, FileColumn::duration));
    QTest::keyClick(list(), Qt::Key_F2);
    auto* renaming = qobject_cast<CellEditor*>(list()->indexWidget(cell(taken, FileColumn::filename)));
    ASSERT_NE(renaming, nullptr);
    EXPECT_EQ(renaming->text(), "taken");
}

TEST_F(FileListTest, ChangesWaitWhileACellIsEdited) {
    load({QStringLiteral("a.flac")});
    CellEditor* editor = startEditing(cell(0, FileColumn::title));
    ASSERT_NE(editor, nullptr);
    importAndWait(document, {library.add(QStringLiteral("b.flac"))});
    EXPECT_EQ(document.files().size(), 2);
    EXPECT_EQ(model()->rowCount(), 1);
    EXPECT_EQ(list()->indexWidget(cell(0, FileColumn::title)), editor);
    QTest::keyClick(editor, Qt::Key_Escape);
    QTRY_COMPARE(model()->rowCount(), 2);
}

TEST_F(FileListTest, ContextMenuSelectsTheClickedRowAndEnablesWhatApplies) {
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac"), QStringLiteral("c.flac")});
    // The text as shown (a doubled "&" shows one).
    const auto shown = [](const QAction* action) { return QString(action->text()).replace("&&", "&"); };
    const auto actionNamed = [&](QMenu* menu, const QString& text) -> QAction* {
        for (QAction* action : menu->actions()) {
            if (shown(action) == text)
                return action;
        }
        return nullptr;
    };
    const auto pointAt = [&](int row) { return list()->visualRect(cell(row, FileColumn::title)).center(); };

    document.setSelectedFiles({ids()[0], ids()[1]});
    std::unique_ptr<QMenu> menu(list()->createContextMenu(pointAt(1)));
    EXPECT_EQ(document.selectedFiles(), (QSet<QUuid>{ids()[0], ids()[1]})); // inside the selection: kept
    ASSERT_NE(actionNamed(menu.get(), "Paste Tags"), nullptr);
    EXPECT_FALSE(actionNamed(menu.get(), "Paste Tags")->isEnabled());
    EXPECT_TRUE(actionNamed(menu.get(), "Copy Tags")->isEnabled());
    EXPECT_TRUE(actionNamed(menu.get(), "Remove from List")->isEnabled());
    QStringList texts;
    for (QAction* action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("-") : shown(action));
    EXPECT_EQ(texts,
              (QStringList{"Copy Tags", "Paste Tags", "-", "Copy Field to Field…", "Rename from Pattern…",
                           "Number Tracks…", "-", "Tags from Filename…", "Tags from Path…", "-",
                           "Find & Replace…", "Text Transforms…", "-", "Remove from List"}));

    // Ctrl+V with nothing copied does nothing, not even an undo step.
    const auto undoSteps = document.history().undoDescriptions().size();
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(document.history().undoDescriptions().size(), undoSteps);

    menu.reset(list()->createContextMenu(pointAt(2)));
    EXPECT_EQ(document.selectedFiles(), QSet<QUuid>{ids()[2]}); // outside: just the clicked row
    actionNamed(menu.get(), "Copy Tags")->trigger();
    menu.reset(list()->createContextMenu(pointAt(2)));
    EXPECT_TRUE(actionNamed(menu.get(), "Paste Tags")->isEnabled());
    // Onto a file whose tags differ: one step.
    document.editField(TagField::title, QStringLiteral("Other"), ids()[2]);
    QTest::keyClick(list(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(document.history().undoDescriptions().size(), undoSteps + 2);

    actionNamed(menu.get(), "Number Tracks…")->trigger();
    ASSERT_NE(qobject_cast<TrackNumberingSheet*>(window->currentSheet()), nullptr);
    window->currentSheet()->reject();

    document.setSelectedFiles({});
    menu.reset(list()->createContextMenu(QPoint(5, list()->viewport()->height() - 5)));
    EXPECT_FALSE(actionNamed(menu.get(), "Remove from List")->isEnabled());
}

// The filter field shows the matching files only; Ctrl+A and what acts on
// the selection then reach those alone, and Escape shows every file again.
TEST_F(FileListTest, TheFilterShowsMatchingFilesAndTheSelectionKeepsToThem) {
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac"), QStringLiteral("c.flac")});
    ASSERT_TRUE(document.editField(TagField::artist, QStringLiteral("Sigur Rós"), ids()[0]).ok());
    ASSERT_TRUE(document.editField(TagField::artist, QStringLiteral("Sigur Ros Tribute"), ids()[2]).ok());
    const QUuid hidden = ids()[1];
    const TagSet hiddenTags = fileWithId(hidden).tags();
    FileFilterBar* bar = window->filterBar();
    EXPECT_EQ(bar->countText(), "");

    QTest::keyClick(window.get(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(bar->field()->hasFocus());
    QTest::keyClicks(bar->field(), QStringLiteral("artist:ROS"));
    EXPECT_EQ(namesOf(model()->rows()), (QStringList{"a.flac", "c.flac"}));
    EXPECT_EQ(bar->countText(), "2 of 3 files");
    EXPECT_FALSE(document.selectedFiles().contains(hidden));

    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(document.selectedFiles(), (QSet<QUuid>{ids()[0], ids()[2]}));
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 2);
    EXPECT_EQ(window->statusBarView()->countText(), "2 files selected");
    ASSERT_TRUE(document.editField(TagField::genre, QStringLiteral("Post-Rock")).ok());
    EXPECT_EQ(fileWithId(hidden).tags(), hiddenTags);
    // The Edit menu's Select All does the same from anywhere.
    document.setSelectedFiles({});
    bar->field()->setFocus();
    window->action(Commands::selectAll)->trigger();
    EXPECT_EQ(document.selectedFiles().size(), 2);

    // An edited row that stops matching stays until the text changes.
    ASSERT_TRUE(document.editField(TagField::artist, QStringLiteral("Someone"), ids()[2]).ok());
    EXPECT_EQ(model()->rowCount(), 2);
    document.setSelectedFiles({});
    EXPECT_EQ(window->statusBarView()->countText(), "2 of 3 files");
    QTest::keyClick(bar->field(), Qt::Key_Space);
    EXPECT_EQ(namesOf(model()->rows()), QStringList{"a.flac"});

    QTest::keyClick(bar->field(), Qt::Key_Escape);
    EXPECT_EQ(bar->field()->text(), "");
    EXPECT_EQ(model()->rowCount(), 3);
    EXPECT_EQ(bar->countText(), "");
    EXPECT_EQ(window->statusBarView()->countText(), "3 files");
    QTest::keyClick(bar->field(), Qt::Key_Escape); // once empty, back to the list
    EXPECT_TRUE(list()->hasFocus());
}

// A filter that hides every other row of a large list still leaves the rows
// and the selection as the document has them.
TEST_F(FileListTest, AFilterOverALargeListKeepsTheSelection) {
    QList<AudioFile> files;
    for (int i = 0; i < 1000; ++i) {
        TagSet tags;
        tags.artist = i % 2 ? QStringLiteral("Odd") : QStringLiteral("Even");
        files.append(
            AudioFile(QUuid::createUuid(),
                      QUrl::fromLocalFile(QStringLiteral("/m/%1.flac").arg(i, 4, 10, QLatin1Char('0'))),
                      AudioFormat::flac, std::nullopt, {}, tags, {}));
    }
    document.commit(QStringLiteral("Setup"), files, DocumentViewModel::UndoRecord::none);
    document.setSelectedFiles({files[1].id(), files[2].id(), files[999].id()});
    document.setFilterText(QStringLiteral("odd"));
    EXPECT_EQ(model()->rowCount(), 500);
    EXPECT_EQ(namesOf(model()->rows()), namesOf(document.shownFiles()));
    EXPECT_EQ(document.selectedFiles(), (QSet<QUuid>{files[1].id(), files[999].id()}));
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 2);
    document.setFilterText({});
    EXPECT_EQ(model()->rowCount(), 1000);
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 2);
}

// Any column but the file name's can be hidden from the header's menu; the
// folder column starts hidden; the choice outlives the window.
TEST_F(FileListTest, ColumnsAreShownAndHiddenFromTheHeaderMenuAndRemembered) {
    load({QStringLiteral("Disc 1/a.flac")});
    const auto entry = [this](QMenu* menu, const QString& text) -> QAction* {
        for (QAction* action : menu->actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    };
    const int folder = column(FileColumn::folder);
    EXPECT_TRUE(list()->horizontalHeader()->isSectionHidden(folder));
    {
        std::unique_ptr<QMenu> menu(list()->createHeaderMenu());
        QAction* name = entry(menu.get(), "Filename");
        ASSERT_NE(name, nullptr);
        EXPECT_TRUE(name->isChecked());
        EXPECT_FALSE(name->isEnabled());
        ASSERT_NE(entry(menu.get(), "Folder"), nullptr);
        EXPECT_FALSE(entry(menu.get(), "Folder")->isChecked());
        EXPECT_TRUE(entry(menu.get(), "Track Number")->isChecked());
        entry(menu.get(), "Folder")->trigger();
        entry(menu.get(), "Bitrate")->trigger();
    }
    EXPECT_FALSE(list()->horizontalHeader()->isSectionHidden(folder));
    EXPECT_GT(list()->horizontalHeader()->sectionSize(folder), 0);
    EXPECT_TRUE(list()->horizontalHeader()->isSectionHidden(column(FileColumn::bitrate)));
    const QString path = QFileInfo(library.path(QStringLiteral("Disc 1/a.flac"))).path();
    EXPECT_EQ(cell(0, FileColumn::folder).data(Qt::ToolTipRole).toString(), path);
    const QString shown = cell(0, FileColumn::folder).data().toString();
    EXPECT_TRUE(shown == path || (shown.startsWith("~/") && path.endsWith(shown.mid(1))))
        << shown.toStdString();
    list()->setColumnShown(FileColumn::filename, false);
    EXPECT_FALSE(list()->horizontalHeader()->isSectionHidden(column(FileColumn::filename)));

    window = std::make_unique<MainWindow>(&document, &commands);
    EXPECT_FALSE(list()->horizontalHeader()->isSectionHidden(folder));
    EXPECT_TRUE(list()->horizontalHeader()->isSectionHidden(column(FileColumn::bitrate)));
    EXPECT_TRUE(list()->isColumnShown(FileColumn::title));
}

// Saving, renaming and undoing change rows in place: the list keeps where it
// was scrolled to and what was selected.
TEST_F(FileListTest, SaveRenameAndUndoKeepTheScrollPositionAndSelection) {
    QStringList names;
    for (int i = 0; i < 60; ++i)
        names.append(QStringLiteral("%1.flac").arg(i, 2, 10, QLatin1Char('0')));
    load(names);
    window->resize(1000, 600);
    QCoreApplication::processEvents();
    document.setSelectedFiles({ids()[40], ids()[41]});
    list()->scrollTo(cell(41, FileColumn::title), QAbstractItemView::PositionAtCenter);
    QCoreApplication::processEvents();
    const int scrolled = list()->verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    const auto selectedRows = [this] {
        QList<int> rows;
        for (const QModelIndex& index : list()->selectionModel()->selectedRows())
            rows.append(index.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    ASSERT_EQ(selectedRows(), (QList<int>{40, 41}));

    list()->setFocus();
    ASSERT_TRUE(document.editField(TagField::genre, QStringLiteral("Ambient")).ok());
    QTest::keyClick(list(), Qt::Key_S, Qt::ControlModifier);
    waitForSave(document);
    QCoreApplication::processEvents();
    EXPECT_EQ(document.modifiedCount(), 0);
    EXPECT_EQ(list()->verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(selectedRows(), (QList<int>{40, 41}));

    // A rename that keeps the file in place in the order.
    ASSERT_TRUE(model()->setData(cell(40, FileColumn::filename), QStringLiteral("40b"), Qt::EditRole));
    QCoreApplication::processEvents();
    EXPECT_EQ(list()->verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(selectedRows(), (QList<int>{40, 41}));
    ASSERT_TRUE(document.editField(TagField::genre, QStringLiteral("Drone")).ok());
    ASSERT_TRUE(undoAndWait(document));
    ASSERT_TRUE(undoAndWait(document));
    QCoreApplication::processEvents();
    EXPECT_EQ(document.files()[40].filename(), "40.flac");
    EXPECT_EQ(list()->verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(selectedRows(), (QList<int>{40, 41}));
}

TEST_F(FileListTest, RemovingModifiedFilesAsksFirst) {
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac"), QStringLiteral("c.flac"),
          QStringLiteral("d.flac")});
    document.editField(TagField::genre, QStringLiteral("Jazz"), ids()[0]);
    document.editField(TagField::genre, QStringLiteral("Jazz"), ids()[2]);
    document.editField(TagField::genre, QStringLiteral("Jazz"), ids()[3]);
    list()->setFocus();

    // Shift+Delete is not a removal.
    document.setSelectedFiles({ids()[0], ids()[1]});
    QTest::keyClick(list(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(document.files().size(), 4);

    auto seen = answerNextMessageBox(QStringLiteral("Cancel"));
    QTest::keyClick(list(), Qt::Key_Delete);
    ASSERT_TRUE(seen->shown);
    EXPECT_EQ(seen->text, "Remove files with unsaved changes?");
    EXPECT_EQ(seen->informativeText,
              "1 of the selected files has unsaved tag changes, which will be discarded. "
              "The files on disk aren't touched.");
    EXPECT_EQ(seen->buttons, (QStringList{"Remove", "Cancel"}));
    EXPECT_EQ(document.files().size(), 4);

    const QList<QUuid> before = ids();
    document.setSelectedFiles({before[2], before[3]});
    seen = answerNextMessageBox(QStringLiteral("Remove"));
    QTest::keyClick(list(), Qt::Key_Backspace);
    ASSERT_TRUE(seen->shown);
    EXPECT_EQ(seen->informativeText,
              "2 of the selected files have unsaved tag changes, which will be discarded. "
              "The files on disk aren't touched.");
    EXPECT_EQ(ids(), (QList<QUuid>{before[0], before[1]}));

    // Files without changes go at once.
    document.setSelectedFiles({before[1]});
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(ids(), QList<QUuid>{before[0]});
}

} // namespace
