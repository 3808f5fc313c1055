#include "WidgetTestSupport.h"

#include "Quire/Views/Sheets/BatchArtworkExportSheet.h"
#include "Quire/Views/Sheets/BatchArtworkImportSheet.h"
#include "Quire/Views/Sheets/CopyFieldToFieldSheet.h"
#include "Quire/Views/Sheets/FindReplaceSheet.h"
#include "Quire/Views/Sheets/RenameFromPatternSheet.h"
#include "Quire/Views/Sheets/TagsFromFilenameSheet.h"
#include "Quire/Views/Sheets/TagsFromPathSheet.h"
#include "Quire/Views/Sheets/TextTransformSheet.h"
#include "Quire/Views/Sheets/TrackNumberingSheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

using namespace DocumentTest;
using namespace WidgetTest;

namespace {

class SheetTest : public WindowTest {
protected:
    // Opens the sheet the command names, as the menus and the palette do.
    template <typename T> T* open(const QString& command) {
        commands.post(command);
        auto* sheet = qobject_cast<T*>(window->currentSheet());
        EXPECT_NE(sheet, nullptr) << command.toStdString();
        if (sheet) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(sheet));
        }
        return sheet;
    }
    void close(QDialog* sheet) {
        QTest::keyClick(sheet, Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void selectAll() {
        const QList<QUuid> all = ids();
        document.setSelectedFiles(QSet<QUuid>(all.begin(), all.end()));
    }
    qsizetype steps() const { return document.history().undoDescriptions().size(); }
    std::optional<QString> value(int index, TagField field) const {
        return document.files()[index].tags().value(field);
    }
};

TEST_F(SheetTest, DescriptionsCountTheFilesTheyActOn) {
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac"), QStringLiteral("c.flac")});
    const QList<std::pair<QString, QString>> sheets{
        {Commands::showRenameSheet,
         "Rename %1 selected file%2 using tokens. Applies to the actual files on disk."},
        {Commands::showTagsFromFilenameSheet,
         "Extract tag values from filenames using {field} tokens. Applies to %1 selected file%2."},
        {Commands::showTagsFromPathSheet, "Extract tag values from directory structure using /-separated "
                                          "{field} tokens. Applies to %1 selected file%2."},
        {Commands::showNumberingSheet,
         "Assign sequential track numbers to %1 selected file%2 in their current sort order."},
        {Commands::showTextTransformSheet, "Apply a text transform to selected fields across %1 file%2."},
        {Commands::showCopyFieldSheet,
         "Copy the value of one tag field to another across all %1 selected file%2."},
    };
    for (const auto& [command, text] : sheets) {
        document.setSelectedFiles({ids()[1]});
        Sheet* sheet = open<Sheet>(command);
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheet->descriptionText(), text.arg(1).arg(""));
        close(sheet);
        selectAll();
        sheet = open<Sheet>(command);
        EXPECT_EQ(sheet->descriptionText(), text.arg(3).arg("s"));
        close(sheet);
        EXPECT_EQ(window->currentSheet(), nullptr);
    }
}

