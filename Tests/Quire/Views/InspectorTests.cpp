#include "WidgetTestSupport.h"

#include "Quire/Views/Artwork/ArtworkPanel.h"
#include "Quire/Views/Inspector/CustomItemsSection.h"
#include "Quire/Views/Inspector/InspectorView.h"
#include "Quire/Views/Inspector/TagFieldEditors.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace DocumentTest;
using namespace WidgetTest;

namespace {

class InspectorTest : public WindowTest {
protected:
    InspectorView* inspector() const { return qobject_cast<InspectorView*>(window->inspectorPane()); }
    QLineEdit* lineEdit(const FieldKey& field) const {
        return qobject_cast<QLineEdit*>(inspector()->box(field)->editor());
    }
    CustomItemsSection* customItems() const { return inspector()->customItems(); }
    QLineEdit* customEdit(const QString& name) const {
        TagFieldBox* box = customItems()->box(name);
        return box ? qobject_cast<QLineEdit*>(box->editor()) : nullptr;
    }
    std::optional<QString> custom(qsizetype file, const QString& name) const {
        return document.files()[file].tags().value(FieldKey::custom(name));
    }
    qsizetype steps() const { return document.history().undoDescriptions().size(); }
    // Puts values the inspector cannot type (text in a numeric field) into the files, as a read would.
    void store(const std::function<void(TagSet&)>& change) {
        QList<AudioFile> files = document.files();
        for (AudioFile& file : files) {
            TagSet tags = file.tags();
            change(tags);
            file.setTags(tags);
        }
        document.commit(QStringLiteral("Store"), files);
    }
    QList<QStringList> rowLabels() const {
        QList<QStringList> rows;
        for (const QList<TagFieldBox*>& row : inspector()->rows()) {
            QStringList labels;
            for (const TagFieldBox* box : row)
                labels.append(box->label());
            rows.append(labels);
        }
        return rows;
    }
    void chooseLayout(const QString& name) {
        for (QAction* action : inspector()->layoutButton()->menu()->actions()) {
            if (action->text() == name)
                action->trigger();
        }
    }
};

TEST_F(InspectorTest, PlaceholderAndHeaderFollowTheSelection) {
    load({"a.flac", "b.flac", "c.flac", "d.flac", "e.flac"});
    document.setSelectedFiles({});
    ASSERT_NE(inspector(), nullptr);
    EXPECT_TRUE(inspector()->showsPlaceholder());
    QStringList texts;
    for (const QLabel* label : inspector()->placeholder()->findChildren<QLabel*>())
        texts.append(label->text());
    texts.removeAll(QString());
    EXPECT_EQ(texts, QStringList({"No Selection", "Select a file to edit its tags.", "Ctrl+A selects all"}));

    document.setSelectedFiles({ids()[0]});
    const AudioFile& first = document.files()[0];
    EXPECT_FALSE(inspector()->showsPlaceholder());
    EXPECT_EQ(inspector()->titleText(), "a");
    EXPECT_EQ(inspector()->subtitleText(), "FLAC · " + first.properties().formattedDuration());
    EXPECT_TRUE(inspector()->audioCard()->isVisible());
    EXPECT_EQ(inspector()->audioValue("Sample Rate"), first.properties().formattedSampleRate());
    EXPECT_EQ(inspector()->audioValue("Codec"), first.properties().codec);

    const QList<QUuid> all = ids();
    document.setSelectedFiles({all.begin(), all.end()});
    EXPECT_EQ(inspector()->titleText(), "5 Files Selected");
    EXPECT_EQ(inspector()->subtitleText(), "No unsaved changes");
    EXPECT_FALSE(inspector()->audioCard()->isVisible());
    document.editField(TagField::genre, QStringLiteral("Edited"), ids()[1]);
    document.editField(TagField::genre, QStringLiteral("Edited"), ids()[3]);
    EXPECT_EQ(inspector()->subtitleText(), "2 with unsaved changes");
    // Edits of single files show in the merged state at once.
    EXPECT_EQ(lineEdit(TagField::genre)->text(), "");
    EXPECT_EQ(lineEdit(TagField::genre)->placeholderText(), "Multiple values");
}

TEST_F(InspectorTest, TypingEditsEverySelectedFileAsOneUndoStep) {
    load({"a.flac", "b.flac"});
    document.editField(TagField::artist, QStringLiteral("Someone Else"), ids()[1]);
    document.setSelectedFiles({ids()[0], ids()[1]});
    QLineEdit* artist = lineEdit(TagField::artist);
    EXPECT_EQ(artist->text(), "");
    EXPECT_EQ(artist->placeholderText(), "Multiple values");
    EXPECT_EQ(lineEdit(TagField::title)->placeholderText(), "Title");

    const qsizetype steps = document.history().undoDescriptions().size();
    artist->setFocus();
    QTest::keyClicks(artist, "Duo");
    artist->setCursorPosition(1);
    QTest::keyClicks(artist, "x"); // in the middle: the cursor stays where the typing is
    for (const AudioFile& file : document.files())
        EXPECT_EQ(file.tags().artist, QStringLiteral("Dxuo"));
    EXPECT_EQ(artist->text(), "Dxuo");
    EXPECT_EQ(artist->cursorPosition(), 2);
    EXPECT_TRUE(artist->hasFocus());
    EXPECT_EQ(artist->placeholderText(), "Artist");
    EXPECT_EQ(document.history().undoDescriptions().size(), steps + 1);
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Edit Artist"));

    // The window's Undo takes Ctrl+Z even while the box has focus: the whole word goes at once.
    QTest::keyClick(artist, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(document.files()[0].tags().artist, QStringLiteral("Fixture Artist"));
    EXPECT_EQ(artist->text(), "");
    EXPECT_EQ(artist->placeholderText(), "Multiple values");

    // Emptying a box removes the value rather than storing empty text.
    QLineEdit* album = lineEdit(TagField::album);
    album->setFocus();
    album->selectAll();
    QTest::keyClick(album, Qt::Key_Backspace);
    for (const AudioFile& file : document.files())
        EXPECT_EQ(file.tags().album, std::nullopt);

    // A batch operation on the selection shows at once.
    document.tagOperations().findAndReplace("Fixture", "Guest", false, false,
                                            {TagField::title, TagField::genre}, false);
    document.tagOperations().numberTracks(1, {});
    EXPECT_EQ(lineEdit(TagField::trackTotal)->text(), "2");
    EXPECT_EQ(lineEdit(TagField::trackNumber)->placeholderText(), "Multiple values");
}

// A number is taken when the typing is done; refused text never stays in the
// box, never reaches the file and says what the field takes.
TEST_F(InspectorTest, TypedNumbersAreCheckedWhenTheTypingIsDone) {
    load({"a.flac", "b.flac"});
    document.setSelectedFiles({ids()[0]});
    const AudioFile before = document.files()[0];
    const QString year = before.tags().value(TagField::year).value_or(QString());
    const qsizetype steps = document.history().undoDescriptions().size();
    QLineEdit* yearBox = lineEdit(TagField::year);
    yearBox->setFocus();
    yearBox->selectAll();
    QTest::keyClicks(yearBox, "19x");
    EXPECT_EQ(document.files()[0], before); // nothing while typing
    QTest::keyClick(yearBox, Qt::Key_Return);
    EXPECT_EQ(document.files()[0], before);
    EXPECT_EQ(document.modifiedCount(), 0);
    EXPECT_EQ(document.history().undoDescriptions().size(), steps);
    EXPECT_EQ(yearBox->text(), year);
    EXPECT_TRUE(inspector()->box(TagField::year)->errorText().startsWith("Year takes a year"));

    yearBox->selectAll();
    QTest::keyClicks(yearBox, "1999");
    QTest::keyClick(yearBox, Qt::Key_Tab); // leaving the box commits
    EXPECT_EQ(document.files()[0].tags().year, QStringLiteral("1999"));
    EXPECT_EQ(inspector()->box(TagField::year)->errorText(), "");

    // "number/total" in the track box sets both in one step; a save takes what is still being typed.
    QLineEdit* track = lineEdit(TagField::trackNumber);
    track->setFocus();
    track->selectAll();
    QTest::keyClicks(track, "5/17");
    QTest::keyClick(track, Qt::Key_Return);
    EXPECT_EQ(document.files()[0].tags().trackNumber, QStringLiteral("5"));
    EXPECT_EQ(document.files()[0].tags().trackTotal, QStringLiteral("17"));
    EXPECT_EQ(document.history().undoDescriptions().size(), steps + 2);
    track->selectAll();
    QTest::keyClicks(track, "4");
    document.saveAll();
    waitForSave(document);
    EXPECT_EQ(readBack(document.files()[0].url()).tags().trackNumber, QStringLiteral("4"));
}

TEST_F(InspectorTest, LayoutsRelabelAndReorderTheRows) {
    load({"a.flac"});
    const QList<QStringList> standard = {{"Title"},
                                         {"Artist"},
                                         {"Album"},
                                         {"Album Artist"},
                                         {"Genre", "Year"},
                                         {"Track Number", "Track Total"},
                                         {"Disc Number", "Disc Total"},
                                         {"BPM"},
                                         {"Composer"},
                                         {"Grouping"},
                                         {"Comment"},
                                         {"Lyrics"}};
    EXPECT_EQ(rowLabels(), standard);
    EXPECT_EQ(inspector()->layoutButton()->text(), "Standard");
    EXPECT_NE(qobject_cast<MultilineTagEditor*>(inspector()->box(TagField::lyrics)->editor()->parentWidget()),
              nullptr);

    chooseLayout("Podcasts");
    EXPECT_EQ(inspector()->currentLayout(), InspectorLayout::podcasts());
    EXPECT_EQ(rowLabels(), QList<QStringList>({{"Title"},
                                               {"Podcast"},
                                               {"Author"},
                                               {"Album Artist"},
                                               {"Episode", "Episodes"},
                                               {"Year", "Genre"},
                                               {"Show Notes"},
                                               {"Transcript"}}));
    EXPECT_EQ(lineEdit(TagField::album)->text(), "Fixture Album");
    EXPECT_EQ(inspector()->layoutButton()->text(), "Podcasts");

    chooseLayout("DJs");
    EXPECT_EQ(rowLabels(), QList<QStringList>({{"Title"},
                                               {"Artist"},
                                               {"Album"},
                                               {"Genre"},
                                               {"BPM", "Year"},
                                               {"Track Number"},
                                               {"Key / Notes"},
                                               {"Crate"}}));
    for (QAction* action : inspector()->layoutButton()->menu()->actions())
        EXPECT_EQ(action->isChecked(), action->text() == "DJs") << action->text().toStdString();
}

// The selection's custom items below the layout: shared values, "Multiple values" where the files differ,
// typing, removing and adding, each through the document with its undo step.
TEST_F(InspectorTest, OtherFieldsShowEditAddAndRemoveCustomItems) {
    load({"a.flac", "b.flac"});
    const QList<QUuid> both = ids();
    for (const QUuid& id : both)
        document.editField(FieldKey::custom(u"CATALOGNUMBER"), QStringLiteral("BIS-1234"), id);
    document.editField(FieldKey::custom(u"LABEL"), QStringLiteral("One"), both[0]);
    document.editField(FieldKey::custom(u"LABEL"), QStringLiteral("Two"), both[1]);
    document.editField(FieldKey::custom(u"MOOD"), QStringLiteral("Calm"), both[0]);
    document.setSelectedFiles({both[0], both[1]});
    EXPECT_EQ(customItems()->names(), QStringList({"CATALOGNUMBER", "LABEL", "MOOD"}));
    EXPECT_EQ(customItems()->box("LABEL")->label(), "LABEL");
    EXPECT_EQ(customEdit("CATALOGNUMBER")->text(), "BIS-1234");
    EXPECT_EQ(customEdit("LABEL")->text(), "");
    EXPECT_EQ(customEdit("LABEL")->placeholderText(), "Multiple values");
    EXPECT_EQ(customEdit("MOOD")->placeholderText(), "Multiple values"); // one file lacks it
    EXPECT_FALSE(customItems()->emptyNote()->isVisibleTo(customItems()));

    // Typing sets the item in every selected file, one undo step for the whole word.
    qsizetype before = steps();
    QLineEdit* label = customEdit("LABEL");
    label->setFocus();
    QTest::keyClicks(label, "Ondine");
    EXPECT_EQ(custom(0, "LABEL"), QStringLiteral("Ondine"));
    EXPECT_EQ(custom(1, "LABEL"), QStringLiteral("Ondine"));
    EXPECT_EQ(steps(), before + 1);
    EXPECT_EQ(label->placeholderText(), "LABEL");
    // Tab goes from a box to its remove button, then to the next box.
    QTest::keyClick(label, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), customItems()->removeButton("LABEL"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), customEdit("MOOD"));
    ASSERT_TRUE(undoAndWait(document));
    EXPECT_EQ(custom(1, "LABEL"), QStringLiteral("Two"));

    // Emptying a box removes the item, but the box stays while it has focus, so the value can be retyped.
    QLineEdit* catalog = customEdit("CATALOGNUMBER");
    catalog->setFocus();
    catalog->selectAll();
    QTest::keyClick(catalog, Qt::Key_Backspace);
    EXPECT_EQ(custom(0, "CATALOGNUMBER"), std::nullopt);
    EXPECT_EQ(customEdit("CATALOGNUMBER"), catalog);
    QTest::keyClicks(catalog, "BIS-9");
    EXPECT_EQ(custom(1, "CATALOGNUMBER"), QStringLiteral("BIS-9"));
    catalog->selectAll();
    QTest::keyClick(catalog, Qt::Key_Backspace);
    customEdit("MOOD")->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(customItems()->names(), QStringList({"LABEL", "MOOD"}));

    // Removing is its own undo step, even right after typing in the box.
    QLineEdit* mood = customEdit("MOOD");
    QTest::keyClicks(mood, "x");
    before = steps();
    QToolButton* remove = customItems()->removeButton("MOOD");
    EXPECT_EQ(remove->accessibleName(), "Remove MOOD");
    EXPECT_FALSE(remove->toolTip().isEmpty());
    remove->click();
    EXPECT_EQ(custom(0, "MOOD"), std::nullopt);
    EXPECT_EQ(custom(1, "MOOD"), std::nullopt);
    EXPECT_EQ(customItems()->names(), QStringList({"LABEL"}));
    EXPECT_EQ(steps(), before + 1);
    ASSERT_TRUE(undoAndWait(document));
    EXPECT_EQ(custom(0, "MOOD"), QStringLiteral("x"));
    EXPECT_EQ(customItems()->names(), QStringList({"LABEL", "MOOD"}));
}

TEST_F(InspectorTest, AddingAFieldAsksForANameThatIsNoneOfTheSixteen) {
    load({"a.flac", "b.flac"});
    document.setSelectedFiles({ids()[0], ids()[1]});
    EXPECT_TRUE(customItems()->emptyNote()->isVisibleTo(customItems()));
    customItems()->addButton()->click();
    auto* dialog = customItems()->findChild<AddCustomItemDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->addButton()->isEnabled());

