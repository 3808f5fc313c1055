#include "DocumentTestSupport.h"

#include "Quire/ViewModels/BatchPreview.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

using namespace DocumentTest;

namespace {

using Status = PreviewLine::Status;

class BatchPreviewTest : public testing::Test {
protected:
    void load(const QStringList& names, const QString& fixture = QStringLiteral("tagged.mp3")) {
        QList<QUrl> urls;
        for (const QString& name : names)
            urls.append(library.add(name, fixture));
        importAndWait(document, urls);
        selectAll();
    }
    void selectAll() {
        const QList<QUuid> ids = idsOf(document.files());
        document.setSelectedFiles({ids.begin(), ids.end()});
    }
    void select(const QStringList& names) {
        QSet<QUuid> ids;
        for (const QString& name : names)
            ids.insert(fileNamed(document, name).id());
        document.setSelectedFiles(ids);
    }
    qsizetype steps() const { return document.history().undoDescriptions().size(); }
    static QStringList linesOf(const BatchPreview& preview) {
        QStringList lines;
        for (const PreviewLine& line : preview.lines)
            lines.append(line.filename + u'|' + line.text);
        return lines;
    }
    BatchPreview namePreview(const QString& pattern, const QList<FieldKey>& fields) const {
        const std::optional<PatternExpression> expression = patternToRegex(pattern, fields);
        return *previewPlans(document.selectedAudioFiles(),
                             [&](const AudioFile& file) { return planTagsFromName(file, *expression); });
    }