TEST_F(SheetTest, RenamePreviewsEveryKeystrokeAndStaysOpenWithItsResult) {
    load({QStringLiteral("x.flac"), QStringLiteral("y.flac")});
    document.setSelectedFiles({ids()[0]});
    auto* sheet = open<RenameFromPatternSheet>(Commands::showRenameSheet);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->titleText(), "Rename from Pattern");
    EXPECT_EQ(sheet->patternField()->text(), "{track} - {title}");
    EXPECT_EQ(sheet->preview()->lines(), QStringList{"x.flac → 03 - Café ☕ 東京.flac"});
    EXPECT_EQ(sheet->preview()->summary(), "1 file will be renamed");
    EXPECT_EQ(sheet->resultText(), "");

    sheet->patternField()->clear();
    EXPECT_FALSE(sheet->primaryButton()->isEnabled());
    EXPECT_EQ(sheet->preview()->lines(), QStringList{"x.flac skipped: “.flac” would be hidden or empty"});
    QTest::keyClicks(sheet->patternField(), "{yaer}");
    EXPECT_EQ(sheet->patternNoteText(), "{yaer} is no rename token: it stays in the names as written.");
    sheet->patternField()->clear();
    QTest::keyClicks(sheet->patternField(), "{year");
    EXPECT_EQ(sheet->preview()->lines(), QStringList{"x.flac → {year.flac"});
    QTest::keyClick(sheet->patternField(), Qt::Key_BraceRight);
    EXPECT_EQ(sheet->preview()->lines(), QStringList{"x.flac → 2001.flac"});
    EXPECT_EQ(sheet->patternNoteText(), "");
    QTest::keyClicks(sheet->patternField(), " {artist}");

    // Both files would get one name: the preview says so before anything moves.
    selectAll();
    EXPECT_EQ(sheet->preview()->lines(),
              (QStringList{"x.flac → 2001 Fixture Artist.flac",
                           "y.flac skipped: “2001 Fixture Artist.flac” is also the new name of “x.flac”"}));
    EXPECT_EQ(sheet->preview()->summary(), "1 file will be renamed, 1 skipped");
    // Return runs the prominent button; the sheet stays open with its result, naming the file left alone.
    const qsizetype before = steps();
    QTest::keyClick(sheet->patternField(), Qt::Key_Return);
    // The files move in the background; the result shows when they are done.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet->resultText().isEmpty(); }, 5000));
    EXPECT_EQ(steps(), before + 1);
    EXPECT_EQ(sheet->resultText(), "⚠️ Renamed 1 of 2 files; these were left as they were:");
    EXPECT_EQ(sheet->resultDetails(),
              QStringList{"y.flac: “2001 Fixture Artist.flac” is also the new name of “x.flac”"});
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(QFile::exists(library.path("2001 Fixture Artist.flac")));
    EXPECT_TRUE(QFile::exists(library.path("y.flac")));
    EXPECT_EQ(document.modifiedCount(), 0); // a rename is done on disk: nothing to save
    EXPECT_EQ(sheet->preview()->lines(),
              (QStringList{"2001 Fixture Artist.flac keeps its name",
                           "y.flac skipped: “2001 Fixture Artist.flac” is taken"}));
    close(sheet);
    EXPECT_EQ(window->currentSheet(), nullptr);
}

TEST_F(SheetTest, TagsFromFilenameAndPathPreviewWhatTheyFillAndExplainWhatTheyCannot) {
    load({QStringLiteral("Pink Floyd/Dark Side/01 - Time.flac")}, QStringLiteral("untagged.flac"));
    auto* names = open<TagsFromFilenameSheet>(Commands::showTagsFromFilenameSheet);
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->patternField()->text(), "{trackNumber} - {title}");
    EXPECT_EQ(names->fieldChips()->chosen(), (FieldKeySet{TagField::title, TagField::trackNumber}));
    EXPECT_EQ(names->preview()->lines(), QStringList{"01 - Time.flac Track Number: 1 · Title: Time"});
    EXPECT_EQ(names->patternNoteText(), "");
    // A token whose chip is off is said at the pattern; the preview follows the chips.
    QTest::mouseClick(names->fieldChips()->chip(TagField::title), Qt::LeftButton);
    EXPECT_EQ(names->patternNoteText(),
              "{title} is not filled: its field is turned off below. Turn it on to fill it.");
    EXPECT_EQ(names->preview()->lines(),
              QStringList{"01 - Time.flac skipped: the name doesn’t match the pattern"});
    // No field, no extraction.
    QTest::mouseClick(names->fieldChips()->chip(TagField::trackNumber), Qt::LeftButton);
    EXPECT_FALSE(names->primaryButton()->isEnabled());
    QTest::mouseClick(names->fieldChips()->chip(TagField::title), Qt::LeftButton);
    QTest::mouseClick(names->fieldChips()->chip(TagField::trackNumber), Qt::LeftButton);
    EXPECT_EQ(names->patternNoteText(), "");
    const qsizetype before = steps();
    QTest::mouseClick(names->primaryButton(), Qt::LeftButton);
    EXPECT_FALSE(names->isVisible());
    EXPECT_EQ(value(0, TagField::title), "Time");
    EXPECT_EQ(value(0, TagField::trackNumber), "1");
    EXPECT_EQ(steps(), before + 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // A name that does not match keeps the sheet open with the file named.
    names = open<TagsFromFilenameSheet>(Commands::showTagsFromFilenameSheet);
    ASSERT_NE(names, nullptr);
    names->patternField()->setText(QStringLiteral("{title} (live)"));
    QTest::mouseClick(names->primaryButton(), Qt::LeftButton);
    EXPECT_TRUE(names->isVisible());
    EXPECT_EQ(names->resultText(), "⚠️ Filled tags in 0 of 1 file; these were skipped:");
    EXPECT_EQ(names->resultDetails(), QStringList{"01 - Time.flac: the name doesn’t match the pattern"});
    EXPECT_EQ(steps(), before + 1);
    close(names);

    auto* path = open<TagsFromPathSheet>(Commands::showTagsFromPathSheet);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->patternField()->text(), "{artist}/{album}");
    EXPECT_EQ(path->preview()->lines(), QStringList{"01 - Time.flac Artist: Pink Floyd · Album: Dark Side"});
    path->patternField()->setText(QStringLiteral("{genre}/{album}"));
    EXPECT_EQ(path->patternNoteText(),
              "{genre} is not filled: folders fill only {artist}, {album} and custom items such as {LABEL}.");
    path->patternField()->setText(QStringLiteral("{artist}/{DISCSUBTITLE}"));
    EXPECT_EQ(path->patternNoteText(), "");
    QTest::keyClick(path->patternField(), Qt::Key_Return);
    EXPECT_FALSE(path->isVisible());
    EXPECT_EQ(value(0, TagField::artist), "Pink Floyd");
    EXPECT_EQ(document.files()[0].tags().custom.value("DISCSUBTITLE"), "Dark Side");
    EXPECT_EQ(steps(), before + 2);
}

