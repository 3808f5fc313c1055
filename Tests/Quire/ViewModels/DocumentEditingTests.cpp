#include "DocumentTestSupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace DocumentTest;
using namespace std::chrono_literals;

namespace {

// A document of three real files with a clock the test moves by hand.
class EditingTest : public testing::Test {
protected:
    void SetUp() override {
        library.add(QStringLiteral("1.mp3"));
        library.add(QStringLiteral("2.flac"), QStringLiteral("tagged.flac"));
        library.add(QStringLiteral("3.ogg"), QStringLiteral("untagged.ogg"));
        document.history().setClock([this] { return now; });
        importAndWait(document, {library.url()});
        ids = idsOf(document.files());
    }

    void selectAll() { document.setSelectedFiles({ids.begin(), ids.end()}); }
    std::optional<QString> valueOf(int index, TagField field) const {
        return document.files()[index].tags().value(field);
    }

    Library library;
    DocumentViewModel document;
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    QList<QUuid> ids;
};

TEST_F(EditingTest, EditStateShowsCommonValuesAndWhatVaries) {
    document.editField(TagField::year, QStringLiteral("1999"), ids[0]);
    document.editField(TagField::year, QString(), ids[1]);
    document.editField(TagField::trackNumber, QStringLiteral("07"), ids[0]);
    document.setSelectedFiles({ids[0]});
    EXPECT_EQ(document.editState()->stringValue(TagField::trackNumber), QStringLiteral("7"));

    document.setSelectedFiles({ids[0], ids[1]});
    EditableTagSet* state = document.editState();
    EXPECT_TRUE(state->varies(TagField::year));
    EXPECT_EQ(state->stringValue(TagField::year), QString());
    document.setSelectedFiles({ids[1], ids[2]});
    EXPECT_FALSE(document.editState()->varies(TagField::year)); // absent in both
    EXPECT_TRUE(document.editState()->varies(TagField::title));

    document.setSelectedFiles({});
    EXPECT_EQ(document.editState()->stringValue(TagField::title), QString());
    EXPECT_FALSE(document.editState()->compilation());
}

// Custom items merge like the fields, and follow edits of single files at once.
TEST_F(EditingTest, EditStateCarriesTheSelectionsCustomItems) {
    const FieldKey label = FieldKey::custom(u"LABEL");
    const FieldKey mood = FieldKey::custom(u"MOOD");
    document.editField(label, QStringLiteral("Ondine"), ids[0]);
    document.editField(label, QStringLiteral("Ondine"), ids[1]);
    document.editField(mood, QStringLiteral("Calm"), ids[1]);
    selectAll();
    EditableTagSet* state = document.editState();
    QSignalSpy custom(state, &EditableTagSet::customItemsChanged);
    EXPECT_TRUE(state->customNames().contains("LABEL") && state->customNames().contains("MOOD"));
    EXPECT_TRUE(state->varies(label)); // the third file lacks it
    document.editField(label, QStringLiteral("Ondine"), ids[2]);
    EXPECT_FALSE(state->varies(label));
    EXPECT_EQ(state->stringValue(label), QStringLiteral("Ondine"));
    EXPECT_TRUE(state->varies(mood));
    EXPECT_EQ(state->stringValue(mood), QString());
    EXPECT_GE(custom.size(), 1);

    document.editField(mood, QString());
    EXPECT_FALSE(state->customNames().contains("MOOD"));
    document.setSelectedFiles({});
    EXPECT_TRUE(document.editState()->customNames().isEmpty());
}

// Text that the model would turn into no value is refused before anything
// changes, for the selection and for one file alike; "number/total" is one step.
TEST_F(EditingTest, TypedValuesAreCheckedBeforeAnythingChanges) {
    selectAll();
    const QList<AudioFile> before = document.files();
    const qsizetype steps = document.history().undoDescriptions().size();
    QSignalSpy changes(&document, &DocumentViewModel::changed);
    for (const std::optional<QUuid>& target : {std::optional<QUuid>(), std::optional(ids[1])}) {
        const Result<bool, QString> year = document.editField(TagField::year, QStringLiteral("19x"), target);
        ASSERT_FALSE(year.ok());
        EXPECT_TRUE(year.error().contains(QStringLiteral("Year"))) << year.error().toStdString();
        EXPECT_TRUE(year.error().contains(QStringLiteral("1973-03-01"))) << year.error().toStdString();
        EXPECT_FALSE(document.editField(TagField::trackNumber, QStringLiteral("abc"), target).ok());
        EXPECT_FALSE(document.editField(TagField::discNumber, QStringLiteral("1/x"), target).ok());
        EXPECT_FALSE(document.editField(TagField::bpm, QStringLiteral("-5"), target).ok());
        EXPECT_FALSE(document.editField(TagField::compilation, QStringLiteral("maybe"), target).ok());
    }
    EXPECT_EQ(document.files(), before);
    EXPECT_EQ(document.modifiedCount(), 0);
    EXPECT_EQ(document.history().undoDescriptions().size(), steps);
    EXPECT_EQ(changes.count(), 0);

    ASSERT_TRUE(document.editField(TagField::trackNumber, QStringLiteral(" 5/17 "), ids[1]).value());
    EXPECT_EQ(document.history().undoDescriptions().size(), steps + 1);
    EXPECT_EQ(valueOf(1, TagField::trackNumber), QStringLiteral("5"));
    EXPECT_EQ(valueOf(1, TagField::trackTotal), QStringLiteral("17"));
    ASSERT_EQ(changes.count(), 1);
    const auto change = changes[0][0].value<DocumentChange>();
    EXPECT_EQ(change.changed, QSet<QUuid>{ids[1]});
    EXPECT_EQ(change.fields, (QSet<TagField>{TagField::trackNumber, TagField::trackTotal}));

    ASSERT_TRUE(document.editField(TagField::year, QStringLiteral("1973-03-01T10:30")).ok());
    EXPECT_EQ(valueOf(0, TagField::year), QStringLiteral("1973-03-01T10:30")); // a date stays a date
    document.undo();
    document.undo();
    EXPECT_EQ(document.files(), before);
}

TEST_F(EditingTest, KeystrokesWithinASecondMergeIntoOneStep) {
    selectAll();
    const qsizetype stepsBefore = document.history().undoDescriptions().size();
    const QStringList before = {valueOf(0, TagField::genre).value_or("-"),
                                valueOf(1, TagField::genre).value_or("-"),
                                valueOf(2, TagField::genre).value_or("-")};
    for (const char* typed : {"F", "Fu", "Fun", "Funk"}) {
        document.editField(TagField::genre, QString::fromUtf8(typed));
        now += 900ms; // each keystroke within a second of the previous one
    }
    EXPECT_EQ(document.history().undoDescriptions().size(), stepsBefore + 1);
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Edit Genre"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(valueOf(i, TagField::genre), QStringLiteral("Funk"));
        EXPECT_TRUE(document.files()[i].isModified());
    }
    EXPECT_FALSE(document.editState()->varies(TagField::genre));