    Library library;
    DocumentViewModel document;
};

// The preview says what each file gets before anything runs; the run does
// exactly that and names the files it left alone.
TEST_F(BatchPreviewTest, TagsFromNamesPreviewTheValuesAndReportTheFilesLeftAlone) {
    QStringList names;
    for (int track = 1; track <= 6; ++track)
        names.append(QStringLiteral("0%1 - Song %1.flac").arg(track));
    names.append(QStringLiteral("zz no match.flac"));
    load(names, QStringLiteral("untagged.flac"));
    const QList<FieldKey> fields{TagField::title, TagField::trackNumber};

    const BatchPreview preview = namePreview(QStringLiteral("{trackNumber} - {title}"), fields);
    // The first five files that change, then the skipped one further down.
    ASSERT_EQ(preview.lines.size(), 6);
    EXPECT_EQ(linesOf(preview).first(), "01 - Song 1.flac|Track Number: 1 · Title: Song 1");
    EXPECT_EQ(preview.lines.last(),
              (PreviewLine{fileNamed(document, "zz no match.flac").id(), "zz no match.flac", Status::skipped,
                           "the name doesn’t match the pattern"}));
    EXPECT_EQ(preview.summary, "6 files will change (12 fields), 1 skipped");
    EXPECT_EQ(document.modifiedCount(), 0); // a preview changes nothing

    const BatchReport report =
        document.tagOperations().tagsFromFilename(QStringLiteral("{trackNumber} - {title}"), fields);
    EXPECT_EQ(report.changed, 6);
    EXPECT_EQ(report.skippedLines(), QStringList{"zz no match.flac: the name doesn’t match the pattern"});
    EXPECT_EQ(fileNamed(document, "06 - Song 6.flac").tags().title, "Song 6");
    EXPECT_EQ(document.modifiedCount(), 6);

    // Again: every file already holds its values, so nothing changes and no step is recorded.
    const qsizetype before = steps();
    const BatchPreview again = namePreview(QStringLiteral("{trackNumber} - {title}"), fields);
    EXPECT_EQ(linesOf(again), QStringList{"zz no match.flac|the name doesn’t match the pattern"});
    EXPECT_EQ(again.summary, "No file will change, 6 unchanged, 1 skipped");
    select({QStringLiteral("01 - Song 1.flac")});
    EXPECT_EQ(linesOf(namePreview(QStringLiteral("{trackNumber} - {title}"), fields)),
              QStringList{"01 - Song 1.flac|already holds Track Number: 1 · Title: Song 1"});
    selectAll();
    const BatchReport repeated =
        document.tagOperations().tagsFromFilename(QStringLiteral("{trackNumber} - {title}"), fields);
    EXPECT_EQ(repeated.unchanged, 6);
    EXPECT_EQ(steps(), before);

    // Folders: a file in no folder is named with why.
    const AudioFile loose(QUuid::createUuid(), QUrl::fromLocalFile(QStringLiteral("/a.flac")),
                          AudioFormat::flac, std::nullopt, {}, {}, {});
    const PathPattern path = parsePathPattern(QStringLiteral("{artist}/{album}"), {TagField::album});
    EXPECT_EQ(planTagsFromPath(loose, path).line.text, "the file is in no folder");
}

TEST_F(BatchPreviewTest, RenamePreviewMarksWhatWouldBeLeftAloneBeforeAnythingMoves) {
    QList<QUrl> urls;
    for (const char* name : {"a.mp3", "b.mp3", "d.mp3", "e.mp3"})
        urls.append(library.add(QString::fromLatin1(name)));
    urls.append(library.add(QStringLiteral("c.flac"), QStringLiteral("tagged.flac")));
    importAndWait(document, urls);
    library.add(QStringLiteral("Fixture Artist.flac"), QStringLiteral("untagged.flac")); // not loaded
    select({QStringLiteral("d.mp3")});
    document.editField(TagField::artist, QStringLiteral("d"));
    select({QStringLiteral("e.mp3")});
    document.editField(TagField::artist, QString());
    document.saveAll();
    waitForSave(document);
    selectAll();
    ASSERT_EQ(document.modifiedCount(), 0);

    const BatchPreview preview =
        previewPatternRename(document.selectedAudioFiles(), QStringLiteral("{artist}"));
    EXPECT_EQ(linesOf(preview), (QStringList{"a.mp3|→ Fixture Artist.mp3",
                                             "b.mp3|“Fixture Artist.mp3” is also the new name of “a.mp3”",
                                             "c.flac|“Fixture Artist.flac” is taken", "d.mp3|keeps its name",
                                             "e.mp3|the values the pattern names are empty"}));
    EXPECT_EQ(preview.summary, "1 file will be renamed, 1 keeps its name, 3 skipped");
    // Only the pattern's own text can bring in a character that names cannot hold.
    EXPECT_EQ(
        previewPatternRename({fileNamed(document, "a.mp3")}, QStringLiteral("{artist}: live")).lines[0].text,
        "“Fixture Artist: live.mp3” holds “:”, which a file name can’t contain");
    EXPECT_EQ(renamedName(QStringLiteral("{artist}: live"), fileNamed(document, "a.mp3")), std::nullopt);

    // The run does what the preview said, says why for each file left alone, and marks nothing modified.
    std::optional<PatternRenameReport> report;
    ASSERT_TRUE(document.renameFromPattern(QStringLiteral("{artist}"),
                                           [&](const PatternRenameReport& done) { report = done; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return report.has_value(); }, 5000));
    EXPECT_EQ(report->movedCount(), 1);
    EXPECT_EQ(report->skippedLines(),
              (QStringList{"b.mp3: “Fixture Artist.mp3” is also the new name of “a.mp3”",
                           "c.flac: “Fixture Artist.flac” is taken",
                           "e.mp3: the values the pattern names are empty"}));
    EXPECT_EQ(
        QDir(library.path()).entryList(QDir::Files, QDir::Name),
        (QStringList{"Fixture Artist.flac", "Fixture Artist.mp3", "b.mp3", "c.flac", "d.mp3", "e.mp3"}));
    EXPECT_EQ(document.modifiedCount(), 0);
    EXPECT_TRUE(undoAndWait(document));
    EXPECT_TRUE(QFile::exists(library.path("a.mp3")));
    EXPECT_EQ(document.modifiedCount(), 0);

    // A file that moves away frees its name for a file after it in the run.
    select({QStringLiteral("a.mp3"), QStringLiteral("b.mp3")});
    document.setSortOrder({SortDescriptor{SortKey::filename, false}});
    document.sortFiles();
    select({QStringLiteral("b.mp3")});
    document.editField(TagField::artist, QStringLiteral("x"));
    select({QStringLiteral("a.mp3")});
    document.editField(TagField::artist, QStringLiteral("b"));
    select({QStringLiteral("a.mp3"), QStringLiteral("b.mp3")});
    EXPECT_EQ(previewPatternRename(document.selectedAudioFiles(), QStringLiteral("{artist}")).summary,
              "2 files will be renamed");
    EXPECT_EQ(renameAndWait(document, QStringLiteral("{artist}")), 2);
}

// Whatever leaves the tags and pictures as they were marks no file modified
// and leaves no step to undo; a file edited back to what the disk holds is
// no longer modified.
TEST_F(BatchPreviewTest, WhatChangesNothingMarksNothing) {
    load({QStringLiteral("a.mp3"), QStringLiteral("b.mp3")});
    select({QStringLiteral("b.mp3")});
    document.editField(TagField::title, QStringLiteral("Same - Same"));
    document.editField(TagField::comment, QStringLiteral("FIXTURE"));
    document.editField(TagField::albumArtist, QStringLiteral("Fixture Artist"));
    document.saveAll();
    waitForSave(document);
    ASSERT_EQ(document.modifiedCount(), 0);
    const qsizetype before = steps();
    TagOperations& operations = document.tagOperations();

    operations.applyTextTransform(TextTransform::swapArtistTitle, {TagField::title});
    operations.applyTextTransform(TextTransform::upperCase,
                                  {TagField::comment, FieldKey::custom(u"NOSUCHITEM")});
    EXPECT_EQ(operations.findAndReplace(QStringLiteral("Same"), QStringLiteral("Same"), false, false,
                                        {TagField::title}, true),
              0);
    operations.copyFieldToField(TagField::artist, TagField::albumArtist);
    document.tagClipboard().copyFromSelected();
    document.tagClipboard().pasteToSelected(true, true);
    EXPECT_EQ(document.modifiedCount(), 0);
    EXPECT_EQ(steps(), before);
    EXPECT_FALSE(fileNamed(document, "b.mp3").tags().custom.contains("NOSUCHITEM")); // absent stays absent

    // Typing what one of two files holds marks only the other.
    selectAll();
    ASSERT_TRUE(document.editField(TagField::comment, QStringLiteral("FIXTURE")).value());
    EXPECT_FALSE(fileNamed(document, "b.mp3").isModified());
    EXPECT_TRUE(fileNamed(document, "a.mp3").isModified());
    // Back to what the disk holds: nothing left to save.
    select({QStringLiteral("a.mp3")});
    const QString saved = readBack(library.url("a.mp3")).tags().comment.value_or(QString());
    document.editField(TagField::comment, saved);
    EXPECT_EQ(document.modifiedCount(), 0);
}

TEST_F(BatchPreviewTest, TextPreviewsShowOldAndNewValuesOfTheChangingFiles) {
    load({QStringLiteral("a.mp3"), QStringLiteral("b.mp3")});
    select({QStringLiteral("b.mp3")});
    document.editField(TagField::album, QStringLiteral("Other"));
    const QList<AudioFile> files = document.files();
    const TextSearch search(QStringLiteral("Fixture"), false, false);
    const BatchPreview replaced = *previewPlans(files, [&](const AudioFile& file) {
        return planFindReplace(file, search, QStringLiteral("Test"), {TagField::album, TagField::artist});
    });
    EXPECT_EQ(linesOf(replaced), (QStringList{"a.mp3|Artist: Fixture Artist → Test Artist · Album: Fixture "
                                              "Album → Test Album",
                                              "b.mp3|Artist: Fixture Artist → Test Artist"}));
    EXPECT_EQ(replaced.summary, "2 files will change (3 fields)");

    // A value too long for a line is cut short; an empty one says so.
    const BatchPreview copied = *previewPlans(files, [&](const AudioFile& file) {
        return planCopyField(file, FieldKey::custom(u"NOSUCHITEM"), TagField::album);
    });
    EXPECT_EQ(copied.lines[1].text, "Album: Other → (empty)");
    const BatchPreview upper = *previewPlans({files[0]}, [&](const AudioFile& file) {
        return planTextTransform(file, TextTransform::upperCase, {TagField::album});
    });
    EXPECT_EQ(upper.lines[0].text, "Album: Fixture Album → FIXTURE ALBUM");

    // A stopped preview has no result.
    const std::atomic<bool> stop{true};
    const FilePlanner copy = [](const AudioFile& file) {
        return planCopyField(file, TagField::title, TagField::album);
    };
    EXPECT_FALSE(previewPlans(files, copy, &stop).has_value());
}

TEST(PatternNotes, TokensThatFillNothingAreExplained) {
    const QList<FieldKey> chosen{TagField::title, TagField::trackNumber};
    EXPECT_EQ(unfilledTokenNote(QStringLiteral("{trackNumber} - {title}"), chosen, false), QString());
    EXPECT_EQ(unfilledTokenNote(QStringLiteral("{trackNumber} - {album}"), chosen, false),
              "{album} is not filled: its field is turned off below. Turn it on to fill it.");
    EXPECT_EQ(unfilledTokenNote(QStringLiteral("{title} [{albun}]"), chosen, false),
              "{albun} names no field: names must hold it as written.");
    EXPECT_EQ(unfilledTokenNote(QStringLiteral("{title} - {CATALOGNUMBER}"),
                                chosen + QList<FieldKey>{FieldKey::custom(u"CATALOGNUMBER")}, false),
              QString());

    const QList<FieldKey> folders{TagField::artist, TagField::album};
    EXPECT_EQ(unfilledTokenNote(QStringLiteral("%artist%/{album}"), folders, true), QString());
    EXPECT_EQ(unfilledTokenNote(QStringLiteral("{genre}/{album}"), folders, true),
              "{genre} is not filled: folders fill only {artist}, {album} and custom items such as {LABEL}.");
    EXPECT_EQ(unfilledTokenNote(QStringLiteral("{artst}/{album}"), folders, true),
              "{artst} names no field: it matches any folder and fills nothing.");
}

} // namespace