TEST_F(SheetTest, NumberingStartsFreshAndNumbersInListOrder) {
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac"), QStringLiteral("c.flac")});
    selectAll();
    auto* sheet = open<TrackNumberingSheet>(Commands::showNumberingSheet);
    ASSERT_NE(sheet, nullptr);
    EXPECT_FALSE(sheet->replacesTextNote()->isVisible());
    close(sheet);
    // Before it runs, the sheet says how many track numbers holding text it replaces.
    QList<AudioFile> files = document.files();
    for (int i : {1, 2}) {
        TagSet side = files[i].tags();
        side.trackNumber = i == 1 ? QStringLiteral("A1") : QStringLiteral("A2");
        files[i].setTags(side);
    }
    document.commit(QStringLiteral("Sides"), files, DocumentViewModel::UndoRecord::none);
    sheet = open<TrackNumberingSheet>(Commands::showNumberingSheet);
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->replacesTextNote()->isVisible());
    EXPECT_EQ(sheet->replacesTextNote()->text(),
              "Replaces 2 track numbers that are not numbers (such as “A1”)");
    EXPECT_EQ(sheet->startField()->value(), 1);
    // Each file keeps its total unless told otherwise, and the sheet shows what will be stored.
    EXPECT_FALSE(sheet->totalField()->isVisible());
    EXPECT_EQ(sheet->preview()->text(), "a.flac → 1 of 12\nb.flac → 2 of 12\nc.flac → 3 of 12");

    sheet->startField()->selectAll();
    QTest::keyClicks(sheet->startField(), "5");
    EXPECT_EQ(sheet->preview()->text(), "a.flac → 5 of 12\nb.flac → 6 of 12\nc.flac → 7 of 12");
    sheet->totalsChoice()->setCurrentIndex(sheet->totalsChoice()->findText("Set to"));
    EXPECT_TRUE(sheet->totalField()->isVisible());
    sheet->totalField()->selectAll();
    QTest::keyClicks(sheet->totalField(), "9");
    const qsizetype before = steps();
    // Return while typing the number applies what was typed.
    QTest::keyClick(sheet->totalField(), Qt::Key_Return);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(steps(), before + 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(value(i, TagField::trackNumber), QString::number(5 + i));
        EXPECT_EQ(value(i, TagField::trackTotal), "9");
    }
}