    document.undo();
    EXPECT_EQ(valueOf(0, TagField::genre).value_or("-"), before[0]);
    EXPECT_EQ(valueOf(2, TagField::genre), std::nullopt);
    EXPECT_EQ(document.modifiedCount(), 0); // back to the saved tags
}

TEST_F(EditingTest, StepsSplitOnPauseFieldSelectionOrCellEdit) {
    selectAll();
    const qsizetype start = document.history().undoDescriptions().size();
    document.editField(TagField::album, QStringLiteral("A"));
    now += 1s; // a full second: a new step
    document.editField(TagField::album, QStringLiteral("AB"));
    now += 100ms;
    document.editField(TagField::artist, QStringLiteral("X")); // another field
    now += 100ms;
    document.editField(TagField::artist, QStringLiteral("XY"), ids[0]); // a cell edit
    now += 100ms;
    document.editField(TagField::artist, QStringLiteral("XYZ"));
    now += 100ms;
    document.setSelectedFiles({ids[0]});
    document.editField(TagField::artist, QStringLiteral("XYZW"));
    EXPECT_EQ(document.history().undoDescriptions().size(), start + 6);
}

TEST_F(EditingTest, EditsThatChangeNothingRecordNothing) {
    selectAll();
    document.editField(TagField::comment, QStringLiteral("same"));
    const qsizetype steps = document.history().undoDescriptions().size();
    now += 5s;
    document.editField(TagField::comment, QStringLiteral("same"));
    document.editField(TagField::comment, QStringLiteral("same"), ids[1]);
    document.editField(TagField::bpm, QString(), ids[2]); // empty cell = no value = unchanged
    EXPECT_EQ(document.history().undoDescriptions().size(), steps);

    // Some files already hold the value: all selected files are marked modified.
    document.editField(TagField::compilation, QStringLiteral("1"));
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Edit Compilation"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(document.files()[i].tags().compilation, true);
    now += 5s;
    document.editField(TagField::compilation, QStringLiteral("1"));
    EXPECT_EQ(document.history().undoDescriptions().size(), steps + 1);

    // Clearing a field removes it from every selected file.
    document.editField(TagField::comment, QString());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(valueOf(i, TagField::comment), std::nullopt);
}

