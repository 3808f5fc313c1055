#include "WidgetTestSupport.h"

#include "Quire/Views/Artwork/ArtworkPanel.h"
#include "Quire/Views/Inspector/InspectorView.h"
#include "Quire/Views/Inspector/TagFieldEditors.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>

using namespace DocumentTest;
using namespace WidgetTest;

namespace {

class InspectorTest : public WindowTest {
protected:
    InspectorView* inspector() const { return qobject_cast<InspectorView*>(window->inspectorPane()); }
    QLineEdit* lineEdit(TagField field) const {
        return qobject_cast<QLineEdit*>(inspector()->box(field)->editor());
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
        EXPECT_EQ(action->icon().isNull(), action->text() != "DJs") << action->text().toStdString();
}

} // namespace