TEST_F(SheetTest, FindReplaceCountsAsYouTypeAndReplacesInPlace) {
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac")});
    document.editField(TagField::title, QStringLiteral("banana"), ids()[0]);
    document.setSelectedFiles({ids()[0]});
    auto* sheet = open<FindReplaceSheet>(Commands::showFindReplaceSheet);
    ASSERT_NE(sheet, nullptr);
    EXPECT_FALSE(sheet->matchCaption()->isVisible());
    EXPECT_FALSE(sheet->primaryButton()->isEnabled());
    EXPECT_EQ(sheet->fieldChips()->chosen().size(), 9);
    const auto counted = [&] { return QTest::qWaitFor([&] { return !sheet->isCounting(); }); };
    const auto captionColour = [&] { return sheet->matchCaption()->palette().color(QPalette::WindowText); };

    QTest::keyClicks(sheet->searchField(), "a");
    ASSERT_TRUE(counted());
    EXPECT_EQ(sheet->matchCaption()->text(), "3 matches found");
    const QColor secondary = captionColour();
    QTest::keyClicks(sheet->searchField(), "n");
    ASSERT_TRUE(counted());
    EXPECT_EQ(sheet->matchCaption()->text(), "2 matches found");
    sheet->wholeWordToggle()->click();
    ASSERT_TRUE(counted());
    EXPECT_EQ(sheet->matchCaption()->text(), "0 matches found");
    EXPECT_NE(captionColour(), secondary); // red
    sheet->wholeWordToggle()->click();
    sheet->allFilesToggle()->click(); // the other file's title, "Café ☕ 東京"
    sheet->searchField()->clear();
    QTest::keyClicks(sheet->searchField(), "Caf");
    ASSERT_TRUE(counted());
    EXPECT_EQ(sheet->matchCaption()->text(), "1 match found");
    EXPECT_EQ(captionColour(), secondary);

    // A catastrophic expression: typing is never held up by the count.
    document.editField(TagField::comment, QString(40, u'a') + u'b', ids()[1]);
    sheet->regexToggle()->click();
    sheet->searchField()->clear();
    QElapsedTimer typing;
    typing.start();
    QTest::keyClicks(sheet->searchField(), "(a+)+$");
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(sheet->searchField(), Qt::Key_Backspace);
        QTest::keyClick(sheet->searchField(), Qt::Key_Dollar);
    }
    // Counting in place would take the expression's whole time limit for
    // each of the four keystrokes that complete it.
    EXPECT_LT(typing.elapsed(), 300);
    ASSERT_TRUE(counted());

    // An expression that does not compile is explained where it was typed, and nothing replaces.
    QTest::keyClicks(sheet->searchField(), "(");
    ASSERT_TRUE(counted());
    EXPECT_EQ(sheet->matchCaption()->text(), "This is not a valid regular expression");
    EXPECT_FALSE(sheet->primaryButton()->isEnabled());
    QTest::keyClick(sheet->searchField(), Qt::Key_Backspace);
    EXPECT_TRUE(sheet->primaryButton()->isEnabled());

    // "Apply to all loaded files" reaches the file that is not selected.
    sheet->regexToggle()->click();
    sheet->searchField()->setText(QStringLiteral("Caf"));
    sheet->replacementField()->setText(QStringLiteral("Kaf"));
    QTest::keyClick(sheet->replacementField(), Qt::Key_Return);
    EXPECT_EQ(document.selectedFiles(), QSet<QUuid>{ids()[0]});
    EXPECT_EQ(value(1, TagField::title), "Kafé ☕ 東京");
    sheet->regexToggle()->click();

    sheet->searchField()->setText(QStringLiteral("(b)(a)"));
    sheet->replacementField()->setText(QStringLiteral("$2$1"));
    // What each file gets is shown before it runs, and follows the replacement as it is typed.
    ASSERT_TRUE(counted());
    EXPECT_EQ(sheet->preview()->lines(), QStringList{"a.flac Title: banana → abnana"});
    EXPECT_EQ(sheet->preview()->summary(), "1 file will change (1 field), 1 unchanged");
    const qsizetype before = steps();
    QTest::keyClick(sheet->replacementField(), Qt::Key_Return);
    EXPECT_EQ(steps(), before + 1);
    EXPECT_EQ(value(0, TagField::title), "abnana");
    EXPECT_EQ(sheet->resultText(), "✅ Replaced in 1 field.");
    EXPECT_EQ(sheet->dismissButton()->text(), "Close");
    EXPECT_TRUE(sheet->isVisible());
    ASSERT_TRUE(counted());
    EXPECT_EQ(sheet->matchCaption()->text(), "0 matches found");
    EXPECT_FALSE(sheet->preview()->isVisible());
}

TEST_F(SheetTest, TextTransformPreviewsEachFileAndApplies) {
    load({QStringLiteral("a.flac"), QStringLiteral("b.flac")});
    document.editField(TagField::title, QStringLiteral("Already Title"), ids()[0]);
    selectAll();
    auto* sheet = open<TextTransformSheet>(Commands::showTextTransformSheet);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->selectedTransform(), TextTransform::titleCase);
    EXPECT_EQ(sheet->fieldChips()->chosen(),
              (FieldKeySet{TagField::title, TagField::artist, TagField::album}));
    // Every chosen field is in title case already.
    EXPECT_EQ(sheet->preview()->lines(), (QStringList{"a.flac no change", "b.flac no change"}));
    EXPECT_EQ(sheet->preview()->summary(), "No file will change, 2 unchanged");

    sheet->transformChoices()->button(int(TextTransform::upperCase))->click();
    QTest::mouseClick(sheet->fieldChips()->chip(TagField::genre), Qt::LeftButton);
    EXPECT_EQ(
        sheet->preview()->lines().first(),
        "a.flac Title: Already Title → ALREADY TITLE · Artist: Fixture Artist → FIXTURE ARTIST · Album: "
        "Fixture Album → FIXTURE ALBUM · Genre: Ambient → AMBIENT");
    EXPECT_EQ(sheet->preview()->summary(), "2 files will change (8 fields)");
    const qsizetype before = steps();
    QTest::mouseClick(sheet->primaryButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(steps(), before + 1);
    EXPECT_EQ(document.history().undoDescription(), "Apply UPPER CASE to 2 files");
    EXPECT_EQ(value(1, TagField::genre), "AMBIENT");
}