TEST_F(EditingTest, CellEditOfAnUnselectedFileLeavesTheEditState) {
    document.setSelectedFiles({ids[0]});
    document.editField(TagField::title, QStringLiteral("Mine"));
    document.editField(TagField::title, QStringLiteral("Other"), ids[1]);
    EXPECT_EQ(document.editState()->stringValue(TagField::title), QStringLiteral("Mine"));
    document.editField(TagField::title, QStringLiteral("Cell"), ids[0]);
    EXPECT_EQ(document.editState()->stringValue(TagField::title), QStringLiteral("Cell"));
}

TEST_F(EditingTest, HistoryKeepsTwoHundredStepsAndANewStepEndsRedo) {
    for (int i = 0; i < 201; ++i)
        document.editField(TagField::bpm, QString::number(i + 1), ids[0]);
    EXPECT_EQ(document.history().undoDescriptions().size(), 200);
    int undone = 0;
    while (document.history().canUndo()) {
        document.undo();
        ++undone;
    }
    EXPECT_EQ(undone, 200);
    EXPECT_EQ(valueOf(0, TagField::bpm), QStringLiteral("1")); // the oldest step is gone
    document.undo();                                           // nothing to undo: nothing happens
    EXPECT_TRUE(document.history().canRedo());
    document.redo();
    EXPECT_EQ(valueOf(0, TagField::bpm), QStringLiteral("2"));
    document.editField(TagField::bpm, QStringLiteral("99"), ids[0]);
    EXPECT_FALSE(document.history().canRedo());
    EXPECT_EQ(document.history().redoDescription(), std::nullopt);
}

TEST_F(EditingTest, ClipboardPastesCopiesAsOneStep) {
    document.setSelectedFiles({ids[1]});
    document.tagClipboard().copyFromSelected();
    const TagClipboard clipboard = document.tagClipboard().contents();
    EXPECT_EQ(clipboard.sourceFilename, QStringLiteral("2.flac"));
    ASSERT_TRUE(clipboard.artwork.has_value());
    document.editField(TagField::title, QStringLiteral("Changed after copying"), ids[1]);

    selectAll();
    document.tagClipboard().pasteToSelected(true, true);
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Paste to 3 files"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(document.files()[i].tags(), *clipboard.tags);
        EXPECT_EQ(document.files()[i].artwork(), *clipboard.artwork);
        // The source is back to the tags it has on disk: nothing left to save there.
        EXPECT_EQ(document.files()[i].isModified(), i != 1);
    }
    document.undo();
    EXPECT_EQ(valueOf(1, TagField::title), QStringLiteral("Changed after copying"));

    // A single field, through its text form.
    document.setSelectedFiles({ids[2]});
    document.tagClipboard().pasteToSelected(true, false, TagField::artist);
    EXPECT_EQ(valueOf(2, TagField::artist), clipboard.tags->artist);
    EXPECT_EQ(valueOf(2, TagField::title), std::nullopt);
}

} // namespace