    const std::optional<QString> track = document.files()[0].tags().trackNumber;
    QTest::keyClicks(dialog->nameEdit(), "tracknumber");
    EXPECT_EQ(dialog->nameEdit()->text(), "TRACKNUMBER"); // names show upper-cased
    QTest::keyClicks(dialog->valueEdit(), "7");
    const qsizetype before = steps();
    dialog->addButton()->click();
    EXPECT_EQ(dialog->errorText(), "TRACKNUMBER is the Track Number field: edit it in its own box above.");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(steps(), before);
    EXPECT_EQ(document.files()[0].tags().trackNumber, track);

    dialog->nameEdit()->clear();
    QTest::keyClicks(dialog->nameEdit(), "a=b");
    dialog->addButton()->click();
    EXPECT_TRUE(dialog->errorText().contains("cannot name a field"));

    dialog->nameEdit()->clear();
    QTest::keyClicks(dialog->nameEdit(), "musicbrainz_workid");
    QTest::keyClick(dialog->valueEdit(), Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(custom(0, "MUSICBRAINZ_WORKID"), QStringLiteral("7"));
    EXPECT_EQ(custom(1, "MUSICBRAINZ_WORKID"), QStringLiteral("7"));
    EXPECT_EQ(steps(), before + 1);
    EXPECT_EQ(customItems()->names(), QStringList({"MUSICBRAINZ_WORKID"}));
    EXPECT_EQ(customEdit("MUSICBRAINZ_WORKID")->text(), "7");
}

// What a numeric field holds is shown as stored: a date in the year, text that is no number marked, and
// kept until it is typed over.
TEST_F(InspectorTest, NumericFieldsShowTheirTextAsStored) {
    load({"a.flac"});
    store([](TagSet& tags) {
        tags.year = QStringLiteral("1974-11-01");
        tags.trackNumber = QStringLiteral("A1");
        tags.discNumber = QStringLiteral("2");
    });
    document.setSelectedFiles({ids()[0]});
    TagFieldBox* track = inspector()->box(TagField::trackNumber);
    EXPECT_EQ(lineEdit(TagField::trackNumber)->text(), "A1");
    EXPECT_TRUE(track->marksTextForNumber());
    EXPECT_EQ(lineEdit(TagField::trackNumber)->toolTip(),
              "Not a number: kept as stored until you type over it");
    EXPECT_EQ(lineEdit(TagField::year)->text(), "1974-11-01");
    EXPECT_FALSE(inspector()->box(TagField::year)->marksTextForNumber());
    EXPECT_FALSE(inspector()->box(TagField::discNumber)->marksTextForNumber());

    // Passing through the box keeps the text; typing a number over it replaces it.
    const qsizetype before = steps();
    lineEdit(TagField::trackNumber)->setFocus();
    QTest::keyClick(lineEdit(TagField::trackNumber), Qt::Key_Tab);
    EXPECT_EQ(document.files()[0].tags().trackNumber, QStringLiteral("A1"));
    EXPECT_EQ(steps(), before);
    lineEdit(TagField::trackNumber)->selectAll();
    QTest::keyClicks(lineEdit(TagField::trackNumber), "3");
    QTest::keyClick(lineEdit(TagField::trackNumber), Qt::Key_Return);
    EXPECT_EQ(document.files()[0].tags().trackNumber, QStringLiteral("3"));
    EXPECT_FALSE(track->marksTextForNumber());

    store([](TagSet& tags) { tags.year = QStringLiteral("Oct 3, 1995"); });
    EXPECT_EQ(lineEdit(TagField::year)->text(), "Oct 3, 1995");
    EXPECT_TRUE(inspector()->box(TagField::year)->marksTextForNumber());
}

TEST_F(InspectorTest, SeveralValuesAreCountedAndListed) {
    load({"a.flac"});
    document.setSelectedFiles({ids()[0]});
    document.editField(TagField::artist, QStringLiteral("Anne; Bo; Cy"));
    TagFieldBox* artist = inspector()->box(TagField::artist);
    EXPECT_EQ(lineEdit(TagField::artist)->text(), "Anne; Bo; Cy");
    EXPECT_EQ(artist->valueCountText(), "3 values");
    EXPECT_EQ(lineEdit(TagField::artist)->toolTip(), "Anne\nBo\nCy");
    document.editField(TagField::artist, QStringLiteral("Anne"));
    EXPECT_EQ(artist->valueCountText(), "");
    EXPECT_EQ(lineEdit(TagField::artist)->toolTip(), "");
    document.editField(TagField::comment, QStringLiteral("Slowly; then fast"));
    EXPECT_EQ(inspector()->box(TagField::comment)->valueCountText(), "");
}

TEST_F(InspectorTest, FilesReadInPartAreNamedAtTheTop) {
    load({"whole.flac"});
    load({"damaged.flac"}, QStringLiteral("bad-comment-length.flac"));
    const QUuid whole = fileNamed(document, "whole.flac").id();
    const QUuid damaged = fileNamed(document, "damaged.flac").id();
    ASSERT_TRUE(fileNamed(document, "damaged.flac").isReadInPart());
    document.setSelectedFiles({whole});
    EXPECT_EQ(inspector()->readInPartNote(), "");
    document.setSelectedFiles({damaged});
    EXPECT_EQ(inspector()->readInPartNote(),
              "Some of this file's tags are damaged and could be read only in "
              "part. Saving it is refused where that would lose the damaged part.");
    document.setSelectedFiles({whole, damaged});
    EXPECT_TRUE(inspector()->readInPartNote().startsWith("One of the selected files has damaged tags"));
}

// The Classical layout's catalogue number is the CATALOGNUMBER item, which the section below then leaves out.
TEST_F(InspectorTest, ClassicalCatalogNumberEditsItsOwnItem) {
    load({"a.flac"});
    document.setSelectedFiles({ids()[0]});
    document.editField(FieldKey::custom(u"CATALOGNUMBER"), QStringLiteral("BWV 1007"));
    EXPECT_EQ(customItems()->names(), QStringList({"CATALOGNUMBER"}));
    chooseLayout("Classical");
    const std::optional<QString> grouping = document.files()[0].tags().grouping;
    QLineEdit* catalog = lineEdit(FieldKey::custom(u"CATALOGNUMBER"));
    EXPECT_EQ(inspector()->box(FieldKey::custom(u"CATALOGNUMBER"))->label(), "Catalog No.");
    EXPECT_EQ(catalog->text(), "BWV 1007");
    EXPECT_TRUE(customItems()->names().isEmpty());
    catalog->setFocus();
    catalog->selectAll();
    QTest::keyClicks(catalog, "BWV 1008");
    EXPECT_EQ(custom(0, "CATALOGNUMBER"), QStringLiteral("BWV 1008"));
    EXPECT_EQ(document.files()[0].tags().grouping, grouping);
    EXPECT_EQ(inspector()->box(TagField::albumArtist)->label(), "Album Artist");
    chooseLayout("Standard");
    EXPECT_EQ(customItems()->names(), QStringList({"CATALOGNUMBER"}));
}

// Files as other taggers leave them: their items beyond the fields, a vinyl side's track number, a full
// date and two artists show as read, and an item typed in the inspector reaches the file.
TEST_F(InspectorTest, ItemsOfRealFilesShowAsReadAndSaveAsTyped) {
    load({"a.flac"}, QStringLiteral("custom.flac"));
    load({"b.mp3"}, QStringLiteral("custom.mp3"));
    document.setSelectedFiles({ids()[0], ids()[1]});
    EXPECT_TRUE(customItems()->names().contains("COMMENT:LINER")); // the MP3's described comment
    EXPECT_TRUE(customItems()->names().contains("MY OWN KEY"));
    EXPECT_EQ(customEdit("COMMENT:LINER")->placeholderText(), "Multiple values");
    EXPECT_EQ(customEdit("CATALOGNUMBER")->text(), "ABC-123");
    EXPECT_EQ(customEdit("MUSICBRAINZ_ALBUMID")->cursorPosition(), 0); // a long value shows its beginning
    EXPECT_EQ(lineEdit(TagField::trackNumber)->text(), "A1");
    EXPECT_TRUE(inspector()->box(TagField::trackNumber)->marksTextForNumber());
    EXPECT_EQ(lineEdit(TagField::year)->text(), "1974-11-01");
    EXPECT_EQ(inspector()->box(TagField::artist)->valueCountText(), "2 values");

    QLineEdit* label = customEdit("LABEL");
    label->setFocus();
    label->selectAll();
    QTest::keyClicks(label, "Philips");
    document.saveAll();
    waitForSave(document);
    for (const AudioFile& file : document.files()) {
        const TagSet read = readBack(file.url()).tags();
        EXPECT_EQ(read.value(FieldKey::custom(u"LABEL")), QStringLiteral("Philips"))
            << file.url().toString().toStdString();
        EXPECT_EQ(read.trackNumber, QStringLiteral("A1")); // kept: never typed over
        EXPECT_EQ(read.year, QStringLiteral("1974-11-01"));
    }
}

} // namespace