TEST_F(SheetTest, CopyFieldNeedsTwoDifferentFields) {
    load({QStringLiteral("a.m4a")}, QStringLiteral("artist-only.m4a"));
    auto* sheet = open<CopyFieldToFieldSheet>(Commands::showCopyFieldSheet);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->sourceChoice()->currentText(), displayName(TagField::title));
    EXPECT_EQ(sheet->targetChoice()->currentText(), displayName(TagField::albumArtist));
    EXPECT_EQ(sheet->sourceChoice()->count(), 16);
    sheet->sourceChoice()->setCurrentText(displayName(TagField::albumArtist));
    EXPECT_FALSE(sheet->primaryButton()->isEnabled());
    sheet->sourceChoice()->setCurrentText(displayName(TagField::artist));
    EXPECT_EQ(sheet->preview()->summary(), "No file will change, 1 unchanged"); // the reader fills it alike
    sheet->targetChoice()->setCurrentText(displayName(TagField::comment));
    EXPECT_EQ(sheet->preview()->lines(), QStringList{"a.m4a Comment: (empty) → Solo Artist"});
    EXPECT_EQ(sheet->preview()->summary(), "1 file will change (1 field)");
    const qsizetype before = steps();
    QTest::keyClick(sheet->sourceChoice(), Qt::Key_Return);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(steps(), before + 1);
    EXPECT_EQ(value(0, TagField::comment), "Solo Artist");
}

// Find & replace, the transforms and copy field offer the selection's custom
// items beside the fields; tags from filename takes their tokens.
TEST_F(SheetTest, SheetsReachTheSelectionsCustomItems) {
    load({QStringLiteral("cat-7.flac"), QStringLiteral("d.flac")});
    const FieldKey catalog = FieldKey::custom(u"CATALOGNUMBER");
    const auto catalogOf = [&](int index) {
        return document.files()[index].tags().custom.value("CATALOGNUMBER");
    };
    QList<AudioFile> files = document.files();
    TagSet tags = files[1].tags();
    tags.custom.insert(QStringLiteral("CATALOGNUMBER"), QStringLiteral("cat-1"));
    files[1].setTags(tags);
    document.commit(QStringLiteral("Setup"), files, DocumentViewModel::UndoRecord::none);

    // Only the selection's items are offered.
    document.setSelectedFiles({ids()[0]});
    auto* find = open<FindReplaceSheet>(Commands::showFindReplaceSheet);
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(find->fieldChips()->chip(catalog), nullptr);
    close(find);

    selectAll();
    auto* names = open<TagsFromFilenameSheet>(Commands::showTagsFromFilenameSheet);
    ASSERT_NE(names, nullptr);
    names->patternField()->setText(QStringLiteral("{CATALOGNUMBER}"));
    QTest::mouseClick(names->primaryButton(), Qt::LeftButton);
    EXPECT_EQ(catalogOf(0), "cat-7");
    EXPECT_EQ(catalogOf(1), "d");

    find = open<FindReplaceSheet>(Commands::showFindReplaceSheet);
    ASSERT_NE(find, nullptr);
    ASSERT_NE(find->fieldChips()->chip(catalog), nullptr);
    EXPECT_TRUE(find->fieldChips()->chosen().contains(catalog));
    QTest::keyClicks(find->searchField(), "cat");
    QTest::keyClicks(find->replacementField(), "CAT");
    QTest::mouseClick(find->primaryButton(), Qt::LeftButton);
    EXPECT_EQ(catalogOf(0), "CAT-7");
    close(find);

    auto* transform = open<TextTransformSheet>(Commands::showTextTransformSheet);
    ASSERT_NE(transform, nullptr);
    EXPECT_FALSE(transform->fieldChips()->chosen().contains(catalog));
    transform->transformChoices()->button(int(TextTransform::lowerCase))->click();
    QTest::mouseClick(transform->fieldChips()->chip(catalog), Qt::LeftButton);
    EXPECT_TRUE(transform->preview()->lines().first().contains("CATALOGNUMBER: CAT-7 → cat-7"));
    QTest::mouseClick(transform->primaryButton(), Qt::LeftButton);
    EXPECT_EQ(catalogOf(0), "cat-7");

    auto* copy = open<CopyFieldToFieldSheet>(Commands::showCopyFieldSheet);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->sourceChoice()->count(), 17);
    copy->sourceChoice()->setCurrentText("CATALOGNUMBER");
    copy->targetChoice()->setCurrentText(displayName(TagField::comment));
    QTest::mouseClick(copy->primaryButton(), Qt::LeftButton);
    EXPECT_EQ(value(0, TagField::comment), "cat-7");
    copy = open<CopyFieldToFieldSheet>(Commands::showCopyFieldSheet);
    ASSERT_NE(copy, nullptr);
    copy->sourceChoice()->setCurrentText(displayName(TagField::title));
    copy->targetChoice()->setCurrentText("CATALOGNUMBER");
    QTest::mouseClick(copy->primaryButton(), Qt::LeftButton);
    EXPECT_EQ(catalogOf(1), *value(1, TagField::title));
}