namespace {

// Batch operations change the selected files behind the inspector's back: the
// edit state must show the files as they are afterwards, and after an edit the
// value as it is stored.
TEST_F(EditingTest, EditStateFollowsBatchOperationsOnTheSelection) {
    selectAll();
    EditableTagSet* state = document.editState();
    document.editField(TagField::trackNumber, QStringLiteral("007"));
    EXPECT_EQ(state->stringValue(TagField::trackNumber), QStringLiteral("7"));

    document.tagOperations().numberTracks(4, {});
    EXPECT_TRUE(state->varies(TagField::trackNumber));
    EXPECT_EQ(state->stringValue(TagField::trackTotal), QStringLiteral("3"));

    document.tagOperations().copyFieldToField(TagField::trackTotal, TagField::bpm);
    EXPECT_EQ(state->stringValue(TagField::bpm), QStringLiteral("3"));
    EXPECT_FALSE(state->varies(TagField::bpm));

    document.setSelectedFiles({ids[0]});
    state = document.editState();
    document.tagOperations().findAndReplace(QStringLiteral("Fixture"), QStringLiteral("Guest"), false, false,
                                            {TagField::artist}, false);
    EXPECT_EQ(state->stringValue(TagField::artist), QStringLiteral("Guest Artist"));
    document.tagOperations().applyTextTransform(TextTransform::upperCase, {TagField::artist});
    EXPECT_EQ(state->stringValue(TagField::artist), QStringLiteral("GUEST ARTIST"));

    // An operation on files outside the selection leaves it alone.
    document.editField(TagField::comment, QStringLiteral("typed"));
    document.editField(TagField::comment, QStringLiteral("cell"), ids[1]);
    EXPECT_EQ(state->stringValue(TagField::comment), QStringLiteral("typed"));

    // The selection's records follow edits of the list and its new order.
    document.setSortOrder({{SortKey::filename, false}});
    document.sortFiles();
    document.editField(TagField::comment, QStringLiteral("after the sort"));
    ASSERT_EQ(document.selectedAudioFiles().size(), 1);
    EXPECT_EQ(document.selectedAudioFiles()[0].id(), ids[0]);
    EXPECT_EQ(document.selectedAudioFiles()[0].tags().comment, QStringLiteral("after the sort"));
    EXPECT_EQ(state->stringValue(TagField::comment), QStringLiteral("after the sort"));
}

} // namespace

// Records shared by both lists are matched without being read; copies made anew are matched by id and
// count as changed only where they differ.
TEST(DocumentChangeTest, FollowsFilesMovedAddedRemovedAndChangedInOneChange) {
    const auto file = [](const char* name) {
        return AudioFile(QUuid::createUuid(),
                         QUrl::fromLocalFile(QStringLiteral("/music/") + QLatin1String(name)),
                         AudioFormat::mp3, std::nullopt, {}, TagSet{.title = QString::fromLatin1(name)}, {});
    };
    const QList<AudioFile> before = {file("a"), file("b"), file("c"), file("d")};
    AudioFile retitled = before[2];
    retitled.changeableTags().title = QStringLiteral("C");
    AudioFile copiedAsItWas = before[1];
    copiedAsItWas.changeableTags().title = QStringLiteral("b"); // a record of its own, equal to the old
    const AudioFile added = file("e");

    const DocumentChange change =
        DocumentChange::between(before, {retitled, before[0], added, copiedAsItWas});
    EXPECT_TRUE(change.reordered);
    EXPECT_EQ(change.added, QSet<QUuid>{added.id()});
    EXPECT_EQ(change.removed, QSet<QUuid>{before[3].id()});
    EXPECT_EQ(change.changed, QSet<QUuid>{retitled.id()});
    EXPECT_EQ(change.fields, QSet<TagField>{TagField::title});

    EXPECT_TRUE(DocumentChange::between(before, before).isEmpty());
    const DocumentChange reversed =
        DocumentChange::between(before, {before[3], before[2], before[1], before[0]});
    EXPECT_TRUE(reversed.reordered);
    EXPECT_TRUE(reversed.changed.isEmpty() && reversed.added.isEmpty() && reversed.removed.isEmpty());
}