TEST_F(SheetTest, ArtworkSheetsImportAndExportThroughAFolder) {
    load({QStringLiteral("01 - Time.flac"), QStringLiteral("02 - Money.flac")},
         QStringLiteral("untagged.flac"));
    EXPECT_TRUE(window->artworkButton()->isEnabled());
    window->artworkButton()->menu()->actions().value(0)->trigger();
    auto* import = qobject_cast<BatchArtworkImportSheet*>(window->currentSheet());
    ASSERT_NE(import, nullptr);
    EXPECT_EQ(import->titleText(), "Batch Import Artwork");
    EXPECT_FALSE(import->primaryButton()->isEnabled());

    TestSupport::ScratchFolder images;
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(images.path() + "/nothing.png"));
    import->folderChoice()->setFolder(QUrl::fromLocalFile(images.path()));
    EXPECT_EQ(import->folderChoice()->shownPath(), images.path());
    QTest::mouseClick(import->primaryButton(), Qt::LeftButton);
    const auto resultOf = [](Sheet* sheet) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return sheet->primaryButton()->isEnabled(); }, 10000));
        return sheet->resultText();
    };
    EXPECT_EQ(resultOf(import),
              "⚠️ No matching images found. Filenames must match audio filenames (without extension).");
    ASSERT_TRUE(image.save(images.path() + "/01 - Time.png"));
    // The preview says which file gets which image, and which gets none, before anything runs.
    import->folderChoice()->setFolder(QUrl::fromLocalFile(images.path()));
    EXPECT_EQ(import->preview()->lines(),
              QStringList({"01 - Time.flac ← 01 - Time.png",
                           "02 - Money.flac skipped: no image named “02 - Money”"}));
    EXPECT_EQ(import->preview()->summary(), "1 file will get artwork, 1 without an image");
    const qsizetype before = steps();
    QTest::mouseClick(import->primaryButton(), Qt::LeftButton);
    EXPECT_EQ(resultOf(import), "✅ Applied artwork to 1 file.");
    EXPECT_EQ(steps(), before + 1);
    EXPECT_EQ(document.filesWithArtworkCount(), 1);
    close(import);

    auto* exportSheet = open<BatchArtworkExportSheet>(Commands::showBatchArtworkExport);
    ASSERT_NE(exportSheet, nullptr);
    EXPECT_EQ(exportSheet->descriptionText(),
              "Export embedded artwork from all 2 loaded files to a folder. 1 file has artwork.");
    TestSupport::ScratchFolder out;
    exportSheet->folderChoice()->setFolder(QUrl::fromLocalFile(out.path()));
    QTest::keyClick(exportSheet, Qt::Key_Return);
    EXPECT_EQ(resultOf(exportSheet), "✅ Exported 1 artwork image.");
    EXPECT_TRUE(QFile::exists(out.path() + "/01 - Time-artwork.jpg"));
    document.undo();
    QTest::keyClick(exportSheet, Qt::Key_Return);
    EXPECT_EQ(resultOf(exportSheet), "⚠️ No artwork found in loaded files.");
}

} // namespace
